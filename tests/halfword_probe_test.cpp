// halfword_probe under injected library faults: each failure path prints its
// one line, exits 1 and leaves the file as the program promises.
#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "halfword_probe";
const char file[] = "short_test.tiff";

TEST(HalfwordProbe, CleanRunIsSilentAndRemovesItsFile)
{
    ExpectClean(ProbeRun(probe), {});
}

TEST(HalfwordProbe, RefusedCreateLeavesNothing)
{
    ExpectFailure(ProbeRun(probe, Faults("open:w")),
                  {"Can't create test TIFF file short_test.tiff."}, {});
}

TEST(HalfwordProbe, EachRefusedBaseFieldNamesItsField)
{
    const struct {
        const char *tag;
        const char *line;
    } cases[] = {
        {"256", "Can't set ImageWidth tag."},
        {"257", "Can't set ImageLength tag."},
        {"258", "Can't set BitsPerSample tag."},
        {"277", "Can't set SamplesPerPixel tag."},
        {"278", "Can't set RowsPerStrip tag."},
        {"284", "Can't set PlanarConfiguration tag."},
        {"262", "Can't set PhotometricInterpretation tag."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tag);
        ExpectFailure(ProbeRun(probe, Faults(std::string("set:") + c.tag)), {c.line}, {file});
    }
}

TEST(HalfwordProbe, RefusedTableTagStopsTheWritePhase)
{
    ProbeOptions options = Faults("set:334");
    options.log_calls = true;
    ProbeRun run(probe, options);
    ExpectFailure(run, {"Can't set tag 334."}, {file});
    // NumberOfInks is the eighth single tag; nothing after it is attempted.
    ASSERT_FALSE(run.calls().empty());
    EXPECT_EQ(run.calls().back(), "set 334");
    EXPECT_EQ(run.calls().size(), 7U + 8U);
}

TEST(HalfwordProbe, RefusedPairTagPrintsItsNumber)
{
    ExpectFailure(ProbeRun(probe, Faults("set:530")), {"Can't set tag 530."}, {file});
}

TEST(HalfwordProbe, RefusedReopenKeepsTheFile)
{
    ExpectFailure(ProbeRun(probe, Faults("open:r")), {"Can't open test TIFF file short_test.tiff."},
                  {file});
}

TEST(HalfwordProbe, RefusedFetchIsReported)
{
    ExpectFailure(ProbeRun(probe, Faults("get:280")), {"Problem fetching tag 280."}, {file});
}

TEST(HalfwordProbe, WrongShortValueIsReported)
{
    ExpectFailure(ProbeRun(probe, Faults("get-u16:281=240")),
                  {"Wrong SHORT value fetched for tag 281."}, {file});
}

TEST(HalfwordProbe, PairWrongInSecondElementOnlyIsReported)
{
    ExpectFailure(ProbeRun(probe, Faults("get-u16:336.1=17")),
                  {"Wrong SHORT PAIR fetched for tag 336."}, {file});
}

TEST(HalfwordProbe, LongComparedOverAllThirtyTwoBits)
{
    // 0x10001 agrees with the expected 1 in its low 16 bits.
    ExpectFailure(ProbeRun(probe, Faults("get-u32:256=0x10001")),
                  {"Wrong LONG value fetched for tag 256."}, {file});
}

TEST(HalfwordProbe, FetchThatStoresNothingNeverPasses)
{
    // The seeds stay in the scratch; no expectation of the tables equals them.
    const struct {
        int tag;
        const char *kind;
    } fields[] = {
        {256, "LONG value"},  {257, "LONG value"},  {258, "SHORT value"}, {262, "SHORT value"},
        {277, "SHORT value"}, {278, "LONG value"},  {284, "SHORT value"}, {259, "SHORT value"},
        {266, "SHORT value"}, {274, "SHORT value"}, {296, "SHORT value"}, {280, "SHORT value"},
        {281, "SHORT value"}, {332, "SHORT value"}, {334, "SHORT value"}, {339, "SHORT value"},
        {297, "SHORT PAIR"},  {321, "SHORT PAIR"},  {336, "SHORT PAIR"},  {530, "SHORT PAIR"},
    };
    for (const auto &f : fields) {
        const std::string tag = std::to_string(f.tag);
        SCOPED_TRACE(tag);
        ExpectFailure(ProbeRun(probe, Faults("get-nothing:" + tag)),
                      {std::string("Wrong ") + f.kind + " fetched for tag " + tag + "."}, {file});
    }
}

TEST(HalfwordProbe, FailedScanlineWriteNeverPasses)
{
    for (const char *result : {"0", "-1"}) {
        SCOPED_TRACE(result);
        ExpectFailure(ProbeRun(probe, Faults(std::string("write-scanline=") + result)),
                      {"Can't open test TIFF file short_test.tiff."}, {file});
    }
}

} // namespace
