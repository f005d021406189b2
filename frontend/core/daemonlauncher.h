#pragma once

#include <QString>

// Starts the serial daemon when nobody holds its single-instance key: the
// window at its start and at Connect, and velmo-flash, all through this
// one class, so they find and start the same program the same way.
class DaemonLauncher
{
public:
    // From the working directory, as the programs resolve all their data.
    static constexpr const char *kDefaultProgram = "./velmo-serial";

    enum class Outcome
    {
        Running,    // the daemon holds its key: nothing to do
        Started,    // it was absent and has been started (not yet answering)
        StartFailed // it was absent and could not be started; see errorString()
    };

    explicit DaemonLauncher(const QString &program = QString::fromLatin1(kDefaultProgram));

    void setProgram(const QString &program) { m_program = program; }
    QString program() const { return m_program; }

    // Whether a daemon holds its key right now.
    static bool isRunning();
    // Probes the key and starts the program when nobody holds it. The start
    // is not waited for: the caller learns that the daemon came up from its
    // first answer through the broker.
    Outcome ensureRunning();

    QString errorString() const { return m_error; }
    // The process id of the last daemon started; 0 before any.
    qint64 startedPid() const { return m_pid; }

private:
    QString m_program;
    QString m_error;
    qint64 m_pid = 0;
};
