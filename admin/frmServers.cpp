#include "admin/frmServers.h"

#include "base/settings.h"
#include "components/folder_view.h"
#include "db/dnc_database.h"
#include "ui_frmServers.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QValidator>

namespace {

const QString kDefaultServer = QStringLiteral("DEFAULT SERVER");
const QString kComputerPrefix = QStringLiteral("\\\\");

// Server names are stored in upper case: whatever is typed or pasted shows so at once.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        input = input.toUpper();
        pos = qMin(pos, int(input.size()));
        return Acceptable;
    }
};

}  // namespace

frmServers::frmServers(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::frmServers>()) {
    ui_->setupUi(this);
    ui_->Picture1->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
    ui_->txtServerName->setVisible(false);
    ui_->txtServerName->setValidator(new UpperCaseValidator(ui_->txtServerName));
    ui_->txtServerName->installEventFilter(this);

    // The tree sits in the list's row of the layout, so it is always as tall as the list.
    FolderView* tree = ui_->FolderView1;
    const QString network = tree->SpecialFolderDisplayName(FolderView::kNetworkNeighbourhood);
    tree->SetStartFolder(network + QStringLiteral("\\Entire Network\\"));

    LoadServerNames();
    ui_->lstServers->addItems(ServerNames);

    connect(ui_->cmdAdd, &QPushButton::clicked, this, &frmServers::cmdAdd_Click);
    connect(ui_->cmdSub, &QPushButton::clicked, this, &frmServers::cmdSub_Click);
    connect(tree, &FolderView::MouseDown, this, &frmServers::FolderView1_MouseDown);
    connect(tree, &FolderView::BeforeChange, this, &frmServers::FolderView1_BeforeChange);
}

frmServers::~frmServers() = default;

QString frmServers::ExtractServerName(const QString& displayName) {
    const qsizetype open = displayName.indexOf(QLatin1Char('('));
    if (open < 0) {
        return displayName;
    }
    const qsizetype close = displayName.indexOf(QLatin1Char(')'), open + 1);
    return close < 0 ? displayName.mid(open + 1) : displayName.mid(open + 1, close - open - 1);
}

bool frmServers::AddServerToList(const QString& name) {
    // Case-blind as the database: a name stored in other letters (an imported one) is listed.
    for (int i = 0; i < ui_->lstServers->count(); ++i) {
        if (ui_->lstServers->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    ui_->lstServers->addItem(name);
    return true;
}

void frmServers::cmdAdd_Click() {
    FolderView* tree = ui_->FolderView1;
    const ShellFolder folder = tree->SelectedFolder();
    if (!folder.IsValid()) {
        return;  // nothing highlighted
    }
    QString path = folder.PathName.toUpper();
    if (path.isEmpty()) {
        path = kComputerPrefix + folder.Name;  // a network computer has no path name
    }
    if (!path.contains(kComputerPrefix)) {
        return;  // a domain, a workgroup, "Entire Network" or a local folder
    }
    tree->SetShowFiles(false);
    tree->SetShowHidden(false);
    const QString name = ExtractServerName(folder.Name.toUpper()).trimmed();
    if (name.isEmpty()) {
        return;  // "()" names no computer
    }
    if (AddServerToList(name)) {
        AddServer(name);
    }
}

void frmServers::cmdSub_Click() {
    QListWidget* list = ui_->lstServers;
    QListWidgetItem* selected = nullptr;
    for (int i = 0; i < list->count() && !selected; ++i) {
        if (list->item(i)->isSelected()) {
            selected = list->item(i);
        }
    }
    if (!selected) {
        return;
    }
    const QString name = selected->text();
    if (name.toUpper() == kDefaultServer) {
        return;  // reserved: never deleted here
    }
    const MsgAnswer answer =
        ShowMessage(QStringLiteral("You are about to delete server \"") + name + QLatin1Char('"'),
                    MsgButtons::OkCancel, MsgIcon::None, QStringLiteral("Warning! Delete Server"));
    if (answer != MsgAnswer::Ok) {
        return;
    }
    if (!GetServerID(name)) {
        // Deleted or renamed by another administrator since the list was read: say so (a
        // failed look-up was reported already) and show what the database holds now.
        if (DncConnection.IsOpen()) {
            ShowMessage(QStringLiteral("DNC Server \"") + name +
                            QStringLiteral("\" is no longer in the database"),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("DNC Server not found"));
            list->clear();
            LoadServerNames();
            list->addItems(ServerNames);
        }
        return;
    }
    delete list->takeItem(list->row(selected));
    // Qt makes the next entry current and selected; nothing is chosen after a removal.
    list->setCurrentItem(nullptr);
    list->clearSelection();
    DeleteServer(name);
}

void frmServers::keyPressEvent(QKeyEvent* event) {
    // The window has no Cancel: Esc does not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmServers::FolderView1_MouseDown(int button) {
    if (button != 2) {
        return;
    }
    if (ShowMessage(QStringLiteral("Type in Server name then press Enter"), MsgButtons::OkCancel,
                    MsgIcon::None, QStringLiteral("Manual Server name entry")) != MsgAnswer::Ok) {
        return;
    }
    ui_->txtServerName->setVisible(true);
    ui_->txtServerName->setFocus(Qt::OtherFocusReason);
    manualEntryActive_ = true;
}

void frmServers::FolderView1_BeforeChange(const ShellFolder& folder, bool* allow) {
    // A computer is a leaf of this browser: nothing below it is opened.
    if (folder.Path().contains(kComputerPrefix)) {
        *allow = false;
    }
}

void frmServers::AcceptManualEntry() {
    const QString name = ui_->txtServerName->text().trimmed().toUpper();
    if (!name.isEmpty() && AddServerToList(name)) {
        AddServer(name);
        CloseManualEntry();
        return;
    }
    // Nothing typed, or the name is listed already: the box stays open for another name.
    ui_->txtServerName->clear();
}

void frmServers::CloseManualEntry() {
    ui_->txtServerName->clear();
    ui_->txtServerName->setVisible(false);
    manualEntryActive_ = false;
}

bool frmServers::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ui_->txtServerName) {
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && manualEntryActive_) {
        // Enter and Esc belong to the entry box, not to the window's buttons.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            AcceptManualEntry();
            return true;
        }
        if (key == Qt::Key_Escape) {
            CloseManualEntry();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut && manualEntryActive_) {
        // Switching to another program or opening the box's own menu is no focus loss.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            CloseManualEntry();
        }
    }
    return QDialog::eventFilter(watched, event);
}
