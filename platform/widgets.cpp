#include "widgets.h"

#include <QIcon>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>

void PlaceTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsRect(left, top, width, height));
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
