// What a conversion tells of its progress: the stages in order, percents that only grow,
// no more reports than the interval lets through, and a cancel that stops it short.
#include "conversiontest.h"

void tst_Conversion::progressReports_data()
{
    QTest::addColumn<int>("quietMs");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<QString>("cancelIn");     // the stage whose first report cancels
    QTest::addColumn<QStringList>("expected"); // the stages reported, in order
    const QStringList all{"ordering", "writing"};
    QTest::newRow("every step") << 0 << 0 << QString() << all;
    QTest::newRow("start and end of a stage") << 0 << 1000000 << QString() << all;
    QTest::newRow("quick: nothing said") << 1000000 << 0 << QString() << QStringList();
    QTest::newRow("cancelled while ordering") << 0 << 0 << "ordering" << QStringList{"ordering"};
    QTest::newRow("cancelled while writing") << 0 << 0 << "writing" << all;
}

void tst_Conversion::progressReports()
{
    QFETCH(int, quietMs);
    QFETCH(int, intervalMs);
    QFETCH(QString, cancelIn);
    QFETCH(QStringList, expected);
    QList<QPair<QString, int>> heard;
    ConversionProgress progress(
        [&](ConversionStage stage, int percent) {
            heard << qMakePair(stageName(stage), percent);
            if (stageName(stage) == cancelIn)
                progress.cancel();
        },
        quietMs, intervalMs);
    CutPaths paths;
    for (int i = 0; i < 3000; ++i)
        paths << square(QPointF((i * 7919) % 3000 * 50.0, 0), 40)
              << square(QPointF((i * 7919) % 3000 * 50.0 + 10, 10), 20);
    QString error;
    if (applyCutOptions(&paths, CutOptions(), &error, &progress) && !progress.isCancelled())
        writePltPage(paths, &progress);
    QCOMPARE(progress.isCancelled(), !cancelIn.isEmpty());
    QStringList stages;
    for (int i = 0; i < heard.size(); ++i) {
        QVERIFY(heard[i].second >= 0 && heard[i].second <= 100);
        if (stages.isEmpty() || stages.last() != heard[i].first)
            stages << heard[i].first;
        else
            QVERIFY(heard[i].second > heard[i - 1].second); // a repeat says something new
    }
    QCOMPARE(stages, expected);
    if (intervalMs > 1000)
        QCOMPARE(heard.size(), 2 * expected.size());
    if (cancelIn.isEmpty() && !expected.isEmpty())
        QCOMPARE(heard.last(), qMakePair(QStringLiteral("writing"), 100));
    if (cancelIn == QLatin1String("ordering"))
        QCOMPARE(paths.size(), 0); // stopped before the first path was placed
}

// Reading a drawing says how far it got in many steps, from 0 to 100, and reads it exactly
// as a reading without progress does.
void tst_Conversion::readingProgress()
{
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 100' width='1in' height='1in'>";
    for (int i = 0; i < 4000; ++i)
        svg += "<rect x='" + QByteArray::number(i % 90) + "' y='" + QByteArray::number(i / 50)
               + "' width='5' height='3'/>";
    QVector<int> reading;
    ConversionProgress progress([&](ConversionStage stage, int percent) { reading << percent + 1000 * int(stage); }, 0,
                                0);
    CutOptions keep;
    keep.keepOrder = true;
    CutPaths withProgress, without;
    QString error;
    QVERIFY(convertDrawing(svg + "</svg>", keep, InputOptions(), &withProgress, &error, nullptr, nullptr, &progress));
    QVERIFY(convertDrawing(svg + "</svg>", keep, &without, &error));
    QCOMPARE(withProgress.size(), without.size());
    for (int i = 0; i < without.size(); ++i)
        QVERIFY(withProgress[i].points == without[i].points);
    reading.erase(std::find_if(reading.begin(), reading.end(), [](int r) { return r > 100; }), reading.end());
    QVERIFY2(reading.size() >= 10 && reading.first() == 0 && reading.last() == 100,
             qPrintable(QString::number(reading.size())));
    QVERIFY(std::is_sorted(reading.begin(), reading.end()));
}
