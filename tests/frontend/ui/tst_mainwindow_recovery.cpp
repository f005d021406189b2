// The window when things go wrong, end to end: the real serial daemon
// (velmo-serial, started by the window's own launcher on the broker port it
// always uses), the virtual board, and a box that stays open as long as a
// technician takes to read it. An adapter pulled during the update gives
// one box and a "port lost" record; a daemon killed is started again by the
// next Connect; the port list shows what the daemon tells of each port.
#include "frontend/base/daemonstart.h"
#include "frontend/core/flashworkflow.h"
#include "frontend/core/systemmgr.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/settingsdialog.h"
#include "protocol/reports.h"
#include "protocol/topics.h"
#include "records/servicerecord.h"
#include "tests/frontend/fakedialogs.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/stagefiles.h"
#include "tests/support/testbroker.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

using frontend::DaemonStart;
using frontend::FlashWorkflow;

namespace {

constexpr int kConnectTimeoutMs = 30000;
constexpr int kUpdateTimeoutMs = 120000;
// As long as a technician might leave a box open; the window's watch of
// the update would have pinged and given up twice over meanwhile.
constexpr int kReadingBoxMs = 12000;

bool screenshots()
{
    return !qEnvironmentVariableIsEmpty("VELMO_SCREENSHOT_DIR");
}

// The screen around `widgets`, into VELMO_SCREENSHOT_DIR (a run under Xvfb,
// see scripts/take-frontend-screenshots.sh).
void screenshot(const QString &name, const QList<QWidget *> &widgets)
{
    if (!screenshots())
        return;
    QTest::qWait(800);
    QRect r;
    for (QWidget *w : widgets)
        r |= w->frameGeometry();
    QProcess::execute(
        QStringLiteral("import"),
        {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
         QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()),
         qEnvironmentVariable("VELMO_SCREENSHOT_DIR") + QLatin1Char('/') + name});
}

} // namespace

class TstMainWindowRecovery : public QObject
{
    Q_OBJECT

private:
    TestBroker m_broker;
    QList<qint64> m_daemons; // started by the windows' launchers here

    // A window as the program makes it: the launcher starts the daemon at
    // Connect when it is not running.
    std::unique_ptr<MainWindow> startWindow(const QString &port, DaemonStart &launcher)
    {
        writePreferences(port, m_broker.port());
        auto window = std::make_unique<MainWindow>(nullptr, m_broker.port());
        // Off ctest's pipe, which would stay open while the daemon runs.
        launcher.setQuiet(true);
        window->setDaemonStart(&launcher);
        window->show();
        return window;
    }
    static QString labelText(const MainWindow &window)
    {
        return window.form().labelStatusBar->text();
    }
    static QString statusText(const MainWindow &window)
    {
        return window.form().statusBar->currentMessage();
    }
    bool connectBoard(MainWindow &window, DaemonStart &launcher)
    {
        window.form().actionConnect->trigger();
        if (launcher.startedPid() > 0 && !m_daemons.contains(launcher.startedPid()))
            m_daemons << launcher.startedPid();
        QDeadlineTimer deadline(kConnectTimeoutMs);
        const QString wanted = QStringLiteral("Connected with board: VB-1234 virtual board");
        while (labelText(window) != wanted && !deadline.hasExpired())
            QTest::qWait(50);
        return labelText(window) == wanted;
    }
    static bool alive(qint64 pid) { return ::kill(pid_t(pid), 0) == 0; }

private slots:
    void init()
    {
        QVERIFY2(m_broker.start(TestBroker::kFixedPort), qPrintable(m_broker.errorString()));
        QVERIFY(!DaemonStart::running(QString()));
    }
    void cleanup()
    {
        for (const qint64 pid : std::as_const(m_daemons))
            ::kill(pid_t(pid), SIGTERM);
        for (const qint64 pid : std::as_const(m_daemons)) {
            QDeadlineTimer deadline(5000);
            while (alive(pid) && !deadline.hasExpired())
                QTest::qWait(20);
        }
        m_daemons.clear();
        m_broker.stop();
    }

