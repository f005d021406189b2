// The main window driven through the real serial daemon (in-process, on a
// broker of its own) and the virtual board: the good path of an update and
// its failure rows. Boxes and the file dialog are answered by FakeDialogs.
#include "frontend/core/systemmgr.h"
#include "frontend/ui/mainwindow.h"
#include "serial/statusobject.h" // the daemon's worker
#include "tests/frontend/fakedialogs.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
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

QString stageDir()
{
    return qEnvironmentVariable("VELMO_STAGE_DIR");
}

QString sampleFirmware(const QString &name)
{
    return stageDir() + QStringLiteral("/firmware/") + name;
}

// The stored preferences the window starts with: the board's port and the
// test's broker.
void writePreferences(const QString &port, int brokerPort)
{
    velmo::ensureDataFolder();
    QSettings prefs(velmo::dataFolderPath() + QStringLiteral("/VelmoFrontEnd.ini"),
                    QSettings::IniFormat);
    prefs.clear();
    prefs.setValue(QStringLiteral("serial/com"), port);
    prefs.setValue(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
    prefs.setValue(QStringLiteral("mqtt/port"), brokerPort);
    prefs.sync();
}

// Flash content a HEX file puts at each address (data records only).
QMap<quint32, quint8> hexImage(const QString &path)
{
    QMap<quint32, quint8> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    quint32 base = 0;
    file.readLine(); // identifier line
    while (!file.atEnd()) {
        const QByteArray record = QByteArray::fromHex(file.readLine().trimmed().mid(1));
        if (record.size() < 5)
            continue;
        const auto b = [&](int i) { return quint8(record.at(i)); };
        const int count = b(0);
        const quint32 address = quint32(b(1)) << 8 | b(2);
        if (b(3) == 0x00) {
            for (int i = 0; i < count; ++i)
                out.insert(base + address + quint32(i), b(4 + i));
        } else if (b(3) == 0x04) {
            base = (quint32(b(4)) << 8 | b(5)) << 16;
        }
    }
    return out;
}

// With VELMO_SCREENSHOT_DIR set (a run under Xvfb, see
// scripts/take-frontend-screenshots.sh) the good path leaves pictures of the
// window there.
void screenshot(QWidget &window, const QString &name)
{
    const QString dir = qEnvironmentVariable("VELMO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    window.move(0, 0);
    window.raise();
    window.activateWindow();
    QTest::qWait(800);
    const QRect r = window.frameGeometry();
    const QString crop =
        QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                       crop, dir + QLatin1Char('/') + name});
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
        m_requests = std::make_unique<MqttProbe>(m_broker.port(), QStringLiteral("REQUEST/#"),
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
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800", "--dump", dump}));
        auto window = startWindow(board.port());
        const MainWindowForm &f = window->form();
        QVERIFY(waitForPong(*window));
        QVERIFY(!window->daemonCheckPending());
        screenshot(*window, QStringLiteral("flashing-start-datalogging.png"));

        QVERIFY2(connectBoard(*window, "VB-1234 virtual board"), qPrintable(labelText(*window)));
        QCOMPARE(statusText(*window), QStringLiteral("Connected to Port: ") + board.port());
        QCOMPARE(m_requests->waitFor("REQUEST/BOARD/CONFIGS"),
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
        QList<int> progress;
        bool lockedWhileWriting = true;
        connect(f.progressBarUpdate, &QProgressBar::valueChanged, this, [&](int value) {
            progress << value;
            // The bar moves first, then the controls lock: look from the
            // second value on.
            if (value > 0 && progress.size() > 1)
                lockedWhileWriting = lockedWhileWriting && !f.actionQuit->isEnabled() &&
                                     !f.actionDisconnect->isEnabled() &&
                                     !f.btnUpdate->isEnabled() && !f.btnOpenFile->isEnabled();
        });
        f.btnUpdate->click();
        QCOMPARE(statusText(*window), QStringLiteral("Update started."));
        QCOMPARE(m_requests->waitFor("REQUEST/BOARD/UPDATE"), QStringLiteral("EraseAll=1"));
        QTRY_VERIFY_WITH_TIMEOUT(
            dialogs.texts().contains(QStringLiteral("Update completed successfully.")),
            kUpdateTimeoutMs);
        QCOMPARE(dialogs.boxes.constLast().title, QStringLiteral("Flashing"));
        QCOMPARE(dialogs.boxes.constLast().kind, UserDialogs::Kind::Information);
        QCOMPARE(dialogs.boxes.size(), 1);

        QVERIFY(progress.size() > 2);
        QVERIFY(lockedWhileWriting);
        QVERIFY(std::is_sorted(progress.begin(), progress.end() - 1));
        QCOMPARE(progress.constLast(), 0);
        QCOMPARE(f.progressBarUpdate->value(), 0);
        QVERIFY(f.actionQuit->isEnabled());
        QCOMPARE(statusText(*window), QStringLiteral("Update completed successfully."));
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));
        QVERIFY(f.lineEditOpenFile->text().isEmpty());
        QVERIFY(f.actionConnect->isEnabled());
        QVERIFY(!f.actionDisconnect->isEnabled());

        // The boot loader is left and the port closed, in that order, after the box.
        QCOMPARE(m_requests->waitFor("REQUEST/BOARD/BOOTOFF"), QStringLiteral(" "));
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL"), QStringLiteral("OPEN"));
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL"), QStringLiteral("CLOSE"));
        QStringList tail;
        for (const MqttProbe::Message &m : m_requests->messages())
            if (m.first == "REQUEST/BOARD/UPDATE" || m.first == "REQUEST/BOARD/BOOTOFF" ||
                m.first == "REQUEST/SERIAL")
                tail << m.first + " " + m.second;
        QCOMPARE(tail, (QStringList{"REQUEST/SERIAL OPEN", "REQUEST/BOARD/UPDATE EraseAll=1",
                                    "REQUEST/BOARD/BOOTOFF  ", "REQUEST/SERIAL CLOSE"}));

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
        QCOMPARE(m_requests->waitFor("REQUEST/BOARD/CONFIGS"),
                 QStringLiteral("StartFlash=0 StartProgr=4096 SizeFlash=64 SizeProgr=60 "
                                "MaxErase=1024 Padding=255 IdPosition=1"));
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL/REFRESH"), QStringLiteral("START"));

        const QString firmware = sampleFirmware("vb2345-sample.hex");
        dialogs.files << firmware;
        f.actionOpenFile->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        f.actionUpdate->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            dialogs.texts().contains(QStringLiteral("Update completed successfully.")),
            kUpdateTimeoutMs);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL/REFRESH"), QStringLiteral("START"));
        QCOMPARE(m_requests->waitFor("REQUEST/BOARD/BOOTOFF"), QStringLiteral(" "));
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
        QTRY_VERIFY_WITH_TIMEOUT(m_requests->payloadsOf("REQUEST/SERIAL/PING").contains(" "),
                                 13000);
        QVERIFY(window->daemonCheckPending());
        QTRY_VERIFY_WITH_TIMEOUT(m_requests->payloadsOf("REQUEST/SERIAL/VERSION").contains(" "),
                                 2000);
        QVERIFY(m_requests->payloadsOf("REQUEST/SERIAL/INFO").contains(" "));
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
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL/PING"), QStringLiteral(" "));
        QTRY_VERIFY_WITH_TIMEOUT(!window->daemonCheckPending(), 10000);
        QVERIFY(dialogs.boxes.isEmpty());
    }

    void openError()
    {
        FakeDialogs dialogs;
        startDaemon();
        auto window = startWindow(m_tmp.filePath("no-such-port"));
        QVERIFY(waitForPong(*window));
        window->form().actionConnect->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.boxes.size(), 1, kConnectTimeoutMs);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error"));
        QVERIFY(!dialogs.boxes.at(0).text.isEmpty()); // the daemon's own text
        QCOMPARE(statusText(*window), QStringLiteral("Open error."));
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
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(), QStringList{text}, 60000);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Warning"));
        QCOMPARE(statusText(*window), text);
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL"), QStringLiteral("OPEN"));
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL"), QStringLiteral("CLOSE"));
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
        QVERIFY(m_requests->payloadsOf("REQUEST/BOARD/CONFIGS").isEmpty());
    }

    void refusedImage()
    {
        FakeDialogs dialogs;
        startDaemon();
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        auto window = startWindow(board.port());
        QVERIFY(waitForPong(*window));
        QVERIFY(connectBoard(*window, "VB-1234 virtual board"));
        // Made for the other board: the daemon refuses it.
        dialogs.files << sampleFirmware("vb2345-sample.hex");
        window->form().actionOpenFile->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(), QStringList{"File wrong."}, kConnectTimeoutMs);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QCOMPARE(statusText(*window), QStringLiteral("File loaded: Error file wrong."));
        QVERIFY(!window->form().btnUpdate->isEnabled());
        QVERIFY(!window->form().actionUpdate->isEnabled());

        // Cancelling the file dialog sends nothing and keeps the status bar.
        m_requests->clear();
        window->form().btnOpenFile->click();
        QTest::qWait(300);
        QCOMPARE(statusText(*window), QStringLiteral("File loaded: Error file wrong."));
        QVERIFY(m_requests->payloadsOf("REQUEST/SERIAL/FLASH").isEmpty());
    }

    // Replies the real daemon never sends, from a stand-in on the broker.
    void implausibleReplies()
    {
        FakeDialogs dialogs;
        auto window = startWindow(QStringLiteral("/dev/ttyS9"));
        const MainWindowForm &f = window->form();
        // Subscribed once a pong gets through.
        QTRY_VERIFY_WITH_TIMEOUT(!window->serialTimer().isActive() ||
                                     (m_requests->publish("SERIAL/PING", "PONG"), false),
                                 kConnectTimeoutMs);

        f.actionConnect->trigger();
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL"), QStringLiteral("OPEN"));
        QVERIFY(m_requests->publish("SERIAL/OPEN", "OK"));
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL/READ/ID"), QStringLiteral(" "));
        QCOMPARE(labelText(*window), QStringLiteral("Connected to Port: /dev/ttyS9"));
        QVERIFY(m_requests->publish("SERIAL/READ/ID", "0x10000"));
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(),
                                  QStringList{"COM incorrect. Choose another serial port."}, 5000);
        QCOMPARE(statusText(*window), QStringLiteral("Open error."));
        QVERIFY(f.actionConnect->isEnabled());
        QVERIFY(!f.actionDisconnect->isEnabled());

        // Progress: 100 does not move the bar; below it, the controls lock.
        QVERIFY(m_requests->publish("SERIAL/BOARD/UPDATE/PERC", "40"));
        QTRY_COMPARE_WITH_TIMEOUT(f.progressBarUpdate->value(), 40, 5000);
        QVERIFY(!f.actionQuit->isEnabled());
        QVERIFY(m_requests->publish("SERIAL/BOARD/UPDATE/PERC", "100"));
        QVERIFY(m_requests->publish("SERIAL/VERSION", "after"));
        QTRY_COMPARE_WITH_TIMEOUT(window->systemMgr()->serialVersion(), QStringLiteral("after"),
                                  5000);
        QCOMPARE(f.progressBarUpdate->value(), 40);

        // Closing the window during an update still closes the port.
        m_requests->clear();
        window->close();
        QCOMPARE(m_requests->waitFor("REQUEST/SERIAL"), QStringLiteral("CLOSE"));
    }

    // A real box runs the event loop: a reply that arrives while it is open
    // is applied in a nested call and must not repeat the box's own step.
    void replyWhileBoxIsOpen()
    {
        FakeDialogs dialogs;
        auto window = startWindow(QStringLiteral("/dev/ttyS9"));
        QTRY_VERIFY_WITH_TIMEOUT(!window->serialTimer().isActive() ||
                                     (m_requests->publish("SERIAL/PING", "PONG"), false),
                                 kConnectTimeoutMs);
        bool first = true;
        dialogs.onBox = [this, &first](const FakeDialogs::Box &) {
            if (!std::exchange(first, false))
                return;
            QVERIFY(m_requests->publish("SERIAL/VERSION", "nested"));
            QTest::qWait(1000);
        };
        m_requests->clear();
        QVERIFY(m_requests->publish("SERIAL/BOARD/UPDATE", "OK"));
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.isEmpty(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window->systemMgr()->serialVersion(), QStringLiteral("nested"),
                                  5000);
        QTest::qWait(500);
        QCOMPARE(dialogs.texts(), QStringList{"Update completed successfully."});
        QCOMPARE(m_requests->payloadsOf("REQUEST/BOARD/BOOTOFF").size(), 1);
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
        QTRY_VERIFY_WITH_TIMEOUT(dialogs.texts().contains(QStringLiteral("Failed Update.")),
                                 kUpdateTimeoutMs);
        QCOMPARE(dialogs.boxes.constLast().kind, UserDialogs::Kind::Critical);
        QCOMPARE(statusText(*window), QStringLiteral("Failed Update."));
        QCOMPARE(labelText(*window), QStringLiteral("Disconnected"));
        QCOMPARE(window->form().progressBarUpdate->value(), 0);
        QVERIFY(window->form().actionQuit->isEnabled());
        QVERIFY(window->form().actionConnect->isEnabled());
        QTest::qWait(300);
        QVERIFY(m_requests->payloadsOf("REQUEST/BOARD/BOOTOFF").isEmpty());
        QCOMPARE(m_requests->payloadsOf("REQUEST/SERIAL").constLast(), QStringLiteral("CLOSE"));
    }
};

QTEST_MAIN(TstMainWindowFlashing)
#include "tst_mainwindow_flashing.moc"
