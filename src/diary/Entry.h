#pragma once
// One dream of the diary: when it was dreamt, what it was, how it is marked,
// its symbols and what the lunar calendar said of its moment.
//
// A dream is dated to a local moment with its own offset from universal time
// (a QDateTime with Qt::OffsetFromUTC, whole seconds) and, when known, the
// IANA name of the zone it was written in. The night it belongs to follows
// the noon rule (nightOf). Everything here is plain data; DiaryStore keeps it.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace somnex::diary {

// ---- kinds, tags, the fulfilment mark ------------------------------------

// What kind of dream it was; a dream may be of several kinds. Stored as the
// stable codes of kindCode, never as the Russian names.
enum class DreamKind {
    Nightmare,      // "nightmare": кошмар
    Recurring,      // "recurring": повторяющийся
    FalseAwakening, // "false-awakening": ложное пробуждение
    SleepParalysis, // "sleep-paralysis": сонный паралич
};
inline constexpr DreamKind kAllKinds[] = {DreamKind::Nightmare, DreamKind::Recurring, DreamKind::FalseAwakening,
                                          DreamKind::SleepParalysis};
// The stable code ("nightmare") and the Russian name ("кошмар").
QString kindCode(DreamKind kind);
QString kindName(DreamKind kind);
// The kind of a code or of a Russian name (letter case ignored); none for
// anything else.
std::optional<DreamKind> kindFromCode(QStringView codeOrName);

// A free word the user tags a dream with, and what it names.
enum class TagKind {
    Plain,  // "plain": any word
    Person, // "person": someone in the dream
    Place,  // "place": where the dream happened
};
QString tagKindCode(TagKind kind);
std::optional<TagKind> tagKindFromCode(QStringView code);

struct Tag {
    QString text; // as the user wrote it (trimmed); tags compare ignoring letter case
    TagKind kind = TagKind::Plain;

    friend bool operator==(const Tag &, const Tag &) = default;
};

// Whether the dream came true, as the user marked it later.
enum class Mark {
    None,   // "none": not marked
    Yes,    // "yes": сбылся
    Partly, // "partly": сбылся частично
    No,     // "no": не сбылся
};
// The stable code ("yes"), also the command line's word, and the Russian
// name ("сбылся", "частично", "не сбылся", "" for None).
QString markCode(Mark mark);
QString markName(Mark mark);
std::optional<Mark> markFromCode(QStringView code);

struct Fulfilment {
    Mark mark = Mark::None;
    QDate markedOn; // the local date the mark was set; invalid with Mark::None
    QString note;   // optional

    friend bool operator==(const Fulfilment &, const Fulfilment &) = default;
};

// The one rule of the mark's date: none without a mark; a mark set without
// a date was set today.
Fulfilment datedFulfilment(Fulfilment f, const QDate &today);

// ---- place and symbols ---------------------------------------------------

// The place the lunar day is computed for (degrees, north and east positive).
struct Place {
    QString name; // may be empty
    double latitude = 0.0;
    double longitude = 0.0;

    friend bool operator==(const Place &, const Place &) = default;
};

// A dream symbol: a headword of the dream books found in the dream's text, or
// one the user added or removed by hand. Hand edits are kept when the text
// changes and the symbols are found again (mergeSymbols in Symbols.h).
struct Symbol {
    enum class Origin {
        Found,         // "found": found in the text
        AddedByHand,   // "added": the user added it
        RemovedByHand, // "removed": found, but the user took it away; not shown
    };
    QString headword;
    Origin origin = Origin::Found;

    friend bool operator==(const Symbol &, const Symbol &) = default;
};

// ---- the lunar snapshot --------------------------------------------------

// What the lunar calendar showed for the dream's moment and place, kept with
// the dream so that it reads the same years later whatever tables or code
// change. Computed by computeSnapshot (LunarSnapshot.h).
struct LunarSnapshot {
    // Whether the lunar day was found (the engine can fail at the ends of its
    // range); the weekday and month-day texts are filled even when not.
    bool found = false;
    int lunarDay = 0;     // 1 to 30 when found
    QDateTime start;      // the lunar day's start, local, in the dream's own offset
    QDateTime end;        // its end, local, in the dream's own offset
    int phasePicture = 0; // calendar::phasePictureFor(lunarDay) when found, else 0
    QString lunarDayText; // how dreams of this lunar day come true ("" when not found)
    QString weekdayText;  // ... of this day of the week
    QString monthDayText; // ... of this day of the month

