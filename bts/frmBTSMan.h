#pragma once
// The pairing step: the operator picks the com port the Bluetooth settings program gave
// the adapter; the PIN and the connection name go to the clipboard for pasting there.

#include "components/saxcomm.h"

#include <QDialog>

struct BtsAssistantFields;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmBTSMan : public QDialog {
    Q_OBJECT
public:
    explicit frmBTSMan(BtsAssistantFields& fields, QWidget* parent = nullptr);
    ~frmBTSMan() override;

    QString ChosenPort() const { return chosenPort_; }
    QString ConnectionName() const { return connectionName_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cboPorts1_Click(int index);
    void Command1_Click();
    void SelectNoPort();

    BtsAssistantFields& fields_;
    QString chosenPort_;
    QString connectionName_;
    SaxComm SaxComm2;
    QComboBox* cboPorts1;
    QLineEdit* txtPin;
    QLineEdit* txtComPortName;
    QPushButton* Command1;
    QLabel* lblPin;
    QLabel* lblBTPin;
    QLabel* lblRename;
};
