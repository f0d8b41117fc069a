// What the reader makes of the constructs word processors write: the
// document's structure (paragraphs, tables, footnotes, pictures) and how it
// is put into a QTextDocument.
#include "platform/rtf/RtfLayout.h"
#include "platform/rtf/RtfReader.h"
#include "support/QtPrint.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace somnex;

namespace {

QString text(const std::vector<RtfRun> &runs)
{
    QString out;
    for (const RtfRun &r : runs)
        if (!r.hidden && r.picture < 0)
            out += r.text;
    return out;
}

// Paragraphs as [text], tables as T(row|row) with cells in {}.
QString describe(const std::vector<RtfBlock> &blocks)
{
    QString out;
    for (const RtfBlock &b : blocks) {
        if (!b.table) {
            out += QLatin1Char('[') + text(b.runs) + QLatin1Char(']');
            continue;
        }
        out += QStringLiteral("T(");
        for (size_t r = 0; r < b.table->rows.size(); ++r) {
            if (r > 0)
                out += QLatin1Char('|');
            for (const auto &cell : b.table->rows[r])
                out += QLatin1Char('{') + describe(cell) + QLatin1Char('}');
        }
        out += QLatin1Char(')');
    }
    return out;
}

QString describe(const RtfDocument &d)
{
    QString out = describe(d.blocks);
    for (const auto &note : d.footnotes)
        out += QStringLiteral(" ^") + describe(note);
    return out;
}

} // namespace

TEST(RtfDocument, Structure)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        QString expected;
    };
    const QByteArray nested =
        "{\\rtf1 \\pard\\intbl A\\par \\pard\\intbl\\itap2 x\\nestcell y\\nestcell "
        "{\\*\\nesttableprops\\trowd\\cellx100\\cellx200\\nestrow}{\\nonesttables\\par}"
        "\\pard\\intbl\\itap1\\cell \\pard\\intbl B\\cell \\trowd\\cellx100\\row \\pard after\\par}";
    const Case cases[] = {
        {"paragraphs; an ended last paragraph leaves an empty line", "{\\rtf1 a\\par b\\line c\\par}",
         "[a][b\u2028c][]"},
        {"an ignorable word inside a group skips only itself", "{\\rtf1 {a \\*\\foo b}c}", "[a bc]"},
        {"an ignorable destination is skipped", "{\\rtf1 a{\\*\\unknown x{y}}b}", "[ab]"},
        {"a hyperlink shows its result",
         "{\\rtf1 {\\field{\\*\\fldinst{HYPERLINK \"http://x\"}}{\\fldrslt{\\ul link}}} after}", "[link after]"},
        {"shape settings never show, a text box's text does",
         "{\\rtf1 before{\\shp{\\*\\shpinst\\shpleft0{\\sp{\\sn fFilled}{\\sv 0}}{\\sp{\\sn dyTextTop}{\\sv 304800}}"
         "{\\shptxt \\pard box text\\par}}{\\shprslt fallback}}after\\par}",
         "[before][box text][after][]"},
        {"footnotes gather at the end",
         "{\\rtf1 word{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} first}, more{\\super\\chftn}"
         "{\\footnote\\pard{\\super\\chftn} second\\par}.\\par}",
         "[word1, more2.][] ^[1 first] ^[2 second]"},
        {"a table",
         "{\\rtf1 \\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell b\\cell\\row \\pard\\intbl c\\cell d\\cell\\row \\pard z\\par}",
         "T({[a]}{[b]}|{[c]}{[d]})[z][]"},
        {"a nested table keeps its cells apart", nested, "T({[A]T({[x]}{[y]})[]}{[B]})[after][]"},
        {"text inside nested table properties",
         "{\\rtf1 \\pard\\intbl\\itap2 q\\nestcell{\\*\\nesttableprops\\trowd\\nestrow}\\pard\\intbl r\\cell\\row}",
         "T({T({[q]})[r]})"},
        {"unicode text of \\upr", "{\\rtf1 {\\upr{ansi}{\\*\\ud{\\u1057?\\u1086?}}}}", "[Со]"},
        {"an object shows its result", "{\\rtf1 {\\object{\\*\\objdata 0102}{\\result shown}}}", "[shown]"},
        {"a label without a list shows", "{\\rtf1 {\\listtext\\'95\\tab}item\\par}", "[    \u2022 item][]"},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(describe(r.document), c.expected) << c.name;
    }
}

