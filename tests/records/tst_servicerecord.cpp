// The service-record store: what goes in comes out, a writer that dies
// leaves an "interrupted" record, two writers at once both land, filters,
// and a damaged file is moved aside rather than overwritten.
#include "records/processidentity.h"
#include "records/servicerecord.h"
#include "records/updaterecorder.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace records;

namespace {

constexpr int kProcessTimeoutMs = 60000;

QString writerProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/records_writer");
}

UpdateStart fullStart()
{
    UpdateStart s;
    s.startedAt = QDateTime(QDate(2024, 3, 5), QTime(8, 15, 30, 250));
    s.program = QStringLiteral("VelmoFrontEnd");
    s.user = QStringLiteral("nicolò");
    s.host = QStringLiteral("workshop-pc");
    s.port = QStringLiteral("/dev/ttyUSB0");
    s.boardId = QStringLiteral("0x1234");
    s.boardName = QStringLiteral("VB-1234 virtual board");
    s.filePath = QStringLiteral("/home/tech/fw/vb1234, rev 'B'.hex");
    s.fileSize = 63488;
    s.fileMd5 = QStringLiteral("0123456789abcdef0123456789abcdef");
    s.fileNotes = QStringLiteral("16 bytes at 0xF00000\u20130xF0000F lie outside this board's "
                                 "flash and are not written\nline two");
    s.origin.fromLibrary = true;
    s.origin.signature = SignatureState::Signed;
    s.origin.signer = QStringLiteral("acme-service");
    s.erase = EraseMode::Pages;
    return s;
}

UpdateRecord only(ServiceRecord &store, const RecordFilter &filter = {})
{
    bool ok = false;
    const QList<UpdateRecord> list = store.query(filter, &ok);
    if (!ok || list.size() != 1)
        qWarning() << "expected one record, got" << list.size() << store.errorString();
    return list.value(0);
}

qint64 beginAt(ServiceRecord &store, const QDateTime &at, const QString &board)
{
    UpdateStart s;
    s.startedAt = at;
    s.boardId = board;
    return store.beginUpdate(s);
}

// A second connection to look at or tamper with the file as SQLite sees it.
class RawDb
{
public:
    explicit RawDb(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb() { QSqlDatabase::removeDatabase(kName); }
    QVariant value(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(kName));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    bool exec(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(kName));
        return q.exec(sql);
    }

private:
    static inline const QString kName = QStringLiteral("tst-raw");
};

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

} // namespace

