#include "setup/frmPortSetup.h"

#include "base/dialog_parts.h"
#include "base/modal.h"
#include "base/settings.h"
#include "components/saxcomm.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"
#include "db/protocol_names.h"
#include "db/protocol_records.h"
#include "setup/port_detection.h"
#include "setup/port_setup_logic.h"
#include "setup/protocol_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <functional>

namespace {

// The port list brings its tool tips up to date each time it opens.
class PortComboBox : public QComboBox {
public:
    PortComboBox(std::function<void()> beforePopup, QWidget* parent)
        : QComboBox(parent), beforePopup_(std::move(beforePopup)) {}
    void showPopup() override {
        beforePopup_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> beforePopup_;
};

// The first entry exactly equal to value (letter case counts), else no selection.
void SelectExact(QComboBox* box, const QString& value) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(box->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void Fill(QComboBox* box, const QStringList& entries) {
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(-1);  // Qt would select the first entry by itself
}

std::optional<QString> Chosen(const QComboBox* box) {
    if (box->currentIndex() < 0) {
        return std::nullopt;
    }
    return box->currentText();
}

QString StatusText(int status) {
    switch (status) {
        case kPortFree:
            return QStringLiteral("present, free");
        case kPortInUse:
            return QStringLiteral("present, in use");
        case kPortUnusable:
            return QStringLiteral("present, cannot be used (no permission or no serial device)");
        default:
            return QStringLiteral("not present");
    }
}

bool SettingIsTrue(const QString& key) {
    return ReadIniValue(SettingsFileName, QStringLiteral("ADMIN"), key, QStringLiteral("False"))
               .toUpper() == QLatin1String("TRUE");
}

}  // namespace

frmPortSetup::frmPortSetup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPortSetup"));
    BuildControls();
    setWindowTitle(QStringLiteral("Properties - Client \"") + CurrentClientName + QLatin1Char('"'));
    FillLists();
    SelectStoredValues();
}

frmPortSetup::~frmPortSetup() = default;

void frmPortSetup::BuildControls() {
    const auto label = [this](QLabel*& field, const char* name, const QString& text) {
        field = new QLabel(text, this);
        field->setObjectName(QLatin1String(name));
    };
    const auto combo = [this](QComboBox*& field, const char* name) {
        field = new QComboBox(this);
        field->setObjectName(QLatin1String(name));
    };
    const auto button = [this](QPushButton*& field, const char* name, const QString& text,
                               const QString& tip) {
        field = new QPushButton(text, this);
        field->setObjectName(QLatin1String(name));
        field->setToolTip(tip);
        field->setAutoDefault(false);  // Enter presses no button here
    };

    fraPort = new QGroupBox(QStringLiteral("General"), this);
    fraPort->setObjectName(QStringLiteral("fraPort"));
    label(lblCom, "lblCom", QStringLiteral("Com Port:"));
    cboPorts = new PortComboBox([this] { RefreshPortTips(); }, this);
    cboPorts->setObjectName(QStringLiteral("cboPorts"));
    cboPorts->setMaxVisibleItems(16);
    button(cmdPorts, "cmdPorts", QStringLiteral("..."), QStringLiteral("Detect com ports"));
    cmdPorts->setFixedWidth(cmdPorts->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    label(lblBaud, "lblBaud", QStringLiteral("Baud:"));
    combo(cboBaud, "cboBaud");
    label(lblData, "lblData", QStringLiteral("Data bits:"));
    combo(cboData, "cboData");
    label(lblParity, "lblParity", QStringLiteral("Parity:"));
    combo(cboParity, "cboParity");
    label(lblStop, "lblStop", QStringLiteral("Stop bits:"));
    combo(cboStop, "cboStop");
    label(lblProtocol, "lblProtocol", QStringLiteral("Protocol:"));
    combo(cboProtocol, "cboProtocol");
    button(cmdAdvanced, "cmdAdvanced", QStringLiteral("&Advanced Protocol"), QString());
    button(cmdOK, "cmdOK", QStringLiteral("&OK"), QStringLiteral("OK to save changes"));
    button(cmdCancel, "cmdCancel", QStringLiteral("&Cancel"),
           QStringLiteral("Cancel to abort changes"));

    auto* grid = new QGridLayout(fraPort);
    grid->addWidget(lblCom, 0, 0);
    grid->addWidget(cboPorts, 0, 1);
    grid->addWidget(cmdPorts, 0, 2);
    grid->addWidget(lblBaud, 1, 0);
    grid->addWidget(cboBaud, 1, 1);
    grid->addWidget(lblData, 2, 0);
    grid->addWidget(cboData, 2, 1);
    grid->addWidget(lblParity, 3, 0);
    grid->addWidget(cboParity, 3, 1);
    grid->addWidget(lblStop, 4, 0);
    grid->addWidget(cboStop, 4, 1);
    grid->setColumnStretch(1, 1);

    // The protocol is no port setting: it sits below the frame, aligned with its lists.
    auto* protocol = new QGridLayout;
    protocol->setContentsMargins(grid->contentsMargins().left() + fraPort->contentsMargins().left(),
                                 0, grid->contentsMargins().right(), 0);
    protocol->addWidget(lblProtocol, 0, 0);
    protocol->addWidget(cboProtocol, 0, 1);
    protocol->addWidget(cmdAdvanced, 1, 1);
    protocol->setColumnStretch(1, 1);
    protocol->addItem(new QSpacerItem(cmdPorts->width(), 0, QSizePolicy::Fixed), 0, 2);
    protocol->setColumnMinimumWidth(0, lblStop->sizeHint().width());
    grid->setColumnMinimumWidth(0, lblProtocol->sizeHint().width());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraPort);
    layout->addLayout(protocol);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    connect(cmdPorts, &QPushButton::clicked, this, &frmPortSetup::cmdPorts_Click);
    connect(cmdAdvanced, &QPushButton::clicked, this, &frmPortSetup::cmdAdvanced_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmPortSetup::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPortSetup::cmdCancel_Click);
}

void frmPortSetup::FillLists() {
    Fill(cboBaud, BaudEntries());
    Fill(cboData, DataBitsEntries());
    Fill(cboParity, ParityEntries());
    Fill(cboStop, StopBitsEntries());
    Fill(cboProtocol, OfferedProtocols());
    // Opening the window always offers every port; the detected ones only right after a
    // detection.
    FillPorts(QString());
}

void frmPortSetup::FillPorts(const QString& detectedPorts) {
    Fill(cboPorts, PortEntries(detectedPorts));
}

void frmPortSetup::SelectStoredValues() {
    const ClientModeRecord& mode = CurrentClientMode;
    SelectExact(cboBaud, mode.Baud);
    SelectExact(cboData, mode.DataBits);
    SelectExact(cboParity, ParityShown(mode.Parity));
    SelectExact(cboStop, mode.StopBits);
    SelectExact(cboProtocol, ProtocolDisplayName(mode.Protocol));
    SelectExact(cboPorts, StoredPortEntry(mode.PortNumber));
}

void frmPortSetup::RefreshPortTips() {
    const QList<int> present = CurrentSerialLines().PresentPorts();
    QStringList entries;
    for (int i = 0; i < cboPorts->count(); ++i) {
        entries << cboPorts->itemText(i);
    }
    for (int i = 0; i < cboPorts->count(); ++i) {
        const int port = PortNumberOfEntry(entries.at(i), entries);
        QString tip = QStringLiteral("No serial port");
        if (port > 0) {
            const QString name = QStringLiteral("COM") + QString::number(port);
            const int status = present.contains(port) ? SaxComm::PortStatus(name) : kPortAbsent;
            tip = name + QStringLiteral(" is ") + ComPortDevice(port) + QStringLiteral(": ") +
                  StatusText(status);
        }
        cboPorts->setItemData(i, tip, Qt::ToolTipRole);
    }
}

void frmPortSetup::cmdPorts_Click() {
    if (detecting_) {
        return;
    }
    // The ports probed are this computer's, so only its own clients are detected here.
    const QString server = CurrentClientMode.ServerName.trimmed();
    if (LocalComputerName.isEmpty() ||
        server.compare(LocalComputerName, Qt::CaseInsensitive) != 0) {
        return;
    }
    // Waits let events in: nothing of the window may act until the detection is over.
    detecting_ = true;
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QPointer<frmPortSetup> self(this);
    const PortDetection detection = DetectComPorts([self] { return !self.isNull(); });
    QApplication::restoreOverrideCursor();
    if (!self) {
        return;  // the window went away; what was found is not stored
    }
    if (detection.completed) {
        UpdateRecordsMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("dnc_server_id"),
                         SqlValue::Number(CurrentServerId), QStringLiteral("com_ports"),
                         SqlValue::Text(detection.detectedPorts));
        ReadClientMode(CurrentClientId);
        FillPorts(CurrentClientMode.DetectedPorts);
        SelectExact(cboPorts, StoredPortEntry(CurrentClientMode.PortNumber));
    }
    setEnabled(true);
    detecting_ = false;
    ShowMessage(DetectionSummary(detection), MsgButtons::Ok, MsgIcon::Information);
}

