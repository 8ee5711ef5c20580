#include "sqlitehandle.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool g_guarded = false;

// Opens a file for SQLite in place of open(), without waiting; anything but a regular file or a
// folder is refused, and SQLite then fails with "unable to open". Opening a named pipe would wait
// for a writer, and reading one, or a device, may wait for ever.
int openRegularOnly(const char* name, int flags, int mode) {
    const int fd = ::open(name, flags | O_NONBLOCK | O_CLOEXEC, mode_t(mode));
    if (fd < 0)
        return fd;
    struct stat status {};
    const bool random = std::strcmp(name, "/dev/urandom") == 0; // the seed of SQLite's random numbers
    if (::fstat(fd, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISDIR(status.st_mode) || random)) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    if (!(flags & O_NONBLOCK))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

bool GuardSqlite() {
    sqlite3_hard_heap_limit64(SqliteMemory);
    sqlite3_vfs* unix = sqlite3_vfs_find("unix");
    g_guarded =
        g_guarded ||
        (unix && unix->xSetSystemCall &&
         unix->xSetSystemCall(unix, "open", reinterpret_cast<sqlite3_syscall_ptr>(openRegularOnly)) == SQLITE_OK);
    return g_guarded;
}

void SqliteRelease::operator()(sqlite3* db) const {
    sqlite3_close_v2(db); // a statement still alive keeps the connection until it is finalised
}

void SqliteRelease::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

int OpenSqlite(const QByteArray& name, int flags, SqliteConnection* db) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &raw, flags, nullptr);
    db->reset(raw);
    return rc;
}

int PrepareSqlite(sqlite3* db, const QByteArray& sql, SqliteStatement* statement) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &raw, nullptr);
    statement->reset(raw);
    return rc;
}

QByteArray QuotedIdentifier(const QString& name) {
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}
