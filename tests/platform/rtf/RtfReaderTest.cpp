#include "platform/rtf/RtfLayout.h"
#include "platform/rtf/RtfReader.h"

#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace somnex;

namespace {

// The runs as one line per run: flags, size, colour, then the text.
std::string describeRuns(const std::vector<RtfRun> &runs)
{
    std::string out;
    for (const RtfRun &r : runs) {
        out += r.bold ? "b" : "-";
        out += r.italic ? "i" : "-";
        out += r.underline ? "u" : "-";
        out += r.hidden ? "v" : "-";
        out += " " + QString::number(r.pointSize).toStdString() + " " + r.colour.name().toStdString() + " "
               + r.font.toStdString() + " [" + r.text.toStdString() + "]\n";
    }
    return out;
}

RtfRun base()
{
    RtfRun b;
    b.font = QStringLiteral("Courier New");
    b.pointSize = 10;
    return b;
}

} // namespace

TEST(RtfReader, TextAndEscapes)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        QString text;
    };
    const Case cases[] = {
        {"plain words", "{\\rtf1 Hello world}", "Hello world"},
        {"paragraphs and lines", "{\\rtf1 a\\par b\\line c\\tab d}", "a\nb\nc\td"},
        {"line ends in the source are not text", "{\\rtf1 a\r\nb\nc}", "abc"},
        {"escaped specials", "{\\rtf1 \\{x\\}\\\\}", "{x}\\"},
        {"hex escapes in 1251", "{\\rtf1\\ansi\\ansicpg1251 \\'c2\\'ee\\'e4\\'e0}", "Вода"},
        {"upper-case hex", "{\\rtf1\\ansicpg1251 \\'C6}", "Ж"},
        {"raw 1251 bytes", QByteArray("{\\rtf1\\ansicpg1251 ") + QByteArray("\xd1\xee\xed") + "}", "Сон"},
        {"unicode with one fallback", "{\\rtf1\\uc1 \\u1057?\\u1086?}", "Со"},
        {"negative unicode", "{\\rtf1 \\u-3?}", QString(QChar(0xFFFD))},
        {"unicode with two fallbacks", "{\\rtf1\\uc2 \\u9758\\'3f\\'3fx}", "☞x"},
        {"unicode without fallback", "{\\rtf1\\uc0 \\u1057\\u1086 x}", "Соx"},
        {"fallback skip ends at a group end", "{\\rtf1\\uc3 {\\u1057 a}bc}", "Сbc"},
        {"uc is scoped to its group", "{\\rtf1 {\\uc2 \\u1057??}\\u1086?}", "Со"},
        {"surrogate pair", "{\\rtf1 \\u-10179?\\u-8704?}", QString::fromUtf16(u"\U0001F600")},
        {"lone surrogate replaced", "{\\rtf1 \\u-10179?a}", QString(QChar(0xFFFD)) + "a"},
        {"lone low surrogate", "{\\rtf1 \\u-8704?a}", QString(QChar(0xFFFD)) + "a"},
        {"two high surrogates, then a pair", "{\\rtf1 \\u-10179?\\u-10179?\\u-8704?b}",
         QString(QChar(0xFFFD)) + QString::fromUtf16(u"\U0001F600") + "b"},
        {"a high surrogate before a paragraph end", "{\\rtf1 a\\u-10179?\\par b}",
         QString("a") + QChar(0xFFFD) + "\nb"},
        {"a high surrogate without fallback", "{\\rtf1\\uc0 \\u-10179 xy}", QString(QChar(0xFFFD)) + "xy"},
        {"a high surrogate with two fallbacks", "{\\rtf1\\uc2 \\u55357??xy}", QString(QChar(0xFFFD)) + "xy"},
        {"a high surrogate then a character escape", "{\\rtf1 \\u55357?\\u1057?x}", QString(QChar(0xFFFD)) + "Сx"},
        {"a pair across a format change", "{\\rtf1 \\u-10179?{\\b \\u-8704?}c}",
         QString::fromUtf16(u"\U0001F600") + "c"},
        {"a high surrogate then a group", "{\\rtf1 \\u-10179?{\\b x}}", QString(QChar(0xFFFD)) + "x"},
        {"values beyond 16 bits", "{\\rtf1 \\u128512?x\\u-40000?y}",
         QString(QChar(0xFFFD)) + "x" + QChar(0xFFFD) + "y"},
        {"named punctuation", "{\\rtf1 \\emdash\\endash\\ldblquote\\rdblquote\\bullet\\~}",
         QString::fromUtf16(u"\u2014\u2013\u201C\u201D\u2022\u00A0")},
        {"nested groups", "{\\rtf1 a{b{c}d}e}", "abcde"},
        {"ignorable destination", "{\\rtf1 a{\\*\\generator Writer 1.0;}{\\*\\unknownthing x}b}", "ab"},
        {"skipped tables", "{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}{\\author A}}x}", "x"},
        {"picture with binary data", "{\\rtf1 a{\\pict\\bin4 }}{}b}c}", "ac"},
        {"field shows its result", "{\\rtf1{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}}", "link"},
        {"text after the document ends", "{\\rtf1 a}b", "a"},
        {"truncated", "{\\rtf1 a{\\b b", "ab"},
        {"truncated escape", "{\\rtf1 a\\'c", "a"},
        {"bad hex digits", "{\\rtf1 a\\'zzb}", "azzb"},
        {"trailing backslash", "{\\rtf1 a\\", "a"},
        {"huge parameter", "{\\rtf1 a\\fs99999999999999999999 b\\uc99999999999 \\u1057 c}", "abС"},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf, base());
        ASSERT_TRUE(r.ok()) << c.name << ": " << r.error.toStdString();
        EXPECT_EQ(RtfPlainText(r.runs), c.text) << c.name;
    }
}

