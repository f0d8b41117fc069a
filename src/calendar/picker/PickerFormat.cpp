#include "calendar/picker/PickerFormat.h"

namespace somnex::calendar {

namespace {

// A literal for QDateTimeEdit: letters are quoted so that none of them is
// taken for an element; a quote is doubled.
void appendLiteral(QString &out, QChar c)
{
    if (c == u'\'')
        out += QStringLiteral("''");
    else if (c.isLetter())
        out += u'\'' + QString(c) + u'\'';
    else
        out += c;
}

// A quoted literal starting at f[i] (the opening quote); '' inside it (or on
// its own) is one quote. Returns the position after it.
qsizetype quotedLiteral(const QString &f, qsizetype i, QString &out)
{
    const qsizetype n = f.size();
    ++i;
    if (i < n && f[i] == u'\'') {
        appendLiteral(out, u'\'');
        return i + 1;
    }
    while (i < n) {
        if (f[i] != u'\'') {
            appendLiteral(out, f[i]);
            ++i;
        } else if (i + 1 < n && f[i + 1] == u'\'') {
            appendLiteral(out, u'\'');
            i += 2;
        } else {
            return i + 1;
        }
    }
    return i;
}

// A run of one element letter, in pieces of at most longest letters, each
// piece written as piece(length).
template <class Piece>
void elementRun(qsizetype run, qsizetype longest, QString &out, Piece &&piece)
{
    while (run > 0) {
        const qsizetype take = qMin<qsizetype>(run, longest);
        out += piece(take);
        run -= take;
    }
}

// A run of the same letter c outside quotes: the element it stands for in
// QDateTimeEdit's terms, or the letters as a literal.
void formatRun(QChar c, qsizetype run, QString &out)
{
    switch (c.unicode()) {
    case u'd':
    case u'M': elementRun(run, 4, out, [c](qsizetype take) { return QString(take, c); }); break;
    case u'y':
        elementRun(run, 5, out,
                   [](qsizetype take) { return take <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy"); });
        break;
    case u'h':
    case u'H':
    case u'm':
    case u's': elementRun(run, 2, out, [c](qsizetype take) { return QString(take, c); }); break;
    case u't': elementRun(run, 2, out, [](qsizetype) { return QStringLiteral("AP"); }); break;
    default:
        for (qsizetype k = 0; k < run; ++k)
            appendLiteral(out, c);
    }
}

} // namespace

QString toQtDisplayFormat(const QString &f)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = f.size();
    while (i < n) {
        const QChar c = f[i];
        if (c == u'\'') {
            i = quotedLiteral(f, i, out);
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && f[i + run] == c)
            ++run;
        i += run;
        formatRun(c, run, out);
    }
    return out;
}

QString defaultPickerFormat(int style)
{
    if ((style & 0x9) == 0x9)
        return QStringLiteral("H:mm:ss");
    if ((style & 0xC) == 0xC)
        return QStringLiteral("dd.MM.yyyy");
    if (style & 0x4)
        return QStringLiteral("d MMMM yyyy 'г.'");
    return QStringLiteral("dd.MM.yy");
}

} // namespace somnex::calendar
