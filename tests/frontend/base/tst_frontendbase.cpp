// What the whole front end stands on: here, the user's language.
#include "frontend/base/translations.h"

#include <QtTest>

class TstFrontendBase : public QObject
{
    Q_OBJECT

private slots:
    // Qt's own texts (Yes, No, the file dialogs) come in the window's
    // language; an English window keeps English buttons.
    void qtTextsFollowTheWindowsLanguage()
    {
        const QString folder = qEnvironmentVariable("VELMO_STAGE_DIR") + "/translations";
        {
            FrontEndTranslations italian;
            italian.load(QStringLiteral("it_IT"), folder);
            QVERIFY(italian.frontEndLoaded());
            QVERIFY(italian.qtLoaded());
            italian.install();
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Sì"));
            QCOMPARE(QCoreApplication::translate("MainWindow", "Update again"),
                     QStringLiteral("Aggiorna di nuovo"));
        }
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Yes"));
        FrontEndTranslations german;
        german.load(QStringLiteral("de_DE"), folder);
        QVERIFY(!german.frontEndLoaded());
        QVERIFY(!german.qtLoaded());
    }
};

QTEST_GUILESS_MAIN(TstFrontendBase)
#include "tst_frontendbase.moc"
