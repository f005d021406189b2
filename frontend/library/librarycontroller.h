#pragma once

#include "frontend/library/libraryimagegate.h"
#include "frontend/library/libraryindexer.h"
#include "frontend/library/librarymodel.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

namespace frontend {

class FlashWorkflow;

// The firmware library beside a FlashWorkflow: follows the connected board,
// keeps the list current (off the GUI thread, and again when the user's
// folder changes), marks the file of the board type's last good update,
// loads a chosen file through the workflow's usual path, adds files, and
// stands at the workflow's gate with the signature policy. The window's
// panel only shows it.
class LibraryController : public QObject
{
    Q_OBJECT

public:
    // A change in the user's folder is indexed after this much quiet.
    static constexpr int kWatchSettleMs = 300;

    // `workflow` must outlive the controller; its gate is set to this
    // controller's until the controller goes.
    explicit LibraryController(FlashWorkflow &workflow, QObject *parent = nullptr);
    ~LibraryController() override;

    LibraryModel *model() { return &m_model; }
    LibraryIndexer *indexer() { return &m_indexer; }
    LibraryImageGate &gate() { return m_gate; }

    // Other places than the defaults (tests).
    void setFolders(const QList<LibraryFolder> &folders, const QList<KeyFolder> &keyFolders);
    void setRecordPath(const QString &path) { m_recordPath = path; }

    // "Only flash signed files".
    void setSignedOnly(bool on);
    bool signedOnly() const { return m_gate.signedOnly(); }

    // A file can be loaded now (a board is connected and no update runs).
    bool canLoad() const { return m_canLoad; }
    // One line about the list: how many files for the board, or why none.
    QString stateText() const;
    bool isIndexing() const { return m_indexer.isRunning(); }

    // What adding files gave, one line per file.
    struct AddReport
    {
        QStringList lines;
        bool anyFailed = false;
    };

public slots:
    void refresh();
    // Loads the file on `row` when it can be flashed on the connected board.
    bool choose(int row);
    void setShowAll(bool all);
    AddReport addFiles(const QStringList &paths);

signals:
    // stateText(), canLoad() or isIndexing() changed.
    void stateChanged();
    void progress(int done, int total);
    // A new index is in the model.
    void listed();

private:
    void onStage();
    void onControls();
    void updateLastUsed();
    void watchUserFolder();
    QString describeAdded(const QString &path) const;

    FlashWorkflow &m_workflow;
    LibraryModel m_model;
    LibraryIndexer m_indexer;
    LibraryImageGate m_gate;
    QList<LibraryFolder> m_folders;
    QList<KeyFolder> m_keyFolders;
    QString m_recordPath;
    QFileSystemWatcher *m_watcher = nullptr; // child
    QTimer m_settle;
    bool m_canLoad = false;
    int m_done = 0;
    int m_total = 0;
};

} // namespace frontend
