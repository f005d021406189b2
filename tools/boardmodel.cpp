#include "tools/boardmodel.h"

#include <QDebug>
#include <QSaveFile>

#include <algorithm>

Q_LOGGING_CATEGORY(lcBoardSim, "velmo.boardsim", QtInfoMsg)

namespace boardsim {

namespace {
constexpr int kAddressedCommandBytes = 5;
constexpr int kWriteCommandBytes = kAddressedCommandBytes + bootframe::kBlockBytes;

std::uint8_t byteAt(const QByteArray &bytes, int index)
{
    return static_cast<std::uint8_t>(bytes.at(index));
}

// An answer starts with the code of the command it answers.
QByteArray answerCode(bootframe::Command command)
{
    return QByteArray(1, static_cast<char>(command));
}

QString hexAddress(quint32 address)
{
    return QStringLiteral("0x%1").arg(address, 6, 16, QLatin1Char('0'));
}
} // namespace

qint64 wireMicros(qint64 bytes, qint32 baud)
{
    if (baud <= 0)
        return 0;
    return bytes * kBitsPerByte * 1000000 / baud;
}

quint32 commandAddress(const QByteArray &command, int offset)
{
    if (command.size() < offset + 3)
        return 0;
    return quint32(byteAt(command, offset)) | (quint32(byteAt(command, offset + 1)) << 8) |
           (quint32(byteAt(command, offset + 2)) << 16);
}

QString statsLine(const BoardStats &stats)
{
    return QStringLiteral("STATS rx_bytes=%1 tx_bytes=%2 lost_rx_bytes=%3 lost_tx_bytes=%4 "
                          "wire_us=%5 frames=%6 bad_frames=%7 writes=%8 answers=%9 "
                          "unerased_bytes=%10")
        .arg(stats.rxBytes)
        .arg(stats.txBytes)
        .arg(stats.lostRxBytes)
        .arg(stats.lostTxBytes)
        .arg(stats.wireUs)
        .arg(stats.frames)
        .arg(stats.badFrames)
        .arg(stats.writes)
        .arg(stats.answers)
        .arg(stats.unerasedBytes);
}

bool writeFlashDump(const QByteArray &flash, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(flash) != flash.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

BoardModel::BoardModel(const BoardConfig &config)
    : m_config(config)
    , m_flash(std::max(config.flashBytes, 0), static_cast<char>(kErased))
{
    if (m_config.pageBytes <= 0)
        m_config.pageBytes = 1024;
    powerCycle();
}

void BoardModel::powerCycle()
{
    m_baud = m_config.startHigh ? kHighBaud : kLowBaud;
    m_decoder.reset();
    m_inApplication = false;
    m_writesSinceReset = 0;
    m_answersSinceReset = 0;
    m_rxBusyUntilUs = 0;
    m_txBusyUntilUs = 0;
}

bool BoardModel::loadFlash(const QByteArray &content)
{
    if (content.size() > m_flash.size())
        return false;
    m_flash.replace(0, content.size(), content);
    return true;
}

bool BoardModel::inFlash(quint32 address, qint64 length) const
{
    return length >= 0 && qint64(address) + length <= m_flash.size();
}

QList<Transmission> BoardModel::receive(const QByteArray &bytes, qint32 lineBaud, qint64 nowUs)
{
    QList<Transmission> out;
    if (bytes.isEmpty())
        return out;
    m_stats.rxBytes += bytes.size();
    m_stats.wireUs += wireMicros(bytes.size(), lineBaud);
    if (m_hungUp)
        return out;

    // With pacing, the bytes arrive one after another once the wire is free.
    const qint64 startUs = m_config.pace ? std::max(nowUs, m_rxBusyUntilUs) : nowUs;
    if (m_config.pace)
        m_rxBusyUntilUs = startUs + wireMicros(bytes.size(), lineBaud);

    if (lineBaud != m_baud) {
        // A UART at the wrong speed reads garbage: whatever frame was in
        // progress is ruined as well.
        m_stats.lostRxBytes += bytes.size();
        m_decoder.reset();
        qCDebug(lcBoardSim) << "lost" << bytes.size() << "bytes: line at" << lineBaud << "board at"
                            << m_baud;
        return out;
    }

    for (qsizetype i = 0; i < bytes.size(); ++i) {
        int bad = 0;
        const QList<QByteArray> frames = m_decoder.feed(bytes.mid(i, 1), &bad);
        m_stats.badFrames += bad;
        const qint64 doneUs = m_config.pace ? startUs + wireMicros(qint64(i) + 1, lineBaud) : nowUs;
        for (const QByteArray &command : frames) {
            ++m_stats.frames;
            if (m_config.silent || m_hungUp)
                continue;
            handleFrame(command, doneUs, out);
        }
    }
    return out;
}

QByteArray BoardModel::transmit(const Transmission &t, qint32 lineBaud)
{
    if (t.baud != lineBaud) {
        m_stats.lostTxBytes += t.bytes.size();
        return {};
    }
    return t.bytes;
}

void BoardModel::handleFrame(const QByteArray &command, qint64 doneUs, QList<Transmission> &out)
{
    const auto code = static_cast<bootframe::Command>(byteAt(command, 0));
    if (m_inApplication) {
        qCDebug(lcBoardSim) << "application running, boot-loader command ignored";
        return;
    }
    switch (code) {
    case bootframe::Command::ReadId:
        if (command.size() != 2) {
            qCWarning(lcBoardSim) << "read id with" << command.size() << "command bytes ignored";
            return;
        }
        qCDebug(lcBoardSim) << "read id";
        answer(answerCode(bootframe::Command::ReadId) + '\x02' +
                   static_cast<char>(m_config.id & 0xFF) + static_cast<char>(m_config.id >> 8),
               doneUs, out);
        return;
    case bootframe::Command::ReadFlash:
        handleRead(command, doneUs, out);
        return;
    case bootframe::Command::WriteFlash:
        handleWrite(command, doneUs, out);
        return;
    case bootframe::Command::ErasePage:
        handleErasePage(command, doneUs, out);
        return;
    case bootframe::Command::EraseAll:
        handleEraseAll(doneUs, out);
        return;
    case bootframe::Command::BaudHigh:
        m_baud = kHighBaud;
        qCInfo(lcBoardSim) << "line speed high:" << m_baud;
        return;
    case bootframe::Command::BaudLow:
        m_baud = kLowBaud;
        qCInfo(lcBoardSim) << "line speed low:" << m_baud;
        return;
    case bootframe::Command::BootOff:
        qCInfo(lcBoardSim) << "leave boot loader";
        if (m_config.appAfterBootOff)
            m_inApplication = true;
        return;
    }
    qCWarning(lcBoardSim) << "unknown command" << Qt::hex << byteAt(command, 0) << "ignored";
}

void BoardModel::answer(const QByteArray &command, qint64 readyUs, QList<Transmission> &out)
{
    QByteArray frame = bootframe::encodeUnescaped(command);
    ++m_answersSinceReset;
    ++m_stats.answers;
    if (m_config.corruptEvery > 0 && m_answersSinceReset % m_config.corruptEvery == 0) {
        frame[frame.size() - 2] = static_cast<char>(frame.at(frame.size() - 2) ^ 0xFF);
        qCInfo(lcBoardSim) << "answer" << m_answersSinceReset << "sent with a bad checksum";
    }
    if (m_config.doubleAnswer)
        frame += frame;
    if (m_config.strayByte)
        frame.prepend(static_cast<char>(kStrayByte));

    Transmission t;
    t.baud = m_baud;
    t.bytes = frame;
    if (m_config.pace) {
        const qint64 startUs = std::max(readyUs, m_txBusyUntilUs);
        m_txBusyUntilUs = startUs + wireMicros(frame.size(), m_baud);
        t.dueUs = m_txBusyUntilUs;
    } else {
        t.dueUs = readyUs;
    }
    m_stats.txBytes += frame.size();
    m_stats.wireUs += wireMicros(frame.size(), m_baud);
    out.append(t);
}

void BoardModel::handleRead(const QByteArray &command, qint64 doneUs, QList<Transmission> &out)
{
    if (command.size() != kAddressedCommandBytes) {
        qCWarning(lcBoardSim) << "read with" << command.size() << "command bytes ignored";
        return;
    }
    const int count = byteAt(command, 1);
    const quint32 address = commandAddress(command, 2);
    if (!inFlash(address, count)) {
        qCWarning(lcBoardSim).noquote() << "read of" << count << "bytes at" << hexAddress(address)
                                        << "outside the flash ignored";
        return;
    }
    qCDebug(lcBoardSim).noquote() << "read" << count << "at" << hexAddress(address);
    answer(answerCode(bootframe::Command::ReadFlash) +
               m_flash.mid(address, m_config.readOneByte ? 1 : count),
           doneUs, out);
}

void BoardModel::handleWrite(const QByteArray &command, qint64 doneUs, QList<Transmission> &out)
{
    if (command.size() != kWriteCommandBytes) {
        qCWarning(lcBoardSim) << "write with" << command.size() << "command bytes ignored";
        return;
    }
    const quint32 address = commandAddress(command, 2);
    ++m_writesSinceReset;
    ++m_stats.writes;
    if (m_config.hangupAfter >= 0 && m_writesSinceReset > m_config.hangupAfter) {
        qCInfo(lcBoardSim) << "hanging up the line at write" << m_writesSinceReset;
        m_hungUp = true;
        return;
    }
    if (!inFlash(address, bootframe::kBlockBytes)) {
        qCWarning(lcBoardSim).noquote()
            << "write at" << hexAddress(address) << "outside the flash not acknowledged";
        return;
    }
    // Flash cells can only go from 1 to 0; raising a bit needs an erase.
    int unerased = 0;
    for (int i = 0; i < bootframe::kBlockBytes; ++i) {
        const auto old = static_cast<std::uint8_t>(m_flash.at(address + i));
        const std::uint8_t wanted = byteAt(command, kAddressedCommandBytes + i);
        if ((old & wanted) != wanted)
            ++unerased;
        m_flash[address + i] = static_cast<char>(old & wanted);
    }
    if (m_config.flipBitAt >= address && m_config.flipBitAt < address + bootframe::kBlockBytes) {
        m_flash[int(m_config.flipBitAt)] =
            static_cast<char>(m_flash.at(int(m_config.flipBitAt)) ^ 1);
        qCInfo(lcBoardSim).noquote()
            << "bit 0 at" << hexAddress(quint32(m_config.flipBitAt)) << "flipped after the write";
    }
    if (unerased > 0) {
        m_stats.unerasedBytes += unerased;
        qCWarning(lcBoardSim).noquote() << "write at" << hexAddress(address) << "hit" << unerased
                                        << "bytes that were not erased";
    }
    if (m_config.stopAckAfter >= 0 && m_writesSinceReset > m_config.stopAckAfter) {
        qCDebug(lcBoardSim) << "write" << m_writesSinceReset << "not acknowledged";
        return;
    }
    qCDebug(lcBoardSim).noquote() << "write at" << hexAddress(address);
    answer(answerCode(bootframe::Command::WriteFlash), doneUs + m_config.writeUs, out);
}

void BoardModel::handleErasePage(const QByteArray &command, qint64 doneUs, QList<Transmission> &out)
{
    if (command.size() != kAddressedCommandBytes) {
        qCWarning(lcBoardSim) << "erase page with" << command.size() << "command bytes ignored";
        return;
    }
    const quint32 address = commandAddress(command, 2);
    const quint32 page = address - address % quint32(m_config.pageBytes);
    if (!inFlash(page, 1)) {
        qCWarning(lcBoardSim).noquote()
            << "erase page at" << hexAddress(address) << "outside the flash not acknowledged";
        return;
    }
    const qint64 length = std::min<qint64>(m_config.pageBytes, m_flash.size() - page);
    m_flash.replace(page, length, QByteArray(length, static_cast<char>(kErased)));
    qCDebug(lcBoardSim).noquote() << "erase page at" << hexAddress(page);
    answer(answerCode(bootframe::Command::ErasePage), doneUs + m_config.pageEraseUs, out);
}

void BoardModel::handleEraseAll(qint64 doneUs, QList<Transmission> &out)
{
    if (m_config.eraseAllFrom < quint32(m_flash.size())) {
        const qint64 length = m_flash.size() - m_config.eraseAllFrom;
        m_flash.replace(m_config.eraseAllFrom, length,
                        QByteArray(length, static_cast<char>(kErased)));
    }
    qCInfo(lcBoardSim).noquote() << "erase all from" << hexAddress(m_config.eraseAllFrom);
    answer(answerCode(bootframe::Command::EraseAll), doneUs + m_config.eraseAllUs, out);
}

} // namespace boardsim
