#include "frontend/library/librarycontroller.h"

#include "frontend/base/userdialogs.h"
#include "frontend/core/flashworkflow.h"
#include "frontend/library/firmwarelibrary.h"

#include <QDebug>
#include <QFileInfo>
#include <QFileSystemWatcher>

namespace frontend {

using Stage = FlashWorkflow::Stage;

LibraryController::LibraryController(FlashWorkflow &workflow, QObject *parent)
    : QObject(parent)
    , m_workflow(workflow)
    , m_folders(FirmwareLibrary::defaultFolders())
    , m_keyFolders(TrustedKeys::defaultFolders())
{
    m_indexer.setConfigFolder(m_workflow.boardConfigFolder());
    m_workflow.setImageGate(&m_gate);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kWatchSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &LibraryController::refresh);

    connect(&m_indexer, &LibraryIndexer::started, this, &LibraryController::stateChanged);
    connect(&m_indexer, &LibraryIndexer::cancelled, this, &LibraryController::stateChanged);
    connect(&m_indexer, &LibraryIndexer::progress, this, [this](int done, int total) {
        m_done = done;
        m_total = total;
        emit progress(done, total);
        emit stateChanged();
    });
    connect(&m_indexer, &LibraryIndexer::indexed, this, [this] {
        m_model.setIndex(m_indexer.index());
        watchUserFolder();
        emit listed();
        emit stateChanged();
    });
    connect(&m_workflow, &FlashWorkflow::stageChanged, this, &LibraryController::onStage);
    connect(&m_workflow, &FlashWorkflow::controlsChanged, this, &LibraryController::onControls);
    connect(&m_workflow, &FlashWorkflow::updateFinished, this, &LibraryController::updateLastUsed);
}

LibraryController::~LibraryController()
{
    m_workflow.setImageGate(nullptr);
}

void LibraryController::setFolders(const QList<LibraryFolder> &folders,
                                   const QList<KeyFolder> &keyFolders)
{
    m_folders = folders;
    m_keyFolders = keyFolders;
    m_indexer.setFolders(folders);
    m_indexer.setKeyFolders(keyFolders);
    const bool signedOnly = m_gate.signedOnly();
    m_gate = LibraryImageGate(folders, keyFolders);
    m_gate.setSignedOnly(signedOnly);
}

void LibraryController::setSignedOnly(bool on)
{
    m_gate.setSignedOnly(on);
    m_model.setSignedOnly(on);
    emit stateChanged();
}

void LibraryController::refresh()
{
    m_indexer.setConfigFolder(m_workflow.boardConfigFolder());
    m_indexer.refresh();
}

void LibraryController::onStage()
{
    const Stage stage = m_workflow.stage();
    const bool boardThere = stage == Stage::BoardConnected || stage == Stage::ImageSent ||
                            stage == Stage::ImageAccepted || stage == Stage::Updating ||
                            stage == Stage::Verifying;
    const QString board = boardThere ? m_workflow.boardConf().id : QString();
    if (board == m_model.board())
        return;
    m_model.setBoard(board);
    if (!board.isEmpty()) {
        updateLastUsed();
        // A board just connected: what the folder holds now.
        refresh();
    }
    emit stateChanged();
}

void LibraryController::onControls()
{
    const bool can = m_workflow.isEnabled(FlashWorkflow::Control::OpenFile);
    if (can == m_canLoad)
        return;
    m_canLoad = can;
    emit stateChanged();
}

void LibraryController::updateLastUsed()
{
    QString notice;
    m_model.setLastUsedMd5(FirmwareLibrary::lastUpdateMd5(m_model.board(), m_recordPath, &notice));
    if (!notice.isEmpty())
        UserDialogs::instance().warning(QStringLiteral("Warning"), notice);
}

bool LibraryController::choose(int row)
{
    if (!m_canLoad || !m_model.isUsable(row))
        return false;
    m_workflow.loadFile(m_model.entryAt(row)->path);
    return true;
}

void LibraryController::setShowAll(bool all)
{
    m_model.setShowAll(all);
    emit stateChanged();
}