class TstServiceRecord : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Every field comes back as written, and each result keeps its meaning.
    void roundTrip()
    {
        ServiceRecord store;
        QVERIFY2(store.open(path("roundtrip.sqlite")), qPrintable(store.errorString()));
        const UpdateStart s = fullStart();
        const qint64 id = store.beginUpdate(s);
        QVERIFY(id > 0);

        UpdateRecord r = only(store);
        QCOMPARE(r.id, id);
        QCOMPARE(r.startedAt, s.startedAt);
        QVERIFY(!r.finishedAt.isValid());
        QCOMPARE(r.durationMs(), qint64(-1));
        QCOMPARE(r.program, s.program);
        QCOMPARE(r.user, s.user);
        QCOMPARE(r.host, s.host);
        QCOMPARE(r.port, s.port);
        QCOMPARE(r.boardId, s.boardId);
        QCOMPARE(r.boardName, s.boardName);
        QCOMPARE(r.filePath, s.filePath);
        QCOMPARE(r.fileSize, s.fileSize);
        QCOMPARE(r.fileMd5, s.fileMd5);
        QCOMPARE(r.fileNotes, s.fileNotes);
        QCOMPARE(r.origin.fromLibrary, std::optional<bool>(true));
        QCOMPARE(r.origin.signature, SignatureState::Signed);
        QCOMPARE(r.origin.signer, s.origin.signer);
        QCOMPARE(r.erase, EraseMode::Pages);
        // Its writer (this process) is alive.
        QCOMPARE(r.state, RecordState::Running);

        const QString error = QStringLiteral("Can't open port /dev/ttyUSB0; \"busy\"");
        QVERIFY(store.finishUpdate(id, UpdateResult::Failed, error));
        r = only(store);
        QCOMPARE(r.state, RecordState::Failed);
        QCOMPARE(r.errorText, error);
        QVERIFY(r.finishedAt.isValid());
        QVERIFY(r.durationMs() > 0); // started in 2024
        // The end is written once: a second outcome does not replace it.
        QVERIFY(!store.finishUpdate(id, UpdateResult::Ok, QString()));
        QVERIFY(!store.errorString().isEmpty());
        QCOMPARE(only(store).state, RecordState::Failed);
        QVERIFY(!store.finishUpdate(id + 100, UpdateResult::Ok, QString()));

        const QList<QPair<UpdateResult, RecordState>> results = {
            {UpdateResult::Ok, RecordState::Ok},
            {UpdateResult::AbortedByClosing, RecordState::AbortedByClosing},
            {UpdateResult::DaemonLost, RecordState::DaemonLost},
            {UpdateResult::PortLost, RecordState::PortLost},
            {UpdateResult::BrokerLost, RecordState::BrokerLost}};
        for (const auto &[result, state] : results) {
            const qint64 next = store.beginUpdate(UpdateStart{});
            QVERIFY(next > id);
            QVERIFY(store.finishUpdate(next, result, QString()));
            QCOMPARE(store.query().constFirst().id, next);
            QCOMPARE(store.query().constFirst().state, state);
        }

        // What the caller leaves empty, the store fills in.
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
        store.beginUpdate(UpdateStart{});
        r = store.query().constFirst();
        QVERIFY(r.startedAt >= before && r.startedAt <= QDateTime::currentDateTime());
        QVERIFY(!r.user.isEmpty());
        QVERIFY(!r.host.isEmpty());
        QCOMPARE(r.fileSize, qint64(-1));
        QCOMPARE(r.erase, EraseMode::All);
        QVERIFY(!r.origin.fromLibrary);
        QCOMPARE(r.origin.signature, SignatureState::Unknown);

        // Reopened from the file: nothing lived only in the connection.
        store.close();
        QVERIFY(store.beginUpdate(s) < 0);
        ServiceRecord again;
        QVERIFY(again.open(path("roundtrip.sqlite")));
        QVERIFY(again.movedAsidePath().isEmpty());
        QCOMPARE(again.query().size(), 7);
        QCOMPARE(again.query().constLast().filePath, s.filePath);
    }

    // Files of the first and the fourth format, as those versions wrote
    // them, take the results added since and keep their rows, ids, columns,
    // constraints and indexes.
    void olderFormatTakesNewResults_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("format 1") << 1;
        QTest::newRow("format 4") << 4;
    }
    void olderFormatTakesNewResults()
    {
        QFETCH(int, format);
        const QString file = path(qPrintable(QStringLiteral("older-format%1.sqlite").arg(format)));
        {
            RawDb raw(file);
            QVERIFY(raw.exec(QStringLiteral(
                "CREATE TABLE updates (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " started_ms INTEGER NOT NULL, finished_ms INTEGER,"
                " program TEXT NOT NULL DEFAULT '', user_name TEXT NOT NULL DEFAULT '',"
                " host TEXT NOT NULL DEFAULT '', port TEXT NOT NULL DEFAULT '',"
                " board_id TEXT NOT NULL DEFAULT '', board_name TEXT NOT NULL DEFAULT '',"
                " file_path TEXT NOT NULL DEFAULT '', file_size INTEGER,"
                " file_md5 TEXT NOT NULL DEFAULT '',"
                " erase TEXT NOT NULL CHECK (erase IN ('erase-all', 'page-erase')),"
                " result TEXT CHECK (result IN ('ok', 'failed', 'aborted', 'daemon-lost')),"
                " error_text TEXT NOT NULL DEFAULT '', writer_pid INTEGER NOT NULL,"
                " writer_boot_id TEXT NOT NULL DEFAULT '', writer_start_ticks INTEGER)")));
            QVERIFY(
                raw.exec(QStringLiteral("CREATE INDEX updates_started ON updates (started_ms)")));
            QVERIFY(raw.exec(
                QStringLiteral("CREATE INDEX updates_board ON updates (board_id, started_ms)")));
            QVERIFY(raw.exec(QStringLiteral(
                "INSERT INTO updates (id, started_ms, finished_ms, board_id, erase, result,"
                " error_text, writer_pid) VALUES (41, 1700000000000, 1700000016000, '0x1234',"
                " 'erase-all', 'daemon-lost', 'gone', 1)")));
            if (format == 4) {
                QVERIFY(raw.exec(QStringLiteral(
                    "ALTER TABLE updates ADD COLUMN verify_result TEXT NOT NULL DEFAULT ''"
                    " CHECK (verify_result IN ('', 'ok', 'mismatch', 'unsupported', 'off',"
                    " 'failed'))")));
                QVERIFY(raw.exec(QStringLiteral("ALTER TABLE updates ADD COLUMN retries INTEGER")));
                QVERIFY(raw.exec(QStringLiteral(
                    "ALTER TABLE updates ADD COLUMN file_notes TEXT NOT NULL DEFAULT ''")));
                QVERIFY(raw.exec(QStringLiteral("ALTER TABLE updates ADD COLUMN from_library"
                                                " INTEGER")));
                QVERIFY(raw.exec(QStringLiteral(
                    "ALTER TABLE updates ADD COLUMN signature TEXT NOT NULL DEFAULT '' CHECK"
                    " (signature IN ('', 'unsigned', 'signed', 'damaged', 'other-file',"
                    " 'untrusted-key'))")));
                QVERIFY(raw.exec(QStringLiteral(
                    "ALTER TABLE updates ADD COLUMN signer TEXT NOT NULL DEFAULT ''")));
                QVERIFY(raw.exec(QStringLiteral(
                    "UPDATE updates SET verify_result = 'mismatch', retries = 4, file_notes ="
                    " 'outside', from_library = 1, signature = 'signed', signer = 'Service'")));
            }
            QVERIFY(!raw.exec(QStringLiteral("UPDATE updates SET result = 'port-lost'")));
            QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version = %1").arg(format)));
        }
        ServiceRecord store;
        QVERIFY2(store.open(file), qPrintable(store.errorString()));
        QVERIFY(store.movedAsidePath().isEmpty());
        UpdateRecord old = only(store);
        QCOMPARE(old.id, qint64(41));
        QCOMPARE(old.state, RecordState::DaemonLost);
        QCOMPARE(old.errorText, QStringLiteral("gone"));
        QCOMPARE(old.durationMs(), qint64(16000));
        const bool v4 = format == 4;
        QCOMPARE(old.verify, v4 ? VerifyResult::Mismatch : VerifyResult::None);
        QCOMPARE(old.retries, v4 ? 4 : -1);
        QCOMPARE(old.fileNotes, v4 ? QStringLiteral("outside") : QString(""));
        QCOMPARE(old.origin.fromLibrary, v4 ? std::optional<bool>(true) : std::nullopt);
        QCOMPARE(old.origin.signature, v4 ? SignatureState::Signed : SignatureState::Unknown);
        QCOMPARE(old.origin.signer, v4 ? QStringLiteral("Service") : QString(""));
        for (const UpdateResult result : {UpdateResult::PortLost, UpdateResult::BrokerLost}) {
            const qint64 id = store.beginUpdate(fullStart());
            QVERIFY(id > 41);
            QVERIFY2(store.finishUpdate(id, result, QStringLiteral("away")),
                     qPrintable(store.errorString()));
        }
        const QList<UpdateRecord> all = store.query();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all.at(0).state, RecordState::BrokerLost);
        QCOMPARE(all.at(1).state, RecordState::PortLost);
        QCOMPARE(all.at(1).fileNotes, fullStart().fileNotes);
        QCOMPARE(store.boardIds(), QStringList{"0x1234"});
        store.close();
        RawDb raw(file);
        QCOMPARE(raw.value(QStringLiteral("PRAGMA user_version")).toInt(),
                 ServiceRecord::kSchemaVersion);
        QCOMPARE(raw.value(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = "
                                          "'index' AND tbl_name = 'updates'"))
                     .toInt(),
                 2);
        // The table is still the only one, and still refuses what it did.
        QCOMPARE(raw.value(QStringLiteral("SELECT group_concat(name) FROM sqlite_master WHERE"
                                          " type = 'table' AND name LIKE 'updates%'"))
                     .toString(),
                 QStringLiteral("updates"));
        QVERIFY(!raw.exec(QStringLiteral("UPDATE updates SET result = 'lost' WHERE id = 41")));
        QVERIFY(!raw.exec(QStringLiteral("UPDATE updates SET erase = 'some' WHERE id = 41")));
        QVERIFY(!raw.exec(QStringLiteral("UPDATE updates SET verify_result = 'x' WHERE id = 41")));
        QVERIFY(!raw.exec(QStringLiteral("UPDATE updates SET signature = 'x' WHERE id = 41")));
    }

    // A file of the first format gets the columns added since and keeps
    // its records.
    void earlierFormatIsCarriedOn()
    {
        const QString db = path("format1.sqlite");
        {
            RawDb raw(db);
            QVERIFY(raw.exec(QStringLiteral(
                "CREATE TABLE updates (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " started_ms INTEGER NOT NULL, finished_ms INTEGER,"
                " program TEXT NOT NULL DEFAULT '', user_name TEXT NOT NULL DEFAULT '',"
                " host TEXT NOT NULL DEFAULT '', port TEXT NOT NULL DEFAULT '',"
                " board_id TEXT NOT NULL DEFAULT '', board_name TEXT NOT NULL DEFAULT '',"
                " file_path TEXT NOT NULL DEFAULT '', file_size INTEGER,"
                " file_md5 TEXT NOT NULL DEFAULT '', erase TEXT NOT NULL,"
                " result TEXT, error_text TEXT NOT NULL DEFAULT '',"
                " writer_pid INTEGER NOT NULL, writer_boot_id TEXT NOT NULL DEFAULT '',"
                " writer_start_ticks INTEGER)")));
            QVERIFY(raw.exec(QStringLiteral(
                "INSERT INTO updates (started_ms, board_id, erase, result, writer_pid)"
                " VALUES (1700000000000, '0x1234', 'erase-all', 'ok', 1)")));
            QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version = 1")));
        }
        ServiceRecord store;
        QVERIFY2(store.open(db), qPrintable(store.errorString()));
        QCOMPARE(only(store).boardId, QStringLiteral("0x1234"));
        QVERIFY(only(store).fileNotes.isEmpty());
        // Nothing is known of where an old record's file came from.
        QVERIFY(!only(store).origin.fromLibrary);
        QCOMPARE(only(store).origin.signature, SignatureState::Unknown);
        QVERIFY(store.beginUpdate(fullStart()) > 0);
        QCOMPARE(store.query().constFirst().fileNotes, fullStart().fileNotes);
        QCOMPARE(store.query().constFirst().origin.signer, fullStart().origin.signer);
        store.close();
        QCOMPARE(RawDb(db).value(QStringLiteral("PRAGMA user_version")).toInt(),
                 ServiceRecord::kSchemaVersion);
    }

    // A record without an end: "running" while its writer lives,
    // "interrupted" once it was killed.
    void killedWriterLeavesInterrupted()
    {
        const QString db = path("killed.sqlite");
        QProcess writer;
        writer.start(writerProgram(), {db, QStringLiteral("begin-and-wait")});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        QVERIFY(writer.waitForReadyRead(kProcessTimeoutMs));
        const QByteArray line = writer.readLine().trimmed();
        QVERIFY2(line.startsWith("ID "), line.constData());
        const qint64 id = line.mid(3).toLongLong();

        ServiceRecord store;
        QVERIFY(store.open(db));
        QCOMPARE(only(store).id, id);
        QCOMPARE(only(store).state, RecordState::Running);

        // SIGKILL: no destructor, no chance to write an end.
        writer.kill();
        QVERIFY(writer.waitForFinished(kProcessTimeoutMs));
        UpdateRecord r = only(store);
        QCOMPARE(r.state, RecordState::Interrupted);
        QVERIFY(!r.finishedAt.isValid());
        QCOMPARE(r.durationMs(), qint64(-1));
    }

    // A live pid alone does not make a writer alive: after a reboot, or
    // when the pid was reused, the record is interrupted.
    void writerIdentity()
    {
        const QString db = path("identity.sqlite");
        ServiceRecord store;
        QVERIFY(store.open(db));
        const qint64 otherBoot = store.beginUpdate(UpdateStart{});
        const qint64 reusedPid = store.beginUpdate(UpdateStart{});
        const qint64 mine = store.beginUpdate(UpdateStart{});
        {
            RawDb raw(db);
            QVERIFY(raw.exec(QStringLiteral("UPDATE updates SET writer_boot_id = 'another-boot'"
                                            " WHERE id = %1")
                                 .arg(otherBoot)));
            QVERIFY(raw.exec(QStringLiteral("UPDATE updates SET writer_start_ticks ="
                                            " writer_start_ticks + 1 WHERE id = %1")
                                 .arg(reusedPid)));
        }
        QMap<qint64, RecordState> states;
        for (const UpdateRecord &r : store.query())
            states.insert(r.id, r.state);
        QCOMPARE(states.value(otherBoot), RecordState::Interrupted);
        QCOMPARE(states.value(reusedPid), RecordState::Interrupted);
        QCOMPARE(states.value(mine), RecordState::Running);

        // A child that ended but was not reaped yet still holds its pid.
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        QVERIFY(child > 0);
        QTest::qWait(200);
        ProcessIdentity zombie;
        zombie.pid = child;
        zombie.bootId = currentProcess().bootId;
        QVERIFY(!isAlive(zombie));
        ::waitpid(child, nullptr, 0);
        QVERIFY(isAlive(currentProcess()));
    }

    void procStatParsing()
    {
        // The command name may hold blanks and parentheses.
        const QByteArray line = "4242 (my (odd) prog) S 1 4242 4242 0 -1 4194560 120 0 0 0 3 1 0 "
                                "0 20 0 1 0 987654 12345678 300 18446744073709551615\n";
        const ProcStat stat = parseProcStat(line);
        QVERIFY(stat.ok());
        QCOMPARE(stat.state, 'S');
        QCOMPARE(stat.startTicks, qint64(987654));
        QVERIFY(!parseProcStat("4242 (short) S 1 2 3").ok());
        QVERIFY(!parseProcStat("no parenthesis at all").ok());
        QVERIFY(!parseProcStat(QByteArray()).ok());
    }

    // The window and the command-line flasher write at the same moment:
    // two processes and two threads, each with its own connection, start on
    // a file that does not exist yet. Every record lands.
    void concurrentWriters()
    {
        const QString db = path("concurrent.sqlite");
        constexpr int kPerWriter = 150;
        QProcess first;
        QProcess second;
        first.start(writerProgram(),
                    {db, QStringLiteral("hammer"), QString::number(kPerWriter), "proc-a"});
        second.start(writerProgram(),
                     {db, QStringLiteral("hammer"), QString::number(kPerWriter), "proc-b"});
        std::atomic<int> threadFailures{0};
        QStringList threadErrors;
        QMutex errorLock;
        auto hammer = [&](const QString &tag) {
            ServiceRecord store;
            if (!store.open(db)) {
                ++threadFailures;
                QMutexLocker lock(&errorLock);
                threadErrors << store.errorString();
                return;
            }
            for (int i = 0; i < kPerWriter; ++i) {
                UpdateStart s;
                s.boardId = tag;
                const qint64 id = store.beginUpdate(s);
                if (id < 0 || !store.finishUpdate(id, UpdateResult::Ok, QString())) {
                    ++threadFailures;
                    QMutexLocker lock(&errorLock);
                    threadErrors << store.errorString();
                }
            }
        };
        std::thread t1(hammer, QStringLiteral("thread-a"));
        std::thread t2(hammer, QStringLiteral("thread-b"));
        t1.join();
        t2.join();
        QVERIFY2(threadFailures == 0, qPrintable(threadErrors.join('\n')));
        for (QProcess *p : {&first, &second}) {
            QVERIFY(p->waitForFinished(kProcessTimeoutMs));
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0,
                     p->readAllStandardError().constData());
        }

        ServiceRecord store;
        QVERIFY(store.open(db));
        const QList<UpdateRecord> all = store.query();
        QCOMPARE(all.size(), 4 * kPerWriter);
        QSet<qint64> ids;
        QMap<QString, int> perWriter;
        for (const UpdateRecord &r : all) {
            ids.insert(r.id);
            ++perWriter[r.boardId];
            QCOMPARE(r.state, RecordState::Ok);
        }
        QCOMPARE(ids.size(), all.size());
        for (const char *tag : {"proc-a", "proc-b", "thread-a", "thread-b"})
            QCOMPARE(perWriter.value(QString::fromLatin1(tag)), kPerWriter);
        QCOMPARE(store.boardIds(), (QStringList{"proc-a", "proc-b", "thread-a", "thread-b"}));
        RawDb raw(db);
        QCOMPARE(raw.value(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("wal"));
        QCOMPARE(raw.value(QStringLiteral("PRAGMA user_version")).toInt(),
                 ServiceRecord::kSchemaVersion);
    }

    // Board and whole days, bounds included; newest first.
    void filters()
    {
        ServiceRecord store;
        QVERIFY(store.open(path("filters.sqlite")));
        const QDate first(2024, 3, 5);
        const QDate last(2024, 3, 7);
        const QString sly = QStringLiteral("0x12'; DROP TABLE updates; --");
        const qint64 beforeRange = beginAt(store, first.addDays(-1).endOfDay(), "0x1234");
        const qint64 atStart = beginAt(store, first.startOfDay(), "0x1234");
        const qint64 middleA = beginAt(store, QDateTime(QDate(2024, 3, 6), QTime(12, 0)), "0x2345");
        // Same moment: the later record counts as newer.
        const qint64 middleB = beginAt(store, QDateTime(QDate(2024, 3, 6), QTime(12, 0)), sly);
        const qint64 atEnd = beginAt(store, last.endOfDay(), "0x1234");
        const qint64 afterRange = beginAt(store, last.addDays(1).startOfDay(), "0x2345");
        for (qint64 id : {beforeRange, atStart, middleA, middleB, atEnd, afterRange})
            QVERIFY(id > 0);

        auto ids = [&](const RecordFilter &f) {
            QList<qint64> out;
            bool ok = false;
            for (const UpdateRecord &r : store.query(f, &ok))
                out << r.id;
            if (!ok)
                out << -1;
            return out;
        };
        QCOMPARE(ids({}),
                 (QList<qint64>{afterRange, atEnd, middleB, middleA, atStart, beforeRange}));
        QCOMPARE(ids(RecordFilter::days(first, last)),
                 (QList<qint64>{atEnd, middleB, middleA, atStart}));
        QCOMPARE(ids(RecordFilter::days(first, last, QStringLiteral("0x1234"))),
                 (QList<qint64>{atEnd, atStart}));
        QCOMPARE(ids(RecordFilter::days(first, first)), QList<qint64>{atStart});
        QCOMPARE(ids(RecordFilter::days(QDate(), first)), (QList<qint64>{atStart, beforeRange}));
        QCOMPARE(ids(RecordFilter::days(last, QDate())), (QList<qint64>{afterRange, atEnd}));
        RecordFilter board;
        board.boardId = QStringLiteral("0x2345");
        QCOMPARE(ids(board), (QList<qint64>{afterRange, middleA}));
        // Quotes are data, never SQL.
        board.boardId = sly;
        QCOMPARE(ids(board), QList<qint64>{middleB});
        board.boardId = QStringLiteral("0x9999");
        QCOMPARE(ids(board), QList<qint64>{});
        QCOMPARE(store.boardIds(), (QStringList{sly, "0x1234", "0x2345"}));
    }

    // Garbage in the file's place and broken pages: the file is renamed
    // aside with its bytes intact, a new record starts, and the caller
    // learns where the old one went.
    void damagedFileMovedAside_data()
    {
        QTest::addColumn<bool>("pagesOnly");
        QTest::newRow("not a database") << false;
        QTest::newRow("broken pages") << true;
    }
    void damagedFileMovedAside()
    {
        QFETCH(bool, pagesOnly);
        const QString db = path(pagesOnly ? "pages.sqlite" : "garbage.sqlite");
        if (pagesOnly) {
            ServiceRecord store;
            QVERIFY(store.open(db));
            for (int i = 0; i < 400; ++i)
                beginAt(store, QDateTime::currentDateTime(), QString(200, QLatin1Char('x')));
            store.close();
            RawDb(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            QFile file(db);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.size() > 8 * 4096);
            file.seek(4096 * 3); // past the header and the schema
            file.write(QByteArray(4096 * 3, '\x5a'));
        } else {
            QFile file(db);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                QByteArray("These are the notes of the workshop, not a database.\n").repeated(40));
        }
        QFile original(db);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();

        ServiceRecord store;
        QVERIFY2(store.open(db), qPrintable(store.errorString()));
        const QString aside = store.movedAsidePath();
        QVERIFY(!aside.isEmpty());
        QVERIFY(aside.startsWith(db + QStringLiteral(".damaged-")));
        QFile moved(aside);
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), bytes);
        QCOMPARE(store.query().size(), 0);
        QVERIFY(store.beginUpdate(fullStart()) > 0);
        QCOMPARE(store.query().size(), 1);

        // The new file is sound: the next open leaves it where it is.
        ServiceRecord again;
        QVERIFY(again.open(db));
        QVERIFY(again.movedAsidePath().isEmpty());
        QCOMPARE(again.query().size(), 1);
    }

    // A file this version cannot understand, or something that is not a
    // file, stays as it is and the open fails with a reason.
    void unusableFileLeftAlone()
    {
        const QString newer = path("newer.sqlite");
        {
            RawDb raw(newer);
            QVERIFY(raw.exec(QStringLiteral("CREATE TABLE updates (id INTEGER)")));
            QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version = 7")));
        }
        ServiceRecord store;
        QVERIFY(!store.open(newer));
        QVERIFY(store.errorString().contains(QStringLiteral("newer")));
        QVERIFY(store.movedAsidePath().isEmpty());
        QVERIFY(!store.isOpen());
        QCOMPARE(RawDb(newer).value(QStringLiteral("PRAGMA user_version")).toInt(), 7);
        QCOMPARE(QDir(m_dir.path()).entryList({"newer.sqlite.damaged*"}).size(), 0);
        QVERIFY(store.beginUpdate(UpdateStart{}) < 0);
        bool ok = true;
        QVERIFY(store.query({}, &ok).isEmpty());
        QVERIFY(!ok);

        const QString folder = path("folder.sqlite");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(!store.open(folder));
        QVERIFY(!store.errorString().isEmpty());
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(store.movedAsidePath().isEmpty());
    }

    // The store makes its files private whatever the umask says.
    void privateFiles()
    {
        const mode_t old = ::umask(022);
        const QString db = path("private.sqlite");
        ServiceRecord store;
        const bool opened = store.open(db);
        const qint64 id = store.beginUpdate(fullStart());
        ::umask(old);
        QVERIFY(opened);
        QVERIFY(id > 0);
        QCOMPARE(modeOf(db), mode_t(0600));
        QVERIFY(QFileInfo::exists(db + "-wal"));
        QCOMPARE(modeOf(db + "-wal"), mode_t(0600));
        QCOMPARE(modeOf(db + "-shm"), mode_t(0600));
    }

    // The recorder, as a workflow drives it.
    void recorderFollowsOneUpdate()
    {
        const QString db = path("recorder.sqlite");
        const QString image = path("image.hex");
        {
            QFile f(image);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("abc");
        }
        UpdateRecorder recorder(QStringLiteral("velmo-flash"), db);
        QStringList problems;
        recorder.setProblemHandler([&](const QString &text) { problems << text; });
        // An outcome nobody started is not recorded.
        QVERIFY(!recorder.finish(UpdateResult::Ok));

        recorder.imageSent(image);
        {
            // Changed after it was sent: the record keeps what was sent.
            QFile f(image);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("something else");
        }
        QVERIFY(recorder.begin("/dev/pts/3", "0x2345", "VB-2345", EraseMode::Pages));
        const qint64 id = recorder.recordId();
        QVERIFY(recorder.isRecording());
        QVERIFY(recorder.begin("/dev/pts/3", "0x2345", "VB-2345", EraseMode::Pages));
        QCOMPARE(recorder.recordId(), id);
        recorder.noteError(QStringLiteral("first"));
        recorder.noteError(QStringLiteral("Write timeout on block 20"));
        recorder.noteRetries(4);
        recorder.noteVerify(VerifyResult::Mismatch);
        QVERIFY(recorder.finish(UpdateResult::Failed));
        QVERIFY(!recorder.isRecording());

        ServiceRecord store;
        QVERIFY(store.open(db));
        UpdateRecord r = only(store);
        QCOMPARE(r.id, id);
        QCOMPARE(r.program, QStringLiteral("velmo-flash"));
        QCOMPARE(r.port, QStringLiteral("/dev/pts/3"));
        QCOMPARE(r.boardId, QStringLiteral("0x2345"));
        QCOMPARE(r.boardName, QStringLiteral("VB-2345"));
        QCOMPARE(r.filePath, image);
        QCOMPARE(r.fileSize, qint64(3));
        QCOMPARE(r.fileMd5, QStringLiteral("900150983cd24fb0d6963f7d28e17f72")); // MD5 of "abc"
        QCOMPARE(r.erase, EraseMode::Pages);
        QCOMPARE(r.state, RecordState::Failed);
        QCOMPARE(r.errorText, QStringLiteral("Write timeout on block 20"));
        QCOMPARE(r.verify, VerifyResult::Mismatch);
        QCOMPARE(r.retries, 4);

        // Errors of an earlier update do not follow into the next one; a
        // recorder that goes away mid-update records an abort.
        {
            UpdateRecorder second(QStringLiteral("velmo-flash"), db);
            QVERIFY(second.begin("/dev/pts/3", "0x2345", "VB-2345", EraseMode::All));
            second.noteError(QString());
        }
        r = store.query().constFirst();
        QCOMPARE(r.state, RecordState::AbortedByClosing);
        QVERIFY(r.errorText.isEmpty());
        QCOMPARE(r.verify, VerifyResult::None);
        QCOMPARE(r.retries, -1);
        QCOMPARE(r.fileSize, qint64(-1)); // no image reported to this one
        QVERIFY(problems.isEmpty());
    }

    // A file of the first format keeps its records and gains the columns of
    // the read-back and the retries.
    void versionOneFileIsCarriedOn()
    {
        const QString db = path("version1.sqlite");
        {
            RawDb raw(db);
            QVERIFY(raw.exec(QStringLiteral(
                "CREATE TABLE updates (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " started_ms INTEGER NOT NULL, finished_ms INTEGER,"
                " program TEXT NOT NULL DEFAULT '', user_name TEXT NOT NULL DEFAULT '',"
                " host TEXT NOT NULL DEFAULT '', port TEXT NOT NULL DEFAULT '',"
                " board_id TEXT NOT NULL DEFAULT '', board_name TEXT NOT NULL DEFAULT '',"
                " file_path TEXT NOT NULL DEFAULT '', file_size INTEGER,"
                " file_md5 TEXT NOT NULL DEFAULT '', erase TEXT NOT NULL CHECK (erase IN"
                " ('erase-all', 'page-erase')), result TEXT CHECK (result IN ('ok', 'failed',"
                " 'aborted', 'daemon-lost')), error_text TEXT NOT NULL DEFAULT '',"
                " writer_pid INTEGER NOT NULL, writer_boot_id TEXT NOT NULL DEFAULT '',"
                " writer_start_ticks INTEGER)")));
            QVERIFY(raw.exec(QStringLiteral(
                "INSERT INTO updates (started_ms, finished_ms, board_id, erase, result,"
                " error_text, writer_pid) VALUES (1709600000000, 1709600060000, '0x1234',"
                " 'erase-all', 'failed', 'old', 1)")));
            QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version = 1")));
        }
        ServiceRecord store;
        QVERIFY2(store.open(db), qPrintable(store.errorString()));
        UpdateRecord old = only(store);
        QCOMPARE(old.boardId, QStringLiteral("0x1234"));
        QCOMPARE(old.errorText, QStringLiteral("old"));
        QCOMPARE(old.verify, VerifyResult::None);
        QCOMPARE(old.retries, -1);
        const qint64 id = store.beginUpdate(UpdateStart{});
        QVERIFY(store.finishUpdate(id, UpdateResult::Ok, QString(), VerifyResult::Unsupported, 2));
        const UpdateRecord fresh = store.query().constFirst();
        QCOMPARE(fresh.verify, VerifyResult::Unsupported);
        QCOMPARE(fresh.retries, 2);
        QCOMPARE(RawDb(db).value(QStringLiteral("PRAGMA user_version")).toInt(),
                 ServiceRecord::kSchemaVersion);
    }

    // What the user is told when recording is not possible.
    void recorderReportsProblems()
    {
        const QString damaged = path("recorder-damaged.sqlite");
        {
            QFile f(damaged);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(2048, 'z'));
        }
        QStringList problems;
        {
            UpdateRecorder recorder(QStringLiteral("VelmoFrontEnd"), damaged);
            recorder.setProblemHandler([&](const QString &text) { problems << text; });
            QVERIFY(recorder.begin("p", "0x1234", "n", EraseMode::All));
            QVERIFY(recorder.finish(UpdateResult::Ok));
        }
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.at(0).contains(damaged + QStringLiteral(".damaged-")),
                 qPrintable(problems.at(0)));

        problems.clear();
        const QString folder = path("recorder-folder.sqlite");
        QVERIFY(QDir().mkpath(folder));
        UpdateRecorder recorder(QStringLiteral("VelmoFrontEnd"), folder);
        recorder.setProblemHandler([&](const QString &text) { problems << text; });
        QVERIFY(!recorder.begin("p", "0x1234", "n", EraseMode::All));
        QVERIFY(!recorder.isRecording());
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.at(0).contains(folder));
        QVERIFY(!recorder.finish(UpdateResult::Ok));
        QCOMPARE(problems.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TstServiceRecord)
#include "tst_servicerecord.moc"
