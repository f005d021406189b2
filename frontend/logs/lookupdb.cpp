#include "frontend/logs/lookupdb.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

namespace {
const QString kNoDescription = QStringLiteral(" ");
const QString kLanguagePlaceholder = QStringLiteral(":inst_language");

QString singleLookup(const char *queryText, const QString &code, const QString &language,
                     const QString &path)
{
    LookupDatabase lookup(path);
    const QStringList result = lookupDescriptions(lookup.database(), QString::fromLatin1(queryText),
                                                  QStringLiteral(":code"), {code}, language);
    return result.value(0, kNoDescription);
}
} // namespace

LookupDatabase::LookupDatabase(const QString &path)
{
    // A connection serves only the thread that made it: a log read in the
    // background gets one of its own beside the window's default one.
    const bool mainThread =
        !QCoreApplication::instance() || QThread::currentThread() == qApp->thread();
    m_db = mainThread
               ? QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"))
               : QSqlDatabase::addDatabase(
                     QStringLiteral("QSQLITE"),
                     QStringLiteral("lookup-thread-%1").arg(quintptr(QThread::currentThreadId())));
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!m_db.open())
        qWarning() << "lookup database" << path << "not opened:" << m_db.lastError().text();
}

LookupDatabase::~LookupDatabase()
{
    const QString name = m_db.connectionName();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

QStringList lookupDescriptions(QSqlDatabase &db, const QString &queryText,
                               const QString &codePlaceholder, const QStringList &codes,
                               const QString &language)
{
    QStringList descriptions;
    descriptions.reserve(codes.size());
    QSqlQuery query(db);
    const bool prepared = db.isOpen() && query.prepare(queryText);
    if (!prepared && !codes.isEmpty() && db.isOpen())
        qWarning() << "lookup failed:" << query.lastError().text();
    for (const QString &code : codes) {
        QString description = kNoDescription;
        if (prepared) {
            query.bindValue(codePlaceholder, code);
            query.bindValue(kLanguagePlaceholder, language);
            if (query.exec() && query.next())
                description = query.value(0).toString();
            query.finish();
        }
        descriptions.append(description);
    }
    return descriptions;
}

QString lookupquery::boardSettings(const QString &tablePrefix)
{
    return QStringLiteral("SELECT ParamCode,Unit_Measure,Description,Conversion_Formula,"
                          "Parameter_Type FROM ") +
           tablePrefix +
           QStringLiteral("_Settings Where HexCode = (:HEXcode) AND LENGUAGE = (:inst_language);");
}

bool isPlainIdentifier(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool plain =
            (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        if (!plain)
            return false;
    }
    return true;
}

bool settingsTableExists(QSqlDatabase &db, const QString &tablePrefix)
{
    if (!db.isOpen() || !isPlainIdentifier(tablePrefix))
        return false;
    // Table names compare without case, as SQLite resolves them in a query.
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                                      "name = (:name) COLLATE NOCASE;")))
        return false;
    query.bindValue(QStringLiteral(":name"), tablePrefix + QStringLiteral("_Settings"));
    return query.exec() && query.next();
}

QVector<SettingLookup> lookupSettings(QSqlDatabase &db, const QString &tablePrefix,
                                      const QStringList &hexCodes, const QString &language)
{
    QVector<SettingLookup> rows(hexCodes.size());
    // The prefix comes from the log: only the name of a table that exists
    // may become part of the query text.
    if (!settingsTableExists(db, tablePrefix)) {
        if (!hexCodes.isEmpty() && db.isOpen())
            qWarning() << "no settings table for the board type" << tablePrefix;
        return rows;
    }
    QSqlQuery query(db);
    if (!query.prepare(lookupquery::boardSettings(tablePrefix))) {
        if (!hexCodes.isEmpty() && db.isOpen())
            qWarning() << "settings lookup failed:" << query.lastError().text();
        return rows;
    }
    // A long log repeats the board's few codes: each is asked once.
    QHash<QString, SettingLookup> answered;
    for (int i = 0; i < hexCodes.size(); ++i) {
        const QString &code = hexCodes.at(i);
        if (const auto known = answered.constFind(code); known != answered.constEnd()) {
            rows[i] = known.value();
            continue;
        }
        query.bindValue(QStringLiteral(":HEXcode"), code);
        query.bindValue(kLanguagePlaceholder, language);
        if (query.exec() && query.next()) {
            SettingLookup &entry = rows[i];
            entry.found = true;
            entry.row = {query.value(0).toString(), query.value(1).toString(),
                         query.value(2).toString(), query.value(3).toString(),
                         query.value(4).toString()};
        }
        query.finish();
        answered.insert(code, rows.at(i));
    }
    return rows;
}

QString alarmDescription(const QString &code, const QString &language, const QString &path)
{
    return singleLookup(lookupquery::kSingleAlarm, code, language, path);
}

QString commandEventDescription(const QString &code, const QString &language, const QString &path)
{
    return singleLookup(lookupquery::kCommandEvent, QStringLiteral("text") + code, language, path);
}
