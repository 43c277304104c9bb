#pragma once
// The BTS log: BTSLog.txt in the program folder, one line per entry, appended and never
// rewritten. An entry is the local date and time ("MM/dd/yy,hh:mm:ss"), two blanks and
// the entry text.

#include <QDateTime>
#include <QString>

QString BtsLogPath();

// The entry as it is written for the given moment.
QString BtsLogEntry(const QDateTime& when, const QString& text);

// Appends one entry stamped now. A failed append leaves the file as it was, silently.
void WriteAppendStatusFile(const QString& text);

// The whole log, each line followed by CR LF; empty when missing or unreadable.
QString ReadBtsLogText();

// Deletes the log when it exists.
void KillBTSLog();
