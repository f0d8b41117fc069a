#pragma once
// Work left until a window has been painted for the first time, so that the
// window shows before it.

#include <QWidget>

#include <functional>

namespace somnex {

// Runs f once the first paint of w is done (queued behind it); at once when
// w is not visible, since then no paint comes.
void afterFirstPaint(QWidget *w, std::function<void()> f);

} // namespace somnex
