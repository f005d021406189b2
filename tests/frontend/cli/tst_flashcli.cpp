// The plain parts of velmo-flash: its command line, its waits, its output
// in both forms, the exit status of each failure and time-out, the stored
// preferences it starts from, and its listing of the firmware library and
// adding to it.
#include "frontend/base/preferences.h"
#include "frontend/cli/consoleoutput.h"
#include "frontend/cli/exitstatus.h"
#include "frontend/cli/flashoptions.h"
#include "frontend/cli/flashreport.h"
#include "frontend/cli/flashtimeouts.h"
#include "frontend/cli/librarycommand.h"
#include "frontend/library/firmwarelibrary.h"
#include "records/servicerecord.h"
#include "tests/frontend/library/libraryfixtures.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString md5Of(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}
} // namespace

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
        QTest::newRow("latest") << QStringList{"--latest", "--page-erase", "--json"}
                                << int(FlashOptions::Mode::Flash) << false;
        QTest::newRow("library") << QStringList{"--library", "--board", "0x12AB", "--json"}
                                 << int(FlashOptions::Mode::Library) << true;
        QTest::newRow("add") << QStringList{"--add", "new.hex"} << int(FlashOptions::Mode::Add)
                             << true;
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
        if (o.mode == FlashOptions::Mode::History || o.mode == FlashOptions::Mode::Library)
            QCOMPARE(o.boardId, QStringLiteral("0x12ab"));
        QCOMPARE(o.latest, QTest::currentDataTag() == QLatin1String("latest"));
        if (o.mode == FlashOptions::Mode::Add)
            QCOMPARE(o.file, QStringLiteral("new.hex"));
    }

    void refusesBadUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("nothing") << QStringList{} << "no FILE.hex given";
        QTest::newRow("two uses") << QStringList{"--info", "fw.hex"} << "give one of";
        QTest::newRow("two files") << QStringList{"a.hex", "b.hex"} << "one FILE.hex at a time";
        QTest::newRow("latest and a file") << QStringList{"--latest", "fw.hex"} << "give one of";
        QTest::newRow("add without a file") << QStringList{"--add"} << "Missing value";
        QTest::newRow("board with a file")
            << QStringList{"--board", "0x1234", "fw.hex"} << "--board only goes with";
        QTest::newRow("erase with the library")
            << QStringList{"--library", "--page-erase"} << "--page-erase only goes with";
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
        QTest::newRow("retries without file") << QStringList{"--info", "--retries", "2"}
                                              << "--retries only goes with FILE.hex or --latest";
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
        QCOMPARE(exitReasonKey(11), QStringLiteral("output-failed"));
        QCOMPARE(exitReasonKey(12), QStringLiteral("no-library-file"));
        QCOMPARE(exitReasonKey(13), QStringLiteral("library-unwritable"));
        QCOMPARE(exitReasonKey(130), QStringLiteral("interrupted"));
        QCOMPARE(exitReasonKey(143), QStringLiteral("interrupted"));
    }

    // Every failure of the workflow and every phase's time-out ends in the
    // status the manual gives it; most cannot be brought about on the
    // virtual board. -1: it ends nothing.
    void outcomesEndInTheirStatus()
    {
        using F = FlashReport::Failure;
        using P = FlashPhase;
        struct Case
        {
            F failure;
            P phase;
            bool broker;
            int status;
        };
        const QList<Case> failures{
            {F::DaemonAbsent, P::Daemon, true, 4},
            {F::PortError, P::Open, true, 5},
            {F::PortError, P::BoardId, true, 5},
            {F::PortError, P::Update, true, -1},
            {F::BoardIdOutOfRange, P::BoardId, true, 6},
            {F::NoBoardConfig, P::BoardId, true, 7},
            {F::BoardIdUnread, P::BoardId, true, 6},
            {F::ImageNotLoaded, P::Image, true, 8},
            {F::ImageNotSent, P::Image, true, 8},
            {F::ImageNotSent, P::Image, false, 3},
            {F::ImageRefused, P::Image, true, 8},
            {F::ImageCheckFailed, P::Image, true, 8},
            {F::UpdateFailed, P::Update, true, 9},
            {F::VerifyFailed, P::Verify, true, 9},
            {F::DaemonLost, P::Update, true, 9},
            {F::UpdateNotStarted, P::Update, true, 9},
            {F::UpdateNotStarted, P::Update, false, 3},
            {F::PortLost, P::Update, true, 9},
            {F::BrokerLost, P::Update, false, 3},
            {F::NoAnswer, P::Open, true, 4},
            {F::NoAnswer, P::Open, false, 3},
            {F::NoPortChosen, P::Starting, true, 2},
        };
        FlashFacts facts;
        facts.port = QStringLiteral("/nonexistent/ttyVB9");
        for (const Case &c : failures) {
            facts.phase = c.phase;
            facts.brokerConnected = c.broker;
            const std::optional<FlashOutcome> o = FlashReport::failure(c.failure, "why", facts);
            const QString row = QStringLiteral("failure %1").arg(int(c.failure));
            QVERIFY2(o ? int(o->status) == c.status : c.status == -1, qPrintable(row));
            if (o)
                QVERIFY2(!o->text.isEmpty(), qPrintable(row));
        }
        // The daemon's cause of a stopped update goes into the error event.
        QCOMPARE(FlashReport::failure(F::PortLost, "why", facts)->cause, QStringLiteral("why"));

        const QList<std::tuple<P, bool, int>> timeouts{
            {P::Broker, false, 3},   {P::Daemon, true, 4}, {P::Daemon, false, 3},
            {P::PortList, true, 4},  {P::Open, true, 4},   {P::BoardId, true, 6},
            {P::Image, true, 4},     {P::Update, true, 9}, {P::Verify, false, 3},
            {P::Stopping, true, -1},
        };
        for (const auto &[phase, broker, status] : timeouts) {
            facts.phase = phase;
            facts.brokerConnected = broker;
            const std::optional<FlashOutcome> o = FlashReport::timeout(facts, 5000);
            const QString row = QStringLiteral("time-out in phase %1").arg(int(phase));
            QVERIFY2(o ? int(o->status) == status : status == -1, qPrintable(row));
        }
        // Lost in the middle of an update: the record says which was lost.
        facts.phase = P::Update;
        facts.brokerConnected = false;
        QCOMPARE(FlashReport::timeout(facts, 5000)->record, records::UpdateResult::BrokerLost);
        facts.brokerConnected = true;
        QCOMPARE(FlashReport::timeout(facts, 5000)->record, records::UpdateResult::DaemonLost);
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
        QVERIFY(!none.onlySignedFiles);
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
            s.setValue("update/only-signed", true);
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
        QVERIFY(p.onlySignedFiles);
        {
            QSettings s(path, QSettings::IniFormat);
            s.setValue("mqtt/host", "  ");
            s.setValue("mqtt/port", 99999);
        }
        const frontend::StoredPreferences broken = frontend::StoredPreferences::read(path);
        QCOMPARE(broken.brokerHost, QStringLiteral("127.0.0.1"));
        QCOMPARE(broken.brokerPort, 1883);
    }

    // --library: a line per file with what it is for and its signature, or
    // one JSON event; with --board, whether each can be flashed on it and
    // which the board type was last updated with.
    void libraryListing()
    {
        QTemporaryDir dir;
        const QString user = dir.filePath("Firmware");
        QVERIFY(placeCorpusFile(user, "ih-lf.hex", "ih-lf.hex.sig",
                                QDateTime(QDate(2024, 1, 10), QTime(9, 0))));
        QVERIFY(placeCorpusFile(user, "bad-checksum.hex", QString(),
                                QDateTime(QDate(2024, 6, 10), QTime(9, 0))));
        QVERIFY(writeFile(user + "/evil\x1b[2J.hex", "junk"));
        QVERIFY(writeFile(dir.filePath("keys/acme-service.pub"),
                          readAll(signingFile("acme-service.pub"))));
        frontend::LibraryScanInput input;
        input.folders = {{user, frontend::LibraryFolder::Origin::User}};
        input.boards = frontend::FirmwareLibrary::loadBoards("../configs/");
        input.keys = frontend::TrustedKeys::load(
            {{dir.filePath("keys"), frontend::TrustedKey::Source::User}});
        const QString db = dir.filePath("record.sqlite");
        {
            records::ServiceRecord store;
            QVERIFY(store.open(db));
            records::UpdateStart start;
            start.boardId = QStringLiteral("0x1234");
            start.fileMd5 = md5Of(readAll(corpusFile("ih-lf.hex")));
            QVERIFY(store.finishUpdate(store.beginUpdate(start), records::UpdateResult::Ok, {}));
        }

        const auto run = [&](const QStringList &args, bool json, bool signedOnly) {
            FlashOptions o;
            QString error;
            if (!FlashOptions::parse(QStringList{"velmo-flash", "--library"} + args, &o, &error))
                qWarning() << error;
            QBuffer out;
            QBuffer err;
            out.open(QIODevice::WriteOnly);
            err.open(QIODevice::WriteOnly);
            ConsoleOutput console(out, err, json, false);
            const int status = LibraryCommand::list(o, signedOnly, console, input, db);
            return qMakePair(status, QString::fromUtf8(out.data()));
        };

        const auto [status, text] = run({}, false, false);
        QCOMPARE(status, 0);
        const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.at(0).startsWith("Modified"), qPrintable(text));
        QVERIFY(lines.at(2).contains("bad-checksum.hex  0x1234"));
        QVERIFY(lines.at(2).contains("wrong record checksum"));
        QVERIFY(lines.at(3).contains("ih-lf.hex"));
        QVERIFY(lines.at(3).contains("signed by acme-service"));
        QVERIFY(lines.at(3).endsWith("0x000800–0x0013B7, 4.7 %"));
        QVERIFY(!text.contains(QChar(0x1b))); // a name cannot move the cursor

        const auto [boardStatus, boardText] = run({"--board", "0x1234"}, false, true);
        QCOMPARE(boardStatus, 0);
        QVERIFY2(boardText.startsWith("Files for board 0x1234 (VB-1234 virtual board), newest "
                                      "first:\n"),
                 qPrintable(boardText));
        QVERIFY(boardText.contains(QRegularExpression(
            "\n2024-01-10 09:00  ih-lf.hex \\* +yes +signed by acme-service  0x000800")));
        QVERIFY(
            boardText.contains(QRegularExpression("\n2024-06-10 09:00  bad-checksum.hex +no "
                                                  "+unsigned +line 5: wrong record checksum\n")));
        QVERIFY(boardText.contains("* the file of this board type's last good update"));
        QVERIFY(boardText.contains("Only files signed with a trusted key can be flashed"));
        QVERIFY(!boardText.contains("evil"));

        const auto [jsonStatus, json] = run({"--board", "0x1234", "--json"}, true, false);
        QCOMPARE(jsonStatus, 0);
        QList<QJsonObject> events;
        for (const QString &line : json.split('\n', Qt::SkipEmptyParts))
            events << QJsonDocument::fromJson(line.toUtf8()).object();
        QCOMPARE(events.size(), 3);
        QCOMPARE(events.at(0).value("event").toString(), QStringLiteral("library-file"));
        QCOMPARE(events.at(0).value("name").toString(), QStringLiteral("bad-checksum.hex"));
        QCOMPARE(events.at(0).value("usable").toBool(), false);
        QVERIFY(events.at(0).value("reason").toString().contains("checksum"));
        const QJsonObject signedOne = events.at(1);
        QCOMPARE(signedOne.value("usable").toBool(), true);
        QCOMPARE(signedOne.value("lastUsed").toBool(), true);
        QCOMPARE(signedOne.value("modified").toString(), QStringLiteral("2024-01-10T09:00:00"));
        QCOMPARE(signedOne.value("signature").toObject().value("status").toString(),
                 QStringLiteral("signed"));
        QCOMPARE(signedOne.value("signature").toObject().value("key").toString(),
                 QStringLiteral("acme-service"));
        QCOMPARE(signedOne.value("boards").toArray().at(0).toObject().value("id").toString(),
                 QStringLiteral("0x1234"));
        QCOMPARE(events.at(2).value("event").toString(), QStringLiteral("result"));
    }

    // --add copies and says what the copy is; a file it cannot take, or a
    // library it cannot write, ends with its own status.
    void addingToTheLibrary()
    {
        QTemporaryDir dir;
        QVERIFY(placeCorpusFile(dir.filePath("in"), "srec-i16.hex"));
        frontend::LibraryScanInput input;
        input.boards = frontend::FirmwareLibrary::loadBoards("../configs/");
        const auto run = [&](const QString &file, const QString &folder) {
            FlashOptions o;
            QString error;
            FlashOptions::parse({"velmo-flash", "--add", file}, &o, &error);
            QBuffer out;
            QBuffer err;
            out.open(QIODevice::WriteOnly);
            err.open(QIODevice::WriteOnly);
            ConsoleOutput console(out, err, false, false);
            const int status = LibraryCommand::add(o, console, folder, input);
            return qMakePair(status, QString::fromUtf8(out.data() + err.data()));
        };
        const auto [added, text] = run(dir.filePath("in/srec-i16.hex"), dir.filePath("lib"));
        QCOMPARE(added, 0);
        QVERIFY(QFileInfo::exists(dir.filePath("lib/srec-i16.hex")));
        QVERIFY2(text.startsWith("srec-i16.hex was added to the firmware library.\nIt can be "
                                 "flashed on board 0x1234 (VB-1234 virtual board): it programs "
                                 "0x000800–0x0017FF"),
                 qPrintable(text));
        QVERIFY(text.contains("Signature: none (unsigned)"));
        QCOMPARE(run(dir.filePath("in/srec-i16.hex"), dir.filePath("lib")).first, 0);
        QCOMPARE(run(dir.filePath("in/missing.hex"), dir.filePath("lib")).first, 8);
        QCOMPARE(run(dir.filePath("in/notes.txt"), dir.filePath("lib")).first, 8);
        QVERIFY(writeFile(dir.filePath("file"), "x"));
        const auto [unwritable, why] =
            run(dir.filePath("in/srec-i16.hex"), dir.filePath("file/lib"));
        QCOMPARE(unwritable, 13);
        QVERIFY(why.contains("cannot be created"));
    }
};

QTEST_GUILESS_MAIN(TstFlashCli)
#include "tst_flashcli.moc"
