// What a field holds on a page, from the table alone, and the tag extender
// that registers page 0's private fields.
#include <cstdint>
#include <cstring>

#include <tiffio.h>

#include "field_probe.h"

namespace fields {

TIFFExtendProc previous_extender = nullptr;

// Only page 0 holds the private fields, and merging sorts the library's
// whole field list, so they are registered only while page 0 is written or
// read.
bool page0 = false;

void RegisterPrivateFields(TIFF *tif)
{
    if (!page0) {
        if (previous_extender)
            previous_extender(tif);
        return;
    }
    static char long_name[] = "field_probe long";
    static char text_name[] = "field_probe text";
    static const TIFFFieldInfo infos[] = {
        {private_long_tag, 1, 1, TIFF_LONG, FIELD_CUSTOM, 1, 0, long_name},
        {private_text_tag, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII, FIELD_CUSTOM, 1, 0, text_name},
    };
    TIFFMergeFieldInfo(tif, infos, 2);
    if (previous_extender)
        previous_extender(tif);
}

unsigned SmallestTypeSize(uint32_t types)
{
    for (unsigned t = 1; t < 32; t++) {
        if (types & field::TypeBit(t))
            return ifd::TypeSize(static_cast<uint16_t>(t));
    }
    return 1;
}

// The directories a link field points to, in the order of Run::links.
size_t LinkIndex(field::LinkTarget link)
{
    return link == field::LinkTarget::Exif ? 0 : link == field::LinkTarget::Gps ? 1 : 2;
}

// The value of a field that the page's shape or a link gives.
bool ShapeValue(const Definition &f, const Shape &s, const uint64_t *links, double *v)
{
    switch (f.tag) {
    case TIFFTAG_IMAGEWIDTH:
        *v = s.width;
        return true;
    case TIFFTAG_IMAGELENGTH:
        *v = s.length;
        return true;
    case TIFFTAG_BITSPERSAMPLE:
        *v = s.bits;
        return s.bits != 0;
    case TIFFTAG_SAMPLESPERPIXEL:
        *v = s.samples;
        return s.samples != 0;
    case TIFFTAG_PHOTOMETRIC:
        *v = s.photometric;
        return true;
    case TIFFTAG_COMPRESSION:
        *v = s.compression;
        return s.compression != 0;
    case TIFFTAG_PLANARCONFIG:
        *v = s.planar;
        return s.planar != 0;
    case TIFFTAG_ROWSPERSTRIP:
        *v = s.rows;
        return s.rows != 0;
    case TIFFTAG_TILEWIDTH:
    case TIFFTAG_TILELENGTH:
        *v = s.tile;
        return s.tile != 0;
    default:
        break;
    }
    if (f.link != field::LinkTarget::None) {
        *v = static_cast<double>(links[LinkIndex(f.link)]);
        return true;
    }
    return false;
}

bool IsShapeField(const Definition &f)
{
    return !f.text && f.values.size() == 0 && f.pattern == 0;
}

uint32_t BitsOf(const Shape &s)
{
    return s.bits ? s.bits : 1;
}

uint32_t SamplesOf(const Shape &s)
{
    return s.samples ? s.samples : 1;
}

namespace {

// The table's value of a field of one value on the page, else `absent`.
uint32_t TableValue(uint16_t tag, Home home, uint32_t absent)
{
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
        if (f.tag == tag && f.home == home && f.values.size() == 1)
            return static_cast<uint32_t>(*f.values.begin());
    }
    return absent;
}

} // namespace

uint64_t ChunksOf(const Shape &s)
{
    const auto up = [](uint64_t n, uint64_t d) { return (n + d - 1) / d; };
    const uint64_t planes = s.planar == PLANARCONFIG_SEPARATE ? SamplesOf(s) : 1;
    if (!s.tile) {
        // No RowsPerStrip: the whole image is one strip.
        return planes * up(s.length, s.rows ? s.rows : s.length);
    }
    // A volume of ImageDepth slices is cut into tiles TileDepth slices deep
    // (1 by default).
    const uint32_t depth = TableValue(ifd::tag::ImageDepth, s.home, 1);
    const uint32_t tile_depth = TableValue(ifd::tag::TileDepth, s.home, 1);
    return planes * up(s.width, s.tile) * up(s.length, s.tile) * up(depth, tile_depth);
}

// False for a shape field the page leaves unset.
bool ValuesOf(const Definition &f, const Shape &s, const uint64_t *links, Values *v)
{
    if (f.text) {
        v->text = f.text;
        v->text_size = f.pattern ? f.pattern : strlen(f.text) + 1;
        v->count = static_cast<uint32_t>(v->text_size);
        return true;
    }
    if (IsShapeField(f)) {
        double d = 0;
        if (!ShapeValue(f, s, links, &d))
            return false;
        v->numbers.assign(1, d);
    } else if (f.bytes) {
        v->numbers.assign(f.bytes, f.bytes + f.pattern);
    } else if (f.values.size() != 0) {
        v->numbers.assign(f.values.begin(), f.values.end());
    } else {
        const uint32_t n = f.rule == field::Count::PerLevel ? f.n << BitsOf(s) : f.pattern;
        const unsigned size = SmallestTypeSize(f.types);
        v->numbers.resize(n);
        for (uint32_t i = 0; i < n; i++)
            v->numbers[i] = static_cast<double>(field::Pattern(f.tag, i, size));
    }
    v->count = static_cast<uint32_t>(v->numbers.size());
    v->curves = f.rule == field::Count::PerLevel ? f.n : 0;
    return true;
}

// The number of values the standard gives the field on disk.
uint64_t DiskCount(const Definition &f, const Shape &s, const Values &v)
{
    switch (f.rule) {
    case field::Count::Fixed:
        return f.n;
    case field::Count::PerSample:
        return static_cast<uint64_t>(f.n) * SamplesOf(s);
    case field::Count::OnceOrPerSample:
        return v.count == static_cast<uint64_t>(f.n) * SamplesOf(s) ? v.count : f.n;
    case field::Count::PerLevel:
        return static_cast<uint64_t>(f.n) << BitsOf(s);
    default:
        return v.count;
    }
}

} // namespace fields
