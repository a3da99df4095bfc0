// Holds the size calls to TIFF 6.0's formulas (a row's bits rounded up to
// whole bytes; YCbCr subsampled data in data units of SubsampleHoriz x
// SubsampleVert luma samples and two chroma samples, a row of them padded to
// a byte), the raw strip and tile calls to the bytes on disk, exactly, and
// the byte-order helpers to a swap of the probe's own.
//
// The sizes are asked on the handle that set the fields and again after
// the file is reopened; the raw chunks are written (chunk 0 in two calls,
// the second appending), found on disk by our own reader, and read back
// whole and in part.
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "calls_values.h"
#include "chunks.h"
#include "ifd_reader.h"
#include "probe_support.h"

namespace {

using calls::size_page_count;
using calls::size_pages;
using calls::SizePage;
using chunks::SameNumber;

constexpr probe::Layout layouts[] = {
    {"calls_le.tif", false, false},
    {"calls_be.tif", true, false},
    {"calls_le.btf", false, true},
    {"calls_be.btf", true, true},
};

// --- TIFF 6.0's sizes ----------------------------------------------------

uint64_t Up(uint64_t n, uint64_t d)
{
    return (n + d - 1) / d;
}

bool Tiled(const SizePage &p)
{
    return p.rows_per_strip == 0;
}
bool Subsampled(const SizePage &p)
{
    return p.sub_h != 0 && p.photometric == PHOTOMETRIC_YCBCR && p.planar == PLANARCONFIG_CONTIG;
}
uint64_t Planes(const SizePage &p)
{
    return p.planar == PLANARCONFIG_SEPARATE ? p.samples : 1;
}

// The bytes of one row of `width` pixels: of one plane when in planes; for
// subsampled YCbCr, of one row of data units (sub_v rows of pixels).
uint64_t RowBytes(const SizePage &p, uint64_t width)
{
    if (Subsampled(p))
        return Up(Up(width, p.sub_h) * (p.sub_h * p.sub_v + 2U) * p.bits, 8);
    return Up(width * p.bits * (p.samples / Planes(p)), 8);
}

// The bytes of `rows` rows of `width` pixels.
uint64_t RowsBytes(const SizePage &p, uint64_t width, uint64_t rows)
{
    return Subsampled(p) ? Up(rows, p.sub_v) * RowBytes(p, width) : rows * RowBytes(p, width);
}

uint64_t ChunkCount(const SizePage &p)
{
    if (Tiled(p))
        return Up(p.width, p.tile_width) * Up(p.length, p.tile_length) * Planes(p);
    return Up(p.length, p.rows_per_strip) * Planes(p);
}

// The bytes of chunk c as the probe writes it: a whole tile, or the rows of
// the strip that lie inside the image.
uint64_t ChunkBytes(const SizePage &p, uint64_t c)
{
    if (Tiled(p))
        return RowsBytes(p, p.tile_width, p.tile_length);
    const uint64_t per_plane = Up(p.length, p.rows_per_strip);
    const uint64_t first = c % per_plane * p.rows_per_strip;
    const uint64_t rows = std::min<uint64_t>(p.rows_per_strip, p.length - first);
    return RowsBytes(p, p.width, rows);
}

std::vector<uint8_t> ChunkData(unsigned k, uint64_t c, const SizePage &p)
{
    std::vector<uint8_t> out(ChunkBytes(p, c));
    for (size_t b = 0; b < out.size(); b++)
        out[b] = static_cast<uint8_t>(static_cast<uint64_t>(k) * 31U + c * 7U + b * 13U + 1U);
    return out;
}

// --- The size calls --------------------------------------------------------

bool CheckSizes(TIFF *tif, unsigned k, const char *name)
{
    const SizePage &p = size_pages[k];
    const uint32_t odd = 3; // rows: inside a data unit's height, or not
    // TIFFsize(3tiff): a subsampled scanline is a row of data units divided
    // by their height.
    const uint64_t scanline = Subsampled(p) ? RowBytes(p, p.width) / p.sub_v : RowBytes(p, p.width);
    bool ok = SameNumber(name, k, TIFFScanlineSize64(tif), scanline, "TIFFScanlineSize64") &&
              SameNumber(name, k, static_cast<uint64_t>(TIFFRasterScanlineSize(tif)),
                         Up(static_cast<uint64_t>(p.width) * p.samples * p.bits, 8),
                         "TIFFRasterScanlineSize");
    if (!ok)
        return false;
    if (Tiled(p))
        return SameNumber(name, k, TIFFNumberOfTiles(tif), ChunkCount(p), "TIFFNumberOfTiles") &&
               SameNumber(name, k, TIFFTileSize64(tif), RowsBytes(p, p.tile_width, p.tile_length),
                          "TIFFTileSize64") &&
               SameNumber(name, k, static_cast<uint64_t>(TIFFVTileSize(tif, odd)),
                          RowsBytes(p, p.tile_width, odd), "TIFFVTileSize(%u)", odd) &&
               SameNumber(name, k, static_cast<uint64_t>(TIFFVTileSize(tif, 1)),
                          RowsBytes(p, p.tile_width, 1), "TIFFVTileSize(1)");
    return SameNumber(name, k, TIFFNumberOfStrips(tif), ChunkCount(p), "TIFFNumberOfStrips") &&
           SameNumber(name, k, TIFFStripSize64(tif),
                      RowsBytes(p, p.width, std::min(p.rows_per_strip, p.length)),
                      "TIFFStripSize64") &&
           SameNumber(name, k, static_cast<uint64_t>(TIFFVStripSize(tif, odd)),
                      RowsBytes(p, p.width, odd), "TIFFVStripSize(%u)", odd) &&
           SameNumber(name, k, static_cast<uint64_t>(TIFFVStripSize(tif, 1)),
                      RowsBytes(p, p.width, 1), "TIFFVStripSize(1)");
}

// TIFFstrip(3tiff): without an estimate, strips of "approximately 8
// kilobytes", read here as 4 to 12 KiB (or one row, if a row is more); with
// one, the estimate as given where no compression asks otherwise, and 4 rows
// are a whole number of every page's data units. TIFFtile(3tiff): widths and
// heights multiples of 16, asked for or not.
bool CheckDefaultSizes(TIFF *tif, unsigned k, const char *name)
{
    const SizePage &p = size_pages[k];
    if (Tiled(p)) {
        for (const uint32_t asked : {0U, 17U}) {
            uint32_t width = asked;
            uint32_t length = 2 * asked - (asked ? 1 : 0);
            const std::string call = "TIFFDefaultTileSize(" + std::to_string(width) + ", " +
                                     std::to_string(length) + ")'s ";
            TIFFDefaultTileSize(tif, &width, &length);
            for (const auto &[what, got] : {std::pair{"width", width}, {"length", length}}) {
                if (got == 0 || got % 16 != 0) {
                    probe::Say<probe::Line::NumberIsNot>(name, k, (call + what).c_str(),
                                                         uint64_t{got}, "a multiple of 16");
                    return false;
                }
            }
        }
        return true;
    }
    const uint64_t row = TIFFScanlineSize64(tif);
    const uint32_t rows = TIFFDefaultStripSize(tif, 0);
    const uint64_t bytes = uint64_t{rows} * row;
    if (rows == 0 || (row <= 4096 && (bytes < 4096 || bytes > 12288)) ||
        (row > 4096 && rows != 1)) {
        probe::Say<probe::Line::NumberIsNot>(name, k, "TIFFDefaultStripSize(0)", uint64_t{rows},
                                             "rows of 4096 to 12288 bytes");
        return false;
    }
    return SameNumber(name, k, TIFFDefaultStripSize(tif, 4), 4, "TIFFDefaultStripSize(4)");
}

// --- Writing -----------------------------------------------------------------

bool SetFields(TIFF *tif, const SizePage &p, unsigned k, const char *name)
{
    const std::string page = probe::Page(k);
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.length) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bits) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samples) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, p.planar) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    if (ok && p.sub_h)
        ok = TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, p.sub_h, p.sub_v);
    if (ok && Tiled(p))
        ok = TIFFSetField(tif, TIFFTAG_TILEWIDTH, p.tile_width) &&
             TIFFSetField(tif, TIFFTAG_TILELENGTH, p.tile_length);
    else if (ok)
        ok = TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, p.rows_per_strip);
    if (!ok)
        probe::Say<probe::Line::ShapeNotSet>(name, page.c_str());
    return ok;
}

