#include "admin/frmClients.h"

#include "admin/pick_lists.h"
#include "base/dialog_parts.h"
#include "ui_frmClients.h"

#include <QKeyEvent>
#include <QMouseEvent>

frmClients::frmClients(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::frmClients>()) {
    ui_->setupUi(this);
    cboServers1_ = {ui_->cboServers1_0, ui_->cboServers1_1};
    lstClients1_ = {ui_->lstClients1_0, ui_->lstClients1_1};

    FillServerLists({cboServers1_[0], cboServers1_[1]});
    for (int side = 0; side < 2; ++side) {
        connect(cboServers1_[side], &QComboBox::currentIndexChanged, this,
                [this, side] { cboServers1_Click(side); });
        lstClients1_[side]->viewport()->installEventFilter(this);
    }
    SelectServerInCombo(LastMoveServers[0], cboServers1_[0]);
    SelectServerInCombo(LastMoveServers[1], cboServers1_[1]);
    SeparateFirstOpening(cboServers1_[0], cboServers1_[1]);

    connect(ui_->cmdAdd, &QPushButton::clicked, this, [this] { MoveSelected(1); });
    connect(ui_->cmdSub, &QPushButton::clicked, this, [this] { MoveSelected(0); });
}

frmClients::~frmClients() = default;

void frmClients::cboServers1_Click(int side) {
    FillClientList(cboServers1_[side], lstClients1_[side]);
    LastMoveServers[side] = cboServers1_[side]->currentText();
}

void frmClients::MoveSelected(int from) {
    const int to = 1 - from;
    const std::optional<QString> client = SelectedEntry(lstClients1_[from]);
    if (!client) {
        return;
    }
    const MoveOutcome outcome =
        MoveClient(*client, cboServers1_[from]->currentText(), cboServers1_[to]->currentText());
    if (outcome == MoveOutcome::SameServer) {
        return;  // refused without a word; the lists are as they were
    }
    if (outcome == MoveOutcome::ClientGone) {
        ShowClientNotOnServer(*client, cboServers1_[from]->currentText());
    }
    // After a move, a failed statement or a vanished client or server, the lists show what
    // the database holds.
    RefreshClientLists();
}

void frmClients::RefreshClientLists() {
    FillClientList(cboServers1_[0], lstClients1_[0]);
    FillClientList(cboServers1_[1], lstClients1_[1]);
}

bool frmClients::eventFilter(QObject* watched, QEvent* event) {
    // Either list offers the export of the left server's clients.
    if (OfferClientExportOnRightClick(watched, event, cboServers1_, lstClients1_)) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmClients::keyPressEvent(QKeyEvent* event) {
    // The window has no default or cancel button: Enter and Esc do nothing here.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}
