// The structure reader against files built here byte by byte: every type in
// both byte orders and both formats, at the inline limit and one element
// over, and one table of corrupt files (cut headers, an unknown byte-order
// mark, a wrong version, BigTIFF offset size or reserved word, IFD offsets
// outside the file or on the header, IFDs with no entries or more than the
// file could hold, entry tables and next offsets cut off, unknown type codes,
// values past the end, on the header or adding up to more than the file,
// counts whose byte size overflows, chains that loop, IFDs that overlap,
// links that come back, aim into IFD0 or lead nowhere), each of which must
// give its own problems and offsets and keep the sound rest. Memory: the
// reader holds at most 32 bytes per byte of file (its header says why); the
// test counts every allocation while it reads hostile files of up to 1 MB
// (one SubIFD linked 2,000 times, 50,000 IFDs with a broken entry each,
// 20,000 SubIFDs with two dead links each, 5,000 entries with values past
// the end), which stay under 18 bytes per byte, and reads the repeated SubIFD
// once more under an address-space limit of 16 MB.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ifd_reader.h"

namespace {

struct Layout {
    bool big_endian;
    bool bigtiff;
};

constexpr Layout layouts[] = {{false, false}, {true, false}, {false, true}, {true, true}};

struct Field {
    uint16_t tag;
    uint16_t type;
    uint64_t count;
    unsigned width;                 // bytes per element below
    std::vector<uint64_t> elements; // written as they are, whatever the count says
};

void Set(std::vector<uint8_t> *f, size_t at, uint64_t v, unsigned width, bool big_endian)
{
    for (unsigned i = 0; i < width; i++)
        (*f)[at + i] = static_cast<uint8_t>(v >> (8 * (big_endian ? width - 1 - i : i)));
}

void Put(std::vector<uint8_t> *f, uint64_t v, unsigned width, bool big_endian)
{
    f->resize(f->size() + width);
    Set(f, f->size() - width, v, width, big_endian);
}

// A header and a chain of IFDs, each followed by the values that do not fit
// in their entries.
std::vector<uint8_t> Build(Layout l, const std::vector<std::vector<Field>> &ifds)
{
    const bool msb_first = l.big_endian;
    const unsigned slot = l.bigtiff ? 8 : 4;
    std::vector<uint8_t> f;
    Put(&f, msb_first ? 0x4d4d : 0x4949, 2, msb_first);
    Put(&f, l.bigtiff ? 43 : 42, 2, msb_first);
    if (l.bigtiff) {
        Put(&f, 8, 2, msb_first);
        Put(&f, 0, 2, msb_first);
    }
    size_t link = f.size();
    Put(&f, 0, slot, msb_first);
    for (const std::vector<Field> &fields : ifds) {
        Set(&f, link, f.size(), slot, msb_first);
        Put(&f, fields.size(), l.bigtiff ? 8 : 2, msb_first);
        const size_t data_at = f.size() + fields.size() * (l.bigtiff ? 20 : 12) + slot;
        std::vector<uint8_t> data;
        for (const Field &field : fields) {
            Put(&f, field.tag, 2, msb_first);
            Put(&f, field.type, 2, msb_first);
            Put(&f, field.count, slot, msb_first);
            std::vector<uint8_t> values;
            for (uint64_t v : field.elements)
                Put(&values, v, field.width, msb_first);
            if (values.size() <= slot) {
                values.resize(slot);
                f.insert(f.end(), values.begin(), values.end());
            } else {
                Put(&f, data_at + data.size(), slot, msb_first);
                data.insert(data.end(), values.begin(), values.end());
            }
        }
        link = f.size();
        Put(&f, 0, slot, msb_first);
        f.insert(f.end(), data.begin(), data.end());
    }
    // A copy of exactly the file's size, so that the sanitizer sees any read
    // past its end.
    return std::vector<uint8_t>(f.begin(), f.end());
}

// Sizes written here, not taken from the reader's table.
struct TypeCase {
    uint16_t type;
    unsigned size;
};

constexpr TypeCase type_cases[] = {
    {ifd::BYTE, 1},     {ifd::ASCII, 1},     {ifd::SHORT, 2},     {ifd::LONG, 4},
    {ifd::RATIONAL, 8}, {ifd::SBYTE, 1},     {ifd::UNDEFINED, 1}, {ifd::SSHORT, 2},
    {ifd::SLONG, 4},    {ifd::SRATIONAL, 8}, {ifd::FLOAT, 4},     {ifd::DOUBLE, 8},
    {ifd::IFD, 4},      {ifd::LONG8, 8},     {ifd::SLONG8, 8},    {ifd::IFD8, 8},
};

// Bytes that differ within a value and between fields, the top bit set so a
// sign extension shows.
uint64_t Pattern(uint64_t seed, uint64_t k, unsigned width)
{
    uint64_t v = 0;
    for (unsigned j = 0; j < width; j++)
        v = (v << 8) | (j == 0 ? 0x80 : 0) | ((seed * 13 + k * width + j) & 0x7f);
    return v;
}

// The sound rest of a reading, "OFFSET[TAG,...]" for each IFD of the chain,
// then "OFFSET^PARENT[TAG,...]" for each linked one.
std::string Rest(const ifd::File &file)
{
    std::string s;
    for (const std::vector<ifd::Directory> *dirs : {&file.chain, &file.linked}) {
        for (const ifd::Directory &dir : *dirs) {
            s += (s.empty() ? "" : " ") + std::to_string(dir.offset);
            if (dirs == &file.linked)
                s += "^" + std::to_string(dir.parent);
            std::string tags;
            for (const ifd::Entry &e : dir.entries)
                tags += (tags.empty() ? "" : ",") + std::to_string(e.tag);
            s += "[" + tags + "]";
        }
    }
    return s;
}

// Every problem of a reading, "OFFSET WHAT", joined by "; ".
std::string Problems(const ifd::File &file)
{
    std::string s;
    for (const ifd::Error &p : file.problems)
        s += (s.empty() ? "" : "; ") + std::to_string(p.offset) + " " + p.what;
    return s;
}

TEST(IfdReader, DecodesEveryTypeInlineAndOutOfLine)
{
    for (const Layout l : layouts) {
        SCOPED_TRACE(testing::Message()
                     << "big_endian " << l.big_endian << " bigtiff " << l.bigtiff);
        const unsigned slot = l.bigtiff ? 8 : 4;
        std::vector<Field> fields;
        for (const TypeCase &t : type_cases) {
            // Exactly at the inline limit (count 0 for types wider than it), then one over.
            for (const uint64_t count : {uint64_t{slot / t.size}, uint64_t{slot / t.size + 1}}) {
                const bool rational = t.type == ifd::RATIONAL || t.type == ifd::SRATIONAL;
                Field field{static_cast<uint16_t>(65000 + fields.size()),
                            t.type,
                            count,
                            rational ? 4 : t.size,
                            {}};
                for (uint64_t k = 0; k < count * t.size / field.width; k++)
                    field.elements.push_back(Pattern(fields.size(), k, field.width));
                fields.push_back(field);
            }
        }
        const std::vector<uint8_t> bytes = Build(l, {fields});

        const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
        const ifd::Header &header = file.header;
        ASSERT_EQ(Problems(file), "");
        EXPECT_EQ(header.big_endian, l.big_endian);
        EXPECT_EQ(header.bigtiff, l.bigtiff);
        EXPECT_EQ(header.first_ifd, l.bigtiff ? 16U : 8U);
        const std::vector<ifd::Directory> &chain = file.chain;
        ASSERT_EQ(chain.size(), 1U);
        EXPECT_EQ(chain[0].next, 0U);
        ASSERT_EQ(chain[0].entries.size(), fields.size());
        for (size_t i = 0; i < fields.size(); i++) {
            const ifd::Entry &e = chain[0].entries[i];
            const Field &f = fields[i];
            SCOPED_TRACE(testing::Message() << "tag " << f.tag << " type " << f.type);
            EXPECT_EQ(e.tag, f.tag);
            EXPECT_EQ(e.type, f.type);
            EXPECT_EQ(e.count, f.count);
            EXPECT_EQ(e.entry_at, header.first_ifd + (l.bigtiff ? 8 + 20 * i : 2 + 12 * i));
            EXPECT_EQ(e.is_inline, f.elements.size() * f.width <= slot);
            if (e.is_inline) {
                EXPECT_EQ(e.value_at, e.entry_at + (l.bigtiff ? 12 : 8));
            }
            EXPECT_EQ(e.values, f.elements);
        }
    }
}

// The lookups that read one value alone agree with the whole reading, in
// every layout, and refuse what they cannot read.
TEST(IfdReader, LookupsReadOneValueAlone)
{
    for (const Layout l : layouts) {
        SCOPED_TRACE(std::to_string(l.big_endian) + std::to_string(l.bigtiff));
        const std::vector<uint8_t> f =
            Build(l, {{{273, ifd::LONG, 3, 4, {0x01020304, 0xA0B0C0D0, 7}},
                       {279, ifd::SHORT, 1, 2, {0x0102}},
                       {300, ifd::ASCII, 2, 1, {'a', 0}}},
                      {{273, ifd::LONG, 1, 4, {9}}}});
        const ifd::File whole = ifd::ReadFile(f.data(), f.size());
        ASSERT_EQ(whole.chain.size(), 2U);
        std::vector<uint64_t> chain;
        EXPECT_FALSE(ifd::ChainOffsets(f.data(), f.size(), &chain));
        EXPECT_EQ(chain, (std::vector<uint64_t>{whole.chain[0].offset, whole.chain[1].offset}));
        const uint64_t at = chain[0];
        const struct {
            uint16_t tag;
            uint64_t index;
            uint64_t value; // 0 where the lookup must refuse
        } cases[] = {{273, 0, 0x01020304}, {273, 1, 0xA0B0C0D0}, {273, 2, 7}, {279, 0, 0x0102},
                     {273, 3, 0},          {300, 0, 0},          {301, 0, 0}};
        for (const auto &c : cases) {
            uint64_t got = 0;
            const ifd::Error err = ifd::ValueAt(f.data(), f.size(), at, c.tag, c.index, &got);
            EXPECT_EQ(!err, c.value != 0) << c.tag << "[" << c.index << "]: " << err.what;
            EXPECT_EQ(got, c.value) << c.tag << "[" << c.index << "]";
        }
        uint64_t got = 0;
        EXPECT_TRUE(ifd::ValueAt(f.data(), f.size(), f.size() - 1, 273, 0, &got));
        EXPECT_TRUE(ifd::ChainOffsets(f.data(), 3, &chain));
        // The last IFD's link cut off by the end of the file.
        const size_t link_end =
            whole.chain[1].offset + (l.bigtiff ? 8 + 20 : 2 + 12) + (l.bigtiff ? 8 : 4);
        EXPECT_TRUE(ifd::ChainOffsets(f.data(), link_end - 1, &chain));
        EXPECT_FALSE(ifd::ChainOffsets(f.data(), link_end, &chain));
    }
    // Signed values are no offsets or counts; nor is a link of type SHORT.
    const std::vector<uint8_t> f = Build(
        Layout{false, false}, {{{273, ifd::SLONG, 1, 4, {5}}, {34665, ifd::SHORT, 1, 2, {8}}}});
    uint64_t got = 0;
    const ifd::Error err = ifd::ValueAt(f.data(), f.size(), 8, 273, 0, &got);
    EXPECT_EQ(err.what, "tag 273: type 9, not unsigned integers");
    const ifd::File file = ifd::ReadFile(f.data(), f.size());
    EXPECT_TRUE(file.linked.empty());
    EXPECT_FALSE(ifd::PointsToIfds(file.chain.at(0).entries.at(1)));
    // As many IFDs as the file could hold, each of no entries and chained
    // one after the other, are no loop.
    std::vector<uint8_t> tiny = {'I', 'I', 42, 0, 8, 0, 0, 0};
    for (uint32_t at = 8; at < 32; at += 6) {
        const uint32_t next = at + 6 < 32 ? at + 6 : 0;
        tiny.insert(tiny.end(), {0, 0, static_cast<uint8_t>(next), 0, 0, 0});
    }
    std::vector<uint64_t> chain;
    EXPECT_FALSE(ifd::ChainOffsets(tiny.data(), tiny.size(), &chain)) << tiny.size();
    EXPECT_EQ(chain.size(), 4U);
}

TEST(IfdReader, ReadsLiteralFiles)
{
    // Written out by hand, so the builder above cannot share a byte-order slip with the reader.
    const char classic_be[] = "MM\0\x2a\0\0\0\x08"                   // IFD at 8
                              "\0\x01"                               // one entry
                              "\x01\0\0\x08\0\0\0\x01\xff\xfe\0\0"   // 256 SSHORT 1 0xfffe
                              "\0\0\0\0";                            // last IFD
    const char bigtiff_le[] = "II\x2b\0\x08\0\0\0\x10\0\0\0\0\0\0\0" // IFD at 16
                              "\x01\0\0\0\0\0\0\0"                   // one entry
                              "\x10\x01\x04\0\x01\0\0\0\0\0\0\0"     // 272 LONG 1
                              "\x78\x56\x34\x12\0\0\0\0"             // 0x12345678
                              "\0\0\0\0\0\0\0\0";                    // last IFD
    struct {
        const char *file;
        size_t size;
        uint16_t tag;
        uint16_t type;
        uint64_t value;
    } const cases[] = {{classic_be, sizeof(classic_be) - 1, 256, ifd::SSHORT, 0xfffe},
                       {bigtiff_le, sizeof(bigtiff_le) - 1, 272, ifd::LONG, 0x12345678}};
    for (const auto &c : cases) {
        const std::vector<uint8_t> bytes(c.file, c.file + c.size);
        const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
        const std::vector<ifd::Directory> &chain = file.chain;
        ASSERT_TRUE(file.problems.empty());
        ASSERT_EQ(chain.size(), 1U);
        ASSERT_EQ(chain[0].entries.size(), 1U);
        EXPECT_EQ(chain[0].entries[0].tag, c.tag);
        EXPECT_EQ(chain[0].entries[0].type, c.type);
        EXPECT_EQ(chain[0].entries[0].values, std::vector<uint64_t>{c.value});
    }
    EXPECT_EQ(ifd::Signed(0xfffe, 2), -2);
    EXPECT_EQ(ifd::Signed(0x80, 1), -128);
    EXPECT_EQ(ifd::Signed(0x7fffffff, 4), 2147483647);
    EXPECT_EQ(ifd::Signed(0x80000000, 4), INT32_MIN);
    EXPECT_EQ(ifd::Signed(0x8000000000000000, 8), INT64_MIN);
    EXPECT_EQ(ifd::FloatFromBits(0xc0400000), -3.0F);
    EXPECT_EQ(ifd::DoubleFromBits(0x4005bf0a8b145769), 2.718281828459045);
}

struct Patch {
    size_t at;
    uint64_t value;
    unsigned width; // 0: no patch
};

// Every allocation of this program is counted, so that a test can see the
// most memory a call holds at once.
size_t allocated = 0;
size_t peak = 0;

// The most memory `read` held at once beyond what was held before.
template <typename F>
size_t PeakOf(F read)
{
    const size_t before = allocated;
    peak = allocated;
    read();
    return peak - before;
}

struct BadCase {
    Layout layout;
    std::vector<std::vector<Field>> ifds; // the chain as built, before the patches
    std::vector<Patch> patch;             // written in the file's byte order
    size_t size;                          // the file cut to this size; 0 keeps it whole
    const char *problems;
    const char *rest;
};

// The base IFD: tag 256 SHORT 100 inline (value at 18 classic, 36 BigTIFF),
// tag 273 LONG 1,0,0 out of line. Classic: IFD at 8, entries at 10 and 22,
// next at 34, 50 bytes, a second IFD at 50 (entries at 52 and 64, next at
// 76), a third at 92. BigTIFF: IFD at 16, entries at 24 and 44, next at 64,
// 84 bytes, a second IFD at 84 (entries at 92 and 112, next at 132).
constexpr Layout le{false, false}, be{true, false}, le8{false, true}, be8{true, true};
std::vector<BadCase> BadCases()
{
    const std::vector<Field> base = {{256, ifd::SHORT, 1, 2, {100}},
                                     {273, ifd::LONG, 3, 4, {1, 0, 0}}};
    const std::vector<std::vector<Field>> one = {base};
    const std::vector<std::vector<Field>> two = {base, base};
    // The base with its first entry made a link to `to`.
    const auto LinkTo = [&](uint16_t tag, uint64_t to) {
        return std::vector<Field>{{tag, ifd::LONG, 1, 4, {to}}, base[1]};
    };
    // clang-format off
    return {
    // The header.
    {le, one, {}, 7, "0 file of 7 bytes is too short for a header", ""},
    {be8, one, {}, 15, "0 file of 15 bytes is too short for a BigTIFF header", ""},
    {be, one, {{0, 0x494d, 2}}, 0, "0 unknown byte-order mark 0x494d", ""},
    {le, one, {{2, 44, 2}}, 0, "2 version 44, neither 42 nor 43", ""},
    {be, one, {{2, 0x2a00, 2}}, 0, "2 version 10752, neither 42 nor 43", ""},
    {le8, one, {{4, 4, 2}}, 0, "4 BigTIFF offset size 4, not 8", ""},
    {be8, one, {{6, 1, 2}}, 0, "6 BigTIFF reserved word 1, not 0", ""},
    // IFD offsets outside the file or on the header.
    {le, one, {{4, 50, 4}}, 0, "50 IFD offset 50 is outside the file of 50 bytes", ""},
    {be8, one, {{8, 83, 8}}, 0, "83 IFD offset 83 is outside the file of 84 bytes", ""},
    {le, one, {{4, 4, 4}}, 0, "4 IFD offset 4 overlaps the header", ""},
    {le, one, {{34, 1000, 4}}, 0, "1000 IFD offset 1000 is outside the file of 50 bytes",
     "8[256,273]"},
    // Entry counts: none, more than the whole file could hold (spaces read as
    // a count), or cut off by the end of the file.
    {le, two, {{50, 0, 2}}, 0, "50 the IFD at 50 has no entries", "8[256,273]"},
    {le, one, {{8, 0x2020, 2}}, 0, "8 8224 entries are more than the file of 50 bytes could hold", ""},
    {le, one, {{8, 5, 2}}, 0, "8 5 entries are more than the file of 50 bytes could hold", ""},
    {le, one, {{8, 4, 2}}, 0, "8 only 3 of 4 entries are inside the file of 50 bytes; "
                              "34 tag 0: unknown type code 0", "8[256,273]"},
    {le8, one, {{16, UINT64_MAX, 8}}, 0,
     "16 18446744073709551615 entries are more than the file of 84 bytes could hold", ""},
    {le, one, {}, 28, "8 only 1 of 2 entries are inside the file of 28 bytes", "8[256]"},
    {be8, one, {}, 60, "16 only 1 of 2 entries are inside the file of 60 bytes", "16[256]"},
    // The entries fit, the next IFD's offset does not.
    {be, one, {}, 37, "8 the next IFD offset at 34 runs past the end of the file; "
                      "22 tag 273: values at 38 run past the end of the file", "8[256]"},
    {be8, one, {}, 71, "16 the next IFD offset at 64 runs past the end of the file; "
                       "44 tag 273: values at 72 run past the end of the file", "16[256]"},
    // Values: unknown type, past the end (an ASCII 7 bytes past it), on the
    // header, too many.
    {le, one, {{12, 99, 2}}, 0, "10 tag 256: unknown type code 99", "8[273]"},
    {be8, one, {{46, 0, 2}}, 0, "44 tag 273: unknown type code 0", "16[256]"},
    {le, one, {{24, ifd::ASCII, 2}, {26, 19, 4}}, 0,
     "22 tag 273: values at 38 run past the end of the file", "8[256]"},
    {le, one, {{30, 39, 4}}, 0, "22 tag 273: values at 39 run past the end of the file", "8[256]"},
    {be8, one, {{56, 73, 8}}, 0, "44 tag 273: values at 73 run past the end of the file", "16[256]"},
    {le8, one, {{56, UINT64_MAX - 3, 8}}, 0,
     "44 tag 273: values at 18446744073709551612 run past the end of the file", "16[256]"},
    {le, one, {{30, 0, 4}}, 0, "22 tag 273: values at 0 overlap the header", "8[256]"},
    {be8, one, {{28, 42, 8}, {36, 0, 8}}, 0, "24 tag 256: values at 0 overlap the header", "16[273]"},
    // 2^62 DOUBLEs are 2^65 bytes, 0 in 64 bits.
    {be8, one, {{46, ifd::DOUBLE, 2}, {48, 1ULL << 62, 8}}, 0,
     "44 tag 273: count 4611686018427387904 is larger than the file", "16[256]"},
    {le, one, {{24, ifd::DOUBLE, 2}, {26, UINT32_MAX, 4}}, 0,
     "22 tag 273: count 4294967295 is larger than the file", "8[256]"},
    // Tag 256 made to cover most of the file: the values left exhaust the budget.
    {be8, two, {{28, 68, 8}, {36, 16, 8}}, 0,
     "112 tag 273: values of 12 bytes, more than the file has left", "16[256,273] 84[256]"},
    {le, two, {{14, 40, 4}, {18, 8, 4}}, 0,
     "52 tag 256: values of 2 bytes, more than the file has left; "
     "64 tag 273: values of 12 bytes, more than the file has left", "8[256,273] 50[]"},
    // Chains that loop or overlap.
    {le, one, {{34, 8, 4}}, 0, "8 the IFD chain loops back to offset 8", "8[256,273]"},
    {be8, two, {{132, 16, 8}}, 0, "16 the IFD chain loops back to offset 16",
     "16[256,273] 84[256,273]"},
    // An IFD that starts inside the first, and one that runs into the next.
    {le, one, {{34, 14, 4}}, 0, "14 the IFD at 14 overlaps another IFD", "8[256,273]"},
    // The next IFD starts inside the 4-byte link of the one before.
    {le, one, {{34, 36, 4}}, 0, "36 the IFD at 36 overlaps another IFD", "8[256,273]"},
    {be8, one, {{64, 28, 8}}, 0, "28 the IFD at 28 overlaps another IFD", "16[256,273]"},
    {le, two, {{4, 50, 4}, {76, 38, 4}}, 0, "38 the IFD at 38 overlaps another IFD", "50[256,273]"},
    // Links: to any depth, each IFD read once; an Exif pointer aimed at IFD0
    // itself or into it; a link of no values; many links to nothing.
    {le, {LinkTo(330, 50), LinkTo(34665, 92), LinkTo(330, 8)}, {{34, 0, 4}}, 0,
     "8 tag 330: the IFD at 8 is read already", "8[330,273] 50^8[34665,273] 92^50[330,273]"},
    {le, {LinkTo(34665, 8)}, {}, 0, "8 tag 34665: the IFD at 8 is read already", "8[34665,273]"},
    {le, {LinkTo(34665, 14)}, {}, 0, "14 tag 34665: the IFD at 14 overlaps another IFD",
     "8[34665,273]"},
    {le, one, {{22, 330, 2}, {26, 0, 4}}, 0, "", "8[256,330]"},
    {be8, one, {{44, 330, 2}}, 0, "1 tag 330: IFD offset 1 overlaps the header; "
                                  "44 tag 330: 2 more of its 3 IFD offsets give no IFD", "16[256,330]"},
    };
    // clang-format on
}

TEST(IfdReader, ReportsEveryProblemAndKeepsTheSoundRest)
{
    for (const BadCase &c : BadCases()) {
        SCOPED_TRACE(c.problems);
        std::vector<uint8_t> f = Build(c.layout, c.ifds);
        for (const Patch &p : c.patch)
            Set(&f, p.at, p.value, p.width, c.layout.big_endian);
        const std::vector<uint8_t> bytes(f.data(), f.data() + (c.size != 0 ? c.size : f.size()));
        ifd::File file;
        const size_t most = PeakOf([&] { file = ifd::ReadFile(bytes.data(), bytes.size()); });
        EXPECT_EQ(Problems(file), c.problems);
        EXPECT_EQ(Rest(file), c.rest);
        EXPECT_LE(most, 32 * bytes.size() + 4096);
    }
}

// Classic little-endian files of many IFDs, entries or links, written
// directly: the hostile shapes that take the most memory per byte.
void PutEntry(std::vector<uint8_t> *f, size_t at, uint16_t tag, uint16_t type, uint32_t count,
              uint32_t value)
{
    Set(f, at, tag, 2, false);
    Set(f, at + 2, type, 2, false);
    Set(f, at + 4, count, 4, false);
    Set(f, at + 8, value, 4, false);
}

std::vector<uint8_t> Header(size_t size)
{
    std::vector<uint8_t> f(size);
    Set(&f, 0, 0x4949, 2, false);
    Set(&f, 2, 42, 2, false);
    Set(&f, 4, 8, 4, false);
    return f;
}

// IFD0 lists one SubIFD `n` times; that SubIFD holds 50,000 bytes of
// UNDEFINED. Read once per link, that would be n times 400 KB.
std::vector<uint8_t> RepeatedSubIfd(size_t n)
{
    const size_t sub = 26 + 4 * n;
    std::vector<uint8_t> f = Header(sub + 18 + 50000);
    Set(&f, 8, 1, 2, false);
    PutEntry(&f, 10, 330, ifd::LONG, static_cast<uint32_t>(n), 26);
    for (size_t k = 0; k < n; k++)
        Set(&f, 26 + 4 * k, sub, 4, false);
    Set(&f, sub, 1, 2, false);
    PutEntry(&f, sub + 2, 700, ifd::UNDEFINED, 50000, static_cast<uint32_t>(sub + 18));
    return f;
}

// `n` IFDs of one entry each, an unknown type: a problem per 18 bytes.
std::vector<uint8_t> ChainOfUnknownTypes(size_t n)
{
    std::vector<uint8_t> f = Header(8 + 18 * n);
    for (size_t k = 0; k < n; k++) {
        const size_t at = 8 + 18 * k;
        Set(&f, at, 1, 2, false);
        PutEntry(&f, at + 2, 1, 99, 1, 0);
        Set(&f, at + 14, k + 1 < n ? at + 18 : 0, 4, false);
    }
    return f;
}

// IFD0 links `n` SubIFDs, each of which links two IFDs outside the file: two
// problems per 30 bytes.
std::vector<uint8_t> ManyLinks(size_t n)
{
    const size_t subs = 26 + 4 * n;
    std::vector<uint8_t> f = Header(subs + 26 * n);
    Set(&f, 8, 1, 2, false);
    PutEntry(&f, 10, 330, ifd::LONG, static_cast<uint32_t>(n), 26);
    for (size_t k = 0; k < n; k++) {
        const size_t at = subs + 26 * k;
        Set(&f, 26 + 4 * k, at, 4, false);
        Set(&f, at, 1, 2, false);
        PutEntry(&f, at + 2, 330, ifd::LONG, 2, static_cast<uint32_t>(at + 18));
        Set(&f, at + 18, f.size() + k, 4, false);
        Set(&f, at + 22, f.size() + k, 4, false);
    }
    return f;
}

// One IFD of `n` entries whose values lie past the end.
std::vector<uint8_t> ValuesPastTheEnd(size_t n)
{
    std::vector<uint8_t> f = Header(14 + 12 * n);
    Set(&f, 8, n, 2, false);
    for (size_t k = 0; k < n; k++)
        PutEntry(&f, 10 + 12 * k, static_cast<uint16_t>(k), ifd::ASCII, 100, 0xffffff00);
    return f;
}

TEST(IfdReader, MemoryStaysWithinTheBoundForHostileFiles)
{
    const struct {
        const char *name;
        std::vector<uint8_t> bytes;
        size_t ifds;
        size_t problems;
    } cases[] = {
        {"repeated SubIFD", RepeatedSubIfd(2000), 2, 2},
        {"chain of unknown types", ChainOfUnknownTypes(50000), 50000, 50000},
        {"many links", ManyLinks(20000), 20001, 40000},
        {"values past the end", ValuesPastTheEnd(5000), 1, 5000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ifd::File file;
        const size_t most = PeakOf([&] { file = ifd::ReadFile(c.bytes.data(), c.bytes.size()); });
        EXPECT_EQ(file.chain.size() + file.linked.size(), c.ifds);
        EXPECT_EQ(file.problems.size(), c.problems);
        EXPECT_LE(most, 32 * c.bytes.size() + 4096);
        printf("%s: %zu bytes, at most %zu bytes held, %.1f per byte\n", c.name, c.bytes.size(),
               most, static_cast<double>(most) / static_cast<double>(c.bytes.size()));
    }
}

// The repeated SubIFD at 2,000 links, once more under an address-space limit
// of 16 MB more than the process has: a reading per link would need 800 MB.
TEST(IfdReader, RepeatedSubIfdUnderAnAddressSpaceLimit)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit leaves";
#else
    const std::vector<uint8_t> bytes = RepeatedSubIfd(2000);
    const pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
        char line[128] = "";
        FILE *statm = fopen("/proc/self/statm", "r");
        if (!statm || !fgets(line, sizeof(line), statm))
            _exit(2);
        fclose(statm);
        const long pages = strtol(line, nullptr, 10);
        const rlim_t limit = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE)) + (16 << 20);
        const rlimit rl{limit, limit};
        if (setrlimit(RLIMIT_AS, &rl) != 0)
            _exit(2);
        const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
        _exit(file.linked.size() == 1 && file.linked[0].entries.size() == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
#endif
}

} // namespace

// The replacement pair below uses malloc and free on purpose; GCC sees the
// library's inlined new and this free and takes them for a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void *operator new(size_t n)
{
    void *p = malloc(n != 0 ? n : 1);
    if (!p)
        throw std::bad_alloc();
    allocated += malloc_usable_size(p);
    peak = std::max(peak, allocated);
    return p;
}

void operator delete(void *p) noexcept
{
    if (p)
        allocated -= malloc_usable_size(p);
    free(p);
}

void operator delete(void *p, size_t /*size*/) noexcept
{
    operator delete(p);
}
