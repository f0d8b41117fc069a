#include "support/Artwork.h"

#include <QApplication>
#include <QBuffer>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <array>
#include <memory>
#include <optional>

namespace somnex {

QString artworkPath(const QString &name)
{
    return QStringLiteral(":/artwork/") + name + QStringLiteral(".svg");
}

QPixmap artworkPixmap(const QString &name, QSize size, qreal dpr)
{
    // kept, as the same few pictures are asked for again and again (every
    // book's button has the same frame)
    const QString key =
        QStringLiteral("somnex-artwork-pixmap:%1:%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(dpr);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    QSvgRenderer r(artworkPath(name));
    pm = QPixmap(size * dpr);
    pm.fill(Qt::transparent);
    if (r.isValid()) {
        QPainter p(&pm);
        r.render(&p);
    }
    pm.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pm);
    return pm;
}

const char *imageFormatOf(const QByteArray &data)
{
    struct Signature {
        QByteArrayView start;
        const char *format;
    };
    static constexpr std::array kSignatures{
        Signature{"\x89PNG\r\n\x1a\n", "PNG"},
        Signature{"GIF87a", "GIF"},
        Signature{"GIF89a", "GIF"},
        Signature{"\xff\xd8\xff", "JPEG"},
        Signature{QByteArrayView("\0\0\1\0", 4), "ICO"},
        Signature{QByteArrayView("\0\0\2\0", 4), "CUR"},
        Signature{"BM", "BMP"},
    };
    for (const Signature &s : kSignatures)
        if (data.startsWith(s.start))
            return s.format;
    return nullptr;
}

QImage readPicture(const QByteArray &data)
{
    if (const char *format = imageFormatOf(data)) {
        QBuffer buffer;
        buffer.setData(data);
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        QImage image;
        if (reader.read(&image))
            return image;
    }
    return QImage::fromData(data); // not what its start says: every reader is asked
}

namespace {

// An icon drawn from its picture at the size asked for, when it is first
// asked for: a window full of icons costs nothing until it is painted.
// Disabled and selected forms are made by the style, as for icons of
// pixmaps.
class ArtworkEngine : public QIconEngine {
public:
    ArtworkEngine(QString path, QList<int> sides) : path_(std::move(path)), sides_(std::move(sides)) {}
    QIconEngine *clone() const override { return new ArtworkEngine(path_, sides_); }
    QString key() const override { return QStringLiteral("somnex-artwork"); }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const QSize base = defaultSize();
        return base.isValid() ? base.scaled(size, Qt::KeepAspectRatio) : size;
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> out;
        for (int s : sides_)
            out << actualSize(QSize(s, s), QIcon::Normal, QIcon::Off);
        return out;
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize actual = actualSize(size, mode, state);
        if (actual.isEmpty())
            return QPixmap();
        const QString key =
            QStringLiteral("somnex-artwork:%1:%2x%3").arg(path_).arg(actual.width()).arg(actual.height());
        QPixmap pm;
        if (!QPixmapCache::find(key, &pm)) {
            pm = QPixmap(actual);
            pm.fill(Qt::transparent);
            if (renderer().isValid()) {
                QPainter p(&pm);
                renderer().render(&p);
            }
            QPixmapCache::insert(key, pm);
        }
        if (mode != QIcon::Normal && mode != QIcon::Active && QApplication::instance()) {
            QStyleOption opt;
            opt.palette = QGuiApplication::palette();
            return QApplication::style()->generatedIconPixmap(mode, pm, &opt);
        }
        return pm;
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatio() : qreal(1);
        QPixmap pm = pixmap(rect.size() * dpr, mode, state);
        pm.setDevicePixelRatio(dpr);
        const QSize shown = pm.deviceIndependentSize().toSize();
        painter->drawPixmap(
            QRect(rect.topLeft() + QPoint((rect.width() - shown.width()) / 2, (rect.height() - shown.height()) / 2),
                  shown),
            pm);
    }

private:
    QSvgRenderer &renderer()
    {
        if (!renderer_)
            renderer_ = std::make_unique<QSvgRenderer>(path_);
        return *renderer_;
    }
    QSize defaultSize()
    {
        if (!base_)
            base_ = renderer().defaultSize();
        return *base_;
    }

    QString path_;
    QList<int> sides_;
    std::unique_ptr<QSvgRenderer> renderer_;
    std::optional<QSize> base_;
};

// The application's style, but for the toolbars' overflow buttons, which get
// pictures of ours, drawn when first shown.
class ArtworkStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const override
    {
        if (which == SP_ToolBarHorizontalExtensionButton)
            return artworkIcon(QStringLiteral("toolbar-more"));
        if (which == SP_ToolBarVerticalExtensionButton)
            return artworkIcon(QStringLiteral("toolbar-more-down"));
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

} // namespace

void UseArtworkStyle()
{
    QApplication::setStyle(new ArtworkStyle);
}

QIcon artworkIcon(const QString &name)
{
    return QIcon(new ArtworkEngine(artworkPath(name), {16, 22, 24, 32, 48, 64}));
}

QIcon appIcon()
{
    return QIcon(new ArtworkEngine(artworkPath(QStringLiteral("zul-somnex")), {16, 22, 24, 32, 48, 64, 128, 256}));
}

} // namespace somnex
