#include "bts/bts_protocol.h"

#include "base/app_state.h"
#include "base/messages.h"
#include "base/waits.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kFailedTitle = QStringLiteral("BTS configuration Failed!");

QString SettingsText(qint32 baud) {
    return QString::number(baud) + QStringLiteral(",N,8,1");
}

}  // namespace

const qint32 BtsProtocol::kBaudTable[7] = {1200, 2400, 4800, 9600, 19200, 38400, 115200};

BtsProtocol::BtsProtocol(QObject* parent)
    : QObject(parent), SaxComBTS(QStringLiteral("SaxComBTS")) {
    tmrTimeOut.setObjectName(QStringLiteral("tmrTimeOut"));
    tmrRxChars.setObjectName(QStringLiteral("tmrRxChars"));
    connect(&tmrTimeOut, &ClockTimer::timeout, this, [this] {
        tmrTimeOut.stop();
        TimeOutFlag = true;
    });
    connect(&tmrRxChars, &ClockTimer::timeout, this, [this] {
        tmrRxChars.stop();
        const int count = SaxComBTS.InCount();
        const QString input = SaxComBTS.Input();
        if (!AppendReply) {
            ReplyBuffer = count > 0 ? input : QString();
        } else if (count > 0) {
            ReplyBuffer += input;
        }
        ReplyReady = true;
    });
}

QString BtsProtocol::BaudCodeFor(const QString& baud) {
    bool ok = false;
    const double rate = baud.trimmed().toDouble(&ok);
    if (!ok) {
        return QString();
    }
    static const QList<QPair<double, QString>> codes = {
        {1200, QStringLiteral("*")},  {2400, QStringLiteral("#")},  {4800, QStringLiteral("0")},
        {9600, QStringLiteral("1")},  {19200, QStringLiteral("2")}, {38400, QStringLiteral("3")},
        {115200, QStringLiteral("5")}};
    for (const auto& [value, code] : codes) {
        if (rate == value) {
            return code;
        }
    }
    return QString();
}

QString BtsProtocol::PositiveReply(const QString& command) {
    return command + QStringLiteral("\r") + kCrLf + QStringLiteral("OK") + kCrLf;
}

void BtsProtocol::Wait(int ms) {
    requestedWaitMs_ += ms;
    WaitMilliseconds(ms);
}

void BtsProtocol::DiscardInput() {
    SaxComBTS.Input();
}

void BtsProtocol::SetStatusText(const QString& text) {
    statusText_ = text;
    Q_EMIT StatusTextChanged(statusText_);
}

void BtsProtocol::AppendStatusText(const QString& text) {
    SetStatusText(statusText_ + text);
}

void BtsProtocol::DotWait(int n) {
    for (int i = 0; i <= n; ++i) {
        AppendStatusText(QStringLiteral("."));
        Wait(1000);
    }
}

void BtsProtocol::SlashWait(int n, int style) {
    const QString mark = style == 2 ? QStringLiteral("\\") : QStringLiteral("/");
    for (int i = 0; i <= n; ++i) {
        AppendStatusText(mark);
        Wait(500);
    }
}

bool BtsProtocol::ProbeComPort(QString& port) {
    return ::ProbeComPort(SaxComBTS, port);
}

bool BtsProtocol::ReleaseComPort(QString& port) {
    return ::ReleaseComPort(SaxComBTS, port);
}

