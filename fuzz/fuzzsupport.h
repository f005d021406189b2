#pragma once

// What the fuzz targets share: a core application for the Qt
// classes that need one, no debug output, and a check that stops the run.
#include <QCoreApplication>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace fuzzsupport {

// The parsers write diagnostic lines for every bad input; they would drown
// the fuzzer's output and slow it.
inline void quietQt()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

inline void startQt()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    quietQt();
    static QCoreApplication app(argc, argv);
}

// A broken invariant is a finding: abort so libFuzzer keeps the input.
inline void check(bool condition, const char *what = "see the stack")
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace fuzzsupport
