// diary: the dream diary from the command line, on the same file the
// diary window keeps.
#include "tools/cli/Commands.h"

#include "calendar/lunarday/LunarDay.h"
#include "diary/DiaryStore.h"
#include "diary/Entry.h"
#include "diary/LunarSnapshot.h"
#include "diary/Synthetic.h"
#include "dictionary/SymbolFinder.h"
#include "location/core/Location.h"
#include "platform/core/RussianDates.h"
#include "platform/core/Settings.h"
#include "platform/error/Error.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace somnex::cli {

namespace {

using namespace somnex::diary;

// Exit statuses.
constexpr int kOk = 0;
constexpr int kFailed = 1;  // the diary cannot be read or written, or refused the entry
constexpr int kUsage = 2;   // the command line is wrong
constexpr int kNoEntry = 3; // no entry with that id

const QString kDiaryUsage = QStringLiteral(
    "Использование:\n"
    "  somnex-cli diary add [--at \"ГГГГ-ММ-ДД ЧЧ:ММ\"] [--title НАЗВАНИЕ] [--lucid] [--tag МЕТКА]...\n"
    "                       [--lat ГРАД --lon ГРАД] ТЕКСТ|-\n"
    "        записать сон (- : текст со стандартного ввода); выводит номер записи\n"
    "  somnex-cli diary list [--json]          все сны, с последней ночи\n"
    "  somnex-cli diary show НОМЕР [--json]    один сон целиком\n"
    "  somnex-cli diary search ТЕКСТ [--json]  сны, в которых есть все слова текста в любой форме\n"
    "  somnex-cli diary mark НОМЕР yes|partly|no|none [--note ЗАМЕТКА]\n"
    "        отметить, сбылся ли сон (сбылся, частично, не сбылся, без отметки)\n"
    "  somnex-cli diary delete НОМЕР           переместить сон в корзину\n"
    "  somnex-cli diary restore НОМЕР          вернуть сон из корзины\n"
    "  somnex-cli diary synth N [--seed S]     записать N выдуманных снов (для замеров скорости)\n"
    "  somnex-cli diary export --format json|sealed|md|csv|html --out ПУТЬ [--from ДАТА] [--to ДАТА]\n"
    "                          [--force] [--plain]\n"
    "        выгрузить сны (md: ПУТЬ - папка, по файлу на сон; ДАТА - ночь, ГГГГ-ММ-ДД);\n"
    "        существующие файлы заменяются только с --force; sealed: запечатано паролем;\n"
    "        из дневника с паролем json запечатывается, открытый текст - только с --plain\n"
    "  somnex-cli diary import ПУТЬ [--dry-run]  добавить сны из файла, ничего не удаляя\n"
    "        (запечатанный файл открывается паролем, с которым выгружен)\n"
    "  somnex-cli diary backup                 сохранить копию дневника сейчас\n"
    "  somnex-cli diary restore ФАЙЛ.sqlite    добавить в дневник сны из копии\n"
    "  somnex-cli diary stats [--from ДАТА] [--to ДАТА] [--json]  статистика дневника\n"
    "  somnex-cli diary protect                закрыть дневник паролем; выводит ключ восстановления\n"
    "  somnex-cli diary unprotect              снова хранить дневник открытым текстом\n"
    "  somnex-cli diary password               сменить пароль (--recovery-key-file: по ключу восстановления)\n"
    "Дневник, закрытый паролем: пароль спрашивается в терминале или читается из файла\n"
    "--password-file ФАЙЛ (- : стандартный ввод); новый пароль - --new-password-file ФАЙЛ.\n"
    "НОМЕР: номер записи или его начало (не меньше 4 знаков).\n"
    "--at: местное время по часовому поясу системы (TZ учитывается), по умолчанию сейчас;\n"
    "без --lat и --lon лунный день считается для места из настроек программы.\n"
    "Коды выхода: 0 - успех, 1 - дневник не читается или не записывается, 2 - неверная\n"
    "командная строка, 3 - нет записи с таким номером, 4 - неверный пароль.\n");

int usageError(const QString &why)
{
    err(why + QLatin1Char('\n') + kDiaryUsage);
    return kUsage;
}

int failure(const std::exception_ptr &e)
{
    return diaryFailure(e, kNoEntry);
}

// ---- parsing -----------------------------------------------------------------

// Arguments split into options (with their values) and the rest.
struct Parsed {
    std::multimap<QString, QString> options;
    QStringList rest;

