// The value rule (docs/contributing.md, "A field row") over the newer probes'
// tables, one section each, so that rows added later keep it: each broken
// rule is a failure naming the row.
//
// type_probe and directory_probe. Exempt, by design: type_probe's arrays at
// the inline limit and one value over it (tags +1 and +2) have the counts the
// entry's slot dictates, 4 bytes in classic TIFF and 8 in BigTIFF, so only
// the long array's count (+3, the whole table) is free. directory_probe's
// exemptions are listed below.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codec_values.h"
#include "directory_values.h"
#include "ifd_reader.h"
#include "manpage_values.h"
#include "read_cases.h"
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

// --- tile_probe, strile_probe and manpage_probe: their pages --------------
//
// Exempt: 8-bit samples, contig planes, no compression or predictor and one
// sample in some tiled pages (other pages hold the rest), tile counts (the
// geometry gives them), sizes that fit in a byte in tile_probe and
// manpage_probe (a page wider than 255 costs tile_probe 40% more;
// strile_probe's 99,999 rows show a narrowed size), one row of 4 pixels per
// strip on the page of many strips (the most strips for the fewest bytes),
// and what the standard fixes in manpage_probe: its defaults, GPSVersionID,
// TIFFDataWidth's and the field query rows.

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

// --- codec_probe (probes/codec/codec_values.h) -----------------------------------
//
// Each setting against what tiff.h's comments and libtiff(3tiff) document of
// it (where they are silent, the codec's own library), each failure naming
// the page and the setting's tag.

