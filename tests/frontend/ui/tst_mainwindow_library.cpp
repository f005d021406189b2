// The firmware library in the main window, through the real serial daemon
// (in-process, on a broker of its own) and the virtual board: after Connect
// the Flashing tab lists the board's files newest first with the last
// update's file marked, one click loads a file the usual way, a signed
// file's info names its signer, dropped files are added, and "Only flash
// signed files" greys the others.
#include "frontend/library/librarycontroller.h"
#include "frontend/library/librarymodel.h"
#include "frontend/ui/librarypanel.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/settingsdialog.h"
#include "records/servicerecord.h"
#include "serial/statusobject.h" // the daemon's worker
#include "tests/frontend/fakedialogs.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/stagefiles.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeView>
#include <QtTest>

#include "common/datafolder.h"

namespace {

constexpr int kConnectTimeoutMs = 30000;

// With VELMO_SCREENSHOT_DIR set (scripts/take-frontend-screenshots.sh),
// pictures of the window are left there.
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
    QProcess::execute(
        QStringLiteral("import"),
        {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
         QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()),
         dir + QLatin1Char('/') + name});
}

QString signingFile(const char *name)
{
    return QStringLiteral(VELMO_SIGNING_DATA "/") + QLatin1String(name);
}

bool copyFile(const QString &from, const QString &to, const QDateTime &modified = {})
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return false;
    QFile file(to);
    return file.open(QIODevice::ReadWrite) &&
           (!modified.isValid() || file.setFileTime(modified, QFileDevice::FileModificationTime));
}

} // namespace

class TstMainWindowLibrary : public QObject
{
    Q_OBJECT