TEST(RtfDocument, SymbolFontsAndCodePages)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        QString text;
    };
    const QByteArray fonts = "{\\fonttbl{\\f0 Arial;}{\\f1\\ftech\\fcharset2 Symbol;}{\\f2\\fnil\\fcharset2 Wingdings;}"
                             "{\\f3\\fcharset222 Tahoma;}{\\f4\\fcharset128 MS Mincho;}{\\f5\\fcharset2 Marlett;}}";
    const Case cases[] = {
        {"Symbol bytes", "{\\rtf1\\ansicpg1251" + fonts + "\\f1\\'b7\\'61\\'57\\'ae}", u"•αΩ→"_qs},
        {"Wingdings bytes", "{\\rtf1" + fonts + "\\f2\\'a7\\'d8\\'fc\\'4a}", u"▪➢✓☺"_qs},
        {"private-use code points in a symbol font", "{\\rtf1" + fonts + "\\f1\\u-3913?\\f2\\u61607?}", u"•▪"_qs},
        {"a Wingdings character beyond the BMP", "{\\rtf1" + fonts + "\\f2\\'22}", u"✂"_qs},
        {"other symbol fonts keep their bytes", "{\\rtf1" + fonts + "\\f5\\'61}", u"a"_qs},
        {"Thai by charset", "{\\rtf1" + fonts + "\\f3\\'a1}", u"ก"_qs},
        {"Japanese byte pairs", "{\\rtf1" + fonts + "\\f4\\'82\\'a0\\'82\\'a2}", u"あい"_qs},
        {"Japanese document code page", "{\\rtf1\\ansi\\ansicpg932 \\'93\\'fa\\'96\\'7b}", u"日本"_qs},
        {"Mac Cyrillic", "{\\rtf1\\mac\\ansicpg10007 \\'80\\'e0}", u"Аа"_qs},
        {"a font's code page", "{\\rtf1{\\fonttbl{\\f0\\cpg1253 Arial;}}\\f0\\'e1}", u"α"_qs},
        {"an unknown code page reads as Latin-1", "{\\rtf1\\ansicpg99999 \\'e9}", u"é"_qs},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(RtfPlainText(r.runs), c.text) << c.name;
    }
}

