#pragma once
// The folder-selection window: one window for every folder of the DNC installation the
// program asks for. FolderSelectMode, set by the caller, decides its texts and its work.

#include <QDialog>

class QLabel;
class QPushButton;
class FolderView;
struct ShellFolder;

class frmExportDNCAdmin : public QDialog {
    Q_OBJECT
public:
    explicit frmExportDNCAdmin(QWidget* parent = nullptr);

    FolderView* Tree() const { return FolderView1_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FolderView1_FolderSelected(const ShellFolder& folder);
    void cmdExport_Click();

    qint16 mode_;
    QLabel* Label1_;
    FolderView* FolderView1_;
    QLabel* Label2_;
    QLabel* lblSelectedFolder_;
    QPushButton* cmdExport_;
    QPushButton* cmdCancel_;
};
