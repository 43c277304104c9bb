#pragma once
// NodeID/PortID: the clients of the server running on this computer with their node and port
// identifiers; OK gives all of them one node id and, when chosen, port ids from their ports.

#include "db/node_port_ids.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTreeWidget;

class frmToolsNodePortID : public QDialog {
    Q_OBJECT
public:
    explicit frmToolsNodePortID(QWidget* parent = nullptr);

    const QList<NodePortRow>& Rows() const { return rows_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildRows();
    void SetColumnWidths();
    void cmdOK_Click();

    QTreeWidget* ListViewClients_;
    QComboBox* cboNode_;
    QCheckBox* chkPort_;
    QPushButton* cmdOK_;
    QPushButton* cmdCancel_;
    QStringList clientNames_;  // this server's clients, as read when the window opened
    QList<NodePortRow> rows_;
    bool serverChecked_ = false;
};
