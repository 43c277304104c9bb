#include "app/frmOSSelect.h"

#include "app/os_select.h"
#include "base/settings.h"
#include "ui_frmOSSelect.h"

frmOSSelect::frmOSSelect(std::function<void()> osToolsSelect, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::frmOSSelect>()),
      osToolsSelect_(std::move(osToolsSelect)) {
    ui_->setupUi(this);
    // Upper-cased as the main window reads it, so both show the same selection.
    const QString os =
        ReadIniValue(SettingsFileName, QStringLiteral("ADMIN"), QStringLiteral("OS"), OsValue::XP)
            .toUpper();
    if (os == OsValue::XP) {
        ui_->optXP->setChecked(true);
    } else if (os == OsValue::Vista7) {
        ui_->optVista7->setChecked(true);
    } else if (os == OsValue::XPMode) {
        ui_->optXPMode->setChecked(true);
    }
    tolvaneIniPath_ = JoinPath(ProgramFolder(), QStringLiteral("TolvaneDNC.ini"));

    connect(ui_->cmdOK, &QPushButton::clicked, this, &frmOSSelect::Save);
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmOSSelect::~frmOSSelect() = default;

QString frmOSSelect::SelectedValue() const {
    if (ui_->optXP->isChecked()) {
        return OsValue::XP;
    }
    if (ui_->optVista7->isChecked()) {
        return OsValue::Vista7;
    }
    if (ui_->optXPMode->isChecked()) {
        return OsValue::XPMode;
    }
    return OsValue::None;
}

void frmOSSelect::Save() {
    const QString value = SelectedValue();
    WriteIniValue(QStringLiteral("ADMIN"), QStringLiteral("OS"), value, SettingsFileName);
    // A failed rewrite has shown its messages; the selection still applies.
    RewriteProgramFilesPaths(tolvaneIniPath_, value);
    RewriteProgramFilesPaths(SettingsFileName, value);
    SelectedOs = value;
    if (osToolsSelect_) {
        osToolsSelect_();
    }
    accept();
}
