// strip_probe: the in-place strip update read back independently, and the
// rewrite and write paths under injected library faults.
#include <cstdint>
#include <cstdio>

#include <gtest/gtest.h>
#include <tiffio.h>

#include "probe_run.h"

namespace {

const char probe[] = "strip_probe";
const char packbits[] = "test_packbits.tif";
const char *const rewrite_files[] = {"rewrite1.tif", "rewrite2.tif", "rewrite3.tif",
                                     "rewrite4.tif", "rewrite5.tif", "rewrite6.tif"};

// The fault tests interpose library calls; a probe with the library linked
// in statically makes them directly.
#define SKIP_IF_STATIC()                                                                           \
    do {                                                                                           \
        if (STRIP_PROBE_STATIC)                                                                    \
            GTEST_SKIP() << "strip_probe links the static TIFF archive: no interposition";         \
    } while (0)

// Expects the 20 PackBits strips of `path` to hold ten zeros each, except
// strip 6 when `updated`. The program reads nothing back from this file, so
// only this proves whether the update in place happened.
void ExpectPackBitsStrips(const std::string &path, bool updated)
{
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    ASSERT_EQ(TIFFNumberOfStrips(tif), 20U);
    uint16_t compression = 0;
    ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression));
    EXPECT_EQ(compression, COMPRESSION_PACKBITS);
    for (uint32_t strip = 0; strip < 20; strip++) {
        unsigned char got[10];
        unsigned char want[10] = {0};
        if (updated && strip == 6) {
            want[3] = 17;
            want[6] = 12;
        }
        ASSERT_EQ(TIFFReadEncodedStrip(tif, strip, got, sizeof(got)), 10) << "strip " << strip;
        EXPECT_EQ(std::vector<unsigned char>(got, got + 10),
                  std::vector<unsigned char>(want, want + 10))
            << "strip " << strip;
    }
    TIFFClose(tif);
}

TEST(StripProbe, CleanRunKeepsOnlyThePackBitsFileWithStripSixReplaced)
{
    ProbeRun run(probe);
    ExpectClean(run, {packbits});
    ExpectPackBitsStrips(run.path(packbits), true);
}

TEST(StripProbe, RewrittenFilesHoldTheTableValues)
{
    SKIP_IF_STATIC();
    // Refusing the final reopen keeps each file as the rewrite left it, so
    // what the probe wrote is checked independently of its own comparison.
    std::string faults;
    for (const char *f : rewrite_files)
        faults += std::string("open:r@") + f + ";";
    ProbeRun run(probe, Faults(faults));
    ASSERT_EQ(run.own_lines().size(), 6U) << run.describe();

    const struct {
        uint32_t strips;
        bool bigtiff;
        uint64_t base;
    } cases[] = {
        {10, false, 100},           {10, true, 100},        {1, false, 100}, {1, true, 100},
        {1000, true, 0x6000000000}, {1, true, 0x6000000000}};
    for (size_t c = 0; c < 6; c++) {
        SCOPED_TRACE(rewrite_files[c]);
        TIFF *tif = TIFFOpen(run.path(rewrite_files[c]).c_str(), "r");
        ASSERT_NE(tif, nullptr);
        EXPECT_EQ(TIFFIsBigTIFF(tif) != 0, cases[c].bigtiff);
        EXPECT_EQ(TIFFNumberOfStrips(tif), cases[c].strips);
        uint64_t *offsets = nullptr;
        uint64_t *counts = nullptr;
        ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) && offsets);
        ASSERT_TRUE(TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) && counts);
        for (uint32_t i = 0; i < cases[c].strips; i++) {
            ASSERT_EQ(offsets[i], cases[c].base + uint64_t{10} * i) << "strip " << i;
            ASSERT_EQ(counts[i], 100 + uint64_t{10} * i) << "strip " << i;
        }
        TIFFClose(tif);
    }
}

TEST(StripProbe, OffsetsTruncatedToThirtyTwoBitsAreCaught)
{
    SKIP_IF_STATIC();
    ExpectFailure(ProbeRun(probe, Faults("rewrite-trunc32:273@rewrite5.tif")),
                  {"rewrite5.tif:STRIPOFFSETS[0]: Got 0:00000000 instead of 60:00000000."},
                  {packbits, "rewrite5.tif"});
}

