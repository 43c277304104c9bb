#include "setup/frmDirProps.h"

#include "base/settings.h"
#include "db/client_directories.h"
#include "setup/directories.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmDirProps::frmDirProps(qint32 dirId, QWidget* parent) : QDialog(parent), dirId_(dirId) {
    setObjectName(QStringLiteral("frmDirProps"));
    setWindowTitle(QStringLiteral("Directory properties"));

    auto* layout = new QVBoxLayout(this);
    fraAll_ = new QGroupBox(this);
    fraAll_->setObjectName(QStringLiteral("fraAll"));
    layout->addWidget(fraAll_);
    auto* all = new QVBoxLayout(fraAll_);

    fraSpec_ = new QGroupBox(QStringLiteral("Use Directory for: "), fraAll_);
    fraSpec_->setObjectName(QStringLiteral("fraSpec"));
    auto* spec = new QVBoxLayout(fraSpec_);
    options_ = new QButtonGroup(this);
    const char* const captions[3] = {"Download", "Upload", "Both Down\\Up"};
    const char* const tips[3] = {"Download only, to cnc", "Upload only, from cnc",
                                 "Directory used for both Download and Upload"};
    for (int i = 0; i < 3; ++i) {
        Option1_[size_t(i)] = new QRadioButton(QString::fromLatin1(captions[i]), fraSpec_);
        Option1_[size_t(i)]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        Option1_[size_t(i)]->setToolTip(QString::fromLatin1(tips[i]));
        options_->addButton(Option1_[size_t(i)], i);
        spec->addWidget(Option1_[size_t(i)]);
    }
    all->addWidget(fraSpec_);

    auto* alias = new QHBoxLayout;
    chkAlias_ = new QCheckBox(QStringLiteral("Use Alias"), fraAll_);
    chkAlias_->setObjectName(QStringLiteral("chkAlias"));
    chkAlias_->setToolTip(QStringLiteral("Enables alias name selection"));
    cboAlias_ = new QComboBox(fraAll_);
    cboAlias_->setObjectName(QStringLiteral("cboAlias"));
    cboAlias_->setToolTip(QStringLiteral("Alias directory name for full path"));
    cboAlias_->setEditable(true);
    cboAlias_->setInsertPolicy(QComboBox::NoInsert);
    cboAlias_->setValidator(new AliasValidator(cboAlias_));
    alias->addWidget(chkAlias_);
    alias->addWidget(cboAlias_, 1);
    all->addLayout(alias);

    chkExploreFromHere_ = new QCheckBox(QStringLiteral("Explore from here"), fraAll_);
    chkExploreFromHere_->setObjectName(QStringLiteral("chkExploreFromHere"));
    chkExploreFromHere_->setToolTip(QStringLiteral("Explore through this directory"));
    all->addWidget(chkExploreFromHere_);

    auto* buttons = new QHBoxLayout;
    cmdOK_ = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setToolTip(QStringLiteral("OK to save changes"));
    cmdCancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setToolTip(QStringLiteral("Cancel to abort changes"));
    for (QPushButton* button : {cmdOK_, cmdCancel_}) {
        button->setAutoDefault(false);  // Enter in the alias box must not save
    }
    buttons->addStretch();
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdCancel_);
    layout->addLayout(buttons);

    connect(chkAlias_, &QCheckBox::toggled, this, &frmDirProps::chkAlias_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &frmDirProps::cmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

frmDirProps::~frmDirProps() = default;

bool frmDirProps::Load() {
    const QString useAlias = ReadIniValue(SettingsFileName, QStringLiteral("ADMIN"),
                                          QStringLiteral("USEALIAS"), QStringLiteral("True"));
    aliasInUse_ = useAlias.toUpper() != QLatin1String("FALSE");
    chkAlias_->setVisible(aliasInUse_);
    cboAlias_->setVisible(aliasInUse_);
    if (aliasInUse_) {
        cboAlias_->addItems(AliasSuggestions());
    }

    const std::optional<DirectoryRecord> record = GetClientDirPropsMDB(dirId_);
    if (!record) {
        return false;
    }
    record_ = *record;
    fraAll_->setTitle(record_.directory_direct);

    if (aliasInUse_) {
        const bool hasAlias = !record_.directory_alias.isEmpty();
        chkAlias_->setChecked(hasAlias);
        chkAlias_Click(hasAlias);
        if (hasAlias) {
            cboAlias_->setEditText(record_.directory_alias);
        }
    }
    // A mode outside 1 to 3 shows no option and is kept unless one is picked.
    if (record_.dir_mode >= 1 && record_.dir_mode <= 3) {
        Option1_[size_t(record_.dir_mode - 1)]->setChecked(true);
    }
    chkExploreFromHere_->setChecked(record_.explore_from_here);
    return true;
}

void frmDirProps::chkAlias_Click(bool checked) {
    cboAlias_->setEnabled(checked);
    if (checked) {
        cboAlias_->setCurrentIndex(0);
        cboAlias_->setEditText(cboAlias_->itemText(0));
    } else {
        cboAlias_->setEditText(QString());
    }
}

void frmDirProps::cmdOK_Click() {
    const int option = options_->checkedId();
    const qint16 mode = option >= 0 ? qint16(option + 1) : record_.dir_mode;
    // With the alias controls hidden the stored alias is left as it is.
    std::optional<QString> alias;
    if (aliasInUse_) {
        alias = chkAlias_->isChecked() ? cboAlias_->currentText() : QString();
        if (!alias->isEmpty() && !CheckAliasIsUnique(CurrentClientId, *alias, dirId_)) {
            // Another directory of the client has it: the operator picks another one.
            cboAlias_->setEditText(QString());
            return;
        }
    }
    if (SaveDirPropsMDB(dirId_, mode, alias, chkExploreFromHere_->isChecked())) {
        accept();
    }
}
