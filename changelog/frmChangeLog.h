#pragma once
// Change log: the recorded changes to the configuration, newest first, filtered by server,
// client and date, and saved as CSV.

#include "db/change_log.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTreeWidget;

class frmChangeLog : public QDialog {
    Q_OBJECT
public:
    explicit frmChangeLog(QWidget* parent = nullptr);

    // The filter the controls give.
    ChangeLogFilter Filter() const;
    const QList<ChangeLogEntry>& Entries() const { return entries_; }
    void Reload();

private:
    void FillChoices();
    void cmdSave_Click();

    QComboBox* cboServer_;
    QComboBox* cboClient_;
    QCheckBox* chkSince_;
    QDateEdit* dtpSince_;
    QCheckBox* chkUntil_;
    QDateEdit* dtpUntil_;
    QTreeWidget* lstEntries_;
    QLabel* lblCount_;
    QPushButton* cmdSave_;
    QPushButton* cmdClose_;
    QList<ChangeLogEntry> entries_;
};
