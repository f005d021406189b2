#include "common/brokerchoice.h"
#include "common/datafolder.h"
#include "common/instanceguard.h"
#include "common/raiserequest.h"
#include "frontend/base/daemonstart.h"
#include "frontend/base/translations.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/widgetdialogs.h"
#include "protocol/topics.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QLocale>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    velmo::restrictNewFilesToOwner();
    // Title bar, task switcher and about box show the desktop entry's icon.
    QIcon appIcon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        appIcon.addFile(QStringLiteral(":/appicon/%1x%1/apps/velmo-service-tool.png").arg(size),
                        QSize(size, size));
    QApplication::setWindowIcon(appIcon);
    // Wayland matches windows to their menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.calvestrid.VelmoServiceTool"));
    // The boxes and file dialogs of every part of the program.
    WidgetDialogs dialogs;
    UserDialogs::setInstance(&dialogs);

    InstanceGuard ownGuard{protocol::kFrontEndInstanceKey};

    // From the working directory: velmofrontend_it_IT.qm, then velmofrontend_it.qm.
    FrontEndTranslations translations;
    translations.load(QLocale::system().name());
    translations.install();

    if (!ownGuard.tryAcquire()) {
        // Another front end runs: its window comes forward instead.
        if (!velmo::requestRaise(ownGuard.keyFilePath()))
            qWarning() << "Another front end runs, but it could not be reached.";
        return 0;
    }

    // The daemon of the broker the window is about to use; started again at
    // a Connect that finds it gone.
    frontend::DaemonStart daemonStart;
    daemonStart.ensure(velmo::brokerSocketInUse());

    auto window = std::make_unique<MainWindow>();
    window->setDaemonStart(&daemonStart);
    window->show();
    velmo::RaiseWatcher raise(ownGuard.keyFilePath());
    QObject::connect(&raise, &velmo::RaiseWatcher::raiseRequested, window.get(),
                     [w = window.get()] {
                         w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
                         w->show();
                         w->raise();
                         w->activateWindow();
                         // Where the desktop keeps focus away, the task bar says so.
                         QApplication::alert(w);
                     });
    window->startAutomaticUpdateCheck();
    const int rc = app.exec();
    window.reset();
    UserDialogs::setInstance(nullptr);
    return rc;
}
