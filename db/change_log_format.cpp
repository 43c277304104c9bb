// The change log as text: the instants a filter takes, and the entries as plain lines, CSV
// and JSON for scripts and spreadsheets.

#include "db/change_log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

bool Refused(QString* why, const QString& text) {
    if (why) {
        *why = text;
    }
    return false;
}

QJsonValue Id(const std::optional<qint32>& id) {
    return id ? QJsonValue(*id) : QJsonValue();
}

QJsonValue Value(const std::optional<QString>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

}  // namespace

std::optional<QDateTime> ParseLogInstant(const QString& text, QString* why) {
    // [0-9], not \d: other scripts' digits are no part of the form.
    static const QRegularExpression form(
        QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})"
                       "(?:T([0-9]{2}):([0-9]{2})(?::([0-9]{2})(?:[.,]([0-9]+))?)?"
                       "(Z|([+-])([0-9]{2})(?::?([0-9]{2}))?)?)?$"));
    const QString expected =
        QStringLiteral(
            "\"%1\" is not a date or time; give an ISO 8601 date or date and time, such as "
            "2026-12-07, 2026-12-07T08:30 or 2026-12-07T08:30:00+01:00 (without a zone: UTC)")
            .arg(text);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        Refused(why, expected);
        return std::nullopt;
    }
    const auto number = [&match](int group) { return match.captured(group).toInt(); };
    const QDate day(number(1), number(2), number(3));
    if (!day.isValid()) {
        Refused(why, QStringLiteral("\"%1\" names no day of the calendar").arg(text));
        return std::nullopt;
    }
    if (!match.hasCaptured(4)) {
        return LogDayStart(day);
    }
    const int hour = number(4);
    const int minute = number(5);
    const int second = match.hasCaptured(6) ? number(6) : 0;
    if (hour > 23 || minute > 59 || second > 59) {
        Refused(why, QStringLiteral("\"%1\" names no time of the day").arg(text));
        return std::nullopt;
    }
    // The log keeps milliseconds: a finer fraction rounds up, so "from" never takes in an
    // entry before the instant given.
    const QString fraction = match.captured(7);
    int ms = fraction.left(3).leftJustified(3, QLatin1Char('0')).toInt();
    const QString rest = fraction.mid(3);
    const bool finer =
        std::any_of(rest.cbegin(), rest.cend(), [](QChar c) { return c != QLatin1Char('0'); });
    QDateTime instant(day, QTime(hour, minute, second, ms), Qt::UTC);
    if (finer) {
        instant = instant.addMSecs(1);
    }
    if (match.hasCaptured(9)) {
        const int offsetHours = number(10);
        const int offsetMinutes = match.hasCaptured(11) ? number(11) : 0;
        if (offsetHours > 23 || offsetMinutes > 59) {
            Refused(why, QStringLiteral("\"%1\" names no time zone").arg(text));
            return std::nullopt;
        }
        const int offset = (offsetHours * 60 + offsetMinutes) * 60;
        // 08:00+01:00 is 07:00 UTC.
        instant = instant.addSecs(match.captured(9) == QLatin1String("+") ? -offset : offset);
    }
    return instant;
}

QDateTime LogDayStart(const QDate& day) {
    return QDateTime(day, QTime(0, 0), Qt::UTC);
}

QString LogInstantText(const QDateTime& instant) {
    return instant.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char('Z');
}

QString ChangesText(const QList<ColumnChange>& changes) {
    QStringList parts;
    const auto shown = [](const std::optional<QString>& value) {
        if (!value) {
            return QStringLiteral("(none)");
        }
        return value->isEmpty() ? QStringLiteral("(empty)") : *value;
    };
    for (const ColumnChange& change : changes) {
        parts << change.column + QStringLiteral(": ") + shown(change.oldValue) +
                     QStringLiteral(" -> ") + shown(change.newValue);
    }
    return parts.join(QStringLiteral("; "));
}

QString EscapedPlainField(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
            case u'\\':
                escaped += QStringLiteral("\\\\");
                break;
            case u'\t':
                escaped += QStringLiteral("\\t");
                break;
            case u'\r':
                escaped += QStringLiteral("\\r");
                break;
            case u'\n':
                escaped += QStringLiteral("\\n");
                break;
            case 0:
                escaped += QStringLiteral("\\0");
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    escaped += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
                } else {
                    escaped += c;
                }
        }
    }
    return escaped;
}

QString ChangeLogPlainLine(const ChangeLogEntry& e) {
    const QStringList fields = {e.changedAt, e.computer,   e.user,
                                e.action,    e.serverName, e.clientName,
                                e.table,     e.operation,  ChangesText(e.changes)};
    QStringList escaped;
    for (const QString& field : fields) {
        escaped << EscapedPlainField(field);
    }
    return escaped.join(QLatin1Char('\t'));
}

QString CsvField(const QString& text) {
    static const QString formulaStart = QStringLiteral("=+-@\t\r");
    const bool formula = !text.isEmpty() && formulaStart.contains(text.front());
    if (!formula && !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = formula ? QLatin1Char('\'') + text : text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString ChangeLogCsvHeader() {
    return QStringLiteral(
        "when (UTC),computer,user,action,table,operation,row,server id,"
        "server,client id,client,changes");
}

QString ChangeLogCsvLine(const ChangeLogEntry& e) {
    const QStringList fields = {e.changedAt,  e.computer,
                                e.user,       e.action,
                                e.table,      e.operation,
                                e.rowKey,     e.serverId ? QString::number(*e.serverId) : QString(),
                                e.serverName, e.clientId ? QString::number(*e.clientId) : QString(),
                                e.clientName, ChangesText(e.changes)};
    QStringList quoted;
    for (const QString& field : fields) {
        quoted << CsvField(field);
    }
    return quoted.join(QLatin1Char(','));
}

QByteArray ChangeLogCsv(const QList<ChangeLogEntry>& entries) {
    QString text = ChangeLogCsvHeader() + QStringLiteral("\r\n");
    for (const ChangeLogEntry& e : entries) {
        text += ChangeLogCsvLine(e) + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

QByteArray ChangeLogJson(const ChangeLogEntry& e) {
    QJsonArray changes;
    for (const ColumnChange& c : e.changes) {
        changes.append(QJsonObject{{QStringLiteral("column"), c.column},
                                   {QStringLiteral("old"), Value(c.oldValue)},
                                   {QStringLiteral("new"), Value(c.newValue)}});
    }
    const QJsonObject object{
        {QStringLiteral("when"), e.changedAt},    {QStringLiteral("computer"), e.computer},
        {QStringLiteral("user"), e.user},         {QStringLiteral("action"), e.action},
        {QStringLiteral("table"), e.table},       {QStringLiteral("operation"), e.operation},
        {QStringLiteral("row"), e.rowKey},        {QStringLiteral("server_id"), Id(e.serverId)},
        {QStringLiteral("server"), e.serverName}, {QStringLiteral("client_id"), Id(e.clientId)},
        {QStringLiteral("client"), e.clientName}, {QStringLiteral("changes"), changes}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
