#pragma once

#include "tools/boardmodel.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>

class QSocketNotifier;

namespace boardsim {

// Puts a BoardModel behind a pseudo-terminal. The daemon opens the slave side
// like a serial port; the line speed it sets there is what the board compares
// with its own. Event-driven: the master fd and a timerfd for paced answers
// sit in the event loop.
class PtyBoard : public QObject
{
    Q_OBJECT

public:
    explicit PtyBoard(const BoardConfig &config, QObject *parent = nullptr);
    ~PtyBoard() override;
    PtyBoard(const PtyBoard &) = delete;
    PtyBoard &operator=(const PtyBoard &) = delete;

    bool open(QString *error);
    // Path of the slave side, e.g. /dev/pts/7.
    QString portName() const { return m_portName; }
    bool isOpen() const { return m_master >= 0; }

    // Speed the other end set on the line, 0 when it cannot be read.
    qint32 lineBaud() const;

    // Closes the line for good, as an unplugged cable would.
    void hangUp();

    BoardModel &model() { return m_model; }
    const BoardModel &model() const { return m_model; }

    // Monotonic clock shared with the timerfd.
    static qint64 nowUs();

signals:
    void lineHungUp();

private:
    void readAvailable();
    void sendDue();
    void armTimer();
    void closeFds();

    BoardModel m_model;
    QString m_portName;
    int m_master = -1;
    int m_slave = -1;
    int m_timerFd = -1;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_timerNotifier;
    // Re-arms reading after the master reported no slave (EIO).
    QTimer m_rearmTimer;
    std::deque<Transmission> m_queue;
};

} // namespace boardsim
