#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Text of the result tables outside the widgets: how two cells order when a
// column is sorted, and the tables as text for the clipboard.

// Negative, zero or positive as `a` sorts before, with or after `b`. A cell
// that is a number, alone or followed by a unit ("30 s", "-5 %", "1.5 V"),
// sorts by its value and before any text; texts sort as the locale does,
// and the raw hexadecimal values ("0x1A") by their value.
int compareCellTexts(const QString &a, const QString &b);

// One line per row, cells separated by tabs, as a spreadsheet pastes it.
// Tabs and line breaks inside a cell become blanks so they cannot split it.
QString tabSeparated(const QList<QStringList> &rows);
