#include "report.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

std::string reproduction_file(const Expectation *e)
{
    return "defects/" + e->reproduction + ".c";
}

// The distinct reasons of a judgement's entries of one kind, in order.
std::string distinct_reasons(const Judgement &j, bool limitations)
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

// "known: A; B; limitation: C": the defects' reasons first, then the
// limitations', which name themselves. An XPASS's starts "fixed? ".
std::string reasons(const Judgement &j)
{
    const std::string defects = distinct_reasons(j, false);
    const std::string limits = distinct_reasons(j, true);
    std::string text = j.verdict == Verdict::fixed ? "fixed? " : "";
    if (!defects.empty())
        text += (j.verdict == Verdict::fixed ? "" : "known: ") + defects;
    if (!defects.empty() && !limits.empty())
        text += "; ";
    return text + limits;
}

// The reproductions of a judgement's entries, each once for its defects and
// once for its limitations, in order, with the lines each expected.
std::vector<std::pair<const Expectation *, size_t>> reproductions(const Judgement &j)
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

std::string lines_text(size_t n)
{
    return std::to_string(n) + (n == 1 ? " line" : " lines");
}

// "XFAIL name (known: reason) N lines, defects/NAME.c"; for several
// defects, each reproduction and its lines, the defects before the
// limitations.
std::string known_line(const Outcome &o)
{
    const auto list = reproductions(o.judgement);
    if (list.size() == 1)
        return "XFAIL " + o.name + " (" + reasons(o.judgement) + ") " + lines_text(list[0].second) +
               ", " + reproduction_file(list[0].first);
    std::string defects;
    std::string limits;
    for (const auto &r : list) {
        std::string &text = r.first->limitation ? limits : defects;
        text += (text.empty() ? "" : ", ") + reproduction_file(r.first) + " " +
                std::to_string(r.second);
    }
    std::string kinds = defects.empty() ? "" : "known: " + defects;
    if (!limits.empty())
        kinds += (kinds.empty() ? "" : "; ") + std::string("limitation: ") + limits;
    return "XFAIL " + o.name + " (" + kinds + ")";
}

// "XFAIL name (known: reason)" or "XPASS name (fixed? reason)"; otherwise
// PASS or FAIL and the name.
std::string verdict_line(const Outcome &o)
{
    switch (o.judgement.verdict) {
    case Verdict::pass:
        return "PASS " + o.name;
    case Verdict::known:
        return "XFAIL " + o.name + " (" + reasons(o.judgement) + ")";
    case Verdict::fixed:
        return "XPASS " + o.name + " (" + reasons(o.judgement) + ")";
    case Verdict::fail:
        break;
    }
    return "FAIL " + o.name;
}

std::string tap_line(const Outcome &o, size_t number, bool strict)
{
    const std::string head = " " + std::to_string(number) + " - " + o.name;
    switch (o.judgement.verdict) {
    case Verdict::pass:
        return "ok" + head;
    case Verdict::known:
        return "not ok" + head + " # TODO " + reasons(o.judgement);
    case Verdict::fixed:
        return strict ? "not ok" + head : "ok" + head + " # TODO " + reasons(o.judgement);
    case Verdict::fail:
        break;
    }
    return "not ok" + head;
}

bool has_reproduction(const Outcome &o)
{
    return o.judgement.verdict == Verdict::known || o.judgement.verdict == Verdict::fixed;
}

// "see defects/A.c, defects/B.c": where each defect is reproduced.
std::string reproduction_note(const Outcome &o)
{
    std::vector<std::string> files;
    for (const auto &r : reproductions(o.judgement)) {
        if (std::find(files.begin(), files.end(), reproduction_file(r.first)) == files.end())
            files.push_back(reproduction_file(r.first));
    }
    std::string text;
    for (const std::string &f : files)
        text += (text.empty() ? "see " : ", ") + f;
    return text;
}

std::string joined_lines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &l : lines)
        text += l + "\n";
    return text;
}

std::string seconds_text(double seconds)
{
    char num[64];
    snprintf(num, sizeof(num), "%.3f", seconds);
    return num;
}

} // namespace

bool counts_as_failed(const Outcome &o, bool strict)
{
    return o.judgement.verdict == Verdict::fail ||
           (strict && o.judgement.verdict == Verdict::fixed);
}

