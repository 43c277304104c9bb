// Path text on a case-sensitive file system, settings numbers, and the window look-up
// against a real X server (Xvfb) whose windows are made directly through libxcb.

#include "app/settings.h"
#include "app/x11_windows.h"
#include "app/xcb_library.h"
#include "tests/support/test_main.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// An Xvfb server and a connection to it, on which windows are made directly.
class XDisplay {
public:
    ~XDisplay() {
        if (c_) {
            api_->disconnect(c_);
        }
        server_.kill();
        server_.waitForFinished(10000);
    }

    // Starts Xvfb on a free display; the reason when it cannot.
    QString Start() {
        api_ = xcb::Library();
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (!api_ || xvfb.isEmpty()) {
            return QStringLiteral("Xvfb or libxcb is not installed");
        }
        // Xvfb writes its display number once it takes connections.
        server_.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
        server_.waitForReadyRead(30000);
        name_ = ':' + server_.readAllStandardOutput().trimmed();
        int screen = 0;
        c_ = name_.size() > 1 ? api_->connect(name_.constData(), &screen) : nullptr;
        if (!c_ || api_->connection_has_error(c_)) {
            return QStringLiteral("Xvfb gave no usable display");
        }
        root_ = api_->setup_roots_iterator(api_->get_setup(c_)).data->root;
        return QString();
    }

    QByteArray Name() const { return name_; }

    // A mapped window with the names that are not empty; parent 0 is the root.
    quint32 MakeWindow(const QByteArray& netWmNameUtf8, const QByteArray& wmName,
                       quint32 parent = 0) {
        const quint32 w = api_->generate_id(c_);
        api_->create_window(c_, 0, w, parent ? parent : root_, 0, 0, 50, 50, 0, 1, 0, 0, nullptr);
        if (!netWmNameUtf8.isEmpty()) {
            Set(w, Atom("_NET_WM_NAME"), Atom("UTF8_STRING"), 8, netWmNameUtf8);
        }
        if (!wmName.isEmpty()) {
            Set(w, xcb::kAtomWmName, xcb::kAtomString, 8, wmName);
        }
        api_->map_window(c_, w);
        Sync();
        return w;
    }

    // What a window manager publishes: its clients, which live inside its frames.
    void SetClientList(quint32 window) {
        Set(root_, Atom("_NET_CLIENT_LIST"), xcb::kAtomWindow, 32,
            QByteArray(reinterpret_cast<const char*>(&window), sizeof window));
        Sync();
    }

private:
    quint32 Atom(const char* name) { return xcb::InternAtom(*api_, c_, name, false); }
    void Set(quint32 w, quint32 property, quint32 type, quint8 format, const QByteArray& data) {
        api_->change_property(c_, 0, w, property, type, format, quint32(data.size() * 8 / format),
                              data.constData());
    }
    void Sync() {
        api_->flush(c_);
        Atom("WM_NAME");  // a round trip: everything sent before has been handled
    }

    QProcess server_;
    QByteArray name_;
    const xcb::Api* api_ = nullptr;
    xcb::Connection* c_ = nullptr;
    quint32 root_ = 0;
};

}  // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString root_;  // canonical, so that results compare as text

private Q_SLOTS:
    void initTestCase() {
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
        // clang-format off
        QTest::newRow("other case") << "%1/DATA/sub/file.txt" << "%1/Data/Sub/File.TXT"
                                    << "File.TXT";
        QTest::newRow("Windows text") << "%1\\data\\SUB\\FILE.TXT" << "%1/Data/Sub/File.TXT"
                                      << "File.TXT";
        QTest::newRow("drive letter") << "c:%1\\DATA" << "%1/Data" << "Data";
        QTest::newRow("exact spelling wins") << "%1/TWIN" << "%1/TWIN" << "TWIN";
        QTest::newRow("missing part kept") << "%1/DATA/New/SUB" << "%1/Data/New/SUB" << "";
        // clang-format on
    }

    void nativePath() {
        QFETCH(QString, text);
        QString folder = root_;
        if (text.contains(QLatin1Char('\\'))) {
            folder.replace(QLatin1Char('/'), QLatin1Char('\\'));
        }
        QFETCH(QString, native);
        QCOMPARE(NativePath(text.arg(folder)), native.arg(root_));
        QTEST(StoredFileName(text.arg(folder)), "stored");
    }

    void joinPath() {
        // Start-up joins "C:\\DATA" and folders with "/"; these are the other edges.
        QCOMPARE(JoinPath("C:", "DNC.mdb"), "C:\\DNC.mdb");
        QCOMPARE(JoinPath("C:\\DATA\\", "DNC.mdb"), "C:\\DATA\\DNC.mdb");
    }

    void settingNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("blanks and sign") << " -7 " << -7;
        QTest::newRow("half to even") << "12.5" << 12;
        QTest::newRow("exponent") << "1E2" << 100;
        QTest::newRow("smallest") << "-32768" << -32768;
        QTest::newRow("rounds out of range") << "32767.5" << 0;
        QTest::newRow("infinite") << "-INF" << 0;  // text and NAN: see the start-up test
    }
    void settingNumbers() {
        QFETCH(QString, text);
        QTEST(int(SettingToInt16(text)), "value");
    }

    void windowsOfAnXDisplay() {
        // An unreachable display answers at once with nothing.
        QCOMPARE(FindX11WindowByTitle(":31999", QStringLiteral("Kestrum")), quintptr(0));
        XDisplay x;
        const QString problem = x.Start();
        if (!problem.isEmpty()) {
            QSKIP(qPrintable(problem));
        }
        const QString german = QStringLiteral("Bluetooth-Einstellungen \u00E4\u20AC");
        const quint32 modern = x.MakeWindow(german.toUtf8(), "legacy name");
        const quint32 old = x.MakeWindow({}, "COMReConnect \xE9");
        const quint32 client = x.MakeWindow({}, "Framed", x.MakeWindow({}, {}));
        const QByteArray display = x.Name();

        QCOMPARE(FindX11WindowByTitle(display, german), quintptr(modern));
        QCOMPARE(FindX11WindowByTitle(display, "legacy name"), quintptr(0));  // _NET_WM_NAME first
        QCOMPARE(FindX11WindowByTitle(display, "COMReConnect \u00E9"), quintptr(old));
        QCOMPARE(FindX11WindowByTitle(display, "COMReConnect"), quintptr(0));
        QCOMPARE(FindX11WindowByTitle(display, "Framed"), quintptr(0));
        x.SetClientList(client);
        QCOMPARE(FindX11WindowByTitle(display, "Framed"), quintptr(client));

        // The program itself runs on the offscreen platform here: it shows no windows and
        // looks at none.
        const QByteArray saved = qgetenv("DISPLAY");
        qputenv("DISPLAY", display);
        const quintptr found = FindWindowByTitle(german);
        qputenv("DISPLAY", saved);
        QCOMPARE(found, quintptr(0));
    }
};

KESTRUM_TEST(TestPlatform)
#include "tst_platform.moc"
