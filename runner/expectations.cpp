#include "expectations.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>

#include "host_order.h"

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

// What is wrong with each field, or empty; each fills its part of `e`.
std::string CheckProbe(const std::string &text, const std::vector<std::string> &known_probes,
                       Expectation *e)
{
    e->probe = text;
    if (std::find(known_probes.begin(), known_probes.end(), text) == known_probes.end())
        return "unknown probe '" + text + "'";
    return "";
}

std::string CheckVersions(const std::string &text, Expectation *e)
{
    e->any_version = false;
    e->low.clear();
    e->high.clear();
    if (!ParseRange(text, e))
        return "bad versions '" + text + "' (one of 4.5.0, 4.5.0-4.7.2, 4.5.0-, -4.7.2 or *)";
    if (!e->low.empty() && !e->high.empty() && Compare(e->low, e->high) > 0)
        return "versions '" + text + "' include none";
    return "";
}

std::string CheckHosts(const std::string &text, Expectation *e)
{
    if (!ParseHosts(text, e))
        return "bad hosts '" + text +
               "' (one of *, little-endian, big-endian or an architecture such as x86_64)";
    return "";
}

std::string CheckReason(const std::string &text, Expectation *e)
{
    e->reason = text;
    e->limitation = text.compare(0, limitation_prefix_size, limitation_prefix) == 0;
    // A block's value loses its trailing space.
    if ((e->limitation && text.size() == limitation_prefix_size) || text == "limitation:")
        return "a limitation without its reason";
    return "";
}

std::string CheckReproduction(const std::string &text, Expectation *e)
{
    e->reproduction = text;
    if (!IsName(text, false))
        return "bad reproduction '" + text + "' (NAME of defects/NAME.c: letters, digits and _)";
    return "";
}

// A failure line, its '*' already taken off when `prefix`.
std::string CheckLine(const std::string &line, bool prefix, Expectation *e)
{
    e->line = line;
    e->prefix = prefix;
    if (prefix && line.empty())
        return "a failure line of only '*' would expect every line";
    if (line.empty())
        return "an empty failure line";
    return "";
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
    const std::string &line = fields[3];
    const bool prefix = line.back() == '*';
    std::string error = CheckProbe(fields[0], known_probes, e);
    for (const std::string &more :
         {CheckVersions(fields[1], e), CheckHosts(fields[2], e),
          CheckLine(prefix ? line.substr(0, line.size() - 1) : line, prefix, e),
          CheckReason(fields[4], e), CheckReproduction(fields[5], e)}) {
        if (error.empty())
            error = more;
    }
    return error;
}

// A block's lines beyond this many from one failure line are a mistake.
const size_t max_alternatives = 4096;

// Expands the alternatives of `text` from `*at` to its end, or, when
// `nested`, to the ',' or '}' that ends the alternative; a backslash makes
// the next character literal.
std::string Expand(const std::string &text, size_t *at, bool nested, std::vector<std::string> *out)
{
    *out = {""};
    while (*at < text.size()) {
        const char c = text[*at];
        if (nested && (c == ',' || c == '}'))
            return "";
        if (c == '}')
            return "a '}' without its '{' (a literal brace is \\})";
        if (c == '\\') {
            if (*at + 1 == text.size())
                return "a '\\' that ends the line escapes nothing";
            for (std::string &s : *out)
                s += text[*at + 1];
            *at += 2;
            continue;
        }
        if (c != '{') {
            for (std::string &s : *out)
                s += c;
            ++*at;
            continue;
        }
        const size_t open = *at;
        std::vector<std::string> alternatives;
        size_t count = 0;
        for (bool more = true; more; count++) {
            ++*at;
            std::vector<std::string> one;
            std::string error = Expand(text, at, true, &one);
            if (!error.empty())
                return error;
            if (*at == text.size())
                return "a '{' without its '}' (a literal brace is \\{)";
            more = text[*at] == ',';
            alternatives.insert(alternatives.end(), one.begin(), one.end());
        }
        ++*at;
        if (count < 2)
            return "'" + text.substr(open, *at - open) +
                   "' holds one alternative (alternatives are separated by ',', a literal "
                   "brace is \\{)";
        if (out->size() * alternatives.size() > max_alternatives)
            return "more than " + std::to_string(max_alternatives) + " lines from one line";
        std::vector<std::string> product;
        for (const std::string &head : *out) {
            for (const std::string &tail : alternatives)
                product.push_back(head + tail);
        }
        out->swap(product);
    }
    return "";
}

