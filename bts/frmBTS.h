#pragma once
// DNC Client BTS administration: pick a server and a client, choose a mode or the com port
// the adapter is wired to, and carry it out with one button: the client's BTS columns, the
// adapter's command protocol, or both. Also the BTS log menus, the Bluetooth assistant and
// the way into the terminal.
//
// An operation waits with the user interface live (tens of seconds for a configuration).
// Meanwhile the controls that choose what it works on are disabled, it works on the client
// it started with, and closing the window first aborts it.

#include "bts/bts_assistant.h"
#include "bts/bts_protocol.h"

#include <QDialog>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;

// What the terminal takes from the BTS window.
struct BtsTerminalValues {
    qint16 miComPort = 0;
    QString msMode;
    qint16 miCharBufferSize = 0;
    QString msBTSBaud;
};
// Opens the terminal modally; set by whoever links the terminal in.
using BtsTerminalOpener = std::function<void(QWidget* parent, const BtsTerminalValues& values)>;

class frmBTS : public QDialog {
    Q_OBJECT
public:
    explicit frmBTS(QWidget* parent = nullptr);
    ~frmBTS() override;

    // Installs the way into the terminal and returns the one it replaces.
    static BtsTerminalOpener SetTerminalOpener(BtsTerminalOpener opener);

    // State shared with the windows this one opens.
    qint16 miCharBufferSize = 0;
    qint16 miComPort = 0;
    QString msMode;
    QString msBTSLogReadString;
    BtsAssistantFields Assistant;

    BtsProtocol& Protocol() { return bts_; }
    int BtsMode() const { return btsMode_; }
    QString SelectedComPort() const { return selectedComPort_; }
    bool Busy() const { return busy_; }
    qint32 SelectedClientId() const { return clientId_; }

    // The two guides of the assistant, as their menus run them.
    void RunBluetoothAssistant();
    void RunReconnectGuide();

    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    void BuildMenus();
    void cboServers_Click(int index);
    void lstClients_Click(int row);
    void cboPorts_Click(int index);
    void cmdModeSet_Click();
    void SetPinLabel();
    void RefreshClient(qint32 clientId);
    void RefreshAttributeLabels(qint32 clientId);
    void ApplyModeEntry(const QString& entry);
    void SelectPort(const QString& entry, bool reprobeOnFailure);
    void Reprobe();
    void SelectPortsEntry(const QString& entry);

    bool BeginOperation();
    void EndOperation();
    void SetInputEnabled(bool enabled);
    void ReleasePort();
    // The work of one mode for the client the operation started with.
    void RunMode(int mode, qint32 clientId, const QString& clientName);
    bool RunDeviceConfig(qint32 clientId, const QString& clientName);
    void BluetoothAssistantFor(qint32 clientId, const QString& clientName);
    void ShowStatus(const QString& text);
    void Dots(int n);
    bool Closing() const { return closePending_; }
    void OpenTerminal();
    // Lets the port go and keeps the port chosen last for the next session.
    void Unload();

    BtsProtocol bts_;
    int btsMode_ = 2;
    QString selectedComPort_;
    QString btsCom_;     // the port the re-probe goes back to
    QString systemPin_;  // SYSTEMPIN; overrides every server's PIN when set
    qint32 clientId_ = 0;
    QString clientName_;
    qint32 addressClientId_ = 0;  // whose adapter msBTSAddress was read from
    bool busy_ = false;
    bool closePending_ = false;
    bool unloaded_ = false;

    QMenuBar* menuBar_;
    QAction* mnuBTSMan;
    QMenu* mnuBTSLog;
    QAction* mnuWriteBTSLog;
    QAction* mnuReadBTSLog;
    QAction* mnuDeleteBTSLog;
    QAction* mnuReconnect;
    QMenu* mnuTools;
    QAction* mnuConfigureBaud;
    QMenu* mnuCreateAPin;
    QAction* mnucCreatePin;
    QMenu* mnuTerm;
    QAction* mnuTerminal;

    QComboBox* cboServers;
    QListWidget* lstClients;
    QComboBox* cboPorts;
    QPushButton* cmdModeSet;
    QPlainTextEdit* txtConfigStatus;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* labClientName;
    QLabel* lblProperties;
    QLabel* lblMode;
    QLabel* lblProtocol;
    QLabel* labEobDelay;
    QLabel* lblPin;
    QLabel* lblAttributes;
    QLabel* lblBTSEnabled;
    QLabel* lblLoop;
    QLabel* lblLatency;
    QLabel* lblBTSAddress;
    QLabel* lblBTSPin;
};
