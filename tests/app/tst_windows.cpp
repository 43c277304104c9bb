// The main window, help, the About window and the OS selection: their menus and commands,
// and the rewrite of Program Files folder names.

#include "app/CHTMLHelp.h"
#include "app/frmAbout.h"
#include "app/frmHelpViewer.h"
#include "app/frmOSSelect.h"
#include "app/frmSetup.h"
#include "base/folder_select_mode.h"
#include "base/modal.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"
#include "tests/support/widget_probe.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

// Bytes as a test writes them: "\n" stands for CR LF.
QByteArray CrLf(const char* text) {
    return QByteArray(text).replace("\n", "\r\n");
}

// A temporary installation whose Kestrum.ini holds exactly these bytes (none when null).
std::unique_ptr<TempInstallation> MakeInstallation(const char* settings) {
    TempInstallation::Options options;
    if (settings) {
        options.settings = CrLf(settings);
    }
    return std::make_unique<TempInstallation>(options);
}

frmHelpViewer* OpenViewer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* viewer = qobject_cast<frmHelpViewer*>(widget); viewer && viewer->isVisible()) {
            return viewer;
        }
    }
    return nullptr;
}

// The Tools items whose state the OS selection sets, in this order in every row below.
// clang-format off
const char* const kToolsItems[] = {"mnuNodeID", "mnuMasterFolder", "mnuExportDNCAdmin",
    "mnuToolsMerge", "mnuTolvaneMailboxPath", "mnuXPModeMailboxPath", "mnuMasterDNCAdminPath"};
// clang-format on

// "EV" enabled and visible, "E-" enabled and hidden, "DV", "D-".
QString MenuState(const frmSetup& window) {
    QStringList states;
    for (const char* name : kToolsItems) {
        const QAction* action = Child<QAction>(&window, name);
        states << (action ? QString(action->isEnabled() ? 'E' : 'D') +
                                QString(action->isVisible() ? 'V' : '-')
                          : QStringLiteral("??"));
    }
    return states.join(QLatin1Char(' '));
}

// Opens the OS window from the main window, clicks the option (none for nullptr) and OK;
// returns the selection the window showed.
QString SelectOs(frmSetup& main, const char* option) {
    QString shown;
    const ModalHook previous = SetModalHook([&](QDialog& dialog) {
        shown = qobject_cast<frmOSSelect*>(&dialog)->SelectedValue();
        if (option) {
            Child<QRadioButton>(&dialog, option)->click();
        }
        Child<QPushButton>(&dialog, "cmdOK")->click();
        return dialog.result();
    });
    Child<QAction>(&main, "mnuSelectOS")->trigger();
    SetModalHook(previous);
    return shown;
}

// The settings and TolvaneDNC.ini before (nullptr: no file; "<proc>": a link to a /proc file,
// which reads but gets no file beside it; "<folder>": unreadable), the Tools items then, the
// selection shown, the option clicked, and after it: the Tools items (some keep whether they
// were shown), the selection, both files and the messages.
struct SaveCase {
    const char *name, *settings, *tolvane, *menuBefore, *shown, *option, *menu, *os, *settingsAfter,
        *tolvaneAfter, *messages = "";
};

