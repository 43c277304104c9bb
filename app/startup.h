#pragma once
// The program's start: refuse a second copy, read the settings, find and open DNC.mdb.

#include <QLockFile>

#include <memory>

// Held for the whole run; a second copy of the program for the same user and installation
// cannot take it. A crashed copy does not keep it: its lock is found stale and taken over.
class SingleInstanceLock {
public:
    SingleInstanceLock();
    explicit SingleInstanceLock(const QString& path);  // a lock file of one's choosing
    // False only when a running copy holds the lock.
    bool TryAcquire();
    QString FilePath() const;

private:
    std::unique_ptr<QLockFile> lock_;
    QString path_;
};

enum class StartUpOutcome {
    ShowMainWindow,   // settings read, connection opened (or its failure ignored)
    DatabaseMissing,  // the message was shown; the program ends
    AccessDatabase,   // DNC.mdb is an Access file: the message was shown; the program ends
};

// Reads the settings, checks for the database (showing the message when it is missing),
// opens DncConnection and reads the remaining settings. Does not take the instance lock.
StartUpOutcome StartUp();
