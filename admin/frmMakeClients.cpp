#include "admin/frmMakeClients.h"

#include "admin/client_names.h"
#include "admin/pick_lists.h"
#include "base/clock.h"
#include "base/dialog_parts.h"
#include "base/messages.h"
#include "db/dnc_database.h"
#include "ui_frmMakeClients.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

frmMakeClients::ClientWindowOpener frmMakeClients::OpenPortSetup;
frmMakeClients::ClientWindowOpener frmMakeClients::OpenDirectories;

namespace {

const QString kEditToolTip = QStringLiteral("<Esc> to quit, <Enter> to accept");
const QColor kEditBackground(255, 255, 0);

}  // namespace

frmMakeClients::frmMakeClients(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmMakeClients>()) {
    ui_->setupUi(this);
    ui_->cmdAdd->setText(QStringLiteral("< "));
    ui_->txtClientName->setValidator(new ClientNameValidator(ui_->txtClientName));
    ui_->txtClientName->installEventFilter(this);
    ui_->lstClients->viewport()->installEventFilter(this);

    mnuClient_ = new QMenu(QStringLiteral("&Client"), this);
    mnuClient_->setObjectName(QStringLiteral("mnuClient"));
    mnuDirectories_ = mnuClient_->addAction(QStringLiteral("&Directories"));
    mnuDirectories_->setObjectName(QStringLiteral("mnuDirectories"));
    mnuClient_->addSeparator();
    mnuClientProperties_ = mnuClient_->addAction(QStringLiteral("&Properties"));
    mnuClientProperties_->setObjectName(QStringLiteral("mnuClientProperties"));
    mnuClient_->addSeparator();
    mnuClientEdit_ = mnuClient_->addAction(QStringLiteral("&Edit Client name"));
    mnuClientEdit_->setObjectName(QStringLiteral("mnuClientEdit"));

    tmrDirectory_ = new ClockTimer(this);
    tmrDirectory_->setObjectName(QStringLiteral("tmrDirectory"));
    tmrDirectory_->setInterval(100);

    connect(ui_->cboServers, &QComboBox::currentIndexChanged, this,
            &frmMakeClients::cboServers_Click);
    connect(ui_->lstClients, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* current) {
                if (current) {
                    CopyEntryToName(current->text());
                }
            });
    connect(ui_->lstClients, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { CopyEntryToName(item->text()); });
    connect(ui_->cmdAdd, &QPushButton::clicked, this, &frmMakeClients::cmdAdd_Click);
    connect(ui_->cmdSub, &QPushButton::clicked, this, &frmMakeClients::cmdSub_Click);
    connect(mnuDirectories_, &QAction::triggered, this, &frmMakeClients::mnuDirectories_Click);
    connect(mnuClientProperties_, &QAction::triggered, this,
            &frmMakeClients::mnuClientProperties_Click);
    connect(mnuClientEdit_, &QAction::triggered, this, &frmMakeClients::mnuClientEdit_Click);
    connect(tmrDirectory_, &ClockTimer::timeout, this, &frmMakeClients::tmrDirectory_Timer);

    FillServerLists({ui_->cboServers});
    SelectServerInCombo(LastClientServer, ui_->cboServers);
}

frmMakeClients::~frmMakeClients() = default;

void frmMakeClients::cboServers_Click() {
    ui_->txtClientName->clear();
    FillClients();
    if (ui_->lstClients->count() > 0) {
        ui_->lstClients->setCurrentRow(0);  // copies the first client into the box
    }
    LastClientServer = ui_->cboServers->currentText();
}

void frmMakeClients::FillClients() {
    FillClientList(ui_->cboServers, ui_->lstClients);
}

bool frmMakeClients::ShowClient(const QString& name) {
    for (const Qt::MatchFlags flags :
         {Qt::MatchExactly | Qt::MatchCaseSensitive, Qt::MatchFlags(Qt::MatchFixedString)}) {
        const QList<QListWidgetItem*> found = ui_->lstClients->findItems(name, flags);
        if (!found.isEmpty()) {
            ui_->lstClients->setCurrentItem(found.constFirst());
            ui_->lstClients->scrollToItem(found.constFirst());
            return true;
        }
    }
    return false;
}

void frmMakeClients::CopyEntryToName(const QString& entry) {
    // The box shows names as they are typed: upper case.
    ui_->txtClientName->setText(entry.toUpper());
}

void frmMakeClients::cmdAdd_Click() {
    const QString name = ui_->txtClientName->text().trimmed();
    if (name.isEmpty() || ui_->cboServers->currentIndex() < 0) {
        return;
    }
    if (!ui_->lstClients->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
        return;  // listed already: nothing to do, nothing to say
    }
    if (RefuseReservedClientName(name) || ClientNameInUse(name)) {
        return;
    }
    {
        // Another administrator may take the name between the check and the insert: the
        // database's own uniqueness decides, and the refusal is the same.
        NameClashWatch clash;
        AddClientMDB(name, ui_->cboServers->currentText());
        if (clash.Seen()) {
            ClientNameInUse(name);
        }
    }
    // The list shows what the database holds, so a failed insert leaves no entry behind.
    FillClients();
    const QList<QListWidgetItem*> added =
        ui_->lstClients->findItems(name, Qt::MatchFixedString);  // letter case ignored
    if (!added.isEmpty()) {
        ui_->lstClients->scrollToItem(added.constFirst());
    }
}

