// Fuzzes the decoder with arbitrary Morse buffers against the bundled International table.
// Properties: nothing crashes; the table is always readable; every space closes one symbol;
// the output and the error count are what looking up each closed symbol on its own gives.
#include "codetablestore.h"
#include "decoder.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace {
CodeTableStore* store = nullptr;
const QString kTable = QStringLiteral("International");
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* path = getenv("DAHDIT_FUZZ_DB");
    if (!path) {
        fprintf(stderr, "set DAHDIT_FUZZ_DB to a copy of the bundled database\n");
        abort();
    }
    store = new CodeTableStore;
    StoreError error;
    if (!store->open(QString::fromLocal8Bit(path), &error)) {
        fprintf(stderr, "%s\n", qPrintable(error.message));
        abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0)
        return 0;
    // Mostly keyed-looking buffers (dots, dashes, spaces), sometimes any text at all.
    QString buffer;
    if (bytes[0] & 1) {
        buffer = QString::fromUtf8(reinterpret_cast<const char*>(bytes + 1), qsizetype(size - 1));
    } else {
        static const char marks[] = {'.', '-', ' ', '.', '-', ' ', '\'', '\n'};
        for (size_t i = 1; i < size; ++i)
            buffer += QLatin1Char(marks[bytes[i] & 7]);
    }

    DecodeResult result;
    StoreError error;
    if (!DecodeBuffer(buffer, *store, kTable, &result, &error)) {
        fprintf(stderr, "decode failed: %s\n", qPrintable(error.message));
        abort();
    }
    const qsizetype spaces = buffer.count(u' ');
    if (result.symbols != spaces || result.errors < 0 || result.errors > result.symbols) {
        fprintf(stderr, "symbols %d, errors %d, spaces %lld\n", result.symbols, result.errors, (long long)spaces);
        abort();
    }

    QStringList tokens = buffer.split(u' ');
    tokens.removeLast(); // the symbol still being keyed
    QString output;
    int errors = 0;
    for (const QString& token : tokens) {
        std::optional<CodeTableEntry> row;
        if (!store->FindByCode(kTable, token, &row))
            abort();
        if (row)
            output += row->ts;
        else
            ++errors;
    }
    if (output != result.output || errors != result.errors) {
        fprintf(stderr, "decode gave %s with %d errors, lookups give %s with %d\n", qPrintable(result.output),
                result.errors, qPrintable(output), errors);
        abort();
    }
    return 0;
}
