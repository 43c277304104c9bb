#include "tools/btssim/adapter_model.h"

namespace {

const QByteArray kCrLf("\r\n");

struct BaudCode {
    char code;
    qint32 baud;
};

constexpr BaudCode kBaudCodes[] = {{'*', 1200},  {'#', 2400},  {'0', 4800},  {'1', 9600},
                                   {'2', 19200}, {'3', 38400}, {'4', 57600}, {'5', 115200}};

}  // namespace

bool ParseAdapterFault(const QString& text, AdapterFault* fault) {
    static const QList<QPair<QString, AdapterFault>> names = {
        {QStringLiteral("none"), AdapterFault::None},
        {QStringLiteral("silent"), AdapterFault::Silent},
        {QStringLiteral("error"), AdapterFault::Error},
        {QStringLiteral("echo-only"), AdapterFault::EchoOnly},
        {QStringLiteral("slow"), AdapterFault::Slow},
        {QStringLiteral("garbage"), AdapterFault::Garbage},
        {QStringLiteral("noise"), AdapterFault::Noise},
        {QStringLiteral("drop"), AdapterFault::Drop}};
    for (const auto& [name, value] : names) {
        if (text.compare(name, Qt::CaseInsensitive) == 0) {
            *fault = value;
            return true;
        }
    }
    return false;
}

BtsAdapterModel::BtsAdapterModel(const QByteArray& address) : address(address) {}

qint32 BtsAdapterModel::BaudForCode(char code) {
    for (const BaudCode& entry : kBaudCodes) {
        if (entry.code == code) {
            return entry.baud;
        }
    }
    return 0;
}

char BtsAdapterModel::CodeForBaud(qint32 baud) {
    for (const BaudCode& entry : kBaudCodes) {
        if (entry.baud == baud) {
            return entry.code;
        }
    }
    return 0;
}

QByteArray BtsAdapterModel::Garble(const QByteArray& bytes) {
    // What a receiver at the wrong rate makes of the bits: high, unprintable characters.
    QByteArray out = bytes;
    for (char& c : out) {
        c = char(0x80 | ((uchar(c) * 7 + 0x35) & 0x7F));
    }
    return out;
}

QList<AdapterOutput> BtsAdapterModel::Receive(const QByteArray& bytes, qint32 lineBaud) {
    QList<AdapterOutput> out;
    if (gone || fault == AdapterFault::Silent) {
        return out;
    }
    if (lineBaud != Baud()) {
        out.append({0, Garble(bytes), false});
        return out;
    }
    const bool garble = fault == AdapterFault::Garbage;
    for (char c : bytes) {
        if (c == '\n') {
            continue;
        }
        if (fault == AdapterFault::Drop && pending_.isEmpty() && commands.size() >= dropAfter) {
            gone = true;
            out.append({0, QByteArray(), true});
            return out;
        }
        if (settings.echo) {
            out.append({0, garble ? Garble(QByteArray(1, c)) : QByteArray(1, c), false});
        }
        if (c != '\r') {
            pending_ += c;
            continue;
        }
        const QByteArray command = pending_;
        pending_.clear();
        if (command.isEmpty()) {
            continue;
        }
        commands << QString::fromLatin1(command);
        bool after = false;
        afterReply_ = settings;
        QByteArray reply;
        // A faulty adapter that refuses or ignores a command keeps its settings.
        if (fault == AdapterFault::Error) {
            reply = kCrLf + "ERROR" + kCrLf;
        } else if (fault != AdapterFault::EchoOnly) {
            reply = Execute(command, &after);
        }
        if (fault == AdapterFault::Noise) {
            reply.prepend('~');
        }
        if (garble) {
            reply = Garble(reply);
        }
        if (!reply.isEmpty()) {
            out.append({fault == AdapterFault::Slow ? slowMs : 0, reply, false});
        }
        if (after) {
            settings = afterReply_;
        }
    }
    return out;
}

QByteArray BtsAdapterModel::Result(bool ok) const {
    if (settings.quiet) {
        return kCrLf;
    }
    return kCrLf + (ok ? QByteArray("OK") : QByteArray("ERROR")) + kCrLf;
}

