// kestrum-screenshots <folder>: shows the windows on a sample installation and saves a
// picture of each in the folder: the main window with its Tools menu open and every window
// it opens. Needs a real X display (scripts/screenshots runs it under xvfb-run): the open
// menu is a window of its own and only a screen grab sees it.

#include "admin/clone_clients.h"
#include "admin/frmClients.h"
#include "admin/frmCloneClients.h"
#include "admin/frmMakeClients.h"
#include "admin/frmServers.h"
#include "admin/frmToolsNodePortID.h"
#include "app/frmAbout.h"
#include "app/frmOSSelect.h"
#include "app/frmSetup.h"
#include "app/startup.h"
#include "base/folder_select_mode.h"
#include "base/modal.h"
#include "base/settings.h"
#include "bts/frmBTS.h"
#include "bts/frmBTSMan.h"
#include "bts/frmConfigureBaud.h"
#include "bts/frmInstructions.h"
#include "changelog/frmChangeLog.h"
#include "check/frmCheckConfig.h"
#include "components/folder_view.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"
#include "dncadmin/frmExportClients.h"
#include "dncadmin/frmExportDNCAdmin.h"
#include "dncadmin/frmToolsMerge.h"
#include "setup/frmDirProps.h"
#include "setup/frmDirectories.h"
#include "setup/frmPortSetup.h"
#include "setup/protocol_dialogs.h"
#include "tools/btssim/simulated_lines.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
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

