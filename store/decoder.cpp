#include "decoder.h"

#include "codetablestore.h"

#include <QHash>
#include <QStringView>

bool DecodeBuffer(const QString& buffer, CodeTableStore& store, const QString& table, DecodeResult* result,
                  StoreError* error) {
    *result = DecodeResult();
    const qsizetype lastSpace = buffer.lastIndexOf(u' ');
    if (lastSpace < 0)
        return true; // no closed symbol
    // Another program's lock at start-up is a passing state: each decode tries the file again.
    if (!store.isOpen() && !store.reopenIfLocked(error))
        return false;
    if (!store.beginRead(error))
        return false;

    // What each distinct symbol decodes to in this run: its text, or nothing when the table does
    // not hold it.
    QHash<QStringView, std::optional<QString>> seen;
    seen.reserve(128);
    result->output.reserve(int(lastSpace / 3) + 16);
    std::optional<QString> signal;
    qsizetype start = 0;
    while (start <= lastSpace) {
        const qsizetype space = buffer.indexOf(u' ', start);
        const QStringView token = QStringView(buffer).mid(start, space - start);
        start = space + 1;
        ++result->symbols;
        auto known = seen.constFind(token);
        if (known == seen.constEnd()) {
            if (!store.FindSignalOfCode(table, token, &signal, error)) {
                store.endRead();
                *result = DecodeResult();
                return false;
            }
            known = seen.insert(token, signal);
        }
        // A row whose text is empty or NULL adds nothing but is no error.
        if (*known)
            result->output += **known;
        else
            ++result->errors;
    }
    store.endRead();
    return true;
}
