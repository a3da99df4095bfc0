// Holds the TIFF library to what its own man pages promise of the calls the
// probes make: what each call returns on success and on failure, what
// out-of-range arguments give, what a read does to the caller's buffer, the
// call sequences a page spells out step by step, and what the field query
// calls say of each field. One table row per promise names its page and
// quotes it; a broken promise is one line, "NAME: PAGE: WHAT.".
//
// Promises that the file's byte order or format can change run in the four
// layouts; those about the calls alone run once, on a file of their own.
#include <cinttypes>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include "ifd_reader.h"
#include "manpage_values.h"
#include "probe_support.h"

namespace {

using probe::Access;
using probe::Layout;

constexpr Layout layouts[] = {
    {"manpage_le.tif", false, false},
    {"manpage_be.tif", true, false},
    {"manpage_le.btf", false, true},
    {"manpage_be.btf", true, true},
};
constexpr Layout calls_layouts[] = {
    {"manpage_calls.tif", false, false},
};

struct Promise;
using Check = bool (*)(const Layout &, const Promise &);

// One promise of a man page: the page, a short quote of it, and the check.
struct Promise {
    const char *page;
    // For the reader of the table: the promise in the page's words. The
    // failure line names the page; the quote would make it too long.
    // cppcheck-suppress unusedStructMember
    const char *quote;
    Check check;
};

// Says "NAME: PAGE: WHAT." and fails the check.
bool Broken(const Layout &layout, const Promise &p, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
bool Broken(const Layout &layout, const Promise &p, const char *format, ...)
{
    char what[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(what, sizeof(what), format, ap);
    va_end(ap);
    probe::Say("%s: %s: %s.", layout.filename, p.page, what);
    return false;
}

// A call the page says fails: "WHAT gave N, expected -1." when it did not.
bool Refused(const Layout &layout, const Promise &p, int64_t got, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
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

// Runs a call whose failure the check expects and says in its own line: the
// library's message about that failure is expected, not a fault.
template <typename Call>
auto Expecting(Call call) -> decltype(call())
{
    probe::ExpectedMessages expected;
    return call();
}

using manpage::length;
using manpage::page_widths;
using manpage::rows_per_strip;
using manpage::strips;
using manpage::tile_length;
using manpage::tile_width;
using manpage::tiled_length;
using manpage::tiled_width;
using manpage::tiles;
using manpage::tiles_across;
using manpage::width;

constexpr tmsize_t tile_bytes = static_cast<tmsize_t>(tile_width) * tile_length;

uint32_t RowsInStrip(uint32_t strip)
{
    return strip + 1 < strips ? rows_per_strip : length - rows_per_strip * strip;
}

// No two strips, rows or pages hold the same bytes, and none is 0.
std::vector<uint8_t> StripData(uint32_t strip, uint32_t w = width)
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

bool SetStripPage(TIFF *tif, const char *filename, uint32_t w = width)
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
bool WriteStrip(TIFF *tif, const char *filename, uint32_t s, uint32_t w = width)
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

bool WriteStrips(TIFF *tif, const char *filename, uint32_t w = width)
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
bool MakeFile(const Layout &layout, unsigned pages = 1)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    for (unsigned p = 0; p < pages; p++) {
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
probe::Tiff Written(const Layout &layout, unsigned pages = 1)
{
    return MakeFile(layout, pages) ? probe::Reopen(layout, Access::Read) : probe::Tiff();
}

probe::Tiff WrittenTiled(const Layout &layout)
{
    return MakeTiledFile(layout) ? probe::Reopen(layout, Access::Read) : probe::Tiff();
}

// The strips of the current page read back as written; says the first
// strip that does not.
bool StripsHold(TIFF *tif, const char *filename, uint32_t w = width)
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

// Sets the page's description; false after saying the library refused it.
bool SetDescription(TIFF *tif, const char *filename, const char *text)
{
    if (TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, text))
        return true;
    probe::SayCantSet(TIFFTAG_IMAGEDESCRIPTION, filename);
    return false;
}

// --- TIFFWriteEncodedStrip(3tiff), TIFFReadEncodedStrip(3tiff) ---

bool WriteStripGivesSize(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    for (uint32_t s = 0; s < strips; s++) {
        std::vector<uint8_t> data = StripData(s);
        const auto size = static_cast<tmsize_t>(data.size());
        const tmsize_t got = TIFFWriteEncodedStrip(tif, s, data.data(), size);
        if (got != size)
            return Broken(layout, p, "strip %" PRIu32 " of %td bytes gave %td", s, size, got);
    }
    return true;
}

bool WriteStripReadOnly(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> data = StripData(0);
    const tmsize_t got = Expecting([&] {
        return TIFFWriteEncodedStrip(tif, 0, data.data(), static_cast<tmsize_t>(data.size()));
    });
    return Refused(layout, p, got, "strip 0 on a handle opened \"r\"");
}

bool WriteStripTiled(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewTiledPage(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> data = TileData(0);
    const tmsize_t got =
        Expecting([&] { return TIFFWriteEncodedStrip(tif, 0, data.data(), tile_bytes); });
    return Refused(layout, p, got, "strip 0 of a tiled page");
}

// A library that takes a strip past the image may leave its own memory
// broken (a later TIFFClose then aborts), so the call runs in a child
// process that passes its result back through a pipe and ends without
// closing the handle.
bool WriteStripPastEnd(const Layout &layout, const Promise &p)
{
    int ends[2];
    if (pipe(ends) != 0)
        return Broken(layout, p, "no pipe for the child process");
    const pid_t child = fork();
    if (child < 0) {
        close(ends[0]);
        close(ends[1]);
        return Broken(layout, p, "no child process");
    }
    if (child == 0) {
        close(ends[0]);
        // _exit runs no destructor: the handle is never closed.
        probe::Tiff tif = probe::Create(layout);
        int64_t got = -2;
        if (tif && SetStripPage(tif, layout.filename) && WriteStrips(tif, layout.filename)) {
            std::vector<uint8_t> data = StripData(0);
            probe::ExpectedMessages expected;
            got =
                TIFFWriteEncodedStrip(tif, strips, data.data(), static_cast<tmsize_t>(data.size()));
        }
        const ssize_t sent = write(ends[1], &got, sizeof(got));
        _exit(sent == sizeof(got) ? 0 : 1);
    }
    close(ends[1]);
    int64_t got = -2;
    const ssize_t received = read(ends[0], &got, sizeof(got));
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (received != sizeof(got))
        return Broken(layout, p, "strip %" PRIu32 " of %" PRIu32 ": the child process died", strips,
                      strips);
    if (got == -2)
        return false; // the child could not write the page, and said why
    return Refused(layout, p, got, "strip %" PRIu32 " of %" PRIu32, strips, strips);
}

bool ReadStripWhole(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    for (uint32_t s = 0; s < strips; s++) {
        std::vector<uint8_t> expect = StripData(s);
        std::vector<uint8_t> got(expect.size() + 16, 0);
        const tmsize_t n = TIFFReadEncodedStrip(tif, s, got.data(), -1);
        if (n != static_cast<tmsize_t>(expect.size()))
            return Broken(layout, p, "strip %" PRIu32 " with size -1 gave %td, expected %zu", s, n,
                          expect.size());
        got.resize(expect.size());
        if (got != expect) {
            probe::SayWrongImage("strip", s, layout.filename);
            return false;
        }
    }
    return true;
}

bool ReadStripUpToSize(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    constexpr tmsize_t asked = 5;
    constexpr uint8_t untouched = 0xA5;
    std::vector<uint8_t> buffer(StripData(1).size(), untouched);
    const tmsize_t n = TIFFReadEncodedStrip(tif, 1, buffer.data(), asked);
    if (n != asked)
        return Broken(layout, p, "strip 1 with size %td gave %td", asked, n);
    const std::vector<uint8_t> expect = StripData(1);
    for (size_t i = 0; i < buffer.size(); i++) {
        const uint8_t want = i < static_cast<size_t>(asked) ? expect[i] : untouched;
        if (buffer[i] != want)
            return Broken(layout, p, "strip 1 with size %td: byte %zu is 0x%x, expected 0x%x",
                          asked, i, buffer[i], want);
    }
    return true;
}

bool ReadStripPastEnd(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> buffer(StripData(0).size());
    for (uint32_t s : {strips, manpage::far_strip}) {
        const tmsize_t n =
            Expecting([&] { return TIFFReadEncodedStrip(tif, s, buffer.data(), -1); });
        if (!Refused(layout, p, n, "strip %" PRIu32 " of %" PRIu32, s, strips))
            return false;
    }
    return true;
}

// --- TIFFReadScanline(3tiff), TIFFWriteScanline(3tiff) ---

bool ReadScanlines(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> row(width);
    for (uint32_t r = 0; r < length; r++) {
        const int got = TIFFReadScanline(tif, row.data(), r, 0);
        if (got != 1)
            return Broken(layout, p, "row %" PRIu32 " gave %d, expected 1", r, got);
        const std::vector<uint8_t> strip = StripData(r / rows_per_strip);
        const size_t at = static_cast<size_t>(r % rows_per_strip) * width;
        if (!std::equal(row.begin(), row.end(), strip.begin() + static_cast<ptrdiff_t>(at)))
            return Broken(layout, p, "row %" PRIu32 " read wrong", r);
    }
    const int got = Expecting([&] { return TIFFReadScanline(tif, row.data(), length, 0); });
    return Refused(layout, p, got, "row %" PRIu32 " of %" PRIu32, length, length);
}

bool WriteScanlines(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        for (uint32_t r = 0; r < length; r++) {
            std::vector<uint8_t> strip = StripData(r / rows_per_strip);
            uint8_t *row = strip.data() + static_cast<size_t>(r % rows_per_strip) * width;
            const int got = TIFFWriteScanline(tif, row, r, 0);
            if (got != 1)
                return Broken(layout, p, "row %" PRIu32 " gave %d, expected 1", r, got);
        }
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    return tif && StripsHold(tif, layout.filename);
}

bool WriteScanlineReadOnly(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> row(width, 1);
    const int got = Expecting([&] { return TIFFWriteScanline(tif, row.data(), 0, 0); });
    return Refused(layout, p, got, "row 0 on a handle opened \"r\"");
}

// Before any data and after a tile was written: the tiled image stays one.
bool WriteScanlineTiled(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewTiledPage(layout);
    if (!tif)
        return false;
    std::vector<uint8_t> tile = TileData(0);
    for (const char *when : {"before any tile", "after tile 0"}) {
        const int got = Expecting([&] { return TIFFWriteScanline(tif, tile.data(), 0, 0); });
        if (!Refused(layout, p, got, "row 0 of a tiled page %s", when))
            return false;
        if (!WriteTile(tif, layout.filename, 0))
            return false;
    }
    return true;
}

// --- TIFFstrip(3tiff), TIFFsize(3tiff), TIFFtile(3tiff) ---

// A count or size the page promises: "CALL gave N, expected M." otherwise.
bool Gives(const Layout &layout, const Promise &p, const char *call, int64_t got, int64_t expect)
{
    if (got == expect)
        return true;
    return Broken(layout, p, "%s gave %" PRId64 ", expected %" PRId64, call, got, expect);
}

bool StripCount(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    return Gives(layout, p, "TIFFNumberOfStrips", TIFFNumberOfStrips(tif), strips);
}

bool StripSize(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    return Gives(layout, p, "TIFFStripSize", TIFFStripSize(tif),
                 static_cast<int64_t>(width) * rows_per_strip);
}

bool ScanlineSize(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    return Gives(layout, p, "TIFFScanlineSize", TIFFScanlineSize(tif), width);
}

// Rows and the strip each lies in, the last ones past the image (clamped).
struct Coordinates {
    uint32_t x;
    uint32_t y;
    uint32_t unit; // the strip or tile
};

bool ComputeStrips(const Layout &layout, const Promise &p, const Coordinates *rows, size_t count)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (size_t i = 0; i < count; i++) {
        const uint32_t got = TIFFComputeStrip(tif, rows[i].y, 0);
        if (got != rows[i].unit)
            ok = Broken(layout, p, "row %" PRIu32 " gave strip %" PRIu32 ", expected %" PRIu32,
                        rows[i].y, got, rows[i].unit);
    }
    return ok;
}

bool ComputeStripInside(const Layout &layout, const Promise &p)
{
    constexpr Coordinates rows[] = {{0, 0, 0}, {0, 5, 1}, {0, 9, 2}};
    return ComputeStrips(layout, p, rows, sizeof(rows) / sizeof(rows[0]));
}

bool ComputeStripClamped(const Layout &layout, const Promise &p)
{
    constexpr Coordinates rows[] = {{0, length, strips - 1}, {0, 50, strips - 1}};
    return ComputeStrips(layout, p, rows, sizeof(rows) / sizeof(rows[0]));
}

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
            return Broken(layout, p, "tile %" PRIu32 " of %td bytes gave %td", t, tile_bytes, got);
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
        return Broken(layout, p, "strip %" PRIu32 " read after %s is wrong", s, after);
    return true;
}

// A second handle, opened while the writer still has the file, reads strip
// 0 as written.
bool FirstStripReads(const Layout &layout, const Promise &p, const char *after)
{
    probe::Tiff reader = probe::Reopen(layout, Access::Read);
    return reader && StripReadsAfter(layout, p, reader, 0, after);
}

// --- TIFFStrileQuery(3tiff), TIFFDeferStrileArrayWriting(3tiff) ---

bool StrileWithErr(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout))
        return false;
    probe::Tiff tif = probe::Reopen(layout, Access::ReadOnDemand);
    if (!tif)
        return false;
    for (uint32_t s = 0; s <= strips; s++) {
        int offset_err = -1;
        int count_err = -1;
        uint64_t offset = 0;
        uint64_t count = 0;
        {
            probe::ExpectedMessages expected;
            offset = TIFFGetStrileOffsetWithErr(tif, s, &offset_err);
            count = TIFFGetStrileByteCountWithErr(tif, s, &count_err);
        }
        const int expect_err = s < strips ? 0 : 1;
        if (offset_err != expect_err || count_err != expect_err)
            return Broken(layout, p,
                          "strile %" PRIu32 " of %" PRIu32 ": errors %d and %d, expected %d", s,
                          strips, offset_err, count_err, expect_err);
        if (s < strips && (offset == 0 || count != StripData(s).size()))
            return Broken(layout, p,
                          "strile %" PRIu32 ": offset %" PRIu64 ", %" PRIu64
                          " bytes, expected a place and %zu bytes",
                          s, offset, count, StripData(s).size());
    }
    return true;
}

// The page's sequence: TIFFOpen, fields, TIFFDeferStrileArrayWriting,
// TIFFWriteCheck, TIFFWriteDirectory, another directory, back to the first,
// its data, TIFFForceStrileArrayWriting.
bool DeferredArrays(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        struct Step {
            const char *call;
            int result;
        };
        Step steps[2] = {{"TIFFDeferStrileArrayWriting", TIFFDeferStrileArrayWriting(tif)},
                         {"TIFFWriteCheck", 0}};
        steps[1].result = TIFFWriteCheck(tif, 0, "manpage_probe");
        for (const Step &s : steps) {
            if (s.result != 1)
                return Broken(layout, p, "%s gave %d, expected 1", s.call, s.result);
        }
        if (!WriteDirectory(tif, layout.filename, 0) ||
            !SetStripPage(tif, layout.filename, page_widths[1]) ||
            !WriteStrips(tif, layout.filename, page_widths[1]) ||
            !WriteDirectory(tif, layout.filename, 1))
            return false;
        if (!TIFFSetDirectory(tif, 0)) {
            probe::SayCantDirectory("read", layout.filename, "page 0");
            return false;
        }
        if (!WriteStrips(tif, layout.filename))
            return false;
        const int forced = TIFFForceStrileArrayWriting(tif);
        if (forced != 1)
            return Broken(layout, p, "TIFFForceStrileArrayWriting gave %d, expected 1", forced);
        // The arrays are in the file once the call returns, before the
        // close writes anything more.
        if (!FirstStripReads(layout, p, "TIFFForceStrileArrayWriting"))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    return tif && StripsHold(tif, layout.filename);
}

// --- TIFFquery(3tiff) ---

bool ByteOrder(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const int got = TIFFIsBigEndian(tif);
    if ((got != 0) != layout.big_endian)
        return Broken(layout, p, "TIFFIsBigEndian gave %d", got);
    return true;
}

bool ByteSwapped(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const int got = TIFFIsByteSwapped(tif);
    if ((got != 0) != (layout.big_endian != probe::HostBigEndian()))
        return Broken(layout, p, "TIFFIsByteSwapped gave %d", got);
    return true;
}

bool BigTiff(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const int got = TIFFIsBigTIFF(tif);
    if ((got != 0) != layout.bigtiff)
        return Broken(layout, p, "TIFFIsBigTIFF gave %d", got);
    return true;
}

bool Tiled(const Layout &layout, const Promise &p)
{
    int stripped = 0;
    int tiled = 0;
    {
        if (!MakeFile(layout))
            return false;
        probe::Tiff tif = probe::Reopen(layout, Access::Read);
        if (!tif)
            return false;
        stripped = TIFFIsTiled(tif);
    }
    {
        if (!MakeTiledFile(layout))
            return false;
        probe::Tiff tif = probe::Reopen(layout, Access::Read);
        if (!tif)
            return false;
        tiled = TIFFIsTiled(tif);
    }
    if (stripped != 0 || tiled == 0)
        return Broken(layout, p, "TIFFIsTiled gave %d for strips and %d for tiles", stripped,
                      tiled);
    return true;
}

bool FileName(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const char *got = TIFFFileName(tif);
    if (!got || strcmp(got, layout.filename) != 0)
        return Broken(layout, p, "TIFFFileName gave \"%s\"", got ? got : "(null)");
    return true;
}

bool OpenMode(const Layout &layout, const Promise &p)
{
    constexpr struct {
        Access access;
        const char *mode;
        int open_flags;
    } opens[] = {
        {Access::Create, "w", O_RDWR | O_CREAT | O_TRUNC},
        {Access::Read, "r", O_RDONLY},
        {Access::Update, "r+", O_RDWR},
    };
    bool ok = true;
    for (const auto &o : opens) {
        if (o.access != Access::Create && !MakeFile(layout))
            return false;
        probe::Tiff tif =
            o.access == Access::Create ? probe::Create(layout) : probe::Reopen(layout, o.access);
        if (!tif)
            return false;
        const int got = TIFFGetMode(tif);
        if (got != o.open_flags)
            ok = Broken(layout, p, "mode \"%s\" gave 0%o, expected 0%o", o.mode, got, o.open_flags);
        if (o.access == Access::Create && !SetStripPage(tif, layout.filename))
            return false;
    }
    return ok;
}

bool GetVersion(const Layout &layout, const Promise &p)
{
    const char *version = TIFFGetVersion();
    if (!version || !*version)
        return Broken(layout, p, "TIFFGetVersion gave no text");
    for (const char *c = version; *c; c++) {
        if (static_cast<unsigned char>(*c) > 0x7F)
            return Broken(layout, p, "TIFFGetVersion gave byte 0x%x at %td",
                          static_cast<unsigned char>(*c), c - version);
    }
    return true;
}

// --- Directories: TIFFquery(3tiff), TIFFReadDirectory(3tiff), TIFFSetDirectory(3tiff),
// TIFFCreateDirectory(3tiff), TIFFWriteDirectory(3tiff) ---

constexpr unsigned pages = 3;

bool DirectoryCount(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    const tdir_t got = TIFFNumberOfDirectories(tif);
    if (got != pages)
        return Broken(layout, p, "TIFFNumberOfDirectories gave %u, expected %u",
                      static_cast<unsigned>(got), pages);
    return true;
}

bool FirstDirectoryRead(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    const tdir_t current = TIFFCurrentDirectory(tif);
    if (current != 0 || Width(tif) != page_widths[0])
        return Broken(layout, p,
                      "after TIFFOpen: directory %u, width %" PRIu32 ", expected 0 and %" PRIu32,
                      static_cast<unsigned>(current), Width(tif), page_widths[0]);
    return StripsHold(tif, layout.filename, page_widths[0]);
}

bool ReadDirectoryWalk(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    for (unsigned k = 1; k <= pages; k++) {
        const int got = Expecting([&] { return TIFFReadDirectory(tif); });
        const int expect = k < pages ? 1 : 0;
        if (got != expect)
            return Broken(layout, p, "the read after page %u gave %d, expected %d", k - 1, got,
                          expect);
        if (k < pages && (TIFFCurrentDirectory(tif) != k || Width(tif) != page_widths[k]))
            return Broken(layout, p,
                          "the read after page %u: directory %u, width %" PRIu32
                          ", expected %u and %" PRIu32,
                          k - 1, static_cast<unsigned>(TIFFCurrentDirectory(tif)), Width(tif), k,
                          page_widths[k]);
    }
    return true;
}

bool LastDirectory(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    for (unsigned k = 0; k < pages; k++) {
        if (k > 0 && !TIFFReadDirectory(tif)) {
            probe::SayCantDirectory("read", layout.filename, probe::Page(k).c_str());
            return false;
        }
        const int got = TIFFLastDirectory(tif);
        if ((got != 0) != (k + 1 == pages))
            return Broken(layout, p, "page %u of %u gave %d", k, pages, got);
    }
    return true;
}

bool SetDirectory(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    for (unsigned k : {2U, 0U, 1U}) {
        const int got = TIFFSetDirectory(tif, k);
        const tdir_t current = TIFFCurrentDirectory(tif);
        if (got != 1 || Width(tif) != page_widths[k] || current != k)
            return Broken(layout, p,
                          "directory %u gave %d, then directory %u, width %" PRIu32
                          ", expected 1, %u and %" PRIu32,
                          k, got, static_cast<unsigned>(current), Width(tif), k, page_widths[k]);
    }
    const int past = Expecting([&] { return TIFFSetDirectory(tif, pages); });
    if (past != 0)
        return Broken(layout, p, "directory %u of %u gave %d, expected 0", pages, pages, past);
    return true;
}

bool SetSubDirectory(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout, pages);
    if (!tif)
        return false;
    if (!TIFFSetDirectory(tif, 2)) {
        probe::SayCantDirectory("read", layout.filename, "page 2");
        return false;
    }
    const uint64_t third = TIFFCurrentDirOffset(tif);
    if (!TIFFSetDirectory(tif, 0)) {
        probe::SayCantDirectory("read", layout.filename, "page 0");
        return false;
    }
    const int got = TIFFSetSubDirectory(tif, third);
    if (got != 1 || Width(tif) != page_widths[2])
        return Broken(layout, p, "offset %" PRIu64 " gave %d, width %" PRIu32, third, got,
                      Width(tif));
    const int past = Expecting([&] { return TIFFSetSubDirectory(tif, uint64_t{1} << 40); });
    if (past != 0)
        return Broken(layout, p, "an offset past the file gave %d, expected 0", past);
    return true;
}

