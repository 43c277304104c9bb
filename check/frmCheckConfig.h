#pragma once
// Check configuration: the findings of the configuration check grouped by server, with a
// count per severity. A double-click opens the client window on the finding's client;
// Repair acts on the selected findings that have one safe answer.

#include "check/configuration_check.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class frmCheckConfig : public QDialog {
    Q_OBJECT
public:
    explicit frmCheckConfig(QWidget* parent = nullptr);

    const QList<Finding>& Findings() const { return findings_; }
    // The report as Save and Copy give it.
    QString ReportText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RunCheck();
    void ShowFindings();
    void OpenClient(QTreeWidgetItem* item);
    void Repair();
    void Save();
    void UpdateButtons();
    QList<const Finding*> SelectedFindings() const;

    QList<Finding> findings_;
    QLabel* lblSummary_ = nullptr;
    QTreeWidget* treeFindings_ = nullptr;
    QPushButton* cmdCheck_ = nullptr;
    QPushButton* cmdRepair_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdCopy_ = nullptr;
    QPushButton* cmdClose_ = nullptr;
};
