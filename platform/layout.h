#pragma once

#include <QString>
#include <QStringList>

class QFont;
class QWidget;

// Layouts are given in twips, drawn for an 8-point sans serif: at 96 dots per inch 15 twips make
// one pixel, and Qt scales the pixels for high-density screens. The desktop's font is often
// larger, so each window grows its whole layout by one factor, as much as its texts need in the
// font they are shown in (FitToText): the window keeps its proportions and every text shows
// whole. At the font the layouts were drawn for the factor is 1.
inline int Twips(int twips, double factor = 1.0) {
    return int(twips * factor / 15.0 + 0.5);
}

// Gives a control the name its handlers are written against and its place, in twips, within its
// parent; FitToText puts it there.
void PlaceInTwips(QWidget* control, const char* name, int left, int top, int width, int height);
template <typename Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
    PlaceInTwips(control, name, left, top, width, height);
    return control;
}

// Other captions a placed control shows in some state of its window (a button that reads "Add"
// or "Edit"), so that the window makes room for each of them.
void AlsoShows(QWidget* control, const QStringList& captions);

// Puts every control of the window laid out with Place where its twips say, grown by the factor
// that the texts of the window need, at least atLeast; a window set up with SetUpWindow gets its
// client area the same way. Returns the factor.
double FitToText(QWidget* window, double atLeast = 1.0);

// The desktop's font at a size given for the layouts' 8-point font: a font of 12 points is
// one and a half times as large as the desktop's, so the proportions stay whatever its size.
QFont SizedLikeDesktop(QFont font, double points, bool bold = false);

// How a secondary window sits on the desktop. Either way it has a title bar and a close box
// and cannot be resized.
enum class WindowFrame {
    Tool,       // stays out of the task bar
    OwnTaskBar, // a window of its own, with a task bar entry
};

// Sets up one of the windows the main window opens: deleted when it is closed, named as its
// handlers and tests know it, titled, framed, and with a client area given in twips, which
// FitToText fixes.
void SetUpWindow(QWidget* window, const char* name, const QString& title, int width, int height,
                 WindowFrame frame = WindowFrame::Tool);
