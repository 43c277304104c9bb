#pragma once
// The protocol attribute dialogs, as port setup opens them. Each is a QDialog with five
// Qt properties, PropClientUSEID (bool), PropClientIDSEQUENTIAL (bool), PropClientID (int),
// PropDNCpath (QString: the connection string) and HelpName (QString), and an invokable
// Show() that returns when the dialog has closed. It works on the client's rows through a
// connection of its own.
//
// The dialogs are made by a factory, so the program, the tests and a build without the real
// dialogs each install their own.

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

enum class ProtocolDialogKind {
    Standard,      // ids 1, 2, 3 and any id not listed below
    Btr,           // id 4
    ShopTerminal,  // id 5
    LineTerminal,  // 6, 61-63
    Remote,        // 7, 71-73
    Mazatrol,      // 10, 101-103
};

struct ProtocolDialogChoice {
    ProtocolDialogKind kind = ProtocolDialogKind::Standard;
    int helpFileIndex = -1;  // index into HelpFileNames (HELPFILENAMEn), -1 for none
};

// Which dialog and help file a stored protocol_id gets; nothing found gives the standard
// dialog without a help file.
ProtocolDialogChoice ProtocolDialogFor(std::optional<qint32> protocolId);

using ProtocolDialogFactory =
    std::function<std::unique_ptr<QDialog>(ProtocolDialogKind kind, QWidget* parent)>;

// Installs a factory and returns the one it replaces; an empty one restores the dialogs that
// ship with the program.
ProtocolDialogFactory SetProtocolDialogFactory(ProtocolDialogFactory factory);
std::unique_ptr<QDialog> CreateProtocolDialog(ProtocolDialogKind kind, QWidget* parent);

// The values a dialog receives.
struct ProtocolDialogValues {
    bool useId = false;
    bool idSequential = false;
    qint32 clientId = 0;
    QString dncPath;
    QString helpName;
};
// Sets the five properties; false (with a warning) when the dialog does not declare one.
bool SetProtocolDialogValues(QDialog& dialog, const ProtocolDialogValues& values);
// Calls the dialog's Show(); a dialog without one is shown modally.
void ShowProtocolDialog(QDialog& dialog);
