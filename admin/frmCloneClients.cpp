#include "admin/frmCloneClients.h"

#include "admin/clone_clients.h"
#include "admin/pick_lists.h"
#include "base/dialog_parts.h"
#include "base/messages.h"
#include "base/modal.h"
#include "db/dnc_database.h"
#include "db/select_by_name.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("Clone Client administration");

QPushButton* Button(const QString& name, const QString& text, const QString& tip, QWidget* parent) {
    QPushButton* button = NamedButton(name, text, parent);
    button->setToolTip(tip);
    return button;
}

// A list of 20,000 clients must not be measured entry by entry.
QComboBox* LongCombo(const QString& name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(12);
    if (auto* view = qobject_cast<QListView*>(combo->view())) {
        view->setUniformItemSizes(true);
    }
    return combo;
}

}  // namespace

frmCloneClients::frmCloneClients(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCloneClients"));
    setWindowTitle(kCaption);

    lblClone_ = new QLabel(QStringLiteral("Clone"), this);
    lblClone_->setObjectName(QStringLiteral("lblClone"));
    Label1_ = new QLabel(QStringLiteral(" properties to Clients listed below:"), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    cboServers1_[0] = LongCombo(QStringLiteral("cboServers1_0"), this);
    cboServers1_[1] = LongCombo(QStringLiteral("cboServers1_1"), this);
    cboServers1_[1]->setToolTip(QStringLiteral("Select Server to display its Clients below"));
    for (int i = 0; i < 2; ++i) {
        lstClients1_[i] = new QListWidget(this);
        lstClients1_[i]->setObjectName(QStringLiteral("lstClients1_%1").arg(i));
        lstClients1_[i]->setUniformItemSizes(true);
    }
    cmdAdd_ = Button(QStringLiteral("cmdAdd"), QStringLiteral("<"),
                     QStringLiteral("Add Client to clone"), this);
    cmdSub_ = Button(QStringLiteral("cmdSub"), QStringLiteral(">"),
                     QStringLiteral("Delete Client to clone"), this);
    cmdOK_ = Button(QStringLiteral("cmdOK"), QStringLiteral("&OK"),
                    QStringLiteral("OK to save changes"), this);
    cmdCancel_ = Button(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"),
                        QStringLiteral("Cancel to abort changes"), this);

    auto* sentence = new QHBoxLayout;
    sentence->addWidget(lblClone_);
    sentence->addWidget(cboServers1_[0], 1);
    sentence->addWidget(Label1_);
    auto* grid = new QGridLayout;
    // The sentence may use the buttons' column, so both lists can be as wide.
    grid->addLayout(sentence, 0, 0, 1, 2);
    grid->addWidget(cboServers1_[1], 0, 2);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(cmdAdd_);
    moves->addWidget(cmdSub_);
    moves->addStretch();
    grid->addWidget(lstClients1_[0], 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(lstClients1_[1], 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(cboServers1_[0], &QComboBox::currentIndexChanged, this,
            [this] { cboServers1_Click(0); });
    connect(cboServers1_[1], &QComboBox::currentIndexChanged, this,
            [this] { cboServers1_Click(1); });
    connect(cmdAdd_, &QPushButton::clicked, this, &frmCloneClients::cmdAdd_Click);
    connect(cmdSub_, &QPushButton::clicked, this, &frmCloneClients::cmdSub_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &frmCloneClients::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);

    // The lists are filled without a selection; choosing the remembered entry then runs each
    // choice once.
    FillServerLists({cboServers1_[1]});
    SelectServerInCombo(LastCloneServer, cboServers1_[1]);
    const bool clientsRead = LoadAllClientNames() >= 0;
    {
        const QSignalBlocker block(cboServers1_[0]);
        ShowListUnreadable(cboServers1_[0], clientsRead ? QString() : kClientsUnreadable);
        QStringList names;
        names.reserve(AllClients.size());
        for (const ClientListEntry& client : std::as_const(AllClients)) {
            names << client.ClientName;
        }
        cboServers1_[0]->addItems(names);
        cboServers1_[0]->setCurrentIndex(-1);
    }
    if (cboServers1_[0]->count() > 0) {
        SelectClientByName(LastCloneSource, cboServers1_[0]);
    }
}

void frmCloneClients::keyPressEvent(QKeyEvent* event) {
    // No default button and no closing by Esc: only OK and Cancel end the window.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}

void frmCloneClients::cboServers1_Click(int index) {
    if (index == 1) {
        FillClientList(cboServers1_[1], lstClients1_[1]);
        LastCloneServer = cboServers1_[1]->currentText();
    } else {
        // The server side does not depend on the source, so its list and choice stay.
        LastCloneSource = cboServers1_[0]->currentText();
    }
}

void frmCloneClients::cmdAdd_Click() {
    const std::optional<QString> selected = SelectedEntry(lstClients1_[1]);
    if (!selected) {
        return;
    }
    const QString& name = *selected;
    // Names are unique without regard to letter case; so is this test.
    if (cboServers1_[0]->currentIndex() >= 0 &&
        name.compare(cboServers1_[0]->currentText(), Qt::CaseInsensitive) == 0) {
        return;  // a client is never its own target
    }
    if (ListEntries(lstClients1_[0]).contains(name, Qt::CaseInsensitive)) {
        return;
    }
    lstClients1_[0]->addItem(name);
}

void frmCloneClients::cmdSub_Click() {
    QListWidget* targets = lstClients1_[0];
    const QListWidgetItem* item = targets->currentItem();
    if (!item || !item->isSelected()) {
        return;
    }
    delete targets->takeItem(targets->row(item));
    targets->setCurrentItem(nullptr);
    targets->clearSelection();
}

void frmCloneClients::cmdOK_Click() {
    const QStringList targets = ListEntries(lstClients1_[0]);
    if (targets.isEmpty()) {
        accept();
        return;
    }
    const QString source =
        cboServers1_[0]->currentIndex() >= 0 ? cboServers1_[0]->currentText() : QString();
    CloneRun run = PrepareClone(source, targets);
    if (run.ReadFailed) {
        return;  // reported; the window stays, so OK can be pressed again
    }
    if (!run.Refused.isEmpty()) {
        ShowMessage(CloneSummaryText(run), MsgButtons::Ok, MsgIcon::Critical, kCaption);
        return;  // the window stays, so another source can be chosen
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    RunClone(run);
    QApplication::restoreOverrideCursor();
    ShowMessage(CloneSummaryText(run), MsgButtons::Ok, MsgIcon::Information, kCaption);
    accept();
}

void frmCloneClients::RunClone(CloneRun& run) {
    if (run.Targets.size() > kProgressAbove) {
        frmCloneProgress progress(run, this);
        if (ShowModal(progress) != QDialog::Accepted) {
            return;  // stopped: the targets not reached are listed in the summary
        }
    }
    while (CloneNextTarget(run)) {
    }
}

frmCloneProgress::frmCloneProgress(CloneRun& run, QWidget* parent) : QDialog(parent), run_(run) {
    setObjectName(QStringLiteral("frmCloneProgress"));
    setWindowTitle(kCaption);
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("lblProgress"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("barProgress"));
    bar_->setRange(0, int(run.Targets.size()));
    auto* cancel = Button(QStringLiteral("cmdCancel"), QStringLiteral("&Cancel"),
                          QStringLiteral("Stop after the client being copied"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(420, 120);
    ShowDone();
}

void frmCloneProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        QMetaObject::invokeMethod(this, &frmCloneProgress::RunNext, Qt::QueuedConnection);
    }
}

void frmCloneProgress::RunNext() {
    if (!isVisible()) {
        return;  // cancelled
    }
    if (!CloneNextTarget(run_)) {
        accept();
        return;
    }
    ShowDone();
    // One target per turn of the event loop, so Cancel is seen between targets.
    QMetaObject::invokeMethod(this, &frmCloneProgress::RunNext, Qt::QueuedConnection);
}

void frmCloneProgress::ShowDone() {
    const int done = int(run_.Results.size());
    bar_->setValue(done);
    label_->setText(QStringLiteral("Cloning %1: %2 of %3 clients done")
                        .arg(run_.SourceName)
                        .arg(done)
                        .arg(run_.Targets.size()));
}
