#ifndef FAULTMATRIX_H
#define FAULTMATRIX_H

// Faults of the cutter, the line, the cloud and the host, each tried on a real RV8 device over
// real loopback peers. Every case checks that nothing was lost or corrupted and that the same
// device is usable afterwards: it reconnects and runs a job. What the test's sources share.
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "ktrv8.h"
#include "loopbackcutter.h"
#include "messagetexts.h"

#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

using K = KTDeviceInterface;

inline const QString DeviceCode = QStringLiteral("KT3M7Z0001");
inline const char* const OnePage = "IN;PU0,0;PD100,0;PD100,100;";
inline const char* const ThreePages = "IN;PU0,0;PD10,10;PG;PU5,5;PD20,0;PG;PU0,0;PD0,30;PG;";

// One RV8 device as a host gets it: from the plug-in object's factory.
class Rig
{
public:
    Rig() : factory(new KTRV8(nullptr)), device(static_cast<KTRV8*>(factory->initInstance()))
    {
        messages = std::make_unique<QSignalSpy>(device.data(), &K::message);
    }
    ~Rig()
    {
        messages.reset();
        delete device.data();
    }
    KTDeviceProperty* operator[](const char* key) const { return device->property_ptr(key); }
    int status() const { return (*this)["STATUS"]->value().toInt(); }
    QJsonObject task() const { return (*this)["TASK"]->value().toJsonObject(); }
    const QByteArray& pending() const { return KTCommonInterfacePrivate::receiveBuffer(*device); }
    QStringList texts(K::KTDeviceMessage kind) const { return messageTexts(*messages, kind); }
    QString lastStatusText() const
    {
        const QStringList all = texts(K::DevStatus);
        return all.isEmpty() ? QString() : all.last();
    }
    // A fresh task report, so the device takes it even if an identical one came before.
    QByteArray taskReport(int copies, int finished = 0)
    {
        return LoopbackCutter::frame(
            QStringLiteral("CCMD;66,1,job%1.plt,%2,%3,0,0,0,0;").arg(++reports).arg(copies).arg(finished).toLatin1());
    }

    std::unique_ptr<KTRV8> factory;
    QPointer<KTRV8> device;
    std::unique_ptr<QSignalSpy> messages;
    int reports = 0;
};

// Acknowledges every page and every repeated copy, as the cutter does when it is ready again.
inline LoopbackCutter::Script acknowledgingCutter()
{
    return [](const QByteArray& frame) -> QList<QByteArray> {
        const QByteArray p = LoopbackCutter::payloadOf(frame);
        if (p.startsWith("PPLT;") || p == "CCMD;30,1;")
            return {LoopbackCutter::frame("CCMD;4,0;")};
        return {};
    };
}

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QTest::qWait(5);
    return condition();
}

inline bool connectTcp(Rig& rig, quint16 port)
{
    rig.device->setIPAddress(QStringLiteral("127.0.0.1"));
    rig["TCP_PORT"]->setValue(int(port));
    return rig.device->connectDevice() && waitFor([&] { return rig.status() == K::Working; });
}

inline bool waitDisconnected(Rig& rig, const char* text)
{
    return waitFor([&] { return rig.status() == K::DisConnected && rig.lastStatusText() == QLatin1String(text); });
}

// Proves the device still works end to end: a one-copy job of one page on the given cutter,
// the page arriving whole and the copy counted. Empty on success, otherwise what went wrong.
inline QString runOnePageJob(Rig& rig, LoopbackCutter& cutter)
{
    cutter.setScript(acknowledgingCutter());
    cutter.send(rig.taskReport(1));
    if (!waitFor(
            [&] { return rig.task().value("TaskCopies").toInt() == 1 && rig.task().value("Finished").toInt() == 0; }))
        return QStringLiteral("task report not taken");
    cutter.clearFrames();
    rig.device->setPlt(QString::fromLatin1(OnePage));
    rig.device->startTask();
    if (!waitFor([&] { return rig.task().value("Finished").toInt() == 1; }))
        return QStringLiteral("copy not finished, cutter got: ") + cutter.payloads().join(QLatin1Char('|'));
    const QString page = QStringLiteral("PPLT;%1PG;").arg(QLatin1String(OnePage));
    if (cutter.payloads().count(page) != 1)
        return QStringLiteral("page not received exactly once: ") + cutter.payloads().join(QLatin1Char('|'));
    if (rig.task().value("Percent").toInt() != 100 || rig.task().value("Status").toInt() != 0)
        return QStringLiteral("task record not completed");
    return QString();
}

inline QString reconnectAndRunJob(Rig& rig, LoopbackCutter& cutter)
{
    if (!connectTcp(rig, cutter.port()) || !cutter.waitForConnection())
        return QStringLiteral("no reconnection");
    return runOnePageJob(rig, cutter);
}

inline QByteArray ccmd(const QByteArray& payload)
{
    return LoopbackCutter::frame("CCMD;" + payload);
}

class tst_FaultMatrix : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void peerClosesMidFrame();
    void peerClosesMidPage_data();
    void peerClosesMidPage();
    void peerClosesMidCopy();
    void peerNeverAnswers();
    void closedPort();
    void usbNodeVanishesMidJob();
    void pagesHeldUntilAnswered_data();
    void pagesHeldUntilAnswered();

    void repliesSplitAtEveryByte();
    void repliesOneByteAtATimeOverTcp();
    void junkAroundAndInsideFrames_data();
    void junkAroundAndInsideFrames();
    void hugeFrameWithoutEnd();
    void tenThousandFramesInOneRead_data();
    void tenThousandFramesInOneRead();

    void cloudAnswersBadly_data();
    void cloudAnswersBadly();
    void cloudClosesWebSocket();

    void deleteWithEventPending_data();
    void deleteWithEventPending();
    void deleteFromSignal_data();
    void deleteFromSignal();
    void connectRepeatedlyWhileConnecting_data();
    void connectRepeatedlyWhileConnecting();

    void lifecycleLeavesNothingBehind();
};

#endif // FAULTMATRIX_H
