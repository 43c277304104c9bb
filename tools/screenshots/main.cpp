// kestrum-screenshots <folder>: shows the windows on a sample installation and saves a
// picture of each in the folder: the main window with its Tools menu open, the server
// window, the client window (also renaming, and with its pop-up menu), the move window, the
// OS selection, About, and the DNCAdmin export, folder-selection and merge windows. Needs a
// real X display (scripts/screenshots runs it under xvfb-run): the open menu is a window of
// its own and only a screen grab sees it.

#include "admin/frmClients.h"
#include "admin/frmMakeClients.h"
#include "admin/frmServers.h"
#include "app/frmAbout.h"
#include "app/frmOSSelect.h"
#include "app/frmSetup.h"
#include "app/startup.h"
#include "base/folder_select_mode.h"
#include "base/settings.h"
#include "components/folder_view.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "dncadmin/frmExportClients.h"
#include "dncadmin/frmExportDNCAdmin.h"
#include "dncadmin/frmToolsMerge.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <utility>
#include <vector>

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

    const std::pair<const char*, std::vector<const char*>> clients[] = {
        {"CNCSRV1", {"LATHE1", "MILL2", "GRIND 4", "DMU50"}}, {"CNCSRV2", {"M5", "SAW1"}}};
    for (const auto& [server, names] : clients) {
        for (const char* name : names) {
            AddClientMDB(QLatin1String(name), QLatin1String(server));
        }
    }
    {
        frmMakeClients window(&main);
        window.move(40, 220);
        window.show();
        Settle();
        ok &= Grab(QStringLiteral("make-clients.png"), {&window});
        auto* list = window.findChild<QListWidget*>(QStringLiteral("lstClients"));
        list->setCurrentRow(1);
        const QRect entry = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, entry.center());
        Settle();
        ok &= Grab(QStringLiteral("make-clients-menu.png"), {&window, window.ClientMenu()});
        window.ClientMenu()->close();
        window.findChild<QAction*>(QStringLiteral("mnuClientEdit"))->trigger();
        Settle();
        ok &= Grab(QStringLiteral("make-clients-rename.png"), {&window});
    }
    {
        frmClients window(&main);
        window.move(40, 220);
        window.show();
        Settle();
        ok &= Grab(QStringLiteral("move-clients.png"), {&window});
    }

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

    // DNCAdmin: the clients above, two servers' files and a master folder.
    frmExportClients exportClients(&main);
    exportClients.move(40, 220);
    exportClients.show();
    Settle();
    ok &= Grab(QStringLiteral("export-clients.png"), {&exportClients});
    exportClients.close();

    const QDir dir(folder.path());
    dir.mkpath(QStringLiteral("MASTER"));
    auto writeFile = [&dir](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QLatin1String(name)));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
        }
    };
    writeFile("S1.ini",
              "[CNC_LIST]\r\n1=LATHE1\r\n2=LATHE2\r\n[LATHE1]\r\nNODE_ID=01\r\n"
              "PORT_ID=1\r\n[LATHE2]\r\nNODE_ID=01\r\nPORT_ID=2\r\n");
    writeFile("S2.ini", "[CNC_LIST]\r\n1=M5\r\n[M5]\r\nNODE_ID=02\r\nPORT_ID=1\r\n");
    writeFile("MASTER/DNCAdmin.ini", "[ADMIN]\r\nLINES_DISPLAYED=64\r\n");
    const QString paths = QStringLiteral("PATHS");
    WriteIniValue(paths, QStringLiteral("DNCADMINPATH1"), dir.filePath("S1.ini"), SettingsFileName);
    WriteIniValue(paths, QStringLiteral("DNCADMINPATH2"), dir.filePath("S2.ini"), SettingsFileName);
    WriteIniValue(paths, QStringLiteral("MASTERDNCADMINPATH"), dir.filePath("MASTER"),
                  SettingsFileName);
    WriteIniValue(paths, QStringLiteral("MASTERFOLDERPATH"), QStringLiteral("C:\\DNC\\MASTER"),
                  SettingsFileName);

    FolderSelectMode = FolderSelect::MasterFolderPath;
    frmExportDNCAdmin folderSelection(&main);
    FolderSelectMode = FolderSelect::None;
    folderSelection.move(40, 220);
    folderSelection.show();
    Settle();
    ok &= Grab(QStringLiteral("folder-selection.png"), {&folderSelection});
    folderSelection.close();

    frmToolsMerge merge(&main);
    merge.move(20, 40);
    merge.show();
    Settle();
    merge.Merge();
    Settle();
    ok &= Grab(QStringLiteral("merge.png"), {&merge});
    merge.close();
    return ok ? 0 : 1;
}
