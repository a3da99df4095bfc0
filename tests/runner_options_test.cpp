// The runner's command line, in process: what each argument list selects and
// the one line of each usage error.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "options.h"

namespace {

std::vector<std::string> Known()
{
    return {"halfword_probe", "word_probe", "text_probe", "strip_probe"};
}

TEST(RunnerOptions, UsageErrorsSayWhatIsWrong)
{
    const struct {
        std::vector<std::string> args;
        const char *error;
    } cases[] = {
        {{"text_probe", "--frobnicate"}, "unknown option '--frobnicate' (see --help)"},
        {{"text_probe", "nonesuch_probe"}, "unknown probe 'nonesuch_probe' (see --list)"},
        {{"-x"}, "unknown option '-x' (see --help)"},
        {{"word_probe text_probe"}, "unknown probe 'word_probe text_probe' (see --list)"},
        // Names are checked wherever they stand, before --list is acted on.
        {{"bogus", "--list"}, "unknown probe 'bogus' (see --list)"},
        {{"--list", "bogus"}, "unknown probe 'bogus' (see --list)"},
        {{"--", "--list"}, "unknown probe '--list' (see --list)"},
        {{"--timeout", "soon"}, "--timeout takes a whole number of seconds, not 'soon'"},
        {{"--timeout", "-1", "word_probe"}, "--timeout takes a whole number of seconds, not '-1'"},
        {{"--timeout=", "word_probe"}, "--timeout takes a whole number of seconds, not ''"},
        {{"--timeout", "99999999999999999999"},
         "--timeout takes a whole number of seconds, not '99999999999999999999'"},
        {{"--timeout"}, "option '--timeout' needs a value (see --help)"},
        {{"--junit"}, "option '--junit' needs a value (see --help)"},
        {{"--junit=", "word_probe"}, "--junit needs a file name"},
        {{"--junit", ""}, "--junit needs a file name"},
        {{"--expectations"}, "option '--expectations' needs a value (see --help)"},
        {{"--expectations="}, "--expectations needs a file name"},
        {{"--expectations", "f", "--no-expectations"},
         "--expectations and --no-expectations exclude each other"},
        {{"--no-expectations", "--expectations=f"},
         "--expectations and --no-expectations exclude each other"},
        {{"-j", "0"}, "-j takes a whole number of probes from 1, not '0'"},
        {{"--jobs=many"}, "--jobs takes a whole number of probes from 1, not 'many'"},
        {{"-j"}, "option '-j' needs a value (see --help)"},
        {{"-j-2"}, "-j takes a whole number of probes from 1, not '-2'"},
        {{"--defect-expected"}, "option '--defect-expected' needs a value (see --help)"},
        {{"--defect-expected="}, "--defect-expected needs a reproduction's NAME"},
        {{"--defect-expected", "x", "--no-expectations"},
         "--defect-expected and --no-expectations exclude each other"},
        {{"--defect-expected", "x", "word_probe"},
         "--defect-expected runs no probe: no NAME goes with it"},
        {{"--list-expected", "--no-expectations"},
         "--list-expected and --no-expectations exclude each other"},
        {{"--defect-expected", "x", "--list-expected"},
         "--list-expected and --defect-expected exclude each other"},
        // The first error is the one reported.
        {{"--frobnicate", "bogus"}, "unknown option '--frobnicate' (see --help)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.front());
        std::string error;
        ParseOptions(c.args, Known(), &error);
        EXPECT_EQ(error, c.error);
    }
}

// The switches an Options has set, as words in a fixed order.
std::string Switches(const Options &o)
{
    std::string s;
    const std::pair<bool, const char *> all[] = {
        {o.tap, "tap"},           {o.keep, "keep"},       {o.strict, "strict"},
        {!o.expectations, "raw"}, {o.list, "list"},       {o.help, "help"},
        {o.version, "version"},   {o.verbose, "verbose"}, {o.list_expected, "expected"},
    };
    for (const auto &a : all) {
        if (a.first)
            s += s.empty() ? a.second : std::string(" ") + a.second;
    }
    return s;
}

TEST(RunnerOptions, WhatTheArgumentsSelect)
{
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> names;
        long timeout;
        const char *junit;
        const char *expectations_file;
        const char *switches;
    } cases[] = {
        {{}, Known(), 60, "", "", ""},
        // Named probes run in the order given, each once.
        {{"strip_probe", "word_probe", "strip_probe"},
         {"strip_probe", "word_probe"},
         60,
         "",
         "",
         ""},
        {{"--", "word_probe"}, {"word_probe"}, 60, "", "", ""},
        {{"--timeout", "0", "--junit", "r.xml", "--tap", "--keep"},
         Known(),
         0,
         "r.xml",
         "",
         "tap keep"},
        {{"--timeout=10", "--junit=a=b.xml"}, Known(), 10, "a=b.xml", "", ""},
        {{"--expectations", "e.txt", "--strict"}, Known(), 60, "", "e.txt", "strict"},
        {{"--expectations=e.txt"}, Known(), 60, "", "e.txt", ""},
        {{"--no-expectations", "--strict"}, Known(), 60, "", "", "strict raw"},
        {{"--list"}, Known(), 60, "", "", "list"},
        // --list-expected shows the entries of the probes named, or of all.
        {{"--list-expected"}, Known(), 60, "", "", "expected"},
        {{"--list-expected", "word_probe", "--expectations", "e.txt"},
         {"word_probe"},
         60,
         "",
         "e.txt",
         "expected"},
        {{"--help"}, Known(), 60, "", "", "help"},
        {{"-h"}, Known(), 60, "", "", "help"},
        {{"--version"}, Known(), 60, "", "", "version"},
        {{"-v"}, Known(), 60, "", "", "verbose"},
        {{"--verbose", "word_probe"}, {"word_probe"}, 60, "", "", "verbose"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
        std::string error;
        const Options o = ParseOptions(c.args, Known(), &error);
        EXPECT_EQ(error, "");
        EXPECT_EQ(o.names, c.names);
        EXPECT_EQ(o.timeout, c.timeout);
        EXPECT_EQ(o.junit, c.junit);
        EXPECT_EQ(o.expectations_file, c.expectations_file);
        EXPECT_EQ(Switches(o), c.switches);
        EXPECT_EQ(o.jobs, 0);
    }
    // -j N, -jN, --jobs N and --jobs=N; --defect-expected keeps its NAME.
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"-j", "3"}, {"-j3"}, {"--jobs", "3"}, {"--jobs=3"}}) {
        std::string error;
        EXPECT_EQ(ParseOptions(args, Known(), &error).jobs, 3) << args.front();
        EXPECT_EQ(error, "");
    }
    std::string error;
    EXPECT_EQ(ParseOptions({"--defect-expected", "gain"}, Known(), &error).defect, "gain");
    EXPECT_EQ(error, "");
}

// The man page is made from this text: every option is in it.
TEST(RunnerOptions, HelpNamesEveryOption)
{
    const std::string help = usage_text;
    EXPECT_EQ(help.rfind("Usage: tiff-probes", 0), 0U);
    for (const char *option :
         {"--tap", "--junit FILE", "--timeout SECS", "--keep", "--expectations FILE",
          "--no-expectations", "--strict", "--list", "--version", "--help", "-j, --jobs N",
          "-v, --verbose", "--defect-expected NAME", "--list-expected"})
        EXPECT_NE(help.find(std::string("\n  ") + option), std::string::npos) << option;
}

} // namespace
