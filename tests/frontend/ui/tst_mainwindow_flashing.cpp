// The main window driven through the real serial daemon (in-process, on a
// broker of its own) and the virtual board: the good path of an update and
// its failure rows. Boxes and the file dialog are answered by FakeDialogs.
#include "frontend/core/flashworkflow.h"
#include "frontend/core/systemmgr.h"
#include "frontend/ui/mainwindow.h"
#include "mqtt/mqttmgr.h"
#include "protocol/topics.h"
#include "serial/statusobject.h" // the daemon's worker
#include "tests/frontend/fakedialogs.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/heximage.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/stagefiles.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "common/datafolder.h"

namespace {

constexpr int kConnectTimeoutMs = 30000;
constexpr int kUpdateTimeoutMs = 120000;

// With VELMO_SCREENSHOT_DIR set (a run under Xvfb, see
// scripts/take-frontend-screenshots.sh) the good path leaves pictures of the
// window there.
void screenshot(QWidget &window, const QString &name, QWidget *over = nullptr)
{
    const QString dir = qEnvironmentVariable("VELMO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    window.move(0, 0);
    window.raise();
    window.activateWindow();
    QTest::qWait(800);
    QRect r = window.frameGeometry();
    if (over)
        r |= over->frameGeometry();
    const QString crop =
        QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                       crop, dir + QLatin1Char('/') + name});
}

// The seam records boxes instead of showing them; for the picture the
// recorded box is shown over the window as the real seam would show it.
void screenshotWithBox(MainWindow &window, const QString &name, const FakeDialogs::Box &recorded,
                       bool question = false)
{
    if (qEnvironmentVariableIsEmpty("VELMO_SCREENSHOT_DIR"))
        return;
    const QMessageBox::Icon icon =
        recorded.kind == UserDialogs::Kind::Critical  ? QMessageBox::Critical
        : recorded.kind == UserDialogs::Kind::Warning ? QMessageBox::Warning
                                                      : QMessageBox::Information;
    QMessageBox box(icon, recorded.title, recorded.text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, &window);
    box.setDefaultButton(question ? QMessageBox::No : QMessageBox::Ok);
    box.setWindowModality(Qt::NonModal);
    window.form().tabWidget->setCurrentIndex(1);
    box.adjustSize();
    box.move(window.geometry().center() - QPoint(box.width() / 2, box.height() / 2));
    box.show();
    screenshot(window, name, &box);
}

} // namespace

class TstMainWindowFlashing : public QObject
{
    Q_OBJECT

private:
    // The daemon of this test, on the test's broker.
    void startDaemon() { m_daemon = std::make_unique<serialdaemon::StatusObject>(m_broker.port()); }

    // A window whose daemon check is over (it got its pong), so that later
    // boxes are the workflow's own.
    std::unique_ptr<MainWindow> startWindow(const QString &port)
    {
        writePreferences(port, m_broker.port());
        auto window = std::make_unique<MainWindow>(nullptr, m_broker.port());
        window->show();
        return window;
    }
    static bool waitForPong(const MainWindow &window)
    {
        QDeadlineTimer deadline(kConnectTimeoutMs);
        while (window.serialTimer().isActive() && !deadline.hasExpired())
            QTest::qWait(50);
        return !window.serialTimer().isActive();
    }
    static QString statusText(const MainWindow &window)
    {
        return window.form().statusBar->currentMessage();
    }
    static QString labelText(const MainWindow &window)
    {
        return window.form().labelStatusBar->text();
    }
    bool connectBoard(MainWindow &window, const QString &boardName)
    {
        window.form().actionConnect->trigger();
        QDeadlineTimer deadline(kConnectTimeoutMs);
        const QString wanted = QStringLiteral("Connected with board: ") + boardName;
        while (labelText(window) != wanted && !deadline.hasExpired())
            QTest::qWait(50);
        return labelText(window) == wanted;
    }