Tally tally(const std::vector<Outcome> &outcomes, bool strict)
{
    Tally t;
    for (const Outcome &o : outcomes) {
        const bool failed = counts_as_failed(o, strict);
        const bool known = o.judgement.verdict == Verdict::known;
        t.failed += failed ? 1 : 0;
        t.known += known ? 1 : 0;
        t.passed += !failed && !known ? 1 : 0;
        t.fixed += o.judgement.verdict == Verdict::fixed ? 1 : 0;
        t.with_messages += !failed && !known && !o.lines.empty() ? 1 : 0;
    }
    return t;
}

std::string closing_line(const Tally &t)
{
    std::string line =
        std::to_string(t.passed) + " passed, " + std::to_string(t.failed) + " failed";
    if (t.known > 0)
        line += ", " + std::to_string(t.known) + " known";
    if (t.fixed > 0)
        line += ", " + std::to_string(t.fixed) + " unexpectedly passed";
    if (t.with_messages > 0)
        line += ", " + std::to_string(t.with_messages) + " with messages";
    return line;
}

std::string report_header(const Style &style, const std::string &library, size_t probes)
{
    if (style.format == Format::tap)
        return "TAP version 13\n# TIFF library: " + library + "\n1.." + std::to_string(probes) +
               "\n";
    return "TIFF library: " + library + "\n";
}

std::string report_entry(const Style &style, const Outcome &o, size_t number)
{
    const bool tap = style.format == Format::tap;
    const std::string note = tap ? "# " : "    ";
    if (!tap && !style.verbose && o.judgement.verdict == Verdict::known)
        return known_line(o) + "\n" + (style.keep ? note + "kept " + o.scratch + "\n" : "");
    std::string text = (tap ? tap_line(o, number, style.strict) : verdict_line(o)) + "\n";
    if (tap && style.strict && o.judgement.verdict == Verdict::fixed)
        text += note + verdict_line(o) + "\n";
    for (const std::string &l : o.lines)
        text += note + l + "\n";
    if (has_reproduction(o))
        text += note + reproduction_note(o) + "\n";
    if (style.keep)
        text += note + "kept " + o.scratch + "\n";
    return text;
}

std::string report_closing(const Style &style, const Tally &t)
{
    return (style.format == Format::tap ? "# " : "") + closing_line(t) + "\n";
}

std::string junit_report(const std::string &library, const std::vector<Outcome> &outcomes,
                         double seconds, bool strict)
{
    const Tally t = tally(outcomes, strict);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n";
    xml += "  <testsuite name=\"tiff-probes\" tests=\"" + std::to_string(outcomes.size()) +
           "\" failures=\"" + std::to_string(t.failed) + "\" errors=\"0\" skipped=\"" +
           std::to_string(t.known) + "\" time=\"" + seconds_text(seconds) + "\">\n";
    xml += "    <properties>\n      <property name=\"tiff_library\" value=\"" + xml_text(library) +
           "\"/>\n    </properties>\n";
    for (const Outcome &o : outcomes) {
        xml += "    <testcase name=\"" + xml_text(o.name) + "\" classname=\"tiff-probes\" time=\"" +
               seconds_text(o.seconds) + "\"";
        const Verdict v = o.judgement.verdict;
        if (v == Verdict::pass && o.lines.empty()) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n";
        std::string err = joined_lines(o.lines);
        if (v == Verdict::fail) {
            xml += "      <failure message=\"" + xml_text(o.name) + " failed\">" + xml_text(err) +
                   "</failure>\n";
            err.clear();
        } else if (v == Verdict::fixed && strict) {
            xml += "      <failure message=\"" + xml_text(verdict_line(o)) + "\">" +
                   xml_text(reproduction_note(o) + "\n" + err) + "</failure>\n";
            err.clear();
        } else if (v == Verdict::known) {
            xml += "      <skipped message=\"" + xml_text(reasons(o.judgement)) + "\">" +
                   xml_text(reproduction_note(o)) + "</skipped>\n";
        } else if (v == Verdict::fixed) {
            xml += "      <system-out>" +
                   xml_text(verdict_line(o) + "\n" + reproduction_note(o) + "\n") +
                   "</system-out>\n";
        }
        if (!err.empty())
            xml += "      <system-err>" + xml_text(err) + "</system-err>\n";
        xml += "    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

std::string xml_text(const std::string &s)
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
