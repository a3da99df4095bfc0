// The value rule (tests/README.md, "A field row") over type_probe's and
// directory_probe's tables, so that rows added later keep it: each broken
// rule is a failure naming the row.
//
// Exempt, by design: type_probe's arrays at the inline limit and one value
// over it (tags +1 and +2) have the counts the entry's slot dictates, 4 bytes
// in classic TIFF and 8 in BigTIFF, so only the long array's count (+3, the
// whole table) is free. directory_probe's exemptions are listed below.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "directory_values.h"
#include "manpage_values.h"
#include "strile_values.h"
#include "tile_values.h"
#include "type_values.h"

namespace {

using types::TypeProbe;

bool is_integer(const TypeProbe &t)
{
    return t.type != TIFF_FLOAT && t.type != TIFF_DOUBLE && t.type != TIFF_RATIONAL &&
           t.type != TIFF_SRATIONAL;
}

// Value I as its stored bits, zero-extended.
uint64_t bits(const TypeProbe &t, uint32_t i)
{
    return StoredBits(t.values, t.storage, i);
}

double number(const TypeProbe &t, uint32_t i)
{
    if (t.type == TIFF_DOUBLE)
        return static_cast<const double *>(t.values)[i];
    return static_cast<const float *>(t.values)[i];
}

uint64_t swapped(uint64_t v, unsigned size)
{
    uint64_t s = 0;
    for (unsigned b = 0; b < size; b++)
        s |= ((v >> (8 * b)) & 0xFF) << (8 * (size - 1 - b));
    return s;
}

bool zero_or_one(const TypeProbe &t, uint32_t i)
{
    if (is_integer(t))
        return bits(t, i) <= 1;
    return number(t, i) == 0 || number(t, i) == 1;
}

TEST(TypeValues, SingleValueShowsAFault)
{
    for (const TypeProbe &t : types::type_probes) {
        SCOPED_TRACE(std::string(t.name) + " " + std::to_string(t.tag));
        EXPECT_FALSE(zero_or_one(t, 0)) << "a dropped value gives 0";
        if (is_integer(t) && t.storage > 1) {
            EXPECT_NE(swapped(bits(t, 0), t.storage), bits(t, 0)) << "reads the same swapped";
        }
        if (t.type == TIFF_RATIONAL || t.type == TIFF_SRATIONAL) {
            EXPECT_NE(number(t, 0), std::floor(number(t, 0))) << "a rounded fraction passes";
        }
    }
}

// The long array: an odd count, out of line in both formats, not only zeros
// and ones, and for an integer type a value whose top byte is set.
TEST(TypeValues, LongArrayShowsAFault)
{
    for (const TypeProbe &t : types::type_probes) {
        SCOPED_TRACE(std::string(t.name) + " " + std::to_string(t.tag + 3));
        EXPECT_EQ(t.count % 2, 1U) << "free count " << t.count;
        EXPECT_GT(t.count * t.disk, 8U) << "in line";
        bool only_zero_one = true;
        bool full = false;
        for (uint32_t i = 0; i < t.count; i++) {
            only_zero_one = only_zero_one && zero_or_one(t, i);
            full = full || (bits(t, i) >> (8 * t.storage - 8)) != 0;
        }
        EXPECT_FALSE(only_zero_one) << "only zeros and ones";
        EXPECT_TRUE(!is_integer(t) || full) << "no value fills the width";
    }
}

TEST(TypeValues, StandardFieldsShowAFault)
{
    for (const uint16_t v : types::page_number) {
        EXPECT_GT(v, 1U) << "PageNumber";
        EXPECT_NE(swapped(v, 2), v) << "PageNumber";
    }
    EXPECT_LT(types::page_number[0], types::page_number[1]) << "PageNumber: page within total";
    EXPECT_NE(types::x_resolution, std::floor(types::x_resolution)) << "XResolution";
}

// directory_probe: counts EXIF dictates, not free to be odd. PageNumber's
// first value is the page's index, which the page's place dictates (pages 0
// and 1 hold 0 and 1; the other pages show a dropped value).
const std::map<ttag_t, const char *> dictated_counts = {
    {EXIFTAG_EXIFVERSION, "ExifVersion: 4 bytes"},
    {EXIFTAG_DATETIMEORIGINAL, "DateTimeOriginal: 19 characters and the NUL"},
    {GPSTAG_VERSIONID, "GPSVersionID: 4 bytes, 2.2.0.0 the version"},
    {GPSTAG_LATITUDEREF, "GPSLatitudeRef: one letter and the NUL"},
    {GPSTAG_LATITUDE, "GPSLatitude: degrees, minutes, seconds"},
};

TEST(DirectoryValues, TextCountsAreOdd)
{
    for (const char *text : dirs::descriptions)
        EXPECT_EQ((strlen(text) + 1) % 2, 1U) << text;
    EXPECT_EQ(sizeof(dirs::rewritten_description) % 2, 1U) << "rewritten description";
    EXPECT_EQ(sizeof(dirs::rewritten_software) % 2, 1U) << "Software";
}

// A size of 0 or 1 survives a dropped or narrowed value, equal width and
// length survive a swap of the two.
TEST(DirectoryValues, SizesShowAFault)
{
    EXPECT_GT(dirs::length, 1U);
    EXPECT_NE(dirs::width, dirs::length) << "page";
    EXPECT_GT(dirs::original_pages, 1) << "PageNumber's total";
    for (const dirs::SubImage &s : dirs::sub_images) {
        SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.length));
        EXPECT_GT(s.length, 1U);
        EXPECT_NE(s.width, s.length);
    }
}

