// The read matrix's rules, as tables: a handful of field rows, the classes
// each derives in each format and the outcome each class must have, from the
// standards (docs/probes.md lists the rules).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "matrix_detail.h"
#include "matrix_rules.h"
#include "read_cases.h"

namespace {

using matrix::Outcome;

const matrix::Row *RowOf(const std::vector<matrix::Row> &rows, uint16_t tag)
{
    for (const matrix::Row &r : rows) {
        if (r.tag == tag)
            return &r;
    }
    return nullptr;
}

const matrix::Variant *Find(const std::vector<matrix::Variant> &vs, const std::string &slug)
{
    for (const matrix::Variant &v : vs) {
        if (v.slug == slug)
            return &v;
    }
    return nullptr;
}

struct Expect {
    uint16_t tag;
    bool bigtiff;
    const char *slug;
    bool derived; // false: the row must not derive the class
    Outcome outcome;
    const char *rule;
    uint16_t type;          // of the field as written, 0 for any
    uint64_t count_written; // values (elements) written, ~0 for any
};

constexpr uint64_t any = ~uint64_t{0};

TEST(ReadMatrix, RowsDeriveTheirClasses)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    const Expect table[] = {
        // Orientation: SHORT, one value, range 1 to 8. TIFF 6.0's reader
        // rule makes BYTE and LONG exact; a signed type is tolerated.
        {274, false, "std", true, Outcome::Exact, "standard", 3, 1},
        {274, false, "byte", true, Outcome::Exact, "reader's integer types", 1, 1},
        {274, true, "long", true, Outcome::Exact, "reader's integer types", 4, 1},
        {274, false, "sshort", true, Outcome::Tolerated, "wrong type", 8, 1},
        {274, false, "rational", true, Outcome::Tolerated, "wrong type", 5, 2},
        {274, false, "ascii", false, Outcome::Exact, "", 0, any},
        {274, false, "count0", true, Outcome::Refused, "count 0", 3, 0},
        {274, false, "fewer", false, Outcome::Exact, "", 0, any},
        {274, false, "more", true, Outcome::Tolerated, "count long", 3, 2},
        {274, false, "huge", true, Outcome::Refused, "count past the file", 3, 1},
        {274, false, "odd", false, Outcome::Exact, "", 0, any}, // inline: no placement
        {274, false, "min", true, Outcome::Tolerated, "out of range", 3, 1},
        {274, false, "max", true, Outcome::Tolerated, "out of range", 3, 1},
        {274, false, "past_range", true, Outcome::Tolerated, "out of range", 3, 1},
        {274, false, "long65536", true, Outcome::Refused, "wider than the field", 4, 1},
        {274, false, "negative", true, Outcome::Refused, "negative in an unsigned field", 8, 1},
        // ImageDescription: free ASCII, out of line in both formats.
        {270, false, "std", true, Outcome::Exact, "standard", 2, any},
        {270, false, "byte", true, Outcome::Tolerated, "wrong type", 1, any},
        {270, false, "short", false, Outcome::Exact, "", 0, any},
        {270, false, "fewer", true, Outcome::Tolerated, "text without its NUL", 2, any},
        {270, false, "more", true, Outcome::Tolerated, "text after its NUL", 2, any},
        {270, false, "count0", true, Outcome::Tolerated, "count 0", 2, 0},
        {270, false, "edge", true, Outcome::Exact, "standard", 2, 4},
        {270, true, "edge", true, Outcome::Exact, "standard", 2, 8},
        {270, false, "over", true, Outcome::Exact, "standard", 2, 5},
        {270, true, "over", true, Outcome::Exact, "standard", 2, 9},
        {270, false, "odd", true, Outcome::Tolerated, "odd offset", 2, any},
        {270, true, "past", true, Outcome::Refused, "past the end", 2, any},
        {270, false, "straddle", true, Outcome::Refused, "past the end", 2, any},
        {270, true, "overifd", true, Outcome::Tolerated, "over the IFD", 2, any},
        {270, false, "min", false, Outcome::Exact, "", 0, any},
        // XResolution: one RATIONAL, out of line in classic only; a
        // numerator that a float does not hold.
        {282, false, "odd", true, Outcome::Tolerated, "odd offset", 5, 2},
        {282, true, "odd", false, Outcome::Exact, "", 0, any},
        {282, false, "float", true, Outcome::Tolerated, "wrong type", 11, 1},
        {282, false, "num25", true, Outcome::Exact, "standard", 5, 2},
        {282, false, "byte", false, Outcome::Exact, "", 0, any}, // 300.5 is no integer
        // BitsPerSample: a field of the image, varied by type alone.
        {258, false, "byte", true, Outcome::Exact, "reader's integer types", 1, 1},
        {258, true, "long8", true, Outcome::Tolerated, "wrong type", 16, 1},
        {258, false, "count0", false, Outcome::Exact, "", 0, any},
        {258, false, "max", false, Outcome::Exact, "", 0, any},
        // LinearizationTable: a free SHORT array, 65 values: one fewer and
        // one more are legal arrays.
        {50712, false, "fewer", true, Outcome::Exact, "standard", 3, 64},
        {50712, false, "more", true, Outcome::Exact, "standard", 3, 66},
        {50712, false, "edge", true, Outcome::Exact, "standard", 3, 2},
        {50712, true, "over", true, Outcome::Exact, "standard", 3, 5},
        // ResolutionUnit: 1 to 3, so 0 and 65535 are past its range.
        {296, false, "past_range", true, Outcome::Tolerated, "out of range", 3, 1},
        {296, true, "min", true, Outcome::Tolerated, "out of range", 3, 1},
        // PageNumber: two SHORTs, fixed: one fewer is refused.
        {297, false, "fewer", true, Outcome::Refused, "count short", 3, 1},
        {297, false, "more", true, Outcome::Tolerated, "count long", 3, 3},
        // Private tags: a LONG one takes TIFF 6.0's reader rule too; a
        // LONG8 one of three values is no legal encoding in classic.
        {65104, false, "byte", true, Outcome::Exact, "reader's integer types", 1, 3},
        {65104, false, "fewer", true, Outcome::Exact, "standard", 4, 2},
        {65104, true, "past_type", true, Outcome::Refused, "wider than the field", 16, 3},
        {65103, false, "past_type", true, Outcome::Refused, "wider than the field", 4, 3},
        {65108, true, "below_type", true, Outcome::Refused, "wider than the field", 17, 4},
        {65316, false, "std", true, Outcome::Tolerated, "wrong type", 16, 3},
        {65316, true, "std", true, Outcome::Exact, "standard", 16, 3},
        {65316, true, "fewer", true, Outcome::Refused, "count short", 16, 2},
        // EXIF's types are its own: ExposureProgram as LONG is tolerated.
        {34850, false, "long", true, Outcome::Tolerated, "wrong type", 4, 1},
        // DNG's BlackLevel as the table gives it: RATIONALs.
        {50714, false, "num25", true, Outcome::Exact, "standard", 5, any},
        // A private DOUBLE's values hold no integer type: its whole values
        // in every other type of the format, tolerated; never its own.
        {65112, false, "long_whole", true, Outcome::Tolerated, "wrong type", 4, 4},
        {65112, false, "rational_whole", true, Outcome::Tolerated, "wrong type", 5, 8},
        {65112, false, "long8_whole", false, Outcome::Exact, "", 0, any},
        {65112, true, "slong8_whole", true, Outcome::Tolerated, "wrong type", 17, 4},
        {65112, true, "double_whole", false, Outcome::Exact, "", 0, any},
        // A private SBYTE: whole values as BYTE; 128 in each wider integer
        // type and -129 in each wider signed one, refused, the types
        // past_type and below_type use not twice.
        {65106, false, "byte_whole", true, Outcome::Tolerated, "wrong type", 1, 4},
        {65106, false, "past_short", true, Outcome::Refused, "wider than the field", 3, 4},
        {65106, false, "below_sshort", true, Outcome::Refused, "wider than the field", 8, 4},
        {65106, false, "below_slong", false, Outcome::Exact, "", 0, any},
        {65106, true, "below_slong", true, Outcome::Refused, "wider than the field", 9, 4},
        {65106, false, "past_long8", false, Outcome::Exact, "", 0, any},
        // A private SHORT's values fit BYTE: no whole class; 65536 as
        // LONG is past_type's in classic, its own class in BigTIFF; -1 in
        // SBYTE.
        {65103, false, "byte_whole", false, Outcome::Exact, "", 0, any},
        {65103, false, "past_long", false, Outcome::Exact, "", 0, any},
        {65103, true, "past_long", true, Outcome::Refused, "wider than the field", 4, 3},
        {65103, false, "below_sbyte", true, Outcome::Refused, "wider than the field", 6, 3},
        {65104, false, "past_short", false, Outcome::Exact, "", 0, any},
        // A private FLOAT: a DOUBLE no float holds.
        {65111, false, "past_double", true, Outcome::Refused, "wider than the field", 12, 4},
        {65411, true, "past_double", true, Outcome::Refused, "wider than the field", 12, 1},
        {65112, false, "past_double", false, Outcome::Exact, "", 0, any},
        // An SRATIONAL with both parts negated is the same value; a
        // RATIONAL has no sign to negate.
        {50730, false, "negated", true, Outcome::Exact, "standard", 10, 2},
        {65110, true, "negated", true, Outcome::Exact, "standard", 10, any},
        {282, false, "negated", false, Outcome::Exact, "", 0, any},
    };
    for (const Expect &e : table) {
        SCOPED_TRACE(std::to_string(e.tag) + " " + e.slug + (e.bigtiff ? " BigTIFF" : " classic"));
        const matrix::Row *row = RowOf(rows, e.tag);
        ASSERT_NE(row, nullptr);
        const std::vector<matrix::Variant> vs = matrix::Derive(*row, e.bigtiff);
        const matrix::Variant *v = Find(vs, e.slug);
        if (!e.derived) {
            EXPECT_EQ(v, nullptr);
            continue;
        }
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->outcome, e.outcome);
        EXPECT_STREQ(v->rule, e.rule);
        if (e.type) {
            EXPECT_EQ(v->field.type, e.type);
        }
        if (e.count_written != any) {
            EXPECT_EQ(v->field.values.size(), e.count_written);
        }
    }
}

