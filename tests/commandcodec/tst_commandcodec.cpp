#include "ktdeviceproperty.h"

#include <QtTest>

using T = KTDeviceInterface;

class tst_CommandCodec : public QObject
{
    Q_OBJECT
private slots:
    void frameLength_data();
    void frameLength();
    void wholeFrames();
    void readRequest_data();
    void readRequest();
    void writeRequest_data();
    void writeRequest();
    void compoundWrite_data();
    void compoundWrite();
    void decodeField_data();
    void decodeField();
    void decodeFields_data();
    void decodeFields();
    void decodeCompound();
};

// The expected frame around payload: N is the one length that counts its own digits.
static QByteArray frame(const QByteArray& payload)
{
    for (int n = 1;; ++n) {
        if (n == payload.size() + 3 + QByteArray::number(n).size())
            return "\x02" + QByteArray::number(n) + ";" + payload + "\x03";
    }
}

// Payload sizes at each digit boundary of the frame length.
void tst_CommandCodec::frameLength_data()
{
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<int>("frameSize");
    const int rows[][2] = {{5, 9},     {6, 11},     {7, 12},     {94, 99}, {95, 101},    {96, 102},
                           {993, 999}, {994, 1001}, {995, 1002}, {9, 14},  {9992, 9999}, {9993, 10001}};
    for (const auto& r : rows)
        QTest::addRow("payload %d", r[0]) << r[0] << r[1];
}

void tst_CommandCodec::frameLength()
{
    QFETCH(int, payloadSize);
    QFETCH(int, frameSize);
    KTDeviceProperty p;
    // word "PLT" + ";" take 4 bytes of the payload
    const QByteArray f = p.pack(QString(payloadSize - 4, QLatin1Char('x')), QStringLiteral("PLT"));
    QCOMPARE(f.size(), frameSize);
    QCOMPARE(f.mid(1, f.indexOf(';') - 1), QByteArray::number(frameSize));
    QCOMPARE(f.front(), '\x02');
    QCOMPARE(f.back(), '\x03');
}

// Whole frames byte for byte, independent of the helper above.
void tst_CommandCodec::wholeFrames()
{
    KTDeviceProperty p;
    p.init(300, "l", {}, 1, 1, 1, T::CMD, {});
    QCOMPARE(p.get_cmd_bytes(), QByteArray("\x02"
                                           "14;CMD;GET1;\x03"));
    QCOMPARE(p.set_cmd_bytes(), QByteArray("\x02"
                                           "18;CMD;SET1:300;\x03"));
    QCOMPARE(p.pack("22,300,200;", "CCMD"), QByteArray("\x02"
                                                       "21;CCMD;22,300,200;\x03"));
    QCOMPARE(p.pack(QString(), "PLT"), QByteArray("\x02"
                                                  "8;PLT;\x03"));
}

struct Decl
{
    QVariant value;
    int get, set, len;
    T::KTDeviceCMDType kind;
    QStringList param;
};

static void initFrom(KTDeviceProperty& p, const Decl& d)
{
    p.init(d.value, QStringLiteral("label"), QString(), d.get, d.set, d.len, d.kind, d.param);
}

Q_DECLARE_METATYPE(Decl)

void tst_CommandCodec::readRequest_data()
{
    QTest::addColumn<Decl>("decl");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("14;CMD;GET1;") << Decl{300, 1, 1, 1, T::CMD, {}} << frame("CMD;GET1;");
    QTest::newRow("CMD;GET11;12;13;") << Decl{0, 11, 11, 3, T::CMD, {}} << frame("CMD;GET11;12;13;");
    QTest::newRow("CCMD;63;") << Decl{0, 63, 22, 1, T::CCMD, {}} << frame("CCMD;63;");
    QTest::newRow("CCMD;7,0;") << Decl{0u, 7, 6, 1, T::CCMD, {"0"}} << frame("CCMD;7,0;");
    QTest::newRow("CCMD;5,a,b;") << Decl{0, 5, 0, 1, T::CCMD, {"a", "b"}} << frame("CCMD;5,a,b;");
    QTest::newRow("no get code") << Decl{0, 0, 5, 1, T::CCMD, {}} << QByteArray();
    QTest::newRow("length 0") << Decl{0, 5, 5, 0, T::CCMD, {}} << QByteArray();
    QTest::newRow("UnCMD") << Decl{0, 5, 5, 1, T::UnCMD, {}} << QByteArray();
    QTest::newRow("NUM is write-only") << Decl{3, 1, 1, 1, T::NUM, {}} << QByteArray();
    QTest::newRow("PLT is write-only") << Decl{"x", 1, 1, 1, T::PLT, {}} << QByteArray();
    QTest::newRow("PPLT is write-only") << Decl{"x", 1, 1, 1, T::PPLT, {}} << QByteArray();
    QTest::newRow("QRPLT is write-only") << Decl{"x", 1, 1, 1, T::QRPLT, {}} << QByteArray();
}

void tst_CommandCodec::readRequest()
{
    QFETCH(Decl, decl);
    QFETCH(QByteArray, expected);
    KTDeviceProperty p;
    initFrom(p, decl);
    QCOMPARE(p.get_cmd_bytes(), expected);
}

