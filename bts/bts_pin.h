#pragma once
// The 8-digit PIN given to BTS adapters and typed into the Bluetooth pairing, derived from
// a name (a server's name gives that server's PIN).

#include <QString>

QString GeneratePin(const QString& name);

// The PIN of a DNC server: the PIN derived from its name.
QString ServerPin(const QString& serverName);
