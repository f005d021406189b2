#pragma once

#include "frontend/library/libraryindex.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

namespace frontend {

// Scans the library off the GUI thread, one scan at a time, keeping a
// cache so that a scan after a change reads only the changed files. A
// refresh while a scan runs cancels it and starts over once it has ended.
class LibraryIndexer : public QObject
{
    Q_OBJECT

public:
    // Progress is reported no more often than this.
    static constexpr int kProgressIntervalMs = 100;

    explicit LibraryIndexer(QObject *parent = nullptr);
    // Cancels a running scan and waits for it.
    ~LibraryIndexer() override;

    // Where the scan looks; the defaults unless set.
    void setConfigFolder(const QString &folder) { m_configFolder = folder; }
    void setFolders(const QList<LibraryFolder> &folders) { m_folders = folders; }
    void setKeyFolders(const QList<KeyFolder> &folders) { m_keyFolders = folders; }

    bool isRunning() const { return bool(m_thread); }
    // The index of the last scan that ran to its end (empty before one).
    const LibraryIndex &index() const { return m_index; }
    // Blocks until no scan runs (for programs without an event loop of
    // their own, and tests).
    void wait();

public slots:
    void refresh();
    // Stops the running scan; the last index stays.
    void cancel();

signals:
    void started();
    void progress(int done, int total);
    // index() holds the new index.
    void indexed();
    // A scan was cancelled and no other follows.
    void cancelled();

private:
    void startScan();
    void scanEnded(const LibraryIndex &index);

    QString m_configFolder;
    QList<LibraryFolder> m_folders;
    QList<KeyFolder> m_keyFolders;
    LibraryIndex m_index;
    // Used only by the scan that runs.
    std::unique_ptr<LibraryCache> m_cache;
    std::unique_ptr<QThread> m_thread; // the running scan's
    std::atomic<bool> m_cancel{false};
    bool m_again = false;
};

} // namespace frontend