    friend bool operator==(const LunarSnapshot &, const LunarSnapshot &) = default;
};

// ---- the entry -----------------------------------------------------------

// The longest text a dream may hold, in bytes of UTF-8 (16 MiB). DiaryStore
// refuses a longer one with a Russian message.
inline constexpr qsizetype kMaxTextBytes = qsizetype(16) * 1024 * 1024;
// The longest title, in UTF-16 code units.
inline constexpr qsizetype kMaxTitleLength = 1000;

struct Entry {
    // A UUID without braces ("0f8c…-…"); DiaryStore::add gives one when empty.
    QString id;
    QDateTime created; // UTC, set by the store
    QDateTime updated; // UTC, set by the store on every change

    // The moment the dream is dated to: local date and time with its offset
    // (Qt::OffsetFromUTC, whole seconds). Default: now (momentNow()).
    QDateTime at;
    // The IANA zone name of the moment ("Europe/Moscow") when known, else "".
    QString zone;
    // The night the dream belongs to, nightOf(at); set by the store.
    QDate night;

    QString title; // may be empty: see displayTitle()
    QString text;  // any Unicode, NUL included, kept exactly; at most kMaxTextBytes of UTF-8
    bool lucid = false;
    std::optional<int> clarity; // 1 (dim) to 4 (vivid), or none
    std::optional<int> mood;    // -2 (very bad) to +2 (very good), or none
    QList<DreamKind> kinds;     // a set: each kind at most once, in enum order
    QList<Tag> tags;            // each text at most once (letter case ignored)
    std::optional<Place> place; // none: the lunar day is not computed
    Fulfilment fulfilment;
    QList<Symbol> symbols; // in the order found, hand additions after
    LunarSnapshot lunar;   // set by the store from at and place
    QDateTime deletedAt;   // UTC; valid while the entry is in the trash

    // The title, or when it is empty (or only spaces) the first words of the
    // text (about six, with "…" when the text goes on), or "Без названия"
    // for an empty text.
    QString displayTitle() const;
    // The headwords of the symbols shown (all but those removed by hand).
    QStringList symbolHeadwords() const;
};

// What the diary's list shows of an entry, read without its text.
struct EntrySummary {
    QString id;
    QDateTime at; // local with its offset
    QDate night;
    QString displayTitle;
    int lunarDay = 0; // 0 when not found
    bool lucid = false;
    QList<DreamKind> kinds;
    Mark mark = Mark::None;
    QDateTime deletedAt; // valid only in DiaryStore::trash()
};

// The dreams among the summaries (entries with something written: an empty
// entry is a night without a dream) by the date their night ends on, the
// night "на" that date, for the dates from first to last.
QMap<QDate, int> dreamsByMorning(const QList<EntrySummary> &entries, const QDate &first, const QDate &last);

// ---- moments ---------------------------------------------------------------

// The night a moment belongs to: before 12:00 local it is the night that
// began the evening before (the date minus one day), from 12:00 on the
// moment's own date. Invalid for an invalid moment.
QDate nightOf(const QDateTime &at);

// The current local time to the second with the system's offset
// (Qt::OffsetFromUTC), and the system zone's IANA name ("" when unknown).
QDateTime momentNow();
QString systemZoneName();

// A local date and time in the offset the given IANA zone (or the system's
// zone for "") has at that moment, whole seconds; an invalid QDateTime when
// the zone is unknown.
QDateTime momentIn(const QDate &date, const QTime &time, const QString &zone = {});

// The moment a new dream is written down for: the end of the night just
// past. Before noon that is now; from noon on it is this morning at the
// waking time, so that a dream noted at 13:07 is the night's, not the
// coming one's, with that morning's offset.
// An invalid waking time is 07:00.
QDateTime newDreamMoment(const QDateTime &now, QTime waking = QTime(), const QString &zone = {});

// "2026-12-09T03:15:00+03:00", the form of the command line's JSON.
QString isoWithOffset(const QDateTime &at);

} // namespace somnex::diary
