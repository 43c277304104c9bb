#pragma once
// Cloning one client's properties and directories onto a list of other clients: the steps
// of the clone window's OK, without the window.

#include "db/client_copy.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The source chosen and the client chosen last on the server side, for the program run.
extern QString LastCloneServer;
extern QString LastCloneSource;

struct CloneTargetResult {
    QString Name;
    CopyOutcome Outcome;
};

struct CloneRun {
    QString Refused;          // not empty: nothing is copied, and this says why
    bool ReadFailed = false;  // the source could not be read (reported): nothing is copied
    QString SourceName;
    CopySource Source;
    QStringList Targets;
    QList<CloneTargetResult> Results;          // one per target done, in order
    std::optional<NamedClients> TargetsFound;  // the targets' ids, read together
};

// The clone of source onto targets, ready to run: the source is looked up now and becomes the
// current client. An empty or unknown source refuses the whole clone.
CloneRun PrepareClone(const QString& source, const QStringList& targets);

// Targets copied together, in one transaction: a few statements serve them all.
inline constexpr int kCloneTargetsPerBatch = 64;

// Copies onto the next targets not done yet (a batch of them); false when none is left or the
// clone is refused.
bool CloneNextTarget(CloneRun& run);

// What was copied and skipped, and why, for the message at the end. A clone stopped early
// lists the targets it never reached.
QString CloneSummaryText(const CloneRun& run);