bool CurrentDirectoryUnwritten(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    const tdir_t got = TIFFCurrentDirectory(tif);
    if (got != 65535)
        return Broken(layout, p, "a new file's directory gave %lu, expected 65535",
                      static_cast<unsigned long>(got));
    return SetStripPage(tif, layout.filename);
}

bool UnlinkDirectory(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout, pages))
        return false;
    {
        probe::Tiff tif = probe::Reopen(layout, Access::Update);
        if (!tif)
            return false;
        const int zero = Expecting([&] { return TIFFUnlinkDirectory(tif, 0); });
        if (zero != 0)
            return Broken(layout, p, "directory 0 gave %d, expected 0", zero);
        const int got = TIFFUnlinkDirectory(tif, 2);
        if (got != 1)
            return Broken(layout, p, "directory 2 gave %d, expected 1", got);
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const tdir_t left = TIFFNumberOfDirectories(tif);
    const uint32_t first = Width(tif);
    const uint32_t second = TIFFSetDirectory(tif, 1) ? Width(tif) : 0;
    if (left != 2 || first != page_widths[0] || second != page_widths[2])
        return Broken(layout, p,
                      "after directory 2: %u pages %" PRIu32 " and %" PRIu32
                      " wide, expected 2 pages %" PRIu32 " and %" PRIu32 " wide",
                      static_cast<unsigned>(left), first, second, page_widths[0], page_widths[2]);
    return true;
}

