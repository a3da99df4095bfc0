// The probes against real filesystem faults, with no shim: a file-size limit
// (RLIMIT_FSIZE, with SIGXFSZ ignored so writes fail with an error) swept from
// 0 up to each file's full size, a working directory the probe may not write
// to (run as nobody; skipped with the reason where that is impossible), and
// libfiu's POSIX preload (loaded as fiu-run -x would, but directly, so that
// the sanitizer runtime can come first) failing the library's own open, read
// and write calls. No run under a fault may report success.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char *const field_probes[] = {"halfword_probe", "word_probe", "text_probe"};
const char *const field_files[] = {"short_test.tiff", "long_test.tiff", "ascii_test.tiff"};
const char packbits[] = "test_packbits.tif";
// strip_probe's files in the order it creates them.
const char *const strip_files[] = {packbits,       "rewrite1.tif", "rewrite2.tif", "rewrite3.tif",
                                   "rewrite4.tif", "rewrite5.tif", "rewrite6.tif"};

std::set<std::string> StripFiles()
{
    return {std::begin(strip_files), std::end(strip_files)};
}

std::vector<std::string> StripCannotCreate()
{
    std::vector<std::string> lines;
    std::transform(
        std::begin(strip_files), std::end(strip_files), std::back_inserter(lines),
        [](const char *file) { return std::string("Can't create test TIFF file ") + file + "."; });
    return lines;
}

// A failed run: status 1, not a crash, at least one line of the program's
// own and nothing of its own that is not one line each.
void ExpectReportedFailure(const ProbeRun &run, size_t own_lines)
{
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), 1) << run.describe();
    EXPECT_EQ(run.own_lines().size(), own_lines) << run.describe();
}

struct LayoutProbe {
    const char *probe;
    size_t count;
    const char *files[4];
};

constexpr LayoutProbe layout_probes[] = {
    {"type_probe", 4, {"types_le.tif", "types_be.tif", "types_le.btf", "types_be.btf"}},
    {"directory_probe", 2, {"pages_le.tif", "pages_be.btf"}},
};

// A failed run of a probe of several layouts: status 1, not a crash, and
// each line it adds to its clean run names one of the `failing` layouts,
// each of which it names (a layout may name every field it cannot read).
void ExpectLayoutsReported(const ProbeRun &run, const LayoutProbe &p,
                           const std::set<std::string> &failing)
{
    const std::vector<std::string> lines = NewLines(run);
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), 1) << run.describe();
    for (size_t f = 0; f < p.count; f++) {
        const std::string file = p.files[f];
        const auto names = [&](const std::string &line) {
            return line.find(file) != std::string::npos;
        };
        EXPECT_EQ(std::any_of(lines.begin(), lines.end(), names), failing.count(file) == 1)
            << file << "\n"
            << run.describe();
    }
    for (const std::string &line : lines) {
        EXPECT_TRUE(std::any_of(failing.begin(), failing.end(), [&](const std::string &file) {
            return line.find(file) != std::string::npos;
        })) << line;
    }
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
        GTEST_SKIP() << "measuring rewrite5.tif needs the shim, which cannot interpose on the "
                        "TIFF archive linked into strip_probe";
    const off_t size = FullSize("strip_probe", "rewrite5.tif", "r");
    ASSERT_GT(size, 4096);
    for (off_t limit : {size - 1, size / 2, static_cast<off_t>(4096)}) {
        SCOPED_TRACE(limit);
        ProbeRun run("strip_probe", SizeLimit(limit));
        ExpectReportedFailure(run, 1);
        const std::set<std::string> files = {packbits, "rewrite5.tif"};
        EXPECT_EQ(run.files(), files) << run.describe();
    }
    ExpectClean(ProbeRun("strip_probe", SizeLimit(size)), {packbits});
}

TEST(FileSizeLimit, StripProbeReportsEveryTestWhenNothingFits)
{
    ExpectReportedFailure(ProbeRun("strip_probe", SizeLimit(0)), 7);
}

