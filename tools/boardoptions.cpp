#include "tools/boardoptions.h"

#include <QCommandLineParser>

#include <cmath>
#include <limits>

namespace boardsim {

namespace {
constexpr qint64 kMaxFlashKib = qint64(16) * 1024; // 24-bit addresses
constexpr double kMaxOperationMs = 60000;

const QString kOptId = QStringLiteral("id");
const QString kOptFlashKib = QStringLiteral("flash-kib");
const QString kOptPageBytes = QStringLiteral("page-bytes");
const QString kOptEraseAllFrom = QStringLiteral("erase-all-from");
const QString kOptLoad = QStringLiteral("load");
const QString kOptDump = QStringLiteral("dump");
const QString kOptStartHigh = QStringLiteral("start-high");
const QString kOptPace = QStringLiteral("pace");
const QString kOptWriteMs = QStringLiteral("write-ms");
const QString kOptPageEraseMs = QStringLiteral("page-erase-ms");
const QString kOptEraseAllMs = QStringLiteral("erase-all-ms");
const QString kOptSilent = QStringLiteral("silent");
const QString kOptStopAckAfter = QStringLiteral("stop-ack-after");
const QString kOptCorruptEvery = QStringLiteral("corrupt-every");
const QString kOptStrayByte = QStringLiteral("stray-byte");
const QString kOptDoubleAnswer = QStringLiteral("double-answer");
const QString kOptHangupAfter = QStringLiteral("hangup-after");
const QString kOptAppAfterBootOff = QStringLiteral("app-after-bootoff");
const QString kOptFlipBit = QStringLiteral("flip-bit");
const QString kOptReadOneByte = QStringLiteral("read-one-byte");
const QString kOptVerbose = QStringLiteral("verbose");

// Decimal, or hexadecimal with 0x.
bool readUnsigned(const QCommandLineParser &parser, const QString &name, qint64 max, qint64 *value,
                  QString *error)
{
    if (!parser.isSet(name))
        return true;
    const QString text = parser.value(name).trimmed();
    bool ok = false;
    const qulonglong v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                             ? text.mid(2).toULongLong(&ok, 16)
                             : text.toULongLong(&ok, 10);
    if (!ok || v > qulonglong(max)) {
        *error = QStringLiteral("--%1: '%2' is not a number from 0 to %3").arg(name, text).arg(max);
        return false;
    }
    *value = qint64(v);
    return true;
}

bool readMillis(const QCommandLineParser &parser, const QString &name, qint64 *micros,
                QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double ms = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(ms) || ms < 0 || ms > kMaxOperationMs) {
        *error = QStringLiteral("--%1: '%2' is not a time from 0 to %3 ms")
                     .arg(name, parser.value(name))
                     .arg(kMaxOperationMs);
        return false;
    }
    *micros = qint64(std::llround(ms * 1000));
    return true;
}
} // namespace

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Virtual control board: plays the board's boot loader on a pseudo-terminal.\n"
        "Prints \"PORT <path>\" as its first line; open that path as the serial port.\n"
        "Runs until SIGINT or SIGTERM. SIGUSR1 writes the flash dump (with --dump) and\n"
        "a STATS line; SIGHUP power-cycles the board (flash is kept)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {kOptId, QStringLiteral("Board identifier, decimal or 0x-hex (default 0x1234)."),
         QStringLiteral("id")},
        {kOptFlashKib, QStringLiteral("Flash size in KiB (default 64)."), QStringLiteral("kib")},
        {kOptPageBytes, QStringLiteral("Erase page size in bytes (default 1024)."),
         QStringLiteral("bytes")},
        {kOptEraseAllFrom,
         QStringLiteral("Erase-all clears from this address to the end; below it sits the "
                        "boot loader (default 0: whole flash)."),
         QStringLiteral("address")},
        {kOptLoad, QStringLiteral("Load this binary file into the flash from address 0 at start."),
         QStringLiteral("file")},
        {kOptDump, QStringLiteral("Write the whole flash to this file on exit and on SIGUSR1."),
         QStringLiteral("file")},
        {kOptStartHigh, QStringLiteral("Start at 115200 baud instead of 9600, as a board that "
                                       "was left at high speed.")},
        {kOptPace, QStringLiteral("Wire pacing: answers leave after the request's and their own "
                                  "wire time (10 bits per byte) plus the operation times.")},
        {kOptWriteMs, QStringLiteral("With --pace: time to program one 64-byte block (default 0)."),
         QStringLiteral("ms")},
        {kOptPageEraseMs, QStringLiteral("With --pace: time to erase one page (default 0)."),
         QStringLiteral("ms")},
        {kOptEraseAllMs, QStringLiteral("With --pace: time to erase all (default 0)."),
         QStringLiteral("ms")},
        {kOptSilent, QStringLiteral("Fault: never answer anything.")},
        {kOptStopAckAfter,
         QStringLiteral("Fault: acknowledge the first N writes, then program but never "
                        "acknowledge."),
         QStringLiteral("n")},
        {kOptCorruptEvery, QStringLiteral("Fault: send every Nth answer with a wrong checksum."),
         QStringLiteral("n")},
        {kOptStrayByte, QStringLiteral("Fault: send one stray 0x00 byte before every answer.")},
        {kOptDoubleAnswer, QStringLiteral("Fault: send every answer twice, back to back.")},
        {kOptHangupAfter,
         QStringLiteral("Fault: after N acknowledged writes, hang up the line at the next one "
                        "(the port goes away)."),
         QStringLiteral("n")},
        {kOptAppAfterBootOff, QStringLiteral("After \"leave boot loader\" ignore the boot-loader "
                                             "link until SIGHUP.")},
        {kOptFlipBit,
         QStringLiteral("Fault: a write covering this address leaves bit 0 of its byte flipped "
                        "(a read-back then differs)."),
         QStringLiteral("address")},
        {kOptReadOneByte, QStringLiteral("Fault: answer reads with one byte of data only (the "
                                         "board cannot be read back).")},
        {kOptVerbose, QStringLiteral("Log every command on stderr.")},
    });
}

