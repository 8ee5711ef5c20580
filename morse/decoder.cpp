#include "decoder.h"

#include "codetablestore.h"

#include <QHash>
#include <QLocale>
#include <QStringView>

namespace {

// What one distinct symbol decodes to in a run.
struct Known {
    std::optional<QString> text; // nothing when the table does not hold the code, or its text is too long
    qsizetype longBytes = 0;     // the size of a text too long to be read
};

// A code as a message quotes it: a token may be as long as a whole paste.
QString quoted(QStringView code) {
    constexpr qsizetype kShown = 24;
    return u'"' + (code.size() > kShown ? code.left(kShown).toString() + QChar(0x2026) : code.toString()) + u'"';
}

} // namespace

bool DecodeBuffer(const QString& buffer, CodeTableStore& store, const QString& table, DecodeResult* result,
                  StoreError* error) {
    *result = DecodeResult();
    const qsizetype lastSpace = buffer.lastIndexOf(u' ');
    if (lastSpace < 0)
        return true; // no closed symbol
    // Another program's lock at start-up is a passing state: each decode tries the file again.
    if (!store.reopenIfLocked(error))
        return false;
    if (!store.beginRead(error))
        return false;

    QHash<QStringView, Known> seen;
    result->output.reserve(int(lastSpace / 3) + 16);
    bool full = false;
    Known found;
    qsizetype start = 0;
    while (start <= lastSpace) {
        const qsizetype space = buffer.indexOf(u' ', start);
        const QStringView token = QStringView(buffer).mid(start, space - start);
        start = space + 1;
        if (full) {
            ++result->errors;
            continue;
        }
        auto known = seen.constFind(token);
        if (known == seen.constEnd()) {
            if (!store.FindSignalOfCode(table, token, MaxSignalBytes, &found.text, &found.longBytes, error)) {
                store.endRead();
                *result = DecodeResult();
                return false;
            }
            known = seen.insert(token, found);
        }
        if (known->longBytes > 0 && result->notice.isEmpty())
            result->notice = QStringLiteral("The code table \"%1\" gives the code %2 a text of %3, more than the "
                                            "%4 a code may stand for, so Dahdit counts that code as unknown.")
                                 .arg(table, quoted(token), QLocale::system().formattedDataSize(known->longBytes, 1),
                                      QLocale::system().formattedDataSize(MaxSignalBytes, 0));
        if (!known->text) {
            ++result->errors;
        } else if (result->output.size() + known->text->size() > MaxOutputCharacters) {
            // A row of a table made by other means may stand for far more text than any paste.
            full = true;
            ++result->errors;
            if (result->notice.isEmpty())
                result->notice = QStringLiteral("The code table \"%1\" gives the Morse buffer so much text that the "
                                                "decoded text would grow past %2 characters, so Dahdit counts the "
                                                "symbols from there on as unknown.")
                                     .arg(table, QLocale::system().toString(MaxOutputCharacters));
        } else {
            // A row whose text is empty or NULL adds nothing but is no error.
            result->output += *known->text;
        }
    }
    store.endRead();
    return true;
}
