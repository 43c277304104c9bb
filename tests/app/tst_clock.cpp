// Waits and window timers on the virtual clock: what fires, when, and in what order.

#include "base/clock.h"
#include "base/waits.h"
#include "tests/support/fast_clock.h"
#include "tests/support/test_main.h"

#include <QTest>

#include <memory>

class TestClock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void waitsPassInStepsOfFive() {
        FastClock clock;
        // Passes of Pause(5) until the count is reached; 0 still yields once.
        for (const auto& [ms, elapsed] : {std::pair{1000, 1000}, {12, 15}, {0, 5}}) {
            const qint64 start = clock.NowMs();
            WaitMilliseconds(ms);
            QCOMPARE(clock.NowMs() - start, qint64(elapsed));
        }
        Pause(3);
        QCOMPARE(clock.NowMs(), qint64(1023));
    }

    void timersFireInDueOrderDuringWaits() {
        FastClock clock;
        QStringList fired;
        ClockTimer slow, fast, once;
        const auto start = [&](ClockTimer& timer, const QString& name, int ms, bool stops = false) {
            connect(&timer, &ClockTimer::timeout, [&fired, &clock, &timer, name, stops] {
                fired << name + '@' + QString::number(clock.NowMs());
                if (stops) {
                    timer.stop();
                }
            });
            timer.start(ms);
        };
        start(slow, "slow", 250);
        start(fast, "fast", 100);
        start(once, "once", 150, true);  // stops itself, like a reply time-out: fires once
        WaitMilliseconds(500);
        QCOMPARE(fired, (QStringList{"fast@100", "once@150", "fast@200", "slow@250", "fast@300",
                                     "fast@400", "slow@500", "fast@500"}));
        QVERIFY(!once.isActive());
        QVERIFY(slow.isActive());
        fast.stop();
        slow.setInterval(10);  // restarts from now
        fired.clear();
        clock.Advance(25);
        QCOMPARE(fired, (QStringList{"slow@510", "slow@520"}));
    }

    void handlerThatWaitsDoesNotRecurse() {
        // A handler that waits longer than its interval: no re-entry, missed ticks skipped,
        // and time never runs back.
        FastClock clock;
        ClockTimer timer;
        int depth = 0;
        int deepest = 0;
        QList<qint64> at;
        connect(&timer, &ClockTimer::timeout, [&] {
            ++depth;
            deepest = std::max(deepest, depth);
            at << clock.NowMs();
            WaitMilliseconds(35);
            --depth;
        });
        timer.start(10);
        clock.Advance(100);
        QCOMPARE(deepest, 1);
        QCOMPARE(at, (QList<qint64>{10, 45, 80, 115}));
        QCOMPARE(clock.NowMs(), qint64(150));
    }

    void timerLifetimes() {
        // A handler may delete its own timer.
        FastClock clock;
        auto timer = std::make_unique<ClockTimer>();
        int fired = 0;
        connect(timer.get(), &ClockTimer::timeout, [&] {
            ++fired;
            timer.reset();
        });
        timer->start(5);
        clock.Advance(50);
        QCOMPARE(fired, 1);
        // A timer that outlives its clock is stopped and never reaches it again.
        ClockTimer outliving;
        {
            FastClock shortLived;
            outliving.start(10);
        }
        QVERIFY(!outliving.isActive());
        outliving.stop();
    }
};

KESTRUM_TEST(TestClock)
#include "tst_clock.moc"
