#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>

// What the library's tests share: the HEX corpus (made by python3-intelhex
// and srec_cat) and the signature fixtures (made by minisign).

inline QString corpusFile(const QString &name)
{
    return QStringLiteral(VELMO_HEX_CORPUS "/") + name;
}

inline QString signingFile(const QString &name)
{
    return QStringLiteral(VELMO_SIGNING_DATA "/") + name;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &bytes,
                      const QDateTime &modified = QDateTime())
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        return false;
    if (modified.isValid() && !file.setFileTime(modified, QFileDevice::FileModificationTime))
        return false;
    return true;
}

// `name` of the corpus (and, when given, a signature fixture beside it as
// name.sig) copied into `folder`.
inline bool placeCorpusFile(const QString &folder, const QString &name,
                            const QString &signature = QString(),
                            const QDateTime &modified = QDateTime())
{
    const QString target = folder + QLatin1Char('/') + name;
    if (!writeFile(target, readAll(corpusFile(name)), modified))
        return false;
    return signature.isEmpty() ||
           writeFile(target + QStringLiteral(".sig"), readAll(signingFile(signature)));
}

// The first data record of a HEX file with its first byte changed and its
// checksum made right again: still a sound file, but not the one signed.
inline QByteArray tampered(const QByteArray &hex)
{
    QList<QByteArray> lines = hex.split('\n');
    for (QByteArray &line : lines) {
        const QByteArray record = line.trimmed();
        if (!record.startsWith(':') || record.mid(7, 2) != "00" || record.size() < 13)
            continue;
        QByteArray bytes = QByteArray::fromHex(record.mid(1));
        bytes[4] = char(quint8(bytes.at(4)) ^ 0x01);
        quint8 sum = 0;
        for (int i = 0; i + 1 < bytes.size(); ++i)
            sum = quint8(sum + quint8(bytes.at(i)));
        bytes[bytes.size() - 1] = char(quint8(-sum));
        line = ':' + bytes.toHex().toUpper() + (line.endsWith('\r') ? "\r" : "");
        break;
    }
    return lines.join('\n');
}
