// The on-disk checks the newer probes share: a fault in them would let a
// broken library pass, so each is made to judge entries built here.
#include <cmath>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "line_forms.h"
#include "probe_support.h"

namespace {

ifd::Entry Make(uint16_t tag, uint16_t type, std::vector<uint64_t> values)
{
    ifd::Entry e;
    e.tag = tag;
    e.type = type;
    e.values = std::move(values);
    e.count =
        (type == ifd::RATIONAL || type == ifd::SRATIONAL) ? e.values.size() / 2 : e.values.size();
    return e;
}

TEST(ProbeSupport, NumberDecodesEachTypeBySignAndFraction)
{
    const struct {
        ifd::Entry entry;
        size_t index;
        double expect;
    } cases[] = {
        {Make(1, ifd::SHORT, {0xFFFF}), 0, 65535.0},
        {Make(1, ifd::SSHORT, {0xFFFF}), 0, -1.0},
        {Make(1, ifd::SBYTE, {0x80}), 0, -128.0},
        {Make(1, ifd::SLONG, {0x80000000}), 0, -2147483648.0},
        {Make(1, ifd::LONG, {0x80000000}), 0, 2147483648.0},
        {Make(1, ifd::RATIONAL, {1, 2, 3, 4}), 1, 0.75},
        {Make(1, ifd::RATIONAL, {0xFFFFFFFF, 1}), 0, 4294967295.0},
        {Make(1, ifd::SRATIONAL, {0xFFFFFFFF, 2}), 0, -0.5},
        {Make(1, ifd::SRATIONAL, {3, 0xFFFFFFFE}), 0, -1.5},
        {Make(1, ifd::FLOAT, {0x3FC00000}), 0, 1.5},
        {Make(1, ifd::DOUBLE, {0xBFF8000000000000}), 0, -1.5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(ifd::TypeName(c.entry.type)) + " #" + std::to_string(c.index));
        EXPECT_EQ(probe::Number(c.entry, c.index), c.expect);
    }
    // Fractions that stand for decimal doubles equal them, compared as the
    // probes compare (a value against a stored double). On 32-bit x86 an
    // 80-bit quotient kept in a register would differ from both.
    const std::vector<double> decimals = {30.1, 8848.86, -30.1};
    const ifd::Entry rational = Make(1, ifd::RATIONAL, {301, 10, 442443, 50});
    const ifd::Entry srational = Make(1, ifd::SRATIONAL, {0xFFFFFED3, 10});
    for (size_t i = 0; i < decimals.size(); i++) {
        const bool same =
            (i < 2 ? probe::Number(rational, i) : probe::Number(srational, 0)) == decimals[i];
        EXPECT_TRUE(same) << decimals[i];
    }
    // A zero denominator equals nothing, not even itself.
    EXPECT_TRUE(std::isnan(probe::Number(Make(1, ifd::RATIONAL, {5, 0}), 0)));
    EXPECT_TRUE(std::isnan(probe::Number(Make(1, ifd::SRATIONAL, {0, 0}), 0)));
}

// Runs a check and returns what it said.
template <typename Check>
std::string Said(Check check, bool *ok)
{
    testing::internal::CaptureStderr();
    *ok = check();
    return testing::internal::GetCapturedStderr();
}

ifd::Directory Dir(std::vector<ifd::Entry> entries)
{
    ifd::Directory d;
    d.offset = 8;
    d.entries = std::move(entries);
    return d;
}

TEST(ProbeSupport, StructureChecksSayWhatIsWrong)
{
    ifd::Entry odd = Make(270, ifd::ASCII, {'a', 'b', 'c', 'd', 'e', 0});
    odd.value_at = 101;
    const ifd::Directory strips =
        Dir({Make(273, ifd::LONG, {10, 90}), Make(279, ifd::LONG, {5, 11})});
    const ifd::Directory counts_short =
        Dir({Make(273, ifd::LONG, {10, 90}), Make(279, ifd::LONG, {5})});
    // Tiles at 10..14 and 15..19 touch; one more byte overlaps; an empty one
    // inside another holds no byte.
    const ifd::Directory touching =
        Dir({Make(324, ifd::LONG, {10, 15}), Make(325, ifd::LONG, {5, 5})});
    const ifd::Directory overlapping =
        Dir({Make(324, ifd::LONG, {10, 15}), Make(325, ifd::LONG, {6, 5})});
    const ifd::Directory empty_inside =
        Dir({Make(324, ifd::LONG, {10, 12}), Make(325, ifd::LONG, {5, 0})});
    const struct {
        const char *name;
        std::function<bool()> check;
        bool ok;
        const char *said;
    } cases[] = {
        {"ascending",
         [] {
             return probe::TagsAscending(Dir({Make(256, 3, {1}), Make(257, 3, {1})}), "f");
         },
         true, ""},
        {"descending",
         [] {
             return probe::TagsAscending(Dir({Make(257, 3, {1}), Make(256, 3, {1})}), "f");
         },
         false, "f: IFD at 8: tag 256 follows tag 257.\n"},
        {"repeated",
         [] {
             return probe::TagsAscending(Dir({Make(256, 3, {1}), Make(256, 3, {1})}), "f");
         },
         false, "f: IFD at 8: tag 256 follows tag 256.\n"},
        {"odd offset", [&] { return probe::WordAligned(Dir({odd}), "f"); }, false,
         "f: tag 270 on disk: values at odd offset 101.\n"},
        {"inside", [&] { return probe::ChunksInside(strips, 101, 273, 279, 2, "strip", "f"); },
         true, ""},
        {"one byte past the end",
         [&] { return probe::ChunksInside(strips, 100, 273, 279, 2, "strip", "f"); }, false,
         "f: tag 273 on disk: strip 1 lies outside the file.\n"},
        {"one strip short",
         [&] { return probe::ChunksInside(strips, 101, 273, 279, 3, "strip", "f"); }, false,
         "f: IFD at 8: not 3 StripOffsets and StripByteCounts.\n"},
        {"fewer counts than offsets",
         [&] { return probe::ChunksInside(counts_short, 101, 273, 279, 2, "strip", "f"); }, false,
         "f: IFD at 8: not 2 StripOffsets and StripByteCounts.\n"},
        {"touching", [&] { return probe::ChunksApart(touching, 324, 325, "tile", "f"); }, true, ""},
        {"one byte shared", [&] { return probe::ChunksApart(overlapping, 324, 325, "tile", "f"); },
         false, "f: tile 0 on disk: overlaps tile 1.\n"},
        {"empty inside another",
         [&] { return probe::ChunksApart(empty_inside, 324, 325, "tile", "f"); }, true, ""},
        {"tiles missing",
         [&] { return probe::ChunksInside(strips, 101, 324, 325, 2, "tile", "f"); }, false,
         "f: IFD at 8: not 2 TileOffsets and TileByteCounts.\n"},
        {"a page more",
         [] {
             ifd::File file;
             file.chain.resize(2);
             return probe::PagesOnDisk(file, 1, "f");
         },
         false, "f: expected 1 pages, the file holds 2.\n"},
        {"the other byte order",
         [] {
             const char header[] = "II*\0\x08\0\0\0\0\0\0\0\0\0";
             FILE *f = fopen("order.tif", "wb");
             fwrite(header, 1, sizeof(header) - 1, f);
             fclose(f);
             probe::OnDisk disk;
             const bool ok = probe::ReadFormat("order.tif", true, false, &disk);
             unlink("order.tif");
             return ok;
         },
         false, "order.tif: header: II version 42, expected MM version 42.\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        bool ok = false;
        EXPECT_EQ(Said(c.check, &ok), c.said);
        EXPECT_EQ(ok, c.ok);
    }
}

TEST(ProbeSupport, EveryProblemOfAFileIsSaidUpToALimit)
{
    ifd::File file;
    bool ok = true;
    EXPECT_EQ(Said([&] { return probe::NoProblems("f", file); }, &ok), "");
    EXPECT_TRUE(ok);
    for (uint64_t i = 0; i < 22; i++)
        file.problems.push_back({"bad " + std::to_string(i), 100 + i});
    const std::string said = Said([&] { return probe::NoProblems("f", file); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(said.rfind("f: IFD at 100: bad 0.\nf: IFD at 101: bad 1.\n", 0), 0U);
    EXPECT_NE(said.find("f: IFD at 119: bad 19.\nf: 2 more problems on disk.\n"),
              std::string::npos);
    EXPECT_EQ(said.find("bad 20"), std::string::npos);
}

// A place goes after the file name, after a comma or as a field of its
// own (docs/lines.md); none leaves the line as it was.
TEST(ProbeSupport, LinesNameTheirPlace)
{
    ifd::Entry e = Make(254, ifd::SHORT, {1, 2});
    const struct {
        std::function<void()> say;
        const char *said;
    } cases[] = {
        {[] { probe::SayCantSet(305, "f"); }, "Can't set tag 305 in f.\n"},
        {[] { probe::SayCantSet(305, "f", "page 2"); }, "Can't set tag 305 in f, page 2.\n"},
        {[] { probe::SayWrongText(305, "f", "a", nullptr, "page 2"); },
         "Wrong ASCII value fetched for tag 305 in f, page 2: \"a\", expected none.\n"},
        {[] { probe::SayWrongNumber("RATIONAL", 282, "f", 1, 0.5, 72); },
         "Wrong RATIONAL value fetched for tag 282 in f: value 1 is 0.5, expected 72.\n"},
        {[&] { probe::SayWrongEntry(e, "f", "LONG", 1, "SubIFD 0"); },
         "f: SubIFD 0: tag 254 on disk: SHORT[2], expected LONG[1].\n"},
        {[] { probe::SayWrongByteOnDisk(270, "f", 3, 0x41, 0x74); },
         "f: tag 270 on disk: byte 3 is 0x41, expected 0x74.\n"},
        {[] { probe::SayWrongImageByte("strip", 0, "f", "page 2", 5, 0xff, 0xc8); },
         "Wrong image data in strip 0 of f, page 2: byte 5 is 0xff, expected 0xc8.\n"},
    };
    for (const auto &c : cases) {
        bool ok = false;
        EXPECT_EQ(Said(
                      [&] {
                          c.say();
                          return true;
                      },
                      &ok),
                  c.said);
    }
    testing::internal::CaptureStdout();
    probe::Say<probe::Line::Skipped>("LERC");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "skipped: no LERC codec\n");
}

// One line of each form, as a probe prints it: each must match its own
// row's pattern and no other row's, so that the harness and the
// known-defect list see the line for what it is. A row without a line here
// fails, so a new form comes with one.
TEST(LineForms, EachFormMatchesItsLinesAlone)
{
    using probe::Line;
    const struct {
        Line id;
        const char *line;
    } samples[] = {
        {Line::CantCreate, "Can't create test TIFF file types_le.tif."},
        {Line::CantOpen, "Can't open test TIFF file read_pages_be.btf."},
        {Line::CantSave, "read_a_le.tif: cannot create read_a_le.tif: Permission denied."},
        {Line::CantSave, "m/read_a_le.tif: cannot create m/read_a_le.tif: File too large."},
        {Line::CantSave, "m/matrix_cases.txt: cannot write m/matrix_cases.txt."},
        {Line::CantSave, "no/such: cannot create no/such: No such file or directory."},
        {Line::SetupFailed, "manpage_le.tif: can't make a pipe."},
        {Line::NoRow, "types_le.tif: no row for this layout."},
        {Line::Skipped, "skipped: no LERC codec"},
        {Line::SkippedNoOptions, "skipped: no open options in this library (TIFFClientOpenExt)"},
        {Line::LibraryProblem, "fields_le.tif: the library reported a problem."},
        {Line::CantSet, "Can't set tag 305 in fields_le.tif, page 2."},
        {Line::ProblemFetching, "Problem fetching tag 40962 in read_exif_ifd_le.tif, EXIF IFD."},
        {Line::WrongValue, "Wrong LONG value fetched for tag 324 in tiles_le.tif, page 0: value 2 "
                           "is 0x1208, expected 0xc08."},
        {Line::WrongNumber, "Wrong RATIONAL value fetched for tag 282 in fields_be.btf: value 0 is "
                            "0.5, expected 72."},
        {Line::WrongCount, "Wrong SHORT value fetched for tag 258 in codec_le.tif, JPEG quality "
                           "90: 1 values, expected 3."},
        {Line::MoreWrongValues,
         "Wrong LONG value fetched for tag 273 in read_pages_le.tif, page 1: "
         "2 more values differ, the last at value 5."},
        {Line::WrongText, "Wrong ASCII value fetched for tag 305 in fields_le.tif: \"a\", "
                          "expected \"b\"."},
        {Line::WrongTextNone, "Wrong ASCII value fetched for tag 315 in fields_le.tif, page 1: "
                              "\"gone\", expected none."},
        {Line::MoreWrongValues, "Wrong IFD value fetched for tag 65113 in types_le.tif: 3 more "
                                "values differ, the last at value 7."},
        {Line::WrongVGet,
         "Wrong SHORT value fetched for tag 296 in fields_le.tif (TIFFVGetField)."},
        {Line::DefaultNone, "Wrong default for tag 254 in fields_le.tif: none, expected 0."},
        {Line::DefaultWrong, "Wrong default for tag 532 in fields_be.tif: value 1 is 0x0, expected "
                             "0xff."},
        {Line::MoreWrongDefaults, "Wrong default for tag 530 in fields_be.tif: 1 more values "
                                  "differ, the last at value 1."},
        {Line::WrongVGetDefault,
         "Wrong default for tag 274 in fields_be.btf (TIFFVGetFieldDefaulted)."},
        {Line::CantDirectory, "pages_le.tif: page 2: can't read the directory."},
        {Line::CurrentSays, "pages_le.tif: page 3: TIFFCurrentDirectory says 2."},
        {Line::LastSays, "pages_le.tif: page 3: TIFFLastDirectory says 0."},
        {Line::WalksMore, "pages_le.tif: expected 4 pages, TIFFReadDirectory walks more."},
        {Line::Walks, "read_pages_le.tif: expected 3 pages, TIFFReadDirectory walks 2."},
        {Line::LibraryCounts,
         "read_ifd_empty_second_le.tif: expected 1 pages, the library counts 2."},
        {Line::CantGoToIfd, "pages_be.btf: SubIFD 1: can't go to the IFD at 4242."},
        {Line::NoIfdAt, "fields_le.tif: GPS IFD: no IFD at 998."},
        {Line::ReadNoIfd, "read_exif_le.tif: EXIF IFD: read, but the file has no IFD at 12."},
        {Line::SetDirectoryPast, "read_pages_le.tif: page 3: TIFFSetDirectory goes past the last "
                                 "page."},
        {Line::CountedUnread, "read_ifd_empty_second_le.tif: page 1: counted, but "
                              "TIFFSetDirectory fails without a message."},
        {Line::MissingOnDisk, "pages_le.tif: page 2: tag 270 on disk: missing."},
        {Line::WrongEntry, "fields_le.tif: tag 256 on disk: LONG[2], expected SHORT or LONG[1]."},
        {Line::WrongValueOnDisk, "types_le.tif: tag 65111 on disk: value 0 is 0x0, expected "
                                 "0x1020304."},
        {Line::WrongNumberOnDisk, "fields_be.tif: EXIF IFD: tag 33434 on disk: value 0 is 0.25, "
                                  "expected 0.125."},
        {Line::WrongByteOnDisk, "pages_le.tif: page 1: tag 270 on disk: byte 3 is 0x41, expected "
                                "0x74."},
        {Line::MoreValuesOnDisk, "pages_le.tif: page 1: tag 270 on disk: 2 more bytes differ, "
                                 "the last at byte 9."},
        {Line::CantWrite, "Can't write image data in manpage_le.tif."},
        {Line::CantRead, "Can't read image data in tile 3 of tiles_be.btf, page 1."},
        {Line::WrongImage, "Wrong image data in strip 2 of types_be.tif."},
        {Line::WrongImageByte, "Wrong image data in strip 0 of codec_be.tif, SGILog: byte 3 is "
                               "0x00, expected 0x3e."},
        {Line::MoreWrongBytes, "Wrong image data in strip 0 of fields_le.tif, page 2: 5 more bytes "
                               "differ, the last at byte 23."},
        {Line::MoreWrongImages, "Wrong image data in strip 3 of striles_le.tif, page 0: 2 wrong "
                                "strips from here to strip 4, not named."},
        {Line::HeaderProblem, "checkpoints_le.tif: header: file too short."},
        {Line::HeaderFormat, "types_le.btf: header: II version 42, expected II version 43."},
        {Line::IfdProblem, "types_le.tif: IFD at 8: entry 3 runs past the end."},
        {Line::MoreProblems, "types_le.tif: 4 more problems on disk."},
        {Line::IfdNotRead, "pages_le.tif: IFD at 4096: not read."},
        {Line::TagOrder, "pages_le.tif: IFD at 8: tag 256 follows tag 257."},
        {Line::OddOffset, "fields_le.tif: tag 270 on disk: values at odd offset 301."},
        {Line::ArraysCount, "tiles_le.tif: IFD at 8: not 6 TileOffsets and TileByteCounts."},
        {Line::ChunkOutside, "tiles_le.tif: tag 324 on disk: tile 5 lies outside the file."},
        {Line::ChunksOverlap, "tiles_le.tif: tile 1 on disk: overlaps tile 4."},
        {Line::ChunkSize, "checkpoints_be.btf: strip 0 on disk: page 0: 16 bytes at "
                          "1152921504606846976, expected 16 inside the file."},
        {Line::ChunkByte, "tiles_le.tif: tile 2 on disk: page 1: byte 7 is 0x01, expected 0x02."},
        {Line::MoreBytesOnDisk, "tiles_le.tif: tile 2 on disk: page 1: 4 more bytes differ, the "
                                "last at byte 11."},
        {Line::MoreWrongOnDisk, "deferred_be.tif: strip 3 on disk: page 0: 2 wrong strips from "
                                "here to strip 4, not named."},
        {Line::IfdCount, "pages_le.tif: IFD at 8: 6 IFDs in the file, expected 7."},
        {Line::PagesOnDisk, "pages_le.tif: expected 4 pages, the file holds 5."},
        {Line::StillPresent, "fields_le.tif: tag 315 still present after TIFFUnsetField."},
        {Line::FieldWithName, "fields_le.tif: tag 305: TIFFFieldWithName(\"Software\") gives tag "
                              "0."},
        {Line::LibraryType, "fields_le.tif: tag 34665: the library's type LONG8 is not one the "
                            "field allows."},
        {Line::UnknownField, "fields_le.tif: tag 42016 read as an unknown field."},
        {Line::TagListNotSet, "fields_le.tif: page 0: tag 65000 in the tag list, not set there."},
        {Line::TagListCounts, "fields_le.tif: page 0: the tag list names tag 65000 2 times and tag "
                              "65001 1 times."},
        {Line::QueryDisagree, "codec_le.tif: Deflate level 9: tag 320: the field query calls "
                              "disagree."},
        {Line::NotCovered, "codec_le.tif: JPEG quality 90: tag 65537 of compression 7 is not "
                           "covered."},
        {Line::ChangedAfterWrite, "codec_le.tif: ZSTD level 9: tag 65564 changed after the image "
                                  "was written, unlike TIFFSetField(3tiff)'s promise."},
        {Line::RgbSize, "codec_le.tif: JPEG quality 90: read as RGB, 0 bytes, expected 768."},
        {Line::HoldsTables, "codec_le.tif: JPEG quality 90: tag 347 on disk: holds Huffman "
                            "tables."},
        {Line::StripSizeOnDisk, "codec_le.tif: Deflate level 9: strip 0 on disk: 900 bytes, "
                                "expected fewer than 800."},
        {Line::NotSetByPage, "codec_le.tif: per sample: tag 339 on disk: not set by the page."},
        {Line::NotTiled, "tiles_le.tif: page 1: not tiled."},
        {Line::NumberIs, "tiles_le.tif: page 0: TIFFComputeTile(16, 0, 0, 0) is 0, expected 1."},
        {Line::NumberIsNot, "calls_le.tif: page 5: TIFFDefaultTileSize(17, 33)'s width is 20, "
                            "expected a multiple of 16."},
        {Line::QueriesRead, "striles_le.tif: page 1: the strile queries in \"O\" mode read 4000 "
                            "bytes, as many as a whole strip array (4000)."},
        {Line::StripReadOnDemand, "striles_le.tif: page 1: reading strip 999 in \"O\" mode read "
                                  "8000 bytes, as many as a whole strip array (4000)."},
        {Line::CantDefer, "striles_le.tif: page 0: can't defer the strip arrays."},
        {Line::ForceFailed, "striles_le.tif: page 0: TIFFForceStrileArrayWriting failed."},
        {Line::CheckpointFailed, "checkpoints_le.tif: page 0: TIFFCheckpointDirectory 2 failed."},
        {Line::AtLeast, "read_a_le.tif: page 1: tag 256: 0, expected at least 1."},
        {Line::NoValue, "read_a_le.tif: tag 270: present, but the file holds no value of it."},
        {Line::Organization, "read_a_le.tif: image tiled, expected in strips."},
        {Line::ChunkCount, "read_a_le.tif: SubIFD 0: 2 strips, expected 3."},
        {Line::ReadBut, "read_a_le.tif: strip 0 read as 16 bytes, but its bytes lie outside the "
                        "file."},
        {Line::ReadAs, "read_a_le.tif: page 2: tile 1 read as -1 bytes, expected 256."},
        {Line::NoImage, "read_a_le.tif: opened, but the file holds no TIFF image to open."},
        {Line::PeakResident, "read_a_le.tif: the peak resident size grew by 70000 KiB, more than "
                             "65536 KiB."},
        {Line::MatrixBroken, "structure: a chain of two SubIFDs: SubIFD 1: strip 0 byte 3 is 0x00, "
                             "expected 0x7a (1 case, first read_subifd_chain_le.tif)."},
        {Line::MatrixField, "tag 282 stored as FLOAT: value 0 is 0.5, expected 0.25 (2 cases, "
                            "first read_282_float_le.tif)."},
        {Line::MatrixStopped, "tag 65202 registered as ASCII with TIFF_VARIABLE: the library stops "
                              "the program (signal 6), in its standard encoding the first (44 "
                              "cases, first read_65202_std_le.tif)."},
        {Line::MatrixFromSlot, "GPS IFD: a field whose count is not its standard's: values read "
                               "from the bytes of its offset: tag 0 with one value more, value 0 "
                               "is 196, expected 2 (90 cases, first read_gps_0_more_le.tif)."},
        {Line::MatrixRounded, "RATIONAL fetched as FLOAT: the quotient of the parts as floats, not "
                              "the float nearest the value: tag 318 with a numerator past 2^24, "
                              "value 0 is 255.98846435546875, expected 255.98844909667969 (144 "
                              "cases, first read_318_num25_le.tif)."},
        {Line::ExploreUsage, "read_probe: \"--explore\": given twice; usage: read_probe "
                             "[--explore SECONDS [--seed N]]."},
        {Line::ExploreFailed, "explore: seed 1: combination 639 (6 deviations) failed, shrunk to "
                              "2."},
        {Line::ExploreDeviation, "explore: EXIF IFD: tag 33434 with one value more (count long, "
                                 "tolerated)."},
        {Line::ExploreBroke, "explore: read_explore_le.tif: tag 282: value 0 is 0, expected "
                             "300.5."},
        {Line::WriteBroken, "write: EXIF IFD: tag 37377, type limits, at its type's limit "
                            "-2147483648: on disk: value 0 is 2147483647/0 (4 cases, first "
                            "write_exif_37377_limit1_le.tif)."},
        {Line::PromiseBroken, "manpage_le.tif: TIFFReadEncodedStrip(3tiff): strip 17 of 3 gave "
                              "12, expected -1."},
        {Line::ShapeNotSet, "sizes_le.tif: page 1: can't set the page's shape."},
        {Line::PrintNotPrinted, "print_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 305 "
                                "(Software) not printed."},
        {Line::PrintedAs, "print_le.tif: EXIF IFD: TIFFPrintDirectory(TIFFPRINT_NONE): tag 33434 "
                          "(ExposureTime) printed as \"0.5\", expected 0.25."},
        {Line::PrintedAgain, "print_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 305 "
                             "(Software) printed again."},
        {Line::PrintedNotHeld, "print_le.tif: page 1: TIFFPrintDirectory(TIFFPRINT_NONE): \"Ink "
                               "Set\" printed, not a field the directory holds."},
        {Line::PrintedEntry,
         "print_le.tif: page 1: TIFFPrintDirectory(TIFFPRINT_COLORMAP): tag 320 "
         "(ColorMap): entry 3 printed as \"3: 13114 13380 13649\", expected "
         "13114, 13380, 13646."},
        {Line::PrintedEntryExtra,
         "print_le.tif: page 1: "
         "TIFFPrintDirectory(TIFFPRINT_STRIPS|TIFFPRINT_COLORMAP): tag 320 "
         "(ColorMap): entry 3 printed as \"3: 1 2 3\", expected none."},
        {Line::PrintedEntries,
         "print_le.tif: page 2: TIFFPrintDirectory(TIFFPRINT_CURVES): tag 301 "
         "(TransferFunction): 3 entries printed, expected 4."},
        {Line::PrintHeading, "print_le.tif: GPS IFD: TIFFPrintDirectory(TIFFPRINT_NONE): the "
                             "heading \"TIFF Directory at offset 0x10\" does not name offset 32."},
        {Line::PrintedChunk, "print_be.btf: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): strip 1 "
                             "printed as \"1: [ 8, 16]\", expected 16, 16."},
        {Line::PrintedChunkExtra, "print_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): "
                                  "strip 2 printed as \"2: [ 8, 16]\", expected none."},
        {Line::PrintedChunks, "print_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): "
                              "\"StripOffsets\" and 2 strips printed, expected 3."},
        {Line::ChunksNotPrinted, "print_le.tif: page 2: TIFFPrintDirectory(TIFFPRINT_STRIPS): the "
                                 "tiles not printed."},
        {Line::ChunksUnasked, "print_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): the "
                              "strips printed unasked."},
        {Line::TablesNotPrinted, "print_le.tif: page 3: TIFFPrintDirectory(TIFFPRINT_JPEGQTABLES): "
                                 "tag 347 (JPEGTables): its quantization tables not printed."},
        {Line::CantPrint, "print_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): can't print "
                          "into memory."},
        {Line::SwabValue, "TIFFSwabArrayOfShort: value 4 is 0x494a, expected 0x4a49."},
        {Line::StepAsSuccess, "client_le.tif: rewrite: a failed seek reported as success by "
                              "TIFFRewriteDirectory in 2 of 7 cases, the first at seek 2."},
        {Line::StepNoMessage, "client_le.tif: checkpoint: a failed write without a message in 3 of "
                              "20 cases, the first at write 2."},
        {Line::StepClaims,
         "client_be.btf: close after writing: after a failed seek the file claims "
         "bytes never written in 2 of 6 cases, the first at seek 5."},
        {Line::StepReadsWrong, "client_le.btf: close after writing: after a short read the file "
                               "reads back wrong without a message in 1 of 6 cases, the first at "
                               "read 4."},
        {Line::NotWhole, "client_le.tif: the steps without a fault do not read back whole."},
        {Line::ProcedureCalls, "client_fd_le.tif: the close procedure: called 2 times by a handle "
                               "opened \"r\", expected 1."},
        {Line::UnmapRegion, "client_be.tif: the unmap procedure: given another region than the map "
                            "procedure gave."},
        {Line::HandlerCalls, "client_options.tif: TIFFOpenOptionsSetWarningHandlerExtR: called 2 "
                             "times for one message, expected 1."},
        {Line::HandlerGiven, "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: given \": "
                             "injected message 1\", expected \"client_probe: injected message "
                             "1\"."},
        {Line::HandlerLibraryWide, "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: the "
                                   "library-wide handler called 0 times, expected 1, the handler "
                                   "returning 0."},
        {Line::HandlerNotCalled, "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: not "
                                 "called for the library's error on an unknown tag."},
        {Line::HandlerReached, "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: 1 messages "
                               "of the handle, 0 reached the library-wide handler."},
        {Line::HandlerOtherHandle, "client_options.tif: TIFFOpenOptionsSetWarningHandlerExtR: "
                                   "called 3 times with another handle than the one opened."},
        {Line::HandlerOtherData, "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: called 1 "
                                 "times with the other handler's user data."},
        {Line::HandlerNoUserData,
         "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: called 2 "
         "times without the user data given."},
        {Line::HandlerForeign, "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: called for "
                               "a message of another handle."},
        {Line::LimitRead, "client_options.tif: TIFFOpenOptionsSetMaxSingleMemAlloc: a directory of "
                          "1024 strips read under a limit of 4095 bytes."},
        {Line::LimitSilent, "client_options.tif: TIFFOpenOptionsSetMaxSingleMemAlloc: a directory "
                            "of 1024 strips refused without a message."},
        {Line::LimitRefused, "client_options.tif: TIFFOpenOptionsSetMaxSingleMemAlloc: a directory "
                             "of 1024 strips refused under a limit of 65536 bytes."},
        {Line::CleanupClosed, "client_fd_le.tif: TIFFOpen(3tiff): TIFFCleanup closed the "
                              "descriptor."},
        {Line::CheckpointFails, "client_le.tif: page 0: TIFFCheckpointDirectory failed."},
        {Line::OriginalCantCreate, "Can't create test TIFF file halfword_test.tif."},
        {Line::OriginalCantOpen, "Can't open test TIFF file strip_test.tif."},
        {Line::OriginalCantSetNamed, "Can't set SamplesPerPixel tag."},
        {Line::OriginalCantSet, "Can't set tag 334 (NUMBEROFINKS)."},
        {Line::OriginalProblemFetching, "Problem fetching tag 258."},
        {Line::OriginalWrongValue, "Wrong SHORT PAIR fetched for tag 336."},
        {Line::OriginalCantGet, "Can't get tag 333 (INKNAMES)."},
        {Line::OriginalCantWrite, "Can't write image data."},
        {Line::OriginalStripArray, "Can't rewrite STRIPBYTECOUNTS."},
        {Line::OriginalStripValue, "strip_test.tif:STRIPOFFSETS[1]: Got 0:00000010 instead of "
                                   "0:00000020."},
    };
    std::set<Line> sampled;
    for (const auto &s : samples) {
        sampled.insert(s.id);
        for (const probe::LineForm &form : probe::line_forms) {
            // The original probes' "Can't create ..." is the newer form's
            // line too, the two differing only in the names they allow; and
            // the lines of our reader's problems ("IFD at N: WHAT", "header:
            // WHAT") hold any text.
            const bool alike =
                (s.id == Line::CantCreate || s.id == Line::OriginalCantCreate
                     ? form.id == Line::CantCreate || form.id == Line::OriginalCantCreate
                 : s.id == Line::CantOpen || s.id == Line::OriginalCantOpen
                     ? form.id == Line::CantOpen || form.id == Line::OriginalCantOpen
                     : form.id == Line::IfdProblem || form.id == Line::HeaderProblem);
            if (form.id == s.id || !alike) {
                EXPECT_EQ(std::regex_match(s.line, std::regex(form.pattern)), form.id == s.id)
                    << form.name << " against " << s.line;
            }
        }
    }
    for (const probe::LineForm &form : probe::line_forms)
        EXPECT_EQ(sampled.count(form.id), 1U) << form.name << " has no sample line";
}

TEST(LineForms, RowsStandInTheOrderOfTheirIds)
{
    std::set<std::string> names;
    for (size_t i = 0; i < probe::line_form_count; i++) {
        EXPECT_EQ(static_cast<size_t>(probe::line_forms[i].id), i) << probe::line_forms[i].name;
        EXPECT_TRUE(names.insert(probe::line_forms[i].name).second) << probe::line_forms[i].name;
    }
}

// docs/lines.md lists each form in a table row that begins with its id,
// "| `CantSet` |": a form missing there, or a row there naming no form,
// fails.
TEST(LineForms, TheDocsListEveryFormAndNoOther)
{
    std::ifstream doc(LINES_DOC);
    ASSERT_TRUE(doc) << LINES_DOC;
    std::set<std::string> documented;
    const std::regex row(R"(\| `([A-Za-z]+)` \|.*)");
    std::smatch m;
    for (std::string line; std::getline(doc, line);) {
        if (std::regex_match(line, m, row)) {
            EXPECT_TRUE(documented.insert(m[1]).second) << m[1] << " listed twice";
        }
    }
    std::set<std::string> forms;
    for (const probe::LineForm &form : probe::line_forms) {
        forms.insert(form.name);
        EXPECT_EQ(documented.count(form.name), 1U) << form.name << " is not in docs/lines.md";
    }
    for (const std::string &name : documented)
        EXPECT_EQ(forms.count(name), 1U) << "docs/lines.md names " << name << ", no form";
}

TEST(ProbeSupport, RunLayoutsRunsEveryLayoutAndOrsTheirFailures)
{
    const probe::Layout layouts[] = {
        {"run_a.tif", false, false}, {"run_b.btf", true, true}, {"run_c.tif", true, false}};
    for (unsigned failing = 0; failing < 8; failing++) {
        SCOPED_TRACE("failing layouts " + std::to_string(failing));
        std::vector<std::string> ran;
        const int status = probe::RunLayouts(layouts, [&](const probe::Layout &layout) {
            fclose(fopen(layout.filename, "w"));
            ran.emplace_back(layout.filename);
            return (failing & (1U << (ran.size() - 1))) == 0;
        });
        EXPECT_EQ(status, failing ? 1 : 0);
        ASSERT_EQ(ran.size(), 3U);
        // A passed layout's file goes; a failed one's stays for inspection.
        for (unsigned i = 0; i < 3; i++) {
            const bool kept = access(layouts[i].filename, F_OK) == 0;
            EXPECT_EQ(kept, (failing & (1U << i)) != 0) << layouts[i].filename;
            unlink(layouts[i].filename);
        }
    }
}

// calls_probe's swab check and field_probe's fetches read the library's
// storage through ItemAt: a wrong stride, a narrowed width or a swapped
// item would hide the faults they look for.
TEST(ProbeSupport, ItemAtReadsTheItemInTheHostsOrder)
{
    const uint8_t bytes[24] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                               0x91, 0xa2, 0xb3, 0xc4, 0xd5, 0xe6, 0xf7, 0x18,
                               0x29, 0x3a, 0x4b, 0x5c, 0x6d, 0x7e, 0x8f, 0x90};
    const struct {
        size_t width;
        size_t index;
        uint64_t little; // the value on a little-endian host
    } cases[] = {
        {1, 9, 0xa2},
        {2, 5, 0xc4b3},
        {4, 3, 0x18f7e6d5},
        {8, 2, 0x908f7e6d5c4b3a29},
        {8, 0, 0x0807060504030201},
    };
    for (const auto &c : cases) {
        uint64_t expect = c.little;
        if (probe::HostBigEndian()) {
            expect = 0;
            for (size_t b = 0; b < c.width; b++)
                expect |= ((c.little >> (8 * b)) & 0xff) << (8 * (c.width - 1 - b));
        }
        EXPECT_EQ(probe::ItemAt(bytes, c.width, c.index), expect)
            << "width " << c.width << ", item " << c.index;
    }
}

TEST(ProbeSupport, ModeFollowsTheLayout)
{
    EXPECT_STREQ(probe::Mode({"f", false, false}, probe::Access::Create), "wl");
    EXPECT_STREQ(probe::Mode({"f", true, false}, probe::Access::Create), "wb");
    EXPECT_STREQ(probe::Mode({"f", false, true}, probe::Access::Create), "w8l");
    EXPECT_STREQ(probe::Mode({"f", true, true}, probe::Access::Create), "w8b");
    EXPECT_STREQ(probe::Mode({"f", true, true}, probe::Access::Update), "r+");
    EXPECT_STREQ(probe::Mode({"f", true, true}, probe::Access::ReadOnDemand), "rO");
}

} // namespace
