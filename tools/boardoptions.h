#pragma once

#include "tools/boardmodel.h"

#include <QString>

class QCommandLineParser;

namespace boardsim {

struct SimOptions
{
    BoardConfig board;
    QString dumpPath;
    QString loadPath;
    bool verbose = false;
};

// Declares every option of velmo-board-sim, with the texts of --help.
void addOptions(QCommandLineParser &parser);

// Reads the parsed options; false with a message for a value a technician
// most likely mistyped (an id above 0xffff, a negative size, ...).
bool readOptions(const QCommandLineParser &parser, SimOptions *options, QString *error);

} // namespace boardsim
