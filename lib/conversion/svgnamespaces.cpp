#include "svgnamespaces.h"

#include <QRegularExpression>

namespace ktconv {

namespace {

// Where the root's start tag begins: past the declaration, comments, processing
// instructions and the document type. -1 when there is none.
int rootStart(const QByteArray& document)
{
    int at = 0;
    while ((at = document.indexOf('<', at)) >= 0) {
        if (document.mid(at, 4) == "<!--")
            at = document.indexOf("-->", at);
        else if (at + 1 < document.size() && (document[at + 1] == '?' || document[at + 1] == '!'))
            at = document.indexOf('>', at);
        else
            return at;
        if (at < 0)
            return -1;
    }
    return -1;
}

} // namespace

QByteArray declarationsFirst(const QByteArray& document)
{
    const int start = rootStart(document);
    if (start < 0)
        return document;
    static const QRegularExpression tag(
        QStringLiteral("\\G<[^\\s/>]+((?:\\s+[^\\s=/>]+\\s*=\\s*(?:\"[^\"]*\"|'[^']*'))*)"));
    static const QRegularExpression attribute(QStringLiteral("\\s+([^\\s=/>]+)\\s*=\\s*(?:\"[^\"]*\"|'[^']*')"));
    // Only the root's tag is looked at, byte for byte (Latin-1 maps each byte to itself).
    const int end = document.indexOf('>', start);
    const QString head = QString::fromLatin1(document.mid(start, end < 0 ? -1 : end - start + 1));
    const QRegularExpressionMatch root = tag.match(head);
    if (!root.hasMatch())
        return document;
    QString declarations, others;
    bool reordered = false;
    for (auto it = attribute.globalMatch(root.captured(1)); it.hasNext();) {
        const QRegularExpressionMatch one = it.next();
        const bool declaration =
            one.captured(1) == QLatin1String("xmlns") || one.captured(1).startsWith(QLatin1String("xmlns:"));
        reordered = reordered || (declaration && !others.isEmpty());
        (declaration ? declarations : others) += one.captured(0);
    }
    if (!reordered)
        return document;
    QByteArray out = document;
    return out.replace(start + root.capturedStart(1), root.capturedLength(1), (declarations + others).toLatin1());
}

} // namespace ktconv
