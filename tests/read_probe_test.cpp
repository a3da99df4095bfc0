// read_probe under injected library faults: each gives its line, exit status
// 1 and leaves the file of the case and layout it broke, besides what a
// clean run shows of the library's known defects: a wrong value of a legal
// encoding (get-u32), a strip read that failed reported as a success
// (read-ok), a field past the end reported present (get-nothing), one page
// too many counted (dir-count), a strip or tile too few counted (answer), a
// jump past the last page said to succeed (set-dir with a value), a warning
// while a legal case is read (warn-read), a strip read short or one byte
// long, and a refused open. Then the well-formed files read by tifffile
// (read_files.py, against the table the probe exports in
// TIFF_PROBES_READ_TABLE); where tifffile reads a file wrong the script says
// so and why instead of comparing. The malformed files run under valgrind in
// memcheck_test.cpp.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "read_probe";

// A clean run leaves exactly the files its lines (known defects) name.
TEST(ReadProbe, CleanRunLeavesOnlyTheFilesOfFailedCases)
{
    const ProbeRun run(probe);
    std::set<std::string> named;
    for (const std::string &line : run.own_lines()) {
        for (const std::string &file : run.files()) {
            if (line.find(file) != std::string::npos)
                named.insert(file);
        }
    }
    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), named.empty() ? 0 : 1) << run.describe();
    EXPECT_EQ(run.files(), named) << run.describe();
}

struct Case {
    const char *faults;
    const char *file; // the case and layout the fault breaks
    std::vector<std::string> lines;
};