TEST(RtfDocument, Formatting)
{
    const RtfReadResult r = ReadRtf(
        "{\\rtf1{\\colortbl;\\red255\\green255\\blue0;}\\pard\\qc\\li720\\ri360\\fi-360\\sb120\\sa240\\sl360\\slmult1 "
        "{\\super s}{\\sub b}{\\strike x}{\\highlight1 h}\\par\\pard\\qj\\sl-300 j\\par\\pard\\qr r\\par}");
    ASSERT_TRUE(r.ok());
    const auto &b = r.document.blocks;
    ASSERT_EQ(b.size(), 4u) << "three paragraphs and the empty one after the last end";
    EXPECT_TRUE(b[3].runs.empty());
    const RtfParagraphFormat &p = b[0].format;
    EXPECT_EQ(p.align, RtfParagraphFormat::Align::Centre);
    EXPECT_EQ(p.leftIndent, 36);
    EXPECT_EQ(p.rightIndent, 18);
    EXPECT_EQ(p.firstIndent, -18);
    EXPECT_EQ(p.spaceBefore, 6);
    EXPECT_EQ(p.spaceAfter, 12);
    EXPECT_EQ(p.lineSpacing, 360);
    EXPECT_TRUE(p.lineMultiple);
    EXPECT_EQ(b[1].format.align, RtfParagraphFormat::Align::Justify);
    EXPECT_EQ(b[2].format.align, RtfParagraphFormat::Align::Right);
    ASSERT_EQ(b[0].runs.size(), 4u);
    EXPECT_TRUE(b[0].runs[0].superscript);
    EXPECT_TRUE(b[0].runs[1].subscript);
    EXPECT_TRUE(b[0].runs[2].strike);
    EXPECT_EQ(b[0].runs[3].highlight, QColor(255, 255, 0));

    QTextDocument doc;
    FillRtfDocument(&doc, r.document);
    const QTextBlockFormat centred = doc.begin().blockFormat();
    EXPECT_EQ(centred.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_DOUBLE_EQ(centred.leftMargin(), 48);
    EXPECT_DOUBLE_EQ(centred.textIndent(), -24);
    EXPECT_DOUBLE_EQ(centred.bottomMargin(), 16);
    EXPECT_EQ(centred.lineHeightType(), QTextBlockFormat::ProportionalHeight);
    EXPECT_DOUBLE_EQ(centred.lineHeight(), 150);
    EXPECT_EQ(doc.begin().next().blockFormat().lineHeightType(), QTextBlockFormat::FixedHeight);
    const QTextCharFormat sup = doc.begin().begin().fragment().charFormat();
    // a hanging list item: the tab after the bullet stops at the left indent
    const RtfReadResult list = ReadRtf("{\\rtf1\\pard\\fi-360\\li720\\tx1440 a\\tab b\\par}");
    ASSERT_TRUE(list.ok());
    QTextDocument listDoc;
    FillRtfDocument(&listDoc, list.document);
    const QList<QTextOption::Tab> tabs = listDoc.begin().blockFormat().tabPositions();
    ASSERT_EQ(tabs.size(), 2);
    EXPECT_DOUBLE_EQ(tabs[0].position, 24) << "18 pt from where the first line starts";
    EXPECT_DOUBLE_EQ(tabs[1].position, 72);
    EXPECT_EQ(sup.verticalAlignment(), QTextCharFormat::AlignSuperScript);
}

TEST(RtfDocument, LegacyFontNames)
{
    EXPECT_EQ(RtfFontFamily("Times New Roman CYR"), "Times New Roman");
    EXPECT_EQ(RtfFontFamily("Courier New Cyr"), "Courier New");
    EXPECT_EQ(RtfFontFamily("Arial CE"), "Arial");
    EXPECT_EQ(RtfFontFamily("Cyrano"), "Cyrano");
    const RtfReadResult r = ReadRtf("{\\rtf1{\\fonttbl{\\f0\\froman\\fcharset204 Times New Roman CYR;}}\\f0 x}");
    QTextDocument doc;
    FillRtfDocument(&doc, r.document, {QStringLiteral("Courier New"), QStringLiteral("monospace")});
    const QTextCharFormat cf = doc.begin().begin().fragment().charFormat();
    EXPECT_EQ(cf.fontFamilies().toStringList(), QStringList{"Times New Roman"})
        << "no monospaced fallback for a serif font";
    EXPECT_EQ(cf.fontStyleHint(), QFont::Serif);
}

TEST(RtfDocument, PicturesAndTablesInTheDocument)
{
    QImage img(40, 20, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    const QByteArray rtf =
        "{\\rtf1 a{\\*\\shppict{\\pict\\pngblip\\picw40\\pich20\\picwgoal1200\\pichgoal600\\picscalex50 " + png.toHex()
        + "}}{\\nonshppict{\\pict\\wmetafile8 0102}}b{\\pict\\wmetafile8\\picwgoal1440\\pichgoal720 0102}"
          "\\par\\pard\\intbl c\\cell\\pard\\intbl\\itap2 n\\nestcell{\\*\\nesttableprops\\nestrow}\\pard\\intbl d\\cell\\row"
          "\\pard e{\\chftn}{\\footnote\\pard{\\chftn} note}\\par}";
    const RtfReadResult r = ReadRtf(rtf);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.document.pictures.size(), 2u) << "the fallback metafile is not read";
    EXPECT_EQ(r.document.pictures[0].kind, RtfPicture::Kind::Png);
    EXPECT_DOUBLE_EQ(r.document.pictures[0].width, 30);
    EXPECT_DOUBLE_EQ(r.document.pictures[0].height, 30);
    EXPECT_EQ(r.document.pictures[0].data, png);
    EXPECT_EQ(RtfPlainText(r.runs), "ab\nc\nn\nd\ne1\n\n1 note") << "pictures carry no text";

    QTextDocument doc;
    FillRtfDocument(&doc, r.document);
    std::vector<QTextImageFormat> images;
    int tables = 0, rules = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth))
            ++rules;
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                images.push_back(it.fragment().charFormat().toImageFormat());
    }
    for (QTextFrame *f : doc.rootFrame()->childFrames())
        if (qobject_cast<QTextTable *>(f)) {
            ++tables;
            EXPECT_EQ(f->childFrames().size(), 1) << "the nested table";
        }
    ASSERT_EQ(images.size(), 2u);
    EXPECT_DOUBLE_EQ(images[0].width(), 40);
    EXPECT_DOUBLE_EQ(images[0].height(), 40);
    EXPECT_EQ(doc.resource(QTextDocument::ImageResource, QUrl(images[0].name())).value<QImage>().pixelColor(5, 5),
              QColor(Qt::red));
    EXPECT_DOUBLE_EQ(images[1].width(), 96) << "a metafile's placeholder of its size";
    EXPECT_FALSE(doc.resource(QTextDocument::ImageResource, QUrl(images[1].name())).value<QImage>().isNull());
    EXPECT_EQ(tables, 1);
    EXPECT_EQ(rules, 1) << "a rule above the footnotes";
}

