#include "base/messages.h"

#include "base/platform.h"

#include <cstdio>

namespace {

MessageHandler& Handler() {
    static MessageHandler handler;
    return handler;
}

}  // namespace

MsgAnswer SafeAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return MsgAnswer::No;
        case MsgButtons::OkCancel:
        case MsgButtons::YesNoCancel:
        case MsgButtons::RetryCancel:
            return MsgAnswer::Cancel;
    }
    return MsgAnswer::Cancel;
}

MsgAnswer ShowMessage(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title) {
    MessageRequest request{text, title.isEmpty() ? ProgramTitle() : title, buttons, icon};
    if (Handler()) {
        return Handler()(request);
    }
    std::fprintf(stderr, "%s: %s\n", qPrintable(request.title), qPrintable(request.text));
    return SafeAnswer(buttons);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    MessageHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}
