#include "reading/TolkView.h"

#include "platform/rtf/RtfLayout.h"
#include "platform/rtf/RtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace somnex {

namespace {
double luminance(const QColor &c);
} // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableColour(const QColor &colour, const QColor &background, const QColor &text)
{
    // Black is what a book or an article gives when it names no colour.
    if (colour.rgb() == QColor(Qt::black).rgb() || ContrastRatio(text, background) < 3)
        return text;
    QColor c = colour;
    for (int step = 1; ContrastRatio(c, background) < 3 && step <= 10; ++step) {
        const double t = step / 10.0;
        c = QColor::fromRgbF(float(colour.redF() + (text.redF() - colour.redF()) * t),
                             float(colour.greenF() + (text.greenF() - colour.greenF()) * t),
                             float(colour.blueF() + (text.blueF() - colour.blueF()) * t));
    }
    return c;
}

namespace {

// Properties of the shown document's characters: a hidden marker, and the
// symbol a picture stands for (its marker, colour value and point size).
constexpr int kHiddenMarker = QTextFormat::UserProperty + 1;
constexpr int kSymbolMarker = QTextFormat::UserProperty + 2;
constexpr int kSymbolColour = QTextFormat::UserProperty + 3;
constexpr int kSymbolSize = QTextFormat::UserProperty + 4;
// How much finer than the screen the pictures are drawn for paper.
constexpr qreal kPrintPictureScale = 6;

QColor fromColourValue(std::uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Relative luminance of an sRGB colour.
double luminance(const QColor &c)
{
    auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

// Every foreground colour of the document made readable on the background.
void makeReadable(QTextDocument *doc, const QColor &background, const QColor &text)
{
    struct Change {
        int position, length;
        QColor colour;
    };
    std::vector<Change> changes;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid() || frag.charFormat().isImageFormat())
                continue;
            const QTextCharFormat f = frag.charFormat();
            const bool given = f.hasProperty(QTextFormat::ForegroundBrush);
            const QColor was = given ? f.foreground().color() : QColor(Qt::black);
            const QColor now = ReadableColour(was, background, text);
            if (now != was || !given)
                changes.push_back({frag.position(), frag.length(), now});
        }
    }
    QTextCursor c(doc);
    for (const Change &ch : changes) {
        QTextCharFormat f;
        f.setForeground(ch.colour);
        c.setPosition(ch.position);
        c.setPosition(ch.position + ch.length, QTextCursor::KeepAnchor);
        c.mergeCharFormat(f);
    }
}

QStringList baseFamilies()
{
    // "Arial Cyr" where it exists, otherwise an installed sans font with Cyrillic.
    return {QStringLiteral("Arial Cyr"),   QStringLiteral("Arial"),     QStringLiteral("Liberation Sans"),
            QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"), QStringLiteral("sans-serif")};
}

// The book and pointing-hand symbols, drawn as pictures so that each stands
// in the document as one character, like the marker it replaces.
QImage symbolImage(QChar marker, const QColor &colour, double pointSize, qreal dpr)
{
    const int px = std::max(8, int(std::lround(pointSize * 96.0 / 72.0)));
    const bool hand = marker == QLatin1Char('F');
    const QSize size = hand ? QSize(int(px * 1.25), px) : QSize(int(px * 1.2), px);
    QImage img(size * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = size.width(), h = size.height();
    if (hand) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(int(h * 0.95));
        p.setFont(f);
        p.setPen(colour);
        p.drawText(QRectF(0, 0, w, h), Qt::AlignCenter, QString(QChar(0x261E)));
    } else {
        // an open book
        QPainterPath left, right;
        left.moveTo(w * 0.5, h * 0.28);
        left.cubicTo(w * 0.38, h * 0.16, w * 0.18, h * 0.16, w * 0.05, h * 0.22);
        left.lineTo(w * 0.05, h * 0.86);
        left.cubicTo(w * 0.18, h * 0.80, w * 0.38, h * 0.80, w * 0.5, h * 0.92);
        left.closeSubpath();
        right.moveTo(w * 0.5, h * 0.28);
        right.cubicTo(w * 0.62, h * 0.16, w * 0.82, h * 0.16, w * 0.95, h * 0.22);
        right.lineTo(w * 0.95, h * 0.86);
        right.cubicTo(w * 0.82, h * 0.80, w * 0.62, h * 0.80, w * 0.5, h * 0.92);
        right.closeSubpath();
        QColor fill = colour;
        p.setPen(QPen(colour.darker(130), std::max(1.0, h / 14)));
        fill.setAlphaF(0.85);
        p.setBrush(fill);
        p.drawPath(left);
        p.drawPath(right);
        p.setPen(QPen(QColor(255, 255, 255, 200), std::max(1.0, h / 18)));
        for (double y : {0.42, 0.56, 0.70}) {
            p.drawLine(QPointF(w * 0.13, h * y), QPointF(w * 0.42, h * (y + 0.04)));
            p.drawLine(QPointF(w * 0.58, h * (y + 0.04)), QPointF(w * 0.87, h * y));
        }
    }
    return img;
}

} // namespace

