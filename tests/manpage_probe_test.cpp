// manpage_probe under injected library faults: a call that breaks a man
// page's promise gives the line naming the page and what the call gave, on
// top of the known disagreements a clean run shows, and exit status 1.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "manpage_probe";

TEST(ManpageProbe, CleanRunShowsOnlyKnownDisagreements)
{
    ExpectClean(ProbeRun(probe), {});
}

TEST(ManpageProbe, EachBrokenPromiseGivesItsLine)
{
    // Strip 1 of manpage_be.tif unreadable, by a promise's own check and
    // after the checkpoint.
    const std::string strip = "Can't read image data in strip 1 of manpage_be.tif.";
    const std::string checkpoint = "manpage_be.tif: TIFFWriteDirectory(3tiff): strip 1 read after "
                                   "the checkpoint and the close gave 49, expected 48.";
    const struct {
        const char *faults;
        std::vector<std::string> lines;
        const char *file;
    } cases[] = {
        // A read past the last strip or tile that gives a byte count.
        {"read-result:17@manpage_le.tif=12",
         {"manpage_le.tif: TIFFReadEncodedStrip(3tiff): strip 17 of 3 gave 12, expected -1."},
         "manpage_le.tif"},
        {"read-result:15@manpage_be.btf=512",
         {"manpage_be.btf: TIFFReadEncodedTile(3tiff): tile 15 of 15 gave 512, expected -1."},
         "manpage_be.btf"},
        // A strip or tile read that gives more than it was asked for or it
        // holds: each promise that reads strip or tile 1 says so.
        {"read-long:1@manpage_be.tif",
         {"manpage_be.tif: TIFFReadEncodedStrip(3tiff): strip 1 with size -1 gave 49, expected 48.",
          "manpage_be.tif: TIFFReadEncodedStrip(3tiff): strip 1 with size 5 gave 6, expected 5.",
          strip, "Wrong image data in tile 1 of manpage_be.tif.",
          "manpage_be.tif: TIFFReadEncodedTile(3tiff): tile 1 of 15 gave 513, expected 512.",
          "manpage_be.tif: TIFFReadTile(3tiff): (17, 0) gave 513, expected 512.", strip,
          // The deferred arrays of the tiled page.
          "Can't read image data in tile 1 of manpage_be.tif.", strip, strip, checkpoint, strip,
          strip,
          // The grown page of the GPS steps, read back.
          strip},
         "manpage_be.tif"},
        // Success reported for a field the directory does not hold.
        {"get-nothing:274@manpage_be.tif:r",
         {"manpage_be.tif: TIFFGetField(3tiff): tag 274, not set, gave 1, expected 0."},
         "manpage_be.tif"},
        {"unset-nothing:315@manpage_be.btf",
         {"manpage_be.btf: TIFFSetField(3tiff): TIFFUnsetField gave 1, then TIFFGetField 1, "
          "expected 1 and 0."},
         "manpage_be.btf"},
        // A PlanarConfiguration the library refuses said to be set, or
        // the refusal resetting the field to its default.
        {"set-ok:284@manpage_calls.tif:w",
         {"manpage_calls.tif: TIFFSetField(3tiff): PlanarConfiguration 3 gave 1 and left 2, "
          "expected 0 and 2."},
         "manpage_calls.tif"},
        {"get-u16:284@manpage_calls.tif:w=1",
         {"manpage_calls.tif: TIFFSetField(3tiff): PlanarConfiguration 3 gave 0 and left 1, "
          "expected 0 and 2."},
         "manpage_calls.tif"},
        // The first of the description's two sets refused: not hidden by
        // the Artist set through the same call.
        {"vset:270@manpage_le.tif:w",
         {"manpage_le.tif: TIFFSetField(3tiff): TIFFSetField gave 1, TIFFVSetField 0, expected "
          "1."},
         "manpage_le.tif"},
        {"set:270@manpage_le.tif:w",
         {"manpage_le.tif: TIFFSetField(3tiff): TIFFSetField gave 0, TIFFVSetField 1, expected "
          "1.",
          // The description the GPS steps grow the page by.
          "Can't set tag 270 in manpage_le.tif."},
         "manpage_le.tif"},
        // The second of two sets ignored: the first value stays.
        {"set-ignored:270@manpage_be.tif:w",
         {"Wrong ASCII value fetched for tag 270 in manpage_be.tif: \"manpage_probe, set first, "
          "through TIFFVSetField.\", expected \"manpage_probe, through TIFFSetField.\".",
          "manpage_be.tif: TIFFCustomDirectory(3tiff): the description set at step 8 reads as "
          "\"(none)\", expected \"grown at step 8 by manpage_probe\"."},
         "manpage_be.tif"},
        // One wrong return breaks each promise of the call that it reaches:
        // a written row, a handle opened "r", a tiled page before any tile.
        {"write-scanline@manpage_le.btf=5",
         {"manpage_le.btf: TIFFWriteScanline(3tiff): row 0 gave 5, expected 1.",
          "manpage_le.btf: TIFFWriteScanline(3tiff): row 0 on a handle opened \"r\" gave 5, "
          "expected -1.",
          "manpage_le.btf: TIFFWriteScanline(3tiff): row 0 of a tiled page before any tile gave "
          "5, expected -1."},
         "manpage_le.btf"},
        {"strile-offset:1@manpage_le.btf=0",
         {"manpage_le.btf: TIFFStrileQuery(3tiff): strile 1: offset 0, 48 bytes, expected a "
          "place and 48 bytes."},
         "manpage_le.btf"},
        // The directory calls: the last page not said to be last, an unlink
        // refused, the walk stopped early.
        {"last-dir:2@manpage_le.tif=0",
         {"manpage_le.tif: TIFFquery(3tiff): page 2 of 3 gave 0, expected non-zero."},
         "manpage_le.tif"},
        {"unlink-dir@manpage_be.tif",
         {"manpage_be.tif: TIFFCreateDirectory(3tiff): directory 2 gave 0, expected 1."},
         "manpage_be.tif"},
        {"read-dir:1@manpage_be.tif",
         {"manpage_be.tif: TIFFReadDirectory(3tiff): the read after page 1 gave 0, expected 1.",
          "manpage_be.tif: page 2: can't read the directory."},
         "manpage_be.tif"},
        // A checkpoint that writes nothing: a second handle finds no page.
        {"checkpoint-nothing@manpage_le.tif",
         {"Can't open test TIFF file manpage_le.tif."},
         "manpage_le.tif"},
        {"write-strip@manpage_be.tif:r=0",
         {"manpage_be.tif: TIFFWriteEncodedStrip(3tiff): strip 0 on a handle opened \"r\" gave "
          "0, expected -1."},
         "manpage_be.tif"},
        // A tile read wrong, by number and after writing by place.
        {"read-tile:2.5@manpage_le.tif=0x33",
         {"Wrong image data in tile 2 of manpage_le.tif.",
          "Wrong image data in tile 2 of manpage_le.tif.",
          "Wrong image data in tile 2 of manpage_le.tif."},
         "manpage_le.tif"},
        // The arrays not in the file when TIFFForceStrileArrayWriting
        // returns, though the close writes them after all.
        {"force-nothing@manpage_be.btf",
         {"manpage_be.btf: TIFFDeferStrileArrayWriting(3tiff): strip 0 read after "
          "TIFFForceStrileArrayWriting gave -1, expected 48.",
          "manpage_be.btf: TIFFDeferStrileArrayWriting(3tiff): strip 0 read after "
          "TIFFForceStrileArrayWriting gave -1, expected 120.",
          "manpage_be.btf: TIFFDeferStrileArrayWriting(3tiff): tile 0 read after "
          "TIFFForceStrileArrayWriting gave -1, expected 512."},
         "manpage_be.btf"},
        // The forced write refused; a byte of the one strip, past the
        // others' ends, read wrong.
        {"force-fail@manpage_le.tif",
         {"manpage_le.tif: TIFFDeferStrileArrayWriting(3tiff): TIFFForceStrileArrayWriting gave 0, "
          "expected 1.",
          "manpage_le.tif: TIFFDeferStrileArrayWriting(3tiff): TIFFForceStrileArrayWriting gave 0, "
          "expected 1.",
          "manpage_le.tif: TIFFDeferStrileArrayWriting(3tiff): TIFFForceStrileArrayWriting gave 0, "
          "expected 1."},
         "manpage_le.tif"},
        {"read-byte:0.100@manpage_be.tif=0",
         {"Wrong image data in strip 0 of manpage_be.tif."},
         "manpage_be.tif"},
        // A file of the other byte order than asked: the queries and the
        // header say so.
        {"swap-order:wb",
         {"manpage_be.tif: TIFFquery(3tiff): TIFFIsBigEndian gave 0, expected non-zero.",
          // The little-endian file is swapped on a big-endian host.
          std::string("manpage_be.tif: TIFFquery(3tiff): TIFFIsByteSwapped gave ") +
              (HostBigEndian() ? "1, expected 0." : "0, expected non-zero."),
          "manpage_be.tif: header: II version 42, expected MM version 42."},
         "manpage_be.tif"},
        {"dir-count:1=5",
         {"manpage_le.tif: TIFFquery(3tiff): TIFFNumberOfDirectories gave 5, expected 3."},
         "manpage_le.tif"},
        {"current-dir:0@manpage_le.btf:r=3",
         {"manpage_le.btf: TIFFOpen(3tiff): after TIFFOpen: directory 3, width 12, expected 0 "
          "and 12.",
          "manpage_le.btf: TIFFSetDirectory(3tiff): directory 0 gave 1, then directory 3, width "
          "12, expected 1, 0 and 12."},
         "manpage_le.btf"},
        {"set-dir:1@manpage_be.tif",
         {"manpage_be.tif: TIFFSetDirectory(3tiff): directory 1 gave 0, then directory 0, width "
          "12, expected 1, 1 and 13.",
          "manpage_be.tif: TIFFCreateDirectory(3tiff): after directory 2: 2 pages 12 and 0 wide, "
          "expected 2 pages 12 and 14 wide.",
          "manpage_be.tif: page 1: can't read the directory."},
         "manpage_be.tif"},
        // A jump past the last page, or to an offset past the file, said to
        // succeed.
        {"set-dir:3@manpage_le.btf=1",
         {"manpage_le.btf: TIFFSetDirectory(3tiff): directory 3 of 3 gave 1, expected 0."},
         "manpage_le.btf"},
        {"set-subdir:1099511627776@manpage_be.btf=1",
         {"manpage_be.btf: TIFFSetDirectory(3tiff): an offset past the file gave 1, expected 0."},
         "manpage_be.btf"},
        // A rewrite refused, written over the old place, or appended while
        // the old directory stays first.
        {"rewrite-dir@manpage_le.tif",
         {"manpage_le.tif: TIFFWriteDirectory(3tiff): TIFFRewriteDirectory gave 0, expected 1."},
         "manpage_le.tif"},
        {"rewrite-dir-write@manpage_be.btf",
         {"manpage_be.btf: TIFFWriteDirectory(3tiff): the header points to 136, expected past "
          "the old 376 bytes."},
         "manpage_be.btf"},
        {"rewrite-dir-append@manpage_le.btf",
         {"manpage_le.btf: TIFFWriteDirectory(3tiff): the header points to 136, expected past "
          "the old 376 bytes."},
         "manpage_le.btf"},
        {"open:a@manpage_be.tif", {"Can't open test TIFF file manpage_be.tif."}, "manpage_be.tif"},
        {"vget-u32:256@manpage_le.tif=20",
         {"manpage_le.tif: TIFFGetField(3tiff): tag 256: 1 and 20 against 1 and 12; an unset tag "
          "gave 0, expected the same and 0."},
         "manpage_le.tif"},
        {"get-nothing:270@manpage_le.btf:r",
         {"manpage_le.btf: TIFFGetField(3tiff): tag 270, not set, gave 1, expected 0.",
          "Problem fetching tag 270 in manpage_le.btf.",
          "manpage_le.btf: TIFFCustomDirectory(3tiff): the description set at step 8 reads as "
          "\"(none)\", expected \"grown at step 8 by manpage_probe\"."},
         "manpage_le.btf"},
        // The GPS IFD's link lost after the page's eight steps.
        {"get:34853@manpage_be.tif:r",
         {"manpage_be.tif: TIFFCustomDirectory(3tiff): 1 pages, GPS IFD at 0, expected 1 page "
          "and 284.",
          "manpage_be.tif: TIFFCustomDirectory(3tiff): 1 pages, GPS IFD at 0, expected 1 page "
          "and 272."},
         "manpage_be.tif"},
        // The description the grown page was given lost on the way, or
        // changed.
        {"get-byte:270.0@manpage_be.tif:r=0x58",
         {"Wrong ASCII value fetched for tag 270 in manpage_be.tif: \"Xanpage_probe, through "
          "TIFFSetField.\", expected \"manpage_probe, through TIFFSetField.\".",
          "manpage_be.tif: TIFFCustomDirectory(3tiff): the description set at step 8 reads as "
          "\"Xrown at step 8 by manpage_probe\", expected \"grown at step 8 by manpage_probe\"."},
         "manpage_be.tif"},
        {"get:270@manpage_be.tif:r",
         {"Problem fetching tag 270 in manpage_be.tif.",
          "manpage_be.tif: TIFFCustomDirectory(3tiff): the description set at step 8 reads as "
          "\"(none)\", expected \"grown at step 8 by manpage_probe\"."},
         "manpage_be.tif"},
        // Tags the library does not know, read from our own file: a count
        // one too many, the values lost, the field refused, and fields said
        // to be anonymous or not the other way round.
        {"get-pad:65403@manpage_le.tif",
         {"manpage_le.tif: TIFFGetField(3tiff): tag 65403 of type 3 gave 1 and 3 values, "
          "expected 1 and 2."},
         "manpage_le.tif"},
        {"get-zero:65403.1@manpage_be.tif",
         {"manpage_be.tif: TIFFGetField(3tiff): tag 65403 of type 3: value 0 is 0x0, expected "
          "0x1234."},
         "manpage_be.tif"},
        {"get:65411@manpage_be.btf",
         {"manpage_be.btf: TIFFGetField(3tiff): tag 65411 of type 11 gave 0 and 0 values, "
          "expected 1 and 2."},
         "manpage_be.btf"},
        {"answer:FieldIsAnonymous.65418=0",
         {"manpage_le.btf: TIFFFieldQuery(3tiff): tag 65418 of type 18: not anonymous, "
          "TIFFFindField with TIFF_ANY the same, expected an anonymous field and the same.",
          "manpage_be.btf: TIFFFieldQuery(3tiff): tag 65418 of type 18: not anonymous, "
          "TIFFFindField with TIFF_ANY the same, expected an anonymous field and the same."},
         "manpage_be.btf"},
        {"answer:FieldIsAnonymous.256=1",
         {"manpage_le.tif: TIFFFieldQuery(3tiff): ImageWidth: anonymous, expected a field that "
          "is not anonymous.",
          "manpage_be.tif: TIFFFieldQuery(3tiff): ImageWidth: anonymous, expected a field that "
          "is not anonymous.",
          "manpage_le.btf: TIFFFieldQuery(3tiff): ImageWidth: anonymous, expected a field that "
          "is not anonymous.",
          "manpage_be.btf: TIFFFieldQuery(3tiff): ImageWidth: anonymous, expected a field that "
          "is not anonymous."},
         "manpage_le.tif"},
        // A failure said with the values given, the last value of a type and the NUL of
        // a text spoilt, another field found with TIFF_ANY, and a field for
        // a tag no field has.
        {"get-filled:65403@manpage_le.tif",
         {"manpage_le.tif: TIFFGetField(3tiff): tag 65403 of type 3 gave 0 and 2 values, "
          "expected 1 and 2."},
         "manpage_le.tif"},
        // Every type's first value read as zeros: each as its row expects it.
        {"get-zero:65401.1@manpage_le.btf;"
         "get-zero:65402.1@manpage_le.btf;"
         "get-zero:65403.1@manpage_le.btf;"
         "get-zero:65404.1@manpage_le.btf;"
         "get-zero:65405.1@manpage_le.btf;"
         "get-zero:65406.1@manpage_le.btf;"
         "get-zero:65407.1@manpage_le.btf;"
         "get-zero:65408.1@manpage_le.btf;"
         "get-zero:65409.1@manpage_le.btf;"
         "get-zero:65410.1@manpage_le.btf;"
         "get-zero:65411.1@manpage_le.btf;"
         "get-zero:65412.1@manpage_le.btf;"
         "get-zero:65413.1@manpage_le.btf;"
         "get-zero:65416.1@manpage_le.btf;"
         "get-zero:65417.1@manpage_le.btf;"
         "get-zero:65418.1@manpage_le.btf",
         // Long lines, each joined from two literals.
         // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
         {"manpage_le.btf: TIFFGetField(3tiff): tag 65401 of type 1: value 0 is 0x0, expected "
          "0x12.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65402 of type 2 is \"\", expected \"ab\".",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65403 of type 3: value 0 is 0x0, expected "
          "0x1234.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65404 of type 4: value 0 is 0x0, expected "
          "0x12345678.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65405 of type 5: value 0 is 0, expected 0.75.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65406 of type 6: value 0 is 0x0, expected "
          "0xfffffffffffffffe.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65407 of type 7: value 0 is 0x0, expected "
          "0xab.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65408 of type 8: value 0 is 0x0, expected "
          "0xfffffffffffffffe.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65409 of type 9: value 0 is 0x0, expected "
          "0xfffffffffffffffe.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65410 of type 10: value 0 is 0, expected "
          "-0.75.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65411 of type 11: value 0 is 0, expected 1.5.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65412 of type 12: value 0 is 0, expected 1.5.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65413 of type 13: value 0 is 0x0, expected "
          "0x12345678.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65416 of type 16: value 0 is 0x0, expected "
          "0x123456789abcdef0.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65417 of type 17: value 0 is 0x0, expected "
          "0xfffffffffffffffe.",
          "manpage_le.btf: TIFFGetField(3tiff): tag 65418 of type 18: value 0 is 0x0, expected "
          "0x123456789abcdef0."},
         "manpage_le.btf"},
        {"get-array-byte:65401.1@manpage_be.btf=0x12",
         {"manpage_be.btf: TIFFGetField(3tiff): tag 65401 of type 1: value 1 is 0x12, expected "
          "0xfe."},
         "manpage_be.btf"},
        {"get-array-byte:65402.2@manpage_le.btf=0x63",
         {"manpage_le.btf: TIFFGetField(3tiff): tag 65402 of type 2 is \"abc\", expected \"ab\"."},
         "manpage_le.btf"},
        {"field-of:FindField.65403@manpage_le.tif=65408",
         {"manpage_le.tif: TIFFFieldQuery(3tiff): tag 65403 of type 3: anonymous, TIFFFindField "
          "with TIFF_ANY another, expected an anonymous field and the same."},
         "manpage_le.tif"},
        {"field-of:FieldWithTag.65499@manpage_be.tif=256",
         {"manpage_be.tif: TIFFFieldQuery(3tiff): tag 65499 gave a field, a name no field has "
          "none, expected no field for either."},
         "manpage_be.tif"},
        // The geometry queries answer wrong, as answer rules make them.
        {"answer:NumberOfStrips@manpage_le.tif=4",
         {"manpage_le.tif: TIFFstrip(3tiff): TIFFNumberOfStrips gave 4, expected 3."},
         "manpage_le.tif"},
        {"answer:StripSize@manpage_be.tif=40",
         {"manpage_be.tif: TIFFstrip(3tiff): TIFFStripSize gave 40, expected 48."},
         "manpage_be.tif"},
        {"answer:ScanlineSize@manpage_le.btf=13",
         {"manpage_le.btf: TIFFsize(3tiff): TIFFScanlineSize gave 13, expected 12."},
         "manpage_le.btf"},
        {"answer:ComputeStrip@manpage_be.btf=1",
         {"manpage_be.btf: TIFFstrip(3tiff): row 0 gave strip 1, expected 0.",
          "manpage_be.btf: TIFFstrip(3tiff): row 9 gave strip 1, expected 2."},
         "manpage_be.btf"},
        {"answer:NumberOfTiles@manpage_le.tif=16",
         {"manpage_le.tif: TIFFtile(3tiff): TIFFNumberOfTiles gave 16, expected 15."},
         "manpage_le.tif"},
        {"answer:TileSize@manpage_be.tif=511",
         {"manpage_be.tif: TIFFtile(3tiff): TIFFTileSize gave 511, expected 512."},
         "manpage_be.tif"},
        {"answer:ComputeTile@manpage_le.btf=0",
         {"manpage_le.btf: TIFFtile(3tiff): (17, 40) gave tile 0, expected 6.",
          "manpage_le.btf: TIFFtile(3tiff): (69, 79) gave tile 0, expected 14."},
         "manpage_le.btf"},
        // Coordinates outside the image said to be inside.
        {"answer:CheckTile@manpage_be.btf=1",
         {"manpage_be.btf: TIFFtile(3tiff): (70, 0) gave 1, expected 0.",
          "manpage_be.btf: TIFFtile(3tiff): (0, 80) gave 1, expected 0."},
         "manpage_be.btf"},
        {"answer:IsTiled@manpage_le.tif=1",
         {"manpage_le.tif: TIFFquery(3tiff): TIFFIsTiled gave 1 for strips and 1 for tiles, "
          "expected 0 and non-zero."},
         "manpage_le.tif"},
        {"answer:IsBigTIFF@manpage_be.btf=0",
         {"manpage_be.btf: TIFFquery(3tiff): TIFFIsBigTIFF gave 0, expected non-zero."},
         "manpage_be.btf"},
        // The field query calls and the new directory, run once.
        {"answer:GetMode@manpage_calls.tif:r=2",
         {"manpage_calls.tif: TIFFquery(3tiff): mode \"r\" gave 02, expected 00."},
         "manpage_calls.tif"},
        {"answer:DataWidth.5=4",
         {"manpage_calls.tif: TIFFDataWidth(3tiff): type 5 gave 4, expected 8."},
         "manpage_calls.tif"},
        // ExtraSamples passed without its count; ImageWidth said to take
        // two values; BitsPerSample as wide as a LONG.
        {"answer:FieldPassCount.338=0",
         {"manpage_calls.tif: TIFFFieldPassCount(3tiff): tag 338 gave 0, expected 1."},
         "manpage_calls.tif"},
        {"answer:FieldReadCount.256=2",
         {"manpage_calls.tif: TIFFFieldReadCount(3tiff): tag 256 gave 2, expected 1."},
         "manpage_calls.tif"},
        {"answer:FieldSetGetSize.258=4",
         {"manpage_calls.tif: TIFFFieldQuery(3tiff): tag 258 gave 4, expected 2."},
         "manpage_calls.tif"},
        {"default-u16:274=3",
         {"manpage_calls.tif: TIFFOpen(3tiff): tag 274: 1 and 3, expected 1 and 1."},
         "manpage_calls.tif"},
        {"taglist-short",
         {"manpage_calls.tif: TIFFCustomTagList(3tiff): entry 2 of 2 gave 0x131, expected "
          "0xFFFFFFFF."},
         "manpage_calls.tif"},
        {"field-type:282=3",
         {"manpage_calls.tif: TIFFFieldDataType(3tiff): tag 282 gave type 3, expected one the "
          "field allows."},
         "manpage_calls.tif"},
        // XPosition as a SHORT; PageNumber's two values and ImageWidth's one
        // said as many as the samples or variable; MaxSampleValue as wide as a
        // LONG.
        {"field-type:286=3",
         {"manpage_calls.tif: TIFFFieldDataType(3tiff): tag 286 gave type 3, expected one the "
          "field allows."},
         "manpage_calls.tif"},
        {"answer:FieldReadCount.297=-2",
         {"manpage_calls.tif: TIFFFieldReadCount(3tiff): tag 297 gave -2, expected 2."},
         "manpage_calls.tif"},
        {"answer:FieldReadCount.256=-1",
         {"manpage_calls.tif: TIFFFieldReadCount(3tiff): tag 256 gave -1, expected 1."},
         "manpage_calls.tif"},
        {"answer:FieldSetGetSize.281=4",
         {"manpage_calls.tif: TIFFFieldQuery(3tiff): tag 281 gave 4, expected 2."},
         "manpage_calls.tif"},
        // Private fields: a SHORT of three values as wide as a LONG, a
        // RATIONAL of a 32-bit count as a SHORT, a counted IFD8 as 32 bits.
        {"answer:FieldSetGetSize.64103=4",
         {"manpage_calls.tif: TIFFFieldQuery(3tiff): private tag 64103 (SHORT, counts 3) gave 4, "
          "expected 2."},
         "manpage_calls.tif"},
        {"answer:FieldSetGetSize.64305=2",
         {"manpage_calls.tif: TIFFFieldQuery(3tiff): private tag 64305 (RATIONAL, counts "
          "TIFF_VARIABLE2) gave 2, expected 4 or 8."},
         "manpage_calls.tif"},
        {"answer:FieldSetGetSize.64218=4",
         {"manpage_calls.tif: TIFFFieldQuery(3tiff): private tag 64218 (IFD8, counts "
          "TIFF_VARIABLE) gave 4, expected 8."},
         "manpage_calls.tif"},
        // One BYTE as wide as a SHORT; the samples' DOUBLEs as floats.
        {"answer:FieldSetGetSize.64001=2",
         {"manpage_calls.tif: TIFFFieldQuery(3tiff): private tag 64001 (BYTE, counts 1) gave 2, "
          "expected 1."},
         "manpage_calls.tif"},
        {"answer:FieldSetGetSize.64412=4",
         {"manpage_calls.tif: TIFFFieldQuery(3tiff): private tag 64412 (DOUBLE, counts TIFF_SPP) "
          "gave 4, expected 8."},
         "manpage_calls.tif"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, {c.file});
    }
}

