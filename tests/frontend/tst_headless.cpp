// The front end's core and its log data run without a display, and the log
// data needs no broker client. CMake refuses such links when it configures;
// this program is built twice, with the core and the log data and with the
// log data alone, keeps every shared library they name, and checks what the
// process really maps. It also checks how the dialog seam behaves when no
// window program installed its widgets.
#include "frontend/base/userdialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QUrl>
#include <QtTest>

class TstHeadless : public QObject
{
    Q_OBJECT

private slots:
    void mapsNoGuiLibrary()
    {
        QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication"));
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        for (const char *library : {"libQt6Core", "libQt6Network", "libQt6Sql", "libQt6Qml"})
            QVERIFY2(mapped.contains(library), library);
        for (const char *library :
             {"libQt6Gui", "libQt6Widgets", "libQt6PrintSupport", "qcustomplot"})
            QVERIFY2(!mapped.contains(library), library);
#ifdef VELMO_HEADLESS_LOGS_ONLY
        QVERIFY(!mapped.contains("libmosquitto"));
#else
        QVERIFY(mapped.contains("libmosquitto"));
#endif
    }

    // Without an installed implementation nothing blocks and nothing is lost:
    // boxes become warnings, questions are cancelled.
    void headlessDialogsByDefault()
    {
        UserDialogs &dialogs = UserDialogs::instance();
        QVERIFY(dynamic_cast<HeadlessDialogs *>(&dialogs));
        QTest::ignoreMessage(QtWarningMsg, "[error] Error: File wrong.");
        dialogs.critical(QStringLiteral("Error"), QStringLiteral("File wrong."));
        QTest::ignoreMessage(QtWarningMsg, "[warning] Warning: no daemon");
        dialogs.warning(QStringLiteral("Warning"), QStringLiteral("no daemon"));
        QTest::ignoreMessage(QtWarningMsg, "[info] Flashing: done");
        dialogs.information(QStringLiteral("Flashing"), QStringLiteral("done"));
        QVERIFY(dialogs.chooseOpenFile(QStringLiteral("Hex files (*.hex)")).isEmpty());
        QVERIFY(!dialogs.openUrl(QUrl(QStringLiteral("https://example.com/"))));
        QVERIFY(!dialogs.openDocument(QStringLiteral("/tmp/x.xlsx")));
    }
};

QTEST_GUILESS_MAIN(TstHeadless)
#include "tst_headless.moc"
