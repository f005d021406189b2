// The connection and firmware-update workflow on its own: no window, no
// broker. A recording link stands in for SystemMgr, the replies are marks
// raised by hand in its StatusObject, FakeDialogs answers the boxes.
#include "common/instanceguard.h"
#include "frontend/base/daemonstart.h"
#include "frontend/core/daemonlink.h"
#include "frontend/core/flashworkflow.h"
#include "protocol/reports.h"
#include "protocol/topics.h"
#include "records/servicerecord.h"
#include "records/updaterecorder.h"
#include "tests/firmware/hexbuilder.h"
#include "tests/frontend/fakedialogs.h"

#include <QCryptographicHash>
#include <QDir>
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
// 62 KiB from 0x800 in 64-byte blocks.
constexpr int kTotalBlocks = 992;

// Stands in for SystemMgr: holds the mailbox and writes down each request.
class RecordingLink : public DaemonLink
{
public:
    StatusObject &status() override { return so; }
    bool publish(const QString &topic, const QString &payload) override
    {
        if (!accepting)
            return false;
        sent << topic + QLatin1Char(' ') + payload;
        return true;
    }
    void startConnection(const QString &host, int port) override
    {
        sent << QStringLiteral("connect %1:%2").arg(host).arg(port);
    }
    bool sendSerialSetup(const PortSettings &s) override
    {
        if (!accepting)
            return false;
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
        if (!updateTaken)
            return false;
        sent << QStringLiteral("update eraseAll=%1").arg(int(eraseAll));
        return true;
    }
    SystemMgr::SendResult sendImageFile(const QString &path) override
    {
        sent << QStringLiteral("image ") + path;
        return imageResult;
    }
    SystemMgr::SendResult sendImageBytes(const QString &path, const QByteArray &bytes) override
    {
        sentBytes = bytes;
        return sendImageFile(path);
    }
    bool brokerConnected() override { return broker; }
    QString brokerSocket() const override { return socket; }

    // What was sent since the last look.
    QStringList take() { return std::exchange(sent, {}); }

    StatusObject so;
    QString socket;
    QStringList sent;
    QByteArray sentBytes;
    SystemMgr::SendResult imageResult = SystemMgr::SendResult::Sent;
    bool broker = true;
    bool updateTaken = true;
    bool accepting = true; // false: the broker refuses every request
};

// An image for the VB-1234 layout, with `lines` in place of its records.
QByteArray image(quint16 boardId, const QList<QByteArray> &records)
{
    QList<QByteArray> lines{hexbuilder::idLine(boardId)};
    lines += records;
    lines << hexbuilder::endOfFile();
    return hexbuilder::file(lines);
}
QByteArray goodImage()
{
    return image(0x1234, {hexbuilder::dataRecord(0x0800, QByteArray(16, '\x5a')),
                          hexbuilder::dataRecord(0x0810, QByteArray(16, '\x33'))});
}

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
        QObject::connect(&w, &FlashWorkflow::progressBusy, &context,
                         [this](bool on) { busy << on; });
        QObject::connect(&w, &FlashWorkflow::progressStopped, &context,
                         [this](int percent, const QString &text) {
                             progress << percent;
                             stoppedText = text;
                         });
        QObject::connect(&w, &FlashWorkflow::settingsRequested, &context,
                         [this] { ++settingsRequests; });
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
    QList<bool> busy;
    QString stoppedText; // where a failed update stopped, as the bar says it
    int settingsRequests = 0;
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
// After a failed update: the bar stays readable at where it stopped.
const Controls kFailed = kIdle | Control::UpdateAgain | Control::Progress;

} // namespace

