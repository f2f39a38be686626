#include "jobreport.h"

#include "jobestimate.h"
#include "jobrunner.h"

#include <QStringList>

#include <QJsonObject>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

termios savedInput;

} // namespace

JobReport::JobReport(JobRunner& jobRunner, const Output& output) : runner(jobRunner), out(output)
{
    tty = Output::terminal() && !out.isJson();
    connect(&runner, &JobRunner::reading, this, [this](const QString& file) {
        say(tr("Reading job %1").arg(file));
        out.event(QStringLiteral("reading"), {{QStringLiteral("file"), file}});
    });
    connect(&runner, &JobRunner::started, this, [this](const QString& file, int pages, int copies, double estimate) {
        const JobOrigin& from = runner.origin();
        const bool resumed = from.copy > 1 || from.page > 1;
        say(tr("Cutting %1%2: %3 page(s), %4, about %5 (estimate)")
                .arg(file, resumed ? tr(" from page %1 of copy %2").arg(from.page).arg(from.copy) : QString())
                .arg(pages)
                .arg(JobRunner::copiesText(copies), durationText(estimate)));
        out.event(QStringLiteral("started"), {{QStringLiteral("file"), file},
                                              {QStringLiteral("pages"), pages},
                                              {QStringLiteral("copies"), copies},
                                              {QStringLiteral("fromPage"), from.page},
                                              {QStringLiteral("fromCopy"), from.copy},
                                              {QStringLiteral("estimateSeconds"), estimate}});
    });
    connect(&runner, &JobRunner::waitingForCode, this, [this](const QString& dir, int copies) {
        say(tr("QR-code job from %1, %2: waiting for the cutter to scan").arg(dir, JobRunner::copiesText(copies)));
        out.event(QStringLiteral("started"), {{QStringLiteral("qrDir"), dir}, {QStringLiteral("copies"), copies}});
    });
    connect(&runner, &JobRunner::scanned, this, [this](const QString& code, const QString& file) {
        say(tr("Scanned %1: cutting %2").arg(code, file));
        out.event(QStringLiteral("scanned"), {{QStringLiteral("code"), code}, {QStringLiteral("file"), file}});
    });
    connect(&runner, &JobRunner::pageConfirmed, this, [this](int copy, int page, int pages) {
        out.event(QStringLiteral("page"),
                  {{QStringLiteral("copy"), copy}, {QStringLiteral("page"), page}, {QStringLiteral("pages"), pages}});
    });
    connect(&runner, &JobRunner::copyConfirmed, this, [this](int copy, int copies) {
        out.event(QStringLiteral("copy"), {{QStringLiteral("copy"), copy}, {QStringLiteral("copies"), copies}});
    });
    connectEnd();
    if (::isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &savedInput) == 0) {
        termios raw = savedInput;
        raw.c_lflag &= tcflag_t(~(ICANON | ECHO));
        rawInput = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
        keys = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(keys.get(), &QSocketNotifier::activated, this, &JobReport::onKey);
    }
}

// Progress, overruns, pause and the end.
void JobReport::connectEnd()
{
    connect(&runner, &JobRunner::progress, this, &JobReport::onProgress);
    connect(&runner, &JobRunner::overrun, this, [this](int copy, int page, int times) {
        const QString what = page > 0 ? tr("page %1").arg(page) : tr("copy %1").arg(copy);
        say(tr("%1 has taken %2x its estimate; still waiting, Ctrl-C stops the cutter").arg(what).arg(times));
        out.event(QStringLiteral("overrun"),
                  {{QStringLiteral("copy"), copy}, {QStringLiteral("page"), page}, {QStringLiteral("times"), times}});
    });
    connect(&runner, &JobRunner::paused, this, [this](bool on) {
        out.event(on ? QStringLiteral("paused") : QStringLiteral("resumed"));
        if (!tty)
            say(on ? tr("Paused on the cutter") : tr("Resumed"));
    });
    connect(&runner, &JobRunner::stopping, this, [this] {
        say(tr("Stopping: waiting for the cutter to confirm (Ctrl-C again to leave at once)"));
        out.event(QStringLiteral("stopping"));
    });
    connect(&runner, &JobRunner::finished, this, &JobReport::onFinished);
}

// The closing message and event, both from the runner's account as it stands at the end.
void JobReport::onFinished(int code, const QString& text)
{
    endLine();
    const JobAccount a = runner.account();
    QJsonObject fields{{QStringLiteral("copies"), a.confirmedCopies},
                       {QStringLiteral("pagesPerCopy"), a.pagesPerCopy},
                       {QStringLiteral("copiesOrdered"), a.copies}};
    if (code == ExitOk) {
        out.line(text);
        fields.insert(QStringLiteral("message"), text);
        out.event(QStringLiteral("done"), fields);
        return;
    }
    fields.insert(QStringLiteral("pagesConfirmed"), a.confirmedPages);
    fields.insert(QStringLiteral("pagesSent"), a.sentPages);
    QString message = text;
    const QString resume = resumeCommand(a);
    if (!resume.isEmpty() && a.sentPages > 0) {
        message += tr("; to go on from page %1 of copy %2: %3").arg(a.resumePage).arg(a.resumeCopy).arg(resume);
        fields.insert(QStringLiteral("resumePage"), a.resumePage);
        fields.insert(QStringLiteral("resumeCopy"), a.resumeCopy);
        fields.insert(QStringLiteral("resume"), resume);
    }
    out.errorFields(fields);
    out.error(message);
}