    bool has(const QString &name) const { return options.count(name) > 0; }
    std::optional<QString> value(const QString &name) const
    {
        const auto it = options.find(name);
        return it == options.end() ? std::nullopt : std::optional<QString>(it->second);
    }
    QStringList values(const QString &name) const
    {
        QStringList out;
        for (auto [it, end] = options.equal_range(name); it != end; ++it)
            out << it->second;
        return out;
    }
};

// Splits args; flags take no value, valued options one. Returns the message
// of what is wrong, if anything.
std::optional<QString> parse(const QStringList &args, const QStringList &flags, const QStringList &valued, Parsed &p)
{
    bool optionsEnd = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (optionsEnd || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            p.rest << a;
        } else if (a == QLatin1String("--")) {
            optionsEnd = true;
        } else if (flags.contains(a)) {
            p.options.emplace(a, QString());
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size())
                return QStringLiteral("Не указано значение после %1.").arg(a);
            p.options.emplace(a, args[++i]);
        } else {
            return QStringLiteral("Неизвестный параметр: %1").arg(a);
        }
    }
    return std::nullopt;
}

std::optional<QDateTime> parseAt(const QString &text)
{
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime dt = QDateTime::fromString(text.trimmed(), QString::fromLatin1(format));
        if (!dt.isValid())
            continue;
        if (dt.date().year() < kFirstYear || dt.date().year() > kLastYear)
            return std::nullopt;
        const QDateTime at = momentIn(dt.date(), dt.time());
        if (!at.isValid())
            return std::nullopt;
        return at;
    }
    return std::nullopt;
}

} // namespace

// The program's place (the calendar's), as somnex-cli calendar takes it.
Place settingsPlace()
{
    const location::Location place = location::Location::load(GetSetting);
    return Place{place.cityName, place.latitude().toDouble(), place.longitude().toDouble()};
}

namespace {

QString readStandardInput()
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(in.readAll());
}

// Symbols are found by the headwords of the enabled books; without books
// the dream is stored without them.
SymbolSource bookSymbols()
{
    std::optional<dictionary::WordIndex> words = enabledWordList();
    if (!words) {
        err(QStringLiteral("Символы сна не найдены: сонники не загружены.\n"));
        return {};
    }
    auto finder = std::make_shared<dictionary::SymbolFinder>();
    finder->build(*words);
    auto index = std::make_shared<dictionary::WordIndex>(std::move(*words));
    return [finder, index](QStringView text) {
        QStringList out;
        for (const dictionary::SymbolMark &m : finder->find(text)) {
            const QString &h = index->word(m.item);
            if (!out.contains(h))
                out << h;
        }
        return out;
    };
}

// ---- output ----------------------------------------------------------------------

QString russianDate(const QDate &d)
{
    return dates::format(d, QStringLiteral("d MMMM yyyy 'г.'"));
}

// "с 8 на 9 декабря 2026 г.", "с 30 ноября на 1 декабря 2026 г.",
// "с 31 декабря 2025 г. на 1 января 2026 г."
QString nightText(const QDate &night)
{
    const QLocale &ru = dates::russian();
    const QDate next = night.addDays(1);
    const QString first = night.month() == next.month() ? QString::number(night.day())
                          : night.year() == next.year() ? ru.toString(night, QStringLiteral("d MMMM"))
                                                        : russianDate(night);
    return QStringLiteral("с %1 на %2").arg(first, russianDate(next));
}

