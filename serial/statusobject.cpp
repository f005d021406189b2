#include "serial/statusobject.h"

#include "common/datafolder.h"
#include "protocol/bootframe.h"
#include "serial/bootlink.h"
#include "serial/flashupdater.h"
#include "serial/imagestore.h"
#include "serial/requestdispatcher.h"

#include <QDebug>
#include <QDir>

namespace serialdaemon {

namespace {
StatusObject::Wiring brokerWiring(const QString &brokerHost, int brokerPort)
{
    StatusObject::Wiring wiring;
    wiring.brokerHost = brokerHost;
    wiring.brokerPort = brokerPort;
    return wiring;
}
} // namespace

StatusObject::StatusObject(int brokerPort, QObject *parent)
    : StatusObject(brokerWiring(QStringLiteral("localhost"), brokerPort), parent)
{}

StatusObject::StatusObject(const QString &brokerHost, int brokerPort, QObject *parent)
    : StatusObject(brokerWiring(brokerHost, brokerPort), parent)
{}

StatusObject::StatusObject(Wiring wiring, QObject *parent)
    : QObject(parent)
    , m_timings(wiring.timings)
    , m_sink(wiring.sink ? wiring.sink : this)
    , m_mqttTimer(this)
    , m_portScan(this)
    , m_ownDigestWait(this)
{
    if (!wiring.sink) {
        MqttSession session;
        session.subscription = protocol::request::kAll;
        // Outcomes must survive a broker that is away for a moment: the
        // window has no other way to learn them. Progress and the port list
        // (sent unasked at start, maybe before the first connection) only
        // matter as their latest.
        session.outbox.keptTopics = {protocol::reply::kOpen, protocol::reply::kError,
                                     protocol::reply::kReadId, protocol::reply::kFlash,
                                     protocol::reply::kUpdate};
        session.outbox.latestOnlyTopics = {protocol::reply::kUpdatePercent, protocol::reply::kInfo};
        session.prepare = [] {
            qDebug().noquote() << "user home dir -> " + QDir::homePath();
            velmo::ensureDataFolder();
        };
        m_mqtt = new MqttMgr(this, QByteArray(kClientId.data(), kClientId.size()),
                             wiring.brokerHost, MqttMgr::kUserName, MqttMgr::kPassword,
                             wiring.brokerPort, MqttMgr::kKeepAliveSeconds, session);
        connect(m_mqtt, &MqttMgr::statusUpdated, this, &StatusObject::statusReady);
    }
    m_dispatcher = std::make_unique<RequestDispatcher>(*this);
    if (m_mqtt)
        m_mqtt->setMessageHandler(m_dispatcher.get());
    connect(&m_mqttTimer, &QTimer::timeout, this, &StatusObject::processMqttTimeout);
    m_portScan.setSingleShot(true);
    connect(&m_portScan, &QTimer::timeout, this, &StatusObject::scanPorts);
    m_ownDigestWait.setSingleShot(true);
    connect(&m_ownDigestWait, &QTimer::timeout, this, [this] {
        if (m_store->awaitsOwnDigest())
            verifyImage(true);
    });

    if (!wiring.line)
        wiring.line = std::make_unique<PortLine>();
    m_link = std::make_unique<BootLink>(std::move(wiring.line), *m_sink, m_timings);
    m_updater = std::make_unique<FlashUpdater>(*m_link, *m_sink, m_timings);
    m_store = std::make_unique<ImageStore>(wiring.imagePath.isEmpty() ? imageFilePath()
                                                                      : wiring.imagePath);

    m_mqttTimer.setSingleShot(false);
    m_mqttTimer.start(m_timings.mqttTickMs);
    publishReply(protocol::reply::kInfo, protocol::buildPortList(m_link->portNames()));

    connect(m_link.get(), &BootLink::writeAnswered, this, &StatusObject::onWriteAnswered);
    connect(m_link.get(), &BootLink::eraseAllAnswered, this, &StatusObject::eraseAllDone);
    connect(m_link.get(), &BootLink::erasePageAnswered, this, &StatusObject::erasePageDone);
    connect(m_link.get(), &BootLink::lineLost, this, &StatusObject::onLineLost);
    connect(this, &StatusObject::writeDone, this, &StatusObject::updateFlash);
}

StatusObject::~StatusObject()
{
    if (!m_mqtt)
        return;
    // The manager's thread may still hand over a message while the worker
    // goes away; nobody must be called for it any more.
    m_mqtt->setMessageHandler(nullptr);
    disconnect(m_mqtt, nullptr, this, nullptr);
}

QString StatusObject::imageFilePath()
{
    return velmo::dataFolderPath() + QStringLiteral("/file.hex");
}

void StatusObject::publishReply(QLatin1StringView topic, const QString &payload)
{
    if (m_sink != this) {
        m_sink->publishReply(topic, payload);
        return;
    }
    m_mqtt->publish(topic, payload);
}

// ---------------------------------------------------------------------------
// Port control

void StatusObject::listPorts()
{
    // Requests that come before the scan runs share it. A scan takes
    // milliseconds; one per request would hold every later request, PING
    // included, behind a flood of them.
    if (m_portScan.isActive())
        return;
    const qint64 spacing = m_timings.portScanSpacingMs;
    const qint64 since = m_lastPortScan.isValid() ? m_lastPortScan.elapsed() : spacing;
    m_portScan.start(int(qMax<qint64>(0, spacing - since)));
}

void StatusObject::scanPorts()
{
    m_lastPortScan.start();
    m_link->listPorts();
}

void StatusObject::openPort()
{
    m_link->openPort();
}

bool StatusObject::configurePort()
{
    return m_link->configurePort();
}

void StatusObject::reportPortError(const QString &message)
{
    m_link->reportPortError(message);
}

void StatusObject::closePort()
{
    m_link->closePort();
}

void StatusObject::publishPong()
{
    publishReply(protocol::reply::kPing, protocol::payload::kPong);
}

void StatusObject::publishVersion()
{
    publishReply(protocol::reply::kVersion, protocol::payload::kDaemonVersion);
}

void StatusObject::onLineLost()
{
    // The port is closed and the front end told; an update cannot go on.
    m_updater->abort();
}

// ---------------------------------------------------------------------------
// Boot-loader link

void StatusObject::sendFrame(const QByteArray &commandBytes)
{
    m_link->sendFrame(commandBytes);
}

void StatusObject::readBoardId()
{
    m_link->readBoardId();
}

void StatusObject::readBlock(quint32 address, int count)
{
    m_link->readBlock(address, count);
}

void StatusObject::writeBlock(quint32 address)
{
    m_link->writeBlock(address, m_updater->image());
}

void StatusObject::erasePage(quint32 address)
{
    m_link->erasePage(address);
}

void StatusObject::eraseAllFlash()
{
    m_link->eraseAllFlash();
}

void StatusObject::bootOff()
{
    m_link->bootOff();
}

void StatusObject::baudHigh()
{
    m_link->baudHigh();
}

void StatusObject::baudLow()
{
    m_link->baudLow();
}

void StatusObject::startRefresh()
{
    m_link->startRefresh();
}

void StatusObject::stopRefresh()
{
    m_link->stopRefresh();
}

void StatusObject::handleReply(const QByteArray &reply)
{
    m_link->handleReply(reply);
}

void StatusObject::onWriteAnswered(quint64 replyNumber)
{
    if (m_updater->isAnswerToBlockInFlight(replyNumber))
        emit writeDone();
}

void StatusObject::readRequest()
{
    m_link->readRequest();
}

void StatusObject::processTimeout()
{
    m_link->processTimeout();
}

void StatusObject::processIdTimeout()
{
    m_link->processIdTimeout();
}

void StatusObject::processRefreshTimeout()
{
    m_link->processRefreshTimeout();
}

void StatusObject::processMqttTimeout()
{
    if (m_mqtt)
        m_mqtt->wake();
}

// ---------------------------------------------------------------------------
// Firmware image

void StatusObject::setDigest(const QString &digest)
{
    m_store->setDigest(digest);
}

void StatusObject::storeImageFile(const QByteArray &payload)
{
    m_store->store(payload);
}

bool StatusObject::checkDigest() const
{
    return m_store->digestMatches();
}

bool StatusObject::checkBoardId() const
{
    return m_store->boardIdMatches(m_config, m_link->boardId());
}

void StatusObject::statusReady()
{
    if (m_store->isComplete()) {
        m_ownDigestWait.stop();
        verifyImage(false);
    } else if (m_store->awaitsOwnDigest() && !m_ownDigestWait.isActive()) {
        m_ownDigestWait.start(m_timings.ownDigestWaitMs);
    }
    m_store->releaseMemoryIfDue();
}

void StatusObject::verifyImage(bool withEarlierDigest)
{
    const bool ok = withEarlierDigest
                        ? m_store->verifyWithEarlierDigest(m_config, m_link->boardId())
                        : m_store->verify(m_config, m_link->boardId());
    publishReply(protocol::reply::kFlash, ok ? protocol::payload::kOk : protocol::payload::kError);
}

void StatusObject::refuseUpdate(const QString &reason)
{
    // The board is not touched, but the front end asked for the line: the
    // identifier refresh ends as it does for an update that starts.
    m_link->stopRefresh();
    m_link->stopIdRequest();
    qWarning().noquote() << "Update not started:" << reason;
    publishReply(protocol::reply::kUpdate, protocol::payload::kError);
}

void StatusObject::beginUpdate()
{
    if (m_updater->isErasing()) {
        // The running update answers for itself.
        qWarning() << "Update request ignored: an erase is in progress";
        return;
    }
    // Everything that can stop the update is checked before the line speed
    // changes, so a refused update leaves the board at 9600 baud.
    if (!m_store->isVerified())
        return refuseUpdate(QStringLiteral("no verified image"));
    const QString problem = FlashPlan::layoutProblem(m_config);
    if (!problem.isEmpty())
        return refuseUpdate(problem);
    QByteArray image;
    if (!m_store->image(m_config, &image))
        return refuseUpdate(QStringLiteral("image file unreadable"));

    m_link->stopIdRequest();
    m_link->stopRefresh();
    m_updater->start(image, m_config, m_eraseAll);
}

void StatusObject::updateFlash()
{
    m_updater->updateFlash();
}

void StatusObject::processWriteTimeout()
{
    m_updater->processWriteTimeout();
}

// ---------------------------------------------------------------------------
// State

PortSettings &StatusObject::portSettings()
{
    return m_link->portSettings();
}

bool StatusObject::isUpdating() const
{
    return m_updater->isUpdating();
}

bool StatusObject::isRefreshActive() const
{
    return m_link->isRefreshActive();
}

bool StatusObject::isFileVerified() const
{
    return m_store->isVerified();
}

int StatusObject::boardId() const
{
    return m_link->boardId();
}

int StatusObject::baudRate() const
{
    return m_link->portSettings().baudRate;
}

const QStringList &StatusObject::portNames() const
{
    return m_link->portNames();
}

const QByteArray &StatusObject::image() const
{
    return m_updater->image();
}

SerialLine &StatusObject::serialPort()
{
    return m_link->line();
}

} // namespace serialdaemon
