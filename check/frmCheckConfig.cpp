#include "check/frmCheckConfig.h"

#include "admin/frmMakeClients.h"
#include "admin/pick_lists.h"
#include "base/app_state.h"
#include "base/dialog_parts.h"
#include "base/messages.h"
#include "base/modal.h"
#include "dncadmin/atomic_file.h"
#include "transfer/backup.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Check configuration");
constexpr int kFindingRole = Qt::UserRole + 1;  // index into the findings; -1 on a server row

}  // namespace

frmCheckConfig::frmCheckConfig(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCheckConfig"));
    setWindowTitle(kTitle);
    resize(820, 480);

    lblSummary_ = NamedLabel(QStringLiteral("lblSummary"), QString(), this);
    treeFindings_ = new QTreeWidget(this);
    treeFindings_->setObjectName(QStringLiteral("treeFindings"));
    treeFindings_->setColumnCount(3);
    treeFindings_->setHeaderLabels(
        {QStringLiteral("Server / client"), QStringLiteral("Severity"), QStringLiteral("Finding")});
    treeFindings_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    treeFindings_->setRootIsDecorated(true);
    treeFindings_->setUniformRowHeights(true);
    treeFindings_->header()->setStretchLastSection(true);
    treeFindings_->setColumnWidth(0, 170);
    treeFindings_->setColumnWidth(1, 70);

    cmdCheck_ = NamedButton(QStringLiteral("cmdCheck"), QStringLiteral("C&heck again"), this);
    cmdRepair_ = NamedButton(QStringLiteral("cmdRepair"), QStringLiteral("&Repair"), this);
    cmdRepair_->setToolTip(
        QStringLiteral("Add missing client rows and remove rows of deleted clients (selected "
                       "findings only)"));
    cmdSave_ = NamedButton(QStringLiteral("cmdSave"), QStringLiteral("&Save..."), this);
    cmdCopy_ = NamedButton(QStringLiteral("cmdCopy"), QStringLiteral("C&opy"), this);
    cmdClose_ = NamedButton(QStringLiteral("cmdClose"), QStringLiteral("&Close"), this);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {cmdCheck_, cmdRepair_, cmdSave_, cmdCopy_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(cmdClose_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary_);
    layout->addWidget(treeFindings_, 1);
    layout->addLayout(buttons);

    connect(cmdCheck_, &QPushButton::clicked, this, &frmCheckConfig::RunCheck);
    connect(cmdRepair_, &QPushButton::clicked, this, &frmCheckConfig::Repair);
    connect(cmdSave_, &QPushButton::clicked, this, &frmCheckConfig::Save);
    connect(cmdCopy_, &QPushButton::clicked, this, [this] { CopyToClipboard(ReportText()); });
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::reject);
    connect(treeFindings_, &QTreeWidget::itemDoubleClicked, this, &frmCheckConfig::OpenClient);
    connect(treeFindings_, &QTreeWidget::itemSelectionChanged, this,
            &frmCheckConfig::UpdateButtons);

    RunCheck();
}

QString frmCheckConfig::ReportText() const {
    return CheckReportText(findings_);
}

void frmCheckConfig::RunCheck() {
    CheckOptions options;
    options.LocalComputer = LocalComputerName;
    options.Files = KnownDncAdminFiles();
    const CheckResult result = CheckConfiguration(options);
    findings_ = result.Findings;
    ShowFindings();
    if (!result.Ok) {
        lblSummary_->setText(QStringLiteral("The configuration could not be read."));
    }
}

void frmCheckConfig::ShowFindings() {
    treeFindings_->clear();
    int errors = 0;
    QTreeWidgetItem* group = nullptr;
    QString server;
    int groupErrors = 0;
    int groupWarnings = 0;
    auto closeGroup = [&] {
        if (group) {
            group->setText(0, (server.isEmpty() ? QStringLiteral("(no server)") : server) +
                                  QStringLiteral(": ") + CountsText(groupErrors, groupWarnings));
            group->setFirstColumnSpanned(true);
        }
    };
    for (qsizetype i = 0; i < findings_.size(); ++i) {
        const Finding& f = findings_.at(i);
        if (!group || f.Server != server) {
            closeGroup();
            server = f.Server;
            groupErrors = groupWarnings = 0;
            group = new QTreeWidgetItem(treeFindings_);
            group->setData(0, kFindingRole, -1);
            group->setExpanded(true);
            QFont bold = group->font(0);
            bold.setBold(true);
            group->setFont(0, bold);
        }
        (f.severity == Severity::Error ? groupErrors : groupWarnings)++;
        errors += f.severity == Severity::Error ? 1 : 0;
        auto* item = new QTreeWidgetItem(group);
        item->setText(0, f.Client.isEmpty() ? QStringLiteral("-") : f.Client);
        item->setText(1, SeverityName(f.severity));
        item->setText(2, f.Text);
        item->setToolTip(2, f.Text + QStringLiteral(" [") + f.Kind + QStringLiteral("]"));
        item->setData(0, kFindingRole, int(i));
        if (f.severity == Severity::Error) {
            item->setForeground(1, QColor(180, 0, 0));
        }
    }
    closeGroup();
    treeFindings_->expandAll();
    lblSummary_->setText(findings_.isEmpty()
                             ? QStringLiteral("No findings: the configuration is sound.")
                             : CountsText(errors, int(findings_.size()) - errors));
    UpdateButtons();
}

