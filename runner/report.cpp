#include "report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {

std::string ReproductionFile(const Expectation *e)
{
    return "defects/" + e->reproduction + ".c";
}

// The distinct reasons of a judgement's entries of one kind, in order.
std::string DistinctReasons(const Judgement &j, bool limitations)
{
    std::vector<std::string> seen;
    std::string text;
    for (const Expectation *e : j.entries) {
        if (e->limitation != limitations ||
            std::find(seen.begin(), seen.end(), e->reason) != seen.end())
            continue;
        seen.push_back(e->reason);
        text += (text.empty() ? "" : "; ") + e->reason;
    }
    return text;
}

// "not seen: defects/A.c, defects/B.c": the reproductions of the entries
// that no line showed, each once; empty when every entry showed.
std::string UnseenPart(const Judgement &j)
{
    std::vector<std::string> files;
    for (const Expectation *e : j.unseen) {
        if (std::find(files.begin(), files.end(), ReproductionFile(e)) == files.end())
            files.push_back(ReproductionFile(e));
    }
    std::string text;
    for (const std::string &f : files)
        text += (text.empty() ? "not seen: " : ", ") + f;
    return text;
}

// "known: A; B; limitation: C": the defects' reasons first, then the
// limitations', which name themselves, then the entries not seen. An
// XPASS's starts "fixed? ".
std::string Reasons(const Judgement &j)
{
    const std::string defects = DistinctReasons(j, false);
    const std::string limits = DistinctReasons(j, true);
    std::string text = j.verdict == Verdict::Fixed ? "fixed? " : "";
    if (!defects.empty())
        text += (j.verdict == Verdict::Fixed ? "" : "known: ") + defects;
    if (!defects.empty() && !limits.empty())
        text += "; ";
    text += limits;
    const std::string unseen = UnseenPart(j);
    return unseen.empty() ? text : text + "; " + unseen;
}

// One "not seen: LINE" a line for each entry not seen, as the list gives it.
std::vector<std::string> UnseenLines(const Judgement &j)
{
    std::vector<std::string> lines;
    for (const Expectation *e : j.unseen)
        lines.push_back("not seen: " + e->line + (e->prefix ? "*" : ""));
    return lines;
}

// The reproductions of a judgement's entries, each once for its defects and
// once for its limitations, in order, with the lines each expected.
std::vector<std::pair<const Expectation *, size_t>> Reproductions(const Judgement &j)
{
    std::vector<std::pair<const Expectation *, size_t>> list;
    for (size_t i = 0; i < j.entries.size(); i++) {
        const size_t count = i < j.counts.size() ? j.counts[i] : 0;
        auto same = std::find_if(list.begin(), list.end(), [&](const auto &r) {
            return r.first->reproduction == j.entries[i]->reproduction &&
                   r.first->limitation == j.entries[i]->limitation;
        });
        if (same == list.end())
            list.emplace_back(j.entries[i], count);
        else
            same->second += count;
    }
    return list;
}

std::string LinesText(size_t n)
{
    return std::to_string(n) + (n == 1 ? " line" : " lines");
}

// "XFAIL name (known: reason) N lines, defects/NAME.c"; for several
// defects, each reproduction and its lines, the defects before the
// limitations; then the reproductions of the entries not seen.
std::string KnownLine(const Outcome &o)
{
    const auto list = Reproductions(o.judgement);
    if (list.size() == 1)
        return "XFAIL " + o.name + " (" + Reasons(o.judgement) + ") " + LinesText(list[0].second) +
               ", " + ReproductionFile(list[0].first);
    std::string defects;
    std::string limits;
    for (const auto &r : list) {
        std::string &text = r.first->limitation ? limits : defects;
        text +=
            (text.empty() ? "" : ", ") + ReproductionFile(r.first) + " " + std::to_string(r.second);
    }
    std::string kinds = defects.empty() ? "" : "known: " + defects;
    if (!limits.empty())
        kinds += (kinds.empty() ? "" : "; ") + std::string("limitation: ") + limits;
    const std::string unseen = UnseenPart(o.judgement);
    if (!unseen.empty())
        kinds += "; " + unseen;
    return "XFAIL " + o.name + " (" + kinds + ")";
}

// A probe's "skipped: WHAT" line: a part it could not run on this library
// (a codec the build lacks), said only when it passed.
bool IsSkipLine(const std::string &line)
{
    return line.rfind("skipped: ", 0) == 0;
}

