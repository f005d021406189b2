#include "serial/requestdispatcher.h"

#include "serial/bootframe.h"
#include "serial/kvpayload.h"
#include "serial/statusobject.h"

#include <QCryptographicHash>
#include <QDebug>

namespace serialdaemon {

namespace {

QString hex(int value)
{
    return QString::number(value, 16);
}

QString loggedPayload(const QString &payload)
{
    if (payload.size() <= RequestDispatcher::kMaxLoggedPayload)
        return payload;
    return payload.left(RequestDispatcher::kMaxLoggedPayload) +
           QStringLiteral("... (%1 bytes)").arg(payload.size());
}

} // namespace

void RequestDispatcher::handleMessage(const QString &topic, const QString &payload)
{
    if (topic == QLatin1String("REQUEST/SERIAL/FLASH"))
        qDebug().noquote() << "TOPIC: " + topic;
    else
        qDebug().noquote() << "TOPIC: " + topic + ": " + loggedPayload(payload);

    if (topic == QLatin1String("REQUEST/SERIAL/SETUP"))
        applySetup(payload);
    if (topic == QLatin1String("REQUEST/SERIAL")) {
        if (payload == QLatin1String("OPEN"))
            m_worker.openPort();
        if (payload == QLatin1String("CLOSE"))
            m_worker.closePort();
    }
    if (topic == QLatin1String("REQUEST/SERIAL/INFO"))
        m_worker.listPorts();
    if (topic == QLatin1String("REQUEST/SERIAL/READ/ID"))
        m_worker.readBoardId();
    if (topic == QLatin1String("REQUEST/SERIAL/FLASH")) {
        qDebug().noquote() << QString::fromLatin1(
            QCryptographicHash::hash(payload.toLatin1(), QCryptographicHash::Md5).toHex());
        m_worker.storeImageFile(payload);
    }
    if (topic == QLatin1String("REQUEST/SERIAL/MD5"))
        m_worker.setDigest(payload);
    if (topic == QLatin1String("REQUEST/BOARD/BOOTOFF"))
        m_worker.bootOff();
    if (topic == QLatin1String("REQUEST/SERIAL/BAUD")) {
        if (payload == QLatin1String("LOW"))
            m_worker.baudLow();
        else if (payload == QLatin1String("HIGH"))
            m_worker.baudHigh();
    }
    if (topic == QLatin1String("REQUEST/SERIAL/ERASE/ALL"))
        m_worker.eraseAllFlash();
    if (topic == QLatin1String("REQUEST/SERIAL/WRITE") && !m_worker.isUpdating())
        m_worker.writeBlock(kvpayload::toHexAddress(payload));
    if (topic == QLatin1String("REQUEST/BOARD/UPDATE")) {
        const QString key = QStringLiteral("EraseAll=");
        const QList<kvpayload::Entry> entries = kvpayload::parse(payload, {key});
        if (!entries.isEmpty())
            m_worker.setEraseAll(kvpayload::toInt(entries.last().value) != 0);
        m_worker.beginUpdate();
    }
    if (topic == QLatin1String("REQUEST/SERIAL/READ"))
        m_worker.readBlock(kvpayload::toHexAddress(payload), bootframe::kReadCount);
    if (topic == QLatin1String("REQUEST/BOARD/CONFIGS"))
        applyConfigs(payload);
    if (topic == QLatin1String("REQUEST/SERIAL/REFRESH")) {
        if (payload.contains(QLatin1String("START")))
            m_worker.startRefresh();
        else if (payload.contains(QLatin1String("STOP")))
            m_worker.stopRefresh();
    }
    if (topic == QLatin1String("REQUEST/SERIAL/PING"))
        m_worker.publishPong();
    if (topic == QLatin1String("REQUEST/SERIAL/VERSION"))
        m_worker.publishVersion();
}

void RequestDispatcher::applySetup(const QString &payload)
{
    enum Key
    {
        Com,
        Baud,
        DataBits,
        Parity,
        StopBits,
        FlowControl
    };
    static const QStringList keys{QStringLiteral("Com="),      QStringLiteral("Baud="),
                                  QStringLiteral("DataBits="), QStringLiteral("Parity="),
                                  QStringLiteral("StopBits="), QStringLiteral("FlowControl=")};
    PortSettings &port = m_worker.portSettings();
    for (const kvpayload::Entry &e : kvpayload::parse(payload, keys)) {
        const int number = kvpayload::toInt(e.value);
        switch (e.keyIndex) {
        case Com:
            port.portName = e.value;
            break;
        case Baud:
            port.baudRate = number;
            qDebug().noquote() << "Baud: " + QString::number(port.baudRate);
            break;
        case DataBits:
            port.dataBits = number;
            break;
        case Parity:
            port.parity = number;
            break;
        case StopBits:
            port.stopBits = number;
            break;
        case FlowControl:
            port.flowControl = number;
            break;
        }
    }
}

void RequestDispatcher::applyConfigs(const QString &payload)
{
    enum Key
    {
        StartFlash,
        StartProgr,
        SizeFlash,
        SizeProgr,
        MaxErase,
        Padding,
        IdPosition
    };
    static const QStringList keys{QStringLiteral("StartFlash="), QStringLiteral("StartProgr="),
                                  QStringLiteral("SizeFlash="),  QStringLiteral("SizeProgr="),
                                  QStringLiteral("MaxErase="),   QStringLiteral("Padding="),
                                  QStringLiteral("IdPosition=")};
    BoardConfig &config = m_worker.boardConfig();
    for (const kvpayload::Entry &e : kvpayload::parse(payload, keys)) {
        const int number = kvpayload::toInt(e.value);
        switch (e.keyIndex) {
        case StartFlash:
            config.startFlash = number;
            qDebug().noquote() << "Start Flash: " + hex(number);
            break;
        case StartProgr:
            config.startProgr = number;
            qDebug().noquote() << "Start programmable Flash: " + hex(number);
            break;
        case SizeFlash:
            config.sizeFlash = number;
            qDebug().noquote() << "Size Flash: " + QString::number(number);
            break;
        case SizeProgr:
            config.sizeProgr = number;
            qDebug().noquote() << "Size programmable Flash: " + QString::number(number);
            break;
        case MaxErase:
            config.maxErase = number;
            qDebug().noquote() << "Max Erase: " + QString::number(number);
            break;
        case Padding:
            config.padding = static_cast<std::uint8_t>(number & 0xFF);
            qDebug().noquote() << "Padding: " + hex(config.padding);
            break;
        case IdPosition:
            config.idPosition = number;
            qDebug().noquote() << "Id Position: " + QString::number(number);
            break;
        }
    }
}

} // namespace serialdaemon