QList<const Finding*> frmCheckConfig::SelectedFindings() const {
    QList<const Finding*> selected;
    for (const QTreeWidgetItem* item : treeFindings_->selectedItems()) {
        const int index = item->data(0, kFindingRole).toInt();
        if (index >= 0 && index < findings_.size()) {
            selected.append(&findings_.at(index));
        } else {
            // A server row stands for all of its findings.
            for (int c = 0; c < item->childCount(); ++c) {
                const int child = item->child(c)->data(0, kFindingRole).toInt();
                if (child >= 0 && child < findings_.size() &&
                    !selected.contains(&findings_.at(child))) {
                    selected.append(&findings_.at(child));
                }
            }
        }
    }
    return selected;
}

void frmCheckConfig::UpdateButtons() {
    bool repairable = false;
    for (const Finding* f : SelectedFindings()) {
        repairable = repairable || IsRepairable(*f);
    }
    cmdRepair_->setEnabled(repairable);
    cmdSave_->setEnabled(true);
    cmdCopy_->setEnabled(true);
}

void frmCheckConfig::OpenClient(QTreeWidgetItem* item) {
    const int index = item ? item->data(0, kFindingRole).toInt() : -1;
    if (index < 0 || index >= findings_.size()) {
        return;
    }
    const Finding finding = findings_.at(index);
    if (finding.Client.isEmpty() || finding.Server.isEmpty()) {
        return;  // rows of a deleted client, or a client of no server: no window shows it
    }
    LastClientServer = finding.Server;
    {
        frmMakeClients window(this);
        window.ShowClient(finding.Client);
        ShowModal(window);
    }
    RunCheck();  // the client may have been changed there
}

void frmCheckConfig::Repair() {
    QList<Finding> chosen;
    for (const Finding* f : SelectedFindings()) {
        if (IsRepairable(*f)) {
            chosen.append(*f);
        }
    }
    if (chosen.isEmpty()) {
        return;
    }
    QStringList lines;
    for (const Finding& f : chosen) {
        lines << f.Text;
    }
    if (ShowMessage(QStringLiteral("Repair %1 finding(s)?\n\n").arg(chosen.size()) +
                        lines.join(QStringLiteral("\n")),
                    MsgButtons::OkCancel, MsgIcon::Question, kTitle) != MsgAnswer::Ok) {
        return;
    }
    if (!BackupBeforeBulkChange(kTitle)) {
        return;  // no repair without a copy of the configuration as it was
    }
    QStringList changes;
    QStringList failed;
    RepairFindings(chosen, [&](const Finding& f, const RepairDone& done) {
        const QString who =
            f.Client.isEmpty() ? QStringLiteral("client id %1").arg(f.ClientId) : f.Client;
        if (!done.Ok) {
            failed << who;
            return;
        }
        for (const QString& change : done.Changes) {
            changes << who + QStringLiteral(": ") + change;
        }
    });
    RunCheck();
    QString text = changes.isEmpty()
                       ? QStringLiteral("Nothing was changed.")
                       : QStringLiteral("Changed:\n") + changes.join(QLatin1Char('\n'));
    if (!failed.isEmpty()) {
        text += QStringLiteral("\n\nNot repaired (changed meanwhile, or a database error): ") +
                failed.join(QStringLiteral(", "));
    }
    ShowMessage(text, MsgButtons::Ok,
                failed.isEmpty() ? MsgIcon::Information : MsgIcon::Exclamation, kTitle);
}

void frmCheckConfig::Save() {
    QFileDialog dialog(this, QStringLiteral("Save the check report"));
    dialog.setObjectName(QStringLiteral("dlgSaveReport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Text files (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(QStringLiteral("CheckConfiguration.txt"));
    if (ShowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    QString error;
    QString text = ReportText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (!SaveFileAtomically(path, text.toUtf8(), &error)) {
        ShowMessage(QStringLiteral("The report could not be saved to \"%1\": %2").arg(path, error),
                    MsgButtons::Ok, MsgIcon::Critical, kTitle);
    }
}

void frmCheckConfig::keyPressEvent(QKeyEvent* event) {
    if (!SwallowEnterAndEsc(event)) {
        QDialog::keyPressEvent(event);
    }
}
