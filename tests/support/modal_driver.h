#pragma once
// Acting on a real modal window that the code under test opens: wait for a modal of the
// expected type, act on it, and give up (closing whatever modal is open, so the test does
// not hang) after a deadline.

#include <QApplication>
#include <QDialog>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

struct ModalOutcome {
    bool seen = false;
    QString failure;  // why the expected modal was not acted on
};

// Watches for a modal widget for which accept(widget) is true, then runs act(widget).
std::shared_ptr<ModalOutcome> WhenModalWidget(std::function<bool(QWidget*)> accept,
                                              std::function<void(QWidget*)> act,
                                              const QString& expected, int deadlineMs = 5000);

template <class T>
std::shared_ptr<ModalOutcome> WhenModal(std::function<void(T*)> act, int deadlineMs = 5000) {
    return WhenModalWidget([](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                           [act](QWidget* w) { act(qobject_cast<T*>(w)); },
                           QString::fromLatin1(T::staticMetaObject.className()), deadlineMs);
}
