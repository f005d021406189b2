#include "frontend/library/libraryimagegate.h"

#include "frontend/library/firmwarelibrary.h"
#include "frontend/library/signaturecheck.h"

namespace frontend {

LibraryImageGate::LibraryImageGate()
    : LibraryImageGate(FirmwareLibrary::defaultFolders(), TrustedKeys::defaultFolders())
{}

LibraryImageGate::LibraryImageGate(const QList<LibraryFolder> &folders,
                                   const QList<KeyFolder> &keyFolders)
    : m_folders(folders)
    , m_keyFolders(keyFolders)
{}

ImageVetting LibraryImageGate::vet(const QString &path, QByteArrayView bytes)
{
    const SignatureCheck check =
        SignatureCheck::check(path, bytes, TrustedKeys::load(m_keyFolders));
    ImageVetting vetting;
    vetting.signatureText = check.infoLine();
    vetting.signatureKeyId = check.keyId;
    vetting.signedAt = check.signedAt;
    vetting.signatureReason = check.reason();
    vetting.origin.fromLibrary = FirmwareLibrary::contains(m_folders, path);
    vetting.origin.signature = check.state;
    vetting.origin.signer = check.keyName;
    if (m_signedOnly && !check.isSigned()) {
        vetting.allowed = false;
        vetting.refusal = check.refusal();
    }
    return vetting;
}

} // namespace frontend
