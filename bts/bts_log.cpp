#include "bts/bts_log.h"

#include "base/paths.h"
#include "base/platform.h"
#include "base/textfile.h"

#include <QFile>

QString BtsLogPath() {
    return JoinPath(ProgramFolder(), QStringLiteral("BTSLog.txt"));
}

QString BtsLogEntry(const QDateTime& when, const QString& text) {
    return when.toString(QStringLiteral("MM/dd/yy,hh:mm:ss")) + QStringLiteral("  ") + text;
}

void WriteAppendStatusFile(const QString& text) {
    TextFileRecord record;
    record.FileName = BtsLogPath();
    record.Contents = BtsLogEntry(QDateTime::currentDateTime(), text);
    AppendTextFile(record);
}

QString ReadBtsLogText() {
    TextFileRecord record;
    record.FileName = BtsLogPath();
    ReadTextFile(record);
    return record.Success ? record.Contents : QString();
}

void KillBTSLog() {
    // Only the file of exactly that name, as the directory look-up reports it.
    if (StoredFileName(BtsLogPath()) == QLatin1String("BTSLog.txt")) {
        QFile::remove(NativePath(BtsLogPath()));
    }
}
