#pragma once

#include <QString>

// The readme that comes with Dahdit, opened with the desktop's default text editor.
namespace Readme {
QString path();
// False, with a message that says where the file is, when no editor could be started.
bool open(QString* error);
} // namespace Readme
