// tile_probe under injected library faults: each fault fails its own layout
// with one line, exit status 1, and the failed layout's file stays, besides
// what a clean run shows of the library's known defects. The shim rules
// write-tile, read-tile, strile-offset, force-nothing, checkpoint-nothing and
// get-swap (TileOffsets with two entries swapped, as a stand-in library would
// give them) drive the failure cases of tile_files.py, which reads the kept
// files with tifffile's own decoders.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "tile_probe";

// A clean run leaves exactly the files of the layouts its lines (the
// library's known defects) name: a passing layout removes its own.
TEST(TileProbe, CleanRunLeavesOnlyTheFilesOfLayoutsWithLines)
{
    ExpectLeavesNamedFiles(ProbeRun(probe));
}

struct Case {
    const char *faults;
    const char *file; // the layout the fault breaks
    std::string line;
};

void ExpectCases(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line}, {c.file});
    }
}

TEST(TileProbe, TileFaults)
{
    ExpectCases({
        // A refused write, by number and by coordinates.
        {"write-tile:3@tiles_le.tif=-1", "tiles_le.tif", "Can't write image data in tiles_le.tif."},
        {"write-tile:1@tiles_le.btf:w=-1", "tiles_le.btf",
         "Can't write image data in tiles_le.btf."},
        // The update in place refused.
        {"write-tile:0@tiles_be.tif:r+=-1", "tiles_be.tif",
         "Can't write image data in tiles_be.tif."},
        {"set:322@tiles_be.tif", "tiles_be.tif", "Can't set tag 322 in tiles_be.tif."},
        // A wrong byte in a tile read back: the last plane, the last byte of
        // a partial tile.
        {"read-tile:2.5@tiles_be.tif=0x33", "tiles_be.tif",
         "Wrong image data in tile 2 of tiles_be.tif, page 0."},
        {"read-tile:7.1023@tiles_le.btf:r=0", "tiles_le.btf",
         "Wrong image data in tile 7 of tiles_le.btf, page 1."},
        // An update that says it wrote the tile and wrote nothing: the
        // handle opened after it reads the old tile.
        {"write-tile:0@tiles_le.tif:r+=1024", "tiles_le.tif",
         "Wrong image data in tile 0 of tiles_le.tif, page 3."},
        // A read that gives a byte fewer or more than a tile, though each
        // byte is right.
        {"read-short:1@tiles_be.tif", "tiles_be.tif",
         "Can't read image data in tile 1 of tiles_be.tif, page 0."},
        {"read-long:1@tiles_le.btf", "tiles_le.btf",
         "Can't read image data in tile 1 of tiles_le.btf, page 0."},
        {"get:325@tiles_le.btf", "tiles_le.btf", "Problem fetching tag 325 in tiles_le.btf."},
        {"get-nothing:324@tiles_be.tif", "tiles_be.tif",
         "Problem fetching tag 324 in tiles_be.tif."},
        {"get-u32:323@tiles_le.tif=32", "tiles_le.tif",
         "Wrong LONG value fetched for tag 323 in tiles_le.tif: value 0 is 0x20, expected 0x10."},
        {"answer:NumberOfTiles@tiles_be.btf=5", "tiles_be.btf",
         "tiles_be.btf: page 0: TIFFNumberOfTiles is 5, expected 4."},
        // A tiled page read back as not tiled.
        {"answer:IsTiled@tiles_le.tif=0", "tiles_le.tif", "tiles_le.tif: page 0: not tiled."},
        // A library message fails a layout that otherwise passed.
        {"warn:323@tiles_le.tif", "tiles_le.tif", "tiles_le.tif: the library reported a problem."},
    });
}

