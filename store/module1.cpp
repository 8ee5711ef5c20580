#include "module1.h"

#include "apppath.h"
#include "settingsfile.h"
#include "wholefile.h"

#include <QDir>
#include <QFileInfo>

namespace Module1 {
namespace {

QString lead(const QString& path) {
    return QStringLiteral("Cannot save the settings file %1: ").arg(QDir::toNativeSeparators(path));
}

// Makes a per-user settings folder at the first write; when it cannot be, error says why in the
// words a failed write of the file has.
bool settingsFolderMade(QString* error) {
    QString cause;
    if (MakeFolder(SettingsFolder(), &cause))
        return true;
    if (error)
        *error = lead(SettingsPath()) + cause;
    return false;
}

} // namespace

QString SettingsPath() {
    return SettingsFolder() + QStringLiteral("/settings.ini");
}

QString ReadSetting(const QString& section, const QString& key) {
    const QString beneath = SettingsBeneath();
    const QString fallback =
        beneath.isEmpty() ? QString(Settings::Default) : SettingsFile::read(beneath, section, key, Settings::Default);
    return SettingsFile::read(SettingsPath(), section, key, fallback);
}

bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* error) {
    return settingsFolderMade(error) && SettingsFile::write(SettingsPath(), section, {{key, value}}, error);
}

bool WriteSettings(const QString& section, const SettingsFile::Values& values, QString* error) {
    return settingsFolderMade(error) && SettingsFile::write(SettingsPath(), section, values, error);
}

QString FileAndCause(const QString& error) {
    const QString before = lead(SettingsPath());
    return error.startsWith(before)
               ? QDir::toNativeSeparators(SettingsPath()) + QStringLiteral(": ") + error.mid(before.size())
               : error;
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

bool TakeSettingsKeptElsewhereNote(QString* note) {
    const QString beneath = SettingsBeneath();
    if (beneath.isEmpty() || QFileInfo::exists(SettingsPath()))
        return false;
    *note = QStringLiteral("Dahdit's folder %1 cannot be written, so its settings.ini is read but not changed: what "
                           "you chose there still holds. Changes you make from now on are kept in %2.")
                .arg(QDir::toNativeSeparators(AppPath()), QDir::toNativeSeparators(SettingsPath()));
    // The user's own file, made now with a line that says where the other settings come from,
    // tells every later start that the note was given.
    QString cause;
    if (MakeFolder(SettingsFolder(), &cause))
        WholeFile::create(SettingsPath(),
                          QStringLiteral("; Settings not held here are read from %1.\r\n")
                              .arg(QDir::toNativeSeparators(beneath))
                              .toUtf8(),
                          &cause);
    return true;
}

} // namespace Module1
