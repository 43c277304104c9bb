#pragma once
// Instructions for a step in an outside program: the text cannot be edited; OK or CANCEL
// tells the flow whether the operator did what it says.

#include <QDialog>

struct BtsAssistantFields;
class QPlainTextEdit;
class QPushButton;

class frmInstructions : public QDialog {
    Q_OBJECT
public:
    explicit frmInstructions(BtsAssistantFields& fields, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RestoreText();

    BtsAssistantFields& fields_;
    QPlainTextEdit* txtInstructions;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};
