#include "tst_simulator.h"

// --- Parser ------------------------------------------------------------------------

// clang-format off
void tst_Simulator::parseFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("registers");  // "r=v r=v" for CMD

    const int ccmd = int(Word::Ccmd), cmd = int(Word::Cmd), pplt = int(Word::Pplt);
    //                                    frame                                         valid  word  code  fields                    registers
    QTest::newRow("ccmd read") << ktFrame("CCMD;63;") << true << ccmd << 63 << QStringList() << QString();
    QTest::newRow("ccmd with params") << ktFrame("CCMD;6,0,150;") << true << ccmd << 6 << QStringList{"0", "150"} << QString();
    QTest::newRow("ccmd compound") << ktFrame("CCMD;17,1.5,-19;") << true << ccmd << 17 << QStringList{"1.5", "-19"} << QString();
    QTest::newRow("ccmd empty value") << ktFrame("CCMD;44,;") << true << ccmd << 44 << QStringList{""} << QString();
    QTest::newRow("cmd get three") << ktFrame("CMD;GET11;12;13;") << true << cmd << 0 << QStringList() << "11= 12= 13=";
    QTest::newRow("cmd set three") << ktFrame("CMD;SET11:65336;12:65535;13:0;") << true << cmd << 0 << QStringList()
                                   << "11=65336 12=65535 13=0";
    QTest::newRow("cmd num") << ktFrame("CMD;NUM:3;") << true << cmd << 0 << QStringList() << "num=3";
    QTest::newRow("pplt verbatim") << ktFrame("PPLT;IN;PU0,0;PD10,10;PG;") << true << pplt << 0 << QStringList() << QString();
    QTest::newRow("length one short") << QByteArray("\x02" "13;CMD;GET1;\x03") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("length one long") << QByteArray("\x02" "15;CMD;GET1;\x03") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("leading zero length") << QByteArray("\x02" "014;CMD;GET1;\x03") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("unknown word") << ktFrame("XCMD;1;") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("code not a number") << ktFrame("CCMD;A7;") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("ccmd without closing ;") << ktFrame("CCMD;7,0") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("two ccmd items") << ktFrame("CCMD;7;8;") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("set without colon") << ktFrame("CMD;SET11;") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("get with letters") << ktFrame("CMD;GET1x;") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("no word separator") << ktFrame("CCMD") << false << 0 << 0 << QStringList() << QString();
    QTest::newRow("no length") << QByteArray("\x02;CCMD;4;\x03") << false << 0 << 0 << QStringList() << QString();
}
// clang-format on

void tst_Simulator::parseFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, valid);
    QFETCH(int, word);
    QFETCH(int, code);
    QFETCH(QStringList, fields);
    QFETCH(QString, registers);
    Request request;
    QCOMPARE(ktsim::parseFrame(frame, &request), valid);
    if (!valid)
        return;
    QCOMPARE(int(request.word), word);
    if (request.word == Word::Ccmd) {
        QCOMPARE(request.code, code);
        QCOMPARE(request.fields, fields);
    } else if (request.word == Word::Cmd) {
        QStringList regs;
        if (request.op == CmdOp::Num)
            regs << QStringLiteral("num=") + request.number;
        for (const auto& reg : request.registers)
            regs << QStringLiteral("%1=%2").arg(reg.first).arg(reg.second);
        QCOMPARE(regs.join(QLatin1Char(' ')), registers);
    } else {
        QCOMPARE(request.job, frame.mid(frame.indexOf(";PPLT;") + 6, frame.size() - frame.indexOf(";PPLT;") - 7));
    }
}

void tst_Simulator::packFrameLength_data()
{
    QTest::addColumn<int>("payload");
    QTest::addColumn<int>("length");
    for (auto [payload, length] :
         {std::pair{5, 9}, {6, 11}, {7, 12}, {94, 99}, {95, 101}, {96, 102}, {993, 999}, {994, 1001}, {995, 1002}})
        QTest::addRow("%d bytes", payload) << payload << length;
}

void tst_Simulator::packFrameLength()
{
    QFETCH(int, payload);
    QFETCH(int, length);
    const QByteArray frame = packFrame(QByteArray(payload, 'x'));
    QCOMPARE(frame.size(), length);
    QCOMPARE(frame.mid(1, frame.indexOf(';') - 1).toInt(), length);
}

