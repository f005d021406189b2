#pragma once

#include "frontend/core/boardconf.h"
#include "protocol/payloads.h"
#include "protocol/reports.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace frontend {

// Serial line settings in the serial-port module's codes, as the daemon
// applies them.
using PortSettings = protocol::SerialSettings;

// The front end's mailbox: replies of the daemon are stored here and raise
// one-shot marks, which the main window acts on and lowers. It also keeps
// the board configuration and the stored serial and broker settings.
class StatusObject : public QObject
{
    Q_OBJECT

public:
    explicit StatusObject(QObject *parent = nullptr)
        : QObject(parent)
    {}

    QStringList comPorts;
    BoardConf m_BoardConf;
    bool serialOpened = false;
    bool serialError = false;
    bool idReceived = false;
    bool percReceived = false;
    bool updateDone = false;
    bool updateFailed = false;
    bool idError = false;
    bool pongReceived = false;
    PortSettings portSettings;
    QString errorText;
    QString serialVersion;
    qint32 updatePercent = 0;
    QString brokerHost;
    qint32 brokerPort = 0;
    // The user's choice: the private broker when the launcher started one,
    // rather than the TCP broker of brokerHost and brokerPort.
    bool privateBroker = true;
    bool flashReplied = false;
    bool flashAccepted = false;

    // Beyond the original replies. The details of the ports in comPorts
    // come right after the list. The reason and the retry count come before
    // the update's result and stay until the next update starts.
    QList<protocol::PortDetails> portDetails;
    std::optional<protocol::FailureReason> updateReason;
    int updateRetries = -1; // -1: the daemon did not say
    // The read-back of the last update.
    enum class VerifyReply
    {
        None,
        Ok,
        Error,
        Unsupported,
    };
    bool verifyPercReceived = false;
    qint32 verifyPercent = 0;
    bool verifyReplied = false;
    VerifyReply verifyResult = VerifyReply::None;
    std::optional<protocol::FailureReason> verifyReason;
};

} // namespace frontend
