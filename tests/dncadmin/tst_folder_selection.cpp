// The folder-selection window in each of its modes, on temporary folders: the texts and the
// stored path it offers, and what its confirm button writes and creates.

#include "base/folder_select_mode.h"
#include "base/settings.h"
#include "components/folder_view.h"
#include "db/dnc_database.h"
#include "dncadmin/dncadmin_merge.h"
#include "dncadmin/folder_selection.h"
#include "dncadmin/frmExportDNCAdmin.h"
#include "tests/dncadmin/dncadmin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

// An installation whose computer is a configured server with one client on node.
class FolderRig : public DncAdminInstallation {
public:
    explicit FolderRig(const QString& node = "01") {
        AddClient("LATHE1", node, "1", 2);
        WriteFile("Kestrum.ini", "[PATHS]\r\n");
    }
    QByteArray Setting(const QString& key) const {
        return ReadIniValue(SettingsPath(), "PATHS", key, QString()).toLatin1();
    }
};

const QByteArray kMasterFile = "[ADMIN]\r\nLINES_DISPLAYED=64\r\n";

// A mailbox mode with the client's node, the master file before ("<none>": no master path
// stored), and what TolvaneDNC.ini, the master, MASTERMAILBOXPATH and the message are after.
struct MailboxRow {
    int mode;
    QString node;
    QByteArray master, tolvane, masterAfter;
    QString mailbox, message;
};

}  // namespace

Q_DECLARE_METATYPE(MailboxRow)

