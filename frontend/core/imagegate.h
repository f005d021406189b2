#pragma once

#include "records/updaterecord.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

namespace frontend {

// What is known of a file besides its HEX check: where it comes from, who
// signed it, and whether the user's policy lets it reach the board.
struct ImageVetting
{
    bool allowed = true;
    // Why it may not be sent, in the user's words; empty when allowed.
    QString refusal;
    // One line for Hex File Info and velmo-flash: "Signed by acme-service
    // (key 1A2B…), 5 March 2024" or "Unsigned"; empty when not checked.
    QString signatureText;
    // The signature's details for scripts: the key id it names, when it
    // was signed, and why it is refused (empty when it is not).
    QString signatureKeyId;
    QDateTime signedAt;
    QString signatureReason;
    // For the service record.
    records::ImageOrigin origin;
};

// Asked by the workflow before it sends a file that passed the HEX check.
// The firmware library implements it; without one every file goes.
class ImageGate
{
public:
    virtual ~ImageGate() = default;
    // `bytes` are the file's bytes as they will be sent: a signature is
    // checked against exactly those.
    virtual ImageVetting vet(const QString &path, QByteArrayView bytes) = 0;
};

} // namespace frontend
