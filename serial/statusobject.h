#pragma once

#include "mqtt/mqttmgr.h"
#include "protocol/payloads.h"
#include "protocol/reports.h"
#include "protocol/topics.h"
#include "serial/daemonwiring.h"
#include "serial/serialline.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

namespace serialdaemon {

class BootLink;
class FlashUpdater;
class FlashVerifier;
class ImageStore;
class RequestDispatcher;

// Line settings as "REQUEST/SERIAL/SETUP" stores them.
using PortSettings = protocol::SerialSettings;
// Memory layout of the connected board as "REQUEST/BOARD/CONFIGS" sends it.
using BoardConfig = protocol::BoardLayout;

// The daemon's worker: the one object the request dispatch talks to. It
// hands the work to the boot-loader link (port, frames, identifier), the
// updater (erase and write, progress) and the image store (the received
// file, its verification and its flash image). Everything runs on the main
// thread; the only nesting is the wait for an erase answer.
class StatusObject : public QObject, private ReplySink
{
    Q_OBJECT

public:
    static constexpr QLatin1StringView kClientId = protocol::kDaemonClientId;

    // What the worker is built from. Empty parts take the program's own: the
    // serial port, the board's timings, the broker and the data folder's
    // image file. With a sink of its own the worker opens no broker
    // connection (tests drive it through dispatcher()).
    struct Wiring
    {
        std::unique_ptr<SerialLine> line;
        Timings timings;
        ReplySink *sink = nullptr;
        QString imagePath;
        QString brokerHost = QStringLiteral("localhost");
        int brokerPort = MqttMgr::kDefaultPort; // 0: brokerHost is a unix socket
    };

    explicit StatusObject(int brokerPort = MqttMgr::kDefaultPort, QObject *parent = nullptr);
    StatusObject(const QString &brokerHost, int brokerPort, QObject *parent = nullptr);
    explicit StatusObject(Wiring wiring, QObject *parent = nullptr);
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

    // Firmware image. The two checks look at the file received last and are
    // answered until its verification. A file or digest that arrives while
    // the board is busy is kept and taken when it is done: it neither
    // replaces the image being written or read back, nor goes unanswered.
    void storeImageFile(const QByteArray &payload);
    bool checkDigest() const;
    bool checkBoardId() const;
    void beginUpdate();
    // "REQUEST/BOARD/VERIFY": reads the last update's area back.
    void beginVerify();

    // Set directly by the request dispatch.
    PortSettings &portSettings();
    BoardConfig &boardConfig() { return m_config; }
    void setDigest(const QString &digest);
    void setEraseAll(bool eraseAll) { m_eraseAll = eraseAll; }

    bool isUpdating() const;
    // An update or a read-back runs: requests that would change the board or
    // the line under it are ignored.
    bool isBusy() const;
    bool isVerifying() const;
    bool eraseAll() const { return m_eraseAll; }
    bool isRefreshActive() const;
    bool isFileVerified() const;
    int boardId() const;
    int baudRate() const;
    const QStringList &portNames() const;
    const QByteArray &image() const;
    SerialLine &serialPort();
    MqttMgr *mqtt() const { return m_mqtt; }
    RequestDispatcher &dispatcher() { return *m_dispatcher; }
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
    void publishReply(QLatin1StringView topic, const QString &payload) override;
    void refuseUpdate(const QString &reason, protocol::FailureReason::Cause cause);
    void refuseVerify(const QString &reason, protocol::FailureReason::Cause cause);
    void takePending();
    void scanPorts();
    void verifyImage(bool withEarlierDigest);
    void onWriteAnswered(quint64 replyNumber);
    void onLineLost();

    BoardConfig m_config;
    bool m_eraseAll = true;
    Timings m_timings;
    ReplySink *m_sink = nullptr; // a test's, or this object for the broker
    QTimer m_mqttTimer;
    QTimer m_portScan;
    QElapsedTimer m_lastPortScan;
    QTimer m_ownDigestWait;

    std::unique_ptr<BootLink> m_link;
    std::unique_ptr<FlashUpdater> m_updater;
    std::unique_ptr<FlashVerifier> m_verifier;
    std::optional<QByteArray> m_pendingFile;
    std::optional<QString> m_pendingDigest;
    std::unique_ptr<ImageStore> m_store;
    MqttMgr *m_mqtt = nullptr; // child; none with a test's sink
    std::unique_ptr<RequestDispatcher> m_dispatcher;
};

} // namespace serialdaemon