class TestFolderSelection : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { FolderSelectMode = FolderSelect::None; }

    // The stored path each mode offers, upper-cased; modes without one show a prompt.
    void StoredPathOffered_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("shown");  // lblSelectedFolder
        const char* const rows[] = {"C:\\DNC\\STORED\\DNCADMINEXPORTPATH",
                                    "Selected folder:",
                                    "Selected folder:",
                                    "C:\\DNC\\STORED\\MASTERMAILBOXPATH",
                                    "Select the TolvaneDNC Server(s)\\DNCAdmin(s) Master path:",
                                    "C:\\DNC\\STORED\\MASTERDNCADMINPATH",
                                    "C:\\DNC\\STORED\\MASTERMAILBOXPATH"};
        for (int mode = 0; mode < 7; ++mode) {
            QTest::addRow("%d", mode) << mode << QString(rows[mode]);
        }
    }
    void StoredPathOffered() {
        QFETCH(int, mode);
        QFETCH(QString, shown);
        FolderRig rig;
        // Stored in lower case, offered upper-cased; MASTERFOLDERPATH is empty.
        rig.WriteFile("Kestrum.ini",
                      "[PATHS]\r\nDNCADMINEXPORTPATH=c:\\dnc\\stored\\dncadminexportpath\r\n"
                      "MASTERMAILBOXPATH=c:\\dnc\\stored\\mastermailboxpath\r\n"
                      "MASTERDNCADMINPATH=c:\\dnc\\stored\\masterdncadminpath\r\n"
                      "MASTERFOLDERPATH=\r\n");
        FolderSelectMode = qint16(mode);
        frmExportDNCAdmin window;
        QCOMPARE(window.findChild<QLabel*>("lblSelectedFolder")->text(), shown);
        QCOMPARE(SelectedFolderPath, shown.startsWith("C:") ? shown : QString());
    }

    // The mailbox modes write TolvaneDNC.ini, the settings and the node section of the
    // master DNCAdmin.ini, whose path the settings hold.
    void Mailbox_data() {
        QTest::addColumn<MailboxRow>("row");
        const auto row = [](const char* name, int mode, const char* node, const QByteArray& master,
                            const QByteArray& tolvane, const QByteArray& masterAfter,
                            const char* mailbox, const char* message) {
            QTest::newRow(name) << MailboxRow{mode,        node,    master, tolvane,
                                              masterAfter, mailbox, message};
        };
        const QByteArray dncTolvane =
            "[TRANSACT]\r\nINPATH=C:\\DNC\\IN\\IN\r\nOUTPATH=C:\\DNC\\OUT\\OUT"
            "\r\n[CLIENTS]\r\nTEMPFILEPATH=C:\\DNC\\CLIENTS\r\n";
        const QByteArray noLines = "[ADMIN]\r\nLINES_DISPLAYED=\r\n";
        row("3 on C:\\, node 01", 3, "01", kMasterFile, dncTolvane,
            kMasterFile +
                "[NODE01]\r\nDOWN_PATH=C:\\DNC\\CLIENTS\r\nUP_PATH=C:\\DNC\\CLIENTS"
                "\r\nINMAIL_PATH=C:\\DNC\\IN\r\nOUTMAIL_PATH=C:\\DNC\\OUT\r\n",
            "C:\\DNC", "");
        row("6 on C:\\, node 04", 6, "04", kMasterFile,
            "[TRANSACT]\r\nINPATH=C:\\\\IN\\IN\r\nOUTPATH=C:\\\\OUT\\OUT\r\n"
            "[CLIENTS]\r\nTEMPFILEPATH=C:\\\\CLIENTS\r\n",
            kMasterFile +
                "[NODE04]\r\nDOWN_PATH=C:\\\\CLIENTS\r\nUP_PATH=C:\\\\CLIENTS\r\n"
                "INMAIL_PATH=C:\\\\IN\r\nOUTMAIL_PATH=C:\\\\OUT\r\n",
            "C:\\", "");
        row("node 05 has no section", 3, "05", kMasterFile, dncTolvane, kMasterFile, "C:\\DNC", "");
        row("no master path", 3, "01", "<none>", dncTolvane, "<missing>", "C:\\DNC",
            "Master DNCAdmin path not found!, Merge DNCAdmin");
        row("master without LINES_DISPLAYED", 3, "01", noLines, dncTolvane, noLines, "C:\\DNC",
            "Master DNCAdmin file not found!, Merge DNCAdmin from Host");
    }
    void Mailbox() {
        QFETCH(MailboxRow, row);
        const auto& [mode, node, master, tolvane, masterAfter, mailbox, message] = row;
        FolderRig rig(node);
        QDir().mkpath(rig.FilePath("Master"));
        if (master != "<none>") {
            rig.WriteFile("Master/DNCAdmin.ini", master);
            // Stored upper-cased, as the path text of the settings usually is.
            QVERIFY(WriteIniValue("PATHS", "MASTERDNCADMINPATH", rig.FilePath("Master").toUpper(),
                                  rig.SettingsPath()));
        }
        MessageRecorder messages;
        SelectedFolderPath = "C:\\";
        QCOMPARE(ConfirmFolderSelection(qint16(mode)), ConfirmOutcome::Close);
        QCOMPARE(rig.ReadFile("TolvaneDNC.ini"), tolvane);
        QCOMPARE(rig.Setting("MASTERMAILBOXPATH"), mailbox.toLatin1());
        QCOMPARE(ReadBytes(rig.FilePath("Master/DNCAdmin.ini")), masterAfter);
        QCOMPARE(messages.Texts().join('|'), message);
        if (!message.isEmpty()) {
            QCOMPARE(messages.Last().title, QString("MASTER Mailbox error!"));
        }
    }

    // A master made from the shipped template by the merge passes the master-file check, so
    // the mailbox setup can write its node section.
    void ShippedTemplateMakesValidMaster() {
        FolderRig rig;
        QDir().mkpath(rig.FilePath("MASTER"));
        MergeTable table;
        table.Columns[0][0].Name = "LATHE1";
        QVERIFY(MergeDncAdmin(table, rig.FilePath("MASTER"),
                              KESTRUM_SOURCE_DIR "/dist/DNCAdminExportCopy.ini")
                    .Ok);
        QVERIFY(WriteIniValue("PATHS", "MASTERDNCADMINPATH", rig.FilePath("MASTER"),
                              rig.SettingsPath()));
        MessageRecorder messages;
        SelectedFolderPath = "C:\\DNC";
        QCOMPARE(ConfirmFolderSelection(FolderSelect::XPModeMailboxPath), ConfirmOutcome::Close);
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(ReadIniValue(rig.FilePath("MASTER/DNCAdmin.ini"), "NODE01", "INMAIL_PATH", ""),
                 QString("C:\\DNC\\IN"));
    }

    // Confirming in the modes that copy, store paths or make the master folder tree: what
    // the settings file holds after and whether the window closes. Mode 0 copies the
    // program folder's DNCAdmin.ini; mode 4 makes six folders under the chosen one, one at
    // a time on a remote desktop client's drive; a computer that is no configured server
    // writes nothing.
    // clang-format off
    void Confirm_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("folder");  // $T: the temporary folder
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");   // a prefix
        QTest::addColumn<QByteArray>("settings");  // Kestrum.ini after, without "[PATHS]\r\n"
        const auto row = [](const char* name, int mode, const char* folder, const char* existing,
                            ConfirmOutcome outcome, const char* message,
                            const QByteArray& settings) {
            QTest::newRow(name) << mode << QString(folder)
                                << QString(existing).split(',', Qt::SkipEmptyParts) << int(outcome)
                                << QString(message) << settings;
        };
        const auto close = ConfirmOutcome::Close;
        const auto open = ConfirmOutcome::StayOpen;
        // The server's file lists other clients: the question says so before it is replaced.
        row("0 copies", 0, "$T/SRV", "", close, "Replace \"$T/SRV/DNCAdmin.ini\"?\n\n1 clients added, 1 removed",
            "DNCADMINEXPORTPATH=$T/SRV\r\n");
        row("0 onto itself", 0, "$T", "", close, "", "DNCADMINEXPORTPATH=$T\r\n");
        row("0 cannot copy", 0, "/proc", "", open, "DNCAdmin.ini could not be copied to \"/proc/", "");
        row("2 stores the source paths", 2, "C:\\MASTER", "", close, "",
            "MASTERDNCADMINPATH=C:\\MASTER\r\nDNCADMINPATH1=C:\\A\\DNCADMIN.INI\r\nDNCADMINPATH2=\r\n"
            "DNCADMINPATH3=C:\\C\\DNCADMIN.INI\r\nDNCADMINPATH4=\r\n");
        row("5", 5, "C:\\OTHER", "", close, "", "MASTERDNCADMINPATH=C:\\OTHER\r\n");
        row("5 elsewhere", 5, "C:\\OTHER", "<elsewhere>", ConfirmOutcome::Nothing, "*", "");
        row("4 drive path", 4, "$T/DNC", "DNC,DNC/TolvaneNode02", close, "", "MASTERFOLDERPATH=$T/DNC\r\n");
        row("4 ending in a separator", 4, "$T/DNC/", "DNC", close, "", "MASTERFOLDERPATH=$T/DNC/\r\n");
        row("4 folder missing", 4, "$T/NONE", "", open, "Master folder path '$T/NONE' not found", "");
        row("4 level cannot be made", 4, "/proc", "", open,
            "Master folder path '/proc/TolvaneNode01' not created", "MASTERFOLDERPATH=/proc\r\n");
        row("4 tsclient", 4, "$T\\\\tsclient\\D\\DNC", "tsclient/D/DNC", close, "",
            "MASTERFOLDERPATH=$T\\\\tsclient\\D\\DNC\r\n");
        row("4 tsclient, folder missing", 4, "$T\\\\TSCLIENT\\D\\NONE", "tsclient/D", open,
            "Master folder path '$T\\\\TSCLIENT\\D\\NONE\\TolvaneNode01' creation error", "");
    }
    // clang-format on
    void Confirm() {
        QFETCH(int, mode);
        QFETCH(QString, folder);
        QFETCH(QStringList, existing);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(QByteArray, settings);
        FolderRig rig;
        const QByteArray exported = "[CNC_LIST]\r\n1=LATHE1\r\n";
        rig.WriteFile("DNCAdmin.ini", exported);
        QDir().mkpath(rig.FilePath("SRV"));
        rig.WriteFile("SRV/DNCAdmin.ini", "[CNC_LIST]\r\n1=OLD\r\n");
        for (const QString& path : existing) {
            if (path == "<elsewhere>") {
                LocalComputerName = "ELSEWHERE";
            } else {
                QVERIFY(QDir().mkpath(rig.FilePath(path)));
            }
        }
        if (mode == 2) {
            DncAdminPaths = {"C:\\A\\DNCADMIN.INI", "", "C:\\C\\DNCADMIN.INI", ""};
        }
        for (QString* text : {&folder, &message}) {
            text->replace("$T", rig.Folder());
        }
        settings.replace("$T", rig.Folder().toLatin1());
        MessageRecorder messages;
        SelectedFolderPath = folder;
        QCOMPARE(int(ConfirmFolderSelection(qint16(mode))), outcome);
        DncAdminPaths = {};
        QCOMPARE(messages.Count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty() && message != "*") {
            QVERIFY2(messages.Last().text.startsWith(message), qPrintable(messages.Last().text));
        }
        QCOMPARE(rig.ReadFile("Kestrum.ini"), "[PATHS]\r\n" + settings);
        if (mode == 0 && outcome == int(ConfirmOutcome::Close)) {
            QCOMPARE(ReadBytes(NativePath(JoinPath(folder, "DNCAdmin.ini"))), exported);
        }
        if (mode == 4 && outcome == int(ConfirmOutcome::Close)) {
            for (const QString& name : MasterFolderNames()) {
                QVERIFY2(QFileInfo(NativePath(JoinPath(folder, name))).isDir(), qPrintable(name));
            }
        }
    }

    // The window: a folder chosen in the tree is shown and confirmed.
    void WindowConfirms() {
        FolderRig rig;
        QDir().mkpath(rig.FilePath("Chosen"));
        FolderSelectMode = FolderSelect::MasterDNCAdminPath;
        frmExportDNCAdmin window;
        window.show();
        QVERIFY(window.Tree()->SelectFolder(rig.FilePath("Chosen")));
        QTRY_COMPARE(window.findChild<QLabel*>("lblSelectedFolder")->text(),
                     rig.FilePath("Chosen"));
        window.findChild<QPushButton*>("cmdExport")->click();
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(rig.Setting("MASTERDNCADMINPATH"), rig.FilePath("Chosen").toLatin1());
    }
};

KESTRUM_TEST(TestFolderSelection)
#include "tst_folder_selection.moc"
