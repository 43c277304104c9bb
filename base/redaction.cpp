#include "base/redaction.h"

#include <QRegularExpression>

namespace {

const QString kHidden = QStringLiteral("***");

// Any URI ("scheme://..."): whichever engine it names, its password is hidden alike.
bool IsServerScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(text).hasMatch();
}

// password=... as a URI parameter or a key/value pair, its value quoted or not.
QString WithoutPasswordParameters(const QString& text) {
    static const QRegularExpression parameter(
        QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'?|[^\\s&;\"']*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString result = text;
    return result.replace(parameter, QStringLiteral("\\1") + kHidden);
}

}  // namespace

QString ShownLocation(const QString& location) {
    const QString trimmed = location.trimmed();
    if (!IsServerScheme(trimmed)) {
        return location;
    }
    const qsizetype schemeEnd = trimmed.indexOf(QLatin1String("://")) + 3;
    qsizetype queryStart = trimmed.indexOf(QLatin1Char('?'), schemeEnd);
    if (queryStart < 0) {
        queryStart = trimmed.size();
    }
    // The user part ends at the last '@' before the parameters: a password may hold '@', '/'
    // or ':' that were not percent-encoded.
    QString head = trimmed.left(queryStart);
    const qsizetype at = head.lastIndexOf(QLatin1Char('@'));
    if (at > schemeEnd) {
        const qsizetype colon = head.indexOf(QLatin1Char(':'), schemeEnd);
        if (colon >= 0 && colon < at) {
            head = head.left(colon + 1) + kHidden + head.mid(at);
        }
    }
    return head + WithoutPasswordParameters(trimmed.mid(queryStart));
}

QString WithoutPasswords(const QString& text) {
    // scheme://user:password@ — up to the last '@' before a blank or a quote.
    static const QRegularExpression userPart(
        QStringLiteral("(\\b[A-Za-z][A-Za-z0-9+.-]*://[^\\s:/@\"']*:)[^\\s\"']*(?=@)"),
        QRegularExpression::CaseInsensitiveOption);
    QString result = text;
    result.replace(userPart, QStringLiteral("\\1") + kHidden);
    return WithoutPasswordParameters(result);
}
