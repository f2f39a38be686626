#ifndef SVGTEXTSHAPE_H
#define SVGTEXTSHAPE_H

#include "svgstyle.h"

#include <QFont>
#include <QPainterPath>
#include <QVector>

namespace ktconv {

// One run of text's look, from the computed style of the element that holds it.
struct TextStyle
{
    QFont font;       // at the reference pixel size; `size` scales it
    double size = 16; // font size in user units
    QString fill, stroke;
    bool visible = true; // some of fill and stroke shows, and visibility is not hidden
    QString anchor;      // start, middle or end
    QString align;       // text-align of flowed text: start, end, left, right, center, justify
    bool rtl = false;    // direction: rtl: a flowed line starts at the right, whatever its words
    double indent = 0;   // text-indent: the first line of a flowed paragraph, user units
    double lineHeight = 20;
    double baselineShift = 0; // upwards, user units
    QString familyAsked;      // for messages
};

TextStyle textStyle(const StyleMap& computed);

// One glyph's outline with its origin on the baseline, in user units.
struct Glyph
{
    QPainterPath outline;
    double x = 0; // from the run's start
    double advance = 0;
};

// The run shaped with Qt's text layout (kerning, ligatures, fallback fonts, bidi).
QVector<Glyph> shapeRun(const QString& text, const TextStyle& style, double* advance);
// The run's advance alone, without the outlines: for measuring.
double runAdvance(const QString& text, const TextStyle& style);

// The run's characters that neither its font nor any fallback can draw.
QString missingCharacters(const QString& text, const TextStyle& style);

// A character no installed font can draw: never cut as the font's box, so the work that
// holds it is refused unless the person lets it be cut without.
struct MissingGlyph
{
    QString character; // one code point
    QString place;     // where it is, in words: "line 2, column 4", "the text \"Hi\" (id t1)"
    QString family;    // the font family asked for

    QString code() const; // U+XXXX
    // "X" (U+XXXX) in PLACE: no installed font has it (asked: FAMILY)
    QString describe() const;
    bool operator==(const MissingGlyph& o) const
    {
        return character == o.character && place == o.place && family == o.family;
    }
};

// Work holding missing characters refused: one line per character, then how many.
QString missingGlyphsRefusal(const QVector<MissingGlyph>& missing);
// True for a message missingGlyphsRefusal made: the work may be cut without them.
bool refusedForMissingGlyphs(const QString& error);

// How far the font's em box reaches above the baseline, in user units.
double fontAscent(const TextStyle& style);

} // namespace ktconv

#endif // SVGTEXTSHAPE_H
