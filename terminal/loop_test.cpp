#include "terminal/loop_test.h"

#include "components/serial_line.h"

#include <QCoreApplication>

const QByteArray& LoopTestData() {
    static const QByteArray data = [] {
        QByteArray block;
        for (int k = 1; k <= 26; ++k) {
            const int copies = k == 2 ? 2 : 1;
            for (int c = 0; c < copies; ++c) {
                for (int i = 0; i < k; ++i) {
                    block += char('A' + i);
                }
                block += "\r\n";
            }
        }
        return block;
    }();
    return data;
}

LoopCycleResult JudgeLoopCycle(const QByteArray& expected, const QByteArray& received) {
    LoopCycleResult result;
    result.count = int(received.size());
    const qsizetype common = qMin(expected.size(), received.size());
    qsizetype bad = 0;
    while (bad < common && expected[bad] == received[bad]) {
        ++bad;
    }
    if (bad < qMax(expected.size(), received.size())) {
        result.firstBad = int(bad);
        result.expectedChar =
            bad < expected.size() ? static_cast<unsigned char>(expected[bad]) : -1;
        result.receivedChar =
            bad < received.size() ? static_cast<unsigned char>(received[bad]) : -1;
    }
    if (received.size() == expected.size()) {
        result.outcome = result.firstBad < 0 ? LoopCycleResult::Outcome::Passed
                                             : LoopCycleResult::Outcome::DataFailed;
    } else if (received.isEmpty()) {
        result.outcome = LoopCycleResult::Outcome::NoData;
    } else {
        result.outcome = LoopCycleResult::Outcome::CountFailed;
    }
    return result;
}

QString LoopCharName(int code) {
    if (code < 0) {
        return QStringLiteral("nothing");
    }
    if (code < 32 || code >= 127) {
        return QLatin1Char('<') + QString::number(code, 16).toUpper() + QStringLiteral("H>");
    }
    return QStringLiteral("\"%1\"").arg(QLatin1Char(char(code)));
}

QString LoopFailureText(const LoopCycleResult& result) {
    switch (result.outcome) {
        case LoopCycleResult::Outcome::Passed:
            return QString();
        case LoopCycleResult::Outcome::DataFailed:
            return QStringLiteral("count OK, data failed");
        case LoopCycleResult::Outcome::NoData:
            return QStringLiteral("count 0, no data, failed");
        case LoopCycleResult::Outcome::CountFailed:
            break;
    }
    return QStringLiteral("count ") + QString::number(result.count) + QStringLiteral(" of ") +
           QString::number(LoopTestData().size()) + QStringLiteral(" , failed");
}

double LineCharsPerSecond(const QString& settings) {
    const std::optional<LineSettings> line = ParseLineSettings(settings);
    if (!line) {
        return 0;
    }
    const double stop = line->stopBits == 15 ? 1.5 : line->stopBits;
    const double bits = 1 + line->dataBits + (line->parity == 'N' ? 0 : 1) + stop;
    return line->baud / bits;
}

bool IsSlowLink(const QString& baud) {
    const QString rate = baud.trimmed();
    return rate == QLatin1String("1200") || rate == QLatin1String("2400") ||
           rate == QLatin1String("4800");
}

LoopTest::LoopTest(Writer write, int chunkSize, const QString& baud, QObject* parent)
    : QObject(parent), write_(std::move(write)), chunkSize_(chunkSize), slow_(IsSlowLink(baud)) {
    tmrLoop.setObjectName(QStringLiteral("tmrLoop"));
    tmrLoopTimeout.setObjectName(QStringLiteral("tmrLoopTimeout"));
    tmrLoop.setInterval(kLoopMs);
    tmrLoopTimeout.setInterval(kTimeoutMs);
    tmrSendGap.setInterval(kSlowGapMs);
    connect(&tmrLoop, &ClockTimer::timeout, this, &LoopTest::tmrLoop_Timer);
    connect(&tmrLoopTimeout, &ClockTimer::timeout, this, &LoopTest::tmrLoopTimeout_Timer);
    connect(&tmrSendGap, &ClockTimer::timeout, this, &LoopTest::tmrSendGap_Timer);
}

