#include "expectations.h"

#include <sstream>

namespace {

const size_t field_count = 5;

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

// What is wrong with one entry's fields, or empty.
std::string check_entry(const std::vector<std::string> &fields,
                        const std::vector<std::string> &known_probes, Expectation *e)
{
    const char *const names[field_count] = {"probe", "versions", "failure line", "reason",
                                            "README section"};
    if (fields.size() != field_count)
        return "expected 5 fields separated by tabs (probe, versions, failure line, reason, "
               "README section), found " +
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
    e->line = fields[2];
    e->prefix = e->line.back() == '*';
    if (e->prefix)
        e->line.pop_back();
    if (e->line.empty())
        return "a failure line of only '*' would expect every line";
    e->reason = fields[3];
    e->section = fields[4];
    return "";
}

bool applies(const Expectation &e, const std::string &probe, const Version &version)
{
    if (e.probe != probe)
        return false;
    if (e.any_version)
        return true;
    return !version.empty() && (e.low.empty() || compare(e.low, version) <= 0) &&
           (e.high.empty() || compare(version, e.high) <= 0);
}

bool expects(const Expectation &e, const std::string &line)
{
    return e.prefix ? line.compare(0, e.line.size(), e.line) == 0 : line == e.line;
}

void add_once(std::vector<const Expectation *> *list, const Expectation *e)
{
    for (const Expectation *l : *list) {
        if (l == e)
            return;
    }
    list->push_back(e);
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

Judgement judge(const std::string &probe, Ending ending, const std::vector<std::string> &lines,
                const Version &version, const std::vector<Expectation> &entries)
{
    Judgement j;
    if (ending == Ending::passed) {
        j.verdict = Verdict::pass;
        for (const Expectation &e : entries) {
            if (applies(e, probe, version))
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
            if (applies(e, probe, version) && expects(e, line)) {
                by = &e;
                break;
            }
        }
        if (!by) {
            j.entries.clear();
            return j;
        }
        add_once(&j.entries, by);
    }
    j.verdict = Verdict::known;
    return j;
}
