#ifndef SVGSTYLE_H
#define SVGSTYLE_H

#include <QHash>
#include <QString>
#include <QVector>

class QDomElement;

namespace ktconv {

using StyleMap = QHash<QString, QString>;

// The declarations of a style="" attribute or a rule body, in the order written.
StyleMap parseDeclarations(const QString& text);

// The rules of a drawing's <style> sheets. Compound selectors (type, .class, #id, *) and
// selector lists are matched; a rule whose selector has combinators or pseudo-classes
// is left out rather than applied to the wrong elements.
class StyleSheet
{
public:
    void add(const QString& css);
    bool isEmpty() const { return rules.isEmpty(); }
    // The sheet's declarations for the element, later and more specific rules winning.
    StyleMap match(const QDomElement& element) const;

private:
    struct Rule
    {
        QString type, id;
        QStringList classes;
        int specificity = 0;
        int order = 0;
        StyleMap declarations;
    };
    QVector<Rule> rules;
};

// What an element itself says: presentation attributes, overridden by the sheet, overridden
// by its style attribute (the cascade's order of precedence for these three).
StyleMap specifiedStyle(const QDomElement& element, const StyleSheet& sheet);

// Names a style property may also be given as an attribute of its own.
bool isPresentationAttribute(const QString& name);

// Properties a child takes from its parent unless it says otherwise.
bool isInheritedProperty(const QString& name);

// A CSS length in user units (CSS pixels, 96 per inch). `em` counts in `fontSize`, `%` in
// `percentBase`. False for anything else.
bool lengthInUserUnits(const QString& text, double fontSize, double percentBase, double* value);

// A font-size value in user units, given the parent's.
double fontSizeInUserUnits(const QString& text, double parentSize);

// An opacity as 0..1 (numbers or percentages); 1 when unreadable.
double opacityValue(const QString& text);

} // namespace ktconv

#endif // SVGSTYLE_H
