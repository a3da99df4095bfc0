// What the pages' checks share: the failure lines of a broken promise, the
// strips and tiles the probe writes, and the files it makes of them.
#include <cinttypes>
#include <cstdint>
#include <vector>

#include <tiffio.h>
#include <unistd.h>

#include "manpage_probe.h"

namespace manpage {

bool Broken(const Layout &layout, const Promise &p, const char *format, ...)
{
    char what[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(what, sizeof(what), format, ap);
    va_end(ap);
    probe::Say<probe::Line::PromiseBroken>(layout.filename, p.page, what);
    return false;
}

bool Refused(const Layout &layout, const Promise &p, int64_t got, const char *format, ...)
{
    if (got == -1)
        return true;
    char what[200];
    va_list ap;
    va_start(ap, format);
    vsnprintf(what, sizeof(what), format, ap);
    va_end(ap);
    return Broken(layout, p, "%s gave %" PRId64 ", expected -1", what, got);
}

uint32_t RowsInStrip(uint32_t strip)
{
    return strip + 1 < strips ? rows_per_strip : length - rows_per_strip * strip;
}

// No two strips, rows or pages hold the same bytes, and none is 0.
std::vector<uint8_t> StripData(uint32_t strip, uint32_t w)
{
    std::vector<uint8_t> data(static_cast<size_t>(w) * RowsInStrip(strip));
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<uint8_t>(1 + (strip * 89 + w * 31 + i * 7) % 251);
    return data;
}

std::vector<uint8_t> TileData(uint32_t tile)
{
    std::vector<uint8_t> data(static_cast<size_t>(tile_bytes));
    for (size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<uint8_t>(1 + (static_cast<size_t>(tile) * 53 + i * 3) % 251);
    return data;
}

namespace {

struct ImageField {
    ttag_t tag;
    uint32_t value;
};

bool SetFields(TIFF *tif, const char *filename, const ImageField *fields, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (!TIFFSetField(tif, fields[i].tag, fields[i].value)) {
            probe::SayCantSet(fields[i].tag, filename);
            return false;
        }
    }
    return true;
}

} // namespace

bool SetStripPage(TIFF *tif, const char *filename, uint32_t w)
{
    const ImageField fields[] = {
        {TIFFTAG_IMAGEWIDTH, w},
        {TIFFTAG_IMAGELENGTH, length},
        {TIFFTAG_BITSPERSAMPLE, 8},
        {TIFFTAG_SAMPLESPERPIXEL, 1},
        {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
        {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
        {TIFFTAG_ROWSPERSTRIP, rows_per_strip},
        {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
    };
    return SetFields(tif, filename, fields, sizeof(fields) / sizeof(fields[0]));
}

bool SetTiledPage(TIFF *tif, const char *filename)
{
    const ImageField fields[] = {
        {TIFFTAG_IMAGEWIDTH, tiled_width},
        {TIFFTAG_IMAGELENGTH, tiled_length},
        {TIFFTAG_BITSPERSAMPLE, 8},
        {TIFFTAG_SAMPLESPERPIXEL, 1},
        {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
        {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
        {TIFFTAG_TILEWIDTH, tile_width},
        {TIFFTAG_TILELENGTH, tile_length},
        {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
    };
    return SetFields(tif, filename, fields, sizeof(fields) / sizeof(fields[0]));
}

// A new file of the layout with the stripped (tiled) page's fields set; no
// handle after saying why.
probe::Tiff NewStripPage(const Layout &layout)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif || !SetStripPage(tif, layout.filename))
        return probe::Tiff();
    return tif;
}

probe::Tiff NewTiledPage(const Layout &layout)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif || !SetTiledPage(tif, layout.filename))
        return probe::Tiff();
    return tif;
}

// Strip s of a page w wide (tile t), written whole; false after saying the
// write failed.
bool WriteStrip(TIFF *tif, const char *filename, uint32_t s, uint32_t w)
{
    std::vector<uint8_t> data = StripData(s, w);
    const auto size = static_cast<tmsize_t>(data.size());
    if (TIFFWriteEncodedStrip(tif, s, data.data(), size) == size)
        return true;
    probe::SayCantWrite(filename);
    return false;
}

bool WriteTile(TIFF *tif, const char *filename, uint32_t t)
{
    std::vector<uint8_t> data = TileData(t);
    if (TIFFWriteEncodedTile(tif, t, data.data(), tile_bytes) == tile_bytes)
        return true;
    probe::SayCantWrite(filename);
    return false;
}

bool WriteStrips(TIFF *tif, const char *filename, uint32_t w)
{
    for (uint32_t s = 0; s < strips; s++) {
        if (!WriteStrip(tif, filename, s, w))
            return false;
    }
    return true;
}

bool WriteDirectory(TIFF *tif, const char *filename, unsigned long page)
{
    if (TIFFWriteDirectory(tif))
        return true;
    probe::SayCantDirectory("write", filename, probe::Page(page).c_str());
    return false;
}

// The layout's file with `pages` stripped pages, page K page_widths[K] wide.
bool MakeFile(const Layout &layout, unsigned pages)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    // A file holds no more pages than there are widths.
    for (unsigned p = 0; p < pages && p < sizeof(page_widths) / sizeof(page_widths[0]); p++) {
        if (!SetStripPage(tif, layout.filename, page_widths[p]) ||
            !WriteStrips(tif, layout.filename, page_widths[p]) ||
            !WriteDirectory(tif, layout.filename, p))
            return false;
    }
    return true;
}

bool MakeTiledFile(const Layout &layout)
{
    probe::Tiff tif = NewTiledPage(layout);
    if (!tif)
        return false;
    for (uint32_t t = 0; t < tiles; t++) {
        if (!WriteTile(tif, layout.filename, t))
            return false;
    }
    return true;
}

// The layout's file written as MakeFile (MakeTiledFile) writes it, then
// opened for reading; no handle after saying why.
probe::Tiff Written(const Layout &layout, unsigned pages)
{
    return MakeFile(layout, pages) ? probe::Reopen(layout, Access::Read) : probe::Tiff();
}

probe::Tiff WrittenTiled(const Layout &layout)
{
    return MakeTiledFile(layout) ? probe::Reopen(layout, Access::Read) : probe::Tiff();
}

// The strips of the current page read back as written; says the first
// strip that does not.
bool StripsHold(TIFF *tif, const char *filename, uint32_t w)
{
    for (uint32_t s = 0; s < strips; s++) {
        std::vector<uint8_t> expect = StripData(s, w);
        std::vector<uint8_t> got(expect.size());
        if (TIFFReadEncodedStrip(tif, s, got.data(), static_cast<tmsize_t>(got.size())) !=
            static_cast<tmsize_t>(got.size())) {
            probe::SayCantRead("strip", s, filename);
            return false;
        }
        if (got != expect) {
            probe::SayWrongImage("strip", s, filename);
            return false;
        }
    }
    return true;
}

uint32_t Width(TIFF *tif)
{
    uint32_t w = 0;
    return TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) ? w : 0;
}

// A tile read back holds what TileData wrote; otherwise says which does not.
bool TileIs(const std::vector<uint8_t> &got, uint32_t tile, const char *filename)
{
    if (got == TileData(tile))
        return true;
    probe::SayWrongImage("tile", tile, filename);
    return false;
}

probe::Tiff Reread(const Layout &layout, tdir_t *pages)
{
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (tif)
        *pages = TIFFNumberOfDirectories(tif);
    return tif;
}

probe::Tiff ReopenDescribed(const Layout &layout, const char *text)
{
    probe::Tiff tif = probe::Reopen(layout, Access::Update);
    if (!tif || TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, text))
        return tif;
    probe::SayCantSet(TIFFTAG_IMAGEDESCRIPTION, layout.filename);
    return probe::Tiff();
}

// --- TIFFstrip(3tiff), TIFFsize(3tiff), TIFFtile(3tiff) ---

// A count or size the page promises: "CALL gave N, expected M." otherwise.
bool Gives(const Layout &layout, const Promise &p, const char *call, int64_t got, int64_t expect)
{
    if (got == expect)
        return true;
    return Broken(layout, p, "%s gave %" PRId64 ", expected %" PRId64, call, got, expect);
}

// Strip s read through `reader` after `after` holds what was written.
bool StripReadsAfter(const Layout &layout, const Promise &p, TIFF *reader, uint32_t s,
                     const char *after)
{
    const std::vector<uint8_t> expect = StripData(s);
    std::vector<uint8_t> read(expect.size());
    // A failed read is this check's own line; the library's message about it
    // would only repeat it.
    const tmsize_t n = Expecting([&] {
        return TIFFReadEncodedStrip(reader, s, read.data(), static_cast<tmsize_t>(read.size()));
    });
    if (n != static_cast<tmsize_t>(expect.size()))
        return Broken(layout, p, "strip %" PRIu32 " read after %s gave %td, expected %zu", s, after,
                      n, expect.size());
    if (read != expect)
        return Broken(layout, p,
                      "strip %" PRIu32 " read after %s gave other bytes, expected those written", s,
                      after);
    return true;
}

// A second handle, opened while the writer still has the file, reads strip
// 0 as written.
bool FirstStripReads(const Layout &layout, const Promise &p, const char *after)
{
    probe::Tiff reader = probe::Reopen(layout, Access::Read);
    return reader && StripReadsAfter(layout, p, reader, 0, after);
}

} // namespace manpage
