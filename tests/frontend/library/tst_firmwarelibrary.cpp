// The firmware library as a technician fills it: files of other tools (the
// HEX corpus) and the shipped samples tested against both shipped board
// configurations, junk and hostile folders listed with a reason each and no
// hang, newest first, copies in, the list for a connected board with its
// last update marked, and "Only flash signed files" at the workflow's gate.
#include "frontend/core/daemonlink.h"
#include "frontend/core/flashworkflow.h"
#include "frontend/library/firmwarelibrary.h"
#include "frontend/library/librarycontroller.h"
#include "frontend/library/libraryindexer.h"
#include "frontend/library/librarymodel.h"
#include "libraryfixtures.h"
#include "records/servicerecord.h"
#include "records/updaterecorder.h"
#include "tests/frontend/fakedialogs.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace frontend;
using Origin = LibraryFolder::Origin;
using records::SignatureState;

namespace {

const QString kConfigs = QStringLiteral("../configs/");
const QDateTime kJanuary(QDate(2024, 1, 10), QTime(9, 0));
const QDateTime kJune(QDate(2024, 6, 10), QTime(9, 0));
const QDateTime kNextYear(QDate(2025, 1, 10), QTime(9, 0));

QString stageFirmware()
{
    return qEnvironmentVariable("VELMO_STAGE_DIR") + QStringLiteral("/firmware");
}

QString md5(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

const LibraryEntry *named(const LibraryIndex &index, const QString &name)
{
    for (const LibraryEntry &entry : index.entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

QStringList names(const LibraryIndex &index)
{
    QStringList out;
    for (const LibraryEntry &entry : index.entries)
        out << entry.name;
    return out;
}

// Stands in for the daemon's side: every request is written down, nothing
// answers but the marks the test raises.
class QuietLink : public DaemonLink
{
public:
    StatusObject &status() override { return so; }
    bool publish(const QString &topic, const QString &) override
    {
        sent << topic;
        return true;
    }
    void startConnection(const QString &, int) override {}
    bool sendSerialSetup(const PortSettings &) override { return true; }
    bool sendBoardConfigs(const BoardConf &) override { return true; }
    bool requestRefresh() override { return true; }
    bool requestBoardUpdate(bool) override { return true; }
    SystemMgr::SendResult sendImageFile(const QString &path) override
    {
        images << path;
        return SystemMgr::SendResult::Sent;
    }
    StatusObject so;
    QStringList sent;
    QStringList images;
};

} // namespace

class TstFirmwareLibrary : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<BoardConf> m_boards;
    QString m_keys; // acme-service trusted

    LibraryScanInput input(const QString &userFolder, bool samples = false) const
    {
        LibraryScanInput in;
        in.folders << LibraryFolder{userFolder, Origin::User};
        if (samples)
            in.folders << LibraryFolder{stageFirmware(), Origin::Samples};
        in.boards = m_boards;
        in.keys = TrustedKeys::load({{m_keys, TrustedKey::Source::User}});
        return in;
    }
    QString folder(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QStringList notes;
        m_boards = FirmwareLibrary::loadBoards(kConfigs, &notes);
        QVERIFY(notes.isEmpty());
        m_keys = folder("keys");
        QVERIFY(writeFile(m_keys + "/acme-service.pub", readAll(signingFile("acme-service.pub"))));
    }

    // Both shipped configurations; every file at each board's id position,
    // through the check before sending.
    void indexesAgainstBothShippedBoards()
    {
        QCOMPARE(m_boards.size(), 2);
        QCOMPARE(m_boards.at(0).id, QStringLiteral("0x1234"));
        QCOMPARE(m_boards.at(0).name, QStringLiteral("VB-1234 virtual board"));
        QCOMPARE(m_boards.at(1).id, QStringLiteral("0x2345"));
        QCOMPARE(m_boards.at(1).name, QStringLiteral("VB-2345 virtual board"));

        const QString user = folder("shipped");
        for (const char *name : {"ih-lf.hex", "srec-i16.hex", "bad-checksum.hex",
                                 "no-identifier.hex", "other-board.hex", "eeprom-only.hex"})
            QVERIFY(placeCorpusFile(user, QLatin1String(name)));
        QByteArray unknown = readAll(corpusFile("ih-lf.hex"));
        unknown.replace("#12340301", "#43210301");
        QVERIFY(writeFile(user + "/unknown-board.hex", unknown));

        const LibraryIndex index = LibraryScanner::scan(input(user, true));
        QCOMPARE(index.entries.size(), 9);
        QVERIFY2(index.notes.isEmpty(), qPrintable(index.notes.join('\n')));

        const auto only = [&](const char *name, const char *board) -> const BoardFit * {
            const LibraryEntry *entry = named(index, QLatin1String(name));
            if (!entry || entry->boards.size() != 1 ||
                entry->boards.constFirst().boardId != QLatin1String(board))
                return nullptr;
            return &entry->boards.constFirst();
        };
        // The samples, each for its own board.
        const BoardFit *vb1234 = only("vb1234-sample.hex", "0x1234");
        QVERIFY(vb1234 && vb1234->usable);
        QCOMPARE(vb1234->programFirst, quint64(0x800));
        QCOMPARE(vb1234->programLast, quint64(0x27FF));
        QCOMPARE(QString::number(vb1234->share(), 'f', 1), QStringLiteral("12.9"));
        const BoardFit *vb2345 = only("vb2345-sample.hex", "0x2345");
        QVERIFY(vb2345 && vb2345->usable);
        QCOMPARE(vb2345->programFirst, quint64(0x1000));
        QCOMPARE(QString::number(vb2345->share(), 'f', 1), QStringLiteral("10.0"));
        QCOMPARE(named(index, "vb1234-sample.hex")->origin, Origin::Samples);
        QCOMPARE(named(index, "vb1234-sample.hex")->md5,
                 md5(readAll(stageFirmware() + "/vb1234-sample.hex")));

        // intelhex's and srec_cat's output for 0x1234.
        QVERIFY(only("ih-lf.hex", "0x1234") && only("ih-lf.hex", "0x1234")->usable);
        QVERIFY(only("srec-i16.hex", "0x1234") && only("srec-i16.hex", "0x1234")->usable);
        // For the board, but refused by the check: listed with the reason.
        const BoardFit *bad = only("bad-checksum.hex", "0x1234");
        QVERIFY(bad && !bad->usable);
        QVERIFY2(bad->problem.contains("checksum"), qPrintable(bad->problem));
        const BoardFit *eeprom = only("eeprom-only.hex", "0x1234");
        QVERIFY(eeprom && !eeprom->usable);
        QVERIFY2(eeprom->problem.contains("nothing to program"), qPrintable(eeprom->problem));
        // 0x2345's program area starts at 0x1000: the part below is noted.
        const BoardFit *other = only("other-board.hex", "0x2345");
        QVERIFY(other && other->usable);
        QCOMPARE(other->programFirst, quint64(0x1000));
        QVERIFY(!other->notes.isEmpty());
        // Fits no board.
        QCOMPARE(named(index, "no-identifier.hex")->problem,
                 QStringLiteral("not firmware for these boards: line 1 is no board identifier "
                                "line"));
        QCOMPARE(named(index, "unknown-board.hex")->problem,
                 QStringLiteral("made for board 0x4321, which has no configuration here"));
        QVERIFY(!named(index, "unknown-board.hex")->usableFor("0x1234", false));
        QCOMPARE(named(index, "bad-checksum.hex")->reasonFor("0x1234", false), bad->problem);
        QCOMPARE(named(index, "vb2345-sample.hex")->reasonFor("0x1234", false),
                 QStringLiteral("made for board 0x2345"));

        // No configuration at all: still a reason per file.
        LibraryScanInput none = input(user);
        none.boards.clear();
        for (const LibraryEntry &entry : LibraryScanner::scan(none).entries)
            QVERIFY2(!entry.problem.isEmpty(), qPrintable(entry.name));
    }

    // What a folder full of junk gives: a reason for each file, a note for
    // each folder or link not followed, and no hang.
    void junkAndHostileFolders()
    {
        const QString user = folder("junk");
        QVERIFY(placeCorpusFile(user, "ih-lf.hex"));
        QVERIFY(writeFile(user + "/empty.hex", QByteArray()));
        QByteArray noise(5000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919) % 251);
        QVERIFY(writeFile(user + "/binary.HEX", noise));
        QCOMPARE(::mkfifo(QFile::encodeName(user + "/pipe.hex").constData(), 0600), 0);
        // A sparse file just above the cap: nothing of it is read.
        QFile huge(user + "/huge.hex");
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(LibraryScanner::kMaxFileBytes + 1));
        huge.close();
        QVERIFY(QFile::link(m_dir.filePath("nowhere.hex"), user + "/gone.hex"));
        // A link out of the folder to a file: followed, read-only.
        QVERIFY(placeCorpusFile(folder("elsewhere"), "srec-i16.hex"));
        QVERIFY(QFile::link(folder("elsewhere/srec-i16.hex"), user + "/linked.hex"));
        // A link to a folder, which could lead back here: not followed.
        QVERIFY(QFile::link(user, user + "/loop"));
        QVERIFY(QFile::link(folder("elsewhere"), user + "/shared"));
        QVERIFY(writeFile(user + "/notes.txt", "not listed"));
        QVERIFY(writeFile(user + "/.hidden.hex", readAll(corpusFile("ih-lf.hex"))));
        QVERIFY(placeCorpusFile(user + "/old/2023", "srec-i8.hex"));
        const bool root = ::geteuid() == 0; // root reads whatever the mode says
        if (!root) {
            QVERIFY(placeCorpusFile(user, "ih-crlf.hex"));
            QVERIFY(QFile::setPermissions(user + "/ih-crlf.hex", QFileDevice::WriteOwner));
            QVERIFY(placeCorpusFile(user + "/locked", "srec-i32.hex"));
            QVERIFY(QFile::setPermissions(user + "/locked", QFileDevice::WriteOwner));
        }

        QElapsedTimer clock;
        clock.start();
        const LibraryIndex index = LibraryScanner::scan(input(user));
        QVERIFY(clock.elapsed() < 10000);
        if (!root)
            QVERIFY(QFile::setPermissions(user + "/locked", QFileDevice::ReadOwner |
                                                                QFileDevice::WriteOwner |
                                                                QFileDevice::ExeOwner));

        const auto problem = [&](const char *name) {
            const LibraryEntry *entry = named(index, QLatin1String(name));
            return entry ? entry->problem : QStringLiteral("<not listed>");
        };
        QCOMPARE(problem("empty.hex"), QStringLiteral("the file is empty"));
        QCOMPARE(problem("binary.HEX"),
                 QStringLiteral("not firmware for these boards: line 1 is no board identifier "
                                "line"));
        QCOMPARE(problem("pipe.hex"), QStringLiteral("a named pipe, not a file"));
        QCOMPARE(problem("huge.hex"),
                 QStringLiteral("larger than 64 MiB: no board's flash holds that much"));
        QCOMPARE(problem("gone.hex"), QStringLiteral("a link to a file that does not exist"));
        QCOMPARE(problem("ih-lf.hex"), QString());
        const LibraryEntry *linked = named(index, "linked.hex");
        QVERIFY(linked && linked->link && linked->usableFor("0x1234", false));
        QVERIFY(named(index, "old/2023/srec-i8.hex"));
        QVERIFY(!named(index, "notes.txt"));
        QVERIFY(!named(index, ".hidden.hex"));
        QCOMPARE(index.notes.filter("links to folders are not followed").size(), 2);
        if (!root) {
            QCOMPARE(problem("ih-crlf.hex"), QStringLiteral("cannot be read: permission denied"));
            QCOMPARE(index.notes.filter("cannot be read: permission denied").size(), 1);
        }
        // The file linked to is read, never written.
        QCOMPARE(readAll(folder("elsewhere/srec-i16.hex")), readAll(corpusFile("srec-i16.hex")));

        // A library that is not there is empty and says nothing; one that is
        // a file says so.
        QVERIFY(LibraryScanner::scan(input(folder("missing"))).entries.isEmpty());
        QVERIFY(LibraryScanner::scan(input(folder("missing"))).notes.isEmpty());
        QVERIFY(writeFile(folder("plain-file"), "x"));
        QCOMPARE(LibraryScanner::scan(input(folder("plain-file"))).notes.size(), 1);
    }

