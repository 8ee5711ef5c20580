#pragma once

#include <QString>

// Every setting Dahdit keeps, by name. All of them live in one section of settings.ini, read and
// written through Module1 (module1.h says where the file is).
namespace Settings {

constexpr QLatin1String Section("main");

// What a read gives for a key the file does not hold. Every reader compares the value with it,
// exactly and case-sensitively, before it falls back to its built-in default.
constexpr QLatin1String Default("default");

// The positions of the two timing sliders, 1 to 20: the delay that makes a dash (Slider1) and
// the space delay that closes a symbol (Slider2).
constexpr QLatin1String DelayTime("dt");
constexpr QLatin1String SpaceDelayTime("sdt");

// The code table database file, a full path, and the code table in use; their defaults are the
// program's own database and International (databasechoice.h).
constexpr QLatin1String DatabasePath("db_path");
constexpr QLatin1String TableName("table_name");

// The sidetone, on or off, and its pitch (SidetoneSettings in sidetone.h reads them).
constexpr QLatin1String Sidetone("sidetone");
constexpr QLatin1String SidetoneHz("sidetone_hz");

} // namespace Settings
