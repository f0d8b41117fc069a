#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"

#include "dictionary/BookDatabase.h"
#include "dictionary/PackedText.h"
#include "dictionary/SyntheticBook.h"
#include "platform/error/Error.h"
#include "reading/TolkDocument.h"

#include <gtest/gtest.h>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

const QByteArray kCanonical = QStringLiteral("name: Народный сонник\n"
                                             "heading: Народный сонник, толкования\n"
                                             "color: 139\n"
                                             "\n== Вода\n"
                                             "Видеть во сне чистую воду – к радости.\n"
                                             "\n"
                                             "Пить мутную воду – к хлопотам.\n"
                                             "=> Река; Море; Дождь\n"
                                             "\n== Дождь\n"
                                             "\n== Ёж\n"
                                             "Ёж в траве – к осторожности.\n")
                                  .toUtf8();

void expectSame(const BookContent &a, const BookContent &b)
{
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.heading, b.heading);
    EXPECT_EQ(a.color, b.color);
    EXPECT_EQ(a.icon, b.icon);
    ASSERT_EQ(a.entries.size(), b.entries.size());
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        EXPECT_EQ(a.entries[i].headword, b.entries[i].headword) << i;
        EXPECT_EQ(a.entries[i].text, b.entries[i].text) << i;
        EXPECT_EQ(a.entries[i].links, b.entries[i].links) << i;
    }
}

} // namespace

TEST(BookSource, ParsesTheFormat)
{
    const QByteArray src = QStringLiteral("# comment\n"
                                          "name: Народный сонник\r\n"
                                          "heading:  Толкования  \n"
                                          "\n"
                                          "== Вода \n"
                                          "строка 1\n"
                                          "# a comment inside the text\n"
                                          "\n"
                                          "строка 2\n"
                                          "=> Река;  Море \n"
                                          "\n"
                                          "\n"
                                          "==Ёлка\n"
                                          "\\# not a comment\n"
                                          "\\a\\\\b\\r\\n\\0\\x0001\n"
                                          "\\\n"
                                          "=>| как есть\n")
                               .toUtf8();
    const BookSource s = parseBookSource(src, QStringLiteral("x.txt"));
    EXPECT_EQ(s.content.name, QStringLiteral("Народный сонник"));
    EXPECT_EQ(s.content.heading, QStringLiteral("Толкования"));
    EXPECT_FALSE(s.content.color.has_value());
    EXPECT_FALSE(s.content.icon.has_value());
    EXPECT_FALSE(s.iconFile.has_value());
    ASSERT_EQ(s.content.entries.size(), 2u);
    EXPECT_EQ(s.content.entries[0].headword, QStringLiteral("Вода"));
    EXPECT_EQ(s.content.entries[0].text, QStringLiteral("строка 1\r\n\r\nстрока 2"));
    EXPECT_EQ(s.content.entries[0].links, QStringLiteral("Река;  Море."));
    EXPECT_EQ(s.content.entries[0].line, 5);
    EXPECT_EQ(s.content.entries[1].headword, QStringLiteral("Ёлка"));
    EXPECT_EQ(s.content.entries[1].text,
              QStringLiteral("# not a comment\r\na\\b\r\n") + QChar(0) + QChar(1) + QStringLiteral("\r\n"));
    EXPECT_EQ(s.content.entries[1].links, QStringLiteral("как есть"));
}

TEST(BookSource, BadSourcesNameLineAndReason)
{
    struct Case {
        const char *source;
        int line;
        const char *reason;
    };
    const Case cases[] = {
        {"heading: h\n== a\n", 1, "name"},
        {"name: n\nheading: h\nsize: 3\n== a\n", 3, "неизвестный ключ"},
        {"name: n\nheading: h\nсвободный текст\n== a\n", 3, "ожидается"},
        {"name: n\nheading: h\n==  \n", 3, "пустое заглавное слово"},
        {"name: n\nheading: h\n== Вода\n\n== вода\n", 5, "уже было в строке 3"},
        {"name: n\nheading: h\n== a\n=> b\n=> c\n", 5, "второй список"},
        {"name: n\nheading: h\n== a\nтекст 日本\n", 4, "Windows-1251"},
        {"name: n\nheading: h\n== a\n=> 日本\n", 4, "Windows-1251"},
        {"name: n\nheading: h\ncolor: красный\n== a\n", 3, "цвет"},
        {"name: n\nheading: h\ncolor: 4294967296\n== a\n", 3, "цвет"},
        {"name: n\nheading: h\n== a\n\xff\xfe\n", 4, "UTF-8"},
        {"name: n\nheading: h\n", 2, "ни одной статьи"},
        {"name: n\nname: m\nheading: h\n== a\n", 2, "уже задан"},
        {"name: n\nheading: h\n== a\n\\bad\\q\n", 4, "неизвестная последовательность"},
        {"name: n\nheading: h\n== a\n=>\n", 4, "пустой список"},
        {"name: n\nheading: h\n== a\n=>| b\r\r\n", 4, "управляющий символ"},
        {"name: n\nheading: h\n== a\n=> b\x01c\n", 4, "управляющий символ"},
    };
    for (const auto &c : cases) {
        try {
            parseBookSource(QByteArray(c.source), QStringLiteral("src.txt"));
            ADD_FAILURE() << "accepted: " << c.source;
        } catch (const Error &e) {
            const QString want = QStringLiteral("src.txt:%1: ").arg(c.line);
            EXPECT_TRUE(e.description().startsWith(want)) << e.what() << " / wanted line " << c.line;
            EXPECT_TRUE(e.description().contains(QString::fromUtf8(c.reason))) << e.what();
        }
    }
}