TEST(ManpageProbe, EveryPrivateFieldIsAskedItsSize)
{
    // Every type in every count form answers 0, the size of none: each must
    // give its line, the type's size from TIFF 6.0 and BigTIFF, or 4 or 8
    // where the value is passed as a float or a double, or an offset in 32
    // or 64 bits.
    const struct {
        int type;
        const char *name;
        const char *size;
    } types[] = {
        {1, "BYTE", "1"},          {2, "ASCII", "1"},
        {3, "SHORT", "2"},         {4, "LONG", "4"},
        {5, "RATIONAL", "4 or 8"}, {6, "SBYTE", "1"},
        {7, "UNDEFINED", "1"},     {8, "SSHORT", "2"},
        {9, "SLONG", "4"},         {10, "SRATIONAL", "4 or 8"},
        {11, "FLOAT", "4"},        {12, "DOUBLE", "8"},
        {13, "IFD", "4 or 8"},     {16, "LONG8", "8"},
        {17, "SLONG8", "8"},       {18, "IFD8", "8"},
    };
    // A run a form: the shim holds 16 rules.
    const char *const forms[] = {"1", "3", "TIFF_VARIABLE", "TIFF_VARIABLE2", "TIFF_SPP"};
    for (int f = 0; f < 5; f++) {
        SCOPED_TRACE(forms[f]);
        std::string faults;
        std::vector<std::string> lines;
        for (const auto &t : types) {
            const std::string tag = std::to_string(64000 + 100 * f + t.type);
            faults += (faults.empty() ? "" : ";") + ("answer:FieldSetGetSize." + tag + "=0");
            lines.push_back("manpage_calls.tif: TIFFFieldQuery(3tiff): private tag " + tag + " (" +
                            t.name + ", counts " + forms[f] + ") gave 0, expected " + t.size + ".");
        }
        ExpectFailure(ProbeRun(probe, Faults(faults)), lines, {"manpage_calls.tif"});
    }
}

} // namespace
