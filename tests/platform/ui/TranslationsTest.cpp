#include "platform/ui/Translations.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemModel>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace somnex {
namespace {

TEST(RussianFormats, FileSizesReadAsARussianWritesThem)
{
    struct Case {
        qint64 bytes;
        const char *text;
    };
    const Case cases[] = {
        {0, "0 байт"},    {1, "1 байт"},      {2, "2 байта"},       {4, "4 байта"},
        {5, "5 байт"},    {11, "11 байт"},    {14, "14 байт"},      {21, "21 байт"},
        {22, "22 байта"}, {111, "111 байт"},  {1023, "1023 байта"}, {1024, "1,0 КБ"},
        {1536, "1,5 КБ"}, {123456, "121 КБ"}, {5 << 20, "5,0 МБ"},  {qint64(3) << 30, "3,0 ГБ"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RussianDataSize(c.bytes).toStdString(), c.text) << c.bytes;
}

TEST(RussianFormats, TheProgramsOwnFormatsAreRussianUnderAnyLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale::c());
    UseRussianFormats();
    EXPECT_EQ(QLocale().toString(20.0, 'f', 2), "20,00") << "the page setup's millimetres";
    EXPECT_EQ(QLocale().toString(QDate(2026, 3, 9), "d MMMM yyyy"), "9 марта 2026");
    QLocale::setDefault(before);
}

TEST(RussianFormats, TheFileDialogTextsQtLeavesInEnglish)
{
    LoadQtTranslations(*QCoreApplication::instance());
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), "Папка");
    EXPECT_EQ(QCoreApplication::translate("QAbstractFileIconProvider", "%1 File"), "Файл %1");
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), "Открыть") << "Qt's own catalogue still answers";

    QTemporaryDir dir;
    QFile f(dir.path() + "/five.book");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("12345");
    f.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("Сонники"));
    QFileSystemModel files;
    QEventLoop loop;
    QObject::connect(&files, &QFileSystemModel::directoryLoaded, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    files.setRootPath(dir.path());
    loop.exec();
    RussianFileColumns columns;
    columns.setSourceModel(&files);
    const QModelIndex root = columns.mapFromSource(files.index(dir.path()));
    ASSERT_EQ(columns.rowCount(root), 2);
    for (int row = 0; row < 2; ++row) {
        const QString name = columns.index(row, 0, root).data().toString();
        const QString size = columns.index(row, 1, root).data().toString();
        const QString type = columns.index(row, 2, root).data().toString();
        const QString date = columns.index(row, 3, root).data().toString();
        if (name == "five.book") {
            EXPECT_EQ(size, "5 байт");
        } else {
            EXPECT_EQ(name, "Сонники");
            EXPECT_EQ(size, "");
            EXPECT_EQ(type, "Папка");
        }
        EXPECT_TRUE(QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d$").match(date).hasMatch())
            << "day first, as in Russia: " << date.toStdString();
    }
}

} // namespace
} // namespace somnex
