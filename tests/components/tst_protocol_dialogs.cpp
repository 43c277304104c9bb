// The protocol attribute dialogs through their real widgets on a real DNC.mdb: each shows
// the client's rows, writes the edited values on OK in one go, and writes nothing on Cancel
// or when a value does not fit its column.

#include "base/modal.h"
#include "base/settings.h"
#include "components/protocol_dialogs.h"
#include "db/dnc_database.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

struct Column {
    const char* table;
    const char* column;
    char type;  // 'b' yes/no, 'n' number, 't' text
};

const QList<Column> kDownUp = {
    {"t_filter_table_down", "init", 'b'},
    {"t_filter_table_down", "strip_1stpercent", 'b'},
    {"t_filter_table_down", "stop_Endpercent", 'b'},
    {"t_filter_table_down", "strip_header", 'b'},
    {"t_filter_table_down", "strip_all", 'n'},
    {"t_filter_table_down", "leader", 'n'},
    {"t_filter_table_down", "trailer", 'n'},
    {"t_filter_table_down", "start_file_char", 't'},
    {"t_filter_table_down", "end_file_char", 't'},
    {"t_timeout_table_down", "init_timeout", 'n'},
    {"t_timeout_table_down", "interchar_timeout", 'n'},
    {"t_timeout_table_down", "char_delay", 'n'},
    {"t_timeout_table_down", "eob_delay", 'n'},
    {"t_timeout_table_down", "char_buffer", 'n'},
    {"t_filter_table_up", "noparity_upload", 'b'},
    {"t_filter_table_up", "trim_percent", 'b'},
    {"t_filter_table_up", "crlf_adj", 'b'},
    {"t_filter_table_up", "start_file_char", 't'},
    {"t_filter_table_up", "end_file_char", 't'},
    {"t_filter_table_up", "filesave_mode", 't'},
    {"t_timeout_table_up", "init_timeout", 'n'},
    {"t_timeout_table_up", "up_timeout", 'n'},
};
const QList<Column> kTerminal = {
    {"t_client_terminal_mode", "tmode_id", 'n'},
    {"t_client_terminal_mode", "line_length", 'n'},
    {"t_client_terminal_mode", "line_number", 'n'},
    {"t_client_terminal_mode", "char_delay", 'n'},
    {"t_dnc_server_clients", "terminal_enabled", 'b'},
};
const QList<Column> kRemote = {
    {"t_remote", "c_start_char", 't'},      {"t_remote", "c_end_char", 't'},
    {"t_remote", "down_cmd_char", 't'},     {"t_remote", "up_cmd_char", 't'},
    {"t_remote", "path_cmd_char", 't'},     {"t_remote", "down_n_offset_char", 't'},
    {"t_remote", "redirect_cmd_char", 't'}, {"t_remote", "kill_cmd_char", 't'},
    {"t_remote", "files_cmd_char", 't'},    {"t_remote", "upload_report", 'b'},
    {"t_remote", "report_name", 't'},
};

QString Key(const Column& c) {
    return QString::fromLatin1(c.table) + QLatin1Char('.') + QString::fromLatin1(c.column);
}
bool operator==(const Column& a, const Column& b) {
    return Key(a) == Key(b);
}
QString KeyColumn(const Column& c) {
    return QString::fromLatin1(c.table) == QLatin1String("t_remote") ? "rem_client_id"
                                                                     : "client_id";
}

// The value a column is given before the dialog opens, and the one the test types.
QVariant Seeded(int i, char type) {
    switch (type) {
        case 'b':
            return i % 2 ? -1 : 0;
        case 'n':
            return 100 + i;
        default:
            return QStringLiteral("S%1").arg(i);
    }
}
QVariant Edited(int i, char type) {
    switch (type) {
        case 'b':
            return i % 2 ? 0 : -1;
        case 'n':
            return 2000 + i;
        default:
            return QStringLiteral("O'E%1").arg(i);  // an apostrophe is stored as typed
    }
}

// Every row of every table, as text, for comparing whole databases.
QStringList Dump(const TempInstallation& tmp) {
    QStringList lines;
    for (const QVariantList& table :
         tmp.Query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
        const QString name = table.first().toString();
        for (const QString& row :
             tmp.TextRows(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(name))) {
            lines << name + QLatin1Char(':') + row;
        }
    }
    return lines;
}

