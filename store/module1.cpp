#include "module1.h"

#include "apppath.h"
#include "settingsfile.h"

#include <QDir>

namespace Module1 {

QString SettingsPath() {
    return SettingsFolder() + QStringLiteral("/settings.ini");
}

QString ReadSetting(const QString& section, const QString& key) {
    return SettingsFile::read(SettingsPath(), section, key, Settings::Default);
}

bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* error) {
    if (!MakeSettingsFolder(error)) // a per-user folder is made at the first write
        return false;
    return SettingsFile::write(SettingsPath(), section, key, value, error);
}

bool WriteSettings(const QString& section, const SettingsFile::Values& values, QString* error) {
    if (!MakeSettingsFolder(error))
        return false;
    return SettingsFile::write(SettingsPath(), section, values, error);
}

bool SettingsCanBeKept(QString* error) {
    if (!SettingsFolderWritable(error))
        return false;
    QString cause;
    if (SettingsFile::usable(SettingsPath(), &cause))
        return true;
    if (error)
        *error = QStringLiteral("Cannot use the settings file %1: %2\n\nUntil then Dahdit starts with its built-in "
                                "settings and leaves the file as it is, so choices made now are not kept.")
                     .arg(QDir::toNativeSeparators(SettingsPath()), cause);
    return false;
}

} // namespace Module1
