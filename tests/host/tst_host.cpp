// ktrv8, the command-line host, as real processes against the simulator over loopback TCP
// and a pseudo-terminal.
#include "hosttest.h"
#include "jobestimate.h"
#include "ktrv8_p.h"
#include "preparedjob.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtTest>

#include <zlib.h>

void tst_Host::initTestCase()
{
    QVERIFY(QFileInfo(ktBinary(QStringLiteral("ktrv8"))).isExecutable());
    QVERIFY(QFileInfo(ktBinary(QStringLiteral("ktrv8-sim"))).isExecutable());
    QVERIFY(!sampleJob().isEmpty());
    sample = QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/sample.plt");
    QVERIFY(dir.isValid());
}

void tst_Host::pageGeometry_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<double>("downMm");
    QTest::addColumn<double>("upMm");
    QTest::newRow("IN;PU0,0;PD400,0;PG;") << "IN;PU0,0;PD400,0;PG;" << 10.0 << 0.0;
    QTest::newRow("PU400,0;PD400,300;") << "PU400,0;PD400,300;" << 7.5 << 10.0;
    QTest::newRow("PD polyline in pairs") << "PD0,0,400,0,400,300;" << 17.5 << 0.0;
    QTest::newRow("PR relative moves") << "PR;PU40,0;PD0,40,-40,0;" << 2.0 << 1.0;
    QTest::newRow("IN returns home, pen up") << "PD400,0;IN;PD0,400;" << 20.0 << 0.0;
    QTest::newRow("label text is not a move") << "PU0,0;DT*;LBPD4000,0*;PD40,0;" << 1.0 << 0.0;
    QTest::newRow("lower case, spaces") << "pu 0 0;pd 400 0;" << 10.0 << 0.0;
    QTest::newRow("no ; between instructions") << "PU0,0PD400,0PU0,0" << 10.0 << 10.0;
    QTest::newRow("label without DT ends at ;") << "LBPD4000,0;PD40,0;" << 1.0 << 0.0;
    QTest::newRow("decimals, a bad number skipped") << "PD20.5,0,#,40,0,--1,80,0;" << 2.0 << 0.0;
    QTest::newRow("PG lifts the pen") << "PD40,0;PG;PA80,0;" << 1.0 << 1.0;
}

void tst_Host::pageGeometry()
{
    QFETCH(QString, page);
    QFETCH(double, downMm);
    QFETCH(double, upMm);
    const ktconv::Measure g = ktconv::measure(page);
    QCOMPARE(g.cutMm(), downMm);
    QCOMPARE(g.travelMm(), upMm);
    QCOMPARE(estimateSeconds(g, 10), (downMm + upMm) / 10);
}

// The prepared job's pages are the driver's pages, each measured as the driver's own page
// text measures: the estimates and the window's page frames go by the driver's index.
void tst_Host::preparedJobPages_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: examples/drawing.svg
    QTest::addColumn<int>("pages");
    QTest::newRow("two pages") << QByteArray("IN;PU0,0;PD400,0;PG;\nPR;PU40,0;PD0,400;PG;") << 2;
    QTest::newRow("no PG") << QByteArray("PU40,40;PD400,0,400,400;") << 1;
    QTest::newRow("the newline after the last PG; is a page") << QByteArray("PD400,0;PG;\n") << 2;
    QTest::newRow("PG without ; does not end a page") << QByteArray("PD400,0;PG PD0,0;PG;") << 1;
    QTest::newRow("empty pages dropped") << QByteArray("PU0,0;PD40,0;PG;PG;PD0,40;PG;") << 2;
    QTest::newRow("drawing, converted") << QByteArray() << 1;
}