TEST(RtfDocument, LargeAndDeepDocuments)
{
    // picture data beyond the old 16 MiB bound, a text-only document that nests deep
    QByteArray big = "{\\rtf1 before{\\pict\\pngblip ";
    big += QByteArray(qsizetype(17) * 1024 * 1024, 'a');
    big += "}after}";
    const RtfReadResult r = ReadRtf(big);
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(RtfPlainText(r.runs), "beforeafter");
    QByteArray deep = "{\\rtf1 ";
    for (int i = 0; i < 3000; ++i)
        deep += "{\\b ";
    deep += "x";
    for (int i = 0; i < 3000; ++i)
        deep += "}";
    deep += "}";
    const RtfReadResult d = ReadRtf(deep);
    ASSERT_TRUE(d.ok()) << d.error.toStdString();
    EXPECT_EQ(RtfPlainText(d.runs), "x");
}

namespace {

// The space between the table and the paragraphs "A" before it and "B" after
// it, in lines of "A", as laid out 400 pixels wide.
std::pair<double, double> linesAroundTheTable(const QByteArray &rtf)
{
    const RtfReadResult r = ReadRtf(rtf);
    QTextDocument doc;
    FillRtfDocument(&doc, r.document);
    doc.setTextWidth(400);
    QAbstractTextDocumentLayout *layout = doc.documentLayout();
    QTextTable *table = nullptr;
    for (QTextFrame *f : doc.rootFrame()->childFrames())
        table = qobject_cast<QTextTable *>(f);
    if (!table)
        return {-99, -99};
    const QRectF t = layout->frameBoundingRect(table);
    QRectF a, b;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.text() == QStringLiteral("A"))
            a = layout->blockBoundingRect(block);
        if (block.text() == QStringLiteral("B"))
            b = layout->blockBoundingRect(block);
    }
    if (a.height() <= 0)
        return {-99, -99};
    return {(t.top() - a.bottom()) / a.height(), (b.top() - t.bottom()) / a.height()};
}

} // namespace

// Word ends a table and then often an empty paragraph: each empty paragraph
// next to a table shows as one empty line, and text right after a table
// starts right under it.
TEST(RtfDocument, EmptyParagraphsAroundATableKeepTheirLines)
{
    const auto [before, after] =
        linesAroundTheTable("{\\rtf1 A\\par\\par\\trowd\\cellx1000 X\\cell\\row\\pard\\par B\\par}");
    EXPECT_NEAR(before, 1, 0.5);
    EXPECT_NEAR(after, 1, 0.5);
    const auto [close, closeAfter] = linesAroundTheTable("{\\rtf1 A\\par\\trowd\\cellx1000 X\\cell\\row\\pard B\\par}");
    EXPECT_NEAR(close, 0, 0.5);
    EXPECT_NEAR(closeAfter, 0, 0.5);
}

namespace {

// A list table of two lists: 1 numbered "1." then "a)" then "i.", 2 bulleted;
// overrides \ls1 and \ls2 for them, \ls3 for list 1 again, \ls4 for list 1
// with its first level starting at 5.
const QByteArray kLists =
    "{\\*\\listtable{\\list\\listtemplateid5"
    "{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}"
    "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'02\\'01);}{\\levelnumbers\\'01;}}"
    "{\\listlevel\\levelnfc2\\levelstartat1{\\leveltext\\'06\\'00.\\'01.\\'02.;}{\\levelnumbers\\'01\\'03\\'05;}}"
    "{\\listname ;}\\listid100}"
    "{\\list\\listtemplateid6{\\listlevel\\levelnfc23{\\leveltext\\'01\\u-3913 ?;}}\\listid200}}"
    "{\\*\\listoverridetable{\\listoverride\\listid100\\listoverridecount0\\ls1}"
    "{\\listoverride\\listid200\\listoverridecount0\\ls2}{\\listoverride\\listid100\\listoverridecount0\\ls3}"
    "{\\listoverride\\listid100\\listoverridecount2{\\lfolevel\\listoverridestartat\\levelstartat5}{\\lfolevel}\\ls4}}";

} // namespace