void frmMakeClients::cmdSub_Click() {
    const std::optional<QString> name = SelectedEntry(ui_->lstClients);
    if (!name) {
        return;
    }
    if (!ClientStillThere(*name)) {
        return;
    }
    if (ShowMessage(
            QStringLiteral("You are about to delete DNC Client \"") + *name + QLatin1Char('"'),
            MsgButtons::OkCancel, MsgIcon::None,
            QStringLiteral("Warning! Delete DNC Client")) != MsgAnswer::Ok) {
        return;
    }
    DeleteClientRecordsMDB(*name);
    FillClients();
}

bool frmMakeClients::SelectCurrentClient() {
    const std::optional<QString> name = SelectedEntry(ui_->lstClients);
    if (!name || name->isEmpty()) {
        return false;
    }
    const QString previous = CurrentClientName;
    CurrentClientName = *name;
    if (ReadCurrentClientIds()) {
        return true;
    }
    // Deleted or renamed elsewhere: no window may act on the previous client's ids, and the
    // current client stays the one those ids belong to.
    CurrentClientName = previous;
    ShowClientGone(*name);
    FillClients();
    return false;
}

bool frmMakeClients::ClientStillThere(const QString& name) {
    if (GetClientID(name)) {
        return true;
    }
    // A failed look-up was reported already (a lost connection among them).
    if (DncConnection.IsOpen()) {
        ShowClientGone(name);
    }
    FillClients();
    return false;
}

void frmMakeClients::mnuClientProperties_Click() {
    if (!SelectCurrentClient() || !OpenPortSetup) {
        return;
    }
    const QString name = CurrentClientName;
    OpenPortSetup(this);
    // Another administrator may have deleted or renamed the client meanwhile: the list shows
    // what the database holds, the client still selected when it is still there.
    FillClients();
    ShowClient(name);
}

void frmMakeClients::mnuDirectories_Click() {
    // The window opens once the menu has closed.
    if (SelectCurrentClient()) {
        tmrDirectory_->start();
    }
}

void frmMakeClients::tmrDirectory_Timer() {
    tmrDirectory_->stop();
    if (OpenDirectories) {
        OpenDirectories(this);
    }
}

void frmMakeClients::mnuClientEdit_Click() {
    const std::optional<QString> name = SelectedEntry(ui_->lstClients);
    if (!name) {
        return;
    }
    CopyEntryToName(*name);
    editOldName_ = *name;
    ui_->txtClientName->setFocus(Qt::OtherFocusReason);
    editNameActive_ = true;
    ShowRenaming(true);
}

void frmMakeClients::AcceptRename() {
    const QString newName = ui_->txtClientName->text().trimmed();
    if (!newName.isEmpty() && ClientStillThere(editOldName_) &&
        !RefuseReservedClientName(newName) && !ClientNameInUse(newName)) {
        NameClashWatch clash;
        RenameClientMDB(editOldName_, newName);
        if (clash.Seen()) {
            ClientNameInUse(newName);
        }
        FillClients();
    }
    EndRenaming();
}

void frmMakeClients::ShowRenaming(bool renaming) {
    ui_->cmdAdd->setEnabled(!renaming);
    ui_->cmdSub->setEnabled(!renaming);
    ui_->lblEditName->setText(renaming ? QStringLiteral("EDIT Client name:")
                                       : QStringLiteral("Client name:"));
    ui_->txtClientName->setToolTip(renaming ? kEditToolTip : QString());
    if (renaming) {
        QPalette palette = ui_->txtClientName->palette();
        palette.setColor(QPalette::Base, kEditBackground);
        ui_->txtClientName->setPalette(palette);
    } else {
        ui_->txtClientName->setPalette(QPalette());  // the system's colours again
    }
}

void frmMakeClients::EndRenaming() {
    editNameActive_ = false;
    ShowRenaming(false);
    ui_->txtClientName->clear();
}

bool frmMakeClients::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->lstClients->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (SelectedEntry(ui_->lstClients)) {
            mnuClient_->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        }
        return true;
    }
    if (watched != ui_->txtClientName) {
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        const bool escape = key == Qt::Key_Escape;
        if (editNameActive_ && enter) {
            AcceptRename();
            return true;
        }
        if (editNameActive_ && escape) {
            EndRenaming();
            return true;
        }
        if (enter || escape) {
            return true;  // outside renaming the box has no use for them
        }
    }
    if (event->type() == QEvent::FocusOut && editNameActive_) {
        // Switching to another program, a message box or a pop-up menu is no focus loss.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            EndRenaming();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmMakeClients::keyPressEvent(QKeyEvent* event) {
    // The window has no default or cancel button: Enter and Esc do nothing here.
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}
