#include "frontend/logs/skippedvalues.h"

#include <QStringList>

#include <numeric>

namespace {
const QString kCutMark = QStringLiteral(" [\u2026]");
} // namespace

void SkippedValues::add(Kind kind, qint64 line, const QString &code, const QByteArray &raw)
{
    ++m_counts[std::size_t(kind)];
    if (m_entries.size() < kMaxListed)
        m_entries.append({kind, line, code, visible(raw)});
}

void SkippedValues::add(Kind kind, qint64 line, const QString &code, const QString &raw)
{
    ++m_counts[std::size_t(kind)];
    if (m_entries.size() < kMaxListed)
        m_entries.append({kind, line, code,
                          raw.size() > kMaxRawChars ? raw.left(kMaxRawChars) + kCutMark : raw});
}

int SkippedValues::total() const
{
    return std::accumulate(m_counts.cbegin(), m_counts.cend(), 0);
}

QString SkippedValues::kindText(Kind kind)
{
    switch (kind) {
    case Kind::UnreadableTime:
        return tr("TIME value that is not a number");
    case Kind::PhantomRun:
        return tr("EVENT NUMBER without a number");
    case Kind::UnknownSetting:
        return tr("Setting not in the lookup database");
    case Kind::LongLine:
        return tr("Line cut for display");
    case Kind::TooManyTexts:
        return tr("Text beyond the rows a graph can show");
    case Kind::Count:
        break;
    }
    return QString();
}

// The heading of a count ("TIME values that are not numbers: 3").
QString SkippedValues::pluralText(Kind kind)
{
    switch (kind) {
    case Kind::UnreadableTime:
        return tr("TIME values that are not numbers");
    case Kind::PhantomRun:
        return tr("EVENT NUMBER lines without a number");
    case Kind::UnknownSetting:
        return tr("settings not in the lookup database");
    case Kind::LongLine:
        return tr("lines cut for display");
    case Kind::TooManyTexts:
        return tr("lines beyond the rows a graph can show");
    case Kind::Count:
        break;
    }
    return QString();
}

QString SkippedValues::summary() const
{
    QStringList parts;
    for (int kind = 0; kind < int(Kind::Count); ++kind) {
        if (const int n = count(Kind(kind)))
            parts.append(tr("%1: %2").arg(pluralText(Kind(kind))).arg(n));
    }
    return parts.join(QStringLiteral(", "));
}

QString SkippedValues::visible(const QByteArray &raw)
{
    QString text;
    const qsizetype shown = std::min<qsizetype>(raw.size(), kMaxRawChars);
    text.reserve(shown + int(kCutMark.size()));
    for (qsizetype i = 0; i < shown; ++i) {
        const uchar c = uchar(raw.at(i));
        if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0))
            text += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        else
            text += QChar(c);
    }
    if (raw.size() > shown)
        text += kCutMark;
    return text;
}
