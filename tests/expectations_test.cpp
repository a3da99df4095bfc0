// The known-defect expectations, in process: the file's entries, good and
// malformed, version ranges, and the verdict they give a probe's lines.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expectations.h"
#include "process.h"

namespace {

std::vector<std::string> Probes()
{
    return {"word_probe", "type_probe"};
}

// The host the tests judge on, whichever host runs them.
Host Here()
{
    return {"x86_64", false};
}

std::vector<Expectation> Parse(const std::string &text)
{
    std::vector<Expectation> entries;
    size_t line = 0;
    std::string error;
    EXPECT_TRUE(ParseExpectations(text, Probes(), &entries, &line, &error))
        << "line " << line << ": " << error;
    return entries;
}

TEST(Expectations, GoodEntries)
{
    const struct {
        const char *text;
        Version low, high;
        const char *line;
        bool any;
        bool prefix;
    } cases[] = {
        {"type_probe\t4.5.0\t*\tWrong tag 1.\tr\ts",
         {4, 5, 0},
         {4, 5, 0},
         "Wrong tag 1.",
         false,
         false},
        {"type_probe\t4.5.0-4.7.2\t*\tWrong *\tr\ts", {4, 5, 0}, {4, 7, 2}, "Wrong ", false, true},
        {"type_probe\t4.5-\t*\t*x*\tr\ts", {4, 5}, {}, "*x", false, true},
        {"type_probe\t-4\t*\tx\tr\ts", {}, {4}, "x", false, false},
        {"type_probe\t*\t*\tx\tr\ts", {}, {}, "x", true, false},
        // Spaces belong to the line, which must match exactly.
        {"type_probe\t*\t*\t x \tr\ts", {}, {}, " x ", true, false},
        {"type_probe\t4.5.0.1\t*\tx\tr\ts", {4, 5, 0, 1}, {4, 5, 0, 1}, "x", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const std::vector<Expectation> entries = Parse(c.text);
        ASSERT_EQ(entries.size(), 1U);
        const Expectation &e = entries[0];
        EXPECT_EQ(e.probe, "type_probe");
        EXPECT_EQ(e.low, c.low);
        EXPECT_EQ(e.high, c.high);
        EXPECT_EQ(e.any_version, c.any);
        EXPECT_EQ(e.line, c.line);
        EXPECT_EQ(e.prefix, c.prefix);
        EXPECT_EQ(e.reason, "r");
        EXPECT_FALSE(e.limitation);
        EXPECT_EQ(e.reproduction, "s");
    }
    // Comments and empty lines are skipped; entries keep the file's order.
    const std::vector<Expectation> entries = Parse(
        "# a comment\n\n   \n\t# indented\nword_probe\t*\t*\ta\tr\ts\ntype_probe\t*\t*\tb\tr\ts\n");
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[0].line, "a");
    EXPECT_EQ(entries[1].line, "b");
    EXPECT_TRUE(Parse("").empty());
}

TEST(Expectations, MalformedEntriesNameTheirLine)
{
    const struct {
        const char *text;
        size_t line;
        const char *error;
    } cases[] = {
        {"type_probe 4.5.0 x r s", 1,
         "expected 6 fields separated by tabs (probe, versions, hosts, failure line, reason, "
         "reproduction), found 1"},
        {"# ok\n\ntype_probe\t4.5.0\t*\tx\tr", 3,
         "expected 6 fields separated by tabs (probe, versions, hosts, failure line, reason, "
         "reproduction), found 5"},
        {"type_probe\t4.5.0\t*\tx\tr\ts\tmore", 1,
         "expected 6 fields separated by tabs (probe, versions, hosts, failure line, reason, "
         "reproduction), found 7"},
        // The old five fields, without hosts.
        {"type_probe\t4.5.0\tx\tr\ts", 1,
         "expected 6 fields separated by tabs (probe, versions, hosts, failure line, reason, "
         "reproduction), found 5"},
        {"word_probe\t*\t*\tx\tr\ts\ntype_probe\t\t*\tx\tr\ts", 2, "empty versions"},
        {"\t*\t*\tx\tr\ts", 1, "empty probe"},
        {"type_probe\t*\t*\t\tr\ts", 1, "empty failure line"},
        {"type_probe\t*\t*\tx\t\ts", 1, "empty reason"},
        {"type_probe\t*\t*\tx\tr\t", 1, "empty reproduction"},
        {"type_probe\t*\t\tx\tr\ts", 1, "empty hosts"},
        {"type_probe\t*\tlittle_endian\tx\tr\ts", 1,
         "bad hosts 'little_endian' (one of *, little-endian, big-endian or an architecture such "
         "as x86_64)"},
        {"type_probe\t*\tx86 64\tx\tr\ts", 1,
         "bad hosts 'x86 64' (one of *, little-endian, big-endian or an architecture such as "
         "x86_64)"},
        {"type_probe\t*\t*\tx\tlimitation: \ts", 1, "a limitation without its reason"},
        {"type_probe\t*\t*\tx\tr\tdefects/s.c", 1,
         "bad reproduction 'defects/s.c' (NAME of defects/NAME.c: letters, digits and _)"},
        {"tipe_probe\t*\t*\tx\tr\ts", 1, "unknown probe 'tipe_probe'"},
        {"type_probe\t*\t*\t*\tr\ts", 1, "a failure line of only '*' would expect every line"},
        {"type_probe\t4.7.2-4.5.0\t*\tx\tr\ts", 1, "versions '4.7.2-4.5.0' include none"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Expectation> entries;
        size_t line = 0;
        std::string error;
        EXPECT_FALSE(ParseExpectations(c.text, Probes(), &entries, &line, &error));
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(error, c.error);
    }
    for (const char *versions : {"-", "4.5.0-4.7.2-5", "4..5", "4.5.", ".4", "v4.5", "4.5.0 ",
                                 "4,5", "1.2.3.4.5", "1234567890", "4.5-*", "**", "-4.5-"}) {
        SCOPED_TRACE(versions);
        std::vector<Expectation> entries;
        size_t line = 0;
        std::string error;
        EXPECT_FALSE(ParseExpectations(std::string("type_probe\t") + versions + "\t*\tx\tr\ts",
                                       Probes(), &entries, &line, &error));
        EXPECT_EQ(error, std::string("bad versions '") + versions +
                             "' (one of 4.5.0, 4.5.0-4.7.2, 4.5.0-, -4.7.2 or *)");
    }
}

TEST(Expectations, LibraryVersionFromItsVersionString)
{
    const struct {
        const char *reported;
        Version version;
    } cases[] = {
        {"LIBTIFF, Version 4.5.0", {4, 5, 0}},
        {"LIBTIFF, Version 4.7.2 (Debian sid)", {4, 7, 2}},
        {"LIBTIFF, Version 4.10.0rc1", {4, 10, 0}},
        {"LIBTIFF, Version 4.5.", {4, 5}},
        {"unknown (tiff_version failed)", {}},
        {"LIBTIFF, Version ", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reported);
        EXPECT_EQ(LibraryVersion(c.reported), c.version);
    }
}

TEST(Expectations, VersionRanges)
{
    const struct {
        const char *versions;
        Version version;
        bool applies;
    } cases[] = {
        {"4.5.0", {4, 5, 0}, true},
        {"4.5.0", {4, 5, 1}, false},
        {"4.5", {4, 5, 0}, true},
        {"4.5.0", {4, 5}, true},
        {"4.5.0", {4, 5, 0, 1}, false},
        {"4.5.0-4.7.2", {4, 5, 0}, true},
        {"4.5.0-4.7.2", {4, 7, 2}, true},
        {"4.5.0-4.7.2", {4, 6}, true},
        {"4.5.0-4.7.2", {4, 7, 3}, false},
        {"4.5.0-4.7.2", {4, 4, 9}, false},
        {"4.5.0-4.7.2", {4, 10, 0}, false},
        {"4.9-4.10", {4, 10, 0}, true},
        {"4.5.0-", {9}, true},
        {"4.5.0-", {4, 4}, false},
        {"-4.7.2", {1}, true},
        {"-4.7.2", {4, 7, 2, 1}, false},
        {"*", {4, 5, 0}, true},
        // An unknown version is in no range; * still applies.
        {"4.5.0-", {}, false},
        {"-4.7.2", {}, false},
        {"*", {}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.versions);
        const std::vector<Expectation> entries =
            Parse(std::string("type_probe\t") + c.versions + "\t*\tx\tr\ts");
        const Judgement j = Judge("type_probe", Ending::Failed, {"x"}, c.version, Here(), entries);
        EXPECT_EQ(j.verdict, c.applies ? Verdict::Known : Verdict::Fail);
    }
}

TEST(Expectations, Verdicts)
{
    const std::vector<Expectation> entries =
        Parse("type_probe\t4.5.0\t*\tWrong IFD in le.tif.\tr1\ts\n"
              "type_probe\t4.5.0\t*\tle.tif: tag 7 on disk: *\tr2\ts\n"
              "type_probe\t4.5.0\t*\tbe.tif: *\tr1\ts\n"
              "word_probe\t4.5.0\t*\tCan't set tag 254.\tr3\ts\n");
    const Version v = {4, 5, 0};
    const struct {
        const char *probe;
        Ending ending;
        Verdict verdict;
        std::vector<std::string> lines;
        Version version;
        std::vector<size_t> entries; // indices into `entries`
    } cases[] = {
        {"type_probe", Ending::Failed, Verdict::Known, {"Wrong IFD in le.tif."}, v, {0}},
        {"type_probe",
         Ending::Failed,
         Verdict::Known,
         {"be.tif: x", "Wrong IFD in le.tif.", "le.tif: tag 7 on disk: 0x1", "be.tif: y"},
         v,
         {2, 0, 1}},
        // An exact line expects no longer or shorter one; a prefix, no line
        // it does not start.
        {"type_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif. "}, v, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif"}, v, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {"le.tif: tag 7 on disk:"}, v, {}},
        // One line no entry expects fails the probe as without expectations.
        {"type_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif.", "Extra."}, v, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {"Extra.", "Wrong IFD in le.tif."}, v, {}},
        // Another probe's entry, or another version, expects nothing here.
        {"type_probe", Ending::Failed, Verdict::Fail, {"Can't set tag 254."}, v, {}},
        {"word_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif."}, v, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif."}, {4, 7, 0}, {}},
        // A crash, a time-out or another exit status is never expected, nor
        // a failure that says nothing.
        {"type_probe",
         Ending::Abnormal,
         Verdict::Fail,
         {"Wrong IFD in le.tif.", "terminated by signal 11"},
         v,
         {}},
        {"type_probe", Ending::Abnormal, Verdict::Fail, {"Wrong IFD in le.tif."}, v, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {}, v, {}},
        // A pass where a failure is expected on this version, and where not.
        {"type_probe", Ending::Passed, Verdict::Fixed, {}, v, {0, 1, 2}},
        {"word_probe", Ending::Passed, Verdict::Fixed, {"Lib: Warning."}, v, {3}},
        {"type_probe", Ending::Passed, Verdict::Pass, {}, {4, 7, 0}, {}},
        {"word_probe", Ending::Passed, Verdict::Pass, {}, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lines.empty() ? c.probe : c.lines.front());
        const Judgement j = Judge(c.probe, c.ending, c.lines, c.version, Here(), entries);
        EXPECT_EQ(j.verdict, c.verdict);
        std::vector<size_t> used;
        for (const Expectation *e : j.entries)
            used.push_back(static_cast<size_t>(e - entries.data()));
        EXPECT_EQ(used, c.entries);
    }
    // Without expectations every verdict is the raw one.
    EXPECT_EQ(Judge("type_probe", Ending::Failed, {"x"}, v, Here(), {}).verdict, Verdict::Fail);
    EXPECT_EQ(Judge("type_probe", Ending::Passed, {}, v, Here(), {}).verdict, Verdict::Pass);
    // How many lines each entry expected, in the order of the entries.
    const Judgement counted =
        Judge("type_probe", Ending::Failed, {"be.tif: x", "be.tif: y", "Wrong IFD in le.tif."}, v,
              Here(), entries);
    EXPECT_EQ(counted.counts, (std::vector<size_t>{2, 1}));
}

// An entry for a host applies there only: by architecture, by byte order,
// or anywhere; a limitation is an entry like the others.
TEST(Expectations, Hosts)
{
    const Host x86 = {"x86_64", false};
    const Host s390x = {"s390x", true};
    const struct {
        const char *hosts;
        bool on_x86;
        bool on_s390x;
    } cases[] = {
        {"*", true, true},       {"little-endian", true, false}, {"big-endian", false, true},
        {"x86_64", true, false}, {"s390x", false, true},         {"i686", false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hosts);
        const std::vector<Expectation> entries =
            Parse(std::string("type_probe\t*\t") + c.hosts + "\tx\tlimitation: r\ts");
        ASSERT_EQ(entries.size(), 1U);
        EXPECT_TRUE(entries[0].limitation);
        const Version v = {4, 5, 0};
        EXPECT_EQ(Judge("type_probe", Ending::Failed, {"x"}, v, x86, entries).verdict,
                  c.on_x86 ? Verdict::Known : Verdict::Fail);
        EXPECT_EQ(Judge("type_probe", Ending::Failed, {"x"}, v, s390x, entries).verdict,
                  c.on_s390x ? Verdict::Known : Verdict::Fail);
        EXPECT_EQ(Judge("type_probe", Ending::Passed, {}, v, s390x, entries).verdict,
                  c.on_s390x ? Verdict::Fixed : Verdict::Pass);
    }
}

// A reproduction is expected where any of its entries applies, whatever
// the order of the entries.
TEST(Expectations, DefectExpectedByAnyOfItsEntries)
{
    const std::vector<Expectation> entries = Parse("type_probe\t*\ts390x\tx\tr\tboth\n"
                                                   "type_probe\t*\tx86_64\tx\tr\tboth\n"
                                                   "type_probe\t*\tx86_64\tx\tr\tfirst\n"
                                                   "type_probe\t4.7.0\tx86_64\tx\tr\tfirst\n"
                                                   "type_probe\t4.7.0\t*\tx\tr\tother\n");
    const Version v = {4, 5, 0};
    const struct {
        const char *name;
        DefectExpected answer;
    } cases[] = {{"both", DefectExpected::Expected},
                 {"first", DefectExpected::Expected},
                 {"other", DefectExpected::NotExpected},
                 {"none", DefectExpected::Unnamed}};
    for (const auto &c : cases)
        EXPECT_EQ(DefectExpectedFor(c.name, v, Here(), entries), c.answer) << c.name;
}

// The shipped list parses, and each entry's reproduction is a program in
// the source tree.
TEST(Expectations, ShippedListIsWellFormed)
{
    std::string text;
    ASSERT_TRUE(ReadFile(KNOWN_DEFECTS, &text));
    std::vector<Expectation> entries;
    size_t line = 0;
    std::string error;
    ASSERT_TRUE(ParseExpectations(text, SplitWords(PROBE_NAMES), &entries, &line, &error))
        << KNOWN_DEFECTS << ":" << line << ": " << error;
    std::vector<std::string> names;
    for (const Expectation &e : entries) {
        if (std::find(names.begin(), names.end(), e.reproduction) == names.end())
            names.push_back(e.reproduction);
    }
    for (const std::string &name : names) {
        std::string program;
        EXPECT_TRUE(ReadFile(DEFECTS_DIR "/" + name + ".c", &program))
            << "no defects/" << name << ".c";
    }
}

} // namespace
