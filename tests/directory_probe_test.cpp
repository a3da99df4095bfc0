// directory_probe under injected library faults: refused or miscounted
// directory calls, wrong EXIF values, a library that appends where it should
// rewrite; and the files it leaves, read by tifffile.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "directory_probe";
const char le[] = "pages_le.tif";
const char be[] = "pages_be.btf";

struct FaultCase {
    const char *faults;
    std::vector<std::string> lines;
    std::set<std::string> files;
};

void ExpectCases(const std::vector<FaultCase> &cases)
{
    for (const FaultCase &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, c.files);
    }
}

TEST(DirectoryProbe, CleanRunIsSilentAndRemovesItsFiles)
{
    ExpectClean(ProbeRun(probe), {});
}

TEST(DirectoryProbe, DirectoryCallsRefusedOrMiscounted)
{
    ExpectCases({
        {"set-dir:3@pages_be.btf", {"pages_be.btf: page 3: can't read the directory."}, {be}},
        // Only the update's move to page 2 fails: the rewrite step stops.
        {"set-dir:2@pages_le.tif:r+", {"pages_le.tif: page 2: can't read the directory."}, {le}},
        {"dir-count@pages_le.tif=5",
         {"pages_le.tif: expected 4 pages, the library counts 5."},
         {le}},
        {"dir-count@pages_be.btf=3",
         {"pages_be.btf: expected 4 pages, the library counts 3."},
         {be}},
        {"rewrite-dir@pages_be.btf", {"pages_be.btf: page 2: can't rewrite the directory."}, {be}},
        {"unlink-dir@pages_le.tif", {"pages_le.tif: page 1: can't unlink the directory."}, {le}},
        {"open:a@pages_be.btf", {"Can't open test TIFF file pages_be.btf."}, {be}},
        {"open:r+h",
         {"Can't open test TIFF file pages_le.tif.", "Can't open test TIFF file pages_be.btf."},
         {le, be}},
        {"open:rh@pages_le.tif", {"Can't open test TIFF file pages_le.tif."}, {le}},
        {"open:w8b", {"Can't create test TIFF file pages_be.btf."}, {}},
    });
}

TEST(DirectoryProbe, ExifAndGpsRefusedOrWrong)
{
    ExpectCases({
        {"read-exif@pages_le.tif", {"pages_le.tif: EXIF IFD: can't read the directory."}, {le}},
        // ExposureTime comes back as a float, whatever its type on disk.
        {"get-float:33434=1",
         {"Wrong RATIONAL value fetched for tag 33434 in pages_le.tif, EXIF IFD: value 0 is 1, "
          "expected 0.0078125.",
          "Wrong RATIONAL value fetched for tag 33434 in pages_be.btf, EXIF IFD: value 0 is 1, "
          "expected 0.0078125."},
         {le, be}},
        {"get-u16:34855@pages_be.btf=1",
         {"Wrong SHORT value fetched for tag 34855 in pages_be.btf, EXIF IFD: 1 values, expected "
          "3."},
         {be}},
        {"get-byte:36864.3@pages_le.tif=0x32",
         {"Wrong UNDEFINED value fetched for tag 36864 in pages_le.tif, EXIF IFD: value 3 is 0x32, "
          "expected 0x31."},
         {le}},
        {"get-chop:1@pages_be.btf",
         {"Wrong ASCII value fetched for tag 1 in pages_be.btf, GPS IFD: \"\", expected \"N\"."},
         {be}},
        {"set:33434@pages_be.btf", {"Can't set tag 33434 in pages_be.btf, EXIF IFD."}, {be}},
        {"get:34853@pages_le.tif", {"Problem fetching tag 34853 in pages_le.tif, page 0."}, {le}},
    });
}

