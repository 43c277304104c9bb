#include "dncadmin/atomic_file.h"

#include "base/atomic_file.h"
#include "base/paths.h"
#include "transfer/backup.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

void SetError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

bool KeepOldDncAdmin(const QString& localPath, QString* error) {
    if (QFileInfo(localPath).fileName().compare(QLatin1String("DNCAdmin.ini"),
                                                Qt::CaseInsensitive) != 0) {
        return true;
    }
    return KeepDncAdminBeforeReplace(localPath, error);
}

}  // namespace

bool SaveFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    // The DNCAdmin.ini being replaced is kept first; without its copy it stays as it is.
    return KeepOldDncAdmin(NativePath(path), error) &&
           ReplaceFileAtomically(NativePath(path), bytes, error);
}

std::optional<QByteArray> ReadWholeFile(const QString& path, QString* error) {
    const QString native = NativePath(path);
    if (QFileInfo(native).exists() && !QFileInfo(native).isFile()) {
        SetError(error, ReplaceRefusal(native));  // a FIFO or a device would never end
        return std::nullopt;
    }
    QFile in(native);
    if (!in.open(QIODevice::ReadOnly)) {
        SetError(error, in.errorString());
        return std::nullopt;
    }
    QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        SetError(error, in.errorString());
        return std::nullopt;
    }
    return bytes;
}

bool SameFile(const QString& a, const QString& b) {
    const QFileInfo first(NativePath(a));
    const QFileInfo second(NativePath(b));
    if (!first.exists() || !second.exists()) {
        return false;
    }
    const QString canonicalFirst = first.canonicalFilePath();
    if (!canonicalFirst.isEmpty() && canonicalFirst == second.canonicalFilePath()) {
        return true;
    }
#ifdef Q_OS_WIN
    return false;
#else
    // Two names of one file (a hard link) have different paths.
    struct stat one {};
    struct stat other {};
    return ::stat(QFile::encodeName(first.absoluteFilePath()).constData(), &one) == 0 &&
           ::stat(QFile::encodeName(second.absoluteFilePath()).constData(), &other) == 0 &&
           one.st_dev == other.st_dev && one.st_ino == other.st_ino;
#endif
}

bool CopyFileAtomically(const QString& source, const QString& target, QString* error) {
    if (SameFile(source, target)) {
        return true;  // deleting the target first would have destroyed the source
    }
    const std::optional<QByteArray> bytes = ReadWholeFile(source, error);
    if (!bytes) {
        return false;
    }
    return SaveFileAtomically(target, *bytes, error);
}
