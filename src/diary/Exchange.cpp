// A journal read in whichever format it is, and the diary written out in
// the format chosen. Each format is in its own file below exchange/.
#include "diary/Exchange.h"

#include "diary/exchange/ExchangeSupport.h"
#include "diary/exchange/SealedJournal.h"
#include "platform/core/AtomicFile.h"
#include "platform/error/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <stdexcept>

namespace somnex::diary {

namespace {

using exchange::exchangeError;
using exchange::journalFail;
using exchange::wholeMegabytes;

bool earlierMoment(const Entry &a, const Entry &b)
{
    return a.at.toSecsSinceEpoch() < b.at.toSecsSinceEpoch()
           || (a.at.toSecsSinceEpoch() == b.at.toSecsSinceEpoch() && a.id < b.id);
}

void writeExport(const QString &path, const QByteArray &bytes)
{
    try {
        AtomicWriteOptions privately;
        privately.mode = kPrivateFileMode; // the dreams are the user's alone
        writeFileAtomically(path, bytes, privately);
    } catch (const Error &e) {
        throw exchangeError(kErrorExportWrite, e.description());
    }
}

} // namespace

ImportedJournal readAnyJournal(const QString &path, const JournalReader &foreign,
                               const SealedPasswordAsker &askPassword)
{
    const QFileInfo info(path);
    if (!info.exists())
        journalFail(path, QStringLiteral("файл не найден"));
    if (info.isFile()) {
        if (info.size() > kMaxJournalBytes)
            journalFail(path, QStringLiteral("файл больше %1 МБ; такой файл не читается")
                                  .arg(wholeMegabytes(kMaxJournalBytes)));
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            journalFail(path, QStringLiteral("файл не читается (%1)").arg(f.errorString()));
        // Read no more than the limit even if the file grew meanwhile.
        QByteArray bytes = f.read(kMaxJournalBytes + 1);
        if (isSealedJournal(bytes)) {
            const std::optional<QString> password = askPassword ? askPassword(path) : std::nullopt;
            if (!password)
                journalFail(path, QStringLiteral("файл запечатан паролем, а пароль не указан"), kErrorJournalSealed);
            bytes = openSealedJournal(bytes, *password, path);
        }
        try {
            return parseDiaryJson(bytes, path);
        } catch (const Error &e) {
            if (e.number() != kErrorJournalUnknown)
                throw;
            traceIgnored(std::current_exception());
        }
    }
    if (foreign)
        return foreign(path);
    journalFail(path, QStringLiteral("формат не распознан: это не дневник снов и не известный журнал"),
                kErrorJournalUnknown);
}

// ---- export ---------------------------------------------------------------------------------

std::optional<ExportFormat> exportFormatFromCode(const QString &code)
{
    if (code == QLatin1String("json"))
        return ExportFormat::Json;
    if (code == QLatin1String("md"))
        return ExportFormat::Markdown;
    if (code == QLatin1String("csv"))
        return ExportFormat::Csv;
    if (code == QLatin1String("html"))
        return ExportFormat::Html;
    if (code == QLatin1String("sealed"))
        return ExportFormat::Sealed;
    return std::nullopt;
}

QString withExportExtension(ExportFormat format, const QString &path)
{
    if (format == ExportFormat::Markdown || path.isEmpty() || !QFileInfo(path).suffix().isEmpty()
        || path.endsWith(u'/'))
        return path;
    static const QHash<ExportFormat, QString> extensions = {
        {ExportFormat::Json, QStringLiteral(".json")},
        {ExportFormat::Csv, QStringLiteral(".csv")},
        {ExportFormat::Html, QStringLiteral(".html")},
        {ExportFormat::Sealed, QStringLiteral(".sealed")},
    };
    return path + extensions.value(format);
}

QList<Entry> entriesForExport(const QList<Entry> &all, ExportFormat format, const QDate &from, const QDate &to)
{
    QList<Entry> out;
    for (const Entry &e : all) {
        if (e.deletedAt.isValid() && format != ExportFormat::Json && format != ExportFormat::Sealed)
            continue;
        if ((from.isValid() && e.night < from) || (to.isValid() && e.night > to))
            continue;
        out << e;
    }
    std::stable_sort(out.begin(), out.end(), earlierMoment);
    return out;
}

QStringList exportWouldReplace(ExportFormat format, const QString &path, const QList<Entry> &entries)
{
    if (format == ExportFormat::Markdown)
        return exchange::markdownWouldReplace(path, entries);
    QStringList existing;
    if (QFileInfo::exists(path))
        existing << path;
    return existing;
}

int exportDiary(ExportFormat format, const QString &path, const QList<Entry> &entries, const QDate &from,
                const QDate &to, bool replace, const ExportSeal *seal)
{
    if (format == ExportFormat::Sealed && !seal)
        throw std::invalid_argument("a sealed export needs its password");
    if (!replace) {
        const QStringList existing = exportWouldReplace(format, path, entries);
        if (!existing.isEmpty())
            throw exchangeError(kErrorExportExists,
                                QStringLiteral("Файл «%1» уже есть%2; он не заменён.")
                                    .arg(existing.first(), existing.size() > 1
                                                               ? QStringLiteral(" (и ещё %1)").arg(existing.size() - 1)
                                                               : QString()));
    }
    switch (format) {
    case ExportFormat::Json:
    case ExportFormat::Sealed: {
        QByteArray bytes = diaryJson(entries);
        if (format == ExportFormat::Sealed)
            bytes = sealJournal(bytes, seal->password, seal->cost);
        if (bytes.size() > kMaxJournalBytes)
            throw exchangeError(kErrorExportTooLarge,
                                QStringLiteral("Файл «%1» получился бы больше %2 МБ и не читался бы обратно; выгрузите "
                                               "дневник по частям (--from, --to). Ничего не записано.")
                                    .arg(path, wholeMegabytes(kMaxJournalBytes)));
        writeExport(path, bytes);
        break;
    }
    case ExportFormat::Csv: writeExport(path, diaryCsv(entries)); break;
    case ExportFormat::Html: writeExport(path, diaryHtml(entries, from, to)); break;
    case ExportFormat::Markdown: exchange::writeMarkdownFolder(path, entries); break;
    }
    return static_cast<int>(entries.size());
}

} // namespace somnex::diary
