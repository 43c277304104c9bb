#include "app/clock.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

namespace {

RealClock& TheRealClock() {
    static RealClock clock;
    return clock;
}

Clock*& Installed() {
    static Clock* clock = nullptr;
    return clock;
}

}  // namespace

Clock& CurrentClock() { return Installed() ? *Installed() : TheRealClock(); }

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
        auto next = std::min_element(timers_.begin(), timers_.end(),
                                     [](const ClockTimer* a, const ClockTimer* b) {
                                         return a->dueMs() < b->dueMs();
                                     });
        if (next == timers_.end() || (*next)->dueMs() > target) {
            break;
        }
        now_ = std::max(now_, (*next)->dueMs());
        (*next)->fireFromClock();
    }
    now_ = target;
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
    connect(&timer_, &QTimer::timeout, this, &ClockTimer::timeout);
}

ClockTimer::~ClockTimer() { stop(); }

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

void ClockTimer::fireFromClock() {
    // Periodic: schedule the next tick before the handler runs, so a handler that stops
    // the timer wins.
    due_ += std::max(interval_, 1);
    Q_EMIT timeout();
}
