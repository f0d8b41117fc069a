#pragma once
// The forms a headword takes in running Russian text, built from the
// headword's own letters: its declension (or, for the few verbs, its
// conjugation) chosen by its ending, the fleeting vowels of its stem where
// the ending shows one of Russian's regular alternations, and a short table
// of irregular plurals.
//
// Why generate forms rather than compare stems: the Snowball stemmer cuts any
// ending it knows off any word, so an adjective and a noun, or a verb and a
// noun, fall on one stem ("белое" and "бельё" both give "бел"). A form built
// from the headword's own paradigm can only be a form of that word; a
// generated form that is not a word at all ("кошок") does no harm, since no
// text contains it.
//
// Forms come in two grades. Core forms are the regular paradigm. Derived
// forms are less certain (fleeting vowels, the singular of a plural
// headword); the finder drops a derived form wherever it is a core form of
// another headword ("вино" is a form of Вино, never of Вина).

#include <QString>
#include <QStringView>

#include <vector>

namespace somnex::dictionary {

struct WordForm {
    QString text; // folded (lower case, ё as е)
    bool derived = false;
};

// The forms of every word of a headword, word by word. Adjectives and the
// head noun of a phrase inflect, words after the head noun stay as written
// ("конца света", "сна во сне"), a capitalised name inflects too
// ("Змея Горыныча"). A hyphenated word ("Баба-яга") inflects in each part.
std::vector<std::vector<WordForm>> headwordForms(QStringView headword);

// Whether a folded word has an adjective's ending (a headword like
// "Пожарный", or the first word of "Белый цвет").
bool isAdjectival(QStringView foldedWord);

// Synonyms a dream report uses for a headword, with their forms: "мама" and
// "папа" for Мать and Отец, "беременна" for Беременность. The key is the
// folded headword they lead to.
struct Alias {
    QStringView headword; // folded
    std::vector<WordForm> forms;
};
const std::vector<Alias> &symbolAliases();

} // namespace somnex::dictionary
