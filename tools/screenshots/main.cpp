// kestrum-screenshots <folder>: shows the windows on a sample installation and saves a
// picture of each in the folder: the main window with its Tools menu open, the server
// window, the OS selection, About and the BTS windows. Needs a real X display (scripts/screenshots
// runs it under xvfb-run): the open menu is a window of its own and only a screen grab sees it.

#include "admin/frmServers.h"
#include "app/frmAbout.h"
#include "app/frmOSSelect.h"
#include "app/frmSetup.h"
#include "app/startup.h"
#include "base/settings.h"
#include "bts/frmBTS.h"
#include "bts/frmBTSMan.h"
#include "bts/frmConfigureBaud.h"
#include "bts/frmInstructions.h"
#include "components/folder_view.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "tools/btssim/simulated_lines.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <cstdio>

namespace {

QString outFolder;

void Settle(int ms = 300) {
    QTest::qWait(ms);
}

// Saves the screen area of these widgets (their union) under name.
bool Grab(const QString& name, std::initializer_list<const QWidget*> widgets) {
    QRect area;
    for (const QWidget* w : widgets) {
        area = area.united(w->frameGeometry());
    }
    area.adjust(-4, -4, 4, 4);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                      area.width(), area.height());
    const QString file = QDir(outFolder).filePath(name);
    const bool saved = shot.save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrum-screenshots <folder>\n");
        return 2;
    }
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "kestrum-screenshots needs an X display (run it under xvfb-run)\n");
        return 2;
    }
    outFolder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outFolder);

    // A sample installation: shipped settings with Vista-Windows 7 chosen, a few servers,
    // and a hosts file that names some computers of the shop floor.
    QTemporaryDir folder;
    if (!folder.isValid() || !CreateDatabaseFile(folder.path())) {
        return 1;
    }
    QFile::copy(QStringLiteral(KESTRUM_SOURCE_DIR "/dist/Kestrum.ini"),
                QDir(folder.path()).filePath(QStringLiteral("Kestrum.ini")));
    QFile hosts(QDir(folder.path()).filePath(QStringLiteral("hosts")));
    if (hosts.open(QIODevice::WriteOnly)) {
        hosts.write("10.1.1.2 cncsrv2 # Accounts\n10.1.1.3 CNCSRV3\n10.1.1.7 cell7.plant.local\n");
        hosts.close();
    }
    FolderTreeModel::SetHostsFile(hosts.fileName());
    SetProgramFolder(folder.path());
    SetComputerNameSource([]() -> std::optional<QString> { return QStringLiteral("CNCSRV1"); });
    if (StartUp() != StartUpOutcome::ShowMainWindow) {
        return 1;
    }
    WriteIniValue(QStringLiteral("ADMIN"), QStringLiteral("OS"), QStringLiteral("64"),
                  SettingsFileName);
    for (const char* server : {"DEFAULT SERVER", "CNCSRV1", "CNCSRV2"}) {
        AddServer(QLatin1String(server));
    }

    bool ok = true;
    frmSetup main;
    main.move(20, 20);
    main.show();
    Settle();
    auto* tools = main.findChild<QMenu*>(QStringLiteral("mnuTools"));
    main.menuBar()->setActiveAction(tools->menuAction());
    Settle();
    ok &= Grab(QStringLiteral("main-window.png"), {&main, tools});
    tools->close();
    Settle();

    frmServers servers(&main);
    servers.move(40, 220);
    servers.show();
    auto* tree = servers.findChild<FolderView*>(QStringLiteral("FolderView1"));
    ok &= QTest::qWaitFor([tree] { return tree->Model()->IsNetworkListed(); });
    tree->SelectFolder(QStringLiteral("Network\\Entire Network\\WORKGROUP\\Accounts (cncsrv2)"));
    Settle();
    ok &= Grab(QStringLiteral("servers.png"), {&servers});
    servers.close();

    frmOSSelect select([] {}, &main);
    select.move(40, 220);
    select.show();
    Settle();
    ok &= Grab(QStringLiteral("os-select.png"), {&select});
    select.close();

    frmAbout about(&main);
    about.move(40, 220);
    about.show();
    Settle();
    ok &= Grab(QStringLiteral("about.png"), {&about});
    about.close();

    // The BTS windows, with a simulated adapter on COM5 and two clients of CNCSRV1.
    SimulatedSerialLines lines;
    lines.AddAdapter(5);
    AddClientMDB(QStringLiteral("LATHE1"), QStringLiteral("CNCSRV1"));
    AddClientMDB(QStringLiteral("MILL2"), QStringLiteral("CNCSRV1"));
    frmBTS bts(&main);
    auto* btsServers = bts.findChild<QComboBox*>(QStringLiteral("cboServers"));
    btsServers->setCurrentIndex(btsServers->findText(QStringLiteral("CNCSRV1")));
    bts.move(40, 220);
    bts.show();
    Settle();
    ok &= Grab(QStringLiteral("bts.png"), {&bts});

    BtsAssistantFields fields;
    fields.msBTSAddress = QStringLiteral("0012-6F-3A1B2C");
    fields.msBTSAddressPart = QStringLiteral("3A1B2C");
    fields.msPinNumber = QStringLiteral("24681357");
    fields.msInstructionString =
        InstructionText(BluetoothInstructionLines(fields.msBTSAddressPart));
    frmInstructions instructions(fields, &bts);
    instructions.move(60, 240);
    instructions.show();
    Settle();
    ok &= Grab(QStringLiteral("bts-instructions.png"), {&instructions});
    instructions.close();

    frmBTSMan man(fields, &bts);
    man.move(60, 240);
    man.show();
    Settle();
    ok &= Grab(QStringLiteral("bts-manager.png"), {&man});
    man.close();

    frmConfigureBaud baud(&bts);
    baud.move(60, 240);
    baud.show();
    Settle();
    ok &= Grab(QStringLiteral("bts-configure-baud.png"), {&baud});
    baud.hide();
    bts.hide();
    return ok ? 0 : 1;
}
