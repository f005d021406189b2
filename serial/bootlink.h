#pragma once

#include "protocol/payloads.h"
#include "protocol/reports.h"
#include "serial/daemonwiring.h"
#include "serial/replyreceiver.h"
#include "serial/serialline.h"

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>

namespace serialdaemon {

// The daemon's side of the serial line and the board's boot loader: port
// settings and (re)opening with the exact error reports, frames out, answers
// in, the identifier request with its fallback and retries, the identifier
// refresh and the line-speed switch. It tells the update about the
// answers that concern it and about a line that went away.
class BootLink : public QObject
{
    Q_OBJECT

public:
    static constexpr qint32 kOpenBaudRate = 9600;
    static constexpr qint32 kHighBaudRate = 115200;
    static constexpr int kIdMaxRetries = 10;

    BootLink(std::unique_ptr<SerialLine> line, ReplySink &sink, const Timings &timings,
             QObject *parent = nullptr);

    // Port control. listPorts() looks again; publishPortList() sends the
    // last listing: the names, then their details.
    void listPorts();
    void publishPortList();
    void openPort();
    bool configurePort();
    void reportPortError(const QString &message);
    void closePort();

    // Commands.
    void sendFrame(const QByteArray &commandBytes);
    void readBoardId();
    void readBlock(quint32 address, int count);
    // Sends the 64 bytes of `image` at the block's offset; nothing when the
    // image does not hold them.
    void writeBlock(quint32 address, const QByteArray &image);
    void erasePage(quint32 address);
    void eraseAllFlash();
    void bootOff();
    void baudHigh();
    void baudLow();
    void startRefresh();
    void stopRefresh();
    // Stops waiting for an identifier answer (an update takes the line).
    void stopIdRequest() { m_idTimer.stop(); }

    // Receiving.
    void readRequest();
    void processTimeout();
    // What the receiver has given up so far, and what waits without making
    // an answer yet: a rise or a rest, after the line went quiet, is a
    // damaged answer.
    quint64 droppedBytes() const { return m_receiver.droppedBytes(); }
    bool hasPendingBytes() const { return m_receiver.hasPending(); }
    // Forgets the bytes of a damaged answer before the command goes again.
    void discardPending() { m_receiver.clear(); }
    bool isOpen() const { return m_line->isOpen(); }
    void handleReply(const QByteArray &reply);
    void processIdTimeout();
    void processRefreshTimeout();

    protocol::SerialSettings &portSettings() { return m_port; }
    SerialLine &line() { return *m_line; }
    const QStringList &portNames() const { return m_portNames; }
    int boardId() const { return m_boardId; }
    bool isRefreshActive() const { return m_refreshActive; }
    // Counts every answer received; the number of the one being handled.
    quint64 repliesReceived() const { return m_repliesReceived; }

    QTimer &rxTimer() { return m_rxTimer; }
    QTimer &idTimer() { return m_idTimer; }
    QTimer &refreshTimer() { return m_refreshTimer; }

signals:
    // A write answer, with its number among all answers received.
    void writeAnswered(quint64 replyNumber);
    // A read answer, whole (command bytes, checksum removed).
    void readAnswered(quint64 replyNumber, const QByteArray &reply);
    // The line has been quiet for a moment after bytes arrived; every answer
    // among them has been handled.
    void lineQuiet();
    void erasePageAnswered();
    void eraseAllAnswered();
    // The device went away while open; the port is closed and the front end
    // has been told.
    void lineLost();

private:
    void publish(QLatin1StringView topic, const QString &payload);
    void queueReplies(const QList<QByteArray> &replies);
    void drainReplies();
    void switchLineSpeed(std::uint8_t command, qint32 baudRate);
    void onLineError(QSerialPort::SerialPortError error);
    void scanPorts();
    void onQuiet();

    std::unique_ptr<SerialLine> m_line;
    ReplySink &m_sink;
    Timings m_timings;
    protocol::SerialSettings m_port;
    QStringList m_portNames;
    QList<protocol::PortDetails> m_portDetails;
    int m_boardId = 0;
    bool m_refreshActive = false;
    bool m_fallbackDone = false;
    int m_idRetries = 0;

    ReplyReceiver m_receiver;
    struct Reply
    {
        quint64 number;
        QByteArray bytes;
    };
    QQueue<Reply> m_replies;
    quint64 m_repliesReceived = 0;
    quint64 m_handlingReply = 0;
    bool m_drainScheduled = false;

    QTimer m_rxTimer;
    QTimer m_quietTimer;
    QTimer m_idTimer;
    QTimer m_refreshTimer;
};

} // namespace serialdaemon
