// The protocol attribute dialogs through their real widgets on a real DNC.mdb: each shows
// the client's rows, writes the edited values on OK in one go, and writes nothing on Cancel
// or when a value does not fit its column.

#include "base/modal.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "setup/protocol_dialogs.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// "table.column:type" of the tables given as "table column:type ...": b yes/no, n number,
// t text. A column's field is named "table.column".
QStringList Columns(std::initializer_list<const char*> tables) {
    QStringList columns;
    for (const char* text : tables) {
        const QStringList words = QString::fromLatin1(text).split(' ');
        for (const QString& word : words.mid(1)) {
            columns << words.first() + '.' + word;
        }
    }
    return columns;
}

const QStringList kDownUp = Columns(
    {"t_filter_table_down init:b strip_1stpercent:b stop_Endpercent:b strip_header:b strip_all:n "
     "leader:n trailer:n start_file_char:t end_file_char:t",
     "t_timeout_table_down init_timeout:n interchar_timeout:n char_delay:n eob_delay:n "
     "char_buffer:n",
     "t_filter_table_up noparity_upload:b trim_percent:b crlf_adj:b start_file_char:t "
     "end_file_char:t filesave_mode:t",
     "t_timeout_table_up init_timeout:n up_timeout:n"});
const QStringList kTerminal =
    Columns({"t_client_terminal_mode tmode_id:n line_length:n line_number:n char_delay:n",
             "t_dnc_server_clients terminal_enabled:b"});
const QStringList kRemote =
    Columns({"t_remote c_start_char:t c_end_char:t down_cmd_char:t up_cmd_char:t path_cmd_char:t "
             "down_n_offset_char:t redirect_cmd_char:t kill_cmd_char:t files_cmd_char:t "
             "upload_report:b report_name:t"});
const QStringList kAll = kDownUp + kTerminal + kRemote;

// The value a column is given before the dialog opens, and the one the test types; an
// apostrophe is stored as typed.
QVariant Value(const QString& column, bool edited) {
    const qsizetype i = kAll.indexOf(column);
    if (column.endsWith('b')) {
        return (i % 2 != 0) != edited ? -1 : 0;
    }
    return column.endsWith('n') ? QVariant(int(i) + (edited ? 2000 : 100))
                                : QVariant(QStringLiteral("%1%2").arg(edited ? "O'E" : "S").arg(i));
}

QStringList Edits(AttributeDialogKind kind) {
    QStringList columns = kDownUp;
    if (kind != AttributeDialogKind::Standard) {
        columns += kTerminal;
    }
    if (kind == AttributeDialogKind::Remote || kind == AttributeDialogKind::Mazatrol) {
        columns += kRemote;
    }
    return columns;
}

// Every row of every table, as text (the change log, Kestrum's own, aside).
QStringList Dump(const TempInstallation& tmp) {
    QStringList lines;
    for (const QString& name : tmp.TableNames()) {
        if (name.startsWith("kestrum_")) {
            continue;
        }
        for (const QString& row :
             tmp.TextRows("SELECT * FROM " + name + " ORDER BY " + tmp.RowOrder(name))) {
            lines << name + ':' + row;
        }
    }
    return lines;
}

// MILL1 and LATHE2; every attribute of MILL1 seeded, its remote row included.
struct Rig {
    explicit Rig(bool remoteRow = true) {
        AddServer("SRV1");
        AddClientMDB("MILL1", "SRV1");
        AddClientMDB("LATHE2", "SRV1");
        mill = GetClientID("MILL1").value_or(0);
        if (remoteRow) {
            tmp.Exec(
                "INSERT INTO t_remote (rem_client_id) SELECT client_id FROM "
                "t_dnc_server_clients");
        }
        Put(kAll, false);
        DncConnection.Close();  // the dialogs work on their own connection
    }
    // Gives MILL1's columns their seeded or edited values in one write.
    void Put(const QStringList& columns, bool edited) const {
        tmp.Exec("BEGIN");
        for (const QString& c : columns) {
            const QString table = c.section('.', 0, 0);
            tmp.Exec(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                         .arg(table, c.section('.', 1).chopped(2),
                              table == "t_remote" ? "rem_client_id" : "client_id"),
                     {Value(c, edited), mill});
        }
        tmp.Exec("COMMIT");
    }
    // Opens the dialog; act runs while it is shown. Whether it was shown.
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
        dialog->PropClientID = clientId < 0 ? mill : clientId;
        dialog->PropDNCpath = DncConnectionString;
        dialog->HelpName = tmp.Folder() + QStringLiteral("\\KESTRUM.HTML");
        dialog->Show();
        SetModalHook(previous);
        return shown;
    }

    TempInstallation tmp;
    qint32 mill = 0;
};

