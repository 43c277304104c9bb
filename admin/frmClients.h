#pragma once
// Move Client administration: a server and its clients on each side; the buttons move the
// selected client to the server of the other side. Each move is written at once.

#include <QDialog>

#include <array>
#include <memory>

namespace Ui {
class frmClients;
}
class QComboBox;
class QListWidget;

class frmClients : public QDialog {
    Q_OBJECT
public:
    explicit frmClients(QWidget* parent = nullptr);
    ~frmClients() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cboServers1_Click(int side);
    // Moves the selected client of side `from` to the server of the other side.
    void MoveSelected(int from);
    void RefreshClientLists();

    std::unique_ptr<Ui::frmClients> ui_;
    std::array<QComboBox*, 2> cboServers1_{};
    std::array<QListWidget*, 2> lstClients1_{};
};
