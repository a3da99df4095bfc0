// Known defects of library releases: which failure lines of which probe are
// expected on which library versions, and the verdict they give a probe.
// The file's format (one-line entries and blocks) is described once, in the
// header comment of runner/known-defects.
#ifndef TIFF_PROBES_RUNNER_EXPECTATIONS_H
#define TIFF_PROBES_RUNNER_EXPECTATIONS_H

#include <string>
#include <vector>

using Version = std::vector<unsigned long>; // 4.5.0 is {4, 5, 0}; empty: unknown

// The host the verdict is made on, as the hosts field names it.
struct Host {
    std::string arch; // as the runner was built for: x86_64, i686, s390x, ...
    bool big_endian = false;
};
// The host this code was built for.
Host BuildHost();

enum class Hosts { Any, Arch, LittleEndian, BigEndian };

struct Expectation {
    std::string probe;
    bool any_version = false;
    Version low;  // empty: no lower bound
    Version high; // empty: no upper bound
    Hosts hosts = Hosts::Any;
    std::string arch; // when hosts is Hosts::Arch
    std::string line;
    bool prefix = false; // `line` is a prefix of the failure line
    std::string reason;  // a limitation's begins with "limitation: "
    bool limitation = false;
    std::string reproduction; // NAME of defects/NAME.c
};

// Parses a whole file, each block expanded into its entries. On a malformed
// entry or block, returns false with the number of the line at fault in
// `error_line` and what is wrong in `error`.
bool ParseExpectations(const std::string &text, const std::vector<std::string> &known_probes,
                       std::vector<Expectation> *entries, size_t *error_line, std::string *error);

// The entry in the one-line form, six fields separated by tabs, which parses
// back to the same entry.
std::string EntryLine(const Expectation &e);

// The version in a library's version string ("LIBTIFF, Version 4.5.0").
Version LibraryVersion(const std::string &reported);

// How a probe ended: exit 0; exit 1 (its failure lines); anything else (a
// crash, the time limit, another exit status), which is never expected.
enum class Ending { Passed, Failed, Abnormal };
// PASS, FAIL, XFAIL (only expected lines), XPASS (passed where a failure
// is expected).
enum class Verdict { Pass, Fail, Known, Fixed };

struct Judgement {
    Verdict verdict = Verdict::Fail;
    // known: the entries that expected its lines, in the order of the lines
    // they first expected; fixed: the entries that expect a failure on this
    // version and host, in the file's order. Each once.
    std::vector<const Expectation *> entries;
    std::vector<size_t> counts; // known: how many lines each entry expected
    // known: the entries for this probe, version and host that no line
    // matched, in the file's order: a defect fixed in part, or changed.
    std::vector<const Expectation *> unseen;
};

// Whether an entry holds for this library version and host, whatever probe.
bool AppliesHere(const Expectation &e, const Version &version, const Host &host);

Judgement Judge(const std::string &probe, Ending ending, const std::vector<std::string> &lines,
                const Version &version, const Host &host, const std::vector<Expectation> &entries);

// What --defect-expected answers for the reproduction `name`.
enum class DefectExpected { Expected, NotExpected, Unnamed };
DefectExpected DefectExpectedFor(const std::string &name, const Version &version, const Host &host,
                                 const std::vector<Expectation> &entries);

#endif
