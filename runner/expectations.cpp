#include "expectations.h"

#include <algorithm>
#include <sstream>

namespace {

const size_t field_count = 6;
const char limitation_prefix[] = "limitation: ";
const size_t limitation_prefix_size = sizeof(limitation_prefix) - 1;

std::vector<std::string> SplitTabs(const std::string &line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "4.5.0": one to four numbers of up to nine digits, separated by dots.
bool ParseVersion(const std::string &text, Version *version)
{
    version->clear();
    for (size_t start = 0;;) {
        const size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
        if (part.empty() || part.size() > 9 || version->size() == 4)
            return false;
        unsigned long n = 0;
        for (const char c : part) {
            if (!IsDigit(c))
                return false;
            n = n * 10 + static_cast<unsigned long>(c - '0');
        }
        version->push_back(n);
        if (dot == std::string::npos)
            return true;
        start = dot + 1;
    }
}

// Negative, zero or positive as a is before, the same as or after b.
int Compare(const Version &a, const Version &b)
{
    for (size_t i = 0; i < a.size() || i < b.size(); i++) {
        const unsigned long x = i < a.size() ? a[i] : 0;
        const unsigned long y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool ParseRange(const std::string &text, Expectation *e)
{
    if (text == "*") {
        e->any_version = true;
        return true;
    }
    const size_t dash = text.find('-');
    if (dash == std::string::npos)
        return ParseVersion(text, &e->low) && ParseVersion(text, &e->high);
    const std::string low = text.substr(0, dash);
    const std::string high = text.substr(dash + 1);
    if (low.empty() && high.empty())
        return false;
    return (low.empty() || ParseVersion(low, &e->low)) &&
           (high.empty() || ParseVersion(high, &e->high));
}

// A name of letters, digits, '_' and (for architectures) '-', as a file or
// an architecture is named.
bool IsName(const std::string &text, bool dash)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [dash](char c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        return letter || IsDigit(c) || c == '_' || (dash && c == '-');
    });
}

bool ParseHosts(const std::string &text, Expectation *e)
{
    if (text == "*")
        e->hosts = Hosts::Any;
    else if (text == "little-endian")
        e->hosts = Hosts::LittleEndian;
    else if (text == "big-endian")
        e->hosts = Hosts::BigEndian;
    else if (IsName(text, true) && text.find("endian") == std::string::npos) {
        e->hosts = Hosts::Arch;
        e->arch = text;
    } else
        return false;
    return true;
}

// What is wrong with one entry's fields, or empty.
std::string CheckEntry(const std::vector<std::string> &fields,
                       const std::vector<std::string> &known_probes, Expectation *e)
{
    const char *const names[field_count] = {"probe",        "versions", "hosts",
                                            "failure line", "reason",   "reproduction"};
    if (fields.size() != field_count)
        return "expected 6 fields separated by tabs (probe, versions, hosts, failure line, "
               "reason, reproduction), found " +
               std::to_string(fields.size());
    for (size_t i = 0; i < field_count; i++) {
        if (fields[i].empty())
            return std::string("empty ") + names[i];
    }
    e->probe = fields[0];
    bool known = false;
    for (const std::string &p : known_probes)
        known = known || p == e->probe;
    if (!known)
        return "unknown probe '" + e->probe + "'";
    if (!ParseRange(fields[1], e))
        return "bad versions '" + fields[1] + "' (one of 4.5.0, 4.5.0-4.7.2, 4.5.0-, -4.7.2 or *)";
    if (!e->low.empty() && !e->high.empty() && Compare(e->low, e->high) > 0)
        return "versions '" + fields[1] + "' include none";
    if (!ParseHosts(fields[2], e))
        return "bad hosts '" + fields[2] +
               "' (one of *, little-endian, big-endian or an architecture such as x86_64)";
    e->line = fields[3];
    e->prefix = e->line.back() == '*';
    if (e->prefix)
        e->line.pop_back();
    if (e->line.empty())
        return "a failure line of only '*' would expect every line";
    e->reason = fields[4];
    e->limitation = e->reason.compare(0, limitation_prefix_size, limitation_prefix) == 0;
    if (e->limitation && e->reason.size() == limitation_prefix_size)
        return "a limitation without its reason";
    e->reproduction = fields[5];
    if (!IsName(e->reproduction, false))
        return "bad reproduction '" + e->reproduction +
               "' (NAME of defects/NAME.c: letters, digits and _)";
    return "";
}

bool AppliesToHost(const Expectation &e, const Host &host)
{
    switch (e.hosts) {
    case Hosts::Any:
        return true;
    case Hosts::Arch:
        return e.arch == host.arch;
    case Hosts::LittleEndian:
        return !host.big_endian;
    case Hosts::BigEndian:
        return host.big_endian;
    }
    return false;
}

bool AppliesToVersion(const Expectation &e, const Version &version)
{
    if (e.any_version)
        return true;
    return !version.empty() && (e.low.empty() || Compare(e.low, version) <= 0) &&
           (e.high.empty() || Compare(version, e.high) <= 0);
}

bool Applies(const Expectation &e, const std::string &probe, const Version &version,
             const Host &host)
{
    return e.probe == probe && AppliesHere(e, version, host);
}

bool Expects(const Expectation &e, const std::string &line)
{
    return e.prefix ? line.compare(0, e.line.size(), e.line) == 0 : line == e.line;
}

// Adds `e` once; returns its place in the list.
size_t AddOnce(std::vector<const Expectation *> *list, const Expectation *e)
{
    for (size_t i = 0; i < list->size(); i++) {
        if ((*list)[i] == e)
            return i;
    }
    list->push_back(e);
    return list->size() - 1;
}

} // namespace

bool ParseExpectations(const std::string &text, const std::vector<std::string> &known_probes,
                       std::vector<Expectation> *entries, size_t *error_line, std::string *error)
{
    std::istringstream in(text);
    size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        number++;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        Expectation e;
        *error = CheckEntry(SplitTabs(line), known_probes, &e);
        if (!error->empty()) {
            *error_line = number;
            return false;
        }
        entries->push_back(e);
    }
    return true;
}