// A database with two clients; MILL1 has every attribute seeded, its remote row included.
class Rig {
public:
    explicit Rig(bool remoteRow = true) {
        AddServer("SRV1");
        AddClientMDB("MILL1", "SRV1");
        AddClientMDB("LATHE2", "SRV1");
        mill_ = GetClientID("MILL1").value_or(0);
        if (remoteRow) {
            for (qint32 id : {mill_, GetClientID("LATHE2").value_or(0)}) {
                tmp_.Exec("INSERT INTO t_remote (rem_client_id) VALUES (?)", {id});
            }
        }
        Put(All(), Seeded);
        tmp_.Exec(
            "UPDATE t_dnc_server_clients SET NODE_ID = '01', PORT_ID = '005' "
            "WHERE client_id = ?",
            {mill_});
        tmp_.Exec("UPDATE t_client_mode SET cnc_comport = 5 WHERE client_id = ?", {mill_});
        DncConnection.Close();  // the dialogs work on their own connection
    }

    static QList<Column> All() { return kDownUp + kTerminal + kRemote; }
    // Gives MILL1's columns their seeded or edited values, in one write of the file.
    void Put(const QList<Column>& columns, QVariant (*value)(int, char)) const {
        tmp_.Exec("BEGIN");
        for (const Column& c : columns) {
            tmp_.Exec(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                          .arg(c.table, c.column, KeyColumn(c)),
                      {value(int(All().indexOf(c)), c.type), mill_});
        }
        tmp_.Exec("COMMIT");
    }
    static QList<Column> Edits(AttributeDialogKind kind) {
        QList<Column> columns = kDownUp;
        if (kind != AttributeDialogKind::Standard) {
            columns += kTerminal;
        }
        if (kind == AttributeDialogKind::Remote || kind == AttributeDialogKind::Mazatrol) {
            columns += kRemote;
        }
        return columns;
    }
    QVariant Stored(const Column& c) const {
        return tmp_.QueryValue(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(c.column, c.table, KeyColumn(c)),
            {mill_});
    }
    const TempInstallation& Tmp() const { return tmp_; }
    qint32 Mill() const { return mill_; }

    // Opens the dialog; act runs while it is shown and its result is the dialog's.
    bool Open(AttributeDialogKind kind, const std::function<void(QDialog&)>& act,
              qint32 clientId = -1) {
        bool shown = false;
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            shown = true;
            dialog.show();
            act(dialog);
            return dialog.result();
        });
        auto dialog = CreateAttributeDialog(kind);
        dialog->PropClientUSEID = true;
        dialog->PropClientIDSEQUENTIAL = true;
        dialog->PropClientID = clientId < 0 ? mill_ : clientId;
        dialog->PropDNCpath = DncConnectionString;
        dialog->HelpName = tmp_.Folder() + QStringLiteral("\\KESTRUM.HTML");
        dialog->Show();
        SetModalHook(previous);
        return shown;
    }

private:
    TempInstallation tmp_;
    qint32 mill_ = 0;
};

QLineEdit* Edit(QDialog& d, const Column& c) {
    return d.findChild<QLineEdit*>(Key(c));
}
QCheckBox* Check(QDialog& d, const Column& c) {
    return d.findChild<QCheckBox*>(Key(c));
}
void Click(QDialog& d, const char* button) {
    d.findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

// Types every edited value into the dialog.
void EditAll(QDialog& d, AttributeDialogKind kind) {
    const QList<Column> all = Rig::All();
    for (const Column& c : Rig::Edits(kind)) {
        const int i = int(all.indexOf(c));
        if (c.type == 'b') {
            Check(d, c)->setChecked(Edited(i, 'b').toInt() != 0);
        } else {
            Edit(d, c)->setText(Edited(i, c.type).toString());
        }
    }
}

const AttributeDialogKind kKinds[] = {
    AttributeDialogKind::Standard,     AttributeDialogKind::Second, AttributeDialogKind::Third,
    AttributeDialogKind::LineTerminal, AttributeDialogKind::Remote, AttributeDialogKind::Mazatrol};
const char* const kKindNames[] = {"standard",      "BTR",    "shop terminal",
                                  "line terminal", "remote", "MAZATROL"};

void AddKinds() {
    QTest::addColumn<int>("kind");
    for (int k = 0; k < 6; ++k) {
        QTest::newRow(kKindNames[k]) << k;
    }
}

}  // namespace

class TestProtocolDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Shown from the rows, edited, OK: exactly the dialog's columns of this client change
    // (and the client's BTS end-of-block flag, which follows eob_delay).
    void okWritesTheEditedRows_data() { AddKinds(); }
    void okWritesTheEditedRows() {
        QFETCH(int, kind);
        const AttributeDialogKind k = kKinds[kind];
        Rig rig;
        MessageRecorder messages;
        const QList<Column> all = Rig::All();
        const QString eob = "UPDATE t_dnc_server_clients SET bts_eobdelay = ? WHERE client_id = ?";
        rig.Put(Rig::Edits(k), Edited);
        rig.Tmp().Exec(eob, {0, rig.Mill()});
        const QStringList expected = Dump(rig.Tmp());
        // Back to the seeded values for the dialog to show.
        rig.Put(all, Seeded);
        rig.Tmp().Exec(eob, {-1, rig.Mill()});

        QStringList shownWrong;
        int accepted = -1;
        QVERIFY(rig.Open(k, [&](QDialog& d) {
            for (const Column& c : all) {
                const bool edits = Rig::Edits(k).contains(c);
                const int n = int(all.indexOf(c));
                const bool present = c.type == 'b' ? Check(d, c) != nullptr : Edit(d, c) != nullptr;
                if (present != edits) {
                    shownWrong << Key(c) + (edits ? " missing" : " should not be there");
                } else if (present && c.type == 'b' &&
                           Check(d, c)->isChecked() != (Seeded(n, 'b').toInt() != 0)) {
                    shownWrong << Key(c);
                } else if (present && c.type != 'b' &&
                           Edit(d, c)->text() != Seeded(n, c.type).toString()) {
                    shownWrong << Key(c) + " shows " + Edit(d, c)->text();
                }
            }
            EditAll(d, k);
            Click(d, "cmdOK");
            accepted = d.result();
        }));
        QCOMPARE(shownWrong, QStringList());
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(accepted, int(QDialog::Accepted));
        QCOMPARE(Dump(rig.Tmp()), expected);
    }

    // Cancel, and OK with a value that does not fit its column, leave the file as it was.
    void nothingWritten_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");  // "" for Cancel
        const QString number = "is not a whole number from 0 to 32767. Nothing was saved.";
        QTest::newRow("cancel") << QString() << QString() << QString();
        const char* const rows[][3] = {{"too big", "t_timeout_table_down.char_buffer", "32768"},
                                       {"negative", "t_timeout_table_up.up_timeout", "-1"},
                                       {"letters", "t_filter_table_down.leader", "12a"},
                                       {"fraction", "t_client_terminal_mode.line_length", "1.5"},
                                       {"emptied", "t_timeout_table_down.init_timeout", ""}};
        for (const auto& r : rows) {
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << number;
        }
        QTest::newRow("long text") << "t_remote.report_name" << QString(256, QLatin1Char('R'))
                                   << "the text has 256 characters; at most 255 fit. Nothing "
                                      "was saved.";
    }
    void nothingWritten() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        Rig rig;
        const QByteArray before = rig.Tmp().ReadFile("DNC.mdb");
        MessageRecorder messages;
        bool stayedOpen = false;
        QVERIFY(rig.Open(AttributeDialogKind::Remote, [&](QDialog& d) {
            EditAll(d, AttributeDialogKind::Remote);
            if (field.isEmpty()) {
                Click(d, "cmdCancel");
                return;
            }
            d.findChild<QLineEdit*>(field)->setText(value);
            Click(d, "cmdOK");
            stayedOpen = d.isVisible() && d.result() == 0;
            Click(d, "cmdCancel");
        }));
        if (message.isEmpty()) {
            QCOMPARE(messages.Count(), 0);
        } else {
            QVERIFY(stayedOpen);
            QCOMPARE(messages.Count(), 1);
            QVERIFY2(messages.Last().text.endsWith(message), qPrintable(messages.Last().text));
            QCOMPARE(messages.Last().icon, MsgIcon::Critical);
            QCOMPARE(messages.Last().title, QStringLiteral("Remote Protocol Attributes"));
        }
        QVERIFY(rig.Tmp().ReadFile("DNC.mdb") == before);
    }

    // The edges of a number column are taken; blanks around a number are not part of it.
    void numberEdges() {
        Rig rig;
        MessageRecorder messages;
        QVERIFY(rig.Open(AttributeDialogKind::Standard, [&](QDialog& d) {
            d.findChild<QLineEdit*>("t_timeout_table_down.init_timeout")->setText("32767");
            d.findChild<QLineEdit*>("t_timeout_table_down.eob_delay")->setText(" 0 ");
            Click(d, "cmdOK");
        }));
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.Stored({"t_timeout_table_down", "init_timeout", 'n'}).toInt(), 32767);
        QCOMPARE(rig.Stored({"t_timeout_table_down", "eob_delay", 'n'}).toInt(), 0);
        QCOMPARE(rig.Stored({"t_dnc_server_clients", "bts_eobdelay", 'b'}).toInt(), -1);
    }

    // A client without a remote row: the fields start empty; OK adds the row only when
    // something was entered, with the column defaults elsewhere.
    void missingRemoteRow() {
        Rig rig(false);
        MessageRecorder messages;
        QVERIFY(rig.Open(AttributeDialogKind::Mazatrol, [&](QDialog& d) {
            QCOMPARE(d.findChild<QLineEdit*>("t_remote.c_start_char")->text(), QString());
            Click(d, "cmdOK");
        }));
        QCOMPARE(rig.Tmp().QueryValue("SELECT COUNT(*) FROM t_remote").toInt(), 0);
        QVERIFY(rig.Open(AttributeDialogKind::Mazatrol, [&](QDialog& d) {
            d.findChild<QLineEdit*>("t_remote.c_start_char")->setText("%");
            d.findChild<QCheckBox*>("t_remote.upload_report")->setChecked(true);
            Click(d, "cmdOK");
        }));
        QCOMPARE(messages.Count(), 0);
        const QList<QVariantList> rows = rig.Tmp().Query(
            "SELECT rem_client_id, c_start_char, c_end_char, upload_report FROM t_remote");
        QCOMPARE(rows.size(), 1);
        QStringList cells;
        for (const QVariant& v : rows.first()) {
            cells << v.toString();
        }
        QCOMPARE(cells, QStringList({QString::number(rig.Mill()), "%", "", "-1"}));
    }

    // What the dialog is handed decides what it shows, or that it cannot open.
    void handedProperties() {
        Rig rig;
        MessageRecorder messages;
        QString client;
        QString identifiers;
        QVERIFY(rig.Open(AttributeDialogKind::Standard, [&](QDialog& d) {
            client = d.findChild<QLabel*>("lblClient")->text();
            identifiers = d.findChild<QLabel*>("lblIdentifiers")->text();
            Click(d, "cmdCancel");
        }));
        QCOMPARE(client, QStringLiteral("Client MILL1, protocol id 2"));
        QCOMPARE(identifiers, QStringLiteral("Node ID 01, Port ID 005 (follows COM 5)"));

        QVERIFY(!rig.Open(
            AttributeDialogKind::Standard, [](QDialog&) {}, 999));
        QCOMPARE(messages.Texts(),
                 QStringList{"There is no client with the id 999 in the configuration database."});
        DncConnectionString = "data source = " + rig.Tmp().FilePath("missing.mdb") + ";";
        QVERIFY(!rig.Open(AttributeDialogKind::Standard, [](QDialog&) {}));
        QVERIFY(messages.Last().text.startsWith("The configuration database cannot be opened: "));
    }

    // Help opens the help file, found without regard to letter case, at a section of
    // this dialog that the file has.
    void help() {
        Rig rig;
        QFile::copy(KESTRUM_SOURCE_DIR "/help/Kestrum.html", rig.Tmp().FilePath("Kestrum.html"));
        const QByteArray page = rig.Tmp().ReadFile("Kestrum.html");
        QStringList shown;
        const auto previous = ProtocolAttributeDialog::SetHelpShower(
            [&](const QString& file, const QString& section) {
                if (page.contains("<a name=\"" + section.toLatin1() + "\">")) {
                    shown << QFileInfo(file).fileName();
                }
            });
        for (AttributeDialogKind kind : kKinds) {
            rig.Open(kind, [](QDialog& d) {
                auto* button = d.findChild<QPushButton*>("cmdHelp");
                if (button->isEnabled()) {
                    button->click();
                }
                Click(d, "cmdCancel");
            });
        }
        ProtocolAttributeDialog::SetHelpShower(previous);
        QCOMPARE(shown, QStringList(6, "Kestrum.html"));
    }
};

KESTRUM_TEST(TestProtocolDialogs)
#include "tst_protocol_dialogs.moc"
