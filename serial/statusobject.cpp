#include "serial/statusobject.h"

#include "common/datafolder.h"
#include "protocol/bootframe.h"
#include "serial/bootlink.h"
#include "serial/flashupdater.h"
#include "serial/flashverifier.h"
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
        session.outbox.keptTopics = {
            protocol::reply::kOpen,         protocol::reply::kError,
            protocol::reply::kReadId,       protocol::reply::kFlash,
            protocol::reply::kUpdateReason, protocol::reply::kUpdateRetries,
            protocol::reply::kUpdate,       protocol::reply::kVerifyReason,
            protocol::reply::kVerify};
        session.outbox.latestOnlyTopics = {protocol::reply::kUpdatePercent,
                                           protocol::reply::kVerifyPercent, protocol::reply::kInfo,
                                           protocol::reply::kInfoDetails};
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
    m_verifier = std::make_unique<FlashVerifier>(*m_link, *m_sink, m_timings);
    m_store = std::make_unique<ImageStore>(wiring.imagePath.isEmpty() ? imageFilePath()
                                                                      : wiring.imagePath);

    m_mqttTimer.setSingleShot(false);
    m_mqttTimer.start(m_timings.mqttTickMs);
    m_link->publishPortList();

    connect(m_link.get(), &BootLink::writeAnswered, this, &StatusObject::onWriteAnswered);
    connect(m_link.get(), &BootLink::eraseAllAnswered, this, &StatusObject::eraseAllDone);
    connect(m_link.get(), &BootLink::erasePageAnswered, this, &StatusObject::erasePageDone);
    connect(m_link.get(), &BootLink::lineLost, this, &StatusObject::onLineLost);
    connect(this, &StatusObject::writeDone, this, &StatusObject::updateFlash);
    // Queued: an update that ends inside an erase wait is out of it first.
    connect(m_updater.get(), &FlashUpdater::finished, this, &StatusObject::takePending,
            Qt::QueuedConnection);
    connect(m_verifier.get(), &FlashVerifier::finished, this, &StatusObject::takePending,
            Qt::QueuedConnection);
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
    // The port is going: what runs on it ends now, and says why.
    m_updater->abort(protocol::FailureReason::Cause::Interrupted);
    m_verifier->abort(protocol::FailureReason::Cause::Interrupted);
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
    m_updater->abort(protocol::FailureReason::Cause::PortLost);
    m_verifier->abort(protocol::FailureReason::Cause::PortLost);
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
    if (isBusy()) {
        qInfo() << "Digest received during an update: kept until the board is free";
        m_pendingDigest = digest;
        return;
    }
    m_store->setDigest(digest);
}

void StatusObject::storeImageFile(const QByteArray &payload)
{
    if (isBusy()) {
        qInfo().noquote() << QStringLiteral("Image of %1 bytes received during an update: kept "
                                            "until the board is free")
                                 .arg(payload.size());
        m_pendingFile = payload;
        return;
    }
    m_store->store(payload);
}

void StatusObject::takePending()
{
    if (isBusy() || (!m_pendingFile && !m_pendingDigest))
        return;
    qInfo() << "Taking the image and digest received during the update";
    if (m_pendingFile)
        m_store->store(*std::exchange(m_pendingFile, std::nullopt));
    if (m_pendingDigest)
        m_store->setDigest(*std::exchange(m_pendingDigest, std::nullopt));
    statusReady();
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

void StatusObject::refuseUpdate(const QString &reason, protocol::FailureReason::Cause cause)
{
    // The board is not touched, but the front end asked for the line: the
    // identifier refresh ends as it does for an update that starts.
    m_link->stopRefresh();
    m_link->stopIdRequest();
    qWarning().noquote() << "Update not started:" << reason;
    protocol::FailureReason r;
    r.step = protocol::FailureReason::Step::Start;
    r.cause = cause;
    publishReply(protocol::reply::kUpdateReason, protocol::buildFailureReason(r));
    publishReply(protocol::reply::kUpdateRetries, QStringLiteral("0"));
    publishReply(protocol::reply::kUpdate, protocol::payload::kError);
}

void StatusObject::beginUpdate()
{
    using Cause = protocol::FailureReason::Cause;
    if (m_updater->isErasing()) {
        // The running update answers for itself.
        qWarning() << "Update request ignored: an erase is in progress";
        return;
    }
    // A new update makes the read-back of the last one moot.
    m_verifier->abort(Cause::Interrupted);
    // Everything that can stop the update is checked before the line speed
    // changes, so a refused update leaves the board at 9600 baud.
    if (!m_store->isVerified())
        return refuseUpdate(QStringLiteral("no verified image"), Cause::NoImage);
    const QString problem = FlashPlan::layoutProblem(m_config);
    if (!problem.isEmpty())
        return refuseUpdate(problem, Cause::BadConfig);
    QByteArray image;
    if (!m_store->image(m_config, &image))
        return refuseUpdate(QStringLiteral("image file unreadable"), Cause::NoImage);

    m_link->stopIdRequest();
    m_link->stopRefresh();
    m_updater->start(image, m_config, m_eraseAll);
}

void StatusObject::refuseVerify(const QString &reason, protocol::FailureReason::Cause cause)
{
    qWarning().noquote() << "Read-back not started:" << reason;
    protocol::FailureReason r;
    r.step = protocol::FailureReason::Step::Verify;
    r.cause = cause;
    publishReply(protocol::reply::kVerifyReason, protocol::buildFailureReason(r));
    publishReply(protocol::reply::kVerify, protocol::payload::kError);
}

void StatusObject::beginVerify()
{
    using Cause = protocol::FailureReason::Cause;
    if (m_updater->isBusy()) {
        // The update's own result comes first; the front end asks after it.
        qWarning() << "Read-back request ignored: an update is running";
        return;
    }
    if (m_verifier->isRunning()) {
        qWarning() << "Read-back request ignored: a read-back is running";
        return;
    }
    const QByteArray &image = m_updater->image();
    const quint32 start = m_updater->programStart();
    const quint32 end = m_updater->programEnd();
    if (image.isEmpty() || end <= start ||
        quint64(FlashPlan::offsetOf(start)) + (end - start) > quint64(image.size()))
        return refuseVerify(QStringLiteral("no update to compare with"), Cause::NoImage);
    if (!m_link->isOpen())
        return refuseVerify(QStringLiteral("the port is not open"), Cause::PortLost);
    m_link->stopIdRequest();
    m_link->stopRefresh();
    m_verifier->start(image, start, end);
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

bool StatusObject::isBusy() const
{
    return m_updater->isBusy() || m_verifier->isRunning();
}

bool StatusObject::isVerifying() const
{
    return m_verifier->isRunning();
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
