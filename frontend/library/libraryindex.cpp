#include "frontend/library/libraryindex.h"

#include "firmware/hexfile.h"
#include "firmware/imagecheck.h"
#include "frontend/core/imagereport.h"
#include "frontend/library/safefile.h"
#include "protocol/payloads.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace frontend {

namespace {

constexpr qint64 kBytesPerMiB = qint64(1024) * 1024;

struct Candidate
{
    QString path;
    QString name;
    LibraryFolder::Origin origin;
    bool link = false;
};

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString kindText(SafeRead::Kind kind)
{
    switch (kind) {
    case SafeRead::Kind::Folder:
        return LibraryScanner::tr("a folder, not a file");
    case SafeRead::Kind::Pipe:
        return LibraryScanner::tr("a named pipe, not a file");
    case SafeRead::Kind::Device:
        return LibraryScanner::tr("a device, not a file");
    case SafeRead::Kind::Socket:
        return LibraryScanner::tr("a socket, not a file");
    case SafeRead::Kind::File:
    case SafeRead::Kind::Other:
        break;
    }
    return LibraryScanner::tr("not a regular file");
}

} // namespace

QString LibraryScanner::readProblemText(const SafeRead &read, bool link)
{
    switch (read.status) {
    case SafeRead::Status::Ok:
        break;
    case SafeRead::Status::Missing:
        return link ? LibraryScanner::tr("a link to a file that does not exist")
                    : LibraryScanner::tr("the file has gone");
    case SafeRead::Status::NoAccess:
        return LibraryScanner::tr("cannot be read: permission denied");
    case SafeRead::Status::NotRegular:
        return kindText(read.kind);
    case SafeRead::Status::TooLarge:
        return LibraryScanner::tr("larger than %1 MiB: no board's flash holds that much")
            .arg(LibraryScanner::kMaxFileBytes / kBytesPerMiB);
    case SafeRead::Status::Failed:
        return LibraryScanner::tr("cannot be read: %1").arg(read.error);
    }
    return QString();
}

namespace {

// Why a readable file fits none of the boards.
QString identifierProblem(QByteArrayView bytes, const QList<BoardConf> &boards)
{
    if (boards.isEmpty())
        return LibraryScanner::tr("there is no board configuration to test it against");
    const QByteArrayView first = hexfile::firstLineView(bytes);
    if (!first.startsWith('#'))
        return LibraryScanner::tr("not firmware for these boards: line 1 is no board identifier "
                                  "line");
    QStringList named;
    for (const BoardConf &board : boards) {
        if (const std::optional<int> id = hexfile::identifierAt(first, board.idPosition)) {
            const QString text = QStringLiteral("0x%1").arg(*id, 4, 16, QLatin1Char('0'));
            if (!named.contains(text))
                named << text;
        }
    }
    if (named.isEmpty())
        return LibraryScanner::tr("line 1 is no board identifier line any configured board "
                                  "reads");
    return LibraryScanner::tr("made for board %1, which has no configuration here")
        .arg(named.join(QStringLiteral(", ")));
}

BoardFit fitOf(QByteArrayView bytes, const BoardConf &board, int boardId)
{
    BoardFit fit;
    fit.boardId = board.id;
    fit.boardName = board.name;
    const hexfile::ImageReport report = hexfile::inspectImage(bytes, board.layout(), boardId);
    fit.usable = report.ok();
    if (!fit.usable)
        fit.problem = imageProblemText(report.problem, board.layout());
    fit.programFirst = report.programmed.first;
    fit.programLast = report.programmed.last;
    fit.programmedBytes = report.programmedBytes;
    fit.programAreaBytes = report.programAreaBytes;
    fit.notes = imageNotesSummary(report);
    return fit;
}

// Names with their runs of digits compared as numbers: "fw-2.9" < "fw-2.10",
// whatever the locale.
int naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Leading zeros aside, the longer run is the larger number.
            QStringView da = QStringView(a).sliced(i, ei - i);
            QStringView db = QStringView(b).sliced(j, ej - j);
            while (da.size() > 1 && da.front() == QLatin1Char('0'))
                da = da.sliced(1);
            while (db.size() > 1 && db.front() == QLatin1Char('0'))
                db = db.sliced(1);
            if (da.size() != db.size())
                return da.size() < db.size() ? -1 : 1;
            if (const int c = da.compare(db); c != 0)
                return c;
            i = ei;
            j = ej;
            continue;
        }
        if (const int c = QString::compare(a.at(i), b.at(j), Qt::CaseInsensitive); c != 0)
            return c;
        ++i;
        ++j;
    }
    return int(a.size() - i) - int(b.size() - j);
}

