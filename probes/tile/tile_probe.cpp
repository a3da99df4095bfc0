// Proves that tiled images survive write, close, reopen and read in both byte
// orders and both formats: tile geometry, the tile arrays the library gives
// and the ones on disk, every tile's pixels, and a tile replaced in place
// ("r+"). The strile interfaces are strile_probe's.
//
// The file is written once; each check after that owns its opens and its
// reads. A layout stops at its first failing check, whose file stays behind.
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "chunks.h"
#include "ifd_reader.h"
#include "probe_support.h"
#include "tile_values.h"

namespace {
using chunks::Across;
using chunks::Down;
using chunks::GoTo;
using chunks::Planes;
using chunks::SameNumber;
using chunks::TileBytes;
using chunks::TileCount;
using chunks::TilePage;
using tiles::tile_page_count;
using tiles::updated_page;
using tiles::updated_tile;

// The pages as written: one whose codec the library lacks is written
// uncompressed, without a predictor (main).
TilePage tile_pages[tile_page_count];

constexpr probe::Layout layouts[] = {
    {"tiles_le.tif", false, false},
    {"tiles_be.tif", true, false},
    {"tiles_le.btf", false, true},
    {"tiles_be.btf", true, true},
};

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
        const uint16_t row = chunks::Sample(k, t, 0, y, plane, 16);
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
    if (tile_pages[k].bits == 16 && big_endian != probe::HostBigEndian()) {
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
        probe::SayCantWrite(filename);
        return false;
    }
    return true;
}

bool WriteTilePages(TIFF *tif, const char *filename)
{
    for (unsigned k = 0; k < tile_page_count; k++) {
        if (!chunks::SetTileFields(tif, tile_pages[k], filename))
            return false;
        for (uint32_t t = 0; t < TileCount(tile_pages[k]); t++) {
            if (!WriteTile(tif, k, t, filename))
                return false;
        }
        if (!probe::WriteDirectory(tif, k, filename))
            return false;
    }
    return true;
}

bool FetchU32(TIFF *tif, ttag_t tag, uint32_t expect, const char *filename)
{
    uint32_t got = 0;
    if (!TIFFGetField(tif, tag, &got)) {
        probe::SayProblemFetching(tag, filename);
        return false;
    }
    if (got != expect) {
        probe::SayWrongValue("LONG", tag, filename, 0, got, expect);
        return false;
    }
    return true;
}

