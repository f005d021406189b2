#include "frontend/core/daemonlink.h"

namespace frontend {

StatusObject &SystemMgrLink::status()
{
    return *m_systemMgr.statusObject();
}

bool SystemMgrLink::publish(const QString &topic, const QString &payload)
{
    return m_systemMgr.publish(topic, payload);
}

void SystemMgrLink::startConnection(const QString &host, int port)
{
    m_systemMgr.startConnection(host, port);
}

bool SystemMgrLink::sendSerialSetup(const PortSettings &settings)
{
    return m_systemMgr.sendSerialSetup(settings);
}

bool SystemMgrLink::sendBoardConfigs(const BoardConf &conf)
{
    return m_systemMgr.sendBoardConfigs(conf.startFlash, conf.startProgr, conf.sizeFlash,
                                        conf.sizeProgr, conf.maxErase, conf.padding,
                                        conf.idPosition);
}

bool SystemMgrLink::requestRefresh()
{
    return m_systemMgr.requestRefresh();
}

bool SystemMgrLink::requestBoardUpdate(bool eraseAll)
{
    return m_systemMgr.requestBoardUpdate(eraseAll);
}

SystemMgr::SendResult SystemMgrLink::sendImageFile(const QString &path)
{
    return m_systemMgr.sendImageFile(path);
}

SystemMgr::SendResult SystemMgrLink::sendImageBytes(const QString &path, const QByteArray &bytes)
{
    Q_UNUSED(path);
    return m_systemMgr.sendImageBytes(bytes);
}

bool SystemMgrLink::brokerConnected()
{
    return m_systemMgr.brokerConnected();
}

QString SystemMgrLink::brokerSocket() const
{
    return m_systemMgr.socketInUse();
}

} // namespace frontend
