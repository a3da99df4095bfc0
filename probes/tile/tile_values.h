// tile_probe's values, shared with the test that holds them to the value
// rule (docs/contributing.md, "A field row"): one home for each table.
#ifndef TIFF_PROBES_TILE_VALUES_H
#define TIFF_PROBES_TILE_VALUES_H

#include <cstdint>

#include <tiffio.h>

#include "chunks.h"

namespace tiles {

// No page is square and no tile is, so a library that swaps ImageWidth and
// ImageLength, or TileWidth and TileLength, shows.
inline constexpr chunks::TilePage tile_pages[] = {
    // Tiles wider than long, three samples interleaved.
    {40, 20, 32, 16, 8, 3, PLANARCONFIG_CONTIG, COMPRESSION_NONE, PREDICTOR_NONE, false},
    // 16-bit samples, one set of tiles per plane.
    {20, 36, 16, 32, 16, 2, PLANARCONFIG_SEPARATE, COMPRESSION_NONE, PREDICTOR_NONE, true},
    {20, 40, 16, 32, 8, 2, PLANARCONFIG_SEPARATE, COMPRESSION_PACKBITS, PREDICTOR_NONE, false},
    // Two tiles across, both partial: the codec's setup is paid per tile.
    {40, 10, 32, 16, 16, 1, PLANARCONFIG_CONTIG, COMPRESSION_LZW, PREDICTOR_NONE, true},
    {20, 10, 16, 32, 8, 3, PLANARCONFIG_CONTIG, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL,
     false},
    // One partial tile per plane: every Deflate tile costs the codec's setup.
    {12, 10, 32, 16, 16, 2, PLANARCONFIG_SEPARATE, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL,
     true},
};
inline constexpr unsigned tile_page_count = sizeof(tile_pages) / sizeof(tile_pages[0]);

// The update in place replaces one tile of the LZW page with noise, which
// compresses to more bytes than the smooth tile it replaces, so the library
// must move it: the first tile, so that data written in its place would run
// over the tile after it.
inline constexpr unsigned updated_page = 3;
inline constexpr uint32_t updated_tile = 0;

} // namespace tiles

#endif