TEST(BookSource, CanonicalFormRoundTripsThroughABook)
{
    const BookSource src = parseBookSource(kCanonical, QStringLiteral("narodny.txt"));
    const QByteArray image = buildBookImage(src.content);
    const Database db = DBEngine::instance().OpenDatabaseImage(image, QStringLiteral("narodny.book"));

    // stored as the program reads it: packed text, links with the final full stop
    Recordset rs = db.OpenRecordset(dictionary::kBookTable);
    rs.setIndex(dictionary::kListIndex);
    rs.Seek(QStringLiteral("="), QStringLiteral("Вода"));
    ASSERT_FALSE(rs.NoMatch());
    EXPECT_EQ(dictionary::UnpackText(*rs.Field(dictionary::kTextColumn)),
              QStringLiteral("Видеть во сне чистую воду – к радости.\r\n\r\nПить мутную воду – к хлопотам."));
    EXPECT_EQ(dictionary::UnpackText(*rs.Field(dictionary::kLinksColumn)), QStringLiteral("Река; Море; Дождь."));
    rs.Seek(QStringLiteral("="), QStringLiteral("Дождь"));
    EXPECT_EQ(dictionary::UnpackText(*rs.Field(dictionary::kTextColumn)), QString());
    EXPECT_FALSE(rs.Field(dictionary::kLinksColumn).has_value());
    Recordset config = db.OpenRecordset(dictionary::kConfigTable);
    EXPECT_EQ(*config.Field(dictionary::kColorColumn), QStringLiteral("139"));
    EXPECT_EQ(*config.Field(dictionary::kTolkNameColumn), QStringLiteral("Народный сонник, толкования"));
    EXPECT_FALSE(config.Field(dictionary::kIconColumn).has_value());

    EXPECT_EQ(formatBookSource(readBook(db), QStringLiteral("narodny.png")), kCanonical);
}

TEST(BookSource, DumpOfUnusualContentReadsBackTheSame)
{
    BookContent book;
    book.name = QStringLiteral("Чужой");
    book.heading = QStringLiteral("Чужой сонник");
    book.icon = QByteArray("\x00\x01\x98\xff ICO", 8);
    QString control;
    for (char16_t c = 0; c < 0x20; ++c)
        control.append(QChar(c));
    const QString texts[] = {QStringLiteral("# начинается как комментарий"),
                             QStringLiteral("== как заглавное\r\n=> как ссылки"),
                             QStringLiteral("\\обратная черта"),
                             QStringLiteral("хвост\r\n\r\n  "),
                             QStringLiteral("\r\n"),
                             QStringLiteral("одинокий\rвозврат и\nперевод"),
                             control,
                             QString()};
    int i = 0;
    for (const auto &t : texts)
        book.entries.push_back({QStringLiteral("слово %1").arg(i++), t, std::nullopt});
    book.entries[0].links = QStringLiteral("без точки");
    book.entries[1].links = QStringLiteral(" пробел впереди.");
    book.entries[2].links = QStringLiteral(".");
    book.entries[3].links = QStringLiteral("обычные; ссылки.");

    const QByteArray dumped = formatBookSource(book, QStringLiteral("x.png"));
    BookSource back = parseBookSource(dumped, QStringLiteral("dump"));
    back.content.icon = book.icon; // the picture comes from the file named on the icon line
    EXPECT_EQ(back.iconFile, QStringLiteral("x.png"));
    expectSame(back.content, book);
    EXPECT_EQ(formatBookSource(back.content, QStringLiteral("x.png")), dumped);

    // and through a real book file
    const BookContent read =
        readBook(DBEngine::instance().OpenDatabaseImage(buildBookImage(book), QStringLiteral("x.book")));
    expectSame(read, book);
}

