// The document the reader built, put into a QTextDocument.
#include "platform/rtf/RtfLayout.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace somnex {

namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0; // the document's pixels are 1/96 inch
constexpr int kMaxTableDepth = 64;              // tables within tables laid out; deeper ones are left out

// A device-independent bitmap (header, colours, bits) as a BMP file.
QImage readDib(const QByteArray &dib)
{
    if (dib.size() < 16)
        return {};
    auto le32 = [&](qsizetype at) {
        if (at + 4 > dib.size())
            return quint32(0);
        quint32 v;
        std::memcpy(&v, dib.constData() + at, 4);
        return qFromLittleEndian(v);
    };
    auto le16 = [&](qsizetype at) {
        if (at + 2 > dib.size())
            return quint16(0);
        quint16 v;
        std::memcpy(&v, dib.constData() + at, 2);
        return qFromLittleEndian(v);
    };
    const quint32 headerSize = le32(0);
    if (headerSize < 12 || headerSize > 1024)
        return {};
    const quint16 bits = headerSize == 12 ? le16(10) : le16(14);
    quint32 colours = headerSize >= 36 ? le32(32) : 0;
    if (colours == 0 && bits <= 8)
        colours = 1u << bits;
    const quint32 masks = headerSize == 40 && le32(16) == 3 ? 12 : 0; // BI_BITFIELDS
    const quint32 offset = 14 + headerSize + masks + colours * (headerSize == 12 ? 3 : 4);
    QByteArray file("BM");
    const quint32 size = 14 + static_cast<quint32>(dib.size());
    const quint32 fields[3] = {qToLittleEndian(size), 0, qToLittleEndian(offset)};
    file.append(reinterpret_cast<const char *>(fields), sizeof fields);
    file.append(dib);
    return QImage::fromData(file, "BMP");
}

QImage decodePicture(const RtfPicture &p)
{
    switch (p.kind) {
    case RtfPicture::Kind::Png: return QImage::fromData(p.data, "PNG");
    case RtfPicture::Kind::Jpeg: return QImage::fromData(p.data, "JPEG");
    case RtfPicture::Kind::Dib: return readDib(p.data);
    default: return {};
    }
}

// A framed box for a picture that cannot be drawn.
QImage placeholder(QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter p(&img);
    p.setPen(QColor(0x90, 0x90, 0x90));
    p.drawRect(0, 0, size.width() - 1, size.height() - 1);
    p.drawLine(0, 0, size.width() - 1, size.height() - 1);
    p.drawLine(0, size.height() - 1, size.width() - 1, 0);
    return img;
}

class Builder {
public:
    Builder(QTextDocument *doc, const RtfDocument &rtf, const QStringList &fallback)
        : doc_(doc), rtf_(rtf), fallback_(fallback), cursor_(doc)
    {
    }

    void build()
    {
        cursor_.beginEditBlock();
        atStart_ = true;
        blocks(rtf_.blocks, 0);
        if (!rtf_.footnotes.empty()) {
            QTextBlockFormat rule;
            rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                             QTextLength(QTextLength::PercentageLength, 30));
            rule.setTopMargin(12);
            newBlock(rule);
            for (const auto &note : rtf_.footnotes)
                blocks(note, 0);
        }
        cursor_.endEditBlock();
    }