TEST(RtfDocument, ListLabels)
{
    struct Case {
        const char *name;
        QByteArray body;
        QString expected;
    };
    const Case cases[] = {
        {"numbers by level, deeper levels restart",
         "\\pard\\ls1 one\\par two\\par\\ilvl1 sub\\par sub\\par\\ilvl2 deep\\par\\ilvl0 three\\par\\ilvl1 sub\\par"
         "\\pard after\\par",
         "[    1. one][    2. two][        a) sub][        b) sub][            2.b.i. deep][    3. three]"
         "[        a) sub][after][]"},
        {"bullets", "\\pard\\ls2 x\\par y\\par", "[    \u2022 x][    \u2022 y][]"},
        {"a list goes on after other paragraphs", "\\pard\\ls1 a\\par\\pard b\\par\\pard\\ls1 c\\par",
         "[    1. a][b][    2. c][]"},
        {"each override counts its own items", "\\pard\\ls1 a\\par\\pard\\ls3 b\\par", "[    1. a][    1. b][]"},
        {"the writer's label stands and is not doubled",
         "{\\listtext\\pard\\plain 7.\\tab}\\pard\\ls1 a\\par{\\listtext 8.\\tab}b\\par", "[    7. a][    8. b][]"},
        {"a bullet the writer gives in a symbol font", "{\\listtext\\pard\\plain\\f3 \\'a7\\tab}\\pard\\ls2 a\\par",
         "[    \u2022 a][]"},
        {"a note's last paragraph keeps its label", "\\pard a{\\footnote\\pard{\\listtext 1.\\tab}note}",
         "[a] ^[    1. note]"},
        {"an override starts a level anew", "\\pard\\ls4 a\\par b\\par\\ilvl1 c\\par",
         "[    5. a][    6. b][        a) c][]"},
        {"control characters of a level's text are not shown",
         "{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext\\'04\\'00\\'15.\\'1f;}}\\listid300}}"
         "{\\*\\listoverridetable{\\listoverride\\listid300\\ls5}}\\pard\\ls5 a\\par",
         "[    1. a][]"},
        {"a list that is not in the table has no label", "\\pard\\ls9 a\\par", "[a][]"},
        {"labels in table cells", "\\trowd\\cellx1000\\pard\\intbl\\ls1 a\\cell\\row\\pard\\intbl\\ls1 b\\cell\\row",
         "T({[    1. a]}|{[    2. b]})"},
        {"old numbering: decimal with text after",
         "\\pard{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}a\\par{\\*\\pn\\pnlvlbody\\pndec\\pnstart1{\\pntxta .}}b\\par"
         "\\pard c\\par",
         "[    1. a][    2. b][c][]"},
        {"old numbering: letters, roman, start",
         "\\pard{\\*\\pn\\pnlvlbody\\pnlcltr{\\pntxta )}}a\\par b\\par\\pard{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart4"
         "{\\pntxtb (}{\\pntxta )}}c\\par",
         "[    a) a][    b) b][    (IV) c][]"},
        {"old numbering restarts after a paragraph without it",
         "\\pard{\\*\\pn\\pnlvlbody\\pndec}a\\par\\pard b\\par\\pard{\\*\\pn\\pnlvlbody\\pndec}c\\par",
         "[    1 a][b][    1 c][]"},
        {"old numbering's further paragraphs have no label",
         "\\pard{\\*\\pn\\pnlvlbody\\pndec}a\\par\\pard{\\*\\pn\\pnlvlcont}more\\par\\pard{\\*\\pn\\pnlvlbody\\pndec}b\\par",
         "[    1 a][more][    2 b][]"},
        {"old bullets", "\\pard{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'b7}}a\\par", "[    \u2022 a][]"},
        {"old numbering's own label stands", "\\pard{\\pntext 5.\\tab}{\\*\\pn\\pnlvlbody\\pndec}a\\par",
         "[    5. a][]"},
        {"a lead byte in the numbering's text does not take the next character",
         "\\pard\\f2{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\'ca\\'b5\\par", QString::fromUtf16(u"[    \u2022 \u5b9e][]")},
    };
    for (const Case &c : cases) {
        const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f2\\fcharset134 SimSun;}{\\f3\\fcharset2 "
                               "Wingdings;}}"
                               + kLists + c.body + "}";
        const RtfReadResult r = ReadRtf(rtf);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(describe(r.document), c.expected) << c.name;
    }
}

TEST(RtfDocument, ListLabelsOnScreen)
{
    const RtfReadResult r = ReadRtf("{\\rtf1" + kLists + "\\pard\\fi-360\\li720\\ls1 first\\par}");
    ASSERT_TRUE(r.ok());
    QTextDocument doc;
    FillRtfDocument(&doc, r.document);
    EXPECT_EQ(doc.begin().text(), "1.\tfirst") << "the label and a tab to the hanging indent";
}

