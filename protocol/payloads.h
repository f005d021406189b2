#pragma once

#include <QLatin1StringView>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The key-value payloads of "REQUEST/SERIAL/SETUP", "REQUEST/BOARD/CONFIGS"
// and "REQUEST/BOARD/UPDATE": one record per payload, the front end's
// builder and the daemon's parser side by side, and the board identifier
// text. The builders write exactly one space between tokens; the parsers
// follow the daemon's lenient reading (protocol/kvpayload.h).
namespace protocol {

// Line settings in the serial-port module's enumeration codes, handed to the
// module unchanged.
struct SerialSettings
{
    QString portName;
    qint32 baudRate = 9600;
    qint32 dataBits = 8;
    qint32 parity = 0;      // 0 none, 2 even, 3 odd, 4 space, 5 mark
    qint32 stopBits = 1;    // 1 one, 2 two, 3 one and a half
    qint32 flowControl = 0; // 0 none, 1 RTS/CTS, 2 XON/XOFF

    bool operator==(const SerialSettings &other) const;
    bool operator!=(const SerialSettings &other) const { return !(*this == other); }
};

// Memory layout of a board: what its configuration file gives and the
// daemon programs by.
struct BoardLayout
{
    qint32 startFlash = 0; // lowest address accepted from a HEX file
    qint32 startProgr = 0; // first programmed address
    qint32 sizeFlash = 0;  // KiB
    qint32 sizeProgr = 0;  // KiB, from startProgr
    qint32 maxErase = 0;   // bytes per erase step; -1: one erase-all command
    std::uint8_t padding = 0;
    qint32 idPosition = -1; // byte of the identifier line; -1: none configured

    static constexpr qint64 kKiB = 1024;
    qint64 flashBytes() const { return qint64(sizeFlash) * kKiB; }
    qint64 progrBytes() const { return qint64(sizeProgr) * kKiB; }

    bool operator==(const BoardLayout &other) const;
    bool operator!=(const BoardLayout &other) const { return !(*this == other); }
};

// Keys in the order the daemon tests them.
enum class SetupKey
{
    Com,
    Baud,
    DataBits,
    Parity,
    StopBits,
    FlowControl
};
enum class ConfigKey
{
    StartFlash,
    StartProgr,
    SizeFlash,
    SizeProgr,
    MaxErase,
    Padding,
    IdPosition
};

inline constexpr QLatin1StringView kSetupKeys[] = {
    QLatin1StringView("Com="),      QLatin1StringView("Baud="),
    QLatin1StringView("DataBits="), QLatin1StringView("Parity="),
    QLatin1StringView("StopBits="), QLatin1StringView("FlowControl=")};
inline constexpr QLatin1StringView kConfigKeys[] = {
    QLatin1StringView("StartFlash="), QLatin1StringView("StartProgr="),
    QLatin1StringView("SizeFlash="),  QLatin1StringView("SizeProgr="),
    QLatin1StringView("MaxErase="),   QLatin1StringView("Padding="),
    QLatin1StringView("IdPosition=")};
inline constexpr QLatin1StringView kEraseAllKey("EraseAll=");

// "Com=COM3 Baud=9600 DataBits=8 Parity=0 StopBits=1 FlowControl=0"
QString buildSerialSetup(const SerialSettings &settings);
// Applies the payload over `settings`: keys that do not occur keep their
// value, unreadable numbers give 0. Returns the keys set, in payload order.
QList<SetupKey> parseSerialSetup(const QString &payload, SerialSettings &settings);

// "StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 MaxErase=-1
// Padding=255 IdPosition=1", every value in decimal.
QString buildBoardConfigs(const BoardLayout &layout);
// As parseSerialSetup; the padding keeps the low 8 bits.
QList<ConfigKey> parseBoardConfigs(const QString &payload, BoardLayout &layout);

// "EraseAll=1" or "EraseAll=0".
QString buildBoardUpdate(bool eraseAll);
// The erase-all choice, or nothing when the payload does not name it (the
// previous choice then stays).
std::optional<bool> parseBoardUpdate(const QString &payload);

// "REQUEST/SERIAL/REFRESH": START is tested before STOP, both as substrings.
enum class RefreshCommand
{
    None,
    Start,
    Stop
};
RefreshCommand parseRefresh(const QString &payload);

// "0x" and four lower-case hex digits, high byte first: 4660 -> "0x1234".
QString boardIdText(int boardId);
// The board id of an identifier text ("0x" optional, either case), or
// nothing for text that is not a 16-bit hex number.
std::optional<int> parseBoardIdText(const QString &text);

// "SERIAL/INFO": names joined by single spaces, empty for none.
QString buildPortList(const QStringList &names);

} // namespace protocol
