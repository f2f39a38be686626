#include "svgtext.h"

#include "svgpathdata.h"

#include <QRegularExpression>

namespace ktconv {
namespace {

QString idOf(const QString& reference)
{
    QString id = reference.trimmed();
    if (id.startsWith(QLatin1String("url(")))
        id = id.mid(4).chopped(1).trimmed();
    return id.startsWith(QLatin1Char('#')) ? id.mid(1) : QString();
}

QString hrefOf(const QDomElement& element)
{
    const QString href = element.attribute(QStringLiteral("href"));
    return href.isEmpty() ? element.attributeNS(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("href"))
                          : href;
}

QVector<double> lengthList(const QString& text, double fontSize)
{
    QVector<double> values;
    const QStringList items = text.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    for (const QString& item : items) {
        double value = 0;
        values << (lengthInUserUnits(item, fontSize, 0, &value) ? value : 0);
    }
    return values;
}

// Walks a text element's content in document order into addressable characters.
class TextCollector
{
public:
    TextCollector(TextBlock* block, const TextContext& context) : block(block), context(context) {}

    void element(const QDomElement& element, int path)
    {
        const StyleMap computed = parseDeclarations(element.attribute(QStringLiteral("style")));
        // The cascade has turned xml:space into the white-space it inherits as.
        const QString whiteSpace = computed.value(QStringLiteral("white-space"));
        const bool wasPreserving = preserve;
        preserve = whiteSpace.startsWith(QLatin1String("pre")) && whiteSpace != QLatin1String("pre-line");
        block->styles << textStyle(computed);
        const int style = block->styles.size() - 1;
        const int from = block->chars.size();
        if (element.localName() == QLatin1String("textPath"))
            path = addPath(element, style);
        for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (child.isText() || child.isCDATASection())
                characters(child.nodeValue(), style, path);
            else if (child.isElement() && isTextContent(child.toElement()))
                this->element(child.toElement(), path);
            else if (child.isElement() && child.toElement().localName() == QLatin1String("flowLine"))
                paragraphEnd(style);
            else if (child.isElement() && child.toElement().localName() == QLatin1String("tref"))
                characters(context.ids.value(idOf(hrefOf(child.toElement()))).text(), style, path);
        }
        applyLists(element, from, style);
        preserve = wasPreserving;
    }
    void paragraphEnd(int style)
    {
        TextChar end;
        end.character = QStringLiteral("\n");
        end.style = style;
        block->chars << end;
        lastSpace = true;
    }
    void trimEnd()
    {
        if (!preserve && !block->chars.isEmpty() && block->chars.last().character == QLatin1String(" "))
            block->chars.removeLast();
    }

private:
    static bool isTextContent(const QDomElement& element)
    {
        static const QStringList names{QStringLiteral("tspan"),    QStringLiteral("textPath"),
                                       QStringLiteral("a"),        QStringLiteral("flowSpan"),
                                       QStringLiteral("flowPara"), QStringLiteral("flowDiv")};
        return names.contains(element.localName()) || names.contains(element.tagName());
    }
    void characters(QString text, int style, int path)
    {
        if (!preserve)
            text.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        text.replace(QRegularExpression(QStringLiteral("[\\t\\n\\r]")), QStringLiteral(" "));
        const QVector<uint> codes = text.toUcs4();
        for (uint code : codes) {
            const bool space = code == ' ';
            if (space && !preserve && lastSpace)
                continue;
            lastSpace = space;
            TextChar c;
            c.character = QString::fromUcs4(&code, 1);
            c.style = style;
            c.path = path;
            block->chars << c;
        }
    }
    int addPath(const QDomElement& element, int style)
    {
        const QString reference = hrefOf(element);
        const QDomElement target = context.ids.value(idOf(reference));
        TextPathRef ref;
        if (!target.isNull())
            ref.path = shapeOutline(target);
        if (ref.path.isEmpty() && context.warnings)
            *context.warnings << QStringLiteral("text on a path whose path (%1) cannot be found is not cut")
                                     .arg(reference.isEmpty() ? QStringLiteral("none given") : reference);
        const QString offset = element.attribute(QStringLiteral("startOffset"));
        if (!lengthInUserUnits(offset, block->styles[style].size, ref.path.length(), &ref.startOffset))
            ref.startOffset = 0;
        block->paths << ref;
        lastSpace = false;
        return block->paths.size() - 1;
    }
    void applyLists(const QDomElement& element, int from, int style)
    {
        const double size = block->styles[style].size;
        const QVector<double> xs = lengthList(element.attribute(QStringLiteral("x")), size);
        const QVector<double> ys = lengthList(element.attribute(QStringLiteral("y")), size);
        const QVector<double> dxs = lengthList(element.attribute(QStringLiteral("dx")), size);
        const QVector<double> dys = lengthList(element.attribute(QStringLiteral("dy")), size);
        const QVector<double> turns = lengthList(element.attribute(QStringLiteral("rotate")), 0);
        int k = 0;
        for (int i = from; i < block->chars.size(); ++i) {
            TextChar& c = block->chars[i];
            if (c.character == QLatin1String("\n"))
                continue;
            // The innermost element's value wins: it was applied first.
            auto take = [k](double* slot, const QVector<double>& list) {
                if (std::isnan(*slot) && k < list.size())
                    *slot = list[k];
            };
            take(&c.x, xs);
            take(&c.y, ys);
            take(&c.dx, dxs);
            take(&c.dy, dys);
            if (std::isnan(c.rotate) && !turns.isEmpty())
                c.rotate = turns.value(k, turns.last()); // the last angle holds for the rest
            ++k;
        }
    }

    TextBlock* block;
    const TextContext& context;
    bool preserve = false;
    bool lastSpace = true; // no leading space
};

// Each flowPara, also inside a flowDiv, is a paragraph; a flowDiv's own text is one too.
void collectParagraphs(const QDomElement& parent, TextCollector* collector, TextBlock* block)
{
    for (QDomElement para = parent.firstChildElement(); !para.isNull(); para = para.nextSiblingElement()) {
        const QString name = para.localName().isEmpty() ? para.tagName() : para.localName();
        const bool hasParagraphs = !para.firstChildElement(QStringLiteral("flowPara")).isNull();
        if (name == QLatin1String("flowDiv") && hasParagraphs) {
            collectParagraphs(para, collector, block);
            continue;
        }
        if (name != QLatin1String("flowPara") && name != QLatin1String("flowDiv"))
            continue;
        collector->element(para, -1);
        collector->trimEnd();
        collector->paragraphEnd(block->styles.size() - 1);
    }
}

} // namespace

void collectText(const QDomElement& root, TextBlock* block, const TextContext& context)
{
    TextCollector collector(block, context);
    if (root.localName() != QLatin1String("flowRoot") && root.tagName() != QLatin1String("flowRoot")) {
        collector.element(root, -1);
        collector.trimEnd();
        return;
    }
    collectParagraphs(root, &collector, block);
}

double measureChars(const TextBlock& block, int from, int to)
{
    double width = 0;
    for (int i = from; i < to;) {
        int j = i + 1;
        while (j < to && block.chars[j].style == block.chars[i].style)
            ++j;
        QString text;
        for (int k = i; k < j; ++k)
            text += block.chars[k].character == QLatin1String("\n") ? QString() : block.chars[k].character;
        width += runAdvance(text, block.styles[block.chars[i].style]);
        i = j;
    }
    return width;
}

} // namespace ktconv
