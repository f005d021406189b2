#pragma once

#include "frontend/cli/flashoptions.h"

#include <QCoreApplication>

class ConsoleOutput;

// velmo-flash --history: the service record as a table or CSV, with the
// same filters as the service-record window. Returns the exit status.
class HistoryCommand
{
    Q_DECLARE_TR_FUNCTIONS(HistoryCommand)

public:
    // `databasePath` empty: the per-user service record.
    static int run(const FlashOptions &options, ConsoleOutput &output,
                   const QString &databasePath = QString());
};
