// How a job that ends short is told: the closing message, the JSON events and the error
// event agree on what was confirmed, and the command they give cuts exactly the rest.
#include "hosttest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>

namespace {

// ktrv8 cut --json to its end; with stopOnPage, Ctrl-C once the first page is confirmed.
Run cutWithEvents(const QStringList& arguments, bool stopOnPage)
{
    QProcess host;
    host.start(ktBinary(QStringLiteral("ktrv8")), arguments);
    Run run;
    QDeadlineTimer deadline(30000);
    while (host.waitForStarted() && host.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        host.waitForReadyRead(100);
        run.out += host.readAllStandardOutput();
        if (stopOnPage && run.out.contains("\"event\":\"page\"") && ::kill(pid_t(host.processId()), SIGINT) == 0)
            stopOnPage = false;
    }
    run.out += host.readAllStandardOutput();
    run.err = host.readAllStandardError();
    run.code = host.state() == QProcess::NotRunning ? host.exitCode() : -1;
    return run;
}

QList<QJsonObject> events(const QByteArray& out, const QString& name)
{
    QList<QJsonObject> found;
    for (const QByteArray& line : out.split('\n')) {
        if (QJsonDocument::fromJson(line).object().value(QStringLiteral("event")).toString() == name)
            found << QJsonDocument::fromJson(line).object();
    }
    return found;
}

} // namespace

void tst_Host::endAccountsAgree_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("hostArgs");
    QTest::addColumn<bool>("stopOnPage"); // Ctrl-C after the first page
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("cutPages"); // of copy 1, as the cutter's record has them; -1: any
    QTest::newRow("lost link") << QStringList{"--drop-after", "8"} << QStringList{"--copies", "2"} << false << 6 << -1;
    QTest::newRow("timeout") << QStringList{"--cut-ms", "2500"} << QStringList{"--timeout", "1"} << false << 5 << -1;
    QTest::newRow("stop") << QStringList{"--cut-ms", "700"} << QStringList{"--copies", "2"} << true << 130 << 1;
    // Page 2 is done and said so between the stop request and its confirmation: it counts,
    // and page 3 never leaves.
    QTest::newRow("stop, page done meanwhile")
        << QStringList{"--cut-ms", "700", "--finish-page-on-stop"} << QStringList{"--copies", "2"} << true << 130 << 2;
}

