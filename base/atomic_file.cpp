#include "base/atomic_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#include <cerrno>
#include <csignal>
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

bool RenameOver(const QString& from, const QString& to) {
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

}  // namespace

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
    QFileInfo info(path);
    // A link is followed, so the file it names is replaced and the link stays.
    if (info.isSymLink()) {
        info = QFileInfo(info.symLinkTarget());
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
#ifndef Q_OS_WIN
    ok = ok && ::fsync(out.handle()) == 0;
#endif
    if (ok && info.exists()) {
        out.setPermissions(info.permissions());
    }
    QString writeError = out.errorString();
    out.close();
    if (!ok || out.error() != QFileDevice::NoError) {
        QFile::remove(temporary);
        return fail(writeError.isEmpty() ? QStringLiteral("The file could not be written")
                                         : writeError);
    }
    if (!RenameOver(temporary, info.absoluteFilePath())) {
        QFile::remove(temporary);
        return fail(QStringLiteral("The file could not be replaced"));
    }
    return true;
}
