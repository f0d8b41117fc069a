#pragma once
// Placing the main window's controls in twips, the unit its layout is given in.

#include "appstate/AppState.h"
#include "platform/core/Twips.h"

#include <QWidget>

#include <algorithm>

namespace somnex {

inline void setTwips(QWidget *w, const TwipRect &r)
{
    w->setGeometry(TwipsToPixels(r.left), TwipsToPixels(r.top), std::max(0, TwipsToPixels(r.width)),
                   std::max(0, TwipsToPixels(r.height)));
}

inline double twipsWidth(const QWidget *w)
{
    return PixelsToTwips(w->width());
}

inline double twipsHeight(const QWidget *w)
{
    return PixelsToTwips(w->height());
}

} // namespace somnex
