#pragma once
// A kestrum-* tool run as the separate program a script runs, and a snapshot of a folder to
// compare before and after it.

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

struct ToolRun {
    int exitCode = -1;  // -1: it crashed or did not end within a minute
    QString out;        // text: lines end in "\n" (Windows' CR-LF read as a script reads it)
    QString err;
    QByteArray outBytes;  // standard output exactly as written
};

// The built tool: tool is the name after "kestrum-", e.g. "check" for kestrum-check.
inline QString ToolProgram(const QString& tool) {
#ifdef Q_OS_WIN
    // The file's own name: a copy of it must be found by that name (and run as a program).
    return QStringLiteral(KESTRUM_BINARY_DIR "/tools/%1/kestrum-%1.exe").arg(tool);
#else
    return QStringLiteral(KESTRUM_BINARY_DIR "/tools/%1/kestrum-%1").arg(tool);
#endif
}

// A copy of the tool in an installation's folder, where it reads that folder's Kestrum.ini as
// an installed tool does. "" when it cannot be copied.
inline QString ToolBeside(const QString& tool, const QString& folder) {
    const QString copy = QDir(folder).filePath(QFileInfo(ToolProgram(tool)).fileName());
    QFile::remove(copy);
    return QFile::copy(ToolProgram(tool), copy) ? copy : QString();
}

// A program run with arguments from a working folder, up to a minute.
inline ToolRun RunProgram(const QString& program, const QStringList& arguments,
                          const QString& workingFolder = QString()) {
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.outBytes = process.readAllStandardOutput();
    run.out = QString::fromUtf8(run.outBytes);
    run.err = QString::fromUtf8(process.readAllStandardError());
#ifdef Q_OS_WIN
    // The tools write text in the text mode of Windows' standard output, as its scripts
    // expect: the lines end in CR-LF there.
    run.out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    run.err.replace(QLatin1String("\r\n"), QLatin1String("\n"));
#endif
    return run;
}

// tool is a tool's name (see ToolProgram) or the path of a copy.
inline ToolRun RunTool(const QString& tool, const QStringList& arguments,
                       const QString& workingFolder = QString()) {
    return RunProgram(tool.contains(QLatin1Char('/')) ? tool : ToolProgram(tool), arguments,
                      workingFolder);
}

// Every entry under folder: a file by its sha256, anything else by its kind (a link by its
// target), so a comparison before and after sees any change, a new file included. Entries
// under leaveOut (relative to folder) are not looked at.
inline QMap<QString, QString> Snapshot(const QString& folder, const QString& leaveOut = {}) {
    QMap<QString, QString> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = QDir(folder).relativeFilePath(info.filePath());
        if (!leaveOut.isEmpty() && name.startsWith(leaveOut)) {
            continue;
        }
        QString what = QStringLiteral("special");
        if (info.isSymLink()) {
            what = QStringLiteral("link to ") + info.symLinkTarget();
        } else if (info.isDir()) {
            what = QStringLiteral("folder");
        } else if (info.isFile()) {
            QFile file(info.filePath());
            what =
                file.open(QIODevice::ReadOnly)
                    ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex()
                    : QByteArray("unreadable");
        }
        entries.insert(name, what);
    }
    return entries;
}
