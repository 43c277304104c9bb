#pragma once
// The Bluetooth settings assistant: the outside Bluetooth settings program and the
// COMReConnect utility are started from their settings, found by their window titles, and
// the operator is guided through them with instruction windows. The fields below are what
// the BTS window shares with the assistant's windows.

#include <QString>
#include <QStringList>

class QWidget;

struct BtsAssistantFields {
    bool mbUpdateComAndLog = false;
    bool mbInstructionOK = false;
    QString msInstructionString;
    QString msBTSManDeviceName;
    QString msBTSManAssignedComPort;
    QString msBTSAddress;
    QString msBTSAddressPart;
    QString msPinNumber;

    // Step 1 of both flows: nothing confirmed, nothing assigned.
    void ClearFlow();
};

// Window titles the flows look for.
QString BluetoothSettingsTitle();
QString ReconnectTitle();
// The title of the assistant's messages.
QString BtsAdministrationTitle();

// Lines joined, each followed by CR LF.
QString InstructionText(const QStringList& lines);
QStringList BluetoothInstructionLines(const QString& addressPart);
QStringList ReconnectInstructionLines();
QStringList AssignedPortInstructionLines(const QString& port, const QString& addressPart);

// Starts the configured command line and gives its window a second to appear. False (after
// the "Unable to start" message) when it could not be started or its window did not appear.
bool StartOutsideProgram(const QString& commandLine, const QString& windowTitle,
                         const QString& failureText);

// While the outside window is open: the prompt (Retry or Cancel) and a second's wait.
// Cancel stops prompting, so the operator is never held here. Returns false when the
// window was still open when the operator cancelled.
bool WaitForWindowToClose(const QString& windowTitle, const QString& prompt);

// frmInstructions, modally: true when the operator pressed OK.
bool ShowInstructions(BtsAssistantFields& fields, QWidget* parent);