// clang-format off
void tst_Simulator::streamSurvivesNoise_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("codes");   // codes of the CCMD requests found, in order
    QTest::addColumn<int>("malformed");

    const QByteArray a = ktFrame("CCMD;7,0;"), b = ktFrame("CCMD;18;");
    QTest::newRow("two frames") << a + b << QStringList{"7", "18"} << 0;
    QTest::newRow("noise between") << QByteArray("\r\nzz") + a + "\xff\x00 " + b << QStringList{"7", "18"} << 0;
    QTest::newRow("etx without stx") << QByteArray("junk\x03") + a << QStringList{"7"} << 0;
    QTest::newRow("truncated then whole") << QByteArray("\x02" "17;CCMD;4") + a << QStringList{"7"} << 0;
    QTest::newRow("bad length in middle") << a + QByteArray("\x02" "99;CCMD;4;\x03") + b << QStringList{"7", "18"} << 1;
    QTest::newRow("incomplete tail kept") << a + b.left(5) << QStringList{"7"} << 0;
}
// clang-format on

void tst_Simulator::streamSurvivesNoise()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, codes);
    QFETCH(int, malformed);
    // Whole, and one byte at a time: the same requests must come out.
    for (bool bytewise : {false, true}) {
        RequestParser parser;
        QStringList found;
        Request request;
        for (int i = 0; i < stream.size(); i += bytewise ? 1 : stream.size()) {
            parser.feed(stream.mid(i, bytewise ? 1 : stream.size()));
            while (parser.next(&request))
                found << QString::number(request.code);
        }
        QCOMPARE(found, codes);
        QCOMPARE(parser.malformed(), malformed);
    }
}

void tst_Simulator::randomBytesNeverHideTheNextFrame()
{
    QRandomGenerator random(20250627);
    const QByteArray frame = ktFrame("CCMD;9,0;");
    for (int round = 0; round < 300; ++round) {
        QByteArray noise(random.bounded(1, 400), Qt::Uninitialized);
        for (char& c : noise)
            c = char(random.bounded(256));
        RequestParser parser;
        parser.feed(noise + '\x03' + frame);
        Request request, last;
        int count = 0;
        while (parser.next(&request)) {
            last = request;
            ++count;
        }
        QVERIFY2(count >= 1, qPrintable(QStringLiteral("round %1").arg(round)));
        QCOMPARE(last.code, 9);
        QCOMPARE(parser.pendingBytes(), 0);
    }
}

void tst_Simulator::hpglStrokes()
{
    const HpglPaths paths = parseHpgl("IN;PU0,0;PD400,0,400,400;PU800,800;PR;PD40,0;PA;PU;PG;");
    QCOMPARE(paths.strokes.size(), 2);
    QCOMPARE(paths.strokes.at(0), (QVector<QPointF>{{0, 0}, {400, 0}, {400, 400}}));
    QCOMPARE(paths.strokes.at(1), (QVector<QPointF>{{800, 800}, {840, 800}}));
    QCOMPARE(paths.bounds, QRectF(QPointF(0, 0), QPointF(840, 800)));
    // 400 + 400 drawn, 400*sqrt(2) travelled pen up, 40 drawn.
    QVERIFY(qAbs(paths.travelUnits - (840 + 400 * std::sqrt(2.0))) < 1e-6);
}

// --- The process over loopback --------------------------------------------------------

void tst_Simulator::settingsRoundTrip437()
{
    SimProcess sim({"--firmware", "V9.9.1", "--device-id", "RV8-TEST"});
    QVERIFY(sim.start());
    SimClient client;
    QVERIFY(client.connectTo(sim.port));
    const QList<QPair<QByteArray, QByteArray>> exchanges = {
        // request                 reply
        {"CCMD;51;", "CCMD;51,0,V9.9.1;"},    {"CCMD;45;", "CCMD;45,0,RV8-TEST;"},
        {"CCMD;6,0,150;", "CCMD;6,0,0,150;"}, {"CCMD;7,0;", "CCMD;7,0,0,150;"},
        {"CCMD;7,1;", "CCMD;7,1;"},           {"CCMD;17,1.5,-19;", "CCMD;17,0,1.5,-19;"},
        {"CCMD;18;", "CCMD;18,0,1.5,-19;"},   {"CCMD;23,2;", "CCMD;23,0,2;"},
        {"CCMD;64;", "CCMD;64,0,2;"},         {"CCMD;1003,35;", "CCMD;1003,0,35;"},
        {"CCMD;1002;", "CCMD;1002,0,35;"},    {"CCMD;44,RV8-NEW;", "CCMD;44,0,RV8-NEW;"},
        {"CCMD;45;", "CCMD;45,0,RV8-NEW;"},   {"CCMD;65,0,0,800,-400;", "CCMD;65,0;"},
        {"CCMD;4242;", "CCMD;4242,1;"},
    };
    for (const auto& exchange : exchanges) {
        client.send(exchange.first);
        QCOMPARE(client.replies(1), QList<QByteArray>{exchange.second});
    }
}

