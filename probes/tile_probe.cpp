// Proves that tiled images survive write, close, reopen and read in both byte
// orders and both formats: tile geometry, the tile arrays the library gives
// and the ones on disk, every tile's pixels, an update in place; then the
// newer strile interfaces: queries of single striles, loaded on demand ("O")
// or not, strile arrays written after the data, and a directory
// checkpointed while a second handle reads it.
#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include "ifd_reader.h"
#include "probe_support.h"

namespace {

struct Layout {
    const char *filename;
    const char *mode;
    bool big_endian;
    bool bigtiff;
    // Strips of the page whose single striles are queried. One layout has the
    // many strips where loading on demand matters; the library's own cost
    // (it zeroes and converts both arrays whole) keeps the others smaller.
    uint32_t strips;
};

// A strip array from which on-demand queries must read less than the whole.
constexpr uint64_t on_demand_array_bytes = uint64_t{64} * 1024;

constexpr Layout layouts[] = {
    {"tiles_le.tif", "wl", false, false, 100000},
    {"tiles_be.tif", "wb", true, false, 1000},
    {"tiles_le.btf", "w8l", false, true, 1000},
    {"tiles_be.btf", "w8b", true, true, 1000},
};

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

// No image size is a multiple of its tile size, so the last column and row of
// tiles are partial.
constexpr TilePage tile_pages[] = {
    // Tiles that are not square, three samples interleaved.
    {40, 20, 32, 16, 8, 3, PLANARCONFIG_CONTIG, COMPRESSION_NONE, PREDICTOR_NONE, false},
    // 16-bit samples, one set of tiles per plane.
    {20, 20, 16, 16, 16, 2, PLANARCONFIG_SEPARATE, COMPRESSION_NONE, PREDICTOR_NONE, true},
    {20, 40, 16, 32, 8, 2, PLANARCONFIG_SEPARATE, COMPRESSION_PACKBITS, PREDICTOR_NONE, false},
    // Two tiles across, both partial: the codec's setup is paid per tile.
    {20, 10, 16, 16, 16, 1, PLANARCONFIG_CONTIG, COMPRESSION_LZW, PREDICTOR_NONE, true},
    {20, 10, 16, 16, 8, 3, PLANARCONFIG_CONTIG, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL,
     false},
    // One partial tile per plane: every Deflate tile costs the codec's setup.
    {10, 10, 16, 16, 16, 2, PLANARCONFIG_SEPARATE, COMPRESSION_ADOBE_DEFLATE, PREDICTOR_HORIZONTAL,
     true},
};
constexpr unsigned tile_page_count = sizeof(tile_pages) / sizeof(tile_pages[0]);

// The update in place replaces one tile of the LZW page with noise, which
// compresses to more bytes than the smooth tile it replaces, so the library
// must move it: the first tile, so that data written in its place would run
// over the tile after it.
constexpr unsigned updated_page = 3;
constexpr uint32_t updated_tile = 0;
// The tiled page whose single tiles are queried: its last tiles are in its
// last plane.
constexpr unsigned queried_page = 1;
// The last reading handle visits these pages in this order.
static_assert(queried_page < updated_page, "the pages are read in order");

// Striped pages: 8-bit, one sample, uncompressed.
struct StripPage {
    uint32_t width;
    uint32_t length;
    uint32_t rows_per_strip;
};

// The page after the tiled ones, its strip arrays written after its data.
constexpr unsigned deferred_page = tile_page_count;
constexpr StripPage deferred_strips = {16, 8, 2};
// Appended next: the page of single strile queries (its length is the
// layout's strip count), then the page checkpointed halfway.
constexpr unsigned strile_page = deferred_page + 1;
constexpr unsigned checkpoint_page = strile_page + 1;
constexpr StripPage checkpoint_strips = {8, 6, 1};
constexpr uint32_t strips_before_checkpoint = 3;

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

// Bytes of one row of a tile, and of a whole tile: every tile, edge tiles
// too, holds TileWidth x TileLength pixels.
uint32_t TileRowBytes(const TilePage &p)
{
    return p.tile_width * (p.samples / Planes(p)) * p.bits / 8;
}

uint32_t TileBytes(const TilePage &p)
{
    return TileRowBytes(p) * p.tile_length;
}

bool HostBigEndian()
{
    const uint16_t one = 1;
    uint8_t first;
    memcpy(&first, &one, 1);
    return first == 0;
}

// Sample s of the pixel at (x, y) inside chunk c (a raw tile or strip number)
// of page k: distinct in every chunk and plane, with high and low bytes that
// differ, so a swapped or misplaced chunk shows.
uint16_t Sample(unsigned k, uint32_t c, uint32_t x, uint32_t y, uint32_t s, unsigned bits)
{
    const uint32_t v = k * 0x3501U + c * 0x0B17U + y * 0x0103U + x * 0x0011U + s * 0x2221U;
    return static_cast<uint16_t>(bits == 8 ? v & 0xFFU : v & 0xFFFFU);
}

// The bytes of tile t of tiled page k in the host's byte order, row by row:
// each sample is the previous one plus a constant step.
std::vector<uint8_t> TileImage(unsigned k, uint32_t t)
{
    const TilePage &p = tile_pages[k];
    const uint32_t per_pixel = p.samples / Planes(p);
    const uint32_t plane = t / (Across(p) * Down(p));
    std::vector<uint8_t> out(TileBytes(p));
    uint8_t *o = out.data();

    for (uint32_t y = 0; y < p.tile_length; y++) {
        const uint16_t row = Sample(k, t, 0, y, plane, 16);
        for (uint32_t x = 0; x < p.tile_width; x++) {
            for (uint32_t s = 0; s < per_pixel; s++) {
                const auto v = static_cast<uint16_t>(row + x * 0x0011U + s * 0x2221U);
                if (p.bits == 8) {
                    *o++ = static_cast<uint8_t>(v);
                    continue;
                }
                memcpy(o, &v, 2);
                o += 2;
            }
        }
    }
    return out;
}

// Every tile in the host's byte order, made once for all layouts.
const std::vector<uint8_t> &HostTile(unsigned k, uint32_t t)
{
    static std::vector<std::vector<uint8_t>> tiles[tile_page_count];
    std::vector<std::vector<uint8_t>> &page = tiles[k];

    if (page.empty()) {
        for (uint32_t i = 0; i < TileCount(tile_pages[k]); i++)
            page.push_back(TileImage(k, i));
    }
    return page[t];
}

// Tile t of page k as the file holds it, in its byte order.
std::vector<uint8_t> FileTile(unsigned k, uint32_t t, bool big_endian)
{
    std::vector<uint8_t> out = HostTile(k, t);
    if (tile_pages[k].bits == 16 && big_endian != HostBigEndian()) {
        for (size_t i = 0; i + 1 < out.size(); i += 2)
            std::swap(out[i], out[i + 1]);
    }
    return out;
}

// The tile that replaces updated_tile: noise, which LZW cannot shorten.
const std::vector<uint8_t> &UpdateImage()
{
    static const std::vector<uint8_t> noise = [] {
        std::vector<uint8_t> out(TileBytes(tile_pages[updated_page]));
        uint32_t seed = 2463534242U;
        for (uint8_t &b : out) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            b = static_cast<uint8_t>(seed);
        }
        return out;
    }();
    return noise;
}

