// The runner when the library under test misbehaves (hangs, crashes, exits
// oddly, warns) and when its environment is unusual: signals, pipes that
// close, TMPDIR, CDPATH, symlinks. Each run gets a private
// TMPDIR, which must be empty afterwards, with no probe process left.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "probe_run.h"
#include "process.h"

namespace {

class RunnerLimits : public ::testing::Test {
  protected:
    // A private TMPDIR beside the harness's own scratch directories, so a
    // relative path from one to the other is known.
    void SetUp() override
    {
        base_ = TempBase();
        tmp_ = MakeTempDir("runner-limits");
        ASSERT_FALSE(tmp_.empty());
        name_ = tmp_.substr(base_.size() + 1);
    }
    void TearDown() override { RemoveTree(tmp_); }

    // A path outside TMPDIR, removed by the test.
    std::string Beside(const char *suffix) const { return tmp_ + suffix; }

    ProbeOptions Options(std::vector<std::string> args, const std::string &faults = "") const
    {
        ProbeOptions options;
        options.args = std::move(args);
        options.faults = faults;
        options.env.emplace_back("TMPDIR", tmp_);
        // The runner and the shell tools share the preload; their leaks are not ours.
        if (SanitizerBuild())
            options.env.emplace_back("ASAN_OPTIONS", "detect_leaks=0:exitcode=99");
        return options;
    }

    // Nothing left in TMPDIR, and no process working below it.
    void ExpectNothingLeft() const
    {
        std::vector<std::string> left;
        DIR *d = opendir(tmp_.c_str());
        ASSERT_NE(d, nullptr);
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] != '.')
                left.emplace_back(e->d_name);
        }
        closedir(d);
        EXPECT_TRUE(left.empty()) << left.front();
        DIR *proc = opendir("/proc");
        ASSERT_NE(proc, nullptr);
        while (dirent *e = readdir(proc)) {
            char cwd[4096];
            const std::string link = std::string("/proc/") + e->d_name + "/cwd";
            const ssize_t n = readlink(link.c_str(), cwd, sizeof(cwd) - 1);
            if (n > 0) {
                cwd[n] = '\0';
                EXPECT_NE(std::string(cwd).rfind(tmp_, 0), 0U) << "process " << e->d_name;
            }
        }
        closedir(proc);
    }

    std::string base_;
    std::string name_;
    std::string tmp_;
};

std::vector<std::string> Tail(const std::vector<std::string> &lines)
{
    return lines.empty() ? lines : std::vector<std::string>(lines.begin() + 1, lines.end());
}