TolkView::TolkView(QWidget *parent) : QTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setUndoRedoEnabled(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    QFont f;
    f.setFamilies(baseFamilies());
    f.setPointSizeF(9);
    document()->setDefaultFont(f);
}

namespace {

// A mark of the symbol font (& or F) as a picture of the mark; the image
// keeps the mark, its colour and size for copying.
void insertSymbolImage(QTextCursor &c, QChar ch, const TolkFormat &f, const QColor &colour, qreal dpr, int imageNo)
{
    const QString name = QStringLiteral("somnex-symbol-%1").arg(imageNo);
    c.document()->addResource(QTextDocument::ImageResource, QUrl(name), symbolImage(ch, colour, f.size, dpr));
    QTextImageFormat img;
    img.setName(name);
    img.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    img.setProperty(kSymbolMarker, QString(ch));
    img.setProperty(kSymbolColour, static_cast<qulonglong>(f.colour));
    img.setProperty(kSymbolSize, static_cast<double>(f.size));
    c.insertImage(img);
}

// The character format of a run of the built text, shown in colour.
QTextCharFormat runFormat(QTextCharFormat cf, const TolkFormat &f, const QColor &colour)
{
    cf.setFontPointSize(f.size);
    cf.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    cf.setFontItalic(f.italic);
    cf.setFontUnderline(f.underline);
    cf.setForeground(colour);
    if (f.hidden)
        cf.setProperty(kHiddenMarker, true);
    return cf;
}

} // namespace

void TolkView::setTolk(const QString &text, const std::vector<TolkFormat> &formats)
{
    built_ = text;
    formats_ = formats;
    formats_.resize(static_cast<size_t>(text.size()));
    crlf_.clear();
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i] == QLatin1Char('\r') && text[i + 1] == QLatin1Char('\n'))
            crlf_.push_back(static_cast<int>(i++));

    QTextDocument *doc = document();
    doc->clear();
    {
        QFont df;
        df.setFamilies(baseFamilies());
        df.setPointSizeF(9);
        doc->setDefaultFont(df);
    }
    QTextCursor c(doc);
    c.beginEditBlock();
    const QColor hiddenColour = palette().color(QPalette::Base);
    const QColor textColour = palette().color(QPalette::Text);
    auto shown = [&](std::uint32_t value) { return ReadableColour(fromColourValue(value), hiddenColour, textColour); };
    const qreal dpr = devicePixelRatioF();
    QTextCharFormat base;
    base.setFontFamilies(baseFamilies());
    base.setFontPointSize(9);
    int imageNo = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar ch = text[i];
        if (ch == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            c.insertBlock();
            i += 2;
            continue;
        }
        const TolkFormat &f = formats_[static_cast<size_t>(i)];
        if (f.font == TolkFormat::Symbol && !f.hidden && (ch == QLatin1Char('&') || ch == QLatin1Char('F'))) {
            insertSymbolImage(c, ch, f, shown(f.colour), dpr, imageNo++);
            ++i;
            continue;
        }
        // a run of characters with the same formatting up to the next break
        qsizetype j = i + 1;
        while (j < text.size() && text[j] != QLatin1Char('\r') && formats_[static_cast<size_t>(j)] == f
               && !(formats_[static_cast<size_t>(j)].font == TolkFormat::Symbol))
            ++j;
        const QTextCharFormat cf = runFormat(base, f, f.hidden ? hiddenColour : shown(f.colour));
        QString run = text.mid(i, j - i);
        run.replace(QLatin1Char('\r'), QLatin1Char(' ')); // a lone CR shows as a blank
        run.replace(QLatin1Char('\n'), QLatin1Char(' '));
        run.replace(QChar(0), QChar(0x2400));
        c.insertText(run, cf);
        i = j;
    }
    c.endEditBlock();
}