tmsize_t WriteRaw(TIFF *tif, bool tiled, uint32_t c, uint8_t *data, tmsize_t size)
{
    return tiled ? TIFFWriteRawTile(tif, c, data, size) : TIFFWriteRawStrip(tif, c, data, size);
}

bool WritePages(TIFF *tif, const char *name)
{
    for (unsigned k = 0; k < size_page_count; k++) {
        const SizePage &p = size_pages[k];
        if (!SetFields(tif, p, k, name) || !CheckSizes(tif, k, name) ||
            !CheckDefaultSizes(tif, k, name))
            return false;
        for (uint32_t c = 0; c < ChunkCount(p); c++) {
            std::vector<uint8_t> data = ChunkData(k, c, p);
            const auto size = static_cast<tmsize_t>(data.size());
            // TIFFWriteRawStrip(3tiff): "Append size bytes": chunk 0 in two parts.
            const tmsize_t first = c == 0 ? calls::first_part : size;
            if (WriteRaw(tif, Tiled(p), c, data.data(), first) != first ||
                (first < size &&
                 WriteRaw(tif, Tiled(p), c, data.data() + first, size - first) != size - first)) {
                probe::SayCantWrite(name, probe::Page(k).c_str());
                return false;
            }
        }
        // TIFFFlush(3tiff): nothing pending after raw writes, a success.
        if (!SameNumber(name, k, static_cast<uint64_t>(TIFFFlushData(tif)), 1, "TIFFFlushData"))
            return false;
        if (k + 1 < size_page_count && !probe::WriteDirectory(tif, k, name))
            return false;
    }
    // The last page goes to disk through TIFFFlush, which does "any pending
    // writes ... including writes for the current directory": the file is
    // checked on disk before it is closed.
    return SameNumber(name, size_page_count - 1, static_cast<uint64_t>(TIFFFlush(tif)), 1,
                      "TIFFFlush");
}