void frmPortSetup::cmdAdvanced_Click() {
    const ProtocolDialogChoice choice = ProtocolDialogFor(StoredProtocolIdMDB(CurrentClientId));
    ProtocolDialogValues values;
    values.useId = SettingIsTrue(QStringLiteral("USEID"));
    values.idSequential = SettingIsTrue(QStringLiteral("IDSEQUENTIAL"));
    values.clientId = CurrentClientId;
    values.dncPath = DncConnectionString;
    if (choice.helpFileIndex >= 0 && choice.helpFileIndex < HelpFileNames.size() &&
        !HelpFileNames.at(choice.helpFileIndex).isEmpty()) {
        values.helpName = JoinPath(ProgramFolder(), HelpFileNames.at(choice.helpFileIndex));
    }

    std::unique_ptr<QDialog> dialog = CreateProtocolDialog(choice.kind, this);
    const QPointer<QDialog> dialogAlive(dialog.get());
    SetProtocolDialogValues(*dialog, values);
    ShowProtocolDialog(*dialog);
    QCoreApplication::processEvents();
    // The dialog wrote through a connection of its own: reopen ours to see its changes.
    DncConnection.Close();
    DncConnection.Open(DncConnectionString, QString(), QString());
    QCoreApplication::processEvents();
    if (!dialogAlive) {
        (void)dialog.release();  // deleted with its parent already
    }
}

