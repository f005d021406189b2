#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace serialdaemon {

// The serial line as the daemon uses it. The real one wraps QSerialPort; the
// tests put an in-memory board behind it. Error codes are those of the
// serial-port module, since they appear in the texts sent to the front end.
class SerialLine : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void setPortName(const QString &name) = 0;
    virtual QString portName() const = 0;
    // Opens for reading and writing.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual bool setBaudRate(qint32 baud) = 0;
    virtual qint32 baudRate() const = 0;
    virtual bool setDataBits(int code) = 0;
    virtual bool setParity(int code) = 0;
    virtual bool setStopBits(int code) = 0;
    virtual bool setFlowControl(int code) = 0;

    virtual QSerialPort::SerialPortError error() const = 0;
    virtual QString errorString() const = 0;

    // Hands the bytes to the line at once rather than at the next pass of
    // the event loop.
    virtual qint64 write(const QByteArray &bytes) = 0;
    // Waits up to `ms` for written bytes to have left: out of the program,
    // out of the driver, and across the wire at the line's speed.
    virtual void drain(int ms) = 0;
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    // Discards what waits in both directions.
    virtual void clear() = 0;

signals:
    void readyRead();
    void errorOccurred(QSerialPort::SerialPortError error);
};

// QSerialPort behind the line interface.
class PortLine final : public SerialLine
{
    Q_OBJECT

public:
    explicit PortLine(QObject *parent = nullptr);

    void setPortName(const QString &name) override { m_port.setPortName(name); }
    QString portName() const override { return m_port.portName(); }
    bool open() override { return m_port.open(QIODevice::ReadWrite); }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    bool setBaudRate(qint32 baud) override
    {
        return m_port.setBaudRate(baud, QSerialPort::AllDirections);
    }
    qint32 baudRate() const override { return m_port.baudRate(); }
    bool setDataBits(int code) override;
    bool setParity(int code) override;
    bool setStopBits(int code) override;
    bool setFlowControl(int code) override;
    QSerialPort::SerialPortError error() const override { return m_port.error(); }
    QString errorString() const override { return m_port.errorString(); }
    qint64 write(const QByteArray &bytes) override;
    void drain(int ms) override;
    QByteArray readAll() override { return m_port.readAll(); }
    qint64 bytesAvailable() const override { return m_port.bytesAvailable(); }
    void clear() override { m_port.clear(); }

private:
    QSerialPort m_port;
    QElapsedTimer m_sinceWrite;
    qint64 m_lastWriteBytes = 0;
};

} // namespace serialdaemon
