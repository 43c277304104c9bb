#include "tests/support/message_recorder.h"

MessageRecorder::MessageRecorder()
    : previous_(SetMessageHandler([this](const MessageRequest& r) { return Handle(r); })) {}

MessageRecorder::~MessageRecorder() {
    SetMessageHandler(std::move(previous_));
}

void MessageRecorder::Answer(std::initializer_list<MsgAnswer> answers) {
    for (MsgAnswer answer : answers) {
        script_.enqueue(answer);
    }
}

QStringList MessageRecorder::Texts() const {
    QStringList texts;
    for (const MessageRequest& m : messages_) {
        texts << m.text;
    }
    return texts;
}

MsgAnswer MessageRecorder::Handle(const MessageRequest& request) {
    messages_.append(request);
    if (!script_.isEmpty()) {
        return script_.dequeue();
    }
    if (request.buttons == MsgButtons::YesNo || request.buttons == MsgButtons::YesNoCancel) {
        return MsgAnswer::Yes;
    }
    return request.buttons == MsgButtons::RetryCancel ? MsgAnswer::Retry : MsgAnswer::Ok;
}
