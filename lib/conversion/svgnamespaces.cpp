#include "svgnamespaces.h"

#include <QDomNamedNodeMap>
#include <QVector>

namespace ktconv {

void dropUnboundAttributes(QDomElement element)
{
    const QDomNamedNodeMap attributes = element.attributes();
    QVector<QDomAttr> unbound;
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        if (!attribute.prefix().isEmpty() && attribute.namespaceURI().isEmpty()
            && attribute.prefix() != QLatin1String("xml"))
            unbound << attribute;
    }
    for (const QDomAttr& attribute : unbound)
        element.removeAttributeNode(attribute);
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        dropUnboundAttributes(child);
}

} // namespace ktconv