QString offsetText(int offset)
{
    const int a = std::abs(offset);
    return QStringLiteral("UTC%1%2:%3")
        .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(a / 3600, 2, 10, QLatin1Char('0'))
        .arg(a % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString localIso(const QDateTime &at)
{
    return at.isValid() ? at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QJsonValue nullable(const QString &s)
{
    return s.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(s);
}

QJsonArray kindsJson(const QList<DreamKind> &kinds)
{
    QJsonArray a;
    for (DreamKind k : kinds)
        a.append(kindCode(k));
    return a;
}

QJsonObject summaryJson(const EntrySummary &s)
{
    QJsonObject o;
    o[QStringLiteral("id")] = s.id;
    o[QStringLiteral("at")] = isoWithOffset(s.at);
    o[QStringLiteral("night")] = s.night.toString(Qt::ISODate);
    o[QStringLiteral("title")] = s.displayTitle;
    o[QStringLiteral("lunarDay")] = s.lunarDay;
    o[QStringLiteral("lucid")] = s.lucid;
    o[QStringLiteral("kinds")] = kindsJson(s.kinds);
    o[QStringLiteral("mark")] = markCode(s.mark);
    return o;
}

QJsonObject entryJson(const Entry &e)
{
    QJsonObject o;
    o[QStringLiteral("id")] = e.id;
    o[QStringLiteral("at")] = isoWithOffset(e.at);
    o[QStringLiteral("zone")] = e.zone;
    o[QStringLiteral("night")] = e.night.toString(Qt::ISODate);
    o[QStringLiteral("created")] = e.created.toString(Qt::ISODateWithMs);
    o[QStringLiteral("updated")] = e.updated.toString(Qt::ISODateWithMs);
    o[QStringLiteral("title")] = e.title;
    o[QStringLiteral("displayTitle")] = e.displayTitle();
    o[QStringLiteral("text")] = e.text;
    o[QStringLiteral("lucid")] = e.lucid;
    o[QStringLiteral("clarity")] = e.clarity ? QJsonValue(*e.clarity) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("mood")] = e.mood ? QJsonValue(*e.mood) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("kinds")] = kindsJson(e.kinds);
    QJsonArray tags;
    for (const Tag &t : e.tags)
        tags.append(QJsonObject{{QStringLiteral("text"), t.text}, {QStringLiteral("kind"), tagKindCode(t.kind)}});
    o[QStringLiteral("tags")] = tags;
    o[QStringLiteral("symbols")] = QJsonArray::fromStringList(e.symbolHeadwords());
    if (e.place)
        o[QStringLiteral("place")] = QJsonObject{{QStringLiteral("name"), e.place->name},
                                                 {QStringLiteral("latitude"), e.place->latitude},
                                                 {QStringLiteral("longitude"), e.place->longitude}};
    else
        o[QStringLiteral("place")] = QJsonValue(QJsonValue::Null);
    const LunarSnapshot &l = e.lunar;
    if (l.found)
        o[QStringLiteral("lunarDay")] = QJsonObject{{QStringLiteral("number"), l.lunarDay},
                                                    {QStringLiteral("start"), isoWithOffset(l.start)},
                                                    {QStringLiteral("end"), isoWithOffset(l.end)},
                                                    {QStringLiteral("phasePicture"), l.phasePicture}};
    else
        o[QStringLiteral("lunarDay")] = QJsonValue(QJsonValue::Null);
    o[QStringLiteral("fulfilment")] = QJsonObject{{QStringLiteral("lunarDay"), l.lunarDayText},
                                                  {QStringLiteral("weekday"), l.weekdayText},
                                                  {QStringLiteral("monthDay"), l.monthDayText}};
    o[QStringLiteral("mark")] = markCode(e.fulfilment.mark);
    o[QStringLiteral("markedOn")] =
        nullable(e.fulfilment.markedOn.isValid() ? e.fulfilment.markedOn.toString(Qt::ISODate) : QString());
    o[QStringLiteral("markNote")] = e.fulfilment.note;
    o[QStringLiteral("deletedAt")] =
        nullable(e.deletedAt.isValid() ? e.deletedAt.toString(Qt::ISODateWithMs) : QString());
    return o;
}

QString summaryLine(const EntrySummary &s)
{
    QString line = s.id + QStringLiteral("  ") + s.at.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                   + QStringLiteral("  ") + s.displayTitle;
    QStringList marks;
    if (s.lunarDay > 0)
        marks << QStringLiteral("лунный день %1").arg(s.lunarDay);
    if (s.lucid)
        marks << QStringLiteral("осознанный");
    for (DreamKind k : s.kinds)
        marks << kindName(k);
    if (s.mark != Mark::None)
        marks << markName(s.mark);
    if (!marks.isEmpty())
        line += QStringLiteral("  [") + marks.join(QStringLiteral(", ")) + QLatin1Char(']');
    return line + QLatin1Char('\n');
}

QString entryText(const Entry &e)
{
    QString t;
    auto line = [&t](const QString &label, const QString &value) { t += label + QStringLiteral(": ") + value + '\n'; };
    line(QStringLiteral("Сон"), e.displayTitle());
    line(QStringLiteral("Номер"), e.id);
    line(QStringLiteral("Время"), e.at.toString(QStringLiteral("dd.MM.yyyy HH:mm")) + QStringLiteral(" (")
                                      + offsetText(e.at.offsetFromUtc())
                                      + (e.zone.isEmpty() ? QString() : QStringLiteral(", ") + e.zone) + ')');
    line(QStringLiteral("Ночь"), nightText(e.night));
    if (e.lucid)
        line(QStringLiteral("Осознанный"), QStringLiteral("да"));
    if (!e.kinds.isEmpty()) {
        QStringList names;
        for (DreamKind k : e.kinds)
            names << kindName(k);
        line(QStringLiteral("Вид"), names.join(QStringLiteral(", ")));
    }
    if (!e.tags.isEmpty()) {
        QStringList tags;
        for (const Tag &tag : e.tags)
            tags << tag.text;
        line(QStringLiteral("Метки"), tags.join(QStringLiteral(", ")));
    }
    if (!e.symbolHeadwords().isEmpty())
        line(QStringLiteral("Символы"), e.symbolHeadwords().join(QStringLiteral(", ")));
    if (e.place)
        line(QStringLiteral("Место"),
             (e.place->name.isEmpty() ? QString() : e.place->name + QStringLiteral(", "))
                 + QStringLiteral("%1, %2").arg(e.place->latitude, 0, 'f', 4).arg(e.place->longitude, 0, 'f', 4));
    if (e.lunar.found) {
        line(QStringLiteral("Лунный день"),
             QStringLiteral("%1 (%2 - %3)").arg(e.lunar.lunarDay).arg(localIso(e.lunar.start), localIso(e.lunar.end)));
        t += QStringLiteral("  ") + e.lunar.lunarDayText + '\n';
    }
    line(QStringLiteral("По дню недели"), e.lunar.weekdayText);
    line(QStringLiteral("По числу месяца"), e.lunar.monthDayText);
    if (e.fulfilment.mark != Mark::None)
        line(QStringLiteral("Отметка"), markName(e.fulfilment.mark) + QStringLiteral(" (")
                                            + e.fulfilment.markedOn.toString(QStringLiteral("dd.MM.yyyy")) + ')'
                                            + (e.fulfilment.note.isEmpty() ? QString() : ' ' + e.fulfilment.note));
    if (e.deletedAt.isValid())
        line(QStringLiteral("В корзине с"), e.deletedAt.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    t += QLatin1Char('\n') + e.text + QLatin1Char('\n');
    return t;
}

QString jsonText(const QJsonValue &v)
{
    const QJsonDocument d = v.isArray() ? QJsonDocument(v.toArray()) : QJsonDocument(v.toObject());
    return QString::fromUtf8(d.toJson(QJsonDocument::Indented));
}

// ---- the subcommands -----------------------------------------------------------

int addCommand(const QStringList &args)
{
    Parsed p;
    if (const auto why = parse(args, {QStringLiteral("--lucid")},
                               {QStringLiteral("--at"), QStringLiteral("--title"), QStringLiteral("--tag"),
                                QStringLiteral("--lat"), QStringLiteral("--lon")},
                               p))
        return usageError(*why);
    if (p.rest.size() != 1)
        return usageError(QStringLiteral("Укажите один текст сна (или - для стандартного ввода)."));
    Entry e;
    if (const auto at = p.value(QStringLiteral("--at"))) {
        const auto moment = parseAt(*at);
        if (!moment)
            return usageError(QStringLiteral("Неверное время: %1 (нужно ГГГГ-ММ-ДД ЧЧ:ММ, годы %2-%3).")
                                  .arg(*at)
                                  .arg(kFirstYear)
                                  .arg(kLastYear));
        e.at = *moment;
        e.zone = systemZoneName();
    }
    const auto lat = p.value(QStringLiteral("--lat"));
    const auto lon = p.value(QStringLiteral("--lon"));
    if (lat.has_value() != lon.has_value())
        return usageError(QStringLiteral("Широта и долгота задаются вместе: --lat и --lon."));
    if (lat) {
        const auto la = parseDegrees(*lat, 90.0);
        const auto lo = parseDegrees(*lon, 180.0);
        if (!la)
            return usageError(QStringLiteral("Неверная широта: ") + *lat);
        if (!lo)
            return usageError(QStringLiteral("Неверная долгота: ") + *lon);
        e.place = Place{QString(), *la, *lo};
    } else {
        e.place = settingsPlace();
    }
    e.title = p.value(QStringLiteral("--title")).value_or(QString());
    e.lucid = p.has(QStringLiteral("--lucid"));
    for (const QString &tag : p.values(QStringLiteral("--tag")))
        e.tags << Tag{tag, TagKind::Plain};
    e.text = p.rest[0] == QLatin1String("-") ? readStandardInput() : p.rest[0];
    if (e.text.trimmed().isEmpty())
        return usageError(QStringLiteral("Текст сна пуст."));
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        store.setSymbolSource(bookSymbols());
        const QString id = store.add(std::move(e));
        out(id + QLatin1Char('\n'));
        std::fflush(stdout);
    } catch (...) {
        return failure(std::current_exception());
    }
    return kOk;
}

int listCommand(const QStringList &args)
{
    Parsed p;
    if (const auto why = parse(args, {QStringLiteral("--json"), QStringLiteral("--trash")}, {}, p))
        return usageError(*why);
    if (!p.rest.isEmpty())
        return usageError(QStringLiteral("Лишние аргументы: ") + p.rest.join(QLatin1Char(' ')));
    try {
        // --trash: the dreams in the trash, the last moved there first
        const QList<EntrySummary> entries =
            p.has(QStringLiteral("--trash")) ? openDiary()->trash() : openDiary()->list();
        if (p.has(QStringLiteral("--json"))) {
            QJsonArray a;
            for (const EntrySummary &s : entries)
                a.append(summaryJson(s));
            out(jsonText(a));
        } else {
            QString text;
            for (const EntrySummary &s : entries)
                text += summaryLine(s);
            out(text);
        }
    } catch (...) {
        return failure(std::current_exception());
    }
    return kOk;
}

int showCommand(const QStringList &args)
{
    Parsed p;
    if (const auto why = parse(args, {QStringLiteral("--json")}, {}, p))
        return usageError(*why);
    if (p.rest.size() != 1)
        return usageError(QStringLiteral("Укажите номер записи."));
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        const std::optional<Entry> e = store.entry(store.resolveId(p.rest[0]));
        if (!e)
            throw Error(kErrorNotFound, QString(), QStringLiteral("В дневнике снов нет записи «%1».").arg(p.rest[0]));
        out(p.has(QStringLiteral("--json")) ? jsonText(entryJson(*e)) : entryText(*e));
    } catch (...) {
        return failure(std::current_exception());
    }
    return kOk;
}

