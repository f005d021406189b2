#pragma once

#include "frontend/library/minisign.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

namespace frontend {

// A public key whose signatures are trusted. Its name is its file's name
// without ".pub": keys/acme-service.pub signs as "acme-service".
struct TrustedKey
{
    enum class Source
    {
        System, // shipped with the program: ../keys/
        User    // the user's own: <data folder>/Keys
    };

    QString name;
    QString path;
    Source source = Source::System;
    minisign::PublicKey key;
};

struct KeyFolder
{
    QString path;
    TrustedKey::Source source = TrustedKey::Source::System;
};

// The trusted keys: every minisign public key file (*.pub) in the system
// folder and in the user's folder. A file that is no such key is skipped
// and named in problems(); keys are never written.
class TrustedKeys
{
    Q_DECLARE_TR_FUNCTIONS(TrustedKeys)

public:
    // Beside the program's other data, found as ../configs/ is: the
    // package installs it as /usr/lib/velmo/keys.
    static constexpr const char *kSystemFolder = "../keys/";
    static constexpr const char *kUserFolderName = "Keys";
    static constexpr const char *kKeySuffix = ".pub";

    // <data folder>/Keys
    static QString userFolder();
    static QList<KeyFolder> defaultFolders();

    static TrustedKeys load(const QList<KeyFolder> &folders = defaultFolders());

    // The key with `id`; the system's first when both folders hold it.
    const TrustedKey *find(const minisign::KeyId &id) const;
    const QList<TrustedKey> &keys() const { return m_keys; }
    // One line per key file that could not be used.
    const QStringList &problems() const { return m_problems; }
    // Changes whenever a key is added, removed or changed.
    QByteArray fingerprint() const;

private:
    QList<TrustedKey> m_keys;
    QStringList m_problems;
};

} // namespace frontend
