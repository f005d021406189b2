#include "tests/serial/fakedaemon.h"

#include "protocol/topics.h"
#include "serial/requestdispatcher.h"
#include "tests/firmware/hexbuilder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QHash>

serialdaemon::Timings FakeDaemon::fastTimings()
{
    serialdaemon::Timings t;
    // Short enough that the time-out paths run in a blink, long enough that
    // a loaded machine does not take a slow answer for a missing one.
    t.rxQuietMs = 2;
    t.idTimeoutMs = 60;
    t.refreshMs = 80;
    t.firstWriteTimeoutMs = 600;
    t.nextWriteTimeoutMs = 400;
    t.baudDrainMs = 0;
    t.baudSettleMs = 0;
    t.readTimeoutMs = 150;
    t.answerQuietMs = 15;
    t.closeDrainMs = 0;
    t.ownDigestWaitMs = 100;
    return t;
}

FakeDaemon::FakeDaemon(const boardsim::BoardConfig &board, const serialdaemon::Timings &timings,
                       const QString &imagePath)
    : m_timings(timings)
    , m_imagePath(imagePath.isEmpty() ? m_dir.filePath(QStringLiteral("file.hex")) : imagePath)
{
    auto line = std::make_unique<FakeSerialLine>(board);
    line->setDevicePath(QStringLiteral("/dev/ttyFAKE0"));
    m_line = line.get();
    serialdaemon::StatusObject::Wiring wiring;
    wiring.line = std::move(line);
    wiring.timings = timings;
    wiring.sink = this;
    wiring.imagePath = m_imagePath;
    m_worker = std::make_unique<serialdaemon::StatusObject>(std::move(wiring));
    m_replies.clear(); // the start-up port listing
}

void FakeDaemon::publishReply(QLatin1StringView topic, const QString &payload)
{
    m_replies.append({QString(topic), payload});
}

void FakeDaemon::request(QLatin1StringView topic, const QString &payload)
{
    requestBytes(topic, payload.toLatin1());
}

void FakeDaemon::requestBytes(QLatin1StringView topic, const QByteArray &payload)
{
    m_worker->dispatcher().dispatch(QString(topic), payload);
    m_worker->statusReady();
}

QStringList FakeDaemon::payloadsOf(QLatin1StringView topic) const
{
    QStringList out;
    for (const auto &r : m_replies)
        if (r.first == topic)
            out.append(r.second);
    return out;
}

QString FakeDaemon::waitFor(QLatin1StringView topic, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    const QString key(topic);
    for (;;) {
        const QStringList got = payloadsOf(topic);
        const int taken = m_taken.value(key);
        if (got.size() > taken) {
            m_taken[key] = taken + 1;
            return got.at(taken);
        }
        if (deadline.hasExpired())
            return QString();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void FakeDaemon::clear()
{
    m_replies.clear();
    m_taken.clear();
}

bool FakeDaemon::open()
{
    request(protocol::request::kSetup,
            QStringLiteral("Com=/dev/ttyFAKE0 Baud=9600 DataBits=8 Parity=0 StopBits=1 "
                           "FlowControl=0"));
    request(protocol::request::kSerial, protocol::payload::kOpen);
    return waitFor(protocol::reply::kOpen) == protocol::payload::kOk;
}

QString FakeDaemon::prepare(const protocol::BoardLayout &layout, const QByteArray &file)
{
    if (!open())
        return QStringLiteral("not open");
    request(protocol::request::kReadId, protocol::payload::kBlank);
    if (waitFor(protocol::reply::kReadId) != protocol::boardIdText(board().config().id))
        return QStringLiteral("no identifier");
    request(protocol::request::kConfigs, protocol::buildBoardConfigs(layout));
    requestBytes(protocol::request::kFlash, file);
    request(protocol::request::kMd5, md5Of(file));
    return waitFor(protocol::reply::kFlash);
}

void FakeDaemon::spin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

protocol::BoardLayout fakeLayout(int sizeProgrKiB, int maxErase, int idPosition)
{
    protocol::BoardLayout l;
    l.startFlash = 0;
    l.startProgr = 0x800;
    l.sizeFlash = 64;
    l.sizeProgr = sizeProgrKiB;
    l.maxErase = maxErase;
    l.padding = 0x5A;
    l.idPosition = idPosition;
    return l;
}

FakeFirmware fakeFirmware(quint16 boardId, const protocol::BoardLayout &layout)
{
    using namespace hexbuilder;
    FakeFirmware fw;
    const quint32 start = quint32(layout.startProgr);
    const quint32 end = start + quint32(layout.progrBytes());
    fw.programmed = QByteArray(int(layout.progrBytes()), char(layout.padding));
    QList<QByteArray> lines{idLine(boardId), linearBase(quint16(start >> 16))};
    // Scattered records with gaps that keep the padding.
    for (quint32 address = start; address < end; address += 48) {
        QByteArray data(int(qMin<quint32>(address % 96 == 0 ? 16 : 32, end - address)), '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char((address >> 4) + i * 7);
        if ((address >> 16) != ((address - 48) >> 16) && address != start)
            lines << linearBase(quint16(address >> 16));
        lines << dataRecord(quint16(address & 0xFFFF), data);
        fw.programmed.replace(int(address - start), data.size(), data);
    }
    lines << endOfFile();
    fw.file = file(lines);
    return fw;
}

QString md5Of(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}