    // The adapter is pulled at block 300 while the technician still reads a
    // box: one box, naming the port and the block, and a "port lost" record.
    void unplugDuringUpdate()
    {
        FakeDialogs dialogs;
        DaemonStart launcher;
        BoardSimProcess board;
        QVERIFY(board.start(
            {"--id", "0x1234", "--erase-all-from", "0x800", "--pace", "--hangup-after", "300"}));
        auto window = startWindow(board.port(), launcher);
        const MainWindowForm &f = window->form();
        QVERIFY2(connectBoard(*window, launcher), qPrintable(labelText(*window)));
        QVERIFY(launcher.startedPid() > 0);
        dialogs.files << QFileInfo(sampleFirmware("vb1234-sample.hex")).canonicalFilePath();
        f.btnOpenFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        QVERIFY(!f.btnUpdateAgain->isEnabled());

        // The box runs the event loop while it is open, as a real one does.
        dialogs.onBox = [](const FakeDialogs::Box &) { QTest::qWait(kReadingBoxMs); };
        f.btnUpdate->click();
        // Busy, not greyed, while the board is erased.
        QVERIFY(f.progressBarUpdate->isEnabled());
        QCOMPARE(f.progressBarUpdate->maximum(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.isEmpty(), kUpdateTimeoutMs);
        QTest::qWait(3000); // nothing more comes
        QCOMPARE(dialogs.boxes.size(), 1);
        const FakeDialogs::Box box = dialogs.boxes.constFirst();
        QCOMPARE(box.kind, UserDialogs::Kind::Critical);
        const QStringList lines = box.text.split(QLatin1Char('\n'));
        QCOMPARE(lines.at(0), QStringLiteral("Failed Update."));
        QVERIFY2(lines.at(1).startsWith("The port " + board.port() + " went away"),
                 qPrintable(box.text));
        // The board hung up at its 301st write: the daemon names that block.
        const QRegularExpression at(QStringLiteral(
            "^Writing block (\\d+) of 992 at 0x[0-9A-F]{6}: the serial port was lost\\.$"));
        const QRegularExpressionMatch m = at.match(lines.at(2));
        QVERIFY2(m.hasMatch(), qPrintable(lines.at(2)));
        QVERIFY2(m.captured(1).toInt() >= 291 && m.captured(1).toInt() <= 301,
                 qPrintable(lines.at(2)));
        QCOMPARE(statusText(*window),
                 "Failed Update. The port " + board.port() + " was lost. " + lines.at(2));
        QCOMPARE(f.progressBarUpdate->maximum(), 100);
        QVERIFY(f.progressBarUpdate->value() >= 29);
        QVERIFY2(f.progressBarUpdate->text().startsWith("Stopped at block " + m.captured(1) +
                                                        " of 992 (address 0x"),
                 qPrintable(f.progressBarUpdate->text()));
        QVERIFY(f.actionQuit->isEnabled());
        QVERIFY(f.actionConnect->isEnabled());
        QVERIFY(f.btnUpdateAgain->isEnabled());
        if (screenshots())
            showBox(*window, box, QStringLiteral("flashing-port-lost.png"));

        records::ServiceRecord store;
        QVERIFY(store.openDefault());
        const QList<records::UpdateRecord> all = store.query();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.at(0).state, records::RecordState::PortLost);
        QVERIFY2(
            all.at(0).errorText.startsWith("Serial port " + board.port() + " was disconnected"),
            qPrintable(all.at(0).errorText));
        QVERIFY2(all.at(0).errorText.endsWith(lines.at(2)), qPrintable(all.at(0).errorText));
    }

    // The broker stops at a third of the update. The daemon goes on and
    // writes the whole file: the one box says the board's state is unknown
    // rather than half written, and the record says "broker lost".
    void brokerStoppedDuringUpdate()
    {
        FakeDialogs dialogs;
        DaemonStart launcher;
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800", "--pace"}));
        auto window = startWindow(board.port(), launcher);
        window->flashWorkflow()->setUpdateWatchTimes(2000, 2000,
                                                     FlashWorkflow::kUpdateStartTimeoutMs);
        const MainWindowForm &f = window->form();
        QVERIFY2(connectBoard(*window, launcher), qPrintable(labelText(*window)));
        dialogs.files << QFileInfo(sampleFirmware("vb1234-sample.hex")).canonicalFilePath();
        f.btnOpenFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(statusText(*window), QStringLiteral("File loaded: Ok."),
                                  kConnectTimeoutMs);
        f.btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.progressBarUpdate->value() >= 30, kUpdateTimeoutMs);
        m_broker.stop();

