#include "frontend/cli/flashoptions.h"

#include "common/version.h"

#include <QCommandLineParser>

namespace {

constexpr int kMaxTcpPort = 65535;
constexpr int kMaxBoardId = 0xFFFF;

// One option each; their names are listed here and nowhere else.
struct Names
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("DEV")};
    QCommandLineOption broker{QStringLiteral("broker"), QString(), QStringLiteral("HOST[:PORT]")};
    QCommandLineOption eraseAll{QStringLiteral("erase-all")};
    QCommandLineOption pageErase{QStringLiteral("page-erase")};
    QCommandLineOption noVerify{QStringLiteral("no-verify")};
    QCommandLineOption info{QStringLiteral("info")};
    QCommandLineOption listPorts{QStringLiteral("list-ports")};
    QCommandLineOption history{QStringLiteral("history")};
    QCommandLineOption latest{QStringLiteral("latest")};
    QCommandLineOption library{QStringLiteral("library")};
    QCommandLineOption add{QStringLiteral("add"), QString(), QStringLiteral("FILE")};
    QCommandLineOption board{QStringLiteral("board"), QString(), QStringLiteral("ID")};
    QCommandLineOption since{QStringLiteral("since"), QString(), QStringLiteral("DATE")};
    QCommandLineOption until{QStringLiteral("until"), QString(), QStringLiteral("DATE")};
    QCommandLineOption csv{QStringLiteral("csv")};
    QCommandLineOption json{QStringLiteral("json")};
    QCommandLineOption verbose{{QStringLiteral("v"), QStringLiteral("verbose")}};
    QCommandLineOption retries{QStringLiteral("retries"), QString(), QStringLiteral("N")};
};

bool fail(QString *error, const QString &text)
{
    *error = text;
    return false;
}

} // namespace

bool FlashOptions::parseBroker(const QString &text, QString *host, int *port)
{
    QString name = text.trimmed();
    QString portText;
    if (name.startsWith(QLatin1Char('['))) {
        const int close = name.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        const QString rest = name.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
        portText = rest.mid(1);
        if (rest.isEmpty())
            portText.clear();
        else if (portText.isEmpty())
            return false;
        name = name.mid(1, close - 1);
    } else if (name.count(QLatin1Char(':')) == 1) {
        const int colon = name.indexOf(QLatin1Char(':'));
        portText = name.mid(colon + 1);
        name = name.left(colon);
        if (portText.isEmpty())
            return false;
    } else if (name.contains(QLatin1Char(':'))) {
        return false; // a bare IPv6 address needs brackets to tell its port
    }
    if (name.isEmpty() || name.contains(QLatin1Char(' ')))
        return false;
    int number = kDefaultBrokerPort;
    if (!portText.isEmpty()) {
        bool ok = false;
        number = portText.toInt(&ok, 10);
        if (!ok || number < 1 || number > kMaxTcpPort)
            return false;
    }
    *host = name;
    *port = number;
    return true;
}

QString FlashOptions::normalizedBoardId(const QString &text)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty() || digits.size() > 4)
        return QString();
    bool ok = false;
    const int value = digits.toInt(&ok, 16);
    if (!ok || value < 0 || value > kMaxBoardId)
        return QString();
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}

