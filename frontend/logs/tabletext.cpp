#include "frontend/logs/tabletext.h"

#include <QRegularExpression>

#include <optional>

namespace {
std::optional<double> leadingNumber(const QString &text)
{
    static const QRegularExpression kNumber(
        QStringLiteral("^\\s*([-+]?(?:\\d+(?:\\.\\d*)?|\\.\\d+))(?:\\s.*)?$"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression kHex(QStringLiteral("^\\s*0[xX]([0-9A-Fa-f]+)\\s*$"));
    const QRegularExpressionMatch number = kNumber.match(text);
    if (number.hasMatch())
        return number.captured(1).toDouble();
    const QRegularExpressionMatch hex = kHex.match(text);
    bool ok = false;
    const qulonglong value = hex.hasMatch() ? hex.captured(1).toULongLong(&ok, 16) : 0;
    if (ok)
        return double(value);
    return std::nullopt;
}

QString flattened(QString cell)
{
    for (QChar &c : cell) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return cell;
}
} // namespace

int compareCellTexts(const QString &a, const QString &b)
{
    const std::optional<double> x = leadingNumber(a);
    const std::optional<double> y = leadingNumber(b);
    if (x && y) {
        if (*x != *y)
            return *x < *y ? -1 : 1;
    } else if (x || y) {
        return x ? -1 : 1;
    }
    const int byLocale = QString::localeAwareCompare(a, b);
    return byLocale != 0 ? byLocale : QString::compare(a, b);
}

QString tabSeparated(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        QStringList cells;
        cells.reserve(row.size());
        for (const QString &cell : row)
            cells.append(flattened(cell));
        text += cells.join(QLatin1Char('\t'));
        text += QLatin1Char('\n');
    }
    return text;
}