bool readOptions(const QCommandLineParser &parser, SimOptions *options, QString *error)
{
    SimOptions o;
    BoardConfig &b = o.board;
    qint64 id = b.id;
    qint64 flashKib = b.flashBytes / 1024;
    qint64 pageBytes = b.pageBytes;
    qint64 eraseAllFrom = b.eraseAllFrom;
    qint64 stopAckAfter = -1;
    qint64 corruptEvery = 0;
    qint64 hangupAfter = -1;
    qint64 flipBitAt = -1;
    constexpr qint64 kMaxCount = std::numeric_limits<int>::max();
    if (!readUnsigned(parser, kOptId, 0xFFFF, &id, error) ||
        !readUnsigned(parser, kOptFlashKib, kMaxFlashKib, &flashKib, error) ||
        !readUnsigned(parser, kOptPageBytes, kMaxFlashKib * 1024, &pageBytes, error) ||
        !readUnsigned(parser, kOptEraseAllFrom, kMaxFlashKib * 1024, &eraseAllFrom, error) ||
        !readUnsigned(parser, kOptStopAckAfter, kMaxCount, &stopAckAfter, error) ||
        !readUnsigned(parser, kOptCorruptEvery, kMaxCount, &corruptEvery, error) ||
        !readUnsigned(parser, kOptHangupAfter, kMaxCount, &hangupAfter, error) ||
        !readUnsigned(parser, kOptFlipBit, kMaxFlashKib * 1024 - 1, &flipBitAt, error) ||
        !readMillis(parser, kOptWriteMs, &b.writeUs, error) ||
        !readMillis(parser, kOptPageEraseMs, &b.pageEraseUs, error) ||
        !readMillis(parser, kOptEraseAllMs, &b.eraseAllUs, error))
        return false;
    if (flashKib == 0) {
        *error = QStringLiteral("--flash-kib: the flash needs at least 1 KiB");
        return false;
    }
    if (pageBytes == 0) {
        *error = QStringLiteral("--page-bytes: a page needs at least 1 byte");
        return false;
    }
    b.id = quint16(id);
    b.flashBytes = int(flashKib * 1024);
    b.pageBytes = int(pageBytes);
    b.eraseAllFrom = quint32(eraseAllFrom);
    b.stopAckAfter = int(stopAckAfter);
    b.corruptEvery = int(corruptEvery);
    b.hangupAfter = int(hangupAfter);
    b.startHigh = parser.isSet(kOptStartHigh);
    b.pace = parser.isSet(kOptPace);
    b.silent = parser.isSet(kOptSilent);
    b.strayByte = parser.isSet(kOptStrayByte);
    b.doubleAnswer = parser.isSet(kOptDoubleAnswer);
    b.appAfterBootOff = parser.isSet(kOptAppAfterBootOff);
    b.flipBitAt = flipBitAt;
    b.readOneByte = parser.isSet(kOptReadOneByte);
    o.dumpPath = parser.value(kOptDump);
    o.loadPath = parser.value(kOptLoad);
    o.verbose = parser.isSet(kOptVerbose);
    *options = o;
    return true;
}

} // namespace boardsim
