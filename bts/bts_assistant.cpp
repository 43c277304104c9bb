#include "bts/bts_assistant.h"

#include "base/messages.h"
#include "base/modal.h"
#include "base/platform.h"
#include "base/waits.h"
#include "bts/frmInstructions.h"

void BtsAssistantFields::ClearFlow() {
    mbUpdateComAndLog = false;
    mbInstructionOK = false;
    msInstructionString.clear();
    msBTSManDeviceName.clear();
    msBTSManAssignedComPort.clear();
}

QString BluetoothSettingsTitle() {
    return QStringLiteral("Bluetooth Settings");
}

QString ReconnectTitle() {
    return QStringLiteral("COMReConnect");
}

QString BtsAdministrationTitle() {
    return QStringLiteral("DNC Client BTS administration");
}

QString InstructionText(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) {
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

QStringList BluetoothInstructionLines(const QString& addressPart) {
    return {QStringLiteral("The Bluetooth Settings application 'Add New Connection wizard' should "
                           "now be displayed."),
            QStringLiteral("If NOT click the 'New Connection' button."),
            QStringLiteral("Continue through the wizard, click the 'Next>' button when shown."),
            QStringLiteral("Note the com port the wizard assigns to device ") + addressPart +
                QStringLiteral(" for later use."),
            QStringLiteral("Click on the 'DONE' button to finish setting up the TolvaneBTS "
                           "device ") +
                addressPart + QStringLiteral(".")};
}

QStringList ReconnectInstructionLines() {
    return {
        QStringLiteral("The 'COMReConnect' utility should now be displayed."),
        QStringLiteral(
            "If ALL the Bluetooth com ports have NOT been added, CLOSE 'COMReConnect' NOW."),
        QStringLiteral("UNCHECK all displayed PortNames, then in sequence select each PortName."),
        QStringLiteral("Set 'Interval time:' and 'Link supervision timeout:' each to 40, then "
                       "click the box to CHECK it."),
        QStringLiteral("LASTLY, check the option at the bottom, 'Place icon in the taskbar'."),
        QStringLiteral(
            "CLOSE 'COMReConnect' NOW. Right click on COMReConnect taskbar icon and EXIT."),
        QStringLiteral("Restart this computer and observe that 'COMReConnect' is in the taskbar.")};
}

QStringList AssignedPortInstructionLines(const QString& port, const QString& addressPart) {
    return {port + QStringLiteral(" has been assigned to TolvaneBTS device ") + addressPart +
                QStringLiteral("."),
            QStringLiteral("To update the assigned com port and configuration log, click 'OK'."),
            QStringLiteral("To quit without update, click 'CANCEL'."),
            QStringLiteral("Delete any incorrectly configured TolvaneBTS device from the "
                           "'Bluetooth Settings'."),
            QStringLiteral("CLOSE the 'Bluetooth Settings' application now.")};
}

bool StartOutsideProgram(const QString& commandLine, const QString& windowTitle,
                         const QString& failureText) {
    if (StartCommandLine(commandLine)) {
        // Look every tenth of a second: the flow goes on as soon as the window is there.
        for (int waited = 0; waited < 1000;) {
            WaitMilliseconds(100);
            waited += 100;
            if (FindWindowByTitleSeam(windowTitle) != 0) {
                return true;
            }
        }
    }
    ShowMessage(failureText, MsgButtons::Ok, MsgIcon::Critical, BtsAdministrationTitle());
    return false;
}

bool WaitForWindowToClose(const QString& windowTitle, const QString& prompt) {
    while (FindWindowByTitleSeam(windowTitle) != 0) {
        if (ShowMessage(prompt, MsgButtons::RetryCancel, MsgIcon::Critical,
                        BtsAdministrationTitle()) != MsgAnswer::Retry) {
            return FindWindowByTitleSeam(windowTitle) == 0;
        }
        WaitMilliseconds(1000);
    }
    return true;
}

bool ShowInstructions(BtsAssistantFields& fields, QWidget* parent) {
    frmInstructions window(fields, parent);
    ShowModal(window);
    return fields.mbInstructionOK;
}
