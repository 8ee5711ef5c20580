#pragma once

#include <QString>

class CodeTableStore;
struct StoreError;

struct DecodeResult {
    QString output;  // the texts of the closed symbols, joined with nothing between them
    int errors = 0;  // closed symbols the table does not hold
    int symbols = 0; // closed symbols decoded
};

// Decodes a whole Morse buffer against one code table. The buffer splits at every single
// space; every token but the last is a closed symbol and is looked up. The last one is either
// empty or the symbol still being keyed, so it is not looked up.
//
// All lookups of one decode run in one read transaction, and a symbol that occurs many times
// is asked for once per decode. Nothing is kept from one decode to the next, so a change to
// the table shows at the next decode.
//
// False, with why in error, when the table cannot be read; result is then empty.
bool DecodeBuffer(const QString& buffer, CodeTableStore& store, const QString& table, DecodeResult* result,
                  StoreError* error = nullptr);
