// calls_probe under injected faults: a size call off by one, a raw chunk
// with one byte changed, a raw write refused, a byte-order helper that
// swaps nothing or one item short; each with its line and exit status 1,
// the failed layout's file left (the helpers write none).
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "calls_probe";

TEST(CallsProbe, CleanRunLeavesOnlyTheFilesOfLayoutsWithLines)
{
    ExpectLeavesNamedFiles(ProbeRun(probe));
}

struct Case {
    const char *faults;
    std::set<std::string> files;
    std::string line;
};

void ExpectCases(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line}, c.files);
    }
}

// Pages (probes/calls/calls_values.h): 0 bilevel, 1 12-bit gray, 2 RGB in
// planes, 3 YCbCr 2x2, 4 YCbCr 4x2, 5 RGB tiles, 6 YCbCr tiles, 7 tiles in
// planes.
TEST(CallsProbe, SizeCallsOffByOne)
{
    ExpectCases({
        // On the handle that set the fields, and on the reopened one.
        {"answer:ScanlineSize64@calls_le.tif=3",
         {"calls_le.tif"},
         "calls_le.tif: page 0: TIFFScanlineSize64 is 3, expected 2."},
        {"answer:StripSize64@calls_be.tif:r=7",
         {"calls_be.tif"},
         "calls_be.tif: page 0: TIFFStripSize64 is 7, expected 6."},
        {"answer:VStripSize@calls_le.btf=5",
         {"calls_le.btf"},
         "calls_le.btf: page 0: TIFFVStripSize(3) is 5, expected 6."},
        // Right for three rows, wrong for one.
        {"answer:VStripSize@calls_le.btf=6",
         {"calls_le.btf"},
         "calls_le.btf: page 0: TIFFVStripSize(1) is 6, expected 2."},
        {"answer:TileSize64@calls_be.btf=3073",
         {"calls_be.btf"},
         "calls_be.btf: page 5: TIFFTileSize64 is 3073, expected 3072."},
        {"answer:VTileSize@calls_le.tif:r=289",
         {"calls_le.tif"},
         "calls_le.tif: page 5: TIFFVTileSize(3) is 289, expected 288."},
        {"answer:RasterScanline@calls_be.tif=3",
         {"calls_be.tif"},
         "calls_be.tif: page 0: TIFFRasterScanlineSize is 3, expected 2."},
        {"answer:RawStripSize64@calls_le.btf=7",
         {"calls_le.btf"},
         "calls_le.btf: page 0: TIFFRawStripSize64(0) is 7, expected 6."},
    });
}

// The calls whose pages promise a range, a position or a success.
TEST(CallsProbe, DefaultSizesPositionsAndFlushes)
{
    ExpectCases({
        {"answer:DefaultStripSize@calls_le.tif=1",
         {"calls_le.tif"},
         "calls_le.tif: page 0: TIFFDefaultStripSize(0) is 1, expected rows of 4096 to 12288 "
         "bytes."},
        // 6000 bytes of rows: about 8 KiB, but not the estimate asked for.
        {"answer:DefaultStripSize@calls_be.tif:r=3000",
         {"calls_be.tif"},
         "calls_be.tif: page 0: TIFFDefaultStripSize(4) is 3000, expected 4."},
        {"answer:DefaultTileSize@calls_be.btf=20",
         {"calls_be.btf"},
         "calls_be.btf: page 5: TIFFDefaultTileSize(0, 0)'s width is 20, expected a multiple of "
         "16."},
        // One past each end of the range: 6145 and 2047 rows of 2 bytes.
        {"answer:DefaultStripSize@calls_le.tif=6145",
         {"calls_le.tif"},
         "calls_le.tif: page 0: TIFFDefaultStripSize(0) is 6145, expected rows of 4096 to 12288 "
         "bytes."},
        {"answer:DefaultStripSize@calls_be.btf=2047",
         {"calls_be.btf"},
         "calls_be.btf: page 0: TIFFDefaultStripSize(0) is 2047, expected rows of 4096 to 12288 "
         "bytes."},
        // A multiple of 8 but not of 16, for a size asked for only.
        {"answer:DefaultTileSize.17@calls_le.tif=24",
         {"calls_le.tif"},
         "calls_le.tif: page 5: TIFFDefaultTileSize(17, 33)'s width is 24, expected a multiple "
         "of 16."},
        {"answer:CurrentStrip@calls_le.tif=0",
         {"calls_le.tif"},
         "calls_le.tif: page 0: TIFFCurrentStrip after TIFFReadEncodedStrip(2) is 0, expected 2."},
        {"answer:CurrentTile@calls_be.tif=1",
         {"calls_be.tif"},
         "calls_be.tif: page 5: TIFFCurrentTile after TIFFReadEncodedTile(3) is 1, expected 3."},
        {"answer:CurrentRow@calls_le.btf=9",
         {"calls_le.btf"},
         "calls_le.btf: page 0: TIFFCurrentRow after TIFFReadScanline(0) is 9, expected 0 or 1."},
        {"answer:FlushData@calls_le.tif=0",
         {"calls_le.tif"},
         "calls_le.tif: page 0: TIFFFlushData is 0, expected 1."},
        // A flush that writes nothing: the last page is not on disk before
        // the close.
        {"answer:Flush@calls_le.tif=1",
         {"calls_le.tif"},
         "calls_le.tif: expected 8 pages, the file holds 7."},
        {"answer:Flush@calls_be.btf=0",
         {"calls_be.btf"},
         "calls_be.btf: page 7: TIFFFlush is 0, expected 1."},
    });
}

