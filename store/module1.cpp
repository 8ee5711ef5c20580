#include "module1.h"

#include "apppath.h"
#include "settingsfile.h"
#include "wholefile.h"

#include <QDir>
#include <QFileInfo>

namespace Module1 {

QString SettingsPath() {
    return AppFolders().settings + QLatin1Char('/') + SettingsFileName;
}

QString ReadSetting(const QString& section, const QString& key) {
    const QString beneath = AppFolders().beneath;
    const QString fallback =
        beneath.isEmpty() ? QString(Settings::Default) : SettingsFile::read(beneath, section, key, Settings::Default);
    return SettingsFile::read(SettingsPath(), section, key, fallback);
}

bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* cause) {
    return WriteSettings(section, {{key, value}}, cause);
}

// A per-user settings folder is made at the first write.
bool WriteSettings(const QString& section, const SettingsFile::Values& values, QString* cause) {
    QString why;
    const bool written =
        MakeFolder(AppFolders().settings, &why) && SettingsFile::write(SettingsPath(), section, values, &why);
    if (cause)
        *cause = why;
    return written;
}

bool SettingsCanBeKept(QString* file, QString* cause) {
    file->clear();
    if (!CanMakeFilesIn(AppFolders().settings, cause))
        return false;
    if (SettingsFile::usable(SettingsPath(), cause))
        return true;
    *file = SettingsPath();
    return false;
}

bool TakeSettingsKeptElsewhereNote() {
    const QString beneath = AppFolders().beneath;
    if (beneath.isEmpty() || QFileInfo::exists(SettingsPath()))
        return false;
    // The user's own file, made now with a line that says where the other settings come from,
    // tells every later start that the note was given.
    QString cause;
    if (MakeFolder(AppFolders().settings, &cause))
        WholeFile::create(SettingsPath(),
                          QStringLiteral("; Settings not held here are read from %1.\r\n")
                              .arg(QDir::toNativeSeparators(beneath))
                              .toUtf8(),
                          &cause);
    return true;
}

} // namespace Module1

namespace Settings {

QString Read(const Text& key) {
    const QString value = Module1::ReadSetting(Section, key.name);
    return value == Default ? key.builtIn() : value;
}

int Read(const Number& key) {
    bool ok = false;
    const int value = Module1::ReadSetting(Section, key.name).trimmed().toInt(&ok, 10);
    return ok && value >= key.low && value <= key.high ? value : key.builtIn;
}

} // namespace Settings
