#include "common/instanceguard.h"

#include "common/datafolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

InstanceGuard::InstanceGuard(const QString &key)
    : InstanceGuard(key, velmo::dataFolderPath())
{}

InstanceGuard::InstanceGuard(const QString &key, const QString &keyFolder)
    : m_key(key)
    , m_keyFolder(keyFolder)
{
    // Same key file name as Qt would use, in a folder that does not follow
    // TMPDIR.
    QSharedMemory naming;
    naming.setKey(key);
    const QString fileName = QFileInfo(naming.nativeKey()).fileName();
    m_keyFile = keyFolder + QLatin1Char('/') + fileName;
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
    const QString &keyFile = m_keyFile;
    if (m_keyFolder == velmo::dataFolderPath())
        velmo::ensureDataFolder();
    else
        QDir().mkpath(m_keyFolder); // the programs' umask keeps it private
    if (!keyFile.isEmpty() && !QFile::exists(keyFile)) {
        QFile touch(keyFile);
        if (touch.open(QIODevice::WriteOnly))
            touch.close();
    }
    // Qt removes a System V segment when its last user detaches. If the only
    // attachment is ours, the former owner is gone and the segment goes.
    QSharedMemory probe;
    probe.setNativeKey(m_keyFile);
    if (probe.attach(QSharedMemory::ReadOnly))
        probe.detach();
#endif
}

bool InstanceGuard::tryAcquire()
{
    if (isHeld())
        return true;
    removeStaleSegment();
    m_memory = std::make_unique<QSharedMemory>();
    m_memory->setNativeKey(m_keyFile);
    return m_memory->create(kSegmentBytes, QSharedMemory::ReadWrite);
}

void InstanceGuard::release()
{
    if (isHeld())
        m_memory->detach();
}