// The TAP form of the same lines is in the reports' unit tests.
TEST_F(RunnerLimits, MisbehavingProbes)
{
    const struct {
        const char *faults;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> text; // after the library line
    } cases[] = {
        {"hang:r",
         {"--timeout", "1", "halfword_probe", "word_probe"},
         1,
         {"FAIL halfword_probe", "    timed out after 1 s", "FAIL word_probe",
          "    timed out after 1 s", "0 passed, 2 failed"}},
        {"crash:r",
         {"text_probe"},
         1,
         {"FAIL text_probe", "    terminated by signal 11", "0 passed, 1 failed"}},
        // A crash in one of two probes running at once.
        {"crash:r@short_test.tiff",
         {"-j", "2", "halfword_probe", "word_probe"},
         1,
         {"FAIL halfword_probe", "    terminated by signal 11", "PASS word_probe",
          "1 passed, 1 failed"}},
        {"exit:w=7",
         {"word_probe", "text_probe"},
         1,
         {"FAIL word_probe", "    exit status 7", "FAIL text_probe", "    exit status 7",
          "0 passed, 2 failed"}},
        // A pass that the library warned about is still a pass, but shown.
        {"warn:259",
         {"halfword_probe", "word_probe"},
         0,
         {"PASS halfword_probe", "    fault_shim: Warning, injected warning for tag 259.",
          "PASS word_probe", "2 passed, 0 failed, 1 with messages"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ProbeRun text(RUNNER_PATH, Options(c.args, c.faults));
        ASSERT_TRUE(text.exited()) << text.describe();
        EXPECT_EQ(text.status(), c.status);
        EXPECT_EQ(Tail(text.stdout_lines()), c.text) << text.describe();
        // Nothing from outside the verdict, such as a shell's crash report.
        EXPECT_TRUE(text.stderr_lines().empty()) << text.describe();
        ExpectNothingLeft();
    }
}

// Whatever a probe leaves running in its process group goes with it, after a
// normal end and at the time limit.
TEST_F(RunnerLimits, NoProcessOfAProbeOutlivesIt)
{
    ProbeRun ended(RUNNER_PATH, Options({"word_probe"}, "linger:w"));
    EXPECT_EQ(ended.status(), 0) << ended.describe();
    ExpectNothingLeft();
    ProbeRun killed(RUNNER_PATH, Options({"--timeout", "1", "word_probe"}, "linger:w;hang:r"));
    EXPECT_EQ(killed.status(), 1) << killed.describe();
    ExpectNothingLeft();
}

TEST_F(RunnerLimits, SignalsStopTheRunAndLeaveNothing)
{
    const struct {
        int sig;
        int status;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    // One probe running, and two at once, each stopped.
    for (const char *jobs : {"1", "2"})
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string("-j ") + jobs + ", signal " + std::to_string(c.sig));
            ProbeOptions options = Options({"-j", jobs, "halfword_probe", "word_probe"}, "hang:r");
            options.stop_signal = c.sig;
            // After the runner has set its handlers: under the sanitizers or
            // QEMU on a loaded machine its start alone can take longer than
            // 300 ms. The probes hang in their reads until the signal.
            options.stop_after_ms = SanitizerBuild() || *Emulator() ? 3000 : 300;
            ProbeRun run(RUNNER_PATH, options);
            ASSERT_TRUE(run.exited()) << run.describe();
            EXPECT_EQ(run.status(), c.status);
            EXPECT_EQ(Tail(run.stdout_lines()), std::vector<std::string>{});
            ExpectNothingLeft();
        }
    // A reader that goes away: the runner stops as SIGPIPE would, at once,
    // though the next probe would hang.
    ProbeRun piped("/bin/bash",
                   Options({"-c",
                            std::string(Emulator()) +
                                " \"$0\" --timeout 10 | head -n 1; exit ${PIPESTATUS[0]}",
                            RUNNER_PATH},
                           "hang:r@long_test.tiff"));
    ASSERT_TRUE(piped.exited()) << piped.describe();
    EXPECT_EQ(piped.status(), 141);
    EXPECT_EQ(piped.stdout_lines().size(), 1U) << piped.describe();
    ExpectNothingLeft();
}

// Probes run at once each have their own time limit, and the verdict keeps
// the list's order though the probe that hangs is the first.
TEST_F(RunnerLimits, JobsKeepOrderAndTimeLimits)
{
    const struct {
        const char *jobs;
        const char *faults;
        double at_most; // seconds for the whole run
        std::vector<std::string> text;
    } cases[] = {
        {"3",
         "hang:r@short_test.tiff",
         3.5,
         {"FAIL halfword_probe", "    timed out after 2 s", "PASS word_probe", "PASS text_probe",
          "2 passed, 1 failed"}},
        // Two probes at their limit at once: 2 s, not one after the other.
        {"2",
         "hang:r@short_test.tiff;hang:r@long_test.tiff",
         3.5,
         {"FAIL halfword_probe", "    timed out after 2 s", "FAIL word_probe",
          "    timed out after 2 s", "PASS text_probe", "1 passed, 2 failed"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string("-j ") + c.jobs + " " + c.faults);
        timespec start;
        timespec end;
        clock_gettime(CLOCK_MONOTONIC, &start);
        ProbeRun run(RUNNER_PATH, Options({"--timeout", "2", "-j", c.jobs, "halfword_probe",
                                           "word_probe", "text_probe"},
                                          c.faults));
        clock_gettime(CLOCK_MONOTONIC, &end);
        ASSERT_TRUE(run.exited()) << run.describe();
        EXPECT_EQ(run.status(), 1);
        EXPECT_EQ(Tail(run.stdout_lines()), c.text) << run.describe();
        EXPECT_LT(static_cast<double>(end.tv_sec - start.tv_sec) +
                      static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9,
                  c.at_most);
        ExpectNothingLeft();
    }
}

TEST_F(RunnerLimits, JunitReportIsWellFormedWhateverTheLibraryPrints)
{
    const std::string report = Beside(".xml");
    ProbeOptions options =
        Options({"--junit", report, "halfword_probe", "word_probe", "type_probe"},
                "warn:259@short_test.tiff;warn:65150@types_le.tif");
    // Markup, a quote, and bytes that are not UTF-8 or not allowed in XML:
    // a lone byte, an overlong form, a control character, a stray
    // continuation byte, a code point past U+10FFFF and a surrogate.
    options.env.emplace_back(
        "TIFF_PROBES_WARNING",
        " <b> & \xff \"q\" \xe0\x9f\xbf \x01 \x80 \xf4\x90\x80\x80 \xed\xa0\x80");
    ProbeRun run(RUNNER_PATH, options);
    EXPECT_EQ(run.status(), 1) << run.describe();
    ProbeRun lint("/usr/bin/xmllint", Options({"--noout", report}));
    EXPECT_EQ(lint.status(), 0) << lint.describe();

    FILE *f = fopen(report.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string xml;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof(buf), f)) > 0;)
        xml.append(buf, n);
    fclose(f);
    remove(report.c_str());
    // Each escape, and the report's exact form, is in the reports' unit tests.
    const char *const expected[] = {
        R"(<testsuite name="tiff-probes" tests="3" failures="1")",
        R"(<property name="tiff_library" value="LIBTIFF, Version )",
        R"(<testcase name="halfword_probe" classname="tiff-probes" time=")",
        "<system-err>fault_shim: Warning, injected warning for tag 259 &lt;b&gt; &amp; \\xFF ",
        R"(<testcase name="word_probe" classname="tiff-probes" time=")",
        R"(<failure message="type_probe failed">)",
        "types_le.tif: the library reported a problem.\n",
    };
    for (const char *e : expected)
        EXPECT_NE(xml.find(e), std::string::npos) << e << "\nin\n" << xml;
    ExpectNothingLeft();
}