    // Newest first by modification time, then by name with numbers read as
    // numbers; the newest that can be flashed, signed when it must be.
    void newestFirst()
    {
        const QString user = folder("newest");
        QVERIFY(placeCorpusFile(user, "ih-lf.hex", "ih-lf.hex.sig", kJanuary));
        QVERIFY(placeCorpusFile(user, "srec-i16.hex", QString(), kJune));
        QVERIFY(placeCorpusFile(user, "bad-checksum.hex", QString(), kNextYear));
        QVERIFY(writeFile(user + "/fw-2.9.hex", readAll(corpusFile("srec-i8.hex")), kJanuary));
        QVERIFY(writeFile(user + "/fw-2.10.hex", readAll(corpusFile("srec-i32.hex")), kJanuary));

        const LibraryIndex index = LibraryScanner::scan(input(user));
        QCOMPARE(names(index), (QStringList{"bad-checksum.hex", "srec-i16.hex", "ih-lf.hex",
                                            "fw-2.10.hex", "fw-2.9.hex"}));
        QCOMPARE(index.entries.at(0).modified, kNextYear);
        // The newest cannot be flashed; the next one can.
        QCOMPARE(index.newestFor("0x1234", false)->name, QStringLiteral("srec-i16.hex"));
        QCOMPARE(index.newestFor("0x1234", true)->name, QStringLiteral("ih-lf.hex"));
        QVERIFY(!index.newestFor("0x2345", false));

        // The samples carry the build's date: they come after the user's
        // files, and count only for a board the user has nothing for.
        const LibraryIndex withSamples = LibraryScanner::scan(input(user, true));
        QCOMPARE(names(withSamples).mid(5),
                 (QStringList{"vb2345-sample.hex", "vb1234-sample.hex"}));
        QCOMPARE(withSamples.newestFor("0x1234", false)->name, QStringLiteral("srec-i16.hex"));
        QCOMPARE(withSamples.newestFor("0x2345", false)->name, QStringLiteral("vb2345-sample.hex"));
    }