TEST(RtfReader, CharacterFormatting)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        std::string runs;
    };
    const QByteArray colours = "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}";
    const Case cases[] = {
        {"bold then off", "{\\rtf1 {\\b a}b\\b c\\b0 d}",
         "b--- 10 #000000 Courier New [a]\n---- 10 #000000 Courier New [b]\nb--- 10 #000000 Courier New [c]\n"
         "---- 10 #000000 Courier New [d]\n"},
        {"italic underline hidden", "{\\rtf1 \\i\\ul a\\ulnone\\v b\\plain c}",
         "-iu- 10 #000000 Courier New [a]\n-i-v 10 #000000 Courier New [b]\n---- 12 #000000 Courier New [c]\n"},
        {"size in half points", "{\\rtf1 \\fs28 a\\fs0 b}", "---- 14 #000000 Courier New [ab]\n"},
        {"colours from the table", "{\\rtf1" + colours + "\\cf1 r\\cf2 n\\cf0 a\\cf9 z}",
         "---- 10 #ff0000 Courier New [r]\n---- 10 #000080 Courier New [n]\n---- 10 #000000 Courier New [az]\n"},
        {"fonts and default font",
         "{\\rtf1\\deff1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman{\\*\\panose 0}Times New Roman;}}a\\f0 b\\f7 c}",
         "---- 10 #000000 Times New Roman [a]\n---- 10 #000000 Arial [b]\n---- 10 #000000 Courier New [c]\n"},
        {"font table without inner groups", "{\\rtf1{\\fonttbl\\f0\\fnil Arial;\\f1\\fnil Tahoma;}\\f1 x}",
         "---- 10 #000000 Tahoma [x]\n"},
        {"formatting ends with its group", "{\\rtf1 {\\b\\i\\fs40 a}b}",
         "bi-- 20 #000000 Courier New [a]\n---- 10 #000000 Courier New [b]\n"},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf, base());
        ASSERT_TRUE(r.ok()) << c.name << ": " << r.error.toStdString();
        EXPECT_EQ(describeRuns(r.runs), c.runs) << c.name;
    }
}

TEST(RtfReader, CodePages)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        QString text;
    };
    const Case cases[] = {
        {"document code page", "{\\rtf1\\ansi\\ansicpg1251 \\'ff}", "я"},
        {"font charset over the document's",
         "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\f0\\'e9\\f1\\'e9}", "éй"},
        {"Latin-1 without a code page", "{\\rtf1 \\'e9}", "é"},
        {"a double-byte code page", "{\\rtf1\\ansicpg936 \\'c4\\'e3}", "你"},
        {"an unknown code page reads as Windows-1252", "{\\rtf1\\ansicpg4242 \\'80\\'e9}", "€é"},
        // ICU opens these numbers as Unicode encodings, never a document's code page
        {"1215 is not BOCU-1", "{\\rtf1\\ansicpg1215 \\'ee\\'ee\\'ee}", "îîî"},
        {"1200 is not UTF-16", "{\\rtf1\\ansicpg1200 ab}", "ab"},
        {"a font's 1208 is not UTF-8", "{\\rtf1{\\fonttbl{\\f0\\cpg1208 X;}}\\f0 \\'c3\\'a9}", "Ã©"},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.rtf, base());
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(RtfPlainText(r.runs), c.text) << c.name;
    }
    // the font's name is read in its own charset
    const RtfReadResult named = ReadRtf("{\\rtf1{\\fonttbl{\\f0\\fcharset204 \\'d8\\'f0\\'e8\\'f4\\'f2;}}\\f0 x}");
    ASSERT_EQ(named.runs.size(), 1u);
    EXPECT_EQ(named.runs[0].font, QStringLiteral("Шрифт"));
}

