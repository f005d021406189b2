#include "frontend/logs/descriptioncache.h"

#include <utility>

DescriptionCache::DescriptionCache(QString databasePath)
    : m_databasePath(std::move(databasePath))
{}

QString DescriptionCache::keyOf(Kind kind, const QString &code, const QString &language)
{
    return QString::number(int(kind)) + QLatin1Char('|') + language + QLatin1Char('|') + code;
}

void DescriptionCache::preload(Kind kind, const QStringList &codes, const QString &language)
{
    QStringList missing;
    for (const QString &code : codes) {
        if (!m_known.contains(keyOf(kind, code, language)) && !missing.contains(code))
            missing.append(code);
    }
    if (missing.isEmpty())
        return;
    QStringList keys = missing;
    // Commands and events are stored under "text" and their code.
    if (kind == Kind::CommandOrEvent) {
        for (QString &key : keys)
            key.prepend(QLatin1String("text"));
    }
    const char *query =
        kind == Kind::Alarm ? lookupquery::kSingleAlarm : lookupquery::kCommandEvent;
    LookupDatabase lookup(m_databasePath);
    const QStringList found = lookupDescriptions(lookup.database(), QString::fromLatin1(query),
                                                 QStringLiteral(":code"), keys, language);
    m_lookups += int(missing.size());
    for (int i = 0; i < missing.size(); ++i)
        m_known.insert(keyOf(kind, missing.at(i), language), found.value(i));
}

QString DescriptionCache::description(Kind kind, const QString &code, const QString &language)
{
    const QString key = keyOf(kind, code, language);
    auto it = m_known.constFind(key);
    if (it == m_known.constEnd()) {
        preload(kind, {code}, language);
        it = m_known.constFind(key);
    }
    return it == m_known.constEnd() ? QStringLiteral(" ") : it.value();
}

void DescriptionCache::clear()
{
    m_known.clear();
}
