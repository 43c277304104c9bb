// Path text on a case-sensitive file system, settings numbers, and the window look-up.

#include "app/settings.h"
#include "app/x11_windows.h"
#include "tests/app/x11_test_display.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value, bool set = true)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (set) {
            qputenv(name, value);
        } else {
            qunsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

}  // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString root_;  // canonical, so that results compare as text

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        root_ = QFileInfo(dir_.path()).canonicalFilePath();
        QVERIFY(QDir(root_).mkpath(QStringLiteral("Data/Sub")));
        QVERIFY(QDir(root_).mkpath(QStringLiteral("Twin")));
        QVERIFY(QDir(root_).mkpath(QStringLiteral("TWIN")));
        QFile file(root_ + QStringLiteral("/Data/Sub/File.TXT"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void nativePath_data() {
        QTest::addColumn<QString>("text");  // "%1" is the test folder
        QTest::addColumn<QString>("native");
        QTest::addColumn<QString>("stored");
        QTest::newRow("exact") << "%1/Data/Sub/File.TXT"
                               << "%1/Data/Sub/File.TXT"
                               << "File.TXT";
        QTest::newRow("other case") << "%1/DATA/sub/file.txt"
                                    << "%1/Data/Sub/File.TXT"
                                    << "File.TXT";
        QTest::newRow("Windows text") << "%1\\data\\SUB\\FILE.TXT"
                                      << "%1/Data/Sub/File.TXT"
                                      << "File.TXT";
        QTest::newRow("drive letter") << "c:%1\\DATA"
                                      << "%1/Data"
                                      << "Data";
        QTest::newRow("exact spelling wins") << "%1/TWIN"
                                             << "%1/TWIN"
                                             << "TWIN";
        QTest::newRow("missing part kept") << "%1/DATA/New/SUB"
                                           << "%1/Data/New/SUB"
                                           << "";
        QTest::newRow("trailing separator") << "%1\\DATA\\"
                                            << "%1/Data/"
                                            << "";
    }

    void nativePath() {
        QFETCH(QString, text);
        QFETCH(QString, native);
        QFETCH(QString, stored);
        QString folder = root_;
        if (text.contains(QLatin1Char('\\'))) {
            folder.replace(QLatin1Char('/'), QLatin1Char('\\'));
        }
        QCOMPARE(NativePath(text.arg(folder)), native.arg(root_));
        QCOMPARE(StoredFileName(text.arg(folder)), stored);
    }

    void joinPath_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("joined");
        QTest::newRow("Windows text") << "C:\\DATA"
                                      << "C:\\DATA\\DNC.mdb";
        QTest::newRow("drive only") << "C:"
                                    << "C:\\DNC.mdb";
        QTest::newRow("separator at end") << "C:\\DATA\\"
                                          << "C:\\DATA\\DNC.mdb";
        QTest::newRow("native") << "/srv/dnc"
                                << "/srv/dnc/DNC.mdb";
        QTest::newRow("native at end") << "/srv/dnc/"
                                       << "/srv/dnc/DNC.mdb";
        QTest::newRow("empty") << ""
                               << "DNC.mdb";
    }

    void joinPath() {
        QFETCH(QString, folder);
        QTEST(JoinPath(folder, QStringLiteral("DNC.mdb")), "joined");
    }

    void settingNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "12" << 12;
        QTest::newRow("blanks and sign") << " -7 " << -7;
        QTest::newRow("half to even down") << "12.5" << 12;
        QTest::newRow("half to even up") << "13.5" << 14;
        QTest::newRow("exponent") << "1E2" << 100;
        QTest::newRow("largest") << "32767" << 32767;
        QTest::newRow("smallest") << "-32768" << -32768;
        QTest::newRow("rounds out of range") << "32767.5" << 0;
        QTest::newRow("out of range") << "40000" << 0;
        QTest::newRow("text") << "ABC" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("not a number") << "NAN" << 0;
        QTest::newRow("infinite") << "-INF" << 0;
    }

    void settingNumbers() {
        QFETCH(QString, text);
        QTEST(int(SettingToInt16(text)), "value");
    }

    void noWindowWithoutDisplay() {
        {
            ScopedEnv display("DISPLAY", {}, false);
            QCOMPARE(FindWindowByTitle(QStringLiteral("Kestrum")), quintptr(0));
        }
        // An unreachable display answers at once with nothing.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(FindX11WindowByTitle(":31999", QStringLiteral("Kestrum")), quintptr(0));
        QCOMPARE(FindX11WindowByTitle("", QStringLiteral("Kestrum")), quintptr(0));
        QVERIFY(timer.elapsed() < 5000);
    }

    void windowsOfAnXDisplay() {
        X11TestDisplay x;
        const QString problem = x.Start();
        if (!problem.isEmpty()) {
            QSKIP(qPrintable(problem));
        }
        const QString german = QStringLiteral("Bluetooth-Einstellungen \u00E4\u20AC");
        const quint32 modern = x.MakeWindow(german.toUtf8(), "legacy name");
        const quint32 old = x.MakeWindow({}, "COMReConnect \xE9");
        const quint32 frame = x.MakeWindow({}, {});
        const quint32 client = x.MakeWindow({}, "Framed client", frame);
        const QByteArray display = x.Name();

        QCOMPARE(FindX11WindowByTitle(display, german), quintptr(modern));
        QCOMPARE(FindX11WindowByTitle(display, QStringLiteral("legacy name")), quintptr(0));
        QCOMPARE(FindX11WindowByTitle(display, QStringLiteral("COMReConnect \u00E9")),
                 quintptr(old));
        QCOMPARE(FindX11WindowByTitle(display, QStringLiteral("COMReConnect")), quintptr(0));
        QCOMPARE(FindX11WindowByTitle(display, QStringLiteral("Nobody")), quintptr(0));
        // A client inside a window manager's frame is found through the manager's list.
        QCOMPARE(FindX11WindowByTitle(display, QStringLiteral("Framed client")), quintptr(0));
        x.SetClientList({client});
        QCOMPARE(FindX11WindowByTitle(display, QStringLiteral("Framed client")), quintptr(client));

        // The program's own look-up: only on a platform that shows windows.
        ScopedEnv displayVariable("DISPLAY", display);
        {
            ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
            QCOMPARE(FindWindowByTitle(german), quintptr(0));
        }
        ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
        QCOMPARE(FindWindowByTitle(german), quintptr(modern));
    }
};

KESTRUM_TEST(TestPlatform)
#include "tst_platform.moc"
