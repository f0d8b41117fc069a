#include "diary/Entry.h"

#include "dictionary/WordIndex.h"
#include "platform/core/Clock.h"

#include <QTimeZone>

namespace somnex::diary {

namespace {

struct KindName {
    DreamKind kind;
    const char16_t *code;
    const char16_t *name;
};
constexpr KindName kKinds[] = {
    {DreamKind::Nightmare, u"nightmare", u"кошмар"},
    {DreamKind::Recurring, u"recurring", u"повторяющийся"},
    {DreamKind::FalseAwakening, u"false-awakening", u"ложное пробуждение"},
    {DreamKind::SleepParalysis, u"sleep-paralysis", u"сонный паралич"},
};

struct MarkName {
    Mark mark;
    const char16_t *code;
    const char16_t *name;
};
constexpr MarkName kMarks[] = {
    {Mark::None, u"none", u""},
    {Mark::Yes, u"yes", u"сбылся"},
    {Mark::Partly, u"partly", u"частично"},
    {Mark::No, u"no", u"не сбылся"},
};

constexpr int kTitleWords = 6;

} // namespace

QString kindCode(DreamKind kind)
{
    for (const KindName &k : kKinds)
        if (k.kind == kind)
            return QString::fromUtf16(k.code);
    return {};
}

QString kindName(DreamKind kind)
{
    for (const KindName &k : kKinds)
        if (k.kind == kind)
            return QString::fromUtf16(k.name);
    return {};
}

std::optional<DreamKind> kindFromCode(QStringView codeOrName)
{
    const QString folded = dictionary::foldWord(codeOrName.trimmed());
    for (const KindName &k : kKinds)
        if (folded == QStringView(k.code) || folded == QStringView(k.name))
            return k.kind;
    return std::nullopt;
}

QString tagKindCode(TagKind kind)
{
    switch (kind) {
    case TagKind::Person: return QStringLiteral("person");
    case TagKind::Place: return QStringLiteral("place");
    case TagKind::Plain: break;
    }
    return QStringLiteral("plain");
}

std::optional<TagKind> tagKindFromCode(QStringView code)
{
    for (TagKind k : {TagKind::Plain, TagKind::Person, TagKind::Place})
        if (code == tagKindCode(k))
            return k;
    return std::nullopt;
}

QString markCode(Mark mark)
{
    for (const MarkName &m : kMarks)
        if (m.mark == mark)
            return QString::fromUtf16(m.code);
    return QStringLiteral("none");
}

QString markName(Mark mark)
{
    for (const MarkName &m : kMarks)
        if (m.mark == mark)
            return QString::fromUtf16(m.name);
    return {};
}

std::optional<Mark> markFromCode(QStringView code)
{
    for (const MarkName &m : kMarks)
        if (code == QStringView(m.code))
            return m.mark;
    return std::nullopt;
}

QMap<QDate, int> dreamsByMorning(const QList<EntrySummary> &entries, const QDate &first, const QDate &last)
{
    QMap<QDate, int> counts;
    for (const EntrySummary &e : entries) {
        const QDate morning = e.night.addDays(1);
        if (morning >= first && morning <= last && !e.displayTitle.trimmed().isEmpty())
            ++counts[morning];
    }
    return counts;
}

QString Entry::displayTitle() const
{
    QString t = title.simplified();
    if (!t.isEmpty())
        return t;
    // The first words of the text as they are written (punctuation kept),
    // on one line.
    QStringList words;
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool more = false;
    while (i < n) {
        while (i < n && (text[i].isSpace() || text[i].isNull()))
            ++i;
        if (i >= n)
            break;
        if (words.size() == kTitleWords) {
            more = true;
            break;
        }
        const qsizetype start = i;
        while (i < n && !text[i].isSpace() && !text[i].isNull())
            ++i;
        words << text.mid(start, i - start);
    }
    if (words.isEmpty())
        return QStringLiteral("Без названия");
    QString result = words.join(QLatin1Char(' '));
    if (more)
        result += QChar(0x2026);
    return result;
}

QStringList Entry::symbolHeadwords() const
{
    QStringList out;
    for (const Symbol &s : symbols)
        if (s.origin != Symbol::Origin::RemovedByHand)
            out << s.headword;
    return out;
}

QDate nightOf(const QDateTime &at)
{
    if (!at.isValid())
        return {};
    const QDate d = at.date();
    return at.time().hour() < 12 ? d.addDays(-1) : d;
}

QDateTime momentNow()
{
    const QDateTime now = Clock::current().now();
    const QDateTime local(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return QDateTime(local.date(), local.time(), Qt::OffsetFromUTC, local.offsetFromUtc());
}

QString systemZoneName()
{
    const QByteArray id = QTimeZone::systemTimeZoneId();
    // A zone given only as an offset or an unknown name is no IANA name.
    if (id.isEmpty() || !QTimeZone(id).isValid() || id.startsWith("UTC+") || id.startsWith("UTC-"))
        return {};
    return QString::fromUtf8(id);
}

QDateTime momentIn(const QDate &date, const QTime &time, const QString &zone)
{
    const QTime whole = time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : QTime(0, 0);
    QDateTime local;
    if (zone.isEmpty()) {
        local = QDateTime(date, whole);
    } else {
        const QTimeZone tz(zone.toUtf8());
        if (!tz.isValid())
            return {};
        local = QDateTime(date, whole, tz);
    }
    if (!local.isValid())
        return {};
    return QDateTime(date, whole, Qt::OffsetFromUTC, local.offsetFromUtc());
}

QDateTime newDreamMoment(const QDateTime &now, QTime waking, const QString &zone)
{
    if (!now.isValid() || now.time().hour() < 12)
        return now;
    const QDateTime morning = momentIn(now.date(), waking.isValid() ? waking : QTime(7, 0), zone);
    return morning.isValid() ? morning : now;
}

QString isoWithOffset(const QDateTime &at)
{
    if (!at.isValid())
        return {};
    const int off = at.offsetFromUtc();
    const int a = off < 0 ? -off : off;
    QString text = at.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                   + QStringLiteral("%1%2:%3")
                         .arg(off < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                         .arg(a / 3600, 2, 10, QLatin1Char('0'))
                         .arg(a % 3600 / 60, 2, 10, QLatin1Char('0'));
    // Local mean time of old dates is offset by odd seconds.
    if (a % 60 != 0)
        text += QStringLiteral(":%1").arg(a % 60, 2, 10, QLatin1Char('0'));
    return text;
}

Fulfilment datedFulfilment(Fulfilment f, const QDate &today)
{
    if (f.mark == Mark::None)
        f.markedOn = QDate();
    else if (!f.markedOn.isValid())
        f.markedOn = today;
    return f;
}

} // namespace somnex::diary
