#pragma once

#include <QString>

class CodeTableStore;
struct StoreError;

// The bounds of what one decode may produce (see DecodeBuffer). The output's bound does not grow
// with the buffer: a phrase table (codes that stand for 40-character texts) decodes 100,000
// symbols whole, and a paste of any size costs at most 8 MiB of decoded text.
constexpr qsizetype MaxSignalBytes = 64 * 1024;
constexpr qsizetype MaxOutputCharacters = 4 * 1024 * 1024;

struct DecodeResult {
    QString output; // the texts of the closed symbols, joined with nothing between them
    int errors = 0; // closed symbols the table does not hold
    // Why symbols the table holds were counted as errors all the same (see DecodeBuffer), in
    // words for the user; empty when none were.
    QString notice;
};

// Decodes a whole Morse buffer against one code table. The buffer splits at every single
// space; every token but the last is a closed symbol and is looked up. The last one is either
// empty or the symbol still being keyed, so it is not looked up.
//
// All lookups of one decode run in one read transaction, and a symbol that occurs many times
// is asked for once per decode. Nothing is kept from one decode to the next, so a change to
// the table shows at the next decode.
//
// No table can make a decode grow without bound, whatever its texts: a text longer than
// MaxSignalBytes is not read and its code counts as unknown, and the output ends where the next
// text would take it past MaxOutputCharacters, every symbol from there on counted as unknown.
// Keyed by hand, no sane table comes near either bound; result.notice says which one a decode met.
//
// False, with why in error, when the table cannot be read; result is then empty.
bool DecodeBuffer(const QString& buffer, CodeTableStore& store, const QString& table, DecodeResult* result,
                  StoreError* error = nullptr);