bool WrittenByClose(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif || !WriteStrips(tif, layout.filename))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const tdir_t got = TIFFNumberOfDirectories(tif);
    if (got != 1)
        return Broken(layout, p, "TIFFClose left %u pages, expected 1", static_cast<unsigned>(got));
    return StripsHold(tif, layout.filename);
}

bool Checkpoint(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    if (!WriteStrip(tif, layout.filename, 0))
        return false;
    const int got = TIFFCheckpointDirectory(tif);
    if (got != 1)
        return Broken(layout, p, "TIFFCheckpointDirectory gave %d, expected 1", got);
    if (!FirstStripReads(layout, p, "the checkpoint"))
        return false;
    // "so they can be updated (as strips/tiles are written) and written
    // again": the rest of the strips, then TIFFWriteDirectory to finish.
    for (uint32_t s = 1; s < strips; s++) {
        if (!WriteStrip(tif, layout.filename, s))
            return false;
    }
    if (!WriteDirectory(tif, layout.filename, 0))
        return false;
    tif.Close();
    probe::Tiff reader = probe::Reopen(layout, Access::Read);
    if (!reader)
        return false;
    for (uint32_t s = 0; s < strips; s++) {
        if (!StripReadsAfter(layout, p, reader, s, "the checkpoint and the close"))
            return false;
    }
    return true;
}