class TstFlashWorkflow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_configs;
    QTemporaryDir m_files;
    QString m_image; // a good image for the board 0x1234
    std::unique_ptr<RecordingLink> m_link;
    std::unique_ptr<FlashWorkflow> m_flow;
    std::unique_ptr<Screen> m_screen;

    StatusObject &so() { return m_link->so; }

    QString writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = m_files.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(content) != content.size())
            return QString();
        return path;
    }

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
        m_flow->sendImageFile(m_image);
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
        QVERIFY(m_files.isValid());
        m_image = writeFile(QStringLiteral("vb1234.hex"), goodImage());
        QVERIFY(!m_image.isEmpty());
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

    // The original exchange, as a front end that does not read back has it.
    void normalOrder()
    {
        FakeDialogs dialogs;
        Screen &screen = *m_screen;
        m_flow->setVerifyAfterWriting(false);
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
        QCOMPARE(screen.status(), QStringLiteral("Reading the board identifier…"));

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

        dialogs.files << m_image;
        m_flow->openFile();
        QCOMPARE(dialogs.filters, QStringList{"Hex files (*.hex)"});
        QCOMPARE(screen.imagePath, m_image);
        QCOMPARE(m_link->take(), QStringList{"image " + m_image});
        QCOMPARE(m_link->sentBytes, goodImage()); // checked, then sent as read
        QCOMPARE(screen.status(), QStringLiteral("File loading..."));

        so().flashReplied = so().flashAccepted = true;
        m_flow->statusReady();
        QVERIFY(!so().flashReplied && !so().flashAccepted);
        QCOMPARE(screen.controls, kImageAccepted);
        QCOMPARE(screen.imageBoard, kBoard);
        QCOMPARE(screen.status(), QStringLiteral("File loaded: Ok."));

        screen.messages.clear();
        m_flow->startUpdate(true);
        QCOMPARE(m_link->take(), QStringList{"update eraseAll=1"});
        QCOMPARE(screen.messages,
                 (QStringList{"Update started.", QStringLiteral("Erasing the board…")}));
        QVERIFY(m_flow->isUpdating());
        QCOMPARE(m_flow->updateProgress().totalBlocks(), kTotalBlocks);

        progress(0);
        progress(40);
        QCOMPARE(screen.progress, (QList<int>{0, 40}));
        QCOMPARE(screen.controls, Controls(Control::ImageInfo | Control::Progress));
        // 40 % is first reported at the 397th block of 992.
        QCOMPARE(screen.status(), QStringLiteral("Written 397 of 992 blocks."));

        // The box comes first; the boot loader is left only once it is closed.
        QStringList sentBeforeBox;
        dialogs.onBox = [&](const FakeDialogs::Box &) { sentBeforeBox = m_link->sent; };
        so().updateDone = true;
        m_flow->statusReady();
        QVERIFY(!so().updateDone);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Information);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Flashing"));
        // The fixed text first, then what was done.
        QCOMPARE(dialogs.boxes.at(0).text,
                 QStringLiteral("Update completed successfully.\n"
                                "Not verified: reading back after writing is turned off.\n\n"
                                "Board: 0x1234 (VB-1234 virtual board)\nFile: vb1234.hex\n"
                                "Blocks written: 992\nDuration: < 1 s"));
        QCOMPARE(sentBeforeBox, QStringList{"refresh"});
        QCOMPARE(m_link->take(),
                 (QStringList{"refresh", "REQUEST/BOARD/BOOTOFF  ", "REQUEST/SERIAL CLOSE"}));
        QCOMPARE(screen.progress.constLast(), 0);
        QCOMPARE(screen.status(), QStringLiteral("Update completed successfully."));
        QCOMPARE(screen.connection, QStringLiteral("Disconnected"));
        QVERIFY(!m_flow->isUpdating());
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
        // The fixed text first; what it means may follow on lines of its own.
        QCOMPARE(dialogs.boxes.at(0).text.section(QLatin1Char('\n'), 0, 0),
                 boxText.section(QLatin1Char('\n'), 0, 0));
        if (reply == QLatin1String("idError"))
            QVERIFY(dialogs.boxes.at(0).text.contains(
                QLatin1String("not powered, it is not in its boot loader, /dev/ttyVB0 is not the "
                              "board's port, or the cable")));
        else
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

        // The daemon refuses a file that passed the same check here: the
        // status first, then the box, which says what that means.
        m_flow->sendImageFile(m_image);
        QString statusAtBox;
        dialogs.onBox = [&](const FakeDialogs::Box &) { statusAtBox = m_screen->status(); };
        so().flashReplied = true;
        so().flashAccepted = false;
        m_flow->statusReady();
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        const QStringList lines = dialogs.boxes.at(0).text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("File wrong."));
        QVERIFY2(lines.at(1).contains(QLatin1String("changed or damaged")),
                 qPrintable(lines.at(1)));
        QCOMPARE(statusAtBox, QStringLiteral("File loaded: Error file wrong."));
        QCOMPARE(m_flow->enabledControls(), kBoardConnected);
        QCOMPARE(m_flow->stage(), Stage::BoardConnected);
        dialogs.onBox = nullptr;

        // One the transport would not carry never gets an answer.
        m_link->imageResult = SystemMgr::SendResult::Refused;
        m_flow->sendImageFile(m_image);
        QCOMPARE(m_screen->status(), QStringLiteral("File loaded: Error file not sent."));
        QVERIFY(m_screen->imagePath.isEmpty());
        QCOMPARE(m_flow->stage(), Stage::BoardConnected);
        QCOMPARE(m_screen->failures,
                 (QList<Failure>{Failure::ImageRefused, Failure::ImageNotSent}));

        // Cancelling the file dialog sends nothing and says nothing.
        m_link->take();
        const int messages = int(m_screen->messages.size());
        m_flow->openFile();
        QVERIFY(m_link->sent.isEmpty());
        QCOMPARE(m_screen->messages.size(), messages);
    }

    // Data the board's flash cannot hold does not stop the file: the status
    // bar and Hex File Info say what is not written.
    void dataOutsideTheFlashIsNoted()
    {
        FakeDialogs dialogs;
        QString info;
        QObject::connect(m_flow.get(), &FlashWorkflow::imageInfoChanged, &m_screen->context,
                         [&info](const QString &text) { info = text; });
        reachId(QStringLiteral("0x1234"));
        m_link->take();
        const QByteArray content =
            image(0x1234,
                  {hexbuilder::dataRecord(0x0800, QByteArray(32, 'c')),
                   hexbuilder::linearBase(0x00F0), hexbuilder::dataRecord(0, QByteArray(16, 'e'))});
        m_flow->sendImageFile(writeFile(QStringLiteral("eeprom.hex"), content));
        QVERIFY(dialogs.boxes.isEmpty());
        QCOMPARE(m_link->sentBytes, content);
        const QString note = QStringLiteral("16 bytes at 0xF00000\u20130xF0000F lie outside this "
                                            "board's flash and are not written");
        QCOMPARE(m_flow->imageNotes(), QStringList{note});
        QVERIFY(info.isEmpty()); // until the daemon takes it

        so().flashReplied = so().flashAccepted = true;
        m_flow->statusReady();
        QCOMPARE(m_screen->status(),
                 QStringLiteral("File loaded: Ok. Not written: 16 bytes outside this board's "
                                "flash."));
        const QStringList lines = info.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).contains(QString::fromLatin1(
                     QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex())),
                 qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("Programs 0x000800\u20130x00081F: 32 "
                                                       "bytes, 0.1 % of the program area")),
                 qPrintable(lines.at(1)));
        QCOMPARE(lines.at(2), note);
        m_flow->closeSerialPort();
        QVERIFY(info.isEmpty());
    }

    // A file refused before it is sent must not leave the image accepted
    // before armed: Update would write that one.
    void refusedFileDisarmsUpdate_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("status");
        QTest::addColumn<Failure>("failure");

        QTest::newRow("empty") << QByteArray() << "Error: File is empty.\n"
                               << "File not loaded: the file is empty." << Failure::ImageNotLoaded;
        QTest::newRow("unreadable")
            << QByteArray("-") << "Error: Unable to open file."
            << "File not loaded: the file cannot be read." << Failure::ImageNotLoaded;
        QByteArray badSum = hexbuilder::dataRecord(0x0810, QByteArray(16, '\0'));
        badSum.chop(2);
        badSum += "00"; // the sum is D8
        QTest::newRow("bad checksum")
            << image(0x1234, {hexbuilder::dataRecord(0x0800, QByteArray(16, 'a')), badSum})
            << "The file was not sent to the board:\nline 3: wrong record checksum."
            << "File not sent: line 3: wrong record checksum." << Failure::ImageCheckFailed;
        QTest::newRow("foreign board")
            << image(0x2345, {hexbuilder::dataRecord(0x1000, QByteArray(16, 'a'))})
            << "The file was not sent to the board:\nmade for board 0x2345, connected board "
               "is 0x1234."
            << "File not sent: made for board 0x2345, connected board is 0x1234."
            << Failure::ImageCheckFailed;
        // The box says where the data lies.
        QTest::newRow("only outside the flash")
            << image(0x1234, {hexbuilder::linearBase(1), hexbuilder::dataRecord(0, "abcd")})
            << "The file was not sent to the board:\nnothing to program for this board: the file "
               "holds no data for its program area (0x000800\u20130x00FFFF).\n4 bytes at "
               "0x010000\u20130x010003 lie outside this board's flash and are not written."
            << "File not sent: nothing to program for this board: the file holds no data for its "
               "program area (0x000800\u20130x00FFFF)."
            << Failure::ImageCheckFailed;
        // The daemon would drop it and say only that it cannot verify it.
        QTest::newRow("larger than any firmware")
            << QByteArray(protocol::payload::kMaxFlashFileBytes + 1024 * 1024, 'A')
            << "The file was not sent to the board:\nthe file has 65.0 MiB; firmware files are "
               "at most 64 MiB."
            << "File not sent: the file has 65.0 MiB; firmware files are at most 64 MiB."
            << Failure::ImageCheckFailed;
        QTest::newRow("no identifier line")
            << hexbuilder::file({hexbuilder::dataRecord(0x0800, "abcd"), hexbuilder::endOfFile()})
            << "The file was not sent to the board:\nline 1 is not a board identifier line "
               "(\"#\" and hexadecimal pairs)."
            << "File not sent: line 1 is not a board identifier line (\"#\" and hexadecimal "
               "pairs)."
            << Failure::ImageCheckFailed;
    }

    void refusedFileDisarmsUpdate()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, box);
        QFETCH(QString, status);
        QFETCH(Failure, failure);
        FakeDialogs dialogs;
        reachImageAccepted();
        QCOMPARE(m_flow->enabledControls(), kImageAccepted);
        m_link->take();

        QString path;
        if (content == "-")
            path = m_files.filePath(QStringLiteral("no-such.hex"));
        else
            path = writeFile(QStringLiteral("refused.hex"), content);
        QVERIFY(!path.isEmpty());
        dialogs.files << path;
        m_flow->openFile();

        QCOMPARE(dialogs.texts(), QStringList{box});
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error"));
        QCOMPARE(m_screen->status(), status);
        QVERIFY(m_screen->imagePath.isEmpty());
        QVERIFY(m_screen->imageBoard.isEmpty());
        QCOMPARE(m_flow->enabledControls(), kBoardConnected); // no Update, no Erase All
        QCOMPARE(m_flow->stage(), Stage::BoardConnected);
        QVERIFY(m_link->take().isEmpty()); // nothing reached the daemon
        QCOMPARE(m_screen->failures, QList<Failure>{failure});
        if (failure == Failure::ImageCheckFailed)
            QCOMPARE(m_screen->failureDetails.constFirst() + QLatin1Char('.'),
                     box.section(QLatin1Char('\n'), 1, 1));

        // A good file afterwards goes out and is armed by the daemon's answer.
        m_flow->sendImageFile(m_image);
        QCOMPARE(m_link->take(), QStringList{"image " + m_image});
        so().flashReplied = so().flashAccepted = true;
        m_flow->statusReady();
        QCOMPARE(m_flow->enabledControls(), kImageAccepted);
    }

    // A file sent without a known board (nothing to check against) is left
    // to the daemon.
    void uncheckedWithoutBoard()
    {
        FakeDialogs dialogs;
        const QString foreign =
            writeFile(QStringLiteral("foreign.hex"),
                      image(0x2345, {hexbuilder::dataRecord(0x1000, QByteArray(16, 'a'))}));
        m_flow->sendImageFile(foreign);
        QCOMPARE(m_link->take(), QStringList{"image " + foreign});
        QVERIFY(dialogs.boxes.isEmpty());
        so().flashReplied = true;
        m_flow->statusReady();
        QCOMPARE(dialogs.texts(), QStringList{"File wrong."}); // no claim about a check
    }

    void progressLocksUntilTheResult()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        m_flow->startUpdate(false);
        QCOMPARE(m_link->take().constLast(), QStringLiteral("update eraseAll=0"));
        // Locked from the request on: the erase gives no progress for
        // seconds, and the bar says it is busy meanwhile.
        QCOMPARE(m_flow->enabledControls(), Control::ImageInfo | Control::Progress);
        QCOMPARE(m_screen->status(), QStringLiteral("Erasing the board…"));
        QCOMPARE(m_screen->busy, QList<bool>{true});

        progress(100); // the last word before the result: the bar stays
        QVERIFY(m_screen->progress.isEmpty());
        QCOMPARE(m_flow->enabledControls(), Control::ImageInfo | Control::Progress);
        progress(99);
        QCOMPARE(m_screen->progress, QList<int>{99});
        QCOMPARE(m_screen->busy, (QList<bool>{true, false}));
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
        QString statusAtBox;
        dialogs.onBox = [&](const FakeDialogs::Box &) {
            sentBeforeBox = m_link->sent;
            statusAtBox = m_screen->status();
        };
        so().updateFailed = true;
        m_flow->statusReady();
        QVERIFY(!so().updateFailed);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        // Where it stopped, and nothing stale behind the box.
        const QString stopped = QStringLiteral("Stopped at block 298 of 992.");
        QVERIFY2(dialogs.boxes.at(0).text.startsWith("Failed Update.\n" + stopped +
                                                     "\nThe board is left without a complete "
                                                     "firmware."),
                 qPrintable(dialogs.boxes.at(0).text));
        QCOMPARE(statusAtBox, "Failed Update. " + stopped);
        QCOMPARE(sentBeforeBox, QStringList{"refresh"});
        QCOMPARE(m_link->take(), (QStringList{"refresh", "REQUEST/SERIAL CLOSE"})); // no BOOTOFF
        QCOMPARE(m_screen->progress, (QList<int>{30, 30}));
        QCOMPARE(m_screen->stoppedText, stopped);
        QCOMPARE(m_screen->status(), "Failed Update. " + stopped);
        QCOMPARE(m_screen->connection, QStringLiteral("Disconnected"));
        QCOMPARE(m_flow->enabledControls(), kFailed);
        QCOMPARE(m_flow->stage(), Stage::Idle);
        QCOMPARE(m_screen->finished, QList<bool>{false});
        QCOMPARE(m_screen->failures, QList<Failure>{Failure::UpdateFailed});
    }

    // After the writes the board is read back; only its result brings the
    // box, the boot loader's end and the close.
    void readBackAfterWriting_data()
    {
        QTest::addColumn<int>("reply");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("succeeded");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("verify");
        using V = records::VerifyResult;
        QTest::newRow("holds the file")
            << int(StatusObject::VerifyReply::Ok) << QString() << true
            << "The board was read back and holds the file." << int(V::Ok);
        QTest::newRow("cannot be read back")
            << int(StatusObject::VerifyReply::Unsupported)
            << "Step=verify Block=1 Blocks=992 Address=0x800 Cause=unreadable WaitedMs=1000 Tries=3"
            << true << "This board cannot be read back; not verified." << int(V::Unsupported);
        QTest::newRow("differs")
            << int(StatusObject::VerifyReply::Error)
            << "Step=verify Block=5 Blocks=992 Address=0x903 Cause=mismatch Tries=1 Differ=2"
            << false
            << "Read back: the board differs from the file from 0x000903 on; 2 of 992 blocks "
               "differ."
            << int(V::Mismatch);
        QTest::newRow("reads stop")
            << int(StatusObject::VerifyReply::Error)
            << "Step=verify Block=7 Blocks=992 Address=0x980 Cause=noanswer WaitedMs=1000 Tries=3"
            << false
            << "Reading back block 7 of 992 at 0x000980: the board did not answer within 1 s."
            << int(V::Failed);
    }

    void readBackAfterWriting()
    {
        QFETCH(int, reply);
        QFETCH(QString, reason);
        QFETCH(bool, succeeded);
        QFETCH(QString, line);
        QFETCH(int, verify);
        FakeDialogs dialogs;
        QVERIFY(m_flow->verifyAfterWriting());
        reachImageAccepted();
        m_flow->startUpdate(true);
        progress(50);
        m_link->take();
        so().updateRetries = 2;
        so().updateDone = true;
        m_flow->statusReady();
        // Written: the read-back is asked for, and nothing else yet.
        QCOMPARE(m_link->take(), QStringList{"REQUEST/BOARD/VERIFY  "});
        QCOMPARE(m_flow->stage(), Stage::Verifying);
        QVERIFY(dialogs.boxes.isEmpty());
        QVERIFY(m_flow->isUpdating());
        so().verifyPercent = 40;
        so().verifyPercReceived = true;
        m_flow->statusReady();
        QCOMPARE(m_screen->status(), QStringLiteral("Verifying block 397 of 992"));
        QCOMPARE(m_screen->progress.constLast(), 40);

        so().verifyReason = protocol::parseFailureReason(reason);
        so().verifyResult = StatusObject::VerifyReply(reply);
        so().verifyReplied = true;
        m_flow->statusReady();
        QCOMPARE(dialogs.boxes.size(), 1);
        const FakeDialogs::Box &box = dialogs.boxes.at(0);
        if (succeeded) {
            QCOMPARE(box.title, QStringLiteral("Flashing"));
            QVERIFY2(box.text.startsWith("Update completed successfully.\n" + line + "\n\n"),
                     qPrintable(box.text));
            QVERIFY(box.text.contains(QStringLiteral("Retries after damaged answers: 2")));
            QCOMPARE(m_link->take(),
                     (QStringList{"refresh", "REQUEST/BOARD/BOOTOFF  ", "REQUEST/SERIAL CLOSE"}));
            QCOMPARE(m_screen->status(), QStringLiteral("Update completed successfully."));
        } else {
            QCOMPARE(box.kind, UserDialogs::Kind::Critical);
            QVERIFY2(box.text.startsWith("Failed Update.\n" + line + "\nThe board is left"),
                     qPrintable(box.text));
            QCOMPARE(m_link->take(), (QStringList{"refresh", "REQUEST/SERIAL CLOSE"}));
            QCOMPARE(m_screen->status(), "Failed Update. " + line);
            QCOMPARE(m_screen->failures, QList<Failure>{Failure::VerifyFailed});
            QCOMPARE(m_screen->failureDetails, QStringList{line});
        }
        QCOMPARE(m_screen->finished, QList<bool>{succeeded});
        QCOMPARE(int(m_flow->lastSummary().verify), verify);
        QCOMPARE(m_flow->lastSummary().retries, 2);
        QCOMPARE(m_flow->stage(), Stage::Idle);
    }

    // A daemon that does not know the read-back says nothing: the update
    // ends without it rather than waiting for ever.
    void readBackNeverAnswered()
    {
        FakeDialogs dialogs;
        m_flow->setVerifyStartTimeout(50);
        reachImageAccepted();
        m_flow->startUpdate(true);
        so().updateDone = true;
        m_flow->statusReady();
        QTRY_COMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes.at(0).text.startsWith(
            "Update completed successfully.\nThe read-back could not be completed; not "
            "verified."));
        QCOMPARE(m_screen->finished, QList<bool>{true});
    }

    // The daemon's reason is in the one box and the status bar.
    void failureWithItsReason()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        m_flow->startUpdate(true);
        progress(4);
        so().updateReason = protocol::parseFailureReason(
            "Step=write Block=49 Blocks=992 Address=0xc40 Cause=noanswer WaitedMs=5000 Tries=1");
        so().updateRetries = 0;
        so().updateFailed = true;
        m_flow->statusReady();
        const QString why =
            "Writing block 49 of 992 at 0x000C40: the board did not answer within 5 s.";
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes.at(0).text.startsWith("Failed Update.\n" + why + "\n"));
        QCOMPARE(m_screen->status(), "Failed Update. " + why);
        QCOMPARE(m_screen->failureDetails, QStringList{why});
        // No read-back after a failure.
        QVERIFY(!m_link->take().contains(QStringLiteral("REQUEST/BOARD/VERIFY  ")));
        // The next update does not inherit this one's reason.
        reachImageAccepted();
        m_flow->startUpdate(true);
        QVERIFY(!so().updateReason);
        QCOMPARE(so().updateRetries, -1);
    }

    // The daemon or the broker goes away while the board is written: a ping
    // after a quiet spell, then the update is given up, as after a failure.
    // Without the broker the ping never left: nobody knows how the board
    // stands, and the box and the record say so.
    void silenceDuringUpdate_data()
    {
        QTest::addColumn<bool>("broker");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("advice");
        QTest::addColumn<Failure>("failure");
        QTest::addColumn<records::RecordState>("record");
        QTest::newRow("daemon gone")
            << true << "The serial daemon stopped answering during the update."
            << "Stopped at block 100 of 992."
            << "The board is left without a complete firmware." << Failure::DaemonLost
            << records::RecordState::DaemonLost;
        // Nothing says the daemon stopped: it may well have gone on.
        QTest::newRow("broker gone")
            << false << "The connection to the message broker was lost during the update."
            << "The daemon was last heard from at block 100 of 992."
            << "The serial daemon may have finished the update or may have stopped: the state "
               "of the board is unknown."
            << Failure::BrokerLost << records::RecordState::BrokerLost;
    }

    void silenceDuringUpdate()
    {
        QFETCH(bool, broker);
        QFETCH(QString, reason);
        QFETCH(QString, where);
        QFETCH(QString, advice);
        QFETCH(Failure, failure);
        QFETCH(records::RecordState, record);
        FakeDialogs dialogs;
        const QString db = m_files.filePath(QStringLiteral("silence-%1.sqlite").arg(broker));
        records::UpdateRecorder recorder(QStringLiteral("test"), db);
        m_flow->setRecorder(&recorder);
        m_flow->setUpdateWatchTimes(150, 150, 60000);
        reachImageAccepted();
        m_flow->startUpdate(true);
        progress(10);
        m_link->take();

        // Replies keep it going, whatever they are.
        for (int i = 0; i < 4; ++i) {
            QTest::qWait(75);
            so().serialVersion = QStringLiteral("0.27");
            m_flow->statusReady();
        }
        QVERIFY(m_link->take().isEmpty());
        QVERIFY(m_flow->isUpdating());

        // Quiet: a ping, and its answer keeps the update.
        QTRY_VERIFY(!m_link->sent.isEmpty());
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL/PING  "});
        so().pongReceived = true;
        m_flow->statusReady();
        QVERIFY(m_flow->isUpdating());

        // Quiet again, no answer this time.
        m_link->broker = broker;
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY(!dialogs.boxes.isEmpty());
        QVERIFY(clock.elapsed() >= 250);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        const QStringList lines = dialogs.boxes.at(0).text.split(QLatin1Char('\n'));
        QCOMPARE(lines.at(0), reason);
        QCOMPARE(lines.at(1), where);
        QVERIFY2(lines.at(2).startsWith(advice), qPrintable(lines.at(2)));
        QCOMPARE(m_link->take(),
                 (QStringList{"REQUEST/SERIAL/PING  ", "refresh", "REQUEST/SERIAL CLOSE"}));
        QCOMPARE(m_screen->failures, QList<Failure>{failure});
        QCOMPARE(m_screen->failureDetails, QStringList{reason});
        QCOMPARE(m_screen->status(), reason + ' ' + where);
        QCOMPARE(m_screen->connection, QStringLiteral("Disconnected"));
        QCOMPARE(m_screen->progress.constLast(), 10);
        QCOMPARE(m_flow->enabledControls(), kFailed);
        m_flow->setRecorder(nullptr);
        records::ServiceRecord store;
        QVERIFY(store.open(db));
        const QList<records::UpdateRecord> all = store.query();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.at(0).state, record);
        QCOMPARE(all.at(0).errorText, reason + ' ' + where);
        QCOMPARE(m_screen->finished, QList<bool>{false});
        QVERIFY(!m_flow->isUpdating());
        QVERIFY(m_flow->confirmClose());

        // Nothing more once given up.
        QTest::qWait(400);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(m_link->take().isEmpty());
    }

    // The watch ends with the update: the result box may stay open for long.
    void noWatchAfterTheResult()
    {
        FakeDialogs dialogs;
        m_flow->setUpdateWatchTimes(50, 50, 100);
        m_flow->setVerifyAfterWriting(false);
        reachImageAccepted();
        m_flow->startUpdate(true);
        progress(50);
        dialogs.onBox = [](const FakeDialogs::Box &) { QTest::qWait(400); };
        so().updateDone = true;
        m_flow->statusReady();
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(!m_link->take().contains(QStringLiteral("REQUEST/SERIAL/PING  ")));
        QCOMPARE(m_screen->failures, QList<Failure>{});
    }

    // The daemon says nothing at all to an update it cannot serve; the
    // controls locked at the request must not stay locked for that.
    void updateThatNeverStarts()
    {
        FakeDialogs dialogs;
        m_flow->setUpdateWatchTimes(50, 10000, 100);
        reachImageAccepted();
        m_link->take();
        m_flow->startUpdate(true);
        // Pongs keep the watch content, not the start.
        QTRY_VERIFY(m_link->sent.contains(QStringLiteral("REQUEST/SERIAL/PING  ")));
        so().pongReceived = true;
        m_flow->statusReady();
        // 100 ms and 50 ms for each of the 10 blocks before 1 %.
        QTRY_COMPARE_WITH_TIMEOUT(m_screen->failures, QList<Failure>{Failure::UpdateNotStarted},
                                  3000);
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes.at(0).text.startsWith(
            QLatin1String("The serial daemon did not start the update.\nConnect again")));
        // Nothing was written: the bar has nowhere to stop.
        QCOMPARE(m_flow->enabledControls(), kIdle | Control::UpdateAgain);
        QCOMPARE(m_screen->progress.constLast(), 0);
        QCOMPARE(m_link->take().constLast(), QStringLiteral("REQUEST/SERIAL CLOSE"));

        // A request the broker did not take locks nothing.
        dialogs.boxes.clear();
        reachImageAccepted();
        m_link->updateTaken = false;
        m_flow->startUpdate(true);
        QCOMPARE(m_flow->enabledControls(), kImageAccepted);
        QVERIFY(!m_flow->isUpdating());
        QCOMPARE(dialogs.texts(),
                 QStringList{"The update request could not be sent to the serial daemon."});
        QCOMPARE(m_screen->failures.constLast(), Failure::UpdateNotStarted);
    }

    void closeAsksDuringAnUpdate()
    {
        FakeDialogs dialogs;
        QVERIFY(m_flow->confirmClose());
        reachImageAccepted();
        QVERIFY(m_flow->confirmClose());
        QVERIFY(dialogs.questions.isEmpty());

        m_flow->startUpdate(true); // asked from the request on, before any progress
        QVERIFY(!m_flow->confirmClose());
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(dialogs.questions.at(0).text,
                 QStringLiteral("An update is running. Closing now stops it and leaves the board "
                                "without a complete firmware. Close anyway?"));
        QCOMPARE(dialogs.questionDefaults, QList<UserDialogs::Answer>{UserDialogs::Answer::No});
        dialogs.answers << UserDialogs::Answer::Yes;
        QVERIFY(m_flow->confirmClose());

        progress(20);
        dialogs.answers << UserDialogs::Answer::No;
        QVERIFY(!m_flow->confirmClose());
        QVERIFY(m_flow->isUpdating());

        // The update ends while the user is asked: the question is taken
        // back and the window stays to show the result.
        dialogs.answers << UserDialogs::Answer::Yes;
        dialogs.onQuestion = [this](const FakeDialogs::Box &) {
            so().updateFailed = true;
            m_flow->statusReady();
        };
        QVERIFY(!m_flow->confirmClose());
        QCOMPARE(dialogs.withdrawnQuestions, 1);
        QCOMPARE(dialogs.texts().size(), 1); // the result's box
        dialogs.onQuestion = nullptr;

        QVERIFY(m_flow->confirmClose());
        QCOMPARE(dialogs.questions.size(), 4);
        QCOMPARE(dialogs.withdrawnQuestions, 1);
    }

    // What the status bar says about the connection goes with it; what it
    // says about how something ended stays.
    void disconnectClearsConnectionState()
    {
        FakeDialogs dialogs;
        reachId(QStringLiteral("0x1234"));
        QCOMPARE(m_screen->status(), "Connected to Port: " + kPort);
        m_flow->closeSerialPort();
        QCOMPARE(m_screen->status(), QString());
        QCOMPARE(m_screen->connection, QStringLiteral("Disconnected"));

        reachImageAccepted();
        QCOMPARE(m_screen->status(), QStringLiteral("File loaded: Ok."));
        m_flow->exitBoot();
        QCOMPARE(m_screen->status(), QString());

        m_flow->openSerialPort();
        so().serialOpened = true;
        m_flow->statusReady();
        so().idError = true;
        m_flow->statusReady();
        QCOMPARE(m_screen->status(), QStringLiteral("Error when connecting to the board."));
    }

    // The daemon's text stays; a hint by its error code follows.
    void portErrorWithHint()
    {
        FakeDialogs dialogs;
        const QString missing = m_files.filePath(QStringLiteral("ttyGone0"));
        so().portSettings.portName = missing;
        m_flow->openSerialPort();
        so().errorText = QStringLiteral("Can't open %1, error code 1").arg(missing);
        so().serialError = true;
        m_flow->statusReady();
        QCOMPARE(dialogs.boxes.size(), 1);
        const QString text = dialogs.boxes.at(0).text;
        QVERIFY2(text.startsWith(so().errorText + QStringLiteral("\n\n") + missing +
                                 QStringLiteral(" does not exist.")),
                 qPrintable(text));
        QCOMPARE(m_screen->failureDetails, QStringList{so().errorText});
        QCOMPARE(m_screen->status(), QStringLiteral("Open error."));
    }

    // The adapter pulled while a board is connected: the daemon has closed
    // the port, and the window must not offer Update on it.
    void portLostWhileConnected()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        m_link->take();
        so().errorText = QStringLiteral("Serial port %1 was disconnected").arg(kPort);
        so().serialError = true;
        m_flow->statusReady();
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes.at(0).text.contains(QLatin1String("unplugged")));
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QCOMPARE(m_screen->connection, QStringLiteral("Disconnected"));
        QCOMPARE(m_screen->status(), QStringLiteral("Open error."));
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL CLOSE"});
    }

    // A box runs the event loop: a reply arriving meanwhile is applied in a
    // nested call, which must not repeat the step that opened the box.
    void replyWhileBoxIsOpen()
    {
        FakeDialogs dialogs;
        m_flow->setVerifyAfterWriting(false);
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
        m_flow->sendImageFile(m_image);
        so().flashReplied = true;
        m_flow->statusReady();
        m_flow->startUpdate(true);
        const QString erasing = m_screen->status();
        const bool asked = !m_flow->confirmClose();
        const QString reason = UpdateReport::failureReason(*protocol::parseFailureReason(
            "Step=write Block=3 Blocks=992 Address=0x880 Cause=damaged Tries=3"));
        QCoreApplication::removeTranslator(&italian);
        QCOMPARE(reason, QStringLiteral("Scrittura del blocco 3 di 992 a 0x000880: le risposte "
                                        "della scheda sono arrivate danneggiate 3 volte di "
                                        "seguito."));
        QCOMPARE(connection, QStringLiteral("Connesso con la scheda: ") + kBoard);
        QCOMPARE(dialogs.texts().constFirst().section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("File errato."));
        QVERIFY(dialogs.texts().constFirst().contains(QLatin1String("daemon seriale")));
        QCOMPARE(erasing, QStringLiteral("Cancellazione della scheda…"));
        QVERIFY(asked);
        QVERIFY(dialogs.questions.at(0).text.startsWith(QStringLiteral("È in corso")));
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error")); // titles stay English
    }

    // The adapter pulled during the update: the daemon says the port went
    // away, then ends the update (or, with nothing to end, says no more).
    // One box names the port and where it stopped; the record says so.
    void portLostDuringUpdate_data()
    {
        QTest::addColumn<bool>("portError"); // "SERIAL/ERROR" comes first
        QTest::addColumn<QString>("reason"); // "SERIAL/BOARD/UPDATE/REASON"
        QTest::addColumn<bool>("daemonEnds");
        QTest::addColumn<QString>("stopped"); // the daemon's reason, else the progress
        const QString at298 = QStringLiteral("Stopped at block 298 of 992.");
        QTest::newRow("error, then the end") << true << QString() << true << at298;
        QTest::newRow("the daemon's reason")
            << false << "Step=write Block=299 Blocks=992 Address=0x5280 Cause=portlost" << true
            << "Writing block 299 of 992 at 0x005280: the serial port was lost.";
        QTest::newRow("no end comes") << true << QString() << false << at298;
        QTest::newRow("while reading back")
            << true << "Step=verify Block=5 Blocks=992 Address=0x900 Cause=portlost" << true
            << "Reading back block 5 of 992 at 0x000900: the serial port was lost.";
    }
    void portLostDuringUpdate()
    {
        QFETCH(bool, portError);
        QFETCH(QString, reason);
        QFETCH(bool, daemonEnds);
        QFETCH(QString, stopped);
        FakeDialogs dialogs;
        const QString db =
            m_files.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".sqlite");
        records::UpdateRecorder recorder(QStringLiteral("test"), db);
        m_flow->setRecorder(&recorder);
        reachImageAccepted();
        m_flow->startUpdate(true);
        progress(30);
        const bool readingBack = reason.startsWith(QLatin1String("Step=verify"));
        if (readingBack) {
            so().updateDone = true;
            m_flow->statusReady();
            QCOMPARE(m_flow->stage(), Stage::Verifying);
        }
        const QString lostText = "Serial port " + kPort + " was disconnected";
        if (portError) {
            so().errorText = lostText;
            so().serialError = true;
            m_flow->statusReady();
            QVERIFY(dialogs.boxes.isEmpty()); // the update's end says it all
            QVERIFY(m_flow->isUpdating());
        }
        if (readingBack) {
            so().verifyReason = protocol::parseFailureReason(reason);
            so().verifyResult = StatusObject::VerifyReply::Error;
            so().verifyReplied = true;
            m_flow->statusReady();
        } else if (!reason.isEmpty()) {
            so().updateReason = protocol::parseFailureReason(reason);
            m_flow->statusReady();
        }
        if (daemonEnds && !readingBack) {
            so().updateFailed = true;
            m_flow->statusReady();
        }
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.boxes.size(), 1, FlashWorkflow::kPortLostWaitMs + 2000);
        const QStringList lines = dialogs.boxes.at(0).text.split(QLatin1Char('\n'));
        QCOMPARE(lines.at(0), QStringLiteral("Failed Update."));
        QCOMPARE(lines.at(1), "The port " + kPort +
                                  " went away: the USB adapter was unplugged, or its cable or "
                                  "power failed.");
        QCOMPARE(lines.at(2), stopped);
        QCOMPARE(m_screen->failures, QList<Failure>{Failure::PortLost});
        QCOMPARE(m_screen->status(), "Failed Update. The port " + kPort + " was lost. " + stopped);
        // The bar keeps where the writing stopped; a read-back is not such a place.
        QCOMPARE(m_flow->enabledControls(), readingBack ? kIdle | Control::UpdateAgain : kFailed);
        QCOMPARE(m_screen->finished, QList<bool>{false});

        // The daemon's end after the window's own is the same failure.
        if (!daemonEnds) {
            so().updateFailed = true;
            m_flow->statusReady();
            QCOMPARE(dialogs.boxes.size(), 1);
        }
        m_flow->setRecorder(nullptr);
        records::ServiceRecord store;
        QVERIFY(store.open(db));
        const QList<records::UpdateRecord> all = store.query();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.at(0).state, records::RecordState::PortLost);
        QVERIFY2(all.at(0).errorText.endsWith(stopped), qPrintable(all.at(0).errorText));
        QCOMPARE(all.at(0).verify,
                 readingBack ? records::VerifyResult::Failed : records::VerifyResult::None);
    }

    // Every request of a connection ends, answered or not: a message and
    // the controls open again. A late answer finds nothing to act on.
    void requestsTimeOut()
    {
        FakeDialogs dialogs;
        m_flow->setRequestTimes(80, 80, 80, 80);
        const auto lastBox = [&] { return dialogs.boxes.constLast().text; };

        m_flow->openSerialPort();
        QCOMPARE(m_link->take(), (QStringList{"setup " + kPort + " 9600", "REQUEST/SERIAL OPEN"}));
        QTRY_COMPARE(dialogs.boxes.size(), 1);
        QVERIFY2(lastBox().startsWith("The serial daemon did not answer the request to open " +
                                      kPort + " within 0 s.\nThe serial daemon may have stopped."),
                 qPrintable(lastBox()));
        QCOMPARE(m_flow->stage(), Stage::Idle);
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL CLOSE"});
        so().serialOpened = true; // too late
        m_flow->statusReady();
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL CLOSE"});
        QCOMPARE(m_flow->stage(), Stage::Idle);

        m_flow->openSerialPort();
        so().serialOpened = true;
        m_flow->statusReady();
        QTRY_COMPARE(dialogs.boxes.size(), 2);
        QVERIFY(lastBox().startsWith(
            QLatin1String("The serial daemon did not report the board identifier within")));
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QCOMPARE(m_screen->connection, QStringLiteral("Disconnected"));

        reachId(QStringLiteral("0x1234"));
        m_flow->sendImageFile(m_image);
        QCOMPARE(m_flow->stage(), Stage::ImageSent);
        QTRY_COMPARE(dialogs.boxes.size(), 3);
        QVERIFY(lastBox().startsWith(
            QLatin1String("The serial daemon did not answer about the file within")));
        // Still connected: another file may be sent.
        QCOMPARE(m_flow->stage(), Stage::BoardConnected);
        QCOMPARE(m_flow->enabledControls(), kBoardConnected);
        QCOMPARE(m_screen->failures,
                 (QList<Failure>{Failure::NoAnswer, Failure::NoAnswer, Failure::NoAnswer}));

        // Without the broker nothing can be asked: said at once.
        m_flow->closeSerialPort();
        m_link->accepting = false;
        m_link->broker = false;
        m_flow->openSerialPort();
        QCOMPARE(dialogs.boxes.size(), 4);
        QCOMPARE(lastBox(), QStringLiteral("The request to open %1 could not be sent: the message "
                                           "broker at 10.0.0.7:1884 does not answer.\nCheck that "
                                           "the broker (mosquitto) runs, then connect again.")
                                .arg(kPort));
        QCOMPARE(m_flow->enabledControls(), kIdle);
    }

    // "Com=" would only earn "Can't open , error code 8".
    void connectWithoutPortAsksForOne()
    {
        FakeDialogs dialogs;
        so().portSettings.portName = QStringLiteral("  ");
        m_flow->openSerialPort();
        QVERIFY(m_link->take().isEmpty());
        QCOMPARE(m_screen->settingsRequests, 1);
        QVERIFY(dialogs.boxes.isEmpty());
        QCOMPARE(m_screen->status(), QStringLiteral("Choose the board's serial port first."));
        QCOMPARE(m_flow->stage(), Stage::Idle);
        QCOMPARE(m_screen->failures, QList<Failure>{Failure::NoPortChosen});
    }

    // Connect finds the daemon of the broker in use gone: it is started as
    // at start-up, for that broker, and the connection goes on once it
    // answers.
    void connectStartsAbsentDaemon()
    {
        FakeDialogs dialogs;
        const QString marker = m_files.filePath(QStringLiteral("started"));
        const QString program =
            writeFile(QStringLiteral("fake-daemon"),
                      QStringLiteral("#!/bin/sh\necho \"$VELMO_BROKER_SOCKET\" >> '%1'\n")
                          .arg(marker)
                          .toUtf8());
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(QDir(m_files.path()).mkpath(QStringLiteral("broker")));
        m_link->socket = m_files.filePath(QStringLiteral("broker/socket"));
        DaemonStart daemonStart(program);
        m_flow->setDaemonStart(&daemonStart);
        m_flow->setRequestTimes(5000, 5000, 5000, 300);

        m_flow->openSerialPort();
        QTRY_VERIFY(QFile::exists(marker));
        QCOMPARE(m_flow->stage(), Stage::Opening);
        QCOMPARE(m_screen->status(), QStringLiteral("Starting the serial daemon…"));
        QTRY_COMPARE(m_link->sent.count(QStringLiteral("REQUEST/SERIAL/PING  ")), 1);
        so().pongReceived = true;
        m_flow->statusReady();
        QCOMPARE(m_link->take(), (QStringList{"REQUEST/SERIAL/PING  ", "setup " + kPort + " 9600",
                                              "REQUEST/SERIAL OPEN"}));
        QVERIFY(dialogs.boxes.isEmpty());
        QFile started(marker);
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll().trimmed(), m_link->socket.toUtf8());

        // Started, and never answering.
        m_flow->closeSerialPort();
        m_link->take();
        m_flow->openSerialPort();
        QTRY_COMPARE(dialogs.boxes.size(), 1);
        QVERIFY2(dialogs.texts().constFirst().startsWith("The serial daemon started from " +
                                                         program + " did not answer within"),
                 qPrintable(dialogs.texts().constFirst()));
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QVERIFY(!m_link->take().contains("REQUEST/SERIAL OPEN"));

        // Nothing to start.
        daemonStart.setProgram(m_files.filePath(QStringLiteral("no-such-daemon")));
        m_flow->openSerialPort();
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes.at(1).title, QStringLiteral("Warning"));
        QVERIFY(dialogs.texts().constLast().startsWith(
            QLatin1String("Unable to connect with serial daemon.\n")));
        QCOMPARE(m_flow->enabledControls(), kIdle);
        QCOMPARE(m_screen->failures.constLast(), Failure::DaemonAbsent);

        // Running (it holds its broker's key) but not heard from since it
        // went quiet: its answer comes before the open, which it might miss.
        InstanceGuard daemonKey{QString(protocol::kDaemonInstanceKey),
                                m_files.filePath(QStringLiteral("broker"))};
        QVERIFY(daemonKey.tryAcquire());
        m_link->take();
        m_flow->openSerialPort();
        QCOMPARE(m_screen->status(), QStringLiteral("Waiting for the serial daemon…"));
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL/PING  "});
        so().pongReceived = true;
        m_flow->statusReady();
        QCOMPARE(m_link->take(), (QStringList{"setup " + kPort + " 9600", "REQUEST/SERIAL OPEN"}));
        // Heard: the next Connect opens at once.
        m_flow->openSerialPort();
        QCOMPARE(m_link->take(), (QStringList{"setup " + kPort + " 9600", "REQUEST/SERIAL OPEN"}));

        // A TCP broker on another machine has no daemon of ours to start.
        m_link->socket.clear();
        so().brokerHost = QStringLiteral("10.0.0.7");
        m_flow->openSerialPort();
        QCOMPARE(m_link->take(), (QStringList{"setup " + kPort + " 9600", "REQUEST/SERIAL OPEN"}));
        QCOMPARE(dialogs.boxes.size(), 2);
    }

    // After a failed update one click does it all again: connect, the same
    // file, the update, each on the answer to the step before.
    void updateAgain()
    {
        FakeDialogs dialogs;
        reachImageAccepted();
        QVERIFY(!m_flow->isEnabled(Control::UpdateAgain)); // never before a failure
        m_flow->startUpdate(false);
        progress(30);
        so().updateFailed = true;
        m_flow->statusReady();
        QVERIFY(m_flow->isEnabled(Control::UpdateAgain));
        m_link->take();

        m_flow->updateAgain();
        QVERIFY(!m_flow->isEnabled(Control::UpdateAgain));
        QCOMPARE(m_screen->imagePath, m_image);
        QCOMPARE(m_link->take(), (QStringList{"setup " + kPort + " 9600", "REQUEST/SERIAL OPEN"}));
        so().serialOpened = true;
        m_flow->statusReady();
        QCOMPARE(m_link->take(), QStringList{"REQUEST/SERIAL/READ/ID  "});
        so().m_BoardConf.id = QStringLiteral("0x1234");
        so().idReceived = true;
        m_flow->statusReady();
        QCOMPARE(m_link->take(),
                 (QStringList{"configs 0 2048 64 62 -1 255 1", "refresh", "image " + m_image}));
        QCOMPARE(m_link->sentBytes, goodImage());
        so().flashReplied = so().flashAccepted = true;
        m_flow->statusReady();
        QCOMPARE(m_link->take(), QStringList{"update eraseAll=0"}); // as the failed one
        QCOMPARE(m_flow->stage(), Stage::Updating);
        QCOMPARE(dialogs.boxes.size(), 1); // the failure's

        // Done this time: nothing left to do again.
        so().updateDone = true;
        m_flow->statusReady();
        QVERIFY(!m_flow->isEnabled(Control::UpdateAgain));

        // A step that fails ends the chain; the offer stays.
        m_flow->startUpdate(true);
        so().updateFailed = true;
        m_flow->statusReady();
        m_flow->updateAgain();
        so().idError = true;
        m_flow->statusReady();
        QCOMPARE(m_flow->stage(), Stage::Idle);
        QVERIFY(m_flow->isEnabled(Control::UpdateAgain));
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
