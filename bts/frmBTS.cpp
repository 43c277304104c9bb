#include "bts/frmBTS.h"

#include "admin/pick_lists.h"
#include "base/dialog_parts.h"
#include "base/modal.h"
#include "base/settings.h"
#include "bts/bts_log.h"
#include "bts/bts_pin.h"
#include "bts/bts_window_logic.h"
#include "bts/frmBTSLog.h"
#include "bts/frmBTSMan.h"
#include "bts/frmConfigureBaud.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"

#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("BTS");
const QString kDefaultCom = QStringLiteral("DEFAULT COM");

// The server chosen last in this window, selected again when it opens.
QString& LastServerName() {
    static QString name;
    return name;
}

BtsTerminalOpener& TerminalOpener() {
    static BtsTerminalOpener opener;
    return opener;
}

}  // namespace

BtsTerminalOpener frmBTS::SetTerminalOpener(BtsTerminalOpener opener) {
    BtsTerminalOpener previous = std::move(TerminalOpener());
    TerminalOpener() = std::move(opener);
    return previous;
}

frmBTS::frmBTS(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmBTS"));
    setWindowTitle(QStringLiteral("DNC Client BTS administration"));
    BuildWindow();
    BuildMenus();
    connect(&bts_, &BtsProtocol::StatusTextChanged, this, [this](const QString& text) {
        txtConfigStatus->setPlainText(text);
        txtConfigStatus->verticalScrollBar()->setValue(
            txtConfigStatus->verticalScrollBar()->maximum());
    });

    connect(cboServers, &QComboBox::currentIndexChanged, this, &frmBTS::cboServers_Click);
    connect(lstClients, &QListWidget::currentRowChanged, this, &frmBTS::lstClients_Click);
    connect(cboPorts, &QComboBox::currentIndexChanged, this, &frmBTS::cboPorts_Click);
    connect(cmdModeSet, &QPushButton::clicked, this, &frmBTS::cmdModeSet_Click);

    // Load.
    mnuBTSMan->setVisible(ReadIniValue(SettingsFileName, kSection, QStringLiteral("BTSMANMENU"),
                                       QStringLiteral("FALSE"))
                              .toUpper() == QLatin1String("TRUE"));
    btsCom_ =
        ReadIniValue(SettingsFileName, kSection, QStringLiteral("BTSCOM"), QStringLiteral("COM5"))
            .toUpper();
    if (BtsPortEntryText(btsCom_).isEmpty()) {
        btsCom_ = QStringLiteral("COM5");  // not a port this window can show
    }
    systemPin_ =
        ReadIniValue(SettingsFileName, kSection, QStringLiteral("SYSTEMPIN"), QString()).toUpper();

    const bool serversRead = LoadServerNames() >= 0;
    {
        const QSignalBlocker blocker(cboServers);
        cboServers->addItems(ServerNames);
        ShowServersUnreadable(cboServers, !serversRead);
        const int last = ServerNames.indexOf(LastServerName());
        cboServers->setCurrentIndex(ServerNames.isEmpty() ? -1 : qMax(0, last));
    }
    if (cboServers->currentIndex() >= 0) {
        cboServers_Click(cboServers->currentIndex());
    }
    {
        const QSignalBlocker blocker(cboPorts);
        cboPorts->addItems(BtsPortsEntries());
    }
    const QString entry = BtsPortEntryText(btsCom_);
    SelectPortsEntry(entry);
    ApplyModeEntry(entry);
    SelectPort(entry, false);
    SetPinLabel();
    bts_.miTimerTime = 100;
}

frmBTS::~frmBTS() {
    if (!unloaded_) {
        Unload();
    }
}

void frmBTS::Unload() {
    unloaded_ = true;
    ReleasePort();
    if (!selectedComPort_.isEmpty()) {
        WriteIniValue(kSection, QStringLiteral("BTSCOM"), selectedComPort_, SettingsFileName);
    }
}

