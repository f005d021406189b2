#include "frontend/logs/fulllog.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {
constexpr qint64 kSecondsPerHour = 3600;
constexpr qint64 kMaxHours = std::numeric_limits<qint64>::max() / kSecondsPerHour;
constexpr int kFirstPlausibleYear = 1900;
constexpr int kLastPlausibleYear = 9999;
constexpr int kAlarmPadding = 5;
constexpr qsizetype kReadChunkBytes = qsizetype(1) << 20;
constexpr quint32 kShortTextMask = 0x1FFFFFFFU;

constexpr QByteArrayView kEventNumberBytes("EVENT NUMBER");
constexpr QByteArrayView kTimeBytes("TIME");
constexpr QByteArrayView kCmdBytes("CMD");
constexpr QByteArrayView kAlarmBytes("ALARM");
constexpr QByteArrayView kCountBytes("COUNT");
constexpr QByteArrayView kEventBytes("EVENT");
constexpr QByteArrayView kFirmwareBytes("FW:");
constexpr QByteArrayView kDateBytes("DATE:");
constexpr QByteArrayView kParTotBytes("PAR/TOT");
constexpr QByteArrayView kRxBytes("RX");
constexpr QByteArrayView kColon(":");
constexpr QByteArrayView kBlank(" ");

// Latin-1 white space as QChar::isSpace() has it.
constexpr bool isSpaceByte(uchar c)
{
    return c == ' ' || (c >= 9 && c <= 13) || c == 0x85 || c == 0xA0;
}

bool has(QByteArrayView text, QByteArrayView word)
{
    return !text.isEmpty() &&
           memmem(text.data(), size_t(text.size()), word.data(), size_t(word.size())) != nullptr;
}

// `text` with every occurrence of each word removed, the words in order.
QByteArray without(QByteArrayView text, std::initializer_list<QByteArrayView> words)
{
    QByteArray out(text.data(), text.size());
    for (QByteArrayView word : words)
        out.replace(word, QByteArrayView());
    return out;
}

// A decimal 32-bit number as QString::toInt() reads one: blanks around it,
// a sign, digits and nothing else (not even a NUL byte, which the byte
// array's own conversion stops at).
bool readInt(QByteArrayView text, int *value)
{
    const auto *p = reinterpret_cast<const uchar *>(text.data());
    const auto *end = p + text.size();
    while (p != end && isSpaceByte(*p))
        ++p;
    while (end != p && isSpaceByte(end[-1]))
        --end;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end)
        return false;
    qint64 read = 0;
    for (; p != end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        read = read * 10 + (*p - '0');
        if (read > qint64(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (negative)
        read = -read;
    if (read < std::numeric_limits<int>::min() || read > std::numeric_limits<int>::max())
        return false;
    *value = int(read);
    return true;
}

QByteArrayView leftOf(QByteArrayView bytes, qsizetype n)
{
    return bytes.first(std::min(n, bytes.size()));
}

QString latin1(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.data(), bytes.size());
}

// Which record words a line holds.
enum Word : unsigned
{
    WordEventNumber = 1U << 0,
    WordTime = 1U << 1,
    WordCmd = 1U << 2,
    WordAlarm = 1U << 3,
    WordCount = 1U << 4,
    WordEvent = 1U << 5,
};

unsigned wordsOf(QByteArrayView line)
{
    unsigned words = 0;
    if (has(line, kEventBytes)) {
        words |= WordEvent;
        if (has(line, kEventNumberBytes))
            words |= WordEventNumber;
    }
    if (has(line, kTimeBytes))
        words |= WordTime;
    if (has(line, kCmdBytes))
        words |= WordCmd;
    if (has(line, kAlarmBytes))
        words |= WordAlarm;
    if (has(line, kCountBytes))
        words |= WordCount;
    return words;
}
} // namespace

