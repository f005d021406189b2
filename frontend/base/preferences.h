#pragma once

#include "common/brokerchoice.h"
#include "protocol/payloads.h"

#include <QString>

namespace frontend {

// The front end's stored serial and broker settings, read without the
// settings dialog: what the window would send after loading them, for
// programs that have no window. Nothing is written; a missing file or key
// gives the dialog's default.
struct StoredPreferences
{
    static constexpr const char *kFileName = "VelmoFrontEnd.ini";
    static constexpr const char *kDefaultHost = "127.0.0.1";
    static constexpr int kDefaultBrokerPort = 1883;

    // Keys of the settings dialog, spelled as it writes them ("flowcontol"
    // included). The baud rate under "serial/ssid" is never read back: the
    // port always opens at 9600 and the boot loader switches speed itself.
    static constexpr const char *kPortKey = "serial/com";
    static constexpr const char *kBaudKey = "serial/ssid";
    static constexpr const char *kDataBitsKey = "serial/databits";
    static constexpr const char *kParityKey = "serial/parity";
    static constexpr const char *kStopBitsKey = "serial/stopbits";
    static constexpr const char *kFlowControlKey = "serial/flowcontol";
    static constexpr const char *kHostKey = "mqtt/host";
    static constexpr const char *kBrokerPortKey = "mqtt/port";
    static constexpr const char *kPrivateBrokerKey = velmo::kPrivateBrokerKey;

    // The window reads the board back after writing unless this is false.
    static constexpr const char *kVerifyKey = "update/verify";
    // Files without a valid signature of a trusted key are refused before
    // sending when this is true ("Only flash signed files"; off unless set).
    static constexpr const char *kOnlySignedKey = "update/only-signed";

    // Folders the window's file dialogs start in: the last one a file was
    // opened from, and the last one a file was saved into.
    static constexpr const char *kOpenFolderKey = "dialogs/openfolder";
    static constexpr const char *kSaveFolderKey = "dialogs/savefolder";

    protocol::SerialSettings serial;
    QString brokerHost = QString::fromLatin1(kDefaultHost);
    int brokerPort = kDefaultBrokerPort;
    bool verifyAfterWriting = true;
    // The private broker, when the launcher started one (see brokerchoice.h).
    bool privateBroker = true;
    bool onlySignedFiles = false;

    // The file in the per-user data folder.
    static QString defaultPath();
    static StoredPreferences read(const QString &path = defaultPath());
};

enum class DialogFolder
{
    Open,
    Save
};

// Where a file dialog starts: the folder remembered for its kind when it
// still exists, else `fallback` (the home folder when that is empty).
QString dialogStartFolder(DialogFolder kind, const QString &fallback = QString(),
                          const QString &path = StoredPreferences::defaultPath());
// Remembers the folder of `chosenFile` for the next dialog of its kind.
void rememberDialogFolder(DialogFolder kind, const QString &chosenFile,
                          const QString &path = StoredPreferences::defaultPath());

} // namespace frontend