// What tile t of page k holds, as the library gives it back.
const std::vector<uint8_t> &ExpectedTile(unsigned k, uint32_t t, bool updated)
{
    if (updated && k == updated_page && t == updated_tile)
        return UpdateImage();
    return HostTile(k, t);
}

std::vector<uint8_t> StripImage(unsigned k, const StripPage &p, uint32_t strip)
{
    std::vector<uint8_t> out(static_cast<size_t>(p.width) * p.rows_per_strip);
    for (uint32_t y = 0; y < p.rows_per_strip; y++) {
        for (uint32_t x = 0; x < p.width; x++)
            out[static_cast<size_t>(y) * p.width + x] =
                static_cast<uint8_t>(Sample(k, strip, x, y, 0, 8));
    }
    return out;
}

uint32_t StripCount(const StripPage &p)
{
    return (p.length + p.rows_per_strip - 1) / p.rows_per_strip;
}

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
    probe::Say("Can't set tag %lu in %s.", static_cast<unsigned long>(refused->tag), filename);
    return false;
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
        probe::Say("Can't set tag %d in %s.", TIFFTAG_EXTRASAMPLES, filename);
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

// The origin of tile t, and its sample plane.
void TileOrigin(const TilePage &p, uint32_t t, uint32_t *x, uint32_t *y, uint16_t *plane)
{
    const uint32_t per_plane = Across(p) * Down(p);
    *plane = static_cast<uint16_t>(t / per_plane);
    *x = (t % per_plane) % Across(p) * p.tile_width;
    *y = (t % per_plane) / Across(p) * p.tile_length;
}

// The last pixel of tile t that lies inside the image.
void TileLastPixel(const TilePage &p, uint32_t t, uint32_t *x, uint32_t *y)
{
    uint16_t plane;
    TileOrigin(p, t, x, y, &plane);
    *x = std::min(*x + p.tile_width, p.width) - 1;
    *y = std::min(*y + p.tile_length, p.length) - 1;
}

// The library may byte-swap the buffer it is given, so each call gets a copy.
bool WriteTile(TIFF *tif, unsigned k, uint32_t t, const char *filename)
{
    const TilePage &p = tile_pages[k];
    std::vector<uint8_t> buf = HostTile(k, t);
    const auto size = static_cast<tmsize_t>(buf.size());
    tmsize_t written;

    if (p.by_coordinates) {
        uint32_t x;
        uint32_t y;
        uint16_t plane;
        TileOrigin(p, t, &x, &y, &plane);
        written = TIFFWriteTile(tif, buf.data(), x, y, 0, plane);
    } else {
        written = TIFFWriteEncodedTile(tif, t, buf.data(), size);
    }
    // The write calls return -1 on error; TIFFWriteTile the tile size.
    if (written != size) {
        probe::Say("Can't write image data in %s.", filename);
        return false;
    }
    return true;
}