int searchCommand(const QStringList &args)
{
    Parsed p;
    if (const auto why = parse(args, {QStringLiteral("--json")}, {}, p))
        return usageError(*why);
    if (p.rest.size() != 1 || p.rest[0].trimmed().isEmpty())
        return usageError(QStringLiteral("Укажите текст для поиска."));
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        Filter f;
        f.text = p.rest[0];
        const QStringList ids = store.search(f);
        QHash<QString, EntrySummary> byId;
        for (const EntrySummary &s : store.list())
            byId.insert(s.id, s);
        QJsonArray a;
        QString text;
        for (const QString &id : ids) {
            a.append(summaryJson(byId.value(id)));
            text += summaryLine(byId.value(id));
        }
        out(p.has(QStringLiteral("--json")) ? jsonText(a) : text);
    } catch (...) {
        return failure(std::current_exception());
    }
    return kOk;
}

// A fulfilment mark as the command line takes it: the stable code or its Russian word.
std::optional<Mark> markOfWord(const QString &word)
{
    static const QHash<QString, Mark> russian = {{QStringLiteral("да"), Mark::Yes},
                                                 {QStringLiteral("частично"), Mark::Partly},
                                                 {QStringLiteral("нет"), Mark::No},
                                                 {QStringLiteral("снять"), Mark::None}};
    const QString w = word.trimmed().toLower();
    if (const auto it = russian.find(w); it != russian.end())
        return it.value();
    return markFromCode(w);
}