LogItem LogItem::make(Kind kind, quint32 text, quint32 shortText, bool inGraphs)
{
    LogItem item;
    item.text = text;
    item.packed = (quint32(kind) << 30) | (quint32(inGraphs) << 29) | (shortText & kShortTextMask);
    return item;
}

namespace fulllogline {

QString cutMark()
{
    return QStringLiteral(" [\u2026]");
}

QString cutForDisplay(const QString &text)
{
    return text.size() > kMaxLineChars ? text.left(kMaxLineChars) + cutMark() : text;
}

void normalizeBytes(QByteArrayView line, QByteArray &out)
{
    out.clear();
    const auto *p = reinterpret_cast<const uchar *>(line.data());
    const auto *end = p + line.size();
    while (p != end && isSpaceByte(*p))
        ++p;
    while (end != p && isSpaceByte(end[-1]))
        --end;
    out.reserve(end - p);
    bool blank = false;
    for (; p != end; ++p) {
        if (isSpaceByte(*p)) {
            blank = true;
            continue;
        }
        if (blank) {
            out.append(' ');
            blank = false;
        }
        out.append(char(*p));
    }
}

QString normalize(const QString &line)
{
    return line.simplified();
}

Kind classify(const QString &line)
{
    const QByteArray bytes = line.toLatin1();
    if (wordsOf(bytes) != 0)
        return Kind::Record;
    if (has(bytes, kFirmwareBytes))
        return Kind::Firmware;
    if (has(bytes, kDateBytes))
        return Kind::Date;
    return Kind::Other;
}

bool readTime(QByteArrayView line, int *value)
{
    return readInt(without(line, {kTimeBytes, kColon, kBlank}), value);
}

bool readTime(const QString &line, int *value)
{
    return readTime(QByteArrayView(line.toLatin1()), value);
}

int timeValue(const QString &line)
{
    int value = 0;
    return readTime(line, &value) ? value : 0;
}

bool readEventNumber(QByteArrayView line, int *value)
{
    return readInt(without(line, {kEventNumberBytes, kColon, kBlank}), value);
}

void readCount(QByteArrayView line, int *partial, int *total)
{
    QByteArray value = without(line, {kCountBytes, kParTotBytes, kColon, kBlank});
    const qsizetype slash = value.indexOf('/');
    const QByteArray first = slash < 0 ? value : value.left(slash);
    value.replace(first + '/', QByteArrayView());
    *partial = first.toInt(nullptr, 10);
    *total = value.toInt(nullptr, 10);
}

QString commandText(const QString &line)
{
    return latin1(without(line.toLatin1(), {kCmdBytes, kColon}));
}

QString shortCommand(const QString &commandText)
{
    const qsizetype rx = commandText.indexOf(QLatin1String("RX"));
    return rx < 0 ? commandText : commandText.left(rx + 2);
}

QString alarmText(const QString &line)
{
    return latin1(without(line.toLatin1(), {kAlarmBytes, kColon}));
}

QString eventText(const QString &line)
{
    return latin1(without(line.toLatin1(), {kEventBytes, kColon}));
}

QDateTime dateOf(const QString &line)
{
    QString text = line;
    text.remove(QLatin1String("DATE:"));
    return QDateTime::fromString(text, Qt::ISODate);
}

QVector<LogBlock> cutBlocks(const QStringList &records)
{
    FullLog log;
    log.parse(records.join(QLatin1Char('\n')).toLatin1());
    return log.logBlocks;
}

} // namespace fulllogline

// One pass over the lines. A run's block is known only when the next run's
// EVENT NUMBER line comes: everything from the last CMD line on may still
// open the next run. So what has been read since the last CMD line is held
// apart ("pending") and joins the current block at the next CMD line, or
// opens the next block at a boundary.
class FullLogParser
{
public:
    explicit FullLogParser(FullLog &log)
        : m_log(log)
    {
        for (QStringList *texts :
             {&log.commandTexts, &log.shortCommandTexts, &log.eventTexts, &log.alarmTexts})
            *texts = QStringList{QString()};
        for (QHash<QByteArray, int> &index : m_index)
            index.insert(QByteArray(), 0);
    }