// --- Reading back ------------------------------------------------------------

bool CheckOnDisk(const probe::Layout &layout)
{
    const char *name = layout.filename;
    probe::OnDisk disk;
    if (!probe::ReadFormat(layout, &disk) || !probe::PagesOnDisk(disk.file, size_page_count, name))
        return false;
    for (unsigned k = 0; k < size_page_count; k++) {
        const SizePage &p = size_pages[k];
        const ifd::Directory &dir = disk.file.chain[k];
        const uint16_t offsets_tag = Tiled(p) ? ifd::tag::TileOffsets : ifd::tag::StripOffsets;
        const uint16_t counts_tag = Tiled(p) ? ifd::tag::TileByteCounts : ifd::tag::StripByteCounts;
        const char *unit = Tiled(p) ? "tile" : "strip";
        if (!probe::ChunksInside(dir, disk.bytes.size(), offsets_tag, counts_tag, ChunkCount(p),
                                 unit, name))
            return false;
        const ifd::Entry *offsets = ifd::FindEntry(dir, offsets_tag);
        const ifd::Entry *counts = ifd::FindEntry(dir, counts_tag);
        for (uint32_t c = 0; c < ChunkCount(p); c++) {
            if (!probe::ChunkHolds(disk.bytes, offsets->values[c], counts->values[c],
                                   ChunkData(k, c, p), unit, c, k, name))
                return false;
        }
    }
    return true;
}

