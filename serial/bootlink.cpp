#include "serial/bootlink.h"

#include "protocol/bootframe.h"
#include "protocol/porterror.h"
#include "protocol/topics.h"
#include "serial/portdetails.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSerialPortInfo>
#include <QThread>

namespace serialdaemon {

namespace {

// The front end reads the code in "error code N" by these numbers.
using protocol::PortErrorCode;
static_assert(int(QSerialPort::DeviceNotFoundError) == int(PortErrorCode::DeviceNotFound) &&
              int(QSerialPort::PermissionError) == int(PortErrorCode::Permission) &&
              int(QSerialPort::OpenError) == int(PortErrorCode::Open) &&
              int(QSerialPort::ResourceError) == int(PortErrorCode::Resource) &&
              int(QSerialPort::NotOpenError) == int(PortErrorCode::NotOpen));

QString workerTr(const char *text)
{
    // The daemon's texts keep the worker's translation context.
    return QCoreApplication::translate("StatusObject", text);
}
} // namespace

BootLink::BootLink(std::unique_ptr<SerialLine> line, ReplySink &sink, const Timings &timings,
                   QObject *parent)
    : QObject(parent)
    , m_line(std::move(line))
    , m_sink(sink)
    , m_timings(timings)
    , m_rxTimer(this)
    , m_quietTimer(this)
    , m_idTimer(this)
    , m_refreshTimer(this)
{
    m_port.portName = QStringLiteral("COM1");
    m_port.baudRate = kHighBaudRate;
    m_line->setParent(this);
    scanPorts();

    m_rxTimer.setSingleShot(true);
    m_quietTimer.setSingleShot(true);
    m_idTimer.setSingleShot(true);
    m_refreshTimer.setSingleShot(false);
    connect(m_line.get(), &SerialLine::readyRead, this, &BootLink::readRequest);
    connect(m_line.get(), &SerialLine::errorOccurred, this, &BootLink::onLineError);
    connect(&m_rxTimer, &QTimer::timeout, this, &BootLink::processTimeout);
    connect(&m_quietTimer, &QTimer::timeout, this, &BootLink::onQuiet);
    connect(&m_idTimer, &QTimer::timeout, this, &BootLink::processIdTimeout);
    connect(&m_refreshTimer, &QTimer::timeout, this, &BootLink::processRefreshTimeout);
}

void BootLink::publish(QLatin1StringView topic, const QString &payload)
{
    m_sink.publishReply(topic, payload);
}

// ---------------------------------------------------------------------------
// Port control

void BootLink::scanPorts()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    m_portNames.clear();
    for (const QSerialPortInfo &info : ports)
        m_portNames.append(info.portName());
    m_portDetails = describePorts(ports);
}

void BootLink::listPorts()
{
    scanPorts();
    publishPortList();
}

void BootLink::publishPortList()
{
    publish(protocol::reply::kInfo, protocol::buildPortList(m_portNames));
    // Right behind the bare names, which stay as they were.
    publish(protocol::reply::kInfoDetails, protocol::buildPortDetails(m_portDetails));
}

void BootLink::openPort()
{
    m_fallbackDone = false;
    m_port.baudRate = kOpenBaudRate;
    if (configurePort())
        publish(protocol::reply::kOpen, protocol::payload::kOk);
}

bool BootLink::configurePort()
{
    m_line->close();
    m_line->setPortName(m_port.portName);
    const auto fail = [this](const QString &text) {
        // One pass, so a port name holding "%2" stays as it is.
        const QString name = m_line->portName();
        const QString code = QString::number(int(m_line->error()));
        reportPortError(text.contains(QLatin1String("%3"))
                            ? text.arg(name, code, QString::number(m_port.baudRate))
                            : text.arg(name, code));
        return false;
    };
    if (!m_line->open())
        return fail(workerTr("Can't open %1, error code %2"));
    if (!m_line->setBaudRate(m_port.baudRate))
        return fail(workerTr("Can't set baud rate %3 baud to port %1, error code %2"));
    if (!m_line->setDataBits(m_port.dataBits))
        return fail(workerTr("Can't set 8 data bits to port %1, error code %2"));
    if (!m_line->setParity(m_port.parity))
        return fail(workerTr("Can't set no patity to port %1, error code %2"));
    if (!m_line->setStopBits(m_port.stopBits))
        return fail(workerTr("Can't set 1 stop bit to port %1, error code %2"));
    if (!m_line->setFlowControl(m_port.flowControl))
        return fail(workerTr("Can't set no flow control to port %1, error code %2"));
    return true;
}

void BootLink::reportPortError(const QString &message)
{
    qWarning().noquote() << message;
    publish(protocol::reply::kOpen, protocol::payload::kError);
    publish(protocol::reply::kError, message);
}

void BootLink::closePort()
{
    stopRefresh();
    // An identifier request still waiting would re-open the port from its
    // time-out; a closed port stays closed.
    m_idTimer.stop();
    // Closing puts the line back to the settings it had when it was opened,
    // at once: the leave-boot-loader frame sent just before would reach the
    // board at another speed.
    if (m_line->isOpen())
        m_line->drain(m_timings.closeDrainMs);
    m_line->close();
}

void BootLink::onLineError(QSerialPort::SerialPortError error)
{
    // A device that went away (adapter pulled, the other end of a
    // pseudo-terminal closed) keeps the port's notifier firing: close it, or
    // the event loop spins, and say so at once.
    const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                      error == QSerialPort::DeviceNotFoundError;
    if (!gone || !m_line->isOpen())
        return;
    // The name as the technician chose it ("/dev/ttyUSB0", not "ttyUSB0").
    const QString name = m_port.portName;
    qWarning().noquote() << "Serial port" << name << "lost:" << m_line->errorString();
    // Nothing more leaves a device that is gone.
    stopRefresh();
    m_idTimer.stop();
    m_quietTimer.stop();
    m_line->close();
    m_receiver.clear();
    m_replies.clear();
    reportPortError(workerTr("Serial port %1 was disconnected").arg(name));
    emit lineLost();
}