    void line(QByteArrayView raw)
    {
        ++m_lineNumber;
        fulllogline::normalizeBytes(raw, m_line);
        const unsigned words = wordsOf(m_line);
        if (words != 0) {
            noteLong();
            record(words);
        } else if (has(m_line, kFirmwareBytes)) {
            noteLong();
            m_log.firmwareLine = fulllogline::cutForDisplay(latin1(m_line));
        } else if (has(m_line, kDateBytes)) {
            m_log.logDate = fulllogline::dateOf(latin1(m_line));
        }
    }

    void finish()
    {
        commitPending();
        m_log.logBlocks.append({m_blockStart, m_log.recordCount - 1});
        closeBlock(int(m_log.items.size()));
        auto &byNumber = m_log.m_byBoardNumber;
        byNumber.reserve(m_log.logEvents.size());
        for (int i = 0; i < m_log.logEvents.size(); ++i)
            byNumber.append({m_log.logEvents.at(i).boardNumber, i});
        std::stable_sort(byNumber.begin(), byNumber.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
    }

private:
    // Values read in part of a block; the last one read counts.
    struct Values
    {
        bool eventNumber = false;
        int runNumber = 0;
        bool timeLine = false;
        bool timeRead = false;
        int time = 0;
        bool count = false;
        int partial = 0;
        int total = 0;

        void takeLater(const Values &later)
        {
            if (later.eventNumber) {
                eventNumber = true;
                runNumber = later.runNumber;
            }
            timeLine = timeLine || later.timeLine;
            if (later.timeRead) {
                timeRead = true;
                time = later.time;
            }
            if (later.count) {
                count = true;
                partial = later.partial;
                total = later.total;
            }
        }
    };

    enum TextKind
    {
        CommandTexts,
        ShortTexts,
        EventTexts,
        AlarmTexts,
        TextKinds
    };

    void noteLong()
    {
        if (m_line.size() > fulllogline::kMaxLineChars)
            m_log.skipped.add(SkippedValues::Kind::LongLine, m_lineNumber, QString(),
                              QByteArray(m_line.left(SkippedValues::kMaxRawChars + 1)));
    }

    void record(unsigned words)
    {
        const int index = m_log.recordCount++;
        const QByteArrayView line(m_line);
        if ((words & WordTime) && !m_log.firstTimeSeen) {
            // An unreadable first TIME would date the log from hour 0.
            int value = 0;
            if (fulllogline::readTime(line, &value)) {
                m_log.firstTime = value;
                m_log.firstTimeSeen = true;
            }
        }
        int runNumber = 0;
        const bool numbered =
            (words & WordEventNumber) && fulllogline::readEventNumber(line, &runNumber);
        if (numbered && m_lastCmd >= 0) {
            m_log.logBlocks.append({m_blockStart, m_lastCmd - 1});
            closeBlock(m_pendingItemStart);
            m_blockStart = m_lastCmd;
            m_blockItemStart = m_pendingItemStart;
            m_committed = Values();
        }
        if (words & WordCmd) {
            commitPending();
            m_lastCmd = index;
            m_pendingItemStart = int(m_log.items.size());
        }
        Values &into = m_lastCmd >= 0 ? m_pending : m_committed;

        // The meaning of the line: the first of these words it holds.
        if (words & WordEventNumber) {
            if (numbered) {
                into.eventNumber = true;
                into.runNumber = runNumber;
            } else {
                m_log.skipped.add(SkippedValues::Kind::PhantomRun, m_lineNumber,
                                  QString(fulllogline::kEventNumber), QByteArray(m_line));
            }
            return; // such a line is neither drawn nor written out
        }
        LogItem::Kind meaning = LogItem::Kind::Command;
        bool drawn = true;
        if (words & WordTime) {
            into.timeLine = true;
            int value = 0;
            if (fulllogline::readTime(line, &value)) {
                into.timeRead = true;
                into.time = value;
            } else {
                m_log.skipped.add(SkippedValues::Kind::UnreadableTime, m_lineNumber,
                                  QString(fulllogline::kTime), QByteArray(m_line));
            }
            drawn = false;
        } else if (words & WordCmd) {
            meaning = LogItem::Kind::Command;
        } else if (words & WordAlarm) {
            meaning = LogItem::Kind::Alarm;
        } else if (words & WordEvent) {
            meaning = LogItem::Kind::Event;
        } else {
            drawn = false;
            if (words & WordCount) {
                into.count = true;
                fulllogline::readCount(line, &into.partial, &into.total);
            }
        }
        // The spreadsheet has a row for each of the words the line holds.
        if (words & WordAlarm)
            addItem(LogItem::Kind::Alarm, kAlarmBytes, drawn && meaning == LogItem::Kind::Alarm);
        if (words & WordCmd)
            addItem(LogItem::Kind::Command, kCmdBytes, drawn && meaning == LogItem::Kind::Command);
        if (words & WordEvent)
            addItem(LogItem::Kind::Event, kEventBytes, drawn && meaning == LogItem::Kind::Event);
    }

    void addItem(LogItem::Kind kind, QByteArrayView word, bool inGraphs)
    {
        const QByteArray text = without(m_line, {word, kColon});
        quint32 shortText = 0;
        TextKind texts = AlarmTexts;
        if (kind == LogItem::Kind::Command) {
            texts = CommandTexts;
            const qsizetype rx = QByteArrayView(text).indexOf(kRxBytes);
            shortText = intern(ShortTexts, rx < 0 ? QByteArrayView(text)
                                                  : leftOf(QByteArrayView(text), rx + 2));
        } else if (kind == LogItem::Kind::Event) {
            texts = EventTexts;
        }
        m_log.items.append(LogItem::make(kind, intern(texts, text), shortText, inGraphs));
    }

    QStringList &textList(TextKind kind)
    {
        switch (kind) {
        case CommandTexts:
            return m_log.commandTexts;
        case ShortTexts:
            return m_log.shortCommandTexts;
        case EventTexts:
            return m_log.eventTexts;
        case AlarmTexts:
        case TextKinds:
            break;
        }
        return m_log.alarmTexts;
    }

    quint32 intern(TextKind kind, QByteArrayView text)
    {
        const QByteArrayView key = leftOf(text, fulllogline::kMaxLineChars);
        QHash<QByteArray, int> &index = m_index[kind];
        // Looked up without a copy; a cut text gets a key no whole text has.
        QByteArray probe = QByteArray::fromRawData(key.data(), key.size());
        const bool cut = text.size() > key.size();
        if (cut)
            probe = key.toByteArray() + QByteArray("\0cut", 4);
        const auto known = index.constFind(probe);
        if (known != index.constEnd())
            return quint32(known.value());
        QStringList &texts = textList(kind);
        if (texts.size() > FullLog::kMaxDistinctTexts) {
            if (m_overflow[kind] < 0) {
                m_overflow[kind] = int(texts.size());
                texts.append(QCoreApplication::translate("FullLog", "[more texts]"));
            }
            if (kind != ShortTexts)
                m_log.skipped.add(SkippedValues::Kind::TooManyTexts, m_lineNumber, QString(),
                                  leftOf(text, SkippedValues::kMaxRawChars + 1).toByteArray());
            return quint32(m_overflow[kind]);
        }
        QString label = latin1(key);
        if (cut)
            label += fulllogline::cutMark();
        texts.append(label);
        index.insert(cut ? probe : key.toByteArray(), int(texts.size()) - 1);
        return quint32(texts.size() - 1);
    }

    void commitPending()
    {
        m_committed.takeLater(m_pending);
        m_pending = Values();
    }

    // The block that has read `m_committed`, its items ending at `itemEnd`.
    void closeBlock(int itemEnd)
    {
        const int number = int(m_log.blocks.size());
        const Values &own = m_committed;
        if (own.timeRead) {
            m_carry.time = own.time;
            m_carry.timeKnown = true;
        } else if (own.timeLine) {
            m_carry.timeKnown = false;
        }
        if (own.eventNumber)
            m_carry.runNumber = own.runNumber;
        if (own.count) {
            m_carry.partialRuns = own.partial;
            m_carry.totalRuns = own.total;
        }
        LogBlockInfo info = m_carry;
        info.firstItem = m_blockItemStart;
        info.itemEnd = itemEnd;
        m_log.blocks.append(info);

        if (number >= 1 && own.eventNumber && own.timeLine) {
            LogEvent event;
            event.number = number;
            event.boardNumber = own.runNumber;
            event.hasTime = true;
            event.timeKnown = own.timeRead;
            event.time = own.timeRead ? qint64(own.time) - m_log.firstTime : 0;
            m_log.logEvents.append(event);
        }
    }

    FullLog &m_log;
    QByteArray m_line;
    qint64 m_lineNumber = 0;
    int m_blockStart = -1;
    int m_lastCmd = -1;
    int m_blockItemStart = 0;
    int m_pendingItemStart = 0;
    Values m_committed;
    Values m_pending;
    LogBlockInfo m_carry;
    std::array<QHash<QByteArray, int>, TextKinds> m_index;
    std::array<int, TextKinds> m_overflow{-1, -1, -1, -1};
};

FullLog::ReadResult FullLog::read(const QString &path, LogReadControl *control, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return ReadResult::CannotOpen;
    }
    FullLog result;
    FullLogParser parser(result);
    QByteArray chunk(kReadChunkBytes, Qt::Uninitialized);
    QByteArray partial; // a line that goes on in the next piece
    qint64 done = 0;
    for (;;) {
        if (control && control->cancel.load(std::memory_order_relaxed))
            return ReadResult::Cancelled;
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0) {
            if (error)
                *error = file.errorString();
            return ReadResult::CannotOpen;
        }
        if (n == 0)
            break;
        done += n;
        if (control)
            control->bytesRead.store(done, std::memory_order_relaxed);
        const char *p = chunk.constData();
        const char *end = p + n;
        while (p != end) {
            const auto *newline = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
            if (!newline) {
                partial.append(p, end - p);
                break;
            }
            if (partial.isEmpty()) {
                parser.line(QByteArrayView(p, newline - p));
            } else {
                partial.append(p, newline - p);
                parser.line(partial);
                partial.clear();
                partial.squeeze();
            }
            p = newline + 1;
        }
    }
    if (!partial.isEmpty())
        parser.line(partial);
    parser.finish();
    *this = std::move(result);
    return ReadResult::Read;
}

