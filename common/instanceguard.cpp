#include "instanceguard.h"

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
