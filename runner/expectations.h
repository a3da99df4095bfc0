// Known defects of library releases: which failure lines of which probe are
// expected on which library versions, and the verdict they give a probe.
//
// The file holds one entry a line, five fields separated by tabs:
//   probe  versions  failure line  reason  README section
// Empty lines and lines starting with '#' are skipped. A failure line ending
// in '*' is a prefix of the lines it expects. Versions: 4.5.0 (that one),
// 4.5.0-4.7.2 (both included), 4.5.0- (and later), -4.7.2 (up to it) or *
// (any, an unknown version too); missing trailing numbers count as 0.
#ifndef TIFF_PROBES_RUNNER_EXPECTATIONS_H
#define TIFF_PROBES_RUNNER_EXPECTATIONS_H

#include <string>
#include <vector>

using Version = std::vector<unsigned long>; // 4.5.0 is {4, 5, 0}; empty: unknown

struct Expectation {
    std::string probe;
    bool any_version = false;
    Version low;  // empty: no lower bound
    Version high; // empty: no upper bound
    std::string line;
    bool prefix = false; // `line` is a prefix of the failure line
    std::string reason;
    std::string section; // where the README reproduces the defect
};

// Parses a whole file. On a malformed entry, returns false with its line
// number in `error_line` and what is wrong in `error`.
bool parse_expectations(const std::string &text, const std::vector<std::string> &known_probes,
                        std::vector<Expectation> *entries, size_t *error_line, std::string *error);

// The version in a library's version string ("LIBTIFF, Version 4.5.0").
Version library_version(const std::string &reported);

// How a probe ended: exit 0; exit 1 (its failure lines); anything else (a
// crash, the time limit, another exit status), which is never expected.
enum class Ending { passed, failed, abnormal };
// PASS, FAIL, XFAIL (only expected lines), XPASS (passed where a failure
// is expected).
enum class Verdict { pass, fail, known, fixed };

struct Judgement {
    Verdict verdict = Verdict::fail;
    // known: the entries that expected its lines; fixed: the entries that
    // expect a failure on this version. Each once, in the file's order.
    std::vector<const Expectation *> entries;
};

Judgement judge(const std::string &probe, Ending ending, const std::vector<std::string> &lines,
                const Version &version, const std::vector<Expectation> &entries);

#endif
