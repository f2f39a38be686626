#ifndef SVGNORMALIZER_H
#define SVGNORMALIZER_H

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ktconv {

struct MissingGlyph;

// The drawing rewritten into the plain subset every SVG reader draws alike: styles resolved
// through the cascade (presentation attributes, then <style> sheets, then style="") onto
// each element, clones and symbols copied in place, nested viewports turned into
// transforms, lengths in user units, text and flowed text turned into glyph outlines, and
// whatever cannot be seen left out. `warnings` name what is not cut as drawn; `missing`, the
// characters of the text that no installed font has.
bool normalizeSvg(const QByteArray& content, QByteArray* normalized, QStringList* warnings, QString* error,
                  QVector<MissingGlyph>* missing = nullptr);

} // namespace ktconv

#endif // SVGNORMALIZER_H