// The page's geometry as the library gives it, and where its tiles lie.
bool CheckTileGeometry(TIFF *tif, unsigned k, const char *filename)
{
    const TilePage &p = tile_pages[k];

    if (!TIFFIsTiled(tif)) {
        probe::Say<probe::Line::NotTiled>(filename, k);
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
    const std::string page = probe::Page(k);

    for (ttag_t tag : {TIFFTAG_TILEOFFSETS, TIFFTAG_TILEBYTECOUNTS}) {
        const uint64_t *got = nullptr;
        const ifd::Entry *disk = ifd::FindEntry(dir, static_cast<uint16_t>(tag));
        if (!disk || disk->values.size() != n) {
            probe::SayMissingOnDisk(tag, filename, page.c_str());
            return false;
        }
        if (!TIFFGetField(tif, tag, &got) || !got) {
            probe::SayProblemFetching(tag, filename);
            return false;
        }
        // The first wrong value named, the rest counted.
        unsigned long wrong = 0;
        uint32_t last = 0;
        for (uint32_t t = 0; t < n; t++) {
            if (got[t] == disk->values[t])
                continue;
            if (wrong++ == 0)
                probe::SayWrongValue(ifd::TypeName(disk->type), tag, filename, t, got[t],
                                     disk->values[t], page.c_str());
            last = t;
        }
        if (wrong > 1)
            probe::SayMoreWrongValues(ifd::TypeName(disk->type), tag, filename, wrong - 1, last,
                                      page.c_str());
        if (wrong > 0)
            return false;
    }
    return true;
}

// True when a read gave the tile; else, when `say`, its line.
bool SameTile(const std::vector<uint8_t> &got, tmsize_t n, const std::vector<uint8_t> &expect,
              uint32_t t, unsigned k, bool say, const char *filename)
{
    const bool same = n == static_cast<tmsize_t>(expect.size()) && got == expect;
    if (!same && say)
        (void)probe::ReadBack("tile", t, n, expect.size(), got == expect, filename,
                              probe::Page(k).c_str());
    return same;
}

// Tile t, read by number and, before the update, by a pixel inside it.
bool TileRight(TIFF *tif, unsigned k, uint32_t t, bool updated, bool say, const char *filename)
{
    const TilePage &p = tile_pages[k];
    const std::vector<uint8_t> &expect = ExpectedTile(k, t, updated);
    std::vector<uint8_t> got(TileBytes(p));
    tmsize_t n = TIFFReadEncodedTile(tif, t, got.data(), static_cast<tmsize_t>(got.size()));
    if (!SameTile(got, n, expect, t, k, say, filename))
        return false;
    if (updated)
        return true;
    uint32_t x;
    uint32_t y;
    uint16_t plane;
    std::fill(got.begin(), got.end(), 0);
    TileOrigin(p, t, &x, &y, &plane);
    TileLastPixel(p, t, &x, &y);
    n = TIFFReadTile(tif, got.data(), x, y, 0, plane);
    return SameTile(got, n, expect, t, k, say, filename);
}

// Every tile of page k: the first few wrong ones named, the rest counted,
// so that a known defect in one tile hides no other.
bool CheckTilePixels(TIFF *tif, unsigned k, bool updated, const char *filename)
{
    probe::Tally tally;
    for (uint32_t t = 0; t < TileCount(tile_pages[k]); t++) {
        if (!TileRight(tif, k, t, updated, tally.Naming(), filename))
            tally.Add(t);
    }
    if (tally.Unnamed())
        probe::SayMoreWrongImages("tile", tally.from, filename, probe::Page(k).c_str(),
                                  tally.Unnamed(), tally.last);
    return tally.wrong == 0;
}

bool CheckTagOnDisk(const ifd::Directory &dir, uint16_t tag, uint32_t expect, unsigned k,
                    const char *filename)
{
    const std::string page = probe::Page(k);
    const ifd::Entry *e = ifd::FindEntry(dir, tag);
    if (!e) {
        probe::SayMissingOnDisk(tag, filename, page.c_str());
        return false;
    }
    if ((e->type != ifd::SHORT && e->type != ifd::LONG) || e->values.size() != 1) {
        probe::SayWrongEntry(*e, filename, "SHORT or LONG", 1, page.c_str());
        return false;
    }
    if (e->values[0] == expect)
        return true;
    probe::SayWrongValueOnDisk(tag, filename, 0, e->values[0], expect, page.c_str());
    return false;
}

// Every tile of page k holds its data: the first few wrong ones named (each
// with its first wrong byte and a count of the rest), the others counted, so
// that a known defect in one tile hides no other.
bool TilesOnDisk(const std::vector<uint8_t> &bytes, const ifd::Directory &dir, unsigned k,
                 bool big_endian, const char *name)
{
    const ifd::Entry *offsets = ifd::FindEntry(dir, ifd::tag::TileOffsets);
    const ifd::Entry *counts = ifd::FindEntry(dir, ifd::tag::TileByteCounts);
    probe::Tally tally;
    for (uint32_t t = 0; t < TileCount(tile_pages[k]); t++) {
        const std::vector<uint8_t> tile = FileTile(k, t, big_endian);
        const uint64_t at = offsets->values[t];
        const uint64_t size = counts->values[t];
        if (tally.Naming() ? probe::ChunkHolds(bytes, at, size, tile, "tile", t, k, name)
                           : probe::ChunkMatches(bytes, at, size, tile))
            continue;
        tally.Add(t);
    }
    if (tally.Unnamed())
        probe::SayMoreWrongOnDisk("tile", tally.from, k, name, tally.Unnamed(), tally.last);
    return tally.wrong == 0;
}

// The tiled pages as the file's bytes hold them. A page whose tiles hold
// wrong bytes does not stop the pages after it.
bool CheckOnDisk(const probe::Layout &layout)
{
    const char *name = layout.filename;
    probe::OnDisk disk;

    if (!probe::ReadFormat(layout, &disk))
        return false;
    const ifd::File &file = disk.file;
    if (!probe::PagesOnDisk(file, tile_page_count, name))
        return false;
    const std::vector<uint8_t> &bytes = disk.bytes;
    bool ok = true;
    for (unsigned k = 0; k < tile_page_count; k++) {
        const TilePage &p = tile_pages[k];
        const ifd::Directory &dir = file.chain[k];
        if (!probe::TagsAscending(dir, name) || !probe::WordAligned(dir, name) ||
            !CheckTagOnDisk(dir, ifd::tag::TileWidth, p.tile_width, k, name) ||
            !CheckTagOnDisk(dir, ifd::tag::TileLength, p.tile_length, k, name) ||
            !probe::ChunksInside(dir, bytes.size(), ifd::tag::TileOffsets, ifd::tag::TileByteCounts,
                                 TileCount(p), "tile", name) ||
            !probe::ChunksApart(dir, ifd::tag::TileOffsets, ifd::tag::TileByteCounts, "tile", name))
            return false;
        if (p.compression == COMPRESSION_NONE)
            ok = TilesOnDisk(bytes, dir, k, layout.big_endian, name) && ok;
    }
    return ok;
}

// Every page through the library: geometry, the tile arrays against the
// file's own, and the pixels.
bool CheckReadBack(const probe::Layout &layout)
{
    const char *name = layout.filename;
    probe::OnDisk disk;

    if (!probe::ReadFormat(layout, &disk) || !probe::PagesOnDisk(disk.file, tile_page_count, name))
        return false;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    if (!tif)
        return false;
    for (unsigned k = 0; k < tile_page_count; k++) {
        if (!GoTo(tif, k, name) || !CheckTileGeometry(tif, k, name) ||
            !CheckTileArrays(tif, k, disk.file.chain[k], name) ||
            !CheckTilePixels(tif, k, false, name))
            return false;
    }
    return true;
}

// Replaces one tile in place ("r+"); its new data takes more room than the
// old. A handle opened afterwards reads the new tile and the old one beside
// it.
bool CheckUpdate(const probe::Layout &layout)
{
    const char *name = layout.filename;
    {
        std::vector<uint8_t> buf = UpdateImage();
        const probe::Tiff tif = probe::Reopen(layout, probe::Access::Update);
        if (!tif || !GoTo(tif, updated_page, name))
            return false;
        if (TIFFWriteEncodedTile(tif, updated_tile, buf.data(),
                                 static_cast<tmsize_t>(buf.size())) !=
            static_cast<tmsize_t>(buf.size())) {
            probe::SayCantWrite(name);
            return false;
        }
    }
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    return tif && GoTo(tif, updated_page, name) && CheckTilePixels(tif, updated_page, true, name);
}

bool TileTest(const probe::Layout &layout)
{
    const unsigned long messages = LibraryMessages();
    {
        const probe::Tiff tif = probe::Create(layout);
        if (!tif || !WriteTilePages(tif, layout.filename))
            return false;
    }
    return CheckOnDisk(layout) && CheckReadBack(layout) && CheckUpdate(layout) &&
           probe::LibraryQuiet(layout.filename, messages);
}

} // namespace

int main()
{
    CountLibraryMessages();
    for (unsigned k = 0; k < tile_page_count; k++) {
        tile_pages[k] = tiles::tile_pages[k];
        tile_pages[k].compression = probe::CodecOrNone(tile_pages[k].compression);
        if (tile_pages[k].compression == COMPRESSION_NONE)
            tile_pages[k].predictor = PREDICTOR_NONE;
    }
    const int status = probe::RunLayouts(layouts, TileTest);
    if (status == 0)
        probe::SayCodecSkips();
    return status;
}
