// The export and merge windows through their widgets: what starts an export, the window
// that follows it, and the merge window's paths, master choice and merge.

#include "admin/frmClients.h"
#include "admin/pick_lists.h"
#include "base/folder_select_mode.h"
#include "base/modal.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "dncadmin/folder_selection.h"
#include "dncadmin/frmExportClients.h"
#include "dncadmin/frmToolsMerge.h"
#include "tests/dncadmin/dncadmin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>

namespace {

// Answers the windows opened modally as the function says while the guard lives.
auto OnModal(std::function<int(QDialog&)> answer) {
    return qScopeGuard([previous = SetModalHook(std::move(answer))] { SetModalHook(previous); });
}

// Chooses the file as the merge window's source, as the file window would.
void ChooseSource(frmToolsMerge& window, int index, const QString& path) {
    const auto chooser = OnModal([&](QDialog& dialog) {
        static_cast<QFileDialog&>(dialog).selectFile(path);
        return int(QDialog::Accepted);
    });
    window.ChooseSource(index);
}

// Two servers; CNCSRV1 (this computer) has LATHE1 and SHOP, CNCSRV2 has MILL.
class ExportRig : public DncAdminInstallation {
public:
    ExportRig() {
        Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV2')");
        AddClient("LATHE1", "01", "1", 62, {{"C:\\DNC\\L1", 3}});
        AddClient("SHOP", "01", "2", 5);
        Exec(
            "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID) "
            "VALUES ('MILL', 2, '02')");
        WriteFile("DNCAdminExportCopy.ini", kTemplate);
        ResetPickListState();
        LastMoveServers = {"CNCSRV1", "CNCSRV2"};
    }
};

}  // namespace

