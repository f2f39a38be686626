#ifndef DEVICECHANNELS_H
#define DEVICECHANNELS_H

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWebSocketServer>

#include <functional>

class QTcpSocket;
class QWebSocket;

// What the channels know of each device at one moment, by code, for the store's thread.
struct LiveView
{
    QHash<QString, QJsonObject> states; // liveState()
    QHash<QString, QDateTime> seen;
};

// The service's WebSockets: each cutter's channel "/<code>/Device/" (behind "/<token>" when a
// token is set) and the fleet page's live feed "/live". Knows which devices are online, what
// each one runs now and when it was last seen. A peer that does not read what it is sent is
// closed once its queue passes the limit.
class DeviceChannels : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxQueuedBytes = 1024 * 1024;
    static constexpr quint64 MaxMessageBytes = 1024 * 1024;
    static constexpr int MaxSockets = 512;

    explicit DeviceChannels(QObject* parent = nullptr);
    ~DeviceChannels() override;

    void setToken(const QByteArray& token) { accessToken = token; }
    // The device a cutter's own token belongs to (empty: none); such a token opens only that
    // device's channel.
    void setDeviceCheck(std::function<QString(const QByteArray&)> check) { deviceOf = std::move(check); }
    // Keeps every path asked for and every text received, for tests to read back.
    void setRecording(bool on) { recording = on; }
    // Called when a device was seen in a way worth keeping (not for every task message).
    void setPersistSeen(std::function<void(const QString& code, const QDateTime& when)> persist)
    {
        persistSeen = std::move(persist);
    }

    // Takes over a socket whose handshake is waiting unread.
    void take(QTcpSocket* socket);

    QStringList connectedDevices() const;
    // Pages following the live feed (that gave the token).
    int liveFeeds() const;
    QStringList channelPaths() const { return paths; }
    QStringList textsFrom(const QString& code) const { return texts.value(code); }
    bool sendToDevice(const QString& code, const QString& text);
    void closeDevice(const QString& code);

    // {"type":"device", "code", "online", "last_seen", "task"} as the page gets it.
    QJsonObject liveState(const QString& code) const;
    QDateTime lastSeen(const QString& code) const { return seenAt.value(code); }
    LiveView snapshot() const;
    void seen(const QString& code, bool persist);

signals:
    void deviceChannelOpened(const QString& code);
    void deviceTextReceived(const QString& code, const QString& text);

private:
    void onConnection();
    void acceptDeviceChannel(QWebSocket* socket, const QString& code);
    void acceptPageFeed(QWebSocket* socket);
    void admitPageFeed(QWebSocket* socket);
    void onDeviceText(const QString& code, const QString& text);
    void broadcast(const QJsonObject& event);
    bool send(QWebSocket* socket, const QString& text);
    int openSockets() const;

    QWebSocketServer server;
    QByteArray accessToken;
    std::function<QString(const QByteArray&)> deviceOf;
    bool recording = true;
    std::function<void(const QString&, const QDateTime&)> persistSeen;

    QHash<QString, QPointer<QWebSocket>> channels;
    QHash<QString, QJsonObject> runningTasks; // the latest task state of each device, by code
    QHash<QString, QDateTime> seenAt;         // by code, including channel traffic
    QList<QPointer<QWebSocket>> pageFeeds;    // pages that gave the token
    QList<QPointer<QWebSocket>> waitingFeeds; // pages that have not yet
    QHash<QString, QStringList> texts;
    QStringList paths;
};

#endif // DEVICECHANNELS_H