// The negated SRATIONAL holds each part of the standard's with its sign
// turned, in 32 bits.
TEST(ReadMatrix, NegatedFractionsTurnEveryPart)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    const matrix::Row *row = RowOf(rows, 50730);
    ASSERT_NE(row, nullptr);
    const std::vector<matrix::Variant> vs = matrix::Derive(*row, false);
    const matrix::Variant *v = Find(vs, "negated");
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->field.values.size(), row->standard.values.size());
    for (size_t i = 0; i < v->field.values.size(); i++) {
        EXPECT_EQ(ifd::Signed(v->field.values[i], 4), -ifd::Signed(row->standard.values[i], 4));
        EXPECT_LE(v->field.values[i], 0xFFFFFFFFU);
    }
}

// A private field's values past or below its registered type, and a
// FLOAT's DOUBLE, are values that type cannot hold: else a reader that
// converts them would be refused for reading the file right.
TEST(ReadMatrix, ValuesBeyondTheRegisteredTypeDoNotFitIt)
{
    for (const matrix::Row &row : matrix::Rows()) {
        if (row.home != matrix::Home::Private)
            continue;
        for (const bool bigtiff : {false, true}) {
            SCOPED_TRACE(std::to_string(row.tag) + (bigtiff ? " BigTIFF" : " classic"));
            for (const matrix::Variant &v : matrix::Derive(row, bigtiff)) {
                if (v.slug.rfind("past_", 0) != 0 && v.slug.rfind("below_", 0) != 0)
                    continue;
                SCOPED_TRACE(v.slug);
                const uint16_t t = v.field.type;
                ASSERT_FALSE(v.field.values.empty());
                for (const uint64_t bits : v.field.values) {
                    const bool is_signed =
                        t == ifd::SBYTE || t == ifd::SSHORT || t == ifd::SLONG || t == ifd::SLONG8;
                    int64_t value = is_signed ? ifd::Signed(bits, ifd::TypeSize(t))
                                              : static_cast<int64_t>(bits);
                    if (t == ifd::DOUBLE) {
                        double d = 0;
                        std::memcpy(&d, &bits, sizeof d);
                        if (row.standard.type == ifd::FLOAT) {
                            EXPECT_GT(d, 3.4028234663852886e38); // the largest FLOAT
                            continue;
                        }
                        ASSERT_LT(d < 0 ? -d : d, 9e18);
                        value = static_cast<int64_t>(d);
                    }
                    EXPECT_FALSE(matrix::Fits(row.standard.type, value)) << value;
                }
            }
        }
    }
}

