#pragma once

#include <QRect>
#include <QString>

class QColor;
class QIcon;
class QPalette;
class QPlainTextEdit;
class QWidget;

// Layouts are given in twips; at 96 dots per inch 15 twips make one pixel, and Qt scales
// the pixels for high-density screens.
constexpr int Twips(int twips) {
    return (twips + 7) / 15;
}
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);

// Gives a control the name its handlers are written against and places it, in twips.
template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromLatin1(name));
    PlaceTwips(control, left, top, width, height);
    return control;
}

// A typed text without the space characters before and after it; tabs and other blanks stay.
QString TrimSpaces(const QString& text);

// The program icon, in every size it is drawn in.
QIcon ProgramIcon();

// Replaces the whole text of a text box, editing only the part that differs, so that appending
// a mark to a long buffer costs one small edit and the view stays where the user looks (at the
// end, when the text grew there). textChanged is raised once when the text differs.
void ReplaceText(QPlainTextEdit* box, const QString& text);

// A text colour quieter than the window text that still reads at the 4.5:1 contrast asked of
// body text: the palette's placeholder colour where it reaches that against the window, else
// that colour moved towards the window text just far enough.
QColor QuietTextColor(const QPalette& palette);
