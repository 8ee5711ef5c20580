// Builds Dahdit's bundled code table database from tab-separated code tables.
// Usage: dahdit_makedb OUTPUT TABLE.tsv...
// Each file becomes one table named as the file, its rows in file order. The database is built
// beside OUTPUT under a temporary name and moved into place only when it is complete.
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <sqlite3.h>

namespace {

bool exec(sqlite3* db, const QByteArray& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "dahdit_makedb: %s\n", message ? message : "unknown error");
    sqlite3_free(message);
    return false;
}

bool addTable(sqlite3* db, const QString& tsvPath) {
    QFile file(tsvPath);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "dahdit_makedb: cannot read %s\n", qPrintable(tsvPath));
        return false;
    }
    const QByteArray name = QFileInfo(tsvPath).completeBaseName().toUtf8();
    const QByteArray quoted = '"' + QByteArray(name).replace('"', "\"\"") + '"';
    if (!exec(db, "CREATE TABLE " + quoted + " (ID INTEGER PRIMARY KEY AUTOINCREMENT, MS TEXT, TS TEXT)") ||
        !exec(db, "CREATE INDEX \"" + name + "_MS\" ON " + quoted + " (MS)") ||
        !exec(db, "CREATE INDEX \"" + name + "_TS\" ON " + quoted + " (TS)"))
        return false;
    sqlite3_stmt* insert = nullptr;
    const QByteArray sql = "INSERT INTO " + quoted + " (MS, TS) VALUES (?1, ?2)";
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr) != SQLITE_OK)
        return false;
    int lineNo = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++lineNo;
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0) {
            std::fprintf(stderr, "dahdit_makedb: %s:%d: expected CODE<TAB>TEXT\n", qPrintable(tsvPath), lineNo);
            sqlite3_finalize(insert);
            return false;
        }
        // The text is taken as it stands: the word-space row's text is a single blank.
        const QByteArray ms = line.left(tab);
        const QByteArray ts = line.mid(tab + 1);
        sqlite3_bind_text(insert, 1, ms.constData(), int(ms.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, ts.constData(), int(ts.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            std::fprintf(stderr, "dahdit_makedb: %s\n", sqlite3_errmsg(db));
            sqlite3_finalize(insert);
            return false;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: dahdit_makedb OUTPUT TABLE.tsv...\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString partial = output + QStringLiteral(".partial");
    QFile::remove(partial);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(partial.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
              SQLITE_OK;
    ok = ok && exec(db, "BEGIN");
    for (int i = 2; ok && i < argc; ++i)
        ok = addTable(db, QString::fromLocal8Bit(argv[i]));
    ok = ok && exec(db, "COMMIT");
    sqlite3_close(db);
    if (!ok) {
        QFile::remove(partial);
        return 1;
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        std::fprintf(stderr, "dahdit_makedb: cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
