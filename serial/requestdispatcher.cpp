#include "serial/requestdispatcher.h"

#include "protocol/bootframe.h"
#include "protocol/kvpayload.h"
#include "protocol/payloads.h"
#include "protocol/topics.h"
#include "serial/statusobject.h"

#include <QDebug>

namespace serialdaemon {

namespace {

namespace request = protocol::request;
namespace payload = protocol::payload;

QString hex(int value)
{
    return QString::number(value, 16);
}

QString loggedPayload(const QByteArray &payload)
{
    if (payload.size() <= RequestDispatcher::kMaxLoggedPayload)
        return QString::fromLatin1(payload);
    return QString::fromLatin1(payload.left(RequestDispatcher::kMaxLoggedPayload)) +
           QStringLiteral("... (%1 bytes)").arg(payload.size());
}

} // namespace

void RequestDispatcher::handleMessageBytes(const QString &topic, const QByteArray &payload)
{
    dispatch(topic, payload);
}

void RequestDispatcher::handleMessage(const QString &topic, const QString &payload)
{
    dispatch(topic, payload.toLatin1());
}

void RequestDispatcher::dispatch(const QString &topic, const QByteArray &bytes)
{
    if (topic == request::kFlash)
        qDebug().noquote() << "TOPIC: " + topic;
    else
        qDebug().noquote() << "TOPIC: " + topic + ": " + loggedPayload(bytes);

    // Every topic but the firmware file carries a few bytes of text.
    const QString text = topic == request::kFlash ? QString() : QString::fromLatin1(bytes);

    // While the board is written or read back, whatever would change the
    // board or the line under it waits for nobody: it is dropped, and said
    // so. A new update and CLOSE keep their meaning; a file and its digest
    // are kept by the worker for afterwards.
    if (m_worker.isBusy() && disturbsTheBoard(topic, text)) {
        qWarning().noquote() << "Ignored during an update:" << topic;
        return;
    }

    if (topic == request::kSetup)
        applySetup(text);
    if (topic == request::kSerial) {
        if (text == payload::kOpen)
            m_worker.openPort();
        if (text == payload::kClose)
            m_worker.closePort();
    }
    if (topic == request::kInfo)
        m_worker.listPorts();
    if (topic == request::kReadId)
        m_worker.readBoardId();
    if (topic == request::kFlash)
        m_worker.storeImageFile(bytes);
    if (topic == request::kMd5)
        m_worker.setDigest(text);
    if (topic == request::kBootOff)
        m_worker.bootOff();
    if (topic == request::kBaud) {
        if (text == payload::kLow)
            m_worker.baudLow();
        else if (text == payload::kHigh)
            m_worker.baudHigh();
    }
    if (topic == request::kEraseAll)
        m_worker.eraseAllFlash();
    if (topic == request::kWrite && !m_worker.isUpdating())
        m_worker.writeBlock(kvpayload::toHexAddress(text));
    if (topic == request::kUpdate) {
        if (const std::optional<bool> eraseAll = protocol::parseBoardUpdate(text))
            m_worker.setEraseAll(*eraseAll);
        m_worker.beginUpdate();
    }
    if (topic == request::kRead)
        m_worker.readBlock(kvpayload::toHexAddress(text), bootframe::kReadCount);
    if (topic == request::kConfigs)
        applyConfigs(text);
    if (topic == request::kRefresh) {
        switch (protocol::parseRefresh(text)) {
        case protocol::RefreshCommand::Start:
            m_worker.startRefresh();
            break;
        case protocol::RefreshCommand::Stop:
            m_worker.stopRefresh();
            break;
        case protocol::RefreshCommand::None:
            break;
        }
    }
    if (topic == request::kVerify)
        m_worker.beginVerify();
    if (topic == request::kPing)
        m_worker.publishPong();
    if (topic == request::kVersion)
        m_worker.publishVersion();
}

bool RequestDispatcher::disturbsTheBoard(const QString &topic, const QString &text)
{
    if (topic == request::kSerial)
        return text == payload::kOpen; // re-opens the line at 9600
    if (topic == request::kRefresh)
        return protocol::parseRefresh(text) == protocol::RefreshCommand::Start;
    // Identifier requests re-open the line at other speeds when unanswered.
    return topic == request::kSetup || topic == request::kReadId || topic == request::kBootOff ||
           topic == request::kBaud || topic == request::kEraseAll || topic == request::kWrite ||
           topic == request::kRead || topic == request::kConfigs;
}

void RequestDispatcher::applySetup(const QString &payload)
{
    PortSettings &port = m_worker.portSettings();
    for (const protocol::SetupKey key : protocol::parseSerialSetup(payload, port))
        if (key == protocol::SetupKey::Baud)
            qDebug().noquote() << "Baud: " + QString::number(port.baudRate);
}

void RequestDispatcher::applyConfigs(const QString &payload)
{
    using protocol::ConfigKey;
    BoardConfig &config = m_worker.boardConfig();
    for (const ConfigKey key : protocol::parseBoardConfigs(payload, config)) {
        switch (key) {
        case ConfigKey::StartFlash:
            qDebug().noquote() << "Start Flash: " + hex(config.startFlash);
            break;
        case ConfigKey::StartProgr:
            qDebug().noquote() << "Start programmable Flash: " + hex(config.startProgr);
            break;
        case ConfigKey::SizeFlash:
            qDebug().noquote() << "Size Flash: " + QString::number(config.sizeFlash);
            break;
        case ConfigKey::SizeProgr:
            qDebug().noquote() << "Size programmable Flash: " + QString::number(config.sizeProgr);
            break;
        case ConfigKey::MaxErase:
            qDebug().noquote() << "Max Erase: " + QString::number(config.maxErase);
            break;
        case ConfigKey::Padding:
            qDebug().noquote() << "Padding: " + hex(config.padding);
            break;
        case ConfigKey::IdPosition:
            qDebug().noquote() << "Id Position: " + QString::number(config.idPosition);
            break;
        }
    }
}

} // namespace serialdaemon
