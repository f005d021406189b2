#pragma once

#include "mqtt/mqttmgr.h"
#include "serial/flashplan.h"
#include "serial/replyreceiver.h"

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QQueue>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>

namespace serialdaemon {

class RequestDispatcher;

// Line settings as "REQUEST/SERIAL/SETUP" stores them; the integers are the
// serial-port module's enumeration codes.
struct PortSettings
{
    QString portName = QStringLiteral("COM1");
    int baudRate = 115200;
    int dataBits = 8;
    int parity = 0;
    int stopBits = 1;
    int flowControl = 0;
};

// Memory layout of the connected board as "REQUEST/BOARD/CONFIGS" sends it.
struct BoardConfig
{
    int startFlash = 0;
    int startProgr = 0;
    int sizeFlash = 0; // KiB
    int sizeProgr = 0; // KiB
    int maxErase = 0;  // bytes, -1 for erase-all boards
    std::uint8_t padding = 0;
    int idPosition = -1;
};

// The daemon's worker: owns the serial port, the boot-loader link, the
// firmware update and the daemon's MQTT connection. Everything runs on the
// main thread; the only nesting is the wait for an erase answer.
class StatusObject : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *kClientId = "velmo-serial-qtclient";
    static constexpr const char *kVersion = "0.27.20181009";
    static constexpr int kOpenBaudRate = 9600;
    static constexpr int kHighBaudRate = 115200;

    static constexpr int kRxQuietMs = 10;
    static constexpr int kMqttTickMs = 100;
    static constexpr int kFirstWriteTimeoutMs = 10000;
    static constexpr int kNextWriteTimeoutMs = 5000;
    static constexpr int kIdTimeoutMs = 1000;
    static constexpr int kRefreshMs = 2000;
    static constexpr int kIdMaxRetries = 10;
    static constexpr int kBaudDrainMs = 10;
    static constexpr int kBaudSettleMs = 10;

    explicit StatusObject(int brokerPort = MqttMgr::kDefaultPort, QObject *parent = nullptr);
    ~StatusObject() override;

    // Port control.
    void listPorts();
    void openPort();
    bool configurePort();
    void reportPortError(const QString &message);
    void closePort();
    void publishPong();
    void publishVersion();

    // Boot-loader link.
    void sendFrame(const QByteArray &commandBytes);
    void readBoardId();
    void readBlock(quint32 address, int count);
    void writeBlock(quint32 address);
    void erasePage(quint32 address);
    void eraseAllFlash();
    void bootOff();
    void baudHigh();
    void baudLow();
    void startRefresh();
    void stopRefresh();
    void handleReply(const QByteArray &reply);

    // Firmware image.
    void storeImageFile(const QString &payload);
    bool checkDigest() const;
    bool checkBoardId() const;
    bool checkRecords() const;
    bool loadImage(const QString &path);
    void beginUpdate();

    // Set directly by the request dispatch.
    PortSettings &portSettings() { return m_port; }
    BoardConfig &boardConfig() { return m_config; }
    void setDigest(const QString &digest);
    void setEraseAll(bool eraseAll) { m_eraseAll = eraseAll; }

    bool isUpdating() const { return m_updating; }
    bool eraseAll() const { return m_eraseAll; }
    bool isRefreshActive() const { return m_refreshActive; }
    bool isFileVerified() const { return m_fileVerified; }
    int boardId() const { return m_boardId; }
    int baudRate() const { return m_port.baudRate; }
    const QStringList &portNames() const { return m_portNames; }
    const QByteArray &image() const { return m_image; }
    QSerialPort &serialPort() { return m_serialPort; }
    MqttMgr *mqtt() const { return m_mqtt; }
    static QString imageFilePath();

signals:
    void writeDone();
    void eraseAllDone();
    void erasePageDone();

public slots:
    void statusReady();
    void updateFlash();
    void readRequest();
    void processTimeout();
    void processMqttTimeout();
    void processWriteTimeout();
    void processIdTimeout();
    void processRefreshTimeout();

private:
    void publish(const QString &topic, const QString &payload);
    void failUpdate(const QString &reason);
    void queueReplies(const QList<QByteArray> &replies);
    void drainReplies();
    void sendUpdateBlock();
    void switchLineSpeed(std::uint8_t command, int baudRate);
    void onPortError(QSerialPort::SerialPortError error);
    // Waits for an erase answer; true when it came before the write timer.
    bool waitForErase();

    QStringList m_portNames;
    int m_boardId = 0;
    BoardConfig m_config;
    bool m_updating = false;
    bool m_blockInFlight = false;
    bool m_eraseAll = true;
    QSerialPort m_serialPort;
    ReplyReceiver m_receiver;
    struct Reply
    {
        quint64 number; // counts every answer received
        QByteArray bytes;
    };
    QQueue<Reply> m_replies;
    quint64 m_repliesReceived = 0;
    quint64 m_handlingReply = 0;
    quint64 m_blockSentAfter = 0; // answers received when the block went out
    bool m_drainScheduled = false;
    QTimer m_rxTimer;
    QTimer m_mqttTimer;
    QTimer m_writeTimer;
    QTimer m_idTimer;
    QTimer m_refreshTimer;
    QEventLoop m_eraseWait;
    PortSettings m_port;
    QByteArray m_image;
    bool m_fileReceived = false;
    bool m_fileStored = false;
    bool m_digestReceived = false;
    bool m_fileVerified = false;
    QString m_digest;
    bool m_refreshActive = false;

    FlashPlan m_plan;
    bool m_fallbackDone = false;
    int m_idRetries = 0;

    MqttMgr *m_mqtt = nullptr; // child
    std::unique_ptr<RequestDispatcher> m_dispatcher;
};

} // namespace serialdaemon