tmsize_t ReadRaw(TIFF *tif, bool tiled, uint32_t c, uint8_t *buf, tmsize_t size)
{
    return tiled ? TIFFReadRawTile(tif, c, buf, size) : TIFFReadRawStrip(tif, c, buf, size);
}

// Each chunk read raw into a larger buffer (all of it), and into one a byte
// short of it (all but its last byte); TIFFRawStripSize64 its length.
bool CheckRawReads(TIFF *tif, unsigned k, const char *name)
{
    const SizePage &p = size_pages[k];
    const char *unit = Tiled(p) ? "tile" : "strip";
    const std::string page = probe::Page(k);
    for (uint32_t c = 0; c < ChunkCount(p); c++) {
        const std::vector<uint8_t> want = ChunkData(k, c, p);
        const auto size = static_cast<tmsize_t>(want.size());
        if (!Tiled(p) && !SameNumber(name, k, TIFFRawStripSize64(tif, c), want.size(),
                                     "TIFFRawStripSize64(%u)", c))
            return false;
        for (const tmsize_t asked : {size + 5, size - 1}) {
            std::vector<uint8_t> got(static_cast<size_t>(size + 5), 0);
            const tmsize_t n = ReadRaw(tif, Tiled(p), c, got.data(), asked);
            const tmsize_t expect = asked < size ? asked : size;
            if (n < 0) {
                probe::SayCantRead(unit, c, name, page.c_str());
                return false;
            }
            for (tmsize_t b = 0; b < expect; b++) {
                if (got[static_cast<size_t>(b)] != want[static_cast<size_t>(b)]) {
                    probe::SayWrongImageByte(
                        unit, c, name, page.c_str(), static_cast<unsigned long>(b),
                        got[static_cast<size_t>(b)], want[static_cast<size_t>(b)]);
                    return false;
                }
            }
            if (!SameNumber(name, k, static_cast<uint64_t>(n), static_cast<uint64_t>(expect),
                            "%s of %s %u into %td bytes",
                            Tiled(p) ? "TIFFReadRawTile" : "TIFFReadRawStrip", unit, c, asked))
                return false;
        }
    }
    return true;
}

// TIFFquery(3tiff): the current strip or tile is the one being read, the
// current row the row being read; whether that is the row read or the next
// after the call returns, the page leaves open.
bool CheckCurrent(TIFF *tif, unsigned k, const char *name)
{
    const SizePage &p = size_pages[k];
    std::vector<uint8_t> buf(
        static_cast<size_t>(Tiled(p) ? TIFFTileSize(tif) : TIFFStripSize(tif)));
    for (uint32_t c = ChunkCount(p); c-- > 0;) {
        const bool tiled = Tiled(p);
        const tmsize_t n =
            tiled ? TIFFReadEncodedTile(tif, c, buf.data(), static_cast<tmsize_t>(buf.size()))
                  : TIFFReadEncodedStrip(tif, c, buf.data(), static_cast<tmsize_t>(buf.size()));
        if (n < 0) {
            probe::SayCantRead(tiled ? "tile" : "strip", c, name, probe::Page(k).c_str());
            return false;
        }
        if (!SameNumber(name, k, tiled ? TIFFCurrentTile(tif) : TIFFCurrentStrip(tif), c,
                        tiled ? "TIFFCurrentTile after TIFFReadEncodedTile(%u)"
                              : "TIFFCurrentStrip after TIFFReadEncodedStrip(%u)",
                        c))
            return false;
    }
    return true;
}

