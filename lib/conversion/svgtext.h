#ifndef SVGTEXT_H
#define SVGTEXT_H

#include "svgtextshape.h"

#include <QDomElement>
#include <QHash>
#include <QPainterPath>
#include <QRectF>
#include <QStringList>
#include <QVector>

#include <cmath>

namespace ktconv {

// One addressable character of a text element with what its element says about its place.
// NaN marks a position the character does not set.
struct TextChar
{
    QString character; // one code point; "\n" ends a flowed paragraph
    int style = 0;     // index into TextBlock::styles
    int path = -1;     // index into TextBlock::paths when laid along a path
    double x = NAN, y = NAN, dx = NAN, dy = NAN, rotate = NAN;
    bool positioned() const { return !std::isnan(x) || !std::isnan(y); }
    // A shift of zero does not part a character from its neighbours: they stay one shaped
    // run, kerned and joined as they would be without it.
    bool adjusted() const { return positioned() || moves(dx) || moves(dy); }
    double turn() const { return std::isnan(rotate) ? 0 : rotate; }
    static bool moves(double shift) { return !std::isnan(shift) && shift != 0; }
};

struct TextPathRef
{
    QPainterPath path;
    double startOffset = 0; // user units along the path
};

struct TextBlock
{
    QVector<TextChar> chars;
    QVector<TextStyle> styles;
    QVector<TextPathRef> paths;
};

struct TextContext
{
    QHash<QString, QDomElement> ids; // every element with an id, for textPath and frames
    QStringList* warnings = nullptr;
    QVector<MissingGlyph>* missing = nullptr; // characters no installed font has, left out
};

// Replaces a <text> or <flowRoot> element, whose elements carry their computed style in
// style="", with a group of its glyph outlines, each in its own fill and stroke.
void replaceTextWithOutlines(QDomElement text, const TextContext& context);

// The characters, styles and paths of a <text> or <flowRoot> element, in document order.
void collectText(const QDomElement& root, TextBlock* block, const TextContext& context);

// Lines broken at spaces to fit the frames, filling each frame in turn: each line fills
// the stretches of its frame that hold the line's height, left to right, and a band too
// narrow for a word is passed over. Each word gets its place, aligned or justified as its
// paragraph says; no line is shorter than the text element's own (`strut`). Lines past
// the last frame are left out; false when some were.
bool wrapInFrames(TextBlock* block, const QVector<QPainterPath>& frames, bool firstBaselineAtTop,
                  const TextStyle& strut);

// Width of chars [from, to) laid as one line.
double measureChars(const TextBlock& block, int from, int to);

} // namespace ktconv

#endif // SVGTEXT_H
