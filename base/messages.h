#pragma once
// The one way every part of the program shows a message box or asks a question.
// The program installs a handler that shows a QMessageBox; tests install a recorder.

#include <QString>

#include <functional>

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

struct MessageRequest {
    QString text;
    QString title;  // never empty: an empty title becomes the program's title
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

using MessageHandler = std::function<MsgAnswer(const MessageRequest&)>;

// Shows a message and returns the button pressed. An empty title means the program's title.
MsgAnswer ShowMessage(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                      MsgIcon icon = MsgIcon::None, const QString& title = QString());

// Installs a handler and returns the one it replaces. An empty handler restores the
// headless default, which writes the message to standard error and answers the safe
// button (OK for a notice, Cancel or No for a question).
MessageHandler SetMessageHandler(MessageHandler handler);

// The answer the headless default gives: the button that changes nothing.
MsgAnswer SafeAnswer(MsgButtons buttons);
