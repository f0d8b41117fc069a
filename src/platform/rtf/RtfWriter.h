#pragma once
// A small RTF writer for the clipboard: runs of text with a font, size,
// colour and emphasis; hidden runs are written as hidden text. Line breaks
// ("\n") end paragraphs.

#include <QByteArray>
#include <QColor>
#include <QString>

#include <vector>

namespace somnex {

struct RtfRun {
    QString text;
    QString font = QStringLiteral("Arial");
    double pointSize = 9;
    QColor colour = Qt::black;
    bool bold = false, italic = false, underline = false, hidden = false;
    // what the reader also keeps (the writer leaves them out)
    bool superscript = false, subscript = false, strike = false;
    QColor highlight;  // invalid: none
    int styleHint = 0; // QFont::StyleHint of the font's family
    int picture = -1;  // a picture (its index in the document), text U+FFFC
    // a list item's label: its text as a plain-text export writes it (four
    // spaces a level, the label, a space); shown as the label and a tab
    bool listLabel = false;
};

// The RTF document of the runs (ANSI code page 1251, Unicode escapes for
// characters outside it).
QByteArray WriteRtf(const std::vector<RtfRun> &runs);

} // namespace somnex
