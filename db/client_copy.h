#pragma once
// Copying one client's attributes (and, for the clone, its directories) onto another.
// Each copy onto one target runs in one transaction; a failing statement is reported and
// nothing of that copy is kept. What was left out, and why, is said in the outcome.

#include "db/client_attributes.h"

#include <QString>
#include <QStringList>

#include <optional>

// The client copied from and the records the copy writes.
struct CopySource {
    qint32 ClientId = 0;
    ClientModeRecord Mode;
    DownAttributesRecord Down;
    UpAttributesRecord Up;
    // Read once for a copy onto many targets; when absent each copy reads them itself.
    std::optional<TerminalAttributesRecord> Terminal;
    std::optional<RemoteAttributesRecord> Remote;
    std::optional<QList<DirectoryRecord>> Dirs;
};

// The source as read now, with everything a copy reads of it; Mode.HasClientRow is false when
// the client does not exist.
CopySource ReadCopySource(qint32 clientId);

struct CopyOutcome {
    qint32 TargetId = 0;
    bool TargetFound = false;  // false: nothing was written to it (Skipped says why)
    bool AttributesCopied = false;
    QString Skipped;           // why the target, or its attributes, were left alone
    QStringList Notes;         // parts left out of the copy, and why
    int FailedStatements = 0;  // each one reported when it failed
    int DirectoriesAdded = 0;
    int DirectoriesUpdated = 0;
    bool Committed = false;
};

// The source is CurrentClientId with CurrentClientMode, DownAttributes and UpAttributes as
// read for it. Leaves a target with protocol 5 unchanged. Writes no directories.
CopyOutcome CopyClientAttributes(qint32 targetId);

// The attributes and, when withDirectories, the directories of source onto the target, in one
// transaction. A directory the target has (path compared without regard to letter case) gets
// the source's mode, explore flag and alias; a missing one is added. An alias another
// directory of the target already carries is not given a second time.
CopyOutcome CopyClientOnto(const CopySource& source, qint32 targetId, bool withDirectories);

// The copy onto many targets at once, in one transaction and in a number of statements that
// does not grow with the targets: one outcome per target, in order, each target copied as
// CopyClientOnto copies it alone. When a statement fails, all of it is undone and each target
// is copied alone, so only a target that fails stays uncopied.
QList<CopyOutcome> CopyClientOntoMany(const CopySource& source, const QList<qint32>& targetIds,
                                      bool withDirectories);
