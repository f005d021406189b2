// libFuzzer target: minisign's signature and public key files as the
// firmware library reads them (FILE.hex.sig, KEY-NAME.pub). The input is
// read as both; what parses is written back in minisign's form and must
// read the same again; no key from the input itself, and no key at all,
// ever makes a signature count as trusted.
#include "frontend/library/minisign.h"
#include "frontend/library/signaturecheck.h"
#include "frontend/library/trustedkeys.h"
#include "fuzz/fuzzsupport.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using fuzzsupport::check;

namespace {

QByteArray bytesOf(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

template <std::size_t N> QByteArray raw(const std::array<std::uint8_t, N> &a)
{
    return QByteArray(reinterpret_cast<const char *>(a.data()), qsizetype(N));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = bytesOf(data, size);

    minisign::ParseError error = minisign::ParseError::None;
    const std::optional<minisign::Signature> signature = minisign::parseSignature(input, &error);
    check(signature.has_value() == (error == minisign::ParseError::None), "signature error");
    if (signature) {
        check(minisign::keyIdText(signature->keyId).size() == 16, "key id text");
        // Written back in minisign's form, it reads the same.
        const QByteArray algorithm =
            signature->algorithm == minisign::Algorithm::Legacy ? "Ed" : "ED";
        const QByteArray again =
            "untrusted comment: again\n" +
            (algorithm + raw(signature->keyId) + raw(signature->signature)).toBase64() +
            "\ntrusted comment: " + signature->trustedComment + "\n" +
            raw(signature->globalSignature).toBase64() + "\n";
        const std::optional<minisign::Signature> reread = minisign::parseSignature(again);
        check(reread && reread->algorithm == signature->algorithm &&
                  reread->keyId == signature->keyId && reread->signature == signature->signature &&
                  reread->trustedComment == signature->trustedComment &&
                  reread->globalSignature == signature->globalSignature,
              "signature round trip");
        minisign::signedAt(signature->trustedComment);
        minisign::signedFileName(signature->trustedComment);
    }

    const std::optional<minisign::PublicKey> key = minisign::parsePublicKey(input, &error);
    if (key) {
        const QByteArray again =
            "untrusted comment: again\n" + ("Ed" + raw(key->id) + raw(key->key)).toBase64() + "\n";
        const std::optional<minisign::PublicKey> reread = minisign::parsePublicKey(again);
        check(reread && reread->id == key->id && reread->key == key->key, "key round trip");
    }

    // Nobody trusted: never signed, whatever the bytes.
    const frontend::SignatureCheck untrusted =
        frontend::SignatureCheck::checkText(input, input, frontend::TrustedKeys());
    check(!untrusted.isSigned(), "signed without a trusted key");
    check(untrusted.state == records::SignatureState::Damaged ||
              untrusted.state == records::SignatureState::UntrustedKey,
          "state without keys");
    check(!untrusted.reason().isEmpty(), "a refusal names its reason");

    // Checked against a key taken from the input: sound or not, no crash.
    if (signature && key)
        minisign::verify(*signature, *key, input);
    return 0;
}
