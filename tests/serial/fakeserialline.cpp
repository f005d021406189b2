#include "tests/serial/fakeserialline.h"

#include <QTimer>

#include <utility>

FakeSerialLine::FakeSerialLine(const boardsim::BoardConfig &board, QObject *parent)
    : SerialLine(parent)
    , m_board(board)
{
    m_clock.start();
}

QList<QByteArray> FakeSerialLine::commandsWithCode(bootframe::Command code) const
{
    QList<QByteArray> out;
    for (const QByteArray &c : m_commands)
        if (!c.isEmpty() && static_cast<std::uint8_t>(c.at(0)) == std::uint8_t(code))
            out.append(c);
    return out;
}

void FakeSerialLine::forget()
{
    m_commands.clear();
    m_baudHistory.clear();
    m_opens = 0;
}

void FakeSerialLine::raise(QSerialPort::SerialPortError error)
{
    m_error = error;
    emit errorOccurred(error);
}

void FakeSerialLine::unplug()
{
    m_present = false;
    if (m_open)
        raise(QSerialPort::ResourceError);
}

bool FakeSerialLine::open()
{
    m_error = QSerialPort::NoError;
    if (m_open) {
        raise(QSerialPort::OpenError);
        return false;
    }
    if (m_openError != QSerialPort::NoError) {
        raise(m_openError);
        return false;
    }
    if (!m_present || (!m_devicePath.isEmpty() && m_name != m_devicePath)) {
        raise(QSerialPort::DeviceNotFoundError);
        return false;
    }
    m_open = true;
    ++m_opens;
    ++m_session;
    m_rx.clear();
    return true;
}

void FakeSerialLine::close()
{
    if (!m_open)
        return;
    if (std::exchange(m_undrained, false))
        ++m_closesBeforeDrain;
    m_open = false;
    ++m_session;
    m_rx.clear();
}

bool FakeSerialLine::setBaudRate(qint32 baud)
{
    if (!m_open || m_failBaud) {
        raise(QSerialPort::UnsupportedOperationError);
        return false;
    }
    m_baud = baud;
    m_baudHistory.append(baud);
    return true;
}

QString FakeSerialLine::errorString() const
{
    return m_error == QSerialPort::NoError ? QStringLiteral("No error")
                                           : QStringLiteral("fake line error %1").arg(m_error);
}

qint64 FakeSerialLine::write(const QByteArray &bytes)
{
    if (!m_open) {
        raise(QSerialPort::NotOpenError);
        return -1;
    }
    if (!m_present) {
        raise(QSerialPort::ResourceError);
        return -1;
    }
    // What the daemon sent, read the way the board reads it (at any speed,
    // so a test sees also the frames a board at another speed loses).
    m_commands.append(m_decoder.feed(bytes));
    m_undrained = true;
    const bool wasHungUp = m_board.hungUp();
    const QList<boardsim::Transmission> answers = m_board.receive(bytes, m_baud, nowUs());
    for (const boardsim::Transmission &t : answers) {
        const qint64 delayUs = qMax<qint64>(0, t.dueUs - nowUs());
        const quint64 session = m_session;
        QTimer::singleShot(int(delayUs / 1000), this, [this, t, session] { deliver(t, session); });
    }
    if (!wasHungUp && m_board.hungUp())
        QTimer::singleShot(0, this, [this] { unplug(); });
    return bytes.size();
}

void FakeSerialLine::deliver(const boardsim::Transmission &t, quint64 session)
{
    // The board sends at its own speed; at another line speed nothing
    // readable arrives. A closed or re-opened port has lost it.
    QByteArray bytes = m_board.transmit(t, m_baud);
    if (session != m_session || !m_open || bytes.isEmpty())
        return;
    const auto answers = [&t](bootframe::Command code) {
        return t.bytes.size() > 2 && static_cast<std::uint8_t>(t.bytes.at(2)) == std::uint8_t(code);
    };
    for (const bootframe::Command code : m_muted)
        if (answers(code))
            return;
    for (const bootframe::Command code : m_damaged)
        if (answers(code))
            bytes[bytes.size() - 2] = char(bytes.at(bytes.size() - 2) ^ 0x5A);
    m_rx.append(bytes);
    emit readyRead();
}

void FakeSerialLine::inject(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_rx.append(bytes);
    emit readyRead();
}

QByteArray FakeSerialLine::readAll()
{
    QByteArray out;
    out.swap(m_rx);
    return out;
}
