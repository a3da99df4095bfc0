// The structure reader against files built here byte by byte: every type in
// both byte orders and both formats, and corrupt files, each of which must
// give its own error and offset.
#include <cstdint>
#include <cstring>
#include <vector>

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
        // Unknown type codes: kept, with no values, whatever the count.
        fields.push_back(Field{65100, 99, 1000, 1, {}});
        fields.push_back(Field{65101, 0, 1, 1, {}});
        const std::vector<uint8_t> file = Build(l, {fields});

        ifd::Reader reader(file.data(), file.size());
        ifd::Header header;
        ASSERT_FALSE(reader.ReadHeader(&header));
        EXPECT_EQ(header.big_endian, l.big_endian);
        EXPECT_EQ(header.bigtiff, l.bigtiff);
        EXPECT_EQ(header.first_ifd, l.bigtiff ? 16U : 8U);
        std::vector<ifd::Directory> chain;
        const ifd::Error err = reader.ReadChain(&chain);
        ASSERT_FALSE(err) << err.what << " at " << err.offset;
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
        const std::vector<uint8_t> file(c.file, c.file + c.size);
        ifd::Reader reader(file.data(), file.size());
        ifd::Header header;
        std::vector<ifd::Directory> chain;
        ASSERT_FALSE(reader.ReadHeader(&header));
        ASSERT_FALSE(reader.ReadChain(&chain));
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

struct BadCase {
    Layout layout;
    int ifds;       // copies of the base IFD in the chain
    Patch patch[2]; // written in the file's byte order
    size_t size;    // the file cut to this size; 0 keeps it whole
    uint64_t offset;
    const char *what;
};

// The base IFD: tag 256 SHORT 100 inline (value at 18 classic, 36 BigTIFF),
// tag 273 LONG 1,0,0 out of line. Classic: IFD at 8, entries at 10 and 22,
// next at 34, 50 bytes, a second IFD at 50 (next at 76). BigTIFF: IFD at 16,
// entries at 24 and 44, next at 64, 84 bytes, a second IFD at 84 (next at 132).
constexpr Layout le{false, false}, be{true, false}, le8{false, true}, be8{true, true};
// clang-format off
constexpr BadCase bad_cases[] = {
    {le, 1, {}, 7, 0, "file of 7 bytes is too short for a header"},
    {be8, 1, {}, 15, 0, "file of 15 bytes is too short for a BigTIFF header"},
    {be, 1, {{0, 0x494d, 2}}, 0, 0, "unknown byte-order mark 0x494d"},
    {le, 1, {{2, 44, 2}}, 0, 2, "version 44, neither 42 nor 43"},
    {be, 1, {{2, 0x2a00, 2}}, 0, 2, "version 10752, neither 42 nor 43"},
    {le8, 1, {{4, 4, 2}}, 0, 4, "BigTIFF offset size 4, not 8"},
    {be8, 1, {{6, 1, 2}}, 0, 6, "BigTIFF reserved word 1, not 0"},
    {le, 1, {{4, 50, 4}}, 0, 50, "IFD offset 50 is outside the file of 50 bytes"},
    {be8, 1, {{8, 83, 8}}, 0, 83, "IFD offset 83 is outside the file of 84 bytes"},
    {le, 1, {{8, 4, 2}}, 0, 8, "4 entries run past the end of the file of 50 bytes"},
    // The entries fit, the next IFD's offset does not.
    {be, 1, {}, 37, 8, "2 entries run past the end of the file of 37 bytes"},
    {be8, 1, {}, 71, 16, "2 entries run past the end of the file of 71 bytes"},
    {le8, 1, {{16, UINT64_MAX, 8}}, 0, 16,
     "18446744073709551615 entries run past the end of the file of 84 bytes"},
    {le, 1, {{30, 39, 4}}, 0, 22, "tag 273: values at 39 run past the end of the file"},
    {be8, 1, {{56, 73, 8}}, 0, 44, "tag 273: values at 73 run past the end of the file"},
    {le8, 1, {{56, UINT64_MAX - 3, 8}}, 0, 44,
     "tag 273: values at 18446744073709551612 run past the end of the file"},
    // 2^62 DOUBLEs are 2^65 bytes, 0 in 64 bits.
    {be8, 1, {{46, ifd::DOUBLE, 2}, {48, 1ULL << 62, 8}}, 0, 44,
     "tag 273: count 4611686018427387904 is larger than the file"},
    {le, 1, {{24, ifd::DOUBLE, 2}, {26, UINT32_MAX, 4}}, 0, 22,
     "tag 273: count 4294967295 is larger than the file"},
    // Tag 256 made to cover the whole file (or most of it) from offset 0.
    {be8, 1, {{28, 42, 8}, {36, 0, 8}}, 0, 44,
     "tag 273: values of 12 bytes, more than the file has left"},
    {le, 2, {{14, 40, 4}, {18, 0, 4}}, 0, 52,
     "tag 256: values of 2 bytes, more than the file has left"},
    {le, 1, {{34, 8, 4}}, 0, 8, "the IFD chain loops back to offset 8"},
    {be8, 2, {{132, 16, 8}}, 0, 16, "the IFD chain loops back to offset 16"},
    // An IFD that starts inside the first, and one that runs into the next.
    {le, 1, {{34, 14, 4}}, 0, 14, "the IFD at 14 overlaps another IFD of the chain"},
    // The next IFD starts inside the 4-byte link of the one before.
    {le, 1, {{34, 36, 4}}, 0, 36, "the IFD at 36 overlaps another IFD of the chain"},
    {be8, 1, {{64, 28, 8}}, 0, 28, "the IFD at 28 overlaps another IFD of the chain"},
    {le, 2, {{4, 50, 4}, {76, 38, 4}}, 0, 38, "the IFD at 38 overlaps another IFD of the chain"},
};
// clang-format on

TEST(IfdReader, RefusesCorruptFiles)
{
    for (const BadCase &c : bad_cases) {
        SCOPED_TRACE(c.what);
        const std::vector<Field> base = {{256, ifd::SHORT, 1, 2, {100}},
                                         {273, ifd::LONG, 3, 4, {1, 0, 0}}};
        std::vector<uint8_t> f = Build(c.layout, std::vector<std::vector<Field>>(c.ifds, base));
        for (const Patch &p : c.patch) {
            if (p.width != 0)
                Set(&f, p.at, p.value, p.width, c.layout.big_endian);
        }
        const std::vector<uint8_t> file(f.data(), f.data() + (c.size != 0 ? c.size : f.size()));
        ifd::Reader reader(file.data(), file.size());
        ifd::Header header;
        std::vector<ifd::Directory> chain;
        ifd::Error err = reader.ReadHeader(&header);
        if (!err)
            err = reader.ReadChain(&chain);
        EXPECT_EQ(err.what, c.what);
        EXPECT_EQ(err.offset, c.offset);
    }
}

} // namespace
