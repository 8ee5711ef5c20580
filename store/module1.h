#pragma once

#include "settingsfile.h"
#include "settingskeys.h"

#include <QString>

// The settings of the program: settings.ini in the settings folder (the program's folder when it
// is portable, else per user; see apppath.h). settingskeys.h names the section and every key.
// A missing file, section or key reads as Settings::Default ("default"); every reader compares
// with that word (exactly, case-sensitively) before it falls back to its built-in default.
namespace Module1 {

QString SettingsPath();

QString ReadSetting(const QString& section, const QString& key);

// True when the value reached the file; error (if given) says why not.
bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* error = nullptr);

// Several keys in one write: all of them reach the file, or none does.
bool WriteSettings(const QString& section, const SettingsFile::Values& values, QString* error = nullptr);

// Whether the settings can be kept. When not, error says what to tell the user, once: the
// settings folder cannot be written, or settings.ini is there but cannot be used (a folder, a
// named pipe, a device, a huge file, no permission to read it).
bool SettingsCanBeKept(QString* error);

} // namespace Module1
