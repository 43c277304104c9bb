// kestrum-log: the change log of a configuration, newest first, as lines, CSV or JSON. The
// entries are written as they are read, so a log of any length takes the same memory.

#include "base/paths.h"
#include "base/platform.h"
#include "db/backend.h"
#include "db/change_log.h"
#include "tools/tool_output.h"
#include "transfer/backup.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// Standard output as bytes: a QTextStream would convert each line twice over.
bool Write(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SetToolIdentity(QStringLiteral("kestrum-log"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The change log, newest first.\n"
        "  kestrum-log [--db DNC.mdb|URI] [--client NAME] [--server NAME] [--since WHEN] "
        "[--csv | --json]\n"
        "WHEN is an ISO 8601 date or date and time: 2026-12-07 (from midnight UTC), "
        "2026-12-07T08:30, 2026-12-07T08:30:15.250Z, 2026-12-07T08:30+01:00; without a zone "
        "the time is UTC.\n"
        "Plain lines are tab-separated; a backslash, TAB, CR, LF and NUL in a field are "
        "written as \\\\, \\t, \\r, \\n and \\0, other control characters as \\xHH."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption db(QStringLiteral("db"),
                                QStringLiteral("The configuration: a DNC.mdb or a server URI."),
                                QStringLiteral("path"));
    const QCommandLineOption client(QStringLiteral("client"),
                                    QStringLiteral("Only this client's changes."),
                                    QStringLiteral("name"));
    const QCommandLineOption server(QStringLiteral("server"),
                                    QStringLiteral("Only this server's changes."),
                                    QStringLiteral("name"));
    const QCommandLineOption since(QStringLiteral("since"),
                                   QStringLiteral("From this date or time on."),
                                   QStringLiteral("when"));
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
        QString why;
        const std::optional<QDateTime> from = ParseLogInstant(parser.value(since), &why);
        if (!from) {
            return Usage(parser, QStringLiteral("--since: ") + why);
        }
        filter.since = *from;
    }
    const QString database =
        parser.isSet(db)
            ? parser.value(db)
            : InstallationDatabase(JoinPath(ProgramFolder(), QStringLiteral("Kestrum.ini")));
    DatabaseConnection connection(QStringLiteral("KestrumLog"));
    QString error;
    if (!OpenDatabaseAt(connection, database, &error)) {
        return Fail(error);
    }

    enum class Form { Lines, Csv, Json };
    const Form form = parser.isSet(csv) ? Form::Csv : parser.isSet(json) ? Form::Json : Form::Lines;
    bool written = true;
    bool first = true;
    if (form == Form::Csv) {
#ifdef Q_OS_WIN
        // CSV ends its records with CR-LF itself and may hold LF inside a quoted field: the
        // text mode of standard output would make those CR-CR-LF and CR-LF.
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        written = Write((ChangeLogCsvHeader() + QStringLiteral("\r\n")).toUtf8());
    } else if (form == Form::Json) {
        written = Write("[");
    }
    const bool read = ForEachChangeLogEntry(
        connection, filter,
        [&](const ChangeLogEntry& entry) {
            switch (form) {
                case Form::Lines:
                    written = Write((ChangeLogPlainLine(entry) + QLatin1Char('\n')).toUtf8());
                    break;
                case Form::Csv:
                    written = Write((ChangeLogCsvLine(entry) + QStringLiteral("\r\n")).toUtf8());
                    break;
                case Form::Json:
                    written = Write(first ? ChangeLogJson(entry) : ',' + ChangeLogJson(entry));
                    break;
            }
            first = false;
            return written;  // a closed or full output ends the reading
        },
        &error);
    if (!read) {
        return Fail(QStringLiteral("the change log cannot be read: ") + error);
    }
    if (written && form == Form::Json) {
        written = Write("]\n");
    }
    if (!written || std::fflush(stdout) != 0) {
        return Fail(QStringLiteral("the output could not be written"));
    }
    return 0;
}