void frmBTS::BuildWindow() {
    cboServers = new QComboBox(this);
    cboServers->setObjectName(QStringLiteral("cboServers"));
    lstClients = new QListWidget(this);
    lstClients->setObjectName(QStringLiteral("lstClients"));
    cboPorts = new QComboBox(this);
    cboPorts->setObjectName(QStringLiteral("cboPorts"));
    cboPorts->setMaxVisibleItems(20);
    cmdModeSet = new QPushButton(QStringLiteral("SET BTS MODE"), this);
    cmdModeSet->setObjectName(QStringLiteral("cmdModeSet"));
    cmdModeSet->setAutoDefault(false);
    txtConfigStatus = new QPlainTextEdit(this);
    txtConfigStatus->setObjectName(QStringLiteral("txtConfigStatus"));
    txtConfigStatus->setReadOnly(true);
    txtConfigStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtConfigStatus->setMinimumHeight(110);

    Label1 = NamedLabel(QStringLiteral("Label1"), QStringLiteral("BTS configuration com port:"),
                        this, QStringLiteral("Select com port to config BTS device on:"));
    Label2 = NamedLabel(QStringLiteral("Label2"), QStringLiteral("Select Client to config. BTS:"),
                        this, QStringLiteral("The selected Client mode to config. BTS:"));
    Label3 = NamedLabel(QStringLiteral("Label3"), QStringLiteral("SELECTED CLIENT:"), this);
    labClientName = NamedLabel(QStringLiteral("labClientName"), QString(), this);
    lblProperties =
        NamedLabel(QStringLiteral("lblProperties"), QStringLiteral("Client Properties:"), this);
    lblMode = NamedLabel(QStringLiteral("lblMode"), QStringLiteral("Mode"), this,
                         QStringLiteral("Right click to invoke Terminal"));
    lblProtocol = NamedLabel(QStringLiteral("lblProtocol"), QStringLiteral("Protocol"), this);
    labEobDelay = NamedLabel(QStringLiteral("labEobDelay"), QString(), this);
    lblPin = NamedLabel(QStringLiteral("lblPin"), QString(), this);
    lblAttributes =
        NamedLabel(QStringLiteral("lblAttributes"), QStringLiteral("BTS Attributes:"), this);
    lblBTSEnabled =
        NamedLabel(QStringLiteral("lblBTSEnabled"), QStringLiteral("BTS Enabled:"), this);
    lblLoop = NamedLabel(QStringLiteral("lblLoop"), QStringLiteral("CHAN:"), this);
    lblLatency = NamedLabel(QStringLiteral("lblLatency"), QStringLiteral("LATENCY:"), this);
    lblBTSAddress = NamedLabel(QStringLiteral("lblBTSAddress"), QString(), this);
    lblBTSPin = NamedLabel(QStringLiteral("lblBTSPin"), QString(), this);
    QFont bold = Label3->font();
    bold.setBold(true);
    for (QLabel* heading : {Label3, lblProperties, lblAttributes}) {
        heading->setFont(bold);
    }

    auto* left = new QVBoxLayout;
    left->addWidget(cboServers);
    left->addWidget(Label2);
    left->addWidget(lstClients, 1);
    auto* right = new QVBoxLayout;
    for (QLabel* label :
         {Label3, labClientName, lblProperties, lblMode, lblProtocol, labEobDelay, lblPin,
          lblAttributes, lblBTSEnabled, lblLoop, lblLatency, lblBTSAddress, lblBTSPin}) {
        right->addWidget(label);
    }
    right->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right, 1);
    auto* mode = new QHBoxLayout;
    mode->addWidget(Label1);
    mode->addWidget(cboPorts, 1);
    mode->addWidget(cmdModeSet);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(mode);
    layout->addWidget(txtConfigStatus);
    resize(620, 520);

    txtConfigStatus->viewport()->installEventFilter(this);
    cmdModeSet->installEventFilter(this);
    lblPin->installEventFilter(this);
    lblMode->installEventFilter(this);
    lstClients->viewport()->installEventFilter(this);
}

