#pragma once
// The computers the network part of the folder tree lists: this computer and the
// computers the system knows by name (its hosts file). Nothing here resolves a name, so
// listing never waits on the network.

#include <QByteArray>
#include <QList>
#include <QString>

struct NetworkComputer {
    QString Workgroup;    // the DNS domain in upper case, or "WORKGROUP" without one
    QString Name;         // the computer name: the host name up to the first dot, as written
    QString DisplayName;  // Name, or "comment (NAME)" when its hosts line has a comment
};

// The workgroup a computer without a domain is shown in.
QString DefaultWorkgroupName();

// The computers named in the text of a hosts file: one per address line, named by the
// line's first host name. Loopback, unspecified and multicast addresses are skipped, and a
// name listed twice counts once (the first line wins).
QList<NetworkComputer> ComputersFromHosts(const QByteArray& hostsText);

// This computer (fullHostName may carry a domain) and the computers of the hosts file,
// sorted by workgroup, then by display name (letter case ignored). A missing or unreadable hosts
// file lists only this computer. Reads a file and may take a while on a slow disk: call it off the
// UI thread.
QList<NetworkComputer> ListNetworkComputers(const QString& hostsFile, const QString& fullHostName);

// The hosts file of this system; tests point the folder tree at another one.
QString SystemHostsFilePath();
