#include "shell/StatusPanel.h"

#include "appstate/AppState.h"
#include "platform/core/RussianDates.h"
#include "platform/core/Twips.h"
#include "shell/PanelGeometry.h"
#include "support/Process.h"

#include <QLabel>
#include <QTimer>
#include <QVariant>

namespace somnex {

StatusPanel::StatusPanel(QWidget *parent) : StatusStrip(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    Label7 = new QLabel(this);
    Label6 = new QLabel(this);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label6->setObjectName(QStringLiteral("Label6"));
    // words, book and article names are shown as they are, never as markup
    Label7->setTextFormat(Qt::PlainText);
    Label6->setTextFormat(Qt::PlainText);
    // the strip paints its own light colours: its text is dark on any theme
    for (QLabel *l : {Label7, Label6}) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, QColor(0x10, 0x10, 0x10));
        l->setPalette(pal);
    }
    QFont bf = Label6->font();
    bf.setBold(true);
    Label6->setFont(bf);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignVCenter); // a long word is cut at its end
    Image11 = new QLabel(this);                             // painted by the strip; kept for its extent
    Image11->setFixedSize(TwipsToPixels(255), 1);
    Image11->hide();
    Process1 = new Process(this);
    Process1->hide();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &StatusPanel::Timer1_Timer);
}

void StatusPanel::showCounts(const QString &text, const QStringList &shorter)
{
    Label7->setProperty("fullText", IfLong(text, WhatLong()));
    Label7->setProperty("shorterTexts", shorter);
    layoutLabels();
}

void StatusPanel::StText()
{
    if (app().LiteratureActive)
        return;
    const long n = app().WordEntryTotal;
    const QString text = QString::number(n) + QStringLiteral(" словарных статей; ~") + QString::number(5 * n)
                         + QStringLiteral(" толкований");
    Label7->setToolTip(text);
    showCounts(text, {dates::counted(n, QStringLiteral("словарная статья"), QStringLiteral("словарные статьи"),
                                     QStringLiteral("словарных статей")),
                      dates::counted(n, QStringLiteral("статья"), QStringLiteral("статьи"), QStringLiteral("статей"))});
}

void StatusPanel::showWord(const QString &text)
{
    Label6->setText(text);
    layoutLabels();
}

void StatusPanel::layoutLabels()
{
    // The counts label on the left, the current word on the right; the
    // counts give way where both do not fit, ending in "...".
    const int h = height();
    const int imgLeft = width() - TwipsToPixels(255);
    Process1->setGeometry(imgLeft - 22, (h - 16) / 2 + 1, 16, 16);
    const int left = TwipsToPixels(90);
    const int wordWidth = std::min(Label6->sizeHint().width(), std::max(0, (imgLeft - left) / 2));
    const int wordLeft = imgLeft - 26 - wordWidth;
    Label6->setGeometry(wordLeft, 2, wordWidth, h - 2);
    const int countsWidth = std::max(0, wordLeft - 8 - left);
    Label7->setGeometry(left, 2, countsWidth, h - 2);
    QString shown = Label7->property("fullText").toString();
    const QFontMetrics metrics = Label7->fontMetrics();
    for (const QString &shorter : Label7->property("shorterTexts").toStringList()) {
        if (metrics.horizontalAdvance(shown) <= countsWidth)
            break;
        shown = shorter;
    }
    Label7->setText(metrics.elidedText(shown, Qt::ElideRight, countsWidth));
}

short StatusPanel::WhatLong() const
{
    return somnex::WhatLong(twipsWidth(window()), 255, PixelsToTwips(Label7->x()));
}

void StatusPanel::startBusy()
{
    Process1->show();
    Process1->ProgressPlay();
}

void StatusPanel::stopBusySoon()
{
    Timer1->start();
}

void StatusPanel::Timer1_Timer()
{
    Timer1->stop();
    Process1->hide();
    Process1->ProgressStop();
}

} // namespace somnex
