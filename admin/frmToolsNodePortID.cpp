#include "admin/frmToolsNodePortID.h"

#include "admin/pick_lists.h"
#include "base/app_state.h"
#include "base/dialog_parts.h"
#include "base/messages.h"
#include "db/dnc_database.h"
#include "transfer/backup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("NodeID/PortID");

}  // namespace

frmToolsNodePortID::frmToolsNodePortID(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmToolsNodePortID"));
    setWindowTitle(kCaption);

    ListViewClients_ = new QTreeWidget(this);
    ListViewClients_->setObjectName(QStringLiteral("ListViewClients"));
    ListViewClients_->setRootIsDecorated(false);
    ListViewClients_->setUniformRowHeights(true);
    ListViewClients_->setColumnCount(0);
    ListViewClients_->setHeaderHidden(true);

    cboNode_ = new QComboBox(this);
    cboNode_->setObjectName(QStringLiteral("cboNode"));
    cboNode_->setEditable(true);
    cboNode_->setCompleter(nullptr);  // the node id is taken as typed
    cboNode_->setInsertPolicy(QComboBox::NoInsert);
    cboNode_->addItems(
        {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"), QStringLiteral("04")});
    cboNode_->setEditText(QStringLiteral("01"));
    cboNode_->setToolTip(QStringLiteral("Change all Clients Node ID:"));

    chkPort_ = new QCheckBox(QStringLiteral("Com# to Port#"), this);
    chkPort_->setObjectName(QStringLiteral("chkPort"));
    chkPort_->setToolTip(QStringLiteral("Copy Com port number to Port ID:"));

    cmdOK_ = NamedButton(QStringLiteral("cmdOK"), QStringLiteral("&OK"), this);
    cmdCancel_ = NamedButton(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"), this);

    auto* choices = new QGridLayout;
    choices->addWidget(NamedLabel(QStringLiteral("Label3"),
                                  QStringLiteral("Change Clients Node ID(s) as selected:"), this),
                       0, 0, 1, 2);
    choices->addWidget(NamedLabel(QStringLiteral("Label1"), QStringLiteral("Node ID:"), this), 1,
                       0);
    choices->addWidget(cboNode_, 1, 1);
    choices->addWidget(
        NamedLabel(QStringLiteral("Label4"),
                   QStringLiteral("Change Clients Port ID(s) to Com# if selected:"), this),
        2, 0, 1, 2);
    choices->addWidget(NamedLabel(QStringLiteral("Label2"), QStringLiteral("Port ID:"), this), 3,
                       0);
    choices->addWidget(chkPort_, 3, 1);
    choices->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListViewClients_, 1);
    layout->addLayout(choices);
    layout->addLayout(buttons);
    resize(560, 420);

    connect(cmdOK_, &QPushButton::clicked, this, &frmToolsNodePortID::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);

    // The check shows its own messages. Without a configured server nothing may be changed:
    // the shared client list may still hold another server's clients.
    const ReportWatch reports;
    serverChecked_ = CheckServerConfig() == 0;
    cmdOK_->setEnabled(serverChecked_);
    if (!serverChecked_) {
        if (reports.Failed()) {
            // Not read, as opposed to not configured: an empty list would say no client.
            ShowListUnreadable(ListViewClients_, kClientsUnreadable);
        }
        return;
    }
    chkPort_->setChecked(true);
    bool failed = false;
    if (const std::optional<qint32> serverId = GetServerID(LocalComputerName, &failed)) {
        failed = LoadServerClientNames(*serverId) < 0;
        for (const ClientListEntry& client : std::as_const(ServerClients)) {
            clientNames_ << client.ClientName;
        }
    }
    ListViewClients_->setHeaderHidden(false);
    ListViewClients_->setHeaderLabels({QStringLiteral("Client"), QStringLiteral("NodeID"),
                                       QStringLiteral("Com"), QStringLiteral("PortID"),
                                       QStringLiteral("BTS"), QStringLiteral("CHAN")});
    SetColumnWidths();
    if (failed) {
        // Without the list, OK would change no client and say nothing of it.
        cmdOK_->setEnabled(false);
        ShowListUnreadable(ListViewClients_, kClientsUnreadable);
        return;
    }
    BuildRows();
}

void frmToolsNodePortID::keyPressEvent(QKeyEvent* event) {
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}

void frmToolsNodePortID::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SetColumnWidths();
}

void frmToolsNodePortID::SetColumnWidths() {
    if (ListViewClients_->columnCount() != 6) {
        return;
    }
    // The first column a little wider than a sixth (400 twips), the others a little narrower
    // (100 twips), at 15 twips to the pixel.
    const int sixth = ListViewClients_->viewport()->width() / 6;
    ListViewClients_->setColumnWidth(0, sixth + 400 / 15);
    for (int column = 1; column < 6; ++column) {
        ListViewClients_->setColumnWidth(column, sixth - 100 / 15);
    }
}

void frmToolsNodePortID::BuildRows() {
    const std::optional<QList<NodePortRow>> rows = ReadNodePortRows(clientNames_);
    rows_ = rows.value_or(QList<NodePortRow>());
    ListViewClients_->clear();
    ShowListUnreadable(ListViewClients_, rows ? QString() : kClientsUnreadable);
    QList<QTreeWidgetItem*> items;
    items.reserve(rows_.size());
    for (const NodePortRow& row : std::as_const(rows_)) {
        items << new QTreeWidgetItem(
            QStringList{row.ClientName, row.NodeId, row.Port, row.PortId, row.Bts, row.Chan});
    }
    ListViewClients_->addTopLevelItems(items);
}

void frmToolsNodePortID::cmdOK_Click() {
    if (!serverChecked_) {
        return;
    }
    const QString node = cboNode_->currentText().trimmed();
    if (node.isEmpty()) {
        ShowMessage(QStringLiteral("Enter the Node ID to give all Clients."), MsgButtons::Ok,
                    MsgIcon::Exclamation, kCaption);
        return;
    }
    cboNode_->setEditText(node);
    if (!BackupBeforeBulkChange(kCaption)) {
        return;
    }
    const NodePortChange change = SetNodePortIdsMDB(clientNames_, node, chkPort_->isChecked());
    if (!change.Skipped.isEmpty()) {
        ShowMessage(QStringLiteral("Not changed:\n") + change.Skipped.join(QLatin1Char('\n')),
                    MsgButtons::Ok, MsgIcon::Information, kCaption);
    }
    BuildRows();
}
