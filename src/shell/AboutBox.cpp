#include "shell/AboutBox.h"

#include "appstate/AppState.h"
#include "platform/core/Messages.h"
#include "platform/ui/Desktop.h"
#include "support/Artwork.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace somnex {

QString AboutBox::homePage()
{
    return QStringLiteral("https://ru.wikipedia.org/wiki/Сонник");
}

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("О программе"));
    setWindowIcon(appIcon());
    auto *pic = new QLabel(this);
    pic->setPixmap(artworkPixmap("zul-somnex", {64, 64}, devicePixelRatioF()));
    pic->setAlignment(Qt::AlignCenter);
    auto *name = new QLabel(QStringLiteral("<b style='font-size:16pt'>ZUL Somnex 3</b>"), this);
    name->setAlignment(Qt::AlignCenter);
    auto *version = new QLabel(QStringLiteral("Версия ") + VersionText(), this);
    version->setObjectName(QStringLiteral("version"));
    version->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(QStringLiteral("Сонник с толкованиями нескольких книг снов\n"
                                           "и лунный календарь сбывания снов."),
                            this);
    text->setAlignment(Qt::AlignCenter);
    auto *link = new QLabel(QStringLiteral("<a href=\"%1\">О сонниках и толковании снов</a>").arg(homePage()), this);
    link->setAlignment(Qt::AlignCenter);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    link->setObjectName(QStringLiteral("homePage"));
    connect(link, &QLabel::linkActivated, this, &AboutBox::openHomePage);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *v = new QVBoxLayout(this);
    for (QWidget *w : {static_cast<QWidget *>(pic), static_cast<QWidget *>(name), static_cast<QWidget *>(version),
                       static_cast<QWidget *>(text), static_cast<QWidget *>(link)})
        v->addWidget(w);
    v->addWidget(buttons);
}

std::function<bool(const QString &)> &AboutBox::urlOpener()
{
    static std::function<bool(const QString &)> opener = [](const QString &url) { return OpenUrl(url); };
    return opener;
}

void AboutBox::openHomePage()
{
    if (urlOpener()(homePage()))
        return;
    QGuiApplication::clipboard()->setText(homePage());
    ShowMessage(QStringLiteral("Не удалось открыть страницу: в системе не найден веб-браузер.\n"
                               "Адрес скопирован в буфер обмена:\n")
                    + homePage(),
                windowTitle(), MsgIcon::Warning);
}

namespace {

constexpr QSize kSplashSize(420, 260);

// The splash artwork at a device pixel ratio. It holds no text, so it can be
// drawn on any thread without the font database.
QImage drawSplash(qreal dpr)
{
    QImage image(kSplashSize * dpr, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer(artworkPath(QStringLiteral("splash"))).render(&p, QRectF(QPointF(0, 0), QSizeF(image.size())));
    p.end();
    image.setDevicePixelRatio(dpr);
    return image;
}

} // namespace

Splash::Splash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kSplashSize);
    setWindowOpacity(220.0 / 255.0);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        drawingRatio_ = s->devicePixelRatio();
    drawing_ = std::async(std::launch::async, drawSplash, drawingRatio_);
}

Splash::~Splash()
{
    if (drawing_.valid())
        drawing_.wait();
}

QString Splash::versionText() const
{
    return QStringLiteral("Версия ") + VersionText();
}

QPixmap Splash::picture(qreal dpr)
{
    if (!picture_.isNull() && qFuzzyCompare(picture_.devicePixelRatio(), dpr))
        return picture_;
    QImage image = drawing_.valid() ? drawing_.get() : QImage();
    if (image.isNull() || !qFuzzyCompare(drawingRatio_, dpr))
        image = drawSplash(dpr); // shown on a screen of another scale
    QPainter p(&image);
    p.setPen(QColor(0xdb, 0xe3, 0xff));
    p.setFont(font()); // the windows' font, whose glyphs are already made
    p.drawText(QRect(0, height() - 34, width() - 24, 24), Qt::AlignRight | Qt::AlignVCenter, versionText());
    p.end();
    picture_ = QPixmap::fromImage(std::move(image));
    return picture_;
}

void Splash::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, picture(devicePixelRatioF()));
}

} // namespace somnex
