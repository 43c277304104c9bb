#include "base/atomic_file.h"

#include "base/clock.h"
#include "base/database_use_lock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#endif

namespace {

const QString kMarker = QStringLiteral(".kestrum-tmp-");

QRegularExpression TemporaryPattern(const QString& target) {
    return QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(target) +
                              QRegularExpression::escape(kMarker) +
                              QStringLiteral("(\\d{1,10})-[A-Za-z0-9]{6}$"));
}

bool ProcessRuns(qint64 pid) {
    if (pid == QCoreApplication::applicationPid()) {
        return false;  // our own writes never leave a temporary file behind on success
    }
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    if (pid <= 0 || pid > 0x7FFFFFFF) {
        return false;
    }
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#endif
}

// Removes the temporary files that killed writes to target left in folder.
void RemoveLeftovers(const QDir& folder, const QString& target) {
    const QRegularExpression pattern = TemporaryPattern(target);
    const QStringList candidates =
        folder.entryList({target + kMarker + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString& name : candidates) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch() && !ProcessRuns(match.captured(1).toLongLong())) {
            QFile::remove(folder.filePath(name));
        }
    }
}

QString RandomTag() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString tag;
    for (int i = 0; i < 6; ++i) {
        tag += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars) - 1)]);
    }
    return tag;
}

enum class Renamed { Done, InUse, Failed };

// One rename that replaces a file at to; reason says why it failed.
Renamed RenameReplacingOnce(const QString& from, const QString& to, QString* reason) {
#ifdef Q_OS_WIN
    const QString native = QDir::toNativeSeparators(to);
    const auto target = reinterpret_cast<const wchar_t*>(native.utf16());
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                    target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return Renamed::Done;
    }
    const DWORD error = GetLastError();
    *reason = qt_error_string(int(error));
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        return Renamed::InUse;
    }
    if (error != ERROR_ACCESS_DENIED) {
        return Renamed::Failed;
    }
    // Access is also denied for a read-only file or missing rights, which waiting never
    // mends; otherwise some handle keeps the file (without sharing deletion, or with it but
    // the file system replaces no open file) and waiting is worth it.
    HANDLE probe =
        CreateFileW(target, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION ? Renamed::InUse : Renamed::Failed;
    }
    CloseHandle(probe);
    const DWORD attributes = GetFileAttributesW(target);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) {
        return Renamed::Failed;
    }
    return Renamed::InUse;
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        return Renamed::Done;
    }
    *reason = QString::fromLocal8Bit(std::strerror(errno));
#endif
    return Renamed::Failed;
}

// Renames from over to. A DNC server reading to at that moment keeps Windows from replacing
// it; it is let go soon, so the rename is tried again until the usual wait has passed.
bool RenameReplacing(const QString& from, const QString& to, QString* reason) {
    constexpr int kRetryMs = 50;
    Clock& clock = CurrentClock();
    const qint64 start = clock.NowMs();
    for (;;) {
        const Renamed renamed = RenameReplacingOnce(from, to, reason);
        if (renamed != Renamed::InUse) {
            return renamed == Renamed::Done;
        }
        if (clock.NowMs() - start >= kDatabaseWaitMs) {
            *reason = QStringLiteral("another program holds it open (waited %1 s)")
                          .arg(kDatabaseWaitMs / 1000);
            return false;
        }
        clock.SleepMs(kRetryMs);
    }
}

// The system's reason for the last failed call, when the file device had none of its own.
QString SystemReason(int error) {
#ifdef Q_OS_WIN
    Q_UNUSED(error);
    return QString();
#else
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
#endif
}

QString KindRefusal(const QString& path) {
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (info.isDir()) {
        return QStringLiteral("it is a folder, not a file");
    }
    return info.isFile() ? QString() : QStringLiteral("it is not a regular file");
#else
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return QString();  // gone meanwhile: a new file is made
    }
    if (S_ISREG(status.st_mode)) {
        return QString();
    }
    if (S_ISDIR(status.st_mode)) {
        return QStringLiteral("it is a folder, not a file");
    }
    if (S_ISFIFO(status.st_mode)) {
        return QStringLiteral("it is a FIFO (named pipe), not a regular file");
    }
    if (S_ISSOCK(status.st_mode)) {
        return QStringLiteral("it is a socket, not a regular file");
    }
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) {
        return QStringLiteral("it is a device, not a regular file");
    }
    return QStringLiteral("it is not a regular file");
