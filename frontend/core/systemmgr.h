#pragma once

#include "common/brokerchoice.h"
#include "frontend/core/frontendstatus.h"
#include "frontend/core/replyparser.h"
#include "protocol/topics.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class MqttMgr;

namespace frontend {

// The front end's only link to the serial daemon: owns the MQTT manager and
// the StatusObject, polls the network thread and relays every reply as
// statusReady().
class SystemMgr : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 100;
    static constexpr QLatin1StringView kClientIdBase = protocol::kFrontEndClientIdBase;
    static constexpr const char *kFirstHost = "127.0.0.1";
    // The largest "remaining length" an MQTT packet can declare.
    static constexpr qint64 kMaxMqttRemainingLength = 268435455;

    enum class SendResult
    {
        Sent,
        // The file failed a check; its box has been shown, nothing was sent.
        NotLoaded,
        // The transport refused the file or its digest (not connected, or
        // larger than one MQTT message can carry); its box has been shown.
        Refused
    };

    // `port` is that of the first connection, to 127.0.0.1; startConnection()
    // then moves to the stored broker. With a private broker's socket (by
    // default the one the launcher names) and the user's choice of it in the
    // preferences, every connection goes to that socket instead.
    explicit SystemMgr(QObject *parent = nullptr, int port = 1883,
                       const QString &privateSocket = velmo::privateBrokerSocket());
    ~SystemMgr() override;

    StatusObject *statusObject() const { return m_statusObject; }
    MqttMgr *mqttMgr() const { return m_mqttMgr.get(); }
    QString currentHost() const { return m_currentHost; }
    // The private broker's socket while the front end uses it, else empty.
    QString socketInUse() const;

    bool publish(const QString &topic, const QString &payload);
    void startConnection(const QString &host, int port);
    bool sendSerialSetup(const PortSettings &settings);
    bool sendBoardConfigs(qint32 startFlash, qint32 startProgr, qint32 sizeFlash, qint32 sizeProgr,
                          qint32 maxErase, quint8 padding, qint32 idPosition);
    bool requestRefresh();
    bool requestBoardUpdate(bool eraseAll);
    SendResult sendImageFile(const QString &path);
    // The second half of sendImageFile(): `bytes` as "REQUEST/SERIAL/FLASH",
    // then their digest.
    SendResult sendImageBytes(const QByteArray &bytes);
    // Whether the MQTT connection to the broker stands right now.
    bool brokerConnected() const;

    // The largest payload one QoS 0 message on `topic` can carry.
    static qint64 maxPublishPayload(const QString &topic);

    QString errorText() const;
    QString serialVersion() const;

signals:
    void statusReady();

public slots:
    void processMqttTimeout();

private:
    StatusObject *m_statusObject = nullptr; // child of this object
    ReplyParser m_parser;
    std::unique_ptr<MqttMgr> m_mqttMgr;
    QTimer m_pollTimer;
    QString m_currentHost;
    QString m_privateSocket;
};

} // namespace frontend
