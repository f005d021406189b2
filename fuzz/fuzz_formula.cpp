// libFuzzer target: the conversion formulas under their limits. The input
// is a formula and a raw value; each run is followed by a probe whose value
// must not depend on what the formula did, and by a probe batch so that the
// batch and its texts stay parallel.
#include "frontend/logs/convertsettings.h"
#include "fuzz/fuzzsupport.h"

#include <QElapsedTimer>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

using fuzzsupport::check;

// Reads what a formula could have left behind for the next one: globals,
// built-ins, prototypes and the global object itself.
const char kProbe[] =
    "[typeof leak, typeof a, typeof s, typeof f, Math.abs(-3), parseInt('12'), [1, 2].join(),"
    " String(this[Symbol.for('k')]), ({}).leak, [].leak, 'x'.toString(),"
    " Object.getOwnPropertyNames(this).length, Object.isExtensible(this),"
    " Object.getPrototypeOf(this) === Object.prototype, JSON.stringify({a: 1}),"
    " typeof Promise, (1.5).toFixed(1)].join('|')";

FormulaEvaluator &evaluator()
{
    // Short limits keep runaway inputs cheap; the limits are what is tested.
    static FormulaEvaluator shared([] {
        FormulaEvaluator::Limits limits;
        limits.timeMs = 50;
        limits.memoryBytes = qint64(32) * 1024 * 1024;
        limits.maxBulkLength = 1 << 16;
        return limits;
    }());
    return shared;
}

QString &expectedProbe()
{
    static QString expected;
    return expected;
}

} // namespace

// The script engine keeps its objects in memory of its own that the leak
// checker does not scan, so whatever they point to looks leaked.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startQt();
    FormulaEvaluator fresh;
    expectedProbe() = fresh.evaluate(QString::fromLatin1(kProbe));
    check(!expectedProbe().contains(QLatin1String("Error")), "the probe does not run");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // First byte: the raw value; the rest, as the board's Latin-1 text, the formula.
    const QString raw = QString::number(data[0], 16);
    const QString formula =
        QString::fromLatin1(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString program = settingconv::formulaProgram(formula, raw);
    check(!program.contains(QLatin1Char('x')), "an x left in the program");

    FormulaEvaluator &shared = evaluator();
    const QString probe = QString::fromLatin1(kProbe);
    QElapsedTimer clock;
    clock.start();
    const QStringList values = shared.evaluateAll({program, probe, program, probe});
    // The limit is processor time; the wall time is bounded by its factor
    // and the grace for a built-in call, far below libFuzzer's time-out.
    check(clock.elapsed() < 5000, "the batch outran its limits");
    check(values.size() == 4, "one text per program");
    // A formula stuck in a built-in call past the grace is let go together
    // with the rest of its batch, which then reads as timed out; and under
    // the sanitizers a garbage collection can make the probe itself slow.
    // Either way the probe on its own must then read as expected.
    const QString timedOut = FormulaEvaluator::timedOutText();
    for (int probeAt : {1, 3}) {
        QString seen = values.at(probeAt);
        if (seen == timedOut)
            seen = shared.evaluate(probe);
        if (seen != expectedProbe())
            std::fprintf(stderr, "program: %s\nprobe: %s\n", qPrintable(program), qPrintable(seen));
        check(seen == expectedProbe(), "the formula changed what the next one sees");
    }
    for (const QString &value : values)
        check(value.size() <= shared.limits().maxResultLength, "a value past the length limit");
    check(settingconv::convert(QStringLiteral("PAR"), formula, raw, shared).size() <=
              shared.limits().maxResultLength,
          "a converted value past the length limit");
    return 0;
}
