#pragma once

#include "frontend/logs/lookupdb.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Descriptions of commands, events and alarms, each looked up once: a
// tooltip asks on every mouse move, the database is asked once per code.
class DescriptionCache
{
public:
    enum class Kind
    {
        CommandOrEvent,
        Alarm
    };

    explicit DescriptionCache(QString databasePath = QString::fromLatin1(kLookupDatabasePath));

    // Looks up every code not yet known, all under one database connection.
    void preload(Kind kind, const QStringList &codes, const QString &language);
    // " " for a code the database does not describe, as the lookups give it.
    QString description(Kind kind, const QString &code, const QString &language);
    void clear();

    // Codes looked up in the database so far.
    int lookups() const { return m_lookups; }

private:
    static QString keyOf(Kind kind, const QString &code, const QString &language);

    QString m_databasePath;
    QHash<QString, QString> m_known;
    int m_lookups = 0;
};
