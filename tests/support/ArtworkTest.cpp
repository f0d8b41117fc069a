#include "support/Artwork.h"
#include "support/TestPictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

using namespace somnex;

namespace {

QByteArray encoded(const QImage &img, const char *format)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_TRUE(img.save(&buf, format)) << format;
    return bytes;
}

bool imagePluginLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return !maps.open(QIODevice::ReadOnly) || maps.readAll().contains("/imageformats/");
}

QImage sample()
{
    QImage img(8, 6, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    img.setPixelColor(1, 1, Qt::yellow);
    return img;
}

} // namespace

// A picture is read by the reader its first bytes name; the formats Qt reads
// itself load no plugin on the way (the first such load costs a start-up
// several milliseconds). What its start does not name is still read.
TEST(Pictures, EachIsReadByTheReaderItsStartNames)
{
    // (made without Qt's image writer, which loads every plugin)
    for (const QByteArray &bytes : {tinyPng(), tinyBmp()}) {
        const QImage read = readPicture(bytes);
        ASSERT_EQ(read.size(), QSize(4, 3)) << imageFormatOf(bytes);
        EXPECT_EQ(read.pixelColor(1, 1), QColor(Qt::yellow)) << imageFormatOf(bytes);
    }
    EXPECT_STREQ(imageFormatOf(tinyPng()), "PNG");
    EXPECT_STREQ(imageFormatOf(tinyBmp()), "BMP");
    EXPECT_FALSE(imagePluginLoaded()) << "PNG and BMP Qt reads itself, with no plugin";

    // what the start does not name is still read, by whichever reader can
    const QImage img = sample();
    for (const char *format : {"XPM", "PPM"}) {
        const QByteArray bytes = encoded(img, format);
        EXPECT_EQ(imageFormatOf(bytes), nullptr) << format;
        EXPECT_EQ(readPicture(bytes).pixelColor(1, 1), QColor(Qt::yellow)) << format;
    }
    // formats of plugins: named, and read by theirs
    for (const char *format : {"JPEG", "ICO"}) {
        const QByteArray bytes = encoded(img, format);
        EXPECT_STREQ(imageFormatOf(bytes), format);
        EXPECT_EQ(readPicture(bytes).size(), img.size()) << format;
    }
    QByteArray cursor = encoded(img, "ICO");
    cursor[2] = 2;
    EXPECT_STREQ(imageFormatOf(cursor), "CUR");
    EXPECT_STREQ(imageFormatOf(tinyGif()), "GIF");
    EXPECT_EQ(readPicture(tinyGif()).size(), QSize(1, 1));

    // not pictures, or pictures cut short: nothing, never a crash
    const QByteArray png = tinyPng();
    for (const QByteArray &bad : {QByteArray(), QByteArray("not a picture"), QByteArray("BM"), png.left(20),
                                  png.left(png.size() / 2), QByteArray("\xff\xd8\xff", 3)})
        EXPECT_TRUE(readPicture(bad).isNull()) << bad.toHex().toStdString();
}

// Every picture compiled into the program draws something at toolbar size.
TEST(Artwork, EveryPictureDraws)
{
    const QStringList files = QDir(QStringLiteral(":/artwork")).entryList({QStringLiteral("*.svg")});
    ASSERT_GT(files.size(), 30);
    for (const QString &file : files) {
        const QString name = file.chopped(4);
        const QImage img = artworkPixmap(name, {16, 16}, 2.0).toImage();
        ASSERT_EQ(img.size(), QSize(32, 32)) << name.toStdString();
        int drawn = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                drawn += img.pixelColor(x, y).alpha() > 0;
        EXPECT_GT(drawn, 16) << name.toStdString();
    }
    // asked again, the same picture (kept, not drawn anew)
    EXPECT_EQ(artworkPixmap(QStringLiteral("folder"), {16, 16}, 2.0).cacheKey(),
              artworkPixmap(QStringLiteral("folder"), {16, 16}, 2.0).cacheKey());
}
