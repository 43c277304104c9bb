// bench_log_output: kestrum-log writing a long change log as lines, CSV and JSON, its wall
// time and peak memory as /usr/bin/time -v measures them, at a tenth of the records and at
// all of them (constant memory: the two peaks stay alike).
//
//   bench_log_output [--rows N] [--tool PATH-TO-kestrum-log] [--db postgresql://...]
//
// Without --db the log is in a new DNC.mdb; with it, the log table of that (scratch) server
// database is emptied and filled.

#include "bench/support/command_line.h"
#include "db/backend.h"
#include "db/change_log.h"
#include "db/new_installation.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Run {
    double seconds = -1;
    qint64 peakKb = -1;
    qint64 bytes = 0;
};

// One run of the tool under /usr/bin/time -v, its output counted and thrown away.
Run Measure(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/time"), QStringList{"-v", tool} + arguments);
    Run run;
    if (!process.waitForStarted()) {
        return run;
    }
    while (process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        run.bytes += process.readAllStandardOutput().size();
    }
    run.bytes += process.readAllStandardOutput().size();
    const QString report = QString::fromUtf8(process.readAllStandardError());
    static const QRegularExpression elapsed(
        QStringLiteral("Elapsed \\(wall clock\\) time \\(h:mm:ss or m:ss\\): ([0-9:.]+)"));
    static const QRegularExpression peak(
        QStringLiteral("Maximum resident set size \\(kbytes\\): ([0-9]+)"));
    const QRegularExpressionMatch time = elapsed.match(report);
    if (time.hasMatch()) {
        run.seconds = 0;
        for (const QString& part : time.captured(1).split(QLatin1Char(':'))) {
            run.seconds = run.seconds * 60 + part.toDouble();
        }
    }
    const QRegularExpressionMatch memory = peak.match(report);
    if (memory.hasMatch()) {
        run.peakKb = memory.captured(1).toLongLong();
    }
    if (process.exitCode() != 0) {
        std::fprintf(stderr, "%s\n", qPrintable(report.left(400)));
        run.seconds = -1;
    }
    return run;
}

// Empties the log and writes rows records into it, each like one of a client's port change.
bool Fill(DatabaseConnection& connection, int rows) {
    QSqlQuery query(connection.Database());
    const bool server = connection.Engine().IsServer();
    const QString numbers = server ? QStringLiteral("SELECT generate_series(1, %1) AS i")
                                   : QStringLiteral(
                                         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT "
                                         "i + 1 FROM n WHERE i < %1) SELECT i FROM n");
    const QString sql = QStringLiteral(
                            "INSERT INTO kestrum_change_log (changed_at, computer, os_user, "
                            "action, table_name, operation, row_key, server_id, server_name, "
                            "client_id, client_name, changes) SELECT "
                            "'2026-12-07T08:00:00.000Z', 'CNCSRV1', 'operator', 'Port Setup', "
                            "'t_client_mode', 'update', '', 1, 'CNCSRV1', i, 'LATHE' || i, "
                            "'[[\"m_baud\",\"9600\",\"19200\"],[\"m_parity\",\"E\",\"N\"]]' "
                            "FROM (") +
                        numbers.arg(rows) + QStringLiteral(") AS n");
    if (!query.exec(QStringLiteral("DELETE FROM kestrum_change_log")) || !query.exec(sql)) {
        std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    const auto option = [&args](const char* name, const QString& otherwise) {
        return BenchOption(args, name, otherwise);
    };
    const int rows = option("--rows", QStringLiteral("300000")).toInt();
    const QString tool =
        option("--tool", QCoreApplication::applicationDirPath() + "/../../tools/log/kestrum-log");
    QTemporaryDir dir;
    QString location = option("--db", QString());
    if (location.isEmpty()) {
        location = dir.filePath(QStringLiteral("DNC.mdb"));
        QString error;
        if (!CreateDatabaseAt(location, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
    }
    std::printf("%-8s %9s %10s %12s %10s\n", "form", "records", "seconds", "peak RSS kB", "MB out");
    for (const int count : {rows / 10, rows}) {
        {
            DatabaseConnection connection(QStringLiteral("bench"));
            QString error;
            if (!OpenDatabaseAt(connection, location, &error) ||
                !EnsureChangeLogTable(connection, &error) || !Fill(connection, count)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 2;
            }
        }
        for (const char* form : {"lines", "csv", "json"}) {
            QStringList arguments{QStringLiteral("--db"), location};
            if (QLatin1String(form) != QLatin1String("lines")) {
                arguments << QStringLiteral("--") + QLatin1String(form);
            }
            const Run run = Measure(tool, arguments);
            std::printf("%-8s %9d %10.2f %12lld %10.1f\n", form, count, run.seconds, run.peakKb,
                        double(run.bytes) / 1e6);
            if (run.seconds < 0) {
                return 1;
            }
        }
    }
    return 0;
}
