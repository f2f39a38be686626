#include "sheetoptions.h"

#include "designsheet.h"
#include "drawingcommands.h"
#include "hostcommon.h"
#include "materialdefaults.h"

#include <QCommandLineParser>

const char* const sheetOptionsHelp =
    "The material and several designs on it (FILE... : drawings and PLT jobs side by side):\n"
    "  --media W[xL]       the material, W mm wide and L mm long (no L: a roll); a job\n"
    "                      that does not fit is refused with both sizes (exit 2). Without\n"
    "                      it, the material saved for this cutter, if any\n"
    "  --save-media        remember --media for this cutter (--tcp/--usb; none: for all)\n"
    "  --fit               scale a job too big for the material down to fit, aspect kept\n"
    "  --repeat N          N of each design\n"
    "  --arrange rows|nest rows: left to right across the material, row after row\n"
    "                      (default); nest: outlines packed together, turned by quarter\n"
    "                      turns, when that takes less material than rows\n"
    "  --gap MM            between designs (default 5)\n"
    "  --weed-lines        a rectangle around each design and lines through the waste\n"
    "                      between them, stopping at the designs, to peel the waste off\n"
    "  --perforate CUT,GAP cut each path in pieces CUT mm long, GAP mm left standing\n"
    "  --perforate-layers NAME,...\n"
    "                      with --perforate: only the paths of these layers (as --layers\n"
    "                      names them); the rest, weed cuts included, is cut whole\n";

QList<QCommandLineOption> sheetOptions()
{
    return {
        {QStringLiteral("media"), QStringLiteral("material size"), QStringLiteral("W[xL]")},
        {QStringLiteral("save-media"), QStringLiteral("remember the material")},
        {QStringLiteral("fit"), QStringLiteral("scale down to fit the material")},
        {QStringLiteral("repeat"), QStringLiteral("copies of each design"), QStringLiteral("N")},
        {QStringLiteral("arrange"), QStringLiteral("layout of the designs"), QStringLiteral("rows|nest")},
        {QStringLiteral("gap"), QStringLiteral("gap between designs"), QStringLiteral("MM")},
        {QStringLiteral("weed-lines"), QStringLiteral("weeding lines")},
        {QStringLiteral("perforate"), QStringLiteral("perforated cut"), QStringLiteral("CUT,GAP")},
        {QStringLiteral("perforate-layers"), QStringLiteral("layers to perforate"), QStringLiteral("NAME,...")},
    };
}

namespace {

// As the window names the cutter: --tcp HOST is HOST at the default port there too.
QString cutterName(const QCommandLineParser& parser)
{
    Address address;
    bool given = false;
    QString ignored; // a bad address is refused before the job is read
    return parseAddressOptions(parser, &address, &given, &ignored) && given ? address.cutterKey() : QString();
}

bool readMaterial(const QCommandLineParser& parser, ktconv::SheetOptions* sheet, QString* error)
{
    const QString cutter = cutterName(parser);
    if (!parser.isSet(QStringLiteral("media"))) {
        if (parser.isSet(QStringLiteral("save-media"))) {
            *error = QStringLiteral("--save-media saves the material given with --media");
            return false;
        }
        sheet->material = MaterialDefaults::load(cutter);
        return true;
    }
    if (!ktconv::parseMaterial(parser.value(QStringLiteral("media")), &sheet->material, error))
        return false;
    return !parser.isSet(QStringLiteral("save-media")) || MaterialDefaults::save(cutter, sheet->material, error);
}

bool readPerforation(const QCommandLineParser& parser, ktconv::CutOptions* cut, QString* error)
{
    const QString layers = QStringLiteral("perforate-layers");
    for (const QString& layer : parser.value(layers).split(QLatin1Char(','), Qt::SkipEmptyParts))
        cut->perforateLayers << layer.trimmed();
    if (!parser.isSet(QStringLiteral("perforate"))) {
        if (parser.isSet(layers))
            *error = QStringLiteral("--perforate-layers goes with --perforate CUT,GAP");
        return !parser.isSet(layers);
    }
    if (parser.isSet(layers) && cut->perforateLayers.isEmpty()) {
        *error = QStringLiteral("--perforate-layers takes the names of layers, comma-separated");
        return false;
    }
    const QStringList parts = parser.value(QStringLiteral("perforate")).split(QLatin1Char(','));
    bool okCut = false, okGap = false;
    cut->perforateCutMm = parts.value(0).toDouble(&okCut);
    cut->perforateGapMm = parts.value(1).toDouble(&okGap);
    if (parts.size() == 2 && okCut && okGap && cut->perforateCutMm >= 0.1 && cut->perforateGapMm >= 0.1
        && cut->perforateCutMm <= 1000 && cut->perforateGapMm <= 1000)
        return true;
    *error = QStringLiteral("--perforate takes CUT,GAP in millimetres, each from 0.1 to 1000, not \"%1\"")
                 .arg(parser.value(QStringLiteral("perforate")));
    return false;
}

} // namespace

bool readSheetOptions(const QCommandLineParser& parser, ktconv::CutOptions* cut, ktconv::SheetOptions* sheet,
                      QString* error)
{
    double repeat = 1;
    if (!readMaterial(parser, sheet, error) || !readPerforation(parser, cut, error)
        || !number(parser, QStringLiteral("repeat"), 1, 999, &repeat, error)
        || !number(parser, QStringLiteral("gap"), 0, 1000, &sheet->arrange.gapMm, error))
        return false;
    if (repeat != int(repeat)) {
        *error =
            QStringLiteral("--repeat takes a whole number, not \"%1\"").arg(parser.value(QStringLiteral("repeat")));
        return false;
    }
    sheet->repeat = int(repeat);
    const QString how = parser.value(QStringLiteral("arrange"));
    if (how == QLatin1String("nest"))
        sheet->arrange.how = ktconv::Arrangement::Nest;
    else if (!how.isEmpty() && how != QLatin1String("rows")) {
        *error = QStringLiteral("--arrange takes rows or nest, not \"%1\"").arg(how);
        return false;
    }
    sheet->fit = parser.isSet(QStringLiteral("fit"));
    cut->weedLines = parser.isSet(QStringLiteral("weed-lines"));
    return true;
}
