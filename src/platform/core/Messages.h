#pragma once
// One service for every message box the program shows. The program installs a
// handler that shows a real dialog; tests install a recorder. Without a
// handler the message goes to standard error and the default button counts
// as chosen.

#include <QString>

#include <functional>

namespace somnex {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgResult { Ok, Cancel, Yes, No, Retry };

struct Message {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

using MessageHandler = std::function<MsgResult(const Message &)>;

// Shows a message through the installed handler and returns the answer.
MsgResult ShowMessage(const QString &text, const QString &title = QString(), MsgIcon icon = MsgIcon::None,
                      MsgButtons buttons = MsgButtons::Ok);

// Installs a handler and returns the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);

// The title the program's message boxes carry when the caller gives none.
QString defaultMessageTitle();

// The title a user reads for a message's title: a Russian caption for the
// name of the operation that failed ("LoadBooks" reads "Загрузка сонников"),
// the default title for an empty one or another program name, any other
// text as it is.
QString messageCaption(const QString &title);

} // namespace somnex