TEST(RtfReader, RefusesWhatIsNotReadable)
{
    struct Case {
        const char *name;
        QByteArray data;
        RtfReadLimits limits;
    };
    QByteArray deep = "{\\rtf1 ";
    for (int i = 0; i < 200; ++i)
        deep += '{';
    const Case cases[] = {
        {"empty", "", {}},
        {"plain text", "Просто текст", {}},
        {"a group that is not RTF", "{\\pict x}", {}},
        {"too deep", deep, {1024, 128}},
        {"too large", "{\\rtf1 " + QByteArray(100, 'a') + "}", {64, 128}},
    };
    for (const Case &c : cases) {
        const RtfReadResult r = ReadRtf(c.data, base(), c.limits);
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_TRUE(r.runs.empty()) << c.name;
    }
    QByteArray shallow = "{\\rtf1 ";
    for (int i = 0; i < 100; ++i)
        shallow += "{a";
    EXPECT_TRUE(ReadRtf(shallow).ok()) << "depth within the limit, truncated";
    EXPECT_TRUE(ReadRtf("  \r\n{\\rtf1 x}").ok()) << "leading blank lines";
}

TEST(RtfReader, ReadsBackWhatTheWriterWrites)
{
    std::vector<RtfRun> runs;
    runs.push_back({"Вода {x}\\ \n", "Arial", 12, QColor(0, 0, 128), true, false, true, false});
    runs.push_back({"скрыто", "Arial", 1, Qt::white, false, false, false, true});
    runs.push_back({"☞ 😀 \tтаб", "DejaVu Sans", 22, QColor(0, 128, 128), false, true, false, false});
    runs.push_back({"ё€№", "Arial", 9.5, Qt::black});
    const RtfReadResult r = ReadRtf(WriteRtf(runs), base());
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    std::vector<RtfRun> expected = runs;
    // the writer's closing \par stands outside the runs' groups, in the first font at \plain's 12 pt
    expected.push_back({QStringLiteral("\n"), QStringLiteral("Arial"), 12, Qt::black});
    EXPECT_EQ(describeRuns(r.runs), describeRuns(expected));
}

// What the reader read, written out and read again, is the same text.
TEST(RtfReader, RereadsWhatItRead)
{
    struct Case {
        const char *name;
        QByteArray rtf;
        QString text;
    };
    const Case cases[] = {
        {"a tab in a font's name", "{\\rtf1{\\fonttbl{\\f0 Wing\tdings;}}\\f0 !}", QString::fromUtf16(u"\U0001F589")},
        {"Wingdings", "{\\rtf1{\\fonttbl{\\f0 Wingdings;}}\\f0 !!}", QString::fromUtf16(u"\U0001F589\U0001F589")},
        {"an odd code page", "{\\rtf1\\ansicpg1215 \\'ee\\'ee}", "îî"},
    };
    for (const Case &c : cases) {
        const RtfReadResult first = ReadRtf(c.rtf, base());
        ASSERT_TRUE(first.ok()) << c.name;
        EXPECT_EQ(RtfPlainText(first.runs), c.text) << c.name;
        const RtfReadResult again = ReadRtf(WriteRtf(first.runs), base());
        ASSERT_TRUE(again.ok()) << c.name;
        EXPECT_EQ(RtfPlainText(again.runs), c.text + QLatin1Char('\n')) << c.name;
    }
}

TEST(RtfReader, FillsADocument)
{
    const RtfReadResult r = ReadRtf(
        "{\\rtf1{\\colortbl;\\red0\\green128\\blue0;}{\\b\\fs28 Title}\\par \\cf1 one{\\v hidden} two\\par last}",
        base());
    ASSERT_TRUE(r.ok());
    QTextDocument doc;
    FillRtfDocument(&doc, r.document, {QStringLiteral("Courier New"), QStringLiteral("monospace")});
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("Title\none two\nlast"));
    EXPECT_EQ(doc.toPlainText(), RtfPlainText(r.runs)) << "shown text and plain text agree";
    const QTextBlock first = doc.begin();
    const QTextCharFormat title = first.begin().fragment().charFormat();
    EXPECT_EQ(title.fontWeight(), QFont::Bold);
    EXPECT_EQ(title.fontPointSize(), 14);
    EXPECT_EQ(title.fontFamilies().toStringList(), (QStringList{"Courier New", "monospace"}))
        << "the base font and the fallbacks";
    const QTextCharFormat body = first.next().begin().fragment().charFormat();
    EXPECT_EQ(body.foreground().color(), QColor(0, 128, 0));
}
