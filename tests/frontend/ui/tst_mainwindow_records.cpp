// Updates run from the main window leave their records: real daemon
// (in-process, on a broker of its own) and the virtual board. Each update
// adds exactly one record with what the window knew, whatever its end; the
// Flashing menu then shows them.
#include "common/datafolder.h"
#include "frontend/core/systemmgr.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/servicerecorddialog.h"
#include "protocol/topics.h"
#include "records/servicerecord.h"
#include "serial/statusobject.h" // the daemon's worker
#include "tests/frontend/fakedialogs.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/stagefiles.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

using records::RecordState;
using records::UpdateRecord;

namespace {

constexpr int kConnectTimeoutMs = 30000;
constexpr int kUpdateTimeoutMs = 120000;

QList<UpdateRecord> allRecords()
{
    records::ServiceRecord store;
    if (!store.openDefault())
        return {};
    return store.query();
}

// With VELMO_SCREENSHOT_DIR set (a run under Xvfb with a window manager, see
// scripts/take-frontend-screenshots.sh) the window is pictured there, with
// its title bar.
void screenshot(QWidget &window, const QString &name)
{
    const QString dir = qEnvironmentVariable("VELMO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    window.move(20, 20);
    window.raise();
    window.activateWindow();
    QTest::qWait(800);
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QString::number(window.winId()),
                       QStringLiteral("-frame"), dir + QLatin1Char('/') + name});
}

} // namespace

class TstMainWindowRecords : public QObject
{
    Q_OBJECT

private:
    TestBroker m_broker;
    std::unique_ptr<serialdaemon::StatusObject> m_daemon;

    // A window connected to the board, with `firmware` accepted by the
    // daemon: the next click on Update starts the update.
    std::unique_ptr<MainWindow> readyToUpdate(FakeDialogs &dialogs, const BoardSimProcess &board,
                                              const QString &boardName, const QString &firmware)
    {
        writePreferences(board.port(), m_broker.port());
        auto window = std::make_unique<MainWindow>(nullptr, m_broker.port());
        window->show();
        const MainWindowForm &f = window->form();
        QDeadlineTimer deadline(kConnectTimeoutMs);
        while (window->serialTimer().isActive() && !deadline.hasExpired())
            QTest::qWait(50);
        f.actionConnect->trigger();
        const QString wanted = QStringLiteral("Connected with board: ") + boardName;
        while (f.labelStatusBar->text() != wanted && !deadline.hasExpired())
            QTest::qWait(50);
        if (f.labelStatusBar->text() != wanted)
            return nullptr;
        dialogs.files << firmware;
        f.btnOpenFile->click();
        while (!f.btnUpdate->isEnabled() && !deadline.hasExpired())
            QTest::qWait(50);
        return f.btnUpdate->isEnabled() ? std::move(window) : nullptr;
    }

    // The one record the last update added.
    static bool oneMore(const QList<UpdateRecord> &before, UpdateRecord *added)
    {
        const QList<UpdateRecord> after = allRecords();
        if (after.size() != before.size() + 1)
            return false;
        *added = after.constFirst();
        return true;
    }

    // Starts a slow update and closes the window in the middle of it.
    void abortUpdate(bool withDaemonError)
    {
        const QString kJammed = QStringLiteral("Port /dev/pts/9 jammed");
        FakeDialogs dialogs;
        BoardSimProcess board;
        QVERIFY(board.start(
            {"--id", "0x1234", "--erase-all-from", "0x800", "--pace", "--write-ms", "40"}));
        auto window = readyToUpdate(dialogs, board, "VB-1234 virtual board",
                                    sampleFirmware("vb1234-sample.hex"));
        QVERIFY(window);
        const QList<UpdateRecord> before = allRecords();
        window->form().btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(window->form().progressBarUpdate->value() > 0, kUpdateTimeoutMs);
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Running);

        // An error the daemon reports meanwhile goes into the record; the
        // box waits for the update's end, which tells it all at once.
        if (withDaemonError) {
            MqttProbe daemonSide(m_broker.port(), protocol::request::kAll, "velmo-test-side");
            QVERIFY(daemonSide.waitConnected(QStringLiteral("REQUEST/test")));
            QVERIFY(daemonSide.publish(protocol::reply::kError, kJammed));
            QTRY_COMPARE_WITH_TIMEOUT(window->systemMgr()->errorText(), kJammed, kConnectTimeoutMs);
            QVERIFY(dialogs.boxes.isEmpty());
        }

        // Declining the close question keeps the update and its record open.
        window->close();
        QCOMPARE(dialogs.questions.size(), 1);
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Running);

        dialogs.answers << UserDialogs::Answer::Yes;
        window->close();
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::AbortedByClosing);
        QCOMPARE(r.errorText, withDaemonError ? kJammed : QString());
        window.reset();
        QCOMPARE(allRecords().size(), before.size() + 1);
    }