int markCommand(const QStringList &args)
{
    Parsed p;
    if (const auto why = parse(args, {}, {QStringLiteral("--note")}, p))
        return usageError(*why);
    if (p.rest.size() != 2)
        return usageError(QStringLiteral("Укажите номер записи и отметку: да, частично, нет или снять "
                                         "(yes, partly, no, none)."));
    const std::optional<Mark> m = markOfWord(p.rest[1]);
    if (!m)
        return usageError(QStringLiteral("Неверная отметка: %1 (нужно да, частично, нет или снять; "
                                         "yes, partly, no или none).")
                              .arg(p.rest[1]));
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        store.setFulfilment(store.resolveId(p.rest[0]),
                            Fulfilment{*m, QDate(), p.value(QStringLiteral("--note")).value_or(QString())});
    } catch (...) {
        return failure(std::current_exception());
    }
    return kOk;
}

int trashOne(const QStringList &args, bool toTrash)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        return usageError(QStringLiteral("Укажите номер записи."));
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        const QString id = store.resolveId(args[0]);
        const std::optional<Entry> e = store.entry(id);
        const QString title = e ? e->displayTitle() : id;
        // what is asked for is so already: said, and a failure, so that a script notices
        if (e && e->deletedAt.isValid() == toTrash) {
            err(toTrash ? QStringLiteral("Сон «%1» уже в корзине.\n").arg(title)
                        : QStringLiteral("Сна «%1» нет в корзине.\n").arg(title));
            return kFailed;
        }
        toTrash ? store.moveToTrash(id) : store.restore(id);
        out(toTrash ? QStringLiteral("Сон «%1» перенесён в корзину (вернуть: somnex-cli diary restore %2).\n")
                          .arg(title, id)
                    : QStringLiteral("Сон «%1» возвращён из корзины.\n").arg(title));
    } catch (...) {
        return failure(std::current_exception());
    }
    return kOk;
}

