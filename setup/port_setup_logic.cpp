#include "setup/port_setup_logic.h"

#include "base/settings.h"
#include "db/dnc_database.h"
#include "db/protocol_names.h"
#include "db/protocol_records.h"
#include "db/transaction.h"

#include "components/serial_line.h"

const QString kNoComSet = QStringLiteral("NO COM SET");

namespace {

const QString kStandard = QStringLiteral("STANDARD");
const QString kBtr = QStringLiteral("BTR");
const QString kShopTerminal = QStringLiteral("SHOP TERMINAL");
const QString kLineTerminal = QStringLiteral("LINE TERMINAL");
const QString kRemote = QStringLiteral("REMOTE");
const QString kMazatrol = QStringLiteral("MAZATROL");

constexpr qint32 kShopTerminalId = 5;
constexpr int kShopTerminalMode = 3;

const QString kClients = QStringLiteral("t_dnc_server_clients");
const QString kClientMode = QStringLiteral("t_client_mode");
const QString kClientId = QStringLiteral("client_id");

}  // namespace

QStringList BaudEntries() {
    return {"110", "300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "115200"};
}

QStringList DataBitsEntries() {
    return {"7", "8"};
}

QStringList ParityEntries() {
    return {"EVEN", "NONE"};
}

QStringList StopBitsEntries() {
    return {"1", "2"};
}

QString PortEntry(int port) {
    return QStringLiteral("COM ") + QString::number(port);
}

QStringList PortEntries(const QString& detectedPorts) {
    QStringList entries{kNoComSet};
    for (const QString& piece : detectedPorts.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int port = piece.toInt(&ok);
        if (ok && port > 0) {
            entries << PortEntry(port);
        }
    }
    if (entries.size() == 1) {
        for (int port = 1; port <= kHighestComPort; ++port) {
            entries << PortEntry(port);
        }
    }
    return entries;
}

QString StoredPortEntry(int port) {
    return port == 0 ? kNoComSet : PortEntry(port);
}

int PortNumberOfEntry(const QString& text, const QStringList& entries) {
    if (text == kNoComSet || !entries.contains(text)) {
        return 0;
    }
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    return blank < 0 ? 0 : text.mid(blank + 1).toInt();
}

QString ParityShown(const QString& stored) {
    if (stored == QLatin1String("E")) {
        return QStringLiteral("EVEN");
    }
    if (stored == QLatin1String("N")) {
        return QStringLiteral("NONE");
    }
    return stored;
}

QStringList OfferedProtocols() {
    static const char* const keys[][2] = {{"STANDARD", "STANDARD"},  {"BTR", "BTR"},
                                          {"SHOP", "SHOP TERMINAL"}, {"LINE", "LINE TERMINAL"},
                                          {"REMOTE", "REMOTE"},      {"MAZATROL", "MAZATROL"}};
    QStringList offered;
    for (const auto& key : keys) {
        const QString value = ReadIniValue(SettingsFileName, QStringLiteral("PROTOCOLs"),
                                           QLatin1String(key[0]), QStringLiteral("False"));
        if (value.toUpper() == QLatin1String("TRUE")) {
            offered << QLatin1String(key[1]);
        }
    }
    return offered;
}

CurrentProtocol CurrentProtocolForOk(qint32 clientId, const QString& modeProtocol) {
    CurrentProtocol current{ProtocolDisplayName(modeProtocol), StoredProtocolIdMDB(clientId)};
    bool isNumber = false;
    modeProtocol.trimmed().toInt(&isNumber);
    if (isNumber && current.storedId) {
        const QString composite = CompositeProtocolName(*current.storedId);
        if (!composite.isEmpty()) {
            current.name = composite;
        }
    }
    return current;
}

std::optional<ProtocolRefusal> RefusalFor(const QString& current, const QString& chosen) {
    if (chosen.isEmpty() || chosen == current) {
        return std::nullopt;
    }
    static const char* const refusals[][3] = {
        {"SHOP TERMINAL", "A Shop Terminal must be deleted to change protocol!",
         "Shop Terminal alert!  "},
        {"LINE TERMINAL", "A Line Terminal must be deleted to change protocol!",
         "Line Terminal alert!  "},
        {"BTR", "A BTR must be deleted to change protocol!", "BTR alert!  "},
        {"REMOTE", "A Remote must be deleted to change protocol!", "Remote alert!  "},
        {"MAZATROL", "A MAZATROL must be deleted to change protocol!", "MAZATROL alert!  "}};
    for (const auto& refusal : refusals) {
        if (current == QLatin1String(refusal[0])) {
            return ProtocolRefusal{QLatin1String(refusal[1]), QLatin1String(refusal[2])};
        }
    }
    return std::nullopt;
}

namespace {

// What OK is going to write for the protocol; worked out before anything is written.
struct ProtocolPlan {
    std::optional<qint32> saveId;
    bool shopTermRow = false;
    bool remoteRow = false;
    bool terminalEnabled = false;
};

// nothing when the chosen protocol has no t_protocol row (the message is shown).
std::optional<ProtocolPlan> PlanProtocol(const CurrentProtocol& current, const QString& chosen) {
    ProtocolPlan plan;
    const auto lookUp = [](const QString& name) -> std::optional<qint32> {
        const std::optional<qint32> id =
            ProtocolIdOfNameMDB(name == kStandard ? QStringLiteral("XON") : name);
        if (!id) {
            ShowMessage(QStringLiteral("The protocol \"") + name +
                            QStringLiteral("\" is not in the protocol table of the database.\n"
                                           "Nothing was saved."),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Protocol not found"));
        }
        return id;
    };
    if (current.name == kStandard && (chosen == kShopTerminal || chosen == kBtr)) {
        plan.saveId = lookUp(chosen);
        if (!plan.saveId) {
            return std::nullopt;
        }
        plan.shopTermRow = plan.terminalEnabled = chosen == kBtr;
        return plan;
    }
    struct Composite {
        const QString& name;
        qint32 baseId;
        qint32 middleCode;
        bool remote;
    };
    const Composite composites[] = {
        {kLineTerminal, 6, 62, false}, {kRemote, 7, 72, true}, {kMazatrol, 10, 102, true}};
    for (const Composite& composite : composites) {
        if (chosen != composite.name) {
            continue;
        }
        if (current.name == chosen) {
            plan.saveId = current.storedId;  // a stored 61-63 (or 6) stays as it is
            return plan;
        }
        std::optional<qint32> id = lookUp(chosen);
        if (!id) {
            return std::nullopt;
        }
        if (*id == composite.baseId) {
            id = composite.middleCode;
            plan.shopTermRow = true;
            plan.remoteRow = composite.remote;
        }
        plan.saveId = id;
        return plan;
    }
    return plan;  // STANDARD, or a choice that changes nothing
}

}  // namespace

PortSetupSave SavePortSetup(qint32 clientId, const CurrentProtocol& current, const QString& chosen,
                            const PortValues& values) {
    const std::optional<ProtocolPlan> plan = PlanProtocol(current, chosen);
    if (!plan) {
        return PortSetupSave::ProtocolMissing;
    }
    const SqlValue id = SqlValue::Number(clientId);
    DatabaseTransaction transaction(QStringLiteral("Error Port Setup#"));
    if (!transaction.Begun()) {
        return PortSetupSave::Failed;
    }
    // Its rows outlive a deleted client: without this, the settings would go into them.
    const std::optional<bool> held = ClientRowHeldMDB(clientId);
    if (!held || !*held) {
        transaction.Rollback();
        return held ? PortSetupSave::ClientGone : PortSetupSave::Failed;
    }
    bool ok = true;
    if (plan->shopTermRow) {
        ok &= EnsureShopTermSelfRowMDB(clientId);
    }
    if (plan->remoteRow) {
        ok &= EnsureRemoteRowMDB(clientId);
    }
    if (plan->saveId) {
        ok &= UpdateRecordsMDB(kClients, kClientId, id, QStringLiteral("protocol_id"),
                               SqlValue::Number(*plan->saveId));
        if (*plan->saveId == kShopTerminalId) {
            ok &= UpdateRecordsMDB(QStringLiteral("t_client_terminal_mode"), kClientId, id,
                                   QStringLiteral("tmode_id"), SqlValue::Number(kShopTerminalMode));
        }
    }
    if (plan->terminalEnabled) {
        ok &= UpdateRecordsMDB(kClients, kClientId, id, QStringLiteral("terminal_enabled"),
                               SqlValue::YesNo(true));
    }

    // A list without a selection leaves its column as it was.
    const auto setMode = [&](const QString& column, const auto& value, auto toSql) {
        if (value) {
            ok &= UpdateRecordsMDB(kClientMode, kClientId, id, column, toSql(*value));
        }
    };
    const auto number = [](const QString& text) { return SqlValue::Number(text.toLongLong()); };
    setMode(QStringLiteral("cnc_comport"), values.port,
            [](int port) { return SqlValue::Number(port); });
    setMode(QStringLiteral("m_baud"), values.baud, number);
    setMode(QStringLiteral("m_parity"), values.parity, SqlValue::Text);
    setMode(QStringLiteral("m_databits"), values.dataBits, number);
    setMode(QStringLiteral("m_stopbits"), values.stopBits, number);

    // The client's own download time-out decides; a client without that row keeps its flag.
    if (const std::optional<qint32> eobDelay = ClientEobDelayMDB(clientId)) {
        ok &= UpdateRecordsMDB(kClients, kClientId, id, QStringLiteral("bts_eobdelay"),
                               SqlValue::YesNo(*eobDelay == 0));
    }
    if (!ok) {
        transaction.Rollback();
        return PortSetupSave::Failed;
    }
    return transaction.Commit() ? PortSetupSave::Saved : PortSetupSave::Failed;
}
