#include "tests/support/modal_driver.h"

#include <QDeadlineTimer>
#include <QTimer>

std::shared_ptr<ModalOutcome> WhenModalWidget(std::function<bool(QWidget*)> accept,
                                              std::function<void(QWidget*)> act,
                                              const QString& expected, int deadlineMs) {
    auto outcome = std::make_shared<ModalOutcome>();
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(deadlineMs);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool seen = modal && accept(modal);
        if (!seen && !deadline.hasExpired()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (seen) {
            outcome->seen = true;
            act(modal);
            return;
        }
        outcome->failure = QStringLiteral("no modal %1 within %2 ms").arg(expected).arg(deadlineMs);
        if (modal) {
            outcome->failure += QStringLiteral(" (found %1 instead)")
                                    .arg(QString::fromLatin1(modal->metaObject()->className()));
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        }
    });
    timer->start(5);
    return outcome;
}