void Click(QDialog& d, const char* button) {
    d.findChild<QPushButton*>(button)->click();
}

// What a column's field shows (a box as -1 or 0), "<none>" without a field.
QString Shown(const QDialog& d, const QString& column) {
    if (auto* check = d.findChild<QCheckBox*>(column.chopped(2))) {
        return check->isChecked() ? "-1" : "0";
    }
    auto* edit = d.findChild<QLineEdit*>(column.chopped(2));
    return edit ? edit->text() : "<none>";
}

// Types every edited value into the dialog.
void EditAll(QDialog& d, AttributeDialogKind kind) {
    for (const QString& c : Edits(kind)) {
        if (auto* check = d.findChild<QCheckBox*>(c.chopped(2))) {
            check->setChecked(Value(c, true).toInt() != 0);
        } else {
            d.findChild<QLineEdit*>(c.chopped(2))->setText(Value(c, true).toString());
        }
    }
}

const AttributeDialogKind kKinds[] = {
    AttributeDialogKind::Standard,     AttributeDialogKind::Second, AttributeDialogKind::Third,
    AttributeDialogKind::LineTerminal, AttributeDialogKind::Remote, AttributeDialogKind::Mazatrol};

}  // namespace

class TestProtocolDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Shown from the rows, edited, OK: exactly the dialog's columns of this client change
    // (and the client's BTS end-of-block flag, which follows eob_delay). Help opens the help
    // file, found without regard to letter case, at a section of this dialog that it has.
    void okWritesTheEditedRows_data() {
        QTest::addColumn<int>("kind");
        const char* const names[] = {"standard",      "BTR",    "shop terminal",
                                     "line terminal", "remote", "MAZATROL"};
        for (int k = 0; k < 6; ++k) {
            QTest::newRow(names[k]) << k;
        }
    }
    void okWritesTheEditedRows() {
        QFETCH(int, kind);
        const AttributeDialogKind k = kKinds[kind];
        Rig rig;
        QFile::copy(KESTRUM_SOURCE_DIR "/help/Kestrum.html", rig.tmp.FilePath("Kestrum.html"));
        const QByteArray page = rig.tmp.ReadFile("Kestrum.html");
        QStringList help;
        const auto previous = ProtocolAttributeDialog::SetHelpShower(
            [&](const QString& file, const QString& section) {
                const bool there = page.contains("<a name=\"" + section.toLatin1() + "\">");
                help << QFileInfo(file).fileName() + (there ? "" : " without " + section) +
                            (QFileInfo::exists(file) ? "" : " missing");
            });
        MessageRecorder messages;
        const QString eob = "UPDATE t_dnc_server_clients SET bts_eobdelay = ? WHERE client_id = ?";
        rig.Put(Edits(k), true);
        rig.tmp.Exec(eob, {0, rig.mill});
        const QStringList expected = Dump(rig.tmp);
        rig.Put(kAll, false);  // back to the seeded values for the dialog to show
        rig.tmp.Exec(eob, {-1, rig.mill});
        QStringList shown, seeded;
        int accepted = -1;
        const bool opened = rig.Open(k, [&](QDialog& d) {
            for (const QString& c : kAll) {
                shown << c + '=' + Shown(d, c);
                seeded << c + '=' + (Edits(k).contains(c) ? Value(c, false).toString() : "<none>");
            }
            Click(d, "cmdHelp");
            EditAll(d, k);
            Click(d, "cmdOK");
            accepted = d.result();
        });
        ProtocolAttributeDialog::SetHelpShower(previous);
        QVERIFY(opened);
#ifdef Q_OS_WIN
        // Names match without regard to case there: the settings' spelling is passed on.
        QCOMPARE(help, QStringList{"KESTRUM.HTML"});
#else
        QCOMPARE(help, QStringList{"Kestrum.html"});  // as found on disk
#endif
        QCOMPARE(shown, seeded);
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(accepted, int(QDialog::Accepted));
        QCOMPARE(Dump(rig.tmp), expected);
    }

    void values_data() {
        QTest::addColumn<QString>("field");  // "" for Cancel
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");  // "" when taken
        const auto row = [](const char* name, const char* field, const QString& value,
                            const QString& message) {
            QTest::newRow(name) << QString(field) << value << message;
        };
        const QString number = "is not a whole number from 0 to 32767. Nothing was saved.";
        row("cancel", "", "", "");
        row("largest", "t_timeout_table_down.init_timeout", "32767", "");
        row("zero in blanks", "t_timeout_table_down.eob_delay", " 0 ", "");
        row("too big", "t_timeout_table_down.char_buffer", "32768", number);
        row("negative", "t_timeout_table_up.up_timeout", "-1", number);
        row("letters", "t_filter_table_down.leader", "12a", number);
        row("fraction", "t_client_terminal_mode.line_length", "1.5", number);
        row("emptied", "t_timeout_table_down.init_timeout", "", number);
        row("long text", "t_remote.report_name", QString(256, 'R'),
            "the text has 256 characters; at most 255 fit. Nothing was saved.");
    }

    void values() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        Rig rig;
        const QStringList before = Dump(rig.tmp);
        MessageRecorder messages;
        bool stayedOpen = false;
        QVERIFY(rig.Open(AttributeDialogKind::Remote, [&](QDialog& d) {
            EditAll(d, AttributeDialogKind::Remote);
            if (!field.isEmpty()) {
                d.findChild<QLineEdit*>(field)->setText(value);
                Click(d, "cmdOK");
                stayedOpen = d.isVisible() && d.result() == 0;
            }
            Click(d, "cmdCancel");
        }));
        QCOMPARE(messages.Texts().size(), message.isEmpty() ? 0 : 1);
        if (!field.isEmpty() && message.isEmpty()) {
            const QStringList column = field.split('.');
            const QString sql = "SELECT %1 FROM %2 WHERE client_id = ?";
            QCOMPARE(rig.tmp.QueryValue(sql.arg(column[1], column[0]), {rig.mill}).toInt(),
                     value.toInt());
            const int eob =
                rig.tmp.QueryValue(sql.arg("eob_delay", "t_timeout_table_down"), {rig.mill})
                    .toInt();
            QCOMPARE(
                rig.tmp.QueryValue(sql.arg("bts_eobdelay", "t_dnc_server_clients"), {rig.mill}),
                QVariant(eob ? 0 : -1));
            return;
        }
        if (!message.isEmpty()) {
            QVERIFY(stayedOpen);
            QVERIFY2(messages.Last().text.endsWith(message), qPrintable(messages.Last().text));
            QCOMPARE(messages.Last().icon, MsgIcon::Critical);
        }
        QCOMPARE(Dump(rig.tmp), before);
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
        QCOMPARE(rig.tmp.QueryValue("SELECT COUNT(*) FROM t_remote").toInt(), 0);
        QVERIFY(rig.Open(AttributeDialogKind::Mazatrol, [&](QDialog& d) {
            d.findChild<QLineEdit*>("t_remote.c_start_char")->setText("%");
            d.findChild<QCheckBox*>("t_remote.upload_report")->setChecked(true);
            Click(d, "cmdOK");
        }));
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.tmp.TextRows("SELECT rem_client_id, c_start_char, c_end_char, "
                                  "upload_report FROM t_remote"),
                 QStringList{QString::number(rig.mill) + "|%||-1"});
    }

    void cannotOpen() {
        Rig rig;
        MessageRecorder messages;
        QVERIFY(!rig.Open(
            AttributeDialogKind::Standard, [](QDialog&) {}, 999));
        QCOMPARE(messages.Texts(),
                 QStringList{"There is no client with the id 999 in the configuration database."});
        DncConnectionString = "data source = " + rig.tmp.FilePath("missing.mdb") + ";";
        QVERIFY(!rig.Open(AttributeDialogKind::Standard, [](QDialog&) {}));
        QVERIFY(messages.Last().text.startsWith("The configuration database cannot be opened: "));
    }
};

KESTRUM_TEST(TestProtocolDialogs)
#include "tst_protocol_dialogs.moc"
