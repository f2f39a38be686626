// How far a job is: the runner follows the driver's page index and task record, and
// turns them and the page estimates into progress, time left and overruns.
#include "jobrunner.h"
#include "ktrv8_p.h"
#include "kttaskrecord_p.h"

#include "ktrv8.h"

namespace {

const int TicksPerProgress = 4; // progress about once a second
const double OverrunFactor = 3.0;
const double OverrunGraceSeconds = 2.0; // small pages may run over by the link's latency

} // namespace

QString JobRunner::copiesText(int n)
{
    return n == 1 ? tr("%1 copy").arg(n) : tr("%1 copies").arg(n);
}

void JobRunner::unitStarted()
{
    ++unitId;
    unitClock.start();
    pausedMs = 0;
    if (pausedNow)
        pauseClock.start();
}

// The pages of the copy in hand that the driver's index shows confirmed; true when one more is.
// held: the cutter also finished the page in hand while a stop or pause was unanswered.
bool JobRunner::followPages(bool held)
{
    int index = qBound(0, KTRV8Private::pageIndex(*rv8), pageCount);
    // The cutter's stop confirmation closes the copy in the driver's index and record;
    // those pages were not cut. Pages confirmed before it still count.
    if (stoppingNow && index >= pageCount)
        index = confirmedPages;
    else
        sentThrough = qMin(index + 1, pageCount);
    if (held)
        index = qMin(index + 1, pageCount);
    for (int page = confirmedPages + 1; page <= index; ++page)
        emit pageConfirmed(wholeCopy(confirmedCopies + 1), page + pageBase(confirmedCopies + 1), wholePages());
    const bool moved = index > confirmedPages;
    confirmedPages = qMax(confirmedPages, index);
    return moved;
}

// Follows the driver's own page index and task record: a page equal to the one before is
// progress too, though the job property's value does not change.
void JobRunner::follow()
{
    if (!begun || ended)
        return;
    const bool qr = !options.qrDir.isEmpty();
    const bool pagesInHand =
        rv8 && pageCount > 0 && confirmedCopies < options.copies && (qr ? pagesLoaded : confirmedCopies == 0);
    const bool held = rv8 && KTRV8Private::readyWhileHeld(*rv8);
    const bool moved = pagesInHand && followPages(held);
    int done = stoppingNow ? confirmedCopies : qMin(KTTaskRecord::finished(record()), options.copies);
    // Work the cutter finished during a hold that ends a copy (its last page, or a copy the
    // cutter repeats) counts once; the driver's record catches up on resume, or never on a stop.
    const bool copyInHandDone =
        pagesInHand ? confirmedPages >= pageCount : !qr && confirmedCopies > 0 && confirmedCopies < options.copies;
    if (held && !heldCounted && copyInHandDone)
        done = qMax(done, confirmedCopies + 1);
    heldCounted = held;
    countCopies(done, moved);
}

// Counts the copies confirmed up to done, then shows where the job is; moved: a page was.
void JobRunner::countCopies(int done, bool moved)
{
    if (done > confirmedCopies) {
        for (int copy = confirmedCopies + 1; copy <= done; ++copy)
            emit copyConfirmed(wholeCopy(copy), wholeCopies());
        confirmedCopies = done;
        confirmedPages = 0;
        sentThrough = 0;
        pagesLoaded = false; // a QR-code copy's pages come with its scanned code
        moved = true;
    }
    if (moved) {
        unitStarted();
        if (options.timeoutSeconds > 0)
            timeLimit.start();
    }
    const double elapsed = unitElapsed();
    checkOverrun(elapsed, unitEstimate());
    if (!stoppingNow && (moved || ticks % TicksPerProgress == 0))
        emit progress(currentProgress(elapsed));
}

double JobRunner::unitElapsed() const
{
    const qint64 pausedTotal = pausedMs + (pausedNow ? pauseClock.elapsed() : 0);
    return qMax<qint64>(0, unitClock.elapsed() - pausedTotal) / 1000.0;
}

// The estimate of what the cutter has in hand: a page, a whole repeated copy, or nothing
// known while a QR-code job waits for a scan.
double JobRunner::unitEstimate() const
{
    if (pageSeconds.isEmpty() || confirmedCopies >= options.copies)
        return -1;
    const bool qr = !options.qrDir.isEmpty();
    if (qr ? pagesLoaded : confirmedCopies == 0)
        return pageSeconds.value(confirmedPages, -1);
    if (qr)
        return -1;
    double copy = 0;
    for (double seconds : pageSeconds)
        copy += seconds;
    return copy;
}

