// strile_probe's values, shared with the test that holds them to the value
// rule (docs/contributing.md, "A field row"): one home for each table.
#ifndef TIFF_PROBES_STRILE_VALUES_H
#define TIFF_PROBES_STRILE_VALUES_H

#include <cstdint>

#include <tiffio.h>

#include "chunks.h"
#include "probe_support.h"

namespace striles {

// Strips of the page whose single striles are queried, an odd number, so a
// count rounded to an even one shows. One layout has the many strips where
// loading on demand matters; the library's own cost (it zeroes and converts
// both arrays whole) keeps the others smaller.
inline constexpr probe::PerLayout<uint32_t> many_strips[] = {
    {"queries_le.tif", 99999},
    {"queries_be.tif", 999},
    {"queries_le.btf", 999},
    {"queries_be.btf", 999},
};
// The page of many strips: one row of 4 pixels per strip.
inline constexpr uint32_t many_width = 4;
inline constexpr uint32_t many_rows_per_strip = 1;

// A strip array from which on-demand queries must read less than the whole.
inline constexpr uint64_t on_demand_array_bytes = uint64_t{64} * 1024;

// The queries' tiled page: tiles longer than wide on a page longer than
// wide, one column and three rows of tiles in each of three planes, so its
// nine tiles end in its last plane.
inline constexpr chunks::TilePage queried_tiles = {
    20, 40, 32, 16, 8, 3, PLANARCONFIG_SEPARATE, COMPRESSION_NONE, PREDICTOR_NONE, false};

// The deferred arrays' page, five strips.
inline constexpr chunks::StripPage deferred_strips = {16, 10, 2};

// The checkpointed page, seven strips, and the strips written before each
// checkpoint: the second checkpoint has more, so a file that keeps the first
// state shows, and the close writes more again.
inline constexpr chunks::StripPage checkpointed = {8, 14, 2};
inline constexpr uint32_t strips_at_checkpoint[] = {3, 5};

} // namespace striles

#endif
