#include "frontend/core/updatecheck.h"

#include "common/datafolder.h"

#include <QDebug>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>

namespace frontend {

namespace {

constexpr const char *kSparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";
constexpr const char *kItalianFeed = "appcast_ITA.xml";
constexpr const char *kEnglishFeed = "appcast_ENG.xml";

constexpr const char *kAutomaticKey = "update/automaticCheck";
constexpr const char *kLastCheckKey = "update/lastCheck";
constexpr const char *kSkippedKey = "update/skippedVersion";

// The numeric value of each dotted part; text after the digits of a part
// ("9b1") does not count.
QList<qulonglong> versionParts(const QString &version)
{
    QList<qulonglong> parts;
    const QStringList pieces = version.trimmed().split(QLatin1Char('.'));
    for (const QString &piece : pieces) {
        qsizetype digits = 0;
        while (digits < piece.size() && piece.at(digits).isDigit())
            ++digits;
        bool ok = false;
        const qulonglong value = piece.left(digits).toULongLong(&ok);
        parts.append(ok ? value : 0);
    }
    return parts;
}

bool isSparkle(const QXmlStreamReader &xml)
{
    return xml.namespaceUri() == QLatin1String(kSparkleNamespace) ||
           xml.prefix() == QLatin1String("sparkle");
}

QString sparkleAttribute(const QXmlStreamAttributes &attributes, const char *name)
{
    for (const QXmlStreamAttribute &a : attributes) {
        if (a.name() == QLatin1String(name) &&
            (a.namespaceUri() == QLatin1String(kSparkleNamespace) ||
             a.prefix() == QLatin1String("sparkle")))
            return a.value().toString().trimmed();
    }
    return QString();
}

QDateTime parsePubDate(const QString &text)
{
    // RFC 822 as feeds write it; the English names whatever our locale.
    const QString trimmed = text.trimmed();
    const QLocale c = QLocale::c();
    for (const char *format : {"ddd, dd MMM yyyy HH:mm:ss t", "ddd, d MMM yyyy HH:mm:ss t",
                               "dd MMM yyyy HH:mm:ss t", "ddd, dd MMM yyyy HH:mm:ss"}) {
        const QDateTime when = c.toDateTime(trimmed, QString::fromLatin1(format));
        if (when.isValid())
            return when;
    }
    // Numeric zones such as "+0200" that the formats above do not take.
    return QDateTime::fromString(trimmed, Qt::RFC2822Date);
}

bool usableLink(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

AppcastItem readItem(QXmlStreamReader &xml)
{
    AppcastItem item;
    QString shortVersion;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("enclosure")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            item.downloadUrl = QUrl(attributes.value(QLatin1String("url")).toString().trimmed());
            const QString version = sparkleAttribute(attributes, "version");
            if (!version.isEmpty() && item.version.isEmpty())
                item.version = version;
            const QString shortText = sparkleAttribute(attributes, "shortVersionString");
            if (!shortText.isEmpty())
                shortVersion = shortText;
            xml.skipCurrentElement();
        } else if (name == QLatin1String("version") && isSparkle(xml)) {
            // The element wins over the enclosure's attribute.
            const QString version = xml.readElementText().trimmed();
            if (!version.isEmpty())
                item.version = version;
        } else if (name == QLatin1String("shortVersionString") && isSparkle(xml)) {
            const QString shortText = xml.readElementText().trimmed();
            if (!shortText.isEmpty())
                shortVersion = shortText;
        } else if (name == QLatin1String("title") && xml.namespaceUri().isEmpty()) {
            item.title = xml.readElementText().trimmed();
        } else if (name == QLatin1String("description") && xml.namespaceUri().isEmpty()) {
            item.releaseNotes =
                xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (name == QLatin1String("pubDate")) {
            item.pubDate = parsePubDate(xml.readElementText());
        } else {
            xml.skipCurrentElement();
        }
    }
    item.displayVersion = shortVersion.isEmpty() ? item.version : shortVersion;
    return item;
}

} // namespace

QUrl updateFeedUrl(const QString &languageCode, const QUrl &baseUrl)
{
    QUrl folder = baseUrl;
    if (!folder.path().endsWith(QLatin1Char('/')))
        folder.setPath(folder.path() + QLatin1Char('/'));
    const char *file = languageCode == QLatin1String("IT") ? kItalianFeed : kEnglishFeed;
    return folder.resolved(QUrl(QString::fromLatin1(file)));
}

int compareVersions(const QString &a, const QString &b)
{
    const QList<qulonglong> left = versionParts(a);
    const QList<qulonglong> right = versionParts(b);
    const qsizetype count = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const qulonglong l = i < left.size() ? left.at(i) : 0;
        const qulonglong r = i < right.size() ? right.at(i) : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

QString appcastShapeError(const QByteArray &feed)
{
    using Limits = AppcastLimits;
    if (feed.size() > Limits::kMaxBytes)
        return QStringLiteral("the feed is larger than %1 bytes").arg(Limits::kMaxBytes);
    // ASCII markup in UTF-16 or UTF-32 always has zero bytes.
    if (feed.contains('\0'))
        return QStringLiteral("the feed is not UTF-8 text");

    const char *const data = feed.constData();
    const qsizetype size = feed.size();
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    // Just past `what`, searched from `from`; the end when it is missing.
    const auto after = [&feed](const char *what, qsizetype from) {
        const qsizetype at = feed.indexOf(what, from);
        return at < 0 ? feed.size() : at + qsizetype(qstrlen(what));
    };
    int depth = 0;
    int namespaces = 0;
    int nodes = 0;
    int attributesInAll = 0;
    const QString tooManyNodes =
        QStringLiteral("the feed holds more than %1 elements, comments and references")
            .arg(Limits::kMaxNodes);
    // Entity and character references cost the reader like elements.
    const auto countReferences = [&](qsizetype from, qsizetype to) {
        nodes += int(std::count(data + from, data + to, '&'));
        return nodes <= Limits::kMaxNodes;
    };

    qsizetype i = 0;
    while (i < size) {
        if (data[i] != '<') {
            qsizetype next = feed.indexOf('<', i);
            if (next < 0)
                next = size;
            if (!countReferences(i, next))
                return tooManyNodes;
            i = next;
            continue;
        }
        const QByteArrayView rest(data + i, size - i);
        if (rest.startsWith("<!") && !rest.startsWith("<!--") && !rest.startsWith("<![CDATA["))
            return QStringLiteral("the feed declares a document type");
        if (++nodes > Limits::kMaxNodes)
            return tooManyNodes;
        if (rest.startsWith("<!--")) {
            i = after("-->", i + 4);
        } else if (rest.startsWith("<![CDATA[")) {
            i = after("]]>", i + 9);
        } else if (rest.startsWith("<?")) {
            i = after("?>", i + 2);
        } else if (rest.startsWith("</")) {
            --nodes; // the start tag counted already
            depth = std::max(0, depth - 1);
            i = after(">", i + 2);
        } else {
            // A start tag: every "=" outside a quoted value is an attribute.
            int attributes = 0;
            qsizetype j = i + 1;
            bool closed = false;
            bool empty = false;
            while (j < size) {
                const char c = data[j];
                if (c == '"' || c == '\'') {
                    qsizetype end = feed.indexOf(c, j + 1);
                    if (end < 0)
                        end = size;
                    if (!countReferences(j + 1, end))
                        return tooManyNodes;
                    j = end + 1;
                    continue;
                }
                if (c == '=') {
                    if (++attributes > Limits::kMaxAttributes)
                        return QStringLiteral("an element has more than %1 attributes")
                            .arg(Limits::kMaxAttributes);
                    if (++attributesInAll > Limits::kMaxAttributesInAll)
                        return QStringLiteral("the feed has more than %1 attributes")
                            .arg(Limits::kMaxAttributesInAll);
                    // The name before "="; the walk back stops at the
                    // previous value or "=", so the tag is walked at most
                    // once in all.
                    qsizetype nameEnd = j;
                    while (nameEnd > i + 1 && isSpace(data[nameEnd - 1]))
                        --nameEnd;
                    qsizetype nameStart = nameEnd;
                    while (nameStart > i + 1 && !isSpace(data[nameStart - 1]) &&
                           data[nameStart - 1] != '"' && data[nameStart - 1] != '\'' &&
                           data[nameStart - 1] != '=')
                        --nameStart;
                    const QByteArrayView name(data + nameStart, nameEnd - nameStart);
                    if ((name == "xmlns" || name.startsWith("xmlns:")) &&
                        ++namespaces > Limits::kMaxNamespaces)
                        return QStringLiteral("the feed declares more than %1 namespaces")
                            .arg(Limits::kMaxNamespaces);
                } else if (c == '>') {
                    closed = true;
                    empty = data[j - 1] == '/';
                    ++j;
                    break;
                } else if (c == '<') {
                    break; // malformed; the reader will say so
                }
                ++j;
            }
            if (closed && !empty && ++depth > Limits::kMaxDepth)
                return QStringLiteral("elements are nested deeper than %1").arg(Limits::kMaxDepth);
            i = j;
        }
    }
    return QString();
}

AppcastParseResult parseAppcast(const QByteArray &feed)
{
    AppcastParseResult result;
    result.error = appcastShapeError(feed);
    if (!result.error.isEmpty())
        return result;
    QXmlStreamReader xml(feed);
    if (!xml.readNextStartElement()) {
        result.error = xml.hasError() ? xml.errorString() : QStringLiteral("empty document");
        return result;
    }
    if (xml.name() != QLatin1String("rss")) {
        result.error = QStringLiteral("not an RSS feed (root element <%1>)").arg(xml.name());
        return result;
    }
    bool sawChannel = false;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("channel")) {
            xml.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("item")) {
                xml.skipCurrentElement();
                continue;
            }
            AppcastItem item = readItem(xml);
            if (item.version.isEmpty() || !usableLink(item.downloadUrl)) {
                ++result.skippedItems;
                continue;
            }
            if (!result.newest || compareVersions(item.version, result.newest->version) > 0)
                result.newest = std::move(item);
        }
    }
    if (xml.hasError()) {
        // Half a feed is no basis for telling the user he is up to date.
        result.newest.reset();
        result.error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return result;
    }
    if (!sawChannel) {
        result.error = QStringLiteral("the feed has no channel");
        return result;
    }
    result.ok = true;
    return result;
}

