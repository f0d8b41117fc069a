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

} // namespace

QString toQtDisplayFormat(const QString &f)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = f.size();
    while (i < n) {
        const QChar c = f[i];
        if (c == u'\'') {
            // A quoted literal; '' inside it (or on its own) is one quote.
            ++i;
            if (i < n && f[i] == u'\'') {
                appendLiteral(out, u'\'');
                ++i;
                continue;
            }
            while (i < n) {
                if (f[i] == u'\'') {
                    if (i + 1 < n && f[i + 1] == u'\'') {
                        appendLiteral(out, u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                appendLiteral(out, f[i]);
                ++i;
            }
            continue;
        }
        qsizetype run = 1;
        while (i + run < n && f[i + run] == c)
            ++run;
        i += run;
        switch (c.unicode()) {
        case u'd':
        case u'M':
            while (run > 0) {
                const qsizetype take = qMin<qsizetype>(run, 4);
                out += QString(take, c);
                run -= take;
            }
            break;
        case u'y':
            while (run > 0) {
                const qsizetype take = qMin<qsizetype>(run, 5);
                out += take <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
                run -= take;
            }
            break;
        case u'h':
        case u'H':
        case u'm':
        case u's':
            while (run > 0) {
                const qsizetype take = qMin<qsizetype>(run, 2);
                out += QString(take, c);
                run -= take;
            }
            break;
        case u't':
            while (run > 0) {
                out += QStringLiteral("AP");
                run -= qMin<qsizetype>(run, 2);
            }
            break;
        default:
            for (qsizetype k = 0; k < run; ++k)
                appendLiteral(out, c);
        }
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
