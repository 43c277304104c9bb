#include "bts/frmBTSMan.h"

#include "base/dialog_parts.h"
#include "base/messages.h"
#include "bts/bts_assistant.h"
#include "components/port_probe.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

const QString kNoCom = QStringLiteral("NO COM SELECTED");

}  // namespace

frmBTSMan::frmBTSMan(BtsAssistantFields& fields, QWidget* parent)
    : QDialog(parent), fields_(fields), SaxComm2(QStringLiteral("SaxComm2")) {
    setObjectName(QStringLiteral("frmBTSMan"));
    setWindowTitle(QStringLiteral("Kestrum Bluetooth Settings"));
    SaxComm2.setParent(this);  // found by name like the window's controls
    SaxComm2.Initialise();

    cboPorts1 = new QComboBox(this);
    cboPorts1->setObjectName(QStringLiteral("cboPorts1"));
    cboPorts1->addItem(kNoCom);
    for (int port = 1; port <= 99; ++port) {
        cboPorts1->addItem(QStringLiteral("COM ") + QString::number(port));
    }
    cboPorts1->setCurrentIndex(0);
    txtPin = new QLineEdit(QStringLiteral("Paste into PIN"), this);
    txtPin->setObjectName(QStringLiteral("txtPin"));
    txtPin->setEnabled(false);
    txtComPortName = new QLineEdit(QStringLiteral("Paste into NAME"), this);
    txtComPortName->setObjectName(QStringLiteral("txtComPortName"));
    txtComPortName->setEnabled(false);
    Command1 = new QPushButton(QStringLiteral("DONE"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);

    const QString deviceName =
        fields_.msBTSAddressPart.isEmpty() ? QStringLiteral("000000") : fields_.msBTSAddressPart;
    lblPin = NamedLabel(
        QStringLiteral("lblPin"),
        QStringLiteral("BTS device ") + fields_.msBTSAddress + QStringLiteral(" Server PIN:"),
        this);
    lblBTPin = NamedLabel(QStringLiteral("lblBTPin"),
                          QStringLiteral("Bluetooth Passkey (PIN): ") + fields_.msPinNumber, this);
    lblRename = NamedLabel(QStringLiteral("lblRename"),
                           QStringLiteral("Right-Click on the connection ") + deviceName +
                               QStringLiteral(" and RENAME below, copy and paste:"),
                           this);

    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(NamedLabel(QStringLiteral("Label1"),
                               QStringLiteral("Select the com port assigned by "), this),
                    row++, 0, 1, 2);
    grid->addWidget(
        NamedLabel(QStringLiteral("Label2"), QStringLiteral("Bluetooth Settings wizard:"), this),
        row, 0);
    grid->addWidget(cboPorts1, row++, 1);
    grid->addWidget(lblPin, row++, 0, 1, 2);
    grid->addWidget(lblBTPin, row, 0);
    grid->addWidget(txtPin, row++, 1);
    grid->addWidget(NamedLabel(QStringLiteral("Label3_0"), QStringLiteral("CTRL+V to paste"), this),
                    row++, 1);
    grid->addWidget(lblRename, row++, 0, 1, 2);
    grid->addWidget(NamedLabel(QStringLiteral("Label4"),
                               QStringLiteral("Shown in        Bluetooth Settings:"), this),
                    row, 0);
    grid->addWidget(txtComPortName, row++, 1);
    grid->addWidget(NamedLabel(QStringLiteral("Label3_1"), QStringLiteral("CTRL+V to paste"), this),
                    row++, 1);
    grid->addWidget(Command1, row++, 1, Qt::AlignRight);

    connect(cboPorts1, &QComboBox::currentIndexChanged, this, &frmBTSMan::cboPorts1_Click);
    connect(Command1, &QPushButton::clicked, this, &frmBTSMan::Command1_Click);
    // The two boxes only hold what is to be pasted elsewhere: an edit is undone at once.
    connect(txtPin, &QLineEdit::textEdited, this, [this] { txtPin->setText(fields_.msPinNumber); });
    connect(txtComPortName, &QLineEdit::textEdited, this,
            [this] { txtComPortName->setText(connectionName_); });
}

frmBTSMan::~frmBTSMan() {
    SaxComm2.SetPortOpen(false);
}

void frmBTSMan::SelectNoPort() {
    // Selected from here, not by the operator: the click handler must not run again.
    const QSignalBlocker blocker(cboPorts1);
    cboPorts1->setCurrentIndex(0);
}

void frmBTSMan::cboPorts1_Click(int index) {
    if (!chosenPort_.isEmpty()) {
        QString port = chosenPort_;
        if (ReleaseComPort(SaxComm2, port, PortProbeTexts::Bts())) {
            SelectNoPort();
            return;
        }
    }
    const QString entry = cboPorts1->itemText(index);
    if (index <= 0 || entry == kNoCom) {
        return;
    }
    txtPin->setText(fields_.msPinNumber);
    txtPin->setEnabled(true);
    txtPin->selectAll();
    CopyToClipboard(fields_.msPinNumber);
    chosenPort_ = entry;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool failed = ProbeComPort(SaxComm2, chosenPort_, PortProbeTexts::BtsMan());
    QApplication::restoreOverrideCursor();
    if (failed) {
        SelectNoPort();
        txtPin->setEnabled(false);
        ShowMessage(chosenPort_ + QStringLiteral(" failed to open"), MsgButtons::Ok,
                    MsgIcon::Critical, QStringLiteral("Com port open failed!"));
        return;
    }
    connectionName_ = fields_.msBTSAddressPart + QLatin1Char(' ') + chosenPort_;
    CopyToClipboard(connectionName_);
    txtComPortName->setText(connectionName_);
    txtComPortName->setEnabled(true);
}

void frmBTSMan::Command1_Click() {
    if (cboPorts1->currentIndex() <= 0) {
        ShowMessage(QStringLiteral("Select the assigned COM port"), MsgButtons::Ok,
                    MsgIcon::Critical, QStringLiteral("No Com port selected!"));
        return;
    }
    fields_.msBTSManDeviceName = connectionName_;
    fields_.msBTSManAssignedComPort = chosenPort_;
    fields_.msInstructionString =
        InstructionText(AssignedPortInstructionLines(chosenPort_, fields_.msBTSAddressPart));
    if (ShowInstructions(fields_, this)) {
        fields_.mbUpdateComAndLog = true;
    }
    accept();
}

void frmBTSMan::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
