#include "serial/statusobject.h"

#include "common/datafolder.h"
#include "serial/bootframe.h"
#include "serial/hexfile.h"
#include "serial/requestdispatcher.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSerialPortInfo>
#include <QThread>

namespace serialdaemon {

namespace {
constexpr std::uint8_t kReplyReadId = 0x00;
constexpr std::uint8_t kReplyReadFlash = 0x01;
constexpr std::uint8_t kReplyWrite = 0x02;
constexpr std::uint8_t kReplyErasePage = 0x03;
constexpr std::uint8_t kReplyEraseAll = 0x0B;
constexpr int kEraseAnswered = 0;
constexpr int kEraseTimedOut = 1;

const QString kTopicInfo = QStringLiteral("SERIAL/INFO");
const QString kTopicOpen = QStringLiteral("SERIAL/OPEN");
const QString kTopicError = QStringLiteral("SERIAL/ERROR");
const QString kTopicReadId = QStringLiteral("SERIAL/READ/ID");
const QString kTopicFlash = QStringLiteral("SERIAL/FLASH");
const QString kTopicUpdate = QStringLiteral("SERIAL/BOARD/UPDATE");
const QString kTopicPercent = QStringLiteral("SERIAL/BOARD/UPDATE/PERC");
const QString kOk = QStringLiteral("OK");
const QString kError = QStringLiteral("ERROR");
} // namespace

StatusObject::StatusObject(int brokerPort, QObject *parent)
    : QObject(parent)
    , m_serialPort(this)
    , m_rxTimer(this)
    , m_mqttTimer(this)
    , m_writeTimer(this)
    , m_idTimer(this)
    , m_refreshTimer(this)
    , m_eraseWait(this)
{
    MqttSession session;
    session.subscription = QStringLiteral("REQUEST/#");
    // Outcomes must survive a broker that is away for a moment: the window
    // has no other way to learn them. Progress and the port list (sent
    // unasked at start, maybe before the first connection) only matter as
    // their latest.
    session.outbox.keptTopics = {kTopicOpen, kTopicError, kTopicReadId, kTopicFlash, kTopicUpdate};
    session.outbox.latestOnlyTopics = {kTopicPercent, kTopicInfo};
    session.prepare = [] {
        qDebug().noquote() << "user home dir -> " + QDir::homePath();
        velmo::ensureDataFolder();
    };
    m_mqtt = new MqttMgr(this, kClientId, QStringLiteral("localhost"), MqttMgr::kUserName,
                         MqttMgr::kPassword, brokerPort, MqttMgr::kKeepAliveSeconds, session);
    m_dispatcher = std::make_unique<RequestDispatcher>(*this);
    m_mqtt->setMessageHandler(m_dispatcher.get());

    connect(&m_mqttTimer, &QTimer::timeout, this, &StatusObject::processMqttTimeout);
    connect(m_mqtt, &MqttMgr::statusUpdated, this, &StatusObject::statusReady);

    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        m_portNames.append(info.portName());

    m_rxTimer.setSingleShot(true);
    m_writeTimer.setSingleShot(true);
    m_idTimer.setSingleShot(true);
    m_mqttTimer.setSingleShot(false);
    m_refreshTimer.setSingleShot(false);
    connect(&m_serialPort, &QSerialPort::readyRead, this, &StatusObject::readRequest);
    connect(&m_serialPort, &QSerialPort::errorOccurred, this, &StatusObject::onPortError);
    connect(&m_rxTimer, &QTimer::timeout, this, &StatusObject::processTimeout);
    connect(&m_writeTimer, &QTimer::timeout, this, &StatusObject::processWriteTimeout);
    connect(&m_idTimer, &QTimer::timeout, this, &StatusObject::processIdTimeout);
    connect(&m_refreshTimer, &QTimer::timeout, this, &StatusObject::processRefreshTimeout);

    m_mqttTimer.start(kMqttTickMs);
    publish(kTopicInfo, m_portNames.join(QLatin1Char(' ')));

    connect(this, &StatusObject::writeDone, this, &StatusObject::updateFlash);
    connect(this, &StatusObject::eraseAllDone, &m_eraseWait, &QEventLoop::quit);
    connect(this, &StatusObject::erasePageDone, &m_eraseWait, &QEventLoop::quit);
}

StatusObject::~StatusObject()
{
    // The manager's thread may still hand over a message while the worker
    // goes away; nobody must be called for it any more.
    m_mqtt->setMessageHandler(nullptr);
    disconnect(m_mqtt, nullptr, this, nullptr);
}

QString StatusObject::imageFilePath()
{
    return velmo::dataFolderPath() + QStringLiteral("/file.hex");
}

void StatusObject::publish(const QString &topic, const QString &payload)
{
    m_mqtt->publish(topic, payload);
}

// ---------------------------------------------------------------------------
// Port control

void StatusObject::listPorts()
{
    m_portNames.clear();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        m_portNames.append(info.portName());
    publish(kTopicInfo, m_portNames.join(QLatin1Char(' ')));
}

void StatusObject::openPort()
{
    m_fallbackDone = false;
    m_port.baudRate = kOpenBaudRate;
    if (configurePort())
        publish(kTopicOpen, kOk);
}

bool StatusObject::configurePort()
{
    m_serialPort.close();
    m_serialPort.setPortName(m_port.portName);
    const auto fail = [this](const QString &text) {
        // One pass, so a port name holding "%2" stays as it is.
        const QString name = m_serialPort.portName();
        const QString code = QString::number(int(m_serialPort.error()));
        reportPortError(text.contains(QLatin1String("%3"))
                            ? text.arg(name, code, QString::number(m_port.baudRate))
                            : text.arg(name, code));
        return false;
    };
    if (!m_serialPort.open(QIODevice::ReadWrite))
        return fail(tr("Can't open %1, error code %2"));
    if (!m_serialPort.setBaudRate(m_port.baudRate, QSerialPort::AllDirections))
        return fail(tr("Can't set baud rate %3 baud to port %1, error code %2"));
    if (!m_serialPort.setDataBits(QSerialPort::DataBits(m_port.dataBits)))
        return fail(tr("Can't set 8 data bits to port %1, error code %2"));
    if (!m_serialPort.setParity(QSerialPort::Parity(m_port.parity)))
        return fail(tr("Can't set no patity to port %1, error code %2"));
    if (!m_serialPort.setStopBits(QSerialPort::StopBits(m_port.stopBits)))
        return fail(tr("Can't set 1 stop bit to port %1, error code %2"));
    if (!m_serialPort.setFlowControl(QSerialPort::FlowControl(m_port.flowControl)))
        return fail(tr("Can't set no flow control to port %1, error code %2"));
    return true;
}

void StatusObject::reportPortError(const QString &message)
{
    qWarning().noquote() << message;
    publish(kTopicOpen, kError);
    publish(kTopicError, message);
}

void StatusObject::closePort()
{
    m_refreshTimer.stop();
    m_refreshActive = false;
    // An identifier request still waiting would re-open the port from its
    // time-out; a closed port stays closed.
    m_idTimer.stop();
    m_serialPort.close();
}

void StatusObject::publishPong()
{
    publish(QStringLiteral("SERIAL/PING"), QStringLiteral("PONG"));
}

void StatusObject::publishVersion()
{
    publish(QStringLiteral("SERIAL/VERSION"), QString::fromLatin1(kVersion));
}

void StatusObject::onPortError(QSerialPort::SerialPortError error)
{
    // A line that went away keeps signalling; close it so the event loop does
    // not spin. A running update ends through its write time-out.
    if (error == QSerialPort::ResourceError && m_serialPort.isOpen()) {
        qWarning().noquote() << "Serial port" << m_serialPort.portName()
                             << "lost:" << m_serialPort.errorString();
        m_serialPort.close();
    }
}

// ---------------------------------------------------------------------------
// Boot-loader link

void StatusObject::sendFrame(const QByteArray &commandBytes)
{
    if (!m_serialPort.isOpen()) {
        qDebug() << "Serial port not open, frame not sent";
        return;
    }
    m_serialPort.write(bootframe::encode(commandBytes));
    // Hand the bytes to the line now rather than at the next loop pass: the
    // board paces the update by its answers.
    m_serialPort.flush();
}

void StatusObject::readBoardId()
{
    sendFrame(bootframe::readIdCommand());
    m_idTimer.start(kIdTimeoutMs);
}

void StatusObject::readBlock(quint32 address, int count)
{
    sendFrame(bootframe::readFlashCommand(address, static_cast<std::uint8_t>(count)));
}

void StatusObject::writeBlock(quint32 address)
{
    const quint32 offset = FlashPlan::offsetOf(address);
    if (m_image.isEmpty() || quint64(offset) + bootframe::kBlockBytes > quint64(m_image.size())) {
        qWarning().noquote()
            << QStringLiteral("No image data at 0x%1, block not written").arg(address, 0, 16);
        return;
    }
    sendFrame(bootframe::writeFlashCommand(address, m_image.mid(offset, bootframe::kBlockBytes)));
}

void StatusObject::erasePage(quint32 address)
{
    sendFrame(bootframe::erasePageCommand(address));
}

void StatusObject::eraseAllFlash()
{
    sendFrame(bootframe::singleByteCommand(bootframe::Command::EraseAll));
}

void StatusObject::bootOff()
{
    sendFrame(bootframe::singleByteCommand(bootframe::Command::BootOff));
}

void StatusObject::switchLineSpeed(std::uint8_t command, int baudRate)
{
    sendFrame(QByteArray(1, static_cast<char>(command)));
    if (m_serialPort.isOpen())
        m_serialPort.waitForBytesWritten(kBaudDrainMs);
    QThread::msleep(kBaudSettleMs);
    m_port.baudRate = baudRate;
    configurePort();
}

void StatusObject::baudHigh()
{
    switchLineSpeed(std::uint8_t(bootframe::Command::BaudHigh), kHighBaudRate);
}

void StatusObject::baudLow()
{
    switchLineSpeed(std::uint8_t(bootframe::Command::BaudLow), kOpenBaudRate);
}

void StatusObject::startRefresh()
{
    m_refreshTimer.start(kRefreshMs);
    m_refreshActive = true;
}

void StatusObject::stopRefresh()
{
    m_refreshTimer.stop();
    m_refreshActive = false;
}

void StatusObject::readRequest()
{
    const QByteArray bytes = m_serialPort.readAll();
    queueReplies(m_receiver.feed(bytes));
    if (m_receiver.hasPending() && !m_rxTimer.isActive())
        m_rxTimer.start(kRxQuietMs);
}

void StatusObject::processTimeout()
{
    queueReplies(m_receiver.flush());
}

void StatusObject::queueReplies(const QList<QByteArray> &replies)
{
    if (replies.isEmpty())
        return;
    for (const QByteArray &reply : replies)
        m_replies.enqueue({++m_repliesReceived, reply});
    // Handled from the event loop, not inside the port's ready-read signal:
    // a reply may start an erase wait, and Qt does not re-emit ready-read
    // while its slot is still running.
    if (!m_drainScheduled) {
        m_drainScheduled = true;
        QMetaObject::invokeMethod(this, &StatusObject::drainReplies, Qt::QueuedConnection);
    }
}

void StatusObject::drainReplies()
{
    m_drainScheduled = false;
    // One shared queue: a nested erase wait that handles later replies keeps
    // their order, and the outer pass finds them gone.
    while (!m_replies.isEmpty()) {
        const Reply reply = m_replies.dequeue();
        m_handlingReply = reply.number;
        handleReply(reply.bytes);
    }
}

void StatusObject::handleReply(const QByteArray &reply)
{
    if (reply.isEmpty())
        return;
    switch (static_cast<std::uint8_t>(reply.at(0))) {
    case kReplyReadId: {
        const QByteArray rest = reply.mid(2);
        if (rest.size() == 2) {
            m_idTimer.stop();
            const auto lo = static_cast<std::uint8_t>(rest.at(0));
            const auto hi = static_cast<std::uint8_t>(rest.at(1));
            m_boardId = hi * 256 + lo;
            const QString text =
                QStringLiteral("0x%1").arg(m_boardId, 4, 16, QLatin1Char('0')).toLower();
            if (!m_refreshActive)
                publish(kTopicReadId, text);
        }
        m_idRetries = 0;
        break;
    }
    case kReplyReadFlash:
        break;
    case kReplyWrite:
        // An answer that had arrived before the block in flight was sent is
        // a repeat of the previous one, not this block's acknowledgement.
        if (m_updating && m_handlingReply > m_blockSentAfter)
            emit writeDone();
        break;
    case kReplyErasePage:
        emit erasePageDone();
        break;
    case kReplyEraseAll:
        emit eraseAllDone();
        break;
    default:
        break;
    }
}

void StatusObject::processIdTimeout()
{
    if (!m_fallbackDone) {
        // First silence since OPEN: the board may still be at high speed.
        m_port.baudRate = kHighBaudRate;
        configurePort();
        baudLow();
        m_serialPort.clear();
        m_receiver.clear();
        readBoardId();
        m_fallbackDone = true;
        return;
    }
    if (m_idRetries >= kIdMaxRetries) {
        publish(kTopicReadId, kError);
        return;
    }
    ++m_idRetries;
    configurePort();
    m_serialPort.clear();
    m_receiver.clear();
    readBoardId();
}

void StatusObject::processRefreshTimeout()
{
    readBoardId();
}

void StatusObject::processMqttTimeout()
{
    m_mqtt->wake();
}

// ---------------------------------------------------------------------------
// Firmware image

void StatusObject::setDigest(const QString &digest)
{
    m_digest = digest;
    m_digestReceived = true;
}

void StatusObject::storeImageFile(const QString &payload)
{
    // A new file is not verified until its own digest has been checked.
    m_fileVerified = false;
    const QByteArray bytes = payload.toLatin1();
    QFile file(imageFilePath());
    m_fileStored = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!m_fileStored) {
        qWarning().noquote() << "Can't store" << file.fileName() << ":" << file.errorString();
        // Never verify a stale copy of an earlier file against this digest.
        QFile::remove(file.fileName());
    }
    m_fileReceived = true;
}