void FullLog::parse(const QByteArray &content)
{
    FullLog result;
    FullLogParser parser(result);
    qsizetype pos = 0;
    while (pos < content.size()) {
        qsizetype end = content.indexOf('\n', pos);
        if (end < 0)
            end = content.size();
        parser.line(QByteArrayView(content.constData() + pos, end - pos));
        pos = end + 1;
    }
    parser.finish();
    *this = std::move(result);
}

const LogEvent *FullLog::eventOfRun(int run) const
{
    const auto it = std::lower_bound(logEvents.cbegin(), logEvents.cend(), run,
                                     [](const LogEvent &e, int n) { return e.number < n; });
    return it != logEvents.cend() && it->number == run ? &*it : nullptr;
}

const LogEvent *FullLog::eventOfBoardNumber(int boardNumber) const
{
    const auto it =
        std::lower_bound(m_byBoardNumber.cbegin(), m_byBoardNumber.cend(), boardNumber,
                         [](const QPair<int, int> &entry, int n) { return entry.first < n; });
    if (it == m_byBoardNumber.cend() || it->first != boardNumber)
        return nullptr;
    return &logEvents.at(it->second);
}

const QStringList &FullLog::textsOf(LogItem::Kind kind) const
{
    switch (kind) {
    case LogItem::Kind::Command:
        return commandTexts;
    case LogItem::Kind::Event:
        return eventTexts;
    case LogItem::Kind::Alarm:
        break;
    }
    return alarmTexts;
}

