#include "common/instanceguard.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/widgetdialogs.h"

#include <QApplication>
#include <QDebug>
#include <QLocale>
#include <QProcess>
#include <QTranslator>

#include <memory>

namespace {
constexpr const char *kFrontEndKey = "velmo-service-qtclient";
constexpr const char *kDaemonKey = "velmo-serial-qtclient";
constexpr const char *kDaemonProgram = "./velmo-serial";
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The boxes and file dialogs of every part of the program.
    WidgetDialogs dialogs;
    UserDialogs::setInstance(&dialogs);

    InstanceGuard ownGuard{QString::fromLatin1(kFrontEndKey)};
    InstanceGuard daemonProbe{QString::fromLatin1(kDaemonKey)};

    // From the working directory: velmofrontend_it_IT.qm, then velmofrontend_it.qm.
    QTranslator translator;
    // Whether it loaded does not matter: without it the texts stay English.
    (void)translator.load(QStringLiteral("velmofrontend_") + QLocale::system().name());
    app.installTranslator(&translator);

    if (!ownGuard.tryAcquire())
        return 0; // another front end runs

    if (daemonProbe.tryAcquire()) {
        daemonProbe.release();
        qDebug() << "Serial deamon not started. Re-launch...";
        // Detached, not a child with pipes: the daemon outlives the front end,
        // and a pipe closed by our exit would kill it on its next log line.
        QProcess daemon;
        daemon.setProgram(QString::fromLatin1(kDaemonProgram));
        if (!daemon.startDetached())
            qWarning().noquote() << "Cannot start" << kDaemonProgram << ":" << daemon.errorString();
    } else {
        qDebug() << "velmo-serial active. Ok!";
    }

    auto window = std::make_unique<MainWindow>();
    window->show();
    window->startAutomaticUpdateCheck();
    const int rc = app.exec();
    window.reset();
    UserDialogs::setInstance(nullptr);
    return rc;
}
