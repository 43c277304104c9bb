#include "terminal/receive_capture.h"

bool ReceiveCapture::Start(const QString& path, QString* error) {
    Stop();
    file_.setFileName(path);
    written_ = 0;
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        if (error) {
            *error = file_.errorString();
        }
        return false;
    }
    return true;
}

bool ReceiveCapture::Write(const QByteArray& bytes, QString* error) {
    if (!file_.isOpen() || bytes.isEmpty()) {
        return true;
    }
    const qint64 n = file_.write(bytes);
    if (n > 0) {
        written_ += n;
    }
    if (n != bytes.size()) {
        if (error) {
            *error = file_.errorString();
        }
        Stop();
        return false;
    }
    return true;
}

void ReceiveCapture::Stop() {
    if (file_.isOpen()) {
        file_.close();
    }
}