    TestBroker m_broker;
    std::unique_ptr<serialdaemon::StatusObject> m_daemon;
    QTemporaryDir m_tmp;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        m_daemon = std::make_unique<serialdaemon::StatusObject>(m_broker.port());
    }
    void cleanupTestCase()
    {
        m_daemon.reset();
        m_broker.stop();
    }

    void listLoadAndSignatures()
    {
        FakeDialogs dialogs;
        const QString library = velmo::dataFolderPath() + QStringLiteral("/Firmware");
        const QDateTime now = QDateTime::currentDateTime();
        // A signed release, an older one that the board type was last
        // updated with, and a newer file that fails the check.
        const QString release = library + "/vb1234-2.1.hex";
        QVERIFY(copyFile(sampleFirmware("vb1234-sample.hex"), release, now.addDays(-3)));
        QVERIFY(copyFile(signingFile("vb1234-sample.hex.sig"), release + ".sig"));
        const QString older = library + "/vb1234-2.0.hex";
        QVERIFY(
            copyFile(QStringLiteral(VELMO_HEX_CORPUS "/srec-i16.hex"), older, now.addDays(-40)));
        QVERIFY(copyFile(QStringLiteral(VELMO_HEX_CORPUS "/bad-checksum.hex"),
                         library + "/vb1234-2.2-draft.hex", now.addDays(-1)));
        QVERIFY(copyFile(signingFile("acme-service.pub"),
                         velmo::dataFolderPath() + "/Keys/acme-service.pub"));
        {
            records::ServiceRecord store;
            QVERIFY(store.openDefault());
            records::UpdateStart start;
            start.boardId = QStringLiteral("0x1234");
            start.fileMd5 = md5Of(older);
            start.startedAt = now.addDays(-30);
            QVERIFY(store.finishUpdate(store.beginUpdate(start), records::UpdateResult::Ok, {}));
        }

        BoardSimProcess board;
        QVERIFY(board.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        writePreferences(board.port(), m_broker.port());
        MainWindow window(nullptr, m_broker.port());
        window.show();
        const MainWindowForm &f = window.form();
        frontend::LibraryController &controller = *window.libraryController();
        frontend::LibraryModel &model = *controller.model();
        LibraryPanel &panel = *window.libraryPanel();
        f.tabWidget->setCurrentWidget(f.flashing);

        // Before Connect: counted, not listed.
        QTRY_VERIFY_WITH_TIMEOUT(!controller.isIndexing() &&
                                     model.libraryIndex().entries.size() == 5,
                                 kConnectTimeoutMs);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(panel.stateLabel()->text(),
                 QStringLiteral("5 files in the library: connect to list the board's files."));

        // A file dropped onto the window is added.
        const QString download = m_tmp.filePath("downloads/vb1234-1.0.hex");
        QVERIFY(
            copyFile(QStringLiteral(VELMO_HEX_CORPUS "/ih-lf.hex"), download, now.addDays(-400)));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(download), QUrl::fromLocalFile(m_tmp.filePath("x.txt"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);
        QVERIFY(QFileInfo::exists(library + "/vb1234-1.0.hex"));
        QVERIFY(QFileInfo::exists(download)); // copied, not moved
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.constLast().title, QStringLiteral("Flashing"));
        QVERIFY2(dialogs.boxes.constLast().text.startsWith(
                     "vb1234-1.0.hex was added to the firmware library. It is made for board "
                     "0x1234 (VB-1234 virtual board). Signature: unsigned."),
                 qPrintable(dialogs.boxes.constLast().text));
        QMimeData text;
        text.setText(QStringLiteral("not a file"));
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton,
                                Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &refused);
        QVERIFY(!refused.isAccepted());

        // After Connect: the board's files, newest first.
        f.actionConnect->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(f.labelStatusBar->text(),
                                  QStringLiteral("Connected with board: VB-1234 virtual board"),
                                  kConnectTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!controller.isIndexing() && model.rowCount() == 5,
                                 kConnectTimeoutMs);
        const auto file = [&](int row) {
            return model.data(model.index(row, frontend::LibraryModel::FileColumn)).toString();
        };
        const QString draft = library + "/vb1234-2.2-draft.hex";
        const QString first = library + "/vb1234-1.0.hex";
        QVERIFY(model.rowOf(draft) < model.rowOf(release));
        QVERIFY(model.rowOf(release) < model.rowOf(older));
        QVERIFY(model.rowOf(older) < model.rowOf(first));
        QVERIFY(model.rowOf(QDir::cleanPath(sampleFirmware("vb1234-sample.hex"))) >= 0);
        QCOMPARE(file(model.rowOf(release)), QStringLiteral("vb1234-2.1.hex"));
        const int olderRow = model.rowOf(older);
        QCOMPARE(file(olderRow), QString(QChar(0x2605)) + QStringLiteral(" vb1234-2.0.hex"));
        QVERIFY(
            model.data(model.index(olderRow, 0), frontend::LibraryModel::LastUsedRole).toBool());
        QVERIFY(!model.isUsable(model.rowOf(draft)));
        QCOMPARE(panel.stateLabel()->text(),
                 QStringLiteral("5 files for VB-1234 virtual board, 4 can be flashed."));
        screenshot(window, QStringLiteral("flashing-library.png"));

        // A click on the greyed one does nothing; on the signed release it
        // loads the file as Open File would.
        QTreeView *view = panel.view();
        const auto click = [&](int row) {
            const QRect cell = view->visualRect(model.index(row, 0));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        };
        click(model.rowOf(draft));
        QVERIFY(f.lineEditOpenFile->text().isEmpty());
        click(model.rowOf(release));
        QCOMPARE(f.lineEditOpenFile->text(), release);
        QTRY_VERIFY_WITH_TIMEOUT(
            f.statusBar->currentMessage().startsWith(QStringLiteral("File loaded: Ok.")),
            kConnectTimeoutMs);
        QVERIFY(f.btnUpdate->isEnabled());
        QVERIFY2(f.labelHexDetails->text().contains("Signature: signed by acme-service (key "),
                 qPrintable(f.labelHexDetails->text()));
        screenshot(window, QStringLiteral("flashing-signed-info.png"));

        // Only signed files: the unsigned ones are greyed.
        SettingsDialog &settings = *window.settingsDialog();
        settings.findChild<QCheckBox *>(QStringLiteral("checkBoxOnlySigned"))->setChecked(true);
        settings.apply();
        QCOMPARE(panel.stateLabel()->text(),
                 QStringLiteral("5 files for VB-1234 virtual board, 1 can be flashed."));
        QVERIFY(!model.isUsable(olderRow));
        QVERIFY(model.isUsable(model.rowOf(release)));
        dialogs.files << older; // Open File is refused the same way
        f.btnOpenFile->click();
        QVERIFY(dialogs.boxes.constLast().text.contains("the file is not signed"));
        QCOMPARE(f.statusBar->currentMessage().left(15), QStringLiteral("File not sent: "));

        f.actionDisconnect->trigger();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(QDir(library).removeRecursively());
    }
};

QTEST_MAIN(TstMainWindowLibrary)
#include "tst_mainwindow_library.moc"
