#include "diary/store/EntryChecks.h"

#include "diary/LunarSnapshot.h"
#include "diary/store/StoreErrors.h"
#include "dictionary/WordFinder.h"
#include "platform/core/Clock.h"

#include <QSet>

#include <cmath>

namespace somnex::diary::store {

namespace {

constexpr int kMaxOffsetSeconds = 18 * 3600;

QString megabytes(qsizetype bytes)
{
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

void checkMoment(const QDateTime &at)
{
    if (!at.isValid())
        throw badValue(QStringLiteral("Неверный момент сна."));
    if (at.date().year() < kFirstYear || at.date().year() > kLastYear)
        throw badValue(QStringLiteral("Дата сна %1 вне допустимых пределов (годы %2–%3).")
                           .arg(at.date().toString(QStringLiteral("dd.MM.yyyy")))
                           .arg(kFirstYear)
                           .arg(kLastYear));
    if (std::abs(at.offsetFromUtc()) > kMaxOffsetSeconds)
        throw badValue(QStringLiteral("Неверное смещение от всемирного времени: %1 с.").arg(at.offsetFromUtc()));
}

void checkTexts(const Entry &e)
{
    if (!QStringView(e.text).isValidUtf16() || !QStringView(e.title).isValidUtf16())
        throw badValue(QStringLiteral("Текст сна содержит испорченные символы (половину суррогатной пары)."));
    const qsizetype bytes = e.text.toUtf8().size();
    if (bytes > kMaxTextBytes)
        throw badValue(QStringLiteral("Текст сна слишком длинный: %1 МБ, допускается не больше %2 МБ.")
                           .arg(megabytes(bytes), megabytes(kMaxTextBytes)));
    if (e.title.size() > kMaxTitleLength)
        throw badValue(QStringLiteral("Название сна слишком длинное: %1 знаков, допускается не больше %2.")
                           .arg(e.title.size())
                           .arg(kMaxTitleLength));
    if (e.id.size() > 100)
        throw badValue(QStringLiteral("Слишком длинный идентификатор записи."));
}

void checkScales(const Entry &e)
{
    if (e.clarity && (*e.clarity < 1 || *e.clarity > 4))
        throw badValue(QStringLiteral("Ясность сна задаётся от 1 до 4, а не %1.").arg(*e.clarity));
    if (e.mood && (*e.mood < -2 || *e.mood > 2))
        throw badValue(QStringLiteral("Настроение сна задаётся от -2 до +2, а не %1.").arg(*e.mood));
    if (e.place) {
        const Place &p = *e.place;
        if (!std::isfinite(p.latitude) || p.latitude < -90.0 || p.latitude > 90.0)
            throw badValue(QStringLiteral("Неверная широта: %1 (допускается от -90 до 90).").arg(p.latitude));
        if (!std::isfinite(p.longitude) || p.longitude < -180.0 || p.longitude > 180.0)
            throw badValue(QStringLiteral("Неверная долгота: %1 (допускается от -180 до 180).").arg(p.longitude));
    }
}

} // namespace

Entry normalised(Entry e)
{
    checkMoment(e.at);
    const int offset = e.at.offsetFromUtc();
    const QTime t = e.at.time();
    e.at = QDateTime(e.at.date(), QTime(t.hour(), t.minute(), t.second()), Qt::OffsetFromUTC, offset);
    checkTexts(e);
    checkScales(e);
    e.night = nightOf(e.at);
    QList<DreamKind> kinds;
    for (DreamKind k : kAllKinds)
        if (e.kinds.contains(k))
            kinds << k;
    e.kinds = kinds;
    QList<Tag> tags;
    QSet<QString> seen;
    for (Tag tag : e.tags) {
        tag.text = tag.text.simplified();
        const QString k = dictionary::foldWord(tag.text);
        if (k.isEmpty() || seen.contains(k))
            continue;
        seen.insert(k);
        tags << tag;
    }
    e.tags = tags;
    e.fulfilment = datedFulfilment(e.fulfilment, Clock::current().today());
    return e;
}

} // namespace somnex::diary::store
