// The OS selection window and the rewrite of Program Files folder names.

#include "app/frmOSSelect.h"
#include "app/os_select.h"
#include "base/settings.h"
#include "tests/app/windows_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

}  // namespace

class TestOsSelect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The window shows the stored selection, read without regard to case.
    void opensOnStoredSelection() {
        const char* const rows[][2] = {
            {nullptr, "32"}, {"[ADMIN]\nOS=64\n", "64"}, {"[ADMIN]\nOS=32xp\n", "32XP"}};
        for (const auto& row : rows) {
            auto installation = MakeInstallation(row[0]);
            frmOSSelect window({});
            QCOMPARE(window.SelectedValue(), QString::fromLatin1(row[1]));
        }
    }

    // OK stores the selection and rewrites both files byte for byte: the first folder name
    // of a line only, none without a later backslash on its line, one more CR LF each save.
    void saveRewritesBothFiles() {
        auto installation = MakeInstallation(
            "[ADMIN]\nOS=32\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\"
            "Program Files\\BT\\btman.exe;D:\\Program Files\\b\n");
        installation->WriteFile(QStringLiteral("TolvaneDNC.ini"),
                                CrLf("[TRANSACT]\nPATH=C:\\Program Files\\Tolvane\\Transact\n"
                                     "[CLIENTS]\nMAILBOX=c:\\program files (x86)\\MailBox\n"
                                     "LOG=C:\\Program Files is here\n"));
        MessageRecorder messages;

        QCOMPARE(SaveSelection("optVista7"), 1);
        QCOMPARE(SelectedOs, QStringLiteral("64"));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")),
                 CrLf("[ADMIN]\nOS=64\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\"
                      "PROGRAM FILES (X86)\\BT\\btman.exe;D:\\Program Files\\b\n\n"));
        QCOMPARE(installation->ReadFile(QStringLiteral("TolvaneDNC.ini")),
                 CrLf("[TRANSACT]\nPATH=C:\\PROGRAM FILES (X86)\\Tolvane\\Transact\n"
                      "[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES (X86)\\MailBox\n"
                      "LOG=C:\\Program Files is here\n\n"));

        QCOMPARE(SaveSelection("optXP"), 1);
        QCOMPARE(installation->ReadFile(QStringLiteral("TolvaneDNC.ini")),
                 CrLf("[TRANSACT]\nPATH=C:\\PROGRAM FILES\\Tolvane\\Transact\n"
                      "[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES\\MailBox\n"
                      "LOG=C:\\Program Files is here\n\n\n"));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")),
                 CrLf("[ADMIN]\nOS=32\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\"
                      "PROGRAM FILES\\BT\\btman.exe;D:\\Program Files\\b\n\n\n"));
        QCOMPARE(messages.Count(), 0);
    }

    // A value this program never writes selects no option; OK then stores an empty one.
    void unknownValueSavesNoSelection() {
        auto installation = MakeInstallation("[ADMIN]\nOS=95\nP=C:\\Program Files (x86)\\x\n");
        QCOMPARE(frmOSSelect({}).SelectedValue(), QString());
        QCOMPARE(SaveSelection(nullptr), 1);
        QCOMPARE(SelectedOs, QString());
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")),
                 CrLf("[ADMIN]\nOS=\nP=C:\\PROGRAM FILES\\x\n\n"));
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
