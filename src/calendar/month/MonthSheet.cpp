#include "calendar/month/MonthSheet.h"

#include "calendar/phase/PhasePicture.h"
#include "platform/core/RussianDates.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace somnex::calendar {

namespace {

QString hhmm(double moment)
{
    return formatMoment(moment, QStringLiteral("HH:mm"));
}

constexpr int kCellLines = 6; // date, lunar days, sign, moon, phase, dreams
constexpr double kLineGap = 1.15;

} // namespace

QString shortPhaseName(PrincipalPhase phase)
{
    switch (phase) {
    case PrincipalPhase::New: return QStringLiteral("Новолуние");
    case PrincipalPhase::FirstQuarter: return QStringLiteral("I четверть");
    case PrincipalPhase::Full: return QStringLiteral("Полнолуние");
    case PrincipalPhase::LastQuarter: return QStringLiteral("III четверть");
    }
    return QString();
}

CellLines cellLines(const MonthDay &d, int dreams)
{
    CellLines c;
    c.date = QString::number(d.date.day());
    c.illumination = QString::number(qRound(d.illumination)) + QStringLiteral("\u00a0%");
    QStringList lunar;
    for (const LunarDaySpan &s : d.lunarDays) {
        if (dateOf(s.start) == d.date)
            lunar << QString::number(s.number) + QStringLiteral(" с ") + hhmm(s.start);
        else
            lunar << QString::number(s.number);
    }
    c.lunarDays = QStringLiteral("☾ ") + lunar.join(QStringLiteral(" · "));
    c.sign = d.signEntry ? QStringLiteral("→ ") + signName(d.signEntry->sign) + QLatin1Char(' ') + hhmm(d.signEntry->at)
                         : signName(d.sign);
    auto event = [](const std::optional<double> &t) { return t ? hhmm(*t) : QStringLiteral("—"); };
    if (d.moon.aboveAllDay)
        c.moon = QStringLiteral("весь день над горизонтом");
    else if (d.moon.belowAllDay)
        c.moon = QStringLiteral("не восходит");
    else
        c.moon = QStringLiteral("↑ ") + event(d.moon.rise) + QStringLiteral("  ↓ ") + event(d.moon.set);
    QStringList phases;
    for (const PhaseInstant &p : d.phases)
        phases << shortPhaseName(p.phase) + QLatin1Char(' ') + hhmm(p.at);
    c.phase = phases.join(QStringLiteral(", "));
    if (dreams > 0)
        c.dreams = QStringLiteral("Снов: ") + QString::number(dreams);
    return c;
}

QSize cellSize(const QFont &font)
{
    const QFontMetrics fm(font);
    QFont bold = font;
    bold.setBold(true);
    const int widest = std::max({fm.horizontalAdvance(QStringLiteral("→ Скорпион 00:00")),
                                 fm.horizontalAdvance(QStringLiteral("☾ 22 · 23 с 00:00")),
                                 QFontMetrics(bold).horizontalAdvance(QStringLiteral("III четверть 00:00"))});
    const int width = widest + fm.height();
    const int height = int(std::ceil(fm.height() * kLineGap * (kCellLines + 0.6)));
    return {width, height};
}

QImage phaseImage(double elongation, double latitude, int size)
{
    // One picture a degree of elongation and size is plenty for a grid.
    static QHash<qint64, QImage> kept;
    const int degree = int(std::lround(elongation)) % 360;
    const qint64 key = (qint64(size) << 16) | (qint64(degree) << 1) | (latitude < 0 ? 1 : 0);
    auto it = kept.constFind(key);
    if (it != kept.constEnd())
        return *it;
    if (kept.size() > 2048)
        kept.clear();
    QImage picture = keyedPhaseImage(seenFrom(drawMoonAtElongation(degree, size * 2), latitude), size);
    kept.insert(key, picture);
    return picture;
}

QRect paintDayCell(QPainter &p, const QRect &rect, const MonthDay &d, int dreams, double latitude,
                   const SheetColours &colours, bool today)
{
    const CellLines c = cellLines(d, dreams);
    const QFont base = p.font();
    const QFontMetrics fm(base);
    const int line = int(std::ceil(fm.height() * kLineGap));
    const int pad = std::max(2, fm.height() / 4);
    const QRect inner = rect.adjusted(pad, pad / 2, -pad, -pad / 2);
    p.save();
    if (today) {
        QPen pen(colours.today);
        pen.setWidth(std::max(2, fm.height() / 8));
        p.setPen(pen);
        p.drawRect(rect.adjusted(1, 1, -2, -2));
    }
    // The date, bigger, with the phase picture and the lit share at the right.
    QFont big = base;
    big.setBold(true);
    if (base.pointSizeF() > 0)
        big.setPointSizeF(base.pointSizeF() * 1.3);
    else
        big.setPixelSize(int(base.pixelSize() * 1.3));
    p.setFont(big);
    p.setPen(colours.text);
    const QRect dateRect(inner.left(), inner.top(), inner.width() / 2, int(line * 1.3));
    p.drawText(dateRect, Qt::AlignLeft | Qt::AlignVCenter, c.date);
    p.setFont(base);
    const int picture = std::max(8, int(line * 1.25));
    // Drawn at most 64 pixels wide and scaled: on a printer's page a finer
    // picture would cost seconds and show nothing more.
    const QImage moon = phaseImage(d.elongation, latitude, std::min(picture, 64));
    const QRect lit(inner.right() - fm.horizontalAdvance(QStringLiteral("100\u00a0%")), inner.top(),
                    fm.horizontalAdvance(QStringLiteral("100\u00a0%")), int(line * 1.3));
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(lit.left() - picture - pad, inner.top() + (lit.height() - picture) / 2, picture, picture), moon);
    p.setPen(colours.dim);
    p.drawText(lit, Qt::AlignRight | Qt::AlignVCenter, c.illumination);

    int y = dateRect.bottom() + 1;
    auto row = [&](const QString &text, const QColor &colour, bool bold = false) {
        QRect r(inner.left(), y, inner.width(), line);
        y += line;
        if (text.isEmpty())
            return QRect();
        QFont f = base;
        f.setBold(bold);
        p.setFont(f);
        p.setPen(colour);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(f).elidedText(text, Qt::ElideRight, r.width()));
        p.setFont(base);
        return r;
    };
    row(c.lunarDays, colours.text);
    row(c.sign, colours.dim);
    row(c.moon, colours.dim);
    row(c.phase, colours.accent, true);
    const QRect dreamsRect = row(c.dreams, colours.accent);
    p.restore();
    return dreamsRect;
}

