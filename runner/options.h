// The runner's command line: every argument is checked before anything runs.
#ifndef TIFF_PROBES_RUNNER_OPTIONS_H
#define TIFF_PROBES_RUNNER_OPTIONS_H

#include <string>
#include <vector>

struct Options {
    bool tap = false;
    bool keep = false;
    bool strict = false;           // an unexpected pass fails the verdict
    bool expectations = true;      // false: --no-expectations, the raw verdict
    std::string expectations_file; // --expectations; empty: the installed list
    long timeout = 60;
    long jobs = 0;              // probes run at once; 0: as many as processors
    bool verbose = false;       // every line of an XFAIL in the text verdict
    std::string defect;         // --defect-expected NAME
    bool list_expected = false; // print the entries that apply here, for the NAMEs
    std::string junit;
    std::vector<std::string> names; // the probes to run, in order, each once
    bool list = false;
    bool help = false;
    bool version = false;
};

// The text of --help, from which the man page is made too.
extern const char usage_text[];

// Parses the arguments after the program name; `known` are the probes in the
// runner's order, run when no name is given. On a usage error, `error` holds
// its line (without the program's name) and the result is meaningless.
Options ParseOptions(const std::vector<std::string> &args, const std::vector<std::string> &known,
                     std::string *error);

#endif