        QTRY_VERIFY_WITH_TIMEOUT(!dialogs.boxes.isEmpty(), kUpdateTimeoutMs);
        const FakeDialogs::Box box = dialogs.boxes.constFirst();
        QCOMPARE(box.kind, UserDialogs::Kind::Critical);
        const QStringList lines = box.text.split(QLatin1Char('\n'));
        QCOMPARE(
            lines.at(0),
            QStringLiteral("The connection to the message broker was lost during the update."));
        QVERIFY2(lines.at(1).startsWith("The daemon was last heard from at block "),
                 qPrintable(box.text));
        QVERIFY2(lines.at(2).contains("the state of the board is unknown"), qPrintable(box.text));
        QVERIFY(!box.text.contains("without a complete firmware"));
        QVERIFY(f.progressBarUpdate->text().startsWith("The daemon was last heard from"));
        QVERIFY(f.btnUpdateAgain->isEnabled());

        // Nobody to tell, but the board got every block.
        const auto writes = [&board] { return board.stats().value(QStringLiteral("writes")); };
        QTRY_COMPARE_WITH_TIMEOUT(writes(), qint64(992), kUpdateTimeoutMs);
        // The broker back, the daemon's late word brings no second box.
        QVERIFY(m_broker.start(TestBroker::kFixedPort));
        QTRY_VERIFY_WITH_TIMEOUT(window->systemMgr()->brokerConnected(), kConnectTimeoutMs);
        QTest::qWait(3000);
        QCOMPARE(dialogs.boxes.size(), 1);

