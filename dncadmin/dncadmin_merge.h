#pragma once
// The merge of up to four servers' DNCAdmin.ini files into the master DNCAdmin.ini: the
// master's client list and client sections come from the sources in order; everything
// else in the master stays.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

constexpr int kMergeSources = 4;
constexpr int kMergeRows = 64;  // CNC_LIST keys read from a source, and clients in the master

struct MergeCell {
    QString Name;  // empty: no client at this key
    QString NodeId;
    QString PortId;
    QString Protocol;
    QString DefaultDir;
    QString DefaultUpDir;
};

using MergeColumn = std::array<MergeCell, kMergeRows>;  // row k-1 holds CNC_LIST key k

struct MergeTable {
    std::array<MergeColumn, kMergeSources> Columns;
};

// The merge paths, kept in section "PATHS" of the settings file between runs.
extern QString MasterDncAdminPath;                        // the master folder
extern std::array<QString, kMergeSources> DncAdminPaths;  // the source files

// Upper case as the DNC servers' files hold it: letters whose upper case is not a Latin-1
// character (and "ß") stay as they are, so every byte survives the round trip.
QString UpperLatin1(const QString& text);

// Fills the column from CNC_LIST keys "1" to "64" of the file and the sections they name,
// upper-cased and read whole. Returns false (column emptied, problem saying why) when the
// file cannot be read or holds no client list: an empty file, one without [CNC_LIST], or
// one whose first line the UTF-8 byte-order mark hides from the DNC servers.
bool ReadDncAdminFile(const QString& file, MergeColumn& column, QString* problem = nullptr);
void ClearMergeColumn(MergeColumn& column);

// The master without its old client list: the body of the first [CNC_LIST] section (any
// letter case, wherever it stands) and any later copy of that section are removed; its
// header and everything else stay byte for byte.
QByteArray StripClientList(const QByteArray& bytes);

struct MergeOutcome {
    bool Ok = false;
    QString Status;  // the status-bar text: "Merge successful, n Clients" or the refusal
    QString Error;   // a message-box text when a file could not be read or written
    QString Reason;  // what lay behind Error (the system's reason, the value refused)
    int Clients = 0;
    QString MasterFile;
};

// The entries of the table in merge order (source 1 first, each in its key order), or the
// refusal: more than 64 entries ("ERROR! Clients > 64") or a client in two places.
struct MergeList {
    QList<const MergeCell*> Cells;
    QString Refusal;
};
MergeList MergeEntries(const MergeTable& table);

// The master bytes: the existing master (or the template when there is none) without its
// old list, then the merged list and client sections. Nothing (error saying why) when a
// value cannot be written into the master, e.g. a letter its encoding cannot hold.
std::optional<QByteArray> BuildMergedMaster(const QByteArray& master,
                                            const QList<const MergeCell*>& cells,
                                            QString* error = nullptr);

// The whole merge: counts and checks first, then builds the master in memory and saves it
// once. No file changes unless Ok. templatePath is used only when the master is missing.
MergeOutcome MergeDncAdmin(const MergeTable& table, const QString& masterFolder,
                           const QString& templatePath);

// "<folder>\DNCAdmin.ini" in the folder's own path text.
QString MasterFileOf(const QString& masterFolder);
