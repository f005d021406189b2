#include "frontend/core/replyparser.h"

#include "frontend/core/frontendstatus.h"
#include "protocol/topics.h"

#include <QDebug>

namespace frontend {

namespace {
namespace reply = protocol::reply;
// Not "payload": the parser's argument has that name.
namespace fixed = protocol::payload;

void logPayload(const QString &payload)
{
    qDebug().noquote() << "[MqttMgr::parseMessage] parsing payload: '\"" + payload + "\"'";
}
} // namespace

void ReplyParser::handleMessage(const QString &topic, const QString &payload)
{
    qDebug().noquote() << "TOPIC: " + topic + ": " + payload;
    parseMessage(topic, payload);
}

void ReplyParser::parseMessage(const QString &topic, const QString &payload)
{
    if (!statusObject)
        return;
    StatusObject &so = *statusObject;

    if (topic == reply::kPing) {
        logPayload(payload);
        if (payload == fixed::kPong)
            so.pongReceived = true;
    } else if (topic == reply::kInfo) {
        logPayload(payload);
        so.comPorts.clear();
        // Their details follow on a topic of their own.
        so.portDetails.clear();
        // Split at every single blank: two blanks give an empty name, as the
        // daemon's list is taken literally.
        const QStringList pieces = payload.split(QLatin1Char(' '), Qt::KeepEmptyParts);
        for (const QString &piece : pieces) {
            const QString name = piece.trimmed();
            qDebug().noquote() << "[MqttMgr::parseMessage] parsing COM: '\"" + name + "\"'";
            so.comPorts.append(name);
        }
    } else if (topic == reply::kOpen) {
        logPayload(payload);
        if (payload == fixed::kOk)
            so.serialOpened = true;
        else if (payload == fixed::kError)
            so.serialOpened = false;
    } else if (topic == reply::kError) {
        logPayload(payload);
        so.serialError = true;
        so.errorText = payload;
    } else if (topic == reply::kReadId) {
        logPayload(payload);
        if (payload == fixed::kError) {
            so.idError = true;
        } else {
            so.idReceived = true;
            so.m_BoardConf.id = payload;
            qDebug().noquote() << payload;
        }
    } else if (topic == reply::kFlash) {
        logPayload(payload);
        so.flashReplied = true;
        if (payload == fixed::kOk)
            so.flashAccepted = true;
        else if (payload == fixed::kError)
            so.flashAccepted = false;
    } else if (topic == reply::kUpdatePercent) {
        logPayload(payload);
        so.percReceived = true;
        so.updatePercent = payload.toInt(); // 0 when not a decimal number
    } else if (topic == reply::kUpdate) {
        logPayload(payload);
        if (payload == fixed::kOk) {
            so.updateDone = true;
            so.updateFailed = false;
        } else if (payload == fixed::kError) {
            so.updateFailed = true;
            so.updateDone = false;
        }
    } else if (topic == reply::kUpdateReason) {
        logPayload(payload);
        so.updateReason = protocol::parseFailureReason(payload);
    } else if (topic == reply::kUpdateRetries) {
        logPayload(payload);
        bool ok = false;
        const int retries = payload.trimmed().toInt(&ok);
        so.updateRetries = ok && retries >= 0 ? retries : -1;
    } else if (topic == reply::kVerifyPercent) {
        logPayload(payload);
        so.verifyPercReceived = true;
        so.verifyPercent = payload.toInt();
    } else if (topic == reply::kVerifyReason) {
        logPayload(payload);
        so.verifyReason = protocol::parseFailureReason(payload);
    } else if (topic == reply::kVerify) {
        logPayload(payload);
        using VerifyReply = StatusObject::VerifyReply;
        const VerifyReply result = payload == fixed::kOk            ? VerifyReply::Ok
                                   : payload == fixed::kError       ? VerifyReply::Error
                                   : payload == fixed::kUnsupported ? VerifyReply::Unsupported
                                                                    : VerifyReply::None;
        if (result != VerifyReply::None) {
            so.verifyReplied = true;
            so.verifyResult = result;
        }
    } else if (topic == reply::kVersion) {
        logPayload(payload);
        so.serialVersion = payload;
    } else if (topic == reply::kInfoDetails) {
        logPayload(payload);
        so.portDetails = protocol::parsePortDetails(payload);
    }
}

} // namespace frontend