void frmPortSetup::cmdOK_Click() {
    if (detecting_) {
        return;
    }
    const QString chosen = Chosen(cboProtocol).value_or(QString());
    const CurrentProtocol current =
        CurrentProtocolForOk(CurrentClientId, CurrentClientMode.Protocol);
    if (const std::optional<ProtocolRefusal> refusal = RefusalFor(current.name, chosen)) {
        ShowMessage(refusal->text, MsgButtons::Ok, MsgIcon::Critical, refusal->title);
        SelectExact(cboProtocol, current.name);
        return;
    }

    QStringList portEntries;
    for (int i = 0; i < cboPorts->count(); ++i) {
        portEntries << cboPorts->itemText(i);
    }
    PortValues values;
    if (const std::optional<QString> port = Chosen(cboPorts)) {
        values.port = PortNumberOfEntry(*port, portEntries);
    }
    values.baud = Chosen(cboBaud);
    values.dataBits = Chosen(cboData);
    values.stopBits = Chosen(cboStop);
    if (const std::optional<QString> parity = Chosen(cboParity)) {
        values.parity = parity->left(1);
    }
    const PortSetupSave saved = SavePortSetup(CurrentClientId, current, chosen, values);
    if (saved == PortSetupSave::ClientGone) {
        // Nothing to edit any more: the window closes and its opener reads its lists again.
        ShowClientGone(CurrentClientName);
        reject();
        return;
    }
    if (saved != PortSetupSave::Saved) {
        return;  // shown or reported; nothing was written and the window stays open
    }
    ReadClientMode(CurrentClientId);
    accept();
}

void frmPortSetup::cmdCancel_Click() {
    if (detecting_) {
        return;
    }
    QDialog::reject();
}

void frmPortSetup::reject() {
    if (!detecting_) {
        QDialog::reject();
    }
}

void frmPortSetup::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc have no role in this window.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}

void frmPortSetup::closeEvent(QCloseEvent* event) {
    if (detecting_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool OpenPortSetup(QWidget* parent) {
    // A record left from another client must never show (or be saved) for this one.
    CurrentClientMode = ClientModeRecord();
    if (!ReadCurrentClientIds() || CurrentClientMode.ClientId != CurrentClientId) {
        return false;
    }
    frmPortSetup window(parent);
    ShowModal(window);
    return true;
}
