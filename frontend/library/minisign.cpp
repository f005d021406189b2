#include "frontend/library/minisign.h"

#include <QList>

#include <sodium.h>

#include <cstring>
#include <mutex>

namespace minisign {

namespace {

constexpr QByteArrayView kUntrustedPrefix = "untrusted comment:";
constexpr QByteArrayView kTrustedPrefix = "trusted comment: ";
constexpr int kAlgorithmBytes = 2;
constexpr int kHashBytes = 64; // BLAKE2b-512

// The lines of a small file, without their line ends; blank lines at the end
// are dropped.
QList<QByteArrayView> linesOf(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
    return lines;
}

bool fail(ParseError *error, ParseError what)
{
    if (error)
        *error = what;
    return false;
}

// Strict base64 of exactly `bytes` bytes.
bool decode(QByteArrayView line, qsizetype bytes, QByteArray *out, ParseError *error)
{
    const auto result = QByteArray::fromBase64Encoding(line.trimmed().toByteArray(),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return fail(error, ParseError::BadBase64);
    if (result.decoded.size() != bytes)
        return fail(error, ParseError::WrongLength);
    *out = result.decoded;
    return true;
}

template <std::size_t N>
void copyInto(std::array<std::uint8_t, N> &to, const QByteArray &from, qsizetype offset)
{
    std::memcpy(to.data(), from.constData() + offset, N);
}

bool sodiumReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = ::sodium_init() >= 0; });
    return ready;
}

bool ed25519(const std::array<std::uint8_t, kSignatureBytes> &signature, QByteArrayView message,
             const PublicKey &key)
{
    return ::crypto_sign_verify_detached(
               signature.data(), reinterpret_cast<const unsigned char *>(message.data()),
               static_cast<unsigned long long>(message.size()), key.key.data()) == 0;
}

} // namespace

QString describe(ParseError error)
{
    switch (error) {
    case ParseError::None:
        return QStringLiteral("no error");
    case ParseError::TooLarge:
        return QStringLiteral("larger than any minisign file");
    case ParseError::NoUntrustedComment:
        return QStringLiteral("line 1 is not an untrusted comment");
    case ParseError::BadBase64:
        return QStringLiteral("a line that should be base64 is not");
    case ParseError::WrongLength:
        return QStringLiteral("a base64 line has the wrong length");
    case ParseError::UnknownAlgorithm:
        return QStringLiteral("unknown signature algorithm");
    case ParseError::NoTrustedComment:
        return QStringLiteral("line 3 is not a trusted comment");
    case ParseError::MissingLine:
        return QStringLiteral("lines are missing");
    }
    return QString();
}

std::optional<PublicKey> parsePublicKey(QByteArrayView text, ParseError *error)
{
    if (error)
        *error = ParseError::None;
    if (text.size() > kMaxKeyFileBytes) {
        fail(error, ParseError::TooLarge);
        return std::nullopt;
    }
    const QList<QByteArrayView> lines = linesOf(text);
    if (lines.size() < 2) {
        fail(error, lines.isEmpty() || !lines.constFirst().startsWith(kUntrustedPrefix)
                        ? ParseError::NoUntrustedComment
                        : ParseError::MissingLine);
        return std::nullopt;
    }
    if (!lines.at(0).startsWith(kUntrustedPrefix)) {
        fail(error, ParseError::NoUntrustedComment);
        return std::nullopt;
    }
    QByteArray raw;
    if (!decode(lines.at(1), kAlgorithmBytes + kKeyIdBytes + kPublicKeyBytes, &raw, error))
        return std::nullopt;
    if (!raw.startsWith("Ed")) {
        fail(error, ParseError::UnknownAlgorithm);
        return std::nullopt;
    }
    PublicKey key;
    copyInto(key.id, raw, kAlgorithmBytes);
    copyInto(key.key, raw, kAlgorithmBytes + kKeyIdBytes);
    return key;
}

std::optional<Signature> parseSignature(QByteArrayView text, ParseError *error)
{
    if (error)
        *error = ParseError::None;
    if (text.size() > kMaxSignatureFileBytes) {
        fail(error, ParseError::TooLarge);
        return std::nullopt;
    }
    const QList<QByteArrayView> lines = linesOf(text);
    if (lines.isEmpty() || !lines.at(0).startsWith(kUntrustedPrefix)) {
        fail(error, ParseError::NoUntrustedComment);
        return std::nullopt;
    }
    if (lines.size() < 4) {
        fail(error, ParseError::MissingLine);
        return std::nullopt;
    }
    QByteArray raw;
    if (!decode(lines.at(1), kAlgorithmBytes + kKeyIdBytes + kSignatureBytes, &raw, error))
        return std::nullopt;
    Signature s;
    if (raw.startsWith("Ed"))
        s.algorithm = Algorithm::Legacy;
    else if (raw.startsWith("ED"))
        s.algorithm = Algorithm::Prehashed;
    else {
        fail(error, ParseError::UnknownAlgorithm);
        return std::nullopt;
    }
    copyInto(s.keyId, raw, kAlgorithmBytes);
    copyInto(s.signature, raw, kAlgorithmBytes + kKeyIdBytes);
    if (!lines.at(2).startsWith(kTrustedPrefix)) {
        fail(error, ParseError::NoTrustedComment);
        return std::nullopt;
    }
    s.trustedComment = lines.at(2).sliced(kTrustedPrefix.size()).toByteArray();
    QByteArray global;
    if (!decode(lines.at(3), kSignatureBytes, &global, error))
        return std::nullopt;
    copyInto(s.globalSignature, global, 0);
    return s;
}

QString keyIdText(const KeyId &id)
{
    QString text;
    for (auto it = id.rbegin(); it != id.rend(); ++it)
        text += QStringLiteral("%1").arg(*it, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

namespace {
QByteArray field(const QByteArray &comment, QByteArrayView name)
{
    for (const QByteArray &part : comment.split('\t')) {
        if (part.startsWith(name))
            return part.sliced(name.size());
    }
    return {};
}
} // namespace

std::optional<qint64> signedAt(const QByteArray &trustedComment)
{
    const QByteArray digits = field(trustedComment, "timestamp:");
    bool ok = false;
    const qint64 seconds = digits.toLongLong(&ok);
    if (!ok || seconds < 0)
        return std::nullopt;
    return seconds;
}

QString signedFileName(const QByteArray &trustedComment)
{
    return QString::fromUtf8(field(trustedComment, "file:"));
}

Verdict verify(const Signature &signature, const PublicKey &key, QByteArrayView file)
{
    if (!sodiumReady())
        return Verdict::CommentNotSigned;
    // The signature line and the trusted comment first: a file cannot be
    // judged by a signature that was itself changed.
    QByteArray global(reinterpret_cast<const char *>(signature.signature.data()), kSignatureBytes);
    global += signature.trustedComment;
    if (!ed25519(signature.globalSignature, global, key))
        return Verdict::CommentNotSigned;

    if (signature.algorithm == Algorithm::Legacy)
        return ed25519(signature.signature, file, key) ? Verdict::Valid : Verdict::ContentDiffers;

    std::array<std::uint8_t, kHashBytes> hash{};
    ::crypto_generichash(hash.data(), hash.size(),
                         reinterpret_cast<const unsigned char *>(file.data()),
                         static_cast<unsigned long long>(file.size()), nullptr, 0);
    const QByteArrayView digest(reinterpret_cast<const char *>(hash.data()), kHashBytes);
    return ed25519(signature.signature, digest, key) ? Verdict::Valid : Verdict::ContentDiffers;
}

} // namespace minisign
