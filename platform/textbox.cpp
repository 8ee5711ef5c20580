#include "textbox.h"

#include <QLabel>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace {

// A run of characters without a space that fills several lines of a box is broken anywhere
// whatever the wrap mode. Past this length, looking for a word boundary in it costs more than
// it gives: the line breaker scans the rest of the run for every line it makes of it.
constexpr qsizetype kLongWord = 256;

// Lines longer than this keep their shaped text from one layout to the next. A line of
// megabytes is otherwise shaped afresh at every paint and every blink of the caret.
constexpr int kLongLine = 4096;

qint64 g_longLineMeasures = 0;

bool HoldsLongWord(QStringView text) {
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

    // Qt measures a block by walking every line of it, at each blink of the caret too: a long
    // line keeps its measure until it changes or is laid out anew.
    QRectF blockBoundingRect(const QTextBlock& block) const override {
        if (block.length() <= kLongLine || m_changing)
            return QPlainTextDocumentLayout::blockBoundingRect(block);
        if (block.blockNumber() != m_measuredBlock || block.layout()->lineCount() == 0) {
            ++g_longLineMeasures;
            m_measure = QPlainTextDocumentLayout::blockBoundingRect(block);
            m_measuredBlock = block.blockNumber();
        }
        return m_measure;
    }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override {
        m_measuredBlock = -1;
        if (!m_settingOptions && setOptionsFor(document()->toRawText()))
            return; // the whole text was laid out anew just now, the change with it
        // Set before the lines are laid out, so that the shaping done for the layout is kept.
        const QTextBlock last = document()->findBlock(from + charsAdded);
        for (QTextBlock block = document()->findBlock(from); block.isValid(); block = block.next()) {
            block.layout()->setCacheEnabled(block.length() > kLongLine);
            if (block == last)
                break;
        }
        // Qt finds whether the block's height changed, and so the scroll range, by measuring it
        // before and after laying it out: neither measure may come from the one kept.
        const QScopedValueRollback<bool> changing(m_changing, true);
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
        const QScopedValueRollback<bool> setting(m_settingOptions, true);
        document()->setDefaultTextOption(option);
        return true;
    }

    bool m_settingOptions = false;
    bool m_changing = false;
    mutable int m_measuredBlock = -1;
    mutable QRectF m_measure;
};

// Replaces the box's text from position from to its end with added, editing only that part, and
// leaves the view at the end, where keying and pasting change the text. textChanged is raised
// once.
void ReplaceFrom(QPlainTextEdit* box, qsizetype from, const QString& added) {
    {
        const QSignalBlocker blocker(box);
        QTextCursor cursor(box->document());
        if (from == 0) {
            box->setPlainText(added);
        } else {
            cursor.setPosition(int(from));
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.insertText(added);
        }
        cursor.movePosition(QTextCursor::End);
        box->setTextCursor(cursor);
    }
    emit box->textChanged();
}

// The length of the box's text; the document counts its own separator after the last line too.
qsizetype BoxLength(const QPlainTextEdit* box) {
    return box->document()->characterCount() - 1;
}

} // namespace

QString TrimSpaces(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QString WithoutLastCharacter(const QString& text) {
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.toEnd();
    return text.left(std::max<qsizetype>(characters.toPreviousBoundary(), 0));
}

qint64 LongLineMeasures() {
    return g_longLineMeasures;
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
    qsizetype common = std::mismatch(old.cbegin(), old.cend(), text.cbegin(), text.cend()).first - old.cbegin();
    if (common > 0 && text.at(common - 1).isHighSurrogate())
        --common; // a character is replaced whole
    ReplaceFrom(box, common, text.mid(common));
    return true;
}

void ReplaceEnd(QPlainTextEdit* box, qsizetype removed, const QString& added) {
    ReplaceFrom(box, BoxLength(box) - std::min(removed, BoxLength(box)), added);
}

QString TextEnd(const QPlainTextEdit* box, qsizetype length) {
    // Character by character: a cursor would look up the line each position lies on, which
    // costs more the more lines a long text wraps into.
    const QTextDocument* document = box->document();
    const qsizetype end = BoxLength(box);
    QString text;
    for (qsizetype at = end - std::min(length, end); at < end; ++at) {
        const QChar c = document->characterAt(int(at));
        text += c == QChar::ParagraphSeparator ? QChar(u'\n') : c;
    }
    return text;
}

// A label that can be selected lays its text out in a text document of its own, whose wrap mode it
// sets again whenever its text, font or size has changed; so the mode is set again before each paint.
void BreakLongWords(QLabel* label) {
    struct Painted : QObject {
        using QObject::QObject;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                BreakLongWords(static_cast<QLabel*>(parent()));
            return false;
        }
    };
    if (!label->property("breaksLongWords").toBool()) { // also a text the label is given later
        label->setProperty("breaksLongWords", true);
        label->installEventFilter(new Painted(label));
    }
    auto* text = label->findChild<QTextDocument*>();
    if (!text)
        return;
    label->heightForWidth(label->width()); // lays the text out first, in the wrap mode the label sets then
    QTextOption option = text->defaultTextOption();
    if (option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere)
        return; // setting it again would lay the text out again, at every paint
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text->setDefaultTextOption(option);
}
