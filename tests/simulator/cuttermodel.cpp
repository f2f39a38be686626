#include "tst_simulator.h"

// --- Cutter model, in process ---------------------------------------------------------

namespace {

struct Bench
{
    explicit Bench(int family = 437, int cutMs = 5)
        : cutter(options(family, cutMs), &recorder), spy(&cutter, &SimCutter::reply)
    {
    }
    static CutterOptions options(int family, int cutMs)
    {
        CutterOptions o;
        o.family = family;
        o.cutMs = cutMs;
        return o;
    }
    void send(const QByteArray& payload)
    {
        Request request;
        QVERIFY2(parseFrame(ktFrame(payload), &request), payload.constData());
        cutter.handle(request);
    }
    QStringList replies() const
    {
        QStringList out;
        for (const auto& args : spy) {
            const QByteArray frame = args.at(0).toByteArray();
            out << QString::fromUtf8(frame.mid(frame.indexOf(';') + 1, frame.size() - frame.indexOf(';') - 2));
        }
        return out;
    }
    int count(const QString& payload) const { return replies().count(payload); }

    CutRecorder recorder;
    SimCutter cutter;
    QSignalSpy spy;
};

} // namespace

void tst_Simulator::readinessPerPage_data()
{
    QTest::addColumn<QStringList>("requests"); // "page" sends a page, "wait" lets the cutter finish
    QTest::addColumn<int>("readiness");
    QTest::addColumn<int>("pagesCut");

    QTest::newRow("one page with its status read") << QStringList{"page", "CCMD;4;", "wait"} << 1 << 1;
    QTest::newRow("three pages, read after the last")
        << QStringList{"page", "wait", "page", "wait", "page", "CCMD;4;", "wait"} << 3 << 3;
    QTest::newRow("read arriving just after the answer") << QStringList{"page", "wait", "CCMD;4;", "wait"} << 1 << 1;
    QTest::newRow("repeat answers once for all pages")
        << QStringList{"page", "wait", "page", "CCMD;4;", "wait", "CCMD;30,1;", "wait"} << 3 << 4;
    QTest::newRow("repeat twice") << QStringList{"page", "CCMD;4;", "wait", "CCMD;30,2;", "wait"} << 2 << 3;
    QTest::newRow("idle read is answered") << QStringList{"CCMD;4;", "wait"} << 1 << 0;
    QTest::newRow("set mark starts a new job")
        << QStringList{"page", "wait", "CCMD;1000,1;", "page", "wait", "CCMD;30,1;", "wait"} << 3 << 3;
}

void tst_Simulator::readinessPerPage()
{
    QFETCH(QStringList, requests);
    QFETCH(int, readiness);
    QFETCH(int, pagesCut);
    Bench bench;
    int expectedAnswers = 0;
    for (const QString& step : requests) {
        if (step == QLatin1String("page")) {
            bench.send("PPLT;IN;PU0,0;PD40,40;PG;");
            ++expectedAnswers;
        } else if (step == QLatin1String("wait")) {
            QTRY_VERIFY_WITH_TIMEOUT(!bench.cutter.busy(), 5000);
        } else {
            bench.send(step.toUtf8());
        }
    }
    // Every row ends idle: no page is left to answer later.
    QCOMPARE(bench.count(QStringLiteral("CCMD;4,0;")), readiness);
    QCOMPARE(bench.cutter.pagesCut(), pagesCut);
    QCOMPARE(bench.recorder.pages(), pagesCut);
}

void tst_Simulator::stopAbandonsThePage()
{
    Bench bench(437, 200);
    bench.send("PPLT;PU0,0;PD40,40;PG;");
    bench.send("CCMD;27,2;");
    QCOMPARE(bench.replies(), QStringList{"CCMD;27,0,2;"});
    // An idle cutter has no page that could still be cut.
    QVERIFY(!bench.cutter.busy());
    QCOMPARE(bench.count(QStringLiteral("CCMD;4,0;")), 0);
    QCOMPARE(bench.cutter.pagesCut(), 0);
    // Nothing left to repeat after a stop.
    bench.send("CCMD;30,1;");
    QCOMPARE(bench.replies().last(), QStringLiteral("CCMD;30,1;"));
}

void tst_Simulator::pauseHoldsThePage()
{
    Bench bench(437, 100);
    bench.send("PPLT;PU0,0;PD40,40;PG;");
    bench.send("CCMD;27,0;");
    // Longer than the 100 ms page: held, it sends nothing.
    QVERIFY(!bench.spy.wait(150));
    QCOMPARE(bench.cutter.pagesCut(), 0);
    bench.send("CCMD;27,1;");
    QTRY_COMPARE_WITH_TIMEOUT(bench.count(QStringLiteral("CCMD;4,0;")), 1, 2000);
    QCOMPARE(bench.replies().mid(0, 2), (QStringList{"CCMD;27,0,0;", "CCMD;27,0,1;"}));
}

void tst_Simulator::family157JobReports()
{
    Bench bench(157);
    bench.send("CMD;NUM:2;");
    bench.send("PLT;IN;PU0,0;PD40,0;PG;PU0,0;PD0,40;PG;");
    QTRY_VERIFY_WITH_TIMEOUT(!bench.cutter.busy(), 5000);
    const QStringList reports = bench.replies().filter(QStringLiteral("CCMD;66,"));
    // Start, then one report per page: 2 pages x 2 copies.
    QCOMPARE(reports.size(), 5);
    QCOMPARE(reports.first(), QStringLiteral("CCMD;66,1,job1.plt,2,0,0,0,0,0;"));
    QCOMPARE(reports.at(2), QStringLiteral("CCMD;66,1,job1.plt,2,1,50,0,0,0;"));
    QCOMPARE(reports.last(), QStringLiteral("CCMD;66,0,job1.plt,2,2,100,0,0,0;"));
    QCOMPARE(bench.cutter.pagesCut(), 4);
    QCOMPARE(bench.count(QStringLiteral("CCMD;4,0;")), 0);
}

void tst_Simulator::cutTimeFollowsSpeed_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("setSpeed");
    QTest::addColumn<int>("ms");
    // The page travels 10 mm out and 10 mm back (400 plotter units each way).
    QTest::newRow("437 at 100 mm/s") << 437 << QByteArray("CCMD;6,0,100;") << 200;
    QTest::newRow("437 at 50 mm/s") << 437 << QByteArray("CCMD;6,0,50;") << 400;
    QTest::newRow("157 at 200 mm/s") << 157 << QByteArray("CMD;SET1:200;") << 100;
}

void tst_Simulator::cutTimeFollowsSpeed()
{
    QFETCH(int, family);
    QFETCH(QByteArray, setSpeed);
    QFETCH(int, ms);
    CutterOptions options = Bench::options(family, 5);
    options.cutBySpeed = true;
    SimCutter cutter(options, nullptr);
    Request request;
    QVERIFY(ktsim::parseFrame(ktFrame(setSpeed), &request));
    cutter.handle(request);
    QCOMPARE(cutter.pageDuration("PU0,0;PD400,0;PU0,0;PG;"), ms);
}