bool GrabTerminal(QWidget* parent, const std::function<bool(const QString&, const QWidget*)>& grab);

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
        DncConnection.Close();
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

    const std::pair<const char*, std::vector<const char*>> machines[] = {
        {"CNCSRV1", {"LATHE7", "MILL8", "GRIND 4", "DMU50"}}, {"CNCSRV2", {"M5", "SAW1"}}};
    for (const auto& [server, names] : machines) {
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

    // Port setup of a client of this computer that left STANDARD for a line terminal.
    AddClientMDB(QStringLiteral("MILL1"), QStringLiteral("CNCSRV1"));
    CurrentClientName = QStringLiteral("MILL1");
    if (ReadCurrentClientIds()) {
        UpdateRecordsMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_id"),
                         SqlValue::Number(CurrentClientId), QStringLiteral("protocol_id"),
                         SqlValue::Number(62));
        UpdateRecordsMDB(QStringLiteral("t_client_mode"), QStringLiteral("client_id"),
                         SqlValue::Number(CurrentClientId), QStringLiteral("cnc_comport"),
                         SqlValue::Number(3));
        ReadClientMode(CurrentClientId);
        frmPortSetup ports(&main);
        ports.move(40, 220);
        ports.show();
        Settle();
        ok &= Grab(QStringLiteral("port-setup.png"), {&ports});
        ports.close();
    } else {
        ok = false;
    }
    // Clients for the clone and node/port windows: CNCSRV1 (this computer) serves three
    // machines, one on another node id; CNCSRV2 serves two.
    const char* const clients[][4] = {{"LATHE1", "CNCSRV1", "01", "3"},
                                      {"MILL2", "CNCSRV1", "02", "4"},
                                      {"GRINDER3", "CNCSRV1", "01", "0"},
                                      {"PRESS4", "CNCSRV2", "01", "1"},
                                      {"SAW5", "CNCSRV2", "01", "2"}};
    for (const auto& client : clients) {
        AddClientMDB(QLatin1String(client[0]), QLatin1String(client[1]));
        const qint32 id = GetClientID(QLatin1String(client[0])).value_or(0);
        UpdateRecordsMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_id"),
                         SqlValue::Number(id), QStringLiteral("NODE_ID"),
                         SqlValue::Text(QLatin1String(client[2])));
        UpdateRecordsMDB(QStringLiteral("t_client_mode"), QStringLiteral("client_id"),
                         SqlValue::Number(id), QStringLiteral("cnc_comport"),
                         SqlValue::Number(QByteArray(client[3]).toInt()));
    }
    UpdateRecordsMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_id"),
                     SqlValue::Number(1), QStringLiteral("bts_used"), SqlValue::YesNo(true));

    LastCloneSource = QStringLiteral("LATHE1");
    LastCloneServer = QStringLiteral("CNCSRV2");
    frmCloneClients clone(&main);
    clone.move(40, 220);
    clone.show();
    Settle();
    auto* right = clone.findChild<QListWidget*>(QStringLiteral("lstClients1_1"));
    auto* add = clone.findChild<QPushButton*>(QStringLiteral("cmdAdd"));
    for (int row = 0; row < right->count(); ++row) {
        right->setCurrentRow(row);
        add->click();
    }
    right->setCurrentRow(0);
    Settle();
    ok &= Grab(QStringLiteral("clone-clients.png"), {&clone});
    clone.close();

    frmToolsNodePortID nodePort(&main);  // the server check's NodeID message goes to stderr
    nodePort.move(40, 220);
    nodePort.show();
    Settle();
    ok &= Grab(QStringLiteral("node-port-id.png"), {&nodePort});
    nodePort.close();

    frmAbout about(&main);
    about.move(40, 220);
    about.show();
    Settle();
    ok &= Grab(QStringLiteral("about.png"), {&about});
    about.close();

    // A client with two directories, one of them with an alias.
    AddClientMDB(QStringLiteral("DRILL6"), QStringLiteral("CNCSRV1"));
    CurrentClientName = QStringLiteral("DRILL6");
    ReadCurrentClientIds();
    QDir(folder.path()).mkpath(QStringLiteral("DNC/PARTS"));
    QDir(folder.path()).mkpath(QStringLiteral("DNC/UPLOAD"));
    const QString parts = WindowsPathText(folder.filePath(QStringLiteral("DNC/PARTS")));
    const QString upload = WindowsPathText(folder.filePath(QStringLiteral("DNC/UPLOAD")));
    InsertRecordMDB(QStringLiteral("t_client_directory"),
                    {QStringLiteral("client_id"), QStringLiteral("directory_direct"),
                     QStringLiteral("directory_alias"), QStringLiteral("dir_mode")},
                    {SqlValue::Number(CurrentClientId), SqlValue::Text(parts),
                     SqlValue::Text(QStringLiteral("TV1")), SqlValue::Number(1)});
    InsertRecordMDB(QStringLiteral("t_client_directory"),
                    {QStringLiteral("client_id"), QStringLiteral("directory_direct")},
                    {SqlValue::Number(CurrentClientId), SqlValue::Text(upload)});
    UpdateRecordsMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_id"),
                     SqlValue::Number(CurrentClientId), QStringLiteral("NODE_ID"),
                     SqlValue::Text(QStringLiteral("01")));
    UpdateRecordsMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_id"),
                     SqlValue::Number(CurrentClientId), QStringLiteral("PORT_ID"),
                     SqlValue::Text(QStringLiteral("005")));
    UpdateRecordsMDB(QStringLiteral("t_client_mode"), QStringLiteral("client_id"),
                     SqlValue::Number(CurrentClientId), QStringLiteral("cnc_comport"),
                     SqlValue::Number(5));
    {
        frmDirectories directories(&main);
        directories.move(40, 220);
        directories.show();
        auto* folders = directories.findChild<FolderView*>(QStringLiteral("FolderView1"));
        folders->SelectFolder(folder.filePath(QStringLiteral("DNC/UPLOAD")));
        Settle(800);  // the folder tree lists its folders off the user-interface thread
        folders->Tree()->scrollTo(folders->Tree()->currentIndex());
        Settle();
        ok &= Grab(QStringLiteral("directories.png"), {&directories});
        frmDirProps props(directories.ListedDirIds().value(0), &directories);
        props.Load();
        props.move(80, 260);
        props.show();
        Settle();
        ok &= Grab(QStringLiteral("directory-properties.png"), {&props});
    }

    // Each protocol attribute dialog on its richest page, shown through the modal seam.
    const struct {
        AttributeDialogKind kind;
        const char* file;
    } dialogs[] = {{AttributeDialogKind::Standard, "protocol-standard.png"},
                   {AttributeDialogKind::Second, "protocol-btr.png"},
                   {AttributeDialogKind::Third, "protocol-shop.png"},
                   {AttributeDialogKind::LineTerminal, "protocol-line.png"},
                   {AttributeDialogKind::Remote, "protocol-remote.png"},
                   {AttributeDialogKind::Mazatrol, "protocol-mazatrol.png"}};
    for (const auto& d : dialogs) {
        SetModalHook([&](QDialog& dialog) {
            dialog.move(40, 20);
            dialog.show();
            auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tabAttributes"));
            tabs->setCurrentIndex(d.kind == AttributeDialogKind::Standard ? 0 : tabs->count() - 1);
            Settle();
            ok &= Grab(QString::fromLatin1(d.file), {&dialog});
            return int(QDialog::Rejected);
        });
        auto dialog = CreateAttributeDialog(d.kind, &main);
        dialog->PropClientUSEID = true;
        dialog->PropClientIDSEQUENTIAL = true;
        dialog->PropClientID = CurrentClientId;
        dialog->PropDNCpath = DncConnectionString;
        dialog->HelpName = ProgramFolder() + QStringLiteral("\\Kestrum.html");
        dialog->Show();
    }
    SetModalHook({});
    ok &=
        GrabTerminal(&main, [](const QString& name, const QWidget* w) { return Grab(name, {w}); });
    // The BTS windows, with a simulated adapter on COM5 and the clients of CNCSRV1.
    SimulatedSerialLines lines;
    lines.AddAdapter(5);
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

    // The check with a few faults: two machines on one port, a lost row, a left-behind row.
    {
        const QStringList names = {QStringLiteral("MILL1"), QStringLiteral("DRILL6")};
        for (const QString& name : names) {
            if (const std::optional<qint32> id = GetClientID(name)) {
                UpdateRecordsMDB(QStringLiteral("t_client_mode"), QStringLiteral("client_id"),
                                 SqlValue::Number(*id), QStringLiteral("cnc_comport"),
                                 SqlValue::Number(3));
            }
        }
        if (const std::optional<qint32> id = GetClientID(names.first())) {
            DeleteRecordsMDB(QStringLiteral("t_command"), QStringLiteral("client_id"),
                             SqlValue::Number(*id));
        }
        InsertRecordMDB(QStringLiteral("t_remote"), {QStringLiteral("rem_client_id")},
                        {SqlValue::Number(9999)});
        frmCheckConfig check(&main);
        check.move(20, 40);
        check.show();
        Settle();
        ok &= Grab(QStringLiteral("check-configuration.png"), {&check});
        check.close();
    }
    // What the windows above changed, as the change log lists it.
    frmChangeLog changeLog(&main);
    changeLog.move(20, 40);
    changeLog.show();
    Settle();
    ok &= Grab(QStringLiteral("change-log.png"), {&changeLog});
    changeLog.close();
    // Its statements must be finalised while the driver (owned by the application) exists.
    DncConnection.Close();
    return ok ? 0 : 1;
}
