// The attribute copy from one client onto another, on a real DNC.mdb: whole rows of every
// table compared before and after, per protocol group.

#include "db/client_copy.h"
#include "db_test_helpers.h"
#include "tests/support/test_main.h"

#include <QSet>

namespace {

using Row = QVariantMap;

// Every table a client has a row in, with its key column.
const QList<QPair<QString, QString>> kTables = {
    {"t_dnc_server_clients", "client_id"},   {"t_client_mode", "client_id"},
    {"t_client_terminal_mode", "client_id"}, {"t_filter_table_down", "client_id"},
    {"t_filter_table_up", "client_id"},      {"t_timeout_table_down", "client_id"},
    {"t_timeout_table_up", "client_id"},     {"t_command", "client_id"},
    {"t_remote", "rem_client_id"},           {"t_shopterm_clients", "shop_client_id"}};

// The columns the copy takes from the source, per table; every other column stays.
const QMap<QString, QStringList> kCopied = {
    {"t_client_mode", {"m_baud", "m_parity", "m_databits", "m_stopbits"}},
    {"t_filter_table_up",
     {"noparity_upload", "trim_percent", "crlf_adj", "start_file_char", "end_file_char",
      "filesave_mode"}},
    {"t_timeout_table_up", {"init_timeout", "up_timeout"}},
    {"t_filter_table_down",
     {"init", "strip_1stpercent", "stop_Endpercent", "strip_header", "strip_all", "leader",
      "trailer", "start_file_char", "end_file_char"}},
    {"t_timeout_table_down",
     {"init_timeout", "interchar_timeout", "char_delay", "eob_delay", "char_buffer"}}};

// Rows of each table for one client, keyed by "table#n".
QMap<QString, Row> RowsOf(const TempInstallation& tmp, qint64 id) {
    QMap<QString, Row> rows;
    for (const auto& [table, key] : kTables) {
        const QList<QVariantList> found =
            tmp.Query(QStringLiteral("SELECT * FROM %1 WHERE %2 = ? ORDER BY %3")
                          .arg(table, key, tmp.RowOrder(table)),
                      {id});
        const QStringList names = SchemaColumns(table);
        for (int n = 0; n < found.size(); ++n) {
            Row row;
            for (int c = 0; c < names.size(); ++c) {
                row.insert(names.at(c), found.at(n).at(c));
            }
            rows.insert(QStringLiteral("%1#%2").arg(table).arg(n), row);
        }
    }
    return rows;
}

// A client with a value of its own in every column, so a copied or a kept column shows.
qint64 PutFullClient(const TempInstallation& tmp, const QString& name, int protocol, int seed) {
    tmp.Exec(
        "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID, PORT_ID, "
        "protocol_id, com_ports, terminal_enabled, alt_protocol_used, alt_protocol, bts_used, "
        "bts_address, bts_pin, bts_eobdelay, bts_loop, bts_latency) "
        "VALUES (?, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {name, QString("N%1").arg(seed), QString("P%1").arg(seed), protocol,
         QString(" %1").arg(seed), seed % 2 ? -1 : 0, -1, seed, seed % 2 ? 0 : -1,
         QString("ADDR%1").arg(seed), QString("PIN%1").arg(seed), seed % 2 ? -1 : 0,
         seed % 2 ? -1 : 0, seed % 2 ? 0 : -1});
    const qint64 id =
        tmp.QueryValue("SELECT MAX(client_id) FROM t_dnc_server_clients").toLongLong();
    tmp.Exec("INSERT INTO t_client_mode VALUES (?, ?, ?, ?, ?, ?)",
             {id, seed, seed % 2 ? 4800 : 19200, seed % 2 ? 7 : 8, seed % 2 ? "E" : "N",
              seed % 2 ? 2 : 1});
    tmp.Exec("INSERT INTO t_client_terminal_mode VALUES (?, ?, ?, ?, ?)",
             {id, seed, 70 + seed, 20 + seed, seed});
    tmp.Exec("INSERT INTO t_filter_table_down VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
             {id, seed % 2 ? -1 : 0, seed % 2 ? 0 : -1, seed % 2 ? -1 : 0, seed % 2 ? 0 : -1, seed,
              10 + seed, 20 + seed, QString("S%1").arg(seed), QString("E%1").arg(seed)});
    tmp.Exec("INSERT INTO t_filter_table_up VALUES (?, ?, ?, ?, ?, ?, ?)",
             {id, seed % 2 ? -1 : 0, seed % 2 ? 0 : -1, seed % 2 ? -1 : 0,
              QString("US%1").arg(seed), QString("UE%1").arg(seed), QString("M%1").arg(seed)});
    // An odd seed has an end-of-block delay, an even one none.
    tmp.Exec("INSERT INTO t_timeout_table_down VALUES (?, ?, ?, ?, ?, ?)",
             {id, 30 + seed, 5 + seed, seed, seed % 2 ? 40 + seed : 0, 128 + seed});
    tmp.Exec("INSERT INTO t_timeout_table_up VALUES (?, ?, ?)", {id, 50 + seed, 15 + seed});
    tmp.Exec("INSERT INTO t_command VALUES (?)", {id});
    return id;
}

