#pragma once

#include "serial/statusobject.h"
#include "tests/serial/fakeserialline.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The daemon's worker on the fake line, without a broker: requests go
// straight into its dispatch, replies into a recorder. Timings are cut to
// milliseconds, so every time-out path runs in a blink.
class FakeDaemon : public serialdaemon::ReplySink
{
public:
    static serialdaemon::Timings fastTimings();

    explicit FakeDaemon(const boardsim::BoardConfig &board = {},
                        const serialdaemon::Timings &timings = fastTimings(),
                        const QString &imagePath = QString());

    serialdaemon::StatusObject &worker() { return *m_worker; }
    FakeSerialLine &line() { return *m_line; }
    boardsim::BoardModel &board() { return m_line->board(); }
    const serialdaemon::Timings &timings() const { return m_timings; }
    QString imagePath() const { return m_imagePath; }

    // Dispatches one request as the transport would, statusReady() included.
    void request(QLatin1StringView topic, const QString &payload = QString());
    void requestBytes(QLatin1StringView topic, const QByteArray &payload);

    // Every reply so far, in order.
    const QList<QPair<QString, QString>> &replies() const { return m_replies; }
    QStringList payloadsOf(QLatin1StringView topic) const;
    // The next reply on `topic` not yet taken, null when none came in time.
    QString waitFor(QLatin1StringView topic, int timeoutMs = 5000);
    void clear();

    // SETUP for the fake line and OPEN; true on "SERIAL/OPEN" "OK".
    bool open();
    // OPEN, READ/ID, CONFIGS and the file with its digest; the FLASH reply.
    QString prepare(const protocol::BoardLayout &layout, const QByteArray &file);

    static void spin(int ms);

private:
    void publishReply(QLatin1StringView topic, const QString &payload) override;

    QTemporaryDir m_dir;
    serialdaemon::Timings m_timings;
    QString m_imagePath;
    FakeSerialLine *m_line = nullptr; // owned by the worker's link
    std::unique_ptr<serialdaemon::StatusObject> m_worker;
    QList<QPair<QString, QString>> m_replies;
    QHash<QString, int> m_taken;
};

// A board layout for the fake board's default 64 KiB flash.
protocol::BoardLayout fakeLayout(int sizeProgrKiB, int maxErase, int idPosition = 1);
// A firmware file for the layout's programmed area, and the bytes it must
// leave there.
struct FakeFirmware
{
    QByteArray file;
    QByteArray programmed;
};
FakeFirmware fakeFirmware(quint16 boardId, const protocol::BoardLayout &layout);
QString md5Of(const QByteArray &bytes);
