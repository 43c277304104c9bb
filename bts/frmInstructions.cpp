#include "bts/frmInstructions.h"

#include "bts/bts_assistant.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

frmInstructions::frmInstructions(BtsAssistantFields& fields, QWidget* parent)
    : QDialog(parent), fields_(fields) {
    setObjectName(QStringLiteral("frmInstructions"));
    setWindowTitle(QStringLiteral("DNC Client BTS administration - Instructions"));
    auto* layout = new QVBoxLayout(this);
    txtInstructions = new QPlainTextEdit(this);
    txtInstructions->setObjectName(QStringLiteral("txtInstructions"));
    txtInstructions->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(txtInstructions);
    auto* buttons = new QHBoxLayout;
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("CANCEL"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {cmdOK, cmdCancel}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    resize(620, 260);

    // Closing the window by its frame counts as CANCEL, also when an earlier window said OK.
    fields_.mbInstructionOK = false;
    RestoreText();
    connect(txtInstructions, &QPlainTextEdit::textChanged, this, &frmInstructions::RestoreText);
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        fields_.mbInstructionOK = true;
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        fields_.mbInstructionOK = false;
        reject();
    });
}

void frmInstructions::RestoreText() {
    // The instructions are the operator's guide, not an input: any edit is undone at once.
    const QString text =
        QString(fields_.msInstructionString).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (txtInstructions->toPlainText() != text) {
        const QSignalBlocker blocker(txtInstructions);
        txtInstructions->setPlainText(text);
    }
}

void frmInstructions::keyPressEvent(QKeyEvent* event) {
    // Neither Enter nor Esc answers for the operator; closing the window counts as CANCEL.
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
