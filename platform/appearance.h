#pragma once

// How Dahdit looks on the desktop: its touches on the desktop's style, a colour for quiet text, and
// its icon.

class QColor;
class QIcon;
class QPalette;
class QWidget;

// Dahdit's touches on the desktop's style for one widget. A menu bar is highlighted by Alt
// pressed and released alone, and walked with the arrow keys; a slider's tick marks are drawn
// in a colour of the palette that stands out from the window; a button with the focus shows it,
// also where it is the default button.
void UseDahditStyle(QWidget* widget);

// The program icon, in every size it is drawn in.
QIcon ProgramIcon();

// A text colour quieter than the window text that still reads at the 4.5:1 contrast asked of
// body text: the palette's placeholder colour where it reaches that against the window, else
// that colour moved towards the window text just far enough.
QColor QuietTextColor(const QPalette& palette);