TEST(RtfDocument, TableRows)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        QString expected;
    };
    const Case cases[] = {
        {"rows without \\row, each begun by \\trowd",
         "{\\rtf1 \\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell b\\cell\\trowd\\cellx100\\cellx200\\pard\\intbl c\\cell "
         "d\\cell\\pard z\\par}",
         "T({[a]}{[b]}|{[c]}{[d]})[z][]"},
        {"the row's definition written again before \\row",
         "{\\rtf1 \\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell b\\cell{\\trowd\\cellx100\\cellx200\\row}"
         "\\trowd\\cellx100\\cellx200\\pard\\intbl c\\cell d\\cell{\\trowd\\cellx100\\cellx200\\row}}",
         "T({[a]}{[b]}|{[c]}{[d]})"},
        {"rows without \\row or \\trowd, as many cells as the row has edges",
         "{\\rtf1 \\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell b\\cell c\\cell d\\cell e\\cell\\pard z\\par}",
         "T({[a]}{[b]}|{[c]}{[d]}|{[e]})[z][]"},
        {"a table whose rows end with \\row keeps a row longer than its definition",
         "{\\rtf1 \\trowd\\cellx100\\pard\\intbl a\\cell\\row\\pard\\intbl b\\cell c\\cell\\row}",
         "T({[a]}|{[b]}{[c]})"},
        {"a definition does not outlive its table",
         "{\\rtf1 \\trowd\\cellx100\\pard\\intbl a\\cell\\pard z\\par\\intbl b\\cell c\\cell\\row}",
         "T({[a]})[z]T({[b]}{[c]})"},
        {"text after the last cell, then \\trowd",
         "{\\rtf1 \\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell b\\trowd\\cellx100\\pard\\intbl c\\cell\\row}",
         "T({[a]}{[b]}|{[c]})"},
        {"a hidden cell mark still ends its cell",
         "{\\rtf1 \\trowd\\cellx100\\cellx200\\pard\\intbl a{\\v\\cell}b\\cell\\row}", "T({[a]}{[b]})"},
        {"nested rows keep their own count",
         "{\\rtf1 \\trowd\\cellx1000\\cellx2000\\pard\\intbl\\itap2 x\\nestcell{\\*\\nesttableprops\\trowd\\cellx500"
         "\\nestrow}{\\nonesttables\\par}\\pard\\intbl\\itap1 p\\cell q\\cell\\row}",
         "T({T({[x]})[p]}{[q]})"},
        {"cells without \\intbl",
         "{\\rtf1 \\trowd\\cellx100\\cellx200 a\\cell b\\cell\\row \\trowd\\cellx100 c\\cell\\row}",
         "T({[a]}{[b]}|{[c]})"},
        {"the last row without \\row", "{\\rtf1 \\trowd\\cellx100\\cellx200\\intbl a\\cell b\\cell}", "T({[a]}{[b]})"},
        {"text after the last cell", "{\\rtf1 \\trowd\\cellx100\\cellx200\\intbl a\\cell b\\row}", "T({[a]}{[b]})"},
        {"nested cells without \\itap",
         "{\\rtf1 \\trowd\\cellx500\\pard\\intbl x\\nestcell y\\nestcell{\\*\\nesttableprops\\trowd\\cellx100\\cellx200"
         "\\nestrow}{\\nonesttables\\par}\\pard\\intbl\\cell\\row}",
         "T({T({[x]}{[y]})[]})"},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(describe(r.document), c.expected) << c.name;
    }
}

TEST(RtfDocument, TableColumnWidths)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        std::vector<double> widths; // pixels on screen, 0 for a column left to its text
    };
    const Case cases[] = {
        {"from the cells' right edges",
         "{\\rtf1 \\trowd\\cellx1440\\cellx4320\\intbl a\\cell b\\cell\\row}",
         {96, 192}},
        {"from the row's left edge", "{\\rtf1 \\trowd\\trleft720\\cellx1440\\intbl a\\cell\\row}", {48}},
        {"the row with most cells",
         "{\\rtf1 \\trowd\\cellx1440\\intbl a\\cell\\row\\trowd\\cellx720\\cellx2160\\intbl b\\cell c\\cell\\row}",
         {48, 96}},
        {"an edge out of order gives no width",
         "{\\rtf1 \\trowd\\cellx1440\\cellx720\\intbl a\\cell b\\cell\\row}",
         {96, 0}},
        {"no \\cellx", "{\\rtf1 \\intbl a\\cell b\\cell\\row}", {0, 0}},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf);
        ASSERT_TRUE(r.ok()) << c.name;
        QTextDocument doc;
        FillRtfDocument(&doc, r.document);
        QTextTable *table = nullptr;
        for (QTextFrame *f : doc.rootFrame()->childFrames())
            table = table ? table : qobject_cast<QTextTable *>(f);
        ASSERT_NE(table, nullptr) << c.name;
        const QList<QTextLength> got = table->format().columnWidthConstraints();
        ASSERT_EQ(got.size(), static_cast<qsizetype>(c.widths.size())) << c.name;
        for (size_t i = 0; i < c.widths.size(); ++i) {
            const QTextLength &l = got[static_cast<qsizetype>(i)];
            if (c.widths[i] == 0) {
                EXPECT_EQ(l.type(), QTextLength::VariableLength) << c.name << " column " << i;
            } else {
                EXPECT_EQ(l.type(), QTextLength::FixedLength) << c.name << " column " << i;
                EXPECT_DOUBLE_EQ(l.rawValue(), c.widths[i]) << c.name << " column " << i;
            }
        }
    }
}

