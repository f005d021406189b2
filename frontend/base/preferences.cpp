#include "frontend/base/preferences.h"

#include "common/brokerchoice.h"
#include "common/datafolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <initializer_list>

namespace frontend {

namespace {

constexpr int kOpenBaudRate = 9600;
constexpr int kMaxTcpPort = 65535;

// The dialog keeps each value in a choice list and sends the chosen item's
// code; a stored value that is in no list selects nothing and goes out as 0.
int listed(int value, std::initializer_list<int> choices)
{
    for (const int choice : choices) {
        if (choice == value)
            return value;
    }
    return 0;
}

int readInt(const QSettings &settings, const char *key, int fallback)
{
    // An unreadable number is 0, as the dialog's conversion gives.
    return settings.value(QLatin1String(key), fallback).toInt();
}

} // namespace

QString StoredPreferences::defaultPath()
{
    return velmo::preferencesFilePath();
}

StoredPreferences StoredPreferences::read(const QString &path)
{
    StoredPreferences prefs;
    const QSettings settings(path, QSettings::IniFormat);
    protocol::SerialSettings &port = prefs.serial;
    port.portName = settings.value(QLatin1String(kPortKey)).toString();
    port.baudRate = kOpenBaudRate;
    port.dataBits = listed(readInt(settings, kDataBitsKey, 8), {5, 6, 7, 8});
    port.parity = listed(readInt(settings, kParityKey, 0), {0, 2, 3, 4, 5});
    port.stopBits = listed(readInt(settings, kStopBitsKey, 1), {1, 2, 3});
    port.flowControl = listed(readInt(settings, kFlowControlKey, 0), {0, 1, 2});
    // A blank host or a port no socket can have would only fail later, and
    // as a missing broker: the defaults are what the dialog shows then.
    const QString host = settings.value(QLatin1String(kHostKey)).toString().trimmed();
    if (!host.isEmpty())
        prefs.brokerHost = host;
    const int brokerPort = readInt(settings, kBrokerPortKey, kDefaultBrokerPort);
    if (brokerPort >= 1 && brokerPort <= kMaxTcpPort)
        prefs.brokerPort = brokerPort;
    prefs.verifyAfterWriting = settings.value(QLatin1String(kVerifyKey), true).toBool();
    prefs.privateBroker = velmo::privateBrokerChosen(path);
    prefs.onlySignedFiles = settings.value(QLatin1String(kOnlySignedKey), false).toBool();
    return prefs;
}

QString dialogStartFolder(DialogFolder kind, const QString &fallback, const QString &path)
{
    const QSettings settings(path, QSettings::IniFormat);
    const char *key = kind == DialogFolder::Open ? StoredPreferences::kOpenFolderKey
                                                 : StoredPreferences::kSaveFolderKey;
    const QString folder = settings.value(QLatin1String(key)).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return fallback.isEmpty() ? QDir::homePath() : fallback;
}

void rememberDialogFolder(DialogFolder kind, const QString &chosenFile, const QString &path)
{
    if (chosenFile.isEmpty())
        return;
    velmo::ensureDataFolder();
    QSettings settings(path, QSettings::IniFormat);
    const char *key = kind == DialogFolder::Open ? StoredPreferences::kOpenFolderKey
                                                 : StoredPreferences::kSaveFolderKey;
    settings.setValue(QLatin1String(key), QFileInfo(chosenFile).absolutePath());
}

} // namespace frontend
