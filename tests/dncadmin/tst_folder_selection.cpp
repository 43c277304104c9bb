// The folder-selection window in each of its modes, on temporary folders: the texts and the
// stored path it offers, and what its confirm button writes and creates.

#include "base/folder_select_mode.h"
#include "base/settings.h"
#include "dncadmin/dncadmin_merge.h"
#include "dncadmin/folder_selection.h"
#include "dncadmin/frmExportDNCAdmin.h"
#include "tests/dncadmin/dncadmin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

namespace {

const QByteArray kExported = "[CNC_LIST]\r\n1=LATHE1\r\n";

// An installation whose computer is a configured server with one client on node, and the
// DNCAdmin.ini exported for it.
class FolderRig : public DncAdminInstallation {
public:
    explicit FolderRig(const QString& node = "01") {
        AddClient("LATHE1", node, "1", 2);
        WriteFile("Kestrum.ini", "[PATHS]\r\n");
        WriteFile("DNCAdmin.ini", kExported);
    }
};

}  // namespace

class TestFolderSelection : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { FolderSelectMode = FolderSelect::None; }

    // Confirming paths the window cannot offer from its tree, and the refusals: a copy onto
    // the exported file itself, targets that cannot be written, a computer that is no
    // configured server, a folder missing, a remote desktop client's drive (six folders made
    // one at a time). The mailbox modes write TolvaneDNC.ini and the client's node section
    // into the master DNCAdmin.ini whose path the settings hold (stored upper-cased, $M).
    // $T is the temporary folder's local path, $W its Windows path text.
    // clang-format off
    void Confirm_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");   // a prefix
        QTest::addColumn<QByteArray>("settings");  // Kestrum.ini after, without "[PATHS]\r\n"
        QTest::addColumn<QString>("node");         // the client's
        QTest::addColumn<QByteArray>("master");    // "": no path stored, "<shipped>": merged
        QTest::addColumn<QByteArray>("tolvane");   // TolvaneDNC.ini after
        QTest::addColumn<QByteArray>("added");     // to the master
        const auto row = [](const char* name, int mode, const char* folder, const char* existing,
                            ConfirmOutcome outcome, const char* message, const QByteArray& settings) {
            QTest::newRow(name) << mode << QString(folder)
                                << QString(existing).split(',', Qt::SkipEmptyParts) << int(outcome)
                                << QString(message) << settings << QString("01") << QByteArray()
                                << QByteArray("<missing>") << QByteArray();
        };
        // Mailbox modes confirmed on C:\, which mode 3 takes as C:\DNC.
        const auto mailbox = [](const char* name, int mode, const char* node,
                                const QByteArray& master, const char* path, const char* message,
                                const QByteArray& added = {}) {
            const QByteArray p = path;
            const QByteArray stored = master.isEmpty() ? "" : "MASTERDNCADMINPATH=$M\r\n";
            QTest::newRow(name) << mode << QString("C:\\") << QStringList() << int(ConfirmOutcome::Close)
                                << QString(message) << stored + "MASTERMAILBOXPATH=" + p + "\r\n"
                                << QString(node) << master
                                << "[TRANSACT]\r\nINPATH=" + p + "\\IN\\IN\r\nOUTPATH=" + p +
                                   "\\OUT\\OUT\r\n[CLIENTS]\r\nTEMPFILEPATH=" + p + "\\CLIENTS\r\n"
                                << added;
        };
        const auto close = ConfirmOutcome::Close;
        const auto open = ConfirmOutcome::StayOpen;
        row("0 onto itself", 0, "$T", "", close, "", "DNCADMINEXPORTPATH=$W\r\n");
        row("0 cannot copy", 0, "/proc", "", open, "DNCAdmin.ini could not be copied to \"C:\\proc\\", "");
        row("2 stores the source paths", 2, "C:\\MASTER", "", close, "",
            "MASTERDNCADMINPATH=C:\\MASTER\r\nDNCADMINPATH1=C:\\A\\DNCADMIN.INI\r\nDNCADMINPATH2=\r\n"
            "DNCADMINPATH3=$W\\S3.ini\r\nDNCADMINPATH4=\r\n");
        row("5 elsewhere", 5, "C:\\OTHER", "", ConfirmOutcome::Nothing, "*", "");
