#pragma once
// Clone Client administration: copies one client's properties and directories onto the
// clients collected in the target list. Nothing is written before OK.

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
struct CloneRun;

class frmCloneClients : public QDialog {
    Q_OBJECT
public:
    explicit frmCloneClients(QWidget* parent = nullptr);

    // More targets than this show their progress in a window of their own.
    static constexpr int kProgressAbove = 5;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cboServers1_Click(int index);
    void cmdAdd_Click();
    void cmdSub_Click();
    void cmdOK_Click();
    void RunClone(CloneRun& run);

    QLabel* lblClone_;
    QLabel* Label1_;
    std::array<QComboBox*, 2> cboServers1_{};
    std::array<QListWidget*, 2> lstClients1_{};
    QPushButton* cmdAdd_;
    QPushButton* cmdSub_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
};

// The progress of a clone onto many targets: runs the targets one by one while it is shown,
// and closes when the last is done. Cancel stops after the target being copied.
class frmCloneProgress : public QDialog {
    Q_OBJECT
public:
    frmCloneProgress(CloneRun& run, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RunNext();
    void ShowDone();

    CloneRun& run_;
    QLabel* label_;
    class QProgressBar* bar_;
    bool started_ = false;
};
