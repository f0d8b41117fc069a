// Feeds arbitrary UTF-16 text (lone surrogates, NUL, combining marks
// included) to the symbol finder: its marks must lie inside the text, in
// order and apart, name headwords of the list, and finding around any range
// must give what finding in the whole text gives.
#include "dictionary/SymbolFinder.h"
#include "dictionary/WordIndex.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const somnex::dictionary::SymbolFinder &finder()
{
    static const somnex::dictionary::SymbolFinder f = [] {
        somnex::dictionary::WordIndex words;
        std::vector<QString> list;
        for (const char *w : {"Кот", "Лес", "Кольцо", "Обручальное кольцо", "Пила", "Печь", "Баба-яга", "Змей Горыныч",
                              "День рождения", "Мать", "Стекло", "Пожарный", "Часы", "Друг", "Зеркало", "Сон во сне"})
            list.push_back(QString::fromUtf8(w));
        words.addRun(std::move(list));
        words.finish();
        somnex::dictionary::SymbolFinder built;
        built.build(words);
        return built;
    }();
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const qsizetype units = qsizetype((size - 4) / 2);
    QString text(units, Qt::Uninitialized);
    std::memcpy(text.data(), data + 4, size_t(units) * 2);
    const auto &f = finder();
    const std::vector<somnex::dictionary::SymbolMark> whole = f.find(text);
    qsizetype end = 0;
    for (const somnex::dictionary::SymbolMark &m : whole) {
        if (m.start < end || m.length <= 0 || m.start + m.length > text.size() || m.items.empty()
            || m.item != m.items.front() || m.item < 0 || m.item >= 16)
            std::abort();
        end = m.start + m.length;
    }
    const qsizetype from = units ? qsizetype((data[0] | data[1] << 8) % (units + 1)) : 0;
    const qsizetype to = from + qsizetype((data[2] | data[3] << 8) % (units - from + 1));
    somnex::dictionary::SymbolFinder::Range range;
    const std::vector<somnex::dictionary::SymbolMark> part = f.find(text, from, to, &range);
    if (range.start > from || range.end < to || range.end > text.size())
        std::abort();
    std::vector<somnex::dictionary::SymbolMark> expected;
    for (const somnex::dictionary::SymbolMark &m : whole)
        if (m.start >= range.start && m.start < range.end)
            expected.push_back(m);
    if (part != expected)
        std::abort();
    return 0;
}
