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
