#pragma once
// --dry-run of kestrum-dncadmin: what export and merge would change in the file on disk,
// client by client, with nothing written.

#include "dncadmin/dncadmin_merge.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// Removes "--dry-run" from the arguments; says whether it was there.
bool TakeDryRun(QStringList& args);

// Exit codes as the commands themselves: 0, or 1 after printing the reason on err.
int PreviewExport(const QStringList& clientNames, const QString& basePath,
                  const QString& targetPath, const QString& server, QTextStream& out,
                  QTextStream& err);
int PreviewMerge(const MergeTable& table, const QString& masterFolder, const QString& templatePath,
                 QTextStream& out, QTextStream& err);