int synthCommand(const QStringList &args)
{
    Parsed p;
    if (const auto why = parse(args, {}, {QStringLiteral("--seed")}, p))
        return usageError(*why);
    bool ok = false;
    const int n = p.rest.size() == 1 ? p.rest[0].toInt(&ok) : 0;
    if (!ok || n < 1 || n > 1000000)
        return usageError(QStringLiteral("Укажите число снов от 1 до 1000000."));
    quint32 seed = 1;
    if (const auto s = p.value(QStringLiteral("--seed"))) {
        seed = s->toUInt(&ok);
        if (!ok)
            return usageError(QStringLiteral("Неверное начальное число: ") + *s);
    }
    try {
        const auto opened = openDiary();
        DiaryStore &store = *opened;
        // In portions, so that memory stays small for large counts.
        constexpr int kPortion = 1000;
        QList<Entry> all = syntheticEntries(n, seed);
        for (qsizetype i = 0; i < all.size(); i += kPortion)
            store.addAll(all.mid(i, kPortion));
        out(QStringLiteral("Записано снов: %1\n").arg(n));
    } catch (...) {
        return failure(std::current_exception());
    }
    return kOk;
}

} // namespace

int diary(const QStringList &args)
{
    const std::map<QString, std::function<int(const QStringList &)>> commands = {
        {QStringLiteral("add"), addCommand},
        {QStringLiteral("list"), listCommand},
        {QStringLiteral("show"), showCommand},
        {QStringLiteral("search"), searchCommand},
        {QStringLiteral("mark"), markCommand},
        {QStringLiteral("delete"), [](const QStringList &a) { return trashOne(a, true); }},
        {QStringLiteral("restore"),
         [](const QStringList &a) { return namesBackupFile(a) ? diaryRestoreBackup(a) : trashOne(a, false); }},
        {QStringLiteral("synth"), synthCommand},
        {QStringLiteral("stats"), diaryStats},
        {QStringLiteral("export"), diaryExport},
        {QStringLiteral("import"), diaryImport},
        {QStringLiteral("backup"), diaryBackup},
        {QStringLiteral("protect"), diaryProtect},
        {QStringLiteral("unprotect"), diaryUnprotect},
        {QStringLiteral("password"), diaryPassword},
    };
    if (args.isEmpty())
        return usageError(QStringLiteral("Укажите действие с дневником."));
    if (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        out(kDiaryUsage);
        return kOk;
    }
    const auto it = commands.find(args[0]);
    if (it == commands.end())
        return usageError(QStringLiteral("Неизвестное действие с дневником: ") + args[0]);
    if (args.size() == 2 && (args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h"))) {
        out(kDiaryUsage);
        return kOk;
    }
    return it->second(takeDiarySecrets(args.mid(1)));
}

} // namespace somnex::cli
