// The value rule (tests/README.md, "A field row") over type_probe's and
// directory_probe's tables, so that rows added later keep it: each broken
// rule is a failure naming the row.
//
// Exempt, by design: type_probe's arrays at the inline limit and one value
// over it (tags +1 and +2) have the counts the entry's slot dictates, 4 bytes
// in classic TIFF and 8 in BigTIFF, so only the long array's count (+3, the
// whole table) is free. directory_probe's exemptions are listed below.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "directory_values.h"
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

} // namespace

// ---------------------------------------------------------------------------
// codec_probe (probes/codec_values.h): each setting against what tiff.h's
// comments and libtiff(3tiff) document of it (where they are silent, the
// codec's own library), each failure naming the page and the setting's tag.
#include "codec_values.h"

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