TEST(DirectoryProbe, PagesWrongOrUnwritten)
{
    ExpectCases({
        {"read-long:0.1@pages_be.btf",
         {"Can't read image data in strip 0 of pages_be.btf, page 1."},
         {be}},
        {"get-chop:270@pages_be.btf",
         {"Wrong ASCII value fetched for tag 270 in pages_be.btf, page 3: \"page \", expected "
          "\"page 3\"."},
         {be}},
        {"get-u16:297.1@pages_le.tif=5",
         {"Wrong SHORT value fetched for tag 297 in pages_le.tif, page 3: value 1 is 0x5, expected "
          "0x4."},
         {le}},
        // Changed on disk, where the library reads it back too.
        {"poke:270.5@pages_be.btf=0x39",
         {"Wrong ASCII value fetched for tag 270 in pages_be.btf, page 0: \"page 9\", expected "
          "\"page 0\"."},
         {be}},
        {"get-nothing:330@pages_be.btf",
         {"Problem fetching tag 330 in pages_be.btf, page 3."},
         {be}},
        {"set:330@pages_le.tif", {"Can't set tag 330 in pages_le.tif, page 3."}, {le}},
        {"set:270@pages_be.btf", {"Can't set tag 270 in pages_be.btf, page 0."}, {be}},
        {"write-strip@pages_le.tif=-1", {"Can't write image data in pages_le.tif, page 0."}, {le}},
        // A step whose every value came back right still fails on a message.
        {"warn:270@pages_le.tif", {"pages_le.tif: the library reported a problem."}, {le}},
        // SubIFDs and pixels fetched wrong, and the added field.
        {"get-u16:330@pages_le.tif=1",
         {"Wrong IFD8 value fetched for tag 330 in pages_le.tif, page 3: 1 values, expected 2."},
         {le}},
        {"get-u32:256@pages_le.tif=1",
         {"Wrong LONG value fetched for tag 256 in pages_le.tif, SubIFD 0: value 0 is 0x1, "
          "expected 0x6."},
         {le}},
        {"read-byte:0.0@pages_le.tif=0x77",
         {"Wrong image data in strip 0 of pages_le.tif, page 3: byte 0 is 0x77, expected 0x79."},
         {le}},
        {"get-byte:305.0@pages_le.tif=0x44",
         {"Wrong ASCII value fetched for tag 305 in pages_le.tif, page 2: "
          "\"Directory_probe of tiff-probes\", expected \"directory_probe of tiff-probes\"."},
         {le}},
        // Changed on disk after the library's last look: only the
        // independent reading sees it.
        {"poke:270.5@pages_le.tif:r=0x39",
         {"pages_le.tif: page 0: tag 270 on disk: byte 5 is 0x39, expected 0x30."},
         {le}},
        {"poke-entry:297.0@pages_le.tif:r=0",
         {"pages_le.tif: IFD at 258: tag 256 follows tag 284."},
         {le}},
    });
}