bool WriteTilePages(TIFF *tif, const char *filename)
{
    for (unsigned k = 0; k < tile_page_count; k++) {
        if (!SetTileFields(tif, tile_pages[k], filename))
            return false;
        for (uint32_t t = 0; t < TileCount(tile_pages[k]); t++) {
            if (!WriteTile(tif, k, t, filename))
                return false;
        }
        if (!TIFFWriteDirectory(tif)) {
            probe::Say("%s: page %u: TIFFWriteDirectory failed.", filename, k);
            return false;
        }
    }
    return true;
}

bool WriteStrips(TIFF *tif, unsigned k, const StripPage &p, uint32_t first, uint32_t end,
                 const char *filename)
{
    for (uint32_t s = first; s < end; s++) {
        std::vector<uint8_t> buf = StripImage(k, p, s);
        if (TIFFWriteEncodedStrip(tif, s, buf.data(), static_cast<tmsize_t>(buf.size())) <= 0) {
            probe::Say("Can't write image data in %s.", filename);
            return false;
        }
    }
    return true;
}

bool SayOnDisk(const char *filename, const ifd::Error &err)
{
    probe::Say("%s: IFD at %" PRIu64 ": %s.", filename, err.offset, err.what.c_str());
    return false;
}

// Every strip of striped page k, at the IFD at `ifd_offset`, holds its
// data on disk; read value by value, so that a directory of many strips
// costs nothing here.
bool StripsOnDisk(const std::vector<uint8_t> &bytes, uint64_t ifd_offset, unsigned k,
                  const StripPage &p, const char *filename)
{
    for (uint32_t s = 0; s < StripCount(p); s++) {
        uint64_t offset = 0;
        uint64_t count = 0;
        ifd::Error err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset,
                                      ifd::tag::StripOffsets, s, &offset);
        if (!err)
            err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset, ifd::tag::StripByteCounts, s,
                               &count);
        if (err)
            return SayOnDisk(filename, err);
        if (!probe::ChunkHolds(bytes, offset, count, StripImage(k, p, s), "strip", s, k, filename))
            return false;
    }
    return true;
}

// The file as it is on disk now, and the offsets of its IFDs; says what
// keeps it from being read.
bool LoadChain(const char *filename, std::vector<uint8_t> *bytes, std::vector<uint64_t> *chain)
{
    ifd::Error err = ifd::LoadFile(filename, bytes);
    if (!err)
        err = ifd::ChainOffsets(bytes->data(), bytes->size(), chain);
    return !err || SayOnDisk(filename, err);
}

bool PageCountOnDisk(const char *filename, const std::vector<uint64_t> &chain, unsigned pages)
{
    if (chain.size() == pages)
        return true;
    probe::Say("%s: IFD at %" PRIu64 ": %lu IFDs in the file, expected %u.", filename,
               chain.empty() ? 0 : chain.front(), static_cast<unsigned long>(chain.size()), pages);
    return false;
}

// The arrays are deferred, the directory written with room for them, the
// data written into it, and only then the arrays: they are in the file as
// soon as TIFFForceStrileArrayWriting returns, not only after the close.
bool WriteDeferredPage(TIFF *tif, const char *filename)
{
    const unsigned k = deferred_page;

    if (!SetStripFields(tif, deferred_strips, filename))
        return false;
    if (!TIFFDeferStrileArrayWriting(tif) || !TIFFWriteCheck(tif, 0, "tile_probe") ||
        !TIFFWriteDirectory(tif) || !TIFFSetDirectory(tif, static_cast<tdir_t>(k))) {
        probe::Say("%s: page %u: can't defer the strip arrays.", filename, k);
        return false;
    }
    if (!WriteStrips(tif, k, deferred_strips, 0, StripCount(deferred_strips), filename))
        return false;
    if (!TIFFForceStrileArrayWriting(tif)) {
        probe::Say("%s: page %u: TIFFForceStrileArrayWriting failed.", filename, k);
        return false;
    }
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> chain;
    return LoadChain(filename, &bytes, &chain) && PageCountOnDisk(filename, chain, k + 1) &&
           StripsOnDisk(bytes, chain[k], k, deferred_strips, filename);
}

void PrintWrong(ttag_t tag, const char *filename, const char *what, uint64_t got, uint64_t expect)
{
    probe::Say("Wrong LONG value fetched for tag %lu in %s: %s is 0x%" PRIx64
               ", expected 0x%" PRIx64 ".",
               static_cast<unsigned long>(tag), filename, what, got, expect);
}

bool FetchU32(TIFF *tif, ttag_t tag, uint32_t expect, const char *filename)
{
    uint32_t got = 0;
    if (!TIFFGetField(tif, tag, &got)) {
        probe::Say("Problem fetching tag %lu in %s.", static_cast<unsigned long>(tag), filename);
        return false;
    }
    if (got != expect) {
        PrintWrong(tag, filename, "value 0", got, expect);
        return false;
    }
    return true;
}

