#!/usr/bin/env python3
"""Figures of the bundled dream books, for judging their text.

Usage: scripts/book-figures.py [--dreams FILE] [--details] [BOOK.txt ...]
Without books, every data/books/*.txt. Prints per book: entries, lines,
lines per entry, the share of lines with "– к", lines with "образ", first
lines of the form "X во сне", the most frequent bare endings ("– к прибыли."),
then the concepts filed under two headwords (across all the books) and the
common-dreams check: for each symbol of tests/data/common-dreams.txt and each
of its situations, whether the entry of that symbol in the folk and the
family book speaks of the situation.

common-dreams.txt: one symbol a line, "Headword: situation, situation, ...";
a situation is a few words separated by blanks; it is found when every word
of it has its stem (the word less two letters, at most 5 and at least 3
letters, ё taken for е) in the entry's text. "#" starts a comment.
"""
import argparse
import collections
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Pairs known to be one concept in two grammatical shapes that the general
# rule below cannot see (a fleeting vowel, a synonym of the same word).
KNOWN_PAIRS = [
    ("Вошь", "Вши"), ("Червь", "Червяк"), ("Червь", "Черви"), ("Червяк", "Червяки"),
    ("Сосед", "Соседи"), ("Гость", "Гости"), ("Нога", "Ноги"), ("Облако", "Облака"),
    ("Поиск", "Поиски"), ("Игрушка", "Игрушки"), ("Ребёнок", "Дети"), ("Человек", "Люди"),
    ("Ухо", "Уши"), ("Глаз", "Глаза"), ("Зуб", "Зубы"), ("Волос", "Волосы"),
    ("Цветок", "Цветы"), ("Лист", "Листья"), ("Брат", "Братья"), ("Друг", "Друзья"),
    ("Стул", "Стулья"), ("Дерево", "Деревья"), ("Перо", "Перья"), ("Сын", "Сыновья"),
    ("Дочь", "Дочери"), ("Мать", "Матери"), ("Мышь", "Мыши"), ("Курица", "Куры"),
    ("Котёнок", "Котята"), ("Щенок", "Щенки"), ("Цыплёнок", "Цыплята"), ("Ягода", "Ягоды"),
    ("Муравей", "Муравьи"), ("Воробей", "Воробьи"), ("Соловей", "Соловьи"), ("Улей", "Ульи"),
    ("Платок", "Платки"), ("Орех", "Орехи"), ("Гриб", "Грибы"), ("Сапог", "Сапоги"),
    ("Деньга", "Деньги"), ("Качель", "Качели"), ("Сани", "Санки"), ("Ножницы", "Ножницы"),
]

# Different concepts that the general singular/plural rule would take for one.
NOT_PAIRS = {
    ("Мука", "Муки"),      # flour / torments
    ("Лес", "Леса"),       # a forest / scaffolding
    ("Час", "Часы"),       # an hour / a clock
    ("Очко", "Очки"),      # a point / spectacles
    ("Весы", "Вес"),
    ("Дух", "Духи"),       # a spirit / perfume
    ("Духи", "Дух"),
    ("Сутка", "Сутки"),
    ("Деньга", "Деньги"),
    ("Пара", "Пары"),
    ("Право", "Права"),
    ("Роды", "Род"),
    ("Род", "Роды"),       # kin / childbirth
    ("Выбор", "Выборы"),   # a choice / elections
    ("Гонка", "Гонки"),
    ("Шахта", "Шахматы"),
    ("Сеть", "Сети"),
    ("Поминка", "Поминки"),
    ("Качель", "Качели"),
    ("Сани", "Санки"),
    ("Вино", "Вина"),      # wine / guilt
    ("Ухо", "Уха"),        # an ear / fish soup
    ("Карта", "Карты"),    # a map / playing cards
}

VOWELS = "аеёиоуыэюя"


def plural_forms(word):
    """Nominative plurals a noun in the nominative singular may take."""
    w = word.lower()
    out = set()
    last = w[-1:]
    if last in "аяь":
        stem = w[:-1]
        out.update({stem + "и", stem + "ы"})
        if last == "я":
            out.add(stem + "и")
    elif last == "о":
        out.add(w[:-1] + "а")
    elif last == "е":
        out.update({w[:-1] + "я", w[:-1] + "а"})
    elif last == "й":
        out.add(w[:-1] + "и")
        if w.endswith("ей") and len(w) > 4:  # муравей -> муравьи, улей -> ульи
            out.add(w[:-2] + "ьи")
    elif last not in VOWELS:
        # "-а" (дома, глаза) is left to the known pairs: it is far more often
        # a feminine noun of the same root (кум / кума, банк / банка)
        out.update({w + "ы", w + "и"})
        # fleeting vowel: звонок -> звонки, огурец -> огурцы
        if len(w) > 3 and w[-2] in "оеё":
            out.update({w[:-2] + w[-1] + "и", w[:-2] + w[-1] + "ы"})
    return out


def read_book(path):
    entries = []  # (headword, [lines], [links])
    cur = None
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if line.startswith("#"):
                continue
            if line.startswith("== "):
                cur = [line[3:].strip(), [], []]
                entries.append(cur)
            elif cur is None:
                continue
            elif line.startswith("=>"):
                cur[2] = [n.strip() for n in line[2:].lstrip("|").split(";") if n.strip()]
            elif line.strip():
                cur[1].append(line.strip())
    return entries


