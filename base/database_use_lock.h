#pragma once
// Who has a database file in use. Kestrum holds a shared claim on its DNC.mdb for its whole
// run; a restore takes the claim exclusively, so it never replaces a configuration under a
// running Kestrum, and no Kestrum starts half-way through a restore.
//
// The claim is a lock on one byte of the database file itself, far past any byte the
// database engine reads, writes or locks. So it belongs to the file, not to a user, a program
// folder or the name it was reached by (a link, a second name, another computer on a share that
// passes locks): every Kestrum on that file meets every other. The system drops it when its process
// ends, so a crashed Kestrum leaves nothing to clean up.

#include <QString>

class DatabaseUseLock {
public:
    enum class Mode { Shared, Exclusive };
    enum class Result {
        Held,    // the claim is ours
        InUse,   // another holds a claim that excludes this one, past the wait
        Failed,  // the file cannot be opened or locked at all (the reason in Error())
    };

    DatabaseUseLock() = default;
    ~DatabaseUseLock();
    DatabaseUseLock(const DatabaseUseLock&) = delete;
    DatabaseUseLock& operator=(const DatabaseUseLock&) = delete;

    // Takes the claim on the file at path (a link is followed), trying again until waitMs
    // have passed. A claim held before is released first.
    Result Acquire(const QString& path, Mode mode, int waitMs);
    void Release();
    bool IsHeld() const;
    QString Error() const { return error_; }

    // Whether a held claim keeps its file from being replaced by a rename. On Windows it does
    // (the claim is an open handle, and no open file is renamed over), so whoever replaces the
    // file claims the new one first and releases the old claim just before the rename.
    static bool BlocksReplace();

private:
    Result TryOnce(const QString& path, Mode mode);

#ifdef Q_OS_WIN
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    QString error_;
};

// How long anything of Kestrum waits for a database another holds: the same as the busy wait
// on every database connection.
inline constexpr int kDatabaseWaitMs = 5000;
