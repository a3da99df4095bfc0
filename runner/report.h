// The verdict's three forms: the text lines, TAP version 13, and the JUnit
// XML report. Every line and count here is read by people and by tools
// (CI systems, scripts/run-matrix), so each form is exact.
#ifndef TIFF_PROBES_RUNNER_REPORT_H
#define TIFF_PROBES_RUNNER_REPORT_H

#include <string>
#include <vector>

#include "expectations.h"

struct Outcome {
    std::string name;
    std::string scratch;            // its scratch directory, shown with --keep
    std::vector<std::string> lines; // what the probe printed, then the runner's notes
    double seconds = 0;
    Judgement judgement;
};

// Whether a probe counts as failed: FAIL, and with --strict an XPASS or an
// XFAIL with entries not seen.
bool CountsAsFailed(const Outcome &o, bool strict);

// Every probe is one of passed, failed or known; XPASS probes are counted
// among the passed (or, with --strict, the failed) and again apart, XFAILs
// with entries not seen among the known (with --strict, the failed) and
// again as partly seen, the passes that skipped a part ("skipped: WHAT")
// again as with skips, and those that printed anything else again as with
// messages.
struct Tally {
    size_t passed = 0;
    size_t failed = 0;
    size_t known = 0;
    size_t partly_seen = 0;
    size_t fixed = 0;
    size_t with_skips = 0;
    size_t with_messages = 0;
};
Tally TallyOf(const std::vector<Outcome> &outcomes, bool strict);

// "N passed, M failed", then ", K known", ", P partly seen", ", X
// unexpectedly passed", ", S with skips" and ", J with messages", each only
// when not 0, in that order.
std::string ClosingLine(const Tally &t);

enum class Format { Text, Tap };
struct Style {
    Format format = Format::Text;
    bool strict = false;
    bool keep = false;
    bool verbose = false; // text: every line of an XFAIL, not its one line
};

// The first lines, up to the probes' entries.
std::string ReportHeader(const Style &style, const std::string &library, size_t probes);
// One probe's lines; `number` counts from 1. In text, a pass that skipped
// parts is "PASS name (skipped: no X codec; ...)", an XFAIL is one line
// unless verbose: "XFAIL name (known: reason) N lines, defects/NAME.c", or
// for several defects "XFAIL name (known: defects/A.c N, ...; limitation:
// defects/B.c M)"; entries no line showed add "; not seen: defects/C.c" in
// the parentheses and a line "not seen: LINE" each. TAP shows every line.
std::string ReportEntry(const Style &style, const Outcome &o, size_t number);
std::string ReportClosing(const Style &style, const Tally &t);

std::string JunitReport(const std::string &library, const std::vector<Outcome> &outcomes,
                        double seconds, bool strict);

// Text for XML: markup escaped, and every byte that is not valid UTF-8 or not
// allowed in XML 1.0 written as \xNN.
std::string XmlText(const std::string &s);

#endif
