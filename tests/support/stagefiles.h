#pragma once

#include "common/datafolder.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QtGlobal>

// What the end-to-end tests of the update share: the staged program folder
// (VELMO_STAGE_DIR, set by the test rules), its sample firmware, and the
// preferences file the window and velmo-flash start with.

inline QString stageDir()
{
    return qEnvironmentVariable("VELMO_STAGE_DIR");
}

inline QString sampleFirmware(const QString &name)
{
    return stageDir() + QStringLiteral("/firmware/") + name;
}

inline QString md5Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex());
}

inline QString preferencesPath()
{
    return velmo::dataFolderPath() + QStringLiteral("/VelmoFrontEnd.ini");
}

// The stored preferences a program starts with: the board's port and the
// test's broker.
inline void writePreferences(const QString &port, int brokerPort)
{
    velmo::ensureDataFolder();
    QSettings prefs(preferencesPath(), QSettings::IniFormat);
    prefs.clear();
    prefs.setValue(QStringLiteral("serial/com"), port);
    prefs.setValue(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
    prefs.setValue(QStringLiteral("mqtt/port"), brokerPort);
    prefs.sync();
}