TEST(RtfDocument, HeadersFootersAndShapes)
{
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    const QByteArray pict = "{\\pict\\pngblip\\picw8\\pich8 " + png.toHex() + "}";
    struct Case {
        const char *name;
        QByteArray rtf;
        QString text;
        size_t pictures;
    };
    const Case cases[] = {
        {"headers and footers of every kind",
         "{\\rtf1 {\\header \\pard h\\par}{\\headerl l\\par}{\\headerr r\\par}{\\headerf f\\par}{\\footer g\\par}"
         "{\\footerl a\\par}{\\footerr b\\par}{\\footerf c\\par}{\\*\\headerf d}body\\par}",
         "[body][]", 0},
        {"a section's header after its properties",
         "{\\rtf1 \\sectd\\titlepg{\\headerf\\pard\\plain\\qc title page\\par}\\pard body\\par}", "[body][]", 0},
        {"a floating picture shows once, not its properties",
         "{\\rtf1 a{\\shp{\\*\\shpinst\\shpleft0\\shpright100{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn pib}{\\sv "
             + pict + "}}{\\sp{\\sn fLine}{\\sv 0}}}{\\shprslt{\\*\\do\\dobxcolumn" + pict + "}}}b\\par}",
         "[ab][]", 1},
        {"an inline picture with its fallback", "{\\rtf1 a{\\*\\shppict" + pict + "}{\\nonshppict" + pict + "}b\\par}",
         "[ab][]", 1},
        {"a picture's own properties are not its data",
         "{\\rtf1 a{\\*\\shppict{\\pict{\\*\\picprop\\shplid1025{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn fLine}{\\sv 0}}}"
         "{\\*\\blipuid 0123456789abcdef0123456789abcdef}\\pngblip\\picw8\\pich8 "
             + png.toHex() + "}}b\\par}",
         "[ab][]", 1},
        {"a shape's other pictures are not shown",
         "{\\rtf1 a{\\shp{\\*\\shpinst{\\sp{\\sn fillBlip}{\\sv " + pict + "}}}}b\\par}", "[ab][]", 0},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(describe(r.document), c.text) << c.name;
        EXPECT_EQ(r.document.pictures.size(), c.pictures) << c.name;
        size_t shown = 0;
        for (const RtfBlock &b : r.document.blocks)
            for (const RtfRun &run : b.runs)
                shown += run.picture >= 0;
        EXPECT_EQ(shown, c.pictures) << c.name;
        for (const RtfPicture &p : r.document.pictures)
            EXPECT_EQ(p.data, png) << c.name;
    }
}

