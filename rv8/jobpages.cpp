#include "ktrv8_p.h"

#include <QStringView>

namespace {

const QLatin1String PageEnd("PG;");

} // namespace

// One pass over the text, keeping only where each non-empty page starts and ends.
KTJobPages::KTJobPages(QString job) : text(std::move(job))
{
    const QStringView view(text);
    qsizetype start = 0;
    while (start <= view.size()) {
        qsizetype end = view.indexOf(PageEnd, start);
        if (end < 0)
            end = view.size();
        if (end > start)
            spans.append({int(start), int(end - start)});
        start = end + PageEnd.size();
    }
    if (spans.isEmpty())
        text = QString(); // nothing to cut: the text is not kept
}

QString KTJobPages::build(int index) const
{
    const Span span = spans.at(index);
    QString page;
    page.reserve(span.length + PageEnd.size());
    page.append(QStringView(text).mid(span.start, span.length));
    page.append(PageEnd);
    return page;
}

QString KTJobPages::at(int index) const
{
    if (index == heldIndex)
        return held;
    if (index == aheadIndex)
        return ahead;
    return build(index);
}

QString KTJobPages::hold(int index)
{
    if (index != heldIndex) {
        held = index == aheadIndex ? ahead : build(index);
        heldIndex = index;
    }
    ahead = QString();
    aheadIndex = -1;
    return held;
}

QString KTJobPages::buildAhead(int index)
{
    if (index != aheadIndex) {
        ahead = index == heldIndex ? held : build(index);
        aheadIndex = index;
    }
    return ahead;
}

QStringList KTJobPages::toList() const
{
    QStringList pages;
    pages.reserve(size());
    for (int i = 0; i < size(); ++i)
        pages.append(at(i));
    return pages;
}

// Compares in place: no page is built.
bool KTJobPages::matches(int index, const QString& page) const
{
    const Span span = spans.at(index);
    const QStringView other(page);
    return other.size() == span.length + PageEnd.size()
           && other.left(span.length) == QStringView(text).mid(span.start, span.length)
           && other.mid(span.length) == PageEnd;
}

bool KTJobPages::operator==(const QStringList& other) const
{
    if (other.size() != size())
        return false;
    for (int i = 0; i < size(); ++i) {
        if (!matches(i, other.at(i)))
            return false;
    }
    return true;
}