#ifdef Q_OS_WIN
        const char* endingInSeparator = "MASTERFOLDERPATH=$W\\DNC\r\n";  // Windows drops it
#else
        const char* endingInSeparator = "MASTERFOLDERPATH=$W\\DNC\\\r\n";
#endif
        row("4 ending in a separator", 4, "$W\\DNC\\", "DNC,DNC/TolvaneNode02", close, "",
            endingInSeparator);
        row("4 folder missing", 4, "$T/NONE", "", open, "Master folder path '$W\\NONE' not found", "");
        row("4 level cannot be made", 4, "/proc", "", open,
            "Master folder path 'C:\\proc\\TolvaneNode01' not created", "MASTERFOLDERPATH=C:\\proc\r\n");
        row("4 tsclient", 4, "$T\\\\tsclient\\D\\DNC", "tsclient/D/DNC", close, "",
            "MASTERFOLDERPATH=$W\\\\tsclient\\D\\DNC\r\n");
        row("4 tsclient, folder missing", 4, "$T\\\\TSCLIENT\\D\\NONE", "tsclient/D", open,
            "Master folder path '$W\\\\TSCLIENT\\D\\NONE\\TolvaneNode01' creation error", "");
        mailbox("3, master from the shipped template", 3, "01", "<shipped>", "C:\\DNC", "",
                "[NODE01]\r\nDOWN_PATH=C:\\DNC\\CLIENTS\r\nUP_PATH=C:\\DNC\\CLIENTS\r\n"
                "INMAIL_PATH=C:\\DNC\\IN\r\nOUTMAIL_PATH=C:\\DNC\\OUT\r\n");
        mailbox("6, node 04", 6, "04", kTemplate, "C:\\", "",
                "[NODE04]\r\nDOWN_PATH=C:\\\\CLIENTS\r\nUP_PATH=C:\\\\CLIENTS\r\n"
                "INMAIL_PATH=C:\\\\IN\r\nOUTMAIL_PATH=C:\\\\OUT\r\n");
        mailbox("node 05 has no section", 3, "05", kTemplate, "C:\\DNC", "");
        mailbox("no master path", 3, "01", "", "C:\\DNC", "Master DNCAdmin path not found!, Merge DNCAdmin");
        mailbox("master without LINES_DISPLAYED", 3, "01", "[ADMIN]\r\nLINES_DISPLAYED=\r\n", "C:\\DNC",
                "Master DNCAdmin file not found!, Merge DNCAdmin from Host");
    }
    // clang-format on
    void Confirm() {
        QFETCH(int, mode);
        QFETCH(QString, folder);
        QFETCH(QStringList, existing);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(QByteArray, settings);
        QFETCH(QString, node);
        QFETCH(QByteArray, master);
        QFETCH(QByteArray, added);
#ifdef Q_OS_WIN
        if (folder == "/proc") {
            QSKIP("no folder refuses a test's writes on Windows (/proc does on Linux)");
        }
        if (folder.contains("tsclient", Qt::CaseInsensitive)) {
            QSKIP(
                "a remote desktop client's drive is the share \\\\tsclient on Windows, "
                "which a test cannot make");
        }
#endif
        FolderRig rig(node);
        for (const QString& path : existing) {
            QVERIFY(QDir().mkpath(rig.FilePath(path)));
        }
        if (mode == 5) {
            LocalComputerName = "ELSEWHERE";  // no configured server
        }
        if (mode == 2) {
            DncAdminPaths = {"C:\\A\\DNCADMIN.INI", "", rig.FilePath("S3.ini"), ""};
        }
        const QString masterFile = rig.FilePath("Master/DNCAdmin.ini");
        QDir().mkpath(rig.FilePath("Master"));
        if (master == "<shipped>") {
            MergeTable table;
            table.Columns[0][0].Name = "LATHE1";
            const QString shipped = KESTRUM_SOURCE_DIR "/dist/DNCAdminExportCopy.ini";
            QVERIFY(MergeDncAdmin(table, rig.FilePath("Master"), shipped).Ok);
        } else if (!master.isEmpty()) {
            rig.WriteFile("Master/DNCAdmin.ini", master);
        }
        if (!master.isEmpty()) {
            QVERIFY(WriteIniValue("PATHS", "MASTERDNCADMINPATH", rig.FilePath("Master").toUpper(),
                                  rig.SettingsPath()));
        }
        const QByteArray before = ReadBytes(masterFile);
        const QString windowsText = WindowsPathText(rig.Folder());
        for (QString* text : {&folder, &message}) {
            text->replace("$T", rig.Folder()).replace("$W", windowsText);
        }
        settings.replace("$W", windowsText.toLatin1());
        settings.replace("$M", rig.FilePath("Master").toUpper().toLatin1());
        MessageRecorder messages;
        SelectedFolderPath = folder;
        QCOMPARE(int(ConfirmFolderSelection(qint16(mode))), outcome);
        DncAdminPaths = {};
        QCOMPARE(messages.Count(), message.isEmpty() ? 0 : 1);
        QVERIFY2(message.isEmpty() || message == "*" || messages.Last().text.startsWith(message),
                 qPrintable(messages.Texts().join('|')));
        QCOMPARE(rig.ReadFile("Kestrum.ini"), "[PATHS]\r\n" + settings);
        QTEST(ReadBytes(rig.FilePath("TolvaneDNC.ini")), "tolvane");
        QCOMPARE(ReadBytes(masterFile), before + added);
        QVERIFY(!message.startsWith("Master DNCAdmin") ||
                messages.Last().title == "MASTER Mailbox error!");
        if (mode == 4 && outcome == int(ConfirmOutcome::Close)) {
            for (const QString& name : MasterFolderNames()) {
                QVERIFY2(QFileInfo(NativePath(JoinPath(folder, name))).isDir(), qPrintable(name));
            }
        }
    }

    // The window in every mode, as the operator uses it: confirmed at once with the stored
    // path or with none (the tree has made an entry current by itself meanwhile), or after
    // a folder is clicked (or reached with a key) in the tree. A stand-in takes the place of
    // the root of the file system; srv/ in it stands for /srv. Every file the window may
    // write is compared with the bytes expected, and nothing else under the root changes.
    // clang-format off
    void Window_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("before");    // Kestrum.ini
        QTest::addColumn<QString>("pick");         // under the root: "" none, "/" the root
                                                   // itself, "+" the next folder by key Down
        QTest::addColumn<QString>("shown");        // lblSelectedFolder before confirming
        QTest::addColumn<QByteArray>("after");     // Kestrum.ini, "=" unchanged
        QTest::addColumn<QByteArray>("tolvane");   // TolvaneDNC.ini
        QTest::addColumn<QByteArray>("node");      // added to the master DNCADMIN.INI
        QTest::addColumn<QStringList>("created");  // under the root
        QTest::addColumn<bool>("closes");
        const QByteArray master = "[PATHS]\r\nMASTERDNCADMINPATH=c:\\srv\\master\r\n";
        const auto row = [&](const char* name, int mode, const QByteArray& stored, const char* pick,
                             const char* shown, const QByteArray& after, const QByteArray& mailbox,
                             const QString& created, bool closes) {
            QByteArray tolvane = "<missing>", node;
            if (!mailbox.isEmpty()) {
                tolvane = "[TRANSACT]\r\nINPATH=" + mailbox + "\\IN\\IN\r\nOUTPATH=" + mailbox +
                          "\\OUT\\OUT\r\n[CLIENTS]\r\nTEMPFILEPATH=" + mailbox + "\\CLIENTS\r\n";
                node = "[NODE01]\r\nDOWN_PATH=" + mailbox + "\\CLIENTS\r\nUP_PATH=" + mailbox +
                       "\\CLIENTS\r\nINMAIL_PATH=" + mailbox + "\\IN\r\nOUTMAIL_PATH=" + mailbox +
                       "\\OUT\r\n";
            }
            QStringList made = created.split(',', Qt::SkipEmptyParts);
            if (made.size() == 1 && made.first().endsWith("*")) {  // the six master folders
                const QString base = made.takeFirst().chopped(1);
                for (const QString& folder : MasterFolderNames()) {
                    made << base + folder;
                }
            }
            // A text that starts with the section is the whole file.
            const auto file = [&](const QByteArray& text) {
                return text.startsWith('[') || text == "=" ? text : master + text;
            };
            QTest::newRow(name) << mode << file(stored) << QString(pick) << QString(shown)
                                << file(after) << tolvane << node << made << closes;
        };
        const char* none = "";
        row("0 stored", 0, "DNCADMINEXPORTPATH=c:\\srv\\dnc\r\n", none, "C:\\SRV\\DNC",
            "DNCADMINEXPORTPATH=C:\\SRV\\DNC\r\n", "", "srv/dnc/DNCAdmin.ini", true);
        row("0 none", 0, "", none, "Select this TolvaneDNC Server's DNCAdmin folder:", "=", "", "", false);
        row("0 clicked", 0, "DNCADMINEXPORTPATH=c:\\srv\\mb\r\n", "srv/dnc", "C:\\srv\\dnc",
            "DNCADMINEXPORTPATH=C:\\srv\\dnc\r\n", "", "srv/dnc/DNCAdmin.ini", true);
        row("0 root", 0, "", "/", "C:\\", "DNCADMINEXPORTPATH=C:\\\r\n", "", "DNCAdmin.ini", true);
        row("1 none", 1, "", none, "Selected folder:", "=", "", "", false);
        row("1 clicked", 1, "", "srv/dnc", "C:\\srv\\dnc", "=", "", "", true);
        row("2 none", 2, "", none, "Selected folder:", "=", "", "", false);
        row("2 clicked", 2, "", "srv/dnc", "C:\\srv\\dnc",
            "[PATHS]\r\nMASTERDNCADMINPATH=C:\\srv\\dnc\r\nDNCADMINPATH1=\r\nDNCADMINPATH2=\r\n"
            "DNCADMINPATH3=\r\nDNCADMINPATH4=\r\n", "", "", true);
        row("3 stored", 3, "MASTERMAILBOXPATH=c:\\srv\\mb\r\n", none, "C:\\SRV\\MB",
            "MASTERMAILBOXPATH=C:\\SRV\\MB\r\n", "C:\\SRV\\MB", "", true);
        row("3 none", 3, "", none, "Select the TolvaneDNC Server(s) Master MailBox folder:", "=", "",
            "", false);
        row("3 clicked", 3, "", "srv/mb", "C:\\srv\\mb", "MASTERMAILBOXPATH=C:\\srv\\mb\r\n",
            "C:\\srv\\mb", "", true);
        row("3 root", 3, "", "/", "C:\\", "MASTERMAILBOXPATH=C:\\DNC\r\n", "C:\\DNC", "", true);
        row("6 stored", 6, "MASTERMAILBOXPATH=c:\\srv\\mb\r\n", none, "C:\\SRV\\MB",
            "MASTERMAILBOXPATH=C:\\SRV\\MB\r\n", "C:\\SRV\\MB", "", true);
        row("6 none", 6, "", none, "Select the XPMode Master MailBox folder:", "=", "", "", false);
        row("6 root", 6, "", "/", "C:\\", "MASTERMAILBOXPATH=C:\\\r\n", "C:\\", "", true);
        row("4 stored", 4, "MASTERFOLDERPATH=c:\\srv\\dnc\r\n", none, "C:\\SRV\\DNC",
            "MASTERFOLDERPATH=C:\\SRV\\DNC\r\n", "", "srv/dnc/*", true);
        row("4 none", 4, "", none, "Select the TolvaneDNC Server(s)\\DNCAdmin(s) Master path:", "=",
            "", "", false);
        row("4 clicked", 4, "MASTERFOLDERPATH=c:\\srv\\dnc\r\n", "srv/mb", "C:\\srv\\mb",
            "MASTERFOLDERPATH=C:\\srv\\mb\r\n", "", "srv/mb/*", true);
        row("4 root", 4, "", "/", "C:\\", "MASTERFOLDERPATH=C:\\\r\n", "", "*", true);
        // Mode 5: the master DNCAdmin path (the one the rig stores is offered).
        row("5 stored", 5, "", none, "C:\\SRV\\MASTER", "[PATHS]\r\nMASTERDNCADMINPATH=C:\\SRV\\MASTER\r\n",
            "", "", true);
        row("5 none", 5, "[PATHS]\r\n", none, "Select the Master DNCAdmin path:", "=", "", "", false);
        row("5 by key", 5, "", "+", "C:\\srv\\master", "[PATHS]\r\nMASTERDNCADMINPATH=C:\\srv\\master\r\n",
            "", "", true);
        row("5 root", 5, "", "/", "C:\\", "[PATHS]\r\nMASTERDNCADMINPATH=C:\\\r\n", "", "", true);
    }
    // clang-format on
    void Window() {
        QFETCH(int, mode);
        QFETCH(QByteArray, before);
        QFETCH(QString, pick);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, created);