UpdateSettings::UpdateSettings(QString filePath)
    : m_path(filePath.isEmpty() ? velmo::dataFolderPath() + QStringLiteral("/VelmoFrontEnd.ini")
                                : std::move(filePath))
{}

bool UpdateSettings::automaticCheck() const
{
    const QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(QLatin1String(kAutomaticKey), true).toBool();
}

void UpdateSettings::setAutomaticCheck(bool on)
{
    velmo::ensureDataFolder();
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QLatin1String(kAutomaticKey), on);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning().noquote() << "Cannot store the update setting in" << m_path;
}

QDateTime UpdateSettings::lastCheck() const
{
    const QSettings settings(m_path, QSettings::IniFormat);
    return QDateTime::fromString(settings.value(QLatin1String(kLastCheckKey)).toString(),
                                 Qt::ISODate);
}

void UpdateSettings::setLastCheck(const QDateTime &when)
{
    velmo::ensureDataFolder();
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QLatin1String(kLastCheckKey), when.toUTC().toString(Qt::ISODate));
}

QString UpdateSettings::skippedVersion() const
{
    const QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(QLatin1String(kSkippedKey)).toString();
}

void UpdateSettings::setSkippedVersion(const QString &version)
{
    velmo::ensureDataFolder();
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QLatin1String(kSkippedKey), version);
}

