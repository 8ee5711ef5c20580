#pragma once

#include <QString>

// The program's own folder: where settings.ini, the default database and the readme live.
// Tests point it at a temporary folder so that they never touch the real program folder.
QString AppPath();
void SetAppPathForTesting(const QString& folder);

// A file in the program's folder, joined with the platform's separator.
QString AppFile(const QString& fileName);
