#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// minisign's public key and signature files, read here and checked with
// libsodium's Ed25519 and BLAKE2b: a service organisation signs with the
// minisign tool itself, nothing of ours.
//
//   key file:        "untrusted comment: ..."
//                    base64("Ed" + key id (8) + public key (32))
//   signature file:  "untrusted comment: ..."
//                    base64(algorithm (2) + key id (8) + signature (64))
//                    "trusted comment: " + text
//                    base64(signature (64) over the signature and the text)
//
// Algorithm "Ed" signs the file itself, "ED" (minisign's default) its
// BLAKE2b-512 digest.
namespace minisign {

// Neither file is ever larger; anything bigger is not one. minisign's own
// limit on a comment is 1 KiB.
inline constexpr qsizetype kMaxKeyFileBytes = 4096;
inline constexpr qsizetype kMaxSignatureFileBytes = 8192;

inline constexpr int kKeyIdBytes = 8;
inline constexpr int kPublicKeyBytes = 32;
inline constexpr int kSignatureBytes = 64;

using KeyId = std::array<std::uint8_t, kKeyIdBytes>;

enum class Algorithm
{
    Legacy,    // "Ed": over the file
    Prehashed, // "ED": over BLAKE2b-512 of the file
};

struct PublicKey
{
    KeyId id{};
    std::array<std::uint8_t, kPublicKeyBytes> key{};
};

struct Signature
{
    Algorithm algorithm = Algorithm::Prehashed;
    KeyId keyId{};
    std::array<std::uint8_t, kSignatureBytes> signature{};
    // The text after "trusted comment: ", as signed.
    QByteArray trustedComment;
    std::array<std::uint8_t, kSignatureBytes> globalSignature{};
};

enum class ParseError
{
    None,
    TooLarge,
    NoUntrustedComment, // line 1 is not "untrusted comment: ..."
    BadBase64,          // line 2 (or 4) is not base64
    WrongLength,        // it decodes to the wrong number of bytes
    UnknownAlgorithm,   // neither "Ed" nor "ED"
    NoTrustedComment,   // line 3 is not "trusted comment: ..."
    MissingLine,
};

// Plain English for diagnostics.
QString describe(ParseError error);

std::optional<PublicKey> parsePublicKey(QByteArrayView text, ParseError *error = nullptr);
std::optional<Signature> parseSignature(QByteArrayView text, ParseError *error = nullptr);

// The key id as minisign prints it: 16 upper-case hex digits, the bytes in
// reverse order ("DFC99238DBDE8E9F").
QString keyIdText(const KeyId &id);

// The "timestamp:" of a trusted comment minisign wrote, in seconds since
// 1970; nothing when it has none.
std::optional<qint64> signedAt(const QByteArray &trustedComment);
// Its "file:" (the name of the file signed); empty when it has none.
QString signedFileName(const QByteArray &trustedComment);

enum class Verdict
{
    Valid,
    CommentNotSigned, // the trusted comment or the signature line was altered
    ContentDiffers,   // sound, but not a signature of these bytes
};

// Checks both signatures with `key`, which the caller chose by the
// signature's key id.
Verdict verify(const Signature &signature, const PublicKey &key, QByteArrayView file);

} // namespace minisign
