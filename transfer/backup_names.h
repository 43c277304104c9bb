#pragma once
// The names Kestrum gives the files it keeps in the backups folder, and only those.
//
// A name is a prefix, "_", the UTC date and time "yyyy-MM-dd_HH-mm-ss" and "Z", then, for
// the second and later file of one second, "_02", "_03" ..., then the suffix:
// "DNC_2026-12-07_11-28-47Z.mdb" (a configuration), "DNCAdmin_DNC_SRV1_2026-12-07_11-28-47Z_02.ini"
// (a DNCAdmin.ini copy from the folder DNC_SRV1). A name counts as Kestrum's only when it is
// exactly what Kestrum writes for the date and number it reads as: a file a user named
// "DNC_old.mdb" or "DNC_2026-12-07_11-28-47Z (2).mdb" is never listed, pruned or restored.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

inline const QString kDatabaseBackupPrefix = QStringLiteral("DNC");
inline const QString kDatabaseBackupSuffix = QStringLiteral(".mdb");
inline const QString kDncAdminCopySuffix = QStringLiteral(".ini");

struct BackupName {
    QString prefix;
    QDateTime stamp;   // UTC, whole seconds
    int sequence = 1;  // 1 for the plain name, 2 for "_02" ...
    QString suffix;

    QString FileName() const;
    // Older first: by time, then by number within the second.
    bool operator<(const BackupName& other) const;
};

// The name read back, or nothing when Kestrum would not have written it so.
std::optional<BackupName> ParseBackupName(const QString& fileName, const QString& suffix);

// The prefix of the copies of a DNCAdmin.ini that stood in a folder of this name.
QString DncAdminCopyPrefix(const QString& folderName);

// Kestrum's files of exactly this prefix and suffix in folder, oldest first: regular files
// only (never a link, whatever it leads to). Nothing when the folder cannot be read.
QList<BackupName> BackupFilesOf(const QString& folder, const QString& prefix,
                                const QString& suffix);

// A name for a new file in folder that no file has yet: the prefix with the current time;
// within one second the number goes on from the highest of the second there is.
QString NewBackupPath(const QString& folder, const QString& prefix, const QString& suffix);

// Removes the oldest of Kestrum's files of this prefix and suffix until keep are left. The
// files named in keepAlways (file names) stay whatever their date, and count among the kept.
void PruneBackups(const QString& folder, const QString& prefix, const QString& suffix, int keep,
                  const QStringList& keepAlways = {});
