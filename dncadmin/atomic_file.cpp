#include "dncadmin/atomic_file.h"

#include "base/paths.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

void SetError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

}  // namespace

bool SaveFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const QString native = NativePath(path);
    QSaveFile out(native);
    if (!out.open(QIODevice::WriteOnly)) {
        SetError(error, out.errorString());
        return false;
    }
    if (out.write(bytes) != bytes.size()) {
        SetError(error, out.errorString());
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        SetError(error, out.errorString());
        return false;
    }
    return true;
}

std::optional<QByteArray> ReadWholeFile(const QString& path, QString* error) {
    QFile in(NativePath(path));
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
    return !canonicalFirst.isEmpty() && canonicalFirst == second.canonicalFilePath();
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
