#include "protocol/payloads.h"

#include "protocol/kvpayload.h"
#include "protocol/topics.h"

#include <QStringList>

namespace protocol {

namespace {

template <std::size_t N> QStringList keyList(const QLatin1StringView (&keys)[N])
{
    QStringList list;
    list.reserve(qsizetype(N));
    for (const QLatin1StringView key : keys)
        list.append(key);
    return list;
}

QString token(QLatin1StringView key, const QString &value)
{
    return key + value;
}

} // namespace

bool SerialSettings::operator==(const SerialSettings &o) const
{
    return portName == o.portName && baudRate == o.baudRate && dataBits == o.dataBits &&
           parity == o.parity && stopBits == o.stopBits && flowControl == o.flowControl;
}

bool BoardLayout::operator==(const BoardLayout &o) const
{
    return startFlash == o.startFlash && startProgr == o.startProgr && sizeFlash == o.sizeFlash &&
           sizeProgr == o.sizeProgr && maxErase == o.maxErase && padding == o.padding &&
           idPosition == o.idPosition;
}

QString buildSerialSetup(const SerialSettings &s)
{
    // Concatenated rather than arg()-filled, so a "%" in a port name stays
    // text.
    const QString values[] = {s.portName,
                              QString::number(s.baudRate),
                              QString::number(s.dataBits),
                              QString::number(s.parity),
                              QString::number(s.stopBits),
                              QString::number(s.flowControl)};
    QStringList tokens;
    for (int i = 0; i < 6; ++i)
        tokens.append(token(kSetupKeys[i], values[i]));
    return tokens.join(QLatin1Char(' '));
}

QList<SetupKey> parseSerialSetup(const QString &payload, SerialSettings &s)
{
    static const QStringList keys = keyList(kSetupKeys);
    QList<SetupKey> set;
    for (const kvpayload::Entry &e : kvpayload::parse(payload, keys)) {
        const auto key = SetupKey(e.keyIndex);
        const int number = kvpayload::toInt(e.value);
        switch (key) {
        case SetupKey::Com:
            s.portName = e.value;
            break;
        case SetupKey::Baud:
            s.baudRate = number;
            break;
        case SetupKey::DataBits:
            s.dataBits = number;
            break;
        case SetupKey::Parity:
            s.parity = number;
            break;
        case SetupKey::StopBits:
            s.stopBits = number;
            break;
        case SetupKey::FlowControl:
            s.flowControl = number;
            break;
        }
        set.append(key);
    }
    return set;
}

QString buildBoardConfigs(const BoardLayout &l)
{
    const qint32 values[] = {l.startFlash, l.startProgr,      l.sizeFlash, l.sizeProgr,
                             l.maxErase,   qint32(l.padding), l.idPosition};
    QStringList tokens;
    for (int i = 0; i < 7; ++i)
        tokens.append(token(kConfigKeys[i], QString::number(values[i])));
    return tokens.join(QLatin1Char(' '));
}

QList<ConfigKey> parseBoardConfigs(const QString &payload, BoardLayout &l)
{
    static const QStringList keys = keyList(kConfigKeys);
    QList<ConfigKey> set;
    for (const kvpayload::Entry &e : kvpayload::parse(payload, keys)) {
        const auto key = ConfigKey(e.keyIndex);
        const int number = kvpayload::toInt(e.value);
        switch (key) {
        case ConfigKey::StartFlash:
            l.startFlash = number;
            break;
        case ConfigKey::StartProgr:
            l.startProgr = number;
            break;
        case ConfigKey::SizeFlash:
            l.sizeFlash = number;
            break;
        case ConfigKey::SizeProgr:
            l.sizeProgr = number;
            break;
        case ConfigKey::MaxErase:
            l.maxErase = number;
            break;
        case ConfigKey::Padding:
            l.padding = static_cast<std::uint8_t>(number & 0xFF);
            break;
        case ConfigKey::IdPosition:
            l.idPosition = number;
            break;
        }
        set.append(key);
    }
    return set;
}

QString buildBoardUpdate(bool eraseAll)
{
    return token(kEraseAllKey, QString::number(eraseAll ? 1 : 0));
}

std::optional<bool> parseBoardUpdate(const QString &payload)
{
    static const QStringList keys{kEraseAllKey};
    const QList<kvpayload::Entry> entries = kvpayload::parse(payload, keys);
    if (entries.isEmpty())
        return std::nullopt;
    return kvpayload::toInt(entries.last().value) != 0;
}

RefreshCommand parseRefresh(const QString &payload)
{
    if (payload.contains(payload::kStart))
        return RefreshCommand::Start;
    if (payload.contains(payload::kStop))
        return RefreshCommand::Stop;
    return RefreshCommand::None;
}

QString boardIdText(int boardId)
{
    return QStringLiteral("0x%1").arg(boardId & 0xFFFF, 4, 16, QLatin1Char('0'));
}

std::optional<int> parseBoardIdText(const QString &text)
{
    QStringView digits(text);
    if (digits.startsWith(QLatin1StringView("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.isEmpty() || value > 0xFFFFu)
        return std::nullopt;
    return int(value);
}

QString buildPortList(const QStringList &names)
{
    return names.join(QLatin1Char(' '));
}

} // namespace protocol
