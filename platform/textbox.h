#pragma once

// Texts as the user types them and as Dahdit's multi-line boxes hold them, which may be megabytes.

#include <QString>

class QLabel;
class QPlainTextEdit;

// A typed text without the space characters before and after it; tabs and other blanks stay.
QString TrimSpaces(const QString& text);

// A text without its last character as the reader sees it: a letter with its combining marks,
// an emoji with its modifiers, a pair of UTF-16 units, or a line break goes as one.
QString WithoutLastCharacter(const QString& text);

// Sets up a multi-line box that may be handed texts of megabytes on one line, so that they lay
// out in time that grows in step with their length. Its text wraps at spaces where it can; a
// text that holds a long run without a space is wrapped anywhere, since the search for word
// boundaries in such a run grows with its square. A long line is shaped once per change, not
// at every paint and every blink of the caret.
void SetUpLongTextBox(QPlainTextEdit* box);
// A label whose text wraps and can be selected breaks a word longer than a line (a long path) where
// the line ends: Qt lets such a word run past the label's edge, where it cannot be read. Its height
// for a width then counts those lines, until its text, font or size changes; it is drawn so always.
void BreakLongWords(QLabel* label);
// How many times a long line has been measured line by line, for the tests of what it costs.
qint64 LongLineMeasures();

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
