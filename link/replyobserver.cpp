#include "ktcommoninterface.h"
#include "ktreplyobserver_p.h"

#include <QVector>

namespace {

// The callback lives in a child of the device, so it goes with the device and the public
// class keeps its layout.
class ObserverHolder : public QObject
{
public:
    static constexpr const char* Name = "KTCommonInterface::replyObserver";

    ObserverHolder(QObject* device, KTReplyObserver::Callback callback) : QObject(device), callback(std::move(callback))
    {
        setObjectName(QString::fromLatin1(Name));
    }

    static ObserverHolder* of(const QObject& device)
    {
        return static_cast<ObserverHolder*>(
            device.findChild<QObject*>(QString::fromLatin1(Name), Qt::FindDirectChildrenOnly));
    }

    KTReplyObserver::Callback callback;
};

KTDeviceInterface::KTDeviceCMDType kindOf(const QStringRef& word)
{
    if (word == QLatin1String("CMD"))
        return KTDeviceInterface::CMD;
    if (word == QLatin1String("CCMD"))
        return KTDeviceInterface::CCMD;
    return KTDeviceInterface::UnCMD;
}

} // namespace

void KTReplyObserver::install(KTCommonInterface& device, Callback callback)
{
    ObserverHolder* holder = ObserverHolder::of(device);
    if (!callback) {
        delete holder;
        return;
    }
    if (holder)
        holder->callback = std::move(callback);
    else
        new ObserverHolder(&device, std::move(callback));
}

bool KTReplyObserver::installed(const KTCommonInterface& device)
{
    return ObserverHolder::of(device) != nullptr;
}

void KTReplyObserver::notify(KTCommonInterface& device, const QString& frame)
{
    ObserverHolder* holder = ObserverHolder::of(device);
    if (!holder)
        return;
    // A copy: the callback may replace or remove itself.
    const Callback callback = holder->callback;
    callback(parse(frame));
}

KTReplyFrame KTReplyObserver::parse(const QString& frame)
{
    KTReplyFrame reply;
    const QString body = frame.mid(1, frame.size() - 2); // without STX and ETX
    const QVector<QStringRef> parts = body.splitRef(QLatin1Char(';'));
    if (parts.size() < 3)
        return reply;
    reply.kind = kindOf(parts.at(1));
    if (reply.kind == KTDeviceInterface::CCMD) {
        const QVector<QStringRef> fields = parts.at(2).split(QLatin1Char(','));
        reply.code = fields.at(0).toInt();
        bool ok = false;
        const int result = fields.value(1).toInt(&ok);
        reply.result = ok ? result : -1;
        for (int i = 2; i < fields.size(); ++i)
            reply.values << fields.at(i).toString();
    } else if (reply.kind == KTDeviceInterface::CMD) {
        // What follows the last ";" is no item.
        for (int i = 2; i <= parts.size() - 2; ++i) {
            QString key, value;
            int number = 0;
            KTCommonInterface::decode_cmd(parts.at(i).toString(), key, number, value);
            if (i == 2)
                reply.code = number;
            reply.values << value;
        }
    }
    return reply;
}