    // Copies in, never moves; a different file of the same name gets a new
    // name, the same content is not copied twice, the signature comes along
    // and the date stays the source's.
    void addingFiles()
    {
        const QString library = folder("add/Firmware");
        const QString source = folder("downloads/ih-lf.hex");
        QVERIFY(writeFile(source, readAll(corpusFile("ih-lf.hex")), kJune));
        QVERIFY(writeFile(source + ".sig", readAll(signingFile("ih-lf.hex.sig"))));

        FirmwareLibrary::AddResult added = FirmwareLibrary::add(source, library);
        QCOMPARE(added.status, FirmwareLibrary::AddResult::Status::Added);
        QCOMPARE(added.path, library + "/ih-lf.hex");
        QVERIFY(added.signatureCopied);
        QVERIFY(QFileInfo::exists(source)); // a copy
        QCOMPARE(readAll(added.path), readAll(source));
        QCOMPARE(QFileInfo(added.path).lastModified(), kJune);
        QCOMPARE(readAll(added.path + ".sig"), readAll(source + ".sig"));
        QCOMPARE(QFileInfo(library).permissions() &
                     (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());

        added = FirmwareLibrary::add(source, library);
        QCOMPARE(added.status, FirmwareLibrary::AddResult::Status::AlreadyThere);
        QCOMPARE(added.path, library + "/ih-lf.hex");
        QCOMPARE(added.message, QStringLiteral("ih-lf.hex is already in the firmware library as "
                                               "ih-lf.hex."));

        // Another file of the same name.
        const QString other = folder("downloads/v2/ih-lf.hex");
        QVERIFY(writeFile(other, readAll(corpusFile("srec-i16.hex"))));
        added = FirmwareLibrary::add(other, library);
        QCOMPARE(added.status, FirmwareLibrary::AddResult::Status::Added);
        QCOMPARE(added.path, library + "/ih-lf (2).hex");
        QVERIFY(!added.signatureCopied);
        QVERIFY(!QFileInfo::exists(added.path + ".sig"));
        QCOMPARE(QDir(library).entryList(QDir::Files | QDir::Hidden).size(), 3); // no leftovers
        // Signed later, without -x: minisign's name comes in as the library's.
        const QString minisigned = folder("downloads/v3/srec-i16.hex");
        QVERIFY(writeFile(minisigned, readAll(corpusFile("srec-i16.hex"))));
        QVERIFY(writeFile(minisigned + ".minisig", readAll(signingFile("srec-i16.hex.sig"))));
        added = FirmwareLibrary::add(minisigned, library);
        QCOMPARE(added.status, FirmwareLibrary::AddResult::Status::AlreadyThere);
        QVERIFY(added.signatureCopied);
        QCOMPARE(readAll(added.path + ".sig"), readAll(minisigned + ".minisig"));

        QCOMPARE(FirmwareLibrary::add(folder("downloads/notes.txt"), library).status,
                 FirmwareLibrary::AddResult::Status::NotHex);
        QCOMPARE(FirmwareLibrary::add(folder("downloads/none.hex"), library).status,
                 FirmwareLibrary::AddResult::Status::Unreadable);
        QVERIFY(writeFile(folder("add/blocked"), "a file where the folder should be"));
        QCOMPARE(FirmwareLibrary::add(source, folder("add/blocked/Firmware")).status,
                 FirmwareLibrary::AddResult::Status::CannotWrite);

        // In the library, the copy is indexed like any other file.
        const LibraryIndex index = LibraryScanner::scan(input(library));
        QCOMPARE(index.entries.size(), 2);
        QVERIFY(named(index, "ih-lf.hex")->isSigned());
        QVERIFY(FirmwareLibrary::contains({{library, Origin::User}}, library + "/ih-lf.hex"));
        QVERIFY(!FirmwareLibrary::contains({{library, Origin::User}}, source));
    }

    // A rescan with the cache reads what changed and forgets what is gone;
    // other keys check the signatures again.
    void cacheFollowsChanges()
    {
        const QString user = folder("cached");
        QVERIFY(placeCorpusFile(user, "ih-lf.hex", "ih-lf.hex.sig", kJanuary));
        QVERIFY(placeCorpusFile(user, "srec-i16.hex", QString(), kJanuary));
        LibraryCache cache;
        LibraryIndex index = LibraryScanner::scan(input(user), &cache);
        QCOMPARE(cache.size(), 2);
        QVERIFY(named(index, "ih-lf.hex")->isSigned());

        QVERIFY(writeFile(user + "/ih-lf.hex", tampered(readAll(corpusFile("ih-lf.hex"))), kJune));
        QVERIFY(QFile::remove(user + "/srec-i16.hex"));
        index = LibraryScanner::scan(input(user), &cache);
        QCOMPARE(index.entries.size(), 1);
        QCOMPARE(cache.size(), 1);
        QCOMPARE(named(index, "ih-lf.hex")->signature->state, SignatureState::OtherFile);
        QCOMPARE(named(index, "ih-lf.hex")->modified, kJune);

        QVERIFY(writeFile(user + "/ih-lf.hex", readAll(corpusFile("ih-lf.hex")), kNextYear));
        LibraryScanInput untrusting = input(user);
        untrusting.keys = TrustedKeys();
        index = LibraryScanner::scan(untrusting, &cache);
        QCOMPARE(named(index, "ih-lf.hex")->signature->state, SignatureState::UntrustedKey);
        index = LibraryScanner::scan(input(user), &cache);
        QVERIFY(named(index, "ih-lf.hex")->isSigned());
    }

    // Off the GUI thread, with progress; a refresh during a scan starts
    // over; the destructor waits for a running scan.
    void indexerRunsOffTheGuiThread()
    {
        const QString user = folder("indexer");
        for (int i = 0; i < 40; ++i)
            QVERIFY(writeFile(user + QStringLiteral("/fw-%1.hex").arg(i),
                              readAll(corpusFile(i % 2 ? "ih-lf.hex" : "srec-i16.hex"))));
        LibraryIndexer indexer;
        indexer.setConfigFolder(kConfigs);
        indexer.setFolders({{user, Origin::User}});
        indexer.setKeyFolders({{m_keys, TrustedKey::Source::User}});
        QSignalSpy indexed(&indexer, &LibraryIndexer::indexed);
        QSignalSpy progress(&indexer, &LibraryIndexer::progress);
        indexer.refresh();
        QVERIFY(indexer.isRunning());
        indexer.refresh(); // coalesced into a second scan
        QVERIFY(indexed.wait(30000));
        indexer.wait();
        QVERIFY(!indexer.isRunning());
        QCOMPARE(indexer.index().entries.size(), 40);
        QCOMPARE(indexer.index().boards.size(), 2);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.constLast().at(0).toInt(), 40);

        auto doomed = std::make_unique<LibraryIndexer>();
        doomed->setFolders({{user, Origin::User}});
        doomed->refresh();
        doomed.reset();
    }