// True when a number the library gives is the one expected; otherwise says
// "NAME: page K: CALL is GOT, expected EXPECT.", CALL formatted only then.
bool SameNumber(const char *filename, unsigned k, uint64_t got, uint64_t expect, const char *call,
                ...) __attribute__((format(printf, 5, 6)));

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
    probe::Say("%s: page %u: %s is %" PRIu64 ", expected %" PRIu64 ".", filename, k, text, got,
               expect);
    return false;
}

// The tile functions against the values the geometry gives.
bool CheckTileGeometry(TIFF *tif, unsigned k, const char *filename)
{
    const TilePage &p = tile_pages[k];

    if (!TIFFIsTiled(tif)) {
        probe::Say("%s: page %u: not tiled.", filename, k);
        return false;
    }
    if (!FetchU32(tif, TIFFTAG_TILEWIDTH, p.tile_width, filename) ||
        !FetchU32(tif, TIFFTAG_TILELENGTH, p.tile_length, filename) ||
        !SameNumber(filename, k, TIFFNumberOfTiles(tif), TileCount(p), "TIFFNumberOfTiles") ||
        !SameNumber(filename, k, static_cast<uint64_t>(TIFFTileSize(tif)), TileBytes(p),
                    "TIFFTileSize") ||
        !SameNumber(filename, k, static_cast<uint64_t>(TIFFTileRowSize(tif)), TileRowBytes(p),
                    "TIFFTileRowSize"))
        return false;
    for (uint32_t t = 0; t < TileCount(p); t++) {
        uint32_t x[2];
        uint32_t y[2];
        uint16_t plane;
        TileOrigin(p, t, &x[0], &y[0], &plane);
        TileLastPixel(p, t, &x[1], &y[1]);
        for (int i = 0; i < 2; i++) {
            if (!SameNumber(filename, k, TIFFComputeTile(tif, x[i], y[i], 0, plane), t,
                            "TIFFComputeTile(%u, %u, 0, %u)", x[i], y[i], plane) ||
                !SameNumber(filename, k, TIFFCheckTile(tif, x[i], y[i], 0, plane) != 0, 1,
                            "TIFFCheckTile(%u, %u, 0, %u) != 0", x[i], y[i], plane))
                return false;
        }
    }
    // Just outside the image, and a plane past the last: refused, and the
    // library's message about it is expected.
    struct Point {
        uint32_t x;
        uint32_t y;
        uint16_t s;
    };
    const Point outside[] = {
        {p.width, 0, 0},
        {0, p.length, 0},
        {0, 0, static_cast<uint16_t>(p.planar == PLANARCONFIG_SEPARATE ? p.samples : 0)},
    };
    return std::all_of(std::begin(outside), std::end(outside), [&](const Point &o) {
        if (o.x < p.width && o.y < p.length && o.s == 0)
            return true;
        const probe::ExpectedMessages expected;
        return SameNumber(filename, k, TIFFCheckTile(tif, o.x, o.y, 0, o.s) != 0, 0,
                          "TIFFCheckTile(%u, %u, 0, %u) != 0", o.x, o.y, o.s);
    });
}

// The arrays TIFFGetField gives against the file's own.
bool CheckTileArrays(TIFF *tif, unsigned k, const ifd::Directory &dir, const char *filename)
{
    const uint32_t n = TileCount(tile_pages[k]);

    for (ttag_t tag : {TIFFTAG_TILEOFFSETS, TIFFTAG_TILEBYTECOUNTS}) {
        const uint64_t *got = nullptr;
        const ifd::Entry *disk = ifd::FindEntry(dir, static_cast<uint16_t>(tag));
        if (!TIFFGetField(tif, tag, &got) || !got) {
            probe::Say("Problem fetching tag %lu in %s.", static_cast<unsigned long>(tag),
                       filename);
            return false;
        }
        for (uint32_t t = 0; t < n; t++) {
            if (got[t] != disk->values[t]) {
                probe::Say("Wrong %s value fetched for tag %lu in %s: tile %lu of page %u is "
                           "0x%" PRIx64 ", on disk 0x%" PRIx64 ".",
                           ifd::TypeName(disk->type), static_cast<unsigned long>(tag), filename,
                           static_cast<unsigned long>(t), k, got[t], disk->values[t]);
                return false;
            }
        }
    }
    return true;
}

bool SameTile(const std::vector<uint8_t> &got, tmsize_t n, const std::vector<uint8_t> &expect,
              uint32_t t, unsigned k, const char *filename)
{
    if (n == static_cast<tmsize_t>(expect.size()) && got == expect)
        return true;
    probe::Say("Wrong image data in tile %lu of %s, page %u.", static_cast<unsigned long>(t),
               filename, k);
    return false;
}

