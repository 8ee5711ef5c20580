#pragma once

#include <QString>

// The settings of the program: section "main" of settings.ini in the settings folder (the
// program's folder when it is portable, else per user; see apppath.h).
// A missing file, section or key reads as "default"; every reader compares with that word
// (exactly, case-sensitively) before it falls back to its built-in default.
namespace Module1 {

QString SettingsPath();

QString ReadSetting(const QString& section, const QString& key);

// True when the value reached the file; error (if given) says why not.
bool WriteSetting(const QString& section, const QString& key, const QString& value, QString* error = nullptr);

// What to tell the user, once, when the settings cannot be kept; empty when they can.
QString SettingsProblem();

} // namespace Module1