// Rows one by one, on a handle of their own: of contiguous, unsubsampled
// strips only, as TIFFReadScanline(3tiff) reads them.
bool CheckCurrentRow(const probe::Layout &layout, unsigned k)
{
    const SizePage &p = size_pages[k];
    const char *name = layout.filename;
    if (Tiled(p) || Subsampled(p) || p.planar != PLANARCONFIG_CONTIG)
        return true;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    if (!tif || !chunks::GoTo(tif, k, name))
        return false;
    std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tif)));
    for (uint32_t r = 0; r < p.length; r++) {
        if (TIFFReadScanline(tif, line.data(), r, 0) < 0) {
            probe::SayCantRead("row", r, name, probe::Page(k).c_str());
            return false;
        }
        const uint32_t got = TIFFCurrentRow(tif);
        if (got != r && got != r + 1) {
            const std::string call =
                "TIFFCurrentRow after TIFFReadScanline(" + std::to_string(r) + ")";
            const std::string expect = std::to_string(r) + " or " + std::to_string(r + 1);
            probe::Say<probe::Line::NumberIsNot>(name, k, call.c_str(), uint64_t{got},
                                                 expect.c_str());
            return false;
        }
    }
    return true;
}

bool CheckReadBack(const probe::Layout &layout)
{
    const char *name = layout.filename;
    const probe::Tiff tif = probe::Reopen(layout, probe::Access::Read);
    if (!tif)
        return false;
    for (unsigned k = 0; k < size_page_count; k++) {
        if (!chunks::GoTo(tif, k, name) || !CheckSizes(tif, k, name) ||
            !CheckDefaultSizes(tif, k, name) || !CheckRawReads(tif, k, name) ||
            !CheckCurrent(tif, k, name) || !CheckCurrentRow(layout, k))
            return false;
    }
    return true;
}

bool CallsTest(const probe::Layout &layout)
{
    const unsigned long messages = LibraryMessages();
    {
        const probe::Tiff tif = probe::Create(layout);
        if (!tif || !WritePages(tif, layout.filename) || !CheckOnDisk(layout))
            return false;
    }
    return CheckOnDisk(layout) && CheckReadBack(layout) &&
           probe::LibraryQuiet(layout.filename, messages);
}

// --- The byte-order helpers ----------------------------------------------------

// The probe's own swap: the bytes of each `width`-byte item reversed.
std::vector<uint8_t> Swapped(const void *data, size_t items, size_t width)
{
    std::vector<uint8_t> out(items * width);
    const auto *in = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < items; i++) {
        for (size_t b = 0; b < width; b++)
            out[i * width + b] = in[i * width + width - 1 - b];
    }
    return out;
}

// The items at `got` against the swap of `original`; says the first that
// differs: "CALL: value I is 0xGOT, expected 0xEXPECT.".
bool SameSwap(const char *call, const void *got, const void *original, size_t items, size_t width)
{
    const std::vector<uint8_t> want = Swapped(original, items, width);
    const auto *g = static_cast<const uint8_t *>(got);
    for (size_t i = 0; i < items; i++) {
        if (memcmp(g + i * width, want.data() + i * width, width) != 0) {
            probe::Say<probe::Line::SwabValue>(call, i, probe::ItemAt(g, width, i),
                                               probe::ItemAt(want.data(), width, i));
            return false;
        }
    }
    return true;
}

uint8_t Reversed(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; i++)
        r = static_cast<uint8_t>(r | (((b >> i) & 1U) << (7 - i)));
    return r;
}

// Five items of an array: an odd count, so that a loop that swaps two at a
// time shows its last one.
template <typename T>
bool SwabArray(const char *call, void (*swab)(T *, tmsize_t), const T (&values)[5])
{
    T copy[5];
    memcpy(copy, values, sizeof(copy));
    swab(copy, 5);
    return SameSwap(call, copy, values, 5, sizeof(T));
}

