#include "common/brokerchoice.h"
#include "common/datafolder.h"
#include "common/instanceguard.h"
#include "mqtt/mqttthread.h"
#include "protocol/topics.h"
#include "serial/brokerguard.h"
#include "serial/statusobject.h"

#include <QCoreApplication>
#include <QDebug>

namespace {
constexpr int kTakenOverStatus = 1;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    velmo::restrictNewFilesToOwner();
    // The private broker of the launcher or run.sh, else TCP as always.
    const QString socket = velmo::brokerSocketInUse();
    const QString host = socket.isEmpty() ? QString::fromLatin1(velmo::kDaemonBrokerHost) : socket;
    const int port = socket.isEmpty() ? velmo::kTcpBrokerPort : velmo::kLocalSocketPort;

    InstanceGuard guard(protocol::kDaemonInstanceKey, velmo::daemonKeyFolder(socket));
    if (!guard.tryAcquire()) {
        qWarning("The application is already started.");
        return 0;
    }
    if (serialdaemon::DaemonProbe::otherDaemonAnswers(host, port)) {
        qWarning().noquote()
            << "Another serial daemon already answers on the broker" << host << "port" << port
            << "(started by this or another user); this one ends. Programs on this broker "
               "use that daemon: it opens the port with its user's rights and keeps received "
               "firmware in that user's data folder.";
        return 0;
    }
    serialdaemon::StatusObject worker(host, port);
    serialdaemon::TakeoverWatch watch(*worker.mqtt()->thread());
    QObject::connect(&watch, &serialdaemon::TakeoverWatch::takenOver, &app, [&](int rounds) {
        qCritical().noquote() << QStringLiteral(
                                     "The broker closed this daemon's connection %1 times in a "
                                     "row, each soon after it was made: another client connects "
                                     "with the client id %2, most likely a serial daemon of "
                                     "another user. This daemon stops instead of fighting for it.")
                                     .arg(rounds)
                                     .arg(QString(protocol::kDaemonClientId));
        QCoreApplication::exit(kTakenOverStatus);
    });
    return app.exec();
}
