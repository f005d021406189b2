#include "frontend/library/libraryindexer.h"

#include "frontend/core/boardconfig.h"
#include "frontend/library/firmwarelibrary.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace frontend {

LibraryIndexer::LibraryIndexer(QObject *parent)
    : QObject(parent)
    , m_configFolder(QString::fromLatin1(kBoardConfigFolder))
    , m_folders(FirmwareLibrary::defaultFolders())
    , m_keyFolders(TrustedKeys::defaultFolders())
    , m_cache(std::make_unique<LibraryCache>())
{}

LibraryIndexer::~LibraryIndexer()
{
    m_again = false;
    m_cancel = true;
    if (m_thread)
        m_thread->wait();
}

void LibraryIndexer::wait()
{
    while (m_thread) {
        m_thread->wait();
        // Deliver its end (and a scan asked for meanwhile starts).
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

void LibraryIndexer::refresh()
{
    if (m_thread) {
        m_again = true;
        m_cancel = true;
        return;
    }
    startScan();
}

void LibraryIndexer::cancel()
{
    m_again = false;
    if (m_thread)
        m_cancel = true;
}

void LibraryIndexer::startScan()
{
    m_cancel = false;
    m_again = false;
    const QString configFolder = m_configFolder;
    const QList<LibraryFolder> folders = m_folders;
    const QList<KeyFolder> keyFolders = m_keyFolders;
    LibraryCache *cache = m_cache.get();
    const std::atomic<bool> *cancel = &m_cancel;
    QPointer<LibraryIndexer> self(this);

    m_thread.reset(QThread::create([=] {
        // Boards and keys are files too: read them here, not on the GUI thread.
        LibraryScanInput input;
        input.folders = folders;
        input.boards = FirmwareLibrary::loadBoards(configFolder, &input.notes);
        input.keys = TrustedKeys::load(keyFolders);
        QElapsedTimer clock;
        clock.start();
        qint64 last = -kProgressIntervalMs;
        const auto report = [&](int done, int total) {
            if (done != total && clock.elapsed() - last < kProgressIntervalMs)
                return;
            last = clock.elapsed();
            QMetaObject::invokeMethod(
                self,
                [self, done, total] {
                    if (self)
                        emit self->progress(done, total);
                },
                Qt::QueuedConnection);
        };
        const LibraryIndex index = LibraryScanner::scan(input, cache, cancel, report);
        QMetaObject::invokeMethod(
            self,
            [self, index] {
                if (self)
                    self->scanEnded(index);
            },
            Qt::QueuedConnection);
    }));
    m_thread->start(QThread::LowPriority);
    emit started();
}

void LibraryIndexer::scanEnded(const LibraryIndex &index)
{
    // Its last act was to send this.
    if (m_thread)
        m_thread->wait();
    m_thread.reset();
    if (m_again) {
        startScan();
        return;
    }
    if (index.cancelled) {
        emit cancelled();
        return;
    }
    m_index = index;
    emit indexed();
}

} // namespace frontend
