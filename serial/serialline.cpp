#include "serial/serialline.h"

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

qint64 PortLine::write(const QByteArray &bytes)
{
    const qint64 n = m_port.write(bytes);
    // The board paces the update by its answers: the bytes go out now.
    m_port.flush();
    return n;
}

void PortLine::drain(int ms)
{
    if (m_port.isOpen())
        m_port.waitForBytesWritten(ms);
}

} // namespace serialdaemon
