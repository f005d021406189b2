#include "frontend/logs/formulaevaluator.h"

#include <QDebug>
#include <QFile>
#include <QJSEngine>
#include <QJSValue>
#include <QVector>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How often the waiting caller looks at the running formula.
constexpr std::chrono::milliseconds kWatchPeriod(2);
// How long an interrupted formula may take to give up before the caller
// stops waiting for it: a built-in call runs to its end before the engine
// looks at the interruption.
constexpr std::chrono::milliseconds kInterruptGrace(500);
// Beyond this much wall time a formula is stopped even when its thread got
// little processor time (a heavily loaded machine).
constexpr int kWallTimeFactor = 5;
// How long the evaluator's end waits for a busy thread before letting go.
constexpr std::chrono::milliseconds kStopWait(1000);

// Resident memory of the process, or -1 where it cannot be read.
qint64 residentBytes()
{
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char buffer[128];
    const ssize_t length = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (length <= 0)
        return -1;
    buffer[length] = '\0';
    // "size resident shared ...", in pages.
    const char *p = buffer;
    while (*p && *p != ' ')
        ++p;
    qint64 pages = 0;
    for (++p; *p >= '0' && *p <= '9'; ++p)
        pages = pages * 10 + (*p - '0');
    return pages * qint64(::sysconf(_SC_PAGESIZE));
}

qint64 cpuNanoseconds(clockid_t clock)
{
    timespec now{};
    if (::clock_gettime(clock, &now) != 0)
        return -1;
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Runs one formula in a scope of its own: a sloppy direct eval inside a
// function, so var, let, const and function declarations stay local, as
// they would at the top of a fresh engine's program. An arrow function has
// no `arguments` of its own and takes `this` from the top level, so both
// mean what they mean there.
constexpr char kRunScript[] = "(__formula => eval(__formula))";

// The script that hardens an engine, built into the program.
constexpr char kHardenScriptPath[] = ":/logs/formulasandbox.js";

QString hardenScript()
{
    static const QString script = [] {
        QFile file(QString::fromLatin1(kHardenScriptPath));
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning() << "formula engine script missing:" << kHardenScriptPath;
            return QString();
        }
        return QString::fromUtf8(file.readAll());
    }();
    return script;
}

} // namespace

// One engine made safe for a run of formulas. Lives on the worker thread.
class FormulaSandbox
{
public:
    struct Run
    {
        QString text;
        bool tooLong = false;
        bool clean = true; // false: the engine must not serve another formula
    };

    explicit FormulaSandbox(int maxBulkLength)
    {
        m_run = m_engine.evaluate(QString::fromLatin1(kRunScript));
        const QJSValue harden =
            m_engine.evaluate(hardenScript(), QString::fromLatin1(kHardenScriptPath));
        const QJSValue tools =
            harden.call({m_engine.globalObject(), m_run, QJSValue(maxBulkLength)});
        m_sweep = tools.property(0);
        m_show = tools.property(1);
        m_ready = m_run.isCallable() && m_sweep.isCallable() && m_show.isCallable();
        if (!m_ready)
            qWarning() << "formula engine not prepared:" << tools.toString();
    }

    QJSEngine &engine() { return m_engine; }

    Run evaluate(const QString &program, int maxResultLength)
    {
        Run out;
        if (!m_ready) {
            out.text = QStringLiteral("Error: the script engine is not available");
            out.clean = false;
            return out;
        }
        const QJSValue max(maxResultLength);
        const QJSValue value = m_run.call({QJSValue(program)});
        QJSValue shown = m_show.call({value, max});
        if (!shown.isString() && !shown.isNull())
            shown = m_show.call({shown, max}); // the value's own toString threw
        if (shown.isNull())
            out.tooLong = true;
        else if (shown.isString())
            out.text = shown.toString();
        else
            out.text = QStringLiteral("Error");
        const QJSValue swept = m_sweep.call();
        out.clean = swept.isBool() && swept.toBool(); // a thrown error is truthy too
        return out;
    }

private:
    QJSEngine m_engine;
    QJSValue m_run;
    QJSValue m_sweep;
    QJSValue m_show;
    bool m_ready = false;
};

