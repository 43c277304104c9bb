#pragma once
// Answers message boxes from a script and keeps every message shown, for the lifetime of
// the object. Without a scripted answer it presses the first button (OK or Yes).

#include "base/messages.h"

#include <QList>
#include <QQueue>

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    // Answers for the next messages, in order.
    void Answer(MsgAnswer answer) { script_.enqueue(answer); }
    void Answer(std::initializer_list<MsgAnswer> answers);

    const QList<MessageRequest>& Messages() const { return messages_; }
    int Count() const { return int(messages_.size()); }
    const MessageRequest& Last() const { return messages_.constLast(); }
    QStringList Texts() const;
    void Clear() { messages_.clear(); }

private:
    MsgAnswer Handle(const MessageRequest& request);
    QList<MessageRequest> messages_;
    QQueue<MsgAnswer> script_;
    MessageHandler previous_;
};