void BtsProtocol::SendBtsCommand(const QString& command, int expected) {
    DiscardInput();
    ReplyBuffer.clear();
    ReplyComplete = false;
    LastCommand = command;
    const bool slow = command == QLatin1String("ATI1") || command == QLatin1String("ATZ0");
    int replyWait = 100;
    if (slow) {
        replyWait = (msBTSBaud == QLatin1String("1200") || msBTSBaud == QLatin1String("2400"))
                        ? 4000
                        : 2000;
    }
    // One character at a time, each waiting for its echo or the per-character time-out.
    const QString text = command + QStringLiteral("\r");
    for (const QChar c : text) {
        if (!SaxComBTS.PortOpen()) {
            break;
        }
        const int noted = SaxComBTS.InCount();
        TimeOutFlag = false;
        tmrTimeOut.start(miTimerTime);
        SaxComBTS.SetOutput(QString(c));
        do {
            Wait(50);
        } while (SaxComBTS.InCount() == noted && !TimeOutFlag && SaxComBTS.PortOpen());
        tmrTimeOut.stop();
    }
    if (!SaxComBTS.PortOpen()) {
        // The line went away: what arrived before is all the reply there is.
        ReplyBuffer = SaxComBTS.Input();
        return;
    }
    if (!slow) {
        // The flag stays as the last character left it: after a timed-out echo this wait
        // ends after one pass.
        tmrTimeOut.start(miTimerTime);
        do {
            Wait(50);
        } while (SaxComBTS.InCount() != expected && !TimeOutFlag);
        tmrTimeOut.stop();
    }
    ReadBtsReply(replyWait);
    const bool beginsAt = ReplyBuffer.startsWith(QLatin1String("AT"));
    if (beginsAt && !ReplyBuffer.endsWith(kCrLf) && SaxComBTS.PortOpen()) {
        if (ShowMessage(QStringLiteral("Wait longer for response?"), MsgButtons::YesNo,
                        MsgIcon::Question,
                        QStringLiteral("Kestrum BTS configuration")) == MsgAnswer::Yes) {
            AppendReply = true;
            ReadBtsReply(100);
            AppendReply = false;
        }
    }
    ReplyComplete = ReplyBuffer.startsWith(QLatin1String("AT")) && ReplyBuffer.endsWith(kCrLf);
}

void BtsProtocol::ReadBtsReply(int waitMs) {
    ReplyReady = false;
    tmrRxChars.start(waitMs);
    while (!ReplyReady && !AbortRequested) {
        Wait(waitMs + 5);
    }
}

bool BtsProtocol::DetectBts() {
    SaxComBTS.SetPortOpen(true);
    SaxComBTS.Initialise();
    if (!SaxComBTS.PortOpen()) {
        return false;
    }
    // A start index below the table would read outside it; start at its first rate.
    int index = qMax<int>(BtsConfigBaud, 0);
    int attempts = 0;
    bool jumped = false;
    while (index <= 6) {
        if (AbortRequested) {
            return false;
        }
        const qint32 rate = kBaudTable[index];
        Wait(25);
        DiscardInput();
        SetStatusText(QString::number(rate));
        SaxComBTS.SetSettings(SettingsText(rate));
        Wait(25);
        DiscardInput();
        SaxComBTS.SetOutput(QStringLiteral("\r"));
        Wait(50);
        DiscardInput();
        miTimerTime = 100;
        Wait(500);
        SendBtsCommand(QStringLiteral("ATZ0"), 0);
        if (!SaxComBTS.PortOpen()) {
            return false;
        }
        if (ReplyBuffer.contains(QLatin1String("ATZ0\r\r\n"))) {
            Wait(500);
            SaxComBTS.SetSettings(SettingsText(19200));
            Wait(25);
            DiscardInput();
            return true;
        }
        ++attempts;
        if (ReplyBuffer.contains(QLatin1String("ERROR"))) {
            if (attempts < 5) {
                SlashWait(2, 1);
                continue;
            }
        } else if (ReplyBuffer.contains(QLatin1String("ATZ0"))) {
            if (attempts == 1) {
                SlashWait(2, 1);
                continue;
            }
            // Back to 4800 once; an adapter that only echoes at every pass would otherwise
            // keep the scan going round for ever.
            if (!jumped) {
                jumped = true;
                index = 1;
                SlashWait(2, 2);
            }
        } else {
            attempts = 0;
        }
        ++index;
    }
    return false;
}

