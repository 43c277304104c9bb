#pragma once
// A copy of every received byte in a file, exactly as it came off the line. Each piece is
// written through at once, so the file is complete up to the last byte even if the program
// stops.

#include <QByteArray>
#include <QFile>
#include <QString>

class ReceiveCapture {
public:
    // Starts a new file (an existing one is replaced); false with the reason when it
    // cannot be opened.
    bool Start(const QString& path, QString* error);
    // Appends the bytes; false with the reason when they could not all be written, and the
    // capture has then stopped.
    bool Write(const QByteArray& bytes, QString* error);
    void Stop();

    bool Active() const { return file_.isOpen(); }
    QString Path() const { return file_.fileName(); }
    qint64 BytesWritten() const { return written_; }

private:
    QFile file_;
    qint64 written_ = 0;
};
