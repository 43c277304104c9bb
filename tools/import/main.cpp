// kestrum-import OLD.mdb TARGET: brings a site's Access DNC.mdb into a new Kestrum database.
// The Access file is only read. On any failure nothing is written and exit code 1 follows
// one line naming the reason (2 for a wrong command line).

#include "tools/tool_output.h"
#include "transfer/access_file.h"
#include "transfer/transfer_jobs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// libmdb writes its own warnings on a damaged file to standard error; the tool says what
// went wrong in one line of its own instead.
class QuietLibrary {
public:
    QuietLibrary() {
#ifdef Q_OS_UNIX
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (saved_ >= 0 && null >= 0) {
            dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            close(null);
        }
#endif
    }
    ~QuietLibrary() {
#ifdef Q_OS_UNIX
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
#endif
    }
    QuietLibrary(const QuietLibrary&) = delete;
    QuietLibrary& operator=(const QuietLibrary&) = delete;

private:
    int saved_ = -1;
};

// --show: what the reader finds in an Access file, for checking a file by hand.
int Show(const QString& path, bool rows) {
    AccessFile file;
    QString error;
    bool opened = false;
    {
        QuietLibrary quiet;
        opened = file.Open(path, &error);
    }
    if (!opened) {
        return Fail(error);
    }
    Out() << path << ": " << file.FormatName() << "\n";
    for (const QString& name : file.TableNames()) {
        AccessTable table;
        bool read = false;
        {
            QuietLibrary quiet;
            read = file.ReadTable(name, true, &table, &error);
        }
        if (!read) {
            return Fail(error);
        }
        Out() << "table " << table.name << ": " << table.rows.size() << " rows";
        if (table.lastAutoNumber) {
            Out() << ", last AutoNumber " << *table.lastAutoNumber;
        }
        Out() << "\n";
        for (const AccessColumn& column : table.columns) {
            Out() << "  " << column.name << " " << column.TypeName() << "\n";
        }
        if (!rows) {
            continue;
        }
        for (const QVariantList& row : table.rows) {
            QJsonObject object;
            for (qsizetype i = 0; i < table.columns.size(); ++i) {
                const QVariant& value = row.at(i);
                object.insert(
                    table.columns.at(i).name,
                    value.typeId() == QMetaType::QByteArray
                        ? QJsonValue(QStringLiteral("<%1 bytes>").arg(value.toByteArray().size()))
                        : QJsonValue::fromVariant(value));
            }
            Out() << "  " << QJsonDocument(object).toJson(QJsonDocument::Compact) << "\n";
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SetToolIdentity(QStringLiteral("kestrum-import"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Copies every table of an Access DNC.mdb (Jet 3 or Jet 4) into a new "
                       "Kestrum database: a new DNC.mdb made from the schema (an existing "
                       "file is never replaced) or the URI of an empty server database. "
                       "Identifiers and the AutoNumber counters are kept. The Access file is "
                       "only read."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption show(QStringLiteral("show"),
                                  QStringLiteral("List the Access file's tables, columns and "
                                                 "counters instead of importing."));
    const QCommandLineOption rows(QStringLiteral("rows"),
                                  QStringLiteral("With --show, print every row as JSON."));
    parser.addOption(show);
    parser.addOption(rows);
    parser.addPositionalArgument(QStringLiteral("OLD.mdb"), QStringLiteral("The Access file."));
    parser.addPositionalArgument(QStringLiteral("TARGET"),
                                 QStringLiteral("The new DNC.mdb, or a server database URI."));
    if (const std::optional<int> done = ParseCommandLine(parser)) {
        return *done;
    }
    const QStringList args = parser.positionalArguments();
    if (parser.isSet(show)) {
        if (args.size() != 1) {
            Err() << "kestrum-import: --show takes one Access file\n"
                  << parser.helpText() << Qt::flush;
            return 2;
        }
        return Show(args.at(0), parser.isSet(rows));
    }
    if (args.size() != 2 || parser.isSet(rows)) {
        Err() << "kestrum-import: expected OLD.mdb and TARGET\n" << parser.helpText() << Qt::flush;
        return 2;
    }
    CopyOutcome outcome;
    {
        QuietLibrary quiet;
        outcome = ImportAccessFile(args.at(0), args.at(1));
    }
    if (!outcome.ok) {
        return Fail(outcome.error);
    }
    for (const QString& skipped : outcome.skipped) {
        Out() << "skipped " << skipped << "\n";
    }
    for (const auto& [table, count] : outcome.copied) {
        Out() << table << " " << count << "\n";
    }
    Out() << "Imported " << args.at(0) << " into " << ShownLocation(args.at(1)) << Qt::endl;
    return 0;
}
