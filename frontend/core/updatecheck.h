#pragma once

#include "common/version.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace frontend {

// Who we are to the update server, and where its feeds live.
struct UpdateAppDetails
{
    static constexpr const char *kCompanyName = "Calvestrid";
    static constexpr const char *kAppName = "Calvestrid ORKEL";
    static constexpr const char *kAppVersion = velmo::kProductVersion;
};

// Folder on the update server that holds "appcast_ENG.xml" and "appcast_ITA.xml".
inline constexpr const char *kUpdateFeedBaseUrl = "https://updates.calvestrid.com/orkel/";

// The Italian feed for the installed-language code "IT", the English one for
// every other code. A base without trailing slash is treated as a folder.
QUrl updateFeedUrl(const QString &languageCode,
                   const QUrl &baseUrl = QUrl(QString::fromLatin1(kUpdateFeedBaseUrl)));

// Negative, zero or positive as a is older than, equal to or newer than b.
// Dotted parts compare as numbers (2.10 is newer than 2.9); a missing part
// counts as 0, so "2.8" equals "2.8.0".
int compareVersions(const QString &a, const QString &b);

// One release of the feed.
struct AppcastItem
{
    QString title;
    QString version;        // what the comparison uses
    QString displayVersion; // shortVersionString when given, else version
    QString releaseNotes;   // the item's description, often HTML
    QUrl downloadUrl;
    QDateTime pubDate; // invalid when absent or unreadable
};

struct AppcastParseResult
{
    bool ok = false;
    QString error;                     // why the feed is unreadable, when !ok
    std::optional<AppcastItem> newest; // empty: the feed offers no release
    int skippedItems = 0;              // items without version or usable link
};

// What a feed may hold before the XML reader sees it. Qt's reader takes time
// quadratic in the attributes of one element (100k attributes: 20 s), a
// document type can declare entities that expand a small feed manifold, and
// even plain markup costs the reader far more than text: 4 MiB of empty
// elements or of "&amp;" take it over 100 ms. A real appcast of a hundred
// releases has a thousand elements and fewer attributes.
struct AppcastLimits
{
    static constexpr qint64 kMaxBytes = qint64(4) * 1024 * 1024;
    static constexpr int kMaxAttributes = 64;         // on one element
    static constexpr int kMaxAttributesInAll = 20000; // in the whole feed
    // Elements, comments, processing instructions, CDATA sections and
    // entity or character references, in the whole feed.
    static constexpr int kMaxNodes = 20000;
    static constexpr int kMaxDepth = 64;      // elements open at once
    static constexpr int kMaxNamespaces = 32; // xmlns declarations in all
};

// Empty when `feed` keeps within those limits; otherwise why it does not.
// One linear pass over the bytes; it decides nothing about well-formedness,
// which is left to the reader. Document types and encodings that are not a
// superset of ASCII (UTF-16, UTF-32) are refused: no appcast uses them.
QString appcastShapeError(const QByteArray &feed);

// Reads a Sparkle-style RSS feed and picks the release with the highest
// version. Items that lack a version or an http(s) download link are
// skipped: nobody could install them. A feed beyond the limits above is
// unreadable.
AppcastParseResult parseAppcast(const QByteArray &feed);

// The automatic-check switch and the time of the last completed check, kept
// in the group "update" of the preferences file in the per-user data folder.
class UpdateSettings
{
public:
    static constexpr int kCheckIntervalSecs = 24 * 60 * 60;

    // Defaults to VelmoFrontEnd.ini in the data folder.
    explicit UpdateSettings(QString filePath = QString());

    // On until the user switches it off.
    bool automaticCheck() const;
    void setAutomaticCheck(bool on);

    QDateTime lastCheck() const;
    void setLastCheck(const QDateTime &when);

    // A release the user chose to skip: the quiet check does not offer it
    // (nor anything older) again. Empty when none.
    QString skippedVersion() const;
    void setSkippedVersion(const QString &version);

    // True when no check completed within the interval, or the recorded time
    // lies in the future (clock set back).
    bool automaticCheckDue(const QDateTime &now = QDateTime::currentDateTimeUtc()) const;

    const QString &filePath() const { return m_path; }

private:
    QString m_path;
};

// Fetches the feed for the installed language and compares its newest
// release with our version. One check at a time.
class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        UpToDate,
        UpdateAvailable,
        Failed
    };
    Q_ENUM(Outcome)
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        AppcastItem item; // the newer release, for UpdateAvailable
        QString error;    // for Failed
    };

    static constexpr int kFeedTimeoutMs = 20000;
    static constexpr qint64 kMaxFeedBytes = AppcastLimits::kMaxBytes;

    explicit UpdateChecker(QObject *parent = nullptr);
    ~UpdateChecker() override;

    void setBaseUrl(const QUrl &baseUrl) { m_baseUrl = baseUrl; }
    const QUrl &baseUrl() const { return m_baseUrl; }
    QString installedVersion() const { return QString::fromLatin1(UpdateAppDetails::kAppVersion); }

    // Starts a check of the feed for `languageCode`; false when one runs already.
    bool start(const QString &languageCode);
    bool isRunning() const { return !m_reply.isNull(); }
    // Drops the running check without reporting it.
    void abort();

    // Compares the parsed feed with the installed version.
    static Result evaluate(const QByteArray &feed, const QString &installedVersion);

signals:
    void finished(const frontend::UpdateChecker::Result &result);

private:
    void onReplyFinished();

    QNetworkAccessManager *m_network; // child
    QPointer<QNetworkReply> m_reply;
    QUrl m_baseUrl;
    bool m_tooLarge = false;
};

} // namespace frontend