void TolkView::setArticle(const RtfDocument &article, const QStringList &families)
{
    QFont df;
    df.setFamilies(families);
    df.setStyleHint(QFont::Monospace);
    df.setPointSizeF(10);
    document()->setDefaultFont(df);
    FillRtfDocument(document(), article, families);
    makeReadable(document(), palette().color(QPalette::Base), palette().color(QPalette::Text));
    // The built text follows the document position by position: a paragraph
    // end is CR LF, a table's cell boundary a tab, a picture U+FFFC.
    built_.clear();
    formats_.clear();
    crlf_.clear();
    const QTextDocument *doc = document();
    const int end = doc->characterCount() - 1; // the last paragraph's end is not text
    const int expected = end + end / 16;       // paragraph ends grow to CR LF
    built_.reserve(expected);
    formats_.reserve(static_cast<size_t>(expected));
    auto formatOf = [](const QTextCharFormat &cf) {
        TolkFormat f;
        const QRgb rgb = cf.foreground().color().rgb();
        f.colour = static_cast<std::uint32_t>(qRed(rgb)) | static_cast<std::uint32_t>(qGreen(rgb)) << 8
                   | static_cast<std::uint32_t>(qBlue(rgb)) << 16;
        f.size = static_cast<float>(cf.fontPointSize() > 0 ? cf.fontPointSize() : 10);
        f.bold = cf.fontWeight() >= QFont::Bold;
        f.italic = cf.fontItalic();
        f.underline = cf.fontUnderline();
        return f;
    };
    int pos = 0;
    auto gapTo = [&](int to) {
        // frame boundaries (tables, cells) between blocks
        for (; pos < to && pos < end; ++pos) {
            built_ += QLatin1Char('\t');
            formats_.push_back(TolkFormat{});
        }
    };
    for (QTextBlock b = doc->begin(); b.isValid() && pos < end; b = b.next()) {
        gapTo(b.position());
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            gapTo(frag.position());
            const TolkFormat f = formatOf(frag.charFormat());
            QString text = frag.text();
            text.replace(QChar::LineSeparator, QLatin1Char('\v'));
            built_ += text;
            formats_.insert(formats_.end(), static_cast<size_t>(text.size()), f);
            pos += static_cast<int>(text.size());
        }
        gapTo(b.position() + b.length() - 1);
        if (pos < end) {
            crlf_.push_back(static_cast<int>(built_.size()));
            built_ += QStringLiteral("\r\n");
            formats_.push_back(TolkFormat{});
            formats_.push_back(TolkFormat{});
            ++pos;
        }
    }
    gapTo(end);
}

int TolkView::toDocument(int builtPos) const
{
    // Every CR LF before the position counts once; the LF of a pair maps to
    // the end of its paragraph.
    const auto it = std::lower_bound(crlf_.begin(), crlf_.end(), builtPos);
    int pairs = static_cast<int>(it - crlf_.begin());
    if (it != crlf_.begin() && *(it - 1) == builtPos - 1)
        return builtPos - 1 - (pairs - 1);
    return builtPos - pairs;
}

int TolkView::toBuilt(int docPos) const
{
    // the k-th CR LF sits at document position crlf_[k] - k
    int lo = 0, hi = static_cast<int>(crlf_.size());
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (crlf_[static_cast<size_t>(mid)] - mid < docPos)
            lo = mid + 1;
        else
            hi = mid;
    }
    return docPos + lo;
}

int TolkView::selStart() const
{
    return toBuilt(textCursor().selectionStart());
}

int TolkView::selLength() const
{
    const QTextCursor c = textCursor();
    return toBuilt(c.selectionEnd()) - toBuilt(c.selectionStart());
}

