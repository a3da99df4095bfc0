// manpage_probe's values, shared with the test that holds them to the value
// rule (docs/contributing.md, "A field row"): one home for each table.
#ifndef TIFF_PROBES_MANPAGE_VALUES_H
#define TIFF_PROBES_MANPAGE_VALUES_H

#include <cstdint>

#include <tiffio.h>

namespace manpage {

// The stripped page: 8-bit gray, 10 rows in strips of 4, so the last strip
// is short. The pages of a three-page file differ in width, and none is as
// wide as it is long.
inline constexpr uint32_t page_widths[] = {12, 13, 14};
inline constexpr uint32_t length = 10;
inline constexpr uint32_t rows_per_strip = 4;
inline constexpr uint32_t strips = (length + rows_per_strip - 1) / rows_per_strip;
inline constexpr uint32_t width = page_widths[0];

// The tiled page: 70 x 80 in tiles 16 wide and 32 long, 5 across and 3
// down, the last column and row partial: more than one row, so a tile's
// place that ignores y shows.
inline constexpr uint32_t tiled_width = 70;
inline constexpr uint32_t tiled_length = 80;
inline constexpr uint32_t tile_width = 16;
inline constexpr uint32_t tile_length = 32;
inline constexpr uint32_t tiles_across = (tiled_width + tile_width - 1) / tile_width;
inline constexpr uint32_t tiles = tiles_across * ((tiled_length + tile_length - 1) / tile_length);
// A strip read past the end, past every tile of the tiled page too, so a
// fault aimed at a tile past the last misses it.
inline constexpr uint32_t far_strip = tiles + 2;

// What TIFFSetField(3tiff)'s promises set: the texts read back (the
// description set twice, a longer text first), the width a page that holds
// a strip must refuse, and the PlanarConfiguration a refused value must
// leave (not the default, which a reset would give).
inline constexpr char first_description[] = "manpage_probe, set first, through TIFFVSetField.";
inline constexpr char description[] = "manpage_probe, through TIFFSetField.";
inline constexpr char artist[] = "manpage_probe, through TIFFVSetField";
inline constexpr uint32_t refused_width = width + 9;
inline constexpr uint16_t kept_planar = PLANARCONFIG_SEPARATE;
inline constexpr uint16_t bad_planar = 3;

} // namespace manpage

#endif
