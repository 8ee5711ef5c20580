// How long one whole decode takes: the lookups, and the update of the output text and the error
// count, for buffers of 100 to 32,767 closed symbols of the International table. The lookups
// are compared, on the same tokens in the same run, with a baseline that builds every
// statement by concatenation and runs it on its own, and with an in-memory hash (the floor).
#include "benchsupport.h"
#include "decoder.h"
#include "form1.h"
#include "sqlitehandle.h"
#include "testsupport.h"

#include <QApplication>
#include <QHash>
#include <QPlainTextEdit>
#include <cstdio>
#include <sqlite3.h>

namespace {

DecodeResult DecodeWithHash(const QString& buffer, const QHash<QString, QString>& table) {
    DecodeResult result;
    const QStringList tokens = buffer.split(u' ');
    for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
        const auto found = table.constFind(tokens[i]);
        if (found == table.constEnd())
            ++result.errors;
        else
            result.output += *found;
    }
    return result;
}

DecodeResult DecodeWithConcatenation(const QString& buffer, sqlite3* db) {
    DecodeResult result;
    const QStringList tokens = buffer.split(u' ');
    for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
        const QByteArray sql = QStringLiteral("select * from International where MS = '%1'").arg(tokens[i]).toUtf8();
        SqliteStatement stmt;
        PrepareSqlite(db, sql, &stmt);
        if (sqlite3_step(stmt.get()) == SQLITE_ROW)
            result.output += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2)));
        else
            ++result.errors;
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    GuardSqlite(); // as Dahdit starts
    QApplication app(argc, argv);
    ProgramFolder folder;
    const QString db = folder.copyBundledDatabase();
    CodeTableStore store;
    store.open(db);
    QVector<CodeTableEntry> rows;
    ListEntries(store, QStringLiteral("International"), &rows);
    QHash<QString, QString> hash;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        hash.insert(it->ms, it->ts);
    SqliteConnection raw;
    OpenSqlite(db.toUtf8(), SQLITE_OPEN_READONLY, &raw);

    Form1 form;
    form.show();
    auto* text1 = form.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    auto* text2 = form.findChild<QPlainTextEdit*>(QStringLiteral("Text2"));

    std::printf("Decode of a whole buffer, International table, 2 %% unknown codes (median times)\n");
    std::printf("%8s %12s %12s %12s %12s %10s %10s\n", "symbols", "decode ms", "lookups ms", "floor ms", "baseline ms",
                "/floor", "baseline/");
    for (int symbols : Full<std::vector<int>>({100, 1000, 10000, 32767}, {100, 1000})) {
        const QString buffer = MakeBuffer(rows, symbols);
        const int runs = Full(symbols >= 10000 ? 9 : 31, 3);
        DecodeResult a;
        DecodeBuffer(buffer, store, QStringLiteral("International"), &a);
        const DecodeResult b = DecodeWithHash(buffer, hash);
        const DecodeResult c = DecodeWithConcatenation(buffer, raw.get());
        if (a.output != b.output || a.errors != b.errors || a.output != c.output || a.errors != c.errors) {
            std::fprintf(stderr, "the three decoders disagree\n");
            return 1;
        }
        const double lookups = MedianMs(runs, [&] {
            DecodeResult result;
            DecodeBuffer(buffer, store, QStringLiteral("International"), &result);
        });
        const double floor = MedianMs(runs, [&] { DecodeWithHash(buffer, hash); });
        const double baseline =
            MedianMs(Full(symbols >= 10000 ? 3 : 9, 1), [&] { DecodeWithConcatenation(buffer, raw.get()); });
        // A whole decode as the window runs it: lookups, output text, panel 4, then the repaint.
        {
            const QSignalBlocker quiet(text1);
            text1->setPlainText(buffer);
        }
        QApplication::processEvents();
        // The output text is emptied before each run, so that every run writes it anew.
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            {
                const QSignalBlocker quiet(text2);
                text2->clear();
            }
            QApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            form.DecodeInput();
            QApplication::processEvents();
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::sort(times.begin(), times.end());
        const double whole = times[times.size() / 2];
        std::printf("%8d %12.2f %12.2f %12.2f %12.2f %10.2f %10.1f\n", symbols, whole, lookups, floor, baseline,
                    lookups / floor, baseline / lookups);
    }
    std::printf("Goals: lookups at most 4 x the floor and at least 30 x faster than the baseline; a whole decode\n"
                "of 10,000 symbols within 16 ms and of 32,767 within 60 ms.\n");
    form.close();
    return 0;
}
