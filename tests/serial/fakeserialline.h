#pragma once

#include "serial/serialline.h"
#include "tools/boardmodel.h"

#include <QElapsedTimer>
#include <QList>

// An in-memory serial line with the virtual board's model behind it: what
// the daemon writes reaches the board at the line speed the daemon set, and
// the board's answers come back through the event loop (paced when the board
// is). The switches below add what the model cannot do on its own.
class FakeSerialLine final : public serialdaemon::SerialLine
{
    Q_OBJECT

public:
    explicit FakeSerialLine(const boardsim::BoardConfig &board = {}, QObject *parent = nullptr);

    // The only name that opens; any name when empty.
    void setDevicePath(const QString &path) { m_devicePath = path; }
    // The adapter is pulled: an open port reports a resource error (as
    // QSerialPort does), and nothing opens any more.
    void unplug();
    void plugIn() { m_present = true; }
    // Every open fails from now on with this code.
    void failOpen(QSerialPort::SerialPortError error) { m_openError = error; }
    // Setting the baud rate fails from now on.
    void failBaudRate(bool fail) { m_failBaud = fail; }
    // The board's answers to this command never arrive.
    void muteAnswers(bootframe::Command code) { m_muted.append(code); }
    // The board's answers to this command arrive with a wrong checksum.
    void damageAnswers(bootframe::Command code) { m_damaged.append(code); }
    // Times the port was closed with bytes written after the last drain.
    int closesBeforeDrain() const { return m_closesBeforeDrain; }
    // Puts bytes on the line as if the board had sent them.
    void inject(const QByteArray &bytes);

    boardsim::BoardModel &board() { return m_board; }
    // Command bytes of every frame the daemon sent, in order.
    const QList<QByteArray> &commands() const { return m_commands; }
    QList<QByteArray> commandsWithCode(bootframe::Command code) const;
    // Line speeds set, in order.
    const QList<qint32> &baudHistory() const { return m_baudHistory; }
    int opens() const { return m_opens; }
    void forget();

    void setPortName(const QString &name) override { m_name = name; }
    QString portName() const override { return m_name; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool setBaudRate(qint32 baud) override;
    qint32 baudRate() const override { return m_baud; }
    bool setDataBits(int) override { return m_open; }
    bool setParity(int) override { return m_open; }
    bool setStopBits(int) override { return m_open; }
    bool setFlowControl(int) override { return m_open; }
    QSerialPort::SerialPortError error() const override { return m_error; }
    QString errorString() const override;
    qint64 write(const QByteArray &bytes) override;
    void drain(int) override { m_undrained = false; }
    QByteArray readAll() override;
    qint64 bytesAvailable() const override { return m_rx.size(); }
    void clear() override { m_rx.clear(); }

private:
    void deliver(const boardsim::Transmission &t, quint64 session);
    void raise(QSerialPort::SerialPortError error);
    qint64 nowUs() const { return m_clock.nsecsElapsed() / 1000; }

    boardsim::BoardModel m_board;
    bootframe::EscapedDecoder m_decoder;
    QElapsedTimer m_clock;
    QString m_name;
    QString m_devicePath;
    bool m_present = true;
    bool m_open = false;
    bool m_failBaud = false;
    QSerialPort::SerialPortError m_openError = QSerialPort::NoError;
    QSerialPort::SerialPortError m_error = QSerialPort::NoError;
    qint32 m_baud = 9600;
    quint64 m_session = 0; // answers of an earlier opening are lost
    QByteArray m_rx;
    QList<QByteArray> m_commands;
    QList<qint32> m_baudHistory;
    QList<bootframe::Command> m_muted;
    QList<bootframe::Command> m_damaged;
    bool m_undrained = false;
    int m_closesBeforeDrain = 0;
    int m_opens = 0;
};
