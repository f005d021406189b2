#pragma once

#include <QString>

namespace velmo {

// Which broker the two programs meet on.
//
// By default the launcher and scripts/run.sh start a broker of the user's own
// on a unix socket in the user's private runtime folder and name it in this
// variable: only that user can reach it, so no other account can read the
// firmware sent or command the board. A program started directly from its
// folder sees no socket and uses the TCP broker, as the programs always did:
// the daemon on "localhost" port 1883, the front end on 127.0.0.1 first.
inline constexpr char kBrokerSocketVariable[] = "VELMO_BROKER_SOCKET";

// The settings dialog's choice in VelmoFrontEnd.ini: true (the default) for
// the private broker when there is one, false for the TCP broker of
// "mqtt/host" and "mqtt/port". Both programs of one user follow it.
inline constexpr char kPrivateBrokerKey[] = "mqtt/private";

// The transport's port number that makes the host a unix socket's path.
inline constexpr int kLocalSocketPort = 0;

// The TCP broker of the daemon.
inline constexpr char kDaemonBrokerHost[] = "localhost";
inline constexpr int kTcpBrokerPort = 1883;

// The preferences file: data folder + "/VelmoFrontEnd.ini".
QString preferencesFilePath();

// The private broker's socket named by the launcher or run.sh; empty when
// the program was started without them.
QString privateBrokerSocket();

// Whether the user keeps the private broker (true unless the settings dialog
// stored the TCP broker).
bool privateBrokerChosen(const QString &preferencesPath = preferencesFilePath());

// The socket both programs use: the private broker's when there is one and
// the user has not chosen TCP; empty for TCP.
QString brokerSocketInUse();

// Where the daemon's single-instance key file lives: one daemon per broker.
// Beside the socket for a private broker, the data folder for TCP.
QString daemonKeyFolder(const QString &socketInUse);

} // namespace velmo