TEST(BookSource, SyntheticBooksAreUniqueAndBuild)
{
    const BookContent book = syntheticBook(3000, 5, QStringLiteral("Синтетика"));
    ASSERT_EQ(book.entries.size(), 3000u);
    const Database db = DBEngine::instance().OpenDatabaseImage(buildBookImage(book), QStringLiteral("s.book"));
    Recordset rs = db.OpenRecordset(dictionary::kBookTable);
    rs.setIndex(dictionary::kListIndex);
    EXPECT_EQ(rs.RecordCount(), 3000);
    for (qsizetype i = 1; i < rs.RecordCount(); ++i)
        ASSERT_LT(compareHeadwords(rs.headword(i - 1), rs.headword(i)), 0) << i;
    for (const auto &e : book.entries) {
        rs.Seek(QStringLiteral("="), e.headword);
        ASSERT_FALSE(rs.NoMatch()) << e.headword.toStdString();
        ASSERT_EQ(dictionary::UnpackText(*rs.Field(dictionary::kTextColumn)), e.text);
    }
}

TEST(BookSource, SeeAlsoNamesAreTheLinksTheWindowMakes)
{
    const char *const lists[] = {
        "Река; Море; Дождь.",
        "  Река ;Море  .  ",
        "Река;; ;Море.",
        "Река. Море; Дождь.",
        "без точки",
        "хвост; без точки",
        "Вода; Лес.Поле.",
        ".",
        ";",
        "",
        "Сон . ",
        "Один;",
    };
    for (const char *l : lists) {
        const QString links = QString::fromUtf8(l);
        QString seen = QStringLiteral("<");
        GatherLinks(links, seen);
        // "<a>, <b>, <" -> a, b
        const QStringList shown =
            seen.size() > 3 ? seen.mid(1, seen.size() - 5).split(QStringLiteral(">, <")) : QStringList();
        EXPECT_EQ(seeAlsoNames(links), shown) << l;
    }
}

TEST(BookSource, DanglingSeeAlsoNamesAreFoundAsALinkWouldSeekThem)
{
    const BookSource src = parseBookSource(QStringLiteral("name: n\nheading: h\n"
                                                          "== Вода\n"
                                                          "строка\n"
                                                          "=> вода; РЕКА; Ёлка; Елка; Река ; Лес\n"
                                                          "== Река\n"
                                                          "=>| Вода; Омут\n"
                                                          "== Ёлка\n"
                                                          "=> Ёлки\n"
                                                          "== Поле\n")
                                               .toUtf8(),
                                           QStringLiteral("src.txt"));
    const std::vector<DanglingLink> d = danglingSeeAlso(src.content);
    struct Want {
        int line;
        const char *headword, *name;
    };
    // letter case is ignored, е and ё are not; the verbatim list ends without
    // a separator, so "Омут" is no link and is not checked
    const Want want[] = {{5, "Вода", "Елка"}, {5, "Вода", "Лес"}, {9, "Ёлка", "Ёлки"}};
    ASSERT_EQ(d.size(), std::size(want));
    for (std::size_t i = 0; i < d.size(); ++i) {
        EXPECT_EQ(d[i].line, want[i].line) << i;
        EXPECT_EQ(d[i].headword, QString::fromUtf8(want[i].headword)) << i;
        EXPECT_EQ(d[i].name, QString::fromUtf8(want[i].name)) << i;
    }

    try {
        checkSeeAlso(src.content, QStringLiteral("src.txt"));
        ADD_FAILURE() << "dangling names accepted";
    } catch (const Error &e) {
        const QStringList lines = e.description().split(u'\n');
        ASSERT_EQ(lines.size(), 3);
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("src.txt:5: "))) << e.what();
        EXPECT_TRUE(lines[0].contains(QStringLiteral("«Елка»"))) << e.what();
        EXPECT_TRUE(lines[2].startsWith(QStringLiteral("src.txt:9: "))) << e.what();
        EXPECT_TRUE(lines[2].contains(QStringLiteral("«Ёлки»"))) << e.what();
    }
    const QByteArray linked = QByteArray(kCanonical).replace("Река; Море; ", "");
    EXPECT_NO_THROW(checkSeeAlso(parseBookSource(linked, QStringLiteral("ok.txt")).content, QStringLiteral("ok.txt")));
}

TEST(BookSource, ManyDanglingNamesAreCountedAfterTheFirstFifty)
{
    BookContent book;
    book.name = book.heading = QStringLiteral("n");
    QStringList names;
    for (int i = 0; i < 70; ++i)
        names << QStringLiteral("нет%1").arg(i);
    book.entries.push_back({QStringLiteral("Слово"), QString(), names.join(u';') + u'.', 3, 4});
    try {
        checkSeeAlso(book, QStringLiteral("b.txt"));
        ADD_FAILURE() << "dangling names accepted";
    } catch (const Error &e) {
        const QStringList lines = e.description().split(u'\n');
        ASSERT_EQ(lines.size(), 51);
        EXPECT_TRUE(lines[49].contains(QStringLiteral("«нет49»")));
        EXPECT_TRUE(lines[50].startsWith(QStringLiteral("b.txt: ")));
        EXPECT_TRUE(lines[50].endsWith(QStringLiteral(": 20")));
    }
}
