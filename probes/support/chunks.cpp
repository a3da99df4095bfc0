#include "chunks.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "probe_support.h"

namespace chunks {

namespace {

struct Field {
    ttag_t tag;
    uint32_t value;
};

bool SetFields(TIFF *tif, const std::vector<Field> &fields, const char *filename)
{
    const auto refused = std::find_if(fields.begin(), fields.end(), [&](const Field &f) {
        return !TIFFSetField(tif, f.tag, f.value);
    });
    if (refused == fields.end())
        return true;
    probe::SayCantSet(refused->tag, filename);
    return false;
}

} // namespace

uint16_t Sample(unsigned k, uint32_t c, uint32_t x, uint32_t y, uint32_t s, unsigned bits)
{
    const uint32_t v = k * 0x3501U + c * 0x0B17U + y * 0x0103U + x * 0x0011U + s * 0x2221U;
    return static_cast<uint16_t>(bits == 8 ? v & 0xFFU : v & 0xFFFFU);
}

uint32_t Across(const TilePage &p)
{
    return (p.width + p.tile_width - 1) / p.tile_width;
}

uint32_t Down(const TilePage &p)
{
    return (p.length + p.tile_length - 1) / p.tile_length;
}

uint32_t Planes(const TilePage &p)
{
    return p.planar == PLANARCONFIG_SEPARATE ? p.samples : 1;
}

uint32_t TileCount(const TilePage &p)
{
    return Across(p) * Down(p) * Planes(p);
}

uint32_t TileRowBytes(const TilePage &p)
{
    return p.tile_width * (p.samples / Planes(p)) * p.bits / 8;
}

uint32_t TileBytes(const TilePage &p)
{
    return TileRowBytes(p) * p.tile_length;
}

uint32_t StripCount(const StripPage &p)
{
    return (p.length + p.rows_per_strip - 1) / p.rows_per_strip;
}

std::vector<uint8_t> StripImage(unsigned k, const StripPage &p, uint32_t s)
{
    std::vector<uint8_t> out(static_cast<size_t>(p.width) * p.rows_per_strip);
    for (uint32_t y = 0; y < p.rows_per_strip; y++) {
        for (uint32_t x = 0; x < p.width; x++)
            out[static_cast<size_t>(y) * p.width + x] =
                static_cast<uint8_t>(Sample(k, s, x, y, 0, 8));
    }
    return out;
}

bool SetTileFields(TIFF *tif, const TilePage &p, const char *filename)
{
    static const uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
    std::vector<Field> fields = {
        {TIFFTAG_IMAGEWIDTH, p.width},
        {TIFFTAG_IMAGELENGTH, p.length},
        {TIFFTAG_BITSPERSAMPLE, p.bits},
        {TIFFTAG_SAMPLESPERPIXEL, p.samples},
        {TIFFTAG_PHOTOMETRIC,
         p.samples == 3 ? static_cast<uint32_t>(PHOTOMETRIC_RGB) : PHOTOMETRIC_MINISBLACK},
        {TIFFTAG_PLANARCONFIG, p.planar},
        {TIFFTAG_COMPRESSION, p.compression},
        {TIFFTAG_TILEWIDTH, p.tile_width},
        {TIFFTAG_TILELENGTH, p.tile_length},
    };
    if (p.predictor != PREDICTOR_NONE)
        fields.push_back({TIFFTAG_PREDICTOR, p.predictor});
    if (p.compression == COMPRESSION_ADOBE_DEFLATE)
        fields.push_back({TIFFTAG_ZIPQUALITY, 1});
    if (!SetFields(tif, fields, filename))
        return false;
    // A second sample of a grey image is an extra one.
    if (p.samples == 2 && !TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &alpha)) {
        probe::SayCantSet(TIFFTAG_EXTRASAMPLES, filename);
        return false;
    }
    return true;
}

bool SetStripFields(TIFF *tif, const StripPage &p, const char *filename)
{
    return SetFields(tif,
                     {
                         {TIFFTAG_IMAGEWIDTH, p.width},
                         {TIFFTAG_IMAGELENGTH, p.length},
                         {TIFFTAG_BITSPERSAMPLE, 8},
                         {TIFFTAG_SAMPLESPERPIXEL, 1},
                         {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
                         {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
                         {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
                         {TIFFTAG_ROWSPERSTRIP, p.rows_per_strip},
                     },
                     filename);
}

bool SameNumber(const char *filename, unsigned k, uint64_t got, uint64_t expect, const char *call,
                ...)
{
    if (got == expect)
        return true;
    char text[128];
    va_list ap;
    va_start(ap, call);
    // The analyzer loses track of va_start across the early return above.
    vsnprintf(text, sizeof(text), call, ap); // NOLINT(clang-analyzer-valist.Uninitialized)
    va_end(ap);
    probe::Say<probe::Line::NumberIs>(filename, k, text, got, expect);
    return false;
}

bool GoTo(TIFF *tif, unsigned k, const char *filename)
{
    const tdir_t current = TIFFCurrentDirectory(tif);
    if (current == k || (current + 1U == k ? TIFFReadDirectory(tif)
                                           : TIFFSetDirectory(tif, static_cast<tdir_t>(k))))
        return true;
    probe::SayCantDirectory("read", filename, probe::Page(k).c_str());
    return false;
}

} // namespace chunks
