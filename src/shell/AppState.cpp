#include "shell/AppState.h"

#include <QCoreApplication>

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

TwipRect LoadMainGeometry(double top, double left, double height, double width, double screenW,
                          double screenH)
{
    TwipRect g;
    g.height = std::isnan(height) ? 6100 : height;
    g.width = std::isnan(width) ? 4100 : width;
    g.top = std::isnan(top) ? screenH / 2 - g.height / 2 : top;
    g.left = std::isnan(left) ? screenW / 2 - g.width / 2 : left;
    if (g.top < 1)
        g.top = screenH / 2 - g.height / 2;
    if (g.left < 1)
        g.left = screenW / 2 - g.width / 2;
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

MainLayout LayoutMain(double W, double H, double toolbarTop, double toolbarHeight,
                      double statusHeight, bool literatureOpen, double linkW, double linkH)
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
    m.dictionary = {0, litTop + m.literature.height - 15, W,
                    literatureOpen ? kClosedPanelHeight : open};
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
