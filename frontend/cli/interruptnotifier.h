#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Brings SIGINT and SIGTERM into the event loop: the handler only writes
// the signal's number into a pipe, and interrupted() is emitted from the
// loop, where it is safe to publish and record. One instance at a time;
// the previous handlers come back when it is destroyed.
class InterruptNotifier : public QObject
{
    Q_OBJECT

public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;

    bool isActive() const { return m_notifier != nullptr; }

signals:
    void interrupted(int signalNumber);

private:
    void readSignals();

    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
