#include "platform/core/Messages.h"

#include <QRegularExpression>

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

QString messageCaption(const QString &title)
{
    struct Caption {
        QStringView operation;
        QStringView caption;
    };
    static constexpr Caption captions[] = {
        {u"LoadBooks", u"Загрузка сонников"},
        {u"ShowTolk", u"Толкование сна"},
        {u"TolkLoad", u"Толкование сна"},
        {u"BackMenu_Click", u"Толкование сна"},
        {u"Toolbar1_ButtonClick", u"Толкование сна"},
        {u"RichTextBox1_MouseUp", u"Толкование сна"},
        {u"TrayMenu", u"Толкование сна"},
        {u"ApplySettings", u"Настройки"},
        {u"Calculate", u"Лунный календарь"},
    };
    for (const Caption &c : captions)
        if (title == c.operation)
            return c.caption.toString();
    // an operation's name is no title for the user
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z][A-Za-z0-9_]*$"));
    if (title.isEmpty() || identifier.match(title).hasMatch())
        return defaultMessageTitle();
    return title;
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
