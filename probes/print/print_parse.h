// What print_probe reads in a printed directory: the fields a printer's
// lines name, the numbers in a value, names as the standards write them.
// Hostile-input code: the text is the library's.
#ifndef TIFF_PROBES_PRINT_PARSE_H
#define TIFF_PROBES_PRINT_PARSE_H

#include <string>
#include <vector>

namespace prints {

// One printed field: the line that names it, and the lines after it that
// belong to it (a table, a packet's text).
struct Item {
    std::string label;
    std::string value;
    std::vector<std::string> more;
};

struct Printed {
    std::string heading; // the first line, unless it names a field
    std::vector<Item> items;
};

// The text without the white space at either end.
std::string Trim(const std::string &s);
// A printed directory's lines: a line indented by two spaces names a field
// ("Name: value"; two on one line where a number ends the first), the
// lines after it belong to it.
Printed Parse(const std::string &text);
// The numbers in a printed text: decimal, hexadecimal ("0x1e") or with a
// fraction; a '-' right after a digit separates two ("2-7"); digits inside
// a word ("P35") are none.
std::vector<double> Numbers(const std::string &s);
// A name as the standards write it: case, spaces and punctuation aside,
// "/" for "per" (or for nothing, with `per` false), a part in parentheses
// left out.
std::string Normal(const std::string &name, bool per = true);
// Whether `text` holds the words of `words` ("row+right+col+top"), in that
// order, case aside.
bool HasWords(const std::string &text, const std::string &words);
// Whether `printed` is `text`, each character of it as it stands or
// C-escaped ("\t", "\\", "\001", "\x01"), as a printer chooses.
bool SameText(const std::string &printed, const std::string &text);

} // namespace prints

#endif
