// The verify pass: reads the adapter's settings listing and compares it with what the
// client needs.

#include "bts/bts_protocol.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The text after key up to the next comma; empty when the key or the comma is missing.
QString ValueAfter(const QString& listing, const QString& key) {
    const qsizetype at = listing.indexOf(key);
    if (at < 0) {
        return QString();
    }
    const qsizetype start = at + key.size();
    const qsizetype comma = listing.indexOf(QLatin1Char(','), start);
    return comma < 0 ? QString() : listing.mid(start, comma - start);
}

// The description of key: from 3 characters past the key through the next CR LF.
QString DescriptionOf(const QString& listing, const QString& key) {
    const qsizetype at = listing.indexOf(key);
    if (at < 0) {
        return QString();
    }
    const qsizetype start = at + key.size() + 3;
    const qsizetype end = listing.indexOf(kCrLf, start);
    return end < 0 ? QString() : listing.mid(start, end + 2 - start);
}

bool HasLine(const QString& listing, const QString& line) {
    return listing.contains(kCrLf + line);
}

}  // namespace

bool BtsProtocol::VerifyBts() {
    OpenForExchange();
    Listing.clear();
    SendBtsCommand(QStringLiteral("ATI1"), 0);
    if (ReplyBuffer.isEmpty()) {
        VerifyText = QStringLiteral("No response, check settings");
        return true;
    }
    Listing = ReplyBuffer;
    QString echoText;
    if (Listing.contains(QLatin1String("ATE="))) {
        echoText = ValueAfter(Listing, QStringLiteral("ATE=")) == QLatin1String("0")
                       ? QStringLiteral("Echo OFF")
                       : QStringLiteral("Echo ON");
    }
    if (!HasLine(Listing, QStringLiteral("ATX=0, NEVER CHECK '+++' "))) {
        VerifyText = QStringLiteral("Verify trailer failed for Client") + kCrLf + echoText;
        return true;
    }
    const QString leader = Listing.left(9);
    const bool leaderOk =
        leader == QLatin1String("\r\nOK\r\nATC") || leader == QLatin1String("ATI1\r\r\nOK");
    QString message;
    if (!leaderOk) {
        message = QStringLiteral("Verify Client leader failed") + kCrLf + echoText;
    } else {
        if (ClientBtsLatency) {
            if (!HasLine(Listing, QStringLiteral("ATC=1, HARDWARE FLOW CONTROL"))) {
                VerifyText = QStringLiteral("Latency ON unmatched");
                return true;
            }
            message = QStringLiteral("Latency ON");
        } else if (!HasLine(Listing, QStringLiteral("ATC=0, NONE FLOW CONTROL"))) {
            VerifyText = QStringLiteral("Latency OFF unmatched");
            return true;
        }
        if (ClientStopBits != 1) {
            if (!HasLine(Listing, QStringLiteral("ATK=1, TWO STOP BIT"))) {
                VerifyText = QStringLiteral("Stopbits 1 unmatched");
                return true;
            }
        } else if (!HasLine(Listing, QStringLiteral("ATK=0, ONE STOP BIT"))) {
            VerifyText = QStringLiteral("Stopbits 2 unmatched");
            return true;
        }
        const QString pin = ValueAfter(Listing, QStringLiteral("ATP="));
        if (pin != msPinNumber) {
            VerifyText = pin == QLatin1String("5093")
                             ? QStringLiteral("Not configured, configure BTS again")
                             : QStringLiteral("Server pin ") + msPinNumber +
                                   QStringLiteral(" not matching BTS pin ") + pin;
            return true;
        }
        const QString discoverText =
            ValueAfter(Listing, QStringLiteral("ATH=")) != QLatin1String("0")
                ? QStringLiteral("Discover ON")
                : QStringLiteral("Discover OFF");
        message =
            (message.isEmpty() ? QString() : message + kCrLf) + discoverText + kCrLf + echoText;
    }
    const QString descriptions = DescriptionOf(Listing, QStringLiteral("ATK=")) +
                                 DescriptionOf(Listing, QStringLiteral("ATL=")) +
                                 DescriptionOf(Listing, QStringLiteral("ATM="));
    VerifyText = descriptions + message;
    Listing += message;
    return !leaderOk;
}
