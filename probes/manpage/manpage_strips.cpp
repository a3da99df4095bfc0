// The strip pages: TIFFWriteEncodedStrip, TIFFReadEncodedStrip, the scanline
// calls, the strip counts and sizes, and the strile queries.
#include <cinttypes>
#include <cstdint>
#include <vector>

#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include "manpage_probe.h"

namespace manpage {

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
            return Broken(layout, p, "strip %" PRIu32 " of %td bytes gave %td, expected %td", s,
                          size, got, size);
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
    if (pipe(ends) != 0) {
        probe::Say<probe::Line::SetupFailed>(layout.filename, "make a pipe");
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(ends[0]);
        close(ends[1]);
        probe::Say<probe::Line::SetupFailed>(layout.filename, "start a child process");
        return false;
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
        return Broken(layout, p,
                      "strip %" PRIu32 " of %" PRIu32
                      " gave nothing: the child process died, expected -1",
                      strips, strips);
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
        return Broken(layout, p, "strip 1 with size %td gave %td, expected %td", asked, n, asked);
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
            return Broken(layout, p, "row %" PRIu32 " read other bytes, expected those written", r);
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
// its data, TIFFForceStrileArrayWriting; on the page of three strips, on
// one whole strip (arrays of one value, in the entry itself) and on tiles.

namespace {

enum class Deferred { Strips, OneStrip, Tiles };

// The bytes of unit k (strip or tile) of the deferred page.
std::vector<uint8_t> DeferredData(Deferred kind, uint32_t k)
{
    if (kind == Deferred::Tiles)
        return TileData(k);
    if (kind == Deferred::Strips)
        return StripData(k);
    std::vector<uint8_t> whole;
    for (uint32_t s = 0; s < strips; s++) {
        const std::vector<uint8_t> part = StripData(s);
        whole.insert(whole.end(), part.begin(), part.end());
    }
    return whole;
}

uint32_t DeferredUnits(Deferred kind)
{
    return kind == Deferred::Tiles ? tiles : kind == Deferred::Strips ? strips : 1;
}

bool WriteDeferred(TIFF *tif, const char *filename, Deferred kind)
{
    for (uint32_t k = 0; k < DeferredUnits(kind); k++) {
        std::vector<uint8_t> data = DeferredData(kind, k);
        const auto size = static_cast<tmsize_t>(data.size());
        if ((kind == Deferred::Tiles ? TIFFWriteEncodedTile(tif, k, data.data(), size)
                                     : TIFFWriteEncodedStrip(tif, k, data.data(), size)) != size) {
            probe::SayCantWrite(filename);
            return false;
        }
    }
    return true;
}

// Units first to last of the file's first page read back as written; says
// the first that does not (read after `after`: as the page's broken promise).
bool DeferredHolds(const Layout &layout, const Promise &p, Deferred kind, uint32_t first,
                   uint32_t last, const char *after)
{
    const probe::Tiff tif = probe::Reopen(layout, Access::Read);
    if (!tif)
        return false;
    const char *unit = kind == Deferred::Tiles ? "tile" : "strip";
    for (uint32_t k = first; k <= last; k++) {
        const std::vector<uint8_t> expect = DeferredData(kind, k);
        std::vector<uint8_t> got(expect.size());
        const auto size = static_cast<tmsize_t>(got.size());
        const tmsize_t n = kind == Deferred::Tiles ? TIFFReadEncodedTile(tif, k, got.data(), size)
                                                   : TIFFReadEncodedStrip(tif, k, got.data(), size);
        if (n != size && after)
            return Broken(layout, p, "%s %" PRIu32 " read after %s gave %td, expected %td", unit, k,
                          after, n, size);
        if (n != size) {
            probe::SayCantRead(unit, k, layout.filename);
            return false;
        }
        if (got != expect) {
            probe::SayWrongImage(unit, k, layout.filename);
            return false;
        }
    }
    return true;
}

bool DeferredSequence(const Layout &layout, const Promise &p, Deferred kind)
{
    {
        probe::Tiff tif = kind == Deferred::Tiles ? NewTiledPage(layout) : NewStripPage(layout);
        if (!tif)
            return false;
        if (kind == Deferred::OneStrip && !TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, length)) {
            probe::SayCantSet(TIFFTAG_ROWSPERSTRIP, layout.filename);
            return false;
        }
        struct Step {
            const char *call;
            int result;
        };
        Step steps[2] = {{"TIFFDeferStrileArrayWriting", TIFFDeferStrileArrayWriting(tif)},
                         {"TIFFWriteCheck", 0}};
        steps[1].result = TIFFWriteCheck(tif, kind == Deferred::Tiles, "manpage_probe");
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
        if (!WriteDeferred(tif, layout.filename, kind))
            return false;
        const int forced = TIFFForceStrileArrayWriting(tif);
        if (forced != 1)
            return Broken(layout, p, "TIFFForceStrileArrayWriting gave %d, expected 1", forced);
        // The arrays are in the file once the call returns, before the
        // close writes anything more.
        if (kind == Deferred::Strips
                ? !FirstStripReads(layout, p, "TIFFForceStrileArrayWriting")
                : !DeferredHolds(layout, p, kind, 0, 0, "TIFFForceStrileArrayWriting"))
            return false;
    }
    return DeferredHolds(layout, p, kind, 0, DeferredUnits(kind) - 1, nullptr);
}

} // namespace

bool DeferredArrays(const Layout &layout, const Promise &p)
{
    return DeferredSequence(layout, p, Deferred::Strips);
}

bool DeferredOneStrip(const Layout &layout, const Promise &p)
{
    return DeferredSequence(layout, p, Deferred::OneStrip);
}

bool DeferredTiles(const Layout &layout, const Promise &p)
{
    return DeferredSequence(layout, p, Deferred::Tiles);
}

} // namespace manpage
