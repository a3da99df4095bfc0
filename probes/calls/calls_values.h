// calls_probe's pages: shapes whose sizes TIFF 6.0's formulas give, each
// catching another rounding: bits that end inside a byte, 12-bit samples,
// planes, YCbCr data units that a row's width and a strip's height do not
// fill, tiles past the image's edge.
#ifndef TIFF_PROBES_CALLS_VALUES_H
#define TIFF_PROBES_CALLS_VALUES_H

#include <cstdint>

#include <tiffio.h>

namespace calls {

struct SizePage {
    const char *name;
    uint32_t width;
    uint32_t length;
    uint16_t bits;
    uint16_t samples;
    uint16_t planar;
    uint16_t photometric;
    uint32_t rows_per_strip; // 0: in tiles
    uint32_t tile_width;
    uint32_t tile_length;
    uint16_t sub_h; // YCbCrSubsampling, 0 for other data
    uint16_t sub_v;
};

inline constexpr SizePage size_pages[] = {
    {"bilevel", 13, 7, 1, 1, PLANARCONFIG_CONTIG, PHOTOMETRIC_MINISBLACK, 3, 0, 0, 0, 0},
    {"12-bit gray", 5, 6, 12, 1, PLANARCONFIG_CONTIG, PHOTOMETRIC_MINISBLACK, 4, 0, 0, 0, 0},
    {"RGB planes", 7, 5, 16, 3, PLANARCONFIG_SEPARATE, PHOTOMETRIC_RGB, 2, 0, 0, 0, 0},
    {"YCbCr 2x2", 7, 5, 8, 3, PLANARCONFIG_CONTIG, PHOTOMETRIC_YCBCR, 4, 0, 0, 2, 2},
    {"YCbCr 4x2", 9, 6, 8, 3, PLANARCONFIG_CONTIG, PHOTOMETRIC_YCBCR, 2, 0, 0, 4, 2},
    {"RGB tiles", 20, 40, 16, 3, PLANARCONFIG_CONTIG, PHOTOMETRIC_RGB, 0, 16, 32, 0, 0},
    {"YCbCr tiles", 20, 18, 8, 3, PLANARCONFIG_CONTIG, PHOTOMETRIC_YCBCR, 0, 16, 16, 2, 1},
    {"tiles in planes", 20, 18, 8, 3, PLANARCONFIG_SEPARATE, PHOTOMETRIC_RGB, 0, 16, 16, 0, 0},
};
inline constexpr unsigned size_page_count = sizeof(size_pages) / sizeof(size_pages[0]);

// The first raw write of chunk 0 of each page: the rest follows in a second
// call, which appends.
inline constexpr uint32_t first_part = 3;

} // namespace calls

#endif
