#include "common/raiserequest.h"

#include <QSharedMemory>

namespace velmo {

namespace {
// The count sits at the start of the segment, which the system fills with
// zeros when it is made. A segment under a native key has no lock of its
// own: the count is changed and read as one atomic word.
quint32 *counterOf(QSharedMemory &memory)
{
    return static_cast<quint32 *>(memory.data());
}
} // namespace

bool requestRaise(const QString &keyFilePath)
{
    QSharedMemory memory;
    memory.setNativeKey(keyFilePath);
    if (!memory.attach(QSharedMemory::ReadWrite) || memory.size() < int(sizeof(quint32)))
        return false;
    __atomic_add_fetch(counterOf(memory), 1U, __ATOMIC_SEQ_CST);
    memory.detach();
    return true;
}

RaiseWatcher::RaiseWatcher(const QString &keyFilePath, QObject *parent)
    : QObject(parent)
    , m_memory(std::make_unique<QSharedMemory>())
{
    m_memory->setNativeKey(keyFilePath);
    if (m_memory->attach(QSharedMemory::ReadWrite) && m_memory->size() >= int(sizeof(quint32)))
        m_seen = __atomic_load_n(counterOf(*m_memory), __ATOMIC_SEQ_CST);
    connect(&m_timer, &QTimer::timeout, this, &RaiseWatcher::check);
    m_timer.start(kPollMs);
}

RaiseWatcher::~RaiseWatcher()
{
    if (m_memory->isAttached())
        m_memory->detach();
}

void RaiseWatcher::check()
{
    if (!m_memory->isAttached())
        return;
    const quint32 count = __atomic_load_n(counterOf(*m_memory), __ATOMIC_SEQ_CST);
    if (count != m_seen) {
        m_seen = count;
        emit raiseRequested();
    }
}

} // namespace velmo