namespace {

// The largest font whose cell fits a cell of the page, from a first guess.
QFont fittingCellFont(QFont font, int guess, double cellWidth, double cellHeight)
{
    int pixels = std::max(5, guess);
    for (; pixels > 5; --pixels) {
        font.setPixelSize(pixels);
        const QSize need = cellSize(font);
        if (need.width() <= cellWidth && need.height() <= cellHeight)
            break;
    }
    font.setPixelSize(pixels);
    return font;
}

} // namespace

namespace {

// The title and the place of the page; the rectangle below them.
QRect paintPageHeading(QPainter &p, const QRect &page, const LunarMonth &m, const QString &placeLine, int unit)
{
    QFont heading = p.font();
    heading.setBold(true);
    heading.setPixelSize(int(unit * 1.6));
    const QFont font = p.font();
    p.setFont(heading);
    p.setPen(Qt::black);
    const QRect titleRect(page.left(), page.top(), page.width(), int(unit * 2.2));
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Лунный календарь на месяц: ") + dates::monthTitle(m.year, m.month));
    p.setFont(font);
    const QRect placeRect(page.left(), titleRect.bottom(), page.width(), int(unit * 1.5));
    p.drawText(placeRect, Qt::AlignLeft | Qt::AlignVCenter, placeLine);
    return page.adjusted(0, placeRect.bottom() - page.top() + unit / 2, 0, 0);
}

// The month's principal phases at the foot of the page; the rectangle above.
QRect paintPageFoot(QPainter &p, const QRect &page, const LunarMonth &m, int unit)
{
    QStringList phases;
    for (const PhaseInstant &ph : m.phases)
        phases << phaseName(ph.phase) + QLatin1Char(' ') + dates::dayAndMonth(dateOf(ph.at)) + QLatin1Char(' ')
                      + formatMoment(ph.at, QStringLiteral("HH:mm"));
    const QRect footRect(page.left(), page.bottom() - int(unit * 2.6), page.width(), int(unit * 2.6));
    p.setPen(Qt::black);
    p.drawText(footRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, phases.join(QStringLiteral(" · ")));
    return page.adjusted(0, 0, 0, -(page.bottom() - footRect.top() + unit / 2));
}

} // namespace

void paintMonthPage(QPainter &p, const QRect &page, const LunarMonth &m, const QMap<QDate, int> &dreams,
                    const QString &placeLine, const QDate &today)
{
    if (m.days.isEmpty())
        return;
    p.save();
    const SheetColours colours{Qt::black, QColor(0x40, 0x40, 0x40), QColor(0x1d, 0x3f, 0x9a), QColor(0x1d, 0x3f, 0x9a)};
    QFont font = p.font();
    const int unit = page.height() / 60; // a line of the heading
    font.setPixelSize(std::max(6, unit));
    p.setFont(font);
    const QRect gridRect = paintPageFoot(p, paintPageHeading(p, page, m, placeLine, unit), m, unit);

    // The grid: a heading row of weekdays, then the weeks.
    const int offset = QDate(m.year, m.month, 1).dayOfWeek() - 1;
    const int weeks = (offset + int(m.days.size()) + 6) / 7;
    const int headHeight = int(unit * 1.5);
    const double cellWidth = gridRect.width() / 7.0;
    const double cellHeight = double(gridRect.height() - headHeight) / weeks;
    const QFont cellFont =
        fittingCellFont(font, int(cellHeight / (kLineGap * (kCellLines + 1.2))), cellWidth, cellHeight);
    p.setPen(Qt::black);
    for (int wd = 1; wd <= 7; ++wd)
        p.drawText(QRect(int(gridRect.left() + (wd - 1) * cellWidth), gridRect.top(), int(cellWidth), headHeight),
                   Qt::AlignCenter, dates::weekdayShort(wd));
    for (qsizetype i = 0; i < m.days.size(); ++i) {
        const int cell = offset + int(i), row = cell / 7, column = cell % 7;
        const QRect r(int(gridRect.left() + column * cellWidth), int(gridRect.top() + headHeight + row * cellHeight),
                      int(cellWidth), int(cellHeight));
        p.setPen(QPen(QColor(0x90, 0x90, 0x90), 0));
        p.drawRect(r);
        p.setFont(cellFont);
        const MonthDay &d = m.days[i];
        paintDayCell(p, r, d, dreams.value(d.date), m.place.Latitude, colours, d.date == today);
    }
    p.restore();
}

} // namespace somnex::calendar
