// The main window: its menus, the Tools items for each OS selection, and the commands.

#include "app/frmSetup.h"
#include "base/folder_select_mode.h"
#include "base/modal.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "tests/app/windows_fixture.h"
#include "tests/support/test_main.h"

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {

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

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void btsMenuOnlyWithFlag() {
        auto installation = MakeInstallation(nullptr);
        for (const bool on : {true, false}) {
            BtsMenuFlag = on ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            frmSetup window;
            QCOMPARE(Child<QAction>(&window, "menuBTS")->isVisible(), on);
        }
    }

    // The Tools items for each stored selection, in the order of kToolsItems.
    void toolsMenu_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("expected");
        const char* const rows[][3] = {
            {"32XP", "[ADMIN]\nOS=32XP\n", "EV D- EV D- D- EV EV"},
            {"32xp read in upper case", "[ADMIN]\nOS=32xp\n", "EV D- EV D- D- EV EV"},
            {"64", "[ADMIN]\nOS=64\n", "EV EV EV EV EV D- DV"},
            {"32", "[ADMIN]\nOS=32\n", "EV EV EV EV EV D- D-"},
            {"empty", "[ADMIN]\nOS=\n", "DV DV DV DV DV D- D-"},
            {"no settings file", nullptr, "DV DV DV DV DV D- D-"},
            {"unknown value untouched", "[ADMIN]\nOS=95\n", "EV EV EV EV EV EV EV"},
        };
        for (const auto& row : rows) {
            QTest::newRow(row[0]) << QByteArray(row[1]) << QString::fromLatin1(row[2]);
        }
    }
    void toolsMenu() {
        QFETCH(QByteArray, settings);
        QFETCH(QString, expected);
        auto installation = MakeInstallation(settings.isNull() ? nullptr : settings.constData());
        frmSetup window;
        QCOMPARE(MenuState(window), expected);
    }

    // Choosing Vista-Windows 7 after XP Mode: the main window's Tools items follow at once.
    void switchFromXPModeTo64() {
        auto installation = MakeInstallation("[ADMIN]\nOS=32XP\n");
        frmSetup window;
        const ModalHook previous = SetModalHook([](QDialog& dialog) {
            Child<QRadioButton>(&dialog, "optVista7")->click();
            Child<QPushButton>(&dialog, "cmdOK")->click();
            return dialog.result();
        });
        Child<QAction>(&window, "mnuSelectOS")->trigger();
        SetModalHook(previous);
        QCOMPARE(MenuState(window), QStringLiteral("EV EV EV EV EV D- DV"));
    }

    // Each command opens its window. The folder selection opens in its mode, which is put
    // back afterwards; the node id of a server check is forgotten after the windows that make one.
    void commandsOpenTheirWindows() {
        auto installation = MakeInstallation("[ADMIN]\nOS=64\n");
        frmSetup main;
        const char* const rows[][2] = {
            {"mnuServer", "frmServers"},
            {"mnuClient", "frmMakeClients"},
            {"mnuServerClient", "frmClients"},
            {"mnuSelectOS", "frmOSSelect"},
            {"mnuAbout", "frmAbout"},
            {"menuBTS", "frmBTS"},
            {"mnuClone", "frmCloneClients"},
            {"mnuNodeID", "frmToolsNodePortID, node cleared"},
            {"mnuExportDNCAdmin", "frmExportClients"},
            {"mnuToolsMerge", "frmToolsMerge"},
            {"mnuMasterFolder", "frmExportDNCAdmin 4"},
            {"mnuTolvaneMailboxPath", "frmExportDNCAdmin 3, node cleared"}};
        for (const auto& row : rows) {
            ServerNodeId = QStringLiteral("TOOL");
            FolderSelectMode = 99;
            QStringList opened;
            const ModalHook previous = SetModalHook([&](QDialog& dialog) {
                const QString name = QString::fromLatin1(dialog.metaObject()->className());
                opened << (name == "frmExportDNCAdmin"
                               ? name + ' ' + QString::number(FolderSelectMode)
                               : name);
                return int(QDialog::Rejected);
            });
            Child<QAction>(&main, row[0])->trigger();
            SetModalHook(previous);
            if (ServerNodeId.isEmpty()) {
                opened << "node cleared";
            }
            QCOMPARE(opened.join(", "), QString::fromLatin1(row[1]));
            QVERIFY(FolderSelectMode == 0 || !opened.first().startsWith("frmExportDNCAdmin"));
        }
    }

    // The client window opens port setup and the directories on the client chosen in it.
    void clientWindowOpensSetupWindows() {
        auto installation = MakeInstallation("[ADMIN]\nOS=64\n");
        AddServer(QStringLiteral("CNCSRV1"));
        QVERIFY(AddClientMDB(QStringLiteral("MILL1"), QStringLiteral("CNCSRV1")));
        frmSetup main;
        QStringList opened;
        QString client;
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            opened << QString::fromLatin1(dialog.metaObject()->className());
            if (opened.size() > 1) {
                client = CurrentClientName;
                return int(QDialog::Rejected);
            }
            auto* list = dialog.findChild<QListWidget*>(QStringLiteral("lstClients"));
            if (list && list->count() > 0) {
                list->setCurrentRow(0);
                Child<QAction>(&dialog, "mnuClientProperties")->trigger();
                Child<QAction>(&dialog, "mnuDirectories")->trigger();
                (void)QTest::qWaitFor([&] { return opened.size() == 3; });
            }
            return int(QDialog::Rejected);
        });
        Child<QAction>(&main, "mnuClient")->trigger();
        SetModalHook(previous);
        QCOMPARE(opened, QStringList({"frmMakeClients", "frmPortSetup", "frmDirectories"}));
        QCOMPARE(client, QStringLiteral("MILL1"));
    }
};

KESTRUM_TEST(TestMainWindow)
#include "tst_windows_main.moc"
