#include "common/instanceguard.h"

#include <QFile>

InstanceGuard::InstanceGuard(const QString &key)
{
    m_memory.setKey(key);
}

InstanceGuard::~InstanceGuard()
{
    release();
}

void InstanceGuard::removeStaleSegment()
{
#ifdef Q_OS_UNIX
    // The System V key comes from the inode of a key file. A killed process
    // elsewhere may have left its segment under the key that our key file's
    // reused inode gets, and the probe can only reach a segment through an
    // existing key file: make sure there is one first.
    const QString keyFile = m_memory.nativeKey();
    if (!keyFile.isEmpty() && !QFile::exists(keyFile)) {
        QFile touch(keyFile);
        if (touch.open(QIODevice::WriteOnly))
            touch.close();
    }
    // Qt removes a System V segment when its last user detaches. If the only
    // attachment is ours, the former owner is gone and the segment goes.
    QSharedMemory probe(m_memory.key());
    if (probe.attach(QSharedMemory::ReadOnly))
        probe.detach();
#endif
}

bool InstanceGuard::tryAcquire()
{
    if (m_memory.isAttached())
        return true;
    removeStaleSegment();
    return m_memory.create(kSegmentBytes, QSharedMemory::ReadWrite);
}

void InstanceGuard::release()
{
    if (m_memory.isAttached())
        m_memory.detach();
}
