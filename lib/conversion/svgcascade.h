#ifndef SVGCASCADE_H
#define SVGCASCADE_H

#include "svgstyle.h"

class QDomElement;

namespace ktconv {

// Every <style> sheet's rules; the sheets are removed so that nothing applies them twice.
StyleSheet takeStyleSheets(QDomElement root);

// Declarations in a fixed order, as a style attribute holds them.
QString serializeStyle(const StyleMap& style);

// Flowed text from the editor's older files keeps its justification and paragraph indent
// in an attribute of the editor's own; they are what text-align and text-indent say.
void readLayoutOptions(QDomElement element);

// Writes each element's computed style, from `initial` at the root down, into its style
// attribute and drops the attributes and classes it came from.
void cascadeFrom(QDomElement root, const StyleMap& initial, const StyleSheet& sheet);

} // namespace ktconv

#endif // SVGCASCADE_H