private slots:
    void init()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        m_daemon = std::make_unique<serialdaemon::StatusObject>(m_broker.port());
    }
    void cleanup()
    {
        m_daemon.reset();
        m_broker.stop();
    }

    void goodUpdate_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("boardName");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("eraseAll");
        QTest::newRow("0x1234") << QStringList{"--id", "0x1234", "--erase-all-from", "0x800"}
                                << "VB-1234 virtual board"
                                << "vb1234-sample.hex" << true;
        // Unchecking the hidden box is the only way the window asks for
        // page erase; the record must say which one ran.
        QTest::newRow("0x2345") << QStringList{"--id", "0x2345",           "--page-bytes",
                                               "1024", "--erase-all-from", "0x1000"}
                                << "VB-2345 virtual board"
                                << "vb2345-sample.hex" << false;
    }
    void goodUpdate()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, boardName);
        QFETCH(QString, firmware);
        QFETCH(bool, eraseAll);
        FakeDialogs dialogs;
        BoardSimProcess board;
        QVERIFY(board.start(options));
        const QString file = sampleFirmware(firmware);
        auto window = readyToUpdate(dialogs, board, boardName, file);
        QVERIFY(window);
        const QList<UpdateRecord> before = allRecords();
        window->form().checkBoxEraseAll->setChecked(eraseAll);
        const QDateTime clicked = QDateTime::currentDateTime().addMSecs(-1);
        window->form().btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            dialogs.firstLines().contains(QStringLiteral("Update completed successfully.")),
            kUpdateTimeoutMs);
        const QDateTime ended = QDateTime::currentDateTime();

        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Ok);
        QCOMPARE(r.program, QStringLiteral("VelmoFrontEnd"));
        QCOMPARE(r.port, board.port());
        QCOMPARE(r.boardId, QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(r.boardName, boardName);
        QCOMPARE(r.filePath, file);
        QCOMPARE(r.fileSize, QFileInfo(file).size());
        QCOMPARE(r.fileMd5, md5Of(file));
        QCOMPARE(r.erase, eraseAll ? records::EraseMode::All : records::EraseMode::Pages);
        QVERIFY(r.errorText.isEmpty());
        QCOMPARE(r.verify, records::VerifyResult::Ok);
        QCOMPARE(r.retries, 0);
        QVERIFY(r.startedAt >= clicked);
        QVERIFY(r.finishedAt <= ended);
        QVERIFY(r.durationMs() > 0);
        QVERIFY(!r.user.isEmpty());
        QVERIFY(!r.host.isEmpty());

        // Leaving the window afterwards changes nothing.
        window->close();
        window.reset();
        QCOMPARE(allRecords().constFirst().state, RecordState::Ok);
        QCOMPARE(allRecords().size(), before.size() + 1);
    }

    // The board stops acknowledging: the daemon gives up, the record says so.
    void failedUpdate()
    {
        FakeDialogs dialogs;
        BoardSimProcess board;
        QVERIFY(
            board.start({"--id", "0x1234", "--erase-all-from", "0x800", "--stop-ack-after", "20"}));
        auto window = readyToUpdate(dialogs, board, "VB-1234 virtual board",
                                    sampleFirmware("vb1234-sample.hex"));
        QVERIFY(window);
        const QList<UpdateRecord> before = allRecords();
        window->form().btnUpdate->click();
        QTRY_VERIFY_WITH_TIMEOUT(
            !dialogs.texts().isEmpty() &&
                dialogs.texts().constLast().startsWith(QLatin1String("Failed Update.")),
            kUpdateTimeoutMs);
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Failed);
        QCOMPARE(r.boardId, QStringLiteral("0x1234"));
        QVERIFY(r.finishedAt.isValid());
        // The daemon's reason, in the window's words.
        QCOMPARE(r.errorText,
                 QStringLiteral("Writing block 21 of 992 at 0x000D00: the board did not answer "
                                "within 5 s."));
        QCOMPARE(r.retries, 0);
    }

    // Closed while the board is being written: aborted, not left open.
    void closedDuringUpdate() { abortUpdate(false); }

    // A request that cannot leave starts no update and no record.
    void noBrokerNoRecord()
    {
        FakeDialogs dialogs;
        const QList<UpdateRecord> before = allRecords();
        writePreferences(QStringLiteral("/dev/null"), m_broker.port());
        auto window = std::make_unique<MainWindow>(nullptr, m_broker.port());
        m_broker.stop();
        QTest::qWait(500);
        QVERIFY(QMetaObject::invokeMethod(window.get(), "startUpdate"));
        QCOMPARE(window->form().statusBar->currentMessage(),
                 QStringLiteral("The update request could not be sent to the serial daemon."));
        QCOMPARE(allRecords().size(), before.size());
        QVERIFY(m_broker.start());
    }

    // Flashing > Service record… shows what the updates above left.
    void menuShowsRecords()
    {
        FakeDialogs dialogs;
        writePreferences(QStringLiteral("/dev/null"), m_broker.port());
        auto window = std::make_unique<MainWindow>(nullptr, m_broker.port());
        window->show();
        const MainWindowForm &f = window->form();
        QVERIFY(f.menuFlashing->actions().contains(f.actionServiceRecord));
        QVERIFY(f.actionServiceRecord->isEnabled());
        QVERIFY(!window->serviceRecordDialog());
        f.actionServiceRecord->trigger();
        ServiceRecordDialog *dialog = window->serviceRecordDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        const int expected = int(allRecords().size());
        QCOMPARE(dialog->table()->rowCount(), expected);
        // Created once: the menu brings back the same window.
        dialog->close();
        f.actionServiceRecord->trigger();
        QCOMPARE(window->serviceRecordDialog(), dialog);
        QVERIFY(dialog->isVisible());
        if (!qEnvironmentVariableIsEmpty("VELMO_SCREENSHOT_DIR")) {
            dialog->resize(1240, 300);
            screenshot(*dialog, QStringLiteral("service-record.png"));
        }
    }

    // A daemon error during the update stays with its record.
    void daemonErrorKept() { abortUpdate(true); }
};

QTEST_MAIN(TstMainWindowRecords)
#include "tst_mainwindow_records.moc"
