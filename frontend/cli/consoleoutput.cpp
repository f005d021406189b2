#include "frontend/cli/consoleoutput.h"

#include <QFileDevice>
#include <QJsonDocument>

namespace {
constexpr int kPercentPerLine = 10;
constexpr qint64 kMsPerSecond = 1000;
constexpr qint64 kSecondsPerMinute = 60;
constexpr qint64 kSecondsPerHour = 3600;
} // namespace

QJsonObject jsonEvent(const QString &name, const QJsonObject &fields)
{
    QJsonObject event = fields;
    event.insert(QStringLiteral("event"), name);
    return event;
}

ConsoleOutput::ConsoleOutput(QIODevice &out, QIODevice &err, bool json, bool inPlace)
    : m_out(out)
    , m_err(err)
    , m_json(json)
    , m_inPlace(inPlace && !json)
{}

QByteArray ConsoleOutput::eventLine(const QJsonObject &event)
{
    return QJsonDocument(event).toJson(QJsonDocument::Compact);
}

void ConsoleOutput::write(QIODevice &device, const QByteArray &bytes)
{
    bool ok = device.write(bytes) == bytes.size();
    // Progress and results must be seen as they happen, also in a pipe; and
    // a standard stream only fails (a full disk) when it is flushed.
    if (auto *file = qobject_cast<QFileDevice *>(&device))
        ok = file->flush() && ok;
    // Only standard output counts: a message that cannot reach standard
    // error has nowhere else to go.
    if (!ok && &device == &m_out && m_outputError.isEmpty())
        m_outputError = device.errorString();
}

void ConsoleOutput::writeLine(QIODevice &device, const QString &text)
{
    write(device, text.toUtf8() + '\n');
}

void ConsoleOutput::endProgressLine()
{
    if (!m_progressOpen)
        return;
    m_progressOpen = false;
    m_progressWidth = 0;
    writeLine(m_out, QString());
}

void ConsoleOutput::step(const QString &text, const QJsonObject &event)
{
    report(m_out, text, event);
}

void ConsoleOutput::problem(const QString &text, const QJsonObject &event)
{
    report(m_err, text, event);
}

// JSON events always go to standard output, which callers parse.
void ConsoleOutput::report(QIODevice &textDevice, const QString &text, const QJsonObject &event)
{
    if (m_json) {
        if (!event.isEmpty())
            writeLine(m_out, QString::fromUtf8(eventLine(event)));
        return;
    }
    if (text.isEmpty())
        return;
    endProgressLine();
    writeLine(textDevice, text);
}

void ConsoleOutput::raw(const QByteArray &bytes)
{
    if (m_json)
        return;
    endProgressLine();
    write(m_out, bytes);
}

void ConsoleOutput::progress(const ProgressReport &report)
{
    if (report.verifying != m_verifying) {
        // The read-back's bar starts on a line of its own.
        m_verifying = report.verifying;
        m_lastTenth = -1;
        endProgressLine();
    }
    if (m_json) {
        QJsonObject fields{{QStringLiteral("phase"), report.verifying ? "verify" : "write"},
                           {QStringLiteral("percent"), report.percent},
                           {QStringLiteral("blocks"), report.blocks},
                           {QStringLiteral("totalBlocks"), report.totalBlocks}};
        fields.insert(QStringLiteral("secondsLeft"),
                      report.msLeft < 0 ? QJsonValue()
                                        : QJsonValue(qint64((report.msLeft + 500) / 1000)));
        writeLine(m_out,
                  QString::fromUtf8(eventLine(jsonEvent(QStringLiteral("progress"), fields))));
        return;
    }
    const QString text = progressText(report);
    if (!m_inPlace) {
        const int tenth = report.percent / kPercentPerLine;
        if (tenth <= m_lastTenth)
            return;
        m_lastTenth = tenth;
        writeLine(m_out, text);
        return;
    }
    // Blanks over what a longer previous line left behind.
    QString line = text;
    if (line.size() < m_progressWidth)
        line.append(QString(m_progressWidth - line.size(), QLatin1Char(' ')));
    m_progressWidth = int(text.size());
    write(m_out, '\r' + line.toUtf8());
    m_progressOpen = true;
}

QString ConsoleOutput::progressText(const ProgressReport &report)
{
    const int percent = qBound(0, report.percent, 100);
    const int filled = percent * kBarWidth / 100;
    const QString bar =
        QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('-'));
    QString text = (report.verifying ? tr("Verifying %1 % [%2] block %3/%4")
                                     : tr("Writing %1 % [%2] block %3/%4"))
                       .arg(percent, 3)
                       .arg(bar)
                       .arg(report.blocks)
                       .arg(report.totalBlocks);
    if (report.msLeft >= 0)
        text += QStringLiteral(", ") + tr("%1 left").arg(clockText(report.msLeft));
    return text;
}

QString ConsoleOutput::clockText(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, (ms + kMsPerSecond / 2) / kMsPerSecond);
    const qint64 hours = seconds / kSecondsPerHour;
    const qint64 minutes = seconds % kSecondsPerHour / kSecondsPerMinute;
    const qint64 rest = seconds % kSecondsPerMinute;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}
