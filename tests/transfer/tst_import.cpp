// The import of the made-up plant: every table as expected, the Access file untouched, new
// rows numbered above the Access counters, and the imported clients exported as the DNC
// server reads them. Copies of the imported file between databases (kestrum-dbcopy): a
// round trip keeps every row and counter. What an import refuses, and that a refusal writes
// nothing: files that are not Access databases or are cut short, tables and columns
// missing, values that do not fit, a target that exists. Also the value rules themselves and
// both tools' command lines.

#include "app/startup.h"
#include "base/paths.h"
#include "components/database_connection.h"
#include "db/client_directories.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "db/protocol_records.h"
#include "dncadmin/dncadmin_export.h"
#include "tests/support/checked_query.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"
#include "tests/support/tool_run.h"
#include "transfer/target_columns.h"
#include "transfer/transfer_jobs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

using Patches = QList<QPair<QString, QString>>;

// A file's bytes; empty when it cannot be read.
QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The made-up plant in Access form, and the rows its import must give (in
// DNC_sample_access.expected/).
const QString kData = QStringLiteral(KESTRUM_SOURCE_DIR "/tests/transfer/data/");
const QString kSample = kData + "DNC_sample_access.mdb";

// The lines of a file of the expected rows.
QStringList ExpectedLines(const QString& name) {
    return QString::fromUtf8(FileBytes(kData + "DNC_sample_access.expected/" + name))
        .split('\n', Qt::SkipEmptyParts);
}

// A copy of the sample at path with bytes replaced: each pair is (UTF-16 text found in the
// file, its replacement of the same length), or the file cut to a length.
bool PatchedSample(const QString& path, const Patches& patches, qint64 cutTo) {
    QByteArray bytes = FileBytes(kSample);
    for (const auto& [from, to] : patches) {
        const QByteArray a(reinterpret_cast<const char*>(from.utf16()), from.size() * 2);
        const QByteArray b(reinterpret_cast<const char*>(to.utf16()), to.size() * 2);
        if (a.size() != b.size() || !bytes.contains(a)) {
            return false;
        }
        bytes.replace(a, b);
    }
    if (cutTo >= 0) {
        bytes.truncate(cutTo);
    }
    return WriteBytes(path, bytes);
}

// The sample with the data page of t_dnc_server_clients (page 35) there twice, as a damaged
// page chain leaves it: a copy appended as page 97 and marked as the table's in its usage
// bitmap (page 36). Empty when the sample is not laid out so.
QByteArray PageListedTwice() {
    constexpr int kPage = 4096;  // Jet 4
    QByteArray bytes = FileBytes(kSample);
    const auto bit = [](int page) { return char(1 << (page % 8)); };
    if (bytes.size() != 97 * kPage || bytes.at(36 * kPage) != 0x05 ||
        !(bytes.at(36 * kPage + 4 + 35 / 8) & bit(35))) {
        return {};
    }
    bytes += bytes.mid(35 * kPage, kPage);
    bytes[36 * kPage + 4 + 97 / 8] = char(bytes.at(36 * kPage + 4 + 97 / 8) | bit(97));
    return bytes;
}

// Every row of a table of an SQLite file (or what follows FROM), in the order SELECT * gives,
// as JSON objects.
QList<QJsonObject> RowsOf(const QString& file, const QString& table) {
    QList<QJsonObject> rows;
    DatabaseConnection connection(QUuid::createUuid().toString());
    if (!connection.OpenLocation(file)) {
        QTest::qFail(qPrintable("cannot open " + file + ": " + connection.LastError()), __FILE__,
                     __LINE__);
        return rows;
    }
    QSqlQuery query(connection.Database());
    if (!ExecOrFail(query, QStringLiteral("SELECT * FROM ") + table)) {
        return rows;
    }
    while (query.next()) {
        QJsonObject row;
        for (int i = 0; i < query.record().count(); ++i) {
            row.insert(query.record().fieldName(i), QJsonValue::fromVariant(query.value(i)));
        }
        rows << row;
    }
    return rows;
}

// Every table of an SQLite file with its rows, the counters in sqlite_sequence among them;
// Kestrum's own kestrum_* tables aside.
QList<QJsonObject> Dump(const QString& file) {
    QList<QJsonObject> all;
    for (const QJsonObject& table :
         RowsOf(file,
                "(SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                "'kestrum%') ORDER BY name")) {
        all << table << RowsOf(file, table.value("name").toString());
    }
    return all;
}

}  // namespace

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString imported_;
    CopyOutcome outcome_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        imported_ = dir_.filePath(QStringLiteral("DNC.mdb"));
        const QByteArray before = FileBytes(kSample);
        outcome_ = ImportAccessFile(kSample, imported_);
        QVERIFY2(outcome_.ok, qPrintable(outcome_.error));
        QVERIFY(FileBytes(kSample) == before);  // DNC servers may still read it
        QCOMPARE(outcome_.skipped, QStringList());
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"DNC.mdb"});
    }

    // Row for row, in stored order: identifiers with their gaps, orphan rows, yes/no as -1/0,
    // NULL text as "", NULL numbers as the schema's default, text byte for byte.
    void tables_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<qsizetype>("copied");  // rows, as the import counted them
        for (const auto& [table, rows] : outcome_.copied) {
            QTest::newRow(qPrintable(table)) << table << rows;
        }
        QCOMPARE(outcome_.copied.size(), 13);
    }
    void tables() {
        QFETCH(QString, table);
        QFETCH(qsizetype, copied);
        QList<QJsonObject> expected;
        for (const QString& line : ExpectedLines(table + QStringLiteral(".jsonl"))) {
            expected << QJsonDocument::fromJson(line.toUtf8()).object();
        }
        QVERIFY(!expected.isEmpty());
        QCOMPARE(RowsOf(imported_, table), expected);
        QCOMPARE(copied, expected.size());
    }

    // The imported file as an installation's DNC.mdb. A new server, client, directory and
    // shop-terminal link get numbers above the last the Access file handed out, not above the
    // highest row left (client 37 was deleted). Imported clients export as the DNC server
    // reads them: the file below is written by hand from the sample's rows (REMOTE 72 and
    // MAZATROL 102, UNC folders with '$', the up folder falling back to the download folder
    // when there is none).
    void worksAsAnInstallation() {
        TempInstallation install(
            TempInstallation::Options{false, false, std::nullopt, QStringLiteral("CELLSRV02")});
        QVERIFY(QFile::copy(imported_, install.DatabasePath()));
        QVERIFY(install.OpenConnection());
        MessageRecorder messages;
        AddServer(QStringLiteral("NEWSRV"));
        QVERIFY(AddClientMDB(QStringLiteral("NEW LATHE"), QStringLiteral("NEWSRV")));
        const qint32 client = GetClientID(QStringLiteral("NEW LATHE")).value_or(0);
        const auto dir = AddDirMDB(client, QStringLiteral("C:\\NC\\NEW"));
        QVERIFY(EnsureShopTermSelfRowMDB(client));
        const QMap<QString, qint64> next = {
            {"t_dnc_servers", GetServerID(QStringLiteral("NEWSRV")).value_or(0)},
            {"t_dnc_server_clients", client},
            {"t_client_directory", dir.value_or(0)},
            {"t_shopterm_clients",
             install.QueryValue("SELECT MAX(shopterm_id) FROM t_shopterm_clients").toLongLong()}};
        QMap<QString, qint64> expected;  // lines "table last-key"
        for (const QString& line : ExpectedLines(QStringLiteral("sequences.txt"))) {
            expected[line.section(' ', 0, 0)] = line.section(' ', 1).toLongLong() + 1;
        }
        QCOMPARE(next, expected);

        const QByteArray base = "[ADMIN]\r\nLINES_DISPLAYED=64\r\n";
        install.WriteFile(QStringLiteral("base.ini"), base);
        const ExportOutcome exported = ExportDncAdmin(
            {QStringLiteral("FANUC ROBODRILL 3"), QStringLiteral("MAZAK INTEGREX I200")},
            install.FilePath(QStringLiteral("base.ini")),
            install.FilePath(QStringLiteral("DNCAdmin.ini")));
        QVERIFY2(exported.Ok, qPrintable(exported.Error));
        QCOMPARE(messages.Count(), 0);
        const QByteArray byHand = base +
                                  "[FANUC ROBODRILL 3]\r\n"
                                  "NODE_ID=2\r\n"
                                  "PORT_ID=06\r\n"
                                  "PROTOCOL=REMOTE\r\n"
                                  "DEFAULT_DIR=\\\\CELLSRV02\\DNC$\\FANUC\\RD3\r\n"
                                  "DEFAULT_UP_DIR=\\\\CELLSRV02\\DNC$\\FANUC\\RD3\\UPLOAD\r\n"
                                  "[MAZAK INTEGREX I200]\r\n"
                                  "NODE_ID=2\r\n"
                                  "PORT_ID=01\r\n"
                                  "PROTOCOL=MAZATROL\r\n"
                                  "DEFAULT_DIR=\\\\FILESRV\\NC\\MAZAK\\I200\r\n"
                                  "DEFAULT_UP_DIR=\\\\FILESRV\\NC\\MAZAK\\I200\r\n"
                                  "[CNC_LIST]\r\n"
                                  "1=FANUC ROBODRILL 3\r\n"
                                  "2=MAZAK INTEGREX I200\r\n";
        QCOMPARE(install.ReadFile(QStringLiteral("DNCAdmin.ini")), byHand);
    }

    // kestrum-dbcopy between two SQLite files and through a PostgreSQL database.
    void roundTrip() {
        QTemporaryDir dir;
        const QString& a = imported_;
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        const QString c = dir.filePath(QStringLiteral("c.mdb"));
        CopyOutcome outcome = CopyDatabase(a, b);  // a new file
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QVERIFY(CreateDatabaseAt(c));  // an existing file without rows
        outcome = CopyDatabase(b, c);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(Dump(c), Dump(a));
        QVERIFY(!CopyDatabase(a, a).ok);
    }

    // Onto an empty PostgreSQL database by the tools, from the Access file or from SQLite,
    // and back into SQLite: every row and counter kept, a second copy onto it refused, and
    // the server then hands out ids above every copied one.
    void throughServer_data() {
        QTest::addColumn<QString>("tool");
        QTest::newRow("import") << "import";
        QTest::newRow("dbcopy") << "dbcopy";
    }
    void throughServer() {
        if (!TestOnServer()) {
            QSKIP("needs the PostgreSQL test server");
        }
        QFETCH(QString, tool);
        QTemporaryDir dir;
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        TempInstallation install({true, false, std::nullopt, QStringLiteral("CNCSRV1")});
        QVERIFY(install.OnServer());
        const QStringList copy = {tool == "import" ? kSample : imported_,
                                  install.DatabaseLocation()};
        ToolRun run = RunTool(tool, copy);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        run = RunTool(QStringLiteral("dbcopy"), {install.DatabaseLocation(), b});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(Dump(b), Dump(imported_));
        run = RunTool(tool, copy);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("already holds a configuration")),
                 qPrintable(run.err));

        QVERIFY(install.OpenConnection());
        MessageRecorder messages;
        QVERIFY2(AddClientMDB(QStringLiteral("NEW MILL"), QStringLiteral("DNC-HALLE1")),
                 qPrintable(messages.Texts().join('\n')));
        QCOMPARE(GetClientID(QStringLiteral("NEW MILL")), std::optional<qint32>(38));
        QCOMPARE(messages.Count(), 0);
    }

    // Each refusal names its reason; the target is not created (or, when it existed, is
    // byte-identical) and nothing is left beside it.
    void import_data() {
        QTest::addColumn<QByteArray>("source");  // the old file; null: the sample, patched
        QTest::addColumn<Patches>("patches");
        QTest::addColumn<qint64>("cutTo");
        QTest::addColumn<QByteArray>("existingTarget");  // null: no target file
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const QByteArray& source, const QString& error,
                            const Patches& patches = {}, qint64 cutTo = -1,
                            const QByteArray& target = {}) {
            QTest::newRow(name) << source << patches << cutTo << target << error;
        };
        const QString notAccess = "is not a Microsoft Access database";
        row("text file", "Standard text, not Jet DB\n", notAccess);
        row("empty file", "", notAccess);
        row("SQLite file", FileBytes(imported_), notAccess);
        row("cut inside a page", {}, "is cut short: it ends inside a page", {}, 4096 * 60 + 100);
        row("cut at a page", {},
            "is damaged or cut short: table t_timeout_table_down cannot be read completely (0 of "
            "its 30 rows read)",
            {}, 4096 * 60);
        row("only the header", {}, "is cut short", {}, 4096);
        row("a page twice", PageListedTwice(),
            "is damaged: table t_dnc_server_clients hands over the same rows twice");
        row("missing table", {}, "missing tables: t_command", {{"t_command", "x_command"}});
        row("missing tables and columns", {},
            "missing tables: t_command, t_remote; missing columns: t_client_mode.m_baud",
            {{"t_command", "x_command"}, {"t_remote", "x_remote"}, {"m_baud", "x_baud"}});
        row("target exists", {}, "exists; it is never replaced", {}, -1, "not a database\r\n");
        row("empty target exists", {}, "exists; it is never replaced", {}, -1, QByteArray(""));
    }
    void import() {
        QFETCH(QByteArray, source);
        QFETCH(Patches, patches);
        QFETCH(qint64, cutTo);
        QFETCH(QByteArray, existingTarget);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString from = dir.filePath(QStringLiteral("old.mdb"));
        QVERIFY(source.isNull() ? PatchedSample(from, patches, cutTo) : WriteBytes(from, source));
        const QString target = dir.filePath(QStringLiteral("DNC.mdb"));
        QVERIFY(existingTarget.isNull() || WriteBytes(target, existingTarget));
        const QMap<QString, QString> before = Snapshot(dir.path());
        const CopyOutcome outcome = ImportAccessFile(from, target);
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.error.contains(error), qPrintable(outcome.error));
        QCOMPARE(Snapshot(dir.path()), before);
    }

    // How each kind of column takes a value from another database (yes/no, NULL text, text
    // kept exactly and 255 characters as the sample carries them: the import's table test).
    void values_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored");  // invalid: refused
        QTest::addColumn<QString>("problem");
        const QVariant refused;
        const auto row = [](const char* name, const char* table, const char* column,
                            const QVariant& value, const QVariant& stored,
                            const QString& problem = QString()) {
            QTest::newRow(name) << table << column << value << stored << problem;
        };
        const char* clients = "t_dnc_server_clients";
        row("yes/no from a number", clients, "bts_loop", 1, qint64(-1));
        row("NULL yes/no", clients, "bts_loop", QVariant(), qint64(0));
        row("NULL text", clients, "NODE_ID", QVariant(), QString(""));
        row("NULL text with a default", "t_client_mode", "m_parity", QVariant(), QString(""));
        row("NULL number takes the default", "t_client_mode", "m_baud", QVariant(), qint64(9600));
        row("NULL 16-bit takes the default", "t_client_directory", "dir_mode", QVariant(),
            qint64(3));
        row("NULL protocol", clients, "protocol_id", QVariant(), qint64(2));
        row("NULL key", clients, "client_id", QVariant(), refused, "has no default");
        row("16-bit highest", "t_timeout_table_down", "char_buffer", 32767, qint64(32767));
        row("16-bit lowest", "t_timeout_table_down", "char_buffer", -32768, qint64(-32768));
        row("16-bit over", "t_timeout_table_down", "char_buffer", 32768, refused,
            "32768, outside the 16-bit range");
        row("16-bit under", "t_client_mode", "cnc_comport", -32769, refused, "16-bit");
        row("32-bit over", "t_client_mode", "m_baud", qint64(2147483648LL), refused, "32-bit");
        row("number from text", "t_client_mode", "m_baud", QString(" 9600"), qint64(9600));
        row("empty text as number", "t_client_mode", "m_baud", QString(""), qint64(9600));
        row("text that is no number", "t_client_mode", "m_baud", QString("fast"), refused,
            "not a number");
        row("whole real", "t_client_mode", "m_stopbits", 2.0, qint64(2));
        row("fraction", "t_client_mode", "m_stopbits", 1.5, refused, "not a whole number");
        row("number as text", clients, "PORT_ID", 7, QString("7"));
        row("256 characters", "t_client_directory", "directory_direct", QString(256, QChar(0xe4)),
            refused, "a text of 256 characters (at most 255 fit)");
    }
    void values() {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        QFETCH(QString, problem);
        TargetColumn target;
        for (const TargetColumn& each : TargetColumns(table)) {
            target = each.name == column ? each : target;
        }
        QString said;
        const auto result = ConvertValue(target, value, &said);
        QCOMPARE(result.has_value(), stored.isValid());
        if (result) {
            QCOMPARE(*result, stored);
        } else {
            QVERIFY2(said.contains(problem), qPrintable(said));
        }
    }

    // A value that does not fit is named by table, row key and column, all of them at once,
    // and the target keeps no row; extra tables and columns are only reported.
    void copyRefusesValuesThatDoNotFit() {
        SourceConfiguration source;
        QString error;
        QVERIFY2(ReadAccessConfiguration(kSample, &source, &error), qPrintable(error));
        SourceTable* down = nullptr;
        SourceTable* dirs = nullptr;
        for (SourceTable& table : source.tables) {
            down = table.name == "t_filter_table_down" ? &table : down;
            dirs = table.name == "t_client_directory" ? &table : dirs;
        }
        QVERIFY(down && dirs);
        const qsizetype leader = down->columns.indexOf(QStringLiteral("leader"));
        const qsizetype folder = dirs->columns.indexOf(QStringLiteral("directory_direct"));
        down->rows[1][leader] = 70000;              // client 2
        dirs->rows[2][folder] = QString(300, 'D');  // dir 3

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("DNC.mdb"));
        QVERIFY(CreateDatabaseAt(path));
        DatabaseConnection target(QStringLiteral("refusal-target"));
        QVERIFY(target.Open(QStringLiteral("data source = ") + path + QLatin1Char(';')));
        CopyOutcome outcome = CopyConfiguration(source, target);
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.error,
                 QStringLiteral("Values that do not fit: t_filter_table_down row client_id = 2, "
                                "column leader: 70000, outside the 16-bit range -32768 to 32767; "
                                "t_client_directory row dir_id = 3, column directory_direct: a "
                                "text of 300 characters (at most 255 fit)"));

        // Mended, with a table and a column Kestrum does not have. A target left with rows
        // would refuse it.
        down->rows[1][leader] = 7;
        dirs->rows[2][folder] = QString("C:\\");
        down->columns << QStringLiteral("legacy_flag");
        for (QVariantList& row : down->rows) {
            row << true;
        }
        source.tables << SourceTable{QStringLiteral("t_notes"), {QStringLiteral("note")}, {}, {}};
        outcome = CopyConfiguration(source, target);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(outcome.skipped,
                 (QStringList{"column t_filter_table_down.legacy_flag", "table t_notes"}));
    }

    // Both tools' command lines: exit 0, 1 or 2, one line per table, the reason on standard
    // error (one line for a refusal).
    void commandLine_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");  // $D: a temporary folder holding old.txt,
        QTest::addColumn<int>("exitCode");           // and for dbcopy a.mdb and full.mdb
        QTest::addColumn<QString>("out");            // part of standard output
        QTest::addColumn<QString>("err");            // the reason on standard error
        const auto row = [](const char* name, const char* tool, const QStringList& arguments,
                            int exitCode, const QString& out, const QString& err) {
            QTest::newRow(name) << tool << arguments << exitCode << out << err;
        };
        row("import", "import", {kSample, "$D/DNC.mdb"}, 0, "\nt_dnc_server_clients 30\n", "");
        row("show", "import", {"--show", kSample}, 0,
            "table t_dnc_servers: 3 rows, last AutoNumber 5", "");
        row("refused", "import", {kSample, "$D/old.txt"}, 1, "",
            "kestrum-import: \"$D/old.txt\" exists; it is never replaced");
        row("no target", "import", {kSample}, 2, "", "kestrum-import: expected OLD.mdb and TARGET");
        row("unknown option", "import", {"--fast", kSample, "$D/x.mdb"}, 2, "",
            "kestrum-import: Unknown option 'fast'.");
        row("copy", "dbcopy", {"$D/a.mdb", "$D/DNC.mdb"}, 0,
            "t_dnc_servers 3\nt_dnc_server_clients 30\n", "");
        row("copy onto rows", "dbcopy", {"$D/a.mdb", "$D/full.mdb"}, 1, "",
            "kestrum-dbcopy: The target already holds a configuration");
        row("copy without target", "dbcopy", {"$D/a.mdb"}, 2, "", "");
        row("copy from Access", "dbcopy", {kSample, "$D/DNC.mdb"}, 1, "",
            "is a Microsoft Access database; kestrum-import");
        // A copy killed on the way left its file behind; a copy still running keeps its own.
        row("import after a killed one", "import", {kSample, "$D/DNC.mdb"}, 0, "Imported", "");
        row("copy after a killed one", "dbcopy", {"$D/a.mdb", "$D/DNC.mdb"}, 0, "Copied", "");
        row("copy after one killed in its lock", "dbcopy", {"$D/a.mdb", "$D/DNC.mdb"}, 0, "Copied",
            "");
        row("copy beside a running one", "dbcopy", {"$D/a.mdb", "$D/DNC.mdb"}, 0, "Copied", "");
    }
    void commandLine() {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QTemporaryDir dir;
        QVERIFY(WriteBytes(dir.filePath(QStringLiteral("old.txt")), {}));
        if (tool == QLatin1String("dbcopy")) {
            QVERIFY(ImportAccessFile(kSample, dir.filePath(QStringLiteral("a.mdb"))).ok);
            QVERIFY(QFile::copy(dir.filePath("a.mdb"), dir.filePath("full.mdb")));
        }
        // What a killed copy leaves: its file with a journal, and its lock unless it died
        // before taking it.
        const QString left = dir.filePath(".DNC.mdb.0123456789abcdef0123456789abcdef.new");
        const QByteArray tag = QTest::currentDataTag();
        std::optional<QLockFile> running;
        if (tag.contains("killed") || tag.contains("running")) {
            QVERIFY(WriteBytes(left, "SQLite format 3") && WriteBytes(left + "-journal", "j"));
        }
        if (tag.contains("running")) {
            running.emplace(left + ".lock");
            QVERIFY(running->tryLock(0));
        }
        if (tag.contains("in its lock")) {  // created, killed before it wrote its process id
            QFile lock(left + ".lock");
            QVERIFY(lock.open(QIODevice::WriteOnly) &&
                    lock.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                     QFileDevice::FileModificationTime));
        }
        arguments.replaceInStrings(QStringLiteral("$D"), dir.path());
        const QMap<QString, QString> before = Snapshot(dir.path());
        const ToolRun run = RunTool(tool, arguments);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(QFileInfo::exists(left) && QFileInfo::exists(left + "-journal"),
                 tag.contains("running"));
        QCOMPARE(QFileInfo::exists(left + ".lock"), tag.contains("running"));
        QVERIFY2(run.out.contains(out), qPrintable(run.out));
        err.replace(QStringLiteral("$D"), dir.path());
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QVERIFY(exitCode != 1 || run.err.count(QLatin1Char('\n')) == 1);
        QVERIFY(exitCode == 0 || Snapshot(dir.path()) == before);
    }

    // Start-up finding an Access DNC.mdb says what it is and how to import it, ends without a
    // window and leaves the file as it was.
    void startUpOnAccessSaysHowToImport() {
        TempInstallation install(
            TempInstallation::Options{false, false, std::nullopt, QStringLiteral("CNCSRV1")});
        QVERIFY(QFile::copy(kSample, install.DatabasePath()));
        MessageRecorder messages;
        QCOMPARE(StartUp(), StartUpOutcome::AccessDatabase);
        QCOMPARE(messages.Count(), 1);
#ifdef Q_OS_WIN
        // File names know no case there, and the settings hold the path upper-cased.
        const Qt::CaseSensitivity nameCase = Qt::CaseInsensitive;
#else
        const Qt::CaseSensitivity nameCase = Qt::CaseSensitive;
#endif
        const QString path = QDir::toNativeSeparators(DisplayPath(install.DatabasePath()));
        QVERIFY2(messages.Last().text.startsWith(
                     "The DNC Database at path \"" + path + "\" is a Microsoft Access database",
                     nameCase),
                 qPrintable(messages.Last().text));
        QVERIFY(messages.Last().text.contains("kestrum-import \"" + path + "\" ", nameCase));
        QVERIFY(!DncConnection.IsOpen());
        QVERIFY(FileBytes(install.DatabasePath()) == FileBytes(kSample));
    }
};

KESTRUM_TEST(TestImport)

#include "tst_import.moc"