// The stand-in library whose TileOffsets come with two entries swapped:
// the fetched array disagrees with the file, naming the tile and layout.
// Both swapped entries are wrong: the first named, the other counted.
TEST(TileProbe, EveryProblemNamedOrCounted)
{
    const struct {
        const char *faults;
        const char *file;
        std::vector<std::string> lines;
    } cases[] = {
        {"get-swap:324.2@tiles_le.tif",
         "tiles_le.tif",
         {"Wrong LONG value fetched for tag 324 in tiles_le.tif, page 0: value 2 is 0x1208, "
          "expected 0xc08.",
          "Wrong LONG value fetched for tag 324 in tiles_le.tif, page 0: 1 more values differ, "
          "the last at value 3."}},
        {"get-swap:324.1@tiles_le.btf",
         "tiles_le.btf",
         {"Wrong LONG8 value fetched for tag 324 in tiles_le.btf, page 0: value 1 is 0xc10, "
          "expected 0x610.",
          "Wrong LONG8 value fetched for tag 324 in tiles_le.btf, page 0: 1 more values differ, "
          "the last at value 2."}},
        // Swapped on disk (byte 1 of each offset), two tiles of page 0 and
        // four of page 1: every page checked, the first three wrong tiles
        // of a page named, the rest counted.
        {"poke:324.5@tiles_le.tif=0x0c;poke:324.9@tiles_le.tif=0x06;"
         "poke:324/1.1@tiles_le.tif=0x1c;poke:324/1.5@tiles_le.tif=0x18;"
         "poke:324/1.9@tiles_le.tif=0x24;poke:324/1.13@tiles_le.tif=0x20",
         "tiles_le.tif",
         {"tiles_le.tif: tile 1 on disk: page 0: byte 0 is 0x2e, expected 0x17.",
          "tiles_le.tif: tile 1 on disk: page 0: 1535 more bytes differ, the last at byte 1535.",
          "tiles_le.tif: tile 2 on disk: page 0: byte 0 is 0x17, expected 0x2e.",
          "tiles_le.tif: tile 2 on disk: page 0: 1535 more bytes differ, the last at byte 1535.",
          "tiles_le.tif: tile 0 on disk: page 1: byte 0 is 0x18, expected 0x01.",
          "tiles_le.tif: tile 0 on disk: page 1: 1023 more bytes differ, the last at byte 1023.",
          "tiles_le.tif: tile 1 on disk: page 1: byte 0 is 0x01, expected 0x18.",
          "tiles_le.tif: tile 1 on disk: page 1: 1023 more bytes differ, the last at byte 1023.",
          "tiles_le.tif: tile 2 on disk: page 1: byte 0 is 0x46, expected 0x2f.",
          "tiles_le.tif: tile 2 on disk: page 1: 1023 more bytes differ, the last at byte 1023.",
          "tiles_le.tif: tile 3 on disk: page 1: 1 wrong tiles from here to tile 3, not named."}},
        // Read back wrong, every tile of page 0: three named, the last
        // counted.
        {"read-tile:0.5@tiles_be.tif=0x33;read-tile:1.5@tiles_be.tif=0x33;"
         "read-tile:2.5@tiles_be.tif=0x33;read-tile:3.5@tiles_be.tif=0x33",
         "tiles_be.tif",
         {"Wrong image data in tile 0 of tiles_be.tif, page 0.",
          "Wrong image data in tile 1 of tiles_be.tif, page 0.",
          "Wrong image data in tile 2 of tiles_be.tif, page 0.",
          "Wrong image data in tile 3 of tiles_be.tif, page 0: 1 wrong tiles from here to tile 3, "
          "not named."}},
        // The structure on disk, the same way: four tiles outside the file,
        // four tags out of order, two values at odd offsets.
        {"poke:324.3@tiles_le.tif=0x7f;poke:324.7@tiles_le.tif=0x7f;"
         "poke:324.11@tiles_le.tif=0x7f;poke:324.15@tiles_le.tif=0x7f",
         "tiles_le.tif",
         {"tiles_le.tif: tag 324 on disk: tile 0 lies outside the file.",
          "tiles_le.tif: tag 324 on disk: tile 1 lies outside the file.",
          "tiles_le.tif: tag 324 on disk: tile 2 lies outside the file.",
          "tiles_le.tif: 1 more problems on disk."}},
        {"poke-entry:256.0@tiles_le.tif=0xff;poke-entry:258.0@tiles_le.tif=0xff;"
         "poke-entry:262.0@tiles_le.tif=0xff;poke-entry:277.0@tiles_le.tif=0xff",
         "tiles_le.tif",
         {"tiles_le.tif: IFD at 6152: tag 257 follows tag 511.",
          "tiles_le.tif: IFD at 6152: tag 259 follows tag 511.",
          "tiles_le.tif: IFD at 6152: tag 511 follows tag 511.",
          "tiles_le.tif: 1 more problems on disk."}},
        {"poke-entry:324.8@tiles_le.tif=0x01;poke-entry:325.8@tiles_le.tif=0x01",
         "tiles_le.tif",
         {"tiles_le.tif: tag 324 on disk: values at odd offset 6145.",
          "tiles_le.tif: tag 325 on disk: values at odd offset 6145."}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, {c.file});
    }
}

// The files of a passing run, kept, and their tiles decoded by tifffile,
// which shares no code with the TIFF library.
TEST(TileProbe, KeptTilesDecodedByTifffile)
{
    if (!TifffileUnavailable().empty())
        GTEST_SKIP() << TifffileUnavailable();
    const ProbeRun run(probe, Faults("keep"));
    ASSERT_TRUE(run.exited()) << run.describe();
    std::vector<std::string> paths;
    for (const std::string &file : run.files())
        paths.push_back(run.path(file));
    ASSERT_EQ(paths.size(), 4U) << run.describe();
    ExpectScriptPasses(TILE_FILES_SCRIPT, paths);
}

} // namespace
