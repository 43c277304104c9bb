#pragma once
// The main window: the menus from which every other window is opened, always modally.

#include <QMainWindow>

#include <memory>

namespace Ui {
class frmSetup;
}
class CHTMLHelp;

class frmSetup : public QMainWindow {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr);
    ~frmSetup() override;

    // Sets the Tools items from SelectedOs; called on load and after a new OS selection.
    void OSToolsSelect();

    // The help object, created by the first "Help on Kestrum" (null until then).
    CHTMLHelp* Help() const { return help_.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ConnectMenus();
    void ShowHelpContents();
    // Opens the folder-selection window for one purpose; FolderSelectMode holds the purpose
    // only while that window is open.
    void OpenFolderSelection(qint16 mode);

    std::unique_ptr<Ui::frmSetup> ui_;
    std::unique_ptr<CHTMLHelp> help_;
};
