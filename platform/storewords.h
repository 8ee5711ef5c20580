#pragma once

#include <QString>

struct StoreError;

// What the user reads about the code table database and the settings file: made here, for every
// window, from what happened and the facts that the store reports. Only here and in the windows
// are menus, buttons and windows named.

// The failure, naming the file or the table and the cause, and what to do about it, by the kind.
QString StoreMessage(const StoreError& error);
// What the editor shows in its list's place when the table cannot be read.
QString EditorUnavailable(const StoreError& error);
// Why the code table editor offers no changes: the user's own copy could not be made.
QString CopyNotMade(const QString& copy, const QString& cause);

// A write of the settings file that failed, and why.
QString SettingsNotSaved(const QString& cause);
// The status bar's note when a slider's position cannot be written.
QString SlidersNotKept(const QString& cause);
// Told at the start when the settings cannot be kept: the file that cannot be used, or (file
// empty) the settings folder, and why.
QString SettingsNotKept(const QString& file, const QString& cause);
// Told once, at the first start from a program folder that cannot be written but holds the
// settings the user chose there.
QString SettingsKeptElsewhere();
