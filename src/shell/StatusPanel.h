#pragma once
// The status strip of the main window: the counts on the left (the
// dictionary's entries or the literature's articles), the current word or
// article on the right, and the busy animation while the word list loads.

#include "support/StatusStrip.h"

#include <QStringList>

class QLabel;
class QTimer;

namespace somnex {

class Process;

class StatusPanel : public StatusStrip {
public:
    explicit StatusPanel(QWidget *parent);

    // The counts, shortened to what the window's width allows; where the
    // word beside them leaves less room, the first of the shorter forms that
    // fits is shown whole rather than one cut in the middle.
    void showCounts(const QString &text, const QStringList &shorter = {});
    // The dictionary's counts (nothing while the literature is active).
    void StText();
    // The word or article name of the right-hand label, as it is (never markup).
    void showWord(const QString &text);
    // Puts the labels in place for the strip's size.
    void layoutLabels();
    // How many letters the counts may take at the window's width.
    short WhatLong() const;

    // The busy animation: started, and stopped half a second later by Timer1.
    void startBusy();
    void stopBusySoon();
    void Timer1_Timer();

private:
    QLabel *Label7 = nullptr; // counts
    QLabel *Label6 = nullptr; // current word
    QLabel *Image11 = nullptr;
    Process *Process1 = nullptr;
    QTimer *Timer1 = nullptr;
};

} // namespace somnex