QStringList FullLog::itemTexts(int block, LogItem::Kind kind, bool shortText) const
{
    QStringList texts;
    if (block < 0 || block >= blocks.size())
        return texts;
    const LogBlockInfo &info = blocks.at(block);
    for (int i = info.firstItem; i < info.itemEnd; ++i) {
        const LogItem &item = items.at(i);
        if (!item.inGraphs() || item.kind() != kind)
            continue;
        texts.append(shortText ? shortCommandTexts.value(int(item.shortText()))
                               : textsOf(kind).value(int(item.text)));
    }
    return texts;
}

QStringList FullLog::commandsOf(int block) const
{
    return itemTexts(block, LogItem::Kind::Command, false);
}

QStringList FullLog::shortCommandsOf(int block) const
{
    return itemTexts(block, LogItem::Kind::Command, true);
}

QStringList FullLog::eventsOf(int block) const
{
    return itemTexts(block, LogItem::Kind::Event, false);
}

QStringList FullLog::alarmsOf(int block) const
{
    return itemTexts(block, LogItem::Kind::Alarm, false);
}

QDateTime startDateFor(const QDateTime &end, qint64 lastRunTime)
{
    // Two 32-bit TIME values are at most 2^32 hours apart, so the seconds
    // fit in 64 bits with room to spare.
    return end.addSecs(-lastRunTime * kSecondsPerHour);
}

