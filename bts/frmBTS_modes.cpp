// The BTS window's operations: the modes cmdModeSet carries out (database columns, adapter
// exchanges or both) and the Bluetooth assistant flows they lead into.

#include "base/modal.h"
#include "base/settings.h"
#include "bts/bts_log.h"
#include "bts/bts_pin.h"
#include "bts/bts_window_logic.h"
#include "bts/frmBTS.h"
#include "bts/frmBTSMan.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"

#include <QComboBox>
#include <QListWidget>
#include <QPointer>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

void frmBTS::cmdModeSet_Click() {
    if (busy_ || clientId_ == 0) {
        return;
    }
    // The operation stays with this client whatever happens to the list meanwhile.
    const qint32 clientId = clientId_;
    const QString clientName = clientName_;
    BeginOperation();
    QPointer<frmBTS> self(this);
    RunMode(btsMode_, clientId, clientName);
    if (self) {
        EndOperation();
    }
}

void frmBTS::RunMode(int mode, qint32 clientId, const QString& clientName) {
    const std::optional<BtsClientAttributes> attributes = ReadBtsClientAttributes(clientId);
    if (!attributes) {
        return;  // the client is gone
    }
    bts_.ClientBtsUsed = attributes->bts_used;
    bts_.ClientBtsLatency = attributes->bts_latency;
    bool reprobe = mode != BtsModes::kDeviceConfig && mode != BtsModes::kNone;
    bool refresh = mode != BtsModes::kDiscoverOn && mode != BtsModes::kDiscoverOff &&
                   mode != BtsModes::kVerify;
    const auto showThenClear = [this](const QString& text, int dots) {
        ShowStatus(text);
        Dots(dots);
        ShowStatus(QString());
    };
    switch (mode) {
        case BtsModes::kOff:
            StoreBtsOff(clientId);
            showThenClear(QStringLiteral("BTS OFF"), 1);
            break;
        case BtsModes::kOn:
            StoreBtsOn(clientId, attributes->eob_delay);
            showThenClear(QStringLiteral("BTS ON"), 1);
            break;
        case BtsModes::kDeviceConfig:
            refresh = RunDeviceConfig(clientId, clientName);
            break;
        case BtsModes::kDiscoverOn:
            if (bts_.CheckBtsPrerequisites()) {
                break;
            }
            bts_.SetBtsDiscover(true);
            Dots(2);
            ShowStatus(QString());
            break;
        case BtsModes::kDiscoverOff:
            if (bts_.CheckBtsPrerequisites()) {
                break;
            }
            bts_.SetBtsDiscover(false);
            Dots(2);
            if (!Closing()) {
                bts_.SetBtsEcho(false);
                Dots(2);
            }
            ShowStatus(QString());
            break;
        case BtsModes::kVerify:
            if (bts_.VerifyBts()) {
                showThenClear(bts_.VerifyText, 1);
            } else {
                showThenClear(QStringLiteral("BTS verified for client") + kCrLf + bts_.VerifyText,
                              5);
            }
            break;
        case BtsModes::kDelete:
            if (ShowMessage(
                    QStringLiteral("You are about to delete all BTS settings of client \"") +
                        clientName + QLatin1Char('"'),
                    MsgButtons::OkCancel, MsgIcon::None,
                    QStringLiteral("Warning! Delete BTS")) != MsgAnswer::Ok) {
                return;
            }
            StoreBtsDelete(clientId);
            showThenClear(QStringLiteral("BTS DELETE"), 1);
            break;
        case BtsModes::kChannelOn:
        case BtsModes::kChannelOff:
            StoreBtsLoop(clientId, mode == BtsModes::kChannelOn);
            showThenClear(mode == BtsModes::kChannelOn ? QStringLiteral("CHANNEL ON")
                                                       : QStringLiteral("CHANNEL OFF"),
                          1);
            break;
        case BtsModes::kLatencyOn:
        case BtsModes::kLatencyOff: {
            const bool on = mode == BtsModes::kLatencyOn;
            // Stored only once the adapter holds it, so the two never disagree.
            if (!bts_.SetBtsLatency(on)) {
                StoreBtsLatency(clientId, on);
            }
            Dots(1);
            ShowStatus(QString());
            break;
        }
        case BtsModes::kEchoOff:
        case BtsModes::kEchoOn:
            bts_.SetBtsEcho(mode == BtsModes::kEchoOn);
            Dots(1);
            ShowStatus(QString());
            break;
        default:
            break;
    }
    if (Closing()) {
        return;
    }
    if (reprobe) {
        ReleasePort();
        Reprobe();
    }
    if (refresh) {
        RefreshClient(clientId);
    }
}

