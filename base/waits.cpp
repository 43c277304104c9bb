#include "base/waits.h"

#include "base/clock.h"

#include <QCoreApplication>

void Pause(int count) {
    for (int i = 0; i < count; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        CurrentClock().SleepMs(1);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

void WaitMilliseconds(int ms) {
    qint64 total = 0;
    do {
        const qint64 start = CurrentClock().NowMs();
        Pause(5);
        total += CurrentClock().NowMs() - start;
    } while (total < ms);
}