// Two values or bytes of one field or strip wrong: the first named, the
// others counted; two fields of one page or one directory wrong: both
// named. A known defect in one hides no other.
TEST(DirectoryProbe, EveryWrongValueCounted)
{
    ExpectCases({
        {"get-zero:34855.1@pages_le.tif",
         {"Wrong SHORT value fetched for tag 34855 in pages_le.tif, EXIF IFD: value 0 is 0, "
          "expected 100.",
          "Wrong SHORT value fetched for tag 34855 in pages_le.tif, EXIF IFD: 2 more values "
          "differ, the last at value 2."},
         {le}},
        {"get-float:33434@pages_le.tif=1;get-byte:36864.3@pages_le.tif=0x32",
         {"Wrong RATIONAL value fetched for tag 33434 in pages_le.tif, EXIF IFD: value 0 is 1, "
          "expected 0.0078125.",
          "Wrong UNDEFINED value fetched for tag 36864 in pages_le.tif, EXIF IFD: value 3 is 0x32, "
          "expected 0x31."},
         {le}},
        {"get-chop:270@pages_be.btf;get-u16:297.1@pages_be.btf=5",
         {"Wrong ASCII value fetched for tag 270 in pages_be.btf, page 3: \"page \", expected "
          "\"page 3\".",
          "Wrong SHORT value fetched for tag 297 in pages_be.btf, page 3: value 1 is 0x5, expected "
          "0x4."},
         {be}},
        {"poke:297.1@pages_le.tif:w=9;poke:297.3@pages_le.tif:w=9",
         {"Wrong SHORT value fetched for tag 297 in pages_le.tif, page 0: value 0 is 0x900, "
          "expected 0x0.",
          "Wrong SHORT value fetched for tag 297 in pages_le.tif, page 0: 1 more values differ, "
          "the last at value 1."},
         {le}},
        {"poke:297.1@pages_le.tif:w=9",
         {"Wrong SHORT value fetched for tag 297 in pages_le.tif, page 0: value 0 is 0x900, "
          "expected 0x0."},
         {le}},
        {"read-byte:0.0@pages_le.tif=0x77;read-byte:0.5@pages_le.tif=0x77",
         {"Wrong image data in strip 0 of pages_le.tif, page 3: byte 0 is 0x77, expected 0x79.",
          "Wrong image data in strip 0 of pages_le.tif, page 3: 1 more bytes differ, the last at "
          "byte 5."},
         {le}},
        {"read-fill:0@pages_le.tif=0x77",
         {"Wrong image data in strip 0 of pages_le.tif, page 3: byte 0 is 0x77, expected 0x79.",
          "Wrong image data in strip 0 of pages_le.tif, page 3: 95 more bytes differ, the last at "
          "byte 95."},
         {le}},
        {"poke:270.5@pages_le.tif:r=0x39;poke:270.3@pages_le.tif:r=0x39",
         {"pages_le.tif: page 0: tag 270 on disk: byte 3 is 0x39, expected 0x65.",
          "pages_le.tif: page 0: tag 270 on disk: 1 more bytes differ, the last at byte 5."},
         {le}},
        {"poke:34855.1@pages_le.tif:r=0x7f;poke:34855.5@pages_le.tif:r=0x7f",
         {"pages_le.tif: EXIF IFD: tag 34855 on disk: value 0 is 32612, expected 100.",
          "pages_le.tif: EXIF IFD: tag 34855 on disk: 1 more values differ, the last at value 2."},
         {le}},
    });
}

// The walk, the jumps and the counts each checked on their own, and what the
// library's last look cannot see: IFDs changed on disk after it.
TEST(DirectoryProbe, WalkJumpsAndLinkedIfdsChecked)
{
    ExpectCases({
        {"last-dir:1@pages_le.tif=1", {"pages_le.tif: page 1: TIFFLastDirectory says 1."}, {le}},
        {"last-dir:3@pages_be.btf=0", {"pages_be.btf: page 3: TIFFLastDirectory says 0."}, {be}},
        // Page 3 is the last one until a page is appended.
        {"read-dir:3@pages_le.tif",
         {"pages_le.tif: expected 5 pages, TIFFReadDirectory walks 4."},
         {le}},
        // The jump to page 2 would fail next, so only the jump to 3 names page 3.
        {"current-dir:3@pages_le.tif=9;set-dir:2@pages_le.tif",
         {"pages_le.tif: page 3: TIFFCurrentDirectory says 9."},
         {le}},
        {"current-dir:1@pages_be.btf=9",
         {"pages_be.btf: page 1: TIFFCurrentDirectory says 9."},
         {be}},
        // A fifth IFD the count and TIFFLastDirectory hide: the walk goes on.
        {"append-copy:1@pages_le.tif:w;dir-count@pages_le.tif=4;last-dir:3@pages_le.tif=1",
         {"pages_le.tif: expected 4 pages, TIFFReadDirectory walks more."},
         {le}},
        {"get-u32:254@pages_le.tif=0",
         {"Wrong LONG value fetched for tag 254 in pages_le.tif, SubIFD 0: value 0 is 0x0, "
          "expected 0x1."},
         {le}},
        {"get-u32:257@pages_be.btf=9",
         {"Wrong LONG value fetched for tag 257 in pages_be.btf, SubIFD 0: value 0 is 0x9, "
          "expected 0x4."},
         {be}},
        // The count after the SubIFDs were visited, of the first and last step.
        {"dir-count:2=5", {"pages_le.tif: expected 4 pages, the library counts 5."}, {le}},
        {"dir-count:8=3", {"pages_le.tif: expected 4 pages, the library counts 3."}, {le}},
        {"append-copy:1@pages_be.btf:r",
         {"pages_be.btf: expected 4 pages, the file holds 5."},
         {be}},
        {"poke:33434.0@pages_le.tif:r=2",
         {"pages_le.tif: EXIF IFD: tag 33434 on disk: value 0 is 0.015625, expected 0.0078125."},
         {le}},
        {"poke:34855.1@pages_le.tif:r=0x7f",
         {"pages_le.tif: EXIF IFD: tag 34855 on disk: value 0 is 32612, expected 100."},
         {le}},
        {"poke:1.0@pages_be.btf:r=0x53",
         {"pages_be.btf: GPS IFD: tag 1 on disk: byte 0 is 0x53, expected 0x4e."},
         {be}},
        {"poke-entry:34855.1@pages_le.tif:r=0x91",
         {"pages_le.tif: IFD at 8: tag 36864 follows tag 37159."},
         {le}},
        {"poke-entry:34855.2@pages_le.tif:r=8",
         {"pages_le.tif: EXIF IFD: tag 34855 on disk: SSHORT[3], expected SHORT[3]."},
         {le}},
        {"poke:254.0@pages_be.btf:r=9",
         {"pages_be.btf: SubIFD 0: tag 254 on disk: value 0 is 0x9000001, expected 0x1."},
         {be}},
    });
}

