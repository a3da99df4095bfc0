// The known-defect expectations, in process: the file's entries and blocks,
// good and malformed, version ranges, and the verdict they give a probe's
// lines.
#include <algorithm>
#include <fstream>
#include <iterator>
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

// The entries in the one-line form, "\t" written as " | " to read.
std::vector<std::string> Lines(const std::vector<Expectation> &entries)
{
    std::vector<std::string> lines;
    for (const Expectation &e : entries) {
        std::string line = EntryLine(e);
        for (size_t tab; (tab = line.find('\t')) != std::string::npos;)
            line.replace(tab, 1, " | ");
        lines.push_back(line);
    }
    return lines;
}

// A block's head, before its "on" lines.
const std::string head = "probe: type_probe\nreproduction: s\nversions: 4.5.0-4.7.2\nreason: r\n";

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

// A block expands into one entry per line of each alternative, in order,
// under the hosts (and versions) of its "on".
TEST(Expectations, BlocksExpand)
{
    const struct {
        std::string text;
        std::vector<std::string> entries;
    } cases[] = {
        {head + "on *:\n  a {1,2} b\n",
         {"type_probe | 4.5.0-4.7.2 | * | a 1 b | r | s",
          "type_probe | 4.5.0-4.7.2 | * | a 2 b | r | s"}},
        // Every combination, the leftmost varying slowest; nested; empty.
        {head + "on *:\n  t_{le,be}.{tif,btf}: x{,s}\n",
         {"type_probe | 4.5.0-4.7.2 | * | t_le.tif: x | r | s",
          "type_probe | 4.5.0-4.7.2 | * | t_le.tif: xs | r | s",
          "type_probe | 4.5.0-4.7.2 | * | t_le.btf: x | r | s",
          "type_probe | 4.5.0-4.7.2 | * | t_le.btf: xs | r | s",
          "type_probe | 4.5.0-4.7.2 | * | t_be.tif: x | r | s",
          "type_probe | 4.5.0-4.7.2 | * | t_be.tif: xs | r | s",
          "type_probe | 4.5.0-4.7.2 | * | t_be.btf: x | r | s",
          "type_probe | 4.5.0-4.7.2 | * | t_be.btf: xs | r | s"}},
        {head + "on *:\n  {a{1,2},b}.\n",
         {"type_probe | 4.5.0-4.7.2 | * | a1. | r | s",
          "type_probe | 4.5.0-4.7.2 | * | a2. | r | s",
          "type_probe | 4.5.0-4.7.2 | * | b. | r | s"}},
        // A backslash makes the next character literal; a comma outside
        // braces is text.
        {head + "on *:\n  \\{a\\,b\\} \\\\ {x\\,y,z}, w\n  \\# not a comment\n  star\\*\n",
         {"type_probe | 4.5.0-4.7.2 | * | {a,b} \\ x,y, w | r | s",
          "type_probe | 4.5.0-4.7.2 | * | {a,b} \\ z, w | r | s",
          "type_probe | 4.5.0-4.7.2 | * | # not a comment | r | s",
          "type_probe | 4.5.0-4.7.2 | * | star* | r | s"}},
        // An unescaped '*' at the end makes a prefix, as in one line.
        {head + "on *:\n  Wrong {a,b}*\n",
         {"type_probe | 4.5.0-4.7.2 | * | Wrong a* | r | s",
          "type_probe | 4.5.0-4.7.2 | * | Wrong b* | r | s"}},
        // Several hosts, a section's own versions, comments and indented
        // comments, a tab as indentation; entries keep the file's order.
        {head + "# the order of the host\non little-endian:\n  v{1,0}\n\t# one more\n\tw\n"
                "on big-endian:\n  v0\non s390x, versions 4.5.0:\n  x\non *, versions *:\n  y\n",
         {"type_probe | 4.5.0-4.7.2 | little-endian | v1 | r | s",
          "type_probe | 4.5.0-4.7.2 | little-endian | v0 | r | s",
          "type_probe | 4.5.0-4.7.2 | little-endian | w | r | s",
          "type_probe | 4.5.0-4.7.2 | big-endian | v0 | r | s",
          "type_probe | 4.5.0 | s390x | x | r | s", "type_probe | * | * | y | r | s"}},
        // Fields in any order before the first "on"; spaces around values;
        // a limitation; one-line entries beside blocks.
        {"word_probe\t*\t*\tone\tr1\ts1\n\nprobe:  word_probe \nreason: limitation: "
         "gone  \nversions: -4.7\nreproduction: s2\non x86_64:\n  two\n\n"
         "type_probe\t4.5\t*\tthree\tr3\ts3\n",
         {"word_probe | * | * | one | r1 | s1",
          "word_probe | -4.7 | x86_64 | two | limitation: gone | s2",
          "type_probe | 4.5 | * | three | r3 | s3"}},
        // Every version, as the block gives it, in the sections after one
        // of versions of their own.
        {"probe: type_probe\nreproduction: s\nversions: *\nreason: r\n"
         "on little-endian, versions 4.5:\n  a\non *:\n  b\n",
         {"type_probe | 4.5 | little-endian | a | r | s", "type_probe | * | * | b | r | s"}},
        // A list written with CRLF line ends: the fields lose the CR.
        {"probe: type_probe\r\nreproduction: s\r\nversions: 4.5\r\nreason: r\r\non *:\n  a\n",
         {"type_probe | 4.5 | * | a | r | s"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const std::vector<Expectation> entries = Parse(c.text);
        EXPECT_EQ(Lines(entries), c.entries);
        // Each entry's one-line form parses back to the same entry.
        for (const Expectation &e : entries)
            EXPECT_EQ(Lines(Parse(EntryLine(e))), Lines({e}));
    }
    const std::vector<Expectation> limited =
        Parse("probe: type_probe\nreproduction: s\nversions: *\nreason: limitation: x\non *:\n"
              "  a*\n");
    ASSERT_EQ(limited.size(), 1U);
    EXPECT_TRUE(limited[0].limitation);
    EXPECT_TRUE(limited[0].prefix);
    EXPECT_EQ(limited[0].line, "a");
    // As many lines from one line as the limit allows.
    EXPECT_EQ(Parse(head + "on *:\n  {0,1,2,3,4,5,6,7}{0,1,2,3,4,5,6,7}{0,1,2,3,4,5,6,7}"
                           "{0,1,2,3,4,5,6,7}\n")
                  .size(),
              4096U);
}

// A malformed block stops the list at the line at fault.
TEST(Expectations, MalformedBlocksNameTheirLine)
{
    const struct {
        std::string text;
        size_t line;
        const char *error;
    } cases[] = {
        {head + "on *:\n  a {1,2\n", 6, "a '{' without its '}' (a literal brace is \\{)"},
        {head + "on *:\n  a 1,2}\n", 6, "a '}' without its '{' (a literal brace is \\})"},
        {head + "on *:\n  a {1}\n", 6,
         "'{1}' holds one alternative (alternatives are separated by ',', a literal brace is "
         "\\{)"},
        {head + "on *:\n  a \\\n", 6, "a '\\' that ends the line escapes nothing"},
        {head + "on *:\n  {,}\n", 6, "an empty failure line"},
        {head + "on *:\n  {,a}*\n", 6, "a failure line of only '*' would expect every line"},
        {head + "on *:\n  a\tb\n", 6, "a tab in a failure line"},
        {head + "on *:\n  {a,b} {a,b}\n  b a\n", 7, "the block gives the line 'b a' twice"},
        {head + "on *:\n  "
                "{0,1,2,3,4,5,6,7,8}{0,1,2,3,4,5,6,7,8}{0,1,2,3,4,5,6,7,8}{0,1,2,3,4,5,6,7,8}\n",
         6, "more than 4096 lines from one line"},
        // The block's head: each field once, valid, and before the first "on".
        {"probe: tipe_probe\n", 1, "unknown probe 'tipe_probe'"},
        {"probe:\n", 1, "empty 'probe:'"},
        {"probe: type_probe\nversions: 4.x\n", 2,
         "bad versions '4.x' (one of 4.5.0, 4.5.0-4.7.2, 4.5.0-, -4.7.2 or *)"},
        {"probe: type_probe\nreason: limitation: \n", 2, "a limitation without its reason"},
        {"probe: type_probe\nreason:\n", 2, "empty 'reason:'"},
        {"probe: type_probe\nreason: a\tb\n", 2, "a tab in 'reason:'"},
        {"probe: type_probe\nreason: r\nreason: r\n", 3, "'reason:' given twice"},
        {"probe: type_probe\nversions: *\nversions: 4.5\n", 3, "'versions:' given twice"},
        {"probe: type_probe\nreproduction: s\nreproduction: t\n", 3, "'reproduction:' given twice"},
        {"probe: type_probe\nversions: *\nreason: r\non *:\n", 4,
         "the block gives no 'reproduction:' before its first 'on'"},
        {"probe: type_probe\nreproduction: s\nreason: r\non *:\n", 4,
         "the block gives no 'versions:' before its first 'on'"},
        {"probe: type_probe\nreproduction: s\nversions: *\n\n", 1,
         "the block gives no 'reason:' before its first 'on'"},
        {head, 1, "the block gives no 'on HOSTS:' and no failure line"},
        {head + "on *:\n  a\nreason: again\n", 7, "'reason:' after the block's first 'on'"},
        {head + "  a\n", 5, "a failure line before the block's first 'on HOSTS:'"},
        // Each "on": known hosts and versions, and lines under it.
        {head + "on little_endian:\n  a\n", 5,
         "bad hosts 'little_endian' (one of *, little-endian, big-endian or an architecture such "
         "as x86_64)"},
        {head + "on *\n  a\n", 5, "expected 'on HOSTS:' or 'on HOSTS, versions VERSIONS:'"},
        {head + "on *:\non big-endian:\n  a\n", 6, "no failure line under the 'on' of line 5"},
        {head + "on *:\n  a\non big-endian:\n\nword_probe\t*\t*\tx\tr\ts\n", 7,
         "no failure line under the 'on' of line 7"},
        {head + "on *:\n# only a comment\n", 5, "no failure line under the 'on' of line 5"},
        // A block ends at an empty line only.
        {head + "on *:\n  a\nprobe: word_probe\n", 7,
         "a block's lines end at an empty line, before the next 'probe:'"},
        {head + "on *:\n  a\nword_probe\t*\t*\tx\tr\ts\n", 7,
         "expected 'reproduction:', 'versions:', 'reason:', 'on HOSTS:' or an indented failure "
         "line in a block"},
        // After a good block, a malformed one-line entry is still its line.
        {head + "on *:\n  a\n\nword_probe\t*\tx\tr\ts\n", 8,
         "expected 6 fields separated by tabs (probe, versions, hosts, failure line, reason, "
         "reproduction), found 5"},
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
        std::vector<size_t> unseen;
    } cases[] = {
        // The entries no line showed, in the file's order.
        {"type_probe", Ending::Failed, Verdict::Known, {"Wrong IFD in le.tif."}, v, {0}, {1, 2}},
        {"type_probe",
         Ending::Failed,
         Verdict::Known,
         {"be.tif: x", "Wrong IFD in le.tif.", "le.tif: tag 7 on disk: 0x1", "be.tif: y"},
         v,
         {2, 0, 1},
         {}},
        {"type_probe", Ending::Failed, Verdict::Known, {"be.tif: y"}, v, {2}, {0, 1}},
        {"word_probe", Ending::Failed, Verdict::Known, {"Can't set tag 254."}, v, {3}, {}},
        // An exact line expects no longer or shorter one; a prefix, no line
        // it does not start.
        {"type_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif. "}, v, {}, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif"}, v, {}, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {"le.tif: tag 7 on disk:"}, v, {}, {}},
        // One line no entry expects fails the probe as without expectations.
        {"type_probe",
         Ending::Failed,
         Verdict::Fail,
         {"Wrong IFD in le.tif.", "Extra."},
         v,
         {},
         {}},
        {"type_probe",
         Ending::Failed,
         Verdict::Fail,
         {"Extra.", "Wrong IFD in le.tif."},
         v,
         {},
         {}},
        // Another probe's entry, or another version, expects nothing here.
        {"type_probe", Ending::Failed, Verdict::Fail, {"Can't set tag 254."}, v, {}, {}},
        {"word_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif."}, v, {}, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {"Wrong IFD in le.tif."}, {4, 7, 0}, {}, {}},
        // A crash, a time-out or another exit status is never expected, nor
        // a failure that says nothing.
        {"type_probe",
         Ending::Abnormal,
         Verdict::Fail,
         {"Wrong IFD in le.tif.", "terminated by signal 11"},
         v,
         {},
         {}},
        {"type_probe", Ending::Abnormal, Verdict::Fail, {"Wrong IFD in le.tif."}, v, {}, {}},
        {"type_probe", Ending::Failed, Verdict::Fail, {}, v, {}, {}},
        // A pass where a failure is expected on this version, and where not.
        {"type_probe", Ending::Passed, Verdict::Fixed, {}, v, {0, 1, 2}, {}},
        {"word_probe", Ending::Passed, Verdict::Fixed, {"Lib: Warning."}, v, {3}, {}},
        {"type_probe", Ending::Passed, Verdict::Pass, {}, {4, 7, 0}, {}, {}},
        {"word_probe", Ending::Passed, Verdict::Pass, {}, {}, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lines.empty() ? c.probe : c.lines.front());
        const Judgement j = Judge(c.probe, c.ending, c.lines, c.version, Here(), entries);
        EXPECT_EQ(j.verdict, c.verdict);
        std::vector<size_t> used;
        for (const Expectation *e : j.entries)
            used.push_back(static_cast<size_t>(e - entries.data()));
        EXPECT_EQ(used, c.entries);
        std::vector<size_t> unseen;
        for (const Expectation *e : j.unseen)
            unseen.push_back(static_cast<size_t>(e - entries.data()));
        EXPECT_EQ(unseen, c.unseen);
    }
    // An entry that the first match passes over is seen all the same.
    const std::vector<Expectation> twice = Parse("type_probe\t*\t*\tx\tr\ts\n"
                                                 "type_probe\t*\t*\tx*\tr\tt\n"
                                                 "type_probe\t*\ts390x\ty\tr\tt\n");
    const Judgement both = Judge("type_probe", Ending::Failed, {"x"}, v, Here(), twice);
    EXPECT_EQ(both.verdict, Verdict::Known);
    EXPECT_TRUE(both.unseen.empty());
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
    ASSERT_TRUE(ReadTextFile(KNOWN_DEFECTS, &text));
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
        EXPECT_TRUE(ReadTextFile(DEFECTS_DIR "/" + name + ".c", &program))
            << "no defects/" << name << ".c";
    }
}

