// ktrv8 with the material, layer and resume options, as a real process against the
// simulator or a listening socket that must never be reached.
#include "tst_media.h"

#include "../host/hostprocess.h"
#include "hostcommon.h"
#include "hpglreader.h"
#include "materialdefaults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>

using namespace ktconv;

namespace {

// A right triangle W x H mm, outlined.
QString triangle(const QTemporaryDir& dir, const QString& name, double w, double h)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1mm\" height=\"%2mm\" "
                              "viewBox=\"0 0 %1 %2\"><path d=\"M0,0 H%1 L0,%2 Z\" fill=\"none\" "
                              "stroke=\"black\"/></svg>")
                   .arg(w)
                   .arg(h)
                   .toUtf8());
    return file.fileName();
}

} // namespace

void tst_Media::commandLine()
{
    const auto drawing = [this](const QString& name, double w, double h) { return triangle(dir, name, w, h); };
    const QString big = drawing(QStringLiteral("big.svg"), 400, 100);
    const QString small = drawing(QStringLiteral("small.svg"), 60, 40);
    const QString out = dir.filePath(QStringLiteral("out.plt"));
    QTcpServer cutter;
    QVERIFY(cutter.listen(QHostAddress::LocalHost));
    const QStringList at{"--tcp", QStringLiteral("127.0.0.1:%1").arg(cutter.serverPort())};
    // Refused before the cutter is reached, both sizes named.
    Run run = runHost(QStringList{"cut", big, "--media", "300"} + at);
    QCOMPARE(run.code, 2);
    QVERIFY2(run.err.contains("400.0 x 100.0 mm, wider than the material (300.0 mm wide roll)"), run.err.constData());
    QVERIFY(!cutter.waitForNewConnection(0));
    // Remembered for this cutter, and only for it.
    run = runHost(QStringList{"cut", big, "--media", "300x2000", "--save-media"} + at);
    QVERIFY2(run.code == 2 && run.err.contains("300.0 x 2000.0 mm sheet"), run.err.constData());
    run = runHost(QStringList{"cut", big} + at);
    QVERIFY2(run.code == 2 && run.err.contains("300.0 x 2000.0 mm sheet"), run.err.constData());
    QVERIFY(!cutter.waitForNewConnection(0));
    run = runHost({"convert", big, "-o", out});
    QVERIFY2(run.code == 0, run.err.constData());

    run = runHost({"convert", big, "--media", "300", "--fit", "--json", "-o", out});
    QVERIFY2(run.code == 0, run.err.constData());
    QJsonObject result = QJsonDocument::fromJson(run.out.split('\n').first()).object();
    QVERIFY2(result.value("widthMm").toDouble() <= 300 && result.value("widthMm").toDouble() > 299, run.out);

    run = runHost({"convert", small, big, "--repeat", "3", "--arrange", "nest", "--media", "420", "--weed-lines",
                   "--perforate", "5,1", "--json", "-o", out});
    QVERIFY2(run.code == 0, run.err.constData());
    // Progress events come first when the conversion takes long (a sanitizer build): the
    // result is the last line.
    result = QJsonDocument::fromJson(run.out.trimmed().split('\n').last()).object();
    QCOMPARE(result.value("pages").toInt(), 1);
    QVERIFY2(result.value("widthMm").toDouble() <= 420, run.out);

    const QString picture = dir.filePath(QStringLiteral("sheet.svg"));
    run = runHost({"preview", small, "--media", "300x200", "-o", picture});
    QVERIFY2(run.code == 0 && readFile(picture).count("class=\"material\"") == 1, run.err.constData());

    const QString record = dir.filePath(QStringLiteral("test-cut.plt"));
    SimProcess sim({"--out", record});
    QVERIFY(sim.start());
    run = runHost(QStringList{"test-cut", "--tool-offset", "0.3"} + addressOf(sim, false));
    QVERIFY2(run.code == 0, run.err.constData());
    const CutPages pages = readPltPages(readFile(record));
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages.first().size(), 3); // the precut, the square, the triangle
    QVERIFY(std::abs(boundsOf(pages.first().mid(1)).height() / UnitsPerMm - 10.6) < 0.2);
}

