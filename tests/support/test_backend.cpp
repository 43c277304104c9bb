#include "tests/support/test_backend.h"

#include "components/database_connection.h"
#include "db/backend.h"
#include "db/new_installation.h"
#include "db/schema_names.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

namespace {

QString& ProcessDatabase() {
    static QString name;
    return name;
}

void DropProcessDatabase() {
    if (!ProcessDatabase().isEmpty()) {
        RunOnServer(
            QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(ProcessDatabase()));
    }
}

bool RunOn(DatabaseConnection& connection, const QString& sql, QString* error) {
    QSqlQuery query(connection.Database());
    if (!query.exec(sql)) {
        if (error) {
            *error = query.lastError().text() + QStringLiteral(" in: ") + sql.left(80);
        }
        return false;
    }
    return true;
}

// The protocol rows of the schema script, made again after the tables were emptied.
QString ProtocolRows() {
    const QString script = DatabaseEngine::For(TestServerUri())->SchemaScript();
    const qsizetype start = script.indexOf(QLatin1String("INSERT INTO t_protocol"));
    return start < 0 ? QString() : script.mid(start).trimmed();
}

}  // namespace

bool TestOnServer() {
    return qEnvironmentVariable("KESTRUM_TEST_BACKEND") == QLatin1String("pg");
}

QString TestServerUri() {
    return qEnvironmentVariable("KESTRUM_TEST_PG");
}

QString TestServerDatabaseUri(const QString& database) {
    const QString uri = TestServerUri();
    const qsizetype query = uri.indexOf(QLatin1Char('?'));
    const QString head = query < 0 ? uri : uri.left(query);
    const QString tail = query < 0 ? QString() : uri.mid(query);
    const qsizetype slash = head.indexOf(QLatin1Char('/'), head.indexOf(QLatin1String("//")) + 2);
    return (slash < 0 ? head : head.left(slash)) + QLatin1Char('/') + database + tail;
}

QStringList TestServerControl() {
    return qEnvironmentVariable("KESTRUM_TEST_PG_CTL").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

namespace {

// Under Wine the server's control program is a Linux one this process cannot start: the
// test script's relay runs it when a request file appears in its folder and answers with
// "done" (the exit code, then the output).
bool RestartThroughRelay(const QString& folder, QString* error) {
    QDir dir(folder);
    dir.remove(QStringLiteral("done"));
    QFile request(dir.filePath(QStringLiteral("request")));
    if (!request.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("server restart relay: ") + request.errorString();
        return false;
    }
    request.close();
    QFile done(dir.filePath(QStringLiteral("done")));
    QElapsedTimer waited;
    waited.start();
    while (!done.exists()) {
        if (waited.elapsed() > 90000) {
            *error = QStringLiteral("server restart relay did not answer within 90 s");
            return false;
        }
        QThread::msleep(100);
    }
    if (!done.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("server restart relay: ") + done.errorString();
        return false;
    }
    const QString answer = QString::fromLocal8Bit(done.readAll()).trimmed();
    done.close();
    done.remove();
    if (!answer.startsWith(QLatin1String("0\n")) && answer != QLatin1String("0")) {
        *error = QStringLiteral("server restart failed: ") + answer;
        return false;
    }
    return true;
}

}  // namespace

bool RestartTestServer(QString* error) {
    const QString relay = qEnvironmentVariable("KESTRUM_TEST_PG_RESTART_RELAY");
    if (!relay.isEmpty()) {
        return RestartThroughRelay(relay, error);
    }
    QStringList command = TestServerControl();
    if (command.isEmpty()) {
        *error = QStringLiteral("KESTRUM_TEST_PG_CTL names no server control command");
        return false;
    }
    QProcess control;
    control.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = command.takeFirst();
    control.start(program, command + QStringList{QStringLiteral("restart"), QStringLiteral("-m"),
                                                 QStringLiteral("fast"), QStringLiteral("-w")});
    if (!control.waitForFinished(60000) || control.exitStatus() != QProcess::NormalExit ||
        control.exitCode() != 0) {
        *error = QStringLiteral("server restart failed: ") +
                 QString::fromLocal8Bit(control.readAll()).trimmed() + control.errorString();
        return false;
    }
    return true;
}

bool RunOnServer(const QString& sql, QString* error) {
    DatabaseConnection connection(QStringLiteral("test-server-maintenance"));
    if (!connection.OpenLocation(TestServerUri())) {
        if (error) {
            *error = connection.LastError();
        }
        return false;
    }
    return RunOn(connection, sql, error);
}

namespace {

// This process's database emptied and given its protocol rows again; "" when there is none
// yet, or when a test added a trigger or a table or dropped one (it is then made anew). The
// tables are those of the configuration and the change log.
QString ResetProcessDatabase() {
    if (ProcessDatabase().isEmpty()) {
        return QString();
    }
    const QString uri = TestServerDatabaseUri(ProcessDatabase());
    DatabaseConnection connection(QStringLiteral("test-server-reset"));
    if (!connection.OpenLocation(uri)) {
        return QString();
    }
    QSqlQuery query(connection.Database());
    if (!query.exec(
            QStringLiteral("SELECT (SELECT COUNT(*) FROM pg_trigger WHERE NOT tgisinternal), "
                           "(SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = "
                           "current_schema())")) ||
        !query.next() || query.value(0).toInt() != 0 ||
        query.value(1).toInt() != int(SchemaTables().size()) + 1) {
        return QString();
    }
    const bool emptied = RunOn(connection,
                               QStringLiteral("TRUNCATE kestrum_change_log, ") +
                                   SchemaTables().join(", ") + QStringLiteral(" RESTART IDENTITY"),
                               nullptr) &&
                         RunOn(connection, ProtocolRows(), nullptr);
    return emptied ? uri : QString();
}

}  // namespace

QString FreshServerDatabase(QString* error) {
    const QString reset = ResetProcessDatabase();
    if (!reset.isEmpty()) {
        return reset;
    }
    // The first test, or one that changed the tables themselves: made anew.
    const QString name = QStringLiteral("kestrum_test_%1").arg(QCoreApplication::applicationPid());
    if (!RunOnServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name), error) ||
        !RunOnServer(QStringLiteral("CREATE DATABASE %1").arg(name), error) ||
        !CreateServerSchema(TestServerDatabaseUri(name), error)) {
        return QString();
    }
    if (ProcessDatabase().isEmpty()) {
        qAddPostRoutine(DropProcessDatabase);
    }
    ProcessDatabase() = name;
    return TestServerDatabaseUri(name);
}

void ActAsOtherAdministrator(const QString& uri, const QStringList& statements, QSemaphore* ran,
                             int holdMs) {
    DatabaseConnection other(QStringLiteral("other-administrator"));
    if (!other.OpenLocation(uri)) {
        qWarning("other administrator: %s", qPrintable(other.LastError()));
        ran->release();
        return;
    }
    QSqlDatabase db = other.Database();
    db.transaction();
    {
        QSqlQuery query(db);
        for (const QString& sql : statements) {
            if (!query.exec(sql)) {
                qWarning("other administrator: %s", qPrintable(query.lastError().text()));
            }
        }
    }
    ran->release();
    QThread::msleep(holdMs);
    db.commit();
}
