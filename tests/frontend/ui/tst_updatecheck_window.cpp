// The Help menu's update actions on the real window: the switch, its text
// across a restart, and a check on request against a loopback feed server.
#include "common/datafolder.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/updatecheckui.h"
#include "tests/frontend/fakedialogs.h"
#include "tests/frontend/ui/feedserver.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

class TstUpdateCheckWindow : public QObject
{
    Q_OBJECT

private:
    static QString prefsPath() { return velmo::dataFolderPath() + "/VelmoFrontEnd.ini"; }
    std::unique_ptr<MainWindow> makeWindow()
    {
        return std::make_unique<MainWindow>(nullptr, m_noBrokerPort);
    }

    int m_noBrokerPort = 0;

private slots:
    void initTestCase() { m_noBrokerPort = TestBroker::freePort(); }
    void init() { QFile::remove(prefsPath()); }

    void switchTogglesAndSurvivesARestart()
    {
        FakeDialogs dialogs;
        {
            auto w = makeWindow();
            QAction *toggle = w->form().actionDisable_Update;
            QVERIFY(toggle->isEnabled());
            QVERIFY(w->form().actionCheck_for_update->isEnabled());
            QCOMPARE(toggle->text(), QStringLiteral("Disable Update")); // on the first time

            QTest::ignoreMessage(QtDebugMsg, "unable disable");
            toggle->trigger();
            QCOMPARE(toggle->text(), QStringLiteral("Enable Update"));
            QTest::ignoreMessage(QtDebugMsg, "unable disable");
            toggle->trigger();
            QCOMPARE(toggle->text(), QStringLiteral("Disable Update"));
            QTest::ignoreMessage(QtDebugMsg, "unable disable");
            toggle->trigger();
            QCOMPARE(toggle->text(), QStringLiteral("Enable Update"));
            // The window alone starts no check; start-up asks for it.
            QVERIFY(!w->updateCheck()->automaticCheckScheduled());
        }
        QCOMPARE(QSettings(prefsPath(), QSettings::IniFormat)
                     .value(QStringLiteral("update/automaticCheck"))
                     .toBool(),
                 false);
        {
            auto w = makeWindow();
            QCOMPARE(w->form().actionDisable_Update->text(), QStringLiteral("Enable Update"));
            w->startAutomaticUpdateCheck(); // switched off: nothing to do
            QVERIFY(!w->updateCheck()->automaticCheckScheduled());
            QTest::ignoreMessage(QtDebugMsg, "unable disable");
            w->form().actionDisable_Update->trigger();
            QCOMPARE(w->form().actionDisable_Update->text(), QStringLiteral("Disable Update"));
            w->startAutomaticUpdateCheck();
            QVERIFY(w->updateCheck()->automaticCheckScheduled());
        } // and the pending check goes with the window
        QVERIFY(dialogs.boxes.isEmpty());
    }

    void checkForUpdateAction()
    {
        FeedServer server;
        QVERIFY(server.listen());
        FakeDialogs dialogs;
        auto w = makeWindow();
        w->updateCheck()->checker().setBaseUrl(server.baseUrl());
        QSignalSpy finished(w->updateCheck(), &UpdateCheckUi::checkFinished);

        server.serveBoth({200, appcastFeed({{"2.8", ""}}), false});
        w->form().actionCheck_for_update->trigger();
        QVERIFY(finished.wait(15000));
        QCOMPARE(dialogs.texts(), QStringList{"You are running the latest version (2.8)."});

        // Newer: the box carries the release; the fake answers without clicking.
        server.serveBoth({200, appcastFeed({{"2.10", "notes"}}), false});
        w->form().actionCheck_for_update->trigger();
        QVERIFY(finished.wait(15000));
        QCOMPARE(dialogs.dialogTitles.constLast(), QStringLiteral("Update available"));
        QVERIFY(dialogs.dialogTexts.constLast().contains(QLatin1String("2.10")));

        // The server goes away.
        w->updateCheck()->checker().setBaseUrl(
            QUrl(QStringLiteral("http://127.0.0.1:%1/orkel/").arg(TestBroker::freePort())));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^\\[UpdateCheckUi\\] update check failed:"));
        w->form().actionCheck_for_update->trigger();
        QVERIFY(finished.wait(15000));
        QCOMPARE(dialogs.boxes.constLast().title, QStringLiteral("Error"));
        QCOMPARE(dialogs.boxes.size(), 2);
    }

    void italianTexts()
    {
        QTranslator translator;
        const QString qm =
            qEnvironmentVariable("VELMO_STAGE_DIR") + "/translations/velmofrontend_it.qm";
        QVERIFY2(translator.load(qm), qPrintable(qm));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        auto removeTranslator =
            qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });

        FeedServer server;
        QVERIFY(server.listen());
        server.serveBoth({200, appcastFeed({{"2.8", ""}}), false});
        FakeDialogs dialogs;
        auto w = makeWindow();
        QCOMPARE(w->form().actionDisable_Update->text(), QStringLiteral("Disattiva aggiornamenti"));
        QTest::ignoreMessage(QtDebugMsg, "unable disable");
        w->form().actionDisable_Update->trigger();
        QCOMPARE(w->form().actionDisable_Update->text(), QStringLiteral("Attiva aggiornamenti"));

        w->updateCheck()->checker().setBaseUrl(server.baseUrl());
        QSignalSpy finished(w->updateCheck(), &UpdateCheckUi::checkFinished);
        w->form().actionCheck_for_update->trigger();
        QVERIFY(finished.wait(15000));
        QCOMPARE(dialogs.texts(), QStringList{"Stai usando la versione più recente (2.8)."});
    }

    void windowClosesDuringACheck()
    {
        FeedServer server;
        QVERIFY(server.listen());
        server.serveBoth({200, {}, true});
        FakeDialogs dialogs;
        auto w = makeWindow();
        w->updateCheck()->checker().setBaseUrl(server.baseUrl());
        w->form().actionCheck_for_update->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(server.paths.size(), 1, 15000);
        w.reset();
        QTest::qWait(200);
        QVERIFY(dialogs.boxes.isEmpty());
    }
};

QTEST_MAIN(TstUpdateCheckWindow)
#include "tst_updatecheck_window.moc"
