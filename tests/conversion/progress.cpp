// What a conversion tells of its progress: the stages in their order, percents that only
// grow, no more reports than the interval lets through, and a cancel that stops it.
#include "conversiontest.h"

namespace {

struct Heard
{
    QStringList stages; // each report as "stage percent"
    QList<int> percents;
};

CutPaths nestedSquares(int count)
{
    CutPaths paths;
    for (int i = 0; i < count; ++i) {
        const QPointF at((i * 7919) % count * 50.0, 0);
        paths << square(at, 40) << square(at + QPointF(10, 10), 20);
    }
    return paths;
}

} // namespace

void tst_Conversion::progressReports_data()
{
    QTest::addColumn<int>("quietMs");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<QString>("cancelIn");     // the stage whose first report cancels
    QTest::addColumn<QStringList>("expected"); // the stages reported, each once, in order
    QTest::addColumn<bool>("ok");
    const QStringList all{"ordering", "writing"};
    QTest::newRow("every step") << 0 << 0 << QString() << all << true;
    QTest::newRow("one report a stage") << 0 << 1000000 << QString() << all << true;
    QTest::newRow("quick: nothing said") << 1000000 << 0 << QString() << QStringList() << true;
    QTest::newRow("cancelled while ordering") << 0 << 0 << "ordering" << QStringList{"ordering"} << false;
    QTest::newRow("cancelled while writing") << 0 << 0 << "writing" << all << false;
}

void tst_Conversion::progressReports()
{
    QFETCH(int, quietMs);
    QFETCH(int, intervalMs);
    QFETCH(QString, cancelIn);
    QFETCH(QStringList, expected);
    QFETCH(bool, ok);
    QList<QPair<QString, int>> heard;
    ConversionProgress* self = nullptr;
    ConversionProgress progress(
        [&](ConversionStage stage, int percent) {
            heard << qMakePair(stageName(stage), percent);
            if (stageName(stage) == cancelIn)
                self->cancel();
        },
        quietMs, intervalMs);
    self = &progress;

    const int count = 3000;
    CutPaths paths = nestedSquares(count);
    QString error;
    const bool converted = applyCutOptions(&paths, CutOptions(), &error, &progress) && !progress.isCancelled();
    const QByteArray plt = converted ? writePltPage(paths, &progress) : QByteArray();
    QCOMPARE(converted && !progress.isCancelled(), ok);
    QCOMPARE(progress.reported(), !expected.isEmpty());

    QStringList stages;
    for (int i = 0; i < heard.size(); ++i) {
        const auto& [stage, percent] = heard.at(i);
        QVERIFY2(percent >= 0 && percent <= 100, qPrintable(QString::number(percent)));
        if (stages.isEmpty() || stages.last() != stage)
            stages << stage;
        else
            QVERIFY2(percent > heard.at(i - 1).second, qPrintable(stage)); // a repeat says nothing
    }
    QCOMPARE(stages, expected);
    if (intervalMs > 1000)
        QCOMPARE(heard.size(), 2 * expected.size()); // each stage's start and end
    if (ok && !expected.isEmpty()) {
        // Every stage that runs to its end says so, however short the interval.
        QCOMPARE(heard.last(), qMakePair(QStringLiteral("writing"), 100));
        QVERIFY(heard.size() > (intervalMs == 0 ? 10 : 1));
    }
    if (!ok && cancelIn == QLatin1String("ordering"))
        QVERIFY(paths.size() < 2 * count); // stopped short
}
