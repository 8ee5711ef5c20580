#pragma once

#include <QString>

QString DefaultDatabasePath(); // databasechoice.h

// Every setting Dahdit keeps, each declared once: its name, what it stands for when the file does not
// hold it, holds "default" or holds a value it cannot take, and which values it takes. All of them
// live in one section of settings.ini, read and written through Module1 (module1.h says where the
// file is); every reader goes through Read, so that no window checks a value of its own.
namespace Settings {

constexpr QLatin1String Section("main");

// What a read gives for a key the file does not hold. Compared exactly and case-sensitively: the
// same word with a capital D is a value.
constexpr QLatin1String Default("default");

// A setting of any text, and what "default" stands for.
struct Text {
    QLatin1String name;
    QString (*builtIn)();
};
// A setting of a whole number from low to high, written in decimal; anything else stands for builtIn.
struct Number {
    QLatin1String name;
    int builtIn;
    int low;
    int high;
};

// The code table database file, a full path (by default the user's own database: databasechoice.h),
// and the code table in use.
constexpr Text DatabasePath{QLatin1String("db_path"), &DefaultDatabasePath};
constexpr Text TableName{QLatin1String("table_name"), [] { return QStringLiteral("International"); }};

// The positions of the two timing sliders: the delay that makes a dash (Slider1) and the space
// delay that closes a symbol (Slider2). Both start at 6: 150 ms and 250 ms.
constexpr Number DelayTime{QLatin1String("dt"), 6, 1, 20};
constexpr Number SpaceDelayTime{QLatin1String("sdt"), DelayTime.builtIn, DelayTime.low, DelayTime.high};

// The sidetone, which 0 turns off, and its pitch in hertz.
constexpr Number Sidetone{QLatin1String("sidetone"), 1, 0, 1};
constexpr Number SidetoneHz{QLatin1String("sidetone_hz"), 600, 100, 2000};

QString Read(const Text& key);
int Read(const Number& key);

} // namespace Settings
