// The front end's plain classes: reply parsing, request payloads, board
// configuration files and image file checks.
#include "frontend/core/boardconfig.h"
#include "frontend/core/frontendstatus.h"
#include "frontend/core/imagefile.h"
#include "frontend/core/replyparser.h"
#include "frontend/core/requests.h"
#include "protocol/topics.h"
#include "tests/frontend/fakedialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace frontend;

class TstFrontendCore : public QObject
{
    Q_OBJECT

private:
    QString writeConfig(const QString &id, const QByteArray &content)
    {
        QFile file(m_dir.filePath(QStringLiteral("config-id-%1.ini").arg(id)));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(content);
        return file.fileName();
    }
    QString folder() const { return m_dir.path() + QLatin1Char('/'); }
    QString makeFile(const QString &name, qint64 size, const QByteArray &content = {})
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        if (!content.isEmpty())
            file.write(content);
        else if (!file.resize(size)) // sparse: no real disk space used
            return QString();
        return file.fileName();
    }

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void parsesMarksAndValues()
    {
        StatusObject so;
        ReplyParser parser(&so);

        parser.parseMessage(QString(protocol::reply::kPing), "pong");
        QVERIFY(!so.pongReceived);
        parser.parseMessage(QString(protocol::reply::kPing), "PONG");
        QVERIFY(so.pongReceived);

        parser.parseMessage(QString(protocol::reply::kOpen), "open");
        QVERIFY(!so.serialOpened);
        parser.parseMessage(QString(protocol::reply::kOpen), "OK");
        QVERIFY(so.serialOpened);
        parser.parseMessage(QString(protocol::reply::kOpen), "ERROR");
        QVERIFY(!so.serialOpened);

        parser.parseMessage(QString(protocol::reply::kError), "Error: Permission denied");
        QVERIFY(so.serialError);
        QCOMPARE(so.errorText, QStringLiteral("Error: Permission denied"));

        // An id is stored as it came; "ERROR" leaves the last one.
        parser.parseMessage(QString(protocol::reply::kReadId), "0x1234 ");
        QVERIFY(so.idReceived);
        QCOMPARE(so.m_BoardConf.id, QStringLiteral("0x1234 "));
        parser.parseMessage(QString(protocol::reply::kReadId), "ERROR");
        QVERIFY(so.idError);
        QCOMPARE(so.m_BoardConf.id, QStringLiteral("0x1234 "));

        parser.parseMessage(QString(protocol::reply::kFlash), "OK");
        QVERIFY(so.flashReplied);
        QVERIFY(so.flashAccepted);
        parser.parseMessage(QString(protocol::reply::kFlash), "ERROR");
        QVERIFY(!so.flashAccepted);

        parser.parseMessage(QString(protocol::reply::kUpdatePercent), "37");
        QVERIFY(so.percReceived);
        QCOMPARE(so.updatePercent, 37);
        parser.parseMessage(QString(protocol::reply::kUpdatePercent), "x7");
        QCOMPARE(so.updatePercent, 0);

        parser.parseMessage(QString(protocol::reply::kUpdate), "OK");
        QVERIFY(so.updateDone);
        QVERIFY(!so.updateFailed);
        parser.parseMessage(QString(protocol::reply::kUpdate), "ERROR");
        QVERIFY(!so.updateDone);
        QVERIFY(so.updateFailed);
        parser.parseMessage(QString(protocol::reply::kUpdate), "DONE");
        QVERIFY(so.updateFailed);

        parser.parseMessage(QString(protocol::reply::kVersion), "0.27.20181009");
        QCOMPARE(so.serialVersion, QStringLiteral("0.27.20181009"));

        // Topics match exactly and case-sensitively.
        parser.parseMessage("serial/version", "other");
        parser.parseMessage("SERIAL/VERSION/", "other");
        QCOMPARE(so.serialVersion, QStringLiteral("0.27.20181009"));
    }

    void parsesPortList_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QStringList>("ports");
        QTest::newRow("two") << "COM1 COM3" << QStringList{"COM1", "COM3"};
        QTest::newRow("double blank keeps an empty name")
            << "COM1  COM3" << QStringList{"COM1", "", "COM3"};
        QTest::newRow("pty paths")
            << "/dev/ttyS0 /dev/pts/4" << QStringList{"/dev/ttyS0", "/dev/pts/4"};
    }
    void parsesPortList()
    {
        QFETCH(QString, payload);
        QFETCH(QStringList, ports);
        StatusObject so;
        so.comPorts = {"stale"};
        ReplyParser(&so).parseMessage(QString(protocol::reply::kInfo), payload);
        QCOMPARE(so.comPorts, ports);
    }

    void buildsPayloads()
    {
        PortSettings port;
        port.portName = "COM3";
        QCOMPARE(requests::serialSetup(port),
                 QStringLiteral("Com=COM3 Baud=9600 DataBits=8 Parity=0 StopBits=1 FlowControl=0"));
        port.portName = "/dev/pts/%1";
        port.baudRate = 115200;
        port.parity = 5;
        port.stopBits = 3;
        port.flowControl = 2;
        QCOMPARE(requests::serialSetup(port),
                 QStringLiteral("Com=/dev/pts/%1 Baud=115200 DataBits=8 Parity=5 StopBits=3 "
                                "FlowControl=2"));

        QCOMPARE(requests::boardConfigs(0, 2048, 64, 62, -1, 255, 1),
                 QStringLiteral("StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 "
                                "MaxErase=-1 Padding=255 IdPosition=1"));
        QCOMPARE(requests::boardUpdate(true), QStringLiteral("EraseAll=1"));
        QCOMPARE(requests::boardUpdate(false), QStringLiteral("EraseAll=0"));
        QCOMPARE(requests::md5Hex("abc"), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    }

    void checksBoardIdRange_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("inRange");
        QTest::newRow("daemon form") << "0x1234" << true;
        QTest::newRow("zero") << "0x0000" << true;
        QTest::newRow("max") << "0xffff" << true;
        QTest::newRow("upper case") << "0xFFFF" << true;
        QTest::newRow("just above") << "0x10000" << false;
        QTest::newRow("negative") << "-1" << false;
        QTest::newRow("not hex reads as 0") << "garbage" << true;
    }
    void checksBoardIdRange()
    {
        QFETCH(QString, id);
        QFETCH(bool, inRange);
        QCOMPARE(requests::boardIdInRange(id), inRange);
    }

    void loadsCompleteConfig()
    {
        FakeDialogs dialogs;
        writeConfig("0x01a2", "[configs]\nname=M7 swing\nstart-flash=0\nstart-progr=800\n"
                              "size-flash=64\nsize-progr=62\nmax-erase=-1\npadding=FF\n"
                              "id-position=1\nrefresh=true\n");
        BoardConf conf;
        QVERIFY(loadBoardConfig("0x01a2", conf, folder()));
        QCOMPARE(conf.name, QStringLiteral("M7 swing"));
        QCOMPARE(conf.startFlash, 0);
        QCOMPARE(conf.startProgr, 2048);
        QCOMPARE(conf.sizeFlash, 64);
        QCOMPARE(conf.sizeProgr, 62);
        QCOMPARE(conf.maxErase, -1);
        QCOMPARE(int(conf.padding), 255);
        QCOMPARE(conf.idPosition, 1);
        QVERIFY(conf.refresh);
        QVERIFY(dialogs.boxes.isEmpty());
        QCOMPARE(requests::boardConfigs(conf),
                 QStringLiteral("StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 "
                                "MaxErase=-1 Padding=255 IdPosition=1"));
    }

    // Qt's INI reader splits a value at its commas.
    void nameKeepsItsCommas_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QByteArray("name=VB-4567, rev. B") << "VB-4567, rev. B";
        QTest::newRow("three parts")
            << QByteArray("name=Swing,2 leaves, 24 V") << "Swing, 2 leaves, 24 V";
        QTest::newRow("quoted") << QByteArray("name=\"Slide, heavy\"") << "Slide, heavy";
    }
    void nameKeepsItsCommas()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        FakeDialogs dialogs;
        writeConfig("0x4567", "[configs]\n" + line +
                                  "\nstart-flash=0\nstart-progr=800\nsize-flash=64\n"
                                  "size-progr=62\nmax-erase=-1\npadding=FF\nid-position=1\n");
        BoardConf conf;
        QVERIFY(loadBoardConfig("0x4567", conf, folder()));
        QCOMPARE(conf.name, name);
        QCOMPARE(conf.sizeProgr, 62);
    }

    void convertsValues()
    {
        FakeDialogs dialogs;
        writeConfig("0x0bad", "[configs]\nname=odd\nstart-flash=80000000\nstart-progr=8000\n"
                              "size-flash=1A\nsize-progr=62\nmax-erase=1024\npadding=1FF\n"
                              "id-position=3\n");
        BoardConf conf;
        conf.refresh = true;
        QVERIFY(loadBoardConfig("0x0bad", conf, folder()));
        QCOMPARE(conf.startFlash, 0);     // 2^31 does not fit: 0
        QCOMPARE(conf.startProgr, 32768); // hex 8000
        QCOMPARE(conf.sizeFlash, 0);      // decimal key with a hex digit: 0
        QCOMPARE(int(conf.padding), 255); // low 8 bits of 1FF
        QVERIFY(!conf.refresh);           // missing refresh: false
        QVERIFY(requests::boardConfigs(conf).startsWith("StartFlash=0 StartProgr=32768 "));
    }

    void refusesIncompleteConfig_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no id-position")
            << QByteArray("[configs]\nname=x\nstart-flash=0\nstart-progr=800\nsize-flash=64\n"
                          "size-progr=62\nmax-erase=-1\npadding=FF\n");
        QTest::newRow("keys outside the group")
            << QByteArray("name=x\nstart-flash=0\nstart-progr=800\nsize-flash=64\n"
                          "size-progr=62\nmax-erase=-1\npadding=FF\nid-position=1\n");
        QTest::newRow("empty file") << QByteArray("\n");
    }
    void refusesIncompleteConfig()
    {
        QFETCH(QByteArray, content);
        FakeDialogs dialogs;
        writeConfig("0x0042", content);
        BoardConf conf;
        conf.idPosition = 77;
        QVERIFY(!loadBoardConfig("0x0042", conf, folder()));
        QCOMPARE(conf.idPosition, 77);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Warning);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Warning"));
        QCOMPARE(dialogs.boxes.at(0).text,
                 QStringLiteral("Error loading configuration file for Board: 0x0042.\r\n Try to "
                                "update the software"));
    }

    void missingFileIsAFailure()
    {
        FakeDialogs dialogs;
        BoardConf conf;
        QVERIFY(!loadBoardConfig("0x7777", conf, folder()));
        QCOMPARE(dialogs.boxes.size(), 1);
        // An id that reaches outside the folder finds nothing there.
        QVERIFY(QDir(m_dir.path()).mkpath("sub/config-id-"));
        writeConfig("0x0001", "[configs]\nname=x\nstart-flash=0\nstart-progr=800\n"
                              "size-flash=64\nsize-progr=62\nmax-erase=-1\npadding=FF\n"
                              "id-position=1\n");
        QVERIFY(QFile::exists(folder() + "sub/config-id-/../../config-id-0x0001.ini"));
        QVERIFY(!loadBoardConfig("/../../config-id-0x0001", conf, folder() + "sub/"));
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(boardConfigPath("0x01a2"), QStringLiteral("../configs/config-id-0x01a2.ini"));
    }

    // The files shipped for the virtual boards, where the program finds them
    // (the tests run in stage/bin).
    void shippedConfigsLoad_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<qint32>("maxErase");
        QTest::newRow("erase-all board") << "0x1234" << -1;
        QTest::newRow("page-erase board") << "0x2345" << 1024;
    }
    void shippedConfigsLoad()
    {
        QFETCH(QString, id);
        QFETCH(qint32, maxErase);
        FakeDialogs dialogs;
        BoardConf conf;
        QVERIFY(loadBoardConfig(id, conf));
        QVERIFY(!conf.name.isEmpty());
        QCOMPARE(conf.maxErase, maxErase);
        QCOMPARE(conf.sizeFlash, 64);
        QVERIFY(conf.startProgr > conf.startFlash);
        QVERIFY(conf.startProgr + conf.sizeProgr * 1024 <= conf.startFlash + conf.sizeFlash * 1024);
        QVERIFY(dialogs.boxes.isEmpty());
    }

    void imageFileChecks_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("box");
        QTest::newRow("empty") << qint64(0) << int(ImageLoad::Status::Empty)
                               << "Error: File is empty.\n";
        QTest::newRow("largest accepted")
            << qint64(268435455) << int(ImageLoad::Status::Loaded) << QString();
        QTest::newRow("one byte too many") << qint64(268435456) << int(ImageLoad::Status::TooLarge)
                                           << "Error: File is too large (>268,435,455 bytes).\n";
    }
    void imageFileChecks()
    {
        QFETCH(qint64, size);
        QFETCH(int, status);
        QFETCH(QString, box);
        FakeDialogs dialogs;
        const QString path = makeFile("image.hex", size);
        QVERIFY(!path.isEmpty());
        ImageLoad image = loadImageFile(path);
        QCOMPARE(int(image.status), status);
        if (box.isEmpty()) {
            QVERIFY(dialogs.boxes.isEmpty());
            QCOMPARE(image.bytes.size(), size);
        } else {
            QCOMPARE(dialogs.texts(), QStringList{box});
            QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
            QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error"));
            QVERIFY(image.bytes.isEmpty());
        }
        image = ImageLoad();
        QFile::remove(path);
    }

    void unreadableImage()
    {
        FakeDialogs dialogs;
        const ImageLoad image = loadImageFile(m_dir.filePath("missing.hex"));
        QCOMPARE(image.status, ImageLoad::Status::OpenFailed);
        QCOMPARE(dialogs.texts(), QStringList{"Error: Unable to open file."});
    }

    void imageBytesUnchanged()
    {
        FakeDialogs dialogs;
        const QByteArray content("#1234\r\n:00000001FF\r\n\xff\x80", 22);
        const ImageLoad image = loadImageFile(makeFile("bytes.hex", 0, content));
        QVERIFY(image.ok());
        QCOMPARE(image.bytes, content);
    }
};

QTEST_MAIN(TstFrontendCore)
#include "tst_frontendcore.moc"