// A block: the fields it gives once, and the entry that each of its
// failure lines fills in.
struct Block {
    Expectation entry;
    size_t start = 0;   // the line of its "probe:"
    size_t section = 0; // the line of its last "on", 0 before the first
    size_t section_lines = 0;
    bool versions = false; // the versions of the block, given
    Expectation block_versions;
    std::vector<std::string> expanded; // each entry once, in the one-line form
};

bool StartsWith(const std::string &text, const char *head)
{
    return text.compare(0, strlen(head), head) == 0;
}

// The value after "key:", without the spaces around it.
std::string Value(const std::string &line, size_t key_size)
{
    const size_t first = line.find_first_not_of(' ', key_size);
    if (first == std::string::npos)
        return "";
    return line.substr(first, line.find_last_not_of(" \r") + 1 - first);
}

// What is wrong with the block so far, when its fields must all be given.
std::string CheckFieldsGiven(const Block &b)
{
    if (b.entry.reproduction.empty())
        return "the block gives no 'reproduction:' before its first 'on'";
    if (!b.versions)
        return "the block gives no 'versions:' before its first 'on'";
    if (b.entry.reason.empty())
        return "the block gives no 'reason:' before its first 'on'";
    return "";
}

// "on HOSTS:" or "on HOSTS, versions VERSIONS:".
std::string CheckSection(const std::string &line, Block *b)
{
    if (line.size() < 5 || line.back() != ':')
        return "expected 'on HOSTS:' or 'on HOSTS, versions VERSIONS:'";
    std::string hosts = line.substr(3, line.size() - 4);
    const std::string marker = ", versions ";
    const size_t at = hosts.find(marker);
    Expectation &e = b->entry;
    if (at == std::string::npos) {
        e.any_version = b->block_versions.any_version;
        e.low = b->block_versions.low;
        e.high = b->block_versions.high;
    } else {
        std::string error = CheckVersions(hosts.substr(at + marker.size()), &e);
        if (!error.empty())
            return error;
        hosts.erase(at);
    }
    return CheckHosts(hosts, &e);
}

// One failure line of a block, expanded into its entries.
std::string AddLines(const std::string &text, Block *b, std::vector<Expectation> *entries)
{
    if (b->section == 0)
        return "a failure line before the block's first 'on HOSTS:'";
    if (text.find('\t') != std::string::npos)
        return "a tab in a failure line";
    // A '*' that ends the line, unescaped, makes it a prefix.
    size_t slashes = 0;
    while (text.size() >= slashes + 2 && text[text.size() - 2 - slashes] == '\\')
        slashes++;
    const bool prefix = !text.empty() && text.back() == '*' && slashes % 2 == 0;
    size_t at = 0;
    std::vector<std::string> lines;
    std::string error = Expand(prefix ? text.substr(0, text.size() - 1) : text, &at, false, &lines);
    if (!error.empty())
        return error;
    for (const std::string &line : lines) {
        Expectation e = b->entry;
        std::string bad = CheckLine(line, prefix, &e);
        if (!bad.empty())
            return bad;
        const std::string one = EntryLine(e);
        if (std::find(b->expanded.begin(), b->expanded.end(), one) != b->expanded.end())
            return "the block gives the line '" + line + "' twice";
        b->expanded.push_back(one);
        entries->push_back(e);
    }
    b->section_lines += lines.size();
    return "";
}

