#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

const char usage_text[] =
    "Usage: tiff-probes [OPTION]... [--] [NAME]...\n"
    "Runs the TIFF library conformance probes (all of them, or the NAMEs given),\n"
    "each in a fresh private scratch directory, and prints one line per probe and\n"
    "a closing \"N passed, M failed\". A probe that fails only with known defects\n"
    "of the library version under test on this host is reported as XFAIL and\n"
    "counted as \"K known\"; one that passes where a known defect is expected,\n"
    "as XPASS.\n"
    "Probes run in parallel, each with its own scratch directory and time limit.\n"
    "Exit status 0 when every probe passed or failed only with known defects, 1\n"
    "when one failed, 2 on a usage error, 3 when the environment is unusable (no\n"
    "usable TMPDIR, a missing probe program, an unreadable or malformed\n"
    "expectations file), 128+N when stopped by signal N.\n"
    "\n"
    "  -j, --jobs N     run up to N probes at once (default: as many as there are\n"
    "                   processors; 1: one after another); the verdict keeps\n"
    "                   the probes' order\n"
    "  -v, --verbose    show every line of a probe that fails only with known\n"
    "                   defects (XFAIL), not only its one line\n"
    "  --tap            print TAP version 13 instead (every line, as --verbose)\n"
    "  --junit FILE     also write a JUnit XML report to FILE\n"
    "  --timeout SECS   kill a probe still running after SECS seconds (default 60,\n"
    "                   0 for no limit) and count it as failed\n"
    "  --keep           keep the scratch directories and print their paths\n"
    "  --expectations FILE\n"
    "                   read the known library defects from FILE instead of the\n"
    "                   installed list\n"
    "  --no-expectations\n"
    "                   expect no defect: the raw verdict\n"
    "  --strict         count an unexpected pass (XPASS) as failed\n"
    "  --defect-expected NAME\n"
    "                   run nothing; exit 0 when a known defect whose\n"
    "                   reproduction is defects/NAME.c applies to the loaded\n"
    "                   library and this host, 1 when none of its entries\n"
    "                   applies, 2 when no entry names NAME\n"
    "  --list-expected  run nothing; print the known-defect entries that apply to\n"
    "                   the loaded library and this host (of the NAMEs given, or\n"
    "                   of every probe), blocks expanded, one a line in six\n"
    "                   tab-separated fields\n"
    "  --list           list the probe names\n"
    "  --version        print the suite's and the TIFF library's versions\n"
    "  --help           show this text\n";

namespace {

bool ParseWhole(const std::string &text, long *value)
{
    char *end = nullptr;
    errno = 0;
    const long v = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < 0)
        return false;
    *value = v;
    return true;
}

bool Contains(const std::vector<std::string> &list, const std::string &item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The options that take a value, as "--name VALUE" or "--name=VALUE"; -j
// as "-j N" or "-jN".
bool TakesValue(const std::string &option)
{
    return option == "--timeout" || option == "--junit" || option == "--expectations" ||
           option == "--jobs" || option == "-j" || option == "--defect-expected";
}

} // namespace

Options ParseOptions(const std::vector<std::string> &args, const std::vector<std::string> &known,
                     std::string *error)
{
    Options o;
    bool options_done = false;
    bool expectations_given = false;
    std::string problem;

    for (size_t i = 0; i < args.size() && problem.empty(); i++) {
        const std::string &arg = args[i];
        std::string value;
        bool has_value = arg.compare(0, 2, "--") == 0 && arg.find('=') != std::string::npos;
        std::string option = has_value ? arg.substr(0, arg.find('=')) : arg;
        if (has_value)
            value = arg.substr(arg.find('=') + 1);
        if (!options_done && arg.size() > 2 && arg.compare(0, 2, "-j") == 0) {
            option = "-j";
            value = arg.substr(2);
            has_value = true;
        }
        if (!options_done && TakesValue(option)) {
            if (!has_value) {
                if (i + 1 == args.size()) {
                    problem = "option '" + option + "' needs a value (see --help)";
                    break;
                }
                value = args[++i];
            }
            if (option == "--timeout") {
                if (!ParseWhole(value, &o.timeout))
                    problem = "--timeout takes a whole number of seconds, not '" + value + "'";
            } else if (option == "--jobs" || option == "-j") {
                if (!ParseWhole(value, &o.jobs) || o.jobs == 0) {
                    problem = option;
                    problem += " takes a whole number of probes from 1, not '" + value + "'";
                }
            } else if (option == "--defect-expected") {
                if (value.empty())
                    problem = "--defect-expected needs a reproduction's NAME";
                o.defect = value;
            } else if (value.empty()) {
                problem = option + " needs a file name";
            } else if (option == "--junit") {
                o.junit = value;
            } else {
                o.expectations_file = value;
                expectations_given = true;
            }
        } else if (!options_done && arg == "--") {
            options_done = true;
        } else if (!options_done && arg == "--tap") {
            o.tap = true;
        } else if (!options_done && arg == "--keep") {
            o.keep = true;
        } else if (!options_done && (arg == "--verbose" || arg == "-v")) {
            o.verbose = true;
        } else if (!options_done && arg == "--strict") {
            o.strict = true;
        } else if (!options_done && arg == "--no-expectations") {
            o.expectations = false;
        } else if (!options_done && arg == "--list-expected") {
            o.list_expected = true;
        } else if (!options_done && arg == "--list") {
            o.list = true;
        } else if (!options_done && (arg == "--help" || arg == "-h")) {
            o.help = true;
        } else if (!options_done && arg == "--version") {
            o.version = true;
        } else if (!options_done && !arg.empty() && arg[0] == '-') {
            problem = "unknown option '" + arg + "' (see --help)";
        } else if (!Contains(known, arg)) {
            problem = "unknown probe '" + arg + "' (see --list)";
        } else if (!Contains(o.names, arg)) {
            o.names.push_back(arg);
        }
    }
    if (problem.empty() && expectations_given && !o.expectations)
        problem = "--expectations and --no-expectations exclude each other";
    if (problem.empty() && !o.defect.empty() && !o.expectations)
        problem = "--defect-expected and --no-expectations exclude each other";
    if (problem.empty() && o.list_expected && !o.expectations)
        problem = "--list-expected and --no-expectations exclude each other";
    if (problem.empty() && o.list_expected && !o.defect.empty())
        problem = "--list-expected and --defect-expected exclude each other";
    if (problem.empty() && !o.defect.empty() && !o.names.empty())
        problem = "--defect-expected runs no probe: no NAME goes with it";
    if (o.names.empty())
        o.names = known;
    *error = problem;
    return o;
}
