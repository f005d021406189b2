#pragma once

#include "records/updaterecord.h"

#include <QCoreApplication>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace records {

// The service record: one row per firmware update, in an SQLite file that
// the front end and the command-line flasher share. Each instance has a
// connection of its own and is used from the thread that opened it; any
// number of instances, in any number of processes, may write at once.
//
// An update is written in two transactions: its start (result still empty)
// and its end. A record whose end never came is reported as running while
// the process that wrote it lives, and as interrupted once it is gone.
class ServiceRecord
{
    Q_DECLARE_TR_FUNCTIONS(ServiceRecord)

public:
    // 2: the read-back result and retry count; 3: file_notes; 4: where the
    // file came from and its signature; 5: the results "port-lost" and
    // "broker-lost".
    static constexpr int kSchemaVersion = 5;
    // How long a writer waits for another one before giving up.
    static constexpr int kBusyTimeoutMs = 10000;
    static constexpr const char *kFileName = "service-record.sqlite";

    ServiceRecord();
    ~ServiceRecord();
    ServiceRecord(const ServiceRecord &) = delete;
    ServiceRecord &operator=(const ServiceRecord &) = delete;

    // The file in the per-user data folder.
    static QString defaultPath();

    // Opens `path`, creating the file (readable by the user only) and its
    // tables on first use. A file that is not a sound database is renamed
    // aside with a time stamp and a new one is started: movedAsidePath()
    // then names the old file, which the caller must tell the user about.
    // A file written by a newer version, or one that cannot be read at all,
    // is left alone and the open fails.
    bool open(const QString &path);
    // Creates the per-user data folder when needed and opens defaultPath().
    bool openDefault();
    void close();

    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    // Why the last operation failed.
    QString errorString() const { return m_error; }
    // Where open() put a damaged file; empty when it found none.
    QString movedAsidePath() const { return m_movedAside; }
    // What to tell the user about it; empty when nothing was moved.
    QString movedAsideNotice() const;

    // Writes the start of an update; returns its id, or -1.
    qint64 beginUpdate(const UpdateStart &start);
    // Writes the end of update `id`, with what its read-back found and how
    // many commands went again (-1: unknown). An update that already has
    // its end keeps it: false.
    bool finishUpdate(qint64 id, UpdateResult result, const QString &errorText,
                      VerifyResult verify = VerifyResult::None, int retries = -1);

    // Matching records, newest first. `ok` (when given) tells an empty
    // answer from a failed query.
    QList<UpdateRecord> query(const RecordFilter &filter = {}, bool *ok = nullptr);
    // How many records there are, whatever the filter; -1 on failure.
    qint64 count();
    // The board identifiers present, in ascending order.
    QStringList boardIds(bool *ok = nullptr);

private:
    enum class OpenOutcome
    {
        Ready,
        Damaged,
        Failed
    };
    OpenOutcome tryOpen();
    bool moveAside();
    int readVersion();
    bool createVersion1();
    bool migrateToVersion2();
    bool migrateToVersion3();
    bool migrateToVersion4();
    bool migrateToVersion5();
    bool execute(const QString &sql);
    void fail(const QString &what, const QString &detail);
    void dropConnection();

    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_path;
    QString m_error;
    QString m_movedAside;
    bool m_open = false;
};

} // namespace records
