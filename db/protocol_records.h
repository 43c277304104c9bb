#pragma once
// The rows a client's protocol brings with it, and the look-ups the port setup needs.

#include <QString>

#include <optional>

// protocol_id of the t_protocol row with this name, or nothing when there is no such row (or
// its id is no number).
std::optional<qint32> ProtocolIdOfNameMDB(const QString& protocolName);

// The client's stored protocol_id; nothing when the client is not found.
std::optional<qint32> StoredProtocolIdMDB(qint32 clientId);

// The shop-terminal row that lists the client under itself (shop_client_id = clients_id =
// client id), inserted only when it is missing. Returns false when a statement failed.
bool EnsureShopTermSelfRowMDB(qint32 clientId);
// The client's t_remote row, inserted only when it is missing.
bool EnsureRemoteRowMDB(qint32 clientId);

// eob_delay of the client's own download time-out row; nothing when it has none.
std::optional<qint32> ClientEobDelayMDB(qint32 clientId);
