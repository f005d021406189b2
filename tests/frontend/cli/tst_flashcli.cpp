// The plain parts of velmo-flash: its command line, its waits, its output
// in both forms, and the stored preferences it starts from.
#include "frontend/cli/consoleoutput.h"
#include "frontend/cli/exitstatus.h"
#include "frontend/cli/flashoptions.h"
#include "frontend/cli/flashtimeouts.h"
#include "frontend/core/preferences.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TstFlashCli : public QObject
{
    Q_OBJECT

private slots:
    void parsesUses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("eraseAll");
        QTest::newRow("file") << QStringList{"fw.hex"} << int(FlashOptions::Mode::Flash) << true;
        QTest::newRow("page erase")
            << QStringList{"--page-erase", "fw.hex"} << int(FlashOptions::Mode::Flash) << false;
        QTest::newRow("retries") << QStringList{"--retries", "3", "fw.hex"}
                                 << int(FlashOptions::Mode::Flash) << true;
        QTest::newRow("info") << QStringList{"--info", "--port", "/dev/ttyUSB0"}
                              << int(FlashOptions::Mode::Info) << true;
        QTest::newRow("ports") << QStringList{"--list-ports", "--json"}
                               << int(FlashOptions::Mode::ListPorts) << true;
        QTest::newRow("history") << QStringList{"--history", "--board", "12ab", "--csv"}
                                 << int(FlashOptions::Mode::History) << true;
        QTest::newRow("help wins") << QStringList{"--help", "--bogus-but-ignored-no"} << -1 << true;
    }
    void parsesUses()
    {
        QFETCH(QStringList, args);
        QFETCH(int, mode);
        QFETCH(bool, eraseAll);
        FlashOptions o;
        QString error;
        const bool ok = FlashOptions::parse(QStringList{"velmo-flash"} + args, &o, &error);
        if (mode < 0) {
            // An unknown option is an error even beside --help.
            QVERIFY(!ok);
            return;
        }
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(int(o.mode), mode);
        QCOMPARE(o.eraseAll, eraseAll);
        QCOMPARE(o.retries, args.contains("--retries") ? 3 : 0);
        if (o.mode == FlashOptions::Mode::History)
            QCOMPARE(o.boardId, QStringLiteral("0x12ab"));
    }

    void refusesBadUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("nothing") << QStringList{} << "no FILE.hex given";
        QTest::newRow("two uses") << QStringList{"--info", "fw.hex"} << "give one of";
        QTest::newRow("two files") << QStringList{"a.hex", "b.hex"} << "one FILE.hex at a time";
        QTest::newRow("both erases")
            << QStringList{"--erase-all", "--page-erase", "fw.hex"} << "exclude each other";
        QTest::newRow("port with history")
            << QStringList{"--history", "--port", "x"} << "--port only goes with";
        QTest::newRow("csv with file") << QStringList{"--csv", "fw.hex"} << "--csv only goes";
        QTest::newRow("blank port") << QStringList{"--port", " ", "fw.hex"} << "needs a device";
        QTest::newRow("bad broker port")
            << QStringList{"--broker", "host:70000", "fw.hex"} << "is not HOST";
        QTest::newRow("bare ipv6") << QStringList{"--broker", "::1", "fw.hex"} << "is not HOST";
        QTest::newRow("bad board")
            << QStringList{"--history", "--board", "0x12345"} << "is not a board identifier";
        QTest::newRow("bad date") << QStringList{"--history", "--since", "5/3/2024"}
                                  << "is not a date";
        QTest::newRow("dates reversed")
            << QStringList{"--history", "--since", "2024-03-06", "--until", "2024-03-05"}
            << "is after";
        QTest::newRow("retries word")
            << QStringList{"--retries", "two", "fw.hex"} << "is not a number from 0 to 100";
        QTest::newRow("retries negative")
            << QStringList{"--retries", "-1", "fw.hex"} << "is not a number from 0 to 100";
        QTest::newRow("retries without file")
            << QStringList{"--info", "--retries", "2"} << "--retries only goes with FILE.hex";
    }
    void refusesBadUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        FlashOptions o;
        QString error;
        QVERIFY(!FlashOptions::parse(QStringList{"velmo-flash"} + args, &o, &error));
        QVERIFY2(error.contains(says), qPrintable(error));
    }

    void brokerForms()
    {
        QString host;
        int port = 0;
        QVERIFY(FlashOptions::parseBroker("broker.local", &host, &port));
        QCOMPARE(host, QStringLiteral("broker.local"));
        QCOMPARE(port, 1883);
        QVERIFY(FlashOptions::parseBroker("10.0.0.2:1884", &host, &port));
        QCOMPARE(host, QStringLiteral("10.0.0.2"));
        QCOMPARE(port, 1884);
        QVERIFY(FlashOptions::parseBroker("[::1]:2000", &host, &port));
        QCOMPARE(host, QStringLiteral("::1"));
        QCOMPARE(port, 2000);
        for (const char *bad : {"", "host:", "[::1", "[::1]x", "host:0", "a b:1"})
            QVERIFY2(!FlashOptions::parseBroker(bad, &host, &port), bad);
    }

    void timeoutsFollowTheDaemon()
    {
        const FlashTimeouts t;
        // Longer than the daemon's own identifier retries, so its answer
        // comes first.
        QVERIFY(t.boardIdMs > FlashTimeouts::kDaemonIdRequestMs * 10);
        // 992 blocks: ten per percent, each 5 s at worst, twice with pages.
        QCOMPARE(t.progressStepMs(992, false), 10 * 5000 + t.marginMs);
        QCOMPARE(t.progressStepMs(992, true), 10 * 2 * 5000 + t.marginMs);
        QCOMPARE(t.progressStepMs(0, false), 5000 + t.marginMs);
        QCOMPARE(t.imageVerdictMs(3 * 1024 * 1024), t.imageMs + 3 * t.imageMsPerMiB);

        const FlashTimeouts fast = FlashTimeouts::fromScale("0.1");
        QCOMPARE(fast.brokerMs, t.brokerMs / 10);
        QCOMPARE(fast.updateQuietMs, t.updateQuietMs / 10);
        QCOMPARE(FlashTimeouts().scaled(1e-9).pingIntervalMs, 1);
        for (const char *ignored : {"", "x", "0", "-2", "nan", "inf"})
            QCOMPARE(FlashTimeouts::fromScale(ignored).brokerMs, t.brokerMs);
    }

    void progressOnATerminal()
    {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ConsoleOutput console(out, err, false, true);
        console.progress({45, 447, 992, 12000});
        console.progress({5, 50, 992, -1});
        // The shorter line blanks what the longer one left.
        const QByteArray redraw = out.data();
        QVERIFY(redraw.startsWith("\rWriting  45 % [#########-----------] block 447/992, 0:12 "
                                  "left\r"));
        QVERIFY(!redraw.contains('\n'));
        QVERIFY2(redraw.endsWith("block 50/992" + QByteArray(12, ' ')), redraw.constData());
        console.problem("velmo-flash: broken", {});
        // The open progress line is ended before anything else is printed.
        QVERIFY(out.data().endsWith('\n'));
        QCOMPARE(err.data(), QByteArray("velmo-flash: broken\n"));
    }

    void progressIntoAFile()
    {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ConsoleOutput console(out, err, false, false);
        for (int percent = 1; percent <= 100; ++percent)
            console.progress({percent, percent, 100, -1});
        const QList<QByteArray> lines = out.data().trimmed().split('\n');
        // The first value, then each new tenth.
        QCOMPARE(lines.size(), 11);
        QVERIFY(lines.constFirst().startsWith("Writing   1 %"));
        QVERIFY(lines.at(1).startsWith("Writing  10 %"));
        QVERIFY(lines.constLast().startsWith("Writing 100 %"));
        QVERIFY(!out.data().contains('\r'));
    }

    void jsonLines()
    {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        ConsoleOutput console(out, err, true, true);
        console.step("not in JSON", jsonEvent("board", {{"id", "0x1234"}}));
        console.progress({50, 496, 992, -1});
        console.progress({60, 596, 992, 2600});
        console.problem("not in JSON either", jsonEvent("error", {{"text", "a\nb \"c\""}}));
        console.raw("listing\n");
        QVERIFY(err.data().isEmpty());
        const QList<QByteArray> lines = out.data().split('\n');
        QCOMPARE(lines.size(), 5); // four events and the last line end
        QVERIFY(lines.constLast().isEmpty());
        QStringList names;
        for (int i = 0; i < 4; ++i) {
            QJsonParseError e;
            const QJsonObject o = QJsonDocument::fromJson(lines.at(i), &e).object();
            QCOMPARE(e.error, QJsonParseError::NoError);
            names << o.value("event").toString();
            if (i == 1)
                QVERIFY(o.value("secondsLeft").isNull());
            if (i == 2)
                QCOMPARE(o.value("secondsLeft").toInt(), 3);
            if (i == 3)
                QCOMPARE(o.value("text").toString(), QStringLiteral("a\nb \"c\""));
        }
        QCOMPARE(names, (QStringList{"board", "progress", "progress", "error"}));
    }

    void exitReasons()
    {
        QCOMPARE(exitReasonKey(0), QStringLiteral("ok"));
        QCOMPARE(exitReasonKey(3), QStringLiteral("no-broker"));
        QCOMPARE(exitReasonKey(8), QStringLiteral("file-refused"));
        QCOMPARE(exitReasonKey(130), QStringLiteral("interrupted"));
        QCOMPARE(exitReasonKey(143), QStringLiteral("interrupted"));
    }

    void storedPreferences()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("VelmoFrontEnd.ini");
        const frontend::StoredPreferences none = frontend::StoredPreferences::read(path);
        QVERIFY(none.serial.portName.isEmpty());
        QCOMPARE(none.brokerHost, QStringLiteral("127.0.0.1"));
        QCOMPARE(none.brokerPort, 1883);
        QCOMPARE(none.serial.dataBits, 8);
        {
            QSettings s(path, QSettings::IniFormat);
            s.setValue("serial/com", "/dev/ttyUSB1");
            s.setValue("serial/ssid", 115200);
            s.setValue("serial/databits", 7);
            s.setValue("serial/parity", 2);
            s.setValue("serial/stopbits", 9); // in no list of the dialog
            s.setValue("serial/flowcontol", 1);
            s.setValue("mqtt/host", "broker.lan");
            s.setValue("mqtt/port", 1884);
        }
        const frontend::StoredPreferences p = frontend::StoredPreferences::read(path);
        QCOMPARE(p.serial.portName, QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(p.serial.baudRate, 9600); // the boot loader changes speed itself
        QCOMPARE(p.serial.dataBits, 7);
        QCOMPARE(p.serial.parity, 2);
        QCOMPARE(p.serial.stopBits, 0);
        QCOMPARE(p.serial.flowControl, 1);
        QCOMPARE(p.brokerHost, QStringLiteral("broker.lan"));
        QCOMPARE(p.brokerPort, 1884);
        {
            QSettings s(path, QSettings::IniFormat);
            s.setValue("mqtt/host", "  ");
            s.setValue("mqtt/port", 99999);
        }
        const frontend::StoredPreferences broken = frontend::StoredPreferences::read(path);
        QCOMPARE(broken.brokerHost, QStringLiteral("127.0.0.1"));
        QCOMPARE(broken.brokerPort, 1883);
    }
};

QTEST_GUILESS_MAIN(TstFlashCli)
#include "tst_flashcli.moc"