    // The list for a connected board: its files only, newest first, those
    // it cannot take greyed with the reason, the last good update marked.
    void listForTheConnectedBoard()
    {
        const QString user = folder("listed");
        QVERIFY(placeCorpusFile(user, "ih-lf.hex", "ih-lf.hex.sig", kJanuary));
        QVERIFY(placeCorpusFile(user, "srec-i16.hex", QString(), kJune));
        QVERIFY(placeCorpusFile(user, "bad-checksum.hex", QString(), kNextYear));
        QVERIFY(placeCorpusFile(user, "other-board.hex", QString(), kNextYear));

        // The record: ih-lf.hex went well last; a later failed try does not count.
        const QString db = folder("listed-record.sqlite");
        {
            records::ServiceRecord store;
            QVERIFY(store.open(db));
            records::UpdateStart start;
            start.boardId = QStringLiteral("0x1234");
            start.fileMd5 = md5(readAll(corpusFile("ih-lf.hex")));
            start.startedAt = kJanuary;
            QVERIFY(store.finishUpdate(store.beginUpdate(start), records::UpdateResult::Ok, {}));
            start.fileMd5 = md5(readAll(corpusFile("srec-i16.hex")));
            start.startedAt = kJune;
            QVERIFY(
                store.finishUpdate(store.beginUpdate(start), records::UpdateResult::Failed, {}));
        }
        QCOMPARE(FirmwareLibrary::lastUpdateMd5("0x1234", db),
                 md5(readAll(corpusFile("ih-lf.hex"))));
        QVERIFY(FirmwareLibrary::lastUpdateMd5("0x2345", db).isEmpty());
        QVERIFY(FirmwareLibrary::lastUpdateMd5("0x1234", folder("no-record.sqlite")).isEmpty());
        QVERIFY(!QFileInfo::exists(folder("no-record.sqlite")));

        LibraryModel model;
        model.setIndex(LibraryScanner::scan(input(user)));
        QCOMPARE(model.rowCount(), 0); // no board: nothing listed unless all are asked for
        model.setShowAll(true);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.flags(model.index(0, 0)), Qt::ItemIsEnabled);
        QVERIFY(!model.isUsable(0));
        model.setShowAll(false);

