#pragma once
// Change log: the recorded changes to the configuration, newest first, filtered by server,
// client and date (days in UTC, as the times are shown), and saved as CSV. The list reads a
// page at a time as it is scrolled; a client name being typed is looked up once the typing
// pauses.

#include "db/change_log.h"

#include <QDialog>

class ChangeLogModel;
class ClockTimer;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTreeView;

class frmChangeLog : public QDialog {
    Q_OBJECT
public:
    // How long typing in the client box must pause before the list follows it.
    static constexpr int kTypingPauseMs = 300;

    explicit frmChangeLog(QWidget* parent = nullptr);

    // The filter the controls give.
    ChangeLogFilter Filter() const;
    ChangeLogModel& Model() const { return *model_; }
    // Reads the list again from its first page.
    void Reload();

private:
    void FillChoices();
    void ShowCount();
    void cmdSave_Click();

    QComboBox* cboServer_;
    QComboBox* cboClient_;
    QCheckBox* chkSince_;
    QDateEdit* dtpSince_;
    QCheckBox* chkUntil_;
    QDateEdit* dtpUntil_;
    QTreeView* lstEntries_;
    QLabel* lblCount_;
    QPushButton* cmdSave_;
    QPushButton* cmdClose_;
    ChangeLogModel* model_;
    ClockTimer* typingPause_;
};
