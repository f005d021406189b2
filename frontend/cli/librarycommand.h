#pragma once

#include "frontend/cli/flashoptions.h"
#include "frontend/library/libraryindex.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QString>

class ConsoleOutput;

// velmo-flash --library and --add: the firmware library without a daemon.
class LibraryCommand
{
    Q_DECLARE_TR_FUNCTIONS(LibraryCommand)

public:
    // Lists `input`'s library, newest first; with --board only the files
    // for that board, each with whether it can be flashed on it.
    // `recordPath`: the service record (the default one when empty).
    static int list(const FlashOptions &options, bool signedOnly, ConsoleOutput &output,
                    const frontend::LibraryScanInput &input, const QString &recordPath = {});
    // Copies options.file into `folder` and says what it is.
    static int add(const FlashOptions &options, ConsoleOutput &output, const QString &folder,
                   const frontend::LibraryScanInput &input);

    // The "signature" object of the JSON events.
    static QJsonObject signatureJson(const frontend::SignatureCheck &check);
    static QJsonObject signatureJson(records::SignatureState state, const QString &key,
                                     const QString &keyId, const QDateTime &signedAt,
                                     const QString &reason);
};
