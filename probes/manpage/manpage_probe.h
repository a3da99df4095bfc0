// What manpage_probe's sources share: a promise and its check, the lines
// of a broken one, the pages the probe writes, and each group's checks, which
// the promise tables (manpage_probe.cpp) list.
#ifndef TIFF_PROBES_MANPAGE_PROBE_H
#define TIFF_PROBES_MANPAGE_PROBE_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include <tiffio.h>

#include "manpage_values.h"
#include "probe_support.h"

namespace manpage {

using probe::Access;
using probe::Layout;

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
// A call the page says fails: "WHAT gave N, expected -1." when it did not.
bool Refused(const Layout &layout, const Promise &p, int64_t got, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// Runs a call whose failure the check expects and says in its own line: the
// library's message about that failure is expected, not a fault.
template <typename Call>
auto Expecting(Call call) -> decltype(call())
{
    probe::ExpectedMessages expected;
    return call();
}

// The pages of the files of several pages.
constexpr unsigned pages = 3;

constexpr tmsize_t tile_bytes = static_cast<tmsize_t>(tile_width) * tile_length;

uint32_t RowsInStrip(uint32_t strip);
// No two strips, rows or pages hold the same bytes, and none is 0.
std::vector<uint8_t> StripData(uint32_t strip, uint32_t w = width);
std::vector<uint8_t> TileData(uint32_t tile);
bool SetStripPage(TIFF *tif, const char *filename, uint32_t w = width);
bool SetTiledPage(TIFF *tif, const char *filename);
// A new file of the layout with the stripped (tiled) page's fields set; no
// handle after saying why.
probe::Tiff NewStripPage(const Layout &layout);
probe::Tiff NewTiledPage(const Layout &layout);
// Strip s of a page w wide (tile t), written whole; false after saying the
// write failed.
bool WriteStrip(TIFF *tif, const char *filename, uint32_t s, uint32_t w = width);
bool WriteTile(TIFF *tif, const char *filename, uint32_t t);
bool WriteStrips(TIFF *tif, const char *filename, uint32_t w = width);
bool WriteDirectory(TIFF *tif, const char *filename, unsigned long page);
// The layout's file with `pages` stripped pages, page K page_widths[K] wide.
bool MakeFile(const Layout &layout, unsigned pages = 1);
bool MakeTiledFile(const Layout &layout);
// The layout's file written as MakeFile (MakeTiledFile) writes it, then
// opened for reading; no handle after saying why.
probe::Tiff Written(const Layout &layout, unsigned pages = 1);
probe::Tiff WrittenTiled(const Layout &layout);
// The strips of the current page read back as written; says the first
// strip that does not.
bool StripsHold(TIFF *tif, const char *filename, uint32_t w = width);
uint32_t Width(TIFF *tif);
// A tile read back holds what TileData wrote; otherwise says which does not.
bool TileIs(const std::vector<uint8_t> &got, uint32_t tile, const char *filename);
// The file reopened for reading and its TIFFNumberOfDirectories; no handle
// after saying why.
probe::Tiff Reread(const Layout &layout, tdir_t *pages);
// The file reopened for update with its page's description set; no handle
// after saying why (the open or the description refused).
probe::Tiff ReopenDescribed(const Layout &layout, const char *text);
// A count or size the page promises: "CALL gave N, expected M." otherwise.
bool Gives(const Layout &layout, const Promise &p, const char *call, int64_t got, int64_t expect);
// Rows and the strip each lies in, the last ones past the image (clamped).
struct Coordinates {
    uint32_t x;
    uint32_t y;
    uint32_t unit; // the strip or tile
};
// Strip s read through `reader` after `after` holds what was written.
bool StripReadsAfter(const Layout &layout, const Promise &p, TIFF *reader, uint32_t s,
                     const char *after);
// A second handle, opened while the writer still has the file, reads strip
// 0 as written.
bool FirstStripReads(const Layout &layout, const Promise &p, const char *after);

// Strips, scanlines and striles (manpage_strips.cpp).
bool WriteStripGivesSize(const Layout &layout, const Promise &p);
bool WriteStripReadOnly(const Layout &layout, const Promise &p);
bool WriteStripTiled(const Layout &layout, const Promise &p);
bool WriteStripPastEnd(const Layout &layout, const Promise &p);
bool ReadStripWhole(const Layout &layout, const Promise &p);
bool ReadStripUpToSize(const Layout &layout, const Promise &p);
bool ReadStripPastEnd(const Layout &layout, const Promise &p);
bool ReadScanlines(const Layout &layout, const Promise &p);
bool WriteScanlines(const Layout &layout, const Promise &p);
bool WriteScanlineReadOnly(const Layout &layout, const Promise &p);
bool WriteScanlineTiled(const Layout &layout, const Promise &p);
bool StripCount(const Layout &layout, const Promise &p);
bool StripSize(const Layout &layout, const Promise &p);
bool ScanlineSize(const Layout &layout, const Promise &p);
bool ComputeStripInside(const Layout &layout, const Promise &p);
bool ComputeStripClamped(const Layout &layout, const Promise &p);
bool StrileWithErr(const Layout &layout, const Promise &p);
bool DeferredArrays(const Layout &layout, const Promise &p);
bool DeferredOneStrip(const Layout &layout, const Promise &p);
bool DeferredTiles(const Layout &layout, const Promise &p);

// Tiles (manpage_tiles.cpp).
bool TileSizes(const Layout &layout, const Promise &p);
bool ComputeTileInside(const Layout &layout, const Promise &p);
bool ComputeTileClamped(const Layout &layout, const Promise &p);
bool CheckTile(const Layout &layout, const Promise &p);
bool WriteEncodedTileGivesSize(const Layout &layout, const Promise &p);
bool WriteTileGivesBytes(const Layout &layout, const Promise &p);
bool WriteTileStripped(const Layout &layout, const Promise &p);
bool ReadEncodedTiles(const Layout &layout, const Promise &p);
bool ReadTileByPlace(const Layout &layout, const Promise &p);

// TIFFquery (manpage_queries.cpp).
bool ByteOrder(const Layout &layout, const Promise &p);
bool ByteSwapped(const Layout &layout, const Promise &p);
bool BigTiff(const Layout &layout, const Promise &p);
bool Tiled(const Layout &layout, const Promise &p);
bool FileName(const Layout &layout, const Promise &p);
bool OpenMode(const Layout &layout, const Promise &p);
bool GetVersion(const Layout &layout, const Promise &p);

// Directories (manpage_directories.cpp).
bool DirectoryCount(const Layout &layout, const Promise &p);
bool FirstDirectoryRead(const Layout &layout, const Promise &p);
bool ReadDirectoryWalk(const Layout &layout, const Promise &p);
bool LastDirectory(const Layout &layout, const Promise &p);
bool SetDirectory(const Layout &layout, const Promise &p);
bool SetSubDirectory(const Layout &layout, const Promise &p);
bool CurrentDirectoryUnwritten(const Layout &layout, const Promise &p);
bool UnlinkDirectory(const Layout &layout, const Promise &p);
bool WrittenByClose(const Layout &layout, const Promise &p);
bool Checkpoint(const Layout &layout, const Promise &p);
bool RewriteAtEnd(const Layout &layout, const Promise &p);

// TIFFOpen (manpage_open.cpp).
bool OpenFails(const Layout &layout, const Promise &p);
bool OpenOverwrites(const Layout &layout, const Promise &p);
bool OpenAppends(const Layout &layout, const Promise &p);
bool OpenUpdateAppends(const Layout &layout, const Promise &p);
bool OpenDefaults(const Layout &layout, const Promise &p);

// The field calls (manpage_fields.cpp).
bool GetFieldDefined(const Layout &layout, const Promise &p);
bool VGetFieldSame(const Layout &layout, const Promise &p);
bool SetFieldSucceeds(const Layout &layout, const Promise &p);
bool SetFieldWhileWriting(const Layout &layout, const Promise &p);
bool SetFieldBadValue(const Layout &layout, const Promise &p);
bool UnsetField(const Layout &layout, const Promise &p);
bool GpsSequence(const Layout &layout, const Promise &p);
bool GpsSequenceGrown(const Layout &layout, const Promise &p);
// Tags the library does not know (manpage_anonymous.cpp).
bool AutoregisteredValues(const Layout &layout, const Promise &p);
bool AnonymousFields(const Layout &layout, const Promise &p);

// The field query pages and the handlers (manpage_field_queries.cpp).
bool PassCount(const Layout &layout, const Promise &p);
bool ReadCount(const Layout &layout, const Promise &p);
bool WriteCount(const Layout &layout, const Promise &p);
bool CountSize(const Layout &layout, const Promise &p);
bool SetGetSize(const Layout &layout, const Promise &p);
bool PrivateSetGetSize(const Layout &layout, const Promise &p);
bool FieldNames(const Layout &layout, const Promise &p);
bool FieldTags(const Layout &layout, const Promise &p);
bool FieldTypes(const Layout &layout, const Promise &p);
bool TagListEnd(const Layout &layout, const Promise &p);
bool DataWidth(const Layout &layout, const Promise &p);
bool ErrorHandler(const Layout &layout, const Promise &p);
bool WarningHandler(const Layout &layout, const Promise &p);

} // namespace manpage

#endif