void tst_Host::endAccountsAgree()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, hostArgs);
    QFETCH(bool, stopOnPage);
    QFETCH(int, exitCode);
    QFETCH(int, cutPages);
    const QString record = dir.filePath(
        QStringLiteral("account-%1.plt").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_')));
    SimProcess sim(simArgs + QStringList{"--out", record});
    QVERIFY(sim.start());
    const Run run = cutWithEvents(QStringList{"cut", sample, "--json"} + addressOf(sim, false) + hostArgs, stopOnPage);
    QVERIFY2(run.code == exitCode, run.out + run.err);
    const QList<QJsonObject> errors = events(run.out, QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    const QJsonObject error = errors.first();
    const int pages = events(run.out, QStringLiteral("page")).size();
    const int copies = events(run.out, QStringLiteral("copy")).size();
    QCOMPARE(error.value(QStringLiteral("pagesConfirmed")).toInt(), pages);
    QCOMPARE(error.value(QStringLiteral("copies")).toInt(), copies);
    QVERIFY2(pages > 0 || copies > 0 || !stopOnPage, run.out.constData());
    // The closing message says the same as the events, on stderr and in the error event.
    const QString said = QStringLiteral("confirmed: %1 of").arg(copies);
    const QString pagesSaid = QStringLiteral("and %1 of 3 page(s)").arg(pages);
    for (const QString& message : {QString::fromUtf8(run.err), error.value(QStringLiteral("message")).toString()}) {
        QVERIFY2(message.contains(said), qPrintable(message));
        QCOMPARE(message.contains(pagesSaid), pages > 0);
    }
    QCOMPARE(error.value(QStringLiteral("resumePage")).toInt(), pages + 1);
    if (cutPages >= 0) {
        QCOMPARE(pages, cutPages);
        const QByteArray job = sampleJob();
        int end = 0;
        for (int page = 0; page < cutPages; ++page)
            end = job.indexOf("PG;", end) + 3;
        QCOMPARE(readFile(record), job.left(end));
    }
    QVERIFY2(error.value(QStringLiteral("resume")).toString().contains(QStringLiteral("--from-page %1").arg(pages + 1)),
             run.out.constData());
}

// Pages 2 and 3 of copy 1 and then copy 2 whole: the cutter gets exactly those, and the
// events number them as the whole job's pages and copies.
void tst_Host::resumeCutsTheRest_data()
{
    QTest::addColumn<QStringList>("hostArgs");
    QTest::addColumn<int>("skippedPages"); // of the first copy cut
    QTest::addColumn<int>("wholeCopies");  // after it
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("numbered"); // page events COPY.PAGE/PAGES, copy events cCOPY/COPIES
    QTest::newRow("page 2 of copy 1 of 2")
        << QStringList{"--from-page", "2", "--copies", "2"} << 1 << 1 << 0 << "1.2/3 1.3/3 c1/2 2.1/3 2.2/3 2.3/3 c2/2";
    QTest::newRow("page 3 of copy 2 of 2")
        << QStringList{"--from-page", "3", "--copy", "2", "--copies", "2"} << 2 << 0 << 0 << "2.3/3 c2/2";
    QTest::newRow("copy 2 of 3 from its start") << QStringList{"--copy", "2", "--copies", "3"} << 0 << 1 << 0
                                                << "2.1/3 2.2/3 2.3/3 c2/3 3.1/3 3.2/3 3.3/3 c3/3";
    QTest::newRow("no page 4") << QStringList{"--from-page", "4"} << 0 << 0 << 2 << "";
    QTest::newRow("copy past the copies") << QStringList{"--copy", "3", "--copies", "2"} << 0 << 0 << 2 << "";
}

void tst_Host::resumeCutsTheRest()
{
    QFETCH(QStringList, hostArgs);
    QFETCH(int, skippedPages);
    QFETCH(int, wholeCopies);
    QFETCH(int, exitCode);
    QFETCH(QString, numbered);
    const QString record = dir.filePath(
        QStringLiteral("resume-%1.plt").arg(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_')));
    SimProcess sim({"--out", record});
    QVERIFY(sim.start());
    const Run run = runHost(QStringList{"cut", sample, "--json"} + addressOf(sim, false) + hostArgs);
    QVERIFY2(run.code == exitCode, run.err.constData());
    QStringList said;
    for (const QByteArray& line : run.out.split('\n')) {
        const QJsonObject e = QJsonDocument::fromJson(line).object();
        const auto number = [&e](const char* key) { return QString::number(e.value(QLatin1String(key)).toInt()); };
        if (e.value(QStringLiteral("event")) == QStringLiteral("page"))
            said << number("copy") + '.' + number("page") + '/' + number("pages");
        else if (e.value(QStringLiteral("event")) == QStringLiteral("copy"))
            said << 'c' + number("copy") + '/' + number("copies");
    }
    QCOMPARE(said.join(' '), numbered);
    const QByteArray job = sampleJob();
    int from = 0;
    for (int i = 0; i < skippedPages; ++i)
        from = job.indexOf("PG;", from) + 3;
    const QByteArray expected = exitCode == 0 ? job.mid(from) + job.repeated(wholeCopies) : QByteArray();
    QCOMPARE(readFile(record), expected);
}

// With --json, stdout holds JSON only, whatever the end: one error event with its code, or
// the help as one object.
void tst_Host::jsonForEveryOutcome_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("help") << QStringList{"--help"} << 0;
    QTest::newRow("a command's help") << QStringList{"cut", "-h"} << 0;
    QTest::newRow("help, unknown command") << QStringList{"bogus", "--help"} << 0;
    QTest::newRow("option without its value") << QStringList{"cut", "x.plt", "--copies"} << 2;
    QTest::newRow("unknown language") << QStringList{"cut", "x.plt", "--lang", "xx"} << 2;
    QTest::newRow("unknown command") << QStringList{"bogus"} << 2;
    QTest::newRow("no command") << QStringList() << 2;
    QTest::newRow("unknown option") << QStringList{"get", "--bogus"} << 2;
    QTest::newRow("no page to go on from")
        << QStringList{"cut", "SAMPLE", "--from-page", "9", "--tcp", "127.0.0.1:1"} << 2;
}

void tst_Host::jsonForEveryOutcome()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    arguments.replaceInStrings(QStringLiteral("SAMPLE"), sample);
    const Run run = runHost(arguments + QStringList{"--json"});
    QCOMPARE(run.code, exitCode);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    for (const QByteArray& line : lines)
        QVERIFY2(QJsonDocument::fromJson(line).isObject(), run.out.constData());
    const QJsonObject last = QJsonDocument::fromJson(lines.last()).object();
    if (exitCode == 0) {
        QCOMPARE(lines.size(), 1);
        QCOMPARE(last.value(QStringLiteral("event")).toString(), QStringLiteral("help"));
        QVERIFY(last.value(QStringLiteral("text")).toString().startsWith(QStringLiteral("Usage: ktrv8 ")));
        return;
    }
    QCOMPARE(last.value(QStringLiteral("event")).toString(), QStringLiteral("error"));
    QCOMPARE(last.value(QStringLiteral("code")).toInt(), exitCode);
    QVERIFY(!last.value(QStringLiteral("message")).toString().isEmpty());
}

// The closing message and the driver's status text inside it follow --lang.
void tst_Host::resultsFollowTheLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("lost"); // the end, with the driver's text for the lost link
    QTest::newRow("ja") << "ja"
                        << "接続が切れました（TCP 切断しました。）";
    QTest::newRow("zh") << "zh"
                        << "连接已断开（TCP 已断开。）";
}

void tst_Host::resultsFollowTheLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, lost);
    SimProcess sim({"--drop-after", "8"});
    QVERIFY(sim.start());
    const Run run = runHost(QStringList{"cut", sample, "--copies", "2", "--lang", language} + addressOf(sim, false));
    QVERIFY2(run.code == 6 && QString::fromUtf8(run.err).contains(lost), run.err.constData());
}
