#pragma once

#include "settingsfile.h"
#include "settingskeys.h"

#include <QString>

// The settings of the program: settings.ini in the settings folder (the program's folder when it
// is portable, else per user; see apppath.h). settingskeys.h names the section and every key,
// and what a missing one reads as.
//
// The settings.ini of a program folder that cannot be written (a portable folder made read-only)
// still holds what the user chose there: it is read beneath the user's own file, which holds
// every change made since, key by key.
namespace Module1 {

QString SettingsPath();

QString ReadSetting(const QString& section, const QString& key);

// True when the value reached the file; error (if given) says why not, naming the file.
bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* error = nullptr);

// Several keys in one write: all of them reach the file, or none does.
bool WriteSettings(const QString& section, const SettingsFile::Values& values, QString* error = nullptr);

// The error of a failed write without its lead, for a note of one line: "<file>: <cause>".
QString FileAndCause(const QString& error);

// Whether the settings can be kept. When not, error says what to tell the user, once: the
// settings folder cannot be written, or settings.ini is there but cannot be used (a folder, a
// named pipe, a device, a huge file, no permission to read it).
bool SettingsCanBeKept(QString* error);

// Whether the settings are read from beneath and the user has not been told so yet: then note says
// where changes are kept from now on, for the user to read at the start, once. The user's own
// file is made (holding a comment that names the file beneath), so that no later start tells it again.
bool TakeSettingsKeptElsewhereNote(QString* note);

} // namespace Module1
