// The OS selection window and the rewrite of Program Files folder names.

#include "app/frmOSSelect.h"
#include "app/os_select.h"
#include "app/settings.h"
#include "tests/app/windows_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Opens the window, clicks the option (none for nullptr) and OK; returns how often the
// main window was called back.
int SaveSelection(const char* option) {
    int callbacks = 0;
    frmOSSelect window([&] { ++callbacks; });
    if (option) {
        Child<QRadioButton>(&window, option)->click();
    }
    Child<QPushButton>(&window, "cmdOK")->click();
    return callbacks;
}

const char* const kTolvane =
    "[TRANSACT]\n"
    "PATH=C:\\Program Files\\Tolvane\\DNC\\Transact\n"
    "[CLIENTS]\n"
    "MAILBOX=c:\\program files (x86)\\Tolvane\\MailBox\n";

}  // namespace

class TestOsSelect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rewriteText_data() {
        QTest::addColumn<QString>("os");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("to x86") << "64" << CrLf("A=C:\\Program Files\\Tolvane\\DNC\n")
                                << CrLf("A=C:\\PROGRAM FILES (X86)\\Tolvane\\DNC\n");
        QTest::newRow("back to xp") << "32" << CrLf("A=C:\\PROGRAM FILES (X86)\\Tolvane\\DNC\n")
                                    << CrLf("A=C:\\PROGRAM FILES\\Tolvane\\DNC\n");
        QTest::newRow("no selection")
            << "" << CrLf("A=C:\\Program Files (x86)\\x\n") << CrLf("A=C:\\PROGRAM FILES\\x\n");
        QTest::newRow("first of two on a line")
            << "64" << CrLf("A=C:\\Program Files\\a;D:\\Program Files\\b\n")
            << CrLf("A=C:\\PROGRAM FILES (X86)\\a;D:\\Program Files\\b\n");
        QTest::newRow("folder name without a later backslash")
            << "64" << CrLf("A=C:\\Program Files\nB=D:\\data\\x\n")
            << CrLf("A=C:\\Program Files\nB=D:\\data\\x\n");
        QTest::newRow("no backslash after it at all")
            << "64" << CrLf("A=C:\\Program Files is here\n")
            << CrLf("A=C:\\Program Files is here\n");
        QTest::newRow("other lines still rewritten")
            << "64" << CrLf("A=C:\\Program Files\nB=C:\\Program Files\\b\n")
            << CrLf("A=C:\\Program Files\nB=C:\\PROGRAM FILES (X86)\\b\n");
        QTest::newRow("latin-1 kept") << "64" << CrLf("\xc4=C:\\Program Files\\M\xfcller\n")
                                      << CrLf("\xc4=C:\\PROGRAM FILES (X86)\\M\xfcller\n");
        QTest::newRow("empty") << "64" << QByteArray() << QByteArray();
    }
    void rewriteText() {
        QFETCH(QString, os);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QCOMPARE(RewriteProgramFilesText(QString::fromLatin1(text), os).toLatin1(), expected);
    }

    void windowControls() {
        auto installation = MakeInstallation(nullptr);
        frmOSSelect window({});
        QCOMPARE(window.windowTitle(), QStringLiteral("Select OS"));
        QCOMPARE(Child<QGroupBox>(&window, "fraSelectOS")->title(),
                 QStringLiteral("Select the Windows Operating System being used "));
        QCOMPARE(Child<QRadioButton>(&window, "optXP")->toolTip(),
                 QStringLiteral("XP all editions "));
    }

    void loadSelects_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("selected");
        QTest::newRow("missing key means XP") << QByteArray() << "32";
        QTest::newRow("32") << CrLf("[ADMIN]\nOS=32\n") << "32";
        QTest::newRow("64") << CrLf("[ADMIN]\nOS=64\n") << "64";
        QTest::newRow("32XP") << CrLf("[ADMIN]\nOS=32XP\n") << "32XP";
        QTest::newRow("unknown selects none") << CrLf("[ADMIN]\nOS=95\n") << "";
    }
    void loadSelects() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, selected);
        auto installation = MakeInstallation(nullptr);
        installation->WriteFile(QStringLiteral("Kestrum.ini"), settings);
        frmOSSelect window({});
        QCOMPARE(window.SelectedValue(), selected);
    }

    // OK stores the selection and rewrites both files byte for byte, each save adding one
    // empty line at the end.
    void saveRewritesBothFiles() {
        auto installation = MakeInstallation(
            "[ADMIN]\nOS=32\n[BTS]\nBTMANAGERPATH=C:\\Program Files\\BT\\btman.exe\n");
        installation->WriteFile(QStringLiteral("TolvaneDNC.ini"), CrLf(kTolvane));
        MessageRecorder messages;

        QCOMPARE(SaveSelection("optVista7"), 1);
        QCOMPARE(SelectedOs, QStringLiteral("64"));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")),
                 CrLf("[ADMIN]\nOS=64\n[BTS]\nBTMANAGERPATH=C:\\PROGRAM FILES "
                      "(X86)\\BT\\btman.exe\n\n"));
        QCOMPARE(installation->ReadFile(QStringLiteral("TolvaneDNC.ini")),
                 CrLf("[TRANSACT]\nPATH=C:\\PROGRAM FILES (X86)\\Tolvane\\DNC\\Transact\n"
                      "[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES (X86)\\Tolvane\\MailBox\n\n"));

        QCOMPARE(SaveSelection("optXP"), 1);
        QCOMPARE(installation->ReadFile(QStringLiteral("TolvaneDNC.ini")),
                 CrLf("[TRANSACT]\nPATH=C:\\PROGRAM FILES\\Tolvane\\DNC\\Transact\n"
                      "[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES\\Tolvane\\MailBox\n\n\n"));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")),
                 CrLf("[ADMIN]\nOS=32\n[BTS]\nBTMANAGERPATH=C:\\PROGRAM "
                      "FILES\\BT\\btman.exe\n\n\n"));
        QCOMPARE(messages.Count(), 0);
    }

    void noTolvaneIniGivesOneEmptyLine() {
        auto installation = MakeInstallation("[ADMIN]\nOS=32\n");
        MessageRecorder messages;
        QCOMPARE(SaveSelection("optXPMode"), 1);
        QCOMPARE(installation->ReadFile(QStringLiteral("TolvaneDNC.ini")), QByteArray("\r\n"));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")),
                 CrLf("[ADMIN]\nOS=32XP\n\n"));
        QCOMPARE(messages.Count(), 0);
    }

    // A file that reads but cannot be replaced: both messages, and the selection still
    // applies to the settings file and the menu.
    void writeFailureShowsMessages() {
        auto installation = MakeInstallation("[ADMIN]\nOS=32\n");
        const QString tolvane = installation->FilePath(QStringLiteral("TolvaneDNC.ini"));
        // A file of a read-only file system: readable, and no file can be made beside it.
        if (!QFile::link(QStringLiteral("/proc/version"), tolvane)) {
            QSKIP("no symbolic link to /proc here");
        }
        MessageRecorder messages;
        QCOMPARE(SaveSelection("optVista7"), 1);
        QCOMPARE(messages.Count(), 2);
        QCOMPARE(messages.Messages().at(0).text,
                 QStringLiteral("Error opening file \"") + tolvane + QStringLiteral("\""));
        QCOMPARE(messages.Messages().at(1).text, tolvane + QStringLiteral(" write error!"));
        QCOMPARE(messages.Messages().at(1).title, QStringLiteral("Write error!"));
        QCOMPARE(messages.Messages().at(1).icon, MsgIcon::Critical);
        QCOMPARE(messages.Messages().at(1).buttons, MsgButtons::Ok);
        QCOMPARE(SelectedOs, QStringLiteral("64"));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")), CrLf("[ADMIN]\nOS=64\n\n"));
    }

    // A file that exists but cannot be read is never replaced by an empty one.
    void unreadableFileIsKept() {
        auto installation = MakeInstallation(nullptr);
        const QString folder = installation->FilePath(QStringLiteral("TolvaneDNC.ini"));
        QVERIFY(QDir().mkdir(folder));  // a folder of that name cannot be read as a file
        MessageRecorder messages;
        QVERIFY(RewriteProgramFilesPaths(folder, QStringLiteral("64")));
        QCOMPARE(messages.Texts(), QStringList{folder + QStringLiteral(" write error!")});
        QVERIFY(QFileInfo(folder).isDir());
    }
};

KESTRUM_TEST(TestOsSelect)
#include "tst_windows_os_select.moc"
