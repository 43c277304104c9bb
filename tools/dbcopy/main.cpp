// kestrum-dbcopy FROM TO: copies a whole configuration between two databases (a DNC.mdb
// path or a server database URI each). On any failure nothing is written and exit code 1 follows
// one line naming the reason (2 for a wrong command line).

#include "tools/tool_output.h"
#include "transfer/transfer_jobs.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SetToolIdentity(QStringLiteral("kestrum-dbcopy"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Copies every table of a Kestrum configuration from one database to "
                       "another, identifiers kept and the key counters set past them. TO is "
                       "a new DNC.mdb, an existing one without rows, or the URI of an empty "
                       "server database; a target that holds rows is refused."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FROM"),
                                 QStringLiteral("DNC.mdb path or server database URI to copy."));
    parser.addPositionalArgument(QStringLiteral("TO"),
                                 QStringLiteral("DNC.mdb path or server database URI to fill."));
    if (const std::optional<int> done = ParseCommandLine(parser)) {
        return *done;
    }
    if (parser.positionalArguments().size() != 2) {
        return Usage(parser, QStringLiteral("expected FROM and TO"));
    }
    const QStringList args = parser.positionalArguments();
    const CopyOutcome outcome = CopyDatabase(args.at(0), args.at(1));
    if (!outcome.ok) {
        return Fail(outcome.error);
    }
    for (const auto& [table, count] : outcome.copied) {
        Out() << table << " " << count << "\n";
    }
    Out() << "Copied " << ShownLocation(args.at(0)) << " into " << ShownLocation(args.at(1))
          << Qt::endl;
    return 0;
}
