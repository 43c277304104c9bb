#pragma once
// Port setup of the current client: its serial port, line settings and protocol, the
// detection of this computer's usable ports, and the protocol's attribute dialog.

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

class frmPortSetup : public QDialog {
    Q_OBJECT
public:
    // Works on CurrentClientName, CurrentClientId, CurrentServerId and CurrentClientMode,
    // which the opener has set and read.
    explicit frmPortSetup(QWidget* parent = nullptr);
    ~frmPortSetup() override;

    bool Detecting() const { return detecting_; }
    // Sets each port entry's tool tip: the device it stands for and whether it is present,
    // free or in use. Runs whenever the port list opens.
    void RefreshPortTips();

public Q_SLOTS:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void FillLists();
    void FillPorts(const QString& detectedPorts);
    void SelectStoredValues();
    void cmdPorts_Click();
    void cmdAdvanced_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    QGroupBox* fraPort = nullptr;
    QLabel* lblCom = nullptr;
    QComboBox* cboPorts = nullptr;
    QPushButton* cmdPorts = nullptr;
    QLabel* lblBaud = nullptr;
    QComboBox* cboBaud = nullptr;
    QLabel* lblData = nullptr;
    QComboBox* cboData = nullptr;
    QLabel* lblParity = nullptr;
    QComboBox* cboParity = nullptr;
    QLabel* lblStop = nullptr;
    QComboBox* cboStop = nullptr;
    QLabel* lblProtocol = nullptr;
    QComboBox* cboProtocol = nullptr;
    QPushButton* cmdAdvanced = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    bool detecting_ = false;
};

// Opens port setup modally for CurrentClientName (the client administration window sets it
// first): reads the client's ids and mode record, then shows the window. Returns false,
// showing nothing, when the client is not found.
bool OpenPortSetup(QWidget* parent);
