#pragma once

#include <QObject>
#include <QString>

class MQTTThread;

namespace serialdaemon {

// One daemon per broker. A second daemon on a broker (another user's, when
// the broker is on TCP) would take the fixed client id from the first, the
// broker would close the older connection, and the two would throw each
// other off forever.

// Asks the broker whether a daemon answers already: a PING from a client id
// of its own ("velmo-serial-probe-<pid>"), made before this daemon takes the
// fixed id. False when none answers, and when the broker cannot be reached
// (then no daemon can be answering on it either).
class DaemonProbe
{
public:
    static constexpr int kConnectMs = 2000;
    static constexpr int kAnswerMs = 1000;
    static constexpr int kPingRepeatMs = 250;
    static constexpr int kTickMs = 50;

    static bool otherDaemonAnswers(const QString &host, int port);
};

// Counts the connections the broker ends soon after it took them, which is
// what another client connecting with the daemon's client id does. A broker
// that restarts ends one connection; a fight ends one after another.
class TakeoverWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRounds = 3;
    static constexpr qint64 kShortConnectionMs = 5000;

    explicit TakeoverWatch(MQTTThread &thread, QObject *parent = nullptr);

    int rounds() const { return m_rounds; }

signals:
    // Emitted once, after kRounds short connections in a row.
    void takenOver(int rounds);

public slots:
    void connectionEnded(qint64 upMs);

private:
    int m_rounds = 0;
    bool m_reported = false;
};

} // namespace serialdaemon
