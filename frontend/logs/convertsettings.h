#pragma once

#include <QString>

// How a raw setting value from a short log becomes the value the technician
// reads. The raw value is hexadecimal as the board writes it.
namespace settingconv {

// The raw text as a 32-bit signed hexadecimal number; 0 when it does not read.
qint32 readRaw(const QString &raw);

// "PAR": every lower-case x of the formula becomes the decimal value, and
// the result is evaluated as ECMAScript; numbers print by its rules
// (250/10 -> "25", 251/10 -> "25.1"). A failing formula yields the error text.
QString formulaValue(const QString &formula, const QString &raw);
// "PAR_2_COMP": the low byte as a signed number with its sign, "+0" .. "-1".
QString signedByteValue(const QString &raw);
// "PAR_ENUM" and "FLAG": "key=text" entries joined by "*"; the text of the
// entry whose key is the decimal value, else the decimal value itself.
QString enumValue(const QString &enumeration, const QString &raw);

// Dispatches on the parameter type. A type the program does not know still
// yields one text: the raw value marked as hexadecimal, which never gets a
// unit appended in the table.
QString convert(const QString &type, const QString &formula, const QString &raw);

} // namespace settingconv
