// Opening an article as the interpretation window does: a Word-style RTF
// document of about 3 MB (Russian text in Windows-1251 escapes, a Symbol
// bullet list, a footnote, a table and a full-screen screenshot as PNG) is
// read, put into the window's document and laid out.
#include "platform/ansi/AnsiCodePage.h"
#include "platform/rtf/RtfReader.h"
#include "reading/Tolk.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

using namespace somnex;

namespace {

QByteArray escaped(const QString &s)
{
    QByteArray out;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out += char(u);
        } else {
            out += "\\'";
            out += QByteArray::number(ansi::toByte(u) < 0 ? 0x3f : ansi::toByte(u), 16).rightJustified(2, '0');
        }
    }
    return out;
}

QByteArray screenshotPng()
{
    QImage img(1280, 900, QImage::Format_RGB32);
    img.fill(QColor(236, 236, 236));
    QPainter p(&img);
    QRandomGenerator rng(7);
    for (int i = 0; i < 2500; ++i) {
        p.fillRect(int(rng.bounded(1280)), int(rng.bounded(900)), int(rng.bounded(120)), int(rng.bounded(40)),
                   QColor::fromRgb(rng.generate() | 0xff000000u));
    }
    for (int y = 0; y < 900; y += 2)
        for (int x = 0; x < 1280; x += 2)
            img.setPixel(x, y, rng.generate() | 0xff000000u);
    p.end();
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return png;
}

QByteArray article()
{
    const QString para = QStringLiteral(
        "Сон — естественный физиологический процесс пребывания в состоянии с минимальным уровнем мозговой "
        "деятельности и пониженной реакцией на окружающий мир. Сновидения издавна толкуют по-разному, и каждая "
        "книга снов предлагает своё объяснение увиденному. ");
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman CYR;}"
        "{\\f1\\fswiss\\fcharset204 Arial Cyr;}{\\f2\\froman\\fcharset2 Symbol;}}"
        "{\\colortbl;\\red0\\green0\\blue128;}\\paperw11906\\paperh16838\\margl1701\\margr850\n"
        "\\pard\\plain\\qc\\sb240\\sa120\\f1\\fs32\\b "
        + escaped(QStringLiteral("О снах и сновидениях")) + "\\par\n";
    for (int i = 0; i < 180; ++i) {
        rtf += "\\pard\\plain\\qj\\fi709\\sa120\\sl360\\slmult1\\f0\\fs24 " + escaped(para + para);
        if (i == 3)
            rtf += "{\\super\\chftn}{\\footnote\\pard\\plain\\f0\\fs20{\\super\\chftn} "
                   + escaped(QStringLiteral("Примечание.")) + "}";
        rtf += "\\par\n";
        if (i % 20 == 5) {
            for (int k = 0; k < 4; ++k)
                rtf += "{\\listtext\\pard\\plain\\f2\\fs24 \\'b7\\tab}\\pard\\plain\\fi-360\\li720\\f0\\fs24 "
                       + escaped(QStringLiteral("Пункт списка")) + "\\par\n";
            rtf += "\\trowd\\cellx3000\\cellx6000\\pard\\intbl " + escaped(QStringLiteral("Символ")) + "\\cell "
                   + escaped(QStringLiteral("Значение")) + "\\cell\\row\\pard\n";
        }
        if (i == 90)
            rtf += "\\pard\\qc{\\pict\\pngblip\\picw1280\\pich900\\picwgoal9600\\pichgoal6750 "
                   + screenshotPng().toHex() + "}\\par\n";
    }
    rtf += "}";
    return rtf;
}

void BM_OpenArticle(benchmark::State &state)
{
    const QByteArray data = article();
    TolkView view;
    view.resize(900, 700);
    const QStringList families{QStringLiteral("Courier New"), QStringLiteral("monospace")};
    for (auto _ : state) {
        RtfRun base;
        base.font = QStringLiteral("Courier New");
        base.pointSize = 10;
        const RtfReadResult r = ReadRtf(data, base);
        view.setArticle(r.document, families);
        view.document()->setTextWidth(view.viewport()->width());
        benchmark::DoNotOptimize(view.document()->documentLayout()->documentSize());
    }
    state.counters["bytes"] = static_cast<double>(data.size());
}
BENCHMARK(BM_OpenArticle)->Unit(benchmark::kMillisecond);

} // namespace