bool RewriteAtEnd(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout))
        return false;
    probe::OnDisk before;
    if (ifd::Error e = probe::ReadOnDisk(layout.filename, &before))
        return Broken(layout, p, "%s", e.what.c_str());
    {
        probe::Tiff tif = probe::Reopen(layout, Access::Update);
        if (!tif)
            return false;
        if (!SetDescription(tif, layout.filename, "rewritten by manpage_probe"))
            return false;
        const int got = TIFFRewriteDirectory(tif);
        if (got != 1)
            return Broken(layout, p, "TIFFRewriteDirectory gave %d, expected 1", got);
    }
    probe::OnDisk after;
    if (ifd::Error e = probe::ReadOnDisk(layout.filename, &after))
        return Broken(layout, p, "%s", e.what.c_str());
    if (after.file.header.first_ifd < before.bytes.size())
        return Broken(layout, p, "the header points to %" PRIu64 ", inside the old %zu bytes",
                      after.file.header.first_ifd, before.bytes.size());
    if (after.file.chain.size() != 1 ||
        !ifd::FindEntry(after.file.chain[0], TIFFTAG_IMAGEDESCRIPTION))
        return Broken(layout, p, "the chain holds %zu IFDs, the description %s",
                      after.file.chain.size(),
                      after.file.chain.empty() ||
                              !ifd::FindEntry(after.file.chain[0], TIFFTAG_IMAGEDESCRIPTION)
                          ? "missing"
                          : "there");
    return true;
}

// --- TIFFOpen(3tiff) ---

bool OpenFails(const Layout &layout, const Promise &p)
{
    const std::string missing = std::string(layout.filename) + ".missing";
    TIFF *const tif = Expecting([&] { return TIFFOpen(missing.c_str(), "r"); });
    if (tif) {
        TIFFClose(tif);
        return Broken(layout, p, "a missing file opened \"r\" gave a handle");
    }
    return true;
}

bool OpenOverwrites(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout, pages) || !MakeFile(layout, 1))
        return false;
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const tdir_t got = TIFFNumberOfDirectories(tif);
    if (got != 1)
        return Broken(layout, p, "%u pages after one written over %u, expected 1",
                      static_cast<unsigned>(got), pages);
    return true;
}

bool OpenAppends(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout))
        return false;
    {
        probe::Tiff tif = probe::Reopen(layout.filename, "a");
        if (!tif || !SetStripPage(tif, layout.filename, page_widths[1]) ||
            !WriteStrips(tif, layout.filename, page_widths[1]))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const tdir_t got = TIFFNumberOfDirectories(tif);
    if (got != 2)
        return Broken(layout, p, "%u pages after one appended to 1, expected 2",
                      static_cast<unsigned>(got));
    if (!StripsHold(tif, layout.filename))
        return false;
    if (!TIFFSetDirectory(tif, 1)) {
        probe::SayCantDirectory("read", layout.filename, "page 1");
        return false;
    }
    return StripsHold(tif, layout.filename, page_widths[1]);
}

bool OpenUpdateAppends(const Layout &layout, const Promise &p)
{
    if (!MakeFile(layout))
        return false;
    {
        probe::Tiff tif = probe::Reopen(layout, Access::Update);
        if (!tif)
            return false;
        if (!SetDescription(tif, layout.filename, "set through r+"))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const char *text = nullptr;
    const tdir_t got = TIFFNumberOfDirectories(tif);
    const bool in_first = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) != 0;
    if (got != 2 || in_first)
        return Broken(layout, p,
                      "%u pages and the field %s page 0, expected 2 pages and not in "
                      "page 0",
                      static_cast<unsigned>(got), in_first ? "in" : "not in");
    return true;
}

// What TIFF 6.0 gives each field the page lists.
bool OpenDefaults(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    constexpr struct {
        ttag_t tag;
        uint32_t value;
        bool wide; // fetched as uint32_t, else uint16_t
    } defaults[] = {
        {TIFFTAG_BITSPERSAMPLE, 1, false},   {TIFFTAG_THRESHHOLDING, THRESHHOLD_BILEVEL, false},
        {TIFFTAG_FILLORDER, 1, false},       {TIFFTAG_ORIENTATION, 1, false},
        {TIFFTAG_SAMPLESPERPIXEL, 1, false}, {TIFFTAG_ROWSPERSTRIP, UINT32_MAX, true},
        {TIFFTAG_RESOLUTIONUNIT, 2, false},  {TIFFTAG_COMPRESSION, 1, false},
    };
    bool ok = true;
    for (const auto &d : defaults) {
        uint16_t narrow = 0xBEEF;
        uint32_t wide = 0xBEEF;
        const int got = d.wide ? TIFFGetFieldDefaulted(tif, d.tag, &wide)
                               : TIFFGetFieldDefaulted(tif, d.tag, &narrow);
        const uint32_t value = d.wide ? wide : narrow;
        if (got != 1 || value != d.value)
            ok = Broken(layout, p, "tag %lu: %d and %" PRIu32 ", expected 1 and %" PRIu32,
                        static_cast<unsigned long>(d.tag), got, value, d.value);
    }
    return SetStripPage(tif, layout.filename) && ok;
}

