#pragma once

#include <QString>
#include <QStringList>

class QColor;
class QFont;
class QIcon;
class QPalette;
class QPlainTextEdit;
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

// Dahdit's touches on the desktop's style for one widget. A menu bar is highlighted by Alt
// pressed and released alone, and walked with the arrow keys; a slider's tick marks are drawn
// in a colour of the palette that stands out from the window.
void UseDahditStyle(QWidget* widget);

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

// A typed text without the space characters before and after it; tabs and other blanks stay.
QString TrimSpaces(const QString& text);

// The program icon, in every size it is drawn in.
QIcon ProgramIcon();

// A text without its last character as the reader sees it: a letter with its combining marks,
// an emoji with its modifiers, a pair of UTF-16 units, or a line break goes as one.
QString WithoutLastCharacter(const QString& text);

// Sets up a multi-line box that may be handed texts of megabytes on one line, so that they lay
// out in time that grows in step with their length. Its text wraps at spaces where it can; a
// text that holds a long run without a space is wrapped anywhere, since the search for word
// boundaries in such a run grows with its square. A long line is shaped once per change, not
// at every paint and every blink of the caret.
void SetUpLongTextBox(QPlainTextEdit* box);

// The whole text of a box as it was put in. Unlike toPlainText(), a no-break space stays a
// no-break space; a line break comes back as LF, whichever it was put in as.
QString BoxText(const QPlainTextEdit* box);

// Replaces the whole text of a text box, editing only the part that differs, so that appending
// a mark to a long buffer costs one small edit and the view stays where the user looks (at the
// end, when the text grew there). textChanged is raised once when the text differs; the result
// tells whether it did.
bool ReplaceText(QPlainTextEdit* box, const QString& text);

// Keying changes only the end of a buffer that may hold megabytes, so these cost the same at any
// length: ReplaceEnd replaces the last removed characters of a box's text with added (raising
// textChanged once, the view at the end), and TextEnd gives its last length characters (fewer
// when the text is shorter).
void ReplaceEnd(QPlainTextEdit* box, qsizetype removed, const QString& added);
QString TextEnd(const QPlainTextEdit* box, qsizetype length);

// A text colour quieter than the window text that still reads at the 4.5:1 contrast asked of
// body text: the palette's placeholder colour where it reaches that against the window, else
// that colour moved towards the window text just far enough.
QColor QuietTextColor(const QPalette& palette);
