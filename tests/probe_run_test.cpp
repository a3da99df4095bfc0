// The harness must not read a sanitizer finding or a lost child as a run
// that passed or failed as the probe intended.
#include <csignal>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

ProbeOptions Shell(const std::string &script)
{
    ProbeOptions options;
    options.args = {"-c", script};
    return options;
}

TEST(Harness, SanitizerReportFailsTheRunWhateverTheStatus)
{
    const char *const reports[] = {
        "==7==ERROR: LeakSanitizer: detected memory leaks",
        "==7==ERROR: AddressSanitizer: heap-use-after-free on address 0x602000000010",
        "text_probe.cpp:9:5: runtime error: load of null pointer of type 'char'",
        "    SUMMARY: AddressSanitizer: 15 byte(s) leaked in 1 allocation(s).",
    };
    for (const char *report : reports) {
        // Static: the failure-capturing macro cannot see the test's locals.
        static std::string script;
        script = std::string("echo '") + report + "' >&2; exit 1";
        EXPECT_NONFATAL_FAILURE(ProbeRun("/bin/sh", Shell(script)), "sanitizer report");
    }
}

TEST(Harness, LostChildStatusIsAnErrorNotACleanExit)
{
    // With SIGCHLD ignored the kernel reaps the child and waitpid fails.
    signal(SIGCHLD, SIG_IGN);
    EXPECT_NONFATAL_FAILURE(ProbeRun("/bin/sh", Shell("exit 0")), "waitpid");
    signal(SIGCHLD, SIG_DFL);
}

// A sweep must never lose its cases silently: every case without the
// variable (and with 1), else the first and every Nth.
TEST(Harness, SweepKeepsEveryCaseOrTheFirstAndEveryNth)
{
    const int cases[] = {10, 11, 12, 13, 14, 15, 16};
    const std::vector<int> all(std::begin(cases), std::end(cases));
    // A value that names no step keeps every case, never none or a crash.
    const struct {
        const char *every; // nullptr: unset
        std::vector<int> kept;
    } rows[] = {
        {nullptr, all}, {"1", all}, {"3", {10, 13, 16}}, {"8", {10}},
        {"0", all},     {"", all},  {"-5", all},         {"x", all},
    };
    const char *const before = getenv("TIFF_PROBES_SWEEP_EVERY");
    const std::string saved = before ? before : "";
    for (const auto &row : rows) {
        SCOPED_TRACE(row.every ? row.every : "(unset)");
        if (row.every)
            setenv("TIFF_PROBES_SWEEP_EVERY", row.every, 1);
        else
            unsetenv("TIFF_PROBES_SWEEP_EVERY");
        EXPECT_EQ(Sampled(cases), row.kept);
    }
    if (before)
        setenv("TIFF_PROBES_SWEEP_EVERY", saved.c_str(), 1);
    else
        unsetenv("TIFF_PROBES_SWEEP_EVERY");
}

} // namespace