void tst_Simulator::settingsRoundTrip157()
{
    SimProcess sim({"--family", "157", "--firmware", "F157", "--device-id", "VT-7"});
    QVERIFY(sim.start());
    SimClient client;
    QVERIFY(client.connectTo(sim.port));
    const QList<QPair<QByteArray, QByteArray>> exchanges = {
        {"CMD;SET11:65336;12:65535;13:0;", "CMD;SET11:65336;12:65535;13:0;"},
        {"CMD;GET11;12;13;", "CMD;GET11:65336;12:65535;13:0;"},
        {"CMD;GET26;", "CMD;GET26:300;"},
        {"CMD;SET26:450;", "CMD;SET26:450;"},
        {"CMD;GET26;", "CMD;GET26:450;"},
        {"CCMD;2;", "CCMD;2,0,KT-VT4410,VT-7,PCB-2406-0001,1.2,F157,1;"},
        {"CCMD;44,VT-8;", "CCMD;44,0,VT-8;"},
        {"CCMD;2;", "CCMD;2,0,KT-VT4410,VT-8,PCB-2406-0001,1.2,F157,1;"},
        {"CCMD;1010;", "CCMD;1010,0,2;"},
        {"CCMD;54,3;", "CCMD;54,0,3;"},
        {"CCMD;57;", "CCMD;57,0,5A17C3E9;"},
    };
    for (const auto& exchange : exchanges) {
        client.send(exchange.first);
        QCOMPARE(client.replies(1), QList<QByteArray>{exchange.second});
    }
}