// --- TIFFGetField(3tiff), TIFFSetField(3tiff) ---

bool GetFieldDefined(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    const char *text = nullptr;
    uint16_t orientation = 0;
    uint32_t w = 0;
    const int unset_text = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text);
    const int unset_short = TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation);
    const int set = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    bool ok = true;
    if (unset_text != 0)
        ok = Broken(layout, p, "tag %d, not set, gave %d, expected 0", TIFFTAG_IMAGEDESCRIPTION,
                    unset_text);
    if (unset_short != 0)
        ok = Broken(layout, p, "tag %d, not set, gave %d, expected 0", TIFFTAG_ORIENTATION,
                    unset_short);
    if (set != 1 || w != width)
        ok = Broken(layout, p, "tag %d gave %d and %" PRIu32 ", expected 1 and %" PRIu32,
                    TIFFTAG_IMAGEWIDTH, set, w, width);
    return ok;
}

bool VGetFieldSame(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = Written(layout);
    if (!tif)
        return false;
    uint32_t plain = 0;
    uint32_t through_list = 0;
    const char *text = nullptr;
    const int a = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &plain);
    const int b = probe::VGet(tif, TIFFTAG_IMAGEWIDTH, &through_list);
    const int unset = probe::VGet(tif, TIFFTAG_IMAGEDESCRIPTION, &text);
    if (a != b || plain != through_list || unset != 0)
        return Broken(layout, p,
                      "tag %d: %d and %" PRIu32 " against %d and %" PRIu32 "; an unset tag gave %d",
                      TIFFTAG_IMAGEWIDTH, b, through_list, a, plain, unset);
    return true;
}

bool SetFieldSucceeds(const Layout &layout, const Promise &p)
{
    using manpage::artist;
    using manpage::description;
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        // The description is set twice, through both calls: the second,
        // shorter, stays.
        int through_list = probe::VSet(tif, TIFFTAG_IMAGEDESCRIPTION, manpage::first_description);
        const int plain = TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description);
        if (through_list == 1)
            through_list = probe::VSet(tif, TIFFTAG_ARTIST, artist);
        if (plain != 1 || through_list != 1)
            return Broken(layout, p, "TIFFSetField gave %d, TIFFVSetField %d, expected 1", plain,
                          through_list);
        if (!WriteStrips(tif, layout.filename))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const struct {
        ttag_t tag;
        const char *value;
    } fields[] = {{TIFFTAG_IMAGEDESCRIPTION, description}, {TIFFTAG_ARTIST, artist}};
    bool ok = true;
    for (const auto &f : fields) {
        const char *got = nullptr;
        if (!TIFFGetField(tif, f.tag, &got) || !got) {
            probe::SayProblemFetching(f.tag, layout.filename);
            ok = false;
        } else if (strcmp(got, f.value) != 0) {
            probe::SayWrongText(f.tag, layout.filename, got, f.value);
            ok = false;
        }
    }
    return ok;
}

bool SetFieldWhileWriting(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        if (!WriteStrip(tif, layout.filename, 0))
            return false;
        const int got = Expecting(
            [&] { return TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, manpage::refused_width); });
        if (got != 0 || Width(tif) != width)
            return Broken(layout, p,
                          "ImageWidth after a strip gave %d, width %" PRIu32
                          ", expected 0 and %" PRIu32,
                          got, Width(tif), width);
        if (!WriteStrips(tif, layout.filename))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    return tif && StripsHold(tif, layout.filename);
}

bool SetFieldBadValue(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    // Not the default, so a refusal that resets the field shows.
    if (!TIFFSetField(tif, TIFFTAG_PLANARCONFIG, manpage::kept_planar)) {
        probe::SayCantSet(TIFFTAG_PLANARCONFIG, layout.filename);
        return false;
    }
    const int got =
        Expecting([&] { return TIFFSetField(tif, TIFFTAG_PLANARCONFIG, manpage::bad_planar); });
    uint16_t planar = 0;
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (got != 0 || planar != manpage::kept_planar)
        return Broken(layout, p, "PlanarConfiguration %u gave %d and left %u, expected 0 and %u",
                      manpage::bad_planar, got, planar, manpage::kept_planar);
    return true;
}

bool UnsetField(const Layout &layout, const Promise &p)
{
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif)
            return false;
        if (!TIFFSetField(tif, TIFFTAG_ARTIST, "unset by manpage_probe")) {
            probe::SayCantSet(TIFFTAG_ARTIST, layout.filename);
            return false;
        }
        const int unset = TIFFUnsetField(tif, TIFFTAG_ARTIST);
        const char *text = nullptr;
        const int still = TIFFGetField(tif, TIFFTAG_ARTIST, &text);
        if (unset != 1 || still != 0)
            return Broken(layout, p,
                          "TIFFUnsetField gave %d, then TIFFGetField %d, expected 1 "
                          "and 0",
                          unset, still);
        if (!WriteStrips(tif, layout.filename))
            return false;
    }
    probe::OnDisk disk;
    if (!probe::ReadFormat(layout, &disk))
        return false;
    if (!disk.file.chain.empty() && ifd::FindEntry(disk.file.chain[0], TIFFTAG_ARTIST))
        return Broken(layout, p, "tag %d on disk after TIFFUnsetField", TIFFTAG_ARTIST);
    return true;
}

// --- TIFFCustomDirectory(3tiff): the page's eight steps for a GPS IFD ---

bool GpsSequence(const Layout &layout, const Promise &p)
{
    const uint8_t version[4] = {2, 3, 0, 0};
    uint64_t gps_offset = 0;
    {
        probe::Tiff tif = NewStripPage(layout);
        if (!tif || !WriteStrips(tif, layout.filename))
            return false;
        if (!TIFFSetField(tif, TIFFTAG_GPSIFD, uint64_t{0})) {
            probe::SayCantSet(TIFFTAG_GPSIFD, layout.filename);
            return false;
        }
        if (!WriteDirectory(tif, layout.filename, 0))
            return false;
        const tdir_t dir_num = TIFFCurrentDirectory(tif);
        if (TIFFCreateGPSDirectory(tif) != 0)
            return Broken(layout, p, "TIFFCreateGPSDirectory failed");
        if (!TIFFSetField(tif, GPSTAG_VERSIONID, version)) {
            probe::SayCantSet(GPSTAG_VERSIONID, layout.filename, "GPS IFD");
            return false;
        }
        const int written = TIFFWriteCustomDirectory(tif, &gps_offset);
        if (written != 1 || gps_offset == 0)
            return Broken(layout, p, "TIFFWriteCustomDirectory gave %d, offset %" PRIu64, written,
                          gps_offset);
        const int back = TIFFSetDirectory(tif, dir_num);
        if (back != 1)
            return Broken(layout, p,
                          "TIFFSetDirectory(%u), the number TIFFCurrentDirectory "
                          "gave after TIFFWriteDirectory, gave %d",
                          static_cast<unsigned>(dir_num), back);
        if (!TIFFSetField(tif, TIFFTAG_GPSIFD, gps_offset)) {
            probe::SayCantSet(TIFFTAG_GPSIFD, layout.filename);
            return false;
        }
        if (!WriteDirectory(tif, layout.filename, 0))
            return false;
    }
    probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    uint64_t linked = 0;
    const tdir_t count = TIFFNumberOfDirectories(tif);
    if (count != 1 || !TIFFGetField(tif, TIFFTAG_GPSIFD, &linked) || linked != gps_offset)
        return Broken(layout, p, "%u pages, GPS IFD at %" PRIu64 ", expected 1 page and %" PRIu64,
                      static_cast<unsigned>(count), linked, gps_offset);
    if (!TIFFReadGPSDirectory(tif, linked)) {
        probe::SayCantDirectory("read", layout.filename, "GPS IFD");
        return false;
    }
    const uint8_t *got = nullptr;
    if (!TIFFGetField(tif, GPSTAG_VERSIONID, &got) || !got || memcmp(got, version, 4) != 0) {
        probe::SayProblemFetching(GPSTAG_VERSIONID, layout.filename, "GPS IFD");
        return false;
    }
    return true;
}

