#include "module1.h"

#include "apppath.h"
#include "settingsfile.h"

namespace Module1 {

QString SettingsPath() {
    return SettingsFolder() + QStringLiteral("/settings.ini");
}

QString ReadSetting(const QString& section, const QString& key) {
    return SettingsFile::read(SettingsPath(), section, key, QStringLiteral("default"));
}

bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* error) {
    if (!MakeSettingsFolder(error)) // a per-user folder is made at the first write
        return false;
    return SettingsFile::write(SettingsPath(), section, key, value, error);
}

QString SettingsProblem() {
    return SettingsFolderProblem();
}

} // namespace Module1