void tst_Host::preparedJobPages()
{
    QFETCH(QByteArray, content);
    QFETCH(int, pages);
    QString path = QString::fromLocal8Bit(qgetenv("KT_SOURCE_DIR")) + QStringLiteral("/examples/drawing.svg");
    if (!content.isEmpty()) {
        path = dir.filePath(QStringLiteral("prepared-%1.plt").arg(QTest::currentDataTag()).replace(' ', '_'));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    PreparedJob job;
    QVERIFY2(job.read(path, PreparedJob::Options()), qPrintable(job.error()));
    const QStringList driverPages = KTRV8Private::splitPages(job.text());
    QCOMPARE(driverPages.size(), pages);
    QCOMPARE(job.pages().size(), pages);
    for (int i = 0; i < pages; ++i) {
        // A drawing is measured from its geometry, before its points are rounded to units.
        const ktconv::Measure text = ktconv::measure(QStringView(driverPages.at(i)));
        const double slack = job.isDrawing() ? 0.01 * text.cut : 1e-9;
        QVERIFY2(qAbs(job.pages().at(i).cut - text.cut) <= slack, qPrintable(QString::number(job.pages().at(i).cut)));
        QVERIFY2(qAbs(job.pages().at(i).travel - text.travel) <= qMax(slack, 1e-9),
                 qPrintable(QString::number(job.pages().at(i).travel)));
    }
}

// The one time text the host and the window print: rounded to the second, hours from 3600 s.
void tst_Host::durationText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0 << "0:00";
    QTest::newRow("59.4") << 59.4 << "0:59";
    QTest::newRow("59.5 rounds up") << 59.5 << "1:00";
    QTest::newRow("3599.4") << 3599.4 << "59:59";
    QTest::newRow("3600") << 3600.0 << "1:00:00";
    QTest::newRow("36061") << 36061.0 << "10:01:01";
}

void tst_Host::durationText()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(::durationText(seconds), text);
}