QByteArray BtsAdapterModel::Execute(const QByteArray& raw, bool* after) {
    const QByteArray command = raw.toUpper();
    const auto flag = [&](const char* prefix, bool* target) {
        if (command == QByteArray(prefix) + "0" || command == QByteArray(prefix) + "1") {
            *target = command.endsWith('1');
            return true;
        }
        return false;
    };
    if (command == "AT") {
        return Result(true);
    }
    if (command == "ATZ0") {
        afterReply_ = AdapterSettings();
        *after = true;
        return Result(true);
    }
    if (flag("ATC", &settings.hardwareFlow) || flag("ATK", &settings.twoStopBits) ||
        flag("ATX", &settings.escapeCheck) || flag("ATH", &settings.discover)) {
        return Result(true);
    }
    if (command == "ATE0" || command == "ATE1") {
        settings.echo = command.endsWith('1');
        return Result(true);
    }
    if (command == "ATQ0" || command == "ATQ1") {
        // The reply still follows the old setting.
        afterReply_.quiet = command.endsWith('1');
        *after = true;
        return Result(true);
    }
    if (command.size() == 4 && command.startsWith("ATM") && command.at(3) >= '0' &&
        command.at(3) <= '2') {
        settings.parity = command.at(3) - '0';
        return Result(true);
    }
    if (command.size() == 4 && command.startsWith("ATL") && BaudForCode(command.at(3)) != 0) {
        afterReply_.baudCode = command.at(3);
        *after = true;
        return Result(true);
    }
    if (command.startsWith("ATP=")) {
        const QByteArray pin = raw.mid(4);
        bool digits = !pin.isEmpty() && pin.size() <= 16;
        for (char c : pin) {
            digits = digits && c >= '0' && c <= '9';
        }
        if (digits) {
            settings.pin = pin;
        }
        return Result(digits);
    }
    if (command.startsWith("ATN=")) {
        const QByteArray name = raw.mid(4);
        const bool ok = !name.isEmpty() && name.size() <= 16 && !name.contains(',');
        if (ok) {
            settings.name = name;
        }
        return Result(ok);
    }
    if (command == "ATB?") {
        return kCrLf + address + Result(true);
    }
    if (command == "ATE?") {
        const QByteArray value = settings.echo ? "1" : "0";
        return (settings.echo ? kCrLf : QByteArray()) + value + kCrLf +
               (settings.quiet ? QByteArray() : QByteArray("OK") + kCrLf);
    }
    if (command == "ATI1") {
        return kCrLf + "OK" + kCrLf + Listing();
    }
    return Result(false);
}

QByteArray BtsAdapterModel::Listing() const {
    static const char* const parities[] = {"NONE", "ODD", "EVEN"};
    const AdapterSettings& s = settings;
    QByteArray text;
    const auto line = [&text](const QByteArray& content) { text += content + kCrLf; };
    line("ATC=" + QByteArray(s.hardwareFlow ? "1, HARDWARE" : "0, NONE") + " FLOW CONTROL");
    line("ATE=" + QByteArray(s.echo ? "1, ECHO ON" : "0, ECHO OFF"));
    line("ATH=" + QByteArray(s.discover ? "1, DISCOVER ON" : "0, DISCOVER OFF"));
    line("ATK=" + QByteArray(s.twoStopBits ? "1, TWO" : "0, ONE") + " STOP BIT");
    line("ATL=" + QByteArray(1, s.baudCode) + ", BAUD RATE " + QByteArray::number(Baud()));
    line("ATM=" + QByteArray::number(s.parity) + ", " + parities[s.parity] + " PARITY BIT");
    line("ATN=" + s.name + ", LOCAL NAME");
    line("ATP=" + s.pin + ", PIN CODE");
    line("ATQ=" + QByteArray(s.quiet ? "1, NO RESULT CODE" : "0, SEND RESULT CODE"));
    line("ATX=" + QByteArray(s.escapeCheck ? "1, ALWAYS" : "0, NEVER") + " CHECK '+++' ");
    return text;
}

QString BtsAdapterModel::Describe() const {
    const AdapterSettings& s = settings;
    return QStringLiteral(
               "pin=%1 name=%2 baud=%3 stopbits=%4 flow=%5 parity=%6 escape=%7 "
               "discover=%8 echo=%9 quiet=%10")
        .arg(QString::fromLatin1(s.pin), QString::fromLatin1(s.name))
        .arg(Baud())
        .arg(s.twoStopBits ? 2 : 1)
        .arg(QLatin1String(s.hardwareFlow ? "hardware" : "none"))
        .arg(s.parity)
        .arg(s.escapeCheck ? 1 : 0)
        .arg(s.discover ? 1 : 0)
        .arg(s.echo ? 1 : 0)
        .arg(s.quiet ? 1 : 0);
}
