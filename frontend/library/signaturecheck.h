#pragma once

#include "frontend/library/trustedkeys.h"
#include "records/updaterecord.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QDateTime>
#include <QString>

namespace frontend {

// What the detached signature beside a firmware file says about it:
// FILE.hex.sig, in minisign's format, checked against the trusted keys.
struct SignatureCheck
{
    Q_DECLARE_TR_FUNCTIONS(SignatureCheck)

public:
    static constexpr const char *kSuffix = ".sig";
    // What minisign names a signature when not told otherwise.
    static constexpr const char *kMinisignSuffix = ".minisig";

    records::SignatureState state = records::SignatureState::Unsigned;
    QString keyName;    // Signed: the trusted key's name
    QString keyId;      // as minisign prints it, when the signature names one
    QDateTime signedAt; // from the trusted comment, when it tells
    QString signedFile; // the name the trusted comment gives, if any
    QString detail;     // Damaged: what is wrong, for diagnostics

    bool isSigned() const { return state == records::SignatureState::Signed; }

    // "FILE.hex.sig", or "FILE.hex.minisig" when only that one is there;
    // copies into the library are always named "FILE.hex.sig".
    static QString signaturePath(const QString &filePath);

    // Reads the signature beside `filePath` (never more than a signature
    // can be) and checks it against `bytes`, the file as it will be sent.
    static SignatureCheck check(const QString &filePath, QByteArrayView bytes,
                                const TrustedKeys &keys);
    // The same for a signature file's text already read.
    static SignatureCheck checkText(QByteArrayView signatureText, QByteArrayView bytes,
                                    const TrustedKeys &keys);

    // For lists: "signed by acme-service", "unsigned", "damaged signature",
    // "signature of another file", "untrusted key".
    QString shortText() const;
    // Why the signature is refused, in the user's words; empty when it is
    // not (signed, or unsigned).
    QString reason() const;
    // One line for Hex File Info and velmo-flash: "Signature: signed by
    // acme-service (key DFC99238DBDE8E9F), 2024-03-05 10:22", "Signature:
    // none", "Signature refused: ...".
    QString infoLine() const;
    // Why the "only signed files" setting refuses the file.
    QString refusal() const;
};

} // namespace frontend
