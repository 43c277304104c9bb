#pragma once
// The protocol a client is shown with. The mode record holds the stored protocol_id, or the
// t_protocol name of that id when the table has one; the port setup, the DNCAdmin export and
// the BTS window all show it through this one rule.

#include <QString>

#include <optional>

struct ProtocolDisplay {
    QString Name;             // "STANDARD", "LINE TERMINAL", "BTR", ...
    std::optional<int> Code;  // the composite code (61-63, 71-73, 101-103) when it was one
};

// 61-63 "LINE TERMINAL", 71-73 "REMOTE", 101-103 "MAZATROL" (the code is kept); a name
// beginning with "NO", "XO" or "HW" is a flow-control form of "STANDARD"; anything else is
// shown as it is.
ProtocolDisplay DisplayProtocol(const QString& protocol);

// Just the name of DisplayProtocol.
QString ProtocolDisplayName(const QString& protocol);

// The composite code's display name ("" when the id is not one of the composite codes).
QString CompositeProtocolName(int protocolId);