// clang-format off
const char kBts32[] = "[ADMIN]\nOS=32\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\Program Files\\BT\\btman.exe;D:\\Program Files\\b\n";
const char kBts64[] = "[ADMIN]\nOS=64\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\PROGRAM FILES (X86)\\BT\\btman.exe;D:\\Program Files\\b\n\n";
const char kTolvane[] = "[TRANSACT]\nPATH=C:\\Program Files\\Tolvane\\Transact\n[CLIENTS]\nMAILBOX=c:\\program files (x86)\\MailBox\nLOG=C:\\Program Files is here\n";
const char kTolvane64[] = "[TRANSACT]\nPATH=C:\\PROGRAM FILES (X86)\\Tolvane\\Transact\n[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES (X86)\\MailBox\nLOG=C:\\Program Files is here\n\n";
// The first folder name of a line only, none without a later backslash on its line, one more
// CR LF each save; a value this program never writes selects nothing and OK stores it empty.
const SaveCase kSaves[] = {
    {"32 to 64", kBts32, kTolvane, "EV EV EV EV EV D- D-", "32", "optVista7", "EV EV EV EV EV D- D-", "64", kBts64, kTolvane64},
    {"64 to 32", kBts64, kTolvane64, "EV EV EV EV EV D- DV", "64", "optXP", "EV EV EV EV EV D- D-", "32",
     "[ADMIN]\nOS=32\n[BTS]\nLOG=C:\\Program Files\nBTMANAGERPATH=C:\\PROGRAM FILES\\BT\\btman.exe;D:\\Program Files\\b\n\n\n",
     "[TRANSACT]\nPATH=C:\\PROGRAM FILES\\Tolvane\\Transact\n[CLIENTS]\nMAILBOX=c:\\PROGRAM FILES\\MailBox\nLOG=C:\\Program Files is here\n\n\n"},
    {"no TolvaneDNC.ini", "[ADMIN]\nOS=32\n", nullptr, "EV EV EV EV EV D- D-", "32", "optXPMode", "EV D- EV D- D- EV D-", "32XP", "[ADMIN]\nOS=32XP\n\n", "\n"},
    {"XP Mode read in upper case, to 64", "[ADMIN]\nOS=32xp\n", nullptr, "EV D- EV D- D- EV EV", "32XP", "optVista7", "EV EV EV EV EV D- DV", "64", "[ADMIN]\nOS=64\n\n", "\n"},
    {"unknown value", "[ADMIN]\nOS=95\nP=C:\\Program Files (x86)\\x\n", nullptr, "EV EV EV EV EV EV EV", "", nullptr, "DV DV DV DV DV D- D-", "",
     "[ADMIN]\nOS=\nP=C:\\PROGRAM FILES\\x\n\n", "\n"},
    {"empty, to 32", "[ADMIN]\nOS=\n", nullptr, "DV DV DV DV DV D- D-", "32", "optXP", "EV EV EV EV EV D- D-", "32", "[ADMIN]\nOS=32\n\n", "\n"},
    // A TolvaneDNC.ini that cannot be replaced or read is kept, never replaced by an empty one.
    {"TolvaneDNC.ini not replaceable", "[ADMIN]\nOS=32\n", "<proc>", "EV EV EV EV EV D- D-", "32", "optVista7", "EV EV EV EV EV D- D-", "64", "[ADMIN]\nOS=64\n\n", "<proc>",
     "Error opening file \"TolvaneDNC.ini\"|TolvaneDNC.ini write error!"},
    {"TolvaneDNC.ini a folder", "[ADMIN]\nOS=32\n", "<folder>", "EV EV EV EV EV D- D-", "32", "optVista7", "EV EV EV EV EV D- D-", "64", "[ADMIN]\nOS=64\n\n", "<folder>",
     "TolvaneDNC.ini write error!"},
    {"no settings file, to XP Mode", nullptr, nullptr, "DV DV DV DV DV D- D-", "32", "optXPMode", "EV D- EV D- D- EV D-", "32XP", "[ADMIN]\nOS=32XP\n\n", "\n"},
};
// clang-format on

}  // namespace

Q_DECLARE_METATYPE(const SaveCase*)

class TestWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each command opens its window; the BTS menu is offered with its flag. The folder selection
    // opens in its mode, which is put back afterwards; the node id of a server check is forgotten
    // after the windows that make one. The client window opens port setup and the directories on
    // the client chosen in it. Without a registry there is no system information tool to start.
    void commandsOpenTheirWindows() {
        // The BTS window looks at its port at once; COM5 is no device.
        auto installation = MakeInstallation("[ADMIN]\nOS=64\n[COMPORTS]\nCOM5=/nonexistent/tty\n");
        MessageRecorder messages;
        QStringList started;
        const ProgramStarter starter = SetProgramStarter([&](const QString& p, const QStringList&) {
            started << p;
            return true;
        });
        const auto restore = qScopeGuard([starter] { SetProgramStarter(starter); });
        AddServer(QStringLiteral("CNCSRV1"));
        QVERIFY(AddClientMDB(QStringLiteral("MILL1"), QStringLiteral("CNCSRV1")));
        BtsMenuFlag = QStringLiteral("TRUE");
        frmSetup main;
        QVERIFY(Child<QAction>(&main, "menuBTS")->isVisible());
        const char* const rows[][2] = {
            {"mnuServer", "frmServers"},
            {"mnuClient", "frmMakeClients, frmPortSetup MILL1, frmDirectories MILL1"},
            {"mnuServerClient", "frmClients"},
            {"mnuSelectOS", "frmOSSelect"},
            {"mnuAbout", "frmAbout, System Information Is Unavailable At This Time"},
            {"menuBTS", "frmBTS, Com Error, COM5 didn't open."},
            {"mnuClone", "frmCloneClients"},
            {"mnuNodeID", "frmToolsNodePortID, node cleared"},
            {"mnuExportDNCAdmin", "frmExportClients"},
            {"mnuToolsMerge", "frmToolsMerge"},
            {"mnuMasterFolder", "frmExportDNCAdmin 4"},
            {"mnuTolvaneMailboxPath", "frmExportDNCAdmin 3, node cleared"},
            {"mnuCheckConfig", "frmCheckConfig"},
            {"mnuChangeLog", "frmChangeLog"}};
        for (const auto& row : rows) {
            ServerNodeId = QStringLiteral("TOOL");
            FolderSelectMode = 99;
            QStringList opened;
            const ModalHook previous = SetModalHook([&](QDialog& dialog) {
                const QString name = QString::fromLatin1(dialog.metaObject()->className());
                opened << (name == "frmExportDNCAdmin"
                               ? name + ' ' + QString::number(FolderSelectMode)
                           : name == "frmPortSetup" || name == "frmDirectories"
                               ? name + ' ' + CurrentClientName
                               : name);
                if (name == "frmAbout") {
                    Child<QPushButton>(&dialog, "cmdSysInfo")->click();
                } else if (name == "frmMakeClients") {
                    Child<QListWidget>(&dialog, "lstClients")->setCurrentRow(0);
                    Child<QAction>(&dialog, "mnuClientProperties")->trigger();
                    Child<QAction>(&dialog, "mnuDirectories")->trigger();
                    (void)QTest::qWaitFor([&] { return opened.size() == 3; });
                }
                return int(QDialog::Rejected);
            });
            Child<QAction>(&main, row[0])->trigger();
            SetModalHook(previous);
            if (ServerNodeId.isEmpty()) {
                opened << "node cleared";
            }
            opened += messages.Texts();
            messages.Clear();
            QCOMPARE(opened.join(", "), QString::fromLatin1(row[1]));
            QVERIFY(FolderSelectMode == 0 || !opened.first().startsWith("frmExportDNCAdmin"));
        }
        QCOMPARE(started, QStringList());

        // Help: a missing file is named. The shipped one opens in the viewer (found under its
        // upper-cased settings name), a second command reuses it, and closing the main window
        // closes it.
        HelpFileNames = QStringList{QStringLiteral("KESTRUM.HTML")};
        main.show();
        Child<QAction>(&main, "mnuKestrum")->trigger();
        const QString file =
            QDir::toNativeSeparators(installation->FilePath(QStringLiteral("KESTRUM.HTML")));
        QCOMPARE(messages.Texts(), QStringList{"Help File '" + file + "' not found."});
        QCOMPARE(main.Help()->HelpWindow(), quintptr(0));
        QVERIFY(QFile::copy(QStringLiteral(KESTRUM_SOURCE_DIR "/help/Kestrum.html"),
                            installation->FilePath(QStringLiteral("Kestrum.html"))));
        messages.Clear();
        Child<QAction>(&main, "mnuKestrum")->trigger();
        QCOMPARE(messages.Count(), 0);
        QPointer<frmHelpViewer> viewer = OpenViewer();
        QVERIFY(viewer);
        QCOMPARE(main.Help()->HelpWindow(), reinterpret_cast<quintptr>(viewer.data()));
        QVERIFY(Child<QTreeWidget>(viewer, "treContents")->topLevelItemCount() > 0);
        Child<QAction>(&main, "mnuKestrum")->trigger();
        QCOMPARE(OpenViewer(), viewer.data());
        main.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!viewer);
        QCOMPARE(main.Help(), nullptr);
    }

    // The Tools items follow the stored selection. The window shows it; OK stores the one chosen
    // and rewrites the Program Files folder names of both files.
    void save_data() {
        QTest::addColumn<const SaveCase*>("row");
        for (const SaveCase& row : kSaves) {
            QTest::newRow(row.name) << &row;
        }
    }
    void save() {
        QFETCH(const SaveCase*, row);
        auto installation = MakeInstallation(row->settings);
        const QString tolvane = installation->FilePath(QStringLiteral("TolvaneDNC.ini"));
        const QByteArray before(row->tolvane);
#ifdef Q_OS_WIN
        if (before == "<proc>") {
            QSKIP("no /proc on Windows");
        }
#endif
        if ((before == "<proc>" && !QFile::link(QStringLiteral("/proc/version"), tolvane)) ||
            (before == "<folder>" && !QDir().mkdir(tolvane))) {
            QSKIP("no symbolic link to /proc here");
        }
        if (!before.isNull() && !before.startsWith('<')) {
            installation->WriteFile(QStringLiteral("TolvaneDNC.ini"), CrLf(row->tolvane));
        }
        MessageRecorder messages;
        BtsMenuFlag = QStringLiteral("FALSE");
        frmSetup main;
        QCOMPARE(MenuState(main), QString::fromLatin1(row->menuBefore));
        QVERIFY(!Child<QAction>(&main, "menuBTS")->isVisible());
        QCOMPARE(SelectOs(main, row->option), QString::fromLatin1(row->shown));
        QCOMPARE(MenuState(main), QString::fromLatin1(row->menu));
        QCOMPARE(SelectedOs, QString::fromLatin1(row->os));
        QCOMPARE(installation->ReadFile(QStringLiteral("Kestrum.ini")), CrLf(row->settingsAfter));
        const QFileInfo after(tolvane);
        QCOMPARE(after.isSymLink() ? "<proc>"
                 : after.isDir()   ? "<folder>"
                                   : installation->ReadFile(QStringLiteral("TolvaneDNC.ini")),
                 CrLf(row->tolvaneAfter));
        QCOMPARE(messages.Texts().join('|').replace(QDir::toNativeSeparators(tolvane),
                                                    QStringLiteral("TolvaneDNC.ini")),
                 QString::fromLatin1(row->messages));
    }
};

KESTRUM_TEST(TestWindows)
#include "tst_windows.moc"