// "no LZW codec; no JPEG codec": what a passing probe skipped, or empty.
std::string SkippedText(const Outcome &o)
{
    std::string text;
    for (const std::string &l : o.lines) {
        if (IsSkipLine(l))
            text += (text.empty() ? "" : "; ") + l.substr(strlen("skipped: "));
    }
    return text;
}

// "XFAIL name (known: reason)" or "XPASS name (fixed? reason)"; otherwise
// PASS (with what it skipped) or FAIL and the name.
std::string VerdictLine(const Outcome &o)
{
    const std::string skipped = SkippedText(o);
    switch (o.judgement.verdict) {
    case Verdict::Pass:
        return "PASS " + o.name + (skipped.empty() ? "" : " (skipped: " + skipped + ")");
    case Verdict::Known:
        return "XFAIL " + o.name + " (" + Reasons(o.judgement) + ")";
    case Verdict::Fixed:
        return "XPASS " + o.name + " (" + Reasons(o.judgement) + ")";
    case Verdict::Fail:
        break;
    }
    return "FAIL " + o.name;
}

bool PartlySeen(const Outcome &o)
{
    return o.judgement.verdict == Verdict::Known && !o.judgement.unseen.empty();
}

// An XPASS, or an XFAIL with entries not seen: a failure with --strict.
bool StrictFailure(const Outcome &o)
{
    return o.judgement.verdict == Verdict::Fixed || PartlySeen(o);
}

std::string TapLine(const Outcome &o, size_t number, bool strict)
{
    const std::string head = " " + std::to_string(number) + " - " + o.name;
    switch (o.judgement.verdict) {
    case Verdict::Pass:
        return "ok" + head;
    case Verdict::Known:
        return strict && PartlySeen(o) ? "not ok" + head
                                       : "not ok" + head + " # TODO " + Reasons(o.judgement);
    case Verdict::Fixed:
        return strict ? "not ok" + head : "ok" + head + " # TODO " + Reasons(o.judgement);
    case Verdict::Fail:
        break;
    }
    return "not ok" + head;
}

bool HasReproduction(const Outcome &o)
{
    return o.judgement.verdict == Verdict::Known || o.judgement.verdict == Verdict::Fixed;
}

// "see defects/A.c, defects/B.c": where each defect is reproduced.
std::string ReproductionNote(const Outcome &o)
{
    std::vector<std::string> files;
    for (const auto &r : Reproductions(o.judgement)) {
        if (std::find(files.begin(), files.end(), ReproductionFile(r.first)) == files.end())
            files.push_back(ReproductionFile(r.first));
    }
    std::string text;
    for (const std::string &f : files)
        text += (text.empty() ? "see " : ", ") + f;
    return text;
}

std::string JoinedLines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &l : lines)
        text += l + "\n";
    return text;
}

std::string SecondsText(double seconds)
{
    char num[64];
    snprintf(num, sizeof(num), "%.3f", seconds);
    return num;
}

} // namespace

bool CountsAsFailed(const Outcome &o, bool strict)
{
    return o.judgement.verdict == Verdict::Fail || (strict && StrictFailure(o));
}

Tally TallyOf(const std::vector<Outcome> &outcomes, bool strict)
{
    Tally t;
    for (const Outcome &o : outcomes) {
        const bool failed = CountsAsFailed(o, strict);
        const bool known = o.judgement.verdict == Verdict::Known && !failed;
        t.failed += failed ? 1 : 0;
        t.known += known ? 1 : 0;
        t.passed += !failed && o.judgement.verdict != Verdict::Known ? 1 : 0;
        t.partly_seen += PartlySeen(o) ? 1 : 0;
        t.fixed += o.judgement.verdict == Verdict::Fixed ? 1 : 0;
        const bool passed = !failed && o.judgement.verdict != Verdict::Known;
        const bool skips = !SkippedText(o).empty();
        const bool messages = std::any_of(o.lines.begin(), o.lines.end(),
                                          [](const std::string &l) { return !IsSkipLine(l); });
        t.with_skips += passed && skips ? 1 : 0;
        t.with_messages += passed && messages ? 1 : 0;
    }
    return t;
}

std::string ClosingLine(const Tally &t)
{
    std::string line =
        std::to_string(t.passed) + " passed, " + std::to_string(t.failed) + " failed";
    if (t.known > 0)
        line += ", " + std::to_string(t.known) + " known";
    if (t.partly_seen > 0)
        line += ", " + std::to_string(t.partly_seen) + " partly seen";
    if (t.fixed > 0)
        line += ", " + std::to_string(t.fixed) + " unexpectedly passed";
    if (t.with_skips > 0)
        line += ", " + std::to_string(t.with_skips) + " with skips";
    if (t.with_messages > 0)
        line += ", " + std::to_string(t.with_messages) + " with messages";
    return line;
}

