#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <memory>

// Runs the conversion formulas of the lookup database as ECMAScript, each as
// if in a script engine of its own: no variable, global or change to a
// built-in object survives from one formula to the next. One engine serves
// many formulas, so a formula costs microseconds instead of the milliseconds
// of building an engine.
//
// The engine lives on a thread of the evaluator; the calling thread waits
// and interrupts a formula that runs past its time or grows the process past
// its memory allowance, so a formula cannot hang the window. Promise jobs
// that a formula queues never run: that thread has no event loop.
class FormulaEvaluator
{
    Q_DECLARE_TR_FUNCTIONS(FormulaEvaluator)
public:
    struct Limits
    {
        int timeMs = 100;
        // Growth of the process while one formula runs.
        qint64 memoryBytes = qint64(64) * 1024 * 1024;
        // Longest text or array that one built-in call may make: such a call
        // runs to its end before an interruption can take effect.
        int maxBulkLength = 1 << 20;
        // Longest value shown; a table cell has no use for more.
        int maxResultLength = 1024;
        // After this many time-outs in one batch the rest is not run: a
        // formula that loops for every value would otherwise cost the time
        // limit once per setting.
        int maxTimeoutsPerBatch = 10;
    };

    FormulaEvaluator();
    explicit FormulaEvaluator(const Limits &limits);
    ~FormulaEvaluator();
    FormulaEvaluator(const FormulaEvaluator &) = delete;
    FormulaEvaluator &operator=(const FormulaEvaluator &) = delete;

    // The string form of each program's completion value, in order; a
    // program that throws gives the string form of what it threw.
    QStringList evaluateAll(const QStringList &programs);
    QString evaluate(const QString &program);

    const Limits &limits() const { return m_limits; }

    static QString timedOutText();
    static QString tooMuchMemoryText();
    static QString resultTooLongText();

    class Worker; // shared with its thread, which may outlive a stuck batch

private:
    Limits m_limits;
    std::shared_ptr<Worker> m_worker;
};
