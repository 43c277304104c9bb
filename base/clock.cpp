#include "base/clock.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

#include <algorithm>

namespace {

RealClock& TheRealClock() {
    static RealClock clock;
    return clock;
}

quint64 NextTicket() {
    static quint64 ticket = 0;
    return ++ticket;
}

Clock*& Installed() {
    static Clock* clock = nullptr;
    return clock;
}

}  // namespace

Clock& CurrentClock() {
    return Installed() ? *Installed() : TheRealClock();
}

Clock* SetClock(Clock* clock) {
    Clock* previous = Installed() ? Installed() : &TheRealClock();
    Installed() = clock;
    return previous;
}

RealClock::RealClock() {
    QElapsedTimer t;
    t.start();
    start_ = t.msecsSinceReference();
}

qint64 RealClock::NowMs() const {
    QElapsedTimer t;
    t.start();
    return t.msecsSinceReference() - start_;
}

void RealClock::SleepMs(int ms) {
    if (ms > 0) {
        QThread::msleep(ulong(ms));
    }
}

void VirtualClock::Advance(qint64 ms) {
    const qint64 target = now_ + std::max<qint64>(ms, 0);
    for (;;) {
        // Earliest due timer; a handler may start, stop or delete timers, so search afresh.
        ClockTimer* next = nullptr;
        for (ClockTimer* timer : timers_) {
            if (!timer->isFiring() &&
                (!next || timer->dueMs() < next->dueMs() ||
                 (timer->dueMs() == next->dueMs() && timer->ticket() < next->ticket()))) {
                next = timer;
            }
        }
        if (!next || next->dueMs() > target) {
            break;
        }
        now_ = std::max(now_, next->dueMs());
        next->fireFromClock();
    }
    // A handler that waited has already moved the clock further; time never runs back.
    now_ = std::max(now_, target);
}

VirtualClock::~VirtualClock() {
    const std::vector<ClockTimer*> timers = std::move(timers_);
    timers_.clear();
    for (ClockTimer* timer : timers) {
        timer->detachFromClock();
    }
}

void VirtualClock::TimerStarted(ClockTimer* timer) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) {
        timers_.push_back(timer);
    }
}

void VirtualClock::TimerStopped(ClockTimer* timer) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

ClockTimer::ClockTimer(QObject* parent) : QObject(parent) {
    // A coarse timer may fire 5% late, which would cost a reply wait a whole extra pass.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &ClockTimer::timeout);
}

ClockTimer::~ClockTimer() {
    stop();
}

void ClockTimer::setInterval(int ms) {
    interval_ = std::max(ms, 0);
    if (active_) {
        start();
    }
}

void ClockTimer::start(int ms) {
    interval_ = std::max(ms, 0);
    start();
}

void ClockTimer::start() {
    stop();
    active_ = true;
    Clock& clock = CurrentClock();
    if (clock.DrivesTimers()) {
        clock_ = &clock;
        due_ = clock.NowMs() + std::max(interval_, 1);
        ticket_ = NextTicket();
        clock.TimerStarted(this);
    } else {
        timer_.start(interval_);
    }
}

void ClockTimer::stop() {
    if (clock_) {
        clock_->TimerStopped(this);
        clock_ = nullptr;
    }
    timer_.stop();
    active_ = false;
}

void ClockTimer::detachFromClock() {
    clock_ = nullptr;
    active_ = false;
}

void ClockTimer::fireFromClock() {
    // Periodic: schedule the next tick before the handler runs, so a handler that stops
    // the timer wins. Ticks missed while a handler waited are skipped, not caught up.
    const qint64 now = clock_ ? clock_->NowMs() : due_;
    const int step = std::max(interval_, 1);
    due_ += step;
    if (due_ < now) {
        due_ = now + step;
    }
    ticket_ = NextTicket();
    const QPointer<ClockTimer> alive(this);  // the handler may delete the timer
    firing_ = true;
    Q_EMIT timeout();
    if (alive) {
        firing_ = false;
    }
}