TEST(ReadProbe, FaultsGiveTheirLines)
{
    const Case cases[] = {
        // A wrong value of a legal encoding.
        {"get-u32:256@read_width_long_le.tif=70000",
         "read_width_long_le.tif",
         {"Wrong LONG value fetched for tag 256 in read_width_long_le.tif: value 0 is 0x11170, "
          "expected 0x10003."}},
        // A strip whose bytes are outside the file read as a success.
        {"read-ok:1@read_strip_outside_be.tif=3",
         "read_strip_outside_be.tif",
         {"read_strip_outside_be.tif: strip 1 read as 3 bytes, but its bytes lie outside the "
          "file."}},
        {"read-ok:1@read_strip_arrays_short_le.btf=3",
         "read_strip_arrays_short_le.btf",
         {"read_strip_arrays_short_le.btf: strip 1 read as 3 bytes, but it has no offset in the "
          "file."}},
        // A field whose values are past the end, reported present.
        {"get-nothing:270@read_value_past_end_be.btf",
         "read_value_past_end_be.btf",
         {"read_value_past_end_be.btf: tag 270: present, but the file holds no value of it."}},
        // One page too many counted: the three ways of counting disagree.
        {"dir-count@read_pages_le.tif=4",
         "read_pages_le.tif",
         {"read_pages_le.tif: expected 3 pages, the library counts 4."}},
        // A page the chain holds that TIFFSetDirectory cannot reach, one
        // past the last it says it reached, and a walk that stops short.
        {"set-dir:1@read_pages_be.btf",
         "read_pages_be.btf",
         {"read_pages_be.btf: page 1: can't read the directory."}},
        {"set-dir:3@read_pages_le.tif=1",
         "read_pages_le.tif",
         {"read_pages_le.tif: page 3: TIFFSetDirectory goes past the last page."}},
        {"read-dir:1@read_pages_ifd_first_le.btf",
         "read_pages_ifd_first_le.btf",
         {"read_pages_ifd_first_le.btf: expected 3 pages, TIFFReadDirectory walks 2."}},
        // A strip of a legal encoding read one byte short.
        {"read-short:1@read_strips_over_long_be.btf",
         "read_strips_over_long_be.btf",
         {"read_strips_over_long_be.btf: strip 1 read as 5 bytes, expected 6."}},
        {"read-long:1@read_strips_over_long_le.tif",
         "read_strips_over_long_le.tif",
         {"read_strips_over_long_le.tif: strip 1 read as 7 bytes, expected 6."}},
        // A strip or tile too few counted: the strile arrays come short too.
        {"answer:NumberOfStrips@read_strips_over_long_le.btf=2",
         "read_strips_over_long_le.btf",
         {"Wrong LONG value fetched for tag 273 in read_strips_over_long_le.btf: 2 values, "
          "expected 3.",
          "Wrong LONG value fetched for tag 279 in read_strips_over_long_le.btf: 2 values, "
          "expected 3.",
          "read_strips_over_long_le.btf: 2 strips, expected 3."}},
        {"answer:NumberOfTiles@read_tile_counts_short_be.tif=1",
         "read_tile_counts_short_be.tif",
         {"Wrong LONG value fetched for tag 324 in read_tile_counts_short_be.tif: 1 values, "
          "expected 2.",
          "Wrong SHORT value fetched for tag 325 in read_tile_counts_short_be.tif: 1 values, "
          "expected 2.",
          "read_tile_counts_short_be.tif: 1 tiles, expected 2."}},
        // A wrong byte in a tile; a tolerated text that is neither of the
        // two the file holds; a RowsPerStrip that is not one strip's.
        {"read-tile:1.0@read_tile_counts_short_be.tif=0x33",
         "read_tile_counts_short_be.tif",
         {"Wrong image data in tile 1 of read_tile_counts_short_be.tif: byte 0 is 0x33, "
          "expected 0xd2."}},
        {"get-chop:270@read_twice_text_le.tif",
         "read_twice_text_le.tif",
         {"Wrong ASCII value fetched for tag 270 in read_twice_text_le.tif: \"firs\", expected "
          "\"first\"."}},
        {"get-u32:278@read_no_rows_per_strip_be.btf=1",
         "read_no_rows_per_strip_be.btf",
         {"read_no_rows_per_strip_be.btf: tag 278: 1, expected at least 2."}},
        // An EXIF field fetched as nothing, and the EXIF IFD unreadable.
        {"get-nothing:33434@read_exif_ifd8_le.btf",
         "read_exif_ifd8_le.btf",
         {"Wrong RATIONAL value fetched for tag 33434 in read_exif_ifd8_le.btf, EXIF IFD: value 0 "
          "is 0, expected 0.004."}},
        {"read-exif@read_exif_long8_be.btf",
         "read_exif_long8_be.btf",
         {"read_exif_long8_be.btf: EXIF IFD: no IFD at 16."}},
        // A field of a legal encoding absent, and a tolerated text that is
        // neither absent nor the file's; the last byte of a strip wrong; too
        // few pages counted; a refused strip read as zero bytes.
        {"get:256@read_width_long_le.btf",
         "read_width_long_le.btf",
         {"Problem fetching tag 256 in read_width_long_le.btf."}},
        {"get-chop:270@read_ascii_no_nul_be.tif",
         "read_ascii_no_nul_be.tif",
         {"Wrong ASCII value fetched for tag 270 in read_ascii_no_nul_be.tif: \"abcdefghi\", "
          "expected \"abcdefghij\"."}},
        {"read-byte:1.2@read_width_short_be.tif=0x33",
         "read_width_short_be.tif",
         {"Wrong image data in strip 1 of read_width_short_be.tif: byte 2 is 0x33, expected "
          "0xd8."}},
        {"dir-count@read_pages_be.tif=2",
         "read_pages_be.tif",
         {"read_pages_be.tif: expected 3 pages, the library counts 2."}},
        {"read-ok:1@read_strip_outside_le.btf=0",
         "read_strip_outside_le.btf",
         {"read_strip_outside_le.btf: strip 1 read as 0 bytes, but its bytes lie outside the "
          "file."}},
        // A warning while a legal case is read.
        {"warn-read:1@read_strips_over_long_le.tif",
         "read_strips_over_long_le.tif",
         {"read_strips_over_long_le.tif: the library reported a problem."}},
        // The IFD of no entries that ends a chain: a count that is neither
        // the one page nor the page and it, a jump onto it said to succeed,
        // and a counted page that fails to read in silence.
        {"dir-count@read_ifd_empty_second_le.tif=3",
         "read_ifd_empty_second_le.tif",
         {"read_ifd_empty_second_le.tif: expected 1 pages, the library counts 3."}},
        {"set-dir:1@read_ifd_empty_second_be.tif=1",
         "read_ifd_empty_second_be.tif",
         {"read_ifd_empty_second_be.tif: page 1: TIFFSetDirectory goes past the last page."}},
        {"set-dir:1@read_ifd_empty_second_le.btf",
         "read_ifd_empty_second_le.btf",
         {"read_ifd_empty_second_le.btf: page 1: counted, but TIFFSetDirectory fails without a "
          "message."}},
        // A legal case the library cannot open.
        {"open:r@read_odd_text_le.tif",
         "read_odd_text_le.tif",
         {"Can't open test TIFF file read_odd_text_le.tif."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, {c.file});
    }
}

// A second fault is not hidden behind the first: every value and byte of a
// check is judged, the first few wrong ones named and the rest counted.
TEST(ReadProbe, EveryWrongItemNamedOrCounted)
{
    const std::string planes = "@read_rgb_planes_le.tif=0;";
    const std::string five_strips = "read-fill:0" + planes + "read-fill:1" + planes +
                                    "read-fill:2" + planes + "read-fill:3" + planes +
                                    "read-fill:4" + planes;
    const Case cases[] = {
        // Two strip offsets swapped: both named.
        {"get-swap:273.0@read_strips_over_long_le.tif",
         "read_strips_over_long_le.tif",
         {"Wrong LONG value fetched for tag 273 in read_strips_over_long_le.tif: value 0 is 0xe, "
          "expected 0x8.",
          "Wrong LONG value fetched for tag 273 in read_strips_over_long_le.tif: value 1 is 0x8, "
          "expected 0xe."}},
        // Two pages TIFFSetDirectory cannot reach: both named.
        {"set-dir:1@read_pages_be.btf;set-dir:2@read_pages_be.btf",
         "read_pages_be.btf",
         {"read_pages_be.btf: page 1: can't read the directory.",
          "read_pages_be.btf: page 2: can't read the directory."}},
        // Five values zeroed: three named, two counted.
        {"get-zero:65008.1@read_private_sshort_le.tif",
         "read_private_sshort_le.tif",
         {"Wrong SSHORT value fetched for tag 65008 in read_private_sshort_le.tif: value 0 is 0x0, "
          "expected 0xffffffffffffffff.",
          "Wrong SSHORT value fetched for tag 65008 in read_private_sshort_le.tif: value 1 is 0x0, "
          "expected 0x7.",
          "Wrong SSHORT value fetched for tag 65008 in read_private_sshort_le.tif: value 2 is 0x0, "
          "expected 0xffffffffffff8000.",
          "Wrong SSHORT value fetched for tag 65008 in read_private_sshort_le.tif: 2 more values "
          "differ, the last at value 4."}},
        // Every byte of a strip wrong: the first named, the others counted.
        {"read-fill:1@read_width_short_be.tif=0x33",
         "read_width_short_be.tif",
         {"Wrong image data in strip 1 of read_width_short_be.tif: byte 0 is 0x33, expected 0xd2.",
          "Wrong image data in strip 1 of read_width_short_be.tif: 2 more bytes differ, the last "
          "at byte 2."}},
        // Five of six strips wrong: three named, two counted.
        {five_strips.c_str(),
         "read_rgb_planes_le.tif",
         {"Wrong image data in strip 0 of read_rgb_planes_le.tif: byte 0 is 0x00, expected 0x01.",
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
          "Wrong image data in strip 0 of read_rgb_planes_le.tif: 2 more bytes differ, the last at "
          "byte 2.",
          "Wrong image data in strip 1 of read_rgb_planes_le.tif: byte 0 is 0x00, expected 0xd2.",
          "Wrong image data in strip 1 of read_rgb_planes_le.tif: 2 more bytes differ, the last at "
          "byte 2.",
          "Wrong image data in strip 2 of read_rgb_planes_le.tif: byte 0 is 0x00, expected 0xa3.",
          "Wrong image data in strip 2 of read_rgb_planes_le.tif: 2 more bytes differ, the last at "
          "byte 2.",
          "Wrong image data in strip 3 of read_rgb_planes_le.tif: 2 wrong strips from here to "
          "strip 4, not named."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, {c.file});
    }
}

// The count may leave out the IFD of no entries (TIFF 6.0 has no such IFD),
// as well as include it: either passes.
TEST(ReadProbe, EmptyIfdCountedOrNot)
{
    for (const char *faults :
         {"dir-count@read_ifd_empty_second_be.btf=1", "dir-count@read_ifd_empty_second_be.btf=2"}) {
        SCOPED_TRACE(faults);
        const ProbeRun run(probe, Faults(faults));
        const Baseline &clean = CleanRun(probe);
        ASSERT_TRUE(run.exited()) << run.describe();
        EXPECT_EQ(run.status(), clean.status) << run.describe();
        EXPECT_EQ(run.own_lines(), clean.lines) << run.describe();
    }
}

// The read matrix under injected faults: one line per broken rule and
// field, counting its cases, and only the first case's file left.
TEST(ReadProbe, MatrixFaultsGiveOneLinePerRuleAndField)
{
    const Case cases[] = {
        // A zero where the file holds 8, in two layouts: one line.
        {"get-u16:274@read_274_std_le.tif=0;get-u16:274@read_274_std_be.tif=0",
         "read_274_std_le.tif",
         {"tag 274 in its standard encoding: value 0 is 0, expected 8 (2 cases, first "
          "read_274_std_le.tif)."}},
        // The array padded with a zero.
        {"get-pad:50712@read_50712_std_be.tif",
         "read_50712_std_be.tif",
         {"tag 50712 in its standard encoding: 66 values, expected 65 (1 case, first "
          "read_50712_std_be.tif)."}},
        // A truncated text.
        {"get-chop:270@read_270_std_le.btf",
         "read_270_std_le.btf",
         {"tag 270 in its standard encoding: \"An image description, out of line\" (33 bytes), "
          "expected \"An image description, out of line.\" (34 bytes) (1 case, first "
          "read_270_std_le.btf)."}},
        // A value past the end of the file said present.
        {"get-nothing:270@read_270_past_be.tif",
         "read_270_past_be.tif",
         {"tag 270 past the end of the file: \"\" (0 bytes), expected \"An image description, "
          "out of line.\" (34 bytes) (1 case, first read_270_past_be.tif)."}},
        // A strip read from offset 0: the header's "MM" where the pixels are.
        {"read-byte:1.0@read_274_std_be.btf=0x4d",
         "read_274_std_be.btf",
         {"tag 274 in its standard encoding: strip 1 byte 0 is 0x4d, expected 0x33 (1 case, "
          "first read_274_std_be.btf)."}},
        // A legal stored type (TIFF 6.0's reader rule) read wrong: the
        // line names the class.
        {"get-u16:274@read_274_byte_be.btf=9",
         "read_274_byte_be.btf",
         {"tag 274 stored as BYTE: value 0 is 9, expected 8 (1 case, first "
          "read_274_byte_be.btf)."}},
        // A field of the EXIF IFD said present with nothing stored.
        {"get-nothing:33434@read_exif_33434_std_le.btf",
         "read_exif_33434_std_le.btf",
         {"EXIF IFD: tag 33434 in its standard encoding: value 0 is 0, expected 0.0078125 (1 "
          "case, first read_exif_33434_std_le.btf)."}},
        // A wrong byte in a plane of a structural case.
        {"read-byte:0.3@read_planes_le.tif=0",
         "read_planes_le.tif",
         {"structure: planes apart: strip 0 byte 3 is 0x00, expected 0x7a (1 case, first "
          "read_planes_le.tif)."}},
        // A private DOUBLE stored as whole LONGs, one value longer.
        {"get-pad:65112@read_65112_long_whole_le.tif",
         "read_65112_long_whole_le.tif",
         {"tag 65112 stored as LONG, whole values: 5 values, expected 4 (1 case, first "
          "read_65112_long_whole_le.tif)."}},
        // YCbCr's vertical subsampling read wrong.
        {"get-u16:530.1@read_ycbcr_be.btf=1",
         "read_ycbcr_be.btf",
         {"structure: YCbCr subsampled 2 x 2: tag 530 is 2,1, expected 2,2 (1 case, first "
          "read_ycbcr_be.btf)."}},
        // A byte of one strip of a chopped 16 KiB strip.
        {"read-byte:0.9@read_one_big_strip_le.tif=0",
         "read_one_big_strip_le.tif",
         {"structure: one strip of 16 KiB: byte 9 of the strips wrong (1 case, first "
          "read_one_big_strip_le.tif)."}},
        // The repairs' classes, each catching a wrong value: a palette's
        // green channel zeroed, ExtraSamples without its value, a
        // per-sample range one off, a strip's byte of strips read on
        // demand, a byte of a PackBits strip without byte counts, a byte
        // of a strip whose count is past the end of the file.
        {"get-zero:320.1@read_palette_le.tif",
         "read_palette_le.tif",
         {"structure: a palette image: ColorMap entry 0 wrong (1 case, first "
          "read_palette_le.tif)."}},
        {"get-u16:338@read_rgba_be.tif=0",
         "read_rgba_be.tif",
         {"structure: RGB with an alpha sample: ExtraSamples is not the one value 2 (1 case, "
          "first read_rgba_be.tif)."}},
        {"get-u16:281@read_sample_range_le.btf=199",
         "read_sample_range_le.btf",
         {"structure: MinSampleValue and MaxSampleValue per sample: tag 281 is 199, expected "
          "200 (1 case, first read_sample_range_le.btf)."}},
        {"read-byte:5.1@read_ondemand_be.tif=0",
         "read_ondemand_be.tif",
         {"structure: 64 strips, loaded on demand: byte 21 of the strips wrong (1 case, first "
          "read_ondemand_be.tif)."}},
        {"read-byte:0.3@read_no_counts_packbits_le.tif=0",
         "read_no_counts_packbits_le.tif",
         {"structure: no StripByteCounts, PackBits: strip 0 byte 3 decoded wrong (1 case, first "
          "read_no_counts_packbits_le.tif)."}},
        {"read-byte:0.2@read_strip_count_past_end_le.tif=0",
         "read_strip_count_past_end_le.tif",
         {"structure: one strip's byte count past the end of the file: strip 0 byte 2 is not "
          "the file's (1 case, first read_strip_count_past_end_le.tif)."}},
        // A structural case: the second SubIFD of a chain not reached.
        {"read-dir@read_subifd_chain_le.tif",
         "read_subifd_chain_le.tif",
         {"structure: a chain of two SubIFDs: TIFFReadDirectory does not reach the second "
          "SubIFD (1 case, first read_subifd_chain_le.tif)."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, {c.file});
    }
}

// The well-formed cases' files, kept, read by tifffile, which shares no code
// with the TIFF library, against the values the probe's table gives.
TEST(ReadProbe, WellFormedFilesReadByTifffile)
{
    ProbeOptions check_import;
    check_import.args = {"-c", "import tifffile"};
    const ProbeRun has_tifffile("/usr/bin/python3", check_import);
    if (!has_tifffile.exited() || has_tifffile.status() != 0)
        GTEST_SKIP() << "/usr/bin/python3 cannot import tifffile (Debian: python3-tifffile)";

    ProbeOptions keep = Faults("keep");
    keep.env.emplace_back("TIFF_PROBES_READ_TABLE", "read_cases.txt");
    const ProbeRun run(probe, keep);
    ASSERT_TRUE(run.exited()) << run.describe();
    ProbeOptions read;
    read.args = {READ_FILES_SCRIPT, run.path("read_cases.txt")};
    const ProbeRun reader("/usr/bin/python3", read);
    EXPECT_TRUE(reader.exited() && reader.status() == 0) << reader.describe();
}

} // namespace
