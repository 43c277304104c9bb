#include "changelog/frmChangeLog.h"

#include "base/messages.h"
#include "base/modal.h"
#include "db/dnc_database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("Change log");
const QString kAny = QStringLiteral("(all)");

QString DayText(const QDate& date) {
    return date.toString(Qt::ISODate);
}

}  // namespace

frmChangeLog::frmChangeLog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmChangeLog"));
    setWindowTitle(kCaption);
    resize(980, 520);

    cboServer_ = new QComboBox(this);
    cboServer_->setObjectName(QStringLiteral("cboServer"));
    cboClient_ = new QComboBox(this);
    cboClient_->setObjectName(QStringLiteral("cboClient"));
    cboClient_->setEditable(true);
    chkSince_ = new QCheckBox(QStringLiteral("From"), this);
    chkSince_->setObjectName(QStringLiteral("chkSince"));
    dtpSince_ = new QDateEdit(QDate::currentDate(), this);
    dtpSince_->setObjectName(QStringLiteral("dtpSince"));
    dtpSince_->setCalendarPopup(true);
    dtpSince_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    chkUntil_ = new QCheckBox(QStringLiteral("To"), this);
    chkUntil_->setObjectName(QStringLiteral("chkUntil"));
    dtpUntil_ = new QDateEdit(QDate::currentDate(), this);
    dtpUntil_->setObjectName(QStringLiteral("dtpUntil"));
    dtpUntil_->setCalendarPopup(true);
    dtpUntil_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));

    lstEntries_ = new QTreeWidget(this);
    lstEntries_->setObjectName(QStringLiteral("lstEntries"));
    lstEntries_->setRootIsDecorated(false);
    lstEntries_->setUniformRowHeights(true);
    lstEntries_->setHeaderLabels(
        {QStringLiteral("When (UTC)"), QStringLiteral("Computer"), QStringLiteral("User"),
         QStringLiteral("Action"), QStringLiteral("Server"), QStringLiteral("Client"),
         QStringLiteral("Table"), QStringLiteral("Change"), QStringLiteral("Values")});
    lblCount_ = new QLabel(this);
    lblCount_->setObjectName(QStringLiteral("lblCount"));
    cmdSave_ = new QPushButton(QStringLiteral("Save as CSV..."), this);
    cmdSave_->setObjectName(QStringLiteral("cmdSave"));
    cmdClose_ = new QPushButton(QStringLiteral("Close"), this);
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    cmdSave_->setAutoDefault(false);
    cmdClose_->setAutoDefault(false);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Server"), this));
    filters->addWidget(cboServer_, 1);
    filters->addWidget(new QLabel(QStringLiteral("Client"), this));
    filters->addWidget(cboClient_, 1);
    filters->addWidget(chkSince_);
    filters->addWidget(dtpSince_);
    filters->addWidget(chkUntil_);
    filters->addWidget(dtpUntil_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblCount_, 1);
    buttons->addWidget(cmdSave_);
    buttons->addWidget(cmdClose_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lstEntries_, 1);
    layout->addLayout(buttons);

    FillChoices();
    Reload();
    lstEntries_->header()->resizeSections(QHeaderView::ResizeToContents);

    connect(cboServer_, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(cboClient_, &QComboBox::currentTextChanged, this, [this] { Reload(); });
    connect(chkSince_, &QCheckBox::toggled, this, [this] { Reload(); });
    connect(chkUntil_, &QCheckBox::toggled, this, [this] { Reload(); });
    connect(dtpSince_, &QDateEdit::dateChanged, this, [this] { Reload(); });
    connect(dtpUntil_, &QDateEdit::dateChanged, this, [this] { Reload(); });
    connect(cmdSave_, &QPushButton::clicked, this, [this] { cmdSave_Click(); });
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmChangeLog::FillChoices() {
    const QSignalBlocker serverBlock(cboServer_);
    const QSignalBlocker clientBlock(cboClient_);
    cboServer_->clear();
    cboServer_->addItem(kAny);
    LoadServerNames();
    cboServer_->addItems(ServerNames);
    cboClient_->clear();
    cboClient_->addItem(kAny);
    LoadAllClientNames();
    for (const ClientListEntry& client : AllClients) {
        cboClient_->addItem(client.ClientName);
    }
}

ChangeLogFilter frmChangeLog::Filter() const {
    ChangeLogFilter filter;
    if (cboServer_->currentIndex() > 0) {
        filter.server = cboServer_->currentText();
    }
    const QString client = cboClient_->currentText().trimmed();
    if (client != kAny) {
        filter.client = client;
    }
    if (chkSince_->isChecked()) {
        filter.since = DayText(dtpSince_->date());
    }
    if (chkUntil_->isChecked()) {
        filter.until = DayText(dtpUntil_->date().addDays(1));  // the whole last day
    }
    return filter;
}

void frmChangeLog::Reload() {
    QString error;
    const std::optional<QList<ChangeLogEntry>> entries =
        ReadChangeLog(DncConnection, Filter(), &error);
    entries_ = entries.value_or(QList<ChangeLogEntry>());
    lstEntries_->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(entries_.size());
    for (const ChangeLogEntry& e : entries_) {
        const QString values = ChangesText(e.changes);
        auto* item = new QTreeWidgetItem(QStringList{
            e.changedAt, e.computer, e.user, e.action, e.serverName, e.clientName,
            e.rowKey.isEmpty() ? e.table : e.table + QStringLiteral(" (") + e.rowKey + ')',
            e.operation, values});
        item->setToolTip(8, QString(values).replace(QStringLiteral("; "), QStringLiteral("\n")));
        items << item;
    }
    lstEntries_->addTopLevelItems(items);
    lblCount_->setText(entries ? QStringLiteral("%1 entries").arg(entries_.size())
                               : QStringLiteral("The change log cannot be read: ") + error);
}

void frmChangeLog::cmdSave_Click() {
    QFileDialog dialog(this, QStringLiteral("Save the change log as"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")});
    if (ShowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ChangeLogCsv(entries_)) < 0 ||
        !file.commit()) {
        ShowMessage(
            QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString(),
            MsgButtons::Ok, MsgIcon::Critical, kCaption);
    }
}