TEST(StripProbe, MismatchAtALateIndexNamesIndexAndBothValues)
{
    SKIP_IF_STATIC();
    // Byte count 900 should be 100 + 10 * 900 = 0x238C.
    ExpectFailure(ProbeRun(probe, Faults("rewrite-u64:279.900@rewrite5.tif=0x700000001")),
                  {"rewrite5.tif:STRIPBYTECOUNTS[900]: Got 7:00000001 instead of 0:0000238C."},
                  {packbits, "rewrite5.tif"});
    // Offset 999 of case 5 is 0x6000000000 + 9990 = 60:00002706.
    ExpectFailure(ProbeRun(probe, Faults("rewrite-u64:273.999@rewrite5.tif=5")),
                  {"rewrite5.tif:STRIPOFFSETS[999]: Got 0:00000005 instead of 60:00002706."},
                  {packbits, "rewrite5.tif"});
}

TEST(StripProbe, RefusedRewriteOrEmptyFetchKeepsTheFile)
{
    SKIP_IF_STATIC();
    const struct {
        const char *faults;
        const char *line;
        const char *file;
    } cases[] = {
        {"rewrite:273@rewrite2.tif", "Can't rewrite STRIPOFFSETS.", "rewrite2.tif"},
        {"rewrite:279@rewrite2.tif", "Can't rewrite STRIPBYTECOUNTS.", "rewrite2.tif"},
        // A fetch that reports success but stores nothing is a failed fetch.
        {"get-nothing:273@rewrite1.tif:r+", "Can't fetch STRIPOFFSETS.", "rewrite1.tif"},
        {"get-nothing:279@rewrite1.tif:r+", "Can't fetch STRIPBYTECOUNTS.", "rewrite1.tif"},
        // In the read phase a stale pointer from the update phase is at hand.
        {"get-stale:273@rewrite1.tif:r", "Can't fetch STRIPOFFSETS.", "rewrite1.tif"},
        {"get-stale:279@rewrite1.tif:r", "Can't fetch STRIPBYTECOUNTS.", "rewrite1.tif"},
        {"get:279@rewrite1.tif:r", "Can't fetch STRIPBYTECOUNTS.", "rewrite1.tif"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line}, {packbits, c.file});
    }
}

TEST(StripProbe, FailedWritesAreFailuresWhateverTheirSign)
{
    SKIP_IF_STATIC();
    for (const char *result : {"0", "-1"}) {
        SCOPED_TRACE(result);
        ExpectFailure(ProbeRun(probe, Faults(std::string("write-scanline@rewrite3.tif=") + result)),
                      {"Can't write image data."}, {packbits, "rewrite3.tif"});
        ExpectFailure(ProbeRun(probe, Faults(std::string("write-strip:0=") + result)),
                      {"Can't write image data."}, {packbits});
        // The update of strip 6 in the file reopened with "r+".
        ProbeRun update(probe, Faults(std::string("write-strip:6@test_packbits.tif:r+=") + result));
        ExpectFailure(update, {"Can't write image data."}, {packbits});
        ExpectPackBitsStrips(update.path(packbits), false);
    }
}

TEST(StripProbe, EveryBigTiffCreateRefusedLeavesTheClassicCasesPassing)
{
    SKIP_IF_STATIC();
    ExpectFailure(
        ProbeRun(probe, Faults("open:w8")),
        {"Can't create test TIFF file rewrite2.tif.", "Can't create test TIFF file rewrite4.tif.",
         "Can't create test TIFF file rewrite5.tif.", "Can't create test TIFF file rewrite6.tif."},
        {packbits});
}

TEST(StripProbe, OneFailureDoesNotStopTheOtherTests)
{
    SKIP_IF_STATIC();
    ExpectFailure(ProbeRun(probe, Faults("open:w@test_packbits.tif")),
                  {"Can't create test TIFF file test_packbits.tif."}, {});
    ExpectFailure(ProbeRun(probe, Faults("open:r+@test_packbits.tif")),
                  {"Can't open test TIFF file test_packbits.tif."}, {packbits});
    ExpectFailure(ProbeRun(probe, Faults("open:r@rewrite4.tif")),
                  {"Can't open test TIFF file rewrite4.tif."}, {packbits, "rewrite4.tif"});
    ExpectFailure(ProbeRun(probe, Faults("set:259@rewrite6.tif")), {"Can't set Compression tag."},
                  {packbits, "rewrite6.tif"});
}

TEST(StripProbe, NullAllocationIsReportedNotACrash)
{
    SKIP_IF_STATIC();
    ProbeRun run(probe, Faults("malloc-null"));
    std::vector<std::string> lines(6, "Can't allocate memory for STRIPOFFSETS.");
    std::set<std::string> files = {packbits};
    files.insert(std::begin(rewrite_files), std::end(rewrite_files));
    ExpectFailure(run, lines, files);

    // The program's second allocation is the byte counts of rewrite1.tif.
    ExpectFailure(ProbeRun(probe, Faults("malloc-null:2")),
                  {"Can't allocate memory for STRIPBYTECOUNTS."}, {packbits, "rewrite1.tif"});
}

} // namespace