// Stand-ins for a broken library whose TIFFRewriteDirectory does not move the
// directory: one that appends it to the chain and leaves the old one, and one
// that writes it over the old place (TIFFWriteDirectory), where the longer
// directory overruns the next page's.
TEST(DirectoryProbe, BrokenRewriteIsCaught)
{
    ExpectCases({
        {"rewrite-dir-append@pages_le.tif",
         {"pages_le.tif: expected 4 pages, the library counts 5."},
         {le}},
        {"rewrite-dir-append@pages_be.btf",
         {"pages_be.btf: expected 4 pages, the library counts 5."},
         {be}},
        // With the count hidden, the walk lands on the old page 2.
        {"rewrite-dir-append@pages_be.btf;dir-count@pages_be.btf=4",
         {"Wrong ASCII value fetched for tag 270 in pages_be.btf, page 2: \"page 2\", expected "
          "\"page 2, rewritten in place with a longer description\".",
          "Problem fetching tag 305 in pages_be.btf, page 2."},
         {be}},
        // The longer directory lands on page 3's strip in one file, on the
        // next directory in the other.
        {"rewrite-dir-write@pages_le.tif",
         {"Wrong image data in strip 0 of pages_le.tif, page 3: byte 0 is 0x00, expected 0x79.",
          "Wrong image data in strip 0 of pages_le.tif, page 3: 88 more bytes differ, the last at "
          "byte 89."},
         {le}},
        {"rewrite-dir-write@pages_be.btf",
         {"pages_be.btf: expected 4 pages, the library counts 3."},
         {be}},
    });
}

// The library reads a file in either byte order: only the independent
// reading of the bytes sees that the mode's "b" was ignored.
TEST(DirectoryProbe, WrongByteOrderSeenOnlyOnDisk)
{
    ExpectCases({
        {"swap-order:w8b", {"pages_be.btf: header: II version 43, expected MM version 43."}, {be}},
    });
}

// The files of a passing run, kept and read by a reader that shares nothing
// with the TIFF library.
TEST(DirectoryProbe, LeftFilesReadByTifffile)
{
    ProbeOptions check_import;
    check_import.args = {"-c", "import tifffile"};
    ProbeRun has_tifffile("/usr/bin/python3", check_import);
    if (!has_tifffile.exited() || has_tifffile.status() != 0)
        GTEST_SKIP() << "/usr/bin/python3 cannot import tifffile (Debian: python3-tifffile)";

    ProbeRun run(probe, Faults("keep"));
    ExpectClean(run, {le, be});
    ProbeOptions read;
    read.args = {DIRECTORY_FILES_SCRIPT, run.path(le), run.path(be)};
    ProbeRun reader("/usr/bin/python3", read);
    EXPECT_TRUE(reader.exited() && reader.status() == 0) << reader.describe();
    EXPECT_TRUE(reader.stderr_lines().empty()) << reader.describe();
}

} // namespace
