#include "frontend/library/trustedkeys.h"

#include "common/datafolder.h"
#include "frontend/library/safefile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace frontend {

QString TrustedKeys::userFolder()
{
    return velmo::dataFolderPath() + QLatin1Char('/') + QLatin1String(kUserFolderName);
}

QList<KeyFolder> TrustedKeys::defaultFolders()
{
    return {{QString::fromLatin1(kSystemFolder), TrustedKey::Source::System},
            {userFolder(), TrustedKey::Source::User}};
}

TrustedKeys TrustedKeys::load(const QList<KeyFolder> &folders)
{
    TrustedKeys keys;
    for (const KeyFolder &folder : folders) {
        const QDir dir(folder.path);
        if (!dir.exists())
            continue;
        // Sorted, so the same folders always give the same order.
        const QStringList names =
            dir.entryList({QStringLiteral("*") + QLatin1String(kKeySuffix)},
                          QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
        for (const QString &name : names) {
            const QString path = dir.filePath(name);
            const SafeRead read = readRegularFile(path, minisign::kMaxKeyFileBytes);
            minisign::ParseError error = minisign::ParseError::None;
            const std::optional<minisign::PublicKey> key =
                read.ok() ? minisign::parsePublicKey(read.bytes, &error) : std::nullopt;
            if (!key) {
                keys.m_problems << (read.ok() ? tr("%1 is not a minisign public key file; it is "
                                                   "not used.")
                                              : tr("%1 cannot be read; it is not used."))
                                       .arg(QDir::toNativeSeparators(path));
                continue;
            }
            TrustedKey trusted;
            trusted.name = name.chopped(int(qstrlen(kKeySuffix)));
            trusted.path = path;
            trusted.source = folder.source;
            trusted.key = *key;
            keys.m_keys << trusted;
        }
    }
    return keys;
}

const TrustedKey *TrustedKeys::find(const minisign::KeyId &id) const
{
    const auto it = std::find_if(m_keys.cbegin(), m_keys.cend(),
                                 [&id](const TrustedKey &k) { return k.key.id == id; });
    return it == m_keys.cend() ? nullptr : &*it;
}

QByteArray TrustedKeys::fingerprint() const
{
    QByteArray print;
    for (const TrustedKey &k : m_keys) {
        print += k.name.toUtf8() + '\0';
        print += QByteArray(reinterpret_cast<const char *>(k.key.id.data()), int(k.key.id.size()));
        print +=
            QByteArray(reinterpret_cast<const char *>(k.key.key.data()), int(k.key.key.size()));
    }
    return print;
}

} // namespace frontend
