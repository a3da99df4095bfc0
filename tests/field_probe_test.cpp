// field_probe under injected library faults. A library may have defects of
// its own that the probe reports on every run (Debian's 4.5.0 has some, see
// the README), so a clean run is the baseline: each fault must add exactly
// its own line, and its layout's file, to what the clean run printed and
// left. Its defects (a field refused, a wrong type, missing defaults) have no
// stand-in yet, but for the JPEG page: read-fill stands in for a decoder that
// gets the tables it was encoded with, so a test can make one byte of the
// page wrong, or every byte two off, where the defect would have stopped the
// check at the first byte.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ifd_reader.h"
#include "probe_run.h"

namespace {

const char probe[] = "field_probe";
const char *const layout_files[] = {"fields_le.tif", "fields_be.tif", "fields_le.btf",
                                    "fields_be.btf"};

// A layout's file stays exactly when a line names it, and every line the
// probe prints is one of its own or the library's.
TEST(FieldProbe, CleanRunLeavesTheFilesOfLayoutsWithLines)
{
    const ProbeRun run(probe);
    const std::vector<std::string> own = run.own_lines();

    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), own.empty() ? 0 : 1) << run.describe();
    for (const char *file : layout_files) {
        const bool named = std::any_of(own.begin(), own.end(), [file](const std::string &line) {
            return line.find(file) != std::string::npos;
        });
        EXPECT_EQ(run.files().count(file) == 1, named) << file << "\n" << run.describe();
    }
}

// Valgrind finds no memory error and no definitely lost block in a clean
// run (exit status 99 if it did), which prints what it prints without it.
TEST(FieldProbe, CleanRunUnderMemcheck)
{
    const std::string unavailable = MemcheckUnavailable();
    if (!unavailable.empty())
        GTEST_SKIP() << unavailable;
    ProbeOptions options;
    options.wrapper = MemcheckWrapper();
    const ProbeRun run(probe, options);
    std::vector<std::string> got = run.own_lines();
    std::vector<std::string> expect = CleanRun(probe).lines;
    std::sort(got.begin(), got.end());
    std::sort(expect.begin(), expect.end());

    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), expect.empty() ? 0 : 1) << run.describe();
    EXPECT_EQ(got, expect) << run.describe();
}

