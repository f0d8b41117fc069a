#pragma once
// "Пароль дневника": opening a private diary in the window. The password,
// or after "Забыли пароль?" the recovery key (and then a new password),
// asked until one opens the diary or the user gives up.

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace somnex::diary {

class DiaryStore;

// What is asked of the user: the password or (recovery) the recovery key,
// with the last attempt's error shown; none when the user gives up. Tests
// put their own asker in place.
struct SecretQuestion {
    bool recovery = false;
    QString error;  // "Неверный пароль" after a wrong one
    QString prompt; // what the password is asked for; empty: opening the diary
};
struct SecretAnswer {
    QString secret;
    bool forgot = false; // "Забыли пароль?": ask for the recovery key instead
};
using SecretAsker = std::function<std::optional<SecretAnswer>(QWidget *owner, const SecretQuestion &)>;
void setSecretAsker(SecretAsker asker); // empty: the dialog
// A new password typed twice, none when the user gives up.
using NewPasswordAsker = std::function<std::optional<QString>(QWidget *owner)>;
void setNewPasswordAsker(NewPasswordAsker asker);

// The same questions for the diary's privacy settings (hooks respected).
std::optional<SecretAnswer> askSecret(QWidget *owner, const SecretQuestion &question);
std::optional<QString> askNewPassword(QWidget *owner);

// The private diary's password (or recovery key) asked again, with the
// prompt saying why, until it is right; none when the user gives up. The
// store is left as it was.
std::optional<QString> confirmSecret(DiaryStore &store, QWidget *owner, const QString &prompt = {});

// Opens the store (locked) with what the user types; false when the user
// gave up (the store stays locked). After the recovery key the user sets a
// new password.
bool unlockDiary(DiaryStore &store, QWidget *owner);

} // namespace somnex::diary