class FormulaEvaluator::Worker
{
public:
    enum class Outcome
    {
        Value,
        TimedOut,
        TooMuchMemory,
        TooLong
    };
    struct Item
    {
        Outcome outcome = Outcome::TimedOut;
        QString text;
    };

    explicit Worker(const Limits &limits)
        : m_limits(limits)
    {}

    static std::shared_ptr<Worker> start(const Limits &limits)
    {
        auto worker = std::make_shared<Worker>(limits);
        worker->m_thread = std::thread([worker] { worker->loop(); });
        pthread_getcpuclockid(worker->m_thread.native_handle(), &worker->m_cpuClock);
        return worker;
    }

    // Runs a batch on the worker thread and watches it; caller's thread.
    QVector<Item> run(const QStringList &programs);
    // Ends the thread; a thread stuck in a built-in call is let go.
    void stop();
    // Lets go of the thread of an abandoned batch without waiting for it.
    void release()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
            m_wake.notify_all();
        }
        m_thread.detach();
    }
    bool abandoned()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_abandoned;
    }

private:
    void loop();

    const Limits m_limits;
    std::thread m_thread;
    clockid_t m_cpuClock = CLOCK_THREAD_CPUTIME_ID;

    std::mutex m_mutex;
    std::condition_variable m_wake; // the worker waits for work or the end
    std::condition_variable m_done; // the caller waits for results
    QStringList m_programs;
    QVector<Item> m_results;
    int m_next = 0;                     // the item running, or the next to run
    bool m_running = false;             // m_next is being evaluated
    Clock::time_point m_start;          // of the running item
    qint64 m_startCpu = 0;              // worker thread's processor time then
    Outcome m_verdict = Outcome::Value; // set by the caller to stop the item
    bool m_skipRest = false;
    bool m_abandoned = false;
    bool m_quit = false;
    bool m_finished = false;
    QJSEngine *m_engine = nullptr; // valid while set, under m_mutex
};

void FormulaEvaluator::Worker::loop()
{
    std::unique_ptr<FormulaSandbox> sandbox;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit && !m_abandoned) {
        if (m_next >= m_programs.size()) {
            m_wake.wait(lock);
            continue;
        }
        const int index = m_next;
        if (m_skipRest) {
            m_results[index] = {Outcome::TimedOut, QString()};
            if (++m_next == m_programs.size())
                m_done.notify_all();
            continue;
        }
        if (!sandbox) {
            lock.unlock();
            auto fresh = std::make_unique<FormulaSandbox>(m_limits.maxBulkLength);
            lock.lock();
            sandbox = std::move(fresh);
            m_engine = &sandbox->engine();
            continue; // the caller may have given up meanwhile
        }
        const QString program = m_programs.at(index);
        m_verdict = Outcome::Value;
        m_start = Clock::now();
        m_startCpu = cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID);
        m_running = true;
        lock.unlock();
        const FormulaSandbox::Run run = sandbox->evaluate(program, m_limits.maxResultLength);
        lock.lock();
        m_running = false;

        Item item{Outcome::Value, run.text};
        bool discard = !run.clean;
        if (m_verdict != Outcome::Value) {
            item = {m_verdict, QString()};
            discard = true; // interrupted half-way: start clean
        } else if (run.tooLong) {
            item = {Outcome::TooLong, QString()};
        }
        if (discard) {
            m_engine = nullptr;
            lock.unlock();
            sandbox.reset();
            lock.lock();
        }
        if (m_abandoned)
            break;
        m_results[index] = item;
        if (++m_next == m_programs.size())
            m_done.notify_all();
    }
    m_engine = nullptr;
    lock.unlock();
    sandbox.reset();
    lock.lock();
    m_finished = true;
    m_done.notify_all();
}

