// Replies reach the property that answers their kind and code even after the device's set
// of properties changes between two replies (the way to each property is remembered).
#include "ktcommoninterface.h"
#include "ktdeviceproperty.h"

#include <QtTest>

using K = KTDeviceInterface;

namespace {

QByteArray frame(const QByteArray& payload)
{
    const int base = payload.size() + 3;
    int digits = QByteArray::number(base).size();
    while (QByteArray::number(base + digits).size() != digits)
        digits = QByteArray::number(base + digits).size();
    return '\x02' + QByteArray::number(base + digits) + ';' + payload + '\x03';
}

KTDeviceProperty* record(int getCode, int setCode, const QVariant& value = 0)
{
    auto* p = new KTDeviceProperty(nullptr);
    p->init(value, QString(), QString(), getCode, setCode, 1, K::CCMD, QStringList());
    return p;
}

} // namespace

class tst_ReplyRoutes : public QObject
{
    Q_OBJECT
private slots:
    void changesBetweenReplies_data();
    void changesBetweenReplies();
};

// column: what changes after a first reply has been dispatched; which property must take
// the second reply ("A", "B" or "C"); the value each of them then holds.
void tst_ReplyRoutes::changesBetweenReplies_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QVariantList>("expected"); // values of A, B, C after both replies

    QTest::newRow("nothing: the first answering property again") << "none" << QVariantList{2, 0, 0};
    QTest::newRow("first one replaced under its key") << "replace" << QVariantList{1, 2, 0};
    QTest::newRow("first one removed: the next answering one") << "remove" << QVariantList{1, 0, 2};
    QTest::newRow("answering one added after a reply nobody took") << "add" << QVariantList{0, 0, 2};
    // init gives a stored property new codes without telling the device (and resets its value).
    QTest::newRow("first one re-initialised away: the next answering one") << "init away" << QVariantList{0, 0, 2};
    QTest::newRow("earlier one re-initialised to answer: it takes over") << "init to answer" << QVariantList{2, 0, 1};
}

void tst_ReplyRoutes::changesBetweenReplies()
{
    QFETCH(QString, change);
    QFETCH(QVariantList, expected);

    KTCommonInterface device;
    KTDeviceProperty* a = record(7, 6);
    KTDeviceProperty* b = record(7, 6); // stored under A's key when replaced
    KTDeviceProperty* c = record(7, 6); // a later property with the same code
    const bool addLater = change == QLatin1String("add");
    if (change == QLatin1String("init to answer"))
        a->init(0, QString(), QString(), 9, 8, 1, K::CCMD, QStringList());
    device.storeProperty("A", addLater ? record(9, 8) : a);
    if (!addLater)
        device.storeProperty("C", c);

    device.slot_usb_read(frame("CCMD;7,0,1;"));
    if (change == QLatin1String("replace")) {
        device.storeProperty("A", b);
    } else if (change == QLatin1String("remove")) {
        device.setProperty("A", QVariant());
    } else if (addLater) {
        device.storeProperty("C", c);
    } else if (change.startsWith(QLatin1String("init"))) {
        const int code = change == QLatin1String("init away") ? 9 : 7;
        a->init(0, QString(), QString(), code, code - 1, 1, K::CCMD, QStringList());
    }
    device.slot_usb_read(frame("CCMD;7,0,2;"));

    QCOMPARE((QVariantList{a->value(), b->value(), c->value()}), expected);
    if (change != QLatin1String("replace"))
        delete b;
    if (change == QLatin1String("remove") || addLater)
        delete a;
}

QTEST_GUILESS_MAIN(tst_ReplyRoutes)
#include "tst_replyroutes.moc"