// Each row's first class is its standard encoding, exact; no slug repeats
// within a row (the file names and the lines would collide); a huge count
// is 2^31 in classic and 2^40 in BigTIFF.
TEST(ReadMatrix, EveryRowStartsFromItsStandardEncoding)
{
    for (const matrix::Row &row : matrix::Rows()) {
        for (const bool bigtiff : {false, true}) {
            SCOPED_TRACE(std::to_string(row.tag) + (bigtiff ? " BigTIFF" : " classic"));
            const std::vector<matrix::Variant> vs = matrix::Derive(row, bigtiff);
            ASSERT_FALSE(vs.empty());
            EXPECT_EQ(vs[0].slug, "std");
            // BigTIFF's types are no legal encoding in a classic file.
            EXPECT_EQ(vs[0].outcome,
                      !bigtiff && row.type >= 16 ? Outcome::Tolerated : Outcome::Exact);
            for (size_t i = 0; i < vs.size(); i++) {
                for (size_t j = 0; j < i; j++)
                    EXPECT_NE(vs[i].slug, vs[j].slug);
                if (vs[i].slug == "huge") {
                    EXPECT_EQ(vs[i].field.count, bigtiff ? uint64_t{1} << 40 : uint64_t{1} << 31);
                }
            }
        }
    }
}