// Every tile, read by number and, before the update, by a pixel inside it.
bool CheckTilePixels(TIFF *tif, unsigned k, bool updated, const char *filename)
{
    const TilePage &p = tile_pages[k];
    std::vector<uint8_t> got(TileBytes(p));

    for (uint32_t t = 0; t < TileCount(p); t++) {
        const std::vector<uint8_t> &expect = ExpectedTile(k, t, updated);
        uint32_t x;
        uint32_t y;
        uint16_t plane;
        std::fill(got.begin(), got.end(), 0);
        tmsize_t n = TIFFReadEncodedTile(tif, t, got.data(), static_cast<tmsize_t>(got.size()));
        if (!SameTile(got, n, expect, t, k, filename))
            return false;
        if (updated)
            continue;
        std::fill(got.begin(), got.end(), 0);
        TileOrigin(p, t, &x, &y, &plane);
        TileLastPixel(p, t, &x, &y);
        n = TIFFReadTile(tif, got.data(), x, y, 0, plane);
        if (!SameTile(got, n, expect, t, k, filename))
            return false;
    }
    return true;
}

bool CheckStripPixels(TIFF *tif, unsigned k, const StripPage &p, uint32_t end, const char *filename)
{
    for (uint32_t s = 0; s < end; s++) {
        const std::vector<uint8_t> expect = StripImage(k, p, s);
        std::vector<uint8_t> got(expect.size());
        const tmsize_t n =
            TIFFReadEncodedStrip(tif, s, got.data(), static_cast<tmsize_t>(got.size()));
        if (n != static_cast<tmsize_t>(expect.size()) || got != expect) {
            probe::Say("Wrong image data in strip %lu of %s.", static_cast<unsigned long>(s),
                       filename);
            return false;
        }
    }
    return true;
}

// The next page is read in sequence, which costs one directory read; any
// other through TIFFSetDirectory.
bool GoTo(TIFF *tif, unsigned k, const char *filename)
{
    const tdir_t current = TIFFCurrentDirectory(tif);
    if (current == k || (current + 1U == k ? TIFFReadDirectory(tif)
                                           : TIFFSetDirectory(tif, static_cast<tdir_t>(k))))
        return true;
    probe::Say("%s: page %u: can't read the directory.", filename, k);
    return false;
}

// Every page through the library, the tile arrays against the file's.
bool CheckPages(TIFF *tif, const ifd::File &file, const char *filename)
{
    for (unsigned k = 0; k < tile_page_count; k++) {
        if (!GoTo(tif, k, filename) || !CheckTileGeometry(tif, k, filename) ||
            !CheckTileArrays(tif, k, file.chain[k], filename) ||
            !CheckTilePixels(tif, k, false, filename))
            return false;
    }
    return GoTo(tif, deferred_page, filename) &&
           CheckStripPixels(tif, deferred_page, deferred_strips, StripCount(deferred_strips),
                            filename);
}

bool CheckTagOnDisk(const ifd::Directory &dir, uint16_t tag, uint32_t expect, const char *filename)
{
    const ifd::Entry *e = ifd::FindEntry(dir, tag);
    if (e && (e->type == ifd::SHORT || e->type == ifd::LONG) && e->values.size() == 1 &&
        e->values[0] == expect)
        return true;
    probe::Say("%s: tag %u on disk: missing, or not SHORT or LONG %lu.", filename, tag,
               static_cast<unsigned long>(expect));
    return false;
}

