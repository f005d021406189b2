#pragma once

#include <QSharedMemory>
#include <QString>

#include <memory>

// Single-instance guard over a named shared-memory segment: the process that
// manages to create the segment is the running instance and keeps it until it
// ends.
//
// On Unix a SIGKILLed process leaves its System V segment behind, and a plain
// create() would then fail forever with "already exists". Before creating,
// the guard attaches to a segment left under the key and detaches again: a
// segment that nobody else holds is removed by that detach, a live owner's
// segment is untouched. Key, size and the create-or-fail test stay the same.
//
// Qt derives the segment's key file from the key inside the temporary
// folder, which follows TMPDIR: two daemons started with different TMPDIR
// would both run and throw each other off the broker. The guard keeps the
// key file of the same name in the per-user data folder instead, or in the
// folder given: the daemon's key lives beside its broker's socket, so each
// broker has its own daemon.
class InstanceGuard
{
public:
    static constexpr int kSegmentBytes = 512;

    explicit InstanceGuard(const QString &key);
    InstanceGuard(const QString &key, const QString &keyFolder);
    ~InstanceGuard();

    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    // Creates the segment; false when a live instance already holds the key.
    bool tryAcquire();
    // Gives the segment up (for a probe of another program's key).
    void release();
    bool isHeld() const { return m_memory && m_memory->isAttached(); }

    QString key() const { return m_key; }
    // Path of the key file the segment's System V key comes from.
    QString keyFilePath() const { return m_keyFile; }
    QString errorString() const { return m_memory ? m_memory->errorString() : QString(); }

private:
    void removeStaleSegment();

    QString m_key;
    QString m_keyFolder;
    QString m_keyFile;
    // A fresh object per attempt: one whose create() failed cannot create
    // again under a native key.
    std::unique_ptr<QSharedMemory> m_memory;
};