        model.setBoard(QStringLiteral("0x1234"));
        model.setLastUsedMd5(FirmwareLibrary::lastUpdateMd5("0x1234", db));
        QCOMPARE(model.rowCount(), 3);
        const auto cell = [&](int row, int column) {
            return model.data(model.index(row, column)).toString();
        };
        QCOMPARE(cell(0, LibraryModel::FileColumn), QStringLiteral("bad-checksum.hex"));
        QCOMPARE(cell(1, LibraryModel::FileColumn), QStringLiteral("srec-i16.hex"));
        QCOMPARE(cell(2, LibraryModel::FileColumn), QString(QChar(0x2605)) + " ih-lf.hex");
        QCOMPARE(cell(2, LibraryModel::DateColumn), QStringLiteral("2024-01-10"));
        QCOMPARE(cell(2, LibraryModel::SignatureColumn), QStringLiteral("signed by acme-service"));
        QCOMPARE(cell(1, LibraryModel::SignatureColumn), QStringLiteral("unsigned"));
        QVERIFY(cell(0, LibraryModel::NotesColumn).contains("checksum"));
        QCOMPARE(cell(2, LibraryModel::NotesColumn), QStringLiteral("0x000800–0x0013B7, 4.7 %"));
        QCOMPARE(model.flags(model.index(0, 0)), Qt::NoItemFlags);
        QCOMPARE(model.flags(model.index(1, 0)), Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        QVERIFY(model.data(model.index(2, 0), LibraryModel::LastUsedRole).toBool());
        QVERIFY(!model.data(model.index(1, 0), LibraryModel::LastUsedRole).toBool());
        QVERIFY(model.data(model.index(0, 0), Qt::ToolTipRole).toString().contains("MD5: "));
        QCOMPARE(model.boardFileCount(), 3);
        QCOMPARE(model.usableCount(), 2);

        // Only signed files: the unsigned one is greyed with why.
        model.setSignedOnly(true);
        QVERIFY(!model.isUsable(1));
        QVERIFY(cell(1, LibraryModel::NotesColumn).startsWith("the file is not signed; only"));
        QCOMPARE(model.usableCount(), 1);
        model.setShowAll(true);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.rowOf(user + "/other-board.hex"), 0);
    }

    // "Only flash signed files" refuses before sending, in the workflow
    // every front end drives; a file chosen in the list goes the usual way;
    // the record keeps where the file came from and its signature.
    void onlySignedFilesAtTheGate()
    {
        FakeDialogs dialogs;
        const QString user = folder("gate");
        QVERIFY(placeCorpusFile(user, "ih-lf.hex", "ih-lf.hex.sig", kJanuary));
        QVERIFY(placeCorpusFile(user, "srec-i16.hex", QString(), kJune));
        QVERIFY(writeFile(user + "/tampered.hex", tampered(readAll(corpusFile("ih-lf.hex")))));
        QVERIFY(writeFile(user + "/tampered.hex.sig", readAll(signingFile("ih-lf.hex.sig"))));
        QVERIFY(placeCorpusFile(folder("outside"), "srec-i8.hex"));

        QuietLink link;
        link.so.portSettings.portName = QStringLiteral("/dev/ttyVB0");
        FlashWorkflow workflow(link);
        workflow.setBoardConfigFolder(kConfigs);
        const QString db = folder("gate-record.sqlite");
        records::UpdateRecorder recorder(QStringLiteral("test"), db);
        workflow.setRecorder(&recorder);
        LibraryController library(workflow);
        library.setFolders({{user, Origin::User}}, {{m_keys, TrustedKey::Source::User}});
        library.setRecordPath(db);
        library.setSignedOnly(true);
        QSignalSpy listed(&library, &LibraryController::listed);

        // Connect: the port opens, the board tells its id.
        workflow.openSerialPort();
        link.so.serialOpened = true;
        workflow.statusReady();
        link.so.m_BoardConf.id = QStringLiteral("0x1234");
        link.so.idReceived = true;
        workflow.statusReady();
        QCOMPARE(workflow.stage(), FlashWorkflow::Stage::BoardConnected);
        QCOMPARE(library.model()->board(), QStringLiteral("0x1234"));
        QVERIFY(library.canLoad());
        QVERIFY(listed.wait(30000));
        QCOMPARE(library.model()->rowCount(), 3);
        QCOMPARE(library.stateText(),
                 QStringLiteral("3 files for VB-1234 virtual board, 1 can be flashed."));

        // Refused before sending: unsigned, and signed but changed since.
        for (const QString &name :
             {QStringLiteral("srec-i16.hex"), QStringLiteral("tampered.hex")}) {
            const int before = int(dialogs.boxes.size());
            QSignalSpy failed(&workflow, &FlashWorkflow::failed);
            QVERIFY(!library.choose(library.model()->rowOf(user + "/" + name)));
            workflow.loadFile(user + "/" + name); // as Open File would
            QVERIFY(link.images.isEmpty());
            QCOMPARE(failed.size(), 1);
            QCOMPARE(failed.at(0).at(0).value<FlashWorkflow::Failure>(),
                     FlashWorkflow::Failure::ImageCheckFailed);
            QCOMPARE(dialogs.boxes.size(), before + 1);
            QVERIFY2(dialogs.boxes.constLast().text.contains(
                         "only files signed with a trusted key may be flashed"),
                     qPrintable(dialogs.boxes.constLast().text));
        }
        QVERIFY(dialogs.boxes.at(0).text.contains("the file is not signed"));
        QVERIFY(dialogs.boxes.at(1).text.contains("its signature is for another file"));

        // The signed one, chosen in the list: the usual path, with its
        // signature in Hex File Info.
        QString info;
        connect(&workflow, &FlashWorkflow::imageInfoChanged, this,
                [&info](const QString &text) { info = text; });
        QString shownPath;
        connect(&workflow, &FlashWorkflow::imagePathChanged, this,
                [&shownPath](const QString &path) { shownPath = path; });
        QVERIFY(library.choose(library.model()->rowOf(user + "/ih-lf.hex")));
        QCOMPARE(link.images, QStringList{user + "/ih-lf.hex"});
        QCOMPARE(shownPath, user + "/ih-lf.hex");
        QCOMPARE(workflow.imageVetting().origin.signature, SignatureState::Signed);
        link.so.flashReplied = link.so.flashAccepted = true;
        workflow.statusReady();
        QVERIFY2(info.contains("\nSignature: signed by acme-service (key "), qPrintable(info));

        // Started: the record keeps its origin.
        workflow.startUpdate(true);
        QVERIFY(recorder.isRecording());
        records::ServiceRecord store;
        QVERIFY(store.open(db));
        records::UpdateRecord r = store.query().constFirst();
        QCOMPARE(r.origin.fromLibrary, std::optional<bool>(true));
        QCOMPARE(r.origin.signature, SignatureState::Signed);
        QCOMPARE(r.origin.signer, QStringLiteral("acme-service"));
        recorder.finish(records::UpdateResult::Failed);

        // Setting off: an unsigned file from elsewhere goes, and says so.
        library.setSignedOnly(false);
        link.so.percReceived = false;
        workflow.closeSerialPort();
        workflow.openSerialPort();
        link.so.serialOpened = true;
        workflow.statusReady();
        link.so.idReceived = true;
        workflow.statusReady();
        link.images.clear();
        workflow.loadFile(folder("outside/srec-i8.hex"));
        QCOMPARE(link.images.size(), 1);
        QCOMPARE(workflow.imageVetting().origin.fromLibrary, std::optional<bool>(false));
        QCOMPARE(workflow.imageVetting().origin.signature, SignatureState::Unsigned);
        QCOMPARE(workflow.imageVetting().signatureText,
                 QStringLiteral("Signature: none (unsigned)"));
    }
};

QTEST_GUILESS_MAIN(TstFirmwareLibrary)
#include "tst_firmwarelibrary.moc"
