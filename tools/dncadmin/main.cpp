// kestrum-dncadmin: the DNCAdmin.ini export and merge of Kestrum, for scheduled exports and
// scripted checks. Any failure leaves every file as it was and ends with exit code 1
// (2 for a wrong command line).

#include "base/messages.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/redaction.h"
#include "db/backend.h"
#include "db/dnc_database.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_export.h"
#include "dncadmin/dncadmin_merge.h"
#include "tools/dncadmin/preview.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char kUsage[] =
    "Usage:\n"
    "  kestrum-dncadmin export [--db DNC.mdb|URI] --server NAME --base "
    "DNCAdminExportCopy.ini --out DNCAdmin.ini [--dry-run]\n"
    "  kestrum-dncadmin merge --template DNCAdminExportCopy.ini --master MASTERFOLDER "
    "SOURCE1 [SOURCE2 SOURCE3 SOURCE4] [--dry-run]\n"
    "  --db defaults to the database the Kestrum.ini beside the program names.\n"
    "  --dry-run prints the clients added, removed and changed in the file on disk and "
    "writes nothing.\n";

QTextStream& Err() {
    static QTextStream err(stderr);
    return err;
}
QTextStream& Out() {
    static QTextStream out(stdout);
    return out;
}

int Fail(const QString& text) {
    Err() << "kestrum-dncadmin: " << WithoutPasswords(text) << Qt::endl;
    return 1;
}

int Usage(const QString& text) {
    Err() << "kestrum-dncadmin: " << WithoutPasswords(text) << "\n" << kUsage << Qt::flush;
    return 2;
}

// "--name value" options and the remaining arguments; false on an unknown or empty option.
bool ParseOptions(const QStringList& args, const QStringList& known,
                  QMap<QString, QString>& options, QStringList& rest, QString& problem,
                  const QStringList& optional = {}) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!arg.startsWith(QLatin1String("--"))) {
            rest << arg;
            continue;
        }
        const QString name = arg.mid(2);
        if (!known.contains(name)) {
            problem = QStringLiteral("unknown option ") + arg;
            return false;
        }
        if (i + 1 >= args.size() || args.at(i + 1).isEmpty()) {
            problem = QStringLiteral("option ") + arg + QStringLiteral(" needs a value");
            return false;
        }
        options.insert(name, args.at(++i));
    }
    for (const QString& name : known) {
        if (!options.contains(name) && !optional.contains(name)) {
            problem = QStringLiteral("option --") + name + QStringLiteral(" is missing");
            return false;
        }
    }
    return true;
}

