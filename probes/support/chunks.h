// What tile_probe and strile_probe share: the pixel pattern of their
// chunks (strips and tiles), the fields of their pages, and the lines about
// the numbers the library gives for a page.
#ifndef TIFF_PROBES_CHUNKS_H
#define TIFF_PROBES_CHUNKS_H

#include <cstdint>
#include <vector>

#include <tiffio.h>

namespace chunks {

// Sample s of the pixel at (x, y) inside chunk c (a raw tile or strip number)
// of page k: distinct in every chunk and plane, with high and low bytes that
// differ, so a swapped or misplaced chunk shows.
uint16_t Sample(unsigned k, uint32_t c, uint32_t x, uint32_t y, uint32_t s, unsigned bits);

// A tiled page. No image size the probes use is a multiple of its tile
// size, so the last column and row of tiles are partial.
struct TilePage {
    uint32_t width;
    uint32_t length;
    uint32_t tile_width;
    uint32_t tile_length;
    uint16_t bits;
    uint16_t samples;
    uint16_t planar;
    uint16_t compression;
    uint16_t predictor;
    bool by_coordinates; // written with TIFFWriteTile, not TIFFWriteEncodedTile
};

uint32_t Across(const TilePage &p);
uint32_t Down(const TilePage &p);
uint32_t Planes(const TilePage &p);
uint32_t TileCount(const TilePage &p);
// Bytes of one row of a tile, and of a whole tile: every tile, edge tiles
// too, holds TileWidth x TileLength pixels.
uint32_t TileRowBytes(const TilePage &p);
uint32_t TileBytes(const TilePage &p);

// A striped page: 8-bit, one sample, uncompressed.
struct StripPage {
    uint32_t width;
    uint32_t length;
    uint32_t rows_per_strip;
};

uint32_t StripCount(const StripPage &p);
// The bytes of strip s of striped page k.
std::vector<uint8_t> StripImage(unsigned k, const StripPage &p, uint32_t s);

// Sets a page's fields; says "Can't set tag N in NAME." at the first one
// the library refuses.
bool SetTileFields(TIFF *tif, const TilePage &p, const char *filename);
bool SetStripFields(TIFF *tif, const StripPage &p, const char *filename);

// True when a number the library gives is the one expected; otherwise says
// "NAME: page K: CALL is GOT, expected EXPECT.", CALL formatted only then.
bool SameNumber(const char *filename, unsigned k, uint64_t got, uint64_t expect, const char *call,
                ...) __attribute__((format(printf, 5, 6)));

// Makes page k the handle's current one: the next page in sequence, any
// other through TIFFSetDirectory. Otherwise says "NAME: page K: can't read
// the directory.".
bool GoTo(TIFF *tif, unsigned k, const char *filename);

} // namespace chunks

#endif
