#include "simcutter.h"

#include "simrecorder.h"

#include <algorithm>

namespace ktsim {

namespace {

// Codes with a meaning of their own in the cutter's job handling.
enum Code {
    DeviceStatus = 4,
    GetQrCode = 11,
    TaskControl = 27,
    Repeat = 30,
    QrCodeFile = 55,
    Move = 65,
    SetMark = 1000,
    DeviceStop = 1001,
    FactorySet = 67,
};

// Family-157 registers with an action.
enum Register {
    TaskControlRegister = 125
};

// Task-report status values.
enum ReportStatus {
    ReportDone = 0,
    ReportCutting = 1,
    ReportPaused = 2,
    ReportStopped = 3
};

const int maxPageMs = 10 * 60 * 1000;
const int justAnsweredMs = 2000;

// A job text cut at each "PG;" so that the pages put together give the text back.
QList<QByteArray> pagesOf(const QByteArray& text)
{
    QList<QByteArray> pages;
    int from = 0;
    while (from < text.size()) {
        const int pg = text.indexOf("PG;", from);
        const int end = pg < 0 ? text.size() : pg + 3;
        pages.append(text.mid(from, end - from));
        from = end;
    }
    return pages;
}

} // namespace

SimCutter::SimCutter(const CutterOptions& cutterOptions, CutRecorder* cutRecorder, QObject* parent)
    : QObject(parent), options(cutterOptions), recorder(cutRecorder),
      store(cutterOptions.family, cutterOptions.info, cutterOptions.quirks)
{
    cutTimer.setSingleShot(true);
    connect(&cutTimer, &QTimer::timeout, this, &SimCutter::pageFinished);
    sinceWork.start();
    sinceAnswer.start();
}

void SimCutter::send(const QByteArray& frame)
{
    emit reply(frame);
}

void SimCutter::handle(const Request& request)
{
    switch (request.word) {
    case Word::Ccmd: handleCcmd(request); break;
    case Word::Cmd: handleCmd(request); break;
    case Word::Pplt: takePage(request.job); break;
    case Word::Plt:
    case Word::QrPlt:
        if (options.family != 157) {
            emit log(QStringLiteral("SimCutter::handle job form of family 157 ignored"));
            break;
        }
        takePltJob(request.job, request.word == Word::Plt
                                    ? pltCopies
                                    : store.values(QStringLiteral("QRCODE_COPIES")).value(0).toInt());
        break;
    }
}

void SimCutter::handleCcmd(const Request& request)
{
    const QStringList& fields = request.fields;
    QByteArray answer;
    switch (request.code) {
    case DeviceStatus:
        if (fields.isEmpty())
            statusRead();
        return;
    case GetQrCode:
        if (fields.isEmpty())
            qrCodeRead();
        return;
    case TaskControl:
        if (fields.size() == 1
            && (fields.first() == QLatin1String("0") || fields.first() == QLatin1String("1")
                || fields.first() == QLatin1String("2"))) {
            taskControl(fields.first().toInt(), true);
        } else {
            // A read of the control code has no value to give: refused, never a confirmation.
            send(ccmdReply(TaskControl, 1));
        }
        return;
    case Repeat:
        if (!fields.isEmpty()) {
            repeatLastJob(fields);
            return;
        }
        break;
    case QrCodeFile:
        // Code 55 is also how the cutter reports a scanned code, so a write is not echoed.
        if (fields.isEmpty())
            send(ccmdReply(QrCodeFile, 0, {lastQrCode}));
        else
            lastQrCode = fields.last();
        return;
    case Move: send(ccmdReply(Move, fields.size() == 4 ? 0 : 1)); return;
    case FactorySet:
        if (options.family == 157 && fields.size() == 1) {
            store.factoryReset();
            send(ccmdReply(FactorySet, 0, fields));
            return;
        }
        break;
    case SetMark:
        jobBoundary = true; // sent at the start of every job
        break;
    default: break;
    }
    const bool known = fields.isEmpty()
                           ? store.read(request.code, fields, &answer)
                           : (store.write(request.code, fields, &answer) || store.read(request.code, fields, &answer));
    if (!known)
        send(ccmdReply(request.code, 1));
    else if (!answer.isEmpty())
        send(answer);
}

void SimCutter::handleCmd(const Request& request)
{
    if (options.family != 157) {
        emit log(QStringLiteral("SimCutter::handleCmd register command ignored by family %1").arg(options.family));
        return;
    }
    switch (request.op) {
    case CmdOp::Get: {
        QList<QPair<int, QString>> values;
        for (const auto& reg : request.registers)
            values.append({reg.first, store.registerValue(reg.first)});
        send(cmdReply(QStringLiteral("GET"), values));
        break;
    }
    case CmdOp::Set:
        for (const auto& reg : request.registers) {
            store.setRegister(reg.first, reg.second);
            if (reg.first == TaskControlRegister
                && (reg.second == QLatin1String("0") || reg.second == QLatin1String("1")
                    || reg.second == QLatin1String("2")))
                taskControl(reg.second.toInt(), false);
        }
        send(cmdReply(QStringLiteral("SET"), request.registers));
        break;
    case CmdOp::Num: {
        bool ok = false;
        const int copies = request.number.toInt(&ok);
        if (ok && copies >= 1)
            pltCopies = copies;
        send(packFrame(QStringLiteral("CMD;NUM:%1;").arg(pltCopies).toUtf8()));
        break;
    }
    case CmdOp::None: break;
    }
}

void SimCutter::takePage(const QByteArray& page)
{
    Unit unit;
    if (jobBoundary || (units.isEmpty() && sinceWork.elapsed() > options.idleMs + options.replyDelayMs)) {
        lastJob.clear();
        jobBoundary = false;
        unit.startsCopy = true;
    }
    lastJob.append(page);
    unit.pages = {page};
    units.append(unit);
    emit log(QStringLiteral("SimCutter::takePage %1 bytes, page %2 of this job").arg(page.size()).arg(lastJob.size()));
    startNextPage();
}

void SimCutter::takePltJob(const QByteArray& text, int copies)
{
    const QList<QByteArray> pages = pagesOf(text);
    if (pages.isEmpty())
        return;
    Unit unit;
    unit.readiness = false;
    unit.reports = true;
    unit.copies = std::max(1, copies);
    unit.pagesPerCopy = pages.size();
    unit.startsCopy = true;
    for (int i = 0; i < unit.copies; ++i)
        unit.pages += pages;
    unit.file = QStringLiteral("job%1.plt").arg(++jobNumber);
    lastJob = pages;
    jobBoundary = true;
    units.append(unit);
    if (units.size() == 1)
        report(unit, ReportCutting);
    startNextPage();
}

void SimCutter::repeatLastJob(const QStringList& fields)
{
    bool ok = false;
    const int times = fields.size() == 1 ? fields.first().toInt(&ok) : 0;
    if (!ok || times < 1 || times > 999 || lastJob.isEmpty()) {
        send(ccmdReply(Repeat, 1));
        return;
    }
    Unit unit;
    unit.pagesPerCopy = lastJob.size();
    unit.startsCopy = true;
    for (int i = 0; i < times; ++i)
        unit.pages += lastJob;
    store.setValues(QStringLiteral("TASK_COPIES"), fields);
    jobBoundary = true;
    units.append(unit);
    emit log(QStringLiteral("SimCutter::repeatLastJob %1 page(s) %2 time(s)").arg(lastJob.size()).arg(times));
    startNextPage();
}

// One readiness reply per piece of work: a status read that belongs to the page in hand
// (or to the one just answered) is answered by that reply, never on its own.
void SimCutter::statusRead()
{
    if (!units.isEmpty()) {
        units.last().statusRead = true;
        return;
    }
    if (answerUnpaired && sinceAnswer.elapsed() < justAnsweredMs + options.replyDelayMs) {
        answerUnpaired = false;
        return;
    }
    answerUnpaired = false;
    send(ccmdReply(DeviceStatus, 0));
}

void SimCutter::qrCodeRead()
{
    jobBoundary = true;
    if (options.qrCodes.isEmpty()) {
        send(ccmdReply(GetQrCode, 1));
        return;
    }
    lastQrCode = options.qrCodes.at(qrIndex++ % options.qrCodes.size());
    send(ccmdReply(GetQrCode, 0, {lastQrCode}));
}

// 0 pause, 1 resume, 2 stop. Family 437 confirms with "CCMD;27,0,<value>;".
void SimCutter::taskControl(int value, bool confirm)
{
    // Some cutters finish the page in hand, and say so, before they confirm a stop.
    if (value == 2 && confirm && options.finishPageOnStop && cutTimer.isActive()) {
        stopPending = true;
        return;
    }
    if (confirm)
        send(ccmdReply(TaskControl, 0, {QString::number(value)}));
    if (value == 0 && !paused) {
        paused = true;
        if (cutTimer.isActive()) {
            resumeMs = cutTimer.remainingTime();
            cutTimer.stop();
        }
        if (!units.isEmpty() && units.first().reports)
            report(units.first(), ReportPaused);
    } else if (value == 1 && paused) {
        paused = false;
        if (!units.isEmpty() && units.first().reports)
            report(units.first(), ReportCutting);
        if (resumeMs >= 0) {
            cutTimer.start(resumeMs);
            resumeMs = -1;
        } else {
            startNextPage();
        }
    } else if (value == 2) {
        abandonWork();
    }
}

void SimCutter::deviceStop()
{
    emit log(QStringLiteral("SimCutter::deviceStop after %1 page(s)").arg(totalPagesCut));
    abandonWork();
    send(packFrame("CCMD;1001,0;"));
}

// The page in hand and everything queued are dropped; there is no last job to repeat.
void SimCutter::abandonWork()
{
    if (!units.isEmpty() && units.first().reports)
        report(units.first(), ReportStopped);
    cutTimer.stop();
    units.clear();
    paused = false;
    resumeMs = -1;
    lastJob.clear();
    jobBoundary = true;
    answerUnpaired = false;
    stopPending = false;
    sinceWork.restart();
}

void SimCutter::startNextPage()
{
    if (paused || units.isEmpty() || cutTimer.isActive())
        return;
    if (options.stopAfterPages >= 0 && totalPagesCut >= options.stopAfterPages && !stopFired) {
        stopFired = true;
        deviceStop();
        return;
    }
    const Unit& unit = units.first();
    cutTimer.start(pageDuration(unit.pages.at(unit.next)));
}

int SimCutter::pageDuration(const QByteArray& page) const
{
    if (!options.cutBySpeed)
        return options.cutMs;
    const double speed = options.family == 157 ? store.registerValue(1).toDouble()
                                               : store.values(QStringLiteral("SPEED")).value(0).toDouble();
    const double mm = parseHpgl(page).travelUnits / UnitsPerMm;
    const double ms = mm / (speed > 0 ? speed : 100.0) * 1000.0;
    return static_cast<int>(std::min<double>(std::max(ms, 1.0), maxPageMs));
}

void SimCutter::pageFinished()
{
    if (units.isEmpty())
        return;
    Unit& unit = units.first();
    if (recorder) {
        const bool copyStart = unit.next == 0 ? unit.startsCopy : unit.next % unit.pagesPerCopy == 0;
        const double margin = store.values(QStringLiteral("MARGIN")).value(0).toDouble();
        recorder->pageCut(unit.pages.at(unit.next), copyStart, margin > 0 ? margin : 10.0);
    }
    ++totalPagesCut;
    ++unit.next;
    const bool done = unit.next >= unit.pages.size();
    if (unit.reports)
        report(unit, done ? ReportDone : ReportCutting);
    if (done) {
        const Unit finished = units.takeFirst();
        sinceWork.restart();
        if (finished.readiness) {
            answerUnpaired = !finished.statusRead;
            sinceAnswer.restart();
            send(ccmdReply(DeviceStatus, 0));
        }
        if (!units.isEmpty() && units.first().reports)
            report(units.first(), ReportCutting);
    }
    if (stopPending)
        taskControl(2, true);
    else
        startNextPage();
}

// "CCMD;66,status,file,copies,finished,percent,0,0,0;"
void SimCutter::report(const Unit& unit, int status)
{
    const int finished = unit.next / unit.pagesPerCopy;
    const double percent = unit.pages.isEmpty() ? 100.0 : 100.0 * unit.next / unit.pages.size();
    const QString item = QStringLiteral("CCMD;66,%1,%2,%3,%4,%5,0,0,0;")
                             .arg(status)
                             .arg(unit.file)
                             .arg(unit.copies)
                             .arg(finished)
                             .arg(QString::number(qRound(percent * 10) / 10.0));
    send(packFrame(item.toUtf8()));
}

} // namespace ktsim
