#pragma once
// Merge DNCAdmin: up to four servers' DNCAdmin.ini files side by side, merged on request
// into the master DNCAdmin.ini of the master folder.

#include "dncadmin/dncadmin_merge.h"

#include <QDialog>

#include <array>

class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;

class frmToolsMerge : public QDialog {
    Q_OBJECT
public:
    explicit frmToolsMerge(QWidget* parent = nullptr);

    const MergeTable& Table() const { return table_; }

    void ShowMergeTable();
    void UpdateMergeButton();

    // The source file (0 to 3) or the master folder (4) a click on its label chooses.
    void ChooseSource(int index);
    void ChooseMaster();
    void Clear(int index);
    void Merge();

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowSource(int index, const QString& path);
    void ReadSource(int index, const QString& path);  // reads the column; Path error if not
    void ShowPathError(const QString& path);
    void SetStatus(const QString& text);

    MergeTable table_;
    // A chosen source whose client list could not be read: merging without it would drop
    // its clients from the master.
    std::array<bool, kMergeSources> unreadable_{};
    std::array<QString, 5> defaultCaptions_;
    std::array<QLabel*, 5> lblSelectPaths_{};
    std::array<QLabel*, 5> Label1_{};
    std::array<QPushButton*, 5> cmdClear_{};
    QLabel* lblSelectDNCAdminPaths_;
    QPushButton* cmdMerge_;
    QTreeWidget* ListView1_;
    QStatusBar* StatusBar1_;
    QLabel* statusPanel_;
};
