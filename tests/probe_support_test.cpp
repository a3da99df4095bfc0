// The on-disk checks the newer probes share: a fault in them would let a
// broken library pass, so each is made to judge entries built here.
#include <cmath>
#include <functional>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

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
    probe::SaySkipped("no %s codec", "LERC");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "skipped: no LERC codec\n");
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
