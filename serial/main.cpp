#include "common/datafolder.h"
#include "common/instanceguard.h"
#include "serial/statusobject.h"

#include <QCoreApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    velmo::restrictNewFilesToOwner();
    InstanceGuard guard(QString::fromLatin1(serialdaemon::StatusObject::kClientId));
    if (!guard.tryAcquire()) {
        qWarning("The application is already started.");
        return 0;
    }
    serialdaemon::StatusObject worker;
    return app.exec();
}