// The tiled pages and the deferred page as the file's bytes hold them.
bool CheckOnDisk(const Layout &layout, probe::OnDisk *disk)
{
    const char *name = layout.filename;
    const ifd::Error err = probe::ReadOnDisk(name, disk);
    const ifd::File &file = disk->file;

    if (err || !file.has_header) {
        probe::Say("%s: header: %s.", name, (err ? err : file.problems[0]).what.c_str());
        return false;
    }
    const ifd::Header &header = file.header;
    if (header.big_endian != layout.big_endian || header.bigtiff != layout.bigtiff) {
        probe::Say("%s: header: %s version %d, expected %s version %d.", name,
                   header.big_endian ? "MM" : "II", header.bigtiff ? 43 : 42,
                   layout.big_endian ? "MM" : "II", layout.bigtiff ? 43 : 42);
        return false;
    }
    if (!probe::NoProblems(name, file))
        return false;
    if (file.chain.size() != deferred_page + 1) {
        probe::Say("%s: IFD at %" PRIu64 ": %lu IFDs in the file, expected %u.", name,
                   header.first_ifd, static_cast<unsigned long>(file.chain.size()),
                   deferred_page + 1);
        return false;
    }
    const std::vector<uint8_t> &bytes = disk->bytes;
    for (unsigned k = 0; k <= deferred_page; k++) {
        const ifd::Directory &dir = file.chain[k];
        if (!probe::TagsAscending(dir, name) || !probe::WordAligned(dir, name))
            return false;
    }
    for (unsigned k = 0; k < tile_page_count; k++) {
        const TilePage &p = tile_pages[k];
        const ifd::Directory &dir = file.chain[k];
        if (!CheckTagOnDisk(dir, ifd::tag::TileWidth, p.tile_width, name) ||
            !CheckTagOnDisk(dir, ifd::tag::TileLength, p.tile_length, name) ||
            !probe::ChunksInside(dir, bytes.size(), ifd::tag::TileOffsets, ifd::tag::TileByteCounts,
                                 TileCount(p), "tile", name) ||
            !probe::ChunksApart(dir, ifd::tag::TileOffsets, ifd::tag::TileByteCounts, "tile", name))
            return false;
        if (p.compression != COMPRESSION_NONE)
            continue;
        const ifd::Entry *offsets = ifd::FindEntry(dir, ifd::tag::TileOffsets);
        const ifd::Entry *counts = ifd::FindEntry(dir, ifd::tag::TileByteCounts);
        for (uint32_t t = 0; t < TileCount(p); t++) {
            if (!probe::ChunkHolds(bytes, offsets->values[t], counts->values[t],
                                   FileTile(k, t, layout.big_endian), "tile", t, k, name))
                return false;
        }
    }
    // The deferred arrays point at exactly the data written.
    const ifd::Directory &dir = file.chain[deferred_page];
    const uint32_t n = StripCount(deferred_strips);
    if (!probe::ChunksInside(dir, bytes.size(), ifd::tag::StripOffsets, ifd::tag::StripByteCounts,
                             n, "strip", name))
        return false;
    for (uint32_t s = 0; s < n; s++) {
        if (!probe::ChunkHolds(bytes, ifd::FindEntry(dir, ifd::tag::StripOffsets)->values[s],
                               ifd::FindEntry(dir, ifd::tag::StripByteCounts)->values[s],
                               StripImage(deferred_page, deferred_strips, s), "strip", s,
                               deferred_page, name))
            return false;
    }
    return true;
}

// Replaces one tile in place; its new data takes more room than the old.
bool UpdateTile(TIFF *tif, const char *filename)
{
    std::vector<uint8_t> buf = UpdateImage();
    if (!GoTo(tif, updated_page, filename))
        return false;
    if (TIFFWriteEncodedTile(tif, updated_tile, buf.data(), static_cast<tmsize_t>(buf.size())) !=
        static_cast<tmsize_t>(buf.size())) {
        probe::Say("Can't write image data in %s.", filename);
        return false;
    }
    return true;
}

// A file handle whose reads are counted: proof that a query on demand reads
// a few values, not whole arrays.
struct CountedFile {
    int fd = -1;
    uint64_t bytes_read = 0;
};

// The bytes read so far through a handle that OpenCounted opened: the
// library's reads add to them through its client data.
uint64_t BytesRead(TIFF *tif)
{
    return static_cast<const CountedFile *>(TIFFClientdata(tif))->bytes_read;
}

tmsize_t CountedRead(thandle_t h, void *buf, tmsize_t size)
{
    auto *f = static_cast<CountedFile *>(h);
    const ssize_t n = read(f->fd, buf, static_cast<size_t>(size));
    if (n > 0)
        f->bytes_read += static_cast<uint64_t>(n);
    return n;
}

tmsize_t NoWrite(thandle_t /*h*/, void * /*buf*/, tmsize_t /*size*/)
{
    return -1;
}

toff_t CountedSeek(thandle_t h, toff_t offset, int whence)
{
    return static_cast<toff_t>(
        lseek(static_cast<CountedFile *>(h)->fd, static_cast<off_t>(offset), whence));
}

int CountedClose(thandle_t h)
{
    return close(static_cast<CountedFile *>(h)->fd);
}

toff_t CountedSize(thandle_t h)
{
    struct stat st;
    return fstat(static_cast<CountedFile *>(h)->fd, &st) == 0 ? static_cast<toff_t>(st.st_size) : 0;
}

int NoMap(thandle_t /*h*/, void ** /*base*/, toff_t * /*size*/)
{
    return 0;
}

void NoUnmap(thandle_t /*h*/, void * /*base*/, toff_t /*size*/) {}

probe::Tiff OpenCounted(const char *filename, const char *mode, CountedFile *file)
{
    file->fd = open(filename, O_RDONLY);
    if (file->fd < 0) {
        probe::Say("Can't open test TIFF file %s.", filename);
        return probe::Tiff();
    }
    probe::Tiff tif(TIFFClientOpen(filename, mode, file, CountedRead, NoWrite, CountedSeek,
                                   CountedClose, CountedSize, NoMap, NoUnmap));
    if (!tif) {
        close(file->fd);
        probe::Say("Can't open test TIFF file %s.", filename);
    }
    return tif;
}

// The striles queried on one page: the first, one in the middle and the
// last, with their values on disk.
struct Queried {
    unsigned page;
    bool tiled;
    uint32_t count;
    uint32_t striles[3];
    uint64_t offsets[3];
    uint64_t counts[3];
};

