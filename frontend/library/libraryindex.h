#pragma once

#include "frontend/core/boardconf.h"
#include "frontend/library/safefile.h"
#include "frontend/library/signaturecheck.h"
#include "frontend/library/trustedkeys.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

namespace frontend {

// A folder the library lists.
struct LibraryFolder
{
    enum class Origin
    {
        User,   // the user's own, which "Add to library" fills
        Samples // shipped with the program, listed read-only
    };
    QString path;
    Origin origin = Origin::User;
};

// How a file fits one board configuration whose identifier it carries.
struct BoardFit
{
    QString boardId; // "0x1234"
    QString boardName;
    // The check before sending passes for this board.
    bool usable = false;
    QString problem; // why not, in the user's words
    quint64 programFirst = 0;
    quint64 programLast = 0;
    quint64 programmedBytes = 0;
    quint64 programAreaBytes = 0;
    // What the update would not write, in short; empty when all is written.
    QString notes;

    double share() const
    {
        return programAreaBytes > 0 ? 100.0 * double(programmedBytes) / double(programAreaBytes)
                                    : 0.0;
    }
};

// One file of the library, as the index found it.
struct LibraryEntry
{
    Q_DECLARE_TR_FUNCTIONS(LibraryEntry)

public:
    QString path;
    QString name; // relative to its folder: "vb1234-2.1.hex", "old/vb1234.hex"
    LibraryFolder::Origin origin = LibraryFolder::Origin::User;
    bool link = false; // a symbolic link in the folder, followed read-only
    qint64 size = -1;
    QString md5;
    QDateTime modified;
    // The boards whose identifier it carries; empty when it fits none.
    QList<BoardFit> boards;
    // Why it fits no board (unreadable, no identifier line, no
    // configuration for its identifier); empty otherwise.
    QString problem;
    // Checked for every file that could be read.
    std::optional<SignatureCheck> signature;

    const BoardFit *fitFor(const QString &boardId) const;
    // It passes the check for `boardId`, and the signature policy.
    bool usableFor(const QString &boardId, bool signedOnly) const;
    // Why it cannot be chosen for `boardId`; empty when it can.
    QString reasonFor(const QString &boardId, bool signedOnly) const;
    // Why it cannot be chosen for any board; empty when it can for one.
    QString reason(bool signedOnly) const;
    bool isSigned() const { return signature && signature->isSigned(); }
};

// The files of the library: the user's newest first (modification time,
// then name), then the shipped samples the same way.
struct LibraryIndex
{
    QList<LibraryEntry> entries;
    // About folders, links not followed, limits reached, unusable keys and
    // configurations: one line each, in the user's words.
    QStringList notes;
    // The board configurations the files were tested against.
    QList<BoardConf> boards;
    // The scan was cancelled: the entries are those done so far.
    bool cancelled = false;

    const LibraryEntry *find(const QString &path) const;
    // The newest file that can be chosen for `boardId`; null for none.
    const LibraryEntry *newestFor(const QString &boardId, bool signedOnly) const;
    // The board's name from its configuration; empty when none was read.
    QString boardName(const QString &boardId) const;
};

// What a scan reads: the folders, the boards to test each file against and
// the keys to check signatures with.
struct LibraryScanInput
{
    QList<LibraryFolder> folders;
    QList<BoardConf> boards;
    TrustedKeys keys;
    // Said before the scan's own notes (unusable configurations).
    QStringList notes;
};

// What earlier scans found, by path: a file whose size and time (and those
// of its signature) are unchanged is not read again, as long as the boards
// and keys are the same. Used by one scan at a time.
class LibraryCache
{
public:
    void clear() { m_items.clear(); }
    qsizetype size() const { return m_items.size(); }

private:
    friend class LibraryScanner;
    struct Stamp
    {
        qint64 size = -1;
        qint64 modifiedMs = -1;
        qint64 signatureSize = -1;
        qint64 signatureModifiedMs = -1;
        bool operator==(const Stamp &o) const
        {
            return size == o.size && modifiedMs == o.modifiedMs &&
                   signatureSize == o.signatureSize && signatureModifiedMs == o.signatureModifiedMs;
        }
    };
    struct Item
    {
        Stamp stamp;
        LibraryEntry entry;
    };
    QByteArray m_context; // boards and keys the items were made with
    QHash<QString, Item> m_items;
};

// Reads the library's folders into an index. Pure but for the file system:
// no dialogs, no GUI, safe on any thread.
class LibraryScanner
{
    Q_DECLARE_TR_FUNCTIONS(LibraryScanner)

public:
    // Above this a file cannot be firmware for these boards: the largest
    // flash the boot-loader link addresses (16 MiB, 24-bit addresses) takes
    // some 46 MiB as Intel HEX with 16 bytes per record.
    static constexpr qint64 kMaxFileBytes = qint64(64) * 1024 * 1024;
    // A folder with more is listed up to here, with a note.
    static constexpr int kMaxFiles = 10000;
    // Subfolders deeper than this are not looked into.
    static constexpr int kMaxDepth = 8;

    using Progress = std::function<void(int done, int total)>;

    // `cache` and `progress` may be null; `cancel`, when given and set, ends
    // the scan early (the index says so).
    static LibraryIndex scan(const LibraryScanInput &input, LibraryCache *cache = nullptr,
                             const std::atomic<bool> *cancel = nullptr,
                             const Progress &progress = nullptr);

    // One file, as a scan would list it.
    static LibraryEntry examine(const QString &path, const QString &name,
                                LibraryFolder::Origin origin, const QList<BoardConf> &boards,
                                const TrustedKeys &keys);

    // A context for LibraryCache: changes when the boards or keys do.
    static QByteArray contextOf(const QList<BoardConf> &boards, const TrustedKeys &keys);

    // Files are those whose name ends in ".hex", in any letter case.
    static bool isLibraryName(const QString &fileName);
    // Why a file could not be read, in the user's words.
    static QString readProblemText(const SafeRead &read, bool link);
};

} // namespace frontend