// The rows come from field_table's main page: fields of other pages, IFD
// links and the strile arrays are not rows.
TEST(ReadMatrix, RowsAreTheMainPagesFields)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    for (const uint16_t tag : {256, 257, 258, 259, 262, 269, 270, 282, 296, 305, 50706})
        EXPECT_NE(RowOf(rows, tag), nullptr) << tag;
    for (const uint16_t tag : {273, 279, 320, 330, 34665, 34853, 347, 40965})
        EXPECT_EQ(RowOf(rows, tag), nullptr) << tag;
}

TEST(ReadMatrix, FitsTheTypesLimits)
{
    struct F {
        uint16_t type;
        int64_t value;
        bool fits;
    };
    const F table[] = {
        {1, 255, true},        {1, 256, false},         {6, -128, true},   {6, 128, false},
        {3, 65535, true},      {3, -1, false},          {8, -32768, true}, {8, 32768, false},
        {4, 0xFFFFFFFF, true}, {4, 0x100000000, false}, {9, -1, true},     {5, 1, false},
    };
    for (const F &f : table)
        EXPECT_EQ(matrix::Fits(f.type, f.value), f.fits) << f.type << " " << f.value;
}

// The structural classes' outcomes, as docs/probes.md gives them with their
// rules: the repairs' classes.
TEST(ReadMatrix, StructuralClassesHaveTheirOutcomes)
{
    struct S {
        const char *slug;
        Outcome outcome;
        const char *rule;
    };
    const S table[] = {
        {"palette", Outcome::Exact, "standard"},
        {"palette_no_map", Outcome::Tolerated, "missing required"},
        {"palette_short_map", Outcome::Refused, "count short"},
        {"palette32", Outcome::Refused, "count short"},
        {"palette_no_bits", Outcome::Tolerated, "missing required"},
        {"ycbcr", Outcome::Exact, "standard"},
        {"ojpeg", Outcome::Tolerated, "old-style JPEG"},
        {"ojpeg_bare", Outcome::Tolerated, "old-style JPEG"},
        {"one_big_strip", Outcome::Exact, "standard"},
        {"bits_differ", Outcome::Tolerated, "per-sample values that differ"},
        {"rgba", Outcome::Exact, "standard"},
        {"extra_all", Outcome::Tolerated, "out-of-range image"},
        {"extra_too_many", Outcome::Tolerated, "out-of-range image"},
        {"sample_range", Outcome::Exact, "standard"},
        {"sample_range_differ", Outcome::Tolerated, "per-sample values that differ"},
        {"s_sample_range", Outcome::Exact, "standard"},
        {"planes_one_strip", Outcome::Tolerated, "out-of-range image"},
        {"no_counts_packbits", Outcome::Tolerated, "zero byte counts"},
        {"no_counts_type99", Outcome::Tolerated, "zero byte counts"},
        {"no_counts_planes", Outcome::Tolerated, "zero byte counts"},
        {"no_tile_counts", Outcome::Tolerated, "zero byte counts"},
        {"strip_count_past_end", Outcome::Tolerated, "byte counts past the file"},
        {"exif_unknown", Outcome::Tolerated, "unknown tag"},
        {"exif_descending", Outcome::Tolerated, "out of order"},
        {"exif_twice", Outcome::Tolerated, "duplicate"},
        {"ifd_count_huge", Outcome::Refused, "past the end"},
        {"ifd_count_past", Outcome::Refused, "past the end"},
        {"ondemand", Outcome::Exact, "standard"},
        {"ondemand_short", Outcome::Exact, "standard"},
        {"xres_two", Outcome::Tolerated, "count long"},
        {"xpos_two", Outcome::Tolerated, "count long"},
    };
    for (const S &e : table) {
        SCOPED_TRACE(e.slug);
        size_t i = 0;
        while (i < matrix::detail::StructuralCount() &&
               std::string(matrix::detail::StructuralAt(i).slug) != e.slug)
            i++;
        ASSERT_LT(i, matrix::detail::StructuralCount());
        EXPECT_EQ(matrix::detail::StructuralAt(i).outcome, e.outcome);
        EXPECT_STREQ(matrix::detail::StructuralAt(i).rule, e.rule);
    }
}

// A structural case's file is read_SLUG_le.tif and so on: no two classes,
// and no class and catalogue case, share a name (the files and the fault
// rules that name them would collide); field cases' stems begin with a
// digit, "exif_" or "gps_" and a digit.
TEST(ReadMatrix, StructuralNamesAreTheirOwn)
{
    const size_t n = matrix::detail::StructuralCount();
    for (size_t i = 0; i < n; i++) {
        const std::string slug = matrix::detail::StructuralAt(i).slug;
        SCOPED_TRACE(slug);
        for (size_t j = 0; j < i; j++)
            EXPECT_NE(slug, matrix::detail::StructuralAt(j).slug);
        for (size_t k = 0; k < read_cases::case_count; k++)
            EXPECT_NE(slug, read_cases::cases[k].name);
        ASSERT_FALSE(slug.empty());
        EXPECT_FALSE(slug[0] >= '0' && slug[0] <= '9');
        for (const char *home : {"exif_", "gps_"}) {
            const size_t h = strlen(home);
            EXPECT_FALSE(slug.compare(0, h, home) == 0 && slug.size() > h && slug[h] >= '0' &&
                         slug[h] <= '9');
        }
    }
}

} // namespace