QDateTime startDateFor(const QDateTime &end, const QVector<LogEvent> &events)
{
    // A run whose TIME did not read cannot say when the log ended.
    for (auto it = events.crbegin(); it != events.crend(); ++it) {
        if (it->timeKnown)
            return startDateFor(end, it->time);
    }
    return end;
}

QDateTime runDate(const QDateTime &start, qint64 time)
{
    if (time > kMaxHours || time < -kMaxHours)
        return QDateTime();
    const QDateTime date = start.addSecs(time * kSecondsPerHour);
    if (!date.isValid() || date.date().year() < kFirstPlausibleYear ||
        date.date().year() > kLastPlausibleYear)
        return QDateTime();
    return date;
}

QDateTime runDate(const QDateTime &start, const LogEvent &event)
{
    return event.timeKnown ? runDate(start, event.time) : QDateTime();
}

QString runDateLabel(const QDateTime &start, qint64 time)
{
    return runDate(start, time).toString(QStringLiteral("d/M hh:mm"));
}

void LogSeries::reset()
{
    *this = LogSeries();
    commandLabels.append(QString());
    commandShortLabels.append(QString());
    eventLabels.append(QString());
    alarmLabels.append(QString());
}

int LogSeries::keyMax() const
{
    if (commandX.isEmpty())
        return 1;
    return int(*std::max_element(commandX.cbegin(), commandX.cend()) + 1);
}

