#include "preparedjob.h"

#include "jobtext.h"
#include "pltwriter.h"

#include <QFile>

namespace {

// The kind of a file is told from its start.
constexpr int SampleBytes = 64 * 1024;
const QString PageEnd = QStringLiteral("PG;");

} // namespace

bool PreparedJob::read(const QString& path, const Options& jobOptions)
{
    *this = PreparedJob();
    file = path;
    options = jobOptions;
    QFile in(path);
    QByteArray first;
    if (in.open(QIODevice::ReadOnly))
        first = in.read(JobPieceBytes);
    if (!in.isOpen() || in.error() != QFileDevice::NoError) {
        why = QStringLiteral("cannot read %1: %2").arg(path, in.errorString());
        readFailed = true;
        return false;
    }
    kind = options.pltOnly ? ktconv::JobFormat::Plt : ktconv::detectFormat(first.left(SampleBytes));
    if (kind == ktconv::JobFormat::Drawing) {
        drawing = first + in.readAll();
        if (in.error() != QFileDevice::NoError) {
            why = QStringLiteral("cannot read %1: %2").arg(path, in.errorString());
            readFailed = true;
            return false;
        }
        const bool converted = convert();
        if (!options.geometry)
            drawing.clear();
        return converted;
    }
    const QByteArray sample = kind == ktconv::JobFormat::Unknown ? first.left(SampleBytes) : QByteArray();
    if (!readJobText(in, std::move(first), &plt, &why, &readFailed))
        return false;
    // Text that breaks no byte rule, yet is no job: said as what it looks like.
    if (kind == ktconv::JobFormat::Unknown) {
        plt.clear();
        why = ktconv::refusalReason(sample);
        return false;
    }
    measurePages();
    return true;
}

bool PreparedJob::convertAgain(const ktconv::CutOptions& cut)
{
    options.cut = cut;
    return isDrawing() && convert();
}

bool PreparedJob::convert()
{
    plt.clear();
    measures.clear();
    strokes.clear();
    ktconv::CutPaths page;
    if (!ktconv::convertDrawing(drawing, options.cut, &page, &why, &notes))
        return false;
    plt = QString::fromLatin1(ktconv::writePltPage(page));
    measures = {ktconv::measure(page)};
    strokes = {page};
    return true;
}

// One pass over the text: each page is followed once, in place, for its measures (and its
// strokes when asked for).
void PreparedJob::measurePages()
{
    const QStringView text(plt);
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(PageEnd, start);
        if (end < 0)
            end = text.size();
        if (end > start) {
            const QStringView page = text.mid(start, end - start);
            if (options.geometry) {
                strokes.append(ktconv::CutPaths());
                measures.append(ktconv::measure(page, &strokes.last()));
            } else {
                measures.append(ktconv::measure(page));
            }
        }
        start = end + PageEnd.size();
    }
}

ktconv::Measure PreparedJob::total() const
{
    ktconv::Measure all;
    for (const ktconv::Measure& page : measures)
        all += page;
    return all;
}
