// Any Morse buffer against the bundled International table: nothing crashes, the table stays readable, every
// space closes one symbol, and the output and error count are what looking up each closed symbol gives.
#include "codetablestore.h"
#include "decoder.h"
#include "sqlitehandle.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace {
CodeTableStore store;
const QString kTable = QStringLiteral("International");
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    GuardSqlite(); // as Dahdit starts
    const char* path = getenv("DAHDIT_FUZZ_DB");
    StoreError error;
    if (!path || !store.open(QString::fromLocal8Bit(path), &error)) {
        fprintf(stderr, "DAHDIT_FUZZ_DB names no copy of the bundled database: %s\n", qPrintable(error.cause));
        abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    QString buffer; // mostly keyed-looking buffers (dots, dashes, spaces), sometimes any text at all
    if (size > 0 && (bytes[0] & 1)) {
        buffer = QString::fromUtf8(reinterpret_cast<const char*>(bytes + 1), qsizetype(size - 1));
    } else {
        for (size_t i = 1; i < size; ++i)
            buffer += QLatin1Char(".- .- '\n"[bytes[i] & 7]);
    }
    DecodeResult result;
    if (!DecodeBuffer(buffer, store, kTable, &result) || result.symbols != buffer.count(u' '))
        abort();
    QStringList tokens = buffer.split(u' ');
    tokens.removeLast(); // the symbol still being keyed
    QString output;
    int errors = 0;
    for (const QString& token : tokens) {
        std::optional<QString> signal;
        qsizetype longBytes = 0;
        if (!store.FindSignalOfCode(kTable, token, MaxSignalBytes, &signal, &longBytes))
            abort();
        if (signal)
            output += *signal;
        else
            ++errors;
    }
    if (output != result.output || errors != result.errors)
        abort();
    return 0;
}