bool BtsProtocol::RunStep(int number, const QString& command, const QString& failure) {
    SendBtsCommand(command, int(command.size()) + 7);
    if (ReplyBuffer != PositiveReply(command)) {
        SetStatusText(failure + kCrLf + ReplyBuffer);
        return false;
    }
    AppendStatusText(kCrLf + QString::number(number));
    return true;
}

bool BtsProtocol::StoreAddress() {
    const QString command = QStringLiteral("ATB?");
    SendBtsCommand(command, 27);
    const QString address = ReplyBuffer.mid(7, 14);
    // The address goes to the database: besides the leader and trailer, take it only
    // when it has its full form ("0012-" 2 hex digits "-" 6 hex digits), not a reply that
    // happens to start and end right.
    const auto hex = [&address](qsizetype from, qsizetype count) {
        for (qsizetype i = from; i < from + count; ++i) {
            const char16_t c = address.at(i).unicode();
            if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') ||
                  (c >= u'A' && c <= u'F'))) {
                return false;
            }
        }
        return true;
    };
    const bool ok = ReplyBuffer.size() == 27 &&
                    ReplyBuffer.left(12) == QLatin1String("ATB?\r\r\n0012-") &&
                    ReplyBuffer.right(6) == QLatin1String("\r\nOK\r\n") &&
                    address.at(7) == QLatin1Char('-') && hex(5, 2) && hex(8, 6);
    if (!ok) {
        SetStatusText(QStringLiteral("Config. failed 6") + kCrLf + ReplyBuffer);
        return false;
    }
    msBTSAddress = address.toUpper();
    msBTSAddressPart = msBTSAddress.right(6);
    AppendStatusText(kCrLf + QStringLiteral("6"));
    return true;
}

bool BtsProtocol::ConfigureBtsOn() {
    BtsBaudCode = BaudCodeFor(msBTSBaud);
    SetStatusText(QStringLiteral("BTS Detected"));
    DotWait(5);
    struct Step {
        int number;
        QString command;
        int dots;
    };
    const QList<Step> before = {{1, QStringLiteral("ATC0"), 5},
                                {2, QStringLiteral("ATK0"), 1},
                                {3, QStringLiteral("ATM0"), 1},
                                {4, QStringLiteral("ATX0"), 1},
                                {5, QStringLiteral("ATP=") + msPinNumber, 1}};
    for (const Step& step : before) {
        if (step.number == 5 && msPinNumber.isEmpty()) {
            continue;
        }
        if (AbortRequested) {
            return false;
        }
        if (!RunStep(step.number, step.command,
                     QStringLiteral("Config. failed ") + QString::number(step.number))) {
            return true;
        }
        DotWait(step.dots);
    }
    if (AbortRequested) {
        return false;
    }
    if (!StoreAddress()) {
        return true;
    }
    DotWait(1);
    const QList<Step> after = {
        {7, QStringLiteral("ATN=") + msBTSAddressPart, 1},
        {8, ClientStopBits != 1 ? QStringLiteral("ATK1") : QStringLiteral("ATK0"), 1},
        {9, QStringLiteral("ATL") + BtsBaudCode, 1},
        {10, QStringLiteral("ATQ1"), 1}};
    for (const Step& step : after) {
        if (AbortRequested) {
            return false;
        }
        if (!RunStep(step.number, step.command,
                     QStringLiteral("Config. failed ") + QString::number(step.number))) {
            return true;
        }
        if (step.number == 9) {
            // The adapter answers at the client's rate from here on.
            SaxComBTS.SetSettings(msBTSBaud + QStringLiteral(",N,8,1"));
        }
        DotWait(step.dots);
    }
    if (!ClientBtsLatency) {
        return false;
    }
    if (AbortRequested) {
        return false;
    }
    const QString latency = QStringLiteral("ATC1");
    SendBtsCommand(latency, int(latency.size()) + 7);
    if (ReplyBuffer != PositiveReply(latency) &&
        ReplyBuffer != latency + QStringLiteral("\r") + kCrLf) {
        SetStatusText(QStringLiteral("Config. failed 1") + kCrLf + ReplyBuffer);
        return true;
    }
    AppendStatusText(kCrLf + QStringLiteral("Latency ON"));
    DotWait(5);
    return false;
}