Version LibraryVersion(const std::string &reported)
{
    const std::string marker = "Version ";
    const size_t at = reported.find(marker);
    Version version;
    if (at == std::string::npos)
        return version;
    size_t end = at + marker.size();
    while (end < reported.size() && (IsDigit(reported[end]) || reported[end] == '.'))
        end++;
    std::string text = reported.substr(at + marker.size(), end - at - marker.size());
    while (!text.empty() && text.back() == '.')
        text.pop_back();
    if (!ParseVersion(text, &version))
        version.clear();
    return version;
}

Host BuildHost()
{
    Host host;
    host.arch = RUNNER_ARCH;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    host.big_endian = true;
#endif
    return host;
}

bool AppliesHere(const Expectation &e, const Version &version, const Host &host)
{
    return AppliesToVersion(e, version) && AppliesToHost(e, host);
}

Judgement Judge(const std::string &probe, Ending ending, const std::vector<std::string> &lines,
                const Version &version, const Host &host, const std::vector<Expectation> &entries)
{
    Judgement j;
    if (ending == Ending::Passed) {
        j.verdict = Verdict::Pass;
        for (const Expectation &e : entries) {
            if (Applies(e, probe, version, host))
                AddOnce(&j.entries, &e);
        }
        if (!j.entries.empty())
            j.verdict = Verdict::Fixed;
        return j;
    }
    // A crash or a time-out is never expected, nor a failure that says nothing.
    if (ending == Ending::Abnormal || lines.empty())
        return j;
    for (const std::string &line : lines) {
        const Expectation *by = nullptr;
        for (const Expectation &e : entries) {
            if (Applies(e, probe, version, host) && Expects(e, line)) {
                by = &e;
                break;
            }
        }
        if (!by) {
            j.entries.clear();
            j.counts.clear();
            return j;
        }
        const size_t at = AddOnce(&j.entries, by);
        j.counts.resize(j.entries.size());
        j.counts[at]++;
    }
    j.verdict = Verdict::Known;
    return j;
}

DefectExpected DefectExpectedFor(const std::string &name, const Version &version, const Host &host,
                                 const std::vector<Expectation> &entries)
{
    DefectExpected answer = DefectExpected::Unnamed;
    for (const Expectation &e : entries) {
        if (e.reproduction != name)
            continue;
        if (AppliesHere(e, version, host))
            return DefectExpected::Expected;
        answer = DefectExpected::NotExpected;
    }
    return answer;
}