namespace {

// Its defaults ({}: none documented), its range, where that is said, and
// for a setting of two meanings why its value may be 0 or 1.
struct Documented {
    std::vector<double> defaults;
    double lo;
    double hi;
    const char *source;
    const char *two_meanings = nullptr;
};

const std::map<uint32_t, Documented> documented = {
    {TIFFTAG_FAXMODE, {{FAXMODE_CLASSIC}, 0, 15, "tiff.h; libtiff(3tiff): flags"}},
    {TIFFTAG_JPEGQUALITY, {{75}, 0, 100, "tiff.h, libtiff(3tiff)"}},
    {TIFFTAG_JPEGCOLORMODE, {{0}, 0, 1, "tiff.h, libtiff(3tiff)", "RAW or RGB: RGB is 1"}},
    {TIFFTAG_JPEGTABLESMODE, {{3}, 0, 3, "tiff.h, libtiff(3tiff): QUANT | HUFF, flags"}},
    {TIFFTAG_ZIPQUALITY, {{-1, 6}, 1, 9, "tiff.h: -1; libtiff(3tiff): 6"}},
    {TIFFTAG_PIXARLOGQUALITY, {{-1, 6}, 1, 9, "as ZIPQUALITY: tiff.h, libtiff(3tiff)"}},
    {TIFFTAG_PIXARLOGDATAFMT, {{}, 0, 5, "tiff.h"}},
    {TIFFTAG_SGILOGDATAFMT, {{}, 0, 3, "tiff.h", "LogL takes float (0) or 16-bit (1) only"}},
    {TIFFTAG_SGILOGENCODE, {{}, 0, 1, "tiff.h", "no dither or random dither"}},
    {TIFFTAG_LZMAPRESET, {{6}, 0, 9, "none in libtiff's; xz(1)"}},
    {TIFFTAG_ZSTD_LEVEL, {{0, 3}, 1, 22, "none in libtiff's; zstd(1), zstd.h (0: the default)"}},
    {TIFFTAG_PERSAMPLE, {{}, 0, 1, "tiff.h", "merged or multi: multi is 1"}},
    {TIFFTAG_LERC_VERSION, {{}, 4, 4, "tiff.h: 2.4 alone"}},
    {TIFFTAG_LERC_ADD_COMPRESSION, {{}, 0, 2, "tiff.h"}},
    {TIFFTAG_LERC_MAXZERROR, {{}, 0, HUGE_VAL, "tiff.h"}},
    {TIFFTAG_WEBP_LEVEL, {{}, 0, 100, "none in libtiff's; webp/encode.h"}},
    {TIFFTAG_WEBP_LOSSLESS, {{0}, 0, 1, "webp/encode.h", "lossy or lossless: lossless is 1"}},
    {TIFFTAG_DEFLATE_SUBCODEC,
     {{1},
      0,
      1,
      "tiff.h: libdeflate where built in",
      "zlib is 0: "
      "both Deflate pages', so the level alone tells them apart"}},
    {codecs::webp_lossless_exact, {{1}, 0, 1, "the probe's note", "exact or not: not is 0"}},
};

// No integer setting's range passes a byte (JPEG quality 100, zstd 22), so
// none shows a value kept in a byte; the check stands for rows to come.
TEST(CodecValues, SettingsShowAFault)
{
    for (const codecs::Page &p : codecs::pages) {
        for (const codecs::Setting &s : p.settings) {
            SCOPED_TRACE(std::string(p.name) + ": tag " + std::to_string(s.tag));
            const auto d = documented.find(s.tag);
            ASSERT_NE(d, documented.end()) << "not in the test's table of what is documented";
            const Documented &doc = d->second;
            EXPECT_TRUE(s.value >= doc.lo && s.value <= doc.hi) << doc.source;
            if (s.value != std::floor(s.value)) {
                EXPECT_NE(static_cast<float>(s.value), s.value) << "a float's value passes";
            } else {
                EXPECT_TRUE(doc.hi <= 255 || s.value > 255) << "a byte's value passes";
            }
            EXPECT_TRUE(doc.two_meanings || (s.value != 0 && s.value != 1)) << "0 or 1";
            for (const double v : doc.defaults)
                EXPECT_NE(s.value, v) << "the documented default: " << doc.source;
        }
    }
}

// A name that quotes a value quotes its page's own.
TEST(CodecValues, NamesQuoteTheirValue)
{
    for (const codecs::Page &p : codecs::pages) {
        const std::string name = p.name;
        const size_t last = name.find_last_not_of("0123456789");
        bool found = last + 1 == name.size();
        for (const codecs::Setting &s : p.settings)
            found = found || s.value == std::stod(name.substr(last + 1));
        EXPECT_TRUE(found) << p.name;
    }
}

// SMin/SMaxSampleValue: one per sample, fractions a FLOAT holds, none
// another's, so a rounded value or sample 0's given for all shows.
TEST(CodecValues, PerSampleExtremesShowAFault)
{
    std::vector<double> all(std::begin(codecs::smin), std::end(codecs::smin));
    all.insert(all.end(), std::begin(codecs::smax), std::end(codecs::smax));
    for (size_t i = 0; i < all.size(); i++) {
        SCOPED_TRACE(std::string("per sample: S") + (i < 3 ? "Min" : "Max") + "SampleValue " +
                     std::to_string(i % 3));
        EXPECT_NE(all[i], std::floor(all[i])) << "a rounded value passes";
        EXPECT_EQ(static_cast<float>(all[i]), all[i]) << "more than a FLOAT holds";
        for (size_t j = 0; j < i; j++)
            EXPECT_NE(all[i], all[j]) << "as value " << j;
    }
}

} // namespace

// --- read_probe: the wants of its catalogue ---------------------------------
//
// Every case is built in every layout read_probe builds it in, and every
// directory's Exact wants (those a library must give back) are read, SubIFDs,
// EXIF and GPS IFDs included. ExactOrAbsent, OneOf, AtLeast and Absent wants
// pass a dropped field by design, so they are not judged.

