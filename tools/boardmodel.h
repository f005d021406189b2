#pragma once

#include "protocol/bootframe.h"

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>

#include <cstdint>

Q_DECLARE_LOGGING_CATEGORY(lcBoardSim)

// The boot loader of a control board, as the daemon sees it on the line:
// command handling, flash memory, the board's own line speed, wire timing and
// the faults a technician meets on real lines. No I/O here; the pty side
// feeds bytes in and sends what comes out.
namespace boardsim {

constexpr qint32 kLowBaud = 9600;
constexpr qint32 kHighBaud = 115200;
// Start bit, 8 data bits, stop bit.
constexpr int kBitsPerByte = 10;
constexpr std::uint8_t kErased = 0xFF;
// What a line glitch typically reads as.
constexpr std::uint8_t kStrayByte = 0x00;

// Time the bytes occupy the wire at `baud`, in microseconds.
qint64 wireMicros(qint64 bytes, qint32 baud);

struct BoardConfig
{
    quint16 id = 0x1234;
    int flashBytes = 64 * 1024;
    int pageBytes = 1024;
    // Erase-all clears from here to the end; below it sits the boot loader.
    quint32 eraseAllFrom = 0;
    bool startHigh = false;

    // Wire pacing: answers leave when the request has fully arrived, the
    // operation is done and the answer's own bytes have crossed the wire.
    bool pace = false;
    qint64 writeUs = 0;
    qint64 pageEraseUs = 0;
    qint64 eraseAllUs = 0;

    // Faults. Counts of -1 / 0 switch them off.
    bool silent = false;
    int stopAckAfter = -1;
    int corruptEvery = 0;
    bool strayByte = false;
    bool doubleAnswer = false;
    int hangupAfter = -1;
    // After "leave boot loader" the board runs its application and ignores
    // the boot-loader link until it is power-cycled.
    bool appAfterBootOff = false;
    // A write that covers this address leaves the lowest bit of its byte
    // flipped, as a weak flash cell would; -1: off.
    qint64 flipBitAt = -1;
    // Reads are answered with the code and one byte of data only, as a boot
    // loader that does not read back.
    bool readOneByte = false;
};

// Bytes the board puts on the line at `dueUs` (already past the wire), sent
// at the board's speed `baud`.
struct Transmission
{
    qint64 dueUs = 0;
    QByteArray bytes;
    qint32 baud = kLowBaud;
};

struct BoardStats
{
    qint64 rxBytes = 0;
    qint64 txBytes = 0;
    qint64 lostRxBytes = 0;
    qint64 lostTxBytes = 0;
    // Wire time of every byte in both directions, each at its line speed.
    qint64 wireUs = 0;
    int frames = 0;
    int badFrames = 0;
    int writes = 0;
    int answers = 0;
    // Bytes a write wanted to raise from 0 to 1: written without erase.
    int unerasedBytes = 0;
};

class BoardModel
{
public:
    explicit BoardModel(const BoardConfig &config = {});

    // Bytes that reached the board at `nowUs` while the other end drives the
    // line at `lineBaud`. Returns the answers to send, in order.
    QList<Transmission> receive(const QByteArray &bytes, qint32 lineBaud, qint64 nowUs);

    // What actually arrives at the other end when `t` is sent while the line
    // is set to `lineBaud`: nothing at a mismatched speed.
    QByteArray transmit(const Transmission &t, qint32 lineBaud);

    // Power off and on: speed, boot-loader state and fault counters start
    // over; flash keeps its content. A hung-up line stays hung up.
    void powerCycle();

    // Replaces the start of the flash with `content` (rest stays erased).
    bool loadFlash(const QByteArray &content);

    const QByteArray &flash() const { return m_flash; }
    const BoardConfig &config() const { return m_config; }
    const BoardStats &stats() const { return m_stats; }
    qint32 baud() const { return m_baud; }
    bool hungUp() const { return m_hungUp; }
    bool inBootLoader() const { return !m_inApplication; }

private:
    void handleFrame(const QByteArray &command, qint64 doneUs, QList<Transmission> &out);
    void answer(const QByteArray &command, qint64 readyUs, QList<Transmission> &out);
    void handleWrite(const QByteArray &command, qint64 doneUs, QList<Transmission> &out);
    void handleRead(const QByteArray &command, qint64 doneUs, QList<Transmission> &out);
    void handleErasePage(const QByteArray &command, qint64 doneUs, QList<Transmission> &out);
    void handleEraseAll(qint64 doneUs, QList<Transmission> &out);
    bool inFlash(quint32 address, qint64 length) const;

    BoardConfig m_config;
    QByteArray m_flash;
    bootframe::EscapedDecoder m_decoder;
    BoardStats m_stats;
    qint32 m_baud = kLowBaud;
    qint64 m_rxBusyUntilUs = 0;
    qint64 m_txBusyUntilUs = 0;
    int m_writesSinceReset = 0;
    int m_answersSinceReset = 0;
    bool m_hungUp = false;
    bool m_inApplication = false;
};

// Address of a command, 24-bit, low byte first from `offset`.
quint32 commandAddress(const QByteArray &command, int offset);

// One line of counters for scripts: "STATS key=value ...".
QString statsLine(const BoardStats &stats);

// Writes the flash image to `path` in one piece, so a reader never sees half
// a dump.
bool writeFlashDump(const QByteArray &flash, const QString &path, QString *error);

} // namespace boardsim
