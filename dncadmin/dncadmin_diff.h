#pragma once
// What replacing one DNCAdmin.ini with another changes for the DNC server: the clients
// added, removed and changed, key by key. The export and merge previews and the
// configuration check's drift findings all use it.

#include "dncadmin/dncadmin_export.h"
#include "dncadmin/dncadmin_merge.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The clients a DNCAdmin.ini lists: the names of CNC_LIST in the order of their numbers,
// each with the five keys of its section ("" when missing).
QList<DncAdminClient> ReadDncAdminClients(const QByteArray& fileBytes);

struct DncAdminKeyChange {
    QString Key;  // NODE_ID, PORT_ID, PROTOCOL, DEFAULT_DIR or DEFAULT_UP_DIR
    QString Old;
    QString New;
};

struct DncAdminClientChange {
    QString Name;
    QList<DncAdminKeyChange> Keys;
};

struct DncAdminDiff {
    QStringList Added;    // in the new file only
    QStringList Removed;  // in the old file only
    QList<DncAdminClientChange> Changed;
    bool IsEmpty() const { return Added.isEmpty() && Removed.isEmpty() && Changed.isEmpty(); }
};

// Clients are matched by name without regard to letter case (as the sections are). Values
// compare exactly, or in upper case when ignoreValueCase (the master holds them upper-cased).
DncAdminDiff DiffDncAdminClients(const QList<DncAdminClient>& before,
                                 const QList<DncAdminClient>& after, bool ignoreValueCase = false);

// One line per client: "added LATHE3", "removed MILL1",
// "changed LATHE1: PROTOCOL STANDARD -> BTR, DEFAULT_DIR C:\A -> C:\B".
QStringList DncAdminDiffLines(const DncAdminDiff& diff);
// The key changes of one client: "PROTOCOL STANDARD -> BTR, ..." (an empty value shows "").
QString KeyChangesText(const QList<DncAdminKeyChange>& keys);

// The summary a question shows before a file is replaced: counts, then at most maxLines
// lines of DncAdminDiffLines.
QString DncAdminDiffSummary(const DncAdminDiff& diff, int maxLines = 12);

// The change of replacing the file at path (path text) by newBytes: nothing when there is
// no file there or it cannot be read.
std::optional<DncAdminDiff> ReplacementDiff(const QString& path, const QByteArray& newBytes,
                                            bool ignoreValueCase = false);

// What the merge would write, built as MergeDncAdmin builds it, with nothing written.
struct MergePreview {
    bool Ok = false;
    QString Error;  // why the merge would not run
    QString MasterFile;
    bool MasterExists = false;
    QByteArray Old;  // the master as it is (empty when there is none)
    QByteArray New;
    int Clients = 0;
};
MergePreview PreviewMergedMaster(const MergeTable& table, const QString& masterFolder,
                                 const QString& templatePath);

// Before the file at path is replaced by newBytes: when that changes its clients, asks
// "Replace ...?" with the summary (Yes, No). True when there is no such file, its clients
// stay as they are, or the operator answered Yes.
bool ConfirmDncAdminReplacement(const QString& path, const QByteArray& newBytes,
                                const QString& title, bool ignoreValueCase = false);