void tst_CommandCodec::writeRequest_data()
{
    QTest::addColumn<Decl>("decl");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("CMD;SET1:300;") << Decl{300, 1, 1, 1, T::CMD, {}} << frame("CMD;SET1:300;");
    QTest::newRow("CMD;SET24:1.5;") << Decl{1.5, 24, 24, 1, T::CMD, {}} << frame("CMD;SET24:1.5;");
    QTest::newRow("CMD;SET24:1;") << Decl{1.0, 24, 24, 1, T::CMD, {}} << frame("CMD;SET24:1;");
    QTest::newRow("CMD;SET11:65336;12:65535;13:0;")
        << Decl{-200, 11, 11, 3, T::CMD, {}} << frame("CMD;SET11:65336;12:65535;13:0;");
    QTest::newRow("fraction rounds: CMD;SET24:2;25:0;26:0;")
        << Decl{1.5, 24, 24, 3, T::CMD, {}} << frame("CMD;SET24:2;25:0;26:0;");
    QTest::newRow("negative fraction: CMD;SET5:65534;6:65535;7:0;")
        << Decl{-1.6, 5, 5, 3, T::CMD, {}} << frame("CMD;SET5:65534;6:65535;7:0;");
    QTest::newRow("high half: CMD;SET5:1;6:1;") << Decl{65537u, 5, 5, 2, T::CMD, {}} << frame("CMD;SET5:1;6:1;");
    QTest::newRow("six words") << Decl{70000, 1, 1, 6, T::CMD, {}} << frame("CMD;SET1:4464;2:1;3:0;4:0;5:0;6:0;");
    QTest::newRow("CCMD;32,1;") << Decl{1, 32, 32, 1, T::CCMD, {}} << frame("CCMD;32,1;");
    QTest::newRow("CCMD;6,0,250;") << Decl{250u, 7, 6, 1, T::CCMD, {"0"}} << frame("CCMD;6,0,250;");
    QTest::newRow("CCMD;55,;") << Decl{QString(), 55, 55, 1, T::CCMD, {}} << frame("CCMD;55,;");
    QTest::newRow("CCMD;30,2; length 0 still writes") << Decl{2, 30, 30, 0, T::CCMD, {}} << frame("CCMD;30,2;");
    QTest::newRow("single key list is a plain value")
        << Decl{QStringList{"KEY"}, 0, 9, 1, T::CCMD, {}} << frame("CCMD;9,KEY;");
    QTest::newRow("CMD;NUM:3;") << Decl{3, 1, 1, 1, T::NUM, {}} << frame("CMD;NUM:3;");
    QTest::newRow("PLT;IN;PU0,0;PG;") << Decl{"IN;PU0,0;PG;", 1, 1, 1, T::PLT, {}} << frame("PLT;IN;PU0,0;PG;");
    QTest::newRow("PPLT;PD1,1;PG;") << Decl{"PD1,1;PG;", 0, 1, 1, T::PPLT, {}} << frame("PPLT;PD1,1;PG;");
    QTest::newRow("QR_PLT;IN;") << Decl{"IN;", 1, 1, 1, T::QRPLT, {}} << frame("QR_PLT;IN;");
    QTest::newRow("invalid value writes empty text") << Decl{QVariant(), 0, 11, 1, T::CCMD, {}} << frame("CCMD;11,;");
    QTest::newRow("no set code") << Decl{1, 5, 0, 1, T::CCMD, {}} << QByteArray();
    QTest::newRow("UnCMD") << Decl{1, 5, 5, 1, T::UnCMD, {}} << QByteArray();
}

void tst_CommandCodec::writeRequest()
{
    QFETCH(Decl, decl);
    QFETCH(QByteArray, expected);
    KTDeviceProperty p;
    initFrom(p, decl);
    QCOMPARE(p.set_cmd_bytes(), expected);
}

void tst_CommandCodec::compoundWrite_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("CCMD;22,300,200;") << QStringList{"A", "B"} << frame("CCMD;22,300,200;");
    QTest::newRow("CCMD;22,200; first child missing") << QStringList{"B"} << frame("CCMD;22,200;");
    QTest::newRow("CCMD;22; no children") << QStringList{} << frame("CCMD;22;");
}

void tst_CommandCodec::compoundWrite()
{
    QFETCH(QStringList, present);
    QFETCH(QByteArray, expected);
    KTDeviceProperty group, a, b;
    a.init(300, "x", {}, 0, 0, 0, T::UnCMD, {});
    b.init(200, "y", {}, 0, 0, 0, T::UnCMD, {});
    group.init(QStringList{"A", "B"}, "g", {}, 63, 22, 1, T::CCMD, {});
    if (present.contains("A"))
        group.setProperty("A", QVariant::fromValue(static_cast<void*>(&a)));
    if (present.contains("B"))
        group.setProperty("B", QVariant::fromValue(static_cast<void*>(&b)));
    QCOMPARE(group.set_cmd_bytes(), expected);
}

