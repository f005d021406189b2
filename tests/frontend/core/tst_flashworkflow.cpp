// The connection and firmware-update workflow on its own: no window, no
// broker. A recording link stands in for SystemMgr, the replies are marks
// raised by hand in its StatusObject, FakeDialogs answers the boxes.
#include "frontend/core/daemonlink.h"
#include "frontend/core/flashworkflow.h"
#include "tests/frontend/fakedialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <utility>

using namespace frontend;
using Control = FlashWorkflow::Control;
using Controls = FlashWorkflow::Controls;
using Stage = FlashWorkflow::Stage;
using Failure = FlashWorkflow::Failure;

namespace {

const QString kPort = QStringLiteral("/dev/ttyVB0");
const QString kBoard = QStringLiteral("VB-1234 virtual board");
const QString kImage = QStringLiteral("/data/vb1234.hex");

// Stands in for SystemMgr: holds the mailbox and writes down each request.
class RecordingLink : public DaemonLink
{
public:
    StatusObject &status() override { return so; }
    bool publish(const QString &topic, const QString &payload) override
    {
        sent << topic + QLatin1Char(' ') + payload;
        return true;
    }
    void startConnection(const QString &host, int port) override
    {
        sent << QStringLiteral("connect %1:%2").arg(host).arg(port);
    }
    bool sendSerialSetup(const PortSettings &s) override
    {
        sent << QStringLiteral("setup %1 %2").arg(s.portName).arg(s.baudRate);
        return true;
    }
    bool sendBoardConfigs(const BoardConf &c) override
    {
        sent << QStringLiteral("configs %1 %2 %3 %4 %5 %6 %7")
                    .arg(c.startFlash)
                    .arg(c.startProgr)
                    .arg(c.sizeFlash)
                    .arg(c.sizeProgr)
                    .arg(c.maxErase)
                    .arg(c.padding)
                    .arg(c.idPosition);
        return true;
    }
    bool requestRefresh() override
    {
        sent << QStringLiteral("refresh");
        return true;
    }
    bool requestBoardUpdate(bool eraseAll) override
    {
        sent << QStringLiteral("update eraseAll=%1").arg(int(eraseAll));
        return true;
    }
    SystemMgr::SendResult sendImageFile(const QString &path) override
    {
        sent << QStringLiteral("image ") + path;
        return imageResult;
    }

    // What was sent since the last look.
    QStringList take() { return std::exchange(sent, {}); }

    StatusObject so;
    QStringList sent;
    SystemMgr::SendResult imageResult = SystemMgr::SendResult::Sent;
};

// What a window would show.
struct Screen
{
    explicit Screen(FlashWorkflow &w)
    {
        QObject::connect(&w, &FlashWorkflow::statusMessage, &context,
                         [this](const QString &text) { messages << text; });
        QObject::connect(&w, &FlashWorkflow::connectionText, &context,
                         [this](const QString &text) { connection = text; });
        QObject::connect(&w, &FlashWorkflow::controlsChanged, &context,
                         [this](Controls c) { controls = c; });
        QObject::connect(&w, &FlashWorkflow::progressChanged, &context,
                         [this](int percent) { progress << percent; });
        QObject::connect(&w, &FlashWorkflow::imagePathChanged, &context,
                         [this](const QString &path) { imagePath = path; });
        QObject::connect(&w, &FlashWorkflow::imageBoardChanged, &context,
                         [this](const QString &name) { imageBoard = name; });
        QObject::connect(&w, &FlashWorkflow::stageChanged, &context,
                         [this](Stage s) { stages << s; });
        QObject::connect(&w, &FlashWorkflow::failed, &context,
                         [this](Failure f, const QString &detail) {
                             failures << f;
                             failureDetails << detail;
                         });
        QObject::connect(&w, &FlashWorkflow::daemonAnswered, &context, [this] { ++pongs; });
        QObject::connect(&w, &FlashWorkflow::updateFinished, &context,
                         [this](bool ok) { finished << ok; });
        controls = w.enabledControls();
    }
    QString status() const { return messages.isEmpty() ? QString() : messages.constLast(); }

    QObject context; // ends the connections with the screen
    QStringList messages;
    QString connection;
    Controls controls;
    QList<int> progress;
    QString imagePath;
    QString imageBoard;
    QList<Stage> stages;
    QList<bool> finished;
    QList<Failure> failures;
    QStringList failureDetails;
    int pongs = 0;
};

const Controls kIdle = Control::Connect | Control::Configure | Control::Quit;
const Controls kBoardConnected =
    Control::Disconnect | Control::Quit | Control::OpenFile | Control::ExitBoot;
const Controls kImageAccepted =
    kBoardConnected | Control::Update | Control::EraseAll | Control::ImageInfo;

} // namespace

