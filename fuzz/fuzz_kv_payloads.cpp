// libFuzzer target: the key-value payloads of "REQUEST/SERIAL/SETUP",
// "REQUEST/BOARD/CONFIGS" and "REQUEST/BOARD/UPDATE", and the daemon's
// failure reasons. Any bytes parse without harm and set only keys that
// occur; records built by the other side read back unchanged.
#include "fuzz/fuzzsupport.h"
#include "protocol/payloads.h"
#include "protocol/reports.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
using fuzzsupport::check;

qint32 read32(const std::uint8_t *p)
{
    qint32 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The daemon's reading of whatever arrived.
void parseAnything(const QString &text)
{
    protocol::SerialSettings settings;
    const protocol::SerialSettings before = settings;
    const QList<protocol::SetupKey> setupKeys = protocol::parseSerialSetup(text, settings);
    check(!setupKeys.isEmpty() || settings == before);
    check(setupKeys.size() <= text.count(QLatin1Char('=')));

    protocol::BoardLayout layout;
    const protocol::BoardLayout untouched = layout;
    const QList<protocol::ConfigKey> configKeys = protocol::parseBoardConfigs(text, layout);
    check(!configKeys.isEmpty() || layout == untouched);

    const std::optional<bool> eraseAll = protocol::parseBoardUpdate(text);
    check(!eraseAll || text.contains(protocol::kEraseAllKey));
    protocol::parseRefresh(text);
    protocol::parseBoardIdText(text);

    if (const std::optional<protocol::FailureReason> reason = protocol::parseFailureReason(text))
        protocol::describeFailureReason(*reason);
    protocol::parsePortDetails(text);
}

// Values taken from the input, built as the front end does, read back.
void roundTrip(const std::uint8_t *data, std::size_t size)
{
    if (size < 7 * 4 + 1)
        return;
    protocol::BoardLayout layout;
    layout.startFlash = read32(data);
    layout.startProgr = read32(data + 4);
    layout.sizeFlash = read32(data + 8);
    layout.sizeProgr = read32(data + 12);
    layout.maxErase = read32(data + 16);
    layout.padding = data[20];
    layout.idPosition = read32(data + 24);
    protocol::BoardLayout layoutBack;
    protocol::parseBoardConfigs(protocol::buildBoardConfigs(layout), layoutBack);
    check(layoutBack == layout);

    protocol::SerialSettings settings;
    settings.baudRate = read32(data);
    settings.dataBits = read32(data + 4);
    settings.parity = read32(data + 8);
    settings.stopBits = read32(data + 12);
    settings.flowControl = read32(data + 16);
    // A port name is one token: any bytes but the separator.
    QByteArray name(reinterpret_cast<const char *>(data + 28), qsizetype(size - 28));
    name.replace(' ', '_');
    settings.portName = QString::fromLatin1(name);
    protocol::SerialSettings settingsBack;
    settingsBack.portName = QStringLiteral("unset");
    const QString setup = protocol::buildSerialSetup(settings);
    check(protocol::parseSerialSetup(setup, settingsBack).size() == 6);
    check(settingsBack == settings);

    protocol::FailureReason reason;
    reason.step = protocol::FailureReason::Step(data[22] % 5);
    reason.cause = protocol::FailureReason::Cause(data[23] % 9);
    reason.block = read32(data);
    reason.blocks = read32(data + 4);
    reason.address = quint32(read32(data + 8));
    reason.waitedMs = read32(data + 12);
    reason.tries = read32(data + 16);
    reason.differBlocks =
        reason.cause == protocol::FailureReason::Cause::Mismatch ? read32(data + 24) : 0;
    const std::optional<protocol::FailureReason> reasonBack =
        protocol::parseFailureReason(protocol::buildFailureReason(reason));
    check(reasonBack && *reasonBack == reason);

    const bool eraseAll = data[21] & 1;
    check(protocol::parseBoardUpdate(protocol::buildBoardUpdate(eraseAll)) == eraseAll);
    check(protocol::parseBoardIdText(protocol::boardIdText(read32(data))) ==
          (read32(data) & 0xFFFF));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    parseAnything(QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size)));
    roundTrip(data, size);
    return 0;
}
