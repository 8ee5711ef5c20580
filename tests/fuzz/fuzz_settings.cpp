// Any bytes as the settings file, then a read and a write: nothing crashes; a read returns at most 254 characters;
// a write reads back exactly; a value too long to store is refused and leaves the file as it was.
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const char* const kSections[] = {"main", "Main", "other", ""};
    static const char* const kKeys[] = {"dt", "sdt", "db_path", "table_name", "DT", "x"};
    FuzzedDataProvider data(bytes, size);
    const QString section = QLatin1String(kSections[data.ConsumeIntegralInRange<size_t>(0, 3)]);
    const QString key = QLatin1String(kKeys[data.ConsumeIntegralInRange<size_t>(0, 5)]);
    // Any value without a line break: blanks and quotes around it too, and some too long to store.
    QString value;
    for (unsigned char c : data.ConsumeRandomLengthString(300))
        value += (c >= 0x20 && c < 0x7f) ? QChar(c) : (c >= 0x80 ? QChar(0x3a3) : QChar(u'"'));
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray before(rest.data(), qsizetype(rest.size()));
    static const QString path = QDir::tempPath() + QStringLiteral("/dahdit-fuzz-settings-%1.ini").arg(getpid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(before) != before.size())
        abort();
    file.close();

    if (SettingsFile::read(path, section, key, QStringLiteral("default")).size() > SettingsFile::MaxValueLength)
        abort();
    if (section.isEmpty())
        return 0; // "[]" is not a section a caller writes
    const bool written = SettingsFile::write(path, section, {{key, value}});
    if (written != (value.size() <= SettingsFile::MaxValueLength))
        abort();
    const QByteArray after = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!written && after != before)
        abort();

    if (written && SettingsFile::read(path, section, key, QStringLiteral("default")) != value)
        abort();
    return 0;
}