SeriesRows seriesRows(const FullLog &log)
{
    SeriesRows rows;
    const auto start = [](QStringList &labels, QVector<int> &row, const QStringList &texts) {
        labels = QStringList{QString()};
        row = QVector<int>(texts.size(), -1);
        if (!row.isEmpty())
            row[0] = 0;
    };
    start(rows.commandLabels, rows.commandRow, log.commandTexts);
    start(rows.commandShortLabels, rows.shortRow, log.shortCommandTexts);
    start(rows.eventLabels, rows.eventRow, log.eventTexts);
    start(rows.alarmLabels, rows.alarmRow, log.alarmTexts);
    const auto place = [](QVector<int> &row, QStringList &labels, const QStringList &texts,
                          quint32 text) {
        if (row.at(int(text)) < 0) {
            row[int(text)] = int(labels.size());
            labels.append(texts.at(int(text)));
        }
    };
    for (const LogEvent &event : log.logEvents) {
        const LogBlockInfo &block = log.blocks.at(event.number);
        for (int i = block.firstItem; i < block.itemEnd; ++i) {
            const LogItem &item = log.items.at(i);
            if (!item.inGraphs())
                continue;
            switch (item.kind()) {
            case LogItem::Kind::Command:
                place(rows.shortRow, rows.commandShortLabels, log.shortCommandTexts,
                      item.shortText());
                place(rows.commandRow, rows.commandLabels, log.commandTexts, item.text);
                rows.lastCommandRun = event.number;
                break;
            case LogItem::Kind::Event:
                place(rows.eventRow, rows.eventLabels, log.eventTexts, item.text);
                break;
            case LogItem::Kind::Alarm:
                place(rows.alarmRow, rows.alarmLabels, log.alarmTexts, item.text);
                break;
            }
        }
    }
    return rows;
}

LogSeries buildSeries(const FullLog &log)
{
    const SeriesRows rows = seriesRows(log);
    LogSeries s;
    s.commandLabels = rows.commandLabels;
    s.commandShortLabels = rows.commandShortLabels;
    s.eventLabels = rows.eventLabels;
    s.alarmLabels = rows.alarmLabels;
    for (const LogEvent &event : log.logEvents) {
        const LogBlockInfo &block = log.blocks.at(event.number);
        const double run = event.number;
        for (int i = block.firstItem; i < block.itemEnd; ++i) {
            const LogItem &item = log.items.at(i);
            if (!item.inGraphs())
                continue;
            switch (item.kind()) {
            case LogItem::Kind::Command:
                s.commandX.append(run);
                s.commandY.append(rows.commandRow.at(int(item.text)));
                s.commandShortY.append(rows.shortRow.at(int(item.shortText())));
                break;
            case LogItem::Kind::Event:
                s.eventX.append(run);
                s.eventY.append(rows.eventRow.at(int(item.text)));
                break;
            case LogItem::Kind::Alarm:
                s.alarmX.append(run);
                s.alarmY.append(rows.alarmRow.at(int(item.text)));
                break;
            }
        }
    }
    return s;
}

void padAlarmLabels(QStringList &alarmLabels, const QStringList &commandLabels)
{
    qsizetype longest = 0;
    for (const QString &label : commandLabels)
        longest = std::max(longest, std::min<qsizetype>(label.size(), kAxisLabelChars));
    const int width = int(longest) + kAlarmPadding;
    for (QString &label : alarmLabels) {
        if (label.size() < width)
            label = label.rightJustified(width, QLatin1Char(' '));
    }
}

namespace {
QByteArray endDateLine(const QDateTime &end)
{
    return QStringLiteral("%1%2\n")
        .arg(QLatin1String("DATE:"), end.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")))
        .toLatin1();
}
} // namespace

QByteArray withEndDateLine(const QByteArray &content, const QDateTime &end)
{
    const qsizetype firstEnd = content.indexOf('\n');
    const qsizetype firstLength = firstEnd < 0 ? content.size() : firstEnd + 1;
    QByteArray result = endDateLine(end);
    if (content.left(firstLength).contains("DATE:"))
        result.append(content.mid(firstLength));
    else
        result.append(content);
    return result;
}

bool writeEndDate(const QString &path, const QDateTime &end)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray first = in.readLine();
    const QByteArray dateLine = endDateLine(end);
    bool ok = out.write(dateLine) == dateLine.size();
    if (ok && !first.contains("DATE:"))
        ok = out.write(first) == first.size();
    QByteArray chunk(kReadChunkBytes, Qt::Uninitialized);
    while (ok) {
        const qint64 n = in.read(chunk.data(), chunk.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = out.write(chunk.constData(), n) == n;
    }
    if (!ok) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
