// Known defects of library releases: which failure lines of which probe are
// expected on which library versions, and the verdict they give a probe.
//
// The file holds one entry a line, six fields separated by tabs:
//   probe  versions  hosts  failure line  reason  reproduction
// Empty lines and lines starting with '#' are skipped. A failure line ending
// in '*' is a prefix of the lines it expects. Versions: 4.5.0 (that one),
// 4.5.0-4.7.2 (both included), 4.5.0- (and later), -4.7.2 (up to it) or *
// (any, an unknown version too); missing trailing numbers count as 0. Hosts:
// * (any), little-endian or big-endian (the host's byte order), or the
// architecture the runner was built for (x86_64, i686, s390x, ...). A reason
// that begins with "limitation: " is one the library's man pages document.
// The reproduction is NAME, the program defects/NAME.c.
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

// Parses a whole file. On a malformed entry, returns false with its line
// number in `error_line` and what is wrong in `error`.
bool ParseExpectations(const std::string &text, const std::vector<std::string> &known_probes,
                       std::vector<Expectation> *entries, size_t *error_line, std::string *error);

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