// --- The field query pages, against the TIFFGetField(3tiff) table ---

// How TIFFGetField's table passes a field: one value, two values, one
// pointer to an array (no count), or a count (uint16_t or uint32_t) then a
// pointer.
enum class Args { One, Two, Pointer, Count16, Count32 };

constexpr uint32_t Type(TIFFDataType t)
{
    return uint32_t{1} << t;
}
constexpr uint32_t B = Type(TIFF_BYTE), A = Type(TIFF_ASCII), S = Type(TIFF_SHORT),
                   L = Type(TIFF_LONG), R = Type(TIFF_RATIONAL), U = Type(TIFF_UNDEFINED),
                   D = Type(TIFF_DOUBLE);

struct FieldRow {
    const char *name; // the standard's name
    uint32_t tag;
    Args args;
    int size;       // the size of one value passed, for One; else 0
    uint32_t types; // the types the standard allows
};

// Each row as TIFFGetField(3tiff)'s table lists it; the names and types
// from TIFF 6.0, XMP (XMLPacket), Photoshop's and ICC's notes and the
// LogLuv note (StoNits).
constexpr FieldRow field_rows[] = {
    {"ImageWidth", TIFFTAG_IMAGEWIDTH, Args::One, 4, S | L},
    {"ImageLength", TIFFTAG_IMAGELENGTH, Args::One, 4, S | L},
    {"BitsPerSample", TIFFTAG_BITSPERSAMPLE, Args::One, 2, S},
    {"Compression", TIFFTAG_COMPRESSION, Args::One, 2, S},
    {"PhotometricInterpretation", TIFFTAG_PHOTOMETRIC, Args::One, 2, S},
    {"FillOrder", TIFFTAG_FILLORDER, Args::One, 2, S},
    {"ImageDescription", TIFFTAG_IMAGEDESCRIPTION, Args::Pointer, 0, A},
    {"Orientation", TIFFTAG_ORIENTATION, Args::One, 2, S},
    {"SamplesPerPixel", TIFFTAG_SAMPLESPERPIXEL, Args::One, 2, S},
    {"RowsPerStrip", TIFFTAG_ROWSPERSTRIP, Args::One, 4, S | L},
    {"XResolution", TIFFTAG_XRESOLUTION, Args::One, 4, R},
    {"PlanarConfiguration", TIFFTAG_PLANARCONFIG, Args::One, 2, S},
    {"ResolutionUnit", TIFFTAG_RESOLUTIONUNIT, Args::One, 2, S},
    {"PageNumber", TIFFTAG_PAGENUMBER, Args::Two, 0, S},
    {"WhitePoint", TIFFTAG_WHITEPOINT, Args::Pointer, 0, R},
    {"ColorMap", TIFFTAG_COLORMAP, Args::Pointer, 0, S},
    {"HalftoneHints", TIFFTAG_HALFTONEHINTS, Args::Two, 0, S},
    {"TileWidth", TIFFTAG_TILEWIDTH, Args::One, 4, S | L},
    {"DotRange", TIFFTAG_DOTRANGE, Args::Two, 0, B | S},
    {"ExtraSamples", TIFFTAG_EXTRASAMPLES, Args::Count16, 0, S},
    {"YCbCrSubsampling", TIFFTAG_YCBCRSUBSAMPLING, Args::Two, 0, S},
    {"YCbCrPositioning", TIFFTAG_YCBCRPOSITIONING, Args::One, 2, S},
    {"ReferenceBlackWhite", TIFFTAG_REFERENCEBLACKWHITE, Args::Pointer, 0, R},
    {"XMLPacket", TIFFTAG_XMLPACKET, Args::Count32, 0, B | U},
    {"Photoshop", TIFFTAG_PHOTOSHOP, Args::Count32, 0, B | U},
    {nullptr, TIFFTAG_ICCPROFILE, Args::Count32, 0, U},
    {"StoNits", TIFFTAG_STONITS, Args::One, 8, D},
};

// Each field's description, or null after saying so.
const TIFFField *Describe(TIFF *tif, const Layout &layout, const Promise &p, uint32_t tag)
{
    const TIFFField *fip = TIFFFieldWithTag(tif, tag);
    if (!fip)
        Broken(layout, p, "TIFFFieldWithTag(%" PRIu32 ") gave no field", tag);
    return fip;
}

// Runs `check` on every row with the field's description, on a new
// directory of the call file.
template <typename Fn>
bool EveryField(const Layout &layout, const Promise &p, Fn check)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (const FieldRow &row : field_rows) {
        const TIFFField *fip = Describe(tif, layout, p, row.tag);
        if (!fip || !check(row, fip))
            ok = false;
    }
    return SetStripPage(tif, layout.filename) && ok;
}

bool PassesCount(Args args)
{
    return args == Args::Count16 || args == Args::Count32;
}

bool PassCount(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const int got = TIFFFieldPassCount(fip);
        if (got != (PassesCount(row.args) ? 1 : 0))
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got,
                          PassesCount(row.args) ? 1 : 0);
        return true;
    });
}

// What TIFFFieldReadCount(3tiff) and TIFFFieldWriteCount(3tiff) must give
// for TIFFGetField's way of passing the field.
bool CountFits(const Layout &layout, const Promise &p, const FieldRow &row, int got,
               const char *call)
{
    switch (row.args) {
    case Args::One:
    case Args::Two: {
        const int expect = row.args == Args::One ? 1 : 2;
        if (got != expect)
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got, expect);
        return true;
    }
    case Args::Pointer:
        if (got == TIFF_VARIABLE || got == TIFF_VARIABLE2)
            return Broken(layout, p,
                          "tag %" PRIu32 " gave %d, which asks for a count; %s takes none", row.tag,
                          got, call);
        return true;
    case Args::Count16:
    case Args::Count32: {
        const int expect = row.args == Args::Count16 ? TIFF_VARIABLE : TIFF_VARIABLE2;
        if (got != expect)
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got, expect);
        return true;
    }
    }
    return true;
}

bool ReadCount(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        return CountFits(layout, p, row, TIFFFieldReadCount(fip), "TIFFGetField");
    });
}

bool WriteCount(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        return CountFits(layout, p, row, TIFFFieldWriteCount(fip), "TIFFSetField");
    });
}

bool CountSize(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const int expect = row.args == Args::Count16 ? 2 : row.args == Args::Count32 ? 4 : 0;
        const int got = TIFFFieldSetGetCountSize(fip);
        if (got != expect)
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got, expect);
        return true;
    });
}

bool SetGetSize(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const int got = TIFFFieldSetGetSize(fip);
        if (row.size != 0 && got != row.size)
            return Broken(layout, p, "tag %" PRIu32 " gave %d, expected %d", row.tag, got,
                          row.size);
        return true;
    });
}

bool FieldNames(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const char *got = TIFFFieldName(fip);
        if (row.name && (!got || strcmp(got, row.name) != 0))
            return Broken(layout, p, "tag %" PRIu32 " gave \"%s\", expected \"%s\"", row.tag,
                          got ? got : "(null)", row.name);
        return true;
    });
}

