#pragma once

#include "frontend/core/frontendstatus.h"
#include "frontend/core/systemmgr.h"

#include <QByteArray>
#include <QString>

namespace frontend {

// What the connection and update workflow needs of the daemon's side: the
// mailbox the replies land in, and the requests. SystemMgr is the real one
// (through SystemMgrLink); tests put a recorder in its place.
class DaemonLink
{
public:
    virtual ~DaemonLink() = default;

    virtual StatusObject &status() = 0;

    virtual bool publish(const QString &topic, const QString &payload) = 0;
    virtual void startConnection(const QString &host, int port) = 0;
    virtual bool sendSerialSetup(const PortSettings &settings) = 0;
    virtual bool sendBoardConfigs(const BoardConf &conf) = 0;
    virtual bool requestRefresh() = 0;
    virtual bool requestBoardUpdate(bool eraseAll) = 0;
    virtual SystemMgr::SendResult sendImageFile(const QString &path) = 0;
    // Sends the bytes read from `path` (its checks already passed) with
    // their digest. A link that only sends files reads it again.
    virtual SystemMgr::SendResult sendImageBytes(const QString &path, const QByteArray &bytes)
    {
        Q_UNUSED(bytes);
        return sendImageFile(path);
    }
    // Whether the link to the broker stands; a link that cannot tell says
    // yes and leaves the silence of the daemon to tell.
    virtual bool brokerConnected() { return true; }
    // The private broker's socket in use; empty for the TCP broker.
    virtual QString brokerSocket() const { return QString(); }
};

// The daemon reached through the front end's SystemMgr.
class SystemMgrLink final : public DaemonLink
{
public:
    explicit SystemMgrLink(SystemMgr &systemMgr)
        : m_systemMgr(systemMgr)
    {}

    StatusObject &status() override;
    bool publish(const QString &topic, const QString &payload) override;
    void startConnection(const QString &host, int port) override;
    bool sendSerialSetup(const PortSettings &settings) override;
    bool sendBoardConfigs(const BoardConf &conf) override;
    bool requestRefresh() override;
    bool requestBoardUpdate(bool eraseAll) override;
    SystemMgr::SendResult sendImageFile(const QString &path) override;
    SystemMgr::SendResult sendImageBytes(const QString &path, const QByteArray &bytes) override;
    bool brokerConnected() override;
    QString brokerSocket() const override;

private:
    SystemMgr &m_systemMgr;
};

} // namespace frontend