bool FlashOptions::parse(const QStringList &arguments, FlashOptions *options, QString *error)
{
    const Names n;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({n.help,      n.version,  n.port, n.broker,    n.eraseAll,
                       n.pageErase, n.noVerify, n.info, n.listPorts, n.history,
                       n.latest,    n.library,  n.add,  n.board,     n.since,
                       n.until,     n.csv,      n.json, n.verbose,   n.retries});
    if (!parser.parse(arguments))
        return fail(error, parser.errorText());

    FlashOptions o;
    o.verbose = parser.isSet(n.verbose);
    if (parser.isSet(n.help)) {
        o.mode = Mode::Help;
        *options = o;
        return true;
    }
    if (parser.isSet(n.version)) {
        o.mode = Mode::Version;
        *options = o;
        return true;
    }

    const QStringList files = parser.positionalArguments();
    const int modes = int(!files.isEmpty()) + int(parser.isSet(n.latest)) +
                      int(parser.isSet(n.info)) + int(parser.isSet(n.listPorts)) +
                      int(parser.isSet(n.history)) + int(parser.isSet(n.library)) +
                      int(parser.isSet(n.add));
    if (modes == 0)
        return fail(error, QStringLiteral("no FILE.hex given, and none of --latest, --info, "
                                          "--list-ports, --history, --library, --add"));
    if (modes > 1)
        return fail(error, QStringLiteral("give one of FILE.hex, --latest, --info, --list-ports, "
                                          "--history, --library, --add FILE"));
    if (files.size() > 1)
        return fail(error, QStringLiteral("one FILE.hex at a time, got %1").arg(files.size()));
    if (!files.isEmpty()) {
        o.mode = Mode::Flash;
        o.file = files.constFirst();
    } else if (parser.isSet(n.latest)) {
        o.mode = Mode::Flash;
        o.latest = true;
    } else if (parser.isSet(n.library)) {
        o.mode = Mode::Library;
    } else if (parser.isSet(n.add)) {
        o.mode = Mode::Add;
        o.file = parser.value(n.add);
        if (o.file.isEmpty())
            return fail(error, QStringLiteral("--add needs a FILE.hex"));
    } else if (parser.isSet(n.info)) {
        o.mode = Mode::Info;
    } else if (parser.isSet(n.listPorts)) {
        o.mode = Mode::ListPorts;
    } else {
        o.mode = Mode::History;
    }

    // Which option belongs to which use.
    const auto onlyFor = [&](const QCommandLineOption &option, std::initializer_list<Mode> modes,
                             const QString &what) {
        if (!parser.isSet(option))
            return true;
        for (const Mode m : modes) {
            if (m == o.mode)
                return true;
        }
        return fail(error,
                    QStringLiteral("--%1 only goes with %2").arg(option.names().constLast(), what));
    };
    const QString withDaemon = QStringLiteral("FILE.hex, --latest, --info or --list-ports");
    const QString flashing = QStringLiteral("FILE.hex or --latest");
    if (!onlyFor(n.port, {Mode::Flash, Mode::Info},
                 QStringLiteral("FILE.hex, --latest or --info")) ||
        !onlyFor(n.broker, {Mode::Flash, Mode::Info, Mode::ListPorts}, withDaemon) ||
        !onlyFor(n.json, {Mode::Flash, Mode::Info, Mode::ListPorts, Mode::Library, Mode::Add},
                 QStringLiteral("FILE.hex, --latest, --info, --list-ports, --library or "
                                "--add")) ||
        !onlyFor(n.eraseAll, {Mode::Flash}, flashing) ||
        !onlyFor(n.pageErase, {Mode::Flash}, flashing) ||
        !onlyFor(n.noVerify, {Mode::Flash}, flashing) ||
        !onlyFor(n.retries, {Mode::Flash}, flashing) ||
        !onlyFor(n.board, {Mode::History, Mode::Library},
                 QStringLiteral("--history or --library")) ||
        !onlyFor(n.since, {Mode::History}, QStringLiteral("--history")) ||
        !onlyFor(n.until, {Mode::History}, QStringLiteral("--history")) ||
        !onlyFor(n.csv, {Mode::History}, QStringLiteral("--history")))
        return false;

    if (parser.isSet(n.eraseAll) && parser.isSet(n.pageErase))
        return fail(error, QStringLiteral("--erase-all and --page-erase exclude each other"));
    o.eraseAll = !parser.isSet(n.pageErase);
    o.verify = !parser.isSet(n.noVerify);
    o.json = parser.isSet(n.json);
    o.csv = parser.isSet(n.csv);

    if (parser.isSet(n.retries)) {
        bool ok = false;
        o.retries = parser.value(n.retries).trimmed().toInt(&ok, 10);
        if (!ok || o.retries < 0 || o.retries > kMaxRetries)
            return fail(error, QStringLiteral("--retries '%1' is not a number from 0 to %2")
                                   .arg(parser.value(n.retries))
                                   .arg(kMaxRetries));
    }
    if (parser.isSet(n.port)) {
        o.port = parser.value(n.port).trimmed();
        if (o.port.isEmpty())
            return fail(error, QStringLiteral("--port needs a device, such as /dev/ttyUSB0"));
    }
    if (parser.isSet(n.broker)) {
        const QString text = parser.value(n.broker);
        if (!parseBroker(text, &o.brokerHost, &o.brokerPort))
            return fail(error, QStringLiteral("--broker '%1' is not HOST or HOST:PORT").arg(text));
    }
    if (parser.isSet(n.board)) {
        o.boardId = normalizedBoardId(parser.value(n.board));
        if (o.boardId.isEmpty())
            return fail(error, QStringLiteral("--board '%1' is not a board identifier such as "
                                              "0x1234")
                                   .arg(parser.value(n.board)));
    }
    const auto readDate = [&](const QCommandLineOption &option, QDate *date) {
        if (!parser.isSet(option))
            return true;
        *date = QDate::fromString(parser.value(option).trimmed(), Qt::ISODate);
        if (date->isValid())
            return true;
        return fail(error, QStringLiteral("--%1 '%2' is not a date such as 2024-03-05")
                               .arg(option.names().constLast(), parser.value(option)));
    };
    if (!readDate(n.since, &o.since) || !readDate(n.until, &o.until))
        return false;
    if (o.since.isValid() && o.until.isValid() && o.since > o.until)
        return fail(error, QStringLiteral("--since %1 is after --until %2")
                               .arg(o.since.toString(Qt::ISODate), o.until.toString(Qt::ISODate)));
    *options = o;
    return true;
}