void JobRunner::checkOverrun(double elapsed, double estimate)
{
    if (estimate < 0 || pausedNow || overrunSaid == unitId || elapsed < OverrunFactor * estimate
        || elapsed < estimate + OverrunGraceSeconds)
        return;
    overrunSaid = unitId;
    const bool pagesInHand = options.qrDir.isEmpty() ? confirmedCopies == 0 : pagesLoaded;
    emit overrun(wholeCopy(confirmedCopies + 1), pagesInHand ? confirmedPages + 1 + pageBase(confirmedCopies + 1) : 0,
                 estimate > 0 ? int(elapsed / estimate) : int(OverrunFactor));
}

JobProgress JobRunner::currentProgress(double elapsed) const
{
    JobProgress p;
    p.copies = options.copies;
    p.copy = qMin(confirmedCopies + 1, options.copies);
    p.pages = pageCount;
    p.paused = pausedNow;
    const bool qr = !options.qrDir.isEmpty();
    const bool allDone = confirmedCopies >= options.copies;
    const bool pagesInHand = !allDone && (qr ? pagesLoaded : confirmedCopies == 0);
    p.page = pagesInHand ? qMin(confirmedPages + 1, pageCount) : 0;
    p.repeated = !allDone && !qr && confirmedCopies > 0;
    p.waitingForCode = !allDone && qr && !pagesLoaded;
    const double estimate = unitEstimate();
    const double share = estimate > 0 ? qMin(elapsed / estimate, 0.99) : 0.0;
    p.estimated = share > 0;
    const double copy = copyLength();
    double inCopy = 0;
    if (pagesInHand && copy > 0)
        inCopy = doneLength(share) / copy;
    else if (pagesInHand && pageCount > 0)
        inCopy = (confirmedPages + share) / pageCount;
    else if (p.repeated)
        inCopy = share;
    p.percent = allDone ? 100.0 : 100.0 * (confirmedCopies + inCopy) / qMax(1, options.copies);
    if (!pageSeconds.isEmpty() && !qr) {
        double copy = 0, rest = 0;
        for (int i = 0; i < pageSeconds.size(); ++i) {
            copy += pageSeconds.at(i);
            if (pagesInHand && i > confirmedPages)
                rest += pageSeconds.at(i);
        }
        const double left = estimate > 0 ? qMax(0.0, estimate - elapsed) : 0.0;
        p.secondsLeft = allDone ? 0 : left + rest + copy * qMax(0, options.copies - confirmedCopies - 1);
    }
    // The place is said as the whole job's; the percent and time left are of this job.
    p.page += p.page > 0 ? pageBase(p.copy) : 0;
    p.copy = wholeCopy(p.copy);
    p.copies = wholeCopies();
    p.pages = wholePages();
    return p;
}

// The pen-down and pen-up length of one copy, as the time estimate counts it.
double JobRunner::copyLength() const
{
    double length = 0;
    for (const ktconv::Measure& page : pageMeasures)
        length += page.cut + page.travel;
    return length;
}

// Of the copy in hand: the confirmed pages' length and the given share of the page on the cutter.
double JobRunner::doneLength(double share) const
{
    double length = 0;
    for (int i = 0; i < pageMeasures.size() && i <= confirmedPages; ++i) {
        const ktconv::Measure& page = pageMeasures.at(i);
        length += (i < confirmedPages ? 1.0 : share) * (page.cut + page.travel);
    }
    return length;
}

JobAccount JobRunner::account() const
{
    JobAccount a;
    a.copies = wholeCopies();
    a.pagesPerCopy = wholePages();
    a.confirmedCopies = wholeCopy(confirmedCopies + 1) - 1;
    const bool qr = !options.qrDir.isEmpty();
    const bool pagesInHand = confirmedCopies < options.copies && (qr ? pagesLoaded : confirmedCopies == 0);
    if (pagesInHand) {
        a.confirmedPages = confirmedPages + pageBase(confirmedCopies + 1);
        a.sentPages = begun ? qMax(confirmedPages, sentThrough) + pageBase(confirmedCopies + 1) : 0;
    }
    if (!qr && confirmedCopies < options.copies) {
        a.resumeCopy = a.confirmedCopies + 1;
        a.resumePage = a.confirmedPages + 1;
    }
    return a;
}

QString JobRunner::position() const
{
    const JobAccount a = account();
    QString text = tr("confirmed: %1 of %2").arg(a.confirmedCopies).arg(copiesText(a.copies));
    if (a.confirmedPages > 0)
        text += tr(", and %1 of %2 page(s) of copy %3")
                    .arg(a.confirmedPages)
                    .arg(a.pagesPerCopy)
                    .arg(a.confirmedCopies + 1);
    return text;
}