BARE = re.compile(r"\s[–-]\s+к\s+([а-яё]+)\.?$", re.IGNORECASE)
DASH_K = re.compile(r"\s[–-]\s+к(о)?\s")
FIRST_VO_SNE = re.compile(r"^[А-ЯЁ][а-яё-]*(\s+[а-яё-]+)?\s+во сне\b")


def figures(name, entries, top):
    lines = [l for _, ls, _ in entries for l in ls]
    n = len(entries)
    bare = collections.Counter()
    for l in lines:
        m = BARE.search(l)
        if m:
            bare[m.group(1).lower()] += 1
    out = []
    out.append(f"{name}:")
    out.append(f"  entries: {n}")
    out.append(f"  lines: {len(lines)}")
    out.append(f"  lines per entry: {len(lines) / n:.2f}" if n else "  lines per entry: -")
    by_count = collections.Counter(len(ls) for _, ls, _ in entries)
    out.append("  entries by line count: " + ", ".join(f"{k}: {by_count[k]}" for k in sorted(by_count)))
    dk = sum(1 for l in lines if DASH_K.search(l))
    out.append(f"  lines with \"– к\": {dk} ({100.0 * dk / len(lines):.1f} %)" if lines else "")
    out.append(f"  lines with \"образ\": {sum(1 for l in lines if 'образ' in l.lower())}")
    out.append(f"  first lines \"X во сне\": {sum(1 for _, ls, _ in entries if ls and FIRST_VO_SNE.match(ls[0]))}")
    out.append(f"  bare one-word endings (\"– к X.\"): {sum(bare.values())}")
    out.append("  most frequent: " + ", ".join(f"к {w} {c}" for w, c in bare.most_common(top)))
    return out


def doubled_concepts(books):
    """Pairs (book, headword, book, headword) that are one concept twice."""
    where = collections.defaultdict(list)  # lower headword -> [(book, headword)]
    for name, entries in books.items():
        for h, _, _ in entries:
            where[h.lower()].append((name, h))
    found = []
    seen = set()

    def note(a, b):
        if (a, b) in NOT_PAIRS or (b, a) in NOT_PAIRS or a == b:
            return
        la, lb = a.lower(), b.lower()
        if la in where and lb in where and (la, lb) not in seen:
            seen.add((la, lb))
            found.append((a, [bk for bk, _ in where[la]], b, [bk for bk, _ in where[lb]]))

    for a, b in KNOWN_PAIRS:
        note(a, b)
    heads = {h.lower(): h for h in where}
    plain = {h.replace("ё", "е"): h for h in heads}  # звезда / звёзды
    for la, a in sorted(heads.items()):
        for p in plural_forms(a):
            p = plain.get(p.replace("ё", "е"))
            if p and p != la:
                note(where[la][0][1], where[p][0][1])
    return found


def stems(phrase):
    out = []
    for w in re.findall(r"[а-яё]+", phrase.lower().replace("ё", "е")):
        out.append(w[: max(3, min(5, len(w) - 2))])
    return out


def read_dreams(path):
    dreams = []
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            head, _, rest = line.partition(":")
            situations = [s.strip() for s in rest.split(",") if s.strip()]
            dreams.append((head.strip(), situations))
    return dreams


def dreams_check(books, dreams, details):
    out = ["common dreams:"]
    for name in sorted(books):
        if "psiholog" in name:
            continue
        index = {h.lower(): ls for h, ls, _ in books[name]}
        have = total = found = 0
        missing = []
        for head, situations in dreams:
            ls = index.get(head.lower())
            if ls is None:
                continue
            have += 1
            text = " ".join(ls).lower().replace("ё", "е")
            for sit in situations:
                total += 1
                if all(st in text for st in stems(sit)):
                    found += 1
                else:
                    missing.append(f"{head}: {sit}")
        out.append(f"  {name}: {have} of {len(dreams)} symbols are headwords; "
                   f"situations found {found} of {total}")
        if details and missing:
            out.extend("    missing " + m for m in missing)
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("books", nargs="*")
    ap.add_argument("--dreams", default=os.path.join(ROOT, "tests/data/common-dreams.txt"))
    ap.add_argument("--details", action="store_true", help="list the situations not found")
    ap.add_argument("--top", type=int, default=10)
    a = ap.parse_args()
    paths = a.books or sorted(glob.glob(os.path.join(ROOT, "data/books/*.txt")))
    paths = [p for p in paths if not p.endswith("CMakeLists.txt")]
    books = {os.path.basename(p): read_book(p) for p in paths}
    for name, entries in books.items():
        print("\n".join(figures(name, entries, a.top)))
    print("concepts under two headwords:")
    pairs = doubled_concepts(books)
    for a_, ba, b_, bb in pairs:
        print(f"  {a_} ({', '.join(ba)}) / {b_} ({', '.join(bb)})")
    if not pairs:
        print("  none")
    if os.path.exists(a.dreams):
        print("\n".join(dreams_check(books, read_dreams(a.dreams), a.details)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