TEST(DirectoryValues, ExifAndGpsValuesShowAFault)
{
    bool full_short = false;
    std::vector<dirs::Tag> tags(std::begin(dirs::exif_tags), std::end(dirs::exif_tags));
    tags.insert(tags.end(), std::begin(dirs::gps_tags), std::end(dirs::gps_tags));
    for (const dirs::Tag &t : tags) {
        SCOPED_TRACE(std::to_string(t.tag));
        if (t.type == TIFF_ASCII) {
            EXPECT_EQ(strlen(t.bytes) + 1, t.count) << "count with the NUL";
        }
        if (dictated_counts.count(t.tag) == 0) {
            EXPECT_EQ(t.count % 2, 1U) << "free count " << t.count;
        }
        if (t.bytes || t.count > 3)
            continue;
        bool only_zero_one = true;
        for (int i = 0; i < t.count; i++) {
            only_zero_one = only_zero_one && (t.numbers[i] == 0 || t.numbers[i] == 1);
            full_short = full_short || (t.type == TIFF_SHORT && t.numbers[i] >= 256);
        }
        EXPECT_FALSE(only_zero_one) << "only zeros and ones";
        if (t.type == TIFF_RATIONAL && t.count == 1) {
            EXPECT_NE(t.numbers[0], std::floor(t.numbers[0])) << "a rounded fraction passes";
        }
    }
    EXPECT_TRUE(full_short) << "no SHORT fills its width";
}

// tile_probe, strile_probe and manpage_probe: their pages. Exempt: 8-bit
// samples, contig planes, no compression or predictor and one sample in some
// tiled pages (other pages hold the rest), tile counts (the geometry gives
// them), sizes that fit in a byte in tile_probe and manpage_probe (a page
// wider than 255 costs tile_probe 40% more; strile_probe's 99,999 rows show a
// narrowed size), one row of 4 pixels per strip on the page of many strips
// (the most strips for the fewest bytes), and what the standard fixes in
// manpage_probe: its defaults, GPSVersionID, TIFFDataWidth's and the field
// query rows.

// Width equal to length survives a swap, 0 or 1 a dropped value.
void ExpectShape(uint32_t width, uint32_t length, const char *what)
{
    EXPECT_NE(width, length) << what << " " << width << " x " << length;
    EXPECT_GT(std::min(width, length), 1U) << what;
}

void ExpectTiled(const chunks::TilePage &p)
{
    ExpectShape(p.width, p.length, "page");
    ExpectShape(p.tile_width, p.tile_length, "tile");
    EXPECT_EQ(p.tile_width % 16 + p.tile_length % 16, 0U) << "tile not a multiple of 16";
    EXPECT_TRUE(p.width % p.tile_width && p.length % p.tile_length) << "whole edge tiles";
}

TEST(TileValues, PagesShowAFault)
{
    for (unsigned k = 0; k < tiles::tile_page_count; k++) {
        SCOPED_TRACE("tile_pages[" + std::to_string(k) + "]");
        ExpectTiled(tiles::tile_pages[k]);
    }
    // The update grows the tile, and another tile follows it.
    const chunks::TilePage &u = tiles::tile_pages[tiles::updated_page];
    EXPECT_NE(u.compression, COMPRESSION_NONE) << "noise takes no more room";
    EXPECT_LT(tiles::updated_tile + 1, chunks::Across(u)) << "no tile after the updated one";
}

TEST(StrileValues, PagesShowAFault)
{
    ExpectTiled(striles::queried_tiles);
    EXPECT_EQ(chunks::TileCount(striles::queried_tiles) % 2, 1U) << "queried_tiles";
    for (const chunks::StripPage *p : {&striles::deferred_strips, &striles::checkpointed}) {
        SCOPED_TRACE(p == &striles::checkpointed ? "checkpointed" : "deferred_strips");
        ExpectShape(p->width, p->length, "page");
        EXPECT_EQ(p->length % p->rows_per_strip, 0U)
            << "a short strip, which the probe never writes";
        EXPECT_EQ(chunks::StripCount(*p) % 2, 1U) << "strip count";
    }
    for (const auto &row : striles::many_strips)
        EXPECT_EQ(row.value % 2, 1U) << "many_strips " << row.filename;
    // Checkpointed twice, the second time with more strips, the close more.
    const uint32_t *at = striles::strips_at_checkpoint;
    EXPECT_TRUE(at[0] % 2 && at[1] % 2 && 1 < at[0] && at[0] < at[1] &&
                at[1] < chunks::StripCount(striles::checkpointed))
        << "strips_at_checkpoint";
}

TEST(ManpageValues, PagesAndSetValuesShowAFault)
{
    namespace m = manpage;
    for (size_t k = 0; k < std::size(m::page_widths); k++)
        EXPECT_TRUE(m::page_widths[k] > (k ? m::page_widths[k - 1] : m::length)) << "page " << k;
    EXPECT_TRUE(m::strips % 2 && m::length % m::rows_per_strip) << "even or whole strips";
    ExpectTiled({m::tiled_width, m::tiled_length, m::tile_width, m::tile_length, 8, 1,
                 PLANARCONFIG_CONTIG, COMPRESSION_NONE, PREDICTOR_NONE, false});
    EXPECT_TRUE(m::tiles % 2 && m::far_strip >= m::tiles) << "even tiles, or far_strip a tile";
    EXPECT_TRUE(sizeof(m::description) % 2 && sizeof(m::artist) % 2) << "an even text count";
    EXPECT_GT(sizeof(m::first_description), sizeof(m::description)) << "the set twice";
    EXPECT_NE(m::refused_width, m::width);
    EXPECT_NE(m::kept_planar, PLANARCONFIG_CONTIG) << "the default, which a reset gives";
}

} // namespace
