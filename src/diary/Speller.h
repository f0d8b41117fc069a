#pragma once
// Russian spelling for the diary: the Russian Hunspell dictionary
// (hunspell-ru), the books' headwords and the user's tags, people and places
// as known words, and a personal word list the user adds to. "е" stands for
// "ё" ("елка" is as good as "ёлка"). A Speller is used from one thread at a
// time: made on a worker (the dictionary takes a moment to load) and handed
// to the window.

#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class Hunspell;

namespace somnex::diary {

class Speller {
public:
    ~Speller();
    Speller(const Speller &) = delete;
    Speller &operator=(const Speller &) = delete;

    // The Russian dictionary from its folder (SOMNEX_HUNSPELL_DIR, else
    // /usr/share/hunspell), with the personal list at personalPath; none when
    // the dictionary is not installed.
    static std::unique_ptr<Speller> load(const QString &personalPath);
    static QString dictionaryFolder();
    // "Словарь русского языка не установлен (hunspell-ru)" when it is not.
    static QString missingNote();

    // Whether a word is spelt right: known, in the personal list, skipped
    // this session, or so in the dictionary (with ё read as е too). Words
    // with Latin letters or digits, and single letters, are not checked.
    bool correct(const QString &word) const;
    // Up to max spellings the dictionary offers instead.
    QStringList suggestions(const QString &word, int max = 5) const;

    // Words taken as right (headwords, tags): letter case and ё ignored.
    void addKnown(const QStringList &words);
    // Skipped for this session ("Пропустить").
    void ignore(const QString &word);
    // Added to the personal list, written at once and atomically. False,
    // with the reason, when the list could not be written (the word is
    // still taken for this session).
    bool addToPersonal(const QString &word, QString *why = nullptr);
    // What was wrong with the personal list when it was read (damaged,
    // unreadable); empty when nothing was.
    QString personalProblem() const { return personalProblem_; }

    static QString folded(const QString &word);

private:
    Speller() = default;
    bool inDictionary(const QString &word) const;

    std::unique_ptr<Hunspell> hunspell_;
    QSet<QString> known_, personal_, ignored_;
    QString personalPath_, personalProblem_;
};

} // namespace somnex::diary
