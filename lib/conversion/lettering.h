#ifndef LETTERING_H
#define LETTERING_H

#include "svgtextshape.h"
#include "weld.h"

#include <QByteArray>
#include <QPainterPath>
#include <QString>
#include <QStringList>

namespace ktconv {

// Text typed straight in, as the person sets it: the font, the height of a capital and the
// spacing in millimetres.
struct LetteringOptions
{
    QString family = QStringLiteral("sans-serif"); // a family list as in CSS
    bool bold = false;
    bool italic = false;
    double capHeightMm = 10;
    double lineSpacing = 1; // times the font's own distance from line to line
    Qt::Alignment align = Qt::AlignLeft;
    double letterSpacingMm = 0; // added between letters
    bool weld = false;          // overlapping outlines joined into one
};

struct Lettering
{
    QPainterPath outline; // millimetres, y downwards, top-left of the text box at 0,0
    double widthMm = 0, heightMm = 0;
    QString familyUsed;            // the installed family the text is drawn in
    QVector<MissingGlyph> missing; // characters no installed font draws
};

// Lays the lines out; characters no installed font has are left out and named in `missing`.
// False with a message when there is nothing to cut.
bool layOutLettering(const QStringList& lines, const LetteringOptions& options, Lettering* result, QString* error);

// The lettering as a drawing in millimetres, for the path every drawing takes to the cutter.
QByteArray letteringDrawing(const Lettering& lettering);

// The number of closed outlines a path is cut as.
int outlineCount(const QPainterPath& path);

} // namespace ktconv

#endif // LETTERING_H