void LoopTest::SetRunning(bool running) {
    if (running_ != running) {
        running_ = running;
        Q_EMIT RunningChanged(running);
    }
}

void LoopTest::Start() {
    if (running_) {
        return;
    }
    if (!engaged_) {
        engaged_ = true;
        loopReceived_.clear();
        stats_ = LoopStatistics();
        Q_EMIT StatisticsChanged();
        tmrLoop.start();
    }
    SetRunning(true);
}

void LoopTest::Stop() {
    SetRunning(false);
    if (phase_ == Phase::Idle && engaged_) {
        // Between cycles: nothing is under way that could still be judged.
        tmrLoop.stop();
        engaged_ = false;
        loopReceived_.clear();
    }
}

void LoopTest::Abort() {
    tmrLoop.stop();
    tmrLoopTimeout.stop();
    tmrSendGap.stop();
    phase_ = Phase::Idle;
    engaged_ = false;
    loopReceived_.clear();
    SetRunning(false);
}

void LoopTest::Received(const QByteArray& bytes) {
    if (!engaged_ || bytes.isEmpty()) {
        return;
    }
    loopReceived_ += bytes;
    lastReceivedMs_ = CurrentClock().NowMs();
    stats_.bytesReceived += bytes.size();
}

void LoopTest::tmrLoop_Timer() {
    tmrLoop.stop();
    if (!running_) {
        engaged_ = false;
        return;
    }
    phase_ = Phase::Sending;
    firstWriteMs_ = CurrentClock().NowMs();
    SendFrom(0);
}

void LoopTest::SendFrom(int position) {
    const QByteArray& data = LoopTestData();
    const int block = slow_ ? kSlowBlock : chunkSize_;
    if (block <= 0) {
        write_(data);
        stats_.bytesSent += data.size();
        position = int(data.size());
    }
    while (position < data.size()) {
        const QByteArray piece = data.mid(position, block);
        write_(piece);
        stats_.bytesSent += piece.size();
        position += int(piece.size());
        if (slow_ && piece.size() == block) {
            sendPosition_ = position;
            tmrSendGap.start();
            return;
        }
    }
    phase_ = Phase::Collecting;
    tmrLoopTimeout.start();
}

void LoopTest::tmrSendGap_Timer() {
    tmrSendGap.stop();
    if (phase_ == Phase::Sending) {
        SendFrom(sendPosition_);
    }
}

void LoopTest::tmrLoopTimeout_Timer() {
    tmrLoopTimeout.stop();
    if (phase_ != Phase::Collecting) {
        return;
    }
    // Characters still on their way in the event queue belong to this cycle.
    QCoreApplication::processEvents();
    if (phase_ != Phase::Collecting) {
        return;  // aborted meanwhile
    }
    if (drain_) {
        drain_();
    }
    Judge();
}

void LoopTest::Judge() {
    // Taken and cleared in one step: nothing that arrives now can be lost between the two.
    QByteArray received;
    received.swap(loopReceived_);
    const qint64 transferMs = lastReceivedMs_ - firstWriteMs_;
    phase_ = Phase::Idle;

    const LoopCycleResult result = JudgeLoopCycle(LoopTestData(), received);
    ++stats_.cyclesRun;
    if (!received.isEmpty() && transferMs > 0) {
        stats_.rate = received.size() * 1000.0 / double(transferMs);
    } else {
        stats_.rate.reset();
    }
    if (result.Passed()) {
        Q_EMIT StatisticsChanged();
        Q_EMIT CyclePassed();
    } else {
        ++stats_.cyclesFailed;
        stats_.lastFailure = result;
        SetRunning(false);
        Q_EMIT StatisticsChanged();
        Q_EMIT CycleFailed(LoopFailureText(result), result);
    }
    if (running_) {
        tmrLoop.start();
    } else {
        engaged_ = false;
    }
}