void BtsProtocol::OpenForExchange() {
    SaxComBTS.SetSettings(msBTSBaud + QStringLiteral(",N,8,1"));
    SaxComBTS.SetPortOpen(true);
    SaxComBTS.Initialise();
}

bool BtsProtocol::SetSingle(const QString& command, const QString& okText,
                            const QString& failText) {
    OpenForExchange();
    SendBtsCommand(command, 7);
    const bool accepted = ReplyBuffer == PositiveReply(command) ||
                          ReplyBuffer == command + QStringLiteral("\r") + kCrLf;
    SetStatusText(accepted ? okText : failText);
    return !accepted;
}

bool BtsProtocol::SetBtsDiscover(bool on) {
    return on ? SetSingle(QStringLiteral("ATH1"), QStringLiteral("Discover ON"),
                          QStringLiteral("Config. failed Discover ON"))
              : SetSingle(QStringLiteral("ATH0"), QStringLiteral("Discover OFF"),
                          QStringLiteral("Config. failed Discover OFF"));
}

bool BtsProtocol::SetBtsLatency(bool on) {
    return on ? SetSingle(QStringLiteral("ATC1"), QStringLiteral("Latency ON"),
                          QStringLiteral("Config. failed Latency ON"))
              : SetSingle(QStringLiteral("ATC0"), QStringLiteral("Latency OFF"),
                          QStringLiteral("Config. failed Latency OFF"));
}

bool BtsProtocol::SetBtsEcho(bool on) {
    const QString okText = on ? QStringLiteral("Echo ON") : QStringLiteral("Echo OFF");
    const QString failText =
        on ? QStringLiteral("Config. failed Echo ON") : QStringLiteral("Config. failed Echo OFF");
    if (!SetSingle(on ? QStringLiteral("ATE1") : QStringLiteral("ATE0"), okText, failText)) {
        return false;
    }
    // Second chance: ask the adapter what it holds now.
    SendBtsCommand(QStringLiteral("ATE?"), 7);
    const QStringList accepted =
        on ? QStringList{QStringLiteral("ATE?\r\r\n1\r\n"), QStringLiteral("1\r\nOK\r\n"),
                         QStringLiteral("ATE?\r\r\n"), QStringLiteral("1\r\n")}
           : QStringList{QStringLiteral("0\r\nOK\r\n"), QStringLiteral("0\r\n")};
    const bool ok = accepted.contains(ReplyBuffer);
    SetStatusText(ok ? okText : failText);
    return !ok;
}

bool BtsProtocol::CheckBtsPrerequisites() {
    if (!ClientBtsUsed) {
        ShowMessage(QStringLiteral("BTS operation is not on for this client, turn on first:"),
                    MsgButtons::Ok, MsgIcon::Critical, kFailedTitle);
        return true;
    }
    BtsBaudCode = BaudCodeFor(msBTSBaud);
    if (BtsBaudCode.isEmpty()) {
        ShowMessage(QStringLiteral("BTS baud ") + msBTSBaud +
                        QStringLiteral(" is not supported, use 1200, 2400, 4800, 9600, 19200, "
                                       "38400 or 115200:"),
                    MsgButtons::Ok, MsgIcon::Critical, kFailedTitle);
        return true;
    }
    return false;
}

void BtsProtocol::ResetExchange() {
    tmrTimeOut.stop();
    tmrRxChars.stop();
    AbortRequested = false;
    TimeOutFlag = false;
    ReplyReady = false;
    AppendReply = false;
}