bool frmBTS::RunDeviceConfig(qint32 clientId, const QString& clientName) {
    if (bts_.CheckBtsPrerequisites()) {
        return false;
    }
    ShowStatus(QString());
    const bool detected = bts_.DetectBts();
    bool failed = true;
    if (!detected && !bts_.AbortRequested && !Closing()) {
        ShowStatus(QString());
        ReleasePort();
        ShowMessage(QStringLiteral("BTS not detected on ") + selectedComPort_ +
                        QStringLiteral(" press reset on BTS and try again:"),
                    MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("BTS configuration Failed!"));
        return true;
    }
    if (detected && !bts_.AbortRequested && !Closing()) {
        ShowStatus(QStringLiteral("BTS Detected"));
        addressClientId_ = 0;
        failed = bts_.ConfigureBtsOn();
    }
    if (bts_.AbortRequested || Closing()) {
        bts_.AbortRequested = false;
        if (!Closing()) {
            ShowStatus(QStringLiteral("Config. aborted"));
            Dots(1);
            ShowStatus(QString());
        }
        return true;
    }
    if (!failed) {
        addressClientId_ = clientId;
        ReleasePort();
        BluetoothAssistantFor(clientId, clientName);
    }
    return true;
}

// ---- The assistant ---------------------------------------------------------------------

void frmBTS::RunBluetoothAssistant() {
    if (busy_) {
        return;
    }
    if (clientId_ == 0) {
        ShowMessage(QStringLiteral("Select the client whose adapter is to be paired first"),
                    MsgButtons::Ok, MsgIcon::Critical, BtsAdministrationTitle());
        return;
    }
    const qint32 clientId = clientId_;
    const QString clientName = clientName_;
    BeginOperation();
    QPointer<frmBTS> self(this);
    BluetoothAssistantFor(clientId, clientName);
    if (!self) {
        return;
    }
    if (!Closing()) {
        RefreshClient(clientId);
    }
    EndOperation();
}

void frmBTS::BluetoothAssistantFor(qint32 clientId, const QString& clientName) {
    Assistant.ClearFlow();
    if (!StartOutsideProgram(BtManagerPath, BluetoothSettingsTitle(),
                             QStringLiteral("Unable to start Bluetooth Settings wizard!"))) {
        return;
    }
    Assistant.msBTSAddress = bts_.msBTSAddress;
    Assistant.msBTSAddressPart = bts_.msBTSAddressPart;
    Assistant.msPinNumber = bts_.msPinNumber;
    Assistant.msInstructionString =
        InstructionText(BluetoothInstructionLines(bts_.msBTSAddressPart));
    if (!Closing() && ShowInstructions(Assistant, this) && !Closing()) {
        frmBTSMan window(Assistant, this);
        ShowModal(window);
    }
    if (Assistant.mbUpdateComAndLog && !Closing()) {
        if (addressClientId_ != clientId) {
            // The address in hand was read from another client's adapter, or none was read.
            ShowMessage(QStringLiteral("No adapter was configured for client ") + clientName +
                            QStringLiteral(" since this window opened, so its address is not "
                                           "known: nothing was stored. Configure the adapter "
                                           "with BTS DEVICE CONFIG. first."),
                        MsgButtons::Ok, MsgIcon::Critical, BtsAdministrationTitle());
        } else {
            const QString port = Assistant.msBTSManAssignedComPort;
            WriteAppendStatusFile(clientName + QLatin1Char(' ') + port + QLatin1Char(' ') +
                                  Assistant.msBTSManDeviceName + QLatin1Char(' ') +
                                  Assistant.msBTSAddress);
            const qint16 number = BtsComPortNumber(port);
            StoreBtsComPort(clientId, number);
            if (clientId == CurrentClientId) {
                CurrentClientMode.PortNumber = number;
            }
            miComPort = number;
            StoreBtsAddressAndPin(clientId, Assistant.msBTSAddress, Assistant.msPinNumber);
            const QString discoverOff = QStringLiteral("DISCOVER OFF");
            SelectPortsEntry(discoverOff);
            ApplyModeEntry(discoverOff);
            RunMode(BtsModes::kDiscoverOff, clientId, clientName);
        }
    }
    if (!Closing()) {
        WaitForWindowToClose(BluetoothSettingsTitle(),
                             QStringLiteral("Close the Bluetooth Settings application"));
    }
}

void frmBTS::RunReconnectGuide() {
    if (!BeginOperation()) {
        return;
    }
    QPointer<frmBTS> self(this);
    Assistant.ClearFlow();
    if (StartOutsideProgram(BtsReconnectPath, ReconnectTitle(),
                            QStringLiteral("Unable to start COMReConnect!")) &&
        !Closing()) {
        Assistant.msInstructionString = InstructionText(ReconnectInstructionLines());
        if (ShowInstructions(Assistant, this) && !Closing()) {
            WaitForWindowToClose(ReconnectTitle(),
                                 QStringLiteral("Close the 'COMReConnect' application!"));
        }
    }
    if (self) {
        EndOperation();
    }
}
