#pragma once

#include <QString>

struct ShortLogData;

// Writes a short log's record (the four tables, raw values and all) into a
// workbook at `path`, or with no path a new file in the exports folder, and
// hands it to the desktop. False when no workbook was written; `writtenPath`
// gets the file that was.
bool exportToExcel(const ShortLogData &data, const QString &path = QString(),
                   QString *writtenPath = nullptr);
