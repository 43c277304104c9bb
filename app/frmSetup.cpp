#include "app/frmSetup.h"

#include "admin/frmClients.h"
#include "admin/frmCloneClients.h"
#include "admin/frmMakeClients.h"
#include "admin/frmServers.h"
#include "admin/frmToolsNodePortID.h"
#include "app/CHTMLHelp.h"
#include "app/frmAbout.h"
#include "app/frmOSSelect.h"
#include "app/os_select.h"
#include "base/folder_select_mode.h"
#include "base/modal.h"
#include "base/settings.h"
#include "bts/frmBTS.h"
#include "changelog/frmChangeLog.h"
#include "check/frmCheckConfig.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "dncadmin/frmExportClients.h"
#include "dncadmin/frmExportDNCAdmin.h"
#include "dncadmin/frmToolsMerge.h"
#include "setup/frmDirectories.h"
#include "setup/frmPortSetup.h"
#include "terminal/frmTerminal.h"
#include "ui_frmSetup.h"

#include <QApplication>
#include <QCloseEvent>

frmSetup::frmSetup(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::frmSetup>()) {
    ui_->setupUi(this);
    ConnectMenus();
    // The client window opens the setup windows on the client it has made current.
    frmMakeClients::OpenPortSetup = [](QWidget* parent) { OpenPortSetup(parent); };
    frmMakeClients::OpenDirectories = [](QWidget* parent) { OpenDirectories(parent); };
    // The BTS window's way into the terminal.
    frmBTS::SetTerminalOpener([](QWidget* parent, const BtsTerminalValues& values) {
        OpenTerminal(TerminalLine{values.miComPort, values.msMode, values.miCharBufferSize,
                                  values.msBTSBaud},
                     parent);
    });
    InstallClientExport();  // the move window's right-button export

    // The BTS menu is offered only where BTS adapters are in use.
    if (BtsMenuFlag == QLatin1String("TRUE")) {
        ui_->menuBTS->setVisible(true);
    }
    SelectedOs =
        ReadIniValue(SettingsFileName, QStringLiteral("ADMIN"), QStringLiteral("OS"), QString())
            .toUpper();
    OSToolsSelect();
}

frmSetup::~frmSetup() = default;

void frmSetup::OSToolsSelect() {
    const std::optional<QList<ToolsItemState>> items = ToolsMenuFor(SelectedOs);
    if (!items) {
        return;  // a value this program never writes leaves the menu as it is
    }
    for (const ToolsItemState& item : *items) {
        QAction* action = findChild<QAction*>(item.objectName);
        Q_ASSERT(action);
        action->setEnabled(item.enabled);
        if (item.visible) {
            action->setVisible(*item.visible);
        }
    }
}

void frmSetup::ConnectMenus() {
    connect(ui_->mnuServer, &QAction::triggered, this, [this] {
        frmServers window(this);
        ShowModal(window);
    });
    connect(ui_->mnuClient, &QAction::triggered, this, [this] {
        frmMakeClients window(this);
        ShowModal(window);
    });
    connect(ui_->mnuServerClient, &QAction::triggered, this, [this] {
        frmClients window(this);
        ShowModal(window);
    });
    connect(ui_->mnuClone, &QAction::triggered, this, [this] {
        frmCloneClients window(this);
        ShowModal(window);
    });
    connect(ui_->mnuNodeID, &QAction::triggered, this, [this] {
        frmToolsNodePortID window(this);
        ShowModal(window);
        ServerNodeId.clear();  // its server check's node may no longer be the clients' one
    });
    connect(ui_->mnuSelectOS, &QAction::triggered, this, [this] {
        frmOSSelect window([this] { OSToolsSelect(); }, this);
        ShowModal(window);
    });
    connect(ui_->mnuAbout, &QAction::triggered, this, [this] {
        frmAbout window(this);
        ShowModal(window);
    });
    connect(ui_->mnuKestrum, &QAction::triggered, this, [this] { ShowHelpContents(); });

    connect(ui_->mnuMasterDNCAdminPath, &QAction::triggered, this,
            [this] { OpenFolderSelection(FolderSelect::MasterDNCAdminPath); });
    connect(ui_->mnuMasterFolder, &QAction::triggered, this,
            [this] { OpenFolderSelection(FolderSelect::MasterFolderPath); });
    connect(ui_->mnuXPModeMailboxPath, &QAction::triggered, this,
            [this] { OpenFolderSelection(FolderSelect::XPModeMailboxPath); });
    connect(ui_->mnuTolvaneMailboxPath, &QAction::triggered, this, [this] {
        OpenFolderSelection(FolderSelect::TolvaneMailboxPath);
        ServerNodeId.clear();  // the mailbox window's server check leaves its node behind
    });
    connect(ui_->menuBTS, &QAction::triggered, this, [this] {
        frmBTS window(this);
        ShowModal(window);
    });
    connect(ui_->mnuExportDNCAdmin, &QAction::triggered, this, [this] {
        frmExportClients window(this);
        ShowModal(window);
    });
    connect(ui_->mnuToolsMerge, &QAction::triggered, this, [this] {
        frmToolsMerge window(this);
        ShowModal(window);
    });
    connect(ui_->mnuCheckConfig, &QAction::triggered, this, [this] {
        frmCheckConfig window(this);
        ShowModal(window);
    });
    // After the existing Tools items.
    QAction* changeLog = ui_->mnuTools->addAction(QStringLiteral("Change &log"));
    changeLog->setObjectName(QStringLiteral("mnuChangeLog"));
    connect(changeLog, &QAction::triggered, this, [this] {
        frmChangeLog window(this);
        ShowModal(window);
    });
    // A change made from a window is recorded under that window's title.
    SetActionProvider([] {
        const QWidget* window = QApplication::activeModalWidget();
        if (!window) {
            window = QApplication::activeWindow();
        }
        return window ? window->windowTitle() : ProgramTitle();
    });
}

void frmSetup::OpenFolderSelection(qint16 mode) {
    FolderSelectMode = mode;
    {
        frmExportDNCAdmin window(this);
        ShowModal(window);
    }
    FolderSelectMode = FolderSelect::None;
}

void frmSetup::ShowHelpContents() {
    CHTMLHelp::SetApplicationHelpFile(JoinPath(ProgramFolder(), HelpFileNames.value(0)));
    if (!help_) {
        help_ = std::make_unique<CHTMLHelp>();
    }
    help_->ShowContents(0);
}

void frmSetup::closeEvent(QCloseEvent* event) {
    help_.reset();  // closes an open help viewer
    Pause(100);     // lets the viewer go before the program ends
    QMainWindow::closeEvent(event);
}