void tst_CommandCodec::decodeField_data()
{
    QTest::addColumn<QVariant>("initial");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("string") << QVariant(QString("a")) << "V1.2" << QVariant(QString("V1.2"));
    QTest::newRow("uint") << QVariant(5u) << "250" << QVariant(250u);
    QTest::newRow("uint junk") << QVariant(5u) << "abc" << QVariant(0u);
    QTest::newRow("uint negative") << QVariant(5u) << "-3" << QVariant(0u);
    QTest::newRow("int") << QVariant(5) << "-42" << QVariant(-42);
    QTest::newRow("int junk") << QVariant(5) << "4x" << QVariant(0);
    QTest::newRow("double") << QVariant(1.0) << "99.5" << QVariant(99.5);
    QTest::newRow("double junk") << QVariant(1.0) << "" << QVariant(0.0);
    QTest::newRow("bool unchanged") << QVariant(true) << "0" << QVariant(true);
    QTest::newRow("invalid unchanged") << QVariant() << "7" << QVariant();
    QTest::newRow("list unchanged") << QVariant(QStringList{"A"}) << "7" << QVariant(QStringList{"A"});
}

void tst_CommandCodec::decodeField()
{
    QFETCH(QVariant, initial);
    QFETCH(QString, text);
    QFETCH(QVariant, expected);
    KTDeviceProperty p;
    p.init(initial, "l", {}, 1, 1, 1, T::CCMD, {});
    QSignalSpy changed(&p, &KTDeviceProperty::valueChanged);
    p.set_decode(text);
    QCOMPARE(p.value().userType(), expected.userType());
    QCOMPARE(p.value(), expected);
    QCOMPARE(changed.count(), 0);
}

void tst_CommandCodec::decodeFields_data()
{
    QTest::addColumn<Decl>("decl");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("CMD 65336,65535 -> -200")
        << Decl{0u, 11, 11, 3, T::CMD, {}} << QStringList{"65336", "65535", "0"} << QVariant(-200);
    QTest::newRow("CMD 1,1 -> 65537") << Decl{0, 5, 5, 3, T::CMD, {}} << QStringList{"1", "1"} << QVariant(65537);
    QTest::newRow("CMD junk half -> 0") << Decl{0, 5, 5, 3, T::CMD, {}} << QStringList{"x", "1"} << QVariant(65536);
    QTest::newRow("CMD 70000 overflows half -> 0")
        << Decl{0, 5, 5, 3, T::CMD, {}} << QStringList{"70000", "0"} << QVariant(0);
    QTest::newRow("CMD one field by type") << Decl{0u, 1, 1, 1, T::CMD, {}} << QStringList{"300"} << QVariant(300u);
    QTest::newRow("empty list") << Decl{7, 1, 1, 1, T::CMD, {}} << QStringList{} << QVariant(7);
    QTest::newRow("CCMD no param takes field 0")
        << Decl{0, 61, 20, 1, T::CCMD, {}} << QStringList{"5", "6"} << QVariant(5);
    QTest::newRow("CCMD param match") << Decl{0u, 7, 6, 1, T::CCMD, {"0"}} << QStringList{"0", "250"} << QVariant(250u);
    QTest::newRow("CCMD param mismatch") << Decl{9u, 7, 6, 1, T::CCMD, {"0"}} << QStringList{"1", "250"}
                                         << QVariant(9u);
    QTest::newRow("CCMD too few fields") << Decl{9u, 7, 6, 1, T::CCMD, {"0", "1"}} << QStringList{"0", "1"}
                                         << QVariant(9u);
    QTest::newRow("PLT ignores lists") << Decl{"a", 1, 1, 1, T::PLT, {}} << QStringList{"b", "c"} << QVariant("a");
}

void tst_CommandCodec::decodeFields()
{
    QFETCH(Decl, decl);
    QFETCH(QStringList, fields);
    QFETCH(QVariant, expected);
    KTDeviceProperty p;
    initFrom(p, decl);
    p.set_decode(fields);
    QCOMPARE(p.value().userType(), expected.userType());
    QCOMPARE(p.value(), expected);
}

void tst_CommandCodec::decodeCompound()
{
    KTDeviceProperty group, x, y, z;
    x.init(0.0, "x", {}, 0, 0, 0, T::UnCMD, {});
    y.init(QString(), "y", {}, 0, 0, 0, T::UnCMD, {});
    z.init(7, "z", {}, 0, 0, 0, T::UnCMD, {});
    group.init(QStringList{"X", "MISSING", "Y", "Z"}, "g", {}, 18, 17, 1, T::CCMD, {});
    group.setProperty("X", QVariant::fromValue(static_cast<void*>(&x)));
    group.setProperty("Y", QVariant::fromValue(static_cast<void*>(&y)));
    group.setProperty("Z", QVariant::fromValue(static_cast<void*>(&z)));
    group.set_decode(QStringList{"1.25", "ignored", "text"});
    QCOMPARE(x.value(), QVariant(1.25));
    QCOMPARE(y.value(), QVariant(QString("text")));
    QCOMPARE(z.value(), QVariant(7)); // beyond the last field: unchanged
}

QTEST_GUILESS_MAIN(tst_CommandCodec)
#include "tst_commandcodec.moc"
