// The tile pages: the tile counts and sizes, TIFFComputeTile, TIFFCheckTile
// and the tile writes and reads.
#include <cinttypes>
#include <cstdint>
#include <vector>

#include <tiffio.h>

#include "manpage_probe.h"

namespace manpage {

bool TileSizes(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = WrittenTiled(layout);
    if (!tif)
        return false;
    bool ok = Gives(layout, p, "TIFFNumberOfTiles", TIFFNumberOfTiles(tif), tiles);
    ok = Gives(layout, p, "TIFFTileSize", TIFFTileSize(tif), tile_bytes) && ok;
    return Gives(layout, p, "TIFFTileRowSize", TIFFTileRowSize(tif), tile_width) && ok;
}

bool ComputeTiles(const Layout &layout, const Promise &p, const Coordinates *points, size_t count)
{
    probe::Tiff tif = WrittenTiled(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (size_t i = 0; i < count; i++) {
        const uint32_t got = TIFFComputeTile(tif, points[i].x, points[i].y, 0, 0);
        if (got != points[i].unit)
            ok = Broken(layout, p,
                        "(%" PRIu32 ", %" PRIu32 ") gave tile %" PRIu32 ", expected %" PRIu32,
                        points[i].x, points[i].y, got, points[i].unit);
    }
    return ok;
}

bool ComputeTileInside(const Layout &layout, const Promise &p)
{
    constexpr Coordinates points[] = {
        {0, 0, 0}, {17, 40, tiles_across + 1}, {tiled_width - 1, tiled_length - 1, tiles - 1}};
    return ComputeTiles(layout, p, points, sizeof(points) / sizeof(points[0]));
}

bool ComputeTileClamped(const Layout &layout, const Promise &p)
{
    constexpr Coordinates points[] = {{tiled_width, 0, tiles_across - 1}, {100, 100, tiles - 1}};
    return ComputeTiles(layout, p, points, sizeof(points) / sizeof(points[0]));
}

bool CheckTile(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = WrittenTiled(layout);
    if (!tif)
        return false;
    constexpr struct {
        uint32_t x;
        uint32_t y;
        bool inside;
    } points[] = {{0, 0, true},
                  {tiled_width - 1, tiled_length - 1, true},
                  {tiled_width, 0, false},
                  {0, tiled_length, false}};
    bool ok = true;
    for (const auto &pt : points) {
        const int got = Expecting([&] { return TIFFCheckTile(tif, pt.x, pt.y, 0, 0); });
        if ((got != 0) != pt.inside)
            ok = Broken(layout, p, "(%" PRIu32 ", %" PRIu32 ") gave %d, expected %s", pt.x, pt.y,
                        got, pt.inside ? "non-zero" : "0");
    }
    return ok;
}

// --- TIFFWriteEncodedTile(3tiff), TIFFWriteTile(3tiff), TIFFReadEncodedTile(3tiff),
// TIFFReadTile(3tiff) ---

bool WriteEncodedTileGivesSize(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewTiledPage(layout);
    if (!tif)
        return false;
    for (uint32_t t = 0; t < tiles; t++) {
        std::vector<uint8_t> data = TileData(t);
        const tmsize_t got = TIFFWriteEncodedTile(tif, t, data.data(), tile_bytes);
        if (got != tile_bytes)
            return Broken(layout, p, "tile %" PRIu32 " of %td bytes gave %td, expected %td", t,
                          tile_bytes, got, tile_bytes);
    }
    return true;
}

bool WriteTileGivesBytes(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewTiledPage(layout);
        if (!tif)
            return false;
        for (uint32_t t = 0; t < tiles; t++) {
            std::vector<uint8_t> data = TileData(t);
            const uint32_t x = t % tiles_across * tile_width;
            const uint32_t y = t / tiles_across * tile_length;
            const tmsize_t got = TIFFWriteTile(tif, data.data(), x, y, 0, 0);
            if (got != tile_bytes)
                return Broken(layout, p, "(%" PRIu32 ", %" PRIu32 ") gave %td, expected %td", x, y,
                              got, tile_bytes);
        }
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    for (uint32_t t = 0; t < tiles; t++) {
        std::vector<uint8_t> got(tile_bytes);
        if (TIFFReadEncodedTile(tif, t, got.data(), tile_bytes) != tile_bytes) {
            probe::SayWrongImage("tile", t, layout.filename);
            return false;
        }
        if (!TileIs(got, t, layout.filename))
            return false;
    }
    return true;
}

bool WriteTileStripped(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> data = TileData(0);
    tmsize_t encoded = 0;
    tmsize_t by_place = 0;
    {
        probe::ExpectedMessages expected;
        encoded = TIFFWriteEncodedTile(tif, 0, data.data(), tile_bytes);
        by_place = TIFFWriteTile(tif, data.data(), 0, 0, 0, 0);
    }
    bool ok = true;
    if (encoded != -1)
        ok = Broken(layout, p, "TIFFWriteEncodedTile on a stripped page gave %td, expected -1",
                    encoded);
    if (by_place != -1)
        ok = Broken(layout, p, "TIFFWriteTile on a stripped page gave %td, expected -1", by_place);
    return ok;
}

bool ReadEncodedTiles(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = WrittenTiled(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> got(tile_bytes);
    for (uint32_t t = 0; t <= tiles; t++) {
        const tmsize_t n =
            Expecting([&] { return TIFFReadEncodedTile(tif, t, got.data(), tile_bytes); });
        const tmsize_t expect = t < tiles ? tile_bytes : -1;
        if (n != expect)
            return Broken(layout, p, "tile %" PRIu32 " of %" PRIu32 " gave %td, expected %td", t,
                          tiles, n, expect);
        if (t < tiles && !TileIs(got, t, layout.filename))
            return false;
    }
    return true;
}

bool ReadTileByPlace(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = WrittenTiled(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> got(tile_bytes);
    const tmsize_t n = TIFFReadTile(tif, got.data(), 17, 0, 0, 0);
    if (n != tile_bytes)
        return Broken(layout, p, "(17, 0) gave %td, expected %td", n, tile_bytes);
    if (!TileIs(got, 1, layout.filename))
        return false;
    const tmsize_t outside =
        Expecting([&] { return TIFFReadTile(tif, got.data(), tiled_width, 0, 0, 0); });
    return Refused(layout, p, outside, "(%" PRIu32 ", 0)", tiled_width);
}

} // namespace manpage
