// The questions before a server's or the master's DNCAdmin.ini is replaced list what changes
// for the clients; No leaves the file as it was.

#include "base/inifile.h"
#include "base/paths.h"
#include "db/dnc_database.h"
#include "dncadmin/dncadmin_export.h"
#include "dncadmin/dncadmin_merge.h"
#include "dncadmin/folder_selection.h"
#include "dncadmin/frmToolsMerge.h"
#include "tests/check/check_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestReplaceQuestions : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetDatabaseState();
        MasterDncAdminPath.clear();
        DncAdminPaths = {};
    }

    // The export copied into the server's folder (folder selection, mode 0).
    void ServerFile_data() {
        QTest::addColumn<QByteArray>("onDisk");  // the server's DNCAdmin.ini before
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<QString>("question");  // "" when none is asked
        QTest::addColumn<bool>("replaced");
        const QByteArray lathe =
            "[CNC_LIST]\r\n1=LATHE1\r\n[LATHE1]\r\nNODE_ID=01\r\n"
            "PORT_ID=001\r\nPROTOCOL=STANDARD\r\nDEFAULT_DIR=X\r\n"
            "DEFAULT_UP_DIR=X\r\n";
        QTest::newRow("changes, yes")
            << lathe << MsgAnswer::Yes
            << "Replace \"$T\\SRV\\DNCAdmin.ini\"?\n\n1 clients added, 0 removed, 1 changed:\n"
               "added MILL2\nchanged LATHE1: DEFAULT_DIR X -> $T\\L1, DEFAULT_UP_DIR X -> $T\\L1"
            << true;
        QTest::newRow("changes, no") << lathe << MsgAnswer::No << "Replace" << false;
        QTest::newRow("same clients") << QByteArray("<same>") << MsgAnswer::No << "" << true;
        QTest::newRow("no file yet") << QByteArray() << MsgAnswer::No << "" << true;
    }
    void ServerFile() {
        QFETCH(QByteArray, onDisk);
        QFETCH(MsgAnswer, answer);
        QFETCH(QString, question);
        QFETCH(bool, replaced);
        CheckInstallation db;
        db.WriteFile("T.ini", kBase);
        QVERIFY(ExportDncAdmin({"LATHE1", "MILL2", "SHOP"}, db.FilePath("T.ini"),
                               db.FilePath("DNCAdmin.ini"))
                    .Ok);
        QDir(db.Folder()).mkpath("SRV");
        if (onDisk == "<same>") {
            // Other bytes (another base), the same clients.
            onDisk = "[X]\r\n" + db.ReadFile("DNCAdmin.ini");
        }
        if (!onDisk.isEmpty()) {
            db.WriteFile("SRV/DNCAdmin.ini", onDisk);
        }
        MessageRecorder messages;
        messages.Answer(answer);
        SelectedFolderPath = db.FilePath("SRV");
        const ConfirmOutcome outcome = ConfirmFolderSelection(0);
        QCOMPARE(outcome, replaced ? ConfirmOutcome::Close : ConfirmOutcome::StayOpen);
        QCOMPARE(db.ReadFile("SRV/DNCAdmin.ini"), replaced ? db.ReadFile("DNCAdmin.ini") : onDisk);
        QCOMPARE(messages.Count(), question.isEmpty() ? 0 : 1);
        if (!question.isEmpty()) {
            QString text = messages.Last().text;
            // The file is named as the settings store it: Windows path text.
            text.replace(WindowsPathText(db.Folder()), "$T");
            QVERIFY2(text.startsWith(question), qPrintable(text));
            QCOMPARE(messages.Last().buttons, MsgButtons::YesNo);
        }
    }

    // The merge into an existing master asks first; No writes nothing.
    void Master() {
        CheckInstallation db;
        db.WriteFile("T.ini", kBase);
        QVERIFY(
            ExportDncAdmin({"LATHE1", "MILL2"}, db.FilePath("T.ini"), db.FilePath("S1.ini")).Ok);
        QDir(db.Folder()).mkpath("MASTER");
        const QByteArray master = kBase + "[CNC_LIST]\r\n1=OLD\r\n[OLD]\r\nNODE_ID=09\r\n";
        db.WriteFile("MASTER/DNCAdmin.ini", master);
        QVERIFY(
            WriteIniValue("PATHS", "MASTERDNCADMINPATH", db.FilePath("MASTER"), db.SettingsPath()));
        QVERIFY(WriteIniValue("PATHS", "DNCADMINPATH1", db.FilePath("S1.ini"), db.SettingsPath()));
        MessageRecorder messages;
        frmToolsMerge window;
        messages.Answer(MsgAnswer::No);
        window.Merge();
        QCOMPARE(db.ReadFile("MASTER/DNCAdmin.ini"), master);
        QCOMPARE(messages.Count(), 1);
        QVERIFY2(messages.Last().text.endsWith("2 clients added, 1 removed, 0 changed:\n"
                                               "added LATHE1\nadded MILL2\nremoved OLD"),
                 qPrintable(messages.Last().text));
        messages.Answer(MsgAnswer::Yes);
        window.Merge();
        QVERIFY(db.ReadFile("MASTER/DNCAdmin.ini").contains("1=LATHE1\r\n2=MILL2\r\n"));
        // Merged again: the clients stay as they are, nothing to ask.
        window.Merge();
        QCOMPARE(messages.Count(), 2);
    }
};

KESTRUM_TEST(TestReplaceQuestions)

#include "tst_questions.moc"