bool SwabTest()
{
    bool ok = true;
    uint16_t s = 0x0102;
    const uint16_t s0 = s;
    TIFFSwabShort(&s);
    ok = SameSwap("TIFFSwabShort", &s, &s0, 1, 2) && ok;
    uint32_t l = 0x01020304U;
    const uint32_t l0 = l;
    TIFFSwabLong(&l);
    ok = SameSwap("TIFFSwabLong", &l, &l0, 1, 4) && ok;
    uint64_t l8 = 0x0102030405060708ULL;
    const uint64_t l80 = l8;
    TIFFSwabLong8(&l8);
    ok = SameSwap("TIFFSwabLong8", &l8, &l80, 1, 8) && ok;
    float f = 1.0000001F;
    const float f0 = f;
    TIFFSwabFloat(&f);
    ok = SameSwap("TIFFSwabFloat", &f, &f0, 1, 4) && ok;
    double d = -2.5e-300;
    const double d0 = d;
    TIFFSwabDouble(&d);
    ok = SameSwap("TIFFSwabDouble", &d, &d0, 1, 8) && ok;

    const uint16_t shorts[5] = {0x0102, 0x1314, 0x2526, 0x3738, 0x494a};
    const uint32_t longs[5] = {0x01020304U, 0x15161718U, 0x292a2b2cU, 0x3d3e3f40U, 0x51525354U};
    const uint64_t long8s[5] = {0x0102030405060708ULL, 0x191a1b1c1d1e1f20ULL, 0x3132333435363738ULL,
                                0x494a4b4c4d4e4f50ULL, 0x6162636465666768ULL};
    const float floats[5] = {1.5F, -0.0F, 3.0e38F, 1.0e-45F, 0.1F};
    const double doubles[5] = {1.5, -0.0, 1.0e308, 5.0e-324, 0.1};
    ok = SwabArray("TIFFSwabArrayOfShort", TIFFSwabArrayOfShort, shorts) && ok;
    ok = SwabArray("TIFFSwabArrayOfLong", TIFFSwabArrayOfLong, longs) && ok;
    ok = SwabArray("TIFFSwabArrayOfLong8", TIFFSwabArrayOfLong8, long8s) && ok;
    ok = SwabArray("TIFFSwabArrayOfFloat", TIFFSwabArrayOfFloat, floats) && ok;
    ok = SwabArray("TIFFSwabArrayOfDouble", TIFFSwabArrayOfDouble, doubles) && ok;

    // TIFFswab(3tiff): the first and third byte of each triple swapped.
    uint8_t triples[15];
    for (uint8_t i = 0; i < 15; i++)
        triples[i] = static_cast<uint8_t>(i + 1);
    const std::vector<uint8_t> before(std::begin(triples), std::end(triples));
    TIFFSwabArrayOfTriples(triples, 5);
    ok = SameSwap("TIFFSwabArrayOfTriples", triples, before.data(), 5, 3) && ok;

    uint8_t bytes[256];
    for (unsigned i = 0; i < 256; i++)
        bytes[i] = static_cast<uint8_t>(i);
    TIFFReverseBits(bytes, 256);
    struct Table {
        const char *call;
        const unsigned char *got;
        bool reversed;
    };
    const Table tables[] = {
        {"TIFFReverseBits", bytes, true},
        {"TIFFGetBitRevTable(1)", TIFFGetBitRevTable(1), true},
        {"TIFFGetBitRevTable(0)", TIFFGetBitRevTable(0), false},
    };
    for (const Table &t : tables) {
        for (unsigned i = 0; i < 256; i++) {
            const unsigned want = t.reversed ? Reversed(static_cast<uint8_t>(i)) : i;
            if (t.got[i] != want) {
                probe::Say<probe::Line::SwabValue>(t.call, size_t{i}, uint64_t{t.got[i]},
                                                   uint64_t{want});
                ok = false;
                break;
            }
        }
    }
    return ok;
}

} // namespace

int main()
{
    CountLibraryMessages();
    const bool swab = SwabTest();
    const int status = probe::RunLayouts(layouts, CallsTest);
    return swab ? status : 1;
}
