#include "components/network_computers.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

// Addresses that name no other computer: loopback, unspecified, IPv6 multicast and the
// IPv6 "all nodes" style entries of a default hosts file.
bool IsSpecialAddress(const QString& address) {
    const QString a = address.toLower();
    return a.startsWith(QLatin1String("127.")) || a == QLatin1String("::1") ||
           a == QLatin1String("0.0.0.0") || a == QLatin1String("::") ||
           a.startsWith(QLatin1String("ff0")) || a.startsWith(QLatin1String("fe00:"));
}

bool IsHostName(const QString& name) {
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]*$"));
    return valid.match(name).hasMatch();
}

NetworkComputer FromHostName(const QString& hostName, const QString& comment) {
    NetworkComputer computer;
    const qsizetype dot = hostName.indexOf(QLatin1Char('.'));
    computer.Name = dot < 0 ? hostName : hostName.left(dot);
    const QString domain = dot < 0 ? QString() : hostName.mid(dot + 1).toUpper();
    computer.Workgroup = domain.isEmpty() ? DefaultWorkgroupName() : domain;
    computer.DisplayName = comment.isEmpty()
                               ? computer.Name
                               : comment + QStringLiteral(" (") + computer.Name + QLatin1Char(')');
    return computer;
}

}  // namespace

QString DefaultWorkgroupName() {
    return QStringLiteral("WORKGROUP");
}

QList<NetworkComputer> ComputersFromHosts(const QByteArray& hostsText) {
    QList<NetworkComputer> computers;
    QSet<QString> seen;
    const QList<QByteArray> lines = hostsText.split('\n');
    for (const QByteArray& raw : lines) {
        QString line = QString::fromLatin1(raw);
        QString comment;
        const qsizetype hash = line.indexOf(QLatin1Char('#'));
        if (hash >= 0) {
            comment = line.mid(hash + 1).simplified();
            line.truncate(hash);
        }
        const QStringList fields = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 2 || IsSpecialAddress(fields.at(0)) || !IsHostName(fields.at(1))) {
            continue;
        }
        NetworkComputer computer = FromHostName(fields.at(1), comment);
        const QString key = computer.Name.toUpper();
        if (computer.Name.isEmpty() || key == QLatin1String("LOCALHOST") || seen.contains(key)) {
            continue;
        }
        seen.insert(key);
        computers << computer;
    }
    return computers;
}

QList<NetworkComputer> ListNetworkComputers(const QString& hostsFile, const QString& fullHostName) {
    QByteArray text;
    QFile file(hostsFile);
    if (!hostsFile.isEmpty() && file.open(QIODevice::ReadOnly)) {
        text = file.readAll();
    }
    QList<NetworkComputer> computers = ComputersFromHosts(text);
    if (IsHostName(fullHostName)) {
        const NetworkComputer local = FromHostName(fullHostName, QString());
        const bool listed =
            std::any_of(computers.cbegin(), computers.cend(), [&](const NetworkComputer& c) {
                return c.Name.compare(local.Name, Qt::CaseInsensitive) == 0;
            });
        if (!listed) {
            computers << local;
        }
    }
    std::sort(computers.begin(), computers.end(),
              [](const NetworkComputer& a, const NetworkComputer& b) {
                  if (a.Workgroup != b.Workgroup) {
                      return a.Workgroup < b.Workgroup;
                  }
                  return a.DisplayName.compare(b.DisplayName, Qt::CaseInsensitive) < 0;
              });
    return computers;
}

QString SystemHostsFilePath() {
#ifdef Q_OS_WIN
    const QString root = qEnvironmentVariable("SystemRoot", QStringLiteral("C:\\Windows"));
    return root + QStringLiteral("\\System32\\drivers\\etc\\hosts");
#else
    return QStringLiteral("/etc/hosts");
#endif
}
