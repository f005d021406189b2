#pragma once

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include <array>

// What a log held that the program could not use, so the technician is
// told once instead of finding a date or a row silently missing: counted
// in full, listed up to a limit with where it stood and what it said.
class SkippedValues
{
    Q_DECLARE_TR_FUNCTIONS(SkippedValues)
public:
    enum class Kind
    {
        UnreadableTime, // a TIME line whose value is no 32-bit number
        PhantomRun,     // an EVENT NUMBER line without a number: no run starts there
        UnknownSetting, // a #DEVICECONF code the lookup database does not know
        LongLine,       // a line cut for display
        TooManyTexts,   // a text beyond the distinct texts a graph can show
        Count
    };

    struct Entry
    {
        Kind kind = Kind::UnreadableTime;
        qint64 line = 0; // in the file, from 1
        QString code;    // what the value belongs to (the keyword, a setting's code)
        QString raw;     // the value as it stood, shown with control bytes escaped
    };

    // Entries kept for the details; the counts go on beyond.
    static constexpr int kMaxListed = 1000;
    // Characters of a raw value kept for the details.
    static constexpr int kMaxRawChars = 120;

    void add(Kind kind, qint64 line, const QString &code, const QByteArray &raw);
    void add(Kind kind, qint64 line, const QString &code, const QString &raw);
    void clear() { *this = SkippedValues(); }

    int count(Kind kind) const { return m_counts[std::size_t(kind)]; }
    int total() const;
    bool isEmpty() const { return total() == 0; }
    const QVector<Entry> &entries() const { return m_entries; }

    // "TIME values that are not numbers: 2, EVENT NUMBER lines without a
    // number: 1"; empty when nothing was skipped.
    QString summary() const;
    static QString kindText(Kind kind);
    static QString pluralText(Kind kind);
    // Bytes as the details show them: printable Latin-1 as it is, control
    // bytes (NUL included) as \xNN, cut to kMaxRawChars with a mark.
    static QString visible(const QByteArray &raw);

private:
    std::array<int, std::size_t(Kind::Count)> m_counts{};
    QVector<Entry> m_entries;
};
