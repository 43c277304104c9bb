#pragma once
// Directory properties: what a client directory is used for, its alias and whether the
// client may explore from it. Nothing is written before OK.

#include "db/dnc_database.h"

#include <QDialog>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

class frmDirProps : public QDialog {
    Q_OBJECT
public:
    explicit frmDirProps(qint32 dirId, QWidget* parent = nullptr);
    ~frmDirProps() override;

    // Reads the settings and the directory; false (nothing shown) when the directory is gone.
    bool Load();

private:
    void chkAlias_Click(bool checked);
    void cmdOK_Click();

    qint32 dirId_;
    DirectoryRecord record_;
    bool aliasInUse_ = true;
    QGroupBox* fraAll_;
    QGroupBox* fraSpec_;
    std::array<QRadioButton*, 3> Option1_{};
    QButtonGroup* options_;
    QCheckBox* chkAlias_;
    QComboBox* cboAlias_;
    QCheckBox* chkExploreFromHere_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
};