class TestDncAdminWindows : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { FolderSelectMode = FolderSelect::None; }

    // EXPORT, and the right button of the export window's right list or the move window's
    // left list (which ask first), export this server's clients and then ask for the folder;
    // when the export fails no folder is asked for.
    void Export_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("EXPORT") << "cmdExport";
        QTest::newRow("EXPORT failing") << "cmdExport";
        QTest::newRow("export window") << "lstClients1_1";
        QTest::newRow("move window") << "lstClients1_0";
    }
    void Export() {
        QFETCH(QString, control);
        const QByteArray tag = QTest::currentDataTag();
        const bool fails = tag == "EXPORT failing";
        ExportRig rig;
        if (fails) {
            QFile::remove(rig.FilePath("DNCAdminExportCopy.ini"));
        }
        ExportDncAdminFlag = "TRUE";
        InstallClientExport();
        const std::unique_ptr<QDialog> window(
            tag == "move window" ? static_cast<QDialog*>(new frmClients) : new frmExportClients);
        QStringList opened;  // "class/FolderSelectMode"
        const auto modals = OnModal([&](QDialog& dialog) {
            opened << QString(dialog.metaObject()->className()) + "/" +
                          QString::number(FolderSelectMode);
            return int(QDialog::Rejected);
        });
        MessageRecorder messages;
        messages.Answer(MsgAnswer::Yes);
        if (auto* list = window->findChild<QListWidget*>(control)) {
            QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(5, 5));
            QCOMPARE(messages.Texts().value(0), "Export \"CNCSRV1\" to DNCAdmin.ini file?");
        } else {
            window->findChild<QPushButton*>(control)->click();
        }
        ExportClientsToDncAdmin = {};
        QCOMPARE(messages.Count(), control.startsWith("lst") || fails ? 1 : 0);
        QCOMPARE(opened, fails ? QStringList() : QStringList{"frmExportDNCAdmin/0"});
        QCOMPARE(rig.ReadFile("DNCAdmin.ini").endsWith("[CNC_LIST]\r\n1=LATHE1\r\n"), !fails);
    }

    // Saved paths come back; a master folder is chosen through the folder selection, and
    // one that already holds DNCAdmin.ini is replaced only when the operator agrees.
    void MergeWindow() {
        ExportRig rig;
        QDir().mkpath(rig.FilePath("MASTER"));
        rig.WriteFile("S1.ini", "[CNC_LIST]\r\n1=A\r\n2=B\r\n[A]\r\nNODE_ID=01\r\nPORT_ID=7\r\n");
        rig.WriteFile("S3.ini", "[CNC_LIST]\r\n1=C\r\n");
        rig.WriteFile("MASTER/DNCAdmin.ini", kTemplate + "[NODE01]\r\nUP_PATH=X\r\n");
        rig.WriteFile("Kestrum.ini",
                      "[PATHS]\r\nMASTERDNCADMINPATH=" + rig.FilePath("MASTER").toLatin1() +
                          "\r\nDNCADMINPATH1=" + rig.FilePath("S1.ini").toLatin1() +
                          "\r\nDNCADMINPATH2=" + rig.FilePath("NONE.ini").toLatin1() + "\r\n");
        MessageRecorder messages;
        frmToolsMerge window;
        QCOMPARE(window.findChild<QLabel*>("lblSelectPaths_0")->text(),
                 rig.FilePath("S1.ini").toUpper());
        ChooseSource(window, 2, rig.FilePath("S3.ini"));
        {
            const auto chooser = OnModal([&](QDialog& dialog) {
                SelectedFolderPath = rig.FilePath("MASTER");
                dialog.findChild<QPushButton*>("cmdExport")->click();
                return dialog.result();
            });
            messages.Answer(MsgAnswer::No);  // keep the master that holds the node section
            window.ChooseMaster();
        }
        QCOMPARE(messages.Last().buttons, MsgButtons::YesNo);
        QCOMPARE(rig.ReadFile("MASTER/DNCAdmin.ini"), kTemplate + "[NODE01]\r\nUP_PATH=X\r\n");

        window.findChild<QPushButton*>("cmdMerge")->click();
        QCOMPARE(window.findChild<QLabel*>("StatusBar1_Panel1")->text(),
                 QString("Merge successful, 3 Clients"));
        const QByteArray empty =
            "NODE_ID=\r\nPORT_ID=\r\nPROTOCOL=\r\nDEFAULT_DIR=\r\nDEFAULT_UP_DIR=\r\n";
        const QByteArray merged =
            kTemplate +
            "[NODE01]\r\nUP_PATH=X\r\n[CNC_LIST]\r\n1=A\r\n2=B\r\n3=C\r\n[A]\r\n"
            "NODE_ID=01\r\nPORT_ID=7\r\nPROTOCOL=\r\nDEFAULT_DIR=\r\n"
            "DEFAULT_UP_DIR=\r\n[B]\r\n" +
            empty + "[C]\r\n" + empty;
        QCOMPARE(rig.ReadFile("MASTER/DNCAdmin.ini"), merged);

        // A source that cannot be read is never taken for an empty list: the merge is refused
        // with the window's path error, and the master stays as it was.
        messages.Clear();
        rig.WriteFile("BOM.ini", "\xEF\xBB\xBF[CNC_LIST]\r\n1=A\r\n");
        ChooseSource(window, 0, rig.FilePath("BOM.ini"));
        window.findChild<QPushButton*>("cmdMerge")->click();
        const QString pathError = "Path error \"" + WindowsPathText(rig.FilePath("BOM.ini")) + "\"";
        QCOMPARE(messages.Texts(), (QStringList{pathError, pathError}));
        QCOMPARE(messages.Last().title, QString("Merge MASTER DNCAdmin error!"));
        QCOMPARE(window.findChild<QLabel*>("StatusBar1_Panel1")->text(),
                 QString("ERROR! Merge not done"));
        QCOMPARE(rig.ReadFile("MASTER/DNCAdmin.ini"), merged);

        // Clearing the master leaves nothing to merge into.
        window.findChild<QPushButton*>("cmdClear_4")->click();
        QVERIFY(!window.findChild<QPushButton*>("cmdMerge")->isEnabled());

        // Closing keeps the paths for the next time.
        window.reject();
        // Stored as Windows path text, as the chosen file is shown.
        QCOMPARE(ReadIniValue(rig.SettingsPath(), "PATHS", "DNCADMINPATH3", QString()),
                 WindowsPathText(rig.FilePath("S3.ini")));
        QCOMPARE(ReadIniValue(rig.SettingsPath(), "PATHS", "MASTERDNCADMINPATH", "none"),
                 QString("none"));
    }

    // Servers that could not be read are never taken for an empty list.
    void UnreadServers() {
        ExportRig rig;
        DncConnection.Close();
        MessageRecorder messages;
        frmExportClients window;
        auto* servers = window.findChild<QComboBox*>("cboServers1_0");
        QCOMPARE(servers->count(), 0);
        QCOMPARE(servers->placeholderText(), QString("The servers could not be read"));
        QVERIFY(messages.Texts().value(0).startsWith("Error 2#3704"));
    }
};

KESTRUM_TEST(TestDncAdminWindows)
#include "tst_windows.moc"
