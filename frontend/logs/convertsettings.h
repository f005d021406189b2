#pragma once

#include "frontend/logs/formulaevaluator.h"

#include <QString>

// How a raw setting value from a short log becomes the value the technician
// reads. The raw value is hexadecimal as the board writes it.
namespace settingconv {

// The raw text as a 32-bit signed hexadecimal number; 0 when it does not read.
qint32 readRaw(const QString &raw);

// The formula with every lower-case x replaced by the decimal raw value,
// also inside longer words ("Math.max(x,5)" becomes "Math.ma10(10,5)").
QString formulaProgram(const QString &formula, const QString &raw);

// "PAR": the program above evaluated as ECMAScript; numbers print by its
// rules (250/10 -> "25", 251/10 -> "25.1"). A failing formula yields the
// error text, one that runs too long or too big the evaluator's texts.
QString formulaValue(const QString &formula, const QString &raw, FormulaEvaluator &evaluator);
// The same with an evaluator of its own; slow, for single values.
QString formulaValue(const QString &formula, const QString &raw);
// "PAR_2_COMP": the low byte as a signed number with its sign, "+0" .. "-1".
QString signedByteValue(const QString &raw);
// "PAR_ENUM" and "FLAG": "key=text" entries joined by "*"; the text of the
// entry whose key is the decimal value, else the decimal value itself.
QString enumValue(const QString &enumeration, const QString &raw);

// True for the type whose value comes from a formula ("PAR").
bool usesFormula(const QString &type);

// Dispatches on the parameter type. A type the program does not know still
// yields one text: the raw value marked as hexadecimal, which never gets a
// unit appended in the table.
QString convert(const QString &type, const QString &formula, const QString &raw,
                FormulaEvaluator &evaluator);
QString convert(const QString &type, const QString &formula, const QString &raw);

} // namespace settingconv
