#pragma once

#include <QString>

class QWidget;

// The readme that comes with Dahdit, opened with the desktop's default program for text files.
namespace Readme {
// Starts the desktop's program on the readme and returns without waiting for it. When the file is
// missing, when no program can be started, or when the desktop has none for text files or it
// fails (which shows only a moment later), a message box over parent says so and where the
// readme is, so that the user can open it another way.
void open(QWidget* parent);
} // namespace Readme