bool newerFirst(const LibraryEntry &a, const LibraryEntry &b)
{
    // The samples' date is the program's build: they come after the user's
    // own files, which --latest and the list then prefer.
    if (a.origin != b.origin)
        return a.origin == LibraryFolder::Origin::User;
    if (a.modified != b.modified)
        return a.modified > b.modified;
    // The same time: "fw-2.10" counts as newer than "fw-2.9".
    if (const int order = naturalCompare(b.name, a.name); order != 0)
        return order < 0;
    return a.path < b.path;
}

class Enumerator
{
public:
    QList<Candidate> candidates;
    QStringList notes;
    bool full = false;

    void folder(const LibraryFolder &folder)
    {
        const QFileInfo root(folder.path);
        if (!root.exists()) {
            // A user without a library yet has nothing to be told.
            if (folder.origin == LibraryFolder::Origin::Samples)
                notes << LibraryScanner::tr("The sample firmware folder %1 is missing.")
                             .arg(shown(folder.path));
            return;
        }
        if (!root.isDir()) {
            notes << LibraryScanner::tr("%1 is not a folder.").arg(shown(folder.path));
            return;
        }
        walk(folder, QDir(folder.path).absolutePath(), QString(), 0);
    }

private:
    void walk(const LibraryFolder &folder, const QString &path, const QString &prefix, int depth)
    {
        const QFileInfo here(path);
        if (!here.isReadable() || !here.isExecutable()) {
            notes << LibraryScanner::tr("The folder %1 cannot be read: permission denied.")
                         .arg(shown(path));
            return;
        }
        // Hidden names stay out: editors' back-ups, half-copied files.
        QDirIterator it(path, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        QStringList subfolders;
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            const QString name = prefix + info.fileName();
            if (info.isSymLink()) {
                if (info.isDir()) {
                    // A link to a folder can lead back into itself.
                    notes << LibraryScanner::tr("%1 is a link to a folder: links to folders are "
                                                "not followed.")
                                 .arg(shown(info.filePath()));
                } else if (LibraryScanner::isLibraryName(info.fileName())) {
                    add({info.filePath(), name, folder.origin, true});
                }
            } else if (info.isDir()) {
                subfolders << info.fileName();
            } else if (LibraryScanner::isLibraryName(info.fileName())) {
                add({info.filePath(), name, folder.origin, false});
            }
        }
        for (const QString &sub : std::as_const(subfolders)) {
            const QString subPath = path + QLatin1Char('/') + sub;
            if (depth + 1 > LibraryScanner::kMaxDepth) {
                notes << LibraryScanner::tr("%1 lies deeper than %2 folders: not looked into.")
                             .arg(shown(subPath))
                             .arg(LibraryScanner::kMaxDepth);
                continue;
            }
            walk(folder, subPath, prefix + sub + QLatin1Char('/'), depth + 1);
        }
    }

    void add(const Candidate &candidate)
    {
        if (candidates.size() >= LibraryScanner::kMaxFiles) {
            if (!full)
                notes << LibraryScanner::tr("The library holds more than %1 files: only the "
                                            "first %1 are listed.")
                             .arg(LibraryScanner::kMaxFiles);
            full = true;
            return;
        }
        candidates << candidate;
    }
};

qint64 msOf(const QFileInfo &info)
{
    return info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
}

} // namespace

const BoardFit *LibraryEntry::fitFor(const QString &boardId) const
{
    for (const BoardFit &fit : boards) {
        if (fit.boardId == boardId)
            return &fit;
    }
    return nullptr;
}

bool LibraryEntry::usableFor(const QString &boardId, bool signedOnly) const
{
    const BoardFit *fit = fitFor(boardId);
    return fit && fit->usable && (!signedOnly || isSigned());
}

QString LibraryEntry::reasonFor(const QString &boardId, bool signedOnly) const
{
    if (!problem.isEmpty())
        return problem;
    const BoardFit *fit = fitFor(boardId);
    if (!fit) {
        QStringList ids;
        for (const BoardFit &f : boards)
            ids << f.boardId;
        return tr("made for board %1").arg(ids.join(QStringLiteral(", ")));
    }
    if (!fit->usable)
        return fit->problem;
    if (signedOnly && !isSigned())
        return signature ? signature->refusal() : SignatureCheck().refusal();
    return QString();
}

QString LibraryEntry::reason(bool signedOnly) const
{
    if (!problem.isEmpty())
        return problem;
    QStringList reasons;
    for (const BoardFit &fit : boards) {
        const QString why = reasonFor(fit.boardId, signedOnly);
        if (why.isEmpty())
            return QString();
        if (!reasons.contains(why))
            reasons << why;
    }
    return reasons.join(QStringLiteral("; "));
}

const LibraryEntry *LibraryIndex::find(const QString &path) const
{
    for (const LibraryEntry &entry : entries) {
        if (entry.path == path)
            return &entry;
    }
    return nullptr;
}