#ifdef Q_OS_WIN
        if (!pick.isEmpty() || after != "=") {
            QSKIP(
                "a local path has a drive letter on Windows, so no test folder can stand in "
                "for the root of C:");
        }
#endif
        FolderRig rig;
        QDir().mkpath(rig.FilePath("root"));
        const QString rootPath = QFileInfo(rig.FilePath("root")).canonicalFilePath();
        const auto root = qScopeGuard([old = SetDriveRoot(rootPath)] { SetDriveRoot(old); });
        for (const char* folder : {"srv/dnc", "srv/master", "srv/mb"}) {
            QVERIFY(QDir(rootPath).mkpath(folder));
        }
        rig.WriteFile("root/srv/master/DNCAdmin.ini", kTemplate);
        rig.WriteFile("Kestrum.ini", before);
        const QStringList listing = Snapshot(rootPath).keys();
        MessageRecorder messages;

        FolderSelectMode = qint16(mode);
        frmExportDNCAdmin window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTreeView* tree = window.Tree()->Tree();
        tree->setFocus();
        // The tree makes an entry current by itself; that is nobody's choice.
        QTRY_VERIFY(tree->currentIndex().isValid());
        if (pick == "+") {
            QVERIFY(ClickFolder(*window.Tree(), rootPath + "/srv/dnc"));
            const QModelIndex srv = window.Tree()->Model()->IndexOfPath(rootPath + "/srv");
            QTRY_COMPARE(window.Tree()->Model()->rowCount(srv), 3);
            QTest::keyClick(tree, Qt::Key_Down);
        } else if (!pick.isEmpty()) {
            QVERIFY(ClickFolder(*window.Tree(), pick == "/" ? rootPath : rootPath + "/" + pick));
        }
        QTEST(window.findChild<QLabel*>("lblSelectedFolder")->text(), "shown");
        window.findChild<QPushButton*>("cmdExport")->click();

        QTEST(!window.isVisible(), "closes");
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(rig.ReadFile("Kestrum.ini"), after == "=" ? before : after);
        QTEST(ReadBytes(rig.FilePath("TolvaneDNC.ini")), "tolvane");
        QTEST(ReadBytes(rootPath + "/srv/master/DNCAdmin.ini").mid(kTemplate.size()), "node");
        QStringList expected = listing + created;
        expected.sort();
        QCOMPARE(Snapshot(rootPath).keys(), expected);
        for (const QString& path : created) {
            if (path.endsWith("DNCAdmin.ini")) {
                QCOMPARE(ReadBytes(rootPath + "/" + path), kExported);
            }
        }
    }
};

KESTRUM_TEST(TestFolderSelection)
#include "tst_folder_selection.moc"
