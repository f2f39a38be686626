#ifndef TST_REPLYDECODING_H
#define TST_REPLYDECODING_H

// The reply-decoding test class and its device, shared by tst_replydecoding.cpp and
// bytestreams.cpp (how bytes arrive).

#include "ktcommoninterface.h"
#include "ktcommoninterface_p.h"
#include "ktdeviceproperty.h"
#include "localclock_p.h"
#include "loopbackcutter.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

using T = KTDeviceInterface;

inline QByteArray f(const QByteArray& payload)
{
    return LoopbackCutter::frame(payload);
}

// A device holding a small parameter set whose replies the tests send.
class DecodeDevice : public KTCommonInterface
{
public:
    DecodeDevice()
    {
        // key, initial value, kind, get code, set code, length, parameters
        const struct
        {
            const char* key;
            QVariant value;
            T::KTDeviceCMDType kind;
            int get, set, len;
            QStringList params;
        } rows[] = {
            {"LAST_TIME", QDateTime::currentDateTime().addDays(-1), UnCMD, 0, 0, 0, {}},
            {"SPEED", 100, CMD, 1, 1, 1, {}},
            {"AREA", 0, CMD, 11, 11, 3, {}},
            {"PRESSURE", 50, CCMD, 30, 31, 1, {}},
            {"OFFSET", 3, CCMD, 40, 40, 1, {"1"}},
            {"DUP_A", 1, CCMD, 50, 50, 1, {"2"}},
            {"DUP_B", 1, CCMD, 50, 50, 1, {}},
            {"STOP", 2, CCMD, 27, 27, 1, {}},
            {"RESUME", 1, CMD, 125, 125, 1, {}},
            {"NAME", QString("none"), CCMD, 60, 0, 1, {}},
        };
        for (const auto& r : rows) {
            auto* p = new KTDeviceProperty(nullptr);
            p->init(r.value, QString(), QString(), r.get, r.set, r.len, r.kind, r.params);
            storeProperty(r.key, p);
            if (r.kind != UnCMD)
                initial.insert(r.key, r.value.toString());
        }
    }
    // "KEY=value" for every property whose value differs from its initial one, and the task.
    QStringList changes()
    {
        QStringList out;
        for (auto it = initial.cbegin(); it != initial.cend(); ++it) {
            const QString now = property_ptr(it.key().toLatin1())->value().toString();
            if (now != it.value())
                out << it.key() + "=" + now;
        }
        if (KTDeviceProperty* task = property_ptr("TASK"))
            out << "TASK="
                       + QString::fromUtf8(QJsonDocument(task->value().toJsonObject()).toJson(QJsonDocument::Compact));
        return out;
    }
    int pending() const { return recvBuffer.size(); }
    void decode_cmd(QString frame) override
    {
        frames << frame;
        if (onFrame)
            onFrame(frame);
        KTCommonInterface::decode_cmd(frame);
    }
    QStringList frames;
    std::function<void(const QString&)> onFrame;

private:
    QMap<QString, QString> initial;
};

inline QString printable(const QByteArray& bytes)
{
    QString out = QString::fromUtf8(bytes);
    out.replace(QChar(2), "<STX>").replace(QChar(3), "<ETX>");
    return out;
}

inline QList<QByteArray> bytewise(const QByteArray& bytes)
{
    QList<QByteArray> out;
    for (char c : bytes)
        out << QByteArray(1, c);
    return out;
}

inline void feed(DecodeDevice& device, const QList<QByteArray>& reads)
{
    for (const QByteArray& r : reads)
        device.slot_usb_read(r);
}

inline QStringList messageList(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << QString("%1 %2").arg(args.at(0).toInt()).arg(args.at(1).toString());
    return out;
}

class tst_ReplyDecoding : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void streams_data();
    void streams();
    void cmdItem_data();
    void cmdItem();
    void stampsLastTime();
    void lastTimeFollowsDaylightSaving_data();
    void lastTimeFollowsDaylightSaving();
    void taskReportSeenOnceAcrossReads();
    void nestedArrivalConsumesEachByteOnce();
    void pendingBytesAreCapped_data();
    void pendingBytesAreCapped();
    void cuttingIsLinear();
};

#endif // TST_REPLYDECODING_H