void TolkView::setSel(int start, int length)
{
    start = std::clamp(start, 0, static_cast<int>(built_.size()));
    length = std::clamp(length, 0, static_cast<int>(built_.size()) - start);
    QTextCursor c(document());
    c.setPosition(toDocument(start));
    c.setPosition(toDocument(start + length), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString TolkView::selText() const
{
    return built_.mid(selStart(), selLength());
}

int TolkView::charFromPos(const QPoint &vp) const
{
    const QPointF docPt = QPointF(vp) + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int hit = document()->documentLayout()->hitTest(docPt, Qt::FuzzyHit);
    if (hit < 0)
        return -1;
    const QTextBlock block = document()->findBlock(hit);
    if (!block.isValid() || !block.layout())
        return toBuilt(hit);
    const QTextLayout *layout = block.layout();
    const QPointF lp = docPt - layout->position();
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        if (lp.y() >= line.y() && lp.y() < line.y() + line.height()) {
            const int inBlock = line.xToCursor(lp.x(), QTextLine::CursorOnCharacter);
            return toBuilt(block.position() + std::min(inBlock, block.length() - 1));
        }
    }
    return toBuilt(hit);
}

std::vector<RtfRun> TolkView::copyRuns(bool selectionOnly) const
{
    int start = 0, end = static_cast<int>(built_.size());
    if (selectionOnly) {
        start = selStart();
        end = start + selLength();
    }
    std::vector<RtfRun> runs;
    const QString family = QStringLiteral("Arial");
    for (int i = start; i < end;) {
        const QChar ch = built_[i];
        if (ch == QLatin1Char('\r') && i + 1 < end && built_[i + 1] == QLatin1Char('\n')) {
            if (!runs.empty())
                runs.back().text += QLatin1Char('\n');
            else
                runs.push_back({QStringLiteral("\n"), family, 9, Qt::black});
            i += 2;
            continue;
        }
        const TolkFormat &f = formats_[static_cast<size_t>(i)];
        RtfRun r;
        r.font = family;
        r.pointSize = f.size;
        r.colour = fromColourValue(f.colour);
        r.bold = f.bold;
        r.italic = f.italic;
        r.underline = f.underline;
        if (f.hidden) {
            // markers carry nothing for the reader of the copy
            ++i;
            continue;
        }
        if (f.font == TolkFormat::Symbol && !f.hidden && (ch == QLatin1Char('&') || ch == QLatin1Char('F'))) {
            r.font = QStringLiteral("DejaVu Sans");
            r.text = ch == QLatin1Char('F') ? QString(QChar(0x261E)) : QString::fromUtf16(u"\U0001F4D6");
            runs.push_back(r);
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < end && built_[j] != QLatin1Char('\r') && formats_[static_cast<size_t>(j)] == f)
            ++j;
        r.text = built_.mid(i, j - i);
        runs.push_back(r);
        i = j;
    }
    return runs;
}

QByteArray TolkView::rtf(bool selectionOnly) const
{
    return WriteRtf(copyRuns(selectionOnly));
}

QString TolkView::plainText(bool selectionOnly) const
{
    QString text;
    for (const RtfRun &r : copyRuns(selectionOnly))
        text += r.text;
    return text;
}

QString TolkView::html(bool selectionOnly) const
{
    QString body;
    for (const RtfRun &r : copyRuns(selectionOnly)) {
        QString piece = r.text.toHtmlEscaped();
        piece.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
        if (r.bold)
            piece = QStringLiteral("<b>") + piece + QStringLiteral("</b>");
        if (r.italic)
            piece = QStringLiteral("<i>") + piece + QStringLiteral("</i>");
        if (r.underline)
            piece = QStringLiteral("<u>") + piece + QStringLiteral("</u>");
        body += QStringLiteral("<span style=\"font-family:'%1'; font-size:%2pt; color:%3\">%4</span>")
                    .arg(r.font, QString::number(r.pointSize), r.colour.name(), piece);
    }
    return QStringLiteral("<meta charset=\"utf-8\">") + body;
}

std::unique_ptr<QTextDocument> TolkView::printDocument(bool selectionOnly) const
{
    const QTextDocument *src = document();
    auto out = std::make_unique<QTextDocument>();
    out->setDefaultFont(src->defaultFont());
    int from = 0, to = src->characterCount() - 1;
    if (selectionOnly) {
        const QTextCursor sel = textCursor();
        from = sel.selectionStart();
        to = sel.selectionEnd();
    }
    QTextCursor w(out.get());
    int imageNo = 0;
    const QTextBlock first = src->findBlock(from);
    for (QTextBlock b = first; b.isValid() && (b == first || b.position() < to); b = b.next()) {
        if (b == first)
            w.setBlockFormat(b.blockFormat());
        else
            w.insertBlock(b.blockFormat(), b.charFormat());
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const int start = std::max(frag.position(), from);
            const int end = std::min(frag.position() + frag.length(), to);
            const QTextCharFormat cf = frag.charFormat();
            if (start >= end || cf.boolProperty(kHiddenMarker))
                continue;
            if (cf.isImageFormat()) {
                QTextImageFormat img = cf.toImageFormat();
                QVariant picture = src->resource(QTextDocument::ImageResource, QUrl(img.name()));
                if (img.hasProperty(kSymbolMarker)) {
                    const QImage fine = symbolImage(img.stringProperty(kSymbolMarker).at(0),
                                                    fromColourValue(static_cast<std::uint32_t>(
                                                        img.property(kSymbolColour).toULongLong())),
                                                    img.doubleProperty(kSymbolSize), kPrintPictureScale);
                    picture = fine;
                }
                for (int k = start; k < end; ++k) {
                    const QString name = QStringLiteral("somnex-print-%1").arg(imageNo++);
                    out->addResource(QTextDocument::ImageResource, QUrl(name), picture);
                    img.setName(name);
                    w.insertImage(img);
                }
                continue;
            }
            w.insertText(frag.text().mid(start - frag.position(), end - start), cf);
        }
    }
    return out;
}

void TolkView::mouseMoveEvent(QMouseEvent *e)
{
    QTextEdit::mouseMoveEvent(e);
    emit hovered(e->position().toPoint());
}

void TolkView::contextMenuEvent(QContextMenuEvent *e)
{
    e->accept();
}

void TolkView::mouseReleaseEvent(QMouseEvent *e)
{
    QTextEdit::mouseReleaseEvent(e);
    emit released(e->button(), e->position().toPoint());
}

} // namespace somnex
