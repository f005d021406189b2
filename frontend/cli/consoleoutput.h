#pragma once

#include <QCoreApplication>
#include <QIODevice>
#include <QJsonObject>
#include <QString>

// Where an update stands, for the progress line and its event.
struct ProgressReport
{
    int percent = 0;
    int blocks = 0;         // 64-byte blocks written
    int totalBlocks = 0;    // blocks of the whole update
    qint64 msLeft = -1;     // -1: not known yet
    bool verifying = false; // reading back, not writing
};

// velmo-flash's two ways of talking: lines for a person, or one JSON object
// per event for a script. Every output goes through here, so a progress
// line redrawn in place is ended before anything else is printed.
class ConsoleOutput
{
    Q_DECLARE_TR_FUNCTIONS(ConsoleOutput)

public:
    static constexpr int kBarWidth = 20;

    // `out` and `err` must stay open while this lives. `inPlace`: standard
    // output is a terminal, the progress line is redrawn with a carriage
    // return; otherwise one line per ten percent.
    ConsoleOutput(QIODevice &out, QIODevice &err, bool json, bool inPlace);

    bool json() const { return m_json; }

    // A step of the work: `text` as a line on standard output, or `event`.
    void step(const QString &text, const QJsonObject &event);
    // Something that went wrong or needs attention: `text` on standard
    // error, or `event` on standard output. Either may be empty to print
    // nothing in that form.
    void problem(const QString &text, const QJsonObject &event);
    // Text-only output (tables, listings) on standard output, unchanged.
    void raw(const QByteArray &bytes);
    void progress(const ProgressReport &report);

    // Why a write to standard output failed (a full disk, a closed pipe);
    // empty while every write went through.
    QString outputError() const { return m_outputError; }

    // The cause of a failure velmo-flash has just told in its own words. The
    // workflow's box about the same failure, written for the window, then
    // adds nothing on a terminal but the window's advice.
    void toldCause(const QString &cause) { m_toldCause = cause.simplified(); }
    bool causeTold(const QString &boxText) const
    {
        return !m_toldCause.isEmpty() && boxText.simplified().contains(m_toldCause);
    }

    // "Writing  45 % [#########-----------] block 447/992, 0:12 left"
    static QString progressText(const ProgressReport &report);
    // "0:07", "12:05", "1:02:05".
    static QString clockText(qint64 ms);
    // One line of JSON, without its line end.
    static QByteArray eventLine(const QJsonObject &event);

private:
    void endProgressLine();
    void writeLine(QIODevice &device, const QString &text);
    void report(QIODevice &textDevice, const QString &text, const QJsonObject &event);
    void write(QIODevice &device, const QByteArray &bytes);

    QIODevice &m_out;
    QIODevice &m_err;
    bool m_json;
    bool m_inPlace;
    bool m_progressOpen = false;
    int m_progressWidth = 0;
    int m_lastTenth = -1;
    bool m_verifying = false;
    QString m_outputError;
    QString m_toldCause;
};

// A JSON event: {"event": name, ...fields}.
QJsonObject jsonEvent(const QString &name, const QJsonObject &fields = {});
