// kestrum-dbcopy FROM TO: copies a whole configuration between two databases (a DNC.mdb
// path or a PostgreSQL URI each). On any failure nothing is written and exit code 1 follows
// one line naming the reason (2 for a wrong command line).

#include "transfer/transfer_jobs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrum-dbcopy"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(KESTRUM_VERSION_MAJOR)
                                                .arg(KESTRUM_VERSION_MINOR)
                                                .arg(KESTRUM_VERSION_REVISION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Copies every table of a Kestrum configuration from one database to "
                       "another, identifiers kept and the key counters set past them. TO is "
                       "a new DNC.mdb, an existing one without rows, or the URI of an empty "
                       "PostgreSQL database; a target that holds rows is refused."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FROM"),
                                 QStringLiteral("DNC.mdb path or PostgreSQL URI to copy."));
    parser.addPositionalArgument(QStringLiteral("TO"),
                                 QStringLiteral("DNC.mdb path or PostgreSQL URI to fill."));
    if (!parser.parse(QCoreApplication::arguments()) || parser.positionalArguments().size() != 2) {
        if (!parser.isSet(QStringLiteral("help")) && !parser.isSet(QStringLiteral("version"))) {
            err << "kestrum-dbcopy: "
                << (parser.errorText().isEmpty() ? QStringLiteral("expected FROM and TO")
                                                 : parser.errorText())
                << "\n"
                << parser.helpText() << Qt::flush;
            return 2;
        }
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText() << Qt::flush;
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out << QCoreApplication::applicationName() << " " << QCoreApplication::applicationVersion()
            << Qt::endl;
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    const CopyOutcome outcome = CopyDatabase(args.at(0), args.at(1));
    if (!outcome.ok) {
        err << "kestrum-dbcopy: " << outcome.error << Qt::endl;
        return 1;
    }
    for (const auto& [table, count] : outcome.copied) {
        out << table << " " << count << "\n";
    }
    out << "Copied " << args.at(0) << " into " << args.at(1) << Qt::endl;
    return 0;
}
