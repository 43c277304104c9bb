#include "app/frmAbout.h"

#include "base/messages.h"
#include "base/paths.h"
#include "base/platform.h"
#include "ui_frmAbout.h"

#include <QFileInfo>
#include <QStyle>

namespace {

const QString kProductTitle = QStringLiteral("Kestrum - DNC Administration");

}  // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::frmAbout>()) {
    ui_->setupUi(this);
    setWindowTitle(QStringLiteral("About ") + kProductTitle);
    ui_->lblVersion->setText(VersionText());
    ui_->lblTitle->setText(kProductTitle);
    QFont title = ui_->lblTitle->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    ui_->lblTitle->setFont(title);
    ui_->picIcon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));

    connect(ui_->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cmdSysInfo, &QPushButton::clicked, this, [] { StartSysInfo(); });
}

frmAbout::~frmAbout() = default;

QString frmAbout::VersionText() {
    return QStringLiteral("Version %1.%2.%3C")
        .arg(KESTRUM_VERSION_MAJOR)
        .arg(KESTRUM_VERSION_MINOR)
        .arg(KESTRUM_VERSION_REVISION);
}

void frmAbout::StartSysInfo() {
    QString path;
    if (GetKeyValue(RegistryRoot::LocalMachine,
                    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                    QStringLiteral("PATH"), path) &&
        StartProgram(path)) {
        return;
    }
    QString folder;
    if (GetKeyValue(RegistryRoot::LocalMachine,
                    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                    QStringLiteral("MSINFO"), folder)) {
        const QString program = folder + QStringLiteral("\\MSINFO32.EXE");
        if (QFileInfo::exists(NativePath(program)) && StartProgram(program)) {
            return;
        }
    }
    ShowMessage(QStringLiteral("System Information Is Unavailable At This Time"), MsgButtons::Ok,
                MsgIcon::None);
}

bool frmAbout::GetKeyValue(RegistryRoot root, const QString& keyPath, const QString& valueName,
                           QString& value) {
    switch (root) {
        case RegistryRoot::LocalMachine:
            if (const std::optional<QString> found =
                    ReadLocalMachineRegistryValue(keyPath, valueName)) {
                value = *found;
                return true;
            }
            return false;
    }
    return false;
}
