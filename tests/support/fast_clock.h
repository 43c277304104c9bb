#pragma once
// Installs a virtual clock for the lifetime of the object: waits pass at once and timers
// fire in due order.

#include "base/clock.h"

class FastClock {
public:
    FastClock() : previous_(SetClock(&clock_)) {}
    ~FastClock() { SetClock(previous_); }
    FastClock(const FastClock&) = delete;
    FastClock& operator=(const FastClock&) = delete;

    VirtualClock& clock() { return clock_; }
    qint64 NowMs() const { return clock_.NowMs(); }
    void Advance(qint64 ms) { clock_.Advance(ms); }

private:
    VirtualClock clock_;
    Clock* previous_;
};
