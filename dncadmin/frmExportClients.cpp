#include "dncadmin/frmExportClients.h"

#include "admin/pick_lists.h"
#include "base/dialog_parts.h"
#include "base/folder_select_mode.h"
#include "base/modal.h"
#include "dncadmin/dncadmin_export.h"
#include "dncadmin/frmExportDNCAdmin.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

bool ExportClientsAndPlace(const QStringList& clientNames) {
    if (!ExportDncAdminInProgramFolder(clientNames)) {
        return false;
    }
    FolderSelectMode = FolderSelect::None;
    frmExportDNCAdmin window(QApplication::activeWindow());
    ShowModal(window);
    FolderSelectMode = FolderSelect::None;
    return true;
}

void InstallClientExport() {
    ExportClientsToDncAdmin = [](const QString&, const QStringList& clientNames) {
        ExportClientsAndPlace(clientNames);
    };
}

frmExportClients::frmExportClients(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmExportClients"));
    setWindowTitle(QStringLiteral("Export Clients to DNCAdmin "));
    InstallClientExport();

    auto* grid = new QGridLayout(this);
    for (int side = 0; side < 2; ++side) {
        cboServers1_[size_t(side)] = new QComboBox;
        cboServers1_[size_t(side)]->setObjectName(QStringLiteral("cboServers1_%1").arg(side));
        cboServers1_[size_t(side)]->setMinimumWidth(180);
        lstClients1_[size_t(side)] = new QListWidget;
        lstClients1_[size_t(side)]->setObjectName(QStringLiteral("lstClients1_%1").arg(side));
        lstClients1_[size_t(side)]->viewport()->installEventFilter(this);
    }
    lblServers_ = new QLabel(QStringLiteral("<SERVERS>"));
    lblServers_->setObjectName(QStringLiteral("lblServers"));
    lblServers_->setTextFormat(Qt::PlainText);
    Label1_ = new QLabel(QStringLiteral("<CLIENTS>"));
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setTextFormat(Qt::PlainText);
    cmdAdd_ = new QPushButton(QStringLiteral("<"));
    cmdAdd_->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd_->setToolTip(QStringLiteral("< Move Client to Server "));
    cmdSub_ = new QPushButton(QStringLiteral(">"));
    cmdSub_->setObjectName(QStringLiteral("cmdSub"));
    cmdSub_->setToolTip(QStringLiteral("Move Client to Server >"));
    cmdExport_ = new QPushButton(QStringLiteral("&EXPORT"));
    cmdExport_->setObjectName(QStringLiteral("cmdExport"));
    cmdCancel_ = new QPushButton(QStringLiteral("&CANCEL"));
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {cmdAdd_, cmdSub_, cmdExport_, cmdCancel_}) {
        button->setAutoDefault(false);
    }

    grid->addWidget(cboServers1_[0], 0, 0);
    grid->addWidget(lblServers_, 0, 1, Qt::AlignCenter);
    grid->addWidget(cboServers1_[1], 0, 2);
    grid->addWidget(lstClients1_[0], 1, 0, 4, 1);
    grid->addWidget(Label1_, 1, 1, Qt::AlignCenter);
    grid->addWidget(cmdAdd_, 2, 1);
    grid->addWidget(cmdSub_, 3, 1);
    grid->addWidget(lstClients1_[1], 1, 2, 4, 1);
    grid->setRowStretch(4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExport_);
    buttons->addWidget(cmdCancel_);
    grid->addLayout(buttons, 5, 0, 1, 3);

    FillServerLists({cboServers1_[0], cboServers1_[1]});
    for (int side = 0; side < 2; ++side) {
        connect(cboServers1_[size_t(side)], &QComboBox::currentIndexChanged, this,
                [this, side] { ServerChosen(side); });
    }
    // Each selection runs the server choice once (the combos start without one).
    for (int side = 0; side < 2; ++side) {
        SelectServerInCombo(LastMoveServers[size_t(side)], cboServers1_[size_t(side)]);
    }
    SeparateFirstOpening(cboServers1_[0], cboServers1_[1]);

    connect(cmdAdd_, &QPushButton::clicked, this, [this] { Move(1, 0); });
    connect(cmdSub_, &QPushButton::clicked, this, [this] { Move(0, 1); });
    connect(cmdExport_, &QPushButton::clicked, this, &frmExportClients::cmdExport_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmExportClients::ServerChosen(int side) {
    FillClientList(cboServers1_[size_t(side)], lstClients1_[size_t(side)]);
    LastMoveServers[size_t(side)] = cboServers1_[size_t(side)]->currentText();
}

void frmExportClients::RefreshClientLists() {
    for (int side = 0; side < 2; ++side) {
        FillClientList(cboServers1_[size_t(side)], lstClients1_[size_t(side)]);
    }
}

void frmExportClients::Move(int fromSide, int toSide) {
    const std::optional<QString> client = SelectedEntry(lstClients1_[size_t(fromSide)]);
    if (!client) {
        return;
    }
    const MoveOutcome outcome = MoveClient(*client, cboServers1_[size_t(fromSide)]->currentText(),
                                           cboServers1_[size_t(toSide)]->currentText());
    if (outcome == MoveOutcome::ClientGone) {
        // The lists then show where it is, if anywhere.
        ShowClientNotOnServer(*client, cboServers1_[size_t(fromSide)]->currentText());
    }
    if (outcome == MoveOutcome::Moved || outcome == MoveOutcome::ClientGone) {
        RefreshClientLists();
    }
}

void frmExportClients::cmdExport_Click() {
    const QStringList clients = ListEntries(lstClients1_[0]);
    if (clients.isEmpty()) {
        return;
    }
    ExportClientsAndPlace(clients);
    RefreshClientLists();
}

bool frmExportClients::eventFilter(QObject* watched, QEvent* event) {
    // Either list offers the export of the left server's clients.
    if (OfferClientExportOnRightClick(watched, event, cboServers1_, lstClients1_)) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmExportClients::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc have no role here: only the buttons export or close.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}
