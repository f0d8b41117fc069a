// diary protect|unprotect|password, and opening a private diary for every
// other diary command: the password from a file (--password-file, "-" for
// standard input) or asked on the terminal without echo.
#include "tools/cli/Commands.h"

#include "diary/Backup.h"
#include "diary/DiaryStore.h"
#include "platform/error/Error.h"

#include <QFile>
#include <QHash>

#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace somnex::cli {

namespace {

using namespace somnex::diary;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kWrongPassword = 4;

// Where the secrets come from, taken out of the command line by
// takeDiarySecrets before the command reads it.
struct Secrets {
    QString passwordFile;
    QString newPasswordFile;
    QString recoveryKeyFile;
    QHash<QString, QString> read;  // each file read once ("-" can be read only once)
    std::optional<QString> opened; // the password the diary was opened with
};
Secrets &secrets()
{
    static Secrets s;
    return s;
}

Error usage(const QString &why)
{
    return Error(kUsage, QStringLiteral("cli"), why);
}

// A secret's file: its text without the line's end ("-": standard input).
QString readSecretFile(const QString &path)
{
    if (const auto known = secrets().read.constFind(path); known != secrets().read.constEnd())
        return *known;
    QFile f;
    if (path == QLatin1String("-") ? !f.open(stdin, QIODevice::ReadOnly)
                                   : (f.setFileName(path), !f.open(QIODevice::ReadOnly)))
        throw Error(kFailed, QStringLiteral("cli"),
                    QStringLiteral("Не удаётся прочитать «%1»: %2.").arg(path, f.errorString()));
    QString text = QString::fromUtf8(f.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    secrets().read.insert(path, text);
    return text;
}

// Asks on the terminal, the typing not shown; without a terminal, says what
// is locked and how to give its password.
QString askOnTerminal(const QString &prompt, const QString &locked = QStringLiteral("Дневник снов закрыт паролем"))
{
    if (!::isatty(STDIN_FILENO))
        throw Error(kErrorLocked, QStringLiteral("cli"),
                    locked + QStringLiteral(": укажите --password-file ФАЙЛ (- : стандартный ввод)."));
    err(prompt);
    termios old{};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (quiet) {
        termios silent = old;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string line;
    std::getline(std::cin, line);
    if (quiet)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    err(QStringLiteral("\n"));
    return QString::fromStdString(line);
}

QString password(const QString &file, const QString &prompt)
{
    return file.isEmpty() ? askOnTerminal(prompt) : readSecretFile(file);
}

// A new password: from its file, or typed twice.
QString newPassword(const QString &file)
{
    if (!file.isEmpty())
        return readSecretFile(file);
    QString first = askOnTerminal(QStringLiteral("Новый пароль дневника: "));
    if (askOnTerminal(QStringLiteral("Ещё раз: ")) != first)
        throw usage(QStringLiteral("Пароли не совпадают."));
    return first;
}

// The current secret: the recovery key when its file is given, else the password.
QString currentSecret()
{
    if (!secrets().recoveryKeyFile.isEmpty())
        return readSecretFile(secrets().recoveryKeyFile);
    return password(secrets().passwordFile, QStringLiteral("Пароль дневника: "));
}

// Runs a command that takes no arguments but the secrets' files.
int run(const QStringList &args, const std::function<void()> &command)
{
    try {
        if (!args.isEmpty())
            throw usage(QStringLiteral("Лишние параметры: ") + args.join(u' '));
        command();
    } catch (...) {
        return diaryFailure(std::current_exception(), kFailed);
    }
    return kOk;
}

// The user's diary, which must be private.
void requirePrivate(const DiaryStore &store)
{
    if (!store.isPrivate())
        throw Error(kFailed, QStringLiteral("cli"), QStringLiteral("Дневник снов не закрыт паролем."));
}

} // namespace

QStringList takeDiarySecrets(const QStringList &args)
{
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString *target = args[i] == QLatin1String("--password-file")       ? &secrets().passwordFile
                          : args[i] == QLatin1String("--new-password-file") ? &secrets().newPasswordFile
                          : args[i] == QLatin1String("--recovery-key-file") ? &secrets().recoveryKeyFile
                                                                            : nullptr;
        if (target && i + 1 < args.size())
            *target = args[++i];
        else
            rest << args[i];
    }
    return rest;
}

std::unique_ptr<DiaryStore> openDiary()
{
    auto store = std::make_unique<DiaryStore>();
    if (store->isLocked()) {
        const QString secret = currentSecret();
        store->unlock(secret);
        if (secrets().recoveryKeyFile.isEmpty())
            secrets().opened = secret;
    }
    return store;
}

QString sealingPassword(DiaryStore &store)
{
    if (!store.isPrivate())
        return newPassword(secrets().passwordFile);
    if (secrets().opened)
        return *secrets().opened;
    QString typed = password(secrets().passwordFile, QStringLiteral("Пароль дневника: "));
    store.checkSecret(typed);
    return typed;
}

QString sealedFilePassword(const QString &path)
{
    if (!secrets().passwordFile.isEmpty())
        return readSecretFile(secrets().passwordFile);
    return askOnTerminal(QStringLiteral("Пароль файла «%1»: ").arg(path),
                         QStringLiteral("Файл «%1» запечатан паролем").arg(path));
}

int diaryFailure(const std::exception_ptr &e, int notFoundStatus)
{
    try {
        std::rethrow_exception(e);
    } catch (const Error &error) {
        err(error.description() + QLatin1Char('\n'));
        if (error.number() == kErrorWrongPassword)
            return kWrongPassword;
        if (error.number() == kUsage)
            return kUsage;
        return error.number() == kErrorNotFound ? notFoundStatus : kFailed;
    } catch (...) {
        err(describe(std::current_exception()) + QLatin1Char('\n'));
    }
    return kFailed;
}

int diaryProtect(const QStringList &args)
{
    return run(args, [] {
        DiaryStore store;
        if (store.isPrivate())
            throw Error(kFailed, QStringLiteral("cli"), QStringLiteral("Дневник снов уже закрыт паролем."));
        const QString key = store.protect(newPassword(secrets().passwordFile));
        out(key + QLatin1Char('\n'));
        std::fflush(stdout);
        err(QStringLiteral("Ключ восстановления выведен выше. Сохраните его: без пароля и этого ключа "
                           "дневник не открыть.\n"));
        if (const QStringList copies = plainCopies(store.path()); !copies.isEmpty())
            err(QStringLiteral("Копии дневника, сделанные до пароля, хранят сны открытым текстом; удалите их, "
                               "если они не нужны (на SSD прежние данные могут остаться на диске):\n  ")
                + copies.join(QStringLiteral("\n  ")) + QLatin1Char('\n'));
    });
}

int diaryUnprotect(const QStringList &args)
{
    return run(args, [] {
        DiaryStore store;
        requirePrivate(store);
        store.unprotect(currentSecret());
        err(QStringLiteral("Дневник снов снова хранится открытым текстом.\n"));
    });
}

int diaryPassword(const QStringList &args)
{
    return run(args, [] {
        DiaryStore store;
        requirePrivate(store);
        const QString current = currentSecret();
        store.changePassword(current, newPassword(secrets().newPasswordFile));
        err(QStringLiteral("Пароль дневника изменён.\n"));
    });
}

} // namespace somnex::cli