TEST(RtfDocument, ListsAsWritersWriteThem)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        QString expected;
    };
    const Case cases[] = {
        {"the Mac text editor: labels between tabs, lines ended by a backslash",
         "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
         "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid{\\listlevel\\levelnfc23\\levelnfcn23\\leveltemplateid1"
         "\\levelstartat1\\levelspace360\\levelindent0{\\*\\levelmarker \\{disc\\}}{\\leveltext\\leveltemplateid1\\'01\\uc0"
         "\\u8226 ;}{\\levelnumbers;}\\fi-360\\li720\\lin720 }{\\listname ;}\\listid1}\n"
         "{\\list\\listtemplateid2\\listhybrid{\\listlevel\\levelnfc0\\levelnfcn0\\leveltemplateid101\\levelstartat1"
         "{\\*\\levelmarker \\{decimal\\}.}{\\leveltext\\leveltemplateid101\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li720"
         "\\lin720 }{\\listname ;}\\listid2}}\n"
         "{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}{\\listoverride\\listid2"
         "\\listoverridecount0\\ls2}}\n"
         "\\pard\\tx220\\tx720\\pardeftab720\\li720\\fi-720\\pardirnatural\\partightenfactor0\n\\ls1\\ilvl0\n"
         "\\f0\\fs24 \\cf0 {\\listtext\t\\uc0\\u8226 \t}one\\\n{\\listtext\t\\uc0\\u8226 \t}two\\\n"
         "\\pard\\tx220\\tx720\\pardeftab720\\li720\\fi-720\\pardirnatural\\partightenfactor0\n"
         "\\ls2\\ilvl0\\cf0 {\\listtext\t1.\t}first\\\n{\\listtext\t2.\t}second}",
         "[    \u2022 one][    \u2022 two][    1. first][    2. second]"},
        {"the system's little word processor: old numbering with its labels",
         "{\\rtf1\\ansi\\ansicpg1251\\deff0\\nouicompat\\deflang1049{\\fonttbl{\\f0\\fnil\\fcharset204 Calibri;}"
         "{\\f1\\fnil\\fcharset2 Symbol;}}\n{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \n"
         "\\pard{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}\\fi-360\\li720\\sa200\\sl276"
         "\\slmult1\\f0\\fs22\\lang1049\\'f1\\'ee\\'ed\\par\n{\\pntext\\f1\\'B7\\tab}\\'ed\\'ee\\'f7\\'fc\\par\n\n"
         "\\pard{\\pntext\\f0 1.\\tab}{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pndec{\\pntxta.}}\n"
         "\\fi-360\\li720\\sa200\\sl276\\slmult1\\'ee\\'e4\\'e8\\'ed\\par\n{\\pntext\\f0 2.\\tab}\\'e4\\'e2\\'e0\\par\n}",
         "[    \u2022 сон][    \u2022 ночь][    1. один][    2. два][]"},
        {"the same without the labels",
         "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204 Calibri;}{\\f1\\fnil\\fcharset2 Symbol;}}"
         "\\pard{\\*\\pn\\pnlvlbody\\pnf0\\pnindent0\\pnstart1\\pndec{\\pntxta.}}\\fi-360\\li720 \\'ee\\'e4\\'e8\\'ed\\par "
         "\\'e4\\'e2\\'e0\\par}",
         "[    1. один][    2. два][]"},
        {"the office suite: list table, labels in \\listtext",
         "{\\rtf1\\ansi\\deff3\\adeflang1025{\\fonttbl{\\f3\\froman\\fprq2\\fcharset0 Liberation Serif;}"
         "{\\f4\\fswiss\\fprq2\\fcharset0 OpenSymbol{\\*\\falt Arial Unicode MS};}}\n"
         "{\\*\\listtable{\\list\\listtemplateid1\n{\\listlevel\\levelnfc23\\leveljc0\\levelstartat1\\levelfollow0"
         "{\\leveltext \\'01\\u8226 ?;}{\\levelnumbers;}\\f4\\fi-360\\li720}\\listid1}\n"
         "{\\list\\listtemplateid2\n{\\listlevel\\levelnfc0\\leveljc0\\levelstartat1\\levelfollow0{\\leveltext \\'02\\'00.;}"
         "{\\levelnumbers\\'01;}\\fi-360\\li720}\n{\\listlevel\\levelnfc4\\leveljc0\\levelstartat1\\levelfollow0"
         "{\\leveltext \\'02\\'01);}{\\levelnumbers\\'01;}\\fi-360\\li1080}\\listid2}\n}"
         "{\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}{\\listoverride\\listid2"
         "\\listoverridecount0\\ls2}}\n"
         "\\pard\\plain {\\listtext\\pard\\plain \\u8226\\'95\\tab}\\ilvl0\\ls1 \\li720\\ri0\\lin720\\rin0\\fi-360"
         "{\\rtlch \\ltrch\\loch\nBullet}\n\\par \\pard\\plain {\\listtext\\pard\\plain 1.\\tab}\\ilvl0\\ls2 \\li720\\fi-360 "
         "Num\n\\par \\pard\\plain {\\listtext\\pard\\plain a)\\tab}\\ilvl1\\ls2 \\li1080\\fi-360 sub\n\\par }",
         "[    \u2022 Bullet][    1. Num][        a) sub][]"},
        {"the same without the labels",
         "{\\rtf1\\ansi{\\*\\listtable{\\list{\\listlevel\\levelnfc0{\\leveltext \\'02\\'00.;}}{\\listlevel\\levelnfc4"
         "{\\leveltext \\'02\\'01);}}\\listid2}}{\\listoverridetable{\\listoverride\\listid2\\ls2}}"
         "\\pard\\plain\\ilvl0\\ls2 Num\\par\\pard\\plain\\ilvl1\\ls2 sub\\par\\pard\\plain\\ilvl0\\ls2 Two\\par}",
         "[    1. Num][        a) sub][    2. Two][]"},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(describe(r.document), c.expected) << c.name << "\n" << describe(r.document).toStdString();
    }
}

TEST(RtfDocument, OldNumberingPastItsLimit)
{
    // a numbering of its own for each of more paragraphs than the reader keeps numberings
    QByteArray rtf = "{\\rtf1 ";
    for (int i = 1; i <= 5000; ++i)
        rtf += "\\pard{\\*\\pn\\pnlvlbody\\pndec\\pnstart" + QByteArray::number(i) + "}x\\par";
    rtf += "\\pard{\\*\\pn\\pnlvlblt}last\\par}";
    const RtfReadResult r = ReadRtf(rtf);
    ASSERT_TRUE(r.ok());
    ASSERT_GE(r.document.blocks.size(), 5001u);
    EXPECT_EQ(text(r.document.blocks[5000].runs), QString::fromUtf16(u"    \u2022 last"));
    EXPECT_EQ(text(r.document.blocks[4999].runs), "    5000 x");
}
