// kestrum-log: the change log of a configuration, newest first, as lines or CSV.

#include "base/paths.h"
#include "base/platform.h"
#include "db/backend.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "tools/tool_output.h"
#include "transfer/backup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QJsonValue Id(const std::optional<qint32>& id) {
    return id ? QJsonValue(*id) : QJsonValue();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SetToolIdentity(QStringLiteral("kestrum-log"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The change log, newest first.\n"
        "  kestrum-log [--db DNC.mdb] [--client NAME] [--server NAME] [--since DATE] "
        "[--csv | --json]"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("The configuration."),
                                QStringLiteral("path"));
    const QCommandLineOption client(QStringLiteral("client"),
                                    QStringLiteral("Only this client's changes."),
                                    QStringLiteral("name"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Only this server's changes."),
                                    QStringLiteral("name"));
    const QCommandLineOption since(QStringLiteral("since"),
                                   QStringLiteral("From this date (YYYY-MM-DD, UTC) on."),
                                   QStringLiteral("date"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("As CSV."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("As JSON."));
    parser.addOptions({db, client, server, since, csv, json});
    if (const std::optional<int> done = ParseCommandLine(parser)) {
        return *done;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Usage(parser, QStringLiteral("unexpected argument ") +
                                 parser.positionalArguments().constFirst());
    }
    if (parser.isSet(csv) && parser.isSet(json)) {
        return Usage(parser, QStringLiteral("give --csv or --json, not both"));
    }
    ChangeLogFilter filter;
    filter.client = parser.value(client);
    filter.server = parser.value(server);
    if (parser.isSet(since)) {
        const QString text = parser.value(since);
        const QDate day = QDate::fromString(text, Qt::ISODate);
        const QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
        if (!day.isValid() && !moment.isValid()) {
            return Usage(parser, QStringLiteral("--since needs a date such as 2026-12-07"));
        }
        filter.since =
            day.isValid() ? day.toString(Qt::ISODate) : moment.toUTC().toString(Qt::ISODateWithMs);
    }
    const QString database =
        parser.isSet(db)
            ? parser.value(db)
            : InstallationDatabase(JoinPath(ProgramFolder(), QStringLiteral("Kestrum.ini")));
    if (IsDatabaseUri(database)) {
        return Fail(
            QStringLiteral("this program reads a DNC.mdb file only, not \"%1\"").arg(database));
    }
    if (!QFileInfo(database).isFile()) {
        return Fail(QStringLiteral("there is no configuration \"%1\"").arg(database));
    }
    DatabaseConnection connection(QStringLiteral("KestrumLog"));
    QString openError;
    if (!OpenDatabaseAt(connection, database, &openError)) {
        return Fail(openError);
    }
    QString error;
    const std::optional<QList<ChangeLogEntry>> entries = ReadChangeLog(connection, filter, &error);
    if (!entries) {
        return Fail(QStringLiteral("the change log cannot be read: ") + error);
    }
    if (parser.isSet(csv)) {
        Out() << QString::fromUtf8(ChangeLogCsv(*entries)) << Qt::flush;
        return 0;
    }
    if (parser.isSet(json)) {
        QJsonArray array;
        for (const ChangeLogEntry& e : *entries) {
            QJsonArray changes;
            for (const ColumnChange& c : e.changes) {
                changes.append(QJsonObject{
                    {QStringLiteral("column"), c.column},
                    {QStringLiteral("old"), c.oldValue ? QJsonValue(*c.oldValue) : QJsonValue()},
                    {QStringLiteral("new"), c.newValue ? QJsonValue(*c.newValue) : QJsonValue()}});
            }
            array.append(QJsonObject{{QStringLiteral("when"), e.changedAt},
                                     {QStringLiteral("computer"), e.computer},
                                     {QStringLiteral("user"), e.user},
                                     {QStringLiteral("action"), e.action},
                                     {QStringLiteral("table"), e.table},
                                     {QStringLiteral("operation"), e.operation},
                                     {QStringLiteral("row"), e.rowKey},
                                     {QStringLiteral("server_id"), Id(e.serverId)},
                                     {QStringLiteral("server"), e.serverName},
                                     {QStringLiteral("client_id"), Id(e.clientId)},
                                     {QStringLiteral("client"), e.clientName},
                                     {QStringLiteral("changes"), changes}});
        }
        Out() << QJsonDocument(array).toJson(QJsonDocument::Compact) << Qt::endl;
        return 0;
    }
    for (const ChangeLogEntry& e : *entries) {
        Out() << e.changedAt << '\t' << e.computer << '\t' << e.user << '\t' << e.action << '\t'
              << e.serverName << '\t' << e.clientName << '\t' << e.table << '\t' << e.operation
              << '\t' << ChangesText(e.changes) << '\n';
    }
    Out() << Qt::flush;
    return 0;
}
