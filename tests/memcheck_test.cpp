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
    } while (0)

struct FailureCase {
    const char *probe;
    const char *faults;
    const char *line;
    std::set<std::string> files;
};

void ExpectFailures(const std::vector<FailureCase> &cases)
{
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.probe) + " " + c.faults);
        ExpectFailure(ProbeRun(c.probe, Memcheck(c.faults)), {c.line}, c.files);
    }
}

TEST(Memcheck, CleanRuns)
{
    SKIP_WITHOUT_MEMCHECK();
    ExpectClean(ProbeRun("halfword_probe", Memcheck()), {});
    ExpectClean(ProbeRun("word_probe", Memcheck()), {});
    ExpectClean(ProbeRun("text_probe", Memcheck()), {});
    ExpectClean(ProbeRun("strip_probe", Memcheck()), {packbits});
    ExpectClean(ProbeRun("type_probe", Memcheck()), {});
    ExpectClean(ProbeRun("tile_probe", Memcheck()), {});
    // The checkpoint defect's lines include the library's own, which
    // ExpectClean counts as extra: the same status and lines as without
    // valgrind (which exits 99 on an error) instead.
    const ProbeRun strile("strile_probe", Memcheck());
    const Baseline &clean = CleanRun("strile_probe");
    ASSERT_TRUE(strile.exited()) << strile.describe();
    EXPECT_EQ(strile.status(), clean.status) << strile.describe();
    EXPECT_EQ(strile.own_lines(), clean.lines) << strile.describe();
    EXPECT_EQ(strile.files(), clean.files) << strile.describe();
}

TEST(Memcheck, FieldProbeRefusedReopensAndEmptyFetch)
{
    SKIP_WITHOUT_MEMCHECK();
    ExpectFailures({
        {"halfword_probe",
         "open:r",
         "Can't open test TIFF file short_test.tiff.",
         {"short_test.tiff"}},
        {"word_probe", "open:r", "Can't open test TIFF file long_test.tiff.", {"long_test.tiff"}},
        {"text_probe", "open:r", "Can't open test TIFF file ascii_test.tiff.", {"ascii_test.tiff"}},
        {"text_probe", "get-nothing:333", "Can't get tag 333 (INKNAMES).", {"ascii_test.tiff"}},
        {"type_probe",
         "open:r+@types_be.tif",
         "Can't open test TIFF file types_be.tif.",
         {"types_be.tif"}},
        {"type_probe",
         "get-nothing:65013@types_le.tif",
         "Problem fetching tag 65013 in types_le.tif.",
         {"types_le.tif"}},
        // The counted handle of the on-demand queries, closed on a failure.
        {"strile_probe",
         "strile-offset:4@queries_be.tif=12",
         "queries_be.tif: page 0: TIFFGetStrileOffset(4) in \"O\" mode is 12, expected 2056.",
         {"queries_be.tif"}},
    });
}

TEST(Memcheck, StripProbeRefusedRewritesReopenAndEmptyFetch)
{
    SKIP_WITHOUT_MEMCHECK();
    if (STRIP_PROBE_STATIC)
        GTEST_SKIP() << "strip_probe links the static TIFF archive: the shim cannot interpose";
    ExpectFailures({
        // The replacement arrays must be released on these paths.
        {"strip_probe",
         "rewrite:273@rewrite5.tif",
         "Can't rewrite STRIPOFFSETS.",
         {packbits, "rewrite5.tif"}},
        {"strip_probe",
         "rewrite:279@rewrite5.tif",
         "Can't rewrite STRIPBYTECOUNTS.",
         {packbits, "rewrite5.tif"}},
        // A stale pointer from the update phase would be read here.
        {"strip_probe",
         "get-nothing:273@rewrite2.tif:r",
         "Can't fetch STRIPOFFSETS.",
         {packbits, "rewrite2.tif"}},
        {"strip_probe",
         "open:r+@rewrite1.tif",
         "Can't open test TIFF file rewrite1.tif.",
         {packbits, "rewrite1.tif"}},
    });
}

// The values of the EXIF and GPS directories, written before any page, and
// the custom directories read back over the page's.
TEST(Memcheck, DirectoryProbeCustomDirectories)
{
    SKIP_WITHOUT_MEMCHECK();
    ExpectClean(ProbeRun("directory_probe", Memcheck()), {});
    ExpectFailure(ProbeRun("directory_probe", Memcheck("set:1@pages_le.tif")),
                  {"Can't set tag 1 in pages_le.tif, GPS IFD."}, {"pages_le.tif"});
    ExpectFailure(ProbeRun("directory_probe", Memcheck("get:2@pages_be.btf")),
                  {"Problem fetching tag 2 in pages_be.btf, GPS IFD."}, {"pages_be.btf"});
}

// Every case under valgrind, the malformed ones above all: a memory error
// inside the library is a finding like any other (valgrind's exit 99).
TEST(Memcheck, ReadProbeEveryCase)
{
    SKIP_WITHOUT_MEMCHECK();
    const ProbeRun run("read_probe", Memcheck());
    // The library's own warnings of its known defects are printed too, so
    // the lines are compared, not the whole of stderr.
    const Baseline &clean = CleanRun("read_probe");
    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), clean.status) << run.describe();
    EXPECT_EQ(run.own_lines(), clean.lines) << run.describe();
    EXPECT_EQ(run.files(), clean.files) << run.describe();
}

// The child process that writes past the last strip, and the handles a
// broken promise leaves early.
TEST(Memcheck, ManpageProbe)
{
    SKIP_WITHOUT_MEMCHECK();
    ExpectClean(ProbeRun("manpage_probe", Memcheck()), {});
    ExpectFailures({
        {"manpage_probe",
         "checkpoint-nothing@manpage_le.tif",
         "Can't open test TIFF file manpage_le.tif.",
         {"manpage_le.tif"}},
        {"manpage_probe",
         "read-result:15@manpage_be.btf=512",
         "manpage_be.btf: TIFFReadEncodedTile(3tiff): tile 15 of 15 gave 512, expected -1.",
         {"manpage_be.btf"}},
    });
}

} // namespace
