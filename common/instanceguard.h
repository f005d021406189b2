#pragma once

#include <QSharedMemory>
#include <QString>

// Single-instance guard over a named shared-memory segment: the process that
// manages to create the segment is the running instance and keeps it until it
// ends.
//
// On Unix a SIGKILLed process leaves its System V segment behind, and a plain
// create() would then fail forever with "already exists". Before creating,
// the guard attaches to a segment left under the key and detaches again: a
// segment that nobody else holds is removed by that detach, a live owner's
// segment is untouched. Key, size and the create-or-fail test stay the same.
class InstanceGuard
{
public:
    static constexpr int kSegmentBytes = 512;

    explicit InstanceGuard(const QString &key);
    ~InstanceGuard();

    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    // Creates the segment; false when a live instance already holds the key.
    bool tryAcquire();
    // Gives the segment up (for a probe of another program's key).
    void release();
    bool isHeld() const { return m_memory.isAttached(); }

    QString key() const { return m_memory.key(); }
    QString errorString() const { return m_memory.errorString(); }

private:
    void removeStaleSegment();

    QSharedMemory m_memory;
};
