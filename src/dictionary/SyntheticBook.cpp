#include "dictionary/SyntheticBook.h"

#include <QSet>

#include <random>

namespace somnex::dictionary {

BookContent syntheticBook(int words, uint32_t seed, const QString &name)
{
    static const char16_t *const syllables[] = {u"ба", u"ве", u"го", u"да", u"ер", u"жи", u"за", u"ин", u"ко", u"ла",
                                                u"ми", u"но", u"ор", u"пе", u"ра", u"су", u"то", u"ул", u"фа", u"хо",
                                                u"це", u"ча", u"ше", u"щи", u"эн", u"юр", u"ям", u"лё", u"мо", u"ни",
                                                u"ск", u"ст", u"тр", u"вр", u"ой", u"ка", u"ре", u"ви", u"лу", u"ды"};
    static const char16_t *const starts[] = {u"Видеть во сне", u"Держать в руках", u"Найти во сне", u"Потерять",
                                             u"Покупать",      u"Увидеть издали",  u"Говорить о"};
    static const char16_t *const ends[] = {u"к радости и доброму здоровью",
                                           u"к хлопотам и мелким неприятностям",
                                           u"к скорой встрече со старым другом",
                                           u"к переменам в делах",
                                           u"к прибыли, если не будете спешить",
                                           u"к дальней дороге",
                                           u"к семейному счастью",
                                           u"к пустым тревогам",
                                           u"к известию издалека"};
    static const char16_t *const extras[] = {u"Если при этом светит солнце, исполнение желаний близко.",
                                             u"Для женщины такой сон обещает внимание и подарки.",
                                             u"Сон, увиденный под утро, сбудется скорее.",
                                             u"Разбитый или сломанный предмет толкуется наоборот."};

    std::mt19937 rng(seed);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    constexpr int nSyl = int(std::size(syllables));

    BookContent book;
    book.name = name;
    book.heading = name;
    book.color = QString::number(std::uniform_int_distribution<uint32_t>(0, 0xFFFFFF)(rng));
    QSet<QString> seen;
    QStringList heads;
    while (heads.size() < words) {
        QString w;
        const int parts = 2 + pick(3);
        for (int i = 0; i < parts; ++i)
            w += QString::fromUtf16(syllables[pick(nSyl)]);
        while (seen.contains(w))
            w += QString::fromUtf16(syllables[pick(nSyl)]);
        seen.insert(w);
        w[0] = w[0].toUpper();
        heads << w;
    }
    for (const QString &w : heads) {
        BookEntry e;
        e.headword = w;
        const int sentences = 2 + pick(3);
        QStringList lines;
        for (int i = 0; i < sentences; ++i) {
            QString line = QString::fromUtf16(starts[pick(int(std::size(starts)))]) + u' ' + w.toLower()
                           + QStringLiteral(" – ") + QString::fromUtf16(ends[pick(int(std::size(ends)))]) + u'.';
            if (pick(2))
                line += u' ' + QString::fromUtf16(extras[pick(int(std::size(extras)))]);
            lines << line;
        }
        e.text = lines.join(QStringLiteral("\r\n"));
        const int links = pick(4);
        if (links) {
            QStringList l;
            for (int i = 0; i < links; ++i)
                l << heads[pick(int(heads.size()))];
            e.links = l.join(QStringLiteral("; ")) + u'.';
        }
        book.entries.push_back(std::move(e));
    }
    return book;
}

} // namespace somnex::dictionary
