#pragma once
// The configuration check: reads the whole configuration in a few statements and lists
// what will stop a machine (errors) or looks wrong (warnings), per server and client.
// Nothing is changed, except by RepairFinding on request.

#include "db/check_reads.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

enum class Severity { Error, Warning };

struct Finding {
    Severity severity = Severity::Error;
    QString Kind;    // stable identifier ("same-com-port", ...), for JSON and repair
    QString Server;  // "" when no server holds the client
    QString Client;  // "" when the client is gone (rows left behind)
    QString Text;    // one line for the administrator
    qint32 ClientId = 0;
    QStringList Tables;  // missing-row: the tables lacking the client's row
};

// A DNCAdmin.ini Kestrum knows: the export in the program folder (or the server's folder it
// was copied to), or the master that the merge writes.
struct KnownDncAdminFile {
    QString Path;
    bool Master = false;
};

struct CheckOptions {
    QString Server;                  // only this server's findings; "" for all
    QString LocalComputer;           // folders are looked at for the server of this name
    QList<KnownDncAdminFile> Files;  // compared with what an export would write now
};

struct CheckResult {
    bool Ok = false;  // false: the database could not be read
    QList<Finding> Findings;
};

// The DNCAdmin.ini files the settings name: the program folder's, the server's export
// folder's (PATHS DNCADMINEXPORTPATH) and the master's (PATHS MASTERDNCADMINPATH).
QList<KnownDncAdminFile> KnownDncAdminFiles();

// The check on the open database. Findings are ordered by server, then client, then kind.
CheckResult CheckConfiguration(const CheckOptions& options);
// The same on data already read (the benchmark times the reads and the rules apart).
QList<Finding> CheckFindings(const CheckData& data, const CheckOptions& options);

bool IsRepairable(const Finding& finding);
// The repair of a repairable finding, in one transaction; Changes says what it did.
RepairDone RepairFinding(const Finding& finding);
// The repairable ones of findings, kRepairBatch to a transaction; repaired is told each
// result in order. A batch in which a statement fails is repaired finding by finding, so a
// failure stays with its own finding. Stops when the connection is lost; returns how many
// were told.
inline constexpr int kRepairBatch = 500;
int RepairFindings(const QList<Finding>& findings,
                   const std::function<void(const Finding&, const RepairDone&)>& repaired);

QString SeverityName(Severity severity);  // "error" / "warning"
// "2 errors, 1 warning"
QString CountsText(int errors, int warnings);
// "error CNCSRV1 LATHE1 same-com-port: ..." one finding a line.
QString FindingLine(const Finding& finding);
// One JSON object on one line.
QByteArray FindingJson(const Finding& finding);
// The report as text: per server a heading with its counts, then one line per finding.
QString CheckReportText(const QList<Finding>& findings);
