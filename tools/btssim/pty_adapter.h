#pragma once
// A simulated BTS adapter behind a pseudo-terminal. The other side opens the slave device
// like any serial port. A pseudo-terminal moves bytes at no real speed, but it keeps the
// line settings the other side gave the slave; the adapter reads the baud rate from them
// (tcgetattr on the master reports the slave's settings) for every chunk it receives, and
// answers only when it matches its own.

#include "tools/btssim/adapter_model.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTextStream>

#include <memory>

class PtyAdapter : public QObject {
    Q_OBJECT
public:
    explicit PtyAdapter(BtsAdapterModel& model, QObject* parent = nullptr);
    ~PtyAdapter() override;

    // Opens the pseudo-terminal; false with a reason when that fails.
    bool Open(QString* error);
    QString DevicePath() const { return devicePath_; }

Q_SIGNALS:
    // After every command: the adapter's settings in one line.
    void StateChanged(const QString& description);
    void LineGone();

private:
    void OnReadable();
    void Send(const QByteArray& bytes);
    void CloseAll();
    qint32 LineBaud() const;

    BtsAdapterModel& model_;
    int master_ = -1;
    int slave_ = -1;
    QString devicePath_;
    std::unique_ptr<QSocketNotifier> notifier_;
};
