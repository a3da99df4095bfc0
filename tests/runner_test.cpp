// The tiff-probes runner: its verdict lines and exit status, TAP as a TAP
// consumer reads it, and its usage errors.
#include <algorithm>
#include <sstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "probe_run.h"
#include "process.h"

namespace {

// The verdict's lines with each XFAIL block (the probe's known defects, its
// lines and where they are reproduced) as the one line "XFAIL name". A
// codec this library lacks (codec_probe's "skipped: no X codec", e.g. LERC
// on s390x) is its build's, not a finding: its line and the closing line's
// count of passes with messages go too.
std::vector<std::string> KnownAsOneLine(const std::vector<std::string> &lines)
{
    std::vector<std::string> out;
    bool in_known = false;
    bool skipped = false;
    for (const std::string &line : lines) {
        if (in_known && line.rfind("    ", 0) == 0)
            continue;
        if (line.rfind("    skipped: no ", 0) == 0) {
            skipped = true;
            continue;
        }
        in_known = line.rfind("XFAIL ", 0) == 0;
        out.push_back(in_known ? line.substr(0, line.find(" (")) : line);
    }
    const std::string messages = ", 1 with messages";
    if (skipped && !out.empty() && out.back().size() > messages.size() &&
        out.back().compare(out.back().size() - messages.size(), messages.size(), messages) == 0)
        out.back().resize(out.back().size() - messages.size());
    return out;
}

// The first line names the library under test; the rest is exact, but for
// the known defects of this library's release, which its clean runs show.
void ExpectVerdict(const ProbeRun &run, int status, const std::vector<std::string> &lines)
{
    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), status) << run.describe();
    ASSERT_FALSE(run.stdout_lines().empty());
    EXPECT_EQ(run.stdout_lines()[0].rfind("TIFF library: LIBTIFF, Version ", 0), 0U)
        << run.stdout_lines()[0];
    EXPECT_EQ(KnownAsOneLine(std::vector<std::string>(run.stdout_lines().begin() + 1,
                                                      run.stdout_lines().end())),
              lines);
}

// Every probe the build has, in the runner's order.
std::vector<std::string> AllProbes()
{
    std::vector<std::string> names;
    std::istringstream in(PROBE_NAMES);
    for (std::string name; in >> name;)
        names.push_back(name);
    return names;
}

// The verdict lines of a run of every probe, where `failing` fails with
// `lines`, and a probe whose clean run shows known defects is XFAIL.
std::vector<std::string> VerdictOfAll(const std::string &failing = "",
                                      const std::vector<std::string> &lines = {})
{
    std::vector<std::string> out;
    size_t passed = 0;
    size_t known = 0;
    for (const std::string &p : AllProbes()) {
        if (p == failing) {
            out.push_back("FAIL " + p);
            out.insert(out.end(), lines.begin(), lines.end());
        } else if (!CleanRun(p).lines.empty()) {
            out.push_back("XFAIL " + p);
            known++;
        } else {
            out.push_back("PASS " + p);
            passed++;
        }
    }
    const size_t failed = failing.empty() ? 0 : 1;
    out.push_back(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed" +
                  (known ? ", " + std::to_string(known) + " known" : ""));
    return out;
}

// The runs of every probe set no time limit: under the sanitizers or QEMU,
// on a loaded machine, read_probe alone can take longer than the default
// 60 s. The limit itself is RunnerLimits' to test.
const std::vector<std::string> unlimited = {"--timeout", "0"};

TEST(Runner, AllPass)
{
    ExpectVerdict(ProbeRun(RUNNER_PATH, RunnerOptions(unlimited)), 0, VerdictOfAll());
}

TEST(Runner, OneFailingProbeFailsTheVerdictWithItsLinesIndented)
{
    // directory_probe sets NewSubfileType too: only word_probe's file fails.
    ExpectVerdict(ProbeRun(RUNNER_PATH, RunnerOptions(unlimited, "set:254@long_test.tiff")), 1,
                  VerdictOfAll("word_probe", {"    Can't set tag 254."}));
}

// Each usage error's line is in the options' unit tests; here, that one
// ends the runner with status 2 before anything runs.
TEST(Runner, UsageErrorExitsWith2)
{
    ProbeRun run(RUNNER_PATH, RunnerOptions({"text_probe", "--frobnicate"}));
    EXPECT_TRUE(run.exited());
    EXPECT_EQ(run.status(), 2);
    EXPECT_EQ(run.stderr_lines(),
              std::vector<std::string>{"tiff-probes: unknown option '--frobnicate' (see --help)"});
    EXPECT_TRUE(run.stdout_lines().empty()) << run.describe();
}

TEST(Runner, ListAndHelp)
{
    ProbeRun list(RUNNER_PATH, RunnerOptions({"--list"}));
    EXPECT_EQ(list.status(), 0);
    EXPECT_EQ(
        list.stdout_lines(),
        (std::vector<std::string>{"halfword_probe", "word_probe", "text_probe", "strip_probe",
                                  "type_probe", "directory_probe", "field_probe", "tile_probe",
                                  "strile_probe", "codec_probe", "read_probe", "write_probe",
                                  "manpage_probe", "print_probe", "calls_probe", "client_probe"}));
    ProbeRun help(RUNNER_PATH, RunnerOptions({"--help"}));
    EXPECT_EQ(help.status(), 0);
    ASSERT_FALSE(help.stdout_lines().empty());
    EXPECT_EQ(help.stdout_lines()[0].rfind("Usage: tiff-probes", 0), 0U);
}

TEST(Runner, KeepPrintsTheScratchDirectoryAndKeepsIt)
{
    ProbeRun run(RUNNER_PATH, RunnerOptions({"--keep", "strip_probe"}));
    ASSERT_EQ(run.status(), 0) << run.describe();
    const std::string prefix = "    kept ";
    auto kept = std::find_if(run.stdout_lines().begin(), run.stdout_lines().end(),
                             [&](const std::string &l) { return l.rfind(prefix, 0) == 0; });
    ASSERT_NE(kept, run.stdout_lines().end()) << run.describe();
    const std::string dir = kept->substr(prefix.size());
    const std::string file = dir + "/test_packbits.tif";
    EXPECT_EQ(access(file.c_str(), F_OK), 0) << file;
    // The top directory holds this scratch directory and the captured stderr.
    RemoveTree(dir.substr(0, dir.rfind('/')));
}

TEST(Runner, TapIsAcceptedByProve)
{
    if (access(PROVE_PATH, X_OK) != 0)
        GTEST_SKIP() << "prove (perl) is not installed";
    ProbeRun pass(PROVE_PATH, RunnerOptions({"--exec", Emulator(), RUNNER_PATH, "::", "--tap",
                                             "--timeout", "0"}));
    EXPECT_EQ(pass.status(), 0) << pass.describe();
    EXPECT_NE(
        std::find(pass.stdout_lines().begin(), pass.stdout_lines().end(), "All tests successful."),
        pass.stdout_lines().end())
        << pass.describe();

    ProbeRun fail(PROVE_PATH, RunnerOptions({"--exec", Emulator(), RUNNER_PATH, "::", "--tap",
                                             "--timeout", "0"},
                                            "set:334"));
    EXPECT_NE(fail.status(), 0) << fail.describe();
    EXPECT_NE(std::find(fail.stdout_lines().begin(), fail.stdout_lines().end(), "Result: FAIL"),
              fail.stdout_lines().end())
        << fail.describe();
}

} // namespace
