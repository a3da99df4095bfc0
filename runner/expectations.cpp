#include "expectations.h"

#include <algorithm>
#include <sstream>

namespace {

const size_t field_count = 6;
const char limitation_prefix[] = "limitation: ";
const size_t limitation_prefix_size = sizeof(limitation_prefix) - 1;

std::vector<std::string> split_tabs(const std::string &line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// "4.5.0": one to four numbers of up to nine digits, separated by dots.
bool parse_version(const std::string &text, Version *version)
{
    version->clear();
    for (size_t start = 0;;) {
        const size_t dot = text.find('.', start);
        const std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
        if (part.empty() || part.size() > 9 || version->size() == 4)
            return false;
        unsigned long n = 0;
        for (const char c : part) {
            if (!is_digit(c))
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
int compare(const Version &a, const Version &b)
{
    for (size_t i = 0; i < a.size() || i < b.size(); i++) {
        const unsigned long x = i < a.size() ? a[i] : 0;
        const unsigned long y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool parse_range(const std::string &text, Expectation *e)
{
    if (text == "*") {
        e->any_version = true;
        return true;
    }
    const size_t dash = text.find('-');
    if (dash == std::string::npos)
        return parse_version(text, &e->low) && parse_version(text, &e->high);
    const std::string low = text.substr(0, dash);
    const std::string high = text.substr(dash + 1);
    if (low.empty() && high.empty())
        return false;
    return (low.empty() || parse_version(low, &e->low)) &&
           (high.empty() || parse_version(high, &e->high));
}

// A name of letters, digits, '_' and (for architectures) '-', as a file or
// an architecture is named.
bool is_name(const std::string &text, bool dash)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [dash](char c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        return letter || is_digit(c) || c == '_' || (dash && c == '-');
    });
}

bool parse_hosts(const std::string &text, Expectation *e)
{
    if (text == "*")
        e->hosts = Hosts::any;
    else if (text == "little-endian")
        e->hosts = Hosts::little_endian;
    else if (text == "big-endian")
        e->hosts = Hosts::big_endian;
    else if (is_name(text, true) && text.find("endian") == std::string::npos) {
        e->hosts = Hosts::arch;
        e->arch = text;
    } else
        return false;
    return true;
}

// What is wrong with one entry's fields, or empty.
std::string check_entry(const std::vector<std::string> &fields,
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
    if (!parse_range(fields[1], e))
        return "bad versions '" + fields[1] + "' (one of 4.5.0, 4.5.0-4.7.2, 4.5.0-, -4.7.2 or *)";
    if (!e->low.empty() && !e->high.empty() && compare(e->low, e->high) > 0)
        return "versions '" + fields[1] + "' include none";
    if (!parse_hosts(fields[2], e))
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
    if (!is_name(e->reproduction, false))
        return "bad reproduction '" + e->reproduction +
               "' (NAME of defects/NAME.c: letters, digits and _)";
    return "";
}

bool applies_to_host(const Expectation &e, const Host &host)
{
    switch (e.hosts) {
    case Hosts::any:
        return true;
    case Hosts::arch:
        return e.arch == host.arch;
    case Hosts::little_endian:
        return !host.big_endian;
    case Hosts::big_endian:
        return host.big_endian;
    }
    return false;
}

bool applies_to_version(const Expectation &e, const Version &version)
{
    if (e.any_version)
        return true;
    return !version.empty() && (e.low.empty() || compare(e.low, version) <= 0) &&
           (e.high.empty() || compare(version, e.high) <= 0);
}

bool applies(const Expectation &e, const std::string &probe, const Version &version,
             const Host &host)
{
    return e.probe == probe && applies_here(e, version, host);
}

bool expects(const Expectation &e, const std::string &line)
{
    return e.prefix ? line.compare(0, e.line.size(), e.line) == 0 : line == e.line;
}

// Adds `e` once; returns its place in the list.
size_t add_once(std::vector<const Expectation *> *list, const Expectation *e)
{
    for (size_t i = 0; i < list->size(); i++) {
        if ((*list)[i] == e)
            return i;
    }
    list->push_back(e);
    return list->size() - 1;
}

} // namespace

bool parse_expectations(const std::string &text, const std::vector<std::string> &known_probes,
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
        *error = check_entry(split_tabs(line), known_probes, &e);
        if (!error->empty()) {
            *error_line = number;
            return false;
        }
        entries->push_back(e);
    }
    return true;
}

Version library_version(const std::string &reported)
{
    const std::string marker = "Version ";
    const size_t at = reported.find(marker);
    Version version;
    if (at == std::string::npos)
        return version;
    size_t end = at + marker.size();
    while (end < reported.size() && (is_digit(reported[end]) || reported[end] == '.'))
        end++;
    std::string text = reported.substr(at + marker.size(), end - at - marker.size());
    while (!text.empty() && text.back() == '.')
        text.pop_back();
    if (!parse_version(text, &version))
        version.clear();
    return version;
}

Host build_host()
{
    Host host;
    host.arch = RUNNER_ARCH;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    host.big_endian = true;
#endif
    return host;
}

bool applies_here(const Expectation &e, const Version &version, const Host &host)
{
    return applies_to_version(e, version) && applies_to_host(e, host);
}

Judgement judge(const std::string &probe, Ending ending, const std::vector<std::string> &lines,
                const Version &version, const Host &host, const std::vector<Expectation> &entries)
{
    Judgement j;
    if (ending == Ending::passed) {
        j.verdict = Verdict::pass;
        for (const Expectation &e : entries) {
            if (applies(e, probe, version, host))
                add_once(&j.entries, &e);
        }
        if (!j.entries.empty())
            j.verdict = Verdict::fixed;
        return j;
    }
    // A crash or a time-out is never expected, nor a failure that says nothing.
    if (ending == Ending::abnormal || lines.empty())
        return j;
    for (const std::string &line : lines) {
        const Expectation *by = nullptr;
        for (const Expectation &e : entries) {
            if (applies(e, probe, version, host) && expects(e, line)) {
                by = &e;
                break;
            }
        }
        if (!by) {
            j.entries.clear();
            j.counts.clear();
            return j;
        }
        const size_t at = add_once(&j.entries, by);
        j.counts.resize(j.entries.size());
        j.counts[at]++;
    }
    j.verdict = Verdict::known;
    return j;
}

DefectExpected defect_expected(const std::string &name, const Version &version, const Host &host,
                               const std::vector<Expectation> &entries)
{
    DefectExpected answer = DefectExpected::unnamed;
    for (const Expectation &e : entries) {
        if (e.reproduction != name)
            continue;
        if (applies_here(e, version, host))
            return DefectExpected::expected;
        answer = DefectExpected::not_expected;
    }
    return answer;
}
