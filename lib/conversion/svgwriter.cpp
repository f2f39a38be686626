#include "svgwriter.h"

#include <QDomDocument>
#include <QSet>
#include <QXmlStreamWriter>

#include <vector>

namespace ktconv {
namespace {

// Properties a child takes from its group when it sets none, in CSS and in Qt's SVG
// renderer alike (through the painter's pen, brush and font).
bool inheritsAll(const QString& style)
{
    static const QSet<QString> inherited{QStringLiteral("fill"),
                                         QStringLiteral("fill-opacity"),
                                         QStringLiteral("fill-rule"),
                                         QStringLiteral("stroke"),
                                         QStringLiteral("stroke-opacity"),
                                         QStringLiteral("stroke-width"),
                                         QStringLiteral("stroke-linecap"),
                                         QStringLiteral("stroke-linejoin"),
                                         QStringLiteral("stroke-miterlimit"),
                                         QStringLiteral("stroke-dasharray"),
                                         QStringLiteral("stroke-dashoffset"),
                                         QStringLiteral("font-size"),
                                         QStringLiteral("font-family"),
                                         QStringLiteral("font-weight"),
                                         QStringLiteral("font-style"),
                                         QStringLiteral("font-stretch"),
                                         QStringLiteral("text-anchor"),
                                         QStringLiteral("line-height"),
                                         QStringLiteral("letter-spacing"),
                                         QStringLiteral("word-spacing"),
                                         QStringLiteral("white-space"),
                                         QStringLiteral("text-align"),
                                         QStringLiteral("text-indent")};
    if (style.contains(QLatin1String("url(")))
        return false; // a paint server may be sized by the box of the element it is set on
    for (const QStringRef& declaration : style.splitRef(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!inherited.contains(declaration.left(declaration.indexOf(QLatin1Char(':'))).trimmed().toString()))
            return false;
    }
    return true;
}

QString qualifiedName(const QDomNode& node)
{
    if (node.localName().isEmpty())
        return node.nodeName();
    return node.prefix().isEmpty() ? node.localName() : node.prefix() + QLatin1Char(':') + node.localName();
}

class Writer
{
public:
    explicit Writer(QByteArray* out) : xml(out) {}

    void document(const QDomDocument& document)
    {
        xml.writeStartDocument();
        for (QDomNode node = document.firstChild(); !node.isNull(); node = node.nextSibling())
            write(node, QString());
        xml.writeEndDocument();
    }

private:
    struct Declared
    {
        QString prefix, uri;
    };

    // Declares the namespace of a name where no enclosing element declared it already.
    void declare(const QDomNode& node)
    {
        const QString uri = node.namespaceURI(), prefix = node.prefix();
        if (uri.isEmpty() || prefix == QLatin1String("xml"))
            return;
        for (auto it = scope.rbegin(); it != scope.rend(); ++it) {
            if (it->prefix == prefix && it->uri == uri)
                return;
            if (it->prefix == prefix)
                break;
        }
        scope.push_back({prefix, uri});
        xml.writeAttribute(prefix.isEmpty() ? QStringLiteral("xmlns") : QStringLiteral("xmlns:") + prefix, uri);
    }

    void element(const QDomElement& element, const QString& groupStyle)
    {
        const size_t outer = scope.size();
        xml.writeStartElement(qualifiedName(element));
        declare(element);
        const QDomNamedNodeMap attributes = element.attributes();
        for (int i = 0; i < attributes.count(); ++i)
            declare(attributes.item(i));
        const QString style = element.attribute(QStringLiteral("style"));
        const bool sameAsGroup = !groupStyle.isNull() && style == groupStyle && inherits(style);
        for (int i = 0; i < attributes.count(); ++i) {
            const QDomAttr attribute = attributes.item(i).toAttr();
            if (!sameAsGroup || attribute.nodeName() != QLatin1String("style"))
                xml.writeAttribute(qualifiedName(attribute), attribute.value());
        }
        const QString name = element.localName().isEmpty() ? element.tagName() : element.localName();
        const bool group = name == QLatin1String("g") || name == QLatin1String("svg");
        for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling())
            write(child, group ? style : QString());
        xml.writeEndElement();
        scope.resize(outer);
    }

    void write(const QDomNode& node, const QString& groupStyle)
    {
        if (node.isElement())
            element(node.toElement(), groupStyle);
        else if (node.isCDATASection())
            xml.writeCDATA(node.nodeValue());
        else if (node.isText())
            xml.writeCharacters(node.nodeValue());
        else if (node.isEntityReference()) {
            for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling())
                write(child, groupStyle);
        }
    }

    // Most elements share one style string: its answer is kept.
    bool inherits(const QString& style)
    {
        if (style != lastStyle) {
            lastStyle = style;
            lastInherits = inheritsAll(style);
        }
        return lastInherits;
    }

    QXmlStreamWriter xml;
    std::vector<Declared> scope;
    QString lastStyle;
    bool lastInherits = false;
};

} // namespace

QByteArray writeSvgDocument(const QDomDocument& document)
{
    QByteArray out;
    Writer writer(&out);
    writer.document(document);
    return out;
}

} // namespace ktconv
