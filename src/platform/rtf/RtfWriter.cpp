#include "platform/rtf/RtfWriter.h"

#include "platform/ansi/AnsiCodePage.h"

#include <QStringList>

#include <cmath>

namespace somnex {

namespace {

void appendEscaped(QByteArray &out, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u == u'\n') {
            out += "\\par\n";
        } else if (u == u'\t') {
            out += "\\tab ";
        } else if (u == u'\\' || u == u'{' || u == u'}') {
            out += '\\';
            out += char(u);
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u < 0x20) {
            // other control characters carry nothing visible; a "\r" ends
            // its paragraph at the "\n" that follows
        } else {
            const int b = ansi::toByte(u);
            if (b >= 0x80 && b != 0x98) {
                out += "\\'";
                out += QByteArray::number(b, 16).rightJustified(2, '0');
            } else {
                // \uN with N a signed 16-bit value, then a one-character fallback
                out += "\\u";
                out += QByteArray::number(static_cast<qint16>(u));
                out += '?';
            }
        }
    }
}

} // namespace

QByteArray WriteRtf(const std::vector<RtfRun> &runs)
{
    QStringList fonts;
    QList<QRgb> colours;
    for (const RtfRun &r : runs) {
        if (!fonts.contains(r.font))
            fonts << r.font;
        const QRgb c = r.colour.rgb() & 0xFFFFFF;
        if (!colours.contains(c))
            colours << c;
    }
    if (fonts.isEmpty())
        fonts << QStringLiteral("Arial");

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\n{\\fonttbl";
    for (int i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset204 ";
        appendEscaped(out, fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl;";
    for (QRgb c : colours)
        out += "\\red" + QByteArray::number(qRed(c)) + "\\green" + QByteArray::number(qGreen(c)) + "\\blue"
               + QByteArray::number(qBlue(c)) + ";";
    out += "}\n\\pard\\plain ";
    for (const RtfRun &r : runs) {
        out += "{\\f" + QByteArray::number(fonts.indexOf(r.font));
        out += "\\fs" + QByteArray::number(std::max(1L, std::lround(r.pointSize * 2)));
        out += "\\cf" + QByteArray::number(colours.indexOf(r.colour.rgb() & 0xFFFFFF) + 1);
        if (r.bold)
            out += "\\b";
        if (r.italic)
            out += "\\i";
        if (r.underline)
            out += "\\ul";
        if (r.hidden)
            out += "\\v";
        out += ' ';
        appendEscaped(out, r.text);
        out += '}';
    }
    out += "\\par\n}\n";
    return out;
}

} // namespace somnex
