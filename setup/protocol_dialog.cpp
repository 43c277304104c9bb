#include "setup/protocol_dialog.h"

#include "base/modal.h"
#include "setup/protocol_dialogs.h"

#include <QMetaMethod>

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
