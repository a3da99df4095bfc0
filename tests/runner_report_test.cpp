// The verdict's forms, in process: text and TAP lines for every kind of
// outcome (an XFAIL with entries not seen too), the closing line's counts,
// XML escaping and the JUnit report.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report.h"

namespace {

Expectation Entry(const char *reason, const char *reproduction)
{
    Expectation e;
    e.probe = "type_probe";
    e.any_version = true;
    e.line = "Wrong IFD value fetched for tag 65112 in ";
    e.prefix = true;
    e.reason = reason;
    e.limitation = std::string(reason).rfind("limitation: ", 0) == 0;
    e.reproduction = reproduction;
    return e;
}

Outcome Make(const char *name, Verdict verdict, std::vector<std::string> lines = {},
             std::vector<const Expectation *> entries = {}, std::vector<size_t> counts = {},
             std::vector<const Expectation *> unseen = {})
{
    Outcome o;
    o.name = name;
    o.scratch = std::string("/tmp/tiff-probes.X/") + name + ".Y";
    o.lines = std::move(lines);
    o.seconds = 0.25;
    o.judgement.verdict = verdict;
    o.judgement.entries = std::move(entries);
    o.judgement.counts = std::move(counts);
    o.judgement.unseen = std::move(unseen);
    return o;
}

// An outcome of each kind, the expected ones with their entries.
class RunnerReport : public ::testing::Test {
  protected:
    const Expectation ifd = Entry("IFD arrays written as 32-bit halves", "ifd_halves");
    const Expectation ifd_again = Entry("IFD arrays written as 32-bit halves", "ifd_halves");
    const Expectation other = Entry("another defect", "other");
    const Expectation unsupported = Entry("limitation: not supported", "unsupported");
    const Expectation ifd_limited = Entry("limitation: no IFD arrays", "ifd_halves");
    const Outcome pass = Make("word_probe", Verdict::Pass);
    const Outcome warned = Make("halfword_probe", Verdict::Pass, {"Lib: Warning, odd."});
    const Outcome skipped =
        Make("field_probe", Verdict::Pass, {"skipped: no LZW codec", "skipped: no JPEG codec"});
    const Outcome skipped_warned =
        Make("tile_probe", Verdict::Pass, {"Lib: Warning, odd.", "skipped: no LZW codec"});
    const Outcome failed =
        Make("text_probe", Verdict::Fail, {"Can't set tag 254.", "exit status 7"});
    // A message that names a skip is no skip line; a failure's skip line
    // is no skip of a pass.
    const Outcome mentions = Make("tile_probe", Verdict::Pass, {"Lib: Warning, skipped: tag 7."});
    const Outcome failed_skipped =
        Make("field_probe", Verdict::Fail, {"Can't set tag 254.", "skipped: no LZW codec"});
    const Outcome known = Make("type_probe", Verdict::Known, {"a", "b"}, {&ifd, &other}, {1, 1});
    const Outcome known_once =
        Make("type_probe", Verdict::Known, {"a", "b", "c"}, {&ifd, &ifd_again}, {2, 1});
    const Outcome limited =
        Make("field_probe", Verdict::Known, {"a", "b", "c"}, {&unsupported, &ifd}, {1, 2});
    const Outcome fixed = Make("type_probe", Verdict::Fixed, {}, {&ifd, &ifd_again});
    // One reproduction for a defect and a limitation.
    const Outcome shared =
        Make("type_probe", Verdict::Known, {"a", "b", "c"}, {&ifd, &ifd_limited}, {2, 1});
    // Entries that no line showed: a defect fixed in part, or another
    // fixed whole beside one still there.
    const Expectation exact = [] {
        Expectation e = Entry("another defect", "other");
        e.line = "fields_be.tif: tag 7.";
        e.prefix = false;
        return e;
    }();
    const Outcome partial = Make("type_probe", Verdict::Known, {"a", "b"}, {&ifd}, {2}, {&ifd});
    const Outcome partly = Make("field_probe", Verdict::Known, {"a", "b", "c"},
                                {&unsupported, &ifd}, {1, 2}, {&other, &exact, &ifd});
};

TEST_F(RunnerReport, EntriesInTextAndTap)
{
    const struct {
        const Outcome *outcome;
        bool strict;
        bool keep;
        const char *text; // with --verbose
        const char *tap;  // as probe number 3
    } cases[] = {
        {&pass, false, false, "PASS word_probe\n", "ok 3 - word_probe\n"},
        // A pass that printed something is still a pass, its lines shown.
        {&warned, false, false, "PASS halfword_probe\n    Lib: Warning, odd.\n",
         "ok 3 - halfword_probe\n# Lib: Warning, odd.\n"},
        // What a pass skipped is on its line; any other line under it.
        {&skipped, false, false, "PASS field_probe (skipped: no LZW codec; no JPEG codec)\n",
         "ok 3 - field_probe\n# skipped: no LZW codec\n# skipped: no JPEG codec\n"},
        {&skipped_warned, false, false,
         "PASS tile_probe (skipped: no LZW codec)\n    Lib: Warning, odd.\n",
         "ok 3 - tile_probe\n# Lib: Warning, odd.\n# skipped: no LZW codec\n"},
        {&mentions, false, false, "PASS tile_probe\n    Lib: Warning, skipped: tag 7.\n",
         "ok 3 - tile_probe\n# Lib: Warning, skipped: tag 7.\n"},
        {&failed, false, false, "FAIL text_probe\n    Can't set tag 254.\n    exit status 7\n",
         "not ok 3 - text_probe\n# Can't set tag 254.\n# exit status 7\n"},
        {&failed, false, true,
         "FAIL text_probe\n    Can't set tag 254.\n    exit status 7\n"
         "    kept /tmp/tiff-probes.X/text_probe.Y\n",
         "not ok 3 - text_probe\n# Can't set tag 254.\n# exit status 7\n"
         "# kept /tmp/tiff-probes.X/text_probe.Y\n"},
        // Each distinct reason and section once, in the file's order.
        {&known, false, false,
         "XFAIL type_probe (known: IFD arrays written as 32-bit halves; another defect)\n"
         "    a\n    b\n    see defects/ifd_halves.c, defects/other.c\n",
         "not ok 3 - type_probe # TODO known: IFD arrays written as 32-bit halves; another "
         "defect\n# a\n# b\n# see defects/ifd_halves.c, defects/other.c\n"},
        // A limitation names itself, after the defects.
        {&limited, false, false,
         "XFAIL field_probe (known: IFD arrays written as 32-bit halves; limitation: not "
         "supported)\n    a\n    b\n    c\n    see defects/unsupported.c, defects/ifd_halves.c\n",
         "not ok 3 - field_probe # TODO known: IFD arrays written as 32-bit halves; limitation: "
         "not supported\n# a\n# b\n# c\n# see defects/unsupported.c, defects/ifd_halves.c\n"},
        {&fixed, false, false,
         "XPASS type_probe (fixed? IFD arrays written as 32-bit halves)\n"
         "    see defects/ifd_halves.c\n",
         "ok 3 - type_probe # TODO fixed? IFD arrays written as 32-bit halves\n"
         "# see defects/ifd_halves.c\n"},
        // The entries not seen: their reproductions on the line, each entry
        // under it; a TODO without --strict.
        {&partial, false, false,
         "XFAIL type_probe (known: IFD arrays written as 32-bit halves; not seen: "
         "defects/ifd_halves.c)\n    a\n    b\n"
         "    not seen: Wrong IFD value fetched for tag 65112 in *\n"
         "    see defects/ifd_halves.c\n",
         "not ok 3 - type_probe # TODO known: IFD arrays written as 32-bit halves; not seen: "
         "defects/ifd_halves.c\n# a\n# b\n# not seen: Wrong IFD value fetched for tag 65112 in "
         "*\n# see defects/ifd_halves.c\n"},
        {&partial, true, false,
         "XFAIL type_probe (known: IFD arrays written as 32-bit halves; not seen: "
         "defects/ifd_halves.c)\n    a\n    b\n"
         "    not seen: Wrong IFD value fetched for tag 65112 in *\n"
         "    see defects/ifd_halves.c\n",
         "not ok 3 - type_probe\n# XFAIL type_probe (known: IFD arrays written as 32-bit halves; "
         "not seen: defects/ifd_halves.c)\n# a\n# b\n# not seen: Wrong IFD value fetched for tag "
         "65112 in *\n# see defects/ifd_halves.c\n"},
        // With --strict an unexpected pass fails, and says why.
        {&fixed, true, false,
         "XPASS type_probe (fixed? IFD arrays written as 32-bit halves)\n"
         "    see defects/ifd_halves.c\n",
         "not ok 3 - type_probe\n# XPASS type_probe (fixed? IFD arrays written as 32-bit "
         "halves)\n# see defects/ifd_halves.c\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Style style;
        style.strict = c.strict;
        style.keep = c.keep;
        style.verbose = true;
        EXPECT_EQ(ReportEntry(style, *c.outcome, 3), c.text);
        style.format = Format::Tap;
        EXPECT_EQ(ReportEntry(style, *c.outcome, 3), c.tap);
        // TAP shows every line, verbose or not.
        style.verbose = false;
        EXPECT_EQ(ReportEntry(style, *c.outcome, 3), c.tap);
    }
}

// Without --verbose an XFAIL is one line: its reason, lines and reproduction,
// or for several defects each reproduction with its lines; the rest as verbose.
TEST_F(RunnerReport, ShortTextVerdict)
{
    const struct {
        const Outcome *outcome;
        bool keep;
        const char *text;
    } cases[] = {
        {&known_once, false,
         "XFAIL type_probe (known: IFD arrays written as 32-bit halves) 3 lines, "
         "defects/ifd_halves.c\n"},
        {&known, false, "XFAIL type_probe (known: defects/ifd_halves.c 1, defects/other.c 1)\n"},
        {&limited, true,
         "XFAIL field_probe (known: defects/ifd_halves.c 2; limitation: defects/unsupported.c "
         "1)\n    kept /tmp/tiff-probes.X/field_probe.Y\n"},
        {&shared, false,
         "XFAIL type_probe (known: defects/ifd_halves.c 2; limitation: defects/ifd_halves.c 1)\n"},
        {&failed, false, "FAIL text_probe\n    Can't set tag 254.\n    exit status 7\n"},
        // The reproductions of the entries not seen, each once, and each
        // entry's line under the probe's.
        {&partial, false,
         "XFAIL type_probe (known: IFD arrays written as 32-bit halves; not seen: "
         "defects/ifd_halves.c) 2 lines, defects/ifd_halves.c\n"
         "    not seen: Wrong IFD value fetched for tag 65112 in *\n"},
        {&partly, true,
         "XFAIL field_probe (known: defects/ifd_halves.c 2; limitation: defects/unsupported.c 1; "
         "not seen: defects/other.c, defects/ifd_halves.c)\n"
         "    not seen: Wrong IFD value fetched for tag 65112 in *\n"
         "    not seen: fields_be.tif: tag 7.\n"
         "    not seen: Wrong IFD value fetched for tag 65112 in *\n"
         "    kept /tmp/tiff-probes.X/field_probe.Y\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        Style style;
        style.keep = c.keep;
        EXPECT_EQ(ReportEntry(style, *c.outcome, 1), c.text);
    }
}

TEST_F(RunnerReport, HeaderAndClosing)
{
    Style text;
    Style tap;
    tap.format = Format::Tap;
    const std::string library = "LIBTIFF, Version 4.5.0 (s390x)";
    EXPECT_EQ(ReportHeader(text, library, 6), "TIFF library: LIBTIFF, Version 4.5.0 (s390x)\n");
    EXPECT_EQ(ReportHeader(tap, library, 6),
              "TAP version 13\n# TIFF library: LIBTIFF, Version 4.5.0 (s390x)\n1..6\n");

    const struct {
        std::vector<Outcome> outcomes;
        bool strict;
        const char *line;
    } cases[] = {
        {{}, false, "0 passed, 0 failed"},
        {{pass, pass}, false, "2 passed, 0 failed"},
        {{pass, failed}, false, "1 passed, 1 failed"},
        {{warned, failed}, false, "1 passed, 1 failed, 1 with messages"},
        // Skips are counted apart from other messages.
        {{skipped, skipped_warned, warned},
         false,
         "3 passed, 0 failed, 2 with skips, 2 with messages"},
        {{mentions}, false, "1 passed, 0 failed, 1 with messages"},
        {{failed_skipped, skipped}, false, "1 passed, 1 failed, 1 with skips"},
        {{pass, known}, false, "1 passed, 0 failed, 1 known"},
        {{fixed, warned, failed},
         false,
         "2 passed, 1 failed, 1 unexpectedly passed, 1 with messages"},
        {{fixed, warned, failed},
         true,
         "1 passed, 2 failed, 1 unexpectedly passed, 1 with messages"},
        {{known, fixed, warned, known},
         false,
         "2 passed, 0 failed, 2 known, 1 unexpectedly passed, 1 with messages"},
        // Partly seen: known, or with --strict failed, and counted apart.
        {{partial, known, pass}, false, "1 passed, 0 failed, 2 known, 1 partly seen"},
        {{partial, known, pass}, true, "1 passed, 1 failed, 1 known, 1 partly seen"},
        {{partial, fixed, partly},
         true,
         "0 passed, 3 failed, 2 partly seen, 1 unexpectedly passed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        const Tally t = TallyOf(c.outcomes, c.strict);
        EXPECT_EQ(ReportClosing(text, t), std::string(c.line) + "\n");
        EXPECT_EQ(ReportClosing(tap, t), std::string("# ") + c.line + "\n");
    }
}

TEST_F(RunnerReport, XmlTextIsWellFormedWhateverTheInput)
{
    const struct {
        const char *in;
        const char *out;
    } cases[] = {
        {"plain text\tand a tab\n", "plain text\tand a tab\n"},
        {"<b> & \"q\" 'a'", "&lt;b&gt; &amp; &quot;q&quot; 'a'"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        // A lone byte, an overlong form, a control character, a stray
        // continuation byte, a code point past U+10FFFF and a surrogate.
        {"\xff", "\\xFF"},
        {"\xe0\x9f\xbf", "\\xE0\\x9F\\xBF"},
        {"\xc0\xaf", "\\xC0\\xAF"},
        {"\x01 \r \x1f", "\\x01 \\x0D \\x1F"},
        {"\x80", "\\x80"},
        {"\xf4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},
        {"\xef\xbf\xbe \xef\xbf\xbf", "\\xEF\\xBF\\xBE \\xEF\\xBF\\xBF"},
        // Cut short at the end of the text.
        {"a\xc3", "a\\xC3"},
        {"\xe2\x82", "\\xE2\\x82"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.out);
        EXPECT_EQ(XmlText(c.in), c.out);
    }
}

TEST_F(RunnerReport, JunitReport)
{
    const std::vector<Outcome> outcomes = {pass, warned, failed, known, fixed};
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n"
        "  <testsuite name=\"tiff-probes\" tests=\"5\" failures=\"FAILED\" errors=\"0\" "
        "skipped=\"1\" time=\"1.500\">\n"
        "    <properties>\n"
        "      <property name=\"tiff_library\" value=\"LIBTIFF, Version &lt;4&gt;\"/>\n"
        "    </properties>\n"
        "    <testcase name=\"word_probe\" classname=\"tiff-probes\" time=\"0.250\"/>\n"
        "    <testcase name=\"halfword_probe\" classname=\"tiff-probes\" time=\"0.250\">\n"
        "      <system-err>Lib: Warning, odd.\n</system-err>\n"
        "    </testcase>\n"
        "    <testcase name=\"text_probe\" classname=\"tiff-probes\" time=\"0.250\">\n"
        "      <failure message=\"text_probe failed\">Can't set tag 254.\nexit status "
        "7\n</failure>\n"
        "    </testcase>\n"
        "    <testcase name=\"type_probe\" classname=\"tiff-probes\" time=\"0.250\">\n"
        "      <skipped message=\"known: IFD arrays written as 32-bit halves; another "
        "defect\">see defects/ifd_halves.c, defects/other.c</skipped>\n"
        "      <system-err>a\nb\n</system-err>\n"
        "    </testcase>\n"
        "    <testcase name=\"type_probe\" classname=\"tiff-probes\" time=\"0.250\">\n";
    const std::string tail = "    </testcase>\n  </testsuite>\n</testsuites>\n";
    const std::string fixed_shown =
        "      <system-out>XPASS type_probe (fixed? IFD arrays written as 32-bit halves)\n"
        "see defects/ifd_halves.c\n</system-out>\n";
    const std::string fixed_failed =
        "      <failure message=\"XPASS type_probe (fixed? IFD arrays written as 32-bit "
        "halves)\">see defects/ifd_halves.c\n</failure>\n";

    std::string lenient = head + fixed_shown + tail;
    lenient.replace(lenient.find("FAILED"), 6, "1");
    EXPECT_EQ(JunitReport("LIBTIFF, Version <4>", outcomes, 1.5, false), lenient);
    std::string strict = head + fixed_failed + tail;
    strict.replace(strict.find("FAILED"), 6, "2");
    EXPECT_EQ(JunitReport("LIBTIFF, Version <4>", outcomes, 1.5, true), strict);
}

} // namespace
