#pragma once
// A month of the Moon drawn with a painter: one date's cell, as the month
// window's grid shows it, and the whole month on one page, as it is
// printed. The same drawing serves the screen, the printer and PDF.

#include "calendar/lunarday/LunarMonth.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMap>
#include <QRect>

class QPainter;

namespace somnex::calendar {

struct SheetColours {
    QColor text;   // dates and times
    QColor dim;    // secondary lines
    QColor accent; // principal phases, the dreams' count
    QColor today;  // the frame of today's date
};

// The lines of one date's cell, top to bottom.
struct CellLines {
    QString date;         // "10"
    QString illumination; // "63 %"
    QString lunarDays;    // "☾ 21 · 22 с 23:12"
    QString sign;         // "Лев" or "→ Дева 14:02"
    QString moon;         // "↑ 23:12  ↓ 13:05"
    QString phase;        // "Полнолуние 04:28" or empty
    QString dreams;       // "Снов: 2" or empty
};
CellLines cellLines(const MonthDay &d, int dreams);

// The short name of a principal phase in a cell: "Новолуние", "I четверть",
// "Полнолуние", "III четверть".
QString shortPhaseName(PrincipalPhase phase);

// The size a cell needs in the font given.
QSize cellSize(const QFont &font);

// Paints a date's cell into rect; latitude turns the phase picture as the
// Moon is seen there. Returns the rectangle of the dreams' count (empty
// when there are none), which a click opens.
QRect paintDayCell(QPainter &p, const QRect &rect, const MonthDay &d, int dreams, double latitude,
                   const SheetColours &colours, bool today);

// The page of the month: the title, the place and zone, the grid Пн…Вс and
// the month's principal phases, fitted to page.
void paintMonthPage(QPainter &p, const QRect &page, const LunarMonth &m, const QMap<QDate, int> &dreams,
                    const QString &placeLine, const QDate &today);

// The phase picture of an elongation as seen from a latitude, keyed
// transparent, size pixels wide (kept for reuse).
QImage phaseImage(double elongation, double latitude, int size);

} // namespace somnex::calendar