// ---------------------------------------------------------------------------
// Commands

void BootLink::sendFrame(const QByteArray &commandBytes)
{
    if (!m_line->isOpen()) {
        qDebug() << "Serial port not open, frame not sent";
        return;
    }
    m_line->write(bootframe::encode(commandBytes));
}

void BootLink::readBoardId()
{
    sendFrame(bootframe::readIdCommand());
    m_idTimer.start(m_timings.idTimeoutMs);
}

void BootLink::readBlock(quint32 address, int count)
{
    sendFrame(bootframe::readFlashCommand(address, static_cast<std::uint8_t>(count)));
}

void BootLink::writeBlock(quint32 address, const QByteArray &image)
{
    const quint32 offset = bootframe::imageOffset(address);
    if (image.isEmpty() || quint64(offset) + bootframe::kBlockBytes > quint64(image.size())) {
        qWarning().noquote()
            << QStringLiteral("No image data at 0x%1, block not written").arg(address, 0, 16);
        return;
    }
    sendFrame(bootframe::writeFlashCommand(
        address, QByteArray::fromRawData(image.constData() + offset, bootframe::kBlockBytes)));
}

void BootLink::erasePage(quint32 address)
{
    sendFrame(bootframe::erasePageCommand(address));
}

void BootLink::eraseAllFlash()
{
    sendFrame(bootframe::singleByteCommand(bootframe::Command::EraseAll));
}

void BootLink::bootOff()
{
    sendFrame(bootframe::singleByteCommand(bootframe::Command::BootOff));
}

void BootLink::switchLineSpeed(std::uint8_t command, qint32 baudRate)
{
    sendFrame(QByteArray(1, static_cast<char>(command)));
    m_line->drain(m_timings.baudDrainMs);
    if (m_timings.baudSettleMs > 0)
        QThread::msleep(ulong(m_timings.baudSettleMs));
    m_port.baudRate = baudRate;
    configurePort();
}

void BootLink::baudHigh()
{
    switchLineSpeed(std::uint8_t(bootframe::Command::BaudHigh), kHighBaudRate);
}

void BootLink::baudLow()
{
    switchLineSpeed(std::uint8_t(bootframe::Command::BaudLow), kOpenBaudRate);
}

void BootLink::startRefresh()
{
    m_refreshTimer.start(m_timings.refreshMs);
    m_refreshActive = true;
}

void BootLink::stopRefresh()
{
    m_refreshTimer.stop();
    m_refreshActive = false;
}

// ---------------------------------------------------------------------------
// Receiving

void BootLink::readRequest()
{
    const QByteArray bytes = m_line->readAll();
    queueReplies(m_receiver.feed(bytes));
    if (m_receiver.hasPending() && !m_rxTimer.isActive())
        m_rxTimer.start(m_timings.rxQuietMs);
    if (!bytes.isEmpty())
        m_quietTimer.start(m_timings.answerQuietMs);
}

void BootLink::onQuiet()
{
    queueReplies(m_receiver.flush());
    // After the answers still queued, so a whole one among them counts
    // before the rest is judged.
    QMetaObject::invokeMethod(this, &BootLink::lineQuiet, Qt::QueuedConnection);
}

void BootLink::processTimeout()
{
    queueReplies(m_receiver.flush());
}

void BootLink::queueReplies(const QList<QByteArray> &replies)
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
        QMetaObject::invokeMethod(this, &BootLink::drainReplies, Qt::QueuedConnection);
    }
}

void BootLink::drainReplies()
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

void BootLink::handleReply(const QByteArray &reply)
{
    if (reply.isEmpty())
        return;
    switch (bootframe::Command(static_cast<std::uint8_t>(reply.at(0)))) {
    case bootframe::Command::ReadId: {
        if (reply.size() == bootframe::kReadIdReplyBytes) {
            m_idTimer.stop();
            const auto lo = static_cast<std::uint8_t>(reply.at(2));
            const auto hi = static_cast<std::uint8_t>(reply.at(3));
            m_boardId = hi * 256 + lo;
            if (!m_refreshActive)
                publish(protocol::reply::kReadId, protocol::boardIdText(m_boardId));
        }
        m_idRetries = 0;
        break;
    }
    case bootframe::Command::ReadFlash:
        emit readAnswered(m_handlingReply, reply);
        break;
    case bootframe::Command::WriteFlash:
        emit writeAnswered(m_handlingReply);
        break;
    case bootframe::Command::ErasePage:
        emit erasePageAnswered();
        break;
    case bootframe::Command::EraseAll:
        emit eraseAllAnswered();
        break;
    default:
        break; // unknown answers are not used
    }
}

void BootLink::processIdTimeout()
{
    if (!m_fallbackDone) {
        // First silence since OPEN: the board may still be at high speed.
        m_port.baudRate = kHighBaudRate;
        configurePort();
        baudLow();
        m_line->clear();
        m_receiver.clear();
        readBoardId();
        m_fallbackDone = true;
        return;
    }
    if (m_idRetries >= kIdMaxRetries) {
        publish(protocol::reply::kReadId, protocol::payload::kError);
        return;
    }
    ++m_idRetries;
    configurePort();
    m_line->clear();
    m_receiver.clear();
    readBoardId();
}

void BootLink::processRefreshTimeout()
{
    readBoardId();
}

} // namespace serialdaemon
