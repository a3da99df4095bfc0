// print_probe's reading of a printed directory, on texts built here: each
// row is a way a printer may lay out a value that a careless reading gets
// wrong (a '-' between two numbers or before one, two fields on one line,
// a number inside a word, a name with "/" in it).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "print_parse.h"

namespace {

struct NumbersRow {
    const char *text;
    std::vector<double> numbers;
};

TEST(PrintParse, Numbers)
{
    const NumbersRow rows[] = {
        {"2-7", {2, 7}},
        {"0.3125-0.328125", {0.3125, 0.328125}},
        {"-0.500000", {-0.5}},
        {"light 6 dark 251", {6, 251}},
        {"0x30,0x32,0x33,0x32", {48, 50, 51, 50}},
        {"multi-page document (2 = 0x2)", {2, 2}},
        {"72.25, 300.5 pixels/cm", {72.25, 300.5}},
        {"1<unassoc-alpha>", {1}},
        // A hyphen after a word is no sign; digits inside a word are no number.
        {"P35 and x-2", {2}},
        {"      0: [     435,       23]", {0, 435, 23}},
        {"2026:12:09 02:30:00", {2026, 12, 9, 2, 30, 0}},
        {"", {}},
    };
    for (const NumbersRow &r : rows)
        EXPECT_EQ(prints::Numbers(r.text), r.numbers) << r.text;
}

struct NormalRow {
    const char *label;
    bool per;
    const char *normal;
};

TEST(PrintParse, Names)
{
    const NormalRow rows[] = {
        {"Bits/Sample", true, "bitspersample"},
        {"Reference Black/White", false, "referenceblackwhite"},
        {"XMLPacket (XMP Metadata)", true, "xmlpacket"},
        {"Date & Time", true, "datetime"},
        {"YCbCr Subsampling", true, "ycbcrsubsampling"},
        {"GPS IFD Offset", true, "gpsifdoffset"},
    };
    for (const NormalRow &r : rows)
        EXPECT_EQ(prints::Normal(r.label, r.per), r.normal) << r.label;
}

struct WordsRow {
    const char *text;
    const char *words;
    bool found;
};

TEST(PrintParse, WordsInOrder)
{
    const WordsRow rows[] = {
        {"row 0 rhs, col 0 top", "row+rhs+col+top", true},
        // Orientation 2 holds the same words in another order.
        {"row 0 top, col 0 rhs", "row+rhs+col+top", false},
        {"msb-to-lsb", "msb+lsb", true},
        {"lsb-to-msb", "msb+lsb", false},
        {"Unassociated Alpha", "unassoc", true},
    };
    for (const WordsRow &r : rows)
        EXPECT_EQ(prints::HasWords(r.text, r.words), r.found) << r.text << " / " << r.words;
}

struct TextRow {
    std::string printed;
    std::string text;
    bool same;
};

// Each character as it stands or C-escaped, the printer's choice character
// by character; a character wrong, missing or extra fails.
TEST(PrintParse, TextRawOrEscaped)
{
    const TextRow rows[] = {
        {"tab\there", "tab\there", true},
        {"tab\\there", "tab\there", true},
        {"tab\\011here", "tab\there", true},
        {"tab\\x09here", "tab\there", true},
        // A backslash raw, a tab escaped, in one text.
        {"a\\b\\tc", "a\\b\tc", true},
        {"a\\\\b\\tc", "a\\b\tc", true},
        {"bell\\a\\001 del\\177 high\\351", "bell\a\x01 del\x7f high\xe9", true},
        {"\\\"q\\\"", "\"q\"", true},
        // Wrong, missing and extra characters; an escape of another one.
        {"tab\\nhere", "tab\there", false},
        {"tab\\01here", "tab\there", false},
        {"tabhere", "tab\there", false},
        {"tab\\t\\there", "tab\there", false},
        {"tab\\there!", "tab\there", false},
        {"\\002", std::string("\x01", 1), false},
        {"\\", "\\\\", false},
        {"", "", true},
    };
    for (const TextRow &r : rows)
        EXPECT_EQ(prints::SameText(r.printed, r.text), r.same) << r.printed;
}

struct ItemRow {
    const char *label;
    const char *value;
    size_t more;
};

TEST(PrintParse, Lines)
{
    const std::string text = "TIFF Directory at offset 0x8 (8)\n"
                             "  Image Width: 7 Image Length: 3\n"
                             "  Tile Width: 16 Tile Length: 32\n"
                             "  DateTime: 2026:12:09 02:30:00\n"
                             "  Color Map: \n"
                             "     0:     7   264    0\n"
                             "     1:  4376  4644 4640\n"
                             "  XMLPacket (XMP Metadata):\n"
                             "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>\n"
                             "  2 Strips:\n"
                             "      0: [     435,       23]\n";
    const prints::Printed p = prints::Parse(text);
    EXPECT_EQ(p.heading, "TIFF Directory at offset 0x8 (8)");
    const ItemRow rows[] = {
        {"Image Width", "7", 0},
        {"Image Length", "3", 0},
        {"Tile Width", "16", 0},
        {"Tile Length", "32", 0},
        {"DateTime", "2026:12:09 02:30:00", 0},
        {"Color Map", "", 2},
        {"XMLPacket (XMP Metadata)", "", 1},
        {"2 Strips", "", 1},
    };
    ASSERT_EQ(p.items.size(), sizeof(rows) / sizeof(rows[0]));
    for (size_t i = 0; i < p.items.size(); i++) {
        EXPECT_EQ(p.items[i].label, rows[i].label);
        EXPECT_EQ(p.items[i].value, rows[i].value) << rows[i].label;
        EXPECT_EQ(p.items[i].more.size(), rows[i].more) << rows[i].label;
    }
    // A print that begins with a field has no heading; one line of nothing
    // but spaces, none at all.
    EXPECT_EQ(prints::Parse("  Make: m\n").heading, "");
    EXPECT_TRUE(prints::Parse("").items.empty());
}

} // namespace
