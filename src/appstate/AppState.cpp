#include "appstate/AppState.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>

namespace somnex {

AppState &app()
{
    static AppState s;
    return s;
}

QString VersionText()
{
    return QStringLiteral("3.2.144");
}

bool CommandLineWantsTray(const QString &commandLine)
{
    return commandLine.toUpper().contains(QLatin1String("/TRAY"));
}

TwipRect LoadMainGeometry(double top, double left, double height, double width, double screenW, double screenH)
{
    return LoadMainGeometry(top, left, height, width, TwipRect{0, 0, screenW, screenH});
}

double FontScale(double averageLetterWidth, double lineHeight)
{
    constexpr double kDesignLetterWidth = 6.0, kDesignLineHeight = 13.0;
    const double scale = std::max(averageLetterWidth / kDesignLetterWidth, lineHeight / kDesignLineHeight);
    return std::isfinite(scale) ? std::clamp(scale, 1.0, 4.0) : 1.0;
}

TwipRect LoadMainGeometry(double top, double left, double height, double width, const TwipRect &area, double fontScale)
{
    const double screenW = area.width, screenH = area.height;
    TwipRect g;
    // the default size is the twips' at the design font, grown with the running one
    g.height = std::isnan(height) ? 6100 * fontScale : height;
    g.width = std::isnan(width) ? 4100 * fontScale : width;
    const double centreTop = area.top + screenH / 2 - g.height / 2;
    const double centreLeft = area.left + screenW / 2 - g.width / 2;
    g.top = std::isnan(top) ? centreTop : top;
    g.left = std::isnan(left) ? centreLeft : left;
    if (g.top < 1)
        g.top = centreTop;
    if (g.left < 1)
        g.left = centreLeft;
    if (g.width > screenW)
        g.width = screenW - 90;
    if (g.height > screenH)
        g.height = screenH - 90;
    if (g.width < 3500)
        g.width = 3500;
    if (g.height < 4000)
        g.height = 4000;
    return g;
}

TwipRect KeepOnScreens(const TwipRect &g, const std::vector<TwipRect> &areas, const TwipRect &primary)
{
    // The strip along the window's top edge, where its title bar is.
    const double strip = std::min(g.height, 300.0);
    for (const TwipRect &a : areas) {
        const double w = std::min(g.left + g.width, a.left + a.width) - std::max(g.left, a.left);
        const double h = std::min(g.top + strip, a.top + a.height) - std::max(g.top, a.top);
        if (w >= 600 && h > 0)
            return g;
    }
    TwipRect moved = g;
    moved.left = primary.left + std::max(0.0, (primary.width - g.width) / 2);
    moved.top = primary.top + std::max(0.0, (primary.height - g.height) / 2);
    return moved;
}

QString IfLong(const QString &txt, int L)
{
    if (L < txt.size())
        return txt.left(std::max(0, L - 1)) + QStringLiteral("...");
    return txt;
}

short WhatLong(double innerWidth, double pictureWidth, double labelLeft)
{
    const double n = std::floor((innerWidth - pictureWidth - labelLeft) / 85.0);
    if (n > std::numeric_limits<short>::max())
        return std::numeric_limits<short>::max();
    if (n < std::numeric_limits<short>::min())
        return std::numeric_limits<short>::min();
    return static_cast<short>(n);
}

MainLayout LayoutMain(double W, double H, double toolbarTop, double toolbarHeight, double statusHeight,
                      bool literatureOpen, double linkW, double linkH)
{
    MainLayout m;
    m.toolbar = {0, toolbarTop, W, toolbarHeight};
    const double linkTop = toolbarTop + (toolbarHeight - linkH) / 2;
    m.aboutLink = {W - 1300, linkTop, linkW, linkH};
    m.aboutShadow = {W - 1300 + 15, linkTop + 15, linkW, linkH};
    m.aboutPicture = {W - 1300 - 250, toolbarTop + (toolbarHeight - 240) / 2, 240, 240};
    const double litTop = toolbarTop + toolbarHeight + 15;
    const double open = H - litTop - statusHeight - 315;
    m.literature = {0, litTop, W + 15, literatureOpen ? open : kClosedPanelHeight};
    m.dictionary = {0, litTop + m.literature.height - 15, W, literatureOpen ? kClosedPanelHeight : open};
    m.status = {0, H - statusHeight, W, statusHeight};
    return m;
}

namespace {
std::function<void()> &endHook()
{
    static std::function<void()> h;
    return h;
}
} // namespace

void SetProcessEnd(std::function<void()> end)
{
    endHook() = std::move(end);
}

void EndProcess()
{
    app().QuitRequested = true;
    if (endHook())
        endHook()();
    else
        QCoreApplication::exit(0);
}

} // namespace somnex
