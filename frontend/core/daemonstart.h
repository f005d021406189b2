#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace frontend {

// Starts the serial daemon when the broker in use has none, for the window
// and for velmo-flash alike. Each broker has its own daemon: the key the
// daemon holds lives beside a private broker's socket, or in the data folder
// for TCP.
class DaemonStart
{
public:
    static constexpr const char *kProgram = "./velmo-serial";

    enum class Result
    {
        Running, // a daemon holds the broker's key
        Started,
        Failed // could not be started; see the error text
    };

    // `socket`: the private broker in use, empty for the TCP broker.
    static bool running(const QString &socket);
    // The caller's environment, with the broker named so that the daemon
    // picks the same one.
    static QProcessEnvironment environment(const QString &socket);
    // Starts `program` detached from the working directory, with standard
    // input and output on /dev/null when `quiet`, unless one runs.
    static Result ensure(const QString &socket, QString *error, bool quiet = false,
                         const QString &program = QString::fromLatin1(kProgram));
    // Whether a daemon on this machine can serve a TCP broker at `host`:
    // it connects to "localhost" only.
    static bool isLoopbackHost(const QString &host);
};

} // namespace frontend