// The sorted one-line forms of a list's entries.
std::vector<std::string> SortedEntries(const char *path)
{
    std::string text;
    EXPECT_TRUE(ReadTextFile(path, &text)) << path;
    std::vector<Expectation> entries;
    size_t line = 0;
    std::string error;
    EXPECT_TRUE(ParseExpectations(text, SplitWords(PROBE_NAMES), &entries, &line, &error))
        << path << ":" << line << ": " << error;
    std::vector<std::string> lines(entries.size());
    std::transform(entries.begin(), entries.end(), lines.begin(), EntryLine);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The shipped list expands to exactly the entries of the fixture, each once.
// Otherwise the lines it gains and loses are shown, and its expansion is
// written where the fixture's header says, to review and copy.
TEST(Expectations, ShippedListExpandsToTheseEntries)
{
    const std::vector<std::string> shipped = SortedEntries(KNOWN_DEFECTS);
    const std::vector<std::string> fixture = SortedEntries(KNOWN_DEFECTS_EXPANDED);
    std::vector<std::string> gained;
    std::vector<std::string> lost;
    std::set_difference(shipped.begin(), shipped.end(), fixture.begin(), fixture.end(),
                        std::back_inserter(gained));
    std::set_difference(fixture.begin(), fixture.end(), shipped.begin(), shipped.end(),
                        std::back_inserter(lost));
    for (const std::string &l : gained)
        ADD_FAILURE() << "gained: " << l;
    for (const std::string &l : lost)
        ADD_FAILURE() << "lost: " << l;
    EXPECT_EQ(std::adjacent_find(shipped.begin(), shipped.end()), shipped.end())
        << "an entry given twice";
    if (shipped != fixture) {
        std::string header;
        std::string text;
        ASSERT_TRUE(ReadTextFile(KNOWN_DEFECTS_EXPANDED, &text));
        for (size_t at = 0; at < text.size() && text[at] == '#';) {
            const size_t end = text.find('\n', at);
            header += text.substr(at, end - at + 1);
            at = end == std::string::npos ? text.size() : end + 1;
        }
        std::ofstream out("known-defects.expanded");
        out << header;
        for (const std::string &l : shipped)
            out << l << "\n";
        ADD_FAILURE() << "the shipped list's expansion is in known-defects.expanded of the "
                         "working directory; once reviewed, copy it to "
                      << KNOWN_DEFECTS_EXPANDED;
    }
}

} // namespace