#endif
}

}  // namespace

QString ReplaceRefusal(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink()) {
        if (!info.exists()) {
            return QStringLiteral("it is a link to \"%1\", which does not exist")
                .arg(info.symLinkTarget());
        }
        const QString target = info.canonicalFilePath();
        return target.isEmpty() ? QStringLiteral("the link cannot be followed")
                                : KindRefusal(target);
    }
    if (!info.exists()) {
        return QString();
    }
    return KindRefusal(path);
}

bool RenameWithoutReplacing(const QString& from, const QString& to, QString* error) {
#ifdef Q_OS_WIN
    // Without MOVEFILE_REPLACE_EXISTING an existing name is never replaced.
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    if (error) {
        *error = QStringLiteral("\"%1\" could not be created").arg(to);
    }
    return false;
#else
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0) {
        return true;
    }
    int reason = errno;
    if (reason == EINVAL || reason == ENOSYS) {
        // A file system without that rename: a second name fails just the same on any entry.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return true;
        }
        reason = errno;
    }
    if (error) {
        *error =
            reason == EEXIST
                ? QStringLiteral(
                      "\"%1\" already exists (it may be a link that points "
                      "nowhere); it was left as it is")
                      .arg(to)
                : QStringLiteral("\"%1\" could not be created: %2").arg(to, SystemReason(reason));
    }
    return false;
#endif
}

bool RenameOver(const QString& from, const QString& to, QString* error) {
    QString reason;
    if (RenameReplacing(from, to, &reason)) {
        return true;
    }
    if (error) {
        *error = QStringLiteral("\"%1\" could not be replaced: %2").arg(to, reason);
    }
    return false;
}

bool IsTemporaryFileOf(const QString& fileName, const QString& target) {
    return TemporaryPattern(target).match(fileName).hasMatch();
}

bool ReplaceFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    const QString refusal = ReplaceRefusal(path);
    if (!refusal.isEmpty()) {
        return fail(refusal + QStringLiteral("; it was left as it is"));
    }
    QFileInfo info(path);
    // A link is followed, so the file it names is replaced and the link stays.
    if (info.isSymLink()) {
        info = QFileInfo(info.canonicalFilePath());
    }
    const QDir folder = info.absoluteDir();
    const QString target = info.fileName();
    if (!folder.exists() || target.isEmpty()) {
        return fail(QStringLiteral("The folder does not exist"));
    }
    RemoveLeftovers(folder, target);

    QString temporary;
    QFile out;
    for (int attempt = 0; attempt < 16 && !out.isOpen(); ++attempt) {
        temporary =
            folder.filePath(target + kMarker + QString::number(QCoreApplication::applicationPid()) +
                            QLatin1Char('-') + RandomTag());
        out.setFileName(temporary);
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
            out.error() != QFileDevice::OpenError) {
            return fail(out.errorString());
        }
    }
    if (!out.isOpen()) {
        return fail(out.errorString());
    }
    bool ok = out.write(bytes) == bytes.size() && out.flush();
    int systemError = ok ? 0 : errno;
#ifndef Q_OS_WIN
    if (ok && ::fsync(out.handle()) != 0) {
        // A full disk may show only here: the written pages had nowhere to go.
        systemError = errno;
        ok = false;
    }
#endif
    if (ok && info.exists()) {
        out.setPermissions(info.permissions());
    }
    QString writeError = out.error() != QFileDevice::NoError ? out.errorString() : QString();
    out.close();
    if (ok && out.error() != QFileDevice::NoError) {
        ok = false;
        writeError = out.errorString();
    }
    if (!ok) {
        QFile::remove(temporary);
        if (writeError.isEmpty()) {
            writeError = SystemReason(systemError);
        }
        return fail(writeError.isEmpty() ? QStringLiteral("The file could not be written")
                                         : writeError);
    }
    QString reason;
    if (!RenameReplacing(temporary, info.absoluteFilePath(), &reason)) {
        QFile::remove(temporary);
        return fail(QStringLiteral("\"%1\" could not be replaced: %2; it was left as it is")
                        .arg(path, reason));
    }
    return true;
}