void JobReport::setResume(const QStringList& arguments)
{
    resumeArgs = arguments;
}

QString JobReport::shellLine(const QStringList& words)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=,@%+-]+$"));
    QStringList quoted;
    for (const QString& word : words) {
        if (plain.match(word).hasMatch())
            quoted << word;
        else
            quoted << QLatin1Char('\'') + QString(word).replace(QLatin1Char('\''), QStringLiteral("'\\''"))
                          + QLatin1Char('\'');
    }
    return quoted.join(QLatin1Char(' '));
}

namespace {

// The job's own arguments less where it started and how many copies, which the resume
// says anew, and less --save-media, which the first run has done already.
QStringList withoutResumeOptions(const QStringList& arguments)
{
    const QStringList valued{QStringLiteral("--from-page"), QStringLiteral("--copy"), QStringLiteral("--copies")};
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (valued.contains(word)) {
            ++i; // its value goes with it
            continue;
        }
        const bool dropped = word == QLatin1String("--save-media")
                             || std::any_of(valued.begin(), valued.end(), [&word](const QString& option) {
                                    return word.startsWith(option + QLatin1Char('='));
                                });
        if (!dropped)
            kept << word;
    }
    return kept;
}

} // namespace

// The command that cuts what is left: from the page after the confirmed ones, of the copy
// in hand, then the copies after it; every other option as given.
QString JobReport::resumeCommand(const JobAccount& a) const
{
    if (resumeArgs.isEmpty() || a.resumePage < 1)
        return QString();
    QStringList words = QStringList{QStringLiteral("ktrv8")} + withoutResumeOptions(resumeArgs);
    words << QStringLiteral("--from-page") << QString::number(a.resumePage);
    if (a.copies > 1)
        words << QStringLiteral("--copy") << QString::number(a.resumeCopy) << QStringLiteral("--copies")
              << QString::number(a.copies);
    return shellLine(words);
}

JobReport::~JobReport()
{
    if (rawInput)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedInput);
}

void JobReport::onKey()
{
    char key = 0;
    if (::read(STDIN_FILENO, &key, 1) != 1) {
        keys->setEnabled(false);
        return;
    }
    if (key == ' ' || key == 'p' || key == 'P')
        runner.togglePause();
}

void JobReport::onProgress(const JobProgress& p)
{
    QString where = tr("copy %1/%2").arg(p.copy).arg(p.copies);
    if (p.page > 0)
        where += tr(", page %1/%2").arg(p.page).arg(p.pages);
    else if (p.waitingForCode)
        where += tr(", waiting for the next scanned code");
    else if (p.repeated)
        where += tr(", repeated by the cutter");
    QString left = p.secondsLeft >= 0 ? tr(", %1 left").arg(durationText(p.secondsLeft)) : QString();
    if (p.estimated)
        left += tr(" (estimate)");
    if (p.paused)
        left += tr("  PAUSED (space or p resumes)");
    const int percent = int(p.percent);
    const QString state =
        QStringLiteral("%1 %2 %3 %4 %5").arg(p.copy).arg(p.page).arg(percent).arg(int(p.secondsLeft)).arg(p.paused);
    if (state == lastState)
        return;
    lastState = state;
    out.event(QStringLiteral("estimate"), {{QStringLiteral("copy"), p.copy},
                                           {QStringLiteral("page"), p.page},
                                           {QStringLiteral("percent"), percent},
                                           {QStringLiteral("secondsLeft"), p.secondsLeft},
                                           {QStringLiteral("estimated"), p.estimated},
                                           {QStringLiteral("paused"), p.paused}});
    if (out.isJson())
        return;
    if (tty) {
        const int width = 30;
        const int filled = percent * width / 100;
        std::fprintf(stdout, "\r[%s%s] %3d%%  %-70s", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, '-').constData(), percent, qPrintable(where + left));
        std::fflush(stdout);
        lineOpen = true;
        return;
    }
    // Without a terminal, one line each time the place changes (not every second).
    if (where == lastLine)
        return;
    lastLine = where;
    out.line(tr("progress %1% %2").arg(percent).arg(where));
}

void JobReport::endLine()
{
    if (lineOpen)
        std::fputs("\n", stdout);
    lineOpen = false;
}

void JobReport::say(const QString& text)
{
    endLine();
    out.line(text);
}