std::string ReportHeader(const Style &style, const std::string &library, size_t probes)
{
    if (style.format == Format::Tap)
        return "TAP version 13\n# TIFF library: " + library + "\n1.." + std::to_string(probes) +
               "\n";
    return "TIFF library: " + library + "\n";
}

std::string ReportEntry(const Style &style, const Outcome &o, size_t number)
{
    const bool tap = style.format == Format::Tap;
    const std::string note = tap ? "# " : "    ";
    if (!tap && !style.verbose && o.judgement.verdict == Verdict::Known) {
        std::string text = KnownLine(o) + "\n";
        for (const std::string &l : UnseenLines(o.judgement))
            text += note + l + "\n";
        return text + (style.keep ? note + "kept " + o.scratch + "\n" : "");
    }
    std::string text = (tap ? TapLine(o, number, style.strict) : VerdictLine(o)) + "\n";
    if (tap && style.strict && StrictFailure(o))
        text += note + VerdictLine(o) + "\n";
    for (const std::string &l : o.lines) {
        // A pass names what it skipped on its own line.
        if (!tap && o.judgement.verdict == Verdict::Pass && IsSkipLine(l))
            continue;
        text += note + l + "\n";
    }
    for (const std::string &l : UnseenLines(o.judgement))
        text += note + l + "\n";
    if (HasReproduction(o))
        text += note + ReproductionNote(o) + "\n";
    if (style.keep)
        text += note + "kept " + o.scratch + "\n";
    return text;
}

std::string ReportClosing(const Style &style, const Tally &t)
{
    return (style.format == Format::Tap ? "# " : "") + ClosingLine(t) + "\n";
}

std::string JunitReport(const std::string &library, const std::vector<Outcome> &outcomes,
                        double seconds, bool strict)
{
    const Tally t = TallyOf(outcomes, strict);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n";
    xml += "  <testsuite name=\"tiff-probes\" tests=\"" + std::to_string(outcomes.size()) +
           "\" failures=\"" + std::to_string(t.failed) + "\" errors=\"0\" skipped=\"" +
           std::to_string(t.known) + "\" time=\"" + SecondsText(seconds) + "\">\n";
    xml += "    <properties>\n      <property name=\"tiff_library\" value=\"" + XmlText(library) +
           "\"/>\n    </properties>\n";
    for (const Outcome &o : outcomes) {
        xml += "    <testcase name=\"" + XmlText(o.name) + "\" classname=\"tiff-probes\" time=\"" +
               SecondsText(o.seconds) + "\"";
        const Verdict v = o.judgement.verdict;
        if (v == Verdict::Pass && o.lines.empty()) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n";
        std::string err = JoinedLines(o.lines);
        if (v == Verdict::Fail) {
            xml += "      <failure message=\"" + XmlText(o.name) + " failed\">" + XmlText(err) +
                   "</failure>\n";
            err.clear();
        } else if (StrictFailure(o) && strict) {
            xml +=
                "      <failure message=\"" + XmlText(VerdictLine(o)) + "\">" +
                XmlText(JoinedLines(UnseenLines(o.judgement)) + ReproductionNote(o) + "\n" + err) +
                "</failure>\n";
            err.clear();
        } else if (v == Verdict::Known) {
            xml += "      <skipped message=\"" + XmlText(Reasons(o.judgement)) + "\">" +
                   XmlText(JoinedLines(UnseenLines(o.judgement)) + ReproductionNote(o)) +
                   "</skipped>\n";
        } else if (v == Verdict::Fixed) {
            xml += "      <system-out>" +
                   XmlText(VerdictLine(o) + "\n" + ReproductionNote(o) + "\n") + "</system-out>\n";
        }
        if (!err.empty())
            xml += "      <system-err>" + XmlText(err) + "</system-err>\n";
        xml += "    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

std::string XmlText(const std::string &s)
{
    std::string out;
    char hex[8];
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len = 0;
        if (c < 0x80)
            len = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            len = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            len = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            len = 4;
        bool valid = len > 0 && i + len <= s.size();
        uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (size_t k = 1; valid && k < len; k++) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            valid = (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates, code points past U+10FFFF, and the
        // characters XML forbids.
        if (valid && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF ||
                      (cp < 0x20 && cp != '\t' && cp != '\n')))
            valid = false;
        if (!valid) {
            snprintf(hex, sizeof(hex), "\\x%02X", c);
            out += hex;
            i++;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.append(s, i, len);
        }
        i += len;
    }
    return out;
}
