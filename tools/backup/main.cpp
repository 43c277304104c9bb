// kestrum-backup: lists the configuration backups Kestrum made before its bulk changes, and
// puts one back in place of DNC.mdb (after backing up the configuration as it is).

#include "app/startup.h"
#include "base/paths.h"
#include "base/platform.h"
#include "db/backend.h"
#include "tools/tool_output.h"
#include "transfer/backup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SetToolIdentity(QStringLiteral("kestrum-backup"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configuration backups.\n"
                       "  kestrum-backup list [--db DNC.mdb] [--json]\n"
                       "  kestrum-backup restore NAME [--db DNC.mdb]"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("The configuration (default: the Kestrum.ini "
                                               "beside the program names it)."),
                                QStringLiteral("path"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("List as JSON."));
    parser.addOption(db);
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list or restore"));
    if (const std::optional<int> done = ParseCommandLine(parser)) {
        return *done;
    }
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool list = command == QLatin1String("list") && args.size() == 1;
    const bool restore = command == QLatin1String("restore") && args.size() == 2;
    if (!list && !restore) {
        return Usage(parser, QStringLiteral("give list, or restore and a backup's name"));
    }
    const QString database =
        parser.isSet(db)
            ? parser.value(db)
            : InstallationDatabase(JoinPath(ProgramFolder(), QStringLiteral("Kestrum.ini")));
    if (IsDatabaseUri(database)) {
        return Fail(
            QStringLiteral("backups of a server configuration are not available "
                           "yet"));
    }
    const QString folder = BackupFolder(QFileInfo(database).absoluteFilePath());

    if (list) {
        const QStringList names = ListBackups(folder);
        if (parser.isSet(json)) {
            QJsonArray array;
            for (const QString& name : names) {
                const QFileInfo info(QDir(folder).filePath(name));
                array.append(QJsonObject{{QStringLiteral("name"), name},
                                         {QStringLiteral("path"), info.absoluteFilePath()},
                                         {QStringLiteral("bytes"), info.size()}});
            }
            Out() << QJsonDocument(array).toJson(QJsonDocument::Compact) << Qt::endl;
        } else {
            for (const QString& name : names) {
                Out() << name << '\n';
            }
            Out() << Qt::flush;
        }
        return 0;
    }

    if (!QFileInfo(database).isFile()) {
        return Fail(
            QStringLiteral("there is no configuration \"%1\"").arg(ShownLocation(database)));
    }
    // Kestrum holds this lock while it runs from this program folder; holding it here also
    // keeps Kestrum from starting half-way through the restore.
    SingleInstanceLock instance;
    if (!instance.TryAcquire()) {
        return Fail(QStringLiteral("Kestrum is running on this configuration; close it first "
                                   "(it holds %1)")
                        .arg(instance.FilePath()));
    }
    const RestoreOutcome outcome = RestoreBackup(QFileInfo(database).absoluteFilePath(), args.at(1),
                                                 folder, BackupKeepCount());
    if (!outcome.ok) {
        return Fail(outcome.error);
    }
    Out() << "restored " << args.at(1) << " to " << database << '\n'
          << "the configuration before the restore is in " << outcome.savedCurrent << Qt::endl;
    return 0;
}
