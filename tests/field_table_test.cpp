// The value rule (docs/contributing.md, "A field row") over every row of field_probe's
// table, so that rows added later keep it: each broken rule is a failure
// naming the row.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "field_table.h"
#include "ifd_reader.h"
#include "tags.h"

namespace {

using field::Definition;

// Values the standard leaves no other choice for: kept, with the reason.
const std::map<uint16_t, const char *> forced_values = {
    {334, "NumberOfInks: the CMYK page has four inks, which is also TIFF 6.0's default"},
    {346, "Indexed: 0 or 1, and 0 is the default"},
    {401, "ProfileType: TIFF-FX's only profile besides 0 (unspecified)"},
    {435, "T82Options: bit 0 kept; what the other bits mean was not checked"},
    {32998, "TileDepth: above 1 the tiles are volumes of another size"},
    {40960, "FlashpixVersion: \"0100\" is the only version, and EXIF's default"},
    {40961, "ColorSpace: 1 (sRGB) or 0xFFFF (uncalibrated) only"},
    {41729, "SceneType: 1 is the only value EXIF defines"},
    {41985, "CustomRendered: EXIF 2.32 defines 0 and 1 only"},
    {41987, "WhiteBalance: EXIF defines 0 and 1 only"},
    {5, "GPSAltitudeRef: EXIF 2.32 defines 0 and 1 only"},
    {30, "GPSDifferential: EXIF defines 0 and 1 only"},
    {50741, "MakerNoteSafety: DNG defines 0 and 1 only"},
};

// Counts the standard or the page dictates, so not free to be odd.
const std::map<uint16_t, const char *> dictated_counts = {
    {338, "ExtraSamples: one per extra sample"},
    {347, "JPEGTables: a whole tables-only stream"},
    {559, "StripRowCounts: one per strip"},
    {33422, "CFAPattern: rows x columns of CFARepeatPatternDim"},
    {41730, "EXIF CFAPattern: 4 + horizontal x vertical repeat"},
    {50714, "BlackLevel: BlackLevelRepeatDim's rows x columns x samples"},
    {50715, "BlackLevelDeltaH: the active area's width"},
    {50716, "BlackLevelDeltaV: the active area's length"},
    {50830, "MaskedAreas: 4 per rectangle"},
};

// Standard defaults other than 0 and 1, which no row may hold.
const std::map<uint16_t, std::vector<double>> defaults = {
    {296, {2}},                    // ResolutionUnit, TIFF 6.0
    {334, {4}},                    // NumberOfInks, TIFF 6.0
    {529, {0.299, 0.587, 0.114}},  // YCbCrCoefficients, TIFF 6.0
    {530, {2, 2}},                 // YCbCrSubSampling, TIFF 6.0
    {531, {1}},                    // YCbCrPositioning, TIFF 6.0
    {41488, {2}},                  // FocalPlaneResolutionUnit, EXIF
    {41728, {3}},                  // FileSource, EXIF
    {50713, {1, 1}},               // BlackLevelRepeatDim, DNG
    {50718, {1, 1}},               // DefaultScale, DNG
    {37121, {4, 5, 6, 0}},         // ComponentsConfiguration, EXIF (RGB)
    {40960, {'0', '1', '0', '0'}}, // FlashpixVersion, EXIF
};

unsigned smallest_size(uint32_t types)
{
    for (unsigned t = 1; t < 32; t++) {
        if (types & field::TypeBit(t))
            return ifd::TypeSize(static_cast<uint16_t>(t));
    }
    return 1;
}

bool is_real(uint32_t types)
{
    return (types & (field::ALLOW_RATIONAL | field::ALLOW_SRATIONAL | field::ALLOW_FLOAT |
                     field::ALLOW_DOUBLE)) != 0 &&
           (types & (field::ALLOW_BYTE | field::ALLOW_SHORT | field::ALLOW_LONG |
                     field::ALLOW_UNDEFINED)) == 0;
}

// A row's values as field_probe sets them; empty for the rows the page
// shape or a link fills, and for curves.
std::vector<double> values_of(const Definition &f)
{
    if (f.bytes)
        return std::vector<double>(f.bytes, f.bytes + f.pattern);
    if (f.values.size() != 0)
        return std::vector<double>(f.values.begin(), f.values.end());
    std::vector<double> v;
    if (f.text || f.rule == field::Count::PerLevel)
        return v;
    for (uint32_t i = 0; i < f.pattern; i++)
        v.push_back(static_cast<double>(field::Pattern(f.tag, i, smallest_size(f.types))));
    return v;
}

size_t count_of(const Definition &f)
{
    if (f.text)
        return f.pattern ? f.pattern : strlen(f.text) + 1;
    return values_of(f).size();
}

// The bytes of an integer in reverse, in the narrowest allowed size that
// holds it.
uint64_t swapped(uint64_t v, unsigned size)
{
    while (size < 8 && (v >> (8 * size)) != 0)
        size *= 2;
    uint64_t s = 0;
    for (unsigned b = 0; b < size; b++)
        s |= ((v >> (8 * b)) & 0xFF) << (8 * (size - 1 - b));
    return s;
}

const Definition *row(uint16_t tag, field::Home home)
{
    for (size_t i = 0; i < field::field_count; i++) {
        if (field::fields[i].tag == tag && field::fields[i].home == home)
            return &field::fields[i];
    }
    return nullptr;
}

bool covered(const Definition &f)
{
    return f.home != field::Home::Uncovered && (f.text || values_of(f).size() != 0);
}

TEST(FieldTable, EveryRowKeepsTheValueRule)
{
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        if (!covered(f) || f.text)
            continue;
        SCOPED_TRACE(std::to_string(f.tag) + " " + f.name);
        const std::vector<double> v = values_of(f);
        const auto d = defaults.find(f.tag);
        if (forced_values.count(f.tag) == 0) {
            EXPECT_FALSE(d != defaults.end() && d->second == v) << "holds its default";
        }
        if (v.size() == 1 && forced_values.count(f.tag) == 0) {
            EXPECT_NE(v[0], 0.0) << "a dropped value gives 0";
            EXPECT_NE(v[0], 1.0);
            const unsigned size = smallest_size(f.types);
            if (!is_real(f.types) && size > 1 && v[0] >= 0) {
                EXPECT_NE(swapped(static_cast<uint64_t>(v[0]), size), static_cast<uint64_t>(v[0]))
                    << "reads the same swapped";
            }
            if ((f.types & (field::ALLOW_RATIONAL | field::ALLOW_SRATIONAL)) && is_real(f.types)) {
                EXPECT_NE(v[0], std::floor(v[0])) << "a rounded fraction passes";
            }
        }
        bool all_zero_one = true;
        for (const double x : v)
            all_zero_one = all_zero_one && (x == 0 || x == 1);
        EXPECT_FALSE(v.size() > 1 && all_zero_one) << "only zeros and ones";
    }
}

