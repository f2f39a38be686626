#include "svgcascade.h"

#include <QDomElement>

namespace ktconv {
namespace {

// An element's computed style: the inherited part of its parent's, then its own.
StyleMap computedStyle(const QDomElement& element, const StyleMap& own, const StyleMap& parent)
{
    StyleMap computed;
    for (auto it = parent.begin(); it != parent.end(); ++it) {
        if (isInheritedProperty(it.key()))
            computed.insert(it.key(), it.value());
    }
    for (auto it = own.begin(); it != own.end(); ++it)
        computed.insert(it.key(), it.value() == QLatin1String("inherit") ? parent.value(it.key()) : it.value());
    const double parentSize = parent.value(QStringLiteral("font-size"), QStringLiteral("16")).toDouble();
    computed.insert(QStringLiteral("font-size"),
                    QString::number(fontSizeInUserUnits(computed.value(QStringLiteral("font-size")), parentSize)));
    const QString space = element.attribute(QStringLiteral("xml:space"), computed.take(QStringLiteral("xml:space")));
    if (space == QLatin1String("preserve"))
        computed.insert(QStringLiteral("white-space"), QStringLiteral("pre"));
    else if (space == QLatin1String("default"))
        computed.remove(QStringLiteral("white-space"));
    return computed;
}

void dropStyleAttributes(QDomElement element, const StyleMap& own)
{
    for (auto it = own.begin(); it != own.end(); ++it) {
        if (isPresentationAttribute(it.key()))
            element.removeAttribute(it.key());
    }
}

// Writes each element's computed style into its style attribute and drops the attributes
// and classes it came from. The children that set nothing of their own all get the same
// style: it is worked out once and its text shared.
void cascade(QDomElement element, const StyleMap& computed, const QString& text, const StyleSheet& sheet)
{
    element.removeAttribute(QStringLiteral("class"));
    element.setAttribute(QStringLiteral("style"), text);
    StyleMap plain;
    QString plainText;
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const StyleMap own = specifiedStyle(child, sheet);
        if (!own.isEmpty() || child.hasAttribute(QStringLiteral("xml:space"))) {
            const StyleMap style = computedStyle(child, own, computed);
            dropStyleAttributes(child, own);
            cascade(child, style, serializeStyle(style), sheet);
            continue;
        }
        if (plainText.isNull()) {
            plain = computedStyle(child, own, computed);
            plainText = serializeStyle(plain);
        }
        cascade(child, plain, plainText, sheet);
    }
}

} // namespace

StyleSheet takeStyleSheets(QDomElement root)
{
    StyleSheet sheet;
    const QDomNodeList found = root.elementsByTagName(QStringLiteral("style"));
    QList<QDomNode> sheets;
    for (int i = 0; i < found.count(); ++i)
        sheets << found.at(i);
    for (QDomNode node : sheets) {
        sheet.add(node.toElement().text());
        node.parentNode().removeChild(node);
    }
    return sheet;
}

QString serializeStyle(const StyleMap& style)
{
    QStringList declarations;
    for (auto it = style.begin(); it != style.end(); ++it)
        declarations << it.key() + QLatin1Char(':') + it.value();
    declarations.sort();
    return declarations.join(QLatin1Char(';'));
}

void readLayoutOptions(QDomElement element)
{
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr option = attributes.item(i).toAttr();
        if (option.localName() != QLatin1String("layoutOptions"))
            continue;
        const StyleMap options = parseDeclarations(option.value());
        StyleMap style = parseDeclarations(element.attribute(QStringLiteral("style")));
        if (options.value(QStringLiteral("justification")) == QLatin1String("true"))
            style.insert(QStringLiteral("text-align"),
                         style.value(QStringLiteral("text-align"), QStringLiteral("justify")));
        if (options.contains(QStringLiteral("par-indent")))
            style.insert(QStringLiteral("text-indent"),
                         style.value(QStringLiteral("text-indent"), options.value(QStringLiteral("par-indent"))));
        element.setAttribute(QStringLiteral("style"), serializeStyle(style));
    }
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        readLayoutOptions(child);
}

void cascadeFrom(QDomElement root, const StyleMap& initial, const StyleSheet& sheet)
{
    const StyleMap own = specifiedStyle(root, sheet);
    const StyleMap style = computedStyle(root, own, initial);
    dropStyleAttributes(root, own);
    cascade(root, style, serializeStyle(style), sheet);
}

} // namespace ktconv
