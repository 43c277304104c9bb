#pragma once
// The one clock that waits and window timers take their time from. The program runs on
// the real clock; tests install a VirtualClock, on which a wait of 30 s passes at once and
// timers fire in due order, so long serial sequences run fast and always the same way.

#include <QObject>
#include <QTimer>

#include <vector>

class ClockTimer;

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale.
    virtual qint64 NowMs() const = 0;
    // Lets ms milliseconds pass (blocking on the real clock).
    virtual void SleepMs(int ms) = 0;
    // A clock that drives ClockTimers itself; the real clock leaves them to the event loop.
    virtual bool DrivesTimers() const { return false; }
    virtual void TimerStarted(ClockTimer*) {}
    virtual void TimerStopped(ClockTimer*) {}
};

Clock& CurrentClock();
// Installs a clock (not owned) and returns the previous one; nullptr restores the real clock.
// Install it before any ClockTimer is started.
Clock* SetClock(Clock* clock);

class RealClock : public Clock {
public:
    RealClock();
    qint64 NowMs() const override;
    void SleepMs(int ms) override;

private:
    qint64 start_;
};

// Time passes only when someone sleeps on it (or calls Advance); due timers fire in order
// of their due time while it passes.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(qint64 startMs = 0) : now_(startMs) {}
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;
    qint64 NowMs() const override { return now_; }
    void SleepMs(int ms) override { Advance(ms); }
    void Advance(qint64 ms);
    bool DrivesTimers() const override { return true; }
    void TimerStarted(ClockTimer* timer) override;
    void TimerStopped(ClockTimer* timer) override;

private:
    qint64 now_;
    std::vector<ClockTimer*> timers_;
};

// A window timer (periodic, like the timer controls it stands for) on the current clock.
class ClockTimer : public QObject {
    Q_OBJECT
public:
    explicit ClockTimer(QObject* parent = nullptr);
    ~ClockTimer() override;

    void setInterval(int ms);
    int interval() const { return interval_; }
    bool isActive() const { return active_; }
    void start();
    void start(int ms);
    void stop();

    // For clocks that drive timers.
    qint64 dueMs() const { return due_; }
    // Timers due at the same time fire in the order they were scheduled.
    quint64 ticket() const { return ticket_; }
    void fireFromClock();
    // While its handler runs a timer does not fire again (as with Qt's own timers), so a
    // handler that waits longer than the interval cannot recurse.
    bool isFiring() const { return firing_; }
    // The clock goes away: the timer stops without calling it back.
    void detachFromClock();

Q_SIGNALS:
    void timeout();

private:
    QTimer timer_;
    Clock* clock_ = nullptr;  // the clock this timer is registered with while active
    int interval_ = 0;
    bool active_ = false;
    bool firing_ = false;
    qint64 due_ = 0;
    quint64 ticket_ = 0;
};