void tst_Simulator::jobOverTcpRecordsWhatWasCut()
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("cut.plt"));
    SimProcess sim({"--out", out, "--svg", dir.filePath(QStringLiteral("cut.svg"))});
    QVERIFY(sim.start());
    SimClient client;
    QVERIFY(client.connectTo(sim.port));
    const QList<QByteArray> pages = {"IN;PU0,0;PD400,0;PG;", "\nPU0,0;PD0,400;PG;", "\nPU0,0;PD400,400;PG;"};
    // The driver's sequence: mark, page, readiness, page, ..., last page with its status read.
    client.send("CCMD;1003,30;");
    client.send("CCMD;1000,1;");
    QCOMPARE(client.replies(2), (QList<QByteArray>{"CCMD;1003,0,30;", "CCMD;1000,0,1;"}));
    for (int i = 0; i < pages.size(); ++i) {
        client.send("PPLT;" + pages.at(i));
        if (i == pages.size() - 1)
            client.send("CCMD;4;");
        QCOMPARE(client.replies(1), QList<QByteArray>{"CCMD;4,0;"});
    }
    client.send("CCMD;30,1;");
    QCOMPARE(client.replies(1), QList<QByteArray>{"CCMD;4,0;"});
    QVERIFY(client.quietFor(150).isEmpty());
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray job = pages.at(0) + pages.at(1) + pages.at(2);
    QCOMPARE(file.readAll(), job + job);

    // The picture is complete while the cutter still runs: pages of a copy 10 mm apart,
    // the second copy MARGIN (30 mm) below the first.
    QFile svg(dir.filePath(QStringLiteral("cut.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    QList<QPair<double, double>> spans; // top and bottom of each page, in mm
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("g"))
            spans.append({1e9, -1e9});
        if (xml.name() != QLatin1String("polyline"))
            continue;
        for (const QString& point :
             xml.attributes().value(QStringLiteral("points")).toString().split(QLatin1Char(' '))) {
            const double y = point.section(QLatin1Char(','), 1).toDouble();
            spans.last() = {qMin(spans.last().first, y), qMax(spans.last().second, y)};
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(spans.size(), 6);
    QCOMPARE(spans.at(1).first - spans.at(0).second, 10.0);
    QCOMPARE(spans.at(3).first - spans.at(2).second, 30.0);
    QCOMPARE(sim.stop(), 0);
}

void tst_Simulator::qrCodesAndStop()
{
    SimProcess sim({"--qr", "A1,B2", "--cut-ms", "400"});
    QVERIFY(sim.start());
    SimClient client;
    QVERIFY(client.connectTo(sim.port));
    for (const QByteArray code : {"A1", "B2", "A1"}) {
        client.send("CCMD;11;");
        QCOMPARE(client.replies(1), QList<QByteArray>{"CCMD;11,0," + code + ";"});
    }
    client.send("PPLT;PU0,0;PD40,40;PG;");
    client.send("CCMD;27,2;");
    QCOMPARE(client.replies(1), QList<QByteArray>{"CCMD;27,0,2;"});
    // The page began before the stop was confirmed, so its 400 ms are over by then.
    QVERIFY(client.quietFor(450).isEmpty()); // the abandoned page is never answered
}

void tst_Simulator::deviceStopOnSignal()
{
    SimProcess sim({"--cut-ms", "2000"});
    QVERIFY(sim.start());
    SimClient client;
    QVERIFY(client.connectTo(sim.port));
    client.send("PPLT;PU0,0;PD40,40;PG;");
    client.send("CCMD;4;");
    // Requests are handled in order: once the margin is answered the page is on the cutter.
    client.send("CCMD;1002;");
    QCOMPARE(client.replies(1).value(0).left(10), QByteArray("CCMD;1002,"));
    QCOMPARE(::kill(pid_t(sim.process.processId()), SIGUSR1), 0);
    QCOMPARE(client.replies(1), QList<QByteArray>{"CCMD;1001,0;"});
    QVERIFY(client.quietFor(300).isEmpty());

    SimProcess auto_({"--stop-after-pages", "1"});
    QVERIFY(auto_.start());
    SimClient second;
    QVERIFY(second.connectTo(auto_.port));
    second.send("PPLT;PU0,0;PD40,40;PG;");
    QCOMPARE(second.replies(1), QList<QByteArray>{"CCMD;4,0;"});
    second.send("PPLT;PU0,0;PD40,40;PG;");
    QCOMPARE(second.replies(1), QList<QByteArray>{"CCMD;1001,0;"});
}

void tst_Simulator::ptyConnection()
{
    SimProcess sim({"--pty", "--no-tcp"});
    QVERIFY(sim.start());
    QVERIFY(QFile::exists(sim.ptyPath));
    PtyClient pty;
    QVERIFY(pty.open(sim.ptyPath));
    pty.send("CCMD;7,0;");
    QCOMPARE(pty.replies(1), QList<QByteArray>{"CCMD;7,0,0,100;"});
    pty.send("PPLT;IN;PU0,0;PD40,40;PG;");
    pty.send("CCMD;4;");
    QCOMPARE(pty.replies(1), QList<QByteArray>{"CCMD;4,0;"});
}

// One host at a time: a second is closed as it comes in, and the first keeps its link and
// its job; once the first has gone, the next host is served.
void tst_Simulator::secondHostIsTurnedAway()
{
    SimProcess sim({"--cut-ms", "300"});
    QVERIFY(sim.start());
    SimClient first;
    QVERIFY(first.connectTo(sim.port));
    first.send("PPLT;PU0,0;PD40,40;PG;");
    first.send("CCMD;7,0;");
    QCOMPARE(first.replies(1), QList<QByteArray>{"CCMD;7,0,0,100;"});

    SimClient second;
    QVERIFY(second.connectTo(sim.port));
    second.send("CCMD;7,0;");
    QVERIFY(second.socket.state() == QAbstractSocket::UnconnectedState || second.socket.waitForDisconnected(5000));
    QVERIFY(second.socket.readAll().isEmpty());
    QCOMPARE(first.replies(1), QList<QByteArray>{"CCMD;4,0;"}); // the page it sent was cut
    QCOMPARE(first.socket.state(), QAbstractSocket::ConnectedState);

    first.socket.disconnectFromHost(); // and at once a new host, as a program reconnecting does
    SimClient third;
    QVERIFY(third.connectTo(sim.port));
    third.send("CCMD;7,0;");
    QCOMPARE(third.replies(1), QList<QByteArray>{"CCMD;7,0,0,100;"});
}

void tst_Simulator::malformedRequestsAreIgnored()
{
    SimProcess sim({});
    QVERIFY(sim.start());
    SimClient client;
    QVERIFY(client.connectTo(sim.port));
    client.socket.write(QByteArray("\x02"
                                   "99;CCMD;7,0;\x03garbage\x03\x02\x02;;\x03")
                        + QByteArray(5000, '\x02'));
    client.send("CCMD;7,0;");
    QCOMPARE(client.replies(1), QList<QByteArray>{"CCMD;7,0,0,100;"});
    QCOMPARE(sim.process.state(), QProcess::Running);
}

void tst_Simulator::portInUseIsAClearError()
{
    SimProcess first({});
    QVERIFY(first.start());
    QProcess second;
    second.start(ktBinary(QStringLiteral("ktrv8-sim")), {"--port", QString::number(first.port)});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 3);
    QVERIFY(second.readAllStandardError().contains("cannot listen"));

    QProcess help;
    help.start(ktBinary(QStringLiteral("ktrv8-sim")), {"--help"});
    QVERIFY(help.waitForFinished(10000));
    QCOMPARE(help.exitCode(), 0);
    QVERIFY(help.readAllStandardOutput().contains("--drop-after"));
}

QTEST_GUILESS_MAIN(tst_Simulator)
