#include "module1.h"

#include "apppath.h"
#include "settingsfile.h"

#include <QDir>

namespace Module1 {

QString SettingsPath() {
    return SettingsFolder() + QStringLiteral("/settings.ini");
}

QString ReadSetting(const QString& section, const QString& key) {
    return SettingsFile::read(SettingsPath(), section, key, QStringLiteral("default"));
}

bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* error) {
    // A per-user folder is made at the first write; one that cannot be written is left alone,
    // also where the system would let this user write to it.
    if (const QString problem = SettingsProblem(); !problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    QDir().mkpath(SettingsFolder());
    return SettingsFile::write(SettingsPath(), section, key, value, error);
}

QString SettingsProblem() {
    return SettingsFolderProblem();
}

} // namespace Module1