void frmBTS::BuildMenus() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("menuBar"));
    layout()->setMenuBar(menuBar_);
    const auto name = [](QObject* object, const char* objectName) {
        object->setObjectName(QLatin1String(objectName));
    };
    mnuBTSMan = menuBar_->addAction(QStringLiteral("BTSManager"));
    name(mnuBTSMan, "mnuBTSMan");
    mnuBTSLog = menuBar_->addMenu(QStringLiteral("BTSLog"));
    name(mnuBTSLog, "mnuBTSLog");
    mnuWriteBTSLog = mnuBTSLog->addAction(QStringLiteral("WriteBTSLog"));
    name(mnuWriteBTSLog, "mnuWriteBTSLog");
    mnuReadBTSLog = mnuBTSLog->addAction(QStringLiteral("ReadBTSLog"));
    name(mnuReadBTSLog, "mnuReadBTSLog");
    mnuDeleteBTSLog = mnuBTSLog->addAction(QStringLiteral("DeleteBTSLog"));
    name(mnuDeleteBTSLog, "mnuDeleteBTSLog");
    mnuReconnect = menuBar_->addAction(QStringLiteral("COMReConnect"));
    name(mnuReconnect, "mnuReconnect");
    mnuTools = menuBar_->addMenu(QStringLiteral("Tools"));
    name(mnuTools, "mnuTools");
    mnuConfigureBaud = mnuTools->addAction(QStringLiteral("Configure baud"));
    name(mnuConfigureBaud, "mnuConfigureBaud");
    // Pop-ups only; they never show on the menu bar.
    mnuCreateAPin = new QMenu(this);
    name(mnuCreateAPin, "mnuCreateAPin");
    mnucCreatePin = mnuCreateAPin->addAction(QStringLiteral("Create Pin"));
    name(mnucCreatePin, "mnucCreatePin");
    mnuTerm = new QMenu(this);
    name(mnuTerm, "mnuTerm");
    mnuTerminal = mnuTerm->addAction(QStringLiteral("&Terminal"));
    name(mnuTerminal, "mnuTerminal");

    connect(mnuBTSMan, &QAction::triggered, this, &frmBTS::RunBluetoothAssistant);
    connect(mnuReconnect, &QAction::triggered, this, &frmBTS::RunReconnectGuide);
    connect(mnuWriteBTSLog, &QAction::triggered, this,
            [this] { WriteAppendStatusFile(msBTSLogReadString); });
    connect(mnuReadBTSLog, &QAction::triggered, this,
            [this] { ReadBTSLog(msBTSLogReadString, this); });
    connect(mnuDeleteBTSLog, &QAction::triggered, this, [] {
        // The log is the only record of which adapter went to which client.
        if (ShowMessage(QStringLiteral("You are about to delete the BTS log"), MsgButtons::OkCancel,
                        MsgIcon::None,
                        QStringLiteral("Warning! Delete BTS Log")) == MsgAnswer::Ok) {
            KillBTSLog();
        }
    });
    connect(mnuConfigureBaud, &QAction::triggered, this, [this] {
        frmConfigureBaud window(this);
        ShowModal(window);
    });
    connect(mnucCreatePin, &QAction::triggered, this,
            [this] { CopyToClipboard(GeneratePin(txtConfigStatus->toPlainText())); });
    connect(mnuTerminal, &QAction::triggered, this, &frmBTS::OpenTerminal);
}

// ---- Lists and labels ------------------------------------------------------------------