bool FieldTags(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = probe::Create(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (const FieldRow &row : field_rows) {
        if (!row.name)
            continue;
        const TIFFField *const fip = Expecting([&] { return TIFFFieldWithName(tif, row.name); });
        const uint32_t got = fip ? TIFFFieldTag(fip) : 0;
        if (got != row.tag)
            ok = Broken(layout, p,
                        "TIFFFieldWithName(\"%s\") gave tag %" PRIu32 ", expected %" PRIu32,
                        row.name, got, row.tag);
    }
    return SetStripPage(tif, layout.filename) && ok;
}

bool FieldTypes(const Layout &layout, const Promise &p)
{
    return EveryField(layout, p, [&](const FieldRow &row, const TIFFField *fip) {
        const TIFFDataType got = TIFFFieldDataType(fip);
        if (static_cast<unsigned>(got) >= 32 || (Type(got) & row.types) == 0)
            return Broken(layout, p, "tag %" PRIu32 " gave type %d, not one the field allows",
                          row.tag, static_cast<int>(got));
        return true;
    });
}

bool TagListEnd(const Layout &layout, const Promise &p)
{
    probe::Tiff tif = NewStripPage(layout);
    if (!tif)
        return false;
    for (ttag_t tag : {TIFFTAG_ARTIST, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_SOFTWARE}) {
        if (!TIFFSetField(tif, tag, "manpage_probe")) {
            probe::SayCantSet(tag, layout.filename);
            return false;
        }
    }
    const int count = TIFFGetTagListCount(tif);
    if (count < 0)
        return Broken(layout, p, "TIFFGetTagListCount gave %d", count);
    for (int i = 0; i < count; i++) {
        if (TIFFGetTagListEntry(tif, i) == UINT32_MAX)
            return Broken(layout, p, "entry %d of %d gave 0xFFFFFFFF", i, count);
    }
    for (int i : {count, count + 1}) {
        const uint32_t got = TIFFGetTagListEntry(tif, i);
        if (got != UINT32_MAX)
            return Broken(layout, p, "entry %d of %d gave 0x%" PRIX32 ", expected 0xFFFFFFFF", i,
                          count, got);
    }
    return true;
}

// The sizes TIFF 6.0 (types 1 to 12), the IFD type's note (13) and BigTIFF
// (16 to 18) give; every other number is no type.
bool DataWidth(const Layout &layout, const Promise &p)
{
    constexpr int widths[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8, 0};
    bool ok = true;
    for (int type = 0; type < static_cast<int>(sizeof(widths) / sizeof(widths[0])); type++) {
        const int got = TIFFDataWidth(static_cast<TIFFDataType>(type));
        if (got != widths[type])
            ok = Broken(layout, p, "type %d gave %d, expected %d", type, got, widths[type]);
    }
    return ok;
}

void Quiet(const char * /*module*/, const char * /*format*/, va_list /*ap*/) {}
void Other(const char * /*module*/, const char * /*format*/, va_list /*ap*/) {}

bool HandlerReturns(const Layout &layout, const Promise &p,
                    TIFFErrorHandler (*set)(TIFFErrorHandler))
{
    const TIFFErrorHandler original = set(Quiet);
    const TIFFErrorHandler first = set(Other);
    const TIFFErrorHandler second = set(original);
    if (first != Quiet || second != Other)
        return Broken(layout, p, "the previous handler came back %s",
                      first != Quiet ? "wrong first" : "wrong second");
    return true;
}

bool ErrorHandler(const Layout &layout, const Promise &p)
{
    return HandlerReturns(layout, p, TIFFSetErrorHandler);
}

bool WarningHandler(const Layout &layout, const Promise &p)
{
    return HandlerReturns(layout, p, TIFFSetWarningHandler);
}

// Promises whose answer may depend on the file's byte order and format.
constexpr Promise layout_promises[] = {
    {"TIFFWriteEncodedStrip(3tiff)", "Otherwise, the value of size is returned.",
     WriteStripGivesSize},
    {"TIFFWriteEncodedStrip(3tiff)",
     "File not open for writing ... -1 is returned if an error was encountered.",
     WriteStripReadOnly},
    {"TIFFWriteEncodedStrip(3tiff)", "Can not write scanlines to a tiled image", WriteStripTiled},
    {"TIFFWriteEncodedStrip(3tiff)",
     "The strip number must be valid according to the current settings of the ImageLength and "
     "RowsPerStrip tags.",
     WriteStripPastEnd},
    {"TIFFReadEncodedStrip(3tiff)",
     "If -1 is passed in the size parameter, the whole strip will be read.", ReadStripWhole},
    {"TIFFReadEncodedStrip(3tiff)",
     "place up to size bytes of decompressed information in the (user supplied) data buffer",
     ReadStripUpToSize},
    {"TIFFReadEncodedStrip(3tiff)", "returns -1 if an error was encountered", ReadStripPastEnd},
    {"TIFFReadScanline(3tiff)", "returns -1 if it detects an error; otherwise 1 is returned",
     ReadScanlines},
    {"TIFFWriteScanline(3tiff)", "1 for a successful write", WriteScanlines},
    {"TIFFWriteScanline(3tiff)", "File not open for writing", WriteScanlineReadOnly},
    {"TIFFWriteScanline(3tiff)",
     "It is not possible to write scanlines to a file that uses a tiled organization.",
     WriteScanlineTiled},
    {"TIFFstrip(3tiff)", "TIFFNumberOfStrips() returns the number of strips in the image.",
     StripCount},
    {"TIFFstrip(3tiff)",
     "TIFFStripSize() returns the equivalent size for a strip of data as it would be returned in "
     "a call to TIFFReadEncodedStrip()",
     StripSize},
    {"TIFFsize(3tiff)", "TIFFScanlineSize() returns the size in bytes of a row of data",
     ScanlineSize},
    {"TIFFstrip(3tiff)",
     "TIFFComputeStrip() returns the strip that contains the specified "
     "coordinates.",
     ComputeStripInside},
    {"TIFFtile(3tiff)", "TIFFTileSize() ... TIFFTileRowSize() ... TIFFNumberOfTiles()", TileSizes},
    {"TIFFtile(3tiff)",
     "TIFFComputeTile() returns the tile that contains the specified "
     "coordinates.",
     ComputeTileInside},
    {"TIFFtile(3tiff)",
     "TIFFCheckTile() returns a non-zero value if the supplied coordinates are within the bounds "
     "of the image and zero otherwise.",
     CheckTile},
    {"TIFFWriteEncodedTile(3tiff)", "Otherwise, the value of size is returned.",
     WriteEncodedTileGivesSize},
    {"TIFFWriteTile(3tiff)", "otherwise the number of bytes in the tile is returned.",
     WriteTileGivesBytes},
    {"TIFFWriteEncodedTile(3tiff)", "Can not write tiles to a stripped image", WriteTileStripped},
    {"TIFFReadEncodedTile(3tiff)",
     "The actual number of bytes of data that were placed in buf is returned; "
     "TIFFReadEncodedTile() returns -1 if an error was encountered.",
     ReadEncodedTiles},
    {"TIFFReadTile(3tiff)",
     "TIFFReadTile() returns -1 if it detects an error; otherwise the number of bytes in the "
     "decoded tile is returned.",
     ReadTileByPlace},
    {"TIFFStrileQuery(3tiff)", "set to \"0\" for successful return or to \"1\" for an error return",
     StrileWithErr},
    {"TIFFDeferStrileArrayWriting(3tiff)", "The typical sequence of calls is: ...", DeferredArrays},
    {"TIFFquery(3tiff)",
     "TIFFIsBigEndian() returns a non-zero value if the file is BigEndian and zero if the file "
     "is LittleEndian.",
     ByteOrder},
    {"TIFFquery(3tiff)",
     "TIFFIsByteSwapped() returns a non-zero value if the image data was in a different "
     "byte-order than the host machine.",
     ByteSwapped},
    {"TIFFquery(3tiff)",
     "TIFFIsBigTIFF() returns a non-zero value if the file is in BigTIFF "
     "style.",
     BigTiff},
    {"TIFFquery(3tiff)",
     "TIFFIsTiled() returns a non-zero value if the image data has a tiled organization.", Tiled},
    {"TIFFquery(3tiff)", "TIFFFileName() returns the pathname argument passed to TIFFOpen()",
     FileName},
    {"TIFFquery(3tiff)", "TIFFNumberOfDirectories() returns the number of directories in a file.",
     DirectoryCount},
    {"TIFFOpen(3tiff)",
     "If a file is opened for reading, the first TIFF directory in the file is automatically "
     "read",
     FirstDirectoryRead},
    {"TIFFReadDirectory(3tiff)",
     "If the next directory was successfully read, 1 is returned. Otherwise, 0 is returned ... "
     "if there are no more directories to be read.",
     ReadDirectoryWalk},
    {"TIFFquery(3tiff)",
     "TIFFLastDirectory() returns a non-zero value if the current directory is the last "
     "directory in the file; otherwise zero is returned.",
     LastDirectory},
    {"TIFFSetDirectory(3tiff)",
     "On successful return 1 is returned. Otherwise, 0 is returned if dirnum ... specifies a "
     "non-existent directory",
     SetDirectory},
    {"TIFFSetDirectory(3tiff)",
     "TIFFSetSubDirectory() acts like TIFFSetDirectory(), except the directory is specified as a "
     "file offset",
     SetSubDirectory},
    {"TIFFCreateDirectory(3tiff)",
     "TIFFUnlinkDirectory() unlink the specified directory from the directory chain. ... the "
     "first directory numbered one (1).",
     UnlinkDirectory},
    {"TIFFWriteDirectory(3tiff)", "TIFFWriteDirectory() is automatically called by TIFFClose()",
     WrittenByClose},
    {"TIFFWriteDirectory(3tiff)",
     "The TIFFCheckpointDirectory() writes the current state of the tiff directory into the "
     "file to make what is currently in the file readable.",
     Checkpoint},
    {"TIFFWriteDirectory(3tiff)",
     "it will place them at the end of the file, correcting the pointer from the preceding "
     "directory or file header",
     RewriteAtEnd},
    {"TIFFOpen(3tiff)",
     "If an existing file is opened for writing, all previous data is overwritten.",
     OpenOverwrites},
    {"TIFFOpen(3tiff)",
     "When a file is opened for appending, existing data will not be touched; instead new data "
     "will be written as additional subfiles.",
     OpenAppends},
    {"TIFFGetField(3tiff)",
     "1 is returned if the tag is defined in the current directory; otherwise a 0 is returned.",
     GetFieldDefined},
    {"TIFFGetField(3tiff)", "TIFFVGetField() is functionally equivalent to TIFFGetField()",
     VGetFieldSame},
    {"TIFFSetField(3tiff)", "1 is returned if the operation was successful.", SetFieldSucceeds},
    {"TIFFSetField(3tiff)", "Cannot modify tag \"%s\" while writing", SetFieldWhileWriting},
    {"TIFFSetField(3tiff)", "TIFFUnsetField() clears the contents of the field", UnsetField},
    {"TIFFCustomDirectory(3tiff)",
     "A sequence to handle a second (or third) TIFF directory - in this case the GPS IFD - is as "
     "follows",
     GpsSequence},
};

// Promises about the calls alone, run once.
constexpr Promise call_promises[] = {
    {"TIFFstrip(3tiff)",
     "A valid strip is always returned; out-of-range coordinate values are clamped to the "
     "bounds of the image.",
     ComputeStripClamped},
    {"TIFFtile(3tiff)",
     "A valid tile is always returned; out-of-range coordinate values are clamped to the bounds "
     "of the image.",
     ComputeTileClamped},
    {"TIFFquery(3tiff)",
     "TIFFGetMode() returns the mode with which the underlying file was opened. On UNIX "
     "systems, this is the value passed to the open() (2) system call.",
     OpenMode},
    {"TIFFquery(3tiff)",
     "A value of 65535 (non-existing directory) is returned if the directory has not yet been "
     "written to the file after opening it.",
     CurrentDirectoryUnwritten},
    {"TIFFquery(3tiff)", "TIFFGetVersion() returns an ASCII string that has a version stamp",
     GetVersion},
    {"TIFFOpen(3tiff)", "If the open operation fails, then NULL (0) is returned.", OpenFails},
    {"TIFFOpen(3tiff)",
     "calls to TIFFSetField() are put into a fresh directory, which will be appended when the "
     "file is closed.",
     OpenUpdateAppends},
    {"TIFFOpen(3tiff)", "This directory has all the default values specified in TIFF Revision 6.0",
     OpenDefaults},
    {"TIFFSetField(3tiff)", "%d: Bad value for \"%s\"", SetFieldBadValue},
    {"TIFFFieldPassCount(3tiff)",
     "returns true (nonzero) if TIFFGetField() and TIFFSetField() expect a count value to be "
     "passed before the actual data pointer.",
     PassCount},
    {"TIFFFieldReadCount(3tiff)",
     "TIFF_VARIABLE = -1 indicates that a variable number of values is possible; then, a "
     "uint16_t count argument and a pointer data argument must be supplied to TIFFGetField().",
     ReadCount},
    {"TIFFFieldWriteCount(3tiff)",
     "TIFF_VARIABLE indicates that a variable number of values is possible; then, a uint16_t "
     "count argument and a pointer data argument must be supplied to TIFFSetField().",
     WriteCount},
    {"TIFFFieldQuery(3tiff)",
     "TIFFFieldSetGetCountSize() returns size of count parameter ...: 0=none, 2= uint16_t, 4= "
     "uint32_t",
     CountSize},
    {"TIFFFieldQuery(3tiff)",
     "This is also the data size of the parameter to be provided to TIFFSetField() and "
     "TIFFGetField().",
     SetGetSize},
    {"TIFFFieldName(3tiff)", "TIFFFieldName() returns the textual name for a TIFF field.",
     FieldNames},
    {"TIFFFieldTag(3tiff)", "TIFFFieldTag() returns the numeric tag value for a TIFF field.",
     FieldTags},
    {"TIFFFieldDataType(3tiff)",
     "TIFFFieldDataType() returns the data type stored in a TIFF field.", FieldTypes},
    {"TIFFCustomTagList(3tiff)",
     "If the tag_index is larger or equal to the number of entries in the tag list 0xFFFFFFFF "
     "(=(uint32_t(-1)) is returned.",
     TagListEnd},
    {"TIFFDataWidth(3tiff)", "0 returned when unknown data type supplied.", DataWidth},
    {"TIFFError(3tiff)",
     "TIFFSetErrorHandler() and TIFFSetErrorHandlerExt() returns a reference to the previous "
     "error handler function.",
     ErrorHandler},
    {"TIFFWarning(3tiff)",
     "TIFFSetWarningHandler() and TIFFSetWarningHandlerExt() returns a reference to the "
     "previous warning handler function.",
     WarningHandler},
};

// Every promise of the table, each on its own; the layout passes when all do.
template <size_t N>
bool Keep(const Layout &layout, const Promise (&promises)[N])
{
    bool ok = true;
    for (const Promise &p : promises) {
        if (!p.check(layout, p))
            ok = false;
    }
    return ok;
}

} // namespace

int main()
{
    CountLibraryMessages();
    const int by_layout =
        probe::RunLayouts(layouts, [](const Layout &l) { return Keep(l, layout_promises); });
    const int once =
        probe::RunLayouts(calls_layouts, [](const Layout &l) { return Keep(l, call_promises); });
    return by_layout | once;
}
