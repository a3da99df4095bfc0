// The reading of a printed directory (print_parse.h).
#include "print_parse.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>

namespace prints {

std::string Trim(const std::string &s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && isspace(static_cast<unsigned char>(s[b])))
        b++;
    while (e > b && isspace(static_cast<unsigned char>(s[e - 1])))
        e--;
    return s.substr(b, e - b);
}

namespace {

// A line "  Label: value" names a field; a printer may put two on one line
// ("Width: 7 Length: 3"), the second after a number.
void AddItems(const std::string &text, Printed *out)
{
    static const std::regex second(R"(^(.*?[0-9])\s+([A-Z][A-Za-z ]*): (.*)$)");
    std::string rest = text;
    const size_t colon = rest.find(':');
    Item item;
    if (colon == std::string::npos) {
        item.label = Trim(rest);
        out->items.push_back(item);
        return;
    }
    item.label = Trim(rest.substr(0, colon));
    rest = rest.substr(colon + 1);
    std::smatch m;
    while (std::regex_match(rest, m, second)) {
        item.value = Trim(m[1].str());
        out->items.push_back(item);
        item = Item();
        item.label = Trim(m[2].str());
        rest = m[3].str();
    }
    item.value = Trim(rest);
    out->items.push_back(item);
}

} // namespace

Printed Parse(const std::string &text)
{
    Printed out;
    size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const bool was_first = first;
        first = false;
        if (was_first && line.compare(0, 2, "  ") != 0) {
            out.heading = line;
        } else if (line.size() > 2 && line[0] == ' ' && line[1] == ' ' && line[2] != ' ') {
            AddItems(line.substr(2), &out);
        } else if (!out.items.empty()) {
            out.items.back().more.push_back(line);
        } else if (!Trim(line).empty()) {
            out.items.push_back(Item{Trim(line), "", {}});
        }
    }
    return out;
}

// The numbers in a printed text: decimal, hexadecimal ("0x1e") or with a
// fraction; a '-' right after a digit separates two ("2-7").
std::vector<double> Numbers(const std::string &s)
{
    std::vector<double> out;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        const bool digit = isdigit(static_cast<unsigned char>(c)) != 0;
        const bool next_digit = i + 1 < s.size() && isdigit(static_cast<unsigned char>(s[i + 1]));
        const bool after_word =
            i > 0 && (isalnum(static_cast<unsigned char>(s[i - 1])) || s[i - 1] == '.');
        if ((digit && !(i > 0 && isalpha(static_cast<unsigned char>(s[i - 1])))) ||
            (c == '-' && next_digit && !after_word)) {
            char *end = nullptr;
            out.push_back(strtod(s.c_str() + i, &end));
            i = static_cast<size_t>(end - s.c_str());
            continue;
        }
        if (isalpha(static_cast<unsigned char>(c))) {
            while (i < s.size() && isalnum(static_cast<unsigned char>(s[i])))
                i++;
            continue;
        }
        i++;
    }
    return out;
}

// Names compared as the standards write them: case, spaces and punctuation
// aside, "/" for "per" (or for nothing, with `per` false), and a part in
// parentheses left out.
std::string Normal(const std::string &name, bool per)
{
    std::string out;
    int depth = 0;
    for (char c : name) {
        if (c == '(')
            depth++;
        else if (c == ')')
            depth = std::max(0, depth - 1);
        else if (depth > 0)
            continue;
        else if (c == '/' && per)
            out += "per";
        else if (isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

namespace {

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

// Whether `text` holds the words of `words` ("row+right+col+top"), in that
// order.
bool HasWords(const std::string &text, const std::string &words)
{
    const std::string t = Lower(text);
    size_t at = 0;
    size_t from = 0;
    while (from <= words.size()) {
        size_t plus = words.find('+', from);
        if (plus == std::string::npos)
            plus = words.size();
        const std::string w = Lower(words.substr(from, plus - from));
        const size_t found = t.find(w, at);
        if (found == std::string::npos)
            return false;
        at = found + w.size();
        from = plus + 1;
    }
    return true;
}

namespace {

// The letter of a character's C escape ('t' for a tab), or 0.
char EscapeLetter(char c)
{
    static const char from[] = "\t\n\r\b\f\v\a\\\"'";
    static const char to[] = "tnrbfva\\\"'";
    for (size_t k = 0; from[k]; k++) {
        if (from[k] == c)
            return to[k];
    }
    return 0;
}

// Where the escape of `c` at printed[j] ('\\' there) ends, each way it may
// be written; none when it is not one.
std::vector<size_t> EscapeEnds(const std::string &printed, size_t j, char c)
{
    std::vector<size_t> ends;
    const auto code = static_cast<unsigned char>(c);
    if (j + 1 >= printed.size())
        return ends;
    const char letter = EscapeLetter(c);
    if (letter && printed[j + 1] == letter)
        ends.push_back(j + 2);
    unsigned value = 0;
    for (size_t k = j + 1;
         k < printed.size() && k < j + 4 && printed[k] >= '0' && printed[k] <= '7'; k++) {
        value = value * 8 + static_cast<unsigned>(printed[k] - '0');
        if (value == code)
            ends.push_back(k + 1);
    }
    value = 0;
    if (printed[j + 1] == 'x') {
        for (size_t k = j + 2;
             k < printed.size() && k < j + 4 && isxdigit(static_cast<unsigned char>(printed[k]));
             k++) {
            const char h = static_cast<char>(tolower(static_cast<unsigned char>(printed[k])));
            value = value * 16 + static_cast<unsigned>(isdigit(static_cast<unsigned char>(h))
                                                           ? h - '0'
                                                           : h - 'a' + 10);
            if (value == code)
                ends.push_back(k + 1);
        }
    }
    return ends;
}

} // namespace

bool SameText(const std::string &printed, const std::string &text)
{
    // reach[j]: the printed text up to j gives the text so far.
    std::vector<bool> reach(printed.size() + 1, false);
    reach[0] = true;
    for (char c : text) {
        std::vector<bool> next(printed.size() + 1, false);
        for (size_t j = 0; j < printed.size(); j++) {
            if (!reach[j])
                continue;
            if (printed[j] == c)
                next[j + 1] = true;
            if (printed[j] == '\\') {
                for (size_t end : EscapeEnds(printed, j, c))
                    next[end] = true;
            }
        }
        reach.swap(next);
    }
    return reach[printed.size()];
}

} // namespace prints