void frmBTS::cboServers_Click(int index) {
    if (busy_) {
        return;
    }
    {
        const QSignalBlocker blocker(lstClients);
        lstClients->clear();
    }
    clientId_ = 0;
    clientName_.clear();
    labClientName->clear();
    const QString server = cboServers->itemText(index);
    bool failed = false;
    const std::optional<qint32> id = GetServerID(server, &failed);
    failed = failed || (id && LoadServerClientNames(*id) < 0);
    // An empty list would say that the server has no clients.
    ShowListUnreadable(lstClients, failed ? kClientsUnreadable : QString());
    if (id && !failed) {
        const QSignalBlocker blocker(lstClients);
        for (const ClientListEntry& client : ServerClients) {
            lstClients->addItem(client.ClientName);
        }
    }
    LastServerName() = server;
    SetPinLabel();
    if (lstClients->count() > 0) {
        lstClients->setCurrentRow(0);
    }
}

void frmBTS::lstClients_Click(int row) {
    if (busy_) {
        return;
    }
    clientId_ = 0;
    clientName_.clear();
    if (row < 0) {
        return;
    }
    const QString name = lstClients->item(row)->text();
    CurrentClientName = name;
    if (!ReadCurrentClientIds()) {
        return;
    }
    clientId_ = CurrentClientId;
    clientName_ = name;
    labClientName->setText(name);
    RefreshClient(clientId_);
}

void frmBTS::SetPinLabel() {
    if (!systemPin_.isEmpty()) {
        bts_.msPinNumber = systemPin_;
        lblPin->setText(QStringLiteral("SYS. PIN: ") + systemPin_);
        return;
    }
    bts_.msPinNumber = ServerPin(cboServers->currentText());
    lblPin->setText(QStringLiteral("SVR. PIN: ") + bts_.msPinNumber);
}

void frmBTS::RefreshClient(qint32 clientId) {
    // A table without the client's row must not leave another client's values behind.
    CurrentClientMode = ClientModeRecord();
    ReadClientMode(clientId);
    const ClientModeRecord& mode = CurrentClientMode;
    const BtsClientAttributes attributes =
        ReadBtsClientAttributes(clientId).value_or(BtsClientAttributes());
    msMode =
        QStringList{mode.Baud, mode.Parity, mode.DataBits, mode.StopBits}.join(QLatin1Char(','));
    lblMode->setText(QStringLiteral("Mode: Com") + QString::number(mode.PortNumber) +
                     QLatin1Char(',') + msMode);
    lblProtocol->setText(QStringLiteral("Protocol: ") +
                         BtsProtocolText(attributes.protocol_id, mode.Protocol));
    labEobDelay->setText(QStringLiteral("EOB Delay: ") + QString::number(attributes.eob_delay));
    miComPort = mode.PortNumber;
    bts_.msBTSBaud = mode.Baud;
    miCharBufferSize = attributes.char_buffer;
    bool isNumber = false;
    const double stopBits = mode.StopBits.trimmed().toDouble(&isNumber);
    bts_.ClientStopBits = isNumber && stopBits == 1 ? 1 : 2;
    RefreshAttributeLabels(clientId);
}

void frmBTS::RefreshAttributeLabels(qint32 clientId) {
    const BtsClientAttributes attributes =
        ReadBtsClientAttributes(clientId).value_or(BtsClientAttributes());
    bts_.ClientBtsUsed = attributes.bts_used;
    bts_.ClientBtsLatency = attributes.bts_latency;
    const BtsAttributeLabels labels = BtsAttributeLabelTexts(attributes, bts_.msPinNumber);
    lblBTSEnabled->setText(labels.enabled);
    lblLoop->setText(labels.loop);
    lblLatency->setText(labels.latency);
    lblBTSAddress->setText(labels.address);
    lblBTSPin->setText(labels.pin);
    lblBTSPin->setVisible(labels.pinVisible);
}

// ---- Modes and ports -------------------------------------------------------------------

void frmBTS::SelectPortsEntry(const QString& entry) {
    // Chosen from here: the click handler runs only when the operator chooses.
    const QSignalBlocker blocker(cboPorts);
    cboPorts->setCurrentIndex(cboPorts->findText(entry));
}

