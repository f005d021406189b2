#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSharedMemory;

// A second start of a program brings the running one forward instead of
// ending without a word. The running instance's guard segment (see
// InstanceGuard) carries a count of such requests in its first bytes; the
// second start raises it and the running instance watches it.
namespace velmo {

// From a start that found the key held: asks the holder of the segment
// behind `keyFilePath` to come forward. False when no instance holds it.
bool requestRaise(const QString &keyFilePath);

// In the running instance: tells when a later start asked for it.
class RaiseWatcher : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollMs = 250;

    explicit RaiseWatcher(const QString &keyFilePath, QObject *parent = nullptr);
    ~RaiseWatcher() override;

    // Reads the count now; emits raiseRequested() when it grew.
    void check();

signals:
    void raiseRequested();

private:
    std::unique_ptr<QSharedMemory> m_memory;
    quint32 m_seen = 0;
    QTimer m_timer;
};

} // namespace velmo
