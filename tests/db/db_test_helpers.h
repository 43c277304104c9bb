#pragma once
// Shared by the database tests.

#include "db/dnc_database.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"

#include <QTest>

// A value as the tests write it: text, a whole number, a yes/no, or null.
inline SqlValue ValueOf(const QVariant& v) {
    if (v.isNull()) {
        return SqlValue::Null();
    }
    if (v.typeId() == QMetaType::Bool) {
        return SqlValue::YesNo(v.toBool());
    }
    if (v.typeId() == QMetaType::QString) {
        return SqlValue::Text(v.toString());
    }
    return SqlValue::Number(v.toLongLong());
}

// Rows written directly; the server's id is returned.
inline qint64 PutServer(const TempInstallation& tmp, const QString& name) {
    tmp.Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES (?)", {name});
    return tmp.QueryValue("SELECT MAX(dnc_server_id) FROM t_dnc_servers").toLongLong();
}
inline void PutClient(const TempInstallation& tmp, const QString& name, qint64 serverId,
                      const QString& nodeId) {
    tmp.Exec(
        "INSERT INTO t_dnc_server_clients (client_name, dnc_server_id, NODE_ID) "
        "VALUES (?, ?, ?)",
        {name, serverId, nodeId});
}

inline QString ReportText(const QString& prefix, int number, int line, const QString& what,
                          const QString& source) {
    return QStringLiteral("%1%2 at Line %3 - %4 - reported by %5")
        .arg(prefix, QString::number(number), QString::number(line), what, source);
}

// A message as one comparable line: title, text, buttons and icon.
inline QString Describe(const MessageRequest& m) {
    return QStringLiteral("%1 | %2 | buttons %3 | icon %4")
        .arg(m.title, m.text, QString::number(int(m.buttons)), QString::number(int(m.icon)));
}
