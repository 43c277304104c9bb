// Path text on a case-sensitive file system, settings numbers, waits and window timers on
// the virtual clock, and the window look-up against a real X server (Xvfb) whose windows are
// made directly through libxcb.

#include "base/clock.h"
#include "base/settings.h"
#include "base/waits.h"
#ifdef Q_OS_WIN
#include "base/platform.h"

#include <windows.h>
#else
#include "base/x11_windows.h"
#include "base/xcb_library.h"
#endif
#include "tests/support/fast_clock.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Path text on a case-sensitive file system: other case, Windows text, drive letter, exact
    // spelling wins, missing part kept. Joined paths and numbers in the settings.
    void pathsAndNumbers() {
        QTemporaryDir dir;
        const QString root = QFileInfo(dir.path()).canonicalFilePath();  // compares as text
        for (const char* path : {"Data/Sub", "Twin", "TWIN"}) {
            QVERIFY(QDir(root).mkpath(QLatin1String(path)));
        }
        QFile file(root + QStringLiteral("/Data/Sub/File.TXT"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        // The text ("%1" is the test folder), the path found and the name stored.
        // clang-format off
        const char* const rows[][3] = {
            {"%1/DATA/sub/file.txt", "%1/Data/Sub/File.TXT", "File.TXT"},
            {"%1\\data\\SUB\\FILE.TXT", "%1/Data/Sub/File.TXT", "File.TXT"},
            {"c:%1\\DATA", "%1/Data", "Data"},
            {"%1/TWIN", "%1/TWIN", "TWIN"},
            {"%1/DATA/New/SUB", "%1/Data/New/SUB", ""}};
        // clang-format on
        for (const auto& row : rows) {
#ifdef Q_OS_WIN
            // Windows finds every spelling itself: the text is the path, as written.
            const QString text = QString::fromLatin1(row[0]).arg(root);
            QCOMPARE(NativePath(text), text);
#else
            const QString text = QString::fromLatin1(row[0]);
            const QString folder = text.contains(u'\\') ? QString(root).replace(u'/', u'\\') : root;
            QCOMPARE(NativePath(text.arg(folder)) + '|' + StoredFileName(text.arg(folder)),
                     QString::fromLatin1(row[1]).arg(root) + '|' + row[2]);
#endif
        }

        // Start-up joins "C:\\DATA" and folders with "/"; these are the other edges.
        QCOMPARE(JoinPath("C:", "DNC.mdb"), "C:\\DNC.mdb");
        QCOMPARE(JoinPath("C:\\DATA\\", "DNC.mdb"), "C:\\DATA\\DNC.mdb");
        // Blanks and sign, half to even, rounded out of range, infinite (text and NAN: see the
        // start-up test).
        for (const auto& [number, value] :
             {std::pair{" -7 ", -7}, {"12.5", 12}, {"32767.5", 0}, {"-INF", 0}}) {
            QCOMPARE(int(SettingToInt16(QString::fromLatin1(number))), value);
        }
    }

    void waitsAndTimers() {
        FastClock clock;
        // Waits pass in steps of Pause(5) until the count is reached; 0 still yields once.
        for (const auto& [ms, elapsed] : {std::pair{1000, 1000}, {12, 15}, {0, 5}}) {
            const qint64 start = clock.NowMs();
            WaitMilliseconds(ms);
            QCOMPARE(clock.NowMs() - start, qint64(elapsed));
        }
        Pause(3);
        QCOMPARE(clock.NowMs(), qint64(1023));

        // Timers fire in due order during waits (times from here on).
        const qint64 t0 = clock.NowMs();
        QStringList fired;
        ClockTimer slow, fast, once;
        const auto start = [&](ClockTimer& timer, const QString& name, int ms, bool stops = false) {
            connect(&timer, &ClockTimer::timeout, [&fired, &clock, &timer, name, stops, t0] {
                fired << name + '@' + QString::number(clock.NowMs() - t0);
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
        fast.stop();
        slow.setInterval(10);  // restarts from now
        fired.clear();
        clock.Advance(25);
        QCOMPARE(fired, (QStringList{"slow@510", "slow@520"}));
    }

    void timerHandlers() {
        // A handler that waits longer than its interval: no re-entry, missed ticks skipped,
        // and time never runs back.
        FastClock clock;
        ClockTimer timer;
        int depth = 0, deepest = 0;
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
        timer.stop();

        // A handler may delete its own timer.
        auto own = std::make_unique<ClockTimer>();
        int fired = 0;
        connect(own.get(), &ClockTimer::timeout, [&] {
            ++fired;
            own.reset();
        });
        own->start(5);
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

#ifdef Q_OS_WIN
    // The system's top-level windows, found by their exact title only (as the Bluetooth
    // windows are looked up), whatever platform the program itself draws on.
    void windowsOfTheSystem() {
        const auto window = [](const char* title) {
            HWND w = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
            return w;
        };
        HWND settings = window("Bluetooth Settings");
        HWND old = window("COMReConnect \xE9");
        QVERIFY(settings && old);
        const auto found = [](const QString& title) { return FindWindowByTitle(title); };
        QCOMPARE((QList<quintptr>{found("Bluetooth Settings"), found("COMReConnect \u00E9"),
                                  found("COMReConnect"), found("Bluetooth settings x")}),
                 (QList<quintptr>{quintptr(settings), quintptr(old), 0, 0}));
        DestroyWindow(settings);
        DestroyWindow(old);
        QCOMPARE(found("Bluetooth Settings"), quintptr(0));
    }
#else
    void windowsOfAnXDisplay() {
        // An unreachable display answers at once with nothing.
        QCOMPARE(FindX11WindowByTitle(":31999", QStringLiteral("Kestrum")), quintptr(0));
        const xcb::Api* api = xcb::Library();
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (!api || xvfb.isEmpty()) {
            QSKIP("Xvfb or libxcb is not installed");
        }
        QProcess server;  // writes its display number once it takes connections
        server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
        server.waitForReadyRead(30000);
        const QByteArray display = ':' + server.readAllStandardOutput().trimmed();
        int screen = 0;
        xcb::Connection* c =
            display.size() > 1 ? api->connect(display.constData(), &screen) : nullptr;
        const auto stop = qScopeGuard([&] {
            if (c) {
                api->disconnect(c);
            }
            server.kill();
            server.waitForFinished(10000);
        });
        if (!c || api->connection_has_error(c)) {
            QSKIP("Xvfb gave no usable display");
        }
        const quint32 root = api->setup_roots_iterator(api->get_setup(c)).data->root;
        const auto atom = [&](const char* name) { return xcb::InternAtom(*api, c, name, false); };
        // Sets a property, then makes a round trip: everything sent before has been handled.
        const auto set = [&](quint32 w, quint32 property, quint32 type, const QByteArray& data) {
            const quint8 format = type == xcb::kAtomWindow ? 32 : 8;
            api->change_property(c, 0, w, property, type, format, quint32(data.size() * 8 / format),
                                 data.constData());
            api->map_window(c, w);
            api->flush(c);
            atom("WM_NAME");
        };
        // A mapped window with this WM_NAME; parent 0 is the root.
        const auto window = [&](const QByteArray& name, quint32 parent = 0) {
            const quint32 w = api->generate_id(c);
            api->create_window(c, 0, w, parent ? parent : root, 0, 0, 50, 50, 0, 1, 0, 0, nullptr);
            set(w, xcb::kAtomWmName, xcb::kAtomString, name);
            return w;
        };

        const QString german = QStringLiteral("Bluetooth-Einstellungen \u00E4\u20AC");
        const quint32 modern = window("legacy name");
        set(modern, atom("_NET_WM_NAME"), atom("UTF8_STRING"), german.toUtf8());
        const quint32 old = window("COMReConnect \xE9");
        const quint32 client = window("Framed", window({}));
        const auto find = [&](const QString& title) {
            return FindX11WindowByTitle(display, title);
        };
        // _NET_WM_NAME first; a client inside a frame only once a window manager lists it.
        QCOMPARE((QList<quintptr>{find(german), find("legacy name"), find("COMReConnect \u00E9"),
                                  find("COMReConnect"), find("Framed")}),
                 (QList<quintptr>{modern, 0, old, 0, 0}));
        set(root, atom("_NET_CLIENT_LIST"), xcb::kAtomWindow,
            QByteArray(reinterpret_cast<const char*>(&client), sizeof client));
        QCOMPARE(find("Framed"), quintptr(client));

        // The program itself runs on the offscreen platform here: it shows no windows and
        // looks at none.
        const QByteArray saved = qgetenv("DISPLAY");
        qputenv("DISPLAY", display);
        const quintptr found = FindWindowByTitle(german);
        qputenv("DISPLAY", saved);
        QCOMPARE(found, quintptr(0));
    }
#endif
};

KESTRUM_TEST(TestPlatform)
#include "tst_platform.moc"
