#include "frontend/library/signaturecheck.h"

#include "frontend/library/safefile.h"

#include <QDebug>
#include <QFileInfo>

namespace frontend {

using records::SignatureState;

namespace {
const QString kDateFormat = QStringLiteral("yyyy-MM-dd HH:mm");
} // namespace

QString SignatureCheck::signaturePath(const QString &filePath)
{
    const QString ours = filePath + QLatin1String(kSuffix);
    // A file signed without -x carries minisign's default name; not seeing it
    // would list a signed file as unsigned.
    if (QFileInfo(ours).exists() || QFileInfo(ours).isSymLink())
        return ours;
    const QString minisigns = filePath + QLatin1String(kMinisignSuffix);
    if (QFileInfo(minisigns).exists() || QFileInfo(minisigns).isSymLink())
        return minisigns;
    return ours;
}

SignatureCheck SignatureCheck::check(const QString &filePath, QByteArrayView bytes,
                                     const TrustedKeys &keys)
{
    const SafeRead read =
        readRegularFile(signaturePath(filePath), minisign::kMaxSignatureFileBytes);
    SignatureCheck result;
    switch (read.status) {
    case SafeRead::Status::Ok:
        return checkText(read.bytes, bytes, keys);
    case SafeRead::Status::Missing:
        return result;
    case SafeRead::Status::TooLarge:
        result.detail = QStringLiteral("larger than any signature");
        break;
    case SafeRead::Status::NotRegular:
        result.detail = QStringLiteral("not a regular file");
        break;
    case SafeRead::Status::NoAccess:
    case SafeRead::Status::Failed:
        result.detail = QStringLiteral("cannot be read: ") + read.error;
        break;
    }
    result.state = SignatureState::Damaged;
    return result;
}

SignatureCheck SignatureCheck::checkText(QByteArrayView signatureText, QByteArrayView bytes,
                                         const TrustedKeys &keys)
{
    SignatureCheck result;
    minisign::ParseError error = minisign::ParseError::None;
    const std::optional<minisign::Signature> signature =
        minisign::parseSignature(signatureText, &error);
    if (!signature) {
        result.state = SignatureState::Damaged;
        result.detail = minisign::describe(error);
        return result;
    }
    result.keyId = minisign::keyIdText(signature->keyId);
    const TrustedKey *key = keys.find(signature->keyId);
    if (!key) {
        result.state = SignatureState::UntrustedKey;
        return result;
    }
    switch (minisign::verify(*signature, key->key, bytes)) {
    case minisign::Verdict::CommentNotSigned:
        result.state = SignatureState::Damaged;
        result.detail = QStringLiteral("the global signature does not match: the signature file "
                                       "was altered");
        return result;
    case minisign::Verdict::ContentDiffers:
        result.state = SignatureState::OtherFile;
        break;
    case minisign::Verdict::Valid:
        result.state = SignatureState::Signed;
        result.keyName = key->name;
        break;
    }
    // The trusted comment is known to be the signer's from here on.
    if (const std::optional<qint64> at = minisign::signedAt(signature->trustedComment))
        result.signedAt = QDateTime::fromSecsSinceEpoch(*at);
    result.signedFile = minisign::signedFileName(signature->trustedComment);
    return result;
}

QString SignatureCheck::shortText() const
{
    switch (state) {
    case SignatureState::Unknown:
        break;
    case SignatureState::Unsigned:
        return tr("unsigned");
    case SignatureState::Signed:
        return tr("signed by %1").arg(keyName);
    case SignatureState::Damaged:
        return tr("damaged signature");
    case SignatureState::OtherFile:
        return tr("signature of another file");
    case SignatureState::UntrustedKey:
        return tr("untrusted key");
    }
    return QString();
}

QString SignatureCheck::reason() const
{
    switch (state) {
    case SignatureState::Unknown:
    case SignatureState::Unsigned:
    case SignatureState::Signed:
        break;
    case SignatureState::Damaged:
        return tr("its signature file is damaged");
    case SignatureState::OtherFile:
        if (!signedFile.isEmpty())
            return tr("its signature is for another file (%1), or the file was changed after "
                      "signing")
                .arg(signedFile);
        return tr("its signature is for another file, or the file was changed after signing");
    case SignatureState::UntrustedKey:
        return tr("it is signed with key %1, which is not a trusted key").arg(keyId);
    }
    return QString();
}

QString SignatureCheck::infoLine() const
{
    switch (state) {
    case SignatureState::Unknown:
        return QString();
    case SignatureState::Unsigned:
        return tr("Signature: none (unsigned)");
    case SignatureState::Signed:
        if (signedAt.isValid())
            return tr("Signature: signed by %1 (key %2), %3")
                .arg(keyName, keyId, signedAt.toString(kDateFormat));
        return tr("Signature: signed by %1 (key %2)").arg(keyName, keyId);
    case SignatureState::Damaged:
    case SignatureState::OtherFile:
    case SignatureState::UntrustedKey:
        break;
    }
    return tr("Signature refused: %1").arg(reason());
}

QString SignatureCheck::refusal() const
{
    const QString why = state == SignatureState::Unsigned ? tr("the file is not signed") : reason();
    return tr("%1; only files signed with a trusted key may be flashed (Setup, Configure: Only "
              "flash signed files)")
        .arg(why);
}

} // namespace frontend