// One line of a block: a field, an "on", or an indented failure line.
std::string BlockLine(const std::string &line, Block *b, std::vector<Expectation> *entries)
{
    if (line[0] == ' ' || line[0] == '\t')
        return AddLines(line.substr(line.find_first_not_of(" \t")), b, entries);
    if (StartsWith(line, "on ")) {
        if (b->section == 0) {
            std::string error = CheckFieldsGiven(*b);
            if (!error.empty())
                return error;
        } else if (b->section_lines == 0) {
            return "no failure line under the 'on' of line " + std::to_string(b->section);
        }
        b->section_lines = 0;
        return CheckSection(line, b);
    }
    const char *const fields[] = {"reproduction:", "versions:", "reason:"};
    for (const char *field : fields) {
        if (!StartsWith(line, field))
            continue;
        if (b->section != 0)
            return std::string("'") + field + "' after the block's first 'on'";
        const std::string value = Value(line, strlen(field));
        if (value.find('\t') != std::string::npos)
            return std::string("a tab in '") + field + "'";
        if (value.empty())
            return std::string("empty '") + field + "'";
        Expectation &e = b->entry;
        if (field == fields[0]) {
            if (!e.reproduction.empty())
                return "'reproduction:' given twice";
            return CheckReproduction(value, &e);
        }
        if (field == fields[1]) {
            if (b->versions)
                return "'versions:' given twice";
            b->versions = true;
            return CheckVersions(value, &b->block_versions);
        }
        if (!e.reason.empty())
            return "'reason:' given twice";
        return CheckReason(value, &e);
    }
    if (StartsWith(line, "probe:"))
        return "a block's lines end at an empty line, before the next 'probe:'";
    return "expected 'reproduction:', 'versions:', 'reason:', 'on HOSTS:' or an indented "
           "failure line in a block";
}

// What is wrong with a block at its end, or empty.
std::string EndBlock(const Block &b, size_t *error_line)
{
    *error_line = b.section ? b.section : b.start;
    if (b.section == 0) {
        const std::string error = CheckFieldsGiven(b);
        return error.empty() ? "the block gives no 'on HOSTS:' and no failure line" : error;
    }
    if (b.section_lines == 0)
        return "no failure line under the 'on' of line " + std::to_string(b.section);
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
    std::unique_ptr<Block> block;
    for (std::string line; std::getline(in, line);) {
        number++;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos && block) {
            *error = EndBlock(*block, error_line);
            if (!error->empty())
                return false;
            block.reset();
        }
        if (first == std::string::npos || line[first] == '#')
            continue;
        *error_line = number;
        if (block) {
            *error = BlockLine(line, block.get(), entries);
            if (!error->empty())
                return false;
            if (StartsWith(line, "on "))
                block->section = number;
            continue;
        }
        if (StartsWith(line, "probe:")) {
            block = std::make_unique<Block>();
            block->start = number;
            const std::string probe = Value(line, 6);
            *error =
                probe.empty() ? "empty 'probe:'" : CheckProbe(probe, known_probes, &block->entry);
            if (!error->empty())
                return false;
            continue;
        }
        Expectation e;
        *error = CheckEntry(SplitTabs(line), known_probes, &e);
        if (!error->empty())
            return false;
        entries->push_back(e);
    }
    if (block) {
        *error = EndBlock(*block, error_line);
        if (!error->empty())
            return false;
    }
    return true;
}

std::string EntryLine(const Expectation &e)
{
    auto text = [](const Version &v) {
        std::string s;
        for (const unsigned long n : v)
            s += (s.empty() ? "" : ".") + std::to_string(n);
        return s;
    };
    std::string versions = "*";
    if (!e.any_version)
        versions = e.low == e.high ? text(e.low) : text(e.low) + "-" + text(e.high);
    const char *const hosts[] = {"*", "", "little-endian", "big-endian"};
    return e.probe + "\t" + versions + "\t" +
           (e.hosts == Hosts::Arch ? e.arch : hosts[static_cast<int>(e.hosts)]) + "\t" + e.line +
           (e.prefix ? "*" : "") + "\t" + e.reason + "\t" + e.reproduction;
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
    host.big_endian = ifd::host_big_endian;
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
    // Any line may show an entry, not only the one the first match took.
    for (const Expectation &e : entries) {
        if (Applies(e, probe, version, host) &&
            std::none_of(lines.begin(), lines.end(),
                         [&e](const std::string &line) { return Expects(e, line); }))
            j.unseen.push_back(&e);
    }
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
