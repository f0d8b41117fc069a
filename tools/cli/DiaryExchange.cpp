// diary export, import, backup and restore from a copy: the dream diary
// leaves and comes back from the command line.
#include "tools/cli/Commands.h"

#include "diary/Backup.h"
#include "diary/DiaryStore.h"
#include "diary/Exchange.h"
#include "diary/Importers.h"
#include "diary/Journal.h"
#include "platform/core/Clock.h"
#include "platform/error/Error.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

#include <optional>

namespace somnex::cli {

namespace {

using namespace somnex::diary;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

int usageError(const QString &why)
{
    err(why + QStringLiteral("\nПодробнее: somnex-cli diary --help\n"));
    return kUsage;
}

int failure()
{
    return diaryFailure(std::current_exception(), kFailed);
}

// The value after an option; advances i. None (with the message printed) when
// it is missing.
std::optional<QString> valueAfter(const QStringList &args, qsizetype &i)
{
    if (i + 1 >= args.size())
        return std::nullopt;
    return args[++i];
}

std::optional<QDate> nightArg(const QString &text)
{
    const QDate d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid() || text.size() != 10)
        return std::nullopt;
    return d;
}

struct ExportArgs {
    std::optional<ExportFormat> format;
    QString out;
    QDate from;
    QDate to;
    bool force = false;
    bool plain = false; // plain text even from a private diary
};

// An option's value put in a: the format, the file, a night; what is wrong
// with it, if anything.
std::optional<QString> exportValue(const QString &arg, const QString &v, ExportArgs &a)
{
    if (arg == QLatin1String("--format")) {
        a.format = exportFormatFromCode(v);
        if (!a.format)
            return QStringLiteral("Неизвестный формат: %1 (нужно json, sealed, md, csv или html).").arg(v);
    } else if (arg == QLatin1String("--out")) {
        a.out = v;
    } else {
        const std::optional<QDate> d = nightArg(v);
        if (!d)
            return QStringLiteral("Неверная дата: %1 (нужно ГГГГ-ММ-ДД).").arg(v);
        (arg == QLatin1String("--from") ? a.from : a.to) = *d;
    }
    return std::nullopt;
}

std::optional<QString> parseExport(const QStringList &args, ExportArgs &a)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--force") || arg == QLatin1String("--plain")) {
            (arg == QLatin1String("--force") ? a.force : a.plain) = true;
            continue;
        }
        if (arg != QLatin1String("--format") && arg != QLatin1String("--out") && arg != QLatin1String("--from")
            && arg != QLatin1String("--to"))
            return QStringLiteral("Неизвестный параметр: %1").arg(arg);
        const std::optional<QString> v = valueAfter(args, i);
        if (!v)
            return QStringLiteral("Не указано значение после %1.").arg(arg);
        if (std::optional<QString> why = exportValue(arg, *v, a))
            return why;
    }
    if (!a.format)
        return QStringLiteral("Укажите формат: --format json|sealed|md|csv|html.");
    if (a.out.isEmpty())
        return QStringLiteral("Укажите, куда выгрузить: --out ПУТЬ.");
    if (a.from.isValid() && a.to.isValid() && a.from > a.to)
        return QStringLiteral("Дата --from позже даты --to.");
    if (a.plain && a.format == ExportFormat::Sealed)
        return QStringLiteral("--plain и --format sealed вместе не бывают.");
    return std::nullopt;
}

// The other journals' formats: dreamdir, Webdreamjournal, jrnl, Day One,
// dream-journal-app.
JournalReader foreignReader()
{
    return [](const QString &path) { return readForeignJournal(path); };
}

} // namespace

int diaryExport(const QStringList &args)
{
    ExportArgs a;
    if (const auto why = parseExport(args, a))
        return usageError(*why);
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        // A private diary's dreams leave it sealed unless asked otherwise.
        if (store.isPrivate() && a.format == ExportFormat::Json && !a.plain)
            a.format = ExportFormat::Sealed;
        if (store.isPrivate() && a.format != ExportFormat::Sealed && !a.plain) {
            err(QStringLiteral("Дневник снов закрыт паролем, а этот формат — открытый текст, его прочтёт любой, у "
                               "кого окажется файл. Чтобы всё же выгрузить, добавьте --plain; запечатанная "
                               "выгрузка: --format sealed.\n"));
            return kUsage;
        }
        if (store.isPrivate() && a.plain)
            err(QStringLiteral("Внимание: сны выгружаются открытым текстом, без пароля.\n"));
        const QList<Entry> entries = entriesForExport(store.allEntries(), *a.format, a.from, a.to);
        if (!a.force) {
            const QStringList existing = exportWouldReplace(*a.format, a.out, entries);
            if (!existing.isEmpty()) {
                err(QStringLiteral("Файл «%1» уже есть%2; он не заменён. Чтобы заменить, добавьте --force.\n")
                        .arg(existing.first(),
                             existing.size() > 1 ? QStringLiteral(" (и ещё %1)").arg(existing.size() - 1) : QString()));
                return kFailed;
            }
        }
        std::optional<ExportSeal> seal;
        if (a.format == ExportFormat::Sealed)
            seal = ExportSeal{sealingPassword(store), store.isPrivate() ? store.passwordCost() : calibratedCost()};
        const int n = exportDiary(*a.format, a.out, entries, a.from, a.to, a.force, seal ? &*seal : nullptr);
        out(QStringLiteral("Выгружено снов: %1\n").arg(n));
    } catch (...) {
        return failure();
    }
    return kOk;
}

int diaryImport(const QStringList &args)
{
    QStringList paths;
    bool dryRun = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--dry-run"))
            dryRun = true;
        else if (arg.startsWith(QLatin1Char('-')))
            return usageError(QStringLiteral("Неизвестный параметр: %1").arg(arg));
        else
            paths << arg;
    }
    if (paths.size() != 1)
        return usageError(QStringLiteral("Укажите один файл или папку для импорта."));
    try {
        ImportedJournal journal = readAnyJournal(paths[0], foreignReader(), [](const QString &path) {
            return std::optional<QString>(sealedFilePassword(path));
        });
        placeUnplaced(journal, settingsPlace());
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        const MergePlan plan = planMerge(store, journal);
        out(plan.preview() + QLatin1Char('\n'));
        if (!dryRun) {
            applyMerge(store, plan);
            out(plan.done() + QLatin1Char('\n'));
        }
    } catch (...) {
        return failure();
    }
    return kOk;
}

int diaryBackup(const QStringList &args)
{
    if (!args.isEmpty())
        return usageError(QStringLiteral("Лишние аргументы: ") + args.join(QLatin1Char(' ')));
    try {
        const auto opened = openDiary();
        const DiaryStore &store = *opened;
        out(QStringLiteral("Копия сохранена: %1\n").arg(backupNow(store, Clock::current().today())));
    } catch (...) {
        return failure();
    }
    return kOk;
}

bool namesBackupFile(const QStringList &args)
{
    // An entry's number is made of hex digits and hyphens only.
    return args.size() == 1 && (args[0].contains(QLatin1Char('.')) || args[0].contains(QLatin1Char('/')));
}

int diaryRestoreBackup(const QStringList &args)
{
    if (args.size() != 1)
        return usageError(QStringLiteral("Укажите файл копии."));
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        out(restoreFromBackup(store, args[0]).done() + QLatin1Char('\n'));
    } catch (...) {
        return failure();
    }
    return kOk;
}

} // namespace somnex::cli
