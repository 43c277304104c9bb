#pragma once
// The loop test: with the far end of the line looped back, send a fixed block, collect what
// comes back for one second, judge it, and start the next cycle one second later. A failed
// cycle ends the test.
//
// A cycle runs on two window timers on the clock seam: tmrLoop (1000 ms) starts it,
// tmrLoopTimeout (1000 ms) ends its collection. Nothing waits inside a handler, so the
// window stays live and a stop or a close is handled at once.
//
// Every byte that arrives while a cycle is under way belongs to that cycle, also after
// LOOP STOP: a stop lets the cycle finish and be judged on everything it received, so it
// never turns a good cycle into a failure.

#include "base/clock.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// For each k from 1 to 26 the first k capital letters and CR LF, the line "AB" written
// twice: 27 lines, 407 characters.
const QByteArray& LoopTestData();

// How one cycle went.
struct LoopCycleResult {
    enum class Outcome { Passed, DataFailed, NoData, CountFailed };
    Outcome outcome = Outcome::Passed;
    int count = 0;          // characters received in the cycle
    int firstBad = -1;      // 0-based position of the first difference; -1 when none
    int expectedChar = -1;  // the character due there; -1 past the end of the block
    int receivedChar = -1;  // the character received there; -1 when none arrived
    bool Passed() const { return outcome == Outcome::Passed; }
};

LoopCycleResult JudgeLoopCycle(const QByteArray& expected, const QByteArray& received);

// A character as the loop statistics name it: itself in quotes when printable, else "<",
// its hexadecimal code and "H>"; "nothing" for -1.
QString LoopCharName(int code);

// What the screen shows for a failed cycle: "count OK, data failed", "count 0, no data,
// failed" or "count n of 407 , failed"; empty for a passed one.
QString LoopFailureText(const LoopCycleResult& result);

// Figures of the test under way or last run, beside the counters of the window.
struct LoopStatistics {
    int cyclesRun = 0;
    int cyclesFailed = 0;
    qint64 bytesSent = 0;
    qint64 bytesReceived = 0;
    std::optional<LoopCycleResult> lastFailure;
    // Characters per second of the last judged cycle, from its first write to its last
    // character received; nothing when too fast to measure on the clock.
    std::optional<double> rate;
};

// Characters per second a line of these settings ("9600,N,8,1") carries at most: the rate
// over start bit, data bits, parity bit and stop bits. 0 when the text is no settings.
double LineCharsPerSecond(const QString& settings);

// The block goes out in pieces of 10 with 100 ms between them when the line is this slow.
bool IsSlowLink(const QString& baud);

class LoopTest : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray&)>;

    static constexpr int kLoopMs = 1000;
    static constexpr int kTimeoutMs = 1000;
    static constexpr int kSlowBlock = 10;
    static constexpr int kSlowGapMs = 100;

    // write sends bytes on the line; chunkSize is the size of the pieces the block goes out
    // in (0 or less: all at once); baud is the client's rate as text.
    LoopTest(Writer write, int chunkSize, const QString& baud, QObject* parent = nullptr);

    // Called just before a cycle is judged, to take in what waits unread on the line.
    void SetDrain(std::function<void()> drain) { drain_ = std::move(drain); }

    // LOOP TEST: starts a test. Pressed while a stopped cycle is still finishing, the test
    // simply goes on after it.
    void Start();
    // LOOP STOP: no further cycle; the cycle under way finishes and is judged.
    void Stop();
    // The window closes: everything stops at once, nothing is judged.
    void Abort();

    bool Running() const { return running_; }
    // A cycle is under way or due (the test runs, or a stopped cycle still finishes).
    bool Busy() const { return engaged_; }
    bool CycleUnderWay() const { return phase_ != Phase::Idle; }

    // Every byte received from the line.
    void Received(const QByteArray& bytes);

    const LoopStatistics& Statistics() const { return stats_; }

Q_SIGNALS:
    // The caption of the button: true "LOOP STOP", false "LOOP TEST".
    void RunningChanged(bool running);
    void CyclePassed();
    void CycleFailed(const QString& text, const LoopCycleResult& result);
    void StatisticsChanged();

private:
    enum class Phase { Idle, Sending, Collecting };

    void tmrLoop_Timer();
    void tmrSendGap_Timer();
    void tmrLoopTimeout_Timer();
    void SendFrom(int position);
    void Judge();
    void SetRunning(bool running);

    Writer write_;
    std::function<void()> drain_;
    int chunkSize_;
    bool slow_;
    ClockTimer tmrLoop;
    ClockTimer tmrLoopTimeout;
    ClockTimer tmrSendGap;  // the pause between pieces on a slow line

    bool running_ = false;
    bool engaged_ = false;
    Phase phase_ = Phase::Idle;
    int sendPosition_ = 0;
    QByteArray loopReceived_;
    qint64 firstWriteMs_ = 0;
    qint64 lastReceivedMs_ = 0;
    LoopStatistics stats_;
};
