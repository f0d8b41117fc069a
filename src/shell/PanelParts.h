#pragma once
// The pieces both panels of the main window build their header strips from.

#include "support/ClickLabel.h"

namespace somnex {

// An arrow picture of a panel's header strip.
ClickLabel *panelArrow(QWidget *strip, const char *name);
// The white bold caption of a panel's header strip.
ClickLabel *panelCaption(QWidget *strip, const QString &text);

} // namespace somnex
