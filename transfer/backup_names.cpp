#include "transfer/backup_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");

QString SequenceText(int sequence) {
    return sequence <= 1 ? QString() : QStringLiteral("_%1").arg(sequence, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString BackupName::FileName() const {
    return prefix + QLatin1Char('_') + stamp.toString(kStampFormat) + QLatin1Char('Z') +
           SequenceText(sequence) + suffix;
}

bool BackupName::operator<(const BackupName& other) const {
    if (stamp != other.stamp) {
        return stamp < other.stamp;
    }
    return sequence < other.sequence;
}

std::optional<BackupName> ParseBackupName(const QString& fileName, const QString& suffix) {
    // The prefix may itself hold "_" (a folder DNC_SRV1): the stamp is read from the end.
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(.+)_(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})Z(?:_(\d{2,9}))?$)"));
    if (!fileName.endsWith(suffix)) {
        return std::nullopt;
    }
    const QRegularExpressionMatch match = pattern.match(fileName.chopped(suffix.size()));
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    BackupName name;
    name.prefix = match.captured(1);
    name.stamp = QDateTime::fromString(match.captured(2), kStampFormat);
    name.stamp.setTimeSpec(Qt::UTC);
    name.sequence = match.hasCaptured(3) ? match.captured(3).toInt() : 1;
    name.suffix = suffix;
    // "2026-02-30", "_00", "_01" and "_007" are nothing Kestrum writes.
    if (!name.stamp.isValid() || name.FileName() != fileName) {
        return std::nullopt;
    }
    return name;
}

QString DncAdminCopyPrefix(const QString& folderName) {
    return QStringLiteral("DNCAdmin_") + folderName;
}

QList<BackupName> BackupFilesOf(const QString& folder, const QString& prefix,
                                const QString& suffix) {
    QList<BackupName> names;
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList({QStringLiteral("*") + suffix}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink()) {
            continue;  // Kestrum makes no links: one here leads to a file it did not make
        }
        const std::optional<BackupName> name = ParseBackupName(entry.fileName(), suffix);
        if (name && name->prefix == prefix) {
            names.append(*name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

QString NewBackupPath(const QString& folder, const QString& prefix, const QString& suffix) {
    BackupName name;
    name.prefix = prefix;
    name.suffix = suffix;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    name.stamp = QDateTime(
        now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()), Qt::UTC);
    // Within one second the names go on counting up from the highest there is (never from
    // a gap left by pruning), so their order stays the order of making. Any entry counts,
    // links and foreign files included: nothing is ever written over.
    const QDir dir(folder);
    const QString stampText = prefix + QLatin1Char('_') + name.stamp.toString(kStampFormat);
    for (const QString& taken : dir.entryList({stampText + QLatin1Char('*')},
                                              QDir::AllEntries | QDir::System | QDir::Hidden)) {
        const std::optional<BackupName> other = ParseBackupName(taken, suffix);
        if (other && other->prefix == prefix && other->stamp == name.stamp) {
            name.sequence = std::max(name.sequence, other->sequence + 1);
        }
    }
    while (QFileInfo(dir.filePath(name.FileName())).exists() ||
           QFileInfo(dir.filePath(name.FileName())).isSymLink()) {
        ++name.sequence;
    }
    return dir.filePath(name.FileName());
}

void PruneBackups(const QString& folder, const QString& prefix, const QString& suffix, int keep,
                  const QStringList& keepAlways) {
    QList<BackupName> names = BackupFilesOf(folder, prefix, suffix);
    std::reverse(names.begin(), names.end());  // newest first
    qsizetype kept = 0;
    for (const BackupName& name : names) {
        kept += keepAlways.contains(name.FileName()) ? 1 : 0;
    }
    const QDir dir(folder);
    for (const BackupName& name : names) {
        if (keepAlways.contains(name.FileName())) {
            continue;
        }
        if (kept < keep) {
            ++kept;
            continue;
        }
        QFile::remove(dir.filePath(name.FileName()));
    }
}