Queried MakeQueried(unsigned page, bool tiled, uint32_t count)
{
    return {page, tiled, count, {0, count / 2, count - 1}, {0, 0, 0}, {0, 0, 0}};
}

bool ReadQueried(const std::vector<uint8_t> &bytes, uint64_t ifd_offset, Queried *q,
                 const char *filename)
{
    const uint16_t offsets_tag = q->tiled ? ifd::tag::TileOffsets : ifd::tag::StripOffsets;
    const uint16_t counts_tag = q->tiled ? ifd::tag::TileByteCounts : ifd::tag::StripByteCounts;
    for (int i = 0; i < 3; i++) {
        ifd::Error err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset, offsets_tag,
                                      q->striles[i], &q->offsets[i]);
        if (!err)
            err = ifd::ValueAt(bytes.data(), bytes.size(), ifd_offset, counts_tag, q->striles[i],
                               &q->counts[i]);
        if (err)
            return SayOnDisk(filename, err);
    }
    return true;
}

// Single strile queries on an open handle against the values on disk, and
// past the last strile an error.
bool CheckQueries(TIFF *tif, const Queried &q, const char *how, const char *filename)
{
    const char *const calls[4] = {"TIFFGetStrileOffset", "TIFFGetStrileOffsetWithErr",
                                  "TIFFGetStrileByteCount", "TIFFGetStrileByteCountWithErr"};

    if (!GoTo(tif, q.page, filename))
        return false;
    for (int i = 0; i < 3; i++) {
        const uint32_t s = q.striles[i];
        int err[2] = {1, 1};
        const uint64_t got[4] = {
            TIFFGetStrileOffset(tif, s), TIFFGetStrileOffsetWithErr(tif, s, &err[0]),
            TIFFGetStrileByteCount(tif, s), TIFFGetStrileByteCountWithErr(tif, s, &err[1])};
        for (int c = 0; c < 4; c++) {
            if (!SameNumber(filename, q.page, got[c], c < 2 ? q.offsets[i] : q.counts[i],
                            "%s(%lu)%s", calls[c], static_cast<unsigned long>(s), how))
                return false;
        }
        for (int c = 0; c < 2; c++) {
            if (!SameNumber(filename, q.page, static_cast<uint64_t>(err[c]), 0,
                            "the error of %s(%lu)%s", calls[2 * c + 1],
                            static_cast<unsigned long>(s), how))
                return false;
        }
    }
    int err[2] = {0, 0};
    {
        const probe::ExpectedMessages expected;
        TIFFGetStrileOffsetWithErr(tif, q.count, &err[0]);
        TIFFGetStrileByteCountWithErr(tif, q.count, &err[1]);
    }
    for (int c = 0; c < 2; c++) {
        if (!SameNumber(filename, q.page, static_cast<uint64_t>(err[c]), 1,
                        "the error of %s(%lu)%s", calls[2 * c + 1],
                        static_cast<unsigned long>(q.count), how))
            return false;
    }
    return true;
}

StripPage StrilePage(const Layout &layout)
{
    return {4, layout.strips, 1};
}

// Appended in one session: the page of many strips, only the queried ones
// written (the others stay empty, offset and count 0, which costs the
// library nothing per strip), then a page checkpointed after part of its
// strips, which a second handle opened at that moment must read with those
// strips.
bool AppendPages(const Layout &layout)
{
    const char *name = layout.filename;
    const StripPage many = StrilePage(layout);
    const Queried q = MakeQueried(strile_page, false, layout.strips);
    const StripPage &p = checkpoint_strips;
    const unsigned k = checkpoint_page;
    const probe::Tiff writer = probe::Reopen(name, "a");

    if (!writer || !SetStripFields(writer, many, name))
        return false;
    for (uint32_t s : q.striles) {
        if (!WriteStrips(writer, strile_page, many, s, s + 1, name))
            return false;
    }
    if (!TIFFWriteDirectory(writer)) {
        probe::Say("%s: page %u: TIFFWriteDirectory failed.", name, strile_page);
        return false;
    }
    if (!SetStripFields(writer, p, name) ||
        !WriteStrips(writer, k, p, 0, strips_before_checkpoint, name))
        return false;
    if (!TIFFCheckpointDirectory(writer)) {
        probe::Say("%s: page %u: TIFFCheckpointDirectory failed.", name, k);
        return false;
    }
    {
        // "h": the header only; page 0 would cost a directory read unused.
        const probe::Tiff reader = probe::Reopen(name, "rh");
        if (!reader ||
            !SameNumber(name, k, TIFFNumberOfDirectories(reader), k + 1,
                        "the page count a reader finds at the checkpoint") ||
            !GoTo(reader, k, name) ||
            !CheckStripPixels(reader, k, p, strips_before_checkpoint, name))
            return false;
        for (uint32_t s = strips_before_checkpoint; s < StripCount(p); s++) {
            if (!SameNumber(name, k, TIFFGetStrileByteCount(reader, s), 0,
                            "TIFFGetStrileByteCount(%lu) at the checkpoint",
                            static_cast<unsigned long>(s)))
                return false;
        }
    }
    return WriteStrips(writer, k, p, strips_before_checkpoint, StripCount(p), name);
}