void PutRemote(const TempInstallation& tmp, qint64 id, int seed) {
    tmp.Exec("INSERT INTO t_remote VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
             {id, QString("a%1").arg(seed), QString("b%1").arg(seed), QString("c%1").arg(seed),
              QString("d%1").arg(seed), QString("e%1").arg(seed), QString("f%1").arg(seed),
              QString("g%1").arg(seed), QString("h%1").arg(seed), QString("i%1").arg(seed),
              seed % 2 ? -1 : 0, QString("REPORT%1").arg(seed)});
}

// The source's records as the clone window reads them before it copies.
void ReadSource(qint64 id) {
    CurrentClientId = qint32(id);
    ReadClientMode(CurrentClientId);
    ReadDownAttributes(CurrentClientId);
    ReadUpAttributes(CurrentClientId);
}

// The columns from the source's row; a row the source lacks leaves the target's as it was.
void Take(Row& target, const Row& source, const QStringList& columns) {
    if (source.isEmpty()) {
        return;
    }
    for (const QString& column : columns) {
        target[column] = source.value(column);
    }
}

}  // namespace

class TestClientCopy : public QObject {
    Q_OBJECT

private slots:
    // A source without a row in a table leaves the target's row as it was, also when another
    // client with that row was read just before, and the outcome says which tables. A
    // statement that fails is reported and nothing of the copy is kept. A target or source no
    // longer there, or the source as target, writes nothing.
    void copyPerProtocolGroup_data() {
        QTest::addColumn<int>("sourceProtocol");
        QTest::addColumn<int>("targetProtocol");
        QTest::addColumn<bool>("targetHasRows");   // its shop-terminal and remote rows
        QTest::addColumn<QStringList>("lacking");  // the source's rows deleted, in copy order
        QTest::addColumn<QString>("refused");      // a table whose updates the database refuses
        QTest::addColumn<QString>("deleted");  // the client deleted after the source was read, or
        // "itself": the source is the target
        QTest::addColumn<QString>("skipped");  // why nothing is copied
        const auto row = [](const char* name, int source, int target, bool targetHasRows,
                            const QStringList& lacking = {}, const QString& refused = {},
                            const QString& deleted = {}, const QString& skipped = {}) {
            QTest::newRow(name) << source << target << targetHasRows << lacking << refused
                                << deleted << skipped;
        };
        row("standard", 2, 3, false);
        row("shop terminal target", 72, 5, false, {}, {}, {},
            "a shop terminal (protocol 5) keeps its attributes");
        row("line terminal, rows there", 61, 2, true);
        row("remote", 72, 2, false);
        row("remote, rows there", 7, 10, true);
        row("MAZATROL 102", 102, 2, false);
        row("source lacks rows", 72, 72, true,
            {"t_client_mode", "t_filter_table_up", "t_client_terminal_mode", "t_remote",
             "t_timeout_table_down"});
        row("an update refused", 2, 3, false, {}, "t_filter_table_up", {},
            "the changes could not be saved");
        row("target deleted", 72, 2, false, {}, {}, "TARGET", "the client no longer exists");
        row("source deleted after reading", 72, 2, false, {}, {}, "SOURCE",
            "the source client no longer exists");
        row("onto itself", 72, 2, false, {}, {}, "itself", "a client is never copied onto itself");
    }
    void copyPerProtocolGroup() {
        QFETCH(int, sourceProtocol);
        QFETCH(int, targetProtocol);
        QFETCH(bool, targetHasRows);
        QFETCH(QStringList, lacking);
        QFETCH(QString, refused);
        QFETCH(QString, deleted);
        QFETCH(QString, skipped);
        TempInstallation tmp;
        if (!refused.isEmpty() && tmp.OnServer()) {
            QSKIP("on the server a failed statement ends the transaction (tested in TestErrors)");
        }
        MessageRecorder messages;
        PutServer(tmp, "CNCSRV1");
        const qint64 source = PutFullClient(tmp, "SOURCE", sourceProtocol, 1);
        const qint64 target = PutFullClient(tmp, "TARGET", targetProtocol, 2);
        const qint64 bystander = PutFullClient(tmp, "OTHER", 2, 3);
        PutRemote(tmp, source, 1);
        PutRemote(tmp, bystander, 3);
        if (targetHasRows) {
            PutRemote(tmp, target, 2);
            tmp.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                     {target, bystander});
        }
        QStringList notes;
        for (const QString& table : lacking) {
            tmp.Exec(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                         .arg(table, table == "t_remote" ? "rem_client_id" : "client_id"),
                     {source});
            notes << table + ": the source has no row; the target keeps " +
                         (table == "t_remote" ? "its report settings" : "its own");
        }
        ReadSource(bystander);
        ReadSource(source);
        QCOMPARE(CurrentClientMode.Baud, lacking.isEmpty() ? "4800" : "");  // nothing of OTHER
        tmp.Exec("DELETE FROM t_dnc_server_clients WHERE client_name = ?", {deleted});
        const QMap<QString, Row> sourceBefore = RowsOf(tmp, source);
        const QMap<QString, Row> targetBefore = RowsOf(tmp, target);
        const QMap<QString, Row> bystanderBefore = RowsOf(tmp, bystander);
        QMap<QString, Row> copied = sourceBefore;  // what the target takes
        if (!refused.isEmpty()) {
            copied.remove(refused + "#0");
            tmp.Exec("CREATE TRIGGER refuse BEFORE UPDATE ON " + refused +
                     " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        }
        const qint64 onto = deleted == "itself" ? source : target;
        const CopyOutcome outcome = CopyClientAttributes(qint32(onto));
        QCOMPARE(outcome.Skipped, skipped);
        QCOMPARE(outcome.FailedStatements, refused.isEmpty() ? 0 : 1);
        QCOMPARE(messages.Count(), outcome.FailedStatements);
        QVERIFY2(refused.isEmpty() || (messages.Last().text.startsWith("Error Client Copy") &&
                                       messages.Last().text.contains("refused")),
                 qPrintable(messages.Texts().join('\n')));
        QCOMPARE(outcome.Committed, deleted.isEmpty() && refused.isEmpty());
        QCOMPARE(outcome.Notes, notes);

        QMap<QString, Row> expected = targetBefore;
        const bool written = skipped.isEmpty();
        QCOMPARE(outcome.AttributesCopied, written);
        if (written) {
            for (auto it = kCopied.cbegin(); it != kCopied.cend(); ++it) {
                Take(expected[it.key() + "#0"], copied.value(it.key() + "#0"), it.value());
            }
            Row& client = expected["t_dnc_server_clients#0"];
            const Row& from = copied.value("t_dnc_server_clients#0");
            client["protocol_id"] = sourceProtocol;
            const bool terminal = IsTerminalGroup(sourceProtocol);
            const bool remote = IsRemoteGroup(sourceProtocol);
            if (terminal) {
                Take(expected["t_client_terminal_mode#0"], copied.value("t_client_terminal_mode#0"),
                     {"line_length", "line_number", "char_delay"});
                if (!targetHasRows) {
                    expected["t_shopterm_clients#0"] =
                        Row{{"shopterm_id", 1}, {"shop_client_id", target}, {"clients_id", target}};
                }
            }
            if (terminal || remote) {
                client["terminal_enabled"] = from.value("terminal_enabled");
            }
            if (remote) {
                Take(client, from, {"bts_used", "bts_latency", "bts_loop"});
                Row& row = expected["t_remote#0"];
                if (!targetHasRows) {
                    row = Row{{"rem_client_id", target}};
                    for (const QString& column : SchemaColumns("t_remote").mid(1)) {
                        row[column] = "";  // upload_report is taken below
                    }
                }
                Take(row, copied.value("t_remote#0"), {"report_name", "upload_report"});
            }
            // The flag follows the delay: the source's (seed 1) has one, the target's none.
            client["bts_eobdelay"] = lacking.contains("t_timeout_table_down") ? -1 : 0;
        }
        QCOMPARE(RowsOf(tmp, target), expected);
        QCOMPARE(RowsOf(tmp, source), sourceBefore);
        QCOMPARE(RowsOf(tmp, bystander), bystanderBefore);
        // No row for an id of 0 either.
        QCOMPARE(tmp.Count("t_remote", "rem_client_id = 0") +
                     tmp.Count("t_shopterm_clients", "shop_client_id = 0 OR clients_id = 0"),
                 0);
    }

    // A client without its other rows reads as empty, not as the client read before. The
    // shop terminal's list and the folder look-up.
    void readersStartFromAnEmptyRecord() {
        TempInstallation tmp;
        MessageRecorder messages;
        PutServer(tmp, "CNCSRV1");
        const qint64 full = PutFullClient(tmp, "FULL", 72, 1);
        PutRemote(tmp, full, 1);
        PutClient(tmp, "BARE", 1, "01");  // no row in any other table
        const qint32 bare = qint32(full + 1);
        for (const qint32 id : {qint32(full), bare}) {
            ReadTerminalAttributes(id);
            ReadRemoteAttributes(id);
            ReadDownAttributes(id);
            ReadUpAttributes(id);
            if (id != bare) {  // FULL fills every record first
                QCOMPARE(TerminalAttributes.line_length, qint16(71));
                QCOMPARE(RemoteAttributes.report_name, "REPORT1");
            }
        }
        QVERIFY(TerminalAttributes.HasClientRow && !TerminalAttributes.HasTerminalRow);
        QCOMPARE(TerminalAttributes.line_length, qint16(0));
        QVERIFY(!RemoteAttributes.HasRemoteRow);
        QCOMPARE(RemoteAttributes.report_name + RemoteAttributes.bts_pin, QString());
        QCOMPARE(DownAttributes.eob_delay, qint16(0));
        QCOMPARE(DownAttributes.Protocol, "2");
        QCOMPARE(UpAttributes.NODE_ID, "01");
        QVERIFY(!UpAttributes.HasTimeoutRow);
        QCOMPARE(messages.Count(), 0);

        // FULL lists BARE on its shop terminal; folders are found by path before the alias.
        tmp.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                 {full, bare});
        QVERIFY(!HasShopTermList(bare));
        QVERIFY(HasShopTermList(qint32(full)));
        QCOMPARE(AllClients.size(), 1);
        QCOMPARE(AllClients.first().Field2, bare);
        tmp.Exec(
            "INSERT INTO t_client_directory (client_id, directory_direct) VALUES (?, 'C:\\NC'), "
            "(?, 'C:\\NC\\PROG'), (?, 'C:\\NC\\UP   Alias - TV1')",
            {bare, full, full});
        CurrentClientId = qint32(full);
        QCOMPARE(GetDirID("c:\\nc\\prog"), 2);
        QCOMPARE(GetDirID("C:\\NC\\UP"), 3);
        QCOMPARE(GetDirID("C:\\NC"), 0);  // another client's folder
    }
};

KESTRUM_TEST(TestClientCopy)
#include "tst_client_copy.moc"
