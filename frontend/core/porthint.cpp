#include "frontend/core/porthint.h"

#include "protocol/porterror.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// The user reads these texts in the main window: they keep its translation
// context, "MainWindow".
namespace frontend {

namespace {

// The group serial devices belong to on Debian and most other systems.
const QString kUsualGroup = QStringLiteral("dialout");

QString currentUserName()
{
    if (const passwd *pw = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

bool sessionCarries(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    QList<gid_t> groups(count);
    const int got = ::getgroups(count, groups.data());
    return got > 0 && groups.first(got).contains(gid);
}

bool databaseListsUser(gid_t gid, const QString &user)
{
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_gid == gid)
        return true;
    const group *gr = ::getgrgid(gid);
    if (!gr || !gr->gr_mem)
        return false;
    for (char **member = gr->gr_mem; *member; ++member)
        if (QString::fromLocal8Bit(*member) == user)
            return true;
    return false;
}

} // namespace

QString devicePath(const QString &portName)
{
    if (portName.startsWith(QLatin1Char('/')))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

PortAccess probePortAccess(const QString &path)
{
    PortAccess access;
    access.user = currentUserName();
    const QByteArray native = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(native.constData(), &st) != 0)
        return access;
    access.exists = true;
    access.accessible = ::access(native.constData(), R_OK | W_OK) == 0;
    if (const group *gr = ::getgrgid(st.st_gid))
        access.group = QString::fromLocal8Bit(gr->gr_name);
    access.sessionHasGroup = sessionCarries(st.st_gid);
    access.userInGroup = databaseListsUser(st.st_gid, access.user);
    return access;
}

QString portErrorHint(const QString &daemonText, const QString &portName, const PortAccess &access)
{
    using protocol::PortErrorCode;
    const QString path = devicePath(portName);
    const QString unplugged = QCoreApplication::translate(
        "MainWindow",
        "The USB adapter is unplugged, or the port name is wrong: plug the adapter in, "
        "then choose the port in Setup > Configure.");
    const QString wentAway =
        QCoreApplication::translate("MainWindow", "%1 went away: the USB adapter was unplugged or "
                                                  "lost power. Plug it in again and connect.")
            .arg(path);
    if (isPortLostText(daemonText))
        return wentAway;
    const std::optional<PortErrorCode> code = protocol::portErrorCodeOf(daemonText);
    if (!code)
        return QString();

    switch (*code) {
    case PortErrorCode::DeviceNotFound:
        return QCoreApplication::translate("MainWindow", "%1 does not exist.").arg(path) +
               QLatin1Char(' ') + unplugged;
    case PortErrorCode::Permission:
        if (!access.exists)
            return QCoreApplication::translate("MainWindow", "%1 does not exist.").arg(path) +
                   QLatin1Char(' ') + unplugged;
        if (!access.accessible) {
            const QString group = access.group.isEmpty() ? kUsualGroup : access.group;
            if (access.userInGroup && !access.sessionHasGroup)
                return QCoreApplication::translate(
                           "MainWindow",
                           "Your user is in the group \"%1\" that owns %2, but this session "
                           "started before: log out and in again.")
                    .arg(group, path);
            return QCoreApplication::translate(
                       "MainWindow",
                       "Your user may not open %1, which belongs to the group \"%2\". Add the "
                       "user to that group (sudo adduser %3 %2), then log out and in again.")
                .arg(path, group, access.user.isEmpty() ? QStringLiteral("$USER") : access.user);
        }
        // Allowed, yet refused: the port is in use.
        [[fallthrough]];
    case PortErrorCode::Open:
        return QCoreApplication::translate(
                   "MainWindow",
                   "Another program holds %1 (a terminal program, a modem manager or a second "
                   "copy of this tool). Close it and connect again.")
            .arg(path);
    default:
        return QString();
    }
}

bool isPortLostText(const QString &daemonText)
{
    const std::optional<protocol::PortErrorCode> code = protocol::portErrorCodeOf(daemonText);
    // The daemon's word for a device that went away while open.
    if (!code)
        return daemonText.contains(QLatin1String("disconnected"));
    return *code == protocol::PortErrorCode::Resource;
}

} // namespace frontend
