#pragma once
// A small RTF writer for the clipboard: runs of text with a font, size,
// colour and emphasis; hidden runs are written as hidden text. Line breaks
// ("\n") end paragraphs.

#include <QByteArray>
#include <QColor>
#include <QString>

#include <utility>
#include <vector>

namespace somnex {

// How a run's text looks. Two runs of one format read as one run.
struct RtfRunFormat {
    QString font = QStringLiteral("Arial");
    double pointSize = 9;
    QColor colour = Qt::black;
    bool bold = false, italic = false, underline = false, hidden = false;
    // what the reader also keeps (the writer leaves them out)
    bool superscript = false, subscript = false, strike = false;
    QColor highlight;  // invalid: none
    int styleHint = 0; // QFont::StyleHint of the font's family
    bool operator==(const RtfRunFormat &) const = default;
};

struct RtfRun : RtfRunFormat {
    // Written as {text, font, size, colour, bold, italic, underline, hidden}.
    RtfRun(QString runText = {}, QString fontName = QStringLiteral("Arial"), double size = 9,
           QColor textColour = Qt::black, bool isBold = false, bool isItalic = false, bool isUnderlined = false,
           bool isHidden = false)
        : RtfRunFormat{std::move(fontName), size, textColour, isBold, isItalic, isUnderlined, isHidden},
          text(std::move(runText))
    {
    }

    QString text;
    int picture = -1; // a picture (its index in the document), text U+FFFC
    // a list item's label: its text as a plain-text export writes it (four
    // spaces a level, the label, a space); shown as the label and a tab
    bool listLabel = false;
    const RtfRunFormat &format() const { return *this; }
    bool operator==(const RtfRun &) const = default;
};

// The RTF document of the runs (ANSI code page 1251, Unicode escapes for
// characters outside it).
QByteArray WriteRtf(const std::vector<RtfRun> &runs);

} // namespace somnex
