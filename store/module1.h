#pragma once

#include "settingsfile.h"
#include "settingskeys.h"

#include <QString>

// The settings of the program: settings.ini in the settings folder (the program's folder when it
// is portable, else per user; see apppath.h). settingskeys.h declares the section and every key.
//
// The settings.ini of a program folder that cannot be written (a portable folder made read-only)
// still holds what the user chose there: it is read beneath the user's own file, which holds
// every change made since, key by key.
namespace Module1 {

QString SettingsPath();

QString ReadSetting(const QString& section, const QString& key);

// True when the value reached the file; cause (if given) says why not.
bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* cause = nullptr);

// Several keys in one write: all of them reach the file, or none does.
bool WriteSettings(const QString& section, const SettingsFile::Values& values, QString* cause = nullptr);

// Whether the settings can be kept. When not, cause says why, for the user to read once, and file
// names the settings.ini that is there but cannot be used (a folder, a named pipe, a device, a huge
// file, no permission to read it); file is empty when the settings folder cannot be written.
bool SettingsCanBeKept(QString* file, QString* cause);

// Whether the settings are read from beneath and the user has not been told so yet, for the user
// to be told at the start, once. The user's own file is made (holding a comment that names the
// file beneath), so that no later start tells it again.
bool TakeSettingsKeptElsewhereNote();

} // namespace Module1
