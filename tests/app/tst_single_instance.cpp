// One copy of the program per installation: real copies of the built program are started.

#include "app/settings.h"
#include "app/startup.h"
#include "db/new_installation.h"
#include "tests/support/test_main.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <vector>

namespace {

constexpr int kDeadlineMs = 30000;

bool WaitFor(const std::function<bool()>& condition, int ms = kDeadlineMs) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

// The process id written on the first line of a lock file.
qint64 LockOwner(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return file.readLine().trimmed().toLongLong();
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString program_;
    QString lockPath_;
    std::vector<std::unique_ptr<QProcess>> started_;

    QProcess* Start() {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(dir_.path());
        process->start(program_, {});
        started_.push_back(std::move(process));
        return started_.back().get();
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString folder = QFileInfo(dir_.path()).canonicalFilePath();
        program_ = folder + QStringLiteral("/Kestrum");
        QVERIFY(QFile::copy(QStringLiteral(KESTRUM_BINARY_DIR "/Kestrum"), program_));
        QVERIFY(CreateDatabaseFile(folder));
        QFile settings(folder + QStringLiteral("/Kestrum.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[BTS]\r\nBTSMENU=True\r\n");
        settings.close();
        // The lock the copies take: the one this installation's program folder names.
        SetProgramFolder(folder);
        lockPath_ = SingleInstanceLock().FilePath();
        SetProgramFolder(QString());
        QFile::remove(lockPath_);
    }

    void cleanup() {
        for (const std::unique_ptr<QProcess>& process : started_) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(kDeadlineMs);
            }
        }
        started_.clear();
    }

    void cleanupTestCase() { QFile::remove(lockPath_); }

    void secondCopyEndsSilently() {
        QProcess* first = Start();
        QVERIFY2(first->waitForStarted(kDeadlineMs), qPrintable(first->errorString()));
        QVERIFY2(WaitFor([&] { return LockOwner(lockPath_) == first->processId(); }),
                 "the first copy never took its lock");

        QProcess* second = Start();
        QVERIFY(second->waitForFinished(kDeadlineMs));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(second->readAllStandardOutput(), QByteArray());
        QCOMPARE(second->readAllStandardError(), QByteArray());
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(LockOwner(lockPath_), first->processId());

        // A copy that died holding the lock does not keep the program from starting.
        first->kill();
        QVERIFY(first->waitForFinished(kDeadlineMs));
        QVERIFY(QFileInfo::exists(lockPath_));
        QProcess* third = Start();
        QVERIFY(third->waitForStarted(kDeadlineMs));
        QVERIFY2(WaitFor([&] { return LockOwner(lockPath_) == third->processId(); }),
                 "the stale lock was not taken over");
        QCOMPARE(third->state(), QProcess::Running);
    }

    void unusableLockFolderDoesNotStopTheProgram() {
        const QString path = dir_.filePath(QStringLiteral("held.lock"));
        SingleInstanceLock first(path);
        QVERIFY(first.TryAcquire());
        QVERIFY(!SingleInstanceLock(path).TryAcquire());
        QVERIFY(SingleInstanceLock(dir_.filePath(QStringLiteral("no/folder.lock"))).TryAcquire());
    }
};

KESTRUM_TEST(TestSingleInstance)
#include "tst_single_instance.moc"
