// kestrum-check: the configuration check for scheduled runs. Exit 0 when nothing was found,
// 1 with findings, 2 when the check cannot run, 3 when a repair failed (findings remain).
// Nothing is changed unless --repair is given.

#include "base/app_state.h"
#include "base/inifile.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/platform.h"
#include "base/redaction.h"
#include "check/configuration_check.h"
#include "db/backend.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "tools/tool_output.h"
#include "transfer/backup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <utility>

namespace {

constexpr int kExitRepairsFailed = 3;

// While a repair runs, the database's reports are kept for its one line instead of printed.
QStringList* g_repairReports = nullptr;

void Print(const QList<Finding>& findings, bool json) {
    for (const Finding& finding : findings) {
        if (json) {
            Out() << QString::fromUtf8(FindingJson(finding)) << "\n";
        } else {
            Out() << FindingLine(finding) << "\n";
        }
    }
    Out().flush();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SetToolIdentity(QStringLiteral("kestrum-check"));
    // Database errors of the shared code go to standard error.
    SetMessageHandler([](const MessageRequest& request) {
        if (g_repairReports) {
            g_repairReports->append(request.text);
        } else {
            Err() << "kestrum-check: " << request.title << ": " << WithoutPasswords(request.text)
                  << Qt::endl;
        }
        return SafeAnswer(request.buttons);
    });

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks the DNC configuration. Exit code 0: no findings, 1: findings, "
                       "2: the check could not run, 3: --repair could not repair every "
                       "finding it should have. One finding a line: severity, server, "
                       "client, kind and text, separated by tabs."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("DNC.mdb path or server database URI (default: "
                                               "the database the Kestrum.ini beside the "
                                               "program names: DBURI, else MDBPATH)."),
                                QStringLiteral("DNC.mdb|URI"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Only the findings of this DNC server."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("One JSON object per finding."));
    const QCommandLineOption repair(
        QStringLiteral("repair"),
        QStringLiteral("Add missing client rows and remove rows of deleted clients, then check "
                       "again."));
    parser.addOptions({db, server, json, repair});
    if (const std::optional<int> done = ParseCommandLine(parser)) {
        return *done;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Usage(parser,
                     QStringLiteral("unexpected argument ") + parser.positionalArguments().first());
    }

    SettingsFileName = JoinPath(ProgramFolder(), QStringLiteral("Kestrum.ini"));
    LocalComputerName = GetLocalComputerName().toUpper();
    const QString database =
        parser.isSet(db) ? parser.value(db) : InstallationDatabase(SettingsFileName);
    QString openError;
    if (!OpenDatabaseAt(DncConnection, database, &openError)) {
        return Fail(openError, 2);
    }
    CheckOptions options;
    options.Server = parser.value(server);
    options.LocalComputer = LocalComputerName;
    options.Files = KnownDncAdminFiles();
    if (!options.Server.isEmpty() && !GetServerID(options.Server)) {
        return Fail(QStringLiteral("DNC server \"%1\" not found").arg(options.Server), 2);
    }
    CheckResult result = CheckConfiguration(options);
    if (!result.Ok) {
        return Fail(QStringLiteral("the configuration could not be read"), 2);
    }
    int failed = 0;
    if (parser.isSet(repair)) {
        const bool anyRepairable =
            std::any_of(result.Findings.cbegin(), result.Findings.cend(),
                        [](const Finding& finding) { return IsRepairable(finding); });
        if (anyRepairable) {
            if (const std::optional<QString> refusal = BackupRefusal(QStringLiteral("Repair"))) {
                return Fail(*refusal, 2);
            }
        }
        const ActionScope action(QStringLiteral("kestrum-check --repair"));
        bool repaired = false;
        QStringList reports;
        g_repairReports = &reports;
        const int told =
            RepairFindings(result.Findings, [&](const Finding& finding, const RepairDone& done) {
                const QStringList said = std::exchange(reports, QStringList());
                if (!done.Ok) {
                    ++failed;
                    Err() << "kestrum-check: not repaired: " << finding.Text
                          << (said.isEmpty() ? QString() : QStringLiteral(": ") + said.first())
                          << Qt::endl;
                    return;
                }
                repaired = true;
                // What changed goes to standard error, so --json output stays one finding a line.
                for (const QString& change : done.Changes) {
                    Err() << "repaired "
                          << (finding.Client.isEmpty()
                                  ? QStringLiteral("client id %1").arg(finding.ClientId)
                                  : finding.Client)
                          << ": " << change << Qt::endl;
                }
            });
        g_repairReports = nullptr;
        if (DncConnection.IsLost() || !DncConnection.IsOpen()) {
            // Every further repair would fail the same way: one line, and stop.
            return Fail(QStringLiteral("the connection to the database was lost (%1); "
                                       "repairs stopped at %2 of %3")
                            .arg(DncConnection.LastError())
                            .arg(told + 1)
                            .arg(std::count_if(result.Findings.cbegin(), result.Findings.cend(),
                                               IsRepairable)),
                        kExitRepairsFailed);
        }
        if (repaired) {
            result = CheckConfiguration(options);
            if (!result.Ok) {
                return Fail(QStringLiteral("the configuration could not be read"), 2);
            }
        }
    }
    Print(result.Findings, parser.isSet(json));
    if (failed > 0) {
        return kExitRepairsFailed;
    }
    return result.Findings.isEmpty() ? 0 : 1;
}