const LibraryEntry *LibraryIndex::newestFor(const QString &boardId, bool signedOnly) const
{
    // Newest first already.
    for (const LibraryEntry &entry : entries) {
        if (entry.usableFor(boardId, signedOnly))
            return &entry;
    }
    return nullptr;
}

QString LibraryIndex::boardName(const QString &boardId) const
{
    for (const BoardConf &board : boards) {
        if (board.id == boardId)
            return board.name;
    }
    return QString();
}

bool LibraryScanner::isLibraryName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".hex"), Qt::CaseInsensitive) &&
           fileName.size() > int(qstrlen(".hex"));
}

QByteArray LibraryScanner::contextOf(const QList<BoardConf> &boards, const TrustedKeys &keys)
{
    QByteArray context;
    for (const BoardConf &b : boards)
        context += QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9\n")
                       .arg(b.id, b.name)
                       .arg(b.startFlash)
                       .arg(b.startProgr)
                       .arg(b.sizeFlash)
                       .arg(b.sizeProgr)
                       .arg(b.maxErase)
                       .arg(b.padding)
                       .arg(b.idPosition)
                       .toUtf8();
    return context + keys.fingerprint();
}

LibraryEntry LibraryScanner::examine(const QString &path, const QString &name,
                                     LibraryFolder::Origin origin, const QList<BoardConf> &boards,
                                     const TrustedKeys &keys)
{
    LibraryEntry entry;
    entry.path = path;
    entry.name = name;
    entry.origin = origin;
    entry.link = QFileInfo(path).isSymLink();

    const SafeRead read = readRegularFile(path, kMaxFileBytes);
    entry.size = read.size;
    entry.modified = read.modified;
    if (!read.ok()) {
        entry.problem = readProblemText(read, entry.link);
        return entry;
    }
    entry.md5 =
        QString::fromLatin1(QCryptographicHash::hash(read.bytes, QCryptographicHash::Md5).toHex());
    if (read.bytes.isEmpty()) {
        entry.problem = tr("the file is empty");
        return entry;
    }
    const QByteArrayView first = hexfile::firstLineView(read.bytes);
    for (const BoardConf &board : boards) {
        const std::optional<int> boardId = protocol::parseBoardIdText(board.id);
        if (!boardId || hexfile::identifierAt(first, board.idPosition) != boardId)
            continue;
        entry.boards << fitOf(read.bytes, board, *boardId);
    }
    if (entry.boards.isEmpty())
        entry.problem = identifierProblem(read.bytes, boards);
    entry.signature = SignatureCheck::check(path, read.bytes, keys);
    return entry;
}

LibraryIndex LibraryScanner::scan(const LibraryScanInput &input, LibraryCache *cache,
                                  const std::atomic<bool> *cancel, const Progress &progress)
{
    LibraryIndex index;
    index.boards = input.boards;
    Enumerator files;
    for (const LibraryFolder &folder : input.folders)
        files.folder(folder);
    index.notes = input.notes + files.notes + input.keys.problems();

    const QByteArray context = contextOf(input.boards, input.keys);
    if (cache && cache->m_context != context) {
        cache->clear();
        cache->m_context = context;
    }
    QHash<QString, LibraryCache::Item> seen;
    const int total = int(files.candidates.size());
    if (progress)
        progress(0, total);
    for (int i = 0; i < total; ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            index.cancelled = true;
            break;
        }
        const Candidate &c = files.candidates.at(i);
        LibraryCache::Stamp stamp;
        if (cache) {
            const QFileInfo file(c.path);
            const QFileInfo signature(SignatureCheck::signaturePath(c.path));
            stamp = {file.exists() ? file.size() : -1, msOf(file),
                     signature.exists() ? signature.size() : -1, msOf(signature)};
            const auto hit = cache->m_items.constFind(c.path);
            if (hit != cache->m_items.constEnd() && hit->stamp == stamp && stamp.size >= 0) {
                LibraryEntry entry = hit->entry;
                entry.name = c.name;
                entry.origin = c.origin;
                index.entries << entry;
                seen.insert(c.path, *hit);
                if (progress)
                    progress(i + 1, total);
                continue;
            }
        }
        index.entries << examine(c.path, c.name, c.origin, input.boards, input.keys);
        if (cache)
            seen.insert(c.path, {stamp, index.entries.constLast()});
        if (progress)
            progress(i + 1, total);
    }
    // Files that are gone leave the cache with the scan that missed them.
    if (cache && !index.cancelled)
        cache->m_items = std::move(seen);
    else if (cache)
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            cache->m_items.insert(it.key(), it.value());
    std::stable_sort(index.entries.begin(), index.entries.end(), newerFirst);
    return index;
}

} // namespace frontend
