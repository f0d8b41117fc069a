#include "platform/core/Messages.h"

#include <cstdio>

namespace somnex {
namespace {

MessageHandler &handler()
{
    static MessageHandler h;
    return h;
}

} // namespace

QString defaultMessageTitle()
{
    return QStringLiteral("ZUL Somnex 3");
}

MsgResult ShowMessage(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons)
{
    const Message m{text, title, icon, buttons};
    if (handler())
        return handler()(m);
    std::fprintf(stderr, "%s: %s\n", qPrintable(title.isEmpty() ? defaultMessageTitle() : title), qPrintable(text));
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgResult::Yes;
    case MsgButtons::RetryCancel: return MsgResult::Retry;
    default: return MsgResult::Ok;
    }
}

MessageHandler SetMessageHandler(MessageHandler h)
{
    MessageHandler old = std::move(handler());
    handler() = std::move(h);
    return old;
}

} // namespace somnex
