// The main window: its menus, the Tools items for each OS selection, and the commands.

#include "app/folder_select_mode.h"
#include "app/frmSetup.h"
#include "app/modal.h"
#include "app/settings.h"
#include "db/dnc_database.h"
#include "tests/app/windows_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/modal_driver.h"
#include "tests/support/test_main.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace {

// The Tools items whose state the OS selection sets, in this order in every row below.
const char* const kToolsItems[] = {"mnuNodeID",
                                   "mnuMasterFolder",
                                   "mnuExportDNCAdmin",
                                   "mnuToolsMerge",
                                   "mnuTolvaneMailboxPath",
                                   "mnuXPModeMailboxPath",
                                   "mnuMasterDNCAdminPath"};

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

// Opens frmOSSelect from the main window, picks an option and presses OK.
bool SelectOsThroughWindow(frmSetup& window, const char* option) {
    auto outcome =
        WhenModalWidget([](QWidget* w) { return w->objectName() == QLatin1String("frmOSSelect"); },
                        [option](QWidget* dialog) {
                            Child<QRadioButton>(dialog, option)->click();
                            Child<QPushButton>(dialog, "cmdOK")->click();
                        },
                        QStringLiteral("frmOSSelect"));
    Child<QAction>(&window, "mnuSelectOS")->trigger();
    return outcome->seen && outcome->failure.isEmpty();
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void captions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        const char* const rows[][2] = {
            {"mnuServer", "&DNC Server"},
            {"mnuClient", "D&NC Client"},
            {"mnuClone", "&Clone Client"},
            {"mnuServerClient", "&Move Client"},
            {"menuBTS", "&BTS"},
            {"mnuSelectOS", "&Select OS"},
            {"mnuNodeID", "&Node\\Port ID"},
            {"mnuMasterDNCAdminPath", "&Master DNCAdmin path"},
            {"mnuMasterFolder", "&Master Folder path"},
            {"mnuExportDNCAdmin", "&Export Clients to DNCAdmin "},
            {"mnuToolsMerge", "M&erge DNCAdmin(s) to Master DNCAdmin"},
            {"mnuXPModeMailboxPath", "&XPMode Master Mailbox path"},
            {"mnuTolvaneMailboxPath", "T&olvane Master Mailbox path"},
            {"mnuAbout", "&About"},
            {"mnuKestrum", "H&elp on Kestrum"},
        };
        for (const auto& row : rows) {
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
        }
    }
    void captions() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        auto installation = MakeInstallation(nullptr);
        frmSetup window;
        const QAction* action = window.findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(action->text(), caption);
    }

    void btsMenu_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<bool>("visible");
        QTest::newRow("TRUE") << "TRUE" << true;
        QTest::newRow("FALSE") << "FALSE" << false;
    }
    void btsMenu() {
        QFETCH(QString, flag);
        QFETCH(bool, visible);
        auto installation = MakeInstallation(nullptr);
        BtsMenuFlag = flag;  // as start-up read it (upper case)
        frmSetup window;
        QCOMPARE(Child<QAction>(&window, "menuBTS")->isVisible(), visible);
    }

    // The Tools items for each stored selection, in the order of kToolsItems.
    void toolsMenu_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("expected");
        QTest::newRow("32XP") << CrLf("[ADMIN]\nOS=32XP\n") << "EV D- EV D- D- EV EV";
        QTest::newRow("32xp read in upper case")
            << CrLf("[ADMIN]\nOS=32xp\n") << "EV D- EV D- D- EV EV";
        QTest::newRow("64") << CrLf("[ADMIN]\nOS=64\n") << "EV EV EV EV EV D- DV";
        QTest::newRow("32") << CrLf("[ADMIN]\nOS=32\n") << "EV EV EV EV EV D- D-";
        QTest::newRow("empty") << CrLf("[ADMIN]\nOS=\n") << "DV DV DV DV DV D- D-";
        QTest::newRow("key missing")
            << CrLf("[HELP]\nHELPFILENAME=Kestrum.html\n") << "DV DV DV DV DV D- D-";
        QTest::newRow("no settings file") << QByteArray() << "DV DV DV DV DV D- D-";
        QTest::newRow("unknown value untouched")
            << CrLf("[ADMIN]\nOS=95\n") << "EV EV EV EV EV EV EV";
    }
    void toolsMenu() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, expected);
        auto installation = MakeInstallation(nullptr);
        if (!settings.isEmpty()) {
            installation->WriteFile(QStringLiteral("Kestrum.ini"), settings);
        }
        frmSetup window;
        QCOMPARE(MenuState(window), expected);
        QVERIFY(Child<QAction>(&window, "mnuSelectOS")->isEnabled());
        QVERIFY(Child<QAction>(&window, "mnuSelectOS")->isVisible());
    }

    // XP Mode hides the master folder items; choosing Vista-Windows 7 in the selection window
    // brings them back, hides the XPMode item and leaves the master DNCAdmin item visible
    // but disabled.
    void switchFromXPModeTo64() {
        auto installation = MakeInstallation("[ADMIN]\nOS=32XP\n");
        frmSetup window;
        QCOMPARE(MenuState(window), QStringLiteral("EV D- EV D- D- EV EV"));
        QVERIFY(SelectOsThroughWindow(window, "optVista7"));
        QCOMPARE(SelectedOs, QStringLiteral("64"));
        QCOMPARE(MenuState(window), QStringLiteral("EV EV EV EV EV D- DV"));
        QCOMPARE(ReadIniValue(SettingsFileName, "ADMIN", "OS", "none"), QStringLiteral("64"));
    }

    // Which window each command opens (none yet for the windows still to come).
    void commandsOpenTheirWindows_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("window");
        QTest::newRow("server") << "mnuServer"
                                << "frmServers";
        QTest::newRow("select os") << "mnuSelectOS"
                                   << "frmOSSelect";
        QTest::newRow("about") << "mnuAbout"
                               << "frmAbout";
        QTest::newRow("client") << "mnuClient"
                                << "";
        QTest::newRow("master folder") << "mnuMasterFolder"
                                       << "";
    }
    void commandsOpenTheirWindows() {
        QFETCH(QString, item);
        QFETCH(QString, window);
        auto installation = MakeInstallation("[ADMIN]\nOS=64\n");
        frmSetup main;
        QStringList opened;
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            opened << QString::fromLatin1(dialog.metaObject()->className());
            return int(QDialog::Rejected);
        });
        main.findChild<QAction*>(item)->trigger();
        SetModalHook(previous);
        QCOMPARE(opened, window.isEmpty() ? QStringList() : QStringList{window});
    }

    // The mailbox path command puts the folder-selection mode back and forgets the node.
    void folderSelectionCommandResetsMode() {
        auto installation = MakeInstallation("[ADMIN]\nOS=64\n");
        frmSetup window;
        ServerNodeId = QStringLiteral("TOOL");
        FolderSelectMode = 99;
        Child<QAction>(&window, "mnuTolvaneMailboxPath")->trigger();
        QCOMPARE(FolderSelectMode, qint16(0));
        QCOMPARE(ServerNodeId, QString());
    }
};

KESTRUM_TEST(TestMainWindow)
#include "tst_windows_main.moc"
