// field_probe under injected library faults. A library may have defects of
// its own that the probe reports on every run (Debian's 4.5.0 has some, see
// the README), so a clean run is the baseline: each fault must add exactly
// its own line, and its layout's file, to what the clean run printed and
// left.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "field_probe";
const char *const layout_files[] = {"fields_le.tif", "fields_be.tif", "fields_le.btf",
                                    "fields_be.btf"};

struct Baseline {
    std::vector<std::string> lines;
    std::set<std::string> files;
};

const Baseline &Clean()
{
    static const Baseline baseline = [] {
        const ProbeRun run(probe);
        return Baseline{run.own_lines(), run.files()};
    }();
    return baseline;
}

void ExpectFault(const ProbeRun &run, const std::vector<std::string> &lines,
                 const std::set<std::string> &files)
{
    std::vector<std::string> expect = Clean().lines;
    expect.insert(expect.end(), lines.begin(), lines.end());
    std::sort(expect.begin(), expect.end());
    std::vector<std::string> got = run.own_lines();
    std::sort(got.begin(), got.end());
    std::set<std::string> left = Clean().files;
    left.insert(files.begin(), files.end());

    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), 1) << run.describe();
    EXPECT_EQ(got, expect) << run.describe();
    EXPECT_EQ(run.files(), left) << run.describe();
}

// A layout's file stays exactly when a line names it, and every line the
// probe prints is one of its own or the library's.
TEST(FieldProbe, CleanRunLeavesTheFilesOfLayoutsWithLines)
{
    const ProbeRun run(probe);
    const std::vector<std::string> own = run.own_lines();

    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), own.empty() ? 0 : 1) << run.describe();
    for (const char *file : layout_files) {
        const bool named = std::any_of(own.begin(), own.end(), [file](const std::string &line) {
            return line.find(file) != std::string::npos;
        });
        EXPECT_EQ(run.files().count(file) == 1, named) << file << "\n" << run.describe();
    }
}

// Valgrind finds no memory error and no definitely lost block in a clean
// run (exit status 99 if it did), which prints what it prints without it.
TEST(FieldProbe, CleanRunUnderMemcheck)
{
    const std::string unavailable = MemcheckUnavailable();
    if (!unavailable.empty())
        GTEST_SKIP() << unavailable;
    ProbeOptions options;
    options.wrapper = MemcheckWrapper();
    const ProbeRun run(probe, options);
    std::vector<std::string> got = run.own_lines();
    std::vector<std::string> expect = Clean().lines;
    std::sort(got.begin(), got.end());
    std::sort(expect.begin(), expect.end());

    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), expect.empty() ? 0 : 1) << run.describe();
    EXPECT_EQ(got, expect) << run.describe();
}

TEST(FieldProbe, EachFaultAddsItsLineAndFile)
{
    const struct {
        const char *faults;
        std::vector<std::string> lines;
        std::set<std::string> files;
    } cases[] = {
        // Refused: a standard field, an EXIF and a GPS one.
        {"set:271@fields_be.tif", {"Can't set tag 271 in fields_be.tif."}, {"fields_be.tif"}},
        {"set:33434@fields_le.btf", {"Can't set tag 33434 in fields_le.btf."}, {"fields_le.btf"}},
        {"set:4@fields_be.btf", {"Can't set tag 4 in fields_be.btf."}, {"fields_be.btf"}},
        {"get:34855@fields_le.btf",
         {"Problem fetching tag 34855 in fields_le.btf."},
         {"fields_le.btf"}},
        // Wrong values: a standard pair, an EXIF LONG, a GPS SHORT, an EXIF
        // string, an array's count.
        {"get-u16:297.1@fields_le.tif=4",
         {"Wrong SHORT value fetched for tag 297 in fields_le.tif: value 1 is 0x4, expected "
          "0xfffe."},
         {"fields_le.tif"}},
        {"get-u32:34867@fields_be.tif=1",
         {"Wrong LONG value fetched for tag 34867 in fields_be.tif: value 0 is 0x1, expected "
          "0x80000000."},
         {"fields_be.tif"}},
        {"get-u16:30@fields_le.btf=0",
         {"Wrong SHORT value fetched for tag 30 in fields_le.btf: value 0 is 0x0, expected 0x1."},
         {"fields_le.btf"}},
        {"get-chop:36867@fields_be.tif",
         {"Wrong ASCII value fetched for tag 36867 in fields_be.tif: \"2023:12:31 01:02:0\"."},
         {"fields_be.tif"}},
        {"get-u16:338@fields_le.tif=2",
         {"Wrong SHORT value fetched for tag 338 in fields_le.tif: 2 values, expected 1."},
         {"fields_le.tif"}},
        // The blue third of the palette, zeroed on fetch.
        {"get-zero:320.2@fields_le.tif",
         {"Wrong SHORT value fetched for tag 320 in fields_le.tif: value 32 is 0x0, expected "
          "0xf5a0."},
         {"fields_le.tif"}},
        {"default-u16:274@fields_le.btf=3",
         {"Wrong default for tag 274 in fields_le.btf: value 0 is 0x3, expected 0x1."},
         {"fields_le.btf"}},
        {"unset-nothing:286@fields_be.btf",
         {"fields_be.btf: tag 286 still present after TIFFUnsetField"},
         {"fields_be.btf"}},
        // On disk only: a type the field does not allow, in either byte
        // order; a FLOAT and a byte of InkNames changed after the read.
        {"poke-entry:274.2@fields_le.tif:w=8",
         {"fields_le.tif: tag 274 on disk: SSHORT[1], expected SHORT[1]."},
         {"fields_le.tif"}},
        {"poke-entry:274.3@fields_be.tif:w=8",
         {"fields_be.tif: tag 274 on disk: SSHORT[1], expected SHORT[1]."},
         {"fields_be.tif"}},
        {"poke:33305.1@fields_le.tif:r=0x41",
         {"fields_le.tif: tag 33305 on disk: value 0 differs."},
         {"fields_le.tif"}},
        {"poke:333.4@fields_be.btf:r=0x41",
         {"fields_be.btf: tag 333 on disk: byte 4 differs."},
         {"fields_be.btf"}},
        // A library message fails a layout that otherwise passed.
        {"warn:270@fields_be.tif",
         {"fields_be.tif: the library reported a problem."},
         {"fields_be.tif"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFault(ProbeRun(probe, Faults(c.faults)), c.lines, c.files);
    }
}

} // namespace