bool UpdateSettings::automaticCheckDue(const QDateTime &now) const
{
    const QDateTime last = lastCheck();
    if (!last.isValid() || last > now)
        return true;
    return last.secsTo(now) >= kCheckIntervalSecs;
}

UpdateChecker::UpdateChecker(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_baseUrl(QString::fromLatin1(kUpdateFeedBaseUrl))
{}

UpdateChecker::~UpdateChecker()
{
    abort();
}

bool UpdateChecker::start(const QString &languageCode)
{
    if (isRunning())
        return false;
    m_tooLarge = false;
    QNetworkRequest request(updateFeedUrl(languageCode, m_baseUrl));
    request.setTransferTimeout(kFeedTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("%1/%2 (%3)")
                          .arg(QLatin1String(UpdateAppDetails::kAppName),
                               QLatin1String(UpdateAppDetails::kAppVersion),
                               QLatin1String(UpdateAppDetails::kCompanyName)));
    if (languageCode == QLatin1String("IT"))
        request.setRawHeader("Accept-Language", "it");
    // A feed is small; stale copies from a proxy would hide a release.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > kMaxFeedBytes && m_reply) {
            m_tooLarge = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::finished, this, &UpdateChecker::onReplyFinished);
    return true;
}

void UpdateChecker::abort()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void UpdateChecker::onReplyFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();

    Result result;
    if (m_tooLarge) {
        result.error = QStringLiteral("the update feed is larger than %1 bytes").arg(kMaxFeedBytes);
    } else if (reply->error() != QNetworkReply::NoError) {
        result.error = reply->errorString();
    } else {
        result = evaluate(reply->readAll(), installedVersion());
    }
    emit finished(result);
}

UpdateChecker::Result UpdateChecker::evaluate(const QByteArray &feed,
                                              const QString &installedVersion)
{
    Result result;
    const AppcastParseResult parsed = parseAppcast(feed);
    if (!parsed.ok) {
        result.error = QStringLiteral("the update feed cannot be read: %1").arg(parsed.error);
        return result;
    }
    if (parsed.skippedItems > 0)
        qWarning() << "[UpdateChecker] releases without version or download link:"
                   << parsed.skippedItems;
    if (!parsed.newest && parsed.skippedItems > 0) {
        result.error = QStringLiteral("the update feed lists no usable release");
        return result;
    }
    if (parsed.newest && compareVersions(parsed.newest->version, installedVersion) > 0) {
        result.outcome = Outcome::UpdateAvailable;
        result.item = *parsed.newest;
    } else {
        result.outcome = Outcome::UpToDate;
    }
    return result;
}

} // namespace frontend