TEST_F(RunnerLimits, ArgumentsAndEnvironment)
{
    // What each argument list selects, and each usage error, is in the
    // options' unit tests.
    // CDPATH cannot lead the runner astray.
    ProbeOptions cdpath = Options({"word_probe"});
    cdpath.env.emplace_back("CDPATH", ".");
    EXPECT_EQ(ProbeRun(RUNNER_PATH, cdpath).status(), 0);

    // An unusable TMPDIR is the environment's fault, not a usage error.
    ProbeOptions no_tmp = Options({"word_probe"});
    no_tmp.env.emplace_back("TMPDIR", tmp_ + "/missing");
    ProbeRun missing(RUNNER_PATH, no_tmp);
    EXPECT_EQ(missing.status(), 3);
    EXPECT_EQ(missing.stderr_lines(),
              std::vector<std::string>{"tiff-probes: no usable TMPDIR " + tmp_ +
                                       "/missing: No such file or directory"});

    // A symlink to the runner finds the probes next to the real one.
    const std::string link = Beside(".link");
    ASSERT_EQ(symlink(RUNNER_PATH, link.c_str()), 0);
    ProbeRun linked(link, Options({"word_probe"}));
    unlink(link.c_str());
    EXPECT_EQ(linked.status(), 0) << linked.describe();

    // A runner without its probes says which one is missing.
    const std::string bin = Beside(".bin");
    ProbeRun copy("/bin/cp", Options({RUNNER_PATH, bin}));
    ASSERT_EQ(copy.status(), 0);
    ProbeRun lonely(bin, Options({"word_probe"}));
    unlink(bin.c_str());
    EXPECT_EQ(lonely.status(), 3);
    ASSERT_EQ(lonely.stderr_lines().size(), 1U) << lonely.describe();
    EXPECT_EQ(lonely.stderr_lines()[0].rfind("tiff-probes: missing probe program ", 0), 0U);
    ExpectNothingLeft();
}

TEST_F(RunnerLimits, KeepPrintsAbsolutePathsForARelativeTmpdir)
{
    ProbeOptions options = Options({"--keep", "word_probe"});
    // The run's working directory is its own scratch directory; TMPDIR is
    // given relative to it.
    options.env.emplace_back("TMPDIR", "../" + name_);
    ProbeRun run(RUNNER_PATH, options);
    ASSERT_EQ(run.status(), 0) << run.describe();
    ASSERT_EQ(run.stdout_lines().size(), 4U) << run.describe();
    const std::string kept = run.stdout_lines()[2];
    ASSERT_EQ(kept.rfind("    kept /", 0), 0U) << kept;
    EXPECT_EQ(access(kept.substr(9).c_str(), F_OK), 0) << kept;
}

TEST_F(RunnerLimits, VersionNamesSuiteAndLibrary)
{
    ProbeRun run(RUNNER_PATH, Options({"--version"}));
    EXPECT_EQ(run.status(), 0);
    ASSERT_EQ(run.stdout_lines().size(), 2U) << run.describe();
    EXPECT_EQ(run.stdout_lines()[0], std::string("tiff-probes ") + SUITE_VERSION);
    EXPECT_EQ(run.stdout_lines()[1].rfind("TIFF library: LIBTIFF, Version ", 0), 0U);
    ExpectNothingLeft();
}

} // namespace