private:
    void newBlock(const QTextBlockFormat &bf)
    {
        if (atStart_)
            cursor_.setBlockFormat(bf);
        else
            cursor_.insertBlock(bf, QTextCharFormat());
        atStart_ = false;
    }

    void blocks(const std::vector<RtfBlock> &list, int depth)
    {
        for (const RtfBlock &b : list) {
            if (b.table)
                table(*b.table, depth + 1);
            else
                paragraph(b);
        }
    }

    void table(const RtfTable &t, int depth)
    {
        if (depth > kMaxTableDepth)
            return;
        size_t columns = 0;
        for (const auto &row : t.rows)
            columns = std::max(columns, row.size());
        if (columns == 0)
            return;
        if (!atStart_) {
            // a table starts after the paragraph before it
            cursor_.insertBlock();
        }
        QTextTableFormat tf;
        tf.setBorder(1);
        tf.setBorderCollapse(true);
        tf.setBorderBrush(QColor(0x80, 0x80, 0x80));
        tf.setCellPadding(3);
        tf.setCellSpacing(0);
        tf.setAlignment(Qt::AlignLeft);
        tf.setColumnWidthConstraints(columnWidths(t, std::min<size_t>(columns, 256)));
        QTextTable *table =
            cursor_.insertTable(static_cast<int>(t.rows.size()), static_cast<int>(std::min<size_t>(columns, 256)), tf);
        for (size_t r = 0; r < t.rows.size(); ++r) {
            for (size_t c = 0; c < t.rows[r].size() && c < 256; ++c) {
                cursor_ = table->cellAt(static_cast<int>(r), static_cast<int>(c)).firstCursorPosition();
                atStart_ = true;
                blocks(t.rows[r][c], depth);
            }
        }
        cursor_ = table->lastCursorPosition();
        cursor_.movePosition(QTextCursor::NextBlock);
        // The block Qt keeps after a table is not laid out while it is
        // empty, so an empty paragraph there would lose its line: what
        // follows the table goes into blocks of its own.
        atStart_ = false;
    }

    // The columns' widths as the document gives them; a column without one
    // (or with one beyond reason) takes the width of its text.
    static QList<QTextLength> columnWidths(const RtfTable &t, size_t columns)
    {
        QList<QTextLength> widths;
        for (size_t c = 0; c < columns; ++c) {
            const double w = c < t.columnWidths.size() ? t.columnWidths[c] : 0;
            if (w >= 1 && w <= 2000)
                widths.append(QTextLength(QTextLength::FixedLength, w * kPixelsPerPoint));
            else
                widths.append(QTextLength(QTextLength::VariableLength, 0));
        }
        return widths;
    }

    QTextCharFormat charFormat(const RtfRun &r) const
    {
        QTextCharFormat cf;
        // A family this system lacks is left to fontconfig's substitutes
        // (metric-compatible ones first); the fallbacks stand in for the
        // base font and for typewriter fonts only.
        QStringList families{RtfFontFamily(r.font)};
        if (r.styleHint == QFont::TypeWriter || fallback_.contains(families.front()))
            for (const QString &f : fallback_)
                if (!families.contains(f))
                    families << f;
        cf.setFontFamilies(families);
        cf.setFontStyleHint(static_cast<QFont::StyleHint>(r.styleHint));
        cf.setFontPointSize(r.pointSize);
        cf.setFontWeight(r.bold ? QFont::Bold : QFont::Normal);
        cf.setFontItalic(r.italic);
        cf.setFontUnderline(r.underline);
        cf.setFontStrikeOut(r.strike);
        if (r.superscript)
            cf.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        else if (r.subscript)
            cf.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        if (r.highlight.isValid())
            cf.setBackground(r.highlight);
        cf.setForeground(r.colour);
        return cf;
    }

    static QTextBlockFormat blockFormat(const RtfParagraphFormat &p)
    {
        QTextBlockFormat bf;
        switch (p.align) {
        case RtfParagraphFormat::Align::Left: bf.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute); break;
        case RtfParagraphFormat::Align::Centre: bf.setAlignment(Qt::AlignHCenter); break;
        case RtfParagraphFormat::Align::Right: bf.setAlignment(Qt::AlignRight | Qt::AlignAbsolute); break;
        case RtfParagraphFormat::Align::Justify: bf.setAlignment(Qt::AlignJustify); break;
        }
        bf.setLeftMargin(std::max(0.0, p.leftIndent) * kPixelsPerPoint);
        bf.setRightMargin(std::max(0.0, p.rightIndent) * kPixelsPerPoint);
        bf.setTextIndent(p.firstIndent * kPixelsPerPoint);
        bf.setTopMargin(p.spaceBefore * kPixelsPerPoint);
        bf.setBottomMargin(p.spaceAfter * kPixelsPerPoint);
        // Tab stops count from where the first line starts here; a hanging
        // first line also stops at the indent, as word processors do.
        QList<QTextOption::Tab> tabs;
        std::vector<double> stops = p.tabs;
        if (p.firstIndent < 0)
            stops.push_back(p.leftIndent);
        std::sort(stops.begin(), stops.end());
        for (double t : stops)
            if (t > p.leftIndent + p.firstIndent)
                tabs.append(
                    QTextOption::Tab((t - p.leftIndent - p.firstIndent) * kPixelsPerPoint, QTextOption::LeftTab));
        if (!tabs.isEmpty())
            bf.setTabPositions(tabs);
        if (p.lineSpacing != 0) {
            if (p.lineMultiple && p.lineSpacing > 0)
                bf.setLineHeight(p.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
            else if (p.lineSpacing > 0)
                bf.setLineHeight(p.lineSpacing / 20.0 * kPixelsPerPoint, QTextBlockFormat::MinimumHeight);
            else
                bf.setLineHeight(-p.lineSpacing / 20.0 * kPixelsPerPoint, QTextBlockFormat::FixedHeight);
        }
        return bf;
    }

    void paragraph(const RtfBlock &b)
    {
        newBlock(blockFormat(b.format));
        for (const RtfRun &r : b.runs) {
            if (r.hidden)
                continue;
            if (r.picture >= 0) {
                picture(r);
                continue;
            }
            // a list label stands before the hanging indent's tab stop
            cursor_.insertText(r.listLabel ? r.text.trimmed() + QLatin1Char('\t') : r.text, charFormat(r));
        }
    }

    void picture(const RtfRun &r)
    {
        if (r.picture >= static_cast<int>(rtf_.pictures.size()))
            return;
        const RtfPicture &p = rtf_.pictures[static_cast<size_t>(r.picture)];
        QImage img = decodePicture(p);
        double w = p.width * kPixelsPerPoint, h = p.height * kPixelsPerPoint;
        if (!img.isNull() && (w <= 0 || h <= 0)) {
            w = img.width();
            h = img.height();
        }
        if (w < 1 || h < 1)
            return;
        // a picture is never wider or taller than a large screen page
        const double scale = std::min({1.0, 4000.0 / w, 4000.0 / h});
        w *= scale;
        h *= scale;
        if (img.isNull())
            img = placeholder(QSize(std::max(2, qRound(w)), std::max(2, qRound(h))));
        const QString name = QStringLiteral("rtfpict:%1").arg(r.picture);
        doc_->addResource(QTextDocument::ImageResource, QUrl(name), img);
        QTextImageFormat f;
        f.setName(name);
        f.setWidth(w);
        f.setHeight(h);
        cursor_.insertImage(f);
    }

    QTextDocument *doc_;
    const RtfDocument &rtf_;
    const QStringList &fallback_;
    QTextCursor cursor_;
    bool atStart_ = true;
};

} // namespace

QString RtfFontFamily(const QString &name)
{
    static const QRegularExpression legacy(QStringLiteral("\\s+(CYR|CE|Greek|Tur|Baltic)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString family = name;
    family.remove(legacy);
    return family;
}

void FillRtfDocument(QTextDocument *doc, const RtfDocument &rtf, const QStringList &fallbackFamilies)
{
    doc->clear();
    Builder(doc, rtf, fallbackFamilies).build();
}

} // namespace somnex