TEST(CallsProbe, RawChunks)
{
    ExpectCases({
        // One byte of a strip of the planes, of a YCbCr tile.
        // The first page's directory refused: the layout stops there.
        {"write-dir:1@calls_le.tif",
         {"calls_le.tif"},
         "calls_le.tif: page 0: can't write the directory."},
        {"read-raw:2.5@calls_le.tif=0",
         {"calls_le.tif"},
         "Wrong image data in strip 2 of calls_le.tif, page 2: byte 5 is 0x00, expected 0x8e."},
        {"read-raw:1.0@calls_be.btf=0",
         {"calls_be.btf"},
         "Wrong image data in strip 1 of calls_be.btf, page 0: byte 0 is 0x00, expected 0x08."},
        // The last byte of a strip; a short read that claims the whole strip;
        // the appended part of chunk 0 lost behind a success.
        {"read-raw:0.5@calls_le.tif=0",
         {"calls_le.tif"},
         "Wrong image data in strip 0 of calls_le.tif, page 0: byte 5 is 0x00, expected 0x42."},
        {"raw-result:0@calls_le.tif=6",
         {"calls_le.tif"},
         "calls_le.tif: page 0: TIFFReadRawStrip of strip 0 into 5 bytes is 6, expected 5."},
        {"raw-drop:0.2@calls_be.tif",
         {"calls_be.tif"},
         "calls_be.tif: strip 0 on disk: page 0: 3 bytes at 8, expected 6 inside the file."},
        {"set:322@calls_be.tif",
         {"calls_be.tif"},
         "calls_be.tif: page 5: can't set the page's shape."},
        {"open:r@calls_le.btf", {"calls_le.btf"}, "Can't open test TIFF file calls_le.btf."},
        {"warn:277@calls_be.btf",
         {"calls_be.btf"},
         "calls_be.btf: the library reported a problem."},
    });
}

TEST(CallsProbe, ByteOrderHelpers)
{
    ExpectCases({
        {"swab-none:Long8",
         {},
         "TIFFSwabLong8: value 0 is 0x102030405060708, expected 0x807060504030201."},
        {"swab-none:ArrayOfShort", {}, "TIFFSwabArrayOfShort: value 4 is 0x494a, expected 0x4a49."},
        {"swab-none:ReverseBits", {}, "TIFFReverseBits: value 1 is 0x1, expected 0x80."},
    });
    // Each bit-reversal table checked, the plain one too.
    ExpectFailure(ProbeRun(probe, Faults("bitrev-swapped")),
                  {"TIFFGetBitRevTable(1): value 1 is 0x1, expected 0x80.",
                   "TIFFGetBitRevTable(0): value 1 is 0x80, expected 0x1."},
                  {});
}

} // namespace
