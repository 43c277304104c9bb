#include "base/database_use_lock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#endif

namespace {

// 1 TiB: no DNC.mdb comes near it, and the engine's own locks sit at 1 GiB.
constexpr quint64 kClaimOffset = quint64(1) << 40;

}  // namespace

DatabaseUseLock::~DatabaseUseLock() {
    Release();
}

DatabaseUseLock::Result DatabaseUseLock::Acquire(const QString& path, Mode mode, int waitMs) {
    Release();
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        const Result result = TryOnce(path, mode);
        if (result != Result::InUse || deadline.hasExpired()) {
            return result;
        }
        QThread::msleep(50);
    }
}

#ifdef Q_OS_WIN

namespace {

// Whether the file the name leads to now is the one opened; nothing when it cannot be told.
std::optional<bool> SameFile(HANDLE opened, const QString& path) {
    HANDLE named = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    const bool read =
        GetFileInformationByHandle(opened, &a) && GetFileInformationByHandle(named, &b);
    CloseHandle(named);
    if (!read) {
        return std::nullopt;
    }
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

bool DatabaseUseLock::BlocksReplace() {
    return true;
}

DatabaseUseLock::Result DatabaseUseLock::TryOnce(const QString& path, Mode mode) {
    const bool exclusive = mode == Mode::Exclusive;
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()),
                              GENERIC_READ | (exclusive ? GENERIC_WRITE : 0),
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error_ = QStringLiteral("\"%1\" cannot be opened (error %2)").arg(path).arg(GetLastError());
        return Result::Failed;
    }
    OVERLAPPED where{};
    where.Offset = DWORD(kClaimOffset & 0xffffffffu);
    where.OffsetHigh = DWORD(kClaimOffset >> 32);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (!LockFileEx(file, flags, 0, 1, 0, &where)) {
        const DWORD why = GetLastError();
        CloseHandle(file);
        if (why == ERROR_LOCK_VIOLATION || why == ERROR_IO_PENDING) {
            return Result::InUse;
        }
        error_ = QStringLiteral("\"%1\" cannot be locked (error %2)").arg(path).arg(why);
        return Result::Failed;
    }
    // As elsewhere: a file put in place of the one opened is another database.
    const std::optional<bool> same = SameFile(file, path);
    if (!same || !*same) {
        const DWORD why = GetLastError();
        CloseHandle(file);
        if (same) {
            return Result::InUse;
        }
        error_ = QStringLiteral("\"%1\" cannot be read (error %2)").arg(path).arg(why);
        return Result::Failed;
    }
    handle_ = file;
    return Result::Held;
}

void DatabaseUseLock::Release() {
    if (handle_) {
        CloseHandle(static_cast<HANDLE>(handle_));  // drops the lock with the handle
        handle_ = nullptr;
    }
}

bool DatabaseUseLock::IsHeld() const {
    return handle_ != nullptr;
}

#else

bool DatabaseUseLock::BlocksReplace() {
    return false;  // a rename replaces an open file; claims on it then see it is gone
}

DatabaseUseLock::Result DatabaseUseLock::TryOnce(const QString& path, Mode mode) {
    const bool exclusive = mode == Mode::Exclusive;
    // A shared claim needs only reading: a Kestrum that may not write DNC.mdb still holds it.
    const int fd =
        ::open(QFile::encodeName(path).constData(), (exclusive ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        error_ = QStringLiteral("\"%1\" cannot be opened: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return Result::Failed;
    }
    int locked = -1;
#ifdef F_OFD_SETLK
    // Locks of the open file, not of the process: the engine closing its own descriptor of the
    // same file does not drop them, and two in one process meet as two processes would.
    struct flock claim {};
    claim.l_type = exclusive ? F_WRLCK : F_RDLCK;
    claim.l_whence = SEEK_SET;
    claim.l_start = off_t(kClaimOffset);
    claim.l_len = 1;
    locked = ::fcntl(fd, F_OFD_SETLK, &claim);
    const bool busy = locked != 0 && (errno == EAGAIN || errno == EACCES);
#else
    locked = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    const bool busy = locked != 0 && errno == EWOULDBLOCK;
#endif
    const int why = errno;
    if (locked != 0) {
        ::close(fd);
        if (busy) {
            return Result::InUse;
        }
        error_ = QStringLiteral("\"%1\" cannot be locked: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(why)));
        return Result::Failed;
    }
    // A file put in place of the one opened (a restore of a damaged file renames) is another
    // database: the claim must be on the file the name leads to now.
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0) {
        error_ = QStringLiteral("\"%1\" cannot be read: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return Result::Failed;
    }
    if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
        ::close(fd);
        return Result::InUse;
    }
    fd_ = fd;
    return Result::Held;
}

void DatabaseUseLock::Release() {
    if (fd_ >= 0) {
        ::close(fd_);  // drops the lock with the open file
        fd_ = -1;
    }
}

bool DatabaseUseLock::IsHeld() const {
    return fd_ >= 0;
}

#endif