namespace {

using read_cases::Directory;

// TIFF 6.0's defaults (Section 8, SampleFormat Section 19) and EXIF's, for
// the tags the catalogue holds: what a library that ignores a field gives.
const std::map<uint16_t, double> read_defaults = {
    {254, 0},          // NewSubfileType
    {258, 1},          // BitsPerSample
    {259, 1},          // Compression
    {277, 1},          // SamplesPerPixel
    {278, 4294967295}, // RowsPerStrip, 2^32 - 1
    {280, 0},          // MinSampleValue
    {281, 255},        // MaxSampleValue, 2^BitsPerSample - 1 of 8-bit samples
    {284, 1},          // PlanarConfiguration
    {296, 2},          // ResolutionUnit
    {339, 1},          // SampleFormat
    {34850, 0},        // ExposureProgram, EXIF: not defined
    {5, 0},            // GPSAltitudeRef, EXIF: above sea level
};

// Single values the case dictates, kept with the reason.
const std::map<uint16_t, const char *> read_forced = {
    {254, "NewSubfileType: 1 says reduced resolution; other bits say a page or a mask"},
    {259, "Compression: the strips are uncompressed and compared byte for byte"},
    {262, "PhotometricInterpretation: gray is 0 or 1 by its meaning; RGB cases hold 2"},
    {277, "SamplesPerPixel: gray has one; the RGB and gray_alpha cases hold 3 and 2"},
    {284, "PlanarConfiguration: chunky strips, read as such; rgb_planes holds 2"},
    {5, "GPSAltitudeRef: EXIF defines 0 and 1 only, and 1 is not the default"},
    {30, "GPSDifferential: EXIF defines 0 and 1 only"},
};

// Counts the standard, the image or the case dictates, so not free to be odd.
// GPS tags (0 to 31) share no number with the others.
const std::map<uint16_t, const char *> read_dictated = {
    {258, "BitsPerSample: one per sample"},
    {273, "StripOffsets: one per strip"},
    {279, "StripByteCounts: one per strip"},
    {280, "MinSampleValue: one per sample"},
    {281, "MaxSampleValue: one per sample"},
    {324, "TileOffsets: one per tile"},
    {325, "TileByteCounts: one per tile"},
    {339, "SampleFormat: one per sample"},
    {36864, "ExifVersion: 4 bytes"},
    {36867, "DateTimeOriginal: 19 characters and the NUL"},
    {0, "GPSVersionID: 4 bytes"},
    {1, "GPSLatitudeRef: one letter and the NUL"},
    {29, "GPSDateStamp: 10 characters and the NUL"},
};
const std::map<std::string, const char *> read_dictated_cases = {
    {"text_edge", "ImageDescription exactly as long as the entry's slot"},
    {"text_over", "ImageDescription one byte longer than the entry's slot"},
};

struct ReadDir {
    std::string where; // "read_pages_le.tif page 1/EXIF"
    std::string name;  // the case
    std::string file;
    bool bigtiff;
    Directory d;
};

void Collect(const ReadDir &r, std::vector<ReadDir> *out)
{
    out->push_back(r);
    for (size_t i = 0; i < r.d.subifds.size(); i++)
        Collect(
            {r.where + "/SubIFD " + std::to_string(i), r.name, r.file, r.bigtiff, r.d.subifds[i]},
            out);
    for (const Directory &e : r.d.exif_dirs)
        Collect({r.where + "/EXIF", r.name, r.file, r.bigtiff, e}, out);
    for (const Directory &g : r.d.gps_dirs)
        Collect({r.where + "/GPS", r.name, r.file, r.bigtiff, g}, out);
}

// Every directory of every case, in every layout read_probe builds it in.
std::vector<ReadDir> ReadDirectories()
{
    std::vector<ReadDir> out;
    for (size_t i = 0; i < read_cases::case_count; i++) {
        const read_cases::Case &c = read_cases::cases[i];
        for (const read_cases::Format &f : read_cases::formats) {
            if (!read_cases::RunsIn(c, f))
                continue;
            read_cases::Built b(f.big_endian, f.bigtiff);
            c.build(&b, c.tag, c.type);
            const std::string file = std::string("read_") + c.name + f.suffix;
            for (size_t k = 0; k < b.pages.size(); k++)
                Collect({file + " page " + std::to_string(k), c.name, file, f.bigtiff, b.pages[k]},
                        &out);
        }
    }
    return out;
}

bool IsRational(uint16_t type)
{
    return type == ifd::RATIONAL || type == ifd::SRATIONAL;
}

bool IsReal(uint16_t type)
{
    return IsRational(type) || type == ifd::FLOAT || type == ifd::DOUBLE;
}

// Element I as the number it stands for.
double Element(const ifd::Field &f, size_t i)
{
    const unsigned size = ifd::TypeSize(f.type);
    if (IsRational(f.type)) {
        const auto n = f.values[2 * i];
        const auto d = f.values[2 * i + 1];
        if (f.type == ifd::RATIONAL)
            return static_cast<double>(n) / static_cast<double>(d);
        return static_cast<double>(ifd::Signed(n, 4)) / static_cast<double>(ifd::Signed(d, 4));
    }
    if (f.type == ifd::FLOAT)
        return ifd::FloatFromBits(f.values[i]);
    if (f.type == ifd::DOUBLE)
        return ifd::DoubleFromBits(f.values[i]);
    const bool sign = f.type == ifd::SBYTE || f.type == ifd::SSHORT || f.type == ifd::SLONG ||
                      f.type == ifd::SLONG8;
    return sign ? static_cast<double>(ifd::Signed(f.values[i], size))
                : static_cast<double>(f.values[i]);
}

bool IsExact(const read_cases::Want &w)
{
    return w.rule == read_cases::Rule::Exact;
}

TEST(ReadValues, ExactWantsShowAFault)
{
    for (const ReadDir &r : ReadDirectories()) {
        for (const read_cases::Want &w : r.d.wants) {
            const ifd::Field &f = w.field;
            if (!IsExact(w))
                continue;
            SCOPED_TRACE(r.where + ": tag " + std::to_string(f.tag));
            const size_t n = IsRational(f.type) ? f.values.size() / 2 : f.values.size();
            const size_t count = f.count != ifd::derived ? f.count : n;
            if (read_dictated.count(f.tag) == 0 && read_dictated_cases.count(r.name) == 0) {
                EXPECT_EQ(count % 2, 1U) << "free count " << count;
            }
            if (f.type == ifd::ASCII)
                continue;
            const unsigned size = ifd::TypeSize(f.type);
            bool zero_one = true;
            bool is_default = read_defaults.count(f.tag) != 0;
            bool swaps = false;
            bool fraction = false;
            for (size_t i = 0; i < n; i++) {
                const double v = Element(f, i);
                zero_one = zero_one && (v == 0 || v == 1);
                is_default = is_default && v == read_defaults.at(f.tag);
                swaps = swaps || IsReal(f.type) || size == 1 ||
                        swapped(f.values[i], size) != f.values[i];
                fraction = fraction || v != std::floor(v);
            }
            // A SHORT RowsPerStrip 1 over several strips: any other value
            // changes the strips the case reads. rows_long's LONG shows.
            const bool strips = f.tag == 278 && f.type == ifd::SHORT && r.d.chunks.size() > 1;
            if (read_forced.count(f.tag) || strips)
                continue;
            EXPECT_FALSE(zero_one) << "only zeros and ones";
            EXPECT_FALSE(is_default) << "the field's default";
            EXPECT_TRUE(swaps) << "reads the same swapped";
            EXPECT_TRUE(!IsRational(f.type) || fraction) << "a rounded fraction passes";
        }
    }
}

// LONG cases kept in 16 bits: above, the value takes that many pixels or
// bytes (PackBits packs a row on its own, so only long rows pack small;
// the catalogue takes 160 KB), or the field is LONG only.
const std::map<std::string, const char *> read_long_small = {
    {"length_long", "ImageLength: 64 Ki rows of 3 bytes, 768 KiB in the 4 files"},
    {"strip_offsets_long", "StripOffsets: 64 KiB before a strip, 256 KiB in the 4 files"},
    {"strip_counts_long", "StripByteCounts: a 64 KiB strip, 256 KiB in the 4 files"},
    {"tile_width_long", "TileWidth: 64 Ki x 32 pixel tiles, 8 MiB in the 4 files"},
    {"tile_length_long", "TileLength: 16 x 64 Ki pixel tiles, 8 MiB in the 4 files"},
    {"tile_counts_long", "TileByteCounts: a 64 KiB tile, 512 KiB in the 4 files"},
    {"tile_offsets_long", "TileOffsets: LONG only, no SHORT to narrow to"},
};

// A LONG the case is about (its own tag, or EXIF's pixel dimensions) lies
// above 16 bits: narrowed to a SHORT, it shows.
TEST(ReadValues, LongValuesShowANarrowing)
{
    for (const ReadDir &r : ReadDirectories()) {
        const read_cases::Case &c =
            *std::find_if(read_cases::cases, read_cases::cases + read_cases::case_count,
                          [&](const read_cases::Case &k) { return r.name == k.name; });
        for (const read_cases::Want &w : r.d.wants) {
            const ifd::Field &f = w.field;
            const bool own = c.type == ifd::LONG && f.tag == c.tag;
            if (IsExact(w) && f.type == ifd::LONG && (own || f.tag == 40962 || f.tag == 40963) &&
                read_long_small.count(r.name) == 0) {
                EXPECT_GT(*std::max_element(f.values.begin(), f.values.end()), 0xffffU)
                    << r.where << " (case " << r.name << "): tag " << f.tag
                    << ", a LONG value of a SHORT-or-LONG field, fits in 16 bits";
            }
            // RowsPerStrip narrowed must change the strips the image takes.
            const auto length =
                std::find_if(r.d.wants.begin(), r.d.wants.end(),
                             [](const read_cases::Want &l) { return l.field.tag == 257; });
            if (own && f.tag == 278 && length != r.d.wants.end()) {
                const uint64_t rows = length->field.values.at(0);
                const uint64_t narrow = f.values.at(0) & 0xffff;
                EXPECT_TRUE(narrow == 0 ||
                            (rows + narrow - 1) / narrow != (rows + f.values[0] - 1) / f.values[0])
                    << r.where << ": RowsPerStrip narrowed to 16 bits gives the same strips";
            }
        }
    }
}

// A swap of width and length shows.
TEST(ReadValues, SizesShowASwap)
{
    for (const ReadDir &r : ReadDirectories()) {
        SCOPED_TRACE(r.where);
        std::map<uint16_t, uint64_t> size;
        for (const read_cases::Want &w : r.d.wants) {
            const uint16_t tag = w.field.tag;
            if (IsExact(w) && (tag == 256 || tag == 257 || tag == 322 || tag == 323))
                size[tag] = w.field.values.at(0);
        }
        if (size.count(256) && size.count(257)) {
            EXPECT_NE(size[256], size[257]) << "ImageWidth and ImageLength";
        }
        if (size.count(322) && size.count(323)) {
            EXPECT_NE(size[322], size[323]) << "TileWidth and TileLength";
        }
    }
}

// The strips and tiles of a file differ from their first byte on, and
// none is zeros only: one read from another's place, another page's or
// filler shows.
TEST(ReadValues, ChunksShowAMixUp)
{
    std::map<std::string, std::vector<std::pair<std::vector<uint8_t>, std::string>>> seen;
    for (const ReadDir &r : ReadDirectories()) {
        for (size_t k = 0; k < r.d.chunks.size(); k++) {
            const std::vector<uint8_t> &bytes = r.d.chunks[k].bytes;
            if (r.d.chunks[k].refuse)
                continue;
            const std::string where = r.where + " chunk " + std::to_string(k);
            SCOPED_TRACE(where);
            EXPECT_NE(std::count(bytes.begin(), bytes.end(), 0), static_cast<long>(bytes.size()))
                << "zeros only";
            for (const auto &[other, at] : seen[r.file]) {
                const size_t n = std::min(other.size(), bytes.size());
                EXPECT_FALSE(std::equal(bytes.begin(), bytes.begin() + n, other.begin()))
                    << "begins as " << at;
            }
            seen[r.file].emplace_back(bytes, where);
        }
    }
}

// Per type, an array out of line in both formats (more than 8 bytes), and
// for integers a value whose top byte is set, so a narrowed one shows.
TEST(ReadValues, EachTypeHasAnArrayOutOfLine)
{
    std::map<std::pair<uint16_t, bool>, uint64_t> widest; // type, BigTIFF: most bytes
    std::map<uint16_t, bool> full;
    for (const ReadDir &r : ReadDirectories()) {
        for (const read_cases::Want &w : r.d.wants) {
            const ifd::Field &f = w.field;
            if (!IsExact(w))
                continue;
            const unsigned size = ifd::TypeSize(f.type);
            const uint64_t bytes = f.values.size() * (IsRational(f.type) ? 4 : size);
            uint64_t &most = widest[{f.type, r.bigtiff}];
            most = std::max(most, bytes);
            for (const uint64_t v : f.values)
                full[f.type] = full[f.type] || (v >> (8 * size - 8)) != 0;
        }
    }
    for (const auto &[key, bytes] : widest) {
        const uint16_t type = key.first;
        SCOPED_TRACE(std::string(ifd::TypeName(type)) + (key.second ? " in BigTIFF" : ""));
        EXPECT_GT(bytes, 8U) << "no array out of line";
        if (type != ifd::ASCII && !IsReal(type)) {
            EXPECT_TRUE(full[type]) << "no value fills the width";
        }
    }
}

} // namespace
