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

// The settings and TolvaneDNC.ini before (nullptr: no file), the selection shown, the option
// clicked, and what is stored: the selection and both files. "\n" stands for CR LF.
struct SaveCase {
    const char *name, *settings, *tolvane, *shown, *option, *os, *settingsAfter, *tolvaneAfter;
};

// clang-format off
const char kBts32[] = "[ADMIN]\nOS=32\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\Program Files\\BT\\btman.exe;D:\\Program Files\\b\n";
const char kBts64[] = "[ADMIN]\nOS=64\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\PROGRAM FILES (X86)\\BT\\btman.exe;D:\\Program Files\\b\n\n";
const char kTolvane[] = "[TRANSACT]\nPATH=C:\\Program Files\\Tolvane\\Transact\n[CLIENTS]\nMAILBOX=c:\\program files (x86)\\MailBox\nLOG=C:\\Program Files is here\n";
const char kTolvane64[] = "[TRANSACT]\nPATH=C:\\PROGRAM FILES (X86)\\Tolvane\\Transact\n[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES (X86)\\MailBox\nLOG=C:\\Program Files is here\n\n";
// The first folder name of a line only, none without a later backslash on its line, one more
// CR LF each save; a value this program never writes selects nothing and OK stores it empty.
const SaveCase kSaves[] = {
    {"32 to 64", kBts32, kTolvane, "32", "optVista7", "64", kBts64, kTolvane64},
    {"64 to 32", kBts64, kTolvane64, "64", "optXP", "32",
     "[ADMIN]\nOS=32\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\PROGRAM FILES\\BT\\btman.exe;D:\\Program Files\\b\n\n\n",
     "[TRANSACT]\nPATH=C:\\PROGRAM FILES\\Tolvane\\Transact\n[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES\\MailBox\nLOG=C:\\Program Files is here\n\n\n"},
    {"no TolvaneDNC.ini", "[ADMIN]\nOS=32\n", nullptr, "32", "optXPMode", "32XP", "[ADMIN]\nOS=32XP\n\n", "\n"},
    {"read in upper case", "[ADMIN]\nOS=32xp\n", nullptr, "32XP", nullptr, "32XP", "[ADMIN]\nOS=32XP\n\n", "\n"},
    {"unknown value", "[ADMIN]\nOS=95\nP=C:\\Program Files (x86)\\x\n", nullptr, "", nullptr, "",
     "[ADMIN]\nOS=\nP=C:\\PROGRAM FILES\\x\n\n", "\n"},
};
// clang-format on

}  // namespace

Q_DECLARE_METATYPE(const SaveCase*)

class TestOsSelect : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The window shows the stored selection; OK stores the one chosen and rewrites the
    // Program Files folder names of both files.
    void save_data() {
        QTest::addColumn<const SaveCase*>("row");
        for (const SaveCase& row : kSaves) {
            QTest::newRow(row.name) << &row;
        }
    }
    void save() {
        QFETCH(const SaveCase*, row);
        auto installation = MakeInstallation(row->settings);
        if (row->tolvane) {
            installation->WriteFile(QStringLiteral("TolvaneDNC.ini"), CrLf(row->tolvane));
        }
        MessageRecorder messages;
        QCOMPARE(frmOSSelect({}).SelectedValue(), QString::fromLatin1(row->shown));
        QCOMPARE(SaveSelection(row->option), 1);
        QCOMPARE(SelectedOs, QString::fromLatin1(row->os));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")), CrLf(row->settingsAfter));
        QCOMPARE(installation->ReadFile(QStringLiteral("TolvaneDNC.ini")), CrLf(row->tolvaneAfter));
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
