#pragma once

#include <QString>
#include <memory>

// The user's own copy of the code tables, made from the database that came with Dahdit, which the
// code table editor changes.
//
// Dahdit replaces the copy only where it can prove that the copy's bytes are exactly those it put
// there: when it makes or refreshes the copy it records a fingerprint (SHA-256) of what it wrote in
// a file beside it, "<copy>.made", and a later start compares the copy's bytes with it. The bytes
// themselves are the proof: a copy the user changed, restored from a backup or rebuilt (all of
// which look untouched to SQLite's own change counter) differs from the record and is kept. A
// copy without a record (made by an earlier Dahdit) is kept. A copy that is a symbolic link, is no
// regular file, or whose write bits the user cleared, or a folder whose write bits the user
// cleared, is never replaced either.
//
// And it is replaced only by a newer database: the version of the Dahdit that built a database is
// stamped into it (SQLite's user_version, see VersionStamp), so that an older Dahdit started after
// a newer one (a downgrade) never takes the newer tables away.
//
// Every Dahdit that may have the copy open holds a shared lock on the record file (InUse) for as
// long as it may; a refresh needs the lock alone, so a copy that another running Dahdit has open is
// left for a later start. Under that lock the copy is also locked against other writers through
// SQLite, and the file that is checked is the very file at the path when it is replaced.
namespace UserCopy {

// The version of a Dahdit as the number stamped into the databases it builds: 2.5.39 is 2005039.
int VersionStamp(const QString& version);

// Held while this program may have the copy open.
class InUse {
public:
    explicit InUse(int fd) : m_fd(fd) {}
    ~InUse();
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;

private:
    int m_fd;
};

// Makes the copy of installed when it is missing, or when refresh is asked for (a program's
// start) replaces it with a newer installed database as the rules above allow, and holds it in
// use for as long as inUse lives (where the lock can be had at all). False, with the cause in
// words, when there is no copy and none could be made. A failed refresh leaves the copy as it was.
bool Prepare(const QString& copy, const QString& installed, bool refresh, std::shared_ptr<InUse>* inUse,
             QString* cause);

// Whether the file at path is a copy exactly as Dahdit made or refreshed it.
bool MadeByDahdit(const QString& path);

} // namespace UserCopy
