#ifndef PREPAREDJOB_H
#define PREPAREDJOB_H

#include "conversion.h"
#include "designsheet.h"
#include "measure.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class QFile;

// A job file made ready for the cutter in one pass: read once, its kind told once from its
// content, a drawing converted with the cutter options or a PLT job checked byte by byte,
// each page measured from the geometry in hand, and the PLT text that the driver takes
// (setPlt). Nothing is written to disk, nothing is read or parsed twice. The pages are the
// driver's: the text cut at each "PG;", empty parts dropped.
class PreparedJob
{
public:
    struct Options
    {
        ktconv::CutOptions cut;
        ktconv::InputOptions input; // how a drawing file is read (a PDF's page, ...)
        bool geometry = false;      // keep the strokes of a PLT job's pages (a drawing's are kept)
        bool pltOnly = false;       // a PLT job whatever it holds (the files of a QR-code job)
        ktconv::SheetOptions sheet; // the material, and how several designs share it
    };

    // False when the file cannot be read (unreadable()), or is refused: neither a drawing
    // nor a PLT job, not plain text, or a drawing that cannot be converted. error() says why.
    bool read(const QString& path, const Options& options) { return open(path, options) && finishReading(); }
    // The same in two steps: open() tells the kind from the file's first piece and converts
    // a drawing at once, so a bad file is refused before a cutter is reached; the rest of a
    // PLT job is read, checked and measured by finishReading() when the job is taken up,
    // from where open() stopped. finishReading() again only says how it went.
    bool open(const QString& path, const Options& options);
    bool finishReading();
    // Several files as designs on one piece of material, laid out together as one page: each
    // drawing converted, a PLT job's strokes taken as they are. A file that cannot be read or
    // converted is refused, named.
    bool readSeveral(const QStringList& paths, const Options& options);
    // The drawing once more with other cutter options (and another reading of it), from the
    // bytes in hand.
    bool convertAgain(const ktconv::CutOptions& cut);
    bool convertAgain(const ktconv::CutOptions& cut, const ktconv::InputOptions& input);
    // The material and layout the next convertAgain lays the drawings out on.
    void setSheet(const ktconv::SheetOptions& sheet) { options.sheet = sheet; }
    // The layers and colours of the drawing in hand (with Options::geometry).
    bool listParts(ktconv::DrawingParts* parts, QString* error) const;
    // Who hears how far a drawing's conversion got (reading, ordering, writing) and may
    // cancel it; not owned: set it back to null before the job outlives it.
    void setProgress(ktconv::ConversionProgress* progress) { reporter = progress; }
    // Keeps the pages from the given one (from 1) on, to go on with a job that ended part-way.
    // False, with error(), when the job has no such page.
    bool keepPagesFrom(int first);

    QString path() const { return file; }
    // What the job is shown and reported as, in place of the file it was read from: a job
    // made from something the person typed is read from a temporary file they never saw.
    void setName(const QString& name) { file = name; }
    ktconv::JobFormat format() const { return kind; }
    bool isDrawing() const { return ktconv::isDrawingFormat(kind); }
    // The PLT text for the driver. Handing it over shares it: nothing is copied.
    const QString& text() const { return plt; }
    // Each page's measures, in the driver's page order.
    const QVector<ktconv::Measure>& pages() const { return measures; }
    ktconv::Measure total() const;
    // Each page's strokes: a drawing's, or a PLT job's with Options::geometry.
    const ktconv::CutPages& geometry() const { return strokes; }
    // A traced picture where it lies under the cut, with Options::geometry: the first of
    // backdrops(), or none.
    ktconv::Backdrop backdrop() const { return pictures.value(0); }
    // Each traced picture under the cut: on the material, one for each copy of it placed.
    const QVector<ktconv::Backdrop>& backdrops() const { return pictures; }
    const QStringList& warnings() const { return notes; }
    // The material the job was checked against (none known: width 0).
    const ktconv::Material& material() const { return options.sheet.material; }
    QString error() const { return why; }
    bool unreadable() const { return readFailed; }

private:
    bool convert();
    bool design(int index, ktconv::CutPaths* paths, ktconv::Backdrop* backdrop);
    bool layOutDesigns(ktconv::CutPaths* page);
    bool fitsMaterial();
    void measurePages();
    bool refuse(const QString& reason, bool unreadableFile);

    QString file;
    QStringList files; // with readSeveral
    Options options;
    ktconv::JobFormat kind = ktconv::JobFormat::Unknown;
    QVector<QByteArray> sources; // the drawings, kept for convertAgain with Options::geometry
    QString plt;
    QVector<ktconv::Measure> measures;
    ktconv::CutPages strokes;
    QVector<ktconv::Backdrop> pictures;
    QStringList notes;
    QString why;
    bool readFailed = false;
    // A PLT job opened and not yet read on: the file and its first piece.
    std::shared_ptr<QFile> pending;
    QByteArray first;
    ktconv::ConversionProgress* reporter = nullptr;
};

#endif // PREPAREDJOB_H