    TestBroker m_broker;
    std::unique_ptr<serialdaemon::StatusObject> m_daemon;
    std::unique_ptr<MqttProbe> m_requests; // sees what the window sends
    QTemporaryDir m_tmp;

private slots:
    void init()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        m_requests = std::make_unique<MqttProbe>(m_broker.port(), protocol::request::kAll,
                                                 "velmo-test-watch");
        QVERIFY(m_requests->waitConnected(QStringLiteral("REQUEST/test")));
    }
    void cleanup()
    {
        m_daemon.reset();
        m_requests.reset();
        m_broker.stop();
    }

    void goodPath()
    {
        FakeDialogs dialogs;
        startDaemon();
        const QString dump = m_tmp.filePath("vb1234.bin");
        BoardSimProcess board;
        // Paced: the board takes the wire's time for every byte, as a real one.
        QStringList boardOptions{"--id",   "0x1234", "--erase-all-from", "0x800", "--pace",
                                 "--dump", dump};
        // The picture of the erase needs an erase as long as a real board's.
        if (!qEnvironmentVariableIsEmpty("VELMO_SCREENSHOT_DIR"))
            boardOptions << "--erase-all-ms"
                         << "3000";
        QVERIFY(board.start(boardOptions));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(!window->daemonCheckPending());
        screenshot(*window, QStringLiteral("flashing-start-datalogging.png"));
        // Sees the daemon's replies as they leave it.
        MqttProbe replies(m_broker.port(), protocol::reply::kAll, "velmo-test-replies");
        QVERIFY(replies.waitConnected(QStringLiteral("SERIAL/test")));

        QVERIFY2(connectBoard(*window, "VB-1234 virtual board"), qPrintable(labelText(*window)));
        QCOMPARE(statusText(*window), QStringLiteral("Connected to Port: ") + board.port());
        QCOMPARE(m_requests->waitFor(protocol::request::kConfigs),
                 QStringLiteral("StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 "
                                "MaxErase=-1 Padding=255 IdPosition=1"));
        QVERIFY(!f.actionConnect->isEnabled());
        QVERIFY(!f.actionConfigure->isEnabled());
        QVERIFY(f.actionDisconnect->isEnabled());
        QVERIFY(f.actionOpenFile->isEnabled());
        QVERIFY(f.btnOpenFile->isEnabled());
        QVERIFY(!f.btnUpdate->isEnabled());

        const QString firmware = sampleFirmware("vb1234-sample.hex");
        dialogs.files << firmware;
        f.btnOpenFile->click();
        QCOMPARE(dialogs.filters, QStringList{"Hex files (*.hex)"});
        QCOMPARE(f.lineEditOpenFile->text(), firmware);
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        QVERIFY(f.btnUpdate->isEnabled());
        QVERIFY(f.actionUpdate->isEnabled());
        QCOMPARE(f.labelHexVers->text(), QStringLiteral("VB-1234 virtual board"));
        if (!qEnvironmentVariableIsEmpty("VELMO_SCREENSHOT_DIR")) {
            f.tabWidget->setCurrentIndex(1);
            screenshot(*window, QStringLiteral("flashing-file-loaded.png"));
        }

        // Watch the progress and the locked controls while the board is written.
        const auto locked = [&f] {
            return !f.actionQuit->isEnabled() && !f.actionDisconnect->isEnabled() &&
                   !f.btnUpdate->isEnabled() && !f.actionUpdate->isEnabled() &&
                   !f.btnOpenFile->isEnabled() && !f.actionOpenFile->isEnabled();
        };
        QList<int> progress;
        QStringList progressTexts;
        bool lockedWhileWriting = true;
        qint64 writesAtFirstProgress = -1;
        connect(f.progressBarUpdate, &QProgressBar::valueChanged, this, [&](int value) {
            progress << value;
            if (value == 0)
                return;
            if (writesAtFirstProgress < 0)
                writesAtFirstProgress = board.stats().value(QStringLiteral("writes"), -1);
            lockedWhileWriting = lockedWhileWriting && locked();
        });
        // The status is set after the bar: read it at the next reply.
        connect(window->systemMgr(), &frontend::SystemMgr::statusReady, this,
                [&] { progressTexts << statusText(*window); });
        QElapsedTimer clock;
        clock.start();
        qint64 replyAt = -1;
        // The box follows the read-back's result, the daemon's last word.
        connect(replies.manager(), &MqttMgr::statusUpdated, this, [&] {
            if (replyAt < 0 && replies.messages().constLast().first == protocol::reply::kVerify)
                replyAt = clock.elapsed();
        });
        qint64 boxAt = -1;
        dialogs.onBox = [&](const FakeDialogs::Box &) { boxAt = clock.elapsed(); };

        f.btnUpdate->click();
        // Locked from the click: the erase gives no progress for a while.
        QVERIFY(locked());
        QCOMPARE(statusText(*window), QStringLiteral("Erasing the board…"));
        screenshot(*window, QStringLiteral("flashing-erasing.png"));
        QCOMPARE(m_requests->waitFor(protocol::request::kUpdate), QStringLiteral("EraseAll=1"));
        if (!qEnvironmentVariableIsEmpty("VELMO_SCREENSHOT_DIR")) {
            QTRY_VERIFY_WITH_TIMEOUT(f.progressBarUpdate->value() >= 30, kUpdateTimeoutMs);
            screenshot(*window, QStringLiteral("flashing-progress.png"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            dialogs.firstLines().contains(QStringLiteral("Update completed successfully.")),
            kUpdateTimeoutMs);
        QCOMPARE(dialogs.boxes.constLast().title, QStringLiteral("Flashing"));
        QCOMPARE(dialogs.boxes.constLast().kind, UserDialogs::Kind::Information);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(replies.payloadsOf(protocol::reply::kUpdate), QStringList{"OK"});
        QCOMPARE(replies.payloadsOf(protocol::reply::kVerify), QStringList{"OK"});
        const QStringList endBox = dialogs.boxes.constLast().text.split(QLatin1Char('\n'));
        QCOMPARE(endBox.mid(0, 2), (QStringList{"Update completed successfully.",
                                                "The board was read back and holds the file."}));
        QVERIFY(endBox.contains(QStringLiteral("Board: 0x1234 (VB-1234 virtual board)")));
        QVERIFY(endBox.contains(QStringLiteral("File: vb1234-sample.hex")));
        QVERIFY(endBox.contains(QStringLiteral("Retries after damaged answers: 0")));
        screenshotWithBox(*window, QStringLiteral("flashing-verified.png"),
                          dialogs.boxes.constLast());
        QVERIFY(replyAt >= 0);
        qInfo("result box %lld ms after the daemon's reply; %lld of 992 blocks written at the "
              "first progress value",
              boxAt - replyAt, writesAtFirstProgress);
        QVERIFY2(boxAt - replyAt < 1000,
                 qPrintable(QStringLiteral("box %1 ms after the reply").arg(boxAt - replyAt)));

        // The window kept pace: the first value came while the board still
        // had most of its 992 blocks to write.
        QVERIFY(progress.size() > 50);
        QVERIFY2(writesAtFirstProgress >= 0 && writesAtFirstProgress < 992 / 2,
                 qPrintable(QString::number(writesAtFirstProgress)));
        QVERIFY(lockedWhileWriting);
        QVERIFY(std::any_of(progressTexts.cbegin(), progressTexts.cend(), [](const QString &t) {
            return t.contains(QLatin1String(" of 992 blocks, about "));
        }));
        // Written, then read back, each from 0 up.
        const auto readBack = std::find(progress.begin(), progress.end(), 0);
        QVERIFY(readBack != progress.end() && readBack + 1 != progress.end());
        QVERIFY(std::is_sorted(progress.begin(), readBack));
        QVERIFY(std::is_sorted(readBack, progress.end() - 1));
        QVERIFY(std::any_of(progressTexts.cbegin(), progressTexts.cend(), [](const QString &t) {
            return t.startsWith(QLatin1String("Verifying block ")) &&
                   t.endsWith(QLatin1String(" of 992"));
        }));
        QCOMPARE(progress.constLast(), 0);
        QCOMPARE(f.progressBarUpdate->value(), 0);
        QVERIFY(f.actionQuit->isEnabled());
        QCOMPARE(statusText(*window), QStringLiteral("Update completed successfully."));
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));
        QVERIFY(f.lineEditOpenFile->text().isEmpty());
        QVERIFY(f.actionConnect->isEnabled());
        QVERIFY(!f.actionDisconnect->isEnabled());

        // The boot loader is left and the port closed, in that order, after the box.
        QCOMPARE(m_requests->waitFor(protocol::request::kBootOff), QStringLiteral(" "));
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("OPEN"));
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("CLOSE"));
        QStringList tail;
        for (const MqttProbe::Message &m : m_requests->messages())
            if (m.first == protocol::request::kUpdate || m.first == protocol::request::kBootOff ||
                m.first == protocol::request::kSerial)
                tail << m.first + " " + m.second;
        using namespace protocol;
        QCOMPARE(m_requests->payloadsOf(request::kVerify), QStringList{" "});
        QCOMPARE(tail, (QStringList{request::kSerial + QStringLiteral(" OPEN"),
                                    request::kUpdate + QStringLiteral(" EraseAll=1"),
                                    request::kBootOff + QStringLiteral("  "),
                                    request::kSerial + QStringLiteral(" CLOSE")}));

        // What the board holds now is the file's program.
        window.reset();
        m_daemon.reset();
        board.stop();
        QFile flash(dump);
        QVERIFY(flash.open(QIODevice::ReadOnly));
        const QByteArray bytes = flash.readAll();
        QCOMPARE(bytes.size(), 64 * 1024);
        const QMap<quint32, quint8> expected = hexImage(firmware);
        QVERIFY(expected.size() > 1000);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(quint8(bytes.at(int(it.key()))), it.value());
        QCOMPARE(quint8(bytes.at(64 * 1024 - 1)), quint8(0xFF)); // padding
    }

    // A page-erase board that wants its id refreshed after connecting and
    // after the update.
    void goodPathPageEraseWithRefresh()
    {
        FakeDialogs dialogs;
        startDaemon();
        const QString dump = m_tmp.filePath("vb2345.bin");
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x2345", "--page-bytes", "1024", "--erase-all-from", "0x1000",
                             "--dump", dump}));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-2345 virtual board"));
        QCOMPARE(m_requests->waitFor(protocol::request::kConfigs),
                 QStringLiteral("StartFlash=0 StartProgr=4096 SizeFlash=64 SizeProgr=60 "
                                "MaxErase=1024 Padding=255 IdPosition=1"));
        QCOMPARE(m_requests->waitFor(protocol::request::kRefresh), QStringLiteral("START"));

        const QString firmware = sampleFirmware("vb2345-sample.hex");
        dialogs.files << firmware;
        f.actionOpenFile->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        f.actionUpdate->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            dialogs.firstLines().contains(QStringLiteral("Update completed successfully.")),
            kUpdateTimeoutMs);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(m_requests->waitFor(protocol::request::kRefresh), QStringLiteral("START"));
        QCOMPARE(m_requests->waitFor(protocol::request::kBootOff), QStringLiteral(" "));
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));

        window.reset();
        m_daemon.reset();
        board.stop();
        QFile flash(dump);
        QVERIFY(flash.open(QIODevice::ReadOnly));
        const QByteArray bytes = flash.readAll();
        const QMap<quint32, quint8> expected = hexImage(firmware);
        QVERIFY(!expected.isEmpty());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(quint8(bytes.at(int(it.key()))), it.value());
    }

    void daemonAbsent()
    {
        FakeDialogs dialogs;
        auto window = startWindow(QStringLiteral("/dev/null"));
        // 10 s, then the three requests, then 5 s for a pong that never comes.
        // (The empty ones are the announcements of the broker connection.)
        QTRY_VERIFY_WITH_TIMEOUT(m_requests->payloadsOf(protocol::request::kPing).contains(" "),
                                 13000);
        QVERIFY(window->daemonCheckPending());
        QTRY_VERIFY_WITH_TIMEOUT(m_requests->payloadsOf(protocol::request::kVersion).contains(" "),
                                 2000);
        QVERIFY(m_requests->payloadsOf(protocol::request::kInfo).contains(" "));
        QVERIFY(dialogs.boxes.isEmpty());
        const QString text = QStringLiteral("Unable to connect with serial daemon.");
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(), QStringList{text}, 8000);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Warning"));
        QCOMPARE(statusText(*window), text);
        QCOMPARE(labelText(*window), text);
        QVERIFY(!window->daemonCheckPending());
        QVERIFY(!window->serialTimer().isActive());
    }

    // After a pong the check is over: a broker change asks the daemon again
    // instead of reporting it absent straight away.
    void pongEndsDaemonCheck()
    {
        FakeDialogs dialogs;
        startDaemon();
        auto window = startWindow(QStringLiteral("/dev/null"));
        QVERIFY(waitForPong(*window));
        QVERIFY(QMetaObject::invokeMethod(window.get(), "processSerialTimeout"));
        QVERIFY(window->daemonCheckPending());
        QTRY_VERIFY_WITH_TIMEOUT(!window->daemonCheckPending(), 10000);
        QVERIFY(!window->serialTimer().isActive());

        QVERIFY(QMetaObject::invokeMethod(window.get(), "restartMqttConnection"));
        QVERIFY(window->serialTimer().isActive());
        m_requests->clear();
        QVERIFY(QMetaObject::invokeMethod(window.get(), "processSerialTimeout"));
        QCOMPARE(m_requests->waitFor(protocol::request::kPing), QStringLiteral(" "));
        QTRY_VERIFY_WITH_TIMEOUT(!window->daemonCheckPending(), 10000);
        QVERIFY(dialogs.boxes.isEmpty());
    }

    void openError()
    {
        FakeDialogs dialogs;
        startDaemon();
        // The picture shows the name a technician would see.
        const QString port = qEnvironmentVariableIsEmpty("VELMO_SCREENSHOT_DIR")
                                 ? m_tmp.filePath("no-such-port")
                                 : QStringLiteral("/dev/ttyUSB7");
        auto window = startWindow(port);
        QVERIFY(waitForPong(*window));
        window->form().actionConnect->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.boxes.size(), 1, kConnectTimeoutMs);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error"));
        // The daemon's own text, then what to do about it.
        const QStringList parts = dialogs.boxes.at(0).text.split(QStringLiteral("\n\n"));
        QCOMPARE(parts.size(), 2);
        QVERIFY2(parts.at(0).startsWith(QLatin1String("Can't open ")), qPrintable(parts.at(0)));
        QVERIFY(parts.at(0).endsWith(QLatin1String("error code 1")));
        QVERIFY2(parts.at(1).startsWith(port + " does not exist."), qPrintable(parts.at(1)));
        QCOMPARE(statusText(*window), QStringLiteral("Open error."));
        screenshotWithBox(*window, QStringLiteral("flashing-port-hint.png"), dialogs.boxes.at(0));
        QVERIFY(window->form().actionConnect->isEnabled());
        QVERIFY(!window->form().btnOpenFile->isEnabled());
    }

    void idUnreadable()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--silent"}));
        auto window = startWindow(board.port());
        QVERIFY(waitForPong(*window));
        window->form().actionConnect->trigger();
        const QString text = QStringLiteral("Error when connecting to the board.");
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.boxes.size(), 1, 60000);
        // The fixed text, then the likely causes.
        const QStringList lines = dialogs.texts().constFirst().split(QLatin1Char('\n'));
        QCOMPARE(lines.at(0), text);
        QCOMPARE(lines.at(1), QStringLiteral("The board did not answer on %1. Likely causes: the "
                                             "board is not powered, it is not in its boot loader, "
                                             "%1 is not the board's port, or the cable is loose "
                                             "or faulty.")
                                  .arg(board.port()));
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Warning"));
        QCOMPARE(statusText(*window), text);
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("OPEN"));
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("CLOSE"));
    }

    void missingConfiguration()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x3456"}));
        auto window = startWindow(board.port());
        QVERIFY(waitForPong(*window));
        window->form().actionConnect->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.boxes.size(), 1, kConnectTimeoutMs);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Warning"));
        QCOMPARE(dialogs.boxes.at(0).text,
                 QStringLiteral("Error loading configuration file for Board: 0x3456.\r\n Try to "
                                "update the software"));
        QCOMPARE(statusText(*window),
                 QStringLiteral("Failed control of the configuration file for the Board: 0x3456."));
        QCOMPARE(labelText(*window), QStringLiteral("Connected to Port: ") + board.port());
        // The port stays open; flashing stays out of reach.
        QVERIFY(window->form().actionConnect->isEnabled());
        QVERIFY(!window->form().actionDisconnect->isEnabled());
        QVERIFY(!window->form().btnOpenFile->isEnabled());
        QTest::qWait(300);
        QVERIFY(m_requests->payloadsOf(protocol::request::kConfigs).isEmpty());
    }

    // Checked before sending, by the daemon's rules: the first problem is
    // named and nothing reaches the daemon.
    void preSendCheck_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("bad record checksum") << "bad-checksum.hex"
                                             << "line 5: wrong record checksum";
        QTest::newRow("foreign board") << "vb2345-sample.hex"
                                       << "made for board 0x2345, connected board is 0x1234";
    }
    void preSendCheck()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));

        QString path = sampleFirmware(file);
        if (file == QLatin1String("bad-checksum.hex")) {
            // The sample with one digit of its fifth line changed.
            QFile sample(sampleFirmware("vb1234-sample.hex"));
            QVERIFY(sample.open(QIODevice::ReadOnly));
            QList<QByteArray> lines = sample.readAll().split('\n');
            QByteArray &line = lines[4];
            line[12] = line[12] == '0' ? '1' : '0';
            path = m_tmp.filePath(file);
            QFile bad(path);
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write(lines.join('\n'));
        }
        m_requests->clear();
        dialogs.files << path;
        f.btnOpenFile->click();
        QCOMPARE(dialogs.texts(),
                 QStringList{"The file was not sent to the board:\n" + reason + "."});
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QCOMPARE(statusText(*window), "File not sent: " + reason + ".");
        QVERIFY(f.lineEditOpenFile->text().isEmpty());
        QVERIFY(!f.btnUpdate->isEnabled());
        QVERIFY(!f.actionUpdate->isEnabled());
        if (file == QLatin1String("bad-checksum.hex"))
            screenshotWithBox(*window, QStringLiteral("flashing-file-refused.png"),
                              dialogs.boxes.at(0));
        QTest::qWait(300);
        QVERIFY(m_requests->payloadsOf(protocol::request::kFlash).isEmpty());

        // Cancelling the file dialog sends nothing and keeps the status bar.
        f.btnOpenFile->click();
        QTest::qWait(300);
        QCOMPARE(statusText(*window), "File not sent: " + reason + ".");
        QVERIFY(m_requests->payloadsOf(protocol::request::kFlash).isEmpty());
    }

    // A vendor file with configuration words and EEPROM data beside the
    // program is taken; the status bar and Hex File Info say what is not
    // written.
    void dataOutsideTheFlashIsShown()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));
        QVERIFY(!f.labelHexDetails->isVisible());

        const QString vendorFile = m_tmp.filePath(QStringLiteral("vb1234-app-eeprom-config.hex"));
        QFile::remove(vendorFile);
        QVERIFY(QFile::copy(QStringLiteral(VELMO_HEX_CORPUS "/ih-merged.hex"), vendorFile));
        dialogs.files << vendorFile;
        f.btnOpenFile->click();
        const QString config = QStringLiteral("14 bytes at 0x300000\u20130x30000D lie outside "
                                              "this board's flash and are not written");
        QTRY_COMPARE_WITH_TIMEOUT(
            statusText(*window),
            QStringLiteral("File loaded: Ok. Not written: 30 bytes outside this board's flash."),
            kConnectTimeoutMs);
        QVERIFY(dialogs.boxes.isEmpty());
        QVERIFY(f.btnUpdate->isEnabled());
        f.tabWidget->setCurrentIndex(1);
        QVERIFY(f.labelHexDetails->isVisible());
        const QStringList info = f.labelHexDetails->text().split('\n');
        QCOMPARE(info.size(), 5);
        QVERIFY2(info.at(1).startsWith(QStringLiteral("Programs 0x000800\u20130x0013B7: 3")),
                 qPrintable(info.at(1)));
        QCOMPARE(info.at(2), config);
        QVERIFY(info.at(3).startsWith(QStringLiteral("16 bytes at 0xF00000")));
        QCOMPARE(info.at(4), QStringLiteral("Signature: none (unsigned)"));
        screenshot(*window, QStringLiteral("flashing-outside-flash-note.png"));

        f.actionDisconnect->trigger();
        QVERIFY(!f.labelHexDetails->isVisible());
    }

    // A file refused before sending must not leave the image accepted before
    // armed: an Update would write that one.
    void refusedLocalFileDisarmsUpdate()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));
        dialogs.files << sampleFirmware("vb1234-sample.hex");
        f.btnOpenFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        QVERIFY(f.btnUpdate->isEnabled());
        QVERIFY(f.checkBoxEraseAll->isEnabled());

        const QString empty = m_tmp.filePath("empty.hex");
        QFile file(empty);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_requests->clear();
        dialogs.files << empty;
        f.actionOpenFile->trigger();
        QCOMPARE(dialogs.texts(), QStringList{"Error: File is empty.\n"});
        QCOMPARE(statusText(*window), QStringLiteral("File not loaded: the file is empty."));
        QVERIFY(f.lineEditOpenFile->text().isEmpty());
        QVERIFY(!f.btnUpdate->isEnabled());
        QVERIFY(!f.actionUpdate->isEnabled());
        QVERIFY(!f.checkBoxEraseAll->isEnabled());
        QVERIFY(f.labelHexVers->text().isEmpty());
        QVERIFY(f.btnOpenFile->isEnabled()); // another file may be chosen
        QTest::qWait(300);
        QVERIFY(m_requests->payloadsOf(protocol::request::kFlash).isEmpty());
        QVERIFY(m_requests->payloadsOf(protocol::request::kUpdate).isEmpty());
    }

    // Replies the real daemon never sends, from a stand-in on the broker.
    void implausibleReplies()
    {
        FakeDialogs dialogs;
        auto window = startWindow(QStringLiteral("/dev/ttyS9"));
        const MainWindowForm &f = window->form();
        // Subscribed once a pong gets through.
        QTRY_VERIFY_WITH_TIMEOUT(!window->serialTimer().isActive() ||
                                     (m_requests->publish(protocol::reply::kPing, "PONG"), false),
                                 kConnectTimeoutMs);

        f.actionConnect->trigger();
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("OPEN"));
        QVERIFY(m_requests->publish(protocol::reply::kOpen, "OK"));
        QCOMPARE(m_requests->waitFor(protocol::request::kReadId), QStringLiteral(" "));
        QCOMPARE(labelText(*window), QStringLiteral("Connected to Port: /dev/ttyS9"));
        QVERIFY(m_requests->publish(protocol::reply::kReadId, "0x10000"));
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(),
                                  QStringList{"COM incorrect. Choose another serial port."}, 5000);
        QCOMPARE(statusText(*window), QStringLiteral("Open error."));
        QVERIFY(f.actionConnect->isEnabled());
        QVERIFY(!f.actionDisconnect->isEnabled());

        // Progress: 100 does not move the bar; below it, the controls lock.
        QVERIFY(m_requests->publish(protocol::reply::kUpdatePercent, "40"));
        QTRY_COMPARE_WITH_TIMEOUT(f.progressBarUpdate->value(), 40, 5000);
        QVERIFY(!f.actionQuit->isEnabled());
        QVERIFY(m_requests->publish(protocol::reply::kUpdatePercent, "100"));
        QVERIFY(m_requests->publish(protocol::reply::kVersion, "after"));
        QTRY_COMPARE_WITH_TIMEOUT(window->systemMgr()->serialVersion(), QStringLiteral("after"),
                                  5000);
        QCOMPARE(f.progressBarUpdate->value(), 40);

        // Closing the window during an update asks first; if the user
        // insists, the port is still closed.
        m_requests->clear();
        dialogs.answers << UserDialogs::Answer::Yes;
        QVERIFY(window->close());
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("CLOSE"));
    }

    // A real box runs the event loop: a reply that arrives while it is open
    // is applied in a nested call and must not repeat the box's own step.
    void replyWhileBoxIsOpen()
    {
        FakeDialogs dialogs;
        auto window = startWindow(QStringLiteral("/dev/ttyS9"));
        QTRY_VERIFY_WITH_TIMEOUT(!window->serialTimer().isActive() ||
                                     (m_requests->publish(protocol::reply::kPing, "PONG"), false),
                                 kConnectTimeoutMs);
        bool first = true;
        dialogs.onBox = [this, &first](const FakeDialogs::Box &) {
            if (!std::exchange(first, false))
                return;
            QVERIFY(m_requests->publish(protocol::reply::kVersion, "nested"));
            QTest::qWait(1000);
        };
        m_requests->clear();
        QVERIFY(m_requests->publish(protocol::reply::kUpdate, "OK"));
        QCOMPARE(m_requests->waitFor(protocol::request::kVerify), QStringLiteral(" "));
        QVERIFY(m_requests->publish(protocol::reply::kVerify, "OK"));
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.isEmpty(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window->systemMgr()->serialVersion(), QStringLiteral("nested"),
                                  5000);
        QTest::qWait(500);
        QCOMPARE(dialogs.firstLines(), QStringList{"Update completed successfully."});
        QCOMPARE(m_requests->payloadsOf(protocol::request::kBootOff).size(), 1);
    }

    void failedUpdate()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(
            board.start({"--id", "0x1234", "--erase-all-from", "0x800", "--stop-ack-after", "20"}));
        auto window = startWindow(board.port());
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));
        dialogs.files << sampleFirmware("vb1234-sample.hex");
        window->form().btnOpenFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        window->form().btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.isEmpty(), kUpdateTimeoutMs);
        QCOMPARE(dialogs.boxes.size(), 1);
        // The fixed text, where and why it stopped, what to do.
        const QString why = QStringLiteral(
            "Writing block 21 of 992 at 0x000D00: the board did not answer within 5 s.");
        QVERIFY2(dialogs.texts().constFirst().startsWith(
                     "Failed Update.\n" + why + "\nThe board is left without a complete firmware."),
                 qPrintable(dialogs.texts().constFirst()));
        // The bar stays at the block that got no answer.
        const QString stopped = QStringLiteral("Stopped at block 21 of 992 (address 0x000D00).");
        QCOMPARE(dialogs.boxes.constLast().kind, UserDialogs::Kind::Critical);
        QCOMPARE(statusText(*window), "Failed Update. " + why);
        screenshotWithBox(*window, QStringLiteral("flashing-failure-reason.png"),
                          dialogs.boxes.constLast());
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));
        QCOMPARE(window->form().progressBarUpdate->value(), 2);
        QCOMPARE(window->form().progressBarUpdate->text(), stopped);
        QVERIFY(window->form().btnUpdateAgain->isEnabled());
        QVERIFY(window->form().actionQuit->isEnabled());
        QVERIFY(window->form().actionConnect->isEnabled());
        QTest::qWait(300);
        QVERIFY(m_requests->payloadsOf(protocol::request::kBootOff).isEmpty());
        QCOMPARE(m_requests->payloadsOf(protocol::request::kSerial).constLast(),
                 QStringLiteral("CLOSE"));

        // One click for the whole update again: the board, still stuck,
        // stops at the same place.
        m_requests->clear();
        window->form().btnUpdateAgain->click();
        QVERIFY(!window->form().btnUpdateAgain->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.boxes.size(), 2, kUpdateTimeoutMs);
        const auto trail = [this] {
            QStringList topics;
            for (const MqttProbe::Message &m : m_requests->messages())
                if (m.first != protocol::request::kPing && m.first != protocol::request::kInfo &&
                    m.first != protocol::request::kVersion &&
                    m.first != protocol::request::kRefresh)
                    topics << m.first;
            return topics;
        };
        using namespace protocol::request;
        // The close follows the box: it may still be on its way.
        QTRY_COMPARE_WITH_TIMEOUT(
            trail(),
            (QStringList{kSetup, kSerial, kReadId, kConfigs, kFlash, kMd5, kUpdate, kSerial}),
            5000);
        QVERIFY(dialogs.texts().constLast().startsWith(QLatin1String("Failed Update.\n")));
        QVERIFY(window->form().btnUpdateAgain->isEnabled());
    }

    // Closing during an update asks; No keeps the update running to its end,
    // Yes closes and asks the daemon to stop.
    void closeQuestionDuringUpdate()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800", "--pace"}));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));
        dialogs.files << sampleFirmware("vb1234-sample.hex");
        f.btnOpenFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);

        f.btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.progressBarUpdate->value() > 10, kUpdateTimeoutMs);
        dialogs.answers << UserDialogs::Answer::No;
        QVERIFY(!window->close());
        QCOMPARE(dialogs.questions.size(), 1);
        QCOMPARE(dialogs.questions.at(0).text,
                 QStringLiteral("An update is running. Closing now stops it and leaves the board "
                                "without a complete firmware. Close anyway?"));
        QCOMPARE(dialogs.questionDefaults, QList<UserDialogs::Answer>{UserDialogs::Answer::No});
        QVERIFY(window->isVisible());
        screenshotWithBox(*window, QStringLiteral("flashing-close-question.png"),
                          {UserDialogs::Kind::Warning, dialogs.questions.at(0).title,
                           dialogs.questions.at(0).text},
                          true);
        QTRY_VERIFY_WITH_TIMEOUT(
            dialogs.firstLines().contains(QStringLiteral("Update completed successfully.")),
            kUpdateTimeoutMs);

        // Again, and this time the user closes.
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));
        dialogs.files << sampleFirmware("vb1234-sample.hex");
        f.btnOpenFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        m_requests->clear();
        const qint64 writesBefore = board.stats().value(QStringLiteral("writes"), -1);
        QVERIFY(writesBefore >= 992);
        f.btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.progressBarUpdate->value() > 5, kUpdateTimeoutMs);
        dialogs.answers << UserDialogs::Answer::Yes;
        QVERIFY(window->close());
        QCOMPARE(dialogs.questions.size(), 2);
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("CLOSE"));
        // The update ends short of its last block.
        QTest::qWait(500);
        const qint64 writes = board.stats().value(QStringLiteral("writes"), -1) - writesBefore;
        QVERIFY2(writes > 0 && writes < 992, qPrintable(QString::number(writes)));
    }

    // The daemon dies while the board is written: within about ten seconds
    // the window says so, unlocks and closes the port.
    void daemonKilledDuringUpdate()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start(
            {"--id", "0x1234", "--erase-all-from", "0x800", "--pace", "--write-ms", "5"}));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));
        dialogs.files << sampleFirmware("vb1234-sample.hex");
        f.btnOpenFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        f.btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.progressBarUpdate->value() > 5, kUpdateTimeoutMs);
        QVERIFY(!f.actionQuit->isEnabled());

        m_requests->clear();
        QElapsedTimer sinceKill;
        sinceKill.start();
        m_daemon.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.isEmpty(), 20000);
        qInfo("noticed %lld ms after the daemon ended", sinceKill.elapsed());
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        const QStringList lines = dialogs.texts().constFirst().split(QLatin1Char('\n'));
        QCOMPARE(lines.at(0),
                 QStringLiteral("The serial daemon stopped answering during the update."));
        QVERIFY2(lines.at(1).startsWith(QLatin1String("Stopped at block ")),
                 qPrintable(lines.at(1)));
        QVERIFY(lines.at(2).startsWith(
            QLatin1String("The board is left without a complete firmware.")));
        QVERIFY(statusText(*window).startsWith(
            QStringLiteral("The serial daemon stopped answering during the update. Stopped at "
                           "block ")));
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));
        QVERIFY(f.progressBarUpdate->value() > 5);
        QVERIFY(f.actionQuit->isEnabled());
        QVERIFY(f.actionConnect->isEnabled());
        QVERIFY(!f.actionDisconnect->isEnabled());
        QVERIFY(!f.btnUpdate->isEnabled());
        // One ping into the silence, then the port is closed.
        QCOMPARE(m_requests->waitFor(protocol::request::kPing), QStringLiteral(" "));
        QCOMPARE(m_requests->waitFor(protocol::request::kSerial), QStringLiteral("CLOSE"));
        // And the window closes without a question.
        QVERIFY(window->close());
        QVERIFY(dialogs.questions.isEmpty());
    }

    // The INI reader splits "name" at its commas; the label shows it whole.
    void boardNameWithComma()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x4567"}));
        QFile config(m_tmp.filePath("config-id-0x4567.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[configs]\nname=VB-4567, rev. B\nstart-flash=0\nstart-progr=800\n"
                     "size-flash=64\nsize-progr=62\nmax-erase=-1\npadding=FF\nid-position=1\n");
        config.close();
        auto window = startWindow(board.port());
        window->flashWorkflow()->setBoardConfigFolder(m_tmp.path() + QLatin1Char('/'));
        QVERIFY(waitForPong(*window));
        QVERIFY2(connectBoard(*window, "VB-4567, rev. B"), qPrintable(labelText(*window)));
        QVERIFY(dialogs.boxes.isEmpty());
    }
};

QTEST_MAIN(TstMainWindowFlashing)
#include "tst_mainwindow_flashing.moc"