TEST(FieldProbe, EachFaultAddsItsLineAndFile)
{
    const struct {
        const char *faults;
        std::vector<std::string> lines;
        std::set<std::string> files;
    } cases[] = {
        // Refused: a standard field, an EXIF and a GPS one.
        {"set:271@fields_be.tif", {"Can't set tag 271 in fields_be.tif."}, {"fields_be.tif"}},
        {"set:33434@fields_le.btf", {"Can't set tag 33434 in fields_le.btf."}, {"fields_le.btf"}},
        {"set:4@fields_be.btf", {"Can't set tag 4 in fields_be.btf."}, {"fields_be.btf"}},
        {"get:34855@fields_le.btf",
         {"Problem fetching tag 34855 in fields_le.btf."},
         {"fields_le.btf"}},
        // Wrong values: a standard pair, an EXIF LONG, a GPS SHORT, an EXIF
        // string, an array's count.
        {"get-u16:297.1@fields_le.tif=4",
         {"Wrong SHORT value fetched for tag 297 in fields_le.tif: value 1 is 0x4, expected "
          "0xfffe."},
         {"fields_le.tif"}},
        {"get-u32:34867@fields_be.tif=1",
         {"Wrong LONG value fetched for tag 34867 in fields_be.tif: value 0 is 0x1, expected "
          "0x80000000."},
         {"fields_be.tif"}},
        {"get-u16:30@fields_le.btf=0",
         {"Wrong SHORT value fetched for tag 30 in fields_le.btf: value 0 is 0x0, expected 0x1."},
         {"fields_le.btf"}},
        {"get-chop:36867@fields_be.tif",
         {"Wrong ASCII value fetched for tag 36867 in fields_be.tif: \"2023:12:31 01:02:0\", "
          "expected \"2023:12:31 01:02:03\"."},
         {"fields_be.tif"}},
        {"get-u16:338@fields_le.tif=2",
         {"Wrong SHORT value fetched for tag 338 in fields_le.tif: 2 values, expected 1."},
         {"fields_le.tif"}},
        // The blue third of the palette, zeroed on fetch.
        {"get-zero:320.2@fields_le.tif",
         {"Wrong SHORT value fetched for tag 320 in fields_le.tif: value 32 is 0x0, expected "
          "0xf5a0.",
          "Wrong SHORT value fetched for tag 320 in fields_le.tif: 15 more values differ, the "
          "last at value 47."},
         {"fields_le.tif"}},
        // Two values or bytes wrong: the first named, the other counted, so
        // a known defect in one hides no other.
        {"poke:320.95@fields_be.tif:w=0x41;poke:320.81@fields_be.tif:w=0x41",
         {"Wrong SHORT value fetched for tag 320 in fields_be.tif: value 40 is 0xad41, expected "
          "0xad58.",
          "Wrong SHORT value fetched for tag 320 in fields_be.tif: 1 more values differ, the last "
          "at value 47.",
          "fields_be.tif: tag 320 on disk: value 40 is 44353, expected 44376.",
          "fields_be.tif: tag 320 on disk: 1 more values differ, the last at value 47."},
         {"fields_be.tif"}},
        {"poke:333.4@fields_be.btf:r=0x41;poke:333.9@fields_be.btf:r=0x41",
         {"fields_be.btf: tag 333 on disk: byte 4 is 0x41, expected 0x00.",
          "fields_be.btf: tag 333 on disk: 1 more bytes differ, the last at byte 9."},
         {"fields_be.btf"}},
        {"default-u16:274@fields_le.btf=3",
         {"Wrong default for tag 274 in fields_le.btf: value 0 is 0x3, expected 0x1."},
         {"fields_le.btf"}},
        {"unset-nothing:286@fields_be.btf",
         {"fields_be.btf: tag 286 still present after TIFFUnsetField."},
         {"fields_be.btf"}},
        // On disk only: a type the field does not allow, in either byte
        // order; a FLOAT and a byte of InkNames changed after the read.
        {"poke-entry:274.2@fields_le.tif:w=8",
         {"fields_le.tif: tag 274 on disk: SSHORT[1], expected SHORT[1]."},
         {"fields_le.tif"}},
        {"poke-entry:274.3@fields_be.tif:w=8",
         {"fields_be.tif: tag 274 on disk: SSHORT[1], expected SHORT[1]."},
         {"fields_be.tif"}},
        {"poke:33305.1@fields_le.tif:r=0x41",
         {"fields_le.tif: tag 33305 on disk: value 0 is 2.33190077e-41, expected 1.40129846e-45."},
         {"fields_le.tif"}},
        {"poke:333.4@fields_be.btf:r=0x41",
         {"fields_be.btf: tag 333 on disk: byte 4 is 0x41, expected 0x00."},
         {"fields_be.btf"}},
        // A codec's field refused; a counted field, a pointer left from an
        // earlier fetch, a FLOAT and a pair set through TIFFVSetField, all
        // fetched wrong.
        {"set:292@fields_be.btf", {"Can't set tag 292 in fields_be.btf."}, {"fields_be.btf"}},
        {"get-nothing:34675@fields_le.tif",
         {"Problem fetching tag 34675 in fields_le.tif."},
         {"fields_le.tif"}},
        {"get-stale:50708@fields_be.btf",
         {"Problem fetching tag 50708 in fields_be.btf."},
         {"fields_be.btf"}},
        {"get-float:282@fields_be.tif=2",
         {"Wrong RATIONAL value fetched for tag 282 in fields_be.tif: value 0 is 0x40000000, "
          "expected 0x43964000."},
         {"fields_be.tif"}},
        {"get-u16:530.1@fields_le.btf=2",
         {"Wrong SHORT value fetched for tag 530 in fields_le.btf: value 1 is 0x2, expected 0x1."},
         {"fields_le.btf"}},
        // A library message fails a layout that otherwise passed.
        {"warn:270@fields_be.tif",
         {"fields_be.tif: the library reported a problem."},
         {"fields_be.tif"}},
        // The codec fields: JPEGTables short by a byte, missing, a byte of
        // it and its type wrong on disk; the Deflate page's Predictor
        // fetched as page 0's.
        {"get-u32:347@fields_be.tif=557",
         {"Wrong UNDEFINED value fetched for tag 347 in fields_be.tif: 557 values, expected 558."},
         {"fields_be.tif"}},
        {"get-nothing:347@fields_le.btf",
         {"Problem fetching tag 347 in fields_le.btf."},
         {"fields_le.btf"}},
        {"poke:347.100@fields_le.btf:r=0xAB",
         {"fields_le.btf: tag 347 on disk: value 100 is 171, expected 99."},
         {"fields_le.btf"}},
        {"poke-entry:347.2@fields_le.tif:r=1",
         {"fields_le.tif: tag 347 on disk: BYTE[558], expected UNDEFINED[558]."},
         {"fields_le.tif"}},
        // The JPEG page's image, which only the tables it was encoded with
        // decode: a byte two off.
        {"read-byte:0.0@fields_le.tif=198",
         {"Wrong image data in strip 0 of fields_le.tif, page 2: byte 0 is 0xc6, expected 0xc8."},
         {"fields_le.tif"}},
        // With the page decoded as written (read-fill, the known defect
        // gone): one byte off at the strip's end, every byte two over; a
        // strip read short, whose bytes are then not judged.
        {"read-fill:0@fields_le.tif=200;read-byte:0.15@fields_le.tif=198",
         {"Wrong image data in strip 0 of fields_le.tif, page 2: byte 15 is 0xc6, expected 0xc8."},
         {"fields_le.tif"}},
        {"read-fill:0@fields_be.btf=202",
         {"Wrong image data in strip 0 of fields_be.btf, page 2: byte 0 is 0xca, expected 0xc8."},
         {"fields_be.btf"}},
        {"read-short:0@fields_le.btf;read-fill:0@fields_le.btf=0",
         {"Can't read image data in strip 0 of fields_le.btf, page 2."},
         {"fields_le.btf"}},
        {"read-long:0.2@fields_be.tif;read-fill:0@fields_be.tif=200",
         {"Can't read image data in strip 0 of fields_be.tif, page 2."},
         {"fields_be.tif"}},
        // The Deflate page's fastest level refused.
        {"set:65557@fields_be.tif", {"Can't set tag 65557 in fields_be.tif."}, {"fields_be.tif"}},
        {"get-u16:317@fields_le.tif=2",
         {"Wrong SHORT value fetched for tag 317 in fields_le.tif: value 0 is 0x2, expected 0x3."},
         {"fields_le.tif"}},
        // TIFFVGetField disagreeing with TIFFGetField; a tag list that
        // misses its last entry; a field query whose type the field does not
        // allow (the query runs in the first layout only).
        {"vget-u32:254@fields_be.btf=7",
         {"Wrong LONG value fetched for tag 254 in fields_be.btf (TIFFVGetField)."},
         {"fields_be.btf"}},
        {"taglist-short@fields_be.tif",
         {"fields_be.tif: page 0: the tag list names tag 65000 1 times and tag 65001 0 times."},
         {"fields_be.tif"}},
        {"field-type:34675=1",
         {"fields_le.tif: tag 34675: the library's type BYTE is not one the field allows."},
         {"fields_le.tif"}},
        // Refused fetches of each kind of value the library keeps apart: a
        // double, the three ColorMap arrays, both TransferFunction pages, a
        // text of several strings, a GPS fraction.
        {"get:37439@fields_le.tif",
         {"Problem fetching tag 37439 in fields_le.tif."},
         {"fields_le.tif"}},
        {"get:320@fields_be.tif",
         {"Problem fetching tag 320 in fields_be.tif."},
         {"fields_be.tif"}},
        {"get:301@fields_le.btf",
         {"Problem fetching tag 301 in fields_le.btf.",
          "Problem fetching tag 301 in fields_le.btf."},
         {"fields_le.btf"}},
        {"get:333@fields_be.btf",
         {"Problem fetching tag 333 in fields_be.btf."},
         {"fields_be.btf"}},
        {"get:4@fields_le.tif", {"Problem fetching tag 4 in fields_le.tif."}, {"fields_le.tif"}},
        // Wrong values on every page and in the EXIF directory: the fax
        // codecs' fields, Threshholding, the float page's SampleFormat and
        // TileDepth, EXIF and DNG fractions, a text set twice, GPS text.
        {"get-u16:327@fields_be.tif=1",
         {"Wrong SHORT value fetched for tag 327 in fields_be.tif: value 0 is 0x1, expected 0x2."},
         {"fields_be.tif"}},
        {"get-u16:263@fields_le.btf=1",
         {"Wrong SHORT value fetched for tag 263 in fields_le.btf: value 0 is 0x1, expected 0x2."},
         {"fields_le.btf"}},
        {"get-u16:339@fields_be.btf=1",
         {"Wrong SHORT value fetched for tag 339 in fields_be.btf: value 0 is 0x1, expected 0x3."},
         {"fields_be.btf"}},
        {"get-u16:41488@fields_le.tif=2",
         {"Wrong SHORT value fetched for tag 41488 in fields_le.tif: value 0 is 0x2, expected "
          "0x3."},
         {"fields_le.tif"}},
        {"get-u32:292@fields_be.tif=4",
         {"Wrong LONG value fetched for tag 292 in fields_be.tif: value 0 is 0x4, expected 0x5."},
         {"fields_be.tif"}},
        {"get-u32:293@fields_le.btf=0",
         {"Wrong LONG value fetched for tag 293 in fields_le.btf: value 0 is 0x0, expected 0x2."},
         {"fields_le.btf"}},
        {"get-u32:32998@fields_be.btf=2",
         {"Wrong LONG value fetched for tag 32998 in fields_be.btf: value 0 is 0x2, expected 0x1."},
         {"fields_be.btf"}},
        {"get-float:37386@fields_le.tif=35",
         {"Wrong RATIONAL value fetched for tag 37386 in fields_le.tif: value 0 is 0x420c0000, "
          "expected 0x420e0000."},
         {"fields_le.tif"}},
        {"get-float:50730@fields_be.tif=-1",
         {"Wrong SRATIONAL value fetched for tag 50730 in fields_be.tif: value 0 is 0xbf800000, "
          "expected 0xbfa00000."},
         {"fields_be.tif"}},
        {"get-chop:305@fields_le.btf",
         {"Wrong ASCII value fetched for tag 305 in fields_le.btf: \"field_probe v\", expected "
          "\"field_probe v2\"."},
         {"fields_le.btf"}},
        {"get-chop:29@fields_be.btf",
         {"Wrong ASCII value fetched for tag 29 in fields_be.btf: \"2024:02:2\", expected "
          "\"2024:02:29\"."},
         {"fields_be.btf"}},
        // A byte of InkNames' second name: the line names that name, and the
        // library's own copy changed, TIFFVGetField sees it too.
        {"get-byte:333.6@fields_le.tif=65",
         {"Wrong ASCII value fetched for tag 333 in fields_le.tif: \"MAgenta\", expected "
          "\"Magenta\".",
          "Wrong ASCII value fetched for tag 333 in fields_le.tif (TIFFVGetField)."},
         {"fields_le.tif"}},
        // Wrong defaults: the second of a pair, Predictor on the writing
        // handle, FillOrder, BitsPerSample on the fax page.
        {"default-u16:530.1@fields_be.tif=1",
         {"Wrong default for tag 530 in fields_be.tif: value 1 is 0x1, expected 0x2."},
         {"fields_be.tif"}},
        // Both values of the pair wrong: the first named, the second counted.
        {"default-u16:530@fields_be.tif=1;default-u16:530.1@fields_be.tif=1",
         {"Wrong default for tag 530 in fields_be.tif: value 0 is 0x1, expected 0x2.",
          "Wrong default for tag 530 in fields_be.tif: 1 more values differ, the last at value 1."},
         {"fields_be.tif"}},
        {"default-u16:317@fields_le.btf=2",
         {"Wrong default for tag 317 in fields_le.btf: value 0 is 0x2, expected 0x1."},
         {"fields_le.btf"}},
        {"default-u16:266@fields_be.btf=2",
         {"Wrong default for tag 266 in fields_be.btf: value 0 is 0x2, expected 0x1."},
         {"fields_be.btf"}},
        {"default-u16:258@fields_le.tif=8",
         {"Wrong default for tag 258 in fields_le.tif: value 0 is 0x8, expected 0x1."},
         {"fields_le.tif"}},
        // The float page is a volume of 3 slices: three times the tiles.
        {"answer:NumberOfTiles@fields_le.btf=2",
         {"fields_le.btf: page 3: TIFFNumberOfTiles is 2, expected 6."},
         {"fields_le.btf"}},
        // The va_list form alone wrong: before the fields and after them.
        {"vdefault-u16:274@fields_be.btf=3",
         {"Wrong default for tag 274 in fields_be.btf (TIFFVGetFieldDefaulted)."},
         {"fields_be.btf"}},
        {"vdefault-u16:530@fields_le.tif=1",
         {"Wrong default for tag 530 in fields_le.tif (TIFFVGetFieldDefaulted)."},
         {"fields_le.tif"}},
        // A default that matches the other standard's values (TIFF 6.0's
        // YCbCr ReferenceBlackWhite) is held to the va_list form too, before
        // the fields and after them.
        {"vdefault-fail:532@fields_le.tif",
         {"Wrong default for tag 532 in fields_le.tif (TIFFVGetFieldDefaulted).",
          "Wrong default for tag 532 in fields_le.tif (TIFFVGetFieldDefaulted)."},
         {"fields_le.tif"}},
        // Unsets that do nothing: a text, a fixed array, a counted blob.
        {"unset-nothing:315@fields_le.tif",
         {"fields_le.tif: tag 315 still present after TIFFUnsetField."},
         {"fields_le.tif"}},
        {"unset-nothing:319@fields_be.tif",
         {"fields_be.tif: tag 319 still present after TIFFUnsetField."},
         {"fields_be.tif"}},
        {"unset-nothing:34675@fields_le.btf",
         {"fields_le.btf: tag 34675 still present after TIFFUnsetField."},
         {"fields_le.btf"}},
        // On disk only: a GPS and an EXIF fraction in their linked IFDs, the
        // blue third of ColorMap, a per-sample double, a DNG matrix; a LONG,
        // a RATIONAL and two texts written with types the fields do not
        // allow.
        {"poke:2.4@fields_le.tif:r=0x41",
         {"fields_le.tif: tag 2 on disk: value 0 is 0.738461538, expected 48."},
         {"fields_le.tif"}},
        {"poke:37386.0@fields_be.tif:r=0x41",
         {"fields_be.tif: tag 37386 on disk: value 0 is 545259556, expected 35.5."},
         {"fields_be.tif"}},
        {"poke:320.95@fields_le.btf:r=0x41",
         {"fields_le.btf: tag 320 on disk: value 47 is 16761, expected 52857."},
         {"fields_le.btf"}},
        // A DOUBLE on disk (the float page has 64-bit samples).
        {"poke:340.0@fields_be.btf:r=0x41",
         {"fields_be.btf: tag 340 on disk: value 0 is 429496730, expected -0.1."},
         {"fields_be.btf"}},
        {"poke:50721.3@fields_le.tif:r=0x41",
         {"fields_le.tif: tag 50721 on disk: value 0 is 1.09051904e+09, expected 1."},
         {"fields_le.tif"}},
        {"poke-entry:254.2@fields_le.tif:r=9",
         {"fields_le.tif: tag 254 on disk: SLONG[1], expected LONG[1]."},
         {"fields_le.tif"}},
        {"poke-entry:282.3@fields_be.tif:r=10",
         {"fields_be.tif: tag 282 on disk: SRATIONAL[1], expected RATIONAL[1]."},
         {"fields_be.tif"}},
        {"poke-entry:305.2@fields_le.btf:r=1",
         {"fields_le.btf: tag 305 on disk: BYTE[15], expected ASCII[15]."},
         {"fields_le.btf"}},
        {"poke-entry:36867.3@fields_be.btf:r=1",
         {"fields_be.btf: tag 36867 on disk: BYTE[20], expected ASCII[20]."},
         {"fields_be.btf"}},
        // A type only BigTIFF has, in a classic file: a link as IFD8.
        {"poke-entry:400.3@fields_be.tif:r=18",
         {"fields_be.tif: tag 400 on disk: IFD8[1], expected LONG or IFD[1]."},
         {"fields_be.tif"}},
        // A codec's field whose set warns; Predictor refused on both its
        // pages; an EXIF field refused.
        {"warn:292@fields_le.tif",
         {"fields_le.tif: the library reported a problem."},
         {"fields_le.tif"}},
        {"set:317@fields_be.tif",
         {"Can't set tag 317 in fields_be.tif.", "Can't set tag 317 in fields_be.tif."},
         {"fields_be.tif"}},
        {"set:40962@fields_le.tif", {"Can't set tag 40962 in fields_le.tif."}, {"fields_le.tif"}},
        // Refused on the pages not yet covered: Threshholding (Group 3), a
        // codec's field (Group 4), a per-sample double (float); each private
        // field on its own, the other still listed once.
        {"set:263@fields_be.tif", {"Can't set tag 263 in fields_be.tif."}, {"fields_be.tif"}},
        {"set:293@fields_le.btf", {"Can't set tag 293 in fields_le.btf."}, {"fields_le.btf"}},
        {"set:340@fields_be.btf", {"Can't set tag 340 in fields_be.btf."}, {"fields_be.btf"}},
        {"set:65000@fields_be.tif",
         {"Can't set tag 65000 in fields_be.tif.",
          "fields_be.tif: page 0: the tag list names tag 65000 0 times and tag 65001 1 times."},
         {"fields_be.tif"}},
        {"set:65001@fields_le.btf",
         {"Can't set tag 65001 in fields_le.btf.",
          "fields_le.btf: page 0: the tag list names tag 65000 1 times and tag 65001 0 times."},
         {"fields_le.btf"}},
        // A link refused: the directory it should link is written but
        // unreachable, and with the EXIF one the Interoperability one it
        // links.
        {"set:34665@fields_le.tif",
         {"Can't set tag 34665 in fields_le.tif.", "fields_le.tif: EXIF IFD: no IFD at 38.",
          "fields_le.tif: Interoperability IFD: no IFD at 8."},
         {"fields_le.tif"}},
        {"set:34853@fields_be.tif",
         {"Can't set tag 34853 in fields_be.tif.", "fields_be.tif: GPS IFD: no IFD at 1716."},
         {"fields_be.tif"}},
        // The Interoperability directory: its link refused; its index
        // refused, and GPSLatitudeRef, tag 1 as well.
        {"set:40965@fields_le.btf",
         {"Can't set tag 40965 in fields_le.btf.",
          "fields_le.btf: Interoperability IFD: no IFD at 16."},
         {"fields_le.btf"}},
        {"set:1@fields_le.tif",
         {"Can't set tag 1 in fields_le.tif.", "Can't set tag 1 in fields_le.tif."},
         {"fields_le.tif"}},
        // A palette page without its ColorMap, which the library then
        // rightly refuses to read: the layout ends there.
        {"set:320@fields_le.tif",
         {"Can't set tag 320 in fields_le.tif.",
          "fields_le.tif: page 1: can't read the directory."},
         {"fields_le.tif"}},
        // Failures that end a layout: its file not created, a strip or tile
        // not written, the EXIF directory not read.
        {"open:w8b", {"Can't create test TIFF file fields_be.btf."}, {}},
        {"write-strip@fields_be.btf=-1",
         {"Can't write image data in fields_be.btf."},
         {"fields_be.btf"}},
        {"write-tile@fields_le.btf=-1",
         {"Can't write image data in fields_le.btf."},
         {"fields_le.btf"}},
        {"read-exif@fields_be.tif",
         {"fields_be.tif: EXIF IFD: can't read the directory."},
         {"fields_be.tif"}},
        // Nothing stored, where an array is expected: ColorMap, both
        // TransferFunction pages; a pointer left from an earlier fetch.
        {"get-nothing:320@fields_be.btf",
         {"Problem fetching tag 320 in fields_be.btf."},
         {"fields_be.btf"}},
        {"get-nothing:301@fields_le.tif",
         {"Problem fetching tag 301 in fields_le.tif.",
          "Problem fetching tag 301 in fields_le.tif."},
         {"fields_le.tif"}},
        {"get-stale:270@fields_le.tif",
         {"Problem fetching tag 270 in fields_le.tif."},
         {"fields_le.tif"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, c.files);
    }
}

// A decoder may be one off: a JPEG page that decodes within one of its
// level adds no line.
TEST(FieldProbe, JpegPageWithinOneOfItsLevelPasses)
{
    for (const char *faults : {"read-fill:0=199", "read-fill:0=201"}) {
        SCOPED_TRACE(faults);
        const ProbeRun run(probe, Faults(faults));
        EXPECT_TRUE(run.exited()) << run.describe();
        EXPECT_EQ(NewLines(run), std::vector<std::string>()) << run.describe();
    }
}

// What the table asks for, read from the kept files by our own reader: the
// pages in order, each with a field its image needs, its count by the rule
// (ColorMap 3 x 2^4, three TransferFunction curves of 2^8 and one of 2^4,
// one ExtraSamples value, SMinSampleValue per sample), ImageWidth beyond a
// SHORT, and the EXIF and GPS directories that page 0 links.
TEST(FieldProbe, KeptFilesHoldEachPagesFields)
{
    const struct {
        size_t page;
        uint16_t tag;
        uint64_t count;
    } cases[] = {
        {0, 301, 768},
        {0, 333, 31},
        {1, 320, 48},
        {1, 301, 16},
        {1, 256, 1},
        {2, 530, 2},
        {3, 338, 1},
        {3, 340, 2},
        {3, 322, 1},
        {4, 292, 1},
        {5, 293, 1},
        {0, 34665, 1},
        {0, 34853, 1},
        {0, 50781, 16},
        {2, 347, 558},
        {3, 317, 1},
        // As the standards count them: CFAPattern rows x columns of its
        // repeat, three masked rectangles, DotRange as set (2, not per
        // sample), FillOrder on the 1-bit page.
        {0, 33422, 15},
        {0, 50830, 12},
        {0, 336, 2},
        {4, 266, 1},
    };
    const ProbeRun run(probe, Faults("keep"));
    ASSERT_EQ(run.files().size(), 4U) << run.describe();
    for (const char *name : layout_files) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes;
        ASSERT_FALSE(ifd::LoadFile(run.path(name).c_str(), &bytes));
        const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
        EXPECT_TRUE(file.problems.empty());
        ASSERT_EQ(file.chain.size(), 6U);
        for (const auto &c : cases) {
            const ifd::Entry *e = ifd::FindEntry(file.chain[c.page], c.tag);
            ASSERT_NE(e, nullptr) << "page " << c.page << " tag " << c.tag;
            EXPECT_EQ(e->count, c.count) << "page " << c.page << " tag " << c.tag;
        }
        const ifd::Entry *width = ifd::FindEntry(file.chain[1], 256);
        EXPECT_EQ(width->type, ifd::LONG);
        EXPECT_EQ(width->values[0], 70000U);
        // The codec pages: JPEG with its tables as a stream of their own
        // (SOI first, EOI last), Deflate with the floating-point predictor.
        const ifd::Entry *compression = ifd::FindEntry(file.chain[2], 259);
        EXPECT_EQ(compression->values[0], 7U);
        const ifd::Entry *tables = ifd::FindEntry(file.chain[2], 347);
        EXPECT_EQ(tables->type, ifd::UNDEFINED);
        EXPECT_EQ(std::vector<uint64_t>(tables->values.begin(), tables->values.begin() + 2),
                  (std::vector<uint64_t>{0xFF, 0xD8}));
        EXPECT_EQ(std::vector<uint64_t>(tables->values.end() - 2, tables->values.end()),
                  (std::vector<uint64_t>{0xFF, 0xD9}));
        EXPECT_EQ(ifd::FindEntry(file.chain[3], 259)->values[0], 8U);
        EXPECT_EQ(ifd::FindEntry(file.chain[3], 317)->values[0], 3U);
        size_t exif = 0;
        size_t gps = 0;
        for (const ifd::Directory &d : file.linked) {
            exif += d.link == ifd::Link::Exif && d.parent == file.chain[0].offset;
            gps += d.link == ifd::Link::Gps && d.parent == file.chain[0].offset;
        }
        EXPECT_EQ(exif, 1U);
        EXPECT_EQ(gps, 1U);
        // StripRowCounts replaces RowsPerStrip; EXIF's CFAPattern begins
        // with its two SHORTs in the file's byte order.
        EXPECT_EQ(ifd::FindEntry(file.chain[0], 278), nullptr);
        const bool big = file.header.big_endian;
        for (const ifd::Directory &d : file.linked) {
            const ifd::Entry *cfa = d.link == ifd::Link::Exif ? ifd::FindEntry(d, 41730) : nullptr;
            if (cfa) {
                ASSERT_GE(cfa->values.size(), 4U);
                EXPECT_EQ(std::vector<uint64_t>(cfa->values.begin(), cfa->values.begin() + 4),
                          big ? (std::vector<uint64_t>{0, 3, 0, 3})
                              : (std::vector<uint64_t>{3, 0, 3, 0}));
            }
        }
        // The EXIF directory links the Interoperability one: "R98", "0100".
        size_t interop = 0;
        for (const ifd::Directory &d : file.linked) {
            if (d.link != ifd::Link::Interoperability)
                continue;
            interop++;
            const ifd::Entry *index = ifd::FindEntry(d, 1);
            ASSERT_NE(index, nullptr);
            EXPECT_EQ(index->values, (std::vector<uint64_t>{'R', '9', '8', 0}));
            EXPECT_EQ(ifd::FindEntry(d, 2)->values, (std::vector<uint64_t>{'0', '1', '0', '0'}));
        }
        EXPECT_EQ(interop, 1U);
    }
}

} // namespace
