#include "frontend/core/systemmgr.h"

#include "frontend/base/userdialogs.h"
#include "frontend/core/imagefile.h"
#include "frontend/core/requests.h"
#include "mqtt/mqttmgr.h"
#include "mqtt/mqttthread.h"
#include "protocol/topics.h"

#include <QCoreApplication>
#include <QDebug>

#include <utility>

namespace frontend {

namespace {

MqttSession frontEndSession()
{
    MqttSession session;
    session.subscription = protocol::reply::kAll;
    // After every (re)connection the daemon's ports, version and pong arrive
    // without the window asking.
    session.announceTopics = {protocol::request::kInfo, protocol::request::kVersion,
                              protocol::request::kPing};
    session.reportUnknownError = true;
    // The outbox stays empty: a request sent once the broker is back could
    // act on a board the user has already given up on, and every refused
    // publish is reported to the user by its caller.
    return session;
}

void reportNotSent()
{
    UserDialogs::instance().critical(
        QStringLiteral("Error"),
        QStringLiteral("Error: The file could not be sent to the serial daemon.\n"));
}

} // namespace

qint64 SystemMgr::maxPublishPayload(const QString &topic)
{
    // MQTT's remaining length also covers the topic and its 2-byte length
    // (QoS 0: no packet id).
    return kMaxMqttRemainingLength - 2 - topic.size();
}

SystemMgr::SystemMgr(QObject *parent, int port, const QString &privateSocket)
    : QObject(parent)
    , m_privateSocket(privateSocket)
{
    const QByteArray clientId =
        (kClientIdBase + QStringLiteral("-%1").arg(QCoreApplication::applicationPid())).toLatin1();
    qDebug().noquote() << QString::fromLatin1(clientId);

    m_statusObject = new StatusObject(this);
    if (!m_privateSocket.isEmpty())
        m_statusObject->privateBroker = velmo::privateBrokerChosen();
    // Never a word to a TCP broker while the private one is in use.
    const QString socket = socketInUse();
    m_currentHost = socket.isEmpty() ? QString::fromLatin1(kFirstHost) : socket;
    m_mqttMgr = std::make_unique<MqttMgr>(
        this, clientId, m_currentHost, QByteArray(MqttMgr::kUserName),
        QByteArray(MqttMgr::kPassword), socket.isEmpty() ? port : velmo::kLocalSocketPort,
        MqttMgr::kKeepAliveSeconds, frontEndSession());
    m_parser.setStatusObject(m_statusObject);
    m_mqttMgr->setMessageHandler(&m_parser);
    connect(m_mqttMgr.get(), &MqttMgr::statusUpdated, this, &SystemMgr::statusReady);

    connect(&m_pollTimer, &QTimer::timeout, this, &SystemMgr::processMqttTimeout);
    m_pollTimer.setSingleShot(false);
    m_pollTimer.start(kPollIntervalMs);
}

SystemMgr::~SystemMgr()
{
    m_pollTimer.stop();
    // The thread goes first: no message may reach the parser afterwards.
    m_mqttMgr.reset();
}

void SystemMgr::processMqttTimeout()
{
    m_mqttMgr->wake();
}

bool SystemMgr::publish(const QString &topic, const QString &payload)
{
    return m_mqttMgr->publish(topic, payload);
}

QString SystemMgr::socketInUse() const
{
    return m_statusObject->privateBroker ? m_privateSocket : QString();
}

void SystemMgr::startConnection(const QString &host, int port)
{
    const QString socket = socketInUse();
    if (!socket.isEmpty()) {
        m_currentHost = socket;
        qDebug().noquote() << "Start connection with Broker : " + m_currentHost;
        m_mqttMgr->setBroker(socket, velmo::kLocalSocketPort);
        return;
    }
    m_currentHost = host.simplified();
    qDebug().noquote() << "Start connection with Broker : " + m_currentHost;
    if (!m_mqttMgr->setBroker(m_currentHost, port))
        qWarning().noquote() << "Broker host refused:" << m_currentHost;
}

bool SystemMgr::sendSerialSetup(const PortSettings &settings)
{
    return publish(protocol::request::kSetup, requests::serialSetup(settings));
}

bool SystemMgr::sendBoardConfigs(qint32 startFlash, qint32 startProgr, qint32 sizeFlash,
                                 qint32 sizeProgr, qint32 maxErase, quint8 padding,
                                 qint32 idPosition)
{
    return publish(protocol::request::kConfigs,
                   requests::boardConfigs(startFlash, startProgr, sizeFlash, sizeProgr, maxErase,
                                          padding, idPosition));
}

bool SystemMgr::requestRefresh()
{
    return publish(protocol::request::kRefresh, protocol::payload::kStart);
}

bool SystemMgr::requestBoardUpdate(bool eraseAll)
{
    return publish(protocol::request::kUpdate, requests::boardUpdate(eraseAll));
}

SystemMgr::SendResult SystemMgr::sendImageFile(const QString &path)
{
    ImageLoad image = loadImageFile(QString::fromLocal8Bit(path.toLocal8Bit()));
    if (!image.ok())
        return SendResult::NotLoaded;
    return sendImageBytes(std::exchange(image.bytes, QByteArray()));
}

SystemMgr::SendResult SystemMgr::sendImageBytes(const QByteArray &bytes)
{
    const QString flashTopic = protocol::request::kFlash;
    // A file just under the size limit still exceeds what one MQTT message
    // can carry; refuse it here rather than build a copy the library rejects.
    if (bytes.size() > maxPublishPayload(flashTopic)) {
        reportNotSent();
        return SendResult::Refused;
    }
    const QString digest = requests::md5Hex(bytes);
    qDebug().noquote() << "MD5:" << digest;
    // One byte per character: the HEX text goes out unchanged.
    // As bytes: a large file is not widened into text on its way out.
    const bool fileSent = m_mqttMgr->publish(flashTopic, bytes);
    // Without the file the daemon would verify the digest against an older
    // one, so the digest only follows a file that went out.
    const bool digestSent = fileSent && publish(protocol::request::kMd5, digest);
    if (!digestSent) {
        reportNotSent();
        return SendResult::Refused;
    }
    return SendResult::Sent;
}

bool SystemMgr::brokerConnected() const
{
    return m_mqttMgr->thread()->isConnected();
}

QString SystemMgr::errorText() const
{
    return m_statusObject->errorText;
}

QString SystemMgr::serialVersion() const
{
    return m_statusObject->serialVersion;
}

} // namespace frontend