QString FlashOptions::versionText()
{
    return QStringLiteral("velmo-flash %1").arg(QLatin1String(velmo::kProductVersion));
}

QString FlashOptions::helpText()
{
    return QStringLiteral(
        R"(Usage: velmo-flash [--port DEV] [--broker HOST[:PORT]] [--erase-all|--page-erase]
                   [--no-verify] [--retries N] [--json] FILE.hex|--latest
       velmo-flash --info [--port DEV] [--broker HOST[:PORT]] [--json]
       velmo-flash --list-ports [--broker HOST[:PORT]] [--json]
       velmo-flash --history [--board ID] [--since DATE] [--until DATE] [--csv]
       velmo-flash --library [--board ID] [--json]
       velmo-flash --add FILE.hex [--json]

Updates the firmware of a door or gate control board without the window: the
same requests to the serial daemon velmo-serial, in the same order, as the
service tool's Flashing tab. Connects, reads the board identifier, sends the
board's configuration (../configs/config-id-ID.ini), checks FILE.hex against
the board, uploads it, writes it, reads the board back and compares, leaves
the boot loader and closes the port.
The serial daemon is started (./velmo-serial) when it is not running. Every
update is added to the service record.

Options:
  --port DEV            serial port of the board (default: the port stored by
                        the service tool's settings)
  --broker HOST[:PORT]  a TCP broker (default: your private broker, or the
                        TCP broker chosen in the settings, else
                        127.0.0.1:1883; PORT defaults to 1883)
  --erase-all           ask for one erase-all before writing (the default, as
                        the window does; boards that erase page by page
                        ignore it)
  --page-erase          ask for page-by-page erasing; refused for a board that
                        erases all at once (max-erase -1)
  --no-verify           do not read the board back after writing; a board
                        that cannot be read back is reported as not verified
  --retries N           after a failed update, up to N whole new updates
                        (connect, check, send, write, read back), each in the
                        service record; failures to connect during them count
                        too
  --json                one JSON object per line on standard output instead
                        of text (see JSON EVENTS)
  --latest              flash the newest file of the firmware library that fits
                        the connected board (instead of FILE.hex)
  --info                print the board identifier, its name and its
                        configuration, then close the port
  --list-ports          print the serial ports the daemon sees, one per line
  --history             print the service record of updates, newest first
  --library             list the firmware library, newest first: each file
                        with the boards it fits, or why it fits none, and its
                        signature
  --add FILE.hex        copy FILE.hex (and FILE.hex.sig) into the firmware
                        library
  --board ID            with --history: only board ID (0x1234); with
                        --library: only the files for board ID, each with
                        whether it can be flashed on it
  --since DATE          with --history: from DATE (2024-03-05) on
  --until DATE          with --history: up to DATE, included
  --csv                 with --history: CSV (RFC 4180, UTF-8) instead of a table
  -v, --verbose         diagnostic lines of the transport on standard error
  -h, --help            show this help and exit
  --version             show the version and exit

Progress: on a terminal one line, redrawn in place: percent, blocks of 64
bytes written out of all, time left; then the same for the read-back.
Otherwise one line per 10 %. A failure names where the update stopped and
why ("writing block 49 of 992 at 0x000C40: the board did not answer within
5 s"). Answers that come back damaged are sent again (up to 3 times per
block); the result says how many were.
Warnings and errors the window would show in a box go to standard error,
unless velmo-flash has just told the same cause in its own words.

Firmware library: the folder ~/AppData/Local/Calvestrid/Firmware, filled by
--add (a copy, never a move) or the window, and the sample firmware shipped
with the program (../firmware/), read-only. Every FILE.hex there (subfolders
too; links to files are followed, read-only; links to folders are not) is
tested against every board configuration at that board's identifier
position and checked as before sending. Newest means the latest modification
time; a copy keeps the time of its source.

Signatures: FILE.hex.sig beside FILE.hex, in minisign's format (make one with
"minisign -S -s KEY.key -m FILE.hex -x FILE.hex.sig"), is checked against the
trusted keys: KEY-NAME.pub in ../keys/ (shipped with the program) and in
~/AppData/Local/Calvestrid/Keys. Every file is reported "signed by KEY-NAME",
"unsigned", or with why its signature is refused (damaged, for another file,
untrusted key). With "Only flash signed files" set in the service tool's
settings (update/only-signed in VelmoFrontEnd.ini) any other file is refused
before it is sent (exit status 8), and --latest picks among signed files
only.

Ctrl+C during the update asks the daemon to stop, records the update as
aborted and waits for the daemon; the board is then left without a complete
firmware. A second Ctrl+C quits at once. Outside an update Ctrl+C closes the
port and quits.

Every phase has a time-out derived from the daemon's own (board identifier
12 s, erase 10 s, 5 s per block) plus a margin; velmo-flash never waits
forever.

Exit status:
  0    success
  1    --history: the service record cannot be read
  2    bad usage (options, no port chosen, --page-erase on a board that
       erases all at once)
  3    no MQTT broker
  4    the serial daemon does not answer
  5    the port cannot be opened (the daemon's reason is printed)
  6    the board identifier was not read
  7    no or incomplete board configuration file
  8    file refused (unreadable, fails the check, or refused by the daemon)
  9    update failed (board, port or daemon stopped answering, or the
       read-back found the board differs from the file)
  10   the service tool's window or another velmo-flash is using the daemon
  11   standard output could not be written (disk full, closed pipe)
  12   --latest: the firmware library holds no file that can be flashed on
       the connected board
  13   --add: the file cannot be copied into the firmware library
  130  interrupted by Ctrl+C (128 + signal number; 143 for SIGTERM)

JSON events (--json), one object per line, always with "event":
  daemon          started (bool), version
  ports           ports (list)
  connected       port
  board           id, name, config, startFlash, startProgr, sizeFlashKiB,
                  sizeProgrKiB, maxErase, padding, idPosition, refresh
  latest          file, modified (ISO 8601), md5 (--latest: the file chosen)
  image-checked   file, size, md5, programFirst, programLast, programBytes,
                  programShare (%), outsideFlash and outsideProgramArea (each
                  bytes, rangeCount, ranges [[first, last], ...]), notes,
                  fromLibrary (bool), signature (see below)
  library-file    (--library) file, name, origin ("user" or "samples"),
                  link (bool), size, md5, modified, boards [{id, name, usable,
                  problem, programFirst, programLast, programShare}], problem,
                  signature; with --board also usable, reason, lastUsed
  library-note    (--library) text: a folder, link, key or configuration
                  that was not used
  library-added   (--add) file, path, added (bool: false when the same
                  content was there already), signatureCopied, boards,
                  problem, signature
  image-accepted  file
  update          erase ("all" or "pages"), blocks
  retry           attempt, attempts, status, reason, text: the attempt that
                  failed, and a new update follows
  progress        phase ("write" or "verify"), percent, blocks, totalBlocks,
                  secondsLeft (null: unknown)
  verify-start    blocks
  verify          result ("ok", "mismatch", "unsupported", "off", "failed"),
                  text
  message         kind ("error", "warning", "info"), title, text
  interrupted     signal, updating (bool), text
  error           status, reason, text, cause (where and why the update
                  stopped; empty when the daemon gave none)
  result          ok (bool), status, reason, text, seconds, attempts; after an
                  update also board, file, blocks, retries (null: unknown),
                  verify
"reason" is one of: ok, record-unreadable, usage, no-broker, no-daemon,
port-error, board-id-unread, no-board-config, file-refused, update-failed,
busy, output-failed, no-library-file, library-unwritable, interrupted.
"signature" is {status ("signed", "unsigned", "damaged", "other-file",
"untrusted-key"), key (name, when signed), keyId, signedAt, reason}.

Files:
  ~/AppData/Local/Calvestrid/VelmoFrontEnd.ini          stored port and broker
  ~/AppData/Local/Calvestrid/service-record.sqlite      service record
  ../configs/config-id-ID.ini                           board configurations
  ~/AppData/Local/Calvestrid/Firmware/                  firmware library
  ../firmware/                                          sample firmware
  ~/AppData/Local/Calvestrid/Keys/, ../keys/            trusted keys (*.pub)

Environment:
  VELMO_BROKER_SOCKET        your private broker, named by the launcher
  VELMO_CALLER_DIR           where FILE.hex is looked for, named by the
                             launcher (default: the working directory)
  VELMO_FLASH_TIMEOUT_SCALE  multiplies every time-out; for the test suite
                             only

See velmo-flash(1).
)");
}
