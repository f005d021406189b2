#include "serial/serialline.h"

#include <QDeadlineTimer>
#include <QThread>

#include <sys/ioctl.h>
#include <termios.h>

namespace serialdaemon {

PortLine::PortLine(QObject *parent)
    : SerialLine(parent)
    , m_port(this)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLine::errorOccurred);
}

bool PortLine::setDataBits(int code)
{
    return m_port.setDataBits(QSerialPort::DataBits(code));
}

bool PortLine::setParity(int code)
{
    return m_port.setParity(QSerialPort::Parity(code));
}

bool PortLine::setStopBits(int code)
{
    return m_port.setStopBits(QSerialPort::StopBits(code));
}

bool PortLine::setFlowControl(int code)
{
    return m_port.setFlowControl(QSerialPort::FlowControl(code));
}

namespace {
constexpr int kBitsPerByte = 10; // start, 8 data, stop
constexpr int kPollUs = 500;
} // namespace

qint64 PortLine::write(const QByteArray &bytes)
{
    const qint64 n = m_port.write(bytes);
    // The board paces the update by its answers: the bytes go out now.
    m_port.flush();
    m_lastWriteBytes = bytes.size();
    m_sinceWrite.start();
    return n;
}

void PortLine::drain(int ms)
{
    if (!m_port.isOpen())
        return;
    const QDeadlineTimer deadline(ms);
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(ms);
    // The driver's queue (a pseudo-terminal reports none).
    const int fd = int(m_port.handle());
    int queued = 0;
    while (fd >= 0 && ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && !deadline.hasExpired())
        QThread::usleep(kPollUs);
    // The last bytes handed on still cross the wire, plus one more byte's
    // time for the adapter's own buffer.
    const qint32 baud = m_port.baudRate();
    if (!m_sinceWrite.isValid() || baud <= 0)
        return;
    const qint64 wireUs = (m_lastWriteBytes + 1) * kBitsPerByte * 1000000 / baud;
    const qint64 leftUs =
        qMin(wireUs - m_sinceWrite.nsecsElapsed() / 1000, deadline.remainingTimeNSecs() / 1000);
    if (leftUs > 0)
        QThread::usleep(ulong(leftUs));
}

} // namespace serialdaemon