class TstFlashWorkflow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_configs;
    std::unique_ptr<RecordingLink> m_link;
    std::unique_ptr<FlashWorkflow> m_flow;
    std::unique_ptr<Screen> m_screen;

    StatusObject &so() { return m_link->so; }

    void writeConfig(const QString &id, const QByteArray &content)
    {
        QFile file(m_configs.filePath(QStringLiteral("config-id-%1.ini").arg(id)));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    // Connect, port opened, the board reports `id`.
    void reachId(const QString &id)
    {
        m_flow->openSerialPort();
        so().serialOpened = true;
        m_flow->statusReady();
        so().m_BoardConf.id = id;
        so().idReceived = true;
        m_flow->statusReady();
    }
    void reachImageAccepted()
    {
        reachId(QStringLiteral("0x1234"));
        m_link->imageResult = SystemMgr::SendResult::Sent;
        m_flow->sendImageFile(kImage);
        so().flashReplied = so().flashAccepted = true;
        m_flow->statusReady();
        QCOMPARE(m_flow->stage(), Stage::ImageAccepted);
    }
    void progress(int percent)
    {
        so().updatePercent = percent;
        so().percReceived = true;
        m_flow->statusReady();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_configs.isValid());
        writeConfig(QStringLiteral("0x1234"), "[configs]\nname=VB-1234 virtual board\n"
                                              "start-flash=0\nstart-progr=800\nsize-flash=64\n"
                                              "size-progr=62\nmax-erase=-1\npadding=FF\n"
                                              "id-position=1\nrefresh=true\n");
    }

    void init()
    {
        m_link = std::make_unique<RecordingLink>();
        so().portSettings.portName = kPort;
        so().brokerHost = QStringLiteral("10.0.0.7");
        so().brokerPort = 1884;
        m_flow = std::make_unique<FlashWorkflow>(*m_link);
        m_flow->setBoardConfigFolder(m_configs.path() + QLatin1Char('/'));
        m_screen = std::make_unique<Screen>(*m_flow);
    }
    void cleanup()
    {
        m_screen.reset();
        m_flow.reset();
        m_link.reset();
    }

    void normalOrder()
    {
        FakeDialogs dialogs;
        Screen &screen = *m_screen;
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QCOMPARE(m_flow->stage(), Stage::Idle);

        m_flow->openSerialPort();
        QCOMPARE(m_link->take(), (QStringList{"setup /dev/ttyVB0 9600", "REQUEST/SERIAL OPEN"}));
        QCOMPARE(screen.messages, QStringList{QString()}); // cleared
        QCOMPARE(screen.connection, "Open Port: " + kPort);

        so().serialOpened = true;
        m_flow->statusReady();
        QVERIFY(!so().serialOpened);
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL/READ/ID  "});
        QCOMPARE(screen.connection, "Connected to Port: " + kPort);

        so().m_BoardConf.id = QStringLiteral("0x1234");
        so().idReceived = true;
        screen.messages.clear();
        m_flow->statusReady();
        QVERIFY(!so().idReceived);
        QCOMPARE(m_link->take(),
                 (QStringList{"configs 0 2048 64 62 -1 255 1", "refresh"})); // values in decimal
        QCOMPARE(screen.messages, (QStringList{"Check configuration file for Board: 0x1234.",
                                               "Connected to Port: " + kPort}));
        QCOMPARE(screen.connection, "Connected with board: " + kBoard);
        QCOMPARE(screen.controls, kBoardConnected);

        dialogs.files << kImage;
        m_flow->openFile();
        QCOMPARE(dialogs.filters, QStringList{"Hex files (*.hex)"});
        QCOMPARE(screen.imagePath, kImage);
        QCOMPARE(m_link->take(), QStringList{"image " + kImage});
        QCOMPARE(screen.status(), QStringLiteral("File loading..."));

        so().flashReplied = so().flashAccepted = true;
        m_flow->statusReady();
        QVERIFY(!so().flashReplied && !so().flashAccepted);
        QCOMPARE(screen.controls, kImageAccepted);
        QCOMPARE(screen.imageBoard, kBoard);
        QCOMPARE(screen.status(), QStringLiteral("File loaded: Ok."));

        m_flow->startUpdate(true);
        QCOMPARE(m_link->take(), QStringList{"update eraseAll=1"});
        QCOMPARE(screen.status(), QStringLiteral("Update started."));

        progress(0);
        progress(40);
        QCOMPARE(screen.progress, (QList<int>{0, 40}));
        QCOMPARE(screen.controls, Controls(Control::ImageInfo | Control::Progress));

        // The box comes first; the boot loader is left only once it is closed.
        QStringList sentBeforeBox;
        dialogs.onBox = [&](const FakeDialogs::Box &) { sentBeforeBox = m_link->sent; };
        so().updateDone = true;
        m_flow->statusReady();
        QVERIFY(!so().updateDone);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Information);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Flashing"));
        QCOMPARE(dialogs.boxes.at(0).text, QStringLiteral("Update completed successfully."));
        QCOMPARE(sentBeforeBox, QStringList{"refresh"});
        QCOMPARE(m_link->take(),
                 (QStringList{"refresh", "REQUEST/BOARD/BOOTOFF  ", "REQUEST/SERIAL CLOSE"}));
        QCOMPARE(screen.progress.constLast(), 0);
        QCOMPARE(screen.status(), QStringLiteral("Update completed successfully."));
        QCOMPARE(screen.connection, QStringLiteral("Disconnected"));
        QVERIFY(screen.imagePath.isEmpty());
        QVERIFY(screen.imageBoard.isEmpty());
        QCOMPARE(screen.controls, kIdle);
        QCOMPARE(screen.finished, QList<bool>{true});
        QCOMPARE(screen.stages, (QList<Stage>{Stage::Opening, Stage::ReadingId,
                                              Stage::BoardConnected, Stage::ImageSent,
                                              Stage::ImageAccepted, Stage::Updating, Stage::Idle}));
    }

    void connectFailures_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("boxKind");
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("connection");
        QTest::addColumn<bool>("portClosed");
        QTest::addColumn<Stage>("stage");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<QString>("detail");

        const auto critical = int(UserDialogs::Kind::Critical);
        const auto warning = int(UserDialogs::Kind::Warning);
        const QString onPort = "Connected to Port: " + kPort;
        QTest::newRow("daemon error") << "error" << QString() << critical << "Error"
                                      << "Can't open /dev/ttyVB0"
                                      << "Open error."
                                      << "Open Port: " + kPort << false << Stage::Idle
                                      << Failure::PortError << "Can't open /dev/ttyVB0";
        QTest::newRow("id above 16 bits") << "id"
                                          << "0x10000" << critical << "Error"
                                          << "COM incorrect. Choose another serial port."
                                          << "Open error." << onPort << false << Stage::PortOpen
                                          << Failure::BoardIdOutOfRange << "0x10000";
        QTest::newRow("no configuration")
            << "id"
            << "0x3456" << warning << "Warning"
            << "Error loading configuration file for Board: 0x3456.\r\n Try to update the software"
            << "Failed control of the configuration file for the Board: 0x3456." << onPort << false
            << Stage::PortOpen << Failure::NoBoardConfig << "0x3456";
        QTest::newRow("id unreadable")
            << "idError" << QString() << warning << "Warning"
            << "Error when connecting to the board."
            << "Error when connecting to the board."
            << "Disconnected" << true << Stage::Idle << Failure::BoardIdUnread << QString();
    }

    void connectFailures()
    {
        QFETCH(QString, reply);
        QFETCH(QString, id);
        QFETCH(int, boxKind);
        QFETCH(QString, boxTitle);
        QFETCH(QString, boxText);
        QFETCH(QString, status);
        QFETCH(QString, connection);
        QFETCH(bool, portClosed);
        QFETCH(Stage, stage);
        QFETCH(Failure, failure);
        QFETCH(QString, detail);
        FakeDialogs dialogs;

        m_flow->openSerialPort();
        if (reply == QLatin1String("error")) {
            so().errorText = boxText;
            so().serialError = true;
            m_flow->statusReady();
            QVERIFY(!so().serialError);
        } else {
            so().serialOpened = true;
            m_flow->statusReady();
            if (reply == QLatin1String("idError")) {
                so().idError = true;
            } else {
                so().m_BoardConf.id = id;
                so().idReceived = true;
            }
            m_flow->statusReady();
            QVERIFY(!so().idError && !so().idReceived);
        }

        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(int(dialogs.boxes.at(0).kind), boxKind);
        QCOMPARE(dialogs.boxes.at(0).title, boxTitle);
        QCOMPARE(dialogs.boxes.at(0).text, boxText);
        QCOMPARE(m_screen->status(), status);
        QCOMPARE(m_screen->connection, connection);
        QCOMPARE(m_flow->stage(), stage);
        QCOMPARE(m_screen->failures, QList<Failure>{failure});
        QCOMPARE(m_screen->failureDetails, QStringList{detail});
        const QStringList sent = m_link->take();
        QCOMPARE(sent.constLast() == QLatin1String("REQUEST/SERIAL CLOSE"), portClosed);
        QVERIFY(!sent.join(QLatin1Char('\n')).contains(QLatin1String("configs")));
        // Nothing to flash; a new Connect is the way on.
        QCOMPARE(m_flow->enabledControls(), kIdle);
    }

    void imageNotTaken()
    {
        FakeDialogs dialogs;
        reachId(QStringLiteral("0x1234"));
        m_link->take();

        // The daemon refuses the file: the status first, then the box.
        m_flow->sendImageFile(kImage);
        QString statusAtBox;
        dialogs.onBox = [&](const FakeDialogs::Box &) { statusAtBox = m_screen->status(); };
        so().flashReplied = true;
        so().flashAccepted = false;
        m_flow->statusReady();
        QCOMPARE(dialogs.texts(), QStringList{"File wrong."});
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QCOMPARE(statusAtBox, QStringLiteral("File loaded: Error file wrong."));
        QCOMPARE(m_flow->enabledControls(), kBoardConnected);
        QCOMPARE(m_flow->stage(), Stage::BoardConnected);

        // A file that failed its own checks: its box was shown by the loader.
        m_link->imageResult = SystemMgr::SendResult::NotLoaded;
        m_flow->sendImageFile(kImage);
        QCOMPARE(m_screen->status(), QStringLiteral("File loading..."));
        QCOMPARE(m_flow->stage(), Stage::BoardConnected);

        // One the transport would not carry never gets an answer.
        m_link->imageResult = SystemMgr::SendResult::Refused;
        m_flow->sendImageFile(kImage);
        QCOMPARE(m_screen->status(), QStringLiteral("File loaded: Error file not sent."));
        QCOMPARE(m_flow->stage(), Stage::BoardConnected);
        QCOMPARE(m_screen->failures, (QList<Failure>{Failure::ImageRefused, Failure::ImageNotLoaded,
                                                     Failure::ImageNotSent}));

        // Cancelling the file dialog sends nothing and says nothing.
        m_link->take();
        const int messages = int(m_screen->messages.size());
        m_flow->openFile();
        QVERIFY(m_link->sent.isEmpty());
        QCOMPARE(m_screen->messages.size(), messages);
    }

    void progressLocksUntilTheResult()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        m_flow->startUpdate(false);
        QCOMPARE(m_link->take().constLast(), QStringLiteral("update eraseAll=0"));

        progress(100); // the last word before the result: the bar stays
        QVERIFY(m_screen->progress.isEmpty());
        QCOMPARE(m_flow->enabledControls(), kImageAccepted);
        progress(99);
        QCOMPARE(m_screen->progress, QList<int>{99});
        for (Control locked : {Control::Disconnect, Control::Quit, Control::Update,
                               Control::OpenFile, Control::EraseAll, Control::ExitBoot})
            QVERIFY(!m_flow->isEnabled(locked));
        QVERIFY(m_flow->isEnabled(Control::Progress));
        progress(100);
        QCOMPARE(m_screen->progress, QList<int>{99});
        QVERIFY(!so().percReceived);
    }

    void failedUpdate()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        m_flow->startUpdate(true);
        progress(30);
        m_link->take();

        QStringList sentBeforeBox;
        dialogs.onBox = [&](const FakeDialogs::Box &) { sentBeforeBox = m_link->sent; };
        so().updateFailed = true;
        m_flow->statusReady();
        QVERIFY(!so().updateFailed);
        QCOMPARE(dialogs.texts(), QStringList{"Failed Update."});
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QCOMPARE(sentBeforeBox, QStringList{"refresh"});
        QCOMPARE(m_link->take(), (QStringList{"refresh", "REQUEST/SERIAL CLOSE"})); // no BOOTOFF
        QCOMPARE(m_screen->progress, (QList<int>{30, 0}));
        QCOMPARE(m_screen->status(), QStringLiteral("Failed Update."));
        QCOMPARE(m_screen->connection, QStringLiteral("Disconnected"));
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QCOMPARE(m_flow->stage(), Stage::Idle);
        QCOMPARE(m_screen->finished, QList<bool>{false});
        QCOMPARE(m_screen->failures, QList<Failure>{Failure::UpdateFailed});
    }

    // A box runs the event loop: a reply arriving meanwhile is applied in a
    // nested call, which must not repeat the step that opened the box.
    void replyWhileBoxIsOpen()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        m_flow->startUpdate(true);
        m_flow->processSerialTimeout(); // a daemon check waits for its pong
        m_link->take();
        dialogs.onBox = [this](const FakeDialogs::Box &) {
            so().pongReceived = true;
            m_flow->statusReady();
        };
        so().updateDone = true;
        m_flow->statusReady();
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(m_link->take(),
                 (QStringList{"refresh", "REQUEST/BOARD/BOOTOFF  ", "REQUEST/SERIAL CLOSE"}));
        QVERIFY(!m_flow->daemonCheckPending());
        QVERIFY(!m_flow->serialTimer().isActive());
        QCOMPARE(m_screen->finished, QList<bool>{true});
    }

    void daemonCheck()
    {
        FakeDialogs dialogs;
        m_flow->start();
        QCOMPARE(m_link->take(), QStringList{"connect 10.0.0.7:1884"});
        QVERIFY(m_flow->serialTimer().isActive());
        QVERIFY(m_flow->serialTimer().isSingleShot());
        QCOMPARE(m_flow->serialTimer().interval(), FlashWorkflow::kDaemonCheckDelayMs);
        QVERIFY(!m_flow->daemonCheckPending());

        // The same on a short clock.
        m_flow->setDaemonCheckTimes(20, 30);
        m_flow->restartMqttConnection();
        QCOMPARE(m_link->take(), QStringList{"connect 10.0.0.7:1884"});
        QTRY_VERIFY(m_flow->daemonCheckPending());
        QCOMPARE(m_link->take(), (QStringList{"REQUEST/SERIAL/PING  ", "REQUEST/SERIAL/INFO  ",
                                              "REQUEST/SERIAL/VERSION  "}));
        QVERIFY(dialogs.boxes.isEmpty());

        // No pong in time: told once, and the check is over.
        const QString text = QStringLiteral("Unable to connect with serial daemon.");
        QTRY_COMPARE(dialogs.texts(), QStringList{text});
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Warning);
        QCOMPARE(m_screen->status(), text);
        QCOMPARE(m_screen->connection, text);
        QVERIFY(!m_flow->daemonCheckPending());
        QVERIFY(!m_flow->serialTimer().isActive());
        QCOMPARE(m_screen->failures, QList<Failure>{Failure::DaemonAbsent});
        QTest::qWait(100);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(m_link->take().isEmpty());

        // A new broker: connect there and ask again; the pong ends the check.
        so().brokerHost = QStringLiteral("127.0.0.1");
        m_flow->restartMqttConnection();
        QCOMPARE(m_link->take(), QStringList{"connect 127.0.0.1:1884"});
        QTRY_VERIFY(m_flow->daemonCheckPending());
        QCOMPARE(m_link->take().constFirst(), QStringLiteral("REQUEST/SERIAL/PING  "));
        so().pongReceived = true;
        m_flow->statusReady();
        QVERIFY(!so().pongReceived);
        QCOMPARE(m_screen->pongs, 1);
        QVERIFY(!m_flow->serialTimer().isActive());
        QVERIFY(!m_flow->daemonCheckPending());
        QTest::qWait(100);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(m_link->take().isEmpty());
    }

    // The texts are the window's: its Italian translation applies to them.
    void italianTexts()
    {
        FakeDialogs dialogs;
        QTranslator italian;
        const QString qm =
            qEnvironmentVariable("VELMO_STAGE_DIR") + "/translations/velmofrontend_it.qm";
        QVERIFY2(italian.load(qm), qPrintable(qm));
        QCoreApplication::installTranslator(&italian);
        reachId(QStringLiteral("0x1234"));
        const QString connection = m_screen->connection;
        m_flow->sendImageFile(kImage);
        so().flashReplied = true;
        m_flow->statusReady();
        QCoreApplication::removeTranslator(&italian);
        QCOMPARE(connection, QStringLiteral("Connesso con la scheda: ") + kBoard);
        QCOMPARE(dialogs.texts(), QStringList{"File errato."});
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error")); // titles stay English
    }

    void disconnectAnyTime()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        m_link->take();
        m_flow->closeSerialPort();
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL CLOSE"});
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QCOMPARE(m_flow->stage(), Stage::Idle);
        QVERIFY(m_screen->imageBoard.isEmpty());
        QCOMPARE(m_screen->connection, QStringLiteral("Disconnected"));

        // Leaving the boot loader closes the port too.
        reachImageAccepted();
        m_link->take();
        m_flow->exitBoot();
        QCOMPARE(m_link->take(), (QStringList{"REQUEST/BOARD/BOOTOFF  ", "REQUEST/SERIAL CLOSE"}));
        QVERIFY(dialogs.boxes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstFlashWorkflow)
#include "tst_flashworkflow.moc"
