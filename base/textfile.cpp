#include "base/textfile.h"

#include "base/atomic_file.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QFile>

namespace {

const QByteArray kCrLf("\r\n");

}  // namespace

void ReadTextFile(TextFileRecord& record) {
    record.Success = false;
    QFile file(NativePath(record.FileName));
    if (!file.open(QIODevice::ReadOnly)) {
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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return;
    }
    const QByteArray bytes = record.Contents.toLatin1() + kCrLf;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        return;
    }
    record.Success = true;
}
