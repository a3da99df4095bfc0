// The probes against real filesystem faults, with no shim: a file-size limit,
// a directory they may not write to, and libfiu failing the library's own
// open, read and write calls. No run under a fault may report success.
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char *const field_probes[] = {"halfword_probe", "word_probe", "text_probe"};
const char *const field_files[] = {"short_test.tiff", "long_test.tiff", "ascii_test.tiff"};
const char packbits[] = "test_packbits.tif";

// A failed run: status 1, not a crash, at least one line of the program's
// own and nothing of its own that is not one line each.
void ExpectReportedFailure(const ProbeRun &run, size_t own_lines)
{
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), 1) << run.describe();
    EXPECT_EQ(run.own_lines().size(), own_lines) << run.describe();
}

// The size of `file` as the probe writes it in full, measured by making the
// reopen of that file fail so that it stays behind.
off_t FullSize(const char *probe, const std::string &file, const std::string &reopen_mode)
{
    ProbeOptions options;
    options.faults = "open:" + reopen_mode + "@" + file;
    ProbeRun run(probe, options);
    struct stat st;
    if (stat(run.path(file).c_str(), &st) != 0) {
        ADD_FAILURE() << "no " << file << " left: " << run.describe();
        return 0;
    }
    return st.st_size;
}

ProbeOptions SizeLimit(long long bytes)
{
    ProbeOptions options;
    options.file_size_limit = bytes;
    return options;
}

TEST(FileSizeLimit, FieldProbesFailBelowTheirFileSize)
{
    for (size_t p = 0; p < 3; p++) {
        SCOPED_TRACE(field_probes[p]);
        const off_t size = FullSize(field_probes[p], field_files[p], "r");
        ASSERT_GT(size, 0);
        for (off_t limit = 0; limit < size; limit += 24) {
            SCOPED_TRACE(limit);
            ExpectReportedFailure(ProbeRun(field_probes[p], SizeLimit(limit)), 1);
        }
        ExpectReportedFailure(ProbeRun(field_probes[p], SizeLimit(size - 1)), 1);
        // Proves the limit, and nothing else, made the runs above fail.
        ExpectClean(ProbeRun(field_probes[p], SizeLimit(size)), {});
    }
}

TEST(FileSizeLimit, StripProbeFailsOnlyTheFileThatDoesNotFit)
{
    if (STRIP_PROBE_STATIC)
        GTEST_SKIP() << "measuring the file needs the shim";
    const off_t size = FullSize("strip_probe", "rewrite5.tif", "r");
    ASSERT_GT(size, 4096);
    for (off_t limit : {size - 1, size / 2, static_cast<off_t>(4096)}) {
        SCOPED_TRACE(limit);
        ProbeRun run("strip_probe", SizeLimit(limit));
        ExpectReportedFailure(run, 1);
        const std::set<std::string> files = {packbits, "rewrite5.tif"};
        EXPECT_EQ(run.files(), files) << run.describe();
    }
    // Too small for every file: each test reports its own failure.
    ExpectReportedFailure(ProbeRun("strip_probe", SizeLimit(0)), 7);
    ExpectClean(ProbeRun("strip_probe", SizeLimit(size)), {packbits});
}

TEST(UnwritableDirectory, EveryProbeCannotCreate)
{
    ProbeOptions options;
    options.unprivileged = true;
    for (size_t p = 0; p < 3; p++) {
        ProbeRun run(field_probes[p], options);
        if (run.skipped())
            GTEST_SKIP() << run.skip_reason();
        ExpectFailure(run, {std::string("Can't create test TIFF file ") + field_files[p] + "."},
                      {});
    }
    ExpectFailure(
        ProbeRun("strip_probe", options),
        {"Can't create test TIFF file test_packbits.tif.",
         "Can't create test TIFF file rewrite1.tif.", "Can't create test TIFF file rewrite2.tif.",
         "Can't create test TIFF file rewrite3.tif.", "Can't create test TIFF file rewrite4.tif.",
         "Can't create test TIFF file rewrite5.tif.", "Can't create test TIFF file rewrite6.tif."},
        {});
}

// libfiu's POSIX preload fails the named calls everywhere in the process;
// stdio writes inside the C library do not go through them, so the probes'
// stderr still works.
ProbeOptions Fiu(const char *point)
{
    ProbeOptions options;
    options.wrapper = {FIU_RUN_PATH, "-x", "-f", "", "-c", std::string("enable name=") + point};
    return options;
}

#define SKIP_WITHOUT_FIU()                                                                         \
    do {                                                                                           \
        if (access(FIU_RUN_PATH, X_OK) != 0)                                                       \
            GTEST_SKIP() << "fiu-run (fiu-utils) is not installed";                                \
        if (SanitizerBuild())                                                                      \
            GTEST_SKIP() << "fiu-run's preload must come before the sanitizer runtime";            \
    } while (0)

TEST(Libfiu, FailedOpenMeansNoFileCreated)
{
    SKIP_WITHOUT_FIU();
    for (size_t p = 0; p < 3; p++) {
        ExpectFailure(ProbeRun(field_probes[p], Fiu("posix/io/oc/open")),
                      {std::string("Can't create test TIFF file ") + field_files[p] + "."}, {});
    }
    ProbeRun run("strip_probe", Fiu("posix/io/oc/open"));
    ExpectReportedFailure(run, 7);
    EXPECT_TRUE(run.files().empty()) << run.describe();
}

TEST(Libfiu, FailedWritesAreReported)
{
    SKIP_WITHOUT_FIU();
    // The header cannot be written; the library has created the file already.
    for (size_t p = 0; p < 3; p++) {
        ExpectFailure(ProbeRun(field_probes[p], Fiu("posix/io/rw/write")),
                      {std::string("Can't create test TIFF file ") + field_files[p] + "."},
                      {field_files[p]});
    }
    ExpectReportedFailure(ProbeRun("strip_probe", Fiu("posix/io/rw/write")), 7);
}

TEST(Libfiu, FailedReadsAreReported)
{
    SKIP_WITHOUT_FIU();
    for (size_t p = 0; p < 3; p++) {
        ExpectFailure(ProbeRun(field_probes[p], Fiu("posix/io/rw/read")),
                      {std::string("Can't open test TIFF file ") + field_files[p] + "."},
                      {field_files[p]});
    }
    // Every test of strip_probe reads its file back, so each one fails.
    ExpectReportedFailure(ProbeRun("strip_probe", Fiu("posix/io/rw/read")), 7);
}

} // namespace
