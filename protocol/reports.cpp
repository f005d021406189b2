#include "protocol/reports.h"

#include "protocol/kvpayload.h"

#include <QStringList>

#include <iterator>

namespace protocol {

namespace {

// No key is a substring of another, as the lenient reader requires.
const QStringList &reasonKeys()
{
    static const QStringList keys{QStringLiteral("Step="),   QStringLiteral("Block="),
                                  QStringLiteral("Blocks="), QStringLiteral("Address="),
                                  QStringLiteral("Cause="),  QStringLiteral("WaitedMs="),
                                  QStringLiteral("Tries="),  QStringLiteral("Differ=")};
    return keys;
}
enum ReasonKey
{
    kStep,
    kBlock,
    kBlocks,
    kAddress,
    kCause,
    kWaited,
    kTries,
    kDiffer
};

const char *const kStepWords[] = {"unknown", "start", "erase", "write", "verify"};
const char *const kCauseWords[] = {"unknown",    "noanswer", "damaged",   "portlost",   "mismatch",
                                   "unreadable", "noimage",  "badconfig", "interrupted"};

template <std::size_t N> int wordIndex(const char *const (&words)[N], const QString &value)
{
    for (std::size_t i = 0; i < N; ++i)
        if (value == QLatin1StringView(words[i]))
            return int(i);
    return 0;
}

} // namespace

bool FailureReason::operator==(const FailureReason &o) const
{
    return step == o.step && cause == o.cause && block == o.block && blocks == o.blocks &&
           address == o.address && waitedMs == o.waitedMs && tries == o.tries &&
           differBlocks == o.differBlocks;
}

QString buildFailureReason(const FailureReason &r)
{
    const QStringList &k = reasonKeys();
    QStringList tokens{k[kStep] + QLatin1StringView(kStepWords[int(r.step)]),
                       k[kBlock] + QString::number(r.block),
                       k[kBlocks] + QString::number(r.blocks),
                       k[kAddress] + QStringLiteral("0x") + QString::number(r.address, 16),
                       k[kCause] + QLatin1StringView(kCauseWords[int(r.cause)]),
                       k[kWaited] + QString::number(r.waitedMs),
                       k[kTries] + QString::number(r.tries)};
    if (r.cause == FailureReason::Cause::Mismatch)
        tokens.append(k[kDiffer] + QString::number(r.differBlocks));
    return tokens.join(QLatin1Char(' '));
}

std::optional<FailureReason> parseFailureReason(const QString &payload)
{
    FailureReason r;
    bool named = false;
    for (const kvpayload::Entry &e : kvpayload::parse(payload, reasonKeys())) {
        switch (e.keyIndex) {
        case kStep:
            r.step = FailureReason::Step(wordIndex(kStepWords, e.value));
            named = true;
            break;
        case kBlock:
            r.block = kvpayload::toInt(e.value);
            break;
        case kBlocks:
            r.blocks = kvpayload::toInt(e.value);
            break;
        case kAddress:
            r.address = kvpayload::toHexAddress(e.value);
            break;
        case kCause:
            r.cause = FailureReason::Cause(wordIndex(kCauseWords, e.value));
            named = true;
            break;
        case kWaited:
            r.waitedMs = kvpayload::toInt(e.value);
            break;
        case kTries:
            r.tries = kvpayload::toInt(e.value);
            break;
        case kDiffer:
            r.differBlocks = kvpayload::toInt(e.value);
            break;
        }
    }
    if (!named)
        return std::nullopt;
    return r;
}

QString describeFailureReason(const FailureReason &r)
{
    using Step = FailureReason::Step;
    using Cause = FailureReason::Cause;
    const QString at = QStringLiteral("0x") + QString::number(r.address, 16);
    QString where;
    switch (r.step) {
    case Step::Start:
        where = QStringLiteral("before the erase");
        break;
    case Step::Erase:
        where = r.block > 0 ? QStringLiteral("erasing the page at %1 before block %2 of %3")
                                  .arg(at)
                                  .arg(r.block)
                                  .arg(r.blocks)
                            : QStringLiteral("erasing all from %1").arg(at);
        break;
    case Step::Write:
        where = QStringLiteral("writing block %1 of %2 at %3").arg(r.block).arg(r.blocks).arg(at);
        break;
    case Step::Verify:
        where = r.block > 0 ? QStringLiteral("reading back block %1 of %2 at %3")
                                  .arg(r.block)
                                  .arg(r.blocks)
                                  .arg(at)
                            : QStringLiteral("reading back");
        break;
    case Step::Unknown:
        where = QStringLiteral("during the update");
        break;
    }
    QString what;
    switch (r.cause) {
    case Cause::NoAnswer:
        what = QStringLiteral("no answer within %1 ms").arg(r.waitedMs);
        break;
    case Cause::Damaged:
        what = QStringLiteral("%1 damaged answers in a row").arg(r.tries);
        break;
    case Cause::PortLost:
        what = QStringLiteral("the port was lost");
        break;
    case Cause::Mismatch:
        what = QStringLiteral("the board differs from the image at %1, %2 blocks differ")
                   .arg(at)
                   .arg(r.differBlocks);
        break;
    case Cause::Unreadable:
        what = QStringLiteral("the board does not answer reads");
        break;
    case Cause::NoImage:
        what = QStringLiteral("no image to program or compare");
        break;
    case Cause::BadConfig:
        what = QStringLiteral("the board's layout cannot be programmed");
        break;
    case Cause::Interrupted:
        what = QStringLiteral("stopped by another request");
        break;
    case Cause::Unknown:
        what = QStringLiteral("cause unknown");
        break;
    }
    QString line = where + QStringLiteral(": ") + what;
    if (r.tries > 0)
        line += QStringLiteral(", %1 %2").arg(r.tries).arg(r.tries == 1 ? "send" : "sends");
    return line;
}

bool PortDetails::operator==(const PortDetails &o) const
{
    return name == o.name && description == o.description && manufacturer == o.manufacturer &&
           serialNumber == o.serialNumber && byIdPath == o.byIdPath;
}

namespace {
// Tabs and line ends inside a field would split it; the system never puts
// them in these texts, but a USB descriptor is the maker's to fill.
QString field(const QString &text)
{
    QString clean = text;
    for (QChar &c : clean)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return clean.trimmed();
}
} // namespace

QString buildPortDetails(const QList<PortDetails> &ports)
{
    QStringList lines;
    lines.reserve(ports.size());
    for (const PortDetails &p : ports)
        lines.append(QStringList{field(p.name), field(p.description), field(p.manufacturer),
                                 field(p.serialNumber), field(p.byIdPath)}
                         .join(QLatin1Char('\t')));
    return lines.join(QLatin1Char('\n'));
}

QList<PortDetails> parsePortDetails(const QString &payload)
{
    QList<PortDetails> ports;
    const QStringList lines = payload.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.value(0).trimmed().isEmpty())
            continue;
        ports.append({f.value(0).trimmed(), f.value(1), f.value(2), f.value(3), f.value(4)});
    }
    return ports;
}

} // namespace protocol
