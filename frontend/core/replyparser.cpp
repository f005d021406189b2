#include "frontend/core/replyparser.h"

#include "frontend/core/frontendstatus.h"

#include <QDebug>

namespace frontend {

namespace {
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

    if (topic == QLatin1String("SERIAL/PING")) {
        logPayload(payload);
        if (payload == QLatin1String("PONG"))
            so.pongReceived = true;
    } else if (topic == QLatin1String("SERIAL/INFO")) {
        logPayload(payload);
        so.comPorts.clear();
        // Split at every single blank: two blanks give an empty name, as the
        // daemon's list is taken literally.
        const QStringList pieces = payload.split(QLatin1Char(' '), Qt::KeepEmptyParts);
        for (const QString &piece : pieces) {
            const QString name = piece.trimmed();
            qDebug().noquote() << "[MqttMgr::parseMessage] parsing COM: '\"" + name + "\"'";
            so.comPorts.append(name);
        }
    } else if (topic == QLatin1String("SERIAL/OPEN")) {
        logPayload(payload);
        if (payload == QLatin1String("OK"))
            so.serialOpened = true;
        else if (payload == QLatin1String("ERROR"))
            so.serialOpened = false;
    } else if (topic == QLatin1String("SERIAL/ERROR")) {
        logPayload(payload);
        so.serialError = true;
        so.errorText = payload;
    } else if (topic == QLatin1String("SERIAL/READ/ID")) {
        logPayload(payload);
        if (payload == QLatin1String("ERROR")) {
            so.idError = true;
        } else {
            so.idReceived = true;
            so.m_BoardConf.id = payload;
            qDebug().noquote() << payload;
        }
    } else if (topic == QLatin1String("SERIAL/FLASH")) {
        logPayload(payload);
        so.flashReplied = true;
        if (payload == QLatin1String("OK"))
            so.flashAccepted = true;
        else if (payload == QLatin1String("ERROR"))
            so.flashAccepted = false;
    } else if (topic == QLatin1String("SERIAL/BOARD/UPDATE/PERC")) {
        logPayload(payload);
        so.percReceived = true;
        so.updatePercent = payload.toInt(); // 0 when not a decimal number
    } else if (topic == QLatin1String("SERIAL/BOARD/UPDATE")) {
        logPayload(payload);
        if (payload == QLatin1String("OK")) {
            so.updateDone = true;
            so.updateFailed = false;
        } else if (payload == QLatin1String("ERROR")) {
            so.updateFailed = true;
            so.updateDone = false;
        }
    } else if (topic == QLatin1String("SERIAL/VERSION")) {
        logPayload(payload);
        so.serialVersion = payload;
    }
}

} // namespace frontend
