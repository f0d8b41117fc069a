#include "diary/ui/DiaryUnlock.h"

#include "diary/DiaryStore.h"
#include "platform/core/Messages.h"
#include "platform/error/Error.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace somnex::diary {

namespace {

const QString kTitle = QStringLiteral("Пароль дневника");

SecretAsker &secretAsker()
{
    static SecretAsker asker;
    return asker;
}

NewPasswordAsker &newPasswordAsker()
{
    static NewPasswordAsker asker;
    return asker;
}

std::optional<SecretAnswer> askInDialog(QWidget *owner, const SecretQuestion &q)
{
    QDialog d(owner);
    d.setObjectName(QStringLiteral("DiaryUnlock"));
    d.setWindowTitle(kTitle);
    auto *v = new QVBoxLayout(&d);
    auto *say = new QLabel(q.recovery ? QStringLiteral("Введите ключ восстановления дневника снов:")
                           : !q.prompt.isEmpty() ? q.prompt
                                                 : QStringLiteral("Дневник снов закрыт паролем. Введите пароль:"));
    say->setWordWrap(true);
    auto *box = new QLineEdit;
    box->setObjectName(QStringLiteral("secret"));
    box->setEchoMode(q.recovery ? QLineEdit::Normal : QLineEdit::Password);
    say->setBuddy(box);
    auto *error = new QLabel(q.error);
    error->setObjectName(QStringLiteral("error"));
    error->setStyleSheet(QStringLiteral("color: #b00020"));
    error->setVisible(!q.error.isEmpty());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)
        ->setText(q.prompt.isEmpty() ? QStringLiteral("Открыть") : QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    bool forgot = false;
    if (!q.recovery) {
        QPushButton *lost = buttons->addButton(QStringLiteral("Забыли пароль?"), QDialogButtonBox::ActionRole);
        lost->setObjectName(QStringLiteral("forgot"));
        QObject::connect(lost, &QPushButton::clicked, &d, [&] {
            forgot = true;
            d.accept();
        });
    }
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    v->addWidget(say);
    v->addWidget(box);
    v->addWidget(error);
    v->addWidget(buttons);
    if (d.exec() != QDialog::Accepted)
        return std::nullopt;
    return SecretAnswer{box->text(), forgot};
}

std::optional<QString> newPasswordInDialog(QWidget *owner)
{
    for (QString error;;) {
        QDialog d(owner);
        d.setObjectName(QStringLiteral("DiaryNewPassword"));
        d.setWindowTitle(QStringLiteral("Новый пароль дневника"));
        auto *v = new QVBoxLayout(&d);
        auto *first = new QLineEdit;
        auto *second = new QLineEdit;
        first->setEchoMode(QLineEdit::Password);
        second->setEchoMode(QLineEdit::Password);
        auto *one = new QLabel(QStringLiteral("Новый пароль:"));
        auto *two = new QLabel(QStringLiteral("Ещё раз:"));
        one->setBuddy(first);
        two->setBuddy(second);
        auto *said = new QLabel(error);
        said->setVisible(!error.isEmpty());
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
        QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
        for (QWidget *w : std::initializer_list<QWidget *>{one, first, two, second, said, buttons})
            v->addWidget(w);
        d.setMinimumWidth(380);
        if (d.exec() != QDialog::Accepted)
            return std::nullopt;
        if (first->text().isEmpty())
            error = QStringLiteral("Пароль не может быть пустым.");
        else if (first->text() != second->text())
            error = QStringLiteral("Пароли не совпадают.");
        else
            return first->text();
    }
}

} // namespace

void setSecretAsker(SecretAsker asker)
{
    secretAsker() = std::move(asker);
}

void setNewPasswordAsker(NewPasswordAsker asker)
{
    newPasswordAsker() = std::move(asker);
}

std::optional<SecretAnswer> askSecret(QWidget *owner, const SecretQuestion &question)
{
    return secretAsker() ? secretAsker()(owner, question) : askInDialog(owner, question);
}

std::optional<QString> askNewPassword(QWidget *owner)
{
    return newPasswordAsker() ? newPasswordAsker()(owner) : newPasswordInDialog(owner);
}

std::optional<QString> confirmSecret(DiaryStore &store, QWidget *owner, const QString &prompt)
{
    SecretQuestion q;
    q.prompt = prompt;
    for (;;) {
        const std::optional<SecretAnswer> a = askSecret(owner, q);
        if (!a)
            return std::nullopt;
        if (a->forgot) {
            q = {true, {}, prompt};
            continue;
        }
        try {
            store.checkSecret(a->secret);
            return a->secret;
        } catch (const Error &e) {
            if (e.number() != kErrorWrongPassword)
                throw;
            q.error = q.recovery ? QStringLiteral("Неверный ключ восстановления") : e.description();
        }
    }
}

bool unlockDiary(DiaryStore &store, QWidget *owner)
{
    SecretQuestion q;
    while (store.isLocked()) {
        const std::optional<SecretAnswer> a = askSecret(owner, q);
        if (!a)
            return false;
        if (a->forgot) {
            q = {true, {}};
            continue;
        }
        try {
            store.unlock(a->secret);
        } catch (const Error &e) {
            if (e.number() != kErrorWrongPassword) {
                ShowMessage(e.description(), kTitle, MsgIcon::Error);
                return false;
            }
            q.error = q.recovery ? QStringLiteral("Неверный ключ восстановления") : e.description();
            continue;
        }
        if (q.recovery) {
            // opened by the recovery key: the forgotten password is replaced
            const std::optional<QString> next = askNewPassword(owner);
            if (next)
                try {
                    store.changePassword(a->secret, *next);
                } catch (const Error &e) {
                    ShowMessage(e.description(), kTitle, MsgIcon::Warning);
                }
        }
    }
    return true;
}

} // namespace somnex::diary
