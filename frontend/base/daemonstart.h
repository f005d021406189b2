#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace frontend {

// The one place that finds and starts the serial daemon: the window at its
// start, after a move to another broker and at a Connect that finds the
// daemon gone, and velmo-flash before every attempt. Each broker has its own
// daemon: the key the daemon holds lives beside a private broker's socket,
// or in the data folder for TCP.
class DaemonStart
{
public:
    // From the working directory, as the programs resolve all their data.
    static constexpr const char *kProgram = "./velmo-serial";

    enum class Result
    {
        Running, // a daemon holds the broker's key: nothing to do
        Started, // it was absent and has been started (not yet answering)
        Failed   // it was absent and could not be started; see errorString()
    };

    explicit DaemonStart(const QString &program = QString::fromLatin1(kProgram));

    void setProgram(const QString &program) { m_program = program; }
    QString program() const { return m_program; }
    // Standard streams on /dev/null: for a caller whose terminal or pipe the
    // daemon must not hold, as it outlives the caller and a pipe closed
    // behind it would end it at its next diagnostic line.
    void setQuiet(bool quiet) { m_quiet = quiet; }

    // Starts the program detached, unless a daemon holds the key of the
    // broker `socket` (empty for the TCP broker). The start is not waited
    // for: the caller learns that the daemon came up from its first answer.
    Result ensure(const QString &socket);

    QString errorString() const { return m_error; }
    // The process id of the last daemon started; 0 before any.
    qint64 startedPid() const { return m_pid; }

    // `socket`: the private broker in use, empty for the TCP broker.
    static bool running(const QString &socket);
    // The caller's environment, with the broker named so that the daemon
    // picks the same one.
    static QProcessEnvironment environment(const QString &socket);
    // Whether a daemon on this machine can serve a TCP broker at `host`:
    // it connects to "localhost" only.
    static bool isLoopbackHost(const QString &host);
    // Whether a daemon started here would serve the broker in use: the
    // private one, or a TCP broker on this machine.
    static bool servesBroker(const QString &socket, const QString &tcpHost)
    {
        return !socket.isEmpty() || isLoopbackHost(tcpHost);
    }

private:
    QString m_program;
    QString m_error;
    qint64 m_pid = 0;
    bool m_quiet = false;
};

} // namespace frontend