void tst_Host::demoCutsTheSampleExactly()
{
    const QString out = dir.filePath(QStringLiteral("demo"));
    const Run run = runHost({"demo", "--out-dir", out, "--cut-ms", "5"});
    QVERIFY2(run.code == 0, run.err.constData());
    QCOMPARE(readFile(out + QStringLiteral("/cut.plt")), sampleJob().repeated(2));
    QVERIFY(run.out.contains(QFile::encodeName(out + QStringLiteral("/cut.svg"))));

    // The picture is well-formed SVG with one group per page cut (3 pages x 2 copies).
    QFile svg(out + QStringLiteral("/cut.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    int groups = 0, polylines = 0;
    QString root;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (root.isEmpty())
            root = xml.name().toString();
        groups += xml.name() == QLatin1String("g");
        polylines += xml.name() == QLatin1String("polyline");
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(root, QStringLiteral("svg"));
    QCOMPARE(groups, 6);
    QVERIFY(polylines >= 6);
}

// clang-format off
void tst_Host::cut_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("hostArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("copiesRecorded");   // -1: the record is not checked
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("job");        // empty: the sample job

    for (bool usb : {false, true}) {
        const char* via = usb ? "pty" : "tcp";
        //                                             usb   simulator                              host                            exit copies message
        QTest::addRow("%s: 3 pages x 3 copies", via) << usb << QStringList() << QStringList{"--copies", "3"} << 0 << 3 << "done: 3 copies" << QByteArray();
        QTest::addRow("%s: junk, one byte at a time", via) << usb << QStringList{"--junk", "--byte-at-a-time"}
                                                            << QStringList{"--copies", "2"} << 0 << 2 << "done: 2 copies" << QByteArray();
        QTest::addRow("%s: connection dropped", via) << usb << QStringList{"--drop-after", "6"} << QStringList{"--copies", "2"}
                                                      << 6 << -1 << "connection was lost" << QByteArray();
        QTest::addRow("%s: silent cutter", via) << usb << QStringList{"--withhold"} << QStringList{"--timeout", "2"}
                                                 << 5 << -1 << "did not answer within 2 s; nothing was cut" << QByteArray();
        QTest::addRow("%s: slow page, --timeout 1", via) << usb << QStringList{"--cut-ms", "4000"} << QStringList{"--timeout", "1"}
                                                          << 5 << -1 << "no progress for 1 s (--timeout)" << QByteArray();
        QTest::addRow("%s: cutter stops itself", via) << usb << QStringList{"--stop-after-pages", "2"} << QStringList()
                                                       << 7 << -1 << "2 of 3 page(s) of copy 1" << QByteArray();
        QTest::addRow("%s: link lost before the start", via) << usb << QStringList{"--drop-after", "1"} << QStringList{"--copies", "2"}
                                                              << 6 << -1 << "lost before the job started; nothing was cut" << QByteArray();
    }
    const QByteArray line = "IN;PU0,0;PD400,0;PG;";
    // Equal pages follow one another: each confirmation is progress for --timeout.
    QTest::newRow("tcp: identical pages") << false << QStringList{"--cut-ms", "800"} << QStringList{"--timeout", "2"}
                                          << 0 << 1 << "done: 1 copy of 3 page(s)" << line + line + line;
    // A page far longer than its estimate is waited for and said once.
    QTest::newRow("tcp: long page") << false << QStringList{"--cut-ms", "3500"} << QStringList()
                                    << 0 << 1 << "page 1 has taken" << line;
    // Job files that are not plain text: refused before anything is sent.
    const QList<std::pair<const char*, QByteArray>> refused = {
        {"NUL", QByteArray("IN;PU0,0;\0PD40,0;PG;", 20)},
        {"STX", "IN;PU0,0;\x02PD40,0;PG;"},
        {"ETX ending a label", "IN;PU0,0;LBHello\x03;PG;"},
        {"UTF-16", QByteArray("\xff\xfeI\0N\0;\0", 8)},
        {"executable", QByteArray("\x7f" "ELF\x02\x01\x01", 7)},
        {"bad UTF-8", "IN;LB\xc3(;PG;"},
        {"archive", QByteArray("PK\x03\x04\x14\x00\x00\x00", 8)},
    };
    const QStringList reasons = {"byte 9 is a NUL byte", "byte 9 is an STX byte", "byte 16 is an ETX byte",
                                 "byte 0 is UTF-16 text", "byte 0 is an executable", "byte 5 is a byte (0xc3) that is not UTF-8",
                                 "the file is not plain text: byte 2 is an ETX byte (0x03); accepted: SVG"};
    for (int i = 0; i < refused.size(); ++i)
        QTest::addRow("tcp: job with %s", refused.at(i).first) << false << QStringList() << QStringList() << 2 << 0
                                                                << reasons.at(i) << refused.at(i).second;
    // The host reads a job in pieces of 4 MiB: a character split between two pieces is kept
    // whole, and a bad byte in a later piece is named at its offset in the file.
    const int piece = 4 << 20;
    QByteArray large = "IN;DT*;PU0,0;";
    while (large.size() + 6 <= piece - 6)
        large += "PD1,1;";
    large += QByteArray(piece - 6 - large.size(), ';') + "PU;LB\xc3\xa9*;PU0,0;PG;"; // é from piece - 1
    QTest::newRow("tcp: character across a piece") << false << QStringList() << QStringList() << 0 << 1 << "done: 1 copy" << large;
    QTest::newRow("tcp: NUL in a later piece") << false << QStringList() << QStringList() << 2 << 0
                                                << QString("byte %1 is a NUL byte").arg(piece + 10)
                                                << large.left(piece + 10) + QByteArray(1, '\0') + "PG;";
}
// clang-format on

void tst_Host::cut()
{
    QFETCH(bool, usb);
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, hostArgs);
    QFETCH(int, exitCode);
    QFETCH(int, copiesRecorded);
    QFETCH(QString, message);
    QFETCH(QByteArray, job);
    const QString name = QStringLiteral("cut-%1")
                             .arg(QTest::currentDataTag())
                             .replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]")), QStringLiteral("_"));
    const QString record = dir.filePath(name + QStringLiteral(".plt"));
    QString jobFile = sample;
    if (!job.isEmpty()) {
        jobFile = dir.filePath(name + QStringLiteral("-job.plt"));
        QFile file(jobFile);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(job) == job.size());
    }
    SimProcess sim(simArgs + QStringList{"--out", record} + (usb ? QStringList{"--pty"} : QStringList()));
    QVERIFY(sim.start());
    QElapsedTimer clock;
    clock.start();
    const Run run = runHost(QStringList{"cut", jobFile} + addressOf(sim, usb) + hostArgs);
    // A lost link or a refused file is said at once, not after a reply timeout.
    if (exitCode == 6 || exitCode == 2)
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(run.code == exitCode, run.err.constData());
    QVERIFY2((run.code == 0 ? run.out : run.err).contains(message.toUtf8()), (run.out + run.err).constData());
    if (run.code == 0)
        QVERIFY(run.out.contains("done: "));
    // One message for a failed job, and it says how far the job came.
    if (exitCode != 0) {
        QCOMPARE(run.err.count("ktrv8: "), 1);
        QVERIFY2(run.err.contains("confirmed: ") || run.err.contains("nothing was cut") || run.err.contains("not sent"),
                 run.err.constData());
    }
    if (copiesRecorded >= 0)
        QCOMPARE(readFile(record), (job.isEmpty() ? sampleJob() : job).repeated(copiesRecorded));
    QCOMPARE(run.out.count("has taken"), run.out.contains("has taken") ? 1 : 0);
}

