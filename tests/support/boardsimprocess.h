#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

// The virtual board (velmo-board-sim) as a child process: starts it with the
// given options, reads the port it prints and talks to it with signals.
class BoardSimProcess
{
public:
    static constexpr int kDefaultTimeoutMs = 10000;

    BoardSimProcess() = default;
    ~BoardSimProcess();
    BoardSimProcess(const BoardSimProcess &) = delete;
    BoardSimProcess &operator=(const BoardSimProcess &) = delete;

    // Starts the board and waits for its "PORT <path>" line.
    bool start(const QStringList &options = {}, int timeoutMs = kDefaultTimeoutMs);
    // Path of the pty to open as the serial port.
    QString port() const { return m_port; }
    QString errorString() const { return m_error; }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    // SIGUSR1: the board writes its dump (if started with --dump) and its
    // counters; returns them by name (rx_bytes, wire_us, writes, ...), empty
    // on time-out. The dump is complete when this returns.
    QMap<QString, qint64> stats(int timeoutMs = kDefaultTimeoutMs);
    // SIGHUP: power cycle; flash is kept.
    void powerCycle();
    // SIGTERM; true when the board wrote its dump and exited cleanly.
    bool stop(int timeoutMs = kDefaultTimeoutMs);

    // velmo-board-sim in the stage folder (VELMO_STAGE_DIR), else beside the
    // running program.
    static QString programPath();

private:
    QByteArray readLine(const QByteArray &prefix, int timeoutMs);
    void signal(int sig);

    QProcess m_process;
    QString m_port;
    QString m_error;
};
