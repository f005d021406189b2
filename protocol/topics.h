#pragma once

#include <QLatin1StringView>
#include <QtGlobal>

#include <cstddef>

// Every text that the front end and the serial daemon exchange through the
// broker, and the names under which the two programs meet. Both programs and
// their tests take these texts from here only; a one-sided edit cannot pass
// the contract test.
namespace protocol {

namespace detail {
template <std::size_t N> constexpr QLatin1StringView wire(const char (&text)[N])
{
    return QLatin1StringView(text, qsizetype(N - 1));
}
} // namespace detail

// Front end to daemon. Topics are matched by exact, case-sensitive equality.
namespace request {
inline constexpr QLatin1StringView kAll = detail::wire("REQUEST/#");
inline constexpr QLatin1StringView kSerial = detail::wire("REQUEST/SERIAL");
inline constexpr QLatin1StringView kSetup = detail::wire("REQUEST/SERIAL/SETUP");
inline constexpr QLatin1StringView kInfo = detail::wire("REQUEST/SERIAL/INFO");
inline constexpr QLatin1StringView kReadId = detail::wire("REQUEST/SERIAL/READ/ID");
inline constexpr QLatin1StringView kFlash = detail::wire("REQUEST/SERIAL/FLASH");
inline constexpr QLatin1StringView kMd5 = detail::wire("REQUEST/SERIAL/MD5");
inline constexpr QLatin1StringView kBootOff = detail::wire("REQUEST/BOARD/BOOTOFF");
inline constexpr QLatin1StringView kBaud = detail::wire("REQUEST/SERIAL/BAUD");
inline constexpr QLatin1StringView kEraseAll = detail::wire("REQUEST/SERIAL/ERASE/ALL");
inline constexpr QLatin1StringView kWrite = detail::wire("REQUEST/SERIAL/WRITE");
inline constexpr QLatin1StringView kUpdate = detail::wire("REQUEST/BOARD/UPDATE");
inline constexpr QLatin1StringView kRead = detail::wire("REQUEST/SERIAL/READ");
inline constexpr QLatin1StringView kConfigs = detail::wire("REQUEST/BOARD/CONFIGS");
inline constexpr QLatin1StringView kRefresh = detail::wire("REQUEST/SERIAL/REFRESH");
inline constexpr QLatin1StringView kPing = detail::wire("REQUEST/SERIAL/PING");
inline constexpr QLatin1StringView kVersion = detail::wire("REQUEST/SERIAL/VERSION");
// Beyond the original exchange; a front end that never sends it gets exactly
// that exchange. Reads the last update's program area back and compares.
inline constexpr QLatin1StringView kVerify = detail::wire("REQUEST/BOARD/VERIFY");
} // namespace request

// Daemon to front end.
namespace reply {
inline constexpr QLatin1StringView kAll = detail::wire("SERIAL/#");
inline constexpr QLatin1StringView kPing = detail::wire("SERIAL/PING");
inline constexpr QLatin1StringView kVersion = detail::wire("SERIAL/VERSION");
inline constexpr QLatin1StringView kInfo = detail::wire("SERIAL/INFO");
inline constexpr QLatin1StringView kOpen = detail::wire("SERIAL/OPEN");
inline constexpr QLatin1StringView kError = detail::wire("SERIAL/ERROR");
inline constexpr QLatin1StringView kReadId = detail::wire("SERIAL/READ/ID");
inline constexpr QLatin1StringView kFlash = detail::wire("SERIAL/FLASH");
inline constexpr QLatin1StringView kUpdatePercent = detail::wire("SERIAL/BOARD/UPDATE/PERC");
inline constexpr QLatin1StringView kUpdate = detail::wire("SERIAL/BOARD/UPDATE");
// Added replies; a front end that does not know them ignores them.
// protocol/reports.h gives their payloads.
// One reason line before every "SERIAL/BOARD/UPDATE" "ERROR".
inline constexpr QLatin1StringView kUpdateReason = detail::wire("SERIAL/BOARD/UPDATE/REASON");
// Commands sent again after a damaged answer, in decimal, right before every
// "SERIAL/BOARD/UPDATE" reply.
inline constexpr QLatin1StringView kUpdateRetries = detail::wire("SERIAL/BOARD/UPDATE/RETRIES");
inline constexpr QLatin1StringView kVerifyPercent = detail::wire("SERIAL/BOARD/VERIFY/PERC");
// One reason line before "SERIAL/BOARD/VERIFY" "ERROR" or "UNSUPPORTED".
inline constexpr QLatin1StringView kVerifyReason = detail::wire("SERIAL/BOARD/VERIFY/REASON");
// "OK", "ERROR" or "UNSUPPORTED" (the board cannot be read back).
inline constexpr QLatin1StringView kVerify = detail::wire("SERIAL/BOARD/VERIFY");
// Description, maker, serial number and by-id path of each port, right after
// every "SERIAL/INFO", whose payload stays the bare names.
inline constexpr QLatin1StringView kInfoDetails = detail::wire("SERIAL/INFO/DETAILS");
} // namespace reply

// Payloads of fixed text. "REQUEST/SERIAL" and "REQUEST/SERIAL/BAUD" compare
// the whole payload; "REQUEST/SERIAL/REFRESH" only looks for the word.
namespace payload {
inline constexpr QLatin1StringView kOk = detail::wire("OK");
inline constexpr QLatin1StringView kError = detail::wire("ERROR");
inline constexpr QLatin1StringView kPong = detail::wire("PONG");
inline constexpr QLatin1StringView kOpen = detail::wire("OPEN");
inline constexpr QLatin1StringView kClose = detail::wire("CLOSE");
inline constexpr QLatin1StringView kStart = detail::wire("START");
inline constexpr QLatin1StringView kStop = detail::wire("STOP");
inline constexpr QLatin1StringView kLow = detail::wire("LOW");
inline constexpr QLatin1StringView kHigh = detail::wire("HIGH");
inline constexpr QLatin1StringView kUnsupported = detail::wire("UNSUPPORTED");
// What the front end sends where the daemon ignores the payload.
inline constexpr QLatin1StringView kBlank = detail::wire(" ");
inline constexpr QLatin1StringView kDaemonVersion = detail::wire("0.27.20181009");
// The largest "REQUEST/SERIAL/FLASH" file the daemon takes. The link's
// 24-bit addresses reach 16 MiB of flash; as Intel HEX in 16-byte records
// (45 bytes of text per 16 of data) that is 45 MiB, and in the 8-byte records
// some tools write, 58 MiB. Anything larger cannot be a board's firmware.
inline constexpr qint64 kMaxFlashFileBytes = qint64(64) * 1024 * 1024;
} // namespace payload

// The daemon holds its single-instance key for its lifetime and connects to
// the broker under the same text; the front end probes that key to learn
// whether it must start the daemon.
inline constexpr QLatin1StringView kDaemonInstanceKey = detail::wire("velmo-serial-qtclient");
inline constexpr QLatin1StringView kDaemonClientId = kDaemonInstanceKey;
inline constexpr QLatin1StringView kFrontEndInstanceKey = detail::wire("velmo-service-qtclient");
// The front end's client id is this base, "-" and its process id, so two
// front ends never throw each other off the broker.
inline constexpr QLatin1StringView kFrontEndClientIdBase = kFrontEndInstanceKey;

} // namespace protocol
