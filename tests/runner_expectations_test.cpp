// Known-defect expectations end to end: probes made to fail by the shim
// with exactly the expected lines (XFAIL), with one line more (FAIL), with
// fewer (XFAIL, the entries not seen named), or passing where a failure is
// expected (XPASS, and --strict); lists in blocks, --list-expected; the
// installed list found beside the runner, and ignored with --no-expectations.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "probe_run.h"
#include "process.h"

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define THIS_BYTE_ORDER "big-endian"
#define OTHER_BYTE_ORDER "little-endian"
#else
#define THIS_BYTE_ORDER "little-endian"
#define OTHER_BYTE_ORDER "big-endian"
#endif

// One entry a line, for the probes the cases below make fail.
const char entries[] =
    "# test expectations\n"
    "word_probe\t*\t*\tCan't set tag 254.\tNewSubfileType refused\tknown\n"
    "type_probe\t*\t*\tCan't set tag 65032 in types_le.tif.\tSHORT refused\tknown\n"
    "type_probe\t*\t*\tCan't set tag 65040 in *\tLONG refused\tknown\n"
    "text_probe\t*\t*\tCan't set tag 270.\tImageDescription refused\ttext\n"
    "strip_probe\t0.1-0.2\t*\tCan't set tag 254.\ta release long gone\tgone\n"
    // Entries for hosts other than this one, and a limitation.
    "halfword_probe\t*\tno_such_arch\tCan't set tag 259.\tanother arch\tarch\n"
    "halfword_probe\t*\t" OTHER_BYTE_ORDER "\tCan't set tag 259.\tother order\torder\n";
// A limitation, in a list of its own since it applies to halfword_probe.
const char limitation[] = "halfword_probe\t*\t" THIS_BYTE_ORDER
                          "\tCan't set PhotometricInterpretation tag.\tlimitation: Photometric "
                          "unsupported\tphotometric\n";

class RunnerExpectations : public ::testing::Test {
  protected:
    void SetUp() override
    {
        dir_ = MakeTempDir("expectations");
        ASSERT_FALSE(dir_.empty());
        file_ = Write("expectations", entries);
        limited_ = Write("limited", std::string(entries) + limitation);
    }
    void TearDown() override { RemoveTree(dir_); }

    std::string Write(const std::string &name, const std::string &text) const
    {
        std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    std::string dir_;
    std::string file_;
    std::string limited_;
};

// The verdict after the library line, and the exit status.
void ExpectVerdict(const ProbeRun &run, int status, const std::vector<std::string> &lines)
{
    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), status) << run.describe();
    ASSERT_FALSE(run.stdout_lines().empty()) << run.describe();
    EXPECT_EQ(std::vector<std::string>(run.stdout_lines().begin() + 1, run.stdout_lines().end()),
              lines);
    EXPECT_TRUE(run.stderr_lines().empty()) << run.describe();
}