        records::ServiceRecord store;
        QVERIFY(store.openDefault());
        const records::UpdateRecord newest = store.query().constFirst();
        QCOMPARE(newest.state, records::RecordState::BrokerLost);
        QCOMPARE(newest.errorText, lines.at(0) + ' ' + lines.at(1));
    }

    // The daemon is killed: the next Connect starts it as the program's
    // start does, and goes on to the board without a restart.
    void connectAfterTheDaemonWasKilled()
    {
        FakeDialogs dialogs;
        DaemonStart launcher;
        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        auto window = startWindow(board.port(), launcher);
        QVERIFY2(connectBoard(*window, launcher), qPrintable(labelText(*window)));
        const qint64 first = launcher.startedPid();
        QVERIFY(first > 0);
        window->form().actionDisconnect->trigger();

        QCOMPARE(::kill(pid_t(first), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!DaemonStart::running(QString()), 5000);
        QVERIFY2(connectBoard(*window, launcher), qPrintable(labelText(*window)));
        QVERIFY(launcher.startedPid() != first);
        QVERIFY(alive(launcher.startedPid()));
        QVERIFY2(dialogs.boxes.isEmpty(), qPrintable(dialogs.texts().join('|')));
    }

    // Opened, the settings ask the daemon for its ports at once and show
    // what it tells of each. The ports of this PC are whatever it has, so a
    // stand-in on the broker answers for a PC with two USB adapters.
    void portListShowsDetails()
    {
        FakeDialogs dialogs;
        DaemonStart launcher(QStringLiteral("./no-daemon-here"));
        MqttProbe daemon(m_broker.port(), protocol::request::kAll, "velmo-test-ports");
        QVERIFY(daemon.waitConnected(QStringLiteral("REQUEST/test")));
        auto window = startWindow(QStringLiteral("ttyUSB0"), launcher);
        QTRY_VERIFY_WITH_TIMEOUT(window->systemMgr()->brokerConnected(), kConnectTimeoutMs);
        const auto asked = [&daemon] {
            return daemon.payloadsOf(protocol::request::kInfo).count(QStringLiteral(" "));
        };
        window->form().actionConfigure->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(asked(), 1, 5000);
        const QString byId =
            QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QVERIFY(daemon.publish(protocol::reply::kInfo, QStringLiteral("ttyS0 ttyUSB0 ttyACM0")));
        QVERIFY(daemon.publish(
            protocol::reply::kInfoDetails,
            protocol::buildPortDetails(
                {{QStringLiteral("ttyS0"), QString(), QString(), QString(), QString()},
                 {QStringLiteral("ttyUSB0"), QStringLiteral("FT232R USB UART"),
                  QStringLiteral("FTDI"), QStringLiteral("A50285BI"), byId},
                 {QStringLiteral("ttyACM0"), QStringLiteral("Door controller service port"),
                  QStringLiteral("Calvestrid"), QStringLiteral("0042"), QString()}})));
        SettingsDialog *settings = window->settingsDialog();
        auto *box = settings->findChild<QComboBox *>(QStringLiteral("serialPortInfoListBox"));
        QVERIFY(box);
        QTRY_COMPARE_WITH_TIMEOUT(box->count(), 4, 5000);
        const QAbstractItemModel *model = box->model();
        const auto cell = [model](int row, int column) {
            return model->index(row, column).data().toString();
        };
        QCOMPARE(cell(0, 0), QStringLiteral("ttyS0"));
        QCOMPARE(cell(1, 0), QStringLiteral("ttyUSB0"));
        QCOMPARE(cell(1, 1), QStringLiteral("FT232R USB UART"));
        QCOMPARE(cell(1, 2), QStringLiteral("FTDI"));
        QCOMPARE(cell(1, 3), QStringLiteral("A50285BI"));
        QCOMPARE(cell(2, 1), QStringLiteral("Door controller service port"));
        // The stable name can be chosen as well.
        QCOMPARE(cell(3, 0), byId);
        QCOMPARE(cell(3, 1),
                 QStringLiteral("Stable name of ttyUSB0 (stays when plugged in again)"));
        QCOMPARE(box->currentText(), QStringLiteral("ttyUSB0"));
        QVERIFY(model->index(1, 0).data(Qt::ToolTipRole).toString().contains(byId));

        if (screenshots()) {
            window->hide(); // the dialog alone in the picture
            settings->move(40, 40);
            settings->raise();
            settings->activateWindow();
            QTest::qWait(500);
            box->showPopup();
            screenshot(QStringLiteral("settings-port-details.png"),
                       {settings, box->view()->window()});
            box->hidePopup();
            window->show();
        }

        // The refresh button asks again.
        auto *refresh = settings->findChild<QToolButton *>(QStringLiteral("refreshPortsButton"));
        QVERIFY(refresh);
        const int before = asked();
        refresh->click();
        QTRY_COMPARE_WITH_TIMEOUT(asked(), before + 1, 5000);
    }

    // Connect with no port chosen opens the settings instead.
    void connectWithoutPortShowsSettings()
    {
        FakeDialogs dialogs;
        DaemonStart launcher(QStringLiteral("./no-daemon-here"));
        auto window = startWindow(QString(), launcher);
        QVERIFY(!window->settingsDialog()->isVisible());
        window->form().actionConnect->trigger();
        QVERIFY(window->settingsDialog()->isVisible());
        QVERIFY(dialogs.boxes.isEmpty());
        QCOMPARE(statusText(*window), QStringLiteral("Choose the board's serial port first."));
    }

private:
    // The recorded box shown over the window, as the real seam shows it.
    static void showBox(MainWindow &window, const FakeDialogs::Box &recorded, const QString &name)
    {
        window.move(0, 0);
        window.raise();
        window.form().tabWidget->setCurrentIndex(1);
        QMessageBox box(QMessageBox::Critical, recorded.title, recorded.text, QMessageBox::Ok,
                        &window);
        box.setWindowModality(Qt::NonModal);
        box.adjustSize();
        // Over the file's name, clear of the buttons and the bar below.
        box.move(window.geometry().center().x() - box.width() / 2,
                 window.form().HexFileGroup->mapToGlobal(QPoint(0, 0)).y() - 20);
        box.show();
        screenshot(name, {&window, &box});
    }
};

QTEST_MAIN(TstMainWindowRecovery)
#include "tst_mainwindow_recovery.moc"
