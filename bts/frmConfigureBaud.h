#pragma once
// The rate at which the adapter search starts (BTSCONFIGBAUD: 0 1200, 1 2400, 2 4800,
// 3 9600). Read when the window opens, written when it closes.

#include <QDialog>

class QRadioButton;

class frmConfigureBaud : public QDialog {
    Q_OBJECT
public:
    explicit frmConfigureBaud(QWidget* parent = nullptr);

    void done(int result) override;

private:
    QRadioButton* options_[4];
};
