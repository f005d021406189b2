#include "records/servicerecord.h"

#include "common/datafolder.h"
#include "records/processidentity.h"
#include "records/recordformat.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace records {

namespace {

std::atomic<int> g_connections{0};

constexpr mode_t kPrivateFileMode = 0600;
// SQLite's primary result codes that mean the file itself is bad.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;
constexpr int kPrimaryCodeMask = 0xff;
// Attempts to switch a fresh file to write-ahead logging while another
// process holds it.
constexpr int kJournalModeAttempts = 20;
constexpr int kJournalModeRetryMs = 50;

const char *const kColumns =
    "id, started_ms, finished_ms, program, user_name, host, port, board_id, board_name, "
    "file_path, file_size, file_md5, erase, result, error_text, writer_pid, writer_boot_id, "
    "writer_start_ticks, verify_result, retries, file_notes, from_library, signature, signer";

// The words stored in the file are those of the CSV export.
RecordState stateOf(UpdateResult result)
{
    switch (result) {
    case UpdateResult::Ok:
        return RecordState::Ok;
    case UpdateResult::Failed:
        break;
    case UpdateResult::AbortedByClosing:
        return RecordState::AbortedByClosing;
    case UpdateResult::DaemonLost:
        return RecordState::DaemonLost;
    case UpdateResult::PortLost:
        return RecordState::PortLost;
    case UpdateResult::BrokerLost:
        return RecordState::BrokerLost;
    }
    return RecordState::Failed;
}

constexpr UpdateResult kAllResults[] = {
    UpdateResult::Ok,         UpdateResult::Failed,   UpdateResult::AbortedByClosing,
    UpdateResult::DaemonLost, UpdateResult::PortLost, UpdateResult::BrokerLost};

RecordState stateFromKey(const QString &key)
{
    for (const UpdateResult result : kAllResults)
        if (key == RecordFormat::stateKey(stateOf(result)))
            return stateOf(result);
    return RecordState::Failed;
}

QString currentUserName()
{
    if (const passwd *pw = ::getpwuid(::geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

// Qt binds a null string as SQL NULL; the text columns hold '' instead.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

bool isDamage(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & kPrimaryCodeMask;
    return ok && (code == kSqliteCorrupt || code == kSqliteNotADatabase);
}

// Creates a missing file readable by the user only. SQLite gives its
// journal files the mode of the database file, so they follow.
bool createPrivateFile(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno == EEXIST)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

// BEGIN IMMEDIATE takes the write lock at once (waiting out other writers
// with the busy time-out) instead of failing halfway through.
class WriteTransaction
{
public:
    explicit WriteTransaction(QSqlDatabase &db)
        : m_db(db)
    {
        QSqlQuery begin(m_db);
        m_active = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
        if (!m_active)
            m_error = begin.lastError();
    }
    ~WriteTransaction()
    {
        if (m_active) {
            QSqlQuery rollback(m_db);
            rollback.exec(QStringLiteral("ROLLBACK"));
        }
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    bool active() const { return m_active; }
    QSqlError error() const { return m_error; }
    bool commit()
    {
        QSqlQuery commit(m_db);
        if (!commit.exec(QStringLiteral("COMMIT"))) {
            m_error = commit.lastError();
            return false;
        }
        m_active = false;
        return true;
    }

private:
    QSqlDatabase &m_db;
    QSqlError m_error;
    bool m_active = false;
};

} // namespace

RecordFilter RecordFilter::days(const QDate &first, const QDate &last, const QString &boardId)
{
    RecordFilter filter;
    filter.boardId = boardId;
    if (first.isValid())
        filter.from = first.startOfDay();
    if (last.isValid())
        filter.to = last.endOfDay();
    return filter;
}

ServiceRecord::ServiceRecord()
    : m_connectionName(QStringLiteral("velmo-records-%1-%2")
                           .arg(qint64(::getpid()))
                           .arg(g_connections.fetch_add(1)))
{}

ServiceRecord::~ServiceRecord()
{
    close();
}

QString ServiceRecord::defaultPath()
{
    return velmo::dataFolderPath() + QLatin1Char('/') + QLatin1String(kFileName);
}

bool ServiceRecord::openDefault()
{
    if (!velmo::ensureDataFolder()) {
        m_open = false;
        m_path = defaultPath();
        m_error = tr("The data folder %1 could not be created.")
                      .arg(QDir::toNativeSeparators(velmo::dataFolderPath()));
        return false;
    }
    return open(defaultPath());
}

QString ServiceRecord::movedAsideNotice() const
{
    if (m_movedAside.isEmpty())
        return QString();
    return tr("The service record was damaged. It was renamed to %1 and a new one was started.")
        .arg(QDir::toNativeSeparators(m_movedAside));
}

void ServiceRecord::close()
{
    m_open = false;
    dropConnection();
}

void ServiceRecord::dropConnection()
{
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

void ServiceRecord::fail(const QString &what, const QString &detail)
{
    m_error = detail.isEmpty() ? what : what + QStringLiteral(": ") + detail;
    qWarning().noquote() << "[ServiceRecord]" << m_error;
}

bool ServiceRecord::execute(const QString &sql)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    fail(tr("The service record %1 could not be prepared").arg(QDir::toNativeSeparators(m_path)),
         query.lastError().text());
    return false;
}

bool ServiceRecord::open(const QString &path)
{
    close();
    m_path = path;
    m_error.clear();
    m_movedAside.clear();

    OpenOutcome outcome = tryOpen();
    if (outcome == OpenOutcome::Damaged) {
        dropConnection();
        if (!moveAside())
            return false;
        outcome = tryOpen();
        if (outcome == OpenOutcome::Damaged)
            fail(tr("The new service record %1 could not be started")
                     .arg(QDir::toNativeSeparators(m_path)),
                 QString());
    }
    if (outcome != OpenOutcome::Ready) {
        dropConnection();
        return false;
    }
    m_open = true;
    return true;
}

ServiceRecord::OpenOutcome ServiceRecord::tryOpen()
{
    const QString shown = QDir::toNativeSeparators(m_path);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        fail(tr("The service record %1 could not be opened").arg(shown),
             tr("the SQLite driver of Qt is not installed"));
        return OpenOutcome::Failed;
    }
    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile()) {
        fail(tr("The service record %1 could not be opened").arg(shown), tr("it is not a file"));
        return OpenOutcome::Failed;
    }
    QString createError;
    if (!createPrivateFile(m_path, &createError)) {
        fail(tr("The service record %1 could not be created").arg(shown), createError);
        return OpenOutcome::Failed;
    }

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(m_path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!m_db.open()) {
        fail(tr("The service record %1 could not be opened").arg(shown), m_db.lastError().text());
        return OpenOutcome::Failed;
    }

    // A file that is not a database, or one with broken pages, is damage;
    // anything else (locked, unreadable) is not, and leaves the file alone.
    {
        QSqlQuery check(m_db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check"))) {
            const QSqlError error = check.lastError();
            fail(tr("The service record %1 could not be read").arg(shown), error.text());
            return isDamage(error) ? OpenOutcome::Damaged : OpenOutcome::Failed;
        }
        if (!check.next() || check.value(0).toString() != QLatin1String("ok")) {
            fail(tr("The service record %1 is damaged").arg(shown),
                 check.isValid() ? check.value(0).toString() : QString());
            return OpenOutcome::Damaged;
        }
    }

    const auto newerFormat = [&](int version) {
        fail(tr("The service record %1 was written by a newer version of the program (format %2)")
                 .arg(shown)
                 .arg(version),
             QString());
        return OpenOutcome::Failed;
    };
    // A newer program's file is left exactly as it is.
    if (const int found = readVersion(); found > kSchemaVersion)
        return newerFormat(found);

    // Readers never block the writer and two writers wait for each other
    // instead of failing. A fresh file may be held by another process that
    // is switching it at the same moment.
    QString mode;
    for (int attempt = 0; attempt < kJournalModeAttempts; ++attempt) {
        QSqlQuery wal(m_db);
        if (wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && wal.next())
            mode = wal.value(0).toString();
        if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
            break;
        QThread::msleep(kJournalModeRetryMs);
    }
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        qWarning().noquote() << "[ServiceRecord] write-ahead log not available for" << shown
                             << "- journal mode" << mode;

    WriteTransaction transaction(m_db);
    if (!transaction.active()) {
        fail(tr("The service record %1 could not be opened").arg(shown),
             transaction.error().text());
        return OpenOutcome::Failed;
    }
    // Read again under the write lock: another process may have created
    // the tables in the meantime.
    const int version = readVersion();
    if (version < 0) {
        fail(tr("The service record %1 could not be read").arg(shown), QString());
        return OpenOutcome::Failed;
    }
    if (version > kSchemaVersion)
        return newerFormat(version);
    // Each step brings a file of the version before it one step on.
    if (version < 1 && !createVersion1())
        return OpenOutcome::Failed;
    if (version < 2 && !migrateToVersion2())
        return OpenOutcome::Failed;
    if (version < 3 && !migrateToVersion3())
        return OpenOutcome::Failed;
    if (version < 4 && !migrateToVersion4())
        return OpenOutcome::Failed;
    if (version < 5 && !migrateToVersion5())
        return OpenOutcome::Failed;
    if (!transaction.commit()) {
        fail(tr("The service record %1 could not be opened").arg(shown),
             transaction.error().text());
        return OpenOutcome::Failed;
    }
    return OpenOutcome::Ready;
}

bool ServiceRecord::createVersion1()
{
    return execute(QStringLiteral(
               "CREATE TABLE IF NOT EXISTS updates ("
               " id INTEGER PRIMARY KEY AUTOINCREMENT,"
               " started_ms INTEGER NOT NULL,"
               " finished_ms INTEGER,"
               " program TEXT NOT NULL DEFAULT '',"
               " user_name TEXT NOT NULL DEFAULT '',"
               " host TEXT NOT NULL DEFAULT '',"
               " port TEXT NOT NULL DEFAULT '',"
               " board_id TEXT NOT NULL DEFAULT '',"
               " board_name TEXT NOT NULL DEFAULT '',"
               " file_path TEXT NOT NULL DEFAULT '',"
               " file_size INTEGER,"
               " file_md5 TEXT NOT NULL DEFAULT '',"
               " erase TEXT NOT NULL CHECK (erase IN ('erase-all', 'page-erase')),"
               " result TEXT CHECK (result IN ('ok', 'failed', 'aborted', 'daemon-lost')),"
               " error_text TEXT NOT NULL DEFAULT '',"
               " writer_pid INTEGER NOT NULL,"
               " writer_boot_id TEXT NOT NULL DEFAULT '',"
               " writer_start_ticks INTEGER)")) &&
           execute(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS updates_started ON updates (started_ms)")) &&
           execute(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS updates_board ON updates (board_id, started_ms)")) &&
           execute(QStringLiteral("PRAGMA user_version = 1"));
}

// Version 2: what the read-back found and how many commands went again.
// Records written before keep '' (no read-back) and NULL (unknown).
bool ServiceRecord::migrateToVersion2()
{
    return execute(QStringLiteral("ALTER TABLE updates ADD COLUMN verify_result TEXT NOT NULL"
                                  " DEFAULT '' CHECK (verify_result IN ('', 'ok', 'mismatch',"
                                  " 'unsupported', 'off', 'failed'))")) &&
           execute(QStringLiteral("ALTER TABLE updates ADD COLUMN retries INTEGER")) &&
           execute(QStringLiteral("PRAGMA user_version = 2"));
}

// Version 3: what the check before sending found that is not written (data
// outside the board's flash or program area). Older records keep ''.
bool ServiceRecord::migrateToVersion3()
{
    return execute(QStringLiteral(
               "ALTER TABLE updates ADD COLUMN file_notes TEXT NOT NULL DEFAULT ''")) &&
           execute(QStringLiteral("PRAGMA user_version = 3"));
}

// Version 4: whether the file came from the firmware library (NULL: not
// known) and its signature as checked before sending, with the signing
// key's name. Older records keep NULL, '' and ''.
bool ServiceRecord::migrateToVersion4()
{
    return execute(QStringLiteral("ALTER TABLE updates ADD COLUMN from_library INTEGER")) &&
           execute(QStringLiteral("ALTER TABLE updates ADD COLUMN signature TEXT NOT NULL"
                                  " DEFAULT '' CHECK (signature IN ('', 'unsigned', 'signed',"
                                  " 'damaged', 'other-file', 'untrusted-key'))")) &&
           execute(
               QStringLiteral("ALTER TABLE updates ADD COLUMN signer TEXT NOT NULL DEFAULT ''")) &&
           execute(QStringLiteral("PRAGMA user_version = 4"));
}

// Version 5: the results "port-lost" and "broker-lost". SQLite cannot widen
// a CHECK in place, so the rows move to a table that takes them, ids and
// every column included; the other constraints and the indexes stay as
// they were.
bool ServiceRecord::migrateToVersion5()
{
    return execute(QStringLiteral(
               "CREATE TABLE updates_v5 ("
               " id INTEGER PRIMARY KEY AUTOINCREMENT,"
               " started_ms INTEGER NOT NULL,"
               " finished_ms INTEGER,"
               " program TEXT NOT NULL DEFAULT '',"
               " user_name TEXT NOT NULL DEFAULT '',"
               " host TEXT NOT NULL DEFAULT '',"
               " port TEXT NOT NULL DEFAULT '',"
               " board_id TEXT NOT NULL DEFAULT '',"
               " board_name TEXT NOT NULL DEFAULT '',"
               " file_path TEXT NOT NULL DEFAULT '',"
               " file_size INTEGER,"
               " file_md5 TEXT NOT NULL DEFAULT '',"
               " erase TEXT NOT NULL CHECK (erase IN ('erase-all', 'page-erase')),"
               " result TEXT CHECK (result IN ('ok', 'failed', 'aborted', 'daemon-lost',"
               " 'port-lost', 'broker-lost')),"
               " error_text TEXT NOT NULL DEFAULT '',"
               " writer_pid INTEGER NOT NULL,"
               " writer_boot_id TEXT NOT NULL DEFAULT '',"
               " writer_start_ticks INTEGER,"
               " verify_result TEXT NOT NULL DEFAULT '' CHECK (verify_result IN ('', 'ok',"
               " 'mismatch', 'unsupported', 'off', 'failed')),"
               " retries INTEGER,"
               " file_notes TEXT NOT NULL DEFAULT '',"
               " from_library INTEGER,"
               " signature TEXT NOT NULL DEFAULT '' CHECK (signature IN ('', 'unsigned',"
               " 'signed', 'damaged', 'other-file', 'untrusted-key')),"
               " signer TEXT NOT NULL DEFAULT '')")) &&
           execute(QStringLiteral("INSERT INTO updates_v5 (%1) SELECT %1 FROM updates")
                       .arg(QLatin1String(kColumns))) &&
           execute(QStringLiteral("DROP TABLE updates")) &&
           execute(QStringLiteral("ALTER TABLE updates_v5 RENAME TO updates")) &&
           execute(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS updates_started ON updates (started_ms)")) &&
           execute(QStringLiteral(
               "CREATE INDEX IF NOT EXISTS updates_board ON updates (board_id, started_ms)")) &&
           execute(QStringLiteral("PRAGMA user_version = 5"));
}

int ServiceRecord::readVersion()
{
    QSqlQuery query(m_db);
    if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next())
        return query.value(0).toInt();
    return -1;
}

bool ServiceRecord::moveAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    // Another process may have moved it first.
    if (!QFileInfo::exists(m_path))
        return true;
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(aside).constData()) !=
        0) {
        fail(tr("The damaged service record %1 could not be renamed")
                 .arg(QDir::toNativeSeparators(m_path)),
             QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // The log and index files belong to the old file and go with it.
    for (const char *suffix : {"-wal", "-shm", "-journal"}) {
        const QString from = m_path + QLatin1String(suffix);
        if (QFileInfo::exists(from))
            ::rename(QFile::encodeName(from).constData(),
                     QFile::encodeName(aside + QLatin1String(suffix)).constData());
    }
    m_movedAside = aside;
    qWarning().noquote() << "[ServiceRecord] damaged file moved aside to" << aside;
    return true;
}

qint64 ServiceRecord::beginUpdate(const UpdateStart &start)
{
    const QString shown = QDir::toNativeSeparators(m_path);
    if (!m_open) {
        fail(tr("The service record %1 is not open").arg(shown), m_error);
        return -1;
    }
    const ProcessIdentity self = currentProcess();
    const QDateTime startedAt =
        start.startedAt.isValid() ? start.startedAt : QDateTime::currentDateTime();

    WriteTransaction transaction(m_db);
    if (!transaction.active()) {
        fail(tr("The start of the update could not be written to %1").arg(shown),
             transaction.error().text());
        return -1;
    }
    QSqlQuery insert(m_db);
    insert.prepare(QStringLiteral(
        "INSERT INTO updates (started_ms, program, user_name, host, port, board_id, board_name,"
        " file_path, file_size, file_md5, erase, writer_pid, writer_boot_id, writer_start_ticks,"
        " file_notes, from_library, signature, signer)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(startedAt.toMSecsSinceEpoch());
    insert.addBindValue(text(start.program));
    insert.addBindValue(text(start.user.isEmpty() ? currentUserName() : start.user));
    insert.addBindValue(text(start.host.isEmpty() ? QSysInfo::machineHostName() : start.host));
    insert.addBindValue(text(start.port));
    insert.addBindValue(text(start.boardId));
    insert.addBindValue(text(start.boardName));
    insert.addBindValue(text(start.filePath));
    insert.addBindValue(start.fileSize >= 0 ? QVariant(start.fileSize) : QVariant());
    insert.addBindValue(text(start.fileMd5));
    insert.addBindValue(RecordFormat::eraseKey(start.erase));
    insert.addBindValue(self.pid);
    insert.addBindValue(text(self.bootId));
    insert.addBindValue(self.startTicks >= 0 ? QVariant(self.startTicks) : QVariant());
    insert.addBindValue(text(start.fileNotes));
    insert.addBindValue(start.origin.fromLibrary ? QVariant(int(*start.origin.fromLibrary))
                                                 : QVariant());
    insert.addBindValue(RecordFormat::signatureKey(start.origin.signature));
    insert.addBindValue(text(start.origin.signer));
    if (!insert.exec()) {
        fail(tr("The start of the update could not be written to %1").arg(shown),
             insert.lastError().text());
        return -1;
    }
    const qint64 id = insert.lastInsertId().toLongLong();
    insert.finish();
    if (!transaction.commit()) {
        fail(tr("The start of the update could not be written to %1").arg(shown),
             transaction.error().text());
        return -1;
    }
    return id;
}

bool ServiceRecord::finishUpdate(qint64 id, UpdateResult result, const QString &errorText,
                                 VerifyResult verify, int retries)
{
    const QString shown = QDir::toNativeSeparators(m_path);
    if (!m_open) {
        fail(tr("The service record %1 is not open").arg(shown), m_error);
        return false;
    }
    WriteTransaction transaction(m_db);
    if (!transaction.active()) {
        fail(tr("The end of the update could not be written to %1").arg(shown),
             transaction.error().text());
        return false;
    }
    QSqlQuery update(m_db);
    update.prepare(QStringLiteral("UPDATE updates SET finished_ms = ?, result = ?, error_text = ?,"
                                  " verify_result = ?, retries = ?"
                                  " WHERE id = ? AND result IS NULL"));
    update.addBindValue(QDateTime::currentMSecsSinceEpoch());
    update.addBindValue(RecordFormat::stateKey(stateOf(result)));
    update.addBindValue(text(errorText));
    update.addBindValue(RecordFormat::verifyKey(verify));
    update.addBindValue(retries >= 0 ? QVariant(retries) : QVariant());
    update.addBindValue(id);
    if (!update.exec()) {
        fail(tr("The end of the update could not be written to %1").arg(shown),
             update.lastError().text());
        return false;
    }
    if (update.numRowsAffected() != 1) {
        fail(tr("The service record %1 holds no open update %2").arg(shown).arg(id), QString());
        return false;
    }
    update.finish();
    if (!transaction.commit()) {
        fail(tr("The end of the update could not be written to %1").arg(shown),
             transaction.error().text());
        return false;
    }
    return true;
}

QList<UpdateRecord> ServiceRecord::query(const RecordFilter &filter, bool *ok)
{
    QList<UpdateRecord> out;
    if (ok)
        *ok = false;
    if (!m_open) {
        fail(tr("The service record %1 is not open").arg(QDir::toNativeSeparators(m_path)),
             m_error);
        return out;
    }
    QStringList where;
    QVariantList values;
    if (!filter.boardId.isEmpty()) {
        where << QStringLiteral("board_id = ?");
        values << filter.boardId;
    }
    if (filter.from.isValid()) {
        where << QStringLiteral("started_ms >= ?");
        values << filter.from.toMSecsSinceEpoch();
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("started_ms <= ?");
        values << filter.to.toMSecsSinceEpoch();
    }
    QString sql = QStringLiteral("SELECT %1 FROM updates").arg(QLatin1String(kColumns));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY started_ms DESC, id DESC");

    QSqlQuery select(m_db);
    select.setForwardOnly(true);
    select.prepare(sql);
    for (const QVariant &value : std::as_const(values))
        select.addBindValue(value);
    if (!select.exec()) {
        fail(tr("The service record %1 could not be read").arg(QDir::toNativeSeparators(m_path)),
             select.lastError().text());
        return out;
    }
    // One question per writer, not per record.
    QHash<QString, bool> alive;
    while (select.next()) {
        UpdateRecord r;
        r.id = select.value(0).toLongLong();
        r.startedAt = QDateTime::fromMSecsSinceEpoch(select.value(1).toLongLong());
        if (!select.value(2).isNull())
            r.finishedAt = QDateTime::fromMSecsSinceEpoch(select.value(2).toLongLong());
        r.program = select.value(3).toString();
        r.user = select.value(4).toString();
        r.host = select.value(5).toString();
        r.port = select.value(6).toString();
        r.boardId = select.value(7).toString();
        r.boardName = select.value(8).toString();
        r.filePath = select.value(9).toString();
        r.fileSize = select.value(10).isNull() ? -1 : select.value(10).toLongLong();
        r.fileMd5 = select.value(11).toString();
        r.erase = select.value(12).toString() == RecordFormat::eraseKey(EraseMode::Pages)
                      ? EraseMode::Pages
                      : EraseMode::All;
        r.errorText = select.value(14).toString();
        r.verify = RecordFormat::verifyFromKey(select.value(18).toString());
        r.retries = select.value(19).isNull() ? -1 : select.value(19).toInt();
        r.fileNotes = select.value(20).toString();
        if (!select.value(21).isNull())
            r.origin.fromLibrary = select.value(21).toInt() != 0;
        r.origin.signature = RecordFormat::signatureFromKey(select.value(22).toString());
        r.origin.signer = select.value(23).toString();
        if (!select.value(13).isNull()) {
            r.state = stateFromKey(select.value(13).toString());
        } else {
            ProcessIdentity writer;
            writer.pid = select.value(15).toLongLong();
            writer.bootId = select.value(16).toString();
            writer.startTicks = select.value(17).isNull() ? -1 : select.value(17).toLongLong();
            const QString key = QStringLiteral("%1/%2/%3")
                                    .arg(writer.bootId)
                                    .arg(writer.pid)
                                    .arg(writer.startTicks);
            auto it = alive.constFind(key);
            if (it == alive.constEnd())
                it = alive.insert(key, isAlive(writer));
            r.state = it.value() ? RecordState::Running : RecordState::Interrupted;
        }
        out.append(r);
    }
    if (select.lastError().isValid()) {
        fail(tr("The service record %1 could not be read").arg(QDir::toNativeSeparators(m_path)),
             select.lastError().text());
        return {};
    }
    if (ok)
        *ok = true;
    return out;
}

qint64 ServiceRecord::count()
{
    if (!m_open) {
        fail(tr("The service record %1 is not open").arg(QDir::toNativeSeparators(m_path)),
             m_error);
        return -1;
    }
    QSqlQuery select(m_db);
    if (!select.exec(QStringLiteral("SELECT COUNT(*) FROM updates")) || !select.next()) {
        fail(tr("The service record %1 could not be read").arg(QDir::toNativeSeparators(m_path)),
             select.lastError().text());
        return -1;
    }
    return select.value(0).toLongLong();
}

QStringList ServiceRecord::boardIds(bool *ok)
{
    QStringList out;
    if (ok)
        *ok = false;
    if (!m_open) {
        fail(tr("The service record %1 is not open").arg(QDir::toNativeSeparators(m_path)),
             m_error);
        return out;
    }
    QSqlQuery select(m_db);
    select.setForwardOnly(true);
    if (!select.exec(QStringLiteral("SELECT DISTINCT board_id FROM updates"
                                    " WHERE board_id <> '' ORDER BY board_id"))) {
        fail(tr("The service record %1 could not be read").arg(QDir::toNativeSeparators(m_path)),
             select.lastError().text());
        return out;
    }
    while (select.next())
        out << select.value(0).toString();
    if (ok)
        *ok = true;
    return out;
}

} // namespace records