TEST_F(RunnerExpectations, KnownUnexpectedAndFixed)
{
    const struct {
        std::vector<std::string> args; // after --verbose --expectations FILE
        const char *faults;
        int status;
        std::vector<std::string> verdict;
    } cases[] = {
        // Failing with exactly the expected line.
        {{"word_probe"},
         "set:254@long_test.tiff",
         0,
         {"XFAIL word_probe (known: NewSubfileType refused)", "    Can't set tag 254.",
          "    see defects/known.c", "0 passed, 0 failed, 1 known"}},
        // A prefix expects the line of every layout; the entry for one
        // layout's SHORT is not seen.
        {{"type_probe", "halfword_probe"},
         "set:65040",
         0,
         {"XFAIL type_probe (known: LONG refused; not seen: defects/known.c)",
          "    Can't set tag 65040 in types_le.tif.", "    Can't set tag 65040 in types_be.tif.",
          "    Can't set tag 65040 in types_le.btf.", "    Can't set tag 65040 in types_be.btf.",
          "    not seen: Can't set tag 65032 in types_le.tif.", "    see defects/known.c",
          "PASS halfword_probe", "1 passed, 0 failed, 1 known, 1 partly seen"}},
        // The expected line and more: a failure as without expectations.
        // (Each layout stops before the library's own known defects.)
        {{"type_probe"},
         "set:65032@types_le.tif;set:65041",
         1,
         {"FAIL type_probe", "    Can't set tag 65032 in types_le.tif.",
          "    Can't set tag 65041 in types_be.tif.", "    Can't set tag 65041 in types_le.btf.",
          "    Can't set tag 65041 in types_be.btf.", "0 passed, 1 failed"}},
        // Expected lines, and then a crash or another exit status.
        {{"type_probe"},
         "set:65032@types_le.tif;crash:wb",
         1,
         {"FAIL type_probe", "    Can't set tag 65032 in types_le.tif.",
          "    terminated by signal 11", "0 passed, 1 failed"}},
        {{"type_probe"},
         "set:65032@types_le.tif;exit:wb=7",
         1,
         {"FAIL type_probe", "    Can't set tag 65032 in types_le.tif.", "    exit status 7",
          "0 passed, 1 failed"}},
        // Passing where a failure is expected: shown, and exit 0 unless --strict.
        {{"text_probe", "word_probe"},
         "",
         0,
         {"XPASS text_probe (fixed? ImageDescription refused)", "    see defects/text.c",
          "XPASS word_probe (fixed? NewSubfileType refused)", "    see defects/known.c",
          "2 passed, 0 failed, 2 unexpectedly passed"}},
        {{"--strict", "text_probe", "halfword_probe"},
         "",
         1,
         {"XPASS text_probe (fixed? ImageDescription refused)", "    see defects/text.c",
          "PASS halfword_probe", "1 passed, 1 failed, 1 unexpectedly passed"}},
        // An entry for other library versions expects nothing here, nor
        // one for another architecture or byte order.
        {{"strip_probe"}, "", 0, {"PASS strip_probe", "1 passed, 0 failed"}},
        {{"halfword_probe"},
         "set:259",
         1,
         {"FAIL halfword_probe", "    Can't set tag 259.", "0 passed, 1 failed"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        std::vector<std::string> args = {"--verbose", "--expectations", file_};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ExpectVerdict(ProbeRun(RUNNER_PATH, RunnerOptions(args, c.faults)), c.status, c.verdict);
    }
}

// An entry that does not show, from a block whose alternatives expect
// NewSubfileType and ImageWidth refused where only the first is: named on
// the probe's line and under it, in text, TAP and JUnit; a failure with
// --strict.
TEST_F(RunnerExpectations, EntriesNotSeen)
{
    const std::string list = Write("partly", "# one line\n"
                                             "text_probe\t*\t*\tCan't set tag 270.\tr\ttext\n"
                                             "\n"
                                             "probe: word_probe\n"
                                             "reproduction: known\n"
                                             "versions: *\n"
                                             "reason: a field refused\n"
                                             "on *:\n"
                                             "    Can't set tag 254.\n"
                                             "on " THIS_BYTE_ORDER ":\n"
                                             "    Can't set tag {256,257}.\n"
                                             "on " OTHER_BYTE_ORDER ":\n"
                                             "    Can't set tag 258.\n");
    const std::string faults = "set:254@long_test.tiff";
    const std::string line = "XFAIL word_probe (known: a field refused; not seen: defects/known.c) "
                             "1 line, defects/known.c";
    const std::vector<std::string> unseen = {"    not seen: Can't set tag 256.",
                                             "    not seen: Can't set tag 257."};
    const struct {
        std::vector<std::string> args; // before --expectations FILE word_probe
        int status;
        std::vector<std::string> verdict;
    } cases[] = {
        {{}, 0, {line, unseen[0], unseen[1], "0 passed, 0 failed, 1 known, 1 partly seen"}},
        {{"--strict"}, 1, {line, unseen[0], unseen[1], "0 passed, 1 failed, 1 partly seen"}},
        {{"--verbose"},
         0,
         {"XFAIL word_probe (known: a field refused; not seen: defects/known.c)",
          "    Can't set tag 254.", unseen[0], unseen[1], "    see defects/known.c",
          "0 passed, 0 failed, 1 known, 1 partly seen"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--expectations", list, "word_probe"});
        ExpectVerdict(ProbeRun(RUNNER_PATH, RunnerOptions(args, faults)), c.status, c.verdict);
    }

    const struct {
        bool strict;
        int status;
        std::vector<std::string> tap;
        const char *junit; // in the report
    } reports[] = {
        {false,
         0,
         {"not ok 1 - word_probe # TODO known: a field refused; not seen: defects/known.c",
          "# Can't set tag 254.", "# not seen: Can't set tag 256.",
          "# not seen: Can't set tag 257.", "# see defects/known.c",
          "# 0 passed, 0 failed, 1 known, 1 partly seen"},
         R"( failures="0" errors="0" skipped="1" )"},
        {true,
         1,
         {"not ok 1 - word_probe",
          "# XFAIL word_probe (known: a field refused; not seen: defects/known.c)",
          "# Can't set tag 254.", "# not seen: Can't set tag 256.",
          "# not seen: Can't set tag 257.", "# see defects/known.c",
          "# 0 passed, 1 failed, 1 partly seen"},
         R"( failures="1" errors="0" skipped="0" )"},
    };
    for (const auto &r : reports) {
        SCOPED_TRACE(r.strict ? "--strict" : "lenient");
        const std::string report = dir_ + "/report.xml";
        std::vector<std::string> args = {"--tap",          "--junit", report,
                                         "--expectations", list,      "word_probe"};
        if (r.strict)
            args.push_back("--strict");
        ProbeRun run(RUNNER_PATH, RunnerOptions(args, faults));
        EXPECT_EQ(run.status(), r.status) << run.describe();
        ASSERT_GE(run.stdout_lines().size(), 3U) << run.describe();
        EXPECT_EQ(
            std::vector<std::string>(run.stdout_lines().begin() + 3, run.stdout_lines().end()),
            r.tap);
        std::string xml;
        std::ifstream in(report);
        for (std::string l; std::getline(in, l);)
            xml += l + "\n";
        for (const char *e : {r.junit, ">not seen: Can't set tag 256.\n"
                                       "not seen: Can't set tag 257.\nsee defects/known.c"})
            EXPECT_NE(xml.find(e), std::string::npos) << e << "\nin\n" << xml;
        ProbeRun lint("/usr/bin/xmllint", RunnerOptions({"--noout", report}));
        EXPECT_EQ(lint.status(), 0) << lint.describe();
    }
}

// --list-expected: the entries that apply to this library and host, blocks
// expanded, in the one-line form; of the probes named, or of all.
TEST_F(RunnerExpectations, ListExpected)
{
    const std::string list = Write("blocks", "probe: halfword_probe\n"
                                             "reproduction: order\n"
                                             "versions: 4-\n"
                                             "reason: r\n"
                                             "on " THIS_BYTE_ORDER ":\n"
                                             "  here_{le,be}.tif\n"
                                             "on " OTHER_BYTE_ORDER ":\n"
                                             "  there.tif\n"
                                             "on *, versions 0.1:\n"
                                             "  gone.tif\n"
                                             "\n"
                                             "word_probe\t*\t*\tCan't set tag 254.\tw\tknown\n"
                                             "word_probe\t*\tno_such_arch\tx\tw\tknown\n");
    const std::string here = "halfword_probe\t4-\t" THIS_BYTE_ORDER "\there_";
    const struct {
        std::vector<std::string> names;
        std::vector<std::string> out;
    } cases[] = {
        {{},
         {here + "le.tif\tr\torder", here + "be.tif\tr\torder",
          "word_probe\t*\t*\tCan't set tag 254.\tw\tknown"}},
        {{"word_probe"}, {"word_probe\t*\t*\tCan't set tag 254.\tw\tknown"}},
        {{"text_probe"}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.names.empty() ? "(all)" : c.names.front());
        std::vector<std::string> args = {"--expectations", list, "--list-expected"};
        args.insert(args.end(), c.names.begin(), c.names.end());
        ProbeRun run(RUNNER_PATH, RunnerOptions(args));
        EXPECT_EQ(run.status(), 0) << run.describe();
        EXPECT_EQ(run.stdout_lines(), c.out);
        EXPECT_TRUE(run.stderr_lines().empty()) << run.describe();
    }
    // The installed list, whatever it holds, lists only lines of its probes.
    ProbeRun shipped(RUNNER_PATH, RunnerOptions({"--list-expected", "type_probe"}));
    EXPECT_EQ(shipped.status(), 0) << shipped.describe();
    for (const std::string &l : shipped.stdout_lines())
        EXPECT_EQ(l.rfind("type_probe\t", 0), 0U) << l;
}

TEST_F(RunnerExpectations, TapAndJunit)
{
    const std::string report = dir_ + "/report.xml";
    ProbeRun run(RUNNER_PATH, RunnerOptions({"--tap", "--junit", report, "--expectations", file_,
                                             "word_probe", "text_probe"},
                                            "set:254@long_test.tiff"));
    ASSERT_GE(run.stdout_lines().size(), 2U) << run.describe();
    EXPECT_EQ(run.stdout_lines()[1].rfind("# TIFF library: ", 0), 0U) << run.describe();
    std::vector<std::string> lines = run.stdout_lines();
    lines.erase(lines.begin() + 1);
    const std::vector<std::string> expected = {
        "TAP version 13",
        "1..2",
        "not ok 1 - word_probe # TODO known: NewSubfileType refused",
        "# Can't set tag 254.",
        "# see defects/known.c",
        "ok 2 - text_probe # TODO fixed? ImageDescription refused",
        "# see defects/text.c",
        "# 1 passed, 0 failed, 1 known, 1 unexpectedly passed"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(run.status(), 0) << run.describe();
    ProbeRun lint("/usr/bin/xmllint", RunnerOptions({"--noout", report}));
    EXPECT_EQ(lint.status(), 0) << lint.describe();
    std::string xml;
    std::ifstream in(report);
    for (std::string line; std::getline(in, line);)
        xml += line + "\n";
    for (const char *e : {R"( failures="0" errors="0" skipped="1" )",
                          R"(<skipped message="known: NewSubfileType refused">)"})
        EXPECT_NE(xml.find(e), std::string::npos) << e << "\nin\n" << xml;

    if (access(PROVE_PATH, X_OK) != 0)
        GTEST_SKIP() << "prove (perl) is not installed";
    ProbeRun prove(PROVE_PATH, RunnerOptions({"--exec", Emulator(), RUNNER_PATH, "::", "--tap",
                                              "--expectations", file_, "word_probe", "text_probe"},
                                             "set:254@long_test.tiff"));
    EXPECT_EQ(prove.status(), 0) << prove.describe();
}

// Without --verbose each XFAIL is one line, in the order of the list
// whatever order the probes end in; a FAIL keeps its lines.
TEST_F(RunnerExpectations, ShortVerdict)
{
    const std::string faults = "set:65040;set:262@short_test.tiff;set:256@long_test.tiff";
    const std::string limited_line = "XFAIL halfword_probe (limitation: Photometric unsupported) "
                                     "1 line, defects/photometric.c";
    const std::string short_line = "XFAIL type_probe (known: LONG refused; not seen: "
                                   "defects/known.c) 4 lines, defects/known.c";
    ExpectVerdict(
        ProbeRun(RUNNER_PATH, RunnerOptions({"--expectations", limited_, "-j", "3", "type_probe",
                                             "halfword_probe", "word_probe"},
                                            faults)),
        1,
        {short_line, "    not seen: Can't set tag 65032 in types_le.tif.", limited_line,
         "FAIL word_probe", "    Can't set ImageWidth tag.",
         "0 passed, 1 failed, 2 known, 1 partly seen"});
    // --verbose: a limitation names itself, its lines under it.
    ExpectVerdict(ProbeRun(RUNNER_PATH, RunnerOptions({"--expectations", limited_, "--verbose",
                                                       "halfword_probe"},
                                                      faults)),
                  0,
                  {"XFAIL halfword_probe (limitation: Photometric unsupported)",
                   "    Can't set PhotometricInterpretation tag.", "    see defects/photometric.c",
                   "0 passed, 0 failed, 1 known"});
}

// --defect-expected NAME: 0 when an entry of that reproduction applies here,
// 1 when none does (by host, by version), 2 when no entry names it; a
// malformed list is 3, as for a run.
TEST_F(RunnerExpectations, DefectExpected)
{
    const std::string malformed = Write("bad", "word_probe\n");
    const struct {
        std::string list;
        const char *name;
        int status;
        const char *line; // standard output's, or standard error's
    } cases[] = {
        {limited_, "photometric", 0, "defects/photometric.c: the defect is expected with LIBTIFF"},
        {limited_, "order", 1, "defects/order.c: the defect is not expected with LIBTIFF"},
        {limited_, "gone", 1, "defects/gone.c: the defect is not expected with LIBTIFF"},
        {limited_, "knwon", 2, "tiff-probes: no known-defect entry names the reproduction 'knwon'"},
        {malformed, "known", 3, "tiff-probes: "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ProbeRun run(RUNNER_PATH,
                     RunnerOptions({"--expectations", c.list, "--defect-expected", c.name}));
        EXPECT_EQ(run.status(), c.status);
        const std::vector<std::string> &out =
            c.status < 2 ? run.stdout_lines() : run.stderr_lines();
        ASSERT_EQ(out.size(), 1U) << run.describe();
        EXPECT_EQ(out[0].rfind(c.line, 0), 0U) << out[0];
        // The answer names this host's byte order.
        const std::string order = ", " THIS_BYTE_ORDER;
        if (c.status < 2) {
            EXPECT_EQ(out[0].substr(out[0].size() - std::min(out[0].size(), order.size())), order);
        }
    }
}

TEST_F(RunnerExpectations, UnusableFilesAreTheEnvironmentsFault)
{
    const struct {
        std::string text; // empty: no such file
        const char *error;
    } cases[] = {
        {"", "cannot read the expectations file FILE: No such file or directory"},
        {"# ok\nword_probe\t*\tx\tr\n",
         "FILE:2: expected 6 fields separated by tabs (probe, versions, hosts, failure line, "
         "reason, reproduction), found 4"},
        {"word_probe\t4.5.0-4.x\t*\tx\tr\ts\n",
         "FILE:1: bad versions '4.5.0-4.x' (one of 4.5.0, 4.5.0-4.7.2, 4.5.0-, -4.7.2 or *)"},
        // A block's fault is its line's, as an entry's.
        {"# a block\nprobe: word_probe\nreproduction: s\nversions: *\nreason: r\non *:\n"
         "  Can't set tag {254,256.\n",
         "FILE:7: a '{' without its '}' (a literal brace is \\{)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error);
        const std::string file = c.text.empty() ? dir_ + "/none" : Write("bad", c.text);
        ProbeRun run(RUNNER_PATH, RunnerOptions({"--expectations", file, "word_probe"}));
        ASSERT_TRUE(run.exited()) << run.describe();
        EXPECT_EQ(run.status(), 3);
        EXPECT_TRUE(run.stdout_lines().empty()) << run.describe();
        std::string error = c.error;
        error.replace(error.find("FILE"), 4, file);
        EXPECT_EQ(run.stderr_lines(), std::vector<std::string>{"tiff-probes: " + error});
    }
}

// A runner in a tree of its own reads the list installed beside it:
// bin/tiff-probes, libexec/tiff-probes/ (the build's probes) and
// share/tiff-probes/known-defects.
TEST_F(RunnerExpectations, InstalledListBesideTheRunner)
{
    for (const char *sub : {"/bin", "/libexec", "/share", "/share/tiff-probes"})
        ASSERT_EQ(mkdir((dir_ + sub).c_str(), 0700), 0) << sub;
    const std::string runner = dir_ + "/bin/tiff-probes";
    ASSERT_EQ(ProbeRun("/bin/cp", RunnerOptions({RUNNER_PATH, runner})).status(), 0);
    const std::string build =
        std::string(RUNNER_PATH).substr(0, std::string(RUNNER_PATH).rfind('/'));
    ASSERT_EQ(symlink((build + "/../" LIBEXEC_DIR).c_str(), (dir_ + "/" LIBEXEC_DIR).c_str()), 0);
    Write(DATA_DIR "/known-defects", entries);

    const std::string faults = "set:254@long_test.tiff";
    ExpectVerdict(ProbeRun(runner, RunnerOptions({"word_probe"}, faults)), 0,
                  {"XFAIL word_probe (known: NewSubfileType refused) 1 line, defects/known.c",
                   "0 passed, 0 failed, 1 known"});
    // The raw verdict reads no list at all, not even a malformed one.
    const std::vector<std::string> raw = {"FAIL word_probe", "    Can't set tag 254.",
                                          "0 passed, 1 failed"};
    ExpectVerdict(ProbeRun(runner, RunnerOptions({"--no-expectations", "word_probe"}, faults)), 1,
                  raw);
    const std::string list = Write(DATA_DIR "/known-defects", "word_probe\n");
    ExpectVerdict(ProbeRun(runner, RunnerOptions({"--no-expectations", "word_probe"}, faults)), 1,
                  raw);
    ProbeRun malformed(runner, RunnerOptions({"word_probe"}, faults));
    EXPECT_EQ(malformed.status(), 3);
    EXPECT_EQ(malformed.stderr_lines(),
              std::vector<std::string>{"tiff-probes: " + list +
                                       ":1: expected 6 fields separated by tabs (probe, "
                                       "versions, hosts, failure line, reason, reproduction), "
                                       "found 1"});
}

} // namespace
