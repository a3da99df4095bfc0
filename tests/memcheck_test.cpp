// The probes under valgrind memcheck: clean runs and the failure runs that
// free or leak memory. Any memory error or definitely lost block makes
// valgrind exit 99 instead of the probe's own status.
#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char packbits[] = "test_packbits.tif";

ProbeOptions Memcheck(const std::string &faults = "")
{
    ProbeOptions options;
    options.faults = faults;
    options.wrapper = MemcheckWrapper();
    return options;
}

#define SKIP_WITHOUT_MEMCHECK()                                                                    \
    do {                                                                                           \
        if (!MemcheckUnavailable().empty())                                                        \
            GTEST_SKIP() << MemcheckUnavailable();                                                 \
        if (STRIP_PROBE_STATIC)                                                                    \
            GTEST_SKIP() << "memcheck runs on the shared-library build";                           \
    } while (0)

TEST(Memcheck, CleanRuns)
{
    SKIP_WITHOUT_MEMCHECK();
    ExpectClean(ProbeRun("halfword_probe", Memcheck()), {});
    ExpectClean(ProbeRun("word_probe", Memcheck()), {});
    ExpectClean(ProbeRun("text_probe", Memcheck()), {});
    ExpectClean(ProbeRun("strip_probe", Memcheck()), {packbits});
}

TEST(Memcheck, RefusedRewritesReleaseTheirArrays)
{
    SKIP_WITHOUT_MEMCHECK();
    ExpectFailure(ProbeRun("strip_probe", Memcheck("rewrite:273@rewrite5.tif")),
                  {"Can't rewrite STRIPOFFSETS."}, {packbits, "rewrite5.tif"});
    ExpectFailure(ProbeRun("strip_probe", Memcheck("rewrite:279@rewrite5.tif")),
                  {"Can't rewrite STRIPBYTECOUNTS."}, {packbits, "rewrite5.tif"});
}

TEST(Memcheck, FetchThatStoresNothingInTheReadPhase)
{
    SKIP_WITHOUT_MEMCHECK();
    // A stale pointer from the update phase would be read here.
    ExpectFailure(ProbeRun("strip_probe", Memcheck("get-nothing:273@rewrite2.tif:r")),
                  {"Can't fetch STRIPOFFSETS."}, {packbits, "rewrite2.tif"});
    ExpectFailure(ProbeRun("text_probe", Memcheck("get-nothing:333")),
                  {"Can't get tag 333 (INKNAMES)."}, {"ascii_test.tiff"});
}

TEST(Memcheck, RefusedReopens)
{
    SKIP_WITHOUT_MEMCHECK();
    ExpectFailure(ProbeRun("halfword_probe", Memcheck("open:r")),
                  {"Can't open test TIFF file short_test.tiff."}, {"short_test.tiff"});
    ExpectFailure(ProbeRun("word_probe", Memcheck("open:r")),
                  {"Can't open test TIFF file long_test.tiff."}, {"long_test.tiff"});
    ExpectFailure(ProbeRun("text_probe", Memcheck("open:r")),
                  {"Can't open test TIFF file ascii_test.tiff."}, {"ascii_test.tiff"});
    ExpectFailure(ProbeRun("strip_probe", Memcheck("open:r+@rewrite1.tif")),
                  {"Can't open test TIFF file rewrite1.tif."}, {packbits, "rewrite1.tif"});
}

} // namespace
