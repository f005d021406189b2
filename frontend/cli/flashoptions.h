#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// velmo-flash's command line. Parsing is pure: no file, broker or terminal
// is touched, so every combination can be tested. Option names and the
// help stay English; they are the interface scripts rely on.
struct FlashOptions
{
    enum class Mode
    {
        Flash,     // FILE given, or --latest: update the board
        Info,      // --info
        ListPorts, // --list-ports
        History,   // --history
        Library,   // --library: list the firmware library
        Add,       // --add FILE: copy FILE into the firmware library
        Help,
        Version,
    };

    static constexpr int kDefaultBrokerPort = 1883;
    static constexpr int kMaxRetries = 100;

    Mode mode = Mode::Flash;
    // Flash: the file to write (empty with --latest); Add: the file to copy.
    QString file;
    // Flash the newest library file that fits the connected board.
    bool latest = false;
    // Empty: the one stored in the front end's preferences.
    QString port;
    // Empty host: the stored broker.
    QString brokerHost;
    int brokerPort = kDefaultBrokerPort;
    // The window's hidden check box is ticked: erase-all unless asked.
    bool eraseAll = true;
    // Read the board back after writing and compare (--no-verify: not).
    bool verify = true;
    bool json = false;
    bool verbose = false;
    // After a failed update, this many whole new updates at most.
    int retries = 0;
    // --history and --library filters; the board id as the daemon spells
    // it ("0x1234").
    QString boardId;
    QDate since;
    QDate until;
    bool csv = false;

    bool brokerGiven() const { return !brokerHost.isEmpty(); }

    // `arguments` as the program got them, its own name first. On a usage
    // error returns false with one line of explanation in `error`.
    static bool parse(const QStringList &arguments, FlashOptions *options, QString *error);

    static QString helpText();
    static QString versionText();

    // "HOST", "HOST:PORT" or "[IPv6]:PORT"; false when it is none of them.
    static bool parseBroker(const QString &text, QString *host, int *port);
    // "0x1234", "1234" or "0X12AB" as "0x1234" / "0x12ab"; empty when the
    // text is no 16-bit hexadecimal number.
    static QString normalizedBoardId(const QString &text);
};