int Export(QStringList args) {
    const bool dryRun = TakeDryRun(args);
    QMap<QString, QString> options;
    QStringList rest;
    QString problem;
    if (!ParseOptions(args, {"db", "server", "base", "out"}, options, rest, problem, {"db"})) {
        return Usage(problem);
    }
    if (!options.contains("db")) {
        options.insert("db", InstallationDatabase(JoinPath(ProgramFolder(), "Kestrum.ini")));
    }
    if (!rest.isEmpty()) {
        return Usage(QStringLiteral("unexpected argument ") + rest.first());
    }
    // A DNC.mdb path or a server database's URI.
    const QString db = options.value("db");
    const QString target = options.value("out");
    // The file would be replaced while it is still being read.
    for (const char* input : {"db", "base"}) {
        if (SameFile(target, options.value(input))) {
            return Usage(QStringLiteral("--out names the same file as --%1").arg(input));
        }
    }
    QString openError;
    if (!OpenDatabaseAt(DncConnection, db, &openError)) {
        return Fail(openError);
    }
    const QString server = options.value("server");
    const ReportWatch reads;
    bool failed = false;
    const std::optional<qint32> serverId = GetServerID(server, &failed);
    if (!serverId && !failed) {
        return Fail(
            QStringLiteral("DNC server \"%1\" not found in \"%2\"").arg(server, ShownLocation(db)));
    }
    // A list that could not be read would be written as an empty one.
    if (failed || LoadServerClientNames(*serverId) < 0) {
        return Fail(QStringLiteral("the clients of \"%1\" could not be read: %2; \"%3\" was not "
                                   "written")
                        .arg(server, DatabaseFailureText(reads.Last()), target));
    }
    QStringList names;
    for (const ClientListEntry& entry : ServerClients) {
        names << entry.ClientName;
    }
    if (dryRun) {
        return PreviewExport(names, options.value("base"), target, server, Out(), Err());
    }
    const ExportOutcome outcome = ExportDncAdmin(names, options.value("base"), target);
    for (const QString& name : outcome.Skipped) {
        Err() << "kestrum-dncadmin: client \"" << name << "\" not found; not exported" << Qt::endl;
    }
    if (!outcome.Ok) {
        return Fail(outcome.Error);
    }
    Out() << "Wrote " << target << ": " << outcome.Listed.size() << " clients of server " << server;
    if (outcome.ShopTerminals > 0) {
        Out() << " (" << outcome.ShopTerminals << " shop terminals left out)";
    }
    Out() << "\n";
    for (qsizetype i = 0; i < outcome.Listed.size(); ++i) {
        Out() << "  " << (i + 1) << "=" << outcome.Listed.at(i) << "\n";
    }
    Out().flush();
    return 0;
}

int Merge(QStringList args) {
    const bool dryRun = TakeDryRun(args);
    QMap<QString, QString> options;
    QStringList sources;
    QString problem;
    if (!ParseOptions(args, {"template", "master"}, options, sources, problem)) {
        return Usage(problem);
    }
    if (sources.isEmpty() || sources.size() > kMergeSources) {
        return Usage(QStringLiteral("give one to four source files"));
    }
    MergeTable table;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        QString why;
        if (!ReadDncAdminFile(sources.at(i), table.Columns[size_t(i)], &why)) {
            return Fail(QStringLiteral("source \"%1\" cannot be read: %2; the master was not "
                                       "changed")
                            .arg(sources.at(i), why));
        }
    }
    if (dryRun) {
        return PreviewMerge(table, options.value("master"), options.value("template"), Out(),
                            Err());
    }
    const MergeOutcome outcome =
        MergeDncAdmin(table, options.value("master"), options.value("template"));
    if (!outcome.Ok) {
        QString text = outcome.Status;
        if (!outcome.Error.isEmpty()) {
            text += QStringLiteral(": ") + outcome.Error;
        }
        if (!outcome.Reason.isEmpty()) {
            text += QStringLiteral(" (") + outcome.Reason + QStringLiteral(")");
        }
        return Fail(text);
    }
    Out() << "Wrote " << outcome.MasterFile << ": " << outcome.Status << "\n";
    for (qsizetype i = 0; i < sources.size(); ++i) {
        int count = 0;
        for (const MergeCell& cell : table.Columns[size_t(i)]) {
            count += cell.Name.isEmpty() ? 0 : 1;
        }
        Out() << "  " << (i + 1) << ": " << sources.at(i) << " (" << count << " clients)\n";
    }
    Out().flush();
    return 0;
}

int Run() {
    // Messages of the shared code (database errors among them) go to standard error.
    SetMessageHandler([](const MessageRequest& request) {
        Err() << "kestrum-dncadmin: " << request.title << ": " << WithoutPasswords(request.text)
              << Qt::endl;
        return SafeAnswer(request.buttons);
    });
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        return Usage(QStringLiteral("no command"));
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("export")) {
        return Export(args);
    }
    if (command == QLatin1String("merge")) {
        return Merge(args);
    }
    return Usage(QStringLiteral("unknown command ") + command);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int code = Run();
    // Its statements must be finalised while the driver (owned by the application) exists.
    DncConnection.Close();
    return code;
}
