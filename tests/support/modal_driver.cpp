#include "tests/support/modal_driver.h"

#include <QElapsedTimer>
#include <QTimer>

std::shared_ptr<ModalOutcome> WhenModalWidget(std::function<bool(QWidget*)> accept,
                                              std::function<void(QWidget*)> act,
                                              const QString& expected, int deadlineMs) {
    auto outcome = std::make_shared<ModalOutcome>();
    auto* timer = new QTimer(qApp);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && accept(modal)) {
            timer->stop();
            timer->deleteLater();
            outcome->seen = true;
            act(modal);
            return;
        }
        if (started->elapsed() > deadlineMs) {
            timer->stop();
            timer->deleteLater();
            outcome->failure =
                QStringLiteral("no modal %1 within %2 ms").arg(expected).arg(deadlineMs);
            if (modal) {
                outcome->failure += QStringLiteral(" (found %1 instead)")
                                        .arg(QString::fromLatin1(modal->metaObject()->className()));
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                } else {
                    modal->close();
                }
            }
        }
    });
    timer->start();
    return outcome;
}
