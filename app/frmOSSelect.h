#pragma once
// The operating-system selection: which Windows edition the DNC installation runs on.
// Saving stores ADMIN/OS, rewrites the Program Files folder names of TolvaneDNC.ini and of
// the settings file, and has the main window offer the Tools commands for the edition.

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class frmOSSelect;
}

class frmOSSelect : public QDialog {
    Q_OBJECT
public:
    // osToolsSelect is the main window's OSToolsSelect, called after a selection is saved.
    explicit frmOSSelect(std::function<void()> osToolsSelect, QWidget* parent = nullptr);
    ~frmOSSelect() override;

    // The value of the selected option: "32", "64", "32XP", or "" when none is selected.
    QString SelectedValue() const;

private:
    void Save();

    std::unique_ptr<Ui::frmOSSelect> ui_;
    std::function<void()> osToolsSelect_;
    QString tolvaneIniPath_;
};