// On demand ("O"): the queries and the last strip's pixels read a few
// values, never a whole array.
bool CheckOnDemand(const Layout &layout, const Queried queried[2])
{
    const char *name = layout.filename;
    CountedFile counted;
    // "h": page 0 is not read, only the query pages.
    const probe::Tiff tif = OpenCounted(name, "rOh", &counted);

    if (!tif)
        return false;
    const uint64_t array_bytes = uint64_t{layout.strips} * (layout.bigtiff ? 8 : 4);
    for (int i = 0; i < 2; i++) {
        const uint64_t start = BytesRead(tif);
        if (!CheckQueries(tif, queried[i], " in \"O\" mode", name))
            return false;
        // On demand the queries read a few values, not the arrays. The
        // library reads them in windows of a few KB, so only arrays far
        // larger than that tell the two apart (the page of many strips).
        const uint64_t queries_read = BytesRead(tif) - start;
        if (queried[i].page == strile_page && array_bytes >= on_demand_array_bytes &&
            queries_read >= array_bytes) {
            probe::Say("%s: page %u: the strile queries in \"O\" mode read %" PRIu64
                       " bytes, as many as a whole strip array (%" PRIu64 ").",
                       name, strile_page, queries_read, array_bytes);
            return false;
        }
    }
    const uint64_t before = BytesRead(tif);
    const uint32_t last = layout.strips - 1;
    const std::vector<uint8_t> expect = StripImage(strile_page, StrilePage(layout), last);
    std::vector<uint8_t> got(expect.size());
    if (TIFFReadEncodedStrip(tif, last, got.data(), static_cast<tmsize_t>(got.size())) !=
            static_cast<tmsize_t>(got.size()) ||
        got != expect) {
        probe::Say("Wrong image data in strip %lu of %s.", static_cast<unsigned long>(last), name);
        return false;
    }
    const uint64_t read_now = BytesRead(tif) - before;
    if (read_now < array_bytes)
        return true;
    probe::Say("%s: page %u: reading strip %lu in \"O\" mode read %" PRIu64
               " bytes, as many as a whole strip array (%" PRIu64 ").",
               name, strile_page, static_cast<unsigned long>(last), read_now, array_bytes);
    return false;
}

// The appended pages: the queries in both modes against the file's values,
// and the checkpointed page in the file once, with all its strips.
bool CheckAppended(const Layout &layout)
{
    const char *name = layout.filename;
    const StripPage &p = checkpoint_strips;
    const unsigned k = checkpoint_page;
    Queried queried[2] = {
        MakeQueried(queried_page, true, TileCount(tile_pages[queried_page])),
        MakeQueried(strile_page, false, layout.strips),
    };
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> chain;

    if (!LoadChain(name, &bytes, &chain) || !PageCountOnDisk(name, chain, k + 1))
        return false;
    for (Queried &q : queried) {
        if (!ReadQueried(bytes, chain[q.page], &q, name))
            return false;
    }
    if (!CheckOnDemand(layout, queried))
        return false;
    // One handle reads the pages in order: the updated tile and every other
    // tile of its page come between the two query pages (a tile written in
    // place of another, or over its neighbour, shows there).
    const probe::Tiff tif = probe::Reopen(name, "rh"); // page 0 is not needed
    if (!tif || !CheckQueries(tif, queried[0], "", name) || !GoTo(tif, updated_page, name) ||
        !CheckTilePixels(tif, updated_page, true, name) || !CheckQueries(tif, queried[1], "", name))
        return false;
    if (!StripsOnDisk(bytes, chain[k], k, p, name))
        return false;
    return GoTo(tif, k, name) && CheckStripPixels(tif, k, p, StripCount(p), name);
}

int TileTest(const Layout &layout)
{
    const char *name = layout.filename;
    const unsigned long messages = LibraryMessages();

    {
        const probe::Tiff tif = probe::Create(name, layout.mode);
        if (!tif || !WriteTilePages(tif, name) || !WriteDeferredPage(tif, name))
            return 1;
    }
    {
        // The file's own arrays, for comparison with what the library gives.
        probe::OnDisk disk;
        if (!CheckOnDisk(layout, &disk))
            return 1;
        // One reopen for update serves both the read-back and the update.
        const probe::Tiff tif = probe::Reopen(name, "r+");
        if (!tif || !CheckPages(tif, disk.file, name) || !UpdateTile(tif, name))
            return 1;
    }
    if (!AppendPages(layout) || !CheckAppended(layout) || !probe::LibraryQuiet(name, messages))
        return 1;
    // The file stays behind for inspection on any failure above.
    unlink(name);
    return 0;
}

} // namespace

int main()
{
    int failure = 0;

    CountLibraryMessages();
    // Every layout runs, whatever the earlier ones returned.
    for (const Layout &layout : layouts)
        failure |= TileTest(layout);
    return failure;
}
