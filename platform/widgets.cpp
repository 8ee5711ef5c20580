#include "widgets.h"

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

namespace {

// A run of characters without a space that fills several lines of a box is broken anywhere
// whatever the wrap mode. Past this length, looking for a word boundary in it costs more than
// it gives: the line breaker scans the rest of the run for every line it makes of it.
constexpr qsizetype kLongWord = 256;

// Lines longer than this keep their shaped text from one layout to the next. A line of
// megabytes is otherwise shaped afresh at every paint and every blink of the caret.
constexpr int kLongLine = 4096;

bool HoldsLongWord(const QString& text) {
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\n' || c == QChar::ParagraphSeparator)
            run = 0;
        else if (++run > kLongWord)
            return true;
    }
    return false;
}

// The layout of Dahdit's multi-line boxes. It sees every change of the text, whoever made it
// (the program, typing, a paste from the box's own menu, a drop), before any line is laid out.
class LongLineLayout : public QPlainTextDocumentLayout {
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override {
        if (!m_settingOptions && setOptionsFor(document()->toRawText()))
            return; // the whole text was laid out anew just now, the change with it
        // Set before the lines are laid out, so that the shaping done for the layout is kept.
        const QTextBlock last = document()->findBlock(from + charsAdded);
        for (QTextBlock block = document()->findBlock(from); block.isValid(); block = block.next()) {
            block.layout()->setCacheEnabled(block.length() > kLongLine);
            if (block == last)
                break;
        }
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    }

private:
    // Gives the text the wrap mode and direction it needs, laying it all out anew when they
    // change; true when they did.
    bool setOptionsFor(const QString& text) {
        const QTextOption::WrapMode wrap =
            HoldsLongWord(text) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
        // A long text has its direction fixed here: left open, it is looked for along the whole
        // line at every blink of the caret, and Morse marks have none to find.
        const Qt::LayoutDirection direction = text.size() <= kLongLine ? Qt::LayoutDirectionAuto
                                              : text.isRightToLeft()   ? Qt::RightToLeft
                                                                       : Qt::LeftToRight;
        QTextOption option = document()->defaultTextOption();
        if (option.wrapMode() == wrap && option.textDirection() == direction)
            return false;
        option.setWrapMode(wrap);
        option.setTextDirection(direction);
        m_settingOptions = true;
        document()->setDefaultTextOption(option);
        m_settingOptions = false;
        return true;
    }

    bool m_settingOptions = false;
};

} // namespace

void SetUpWindow(QWidget* window, const char* name, const QString& title, int width, int height, WindowFrame frame) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(title);
    if (frame == WindowFrame::Tool)
        window->setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    else
        window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint);
    window->setFixedSize(Twips(width), Twips(height));
}

QString TrimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QIcon ProgramIcon() {
    // The pictures are compiled into this static library and nothing refers to them by symbol,
    // so they are registered by name or the linker leaves them out.
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/dahdit-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString WithoutLastCharacter(const QString& text) {
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.toEnd();
    return text.left(std::max<qsizetype>(characters.toPreviousBoundary(), 0));
}

void SetUpLongTextBox(QPlainTextEdit* box) {
    auto* document = new QTextDocument(box);
    document->setDocumentLayout(new LongLineLayout(document));
    box->setDocument(document);
}

QString BoxText(const QPlainTextEdit* box) {
    // The raw text holds every character as it was put in; only the separator between two
    // lines is the document's own.
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

bool ReplaceText(QPlainTextEdit* box, const QString& text) {
    const QString old = BoxText(box);
    if (old == text)
        return false;
    qsizetype common = 0;
    const qsizetype limit = std::min(old.size(), text.size());
    while (common < limit && old.at(common) == text.at(common))
        ++common;
    if (common > 0 && text.at(common - 1).isHighSurrogate())
        --common; // a character is replaced whole
    {
        const QSignalBlocker blocker(box);
        QTextCursor cursor(box->document());
        if (common == 0) {
            box->setPlainText(text);
        } else {
            cursor.setPosition(int(common));
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.insertText(text.mid(common));
        }
        // The view follows the end of the text, where keying and pasting change it.
        cursor.movePosition(QTextCursor::End);
        box->setTextCursor(cursor);
        box->ensureCursorVisible();
    }
    emit box->textChanged();
    return true;
}

namespace {

// Relative luminance and contrast ratio as the accessibility guidelines define them.
double Luminance(const QColor& colour) {
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Mix(const QColor& from, const QColor& to, double share) {
    auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(float(mix(from.redF(), to.redF())), float(mix(from.greenF(), to.greenF())),
                            float(mix(from.blueF(), to.blueF())));
}

} // namespace

QColor QuietTextColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    // The placeholder colour is often half transparent: what the eye sees is it over the window.
    const QColor placeholder = palette.color(QPalette::PlaceholderText);
    const QColor quiet = Mix(window, QColor(placeholder.rgb()), placeholder.alphaF());
    for (int step = 0; step < 20; ++step) {
        const QColor candidate = Mix(quiet, text, step / 20.0);
        if (Contrast(candidate, window) >= 4.5)
            return candidate;
    }
    return text;
}
