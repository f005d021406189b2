#include "frontend/logs/convertsettings.h"

#include <limits>

namespace settingconv {

qint32 readRaw(const QString &raw)
{
    QString text = raw.trimmed();
    bool negative = false;
    if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
        negative = text.startsWith(QLatin1Char('-'));
        text.remove(0, 1);
    }
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text.remove(0, 2);
    bool ok = false;
    const qlonglong magnitude = text.toLongLong(&ok, 16);
    if (!ok || text.isEmpty())
        return 0;
    const qlonglong value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        return 0;
    return static_cast<qint32>(value);
}

QString formulaProgram(const QString &formula, const QString &raw)
{
    QString program = formula;
    program.replace(QLatin1Char('x'), QString::number(readRaw(raw)));
    return program;
}

QString formulaValue(const QString &formula, const QString &raw, FormulaEvaluator &evaluator)
{
    return evaluator.evaluate(formulaProgram(formula, raw));
}

QString formulaValue(const QString &formula, const QString &raw)
{
    FormulaEvaluator evaluator;
    return formulaValue(formula, raw, evaluator);
}

QString signedByteValue(const QString &raw)
{
    const int byte = static_cast<int>(static_cast<quint32>(readRaw(raw)) & 0xFFu);
    if (byte & 0x80)
        return QLatin1Char('-') + QString::number(256 - byte);
    return QLatin1Char('+') + QString::number(byte);
}

QString enumValue(const QString &enumeration, const QString &raw)
{
    const QString value = QString::number(readRaw(raw));
    const QStringList pieces = enumeration.split(QLatin1Char('*'));
    for (const QString &piece : pieces) {
        // A piece without "=" names no text, so it cannot describe a value.
        const int equals = piece.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        if (piece.left(equals) == value)
            return piece.section(QLatin1Char('='), 1, 1);
    }
    return value;
}

bool usesFormula(const QString &type)
{
    return type == QLatin1String("PAR");
}

namespace {
QString withoutFormula(const QString &type, const QString &formula, const QString &raw)
{
    if (type == QLatin1String("PAR_2_COMP"))
        return signedByteValue(raw);
    if (type == QLatin1String("PAR_ENUM") || type == QLatin1String("FLAG"))
        return enumValue(formula, raw);
    return QStringLiteral("0x") + raw.trimmed();
}
} // namespace

QString convert(const QString &type, const QString &formula, const QString &raw,
                FormulaEvaluator &evaluator)
{
    return usesFormula(type) ? formulaValue(formula, raw, evaluator)
                             : withoutFormula(type, formula, raw);
}

QString convert(const QString &type, const QString &formula, const QString &raw)
{
    return usesFormula(type) ? formulaValue(formula, raw) : withoutFormula(type, formula, raw);
}

} // namespace settingconv
