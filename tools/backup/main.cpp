// kestrum-backup: lists the configuration backups Kestrum made before its bulk changes, and
// puts one back in place of DNC.mdb (after backing up the configuration as it is).

#include "app/startup.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/redaction.h"
#include "db/backend.h"
#include "tools/tool_output.h"
#include "transfer/backup.h"
#include "transfer/backup_restore.h"

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
                       "  kestrum-backup list [--db DATABASE] [--json]\n"
                       "  kestrum-backup restore NAME [--db DATABASE] [--force]"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("The configuration: a DNC.mdb or a server URI "
                                               "(default: the Kestrum.ini beside the program "
                                               "names it)."),
                                QStringLiteral("database"));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("List as JSON."));
    const QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("Restore over a damaged DNC.mdb (it is kept in the backups folder), or "
                       "into a server database other sessions of Kestrum are connected to."));
    parser.addOption(db);
    parser.addOption(json);
    parser.addOption(force);
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
    const bool server = IsDatabaseUri(database);
    // Refused as opening it would refuse it, though a list needs no connection.
    if (server && ShownLocation(database) != database.trimmed()) {
        return Fail(QStringLiteral("\"%1\" holds a password; keep it in the password file of "
                                   "the database client instead")
                        .arg(ShownLocation(database)));
    }
    const QString folder = BackupFolder(server ? database : QFileInfo(database).absoluteFilePath());

    if (list) {
        QString error;
        const std::optional<QStringList> listed = ReadBackupList(folder, &error);
        if (!listed) {
            return Fail(error);
        }
        const QStringList& names = *listed;
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

    if (!server && !QFileInfo(database).isFile()) {
        return Fail(
            QStringLiteral("there is no configuration \"%1\"").arg(ShownLocation(database)));
    }
    const RestoreOutcome outcome =
        server ? RestoreServerBackup(database, args.at(1), folder, BackupKeepCount(),
                                     parser.isSet(force))
               : RestoreBackup(QFileInfo(database).absoluteFilePath(), args.at(1), folder,
                               BackupKeepCount(), parser.isSet(force));
    if (!outcome.ok) {
        if (outcome.damaged) {
            return Fail(outcome.error + QStringLiteral("; restore with --force to replace it "
                                                       "(it is kept in the backups folder)"));
        }
        if (outcome.inUse) {
            return Fail(outcome.error + QStringLiteral("; close them, or restore with --force "
                                                       "to replace the configuration under them"));
        }
        return Fail(outcome.error);
    }
    Out() << "restored " << args.at(1) << " to " << ShownLocation(database) << '\n';
    if (!outcome.keptDamaged.isEmpty()) {
        Out() << "the damaged configuration is kept as " << outcome.keptDamaged << Qt::endl;
    } else {
        Out() << "the configuration before the restore is in " << outcome.savedCurrent << Qt::endl;
    }
    return 0;
}