QString LibraryController::stateText() const
{
    const LibraryIndex &index = m_indexer.index();
    if (m_indexer.isRunning() && m_total > 0 && index.entries.isEmpty())
        return tr("Reading the firmware library: %1 of %2 files…").arg(m_done).arg(m_total);
    const QString board = m_model.board();
    if (board.isEmpty()) {
        if (index.entries.isEmpty())
            return tr("The firmware library is empty: add HEX files with Add to library… or "
                      "drop them here.");
        return index.entries.size() == 1
                   ? tr("One file in the library: connect to list the board's files.")
                   : tr("%1 files in the library: connect to list the board's files.")
                         .arg(index.entries.size());
    }
    QString name = index.boardName(board);
    if (name.isEmpty())
        name = board;
    if (m_model.boardFileCount() == 0)
        return tr("No file for %1 in the library: add one with Add to library… or drop it here.")
            .arg(name);
    // Short enough for one line beside the buttons; the rows' tooltips and
    // the manual say the rest.
    if (m_model.boardFileCount() == 1)
        return m_model.usableCount() == 1
                   ? tr("One file for %1, and it can be flashed.").arg(name)
                   : tr("One file for %1, but it cannot be flashed.").arg(name);
    return tr("%1 files for %2, %3 can be flashed.")
        .arg(m_model.boardFileCount())
        .arg(name)
        .arg(m_model.usableCount());
}

QString LibraryController::describeAdded(const QString &path) const
{
    const LibraryEntry entry =
        LibraryScanner::examine(path, QFileInfo(path).fileName(), LibraryFolder::Origin::User,
                                m_indexer.index().boards, TrustedKeys::load(m_keyFolders));
    QStringList boards;
    for (const BoardFit &fit : entry.boards)
        boards << (fit.usable
                       ? tr("board %1 (%2)").arg(fit.boardId, fit.boardName)
                       : tr("board %1 (%2), but %3").arg(fit.boardId, fit.boardName, fit.problem));
    QStringList what;
    if (!entry.problem.isEmpty())
        what << tr("It fits no board: %1.").arg(entry.problem);
    else
        what << tr("It is made for %1.").arg(boards.join(QStringLiteral("; ")));
    if (entry.signature)
        what << tr("Signature: %1.").arg(entry.signature->shortText());
    return what.join(QLatin1Char(' '));
}

LibraryController::AddReport LibraryController::addFiles(const QStringList &paths)
{
    AddReport report;
    QString userFolder;
    for (const LibraryFolder &folder : std::as_const(m_folders)) {
        if (folder.origin == LibraryFolder::Origin::User) {
            userFolder = folder.path;
            break;
        }
    }
    for (const QString &path : paths) {
        const FirmwareLibrary::AddResult added = FirmwareLibrary::add(path, userFolder);
        qDebug().noquote() << "[Library]" << added.message;
        if (!added.ok()) {
            report.anyFailed = true;
            report.lines << added.message;
            continue;
        }
        const QString what = describeAdded(added.path);
        report.lines << (what.isEmpty() ? added.message : added.message + QLatin1Char(' ') + what);
    }
    refresh();
    return report;
}

void LibraryController::watchUserFolder()
{
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        const auto changed = [this] { m_settle.start(); };
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    }
    for (const LibraryFolder &folder : std::as_const(m_folders)) {
        if (folder.origin != LibraryFolder::Origin::User)
            continue;
        // Until the folder exists, its parent (the busy data folder) tells
        // when it comes; then only the folder itself is watched.
        const QString parent = QFileInfo(folder.path).absolutePath();
        const bool exists = QFileInfo(folder.path).isDir();
        const QString watched = exists ? folder.path : parent;
        const QString other = exists ? parent : folder.path;
        if (m_watcher->directories().contains(other))
            m_watcher->removePath(other);
        if (QFileInfo(watched).isDir() && !m_watcher->directories().contains(watched))
            m_watcher->addPath(watched);
    }
}

} // namespace frontend