bool StatusObject::checkDigest() const
{
    QFile file(imageFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString hex = QString::fromLatin1(
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex());
    qDebug().noquote() << hex;
    return hex.compare(m_digest, Qt::CaseInsensitive) == 0;
}

bool StatusObject::checkBoardId() const
{
    if (m_config.idPosition == -1)
        return false;
    QFile file(imageFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = hexfile::firstLine(file.readLine());
    return hexfile::boardIdMatches(line, m_config.idPosition, m_boardId);
}

bool StatusObject::checkRecords() const
{
    QFile file(imageFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const hexfile::Validation v = hexfile::validateRecords(file.readAll());
    if (!v.ok())
        qWarning().noquote() << QStringLiteral("Image file line %1: %2")
                                    .arg(v.lineNumber)
                                    .arg(hexfile::errorText(v.error));
    return v.ok();
}

void StatusObject::statusReady()
{
    if (!m_fileReceived || !m_digestReceived)
        return;
    bool ok = m_fileStored && checkDigest();
    if (!ok)
        qWarning() << "Image rejected: digest does not match";
    if (ok && !checkBoardId()) {
        qWarning().noquote() << QStringLiteral("Image rejected: not made for board 0x%1")
                                    .arg(m_boardId, 4, 16, QLatin1Char('0'));
        ok = false;
    }
    // The digest only guards the transfer; a file damaged before it was sent
    // must not reach the board.
    if (ok && !checkRecords())
        ok = false;
    m_fileVerified = ok;
    publish(kTopicFlash, ok ? kOk : kError);
    m_fileReceived = false;
    m_digestReceived = false;
}

bool StatusObject::loadImage(const QString &path)
{
    m_image.clear();
    if (m_config.sizeFlash <= 0 || m_config.sizeProgr <= 0)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    hexfile::Layout layout;
    layout.startFlash = quint32(m_config.startFlash);
    layout.sizeBytes = quint32(qint64(m_config.sizeFlash) * FlashPlan::kKiB);
    layout.padding = m_config.padding;
    return hexfile::buildImage(file.readAll(), layout, &m_image);
}

void StatusObject::failUpdate(const QString &reason)
{
    qWarning().noquote() << "Update not started:" << reason;
    publish(kTopicUpdate, kError);
}

bool StatusObject::waitForErase()
{
    m_writeTimer.start(kFirstWriteTimeoutMs);
    return m_eraseWait.exec() == kEraseAnswered;
}

void StatusObject::beginUpdate()
{
    if (m_eraseWait.isRunning()) {
        // The running update answers for itself.
        qWarning() << "Update request ignored: an erase is in progress";
        return;
    }
    // Everything that can stop the update is checked before the line speed
    // changes, so a refused update leaves the board at 9600 baud.
    if (!m_fileVerified)
        return failUpdate(QStringLiteral("no verified image"));
    FlashPlan::Config plan;
    plan.startFlash = m_config.startFlash;
    plan.startProgr = m_config.startProgr;
    plan.sizeFlashKiB = m_config.sizeFlash;
    plan.sizeProgrKiB = m_config.sizeProgr;
    plan.maxErase = m_config.maxErase;
    plan.eraseAll = m_eraseAll;
    const QString problem = FlashPlan::layoutProblem(plan);
    if (!problem.isEmpty())
        return failUpdate(problem);
    if (!loadImage(imageFilePath()))
        return failUpdate(QStringLiteral("image file unreadable"));

    m_updating = false;
    m_blockInFlight = false;
    m_writeTimer.stop();
    m_idTimer.stop();
    stopRefresh();
    baudHigh();
    m_plan = FlashPlan(plan);

    if (m_plan.usesEraseAll()) {
        eraseAllFlash();
        if (!waitForErase())
            return;
        m_writeTimer.stop();
    } else {
        erasePage(m_plan.currentAddress());
        if (!waitForErase())
            return;
        m_writeTimer.stop();
        m_plan.firstPageErased();
    }
    m_writeTimer.start(kFirstWriteTimeoutMs);
    sendUpdateBlock();
    m_updating = true;
}

void StatusObject::updateFlash()
{
    // Only the acknowledgement of the block in flight counts: a repeated
    // answer, or one that turns up while a page erase is awaited, would
    // otherwise send blocks ahead of the board.
    if (!m_updating || !m_blockInFlight || m_eraseWait.isRunning())
        return;
    m_blockInFlight = false;
    m_writeTimer.stop();
    const FlashPlan::Step step = m_plan.acknowledge();
    if (step.newPercent >= 0)
        publish(kTopicPercent, QString::number(step.newPercent));
    if (step.finished) {
        m_updating = false;
        baudLow();
        publish(kTopicUpdate, kOk);
        return;
    }
    m_writeTimer.start(kNextWriteTimeoutMs);
    if (step.erasePage) {
        erasePage(step.eraseAddress);
        if (m_eraseWait.exec() != kEraseAnswered)
            return;
        m_plan.pageErased();
        // The block gets its own time after the erase.
        m_writeTimer.start(kNextWriteTimeoutMs);
    }
    sendUpdateBlock();
}

void StatusObject::sendUpdateBlock()
{
    m_blockSentAfter = m_repliesReceived;
    writeBlock(m_plan.currentAddress());
    m_blockInFlight = true;
}

void StatusObject::processWriteTimeout()
{
    m_plan = FlashPlan();
    m_updating = false;
    if (m_eraseWait.isRunning())
        m_eraseWait.exit(kEraseTimedOut);
    publish(kTopicUpdate, kError);
}

} // namespace serialdaemon