void frmBTS::ApplyModeEntry(const QString& entry) {
    const BtsModeEntry mode = BtsModeFor(entry);
    btsMode_ = mode.mode;
    Label1->setToolTip(mode.labelToolTip);
    Label1->setText(mode.labelCaption);
    cboPorts->setToolTip(mode.comboToolTip);
    cmdModeSet->setText(mode.buttonCaption);
    ShowStatus(QString());
}

void frmBTS::cboPorts_Click(int index) {
    if (busy_ || index < 0) {
        return;
    }
    const QString entry = cboPorts->itemText(index);
    ApplyModeEntry(entry);
    if (btsMode_ != BtsModes::kDeviceConfig) {
        return;
    }
    QString port = entry;
    if (entry == kDefaultCom) {
        port = BtsPortEntryText(btsCom_);
        SelectPortsEntry(port);
    }
    if (!BeginOperation()) {
        return;
    }
    QPointer<frmBTS> self(this);
    SelectPort(port, true);
    if (self) {
        EndOperation();
    }
}

void frmBTS::SelectPort(const QString& entry, bool reprobeOnFailure) {
    bool failed = false;
    if (!selectedComPort_.isEmpty()) {
        QString previous = selectedComPort_;
        failed = bts_.ReleaseComPort(previous);
    }
    selectedComPort_ = entry;
    failed = bts_.ProbeComPort(selectedComPort_) || failed;
    if (!failed) {
        btsCom_ = selectedComPort_;
    } else if (reprobeOnFailure) {
        Reprobe();
    }
}

void frmBTS::Reprobe() {
    // Once only: a port that fails again is left to the operator, not probed round and round.
    const QString entry = BtsPortEntryText(btsCom_);
    SelectPortsEntry(entry);
    ApplyModeEntry(entry);
    SelectPort(entry, false);
}

// ---- Operations ------------------------------------------------------------------------

bool frmBTS::BeginOperation() {
    if (busy_) {
        return false;
    }
    busy_ = true;
    SetInputEnabled(false);
    bts_.ResetExchange();
    return true;
}

void frmBTS::EndOperation() {
    ReleasePort();
    bts_.ResetExchange();
    busy_ = false;
    SetInputEnabled(true);
    if (closePending_) {
        closePending_ = false;
        done(QDialog::Rejected);
    }
}

void frmBTS::SetInputEnabled(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{cboServers, lstClients, cboPorts, cmdModeSet, menuBar_}) {
        w->setEnabled(enabled);
    }
}

void frmBTS::ReleasePort() {
    bts_.SaxComBTS.SetPortOpen(false);
}

void frmBTS::ShowStatus(const QString& text) {
    bts_.SetStatusText(text);
}

void frmBTS::Dots(int n) {
    if (!Closing()) {
        bts_.DotWait(n);
    }
}

void frmBTS::OpenTerminal() {
    if (busy_ || !TerminalOpener()) {
        return;
    }
    TerminalOpener()(this, {miComPort, msMode, miCharBufferSize, bts_.msBTSBaud});
}

// ---- Window events ---------------------------------------------------------------------

void frmBTS::done(int result) {
    if (busy_) {
        // Closing waits for the exchange to stop at its next look at the abort flag.
        closePending_ = true;
        bts_.AbortRequested = true;
        return;
    }
    if (!unloaded_) {
        Unload();
    }
    QDialog::done(result);
}

void frmBTS::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmBTS::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && watched == txtConfigStatus->viewport()) {
        bts_.AbortRequested = true;
        return false;
    }
    if (event->type() != QEvent::MouseButtonRelease) {
        return QDialog::eventFilter(watched, event);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton || busy_) {
        return QDialog::eventFilter(watched, event);
    }
    if (watched == cmdModeSet && btsMode_ == BtsModes::kVerify) {
        CopyToClipboard(bts_.Listing);
    } else if (watched == lblPin) {
        mnuCreateAPin->popup(mouse->globalPosition().toPoint());
    } else if (watched == lstClients->viewport() || watched == lblMode) {
        mnuTerminal->setEnabled(bool(TerminalOpener()));
        mnuTerm->popup(mouse->globalPosition().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}
