#include "base/textfile.h"

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QByteArray kCrLf("\r\n");

// Opens the file only when it is a regular file. A FIFO or a device of that name would hold
// the window up (a FIFO nobody reads or writes) or take the text somewhere it is never read.
bool OpenRegularFile(QFile& file, QIODevice::OpenMode mode) {
#ifdef Q_OS_UNIX
    const bool append = mode.testFlag(QIODevice::Append);
    // Not blocking in open itself; whether it is a regular file is asked of what was opened.
    const int flags =
        O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (append ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY);
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), flags, 0666);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        !file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    return file.open(mode);
#endif
}

}  // namespace

void ReadTextFile(TextFileRecord& record) {
    record.Success = false;
    QFile file(NativePath(record.FileName));
    if (!OpenRegularFile(file, QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return;
    }
    record.Length = qint32(file.size());
    // Every line, whatever ended it (CR LF, LF or CR), comes back followed by CR LF.
    QString contents;
    contents.reserve(bytes.size() + bytes.size() / 16);
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && bytes.at(end) != '\r' && bytes.at(end) != '\n') {
            ++end;
        }
        contents += QString::fromLatin1(bytes.constData() + start, end - start);
        contents += QLatin1String("\r\n");
        if (end < n && bytes.at(end) == '\r' && end + 1 < n && bytes.at(end + 1) == '\n') {
            ++end;
        }
        start = end + 1;
    }
    record.Contents = contents;
    record.Success = true;
}

void WriteTextFile(TextFileRecord& record) {
    // Written to a temporary file and moved into place, so a crash never leaves half a file.
    if (!ReplaceFileAtomically(NativePath(record.FileName), record.Contents.toLatin1() + kCrLf)) {
        record.Success = false;
        ShowMessage(QStringLiteral("Error opening file \"") + DisplayPath(record.FileName) +
                        QStringLiteral("\""),
                    MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    record.Success = true;
}

void AppendTextFile(TextFileRecord& record) {
    record.Success = false;
    QFile file(NativePath(record.FileName));
    if (!OpenRegularFile(file, QIODevice::WriteOnly | QIODevice::Append)) {
        return;
    }
    const QByteArray bytes = record.Contents.toLatin1() + kCrLf;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        return;
    }
    record.Success = true;
}
