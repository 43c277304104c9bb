#include "setup/protocol_dialog.h"

#include "base/modal.h"
#include "components/protocol_dialogs.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QMetaMethod>
#include <QVBoxLayout>

ProtocolDialogChoice ProtocolDialogFor(std::optional<qint32> protocolId) {
    if (!protocolId) {
        return {};
    }
    switch (*protocolId) {
        case 1:
        case 2:
        case 3:
            return {ProtocolDialogKind::Standard, 1};
        case 4:
            return {ProtocolDialogKind::Btr, 4};
        case 5:
            return {ProtocolDialogKind::ShopTerminal, 2};
        case 6:
        case 61:
        case 62:
        case 63:
            return {ProtocolDialogKind::LineTerminal, 3};
        case 7:
        case 71:
        case 72:
        case 73:
            return {ProtocolDialogKind::Remote, 5};
        case 10:
        case 101:
        case 102:
        case 103:
            return {ProtocolDialogKind::Mazatrol, 5};
        default:
            return {};
    }
}

QString ProtocolDialogKindName(ProtocolDialogKind kind) {
    switch (kind) {
        case ProtocolDialogKind::Standard:
            return QStringLiteral("Standard protocol");
        case ProtocolDialogKind::Btr:
            return QStringLiteral("BTR");
        case ProtocolDialogKind::ShopTerminal:
            return QStringLiteral("Shop terminal");
        case ProtocolDialogKind::LineTerminal:
            return QStringLiteral("Line terminal");
        case ProtocolDialogKind::Remote:
            return QStringLiteral("Remote");
        case ProtocolDialogKind::Mazatrol:
            return QStringLiteral("MAZATROL");
    }
    return QString();
}

namespace {

// The attribute dialogs that ship with the program, one for each kind.
AttributeDialogKind AttributeKindFor(ProtocolDialogKind kind) {
    switch (kind) {
        case ProtocolDialogKind::Standard:
            return AttributeDialogKind::Standard;
        case ProtocolDialogKind::Btr:
            return AttributeDialogKind::Second;
        case ProtocolDialogKind::ShopTerminal:
            return AttributeDialogKind::Third;
        case ProtocolDialogKind::LineTerminal:
            return AttributeDialogKind::LineTerminal;
        case ProtocolDialogKind::Remote:
            return AttributeDialogKind::Remote;
        case ProtocolDialogKind::Mazatrol:
            return AttributeDialogKind::Mazatrol;
    }
    return AttributeDialogKind::Standard;
}

ProtocolDialogFactory& Installed() {
    static ProtocolDialogFactory factory;
    return factory;
}

}  // namespace

ProtocolDialogFactory SetProtocolDialogFactory(ProtocolDialogFactory factory) {
    ProtocolDialogFactory previous = std::move(Installed());
    Installed() = std::move(factory);
    return previous;
}

std::unique_ptr<QDialog> CreateProtocolDialog(ProtocolDialogKind kind, QWidget* parent) {
    if (Installed()) {
        if (std::unique_ptr<QDialog> dialog = Installed()(kind, parent)) {
            return dialog;
        }
    }
    return CreateAttributeDialog(AttributeKindFor(kind), parent);
}

bool SetProtocolDialogValues(QDialog& dialog, const ProtocolDialogValues& values) {
    const std::pair<const char*, QVariant> properties[] = {
        {"PropClientUSEID", values.useId},
        {"PropClientIDSEQUENTIAL", values.idSequential},
        {"PropClientID", values.clientId},
        {"PropDNCpath", values.dncPath},
        {"HelpName", values.helpName}};
    bool all = true;
    for (const auto& [name, value] : properties) {
        // A name the dialog does not declare would only become a dynamic property, unseen.
        if (dialog.metaObject()->indexOfProperty(name) < 0) {
            qWarning("The protocol dialog %s has no property %s", dialog.metaObject()->className(),
                     name);
            all = false;
            continue;
        }
        dialog.setProperty(name, value);
    }
    return all;
}

void ShowProtocolDialog(QDialog& dialog) {
    if (dialog.metaObject()->indexOfMethod("Show()") >= 0) {
        QMetaObject::invokeMethod(&dialog, "Show", Qt::DirectConnection);
        return;
    }
    ShowModal(dialog);
}

ProtocolDialogPlaceholder::ProtocolDialogPlaceholder(ProtocolDialogKind kind, QWidget* parent)
    : QDialog(parent), kind_(kind) {
    setObjectName(QStringLiteral("ProtocolDialogPlaceholder"));
}

void ProtocolDialogPlaceholder::Show() {
    setWindowTitle(ProtocolDialogKindName(kind_) + QStringLiteral(" attributes"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral("The attribute dialog of this protocol is not part of this build.\n\n"
                       "Client id: %1\nHelp file: %2")
            .arg(clientId_)
            .arg(helpName_.isEmpty() ? QStringLiteral("none") : helpName_),
        this);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    ShowModal(*this);
}
