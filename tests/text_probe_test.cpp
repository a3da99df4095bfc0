// text_probe under injected library faults: strings read back short, refused
// or missing, and InkNames compared over all 15 bytes.
#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "text_probe";
const char file[] = "ascii_test.tiff";

TEST(TextProbe, CleanRunIsSilentAndRemovesItsFile)
{
    ExpectClean(ProbeRun(probe), {});
}

TEST(TextProbe, StringReadBackWrongOrMissing)
{
    const struct {
        const char *faults;
        const char *line;
    } cases[] = {
        {"get:50735", "Can't get tag 50735."},
        {"get-byte:269.0=0x74", "Can't get tag 269."},
        // Success without a pointer must be a failed fetch, not a crash, nor
        // a comparison through the previous field's string.
        {"get-nothing:269", "Can't get tag 269."},
        {"get-stale:33432", "Can't get tag 33432."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line}, {file});
    }
}

TEST(TextProbe, InkNamesComparedOverAllFifteenBytes)
{
    const char *const faults[] = {
        "get-byte:333.14=0x21", // the final terminator
        "get-byte:333.3=0x20",  // the first terminator
        "get:333",
        // The pointer left from the last string field must not be compared.
        "get-stale:333",
    };
    for (const char *f : faults) {
        SCOPED_TRACE(f);
        ExpectFailure(ProbeRun(probe, Faults(f)), {"Can't get tag 333 (INKNAMES)."}, {file});
    }
}

TEST(TextProbe, EachOfTheFourteenStringsIsSetAndReadBack)
{
    for (const char *tag : {"269", "270", "271", "272", "285", "305", "306", "315", "316", "337",
                            "33432", "34909", "50708", "50735"}) {
        SCOPED_TRACE(tag);
        ExpectFailure(ProbeRun(probe, Faults(std::string("set:") + tag)),
                      {std::string("Can't set tag ") + tag + "."}, {file});
        ExpectFailure(ProbeRun(probe, Faults(std::string("get-chop:") + tag)),
                      {std::string("Can't get tag ") + tag + "."}, {file});
    }
}

TEST(TextProbe, RefusedSetsNameTheirTag)
{
    ExpectFailure(ProbeRun(probe, Faults("set:333")), {"Can't set tag 333 (INKNAMES)."}, {file});
    ExpectFailure(ProbeRun(probe, Faults("set:277")), {"Can't set SamplesPerPixel tag."}, {file});
}

TEST(TextProbe, RefusedNumberOfInksMeansInkNamesIsNeverSet)
{
    ProbeOptions options = Faults("set:334");
    options.log_calls = true;
    ProbeRun run(probe, options);
    ExpectFailure(run, {"Can't set tag 334 (NUMBEROFINKS)."}, {file});
    ASSERT_FALSE(run.calls().empty());
    EXPECT_EQ(run.calls().back(), "set 334");
    for (const std::string &call : run.calls())
        EXPECT_NE(call, "set 333");
}

TEST(TextProbe, RefusedCreateAndReopen)
{
    ExpectFailure(ProbeRun(probe, Faults("open:w")),
                  {"Can't create test TIFF file ascii_test.tiff."}, {});
    ExpectFailure(ProbeRun(probe, Faults("open:r")), {"Can't open test TIFF file ascii_test.tiff."},
                  {file});
}

} // namespace
