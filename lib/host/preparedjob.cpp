#include "preparedjob.h"

#include "gzipdata.h"
#include "jobtext.h"
#include "pltwriter.h"

#include <QFile>

namespace {

// The kind of a file is told from its start.
constexpr int SampleBytes = 64 * 1024;
const QString PageEnd = QStringLiteral("PG;");

// Every file that is not taken is refused with what it is and then this.
const QString Accepted = QStringLiteral(
    "accepted: SVG (also compressed, .svgz), PDF and ASCII DXF drawings, and PLT (HP-GL) jobs as plain text");

// What a file that is neither a drawing nor a PLT job is, told from its start.
QString unacceptedFile(const QByteArray& start)
{
    const QString broken = plainTextBreak(start);
    const QString what =
        broken.isEmpty() ? ktconv::refusalReason(start) : QStringLiteral("the file is not plain text: %1").arg(broken);
    return QStringLiteral("%1; %2").arg(what, Accepted);
}

} // namespace

bool PreparedJob::refuse(const QString& reason, bool unreadableFile)
{
    why = reason;
    readFailed = unreadableFile;
    pending.reset();
    first.clear();
    plt.clear();
    return false;
}

bool PreparedJob::open(const QString& path, const Options& jobOptions)
{
    ktconv::ConversionProgress* const progress = reporter;
    *this = PreparedJob();
    reporter = progress;
    file = path;
    options = jobOptions;
    auto in = std::make_shared<QFile>(path);
    if (in->open(QIODevice::ReadOnly))
        first = in->read(JobPieceBytes);
    if (!in->isOpen() || in->error() != QFileDevice::NoError)
        return refuse(QStringLiteral("cannot read %1: %2").arg(path, in->errorString()), true);
    kind = options.pltOnly ? ktconv::JobFormat::Plt : ktconv::detectFormat(first.left(SampleBytes));
    // The start of a compressed drawing does not unpack on its own: the whole file tells
    // whether it is an SVG.
    if (kind == ktconv::JobFormat::Unknown && ktconv::looksGzipped(first))
        kind = ktconv::JobFormat::Drawing;
    if (kind == ktconv::JobFormat::Plt) {
        pending = std::move(in);
        // Against a material the job is measured now, before a cutter is reached.
        return !options.sheet.material.known() || (finishReading() && fitsMaterial());
    }
    if (kind == ktconv::JobFormat::Unknown)
        return refuse(unacceptedFile(first.left(SampleBytes)), false);
    sources = {first + in->readAll()};
    files = QStringList{path};
    first.clear();
    if (in->error() != QFileDevice::NoError)
        return refuse(QStringLiteral("cannot read %1: %2").arg(path, in->errorString()), true);
    const bool converted = convert();
    if (!options.geometry)
        sources.clear();
    return converted;
}

bool PreparedJob::finishReading()
{
    if (!pending)
        return why.isEmpty();
    bool unreadableFile = false;
    if (!readJobText(*pending, std::move(first), &plt, &why, &unreadableFile))
        return refuse(why, unreadableFile);
    pending.reset();
    first.clear();
    if (kind == ktconv::JobFormat::Plt)
        measurePages();
    return true;
}

bool PreparedJob::convertAgain(const ktconv::CutOptions& cut)
{
    options.cut = cut;
    return isDrawing() && convert();
}

bool PreparedJob::convertAgain(const ktconv::CutOptions& cut, const ktconv::InputOptions& input)
{
    options.input = input;
    return convertAgain(cut);
}

bool PreparedJob::listParts(ktconv::DrawingParts* parts, QString* error) const
{
    return isDrawing() && sources.size() == 1 && ktconv::listDrawingParts(sources.first(), options.input, parts, error);
}

bool PreparedJob::convert()
{
    why.clear();
    notes.clear();
    plt.clear();
    measures.clear();
    strokes.clear();
    pictures.clear();
    ktconv::CutPaths page;
    // One drawing on no material in particular is converted whole, with its picture and
    // progress; designs that share a material are laid out together.
    const ktconv::SheetOptions& sheet = options.sheet;
    if (sources.size() == 1 && !sheet.material.known() && !sheet.fit && sheet.repeat <= 1) {
        ktconv::Backdrop picture;
        if (!ktconv::convertDrawing(sources.first(), options.cut, options.input, &page, &why, &notes,
                                    options.geometry ? &picture : nullptr, reporter))
            return false;
        if (!picture.isNull())
            pictures << picture;
    } else if (!layOutDesigns(&page)) {
        return false;
    }
    plt = QString::fromLatin1(ktconv::writePltPage(page, reporter));
    if (ktconv::progressCancelled(reporter)) {
        plt.clear();
        why = QStringLiteral("the conversion was cancelled");
        return false;
    }
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

bool PreparedJob::keepPagesFrom(int first)
{
    if (!finishReading())
        return false;
    QStringList kept;
    int page = 0;
    for (const QStringRef& part : plt.splitRef(PageEnd)) {
        if (!part.isEmpty() && ++page >= first)
            kept << part.toString();
    }
    if (first < 1 || kept.isEmpty())
        return refuse(
            QStringLiteral("%1 has %2 page(s): there is no page %3 to go on from").arg(file).arg(page).arg(first),
            false);
    plt = kept.join(PageEnd) + PageEnd;
    measures.clear();
    strokes.clear();
    measurePages();
    return true;
}