// Each directory numbers its fields on its own: a row names its tag as the
// namespace of its home does, so a mistyped number or name shows.
TEST(FieldTable, EveryRowIsNamedAsItsTagIs)
{
    const struct {
        field::Home home;
        const char *(*name_of)(uint16_t);
    } directories[] = {
        {field::Home::Exif, ifd::exif_tag::NameOf},
        {field::Home::Gps, ifd::gps_tag::NameOf},
        {field::Home::Interop, ifd::interop_tag::NameOf},
    };
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        const char *(*name_of)(uint16_t) = ifd::tag::NameOf;
        for (const auto &d : directories) {
            if (d.home == f.home)
                name_of = d.name_of;
        }
        const char *name = name_of(f.tag);
        EXPECT_STREQ(name, f.name) << "tag " << f.tag;
    }
}

TEST(FieldTable, FreeCountsAreOdd)
{
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        if (!covered(f) || f.rule != field::Count::Any || dictated_counts.count(f.tag))
            continue;
        EXPECT_EQ(count_of(f) % 2, 1U) << f.tag << " " << f.name << ": " << count_of(f);
    }
}

// A value written in line in BigTIFF takes up to 8 bytes.
TEST(FieldTable, EachTypeHasAnArrayOutOfLine)
{
    std::map<unsigned, size_t> widest; // smallest type code: the most bytes one row holds
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        if (!covered(f))
            continue;
        unsigned type = 1;
        while (!(f.types & field::TypeBit(type)))
            type++;
        const size_t bytes = count_of(f) * smallest_size(f.types);
        if (count_of(f) > 1 && bytes > widest[type])
            widest[type] = bytes;
    }
    for (const auto &w : widest)
        EXPECT_GT(w.second, 8U) << ifd::TypeName(static_cast<uint16_t>(w.first));
}

// Some value of each integer type fills its width: narrowing it shows.
TEST(FieldTable, EachIntegerTypeHasAValueOfFullWidth)
{
    for (const unsigned type : {3U, 4U}) {
        bool full = false;
        const uint64_t top = uint64_t{1} << (8 * (ifd::TypeSize(static_cast<uint16_t>(type)) - 1));
        for (size_t i = 0; i < field::field_count; i++) {
            const Definition &f = field::fields[i];
            if (!covered(f) || smallest_size(f.types) != ifd::TypeSize(static_cast<uint16_t>(type)))
                continue;
            for (const double x : values_of(f))
                full = full || (x >= static_cast<double>(top) && !is_real(f.types));
        }
        EXPECT_TRUE(full) << ifd::TypeName(static_cast<uint16_t>(type));
    }
}

// The counts one row dictates for another.
TEST(FieldTable, DictatedCountsAgree)
{
    const field::Home main = field::Home::Main;
    const auto dim = values_of(*row(33421, main));
    EXPECT_EQ(count_of(*row(33422, main)), dim[0] * dim[1]) << "CFAPattern";
    for (const double colour : values_of(*row(33422, main)))
        EXPECT_LE(colour, 6) << "CFAPattern colour code";
    const auto exif = values_of(*row(41730, field::Home::Exif));
    EXPECT_EQ(exif.size(), 4 + (exif[0] + 256 * exif[1]) * (exif[2] + 256 * exif[3]))
        << "EXIF CFAPattern";
    const auto area = values_of(*row(50829, main)); // top, left, bottom, right
    EXPECT_EQ(count_of(*row(50715, main)), area[3] - area[1]) << "BlackLevelDeltaH";
    EXPECT_EQ(count_of(*row(50716, main)), area[2] - area[0]) << "BlackLevelDeltaV";
    const auto repeat = values_of(*row(50713, main));
    EXPECT_EQ(count_of(*row(50714, main)), repeat[0] * repeat[1] * 4) << "BlackLevel, 4 samples";
    const size_t masked = count_of(*row(50830, main));
    EXPECT_EQ(masked % 4, 0U);
    EXPECT_EQ(masked / 4 % 2, 1U) << "MaskedAreas: an odd number of rectangles";
}

} // namespace