// The probes of several layouts: each layout whose file does not fit fails
// with one line of its own, and the others still pass. A file only grows,
// so its final size, kept by the shim, is the most it ever needs.
TEST(FileSizeLimit, LayoutProbesFailEachLayoutThatDoesNotFit)
{
    for (const LayoutProbe &p : layout_probes) {
        SCOPED_TRACE(p.probe);
        ProbeRun kept(p.probe, Faults("keep"));
        std::vector<off_t> sizes;
        for (size_t f = 0; f < p.count; f++) {
            struct stat st;
            ASSERT_EQ(stat(kept.path(p.files[f]).c_str(), &st), 0)
                << p.files[f] << ": " << kept.describe();
            sizes.push_back(st.st_size);
        }
        const off_t smallest = *std::min_element(sizes.begin(), sizes.end());
        const off_t largest = *std::max_element(sizes.begin(), sizes.end());
        for (off_t limit : {off_t{0}, off_t{512}, smallest / 2, smallest - 1, largest - 1}) {
            SCOPED_TRACE(limit);
            std::set<std::string> too_large;
            for (size_t f = 0; f < p.count; f++) {
                if (sizes[f] > limit)
                    too_large.insert(p.files[f]);
            }
            ExpectLayoutsReported(ProbeRun(p.probe, SizeLimit(limit)), p, too_large);
        }
        ExpectClean(ProbeRun(p.probe, SizeLimit(largest)), {});
    }
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
    ExpectFailure(ProbeRun("strip_probe", options), StripCannotCreate(), {});
}

// libfiu's POSIX preload fails the named calls everywhere in the process;
// stdio writes inside the C library do not go through them, so the probes'
// stderr still works. It is loaded as fiu-run -x would, but directly, so that
// a sanitizer runtime can come first.
ProbeOptions Fiu(const char *point)
{
    ProbeOptions options;
    options.env = {{"LD_PRELOAD", PreloadList(FIU_PRELOAD_DIR "/fiu_run_preload.so:" FIU_PRELOAD_DIR
                                                              "/fiu_posix_preload.so")},
                   {"FIU_ENABLE", std::string("enable name=") + point},
                   {"LSAN_OPTIONS", "exitcode=99:suppressions=" FIU_LSAN_SUPPRESSIONS}};
    return options;
}

#define SKIP_WITHOUT_FIU()                                                                         \
    do {                                                                                           \
        if (access(FIU_PRELOAD_DIR "/fiu_posix_preload.so", R_OK) != 0)                            \
            GTEST_SKIP() << "libfiu's preload libraries (fiu-utils) are not installed";            \
    } while (0)

TEST(Libfiu, FailedOpenMeansNoFileCreated)
{
    SKIP_WITHOUT_FIU();
    for (size_t p = 0; p < 3; p++) {
        ExpectFailure(ProbeRun(field_probes[p], Fiu("posix/io/oc/open")),
                      {std::string("Can't create test TIFF file ") + field_files[p] + "."}, {});
    }
    ExpectFailure(ProbeRun("strip_probe", Fiu("posix/io/oc/open")), StripCannotCreate(), {});
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
    ExpectFailure(ProbeRun("strip_probe", Fiu("posix/io/rw/write")), StripCannotCreate(),
                  StripFiles());
}

TEST(Libfiu, LayoutProbesReportEveryLayout)
{
    SKIP_WITHOUT_FIU();
    for (const LayoutProbe &p : layout_probes) {
        SCOPED_TRACE(p.probe);
        for (const char *point : {"posix/io/oc/open", "posix/io/rw/write", "posix/io/rw/read"}) {
            SCOPED_TRACE(point);
            ExpectLayoutsReported(ProbeRun(p.probe, Fiu(point)), p,
                                  std::set<std::string>(p.files, p.files + p.count));
        }
    }
}

TEST(Libfiu, FailedReadsAreReported)
{
    SKIP_WITHOUT_FIU();
    for (size_t p = 0; p < 3; p++) {
        ExpectFailure(ProbeRun(field_probes[p], Fiu("posix/io/rw/read")),
                      {std::string("Can't open test TIFF file ") + field_files[p] + "."},
                      {field_files[p]});
    }
    // The reopens of strip_probe find no directory: the rewrite tests cannot
    // fetch their arrays, and the update of the PackBits file is refused.
    std::vector<std::string> lines(7, "Can't fetch STRIPOFFSETS.");
    lines[0] = "Can't write image data.";
    ExpectFailure(ProbeRun("strip_probe", Fiu("posix/io/rw/read")), lines, StripFiles());
}

} // namespace