// The link drops during the first copy; the command printed to go on, run by a shell as
// printed, cuts the job converted with every cutter, material and layout option given.
void tst_Media::resumeHintCutsTheRest()
{
    const QStringList options{"--scale",  "2", "--rotate",  "90",   "--perforate", "5,1", "--media",     "300",
                              "--repeat", "2", "--arrange", "nest", "--gap",       "2",   "--weed-lines"};
    const QString drawing = dir.filePath(QStringLiteral("it's a drawing.svg")); // quoted for the shell
    QVERIFY(QFile::copy(qEnvironmentVariable("KT_SOURCE_DIR") + QStringLiteral("/examples/drawing.svg"), drawing));
    const QString expected = dir.filePath(QStringLiteral("expected.plt")), record = dir.filePath("resumed.plt");
    Run run = runHost(QStringList{"convert", drawing, "-o", expected} + options);
    QVERIFY2(run.code == 0, run.err.constData());
    SimProcess sim({"--drop-after", "4", "--out", record});
    QVERIFY(sim.start());
    run = runHost(QStringList{"cut", drawing, "--copies", "2", "--json"} + options + addressOf(sim, false));
    QVERIFY2(run.code == 6, run.out + run.err);
    const QString hint = QJsonDocument::fromJson(run.out.trimmed().split('\n').last())
                             .object()
                             .value(QStringLiteral("resume"))
                             .toString();
    QVERIFY2(hint.startsWith(QLatin1String("ktrv8 cut ")), run.out.constData());
    const int before = readFile(record).size();
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", QFileInfo(ktBinary(QStringLiteral("ktrv8"))).path() + ':' + environment.value("PATH"));
    shell.setProcessEnvironment(environment);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), hint});
    QVERIFY(shell.waitForFinished(60000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
    QCOMPARE(readFile(record).mid(before), readFile(expected).repeated(2));
}

// Listed, not cut: no cutter reached, whatever the command; a perforation by layers needs
// the perforation and layers the drawing has.
void tst_Media::layerChoiceOnTheCommandLine()
{
    const QString small = triangle(dir, QStringLiteral("listed.svg"), 60, 40), out = dir.filePath("listed.plt");
    QTcpServer cutter;
    QVERIFY(cutter.listen(QHostAddress::LocalHost));
    Run run = runHost(
        {"cut", small, small, "--list-layers", "--tcp", QStringLiteral("127.0.0.1:%1").arg(cutter.serverPort())});
    QVERIFY2(run.code == 0 && run.out.count("0 layer(s), 1 colour(s)") == 2, run.out + run.err);
    QVERIFY(!cutter.waitForNewConnection(0));
    run = runHost({"convert", small, "--perforate-layers", "A", "-o", out});
    QVERIFY2(run.code == 2 && run.err.contains("goes with --perforate"), run.err.constData());
    run = runHost({"convert", small, "--perforate", "5,1", "--perforate-layers", "A", "-o", out});
    QVERIFY2(run.code == 2 && run.err.contains("no layer \"A\"; its layers: none"), run.err.constData());
}

// The material kept for a cutter by ktrv8 is the window's for the same cutter, and back,
// however the address was spelled. The job is too wide for it: no cutter is reached.
void tst_Media::cutterKeyIsShared_data()
{
    QTest::addColumn<QStringList>("cli");
    QTest::addColumn<QString>("window");   // the address typed into the window
    QTest::addColumn<bool>("windowKeeps"); // otherwise ktrv8 keeps it and the window looks
    QTest::newRow("default port, kept by ktrv8") << QStringList{"--tcp", "127.0.0.1"} << "127.0.0.1:9100" << false;
    QTest::newRow("default port, kept by the window") << QStringList{"--tcp", "127.0.0.1:9100"} << "127.0.0.1" << true;
    QTest::newRow("host name in capitals") << QStringList{"--tcp", "CutterHost"} << "cutterhost" << false;
    QTest::newRow("IPv6 spelled out") << QStringList{"--tcp", "[0:0:0:0:0:0:0:1]:9100"} << "::1" << true;
    QTest::newRow("USB node") << QStringList{"--usb", "/dev/usb//lp7"} << "/dev/usb/lp7" << false;
}

void tst_Media::cutterKeyIsShared()
{
    QFETCH(QStringList, cli);
    QFETCH(QString, window);
    QFETCH(bool, windowKeeps);
    const QString big = triangle(dir, QStringLiteral("wide.svg"), 400, 100);
    static int row = 0;
    const double lengthMm = 1001 + row++; // each row's own
    Address typed;
    QString error;
    QVERIFY2(parseAddress(window, &typed, &error), qPrintable(error));
    if (windowKeeps)
        QVERIFY2(MaterialDefaults::save(typed.cutterKey(), {300, lengthMm}, &error), qPrintable(error));
    const QStringList media{"--media", QStringLiteral("300x%1").arg(lengthMm), "--save-media"};
    const Run run = runHost(QStringList{"cut", big} + cli + (windowKeeps ? QStringList() : media));
    QVERIFY2(run.code == 2 && run.err.contains(QStringLiteral("300.0 x %1.0 mm").arg(lengthMm).toUtf8()),
             run.err.constData());
    QCOMPARE(MaterialDefaults::load(typed.cutterKey()).lengthMm, lengthMm);
}