void tst_Host::qrCodeJob_data()
{
    QTest::addColumn<bool>("usb");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("recorded");
    QTest::addColumn<QString>("message");
    const QByteArray a1 = "IN;PU0,0;PD400,0;PG;\nPU0,0;PD0,400;PG;";
    const QByteArray b2 = "IN;PU0,0;PD400,400;PG;";
    QTest::newRow("tcp: two codes") << false << "A1,B2" << 0 << a1 + b2 << "done: 2 copies";
    QTest::newRow("pty: two codes") << true << "B2,A1" << 0 << b2 + a1 << "done: 2 copies";
    QTest::newRow("unknown code") << false << "A1,ZZ" << 8 << a1 << "\"ZZ\", which has no job";
    QTest::newRow("code that is a path") << false << "../A1" << 8 << QByteArray() << "not a file name";
}

void tst_Host::qrCodeJob()
{
    QFETCH(bool, usb);
    QFETCH(QString, codes);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, recorded);
    QFETCH(QString, message);
    const QString jobs = dir.filePath(QStringLiteral("qr"));
    QDir().mkpath(jobs);
    for (const auto& [name, text] :
         {std::pair{"A1", "IN;PU0,0;PD400,0;PG;\nPU0,0;PD0,400;PG;"}, {"B2", "IN;PU0,0;PD400,400;PG;"}}) {
        QFile file(jobs + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".plt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const QString record = dir.filePath(QStringLiteral("qr-%1.plt")
                                            .arg(QTest::currentDataTag())
                                            .replace(QLatin1Char(' '), QLatin1Char('_'))
                                            .remove(QLatin1Char(':')));
    SimProcess sim(QStringList{"--qr", codes, "--out", record} + (usb ? QStringList{"--pty"} : QStringList()));
    QVERIFY(sim.start());
    const Run run = runHost(QStringList{"cut", "--qr", jobs, "--copies", "2"} + addressOf(sim, usb));
    QVERIFY2(run.code == exitCode, (run.out + run.err).constData());
    QVERIFY2((run.out + run.err).contains(message.toUtf8()), (run.out + run.err).constData());
    QCOMPARE(readFile(record), recorded);
}

// A cut reads its whole file before it connects, so a refused file never costs a connection
// (the address here takes none); a compressed drawing is told by more than its start.
void tst_Host::fileCheckedBeforeConnecting_data()
{
    QTest::addColumn<QByteArray>("content"); // gzipped when it begins with "gzip:"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QByteArray plt = "IN;PU0,0;";
    while (plt.size() < 100000)
        plt += "PD40,40;PU0,0;";
    QByteArray drawing = "gzip:<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\"><path d=\"M0,0";
    for (int i = 0; drawing.size() < 400000; ++i)
        drawing += QByteArray::number(i % 97) + "," + QByteArray::number((i * 7919) % 89) + " ";
    drawing += "\" fill=\"none\" stroke=\"black\"/></svg>";
    QTest::newRow("NUL past the start the kind is told from") << plt + QByteArray(1, '\0') + "PG;" << 2 << "byte 100";
    QTest::newRow("large compressed drawing") << drawing << 4 << "connection refused";
}

void tst_Host::fileCheckedBeforeConnecting()
{
    QFETCH(QByteArray, content);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    const QString path = dir.filePath(QStringLiteral("checked-%1").arg(QTest::currentDataTag()).replace(' ', '_'));
    if (content.startsWith("gzip:")) {
        gzFile packed = gzopen(QFile::encodeName(path).constData(), "wb");
        QVERIFY(packed);
        QCOMPARE(gzwrite(packed, content.constData() + 5, unsigned(content.size() - 5)), int(content.size() - 5));
        QCOMPARE(gzclose(packed), Z_OK);
        QVERIFY(QFileInfo(path).size() > 64 * 1024); // more than the start the kind is told from
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    const Run run = runHost({"cut", path, "--tcp", "127.0.0.1:1"});
    QVERIFY2(run.code == exitCode && run.err.contains(said.toUtf8()), run.err.constData());
}

QTEST_GUILESS_MAIN(tst_Host)
