#include "textcommand.h"

#include "drawingcommands.h"
#include "invocation.h"
#include "lettering.h"
#include "missingglyphs.h"
#include "preparedjob.h"
#include "preview.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>

QList<QCommandLineOption> letteringOptions()
{
    return {
        {QStringLiteral("font"), QStringLiteral("font family"), QStringLiteral("FAMILY")},
        {QStringLiteral("bold"), QStringLiteral("bold letters")},
        {QStringLiteral("italic"), QStringLiteral("italic letters")},
        {QStringLiteral("line-spacing"), QStringLiteral("line spacing factor"), QStringLiteral("F")},
        {QStringLiteral("align"), QStringLiteral("line alignment"), QStringLiteral("left|center|right")},
        {QStringLiteral("letter-spacing"), QStringLiteral("space between letters"), QStringLiteral("MM")},
    };
}

namespace {

// Each argument a line or more: a newline, or a typed "\n", starts the next.
QStringList textLines(const QStringList& args)
{
    QStringList lines;
    for (QString text : args)
        lines << text.replace(QLatin1String("\\n"), QLatin1String("\n")).split(QLatin1Char('\n'));
    return lines;
}

bool readLettering(const QCommandLineParser& parser, ktconv::LetteringOptions* options, QString* error)
{
    if (parser.isSet(QStringLiteral("scale")) || parser.isSet(QStringLiteral("width"))) {
        *error = QStringLiteral("lettering is sized by --height MM, the height of a capital: no --scale or --width");
        return false;
    }
    if (!number(parser, QStringLiteral("height"), 0.5, 2000, &options->capHeightMm, error)
        || !number(parser, QStringLiteral("line-spacing"), 0.1, 10, &options->lineSpacing, error)
        || !number(parser, QStringLiteral("letter-spacing"), -100, 1000, &options->letterSpacingMm, error))
        return false;
    const QString align = parser.value(QStringLiteral("align"));
    if (align == QLatin1String("center"))
        options->align = Qt::AlignHCenter;
    else if (align == QLatin1String("right"))
        options->align = Qt::AlignRight;
    else if (!align.isEmpty() && align != QLatin1String("left")) {
        *error = QStringLiteral("--align takes left, center or right, not \"%1\"").arg(align);
        return false;
    }
    if (parser.isSet(QStringLiteral("font")))
        options->family = parser.value(QStringLiteral("font"));
    options->bold = parser.isSet(QStringLiteral("bold"));
    options->italic = parser.isSet(QStringLiteral("italic"));
    options->weld = parser.isSet(QStringLiteral("weld"));
    return true;
}

int checkTarget(const Invocation& call)
{
    const bool toFile = call.parser.isSet(QStringLiteral("output"));
    const QString suffix = QFileInfo(call.parser.value(QStringLiteral("output"))).suffix().toLower();
    QString error;
    if (call.args.isEmpty())
        error = QStringLiteral("text takes the text to cut, e.g. ktrv8 text \"Hello\" -o hello.plt");
    else if (toFile == call.options.haveAddress)
        error = QStringLiteral("text takes either -o OUT.plt|OUT.png|OUT.svg or a cutter (--tcp or --usb)");
    else if (toFile && suffix != QLatin1String("plt") && suffix != QLatin1String("png")
             && suffix != QLatin1String("svg"))
        error = QStringLiteral("text writes OUT.plt, or a preview OUT.png or OUT.svg, not \"%1\"")
                    .arg(call.parser.value(QStringLiteral("output")));
    if (error.isEmpty())
        return ExitOk;
    call.out.error(error);
    return ExitUsage;
}

// What the person typed, as progress lines and the cutter's job record name it.
QString shownName(const QStringList& args)
{
    constexpr int Longest = 40;
    QString text = textLines(args).join(QLatin1Char(' ')).simplified();
    if (text.size() > Longest)
        text = text.left(Longest - 1) + QChar(0x2026);
    return QStringLiteral("\"%1\"").arg(text);
}

// The lettering as a drawing file for the job, converted with the cutter options at once:
// the file goes with the check, the job keeps what it needs.
int prepareLettering(Invocation& call, const ktconv::Lettering& lettering)
{
    PreparedJob::Options options;
    options.geometry = true;
    QString error;
    if (!readCutterOptions(call.parser, &options.cut, &error)) {
        call.out.error(error);
        return ExitUsage;
    }
    options.cut.heightMm = 0; // --height sized the letters
    options.cut.weld = false; // the layout welded them, with their curves
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("lettering.svg"));
    if (!folder.isValid() || !writeFile(file, ktconv::letteringDrawing(lettering), &error)) {
        call.out.error(folder.isValid() ? error : QStringLiteral("cannot make a temporary folder"));
        return ExitFailed;
    }
    auto job = std::make_shared<PreparedJob>();
    if (!job->open(file, options)) {
        call.out.error(QStringLiteral("the text cannot be cut: %1").arg(job->error()));
        return ExitUsage;
    }
    job->setName(shownName(call.args));
    call.job = std::move(job);
    return ExitOk;
}

} // namespace

int checkText(Invocation& call)
{
    if (const int wrong = checkTarget(call))
        return wrong;
    ktconv::LetteringOptions options;
    QString error;
    if (!readLettering(call.parser, &options, &error)) {
        call.out.error(error);
        return ExitUsage;
    }
    ktconv::Lettering lettering;
    const bool laidOut = ktconv::layOutLettering(textLines(call.args), options, &lettering, &error);
    if (!lettering.missing.isEmpty() && !call.parser.isSet(QStringLiteral("allow-missing-glyphs")))
        return refuseMissingGlyphs(call.out, QString(), ktconv::missingGlyphsRefusal(lettering.missing));
    // Said on stderr in every mode: a cut without them must not pass unnoticed.
    for (const ktconv::MissingGlyph& missing : qAsConst(lettering.missing))
        call.out.error(QStringLiteral("left out: ") + missing.describe());
    if (!laidOut) {
        call.out.error(error);
        return ExitUsage;
    }
    const QString asked = options.family.split(QLatin1Char(',')).first().trimmed();
    if (call.parser.isSet(QStringLiteral("font")) && asked.compare(lettering.familyUsed, Qt::CaseInsensitive) != 0)
        call.out.line(
            QStringLiteral("note: no font \"%1\" installed; the text is in %2").arg(asked, lettering.familyUsed));
    return prepareLettering(call, lettering);
}

int runText(Invocation& call)
{
    if (call.options.haveAddress)
        return runCut(call);
    const PreparedJob& job = *call.job;
    const QString target = call.parser.value(QStringLiteral("output"));
    QString error;
    bool written = false;
    if (target.endsWith(QLatin1String(".plt"), Qt::CaseInsensitive)) {
        written = writeFile(target, job.text().toLatin1(), &error);
    } else {
        ktconv::PreviewLayout layout;
        layout.copies = call.copies;
        if (!number(call.parser, QStringLiteral("margin"), 0, 1000, &layout.copyGapMm, &error)) {
            call.out.error(error);
            return ExitUsage;
        }
        written = ktconv::writePreview(job.geometry(), layout, target, &error);
    }
    if (!written) {
        call.out.error(error);
        return ExitFailed;
    }
    QJsonObject result = describe(job);
    result.insert(QStringLiteral("event"), QStringLiteral("lettering"));
    result.insert(QStringLiteral("file"), target);
    if (call.out.isJson())
        call.out.result(result);
    else
        call.out.line(QStringLiteral("wrote %1: %2").arg(target, describeText(result)));
    return ExitOk;
}