QVector<FormulaEvaluator::Worker::Item> FormulaEvaluator::Worker::run(const QStringList &programs)
{
    using std::chrono::milliseconds;
    const qint64 timeLimitNs = qint64(m_limits.timeMs) * 1000000;
    const milliseconds wallLimit(qint64(m_limits.timeMs) * kWallTimeFactor);

    std::unique_lock<std::mutex> lock(m_mutex);
    m_programs = programs;
    m_results = QVector<Item>(programs.size());
    m_next = 0;
    m_skipRest = false;
    m_wake.notify_all();

    int timeouts = 0;
    int watched = -1;
    qint64 baseline = -1;
    Clock::time_point interruptedAt;
    while (m_next < m_programs.size() && !m_finished) {
        m_done.wait_for(lock, kWatchPeriod);
        if (m_next >= m_programs.size() || !m_running)
            continue;
        const Clock::time_point now = Clock::now();
        if (m_verdict != Outcome::Value) {
            if (now - interruptedAt < kInterruptGrace)
                continue;
            // Stuck in a built-in call: give up on the thread and the batch.
            for (int i = m_next; i < m_results.size(); ++i)
                m_results[i] = {i == m_next ? m_verdict : Outcome::TimedOut, QString()};
            m_abandoned = true;
            m_wake.notify_all();
            break;
        }
        if (watched != m_next) {
            watched = m_next;
            baseline = residentBytes();
        }
        Outcome verdict = Outcome::Value;
        const qint64 cpu = cpuNanoseconds(m_cpuClock);
        const bool overCpu = cpu >= 0 && m_startCpu >= 0 && cpu - m_startCpu >= timeLimitNs;
        if (overCpu || now - m_start >= wallLimit) {
            verdict = Outcome::TimedOut;
        } else if (baseline >= 0) {
            const qint64 resident = residentBytes();
            if (resident >= 0 && resident - baseline > m_limits.memoryBytes)
                verdict = Outcome::TooMuchMemory;
        }
        if (verdict == Outcome::Value)
            continue;
        m_verdict = verdict;
        interruptedAt = now;
        if (m_engine)
            m_engine->setInterrupted(true);
        if (verdict == Outcome::TimedOut && ++timeouts >= m_limits.maxTimeoutsPerBatch)
            m_skipRest = true;
    }
    QVector<Item> results = m_results;
    if (!m_abandoned) {
        m_programs.clear();
        m_results.clear();
        m_next = 0;
    }
    return results;
}

void FormulaEvaluator::Worker::stop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_quit = true;
    m_wake.notify_all();
    const bool ended = m_done.wait_for(lock, kStopWait, [this] { return m_finished; });
    lock.unlock();
    if (ended) {
        m_thread.join();
    } else {
        qWarning() << "a conversion formula is still running; its thread is left to finish";
        m_thread.detach();
    }
}

FormulaEvaluator::FormulaEvaluator()
    : FormulaEvaluator(Limits())
{}

FormulaEvaluator::FormulaEvaluator(const Limits &limits)
    : m_limits(limits)
{}

FormulaEvaluator::~FormulaEvaluator()
{
    if (m_worker)
        m_worker->stop();
}

QStringList FormulaEvaluator::evaluateAll(const QStringList &programs)
{
    if (programs.isEmpty())
        return {};
    if (!m_worker)
        m_worker = Worker::start(m_limits);
    const QVector<Worker::Item> items = m_worker->run(programs);
    if (m_worker->abandoned()) {
        m_worker->release();
        m_worker.reset();
    }
    QStringList texts;
    texts.reserve(items.size());
    for (const Worker::Item &item : items) {
        switch (item.outcome) {
        case Worker::Outcome::Value:
            texts.append(item.text);
            break;
        case Worker::Outcome::TimedOut:
            texts.append(timedOutText());
            break;
        case Worker::Outcome::TooMuchMemory:
            texts.append(tooMuchMemoryText());
            break;
        case Worker::Outcome::TooLong:
            texts.append(resultTooLongText());
            break;
        }
    }
    return texts;
}

QString FormulaEvaluator::evaluate(const QString &program)
{
    return evaluateAll({program}).value(0);
}

QString FormulaEvaluator::timedOutText()
{
    return tr("formula timed out");
}

QString FormulaEvaluator::tooMuchMemoryText()
{
    return tr("formula used too much memory");
}

QString FormulaEvaluator::resultTooLongText()
{
    return tr("formula result too long");
}
