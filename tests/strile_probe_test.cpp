// strile_probe under injected library faults: each fault fails its own layout
// with one line, exit status 1, and the failed layout's file stays, besides
// what a clean run shows of the library's known defects.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "strile_probe";

const char *const layout_files[] = {"striles_le.tif", "striles_be.tif", "striles_le.btf",
                                    "striles_be.btf"};

// A clean run leaves exactly the files of the layouts its lines (the
// library's known defects) name: a passing layout removes its own.
TEST(StrileProbe, CleanRunLeavesOnlyTheFilesOfLayoutsWithLines)
{
    const ProbeRun run(probe);
    std::set<std::string> named;
    for (const std::string &line : run.own_lines()) {
        for (const char *file : layout_files) {
            if (line.find(file) != std::string::npos)
                named.insert(file);
        }
    }
    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), named.empty() ? 0 : 1) << run.describe();
    EXPECT_EQ(run.files(), named) << run.describe();
}

struct Case {
    const char *faults;
    const char *file; // the layout the fault breaks
    std::string line;
};

TEST(StrileProbe, StrileFaults)
{
    const std::vector<Case> cases = {
        // The lazy query wrong at the last strip of the page of many strips,
        // and in the middle of the tiled page's array.
        {"strile-offset:99999@striles_le.tif=12", "striles_le.tif",
         "striles_le.tif: page 1: TIFFGetStrileOffset(99999) in \"O\" mode is 12, expected 2262."},
        {"strile-offset:4@striles_be.tif=12", "striles_be.tif",
         "striles_be.tif: page 0: TIFFGetStrileOffset(4) in \"O\" mode is 12, expected 1032."},
        // "O" taken as a hint: the queries load both arrays whole. Seen on the
        // page of many strips only; 1,000 strips are within a read window.
        {"whole-arrays@striles_le.tif", "striles_le.tif",
         "striles_le.tif: page 1: the strile queries in \"O\" mode read 600126 bytes, as many as "
         "a whole strip array (400000)."},
        // A force-write that writes nothing: the arrays are not in the file.
        {"force-nothing@striles_be.tif", "striles_be.tif",
         "striles_be.tif: strip 0 on disk: page 0: 0 bytes at 0, expected 32 inside the file."},
        {"force-nothing@striles_le.btf", "striles_le.btf",
         "striles_le.btf: strip 0 on disk: page 0: 0 bytes at 0, expected 32 inside the file."},
        // A strip read short: at the second checkpoint (the deferred page
        // has 4 strips), and the last one read on demand.
        {"read-short:4@striles_le.btf:r", "striles_le.btf",
         "Wrong image data in strip 4 of striles_le.btf, page 0."},
        {"read-short:999@striles_be.btf", "striles_be.btf",
         "Wrong image data in strip 999 of striles_be.btf, page 1."},
        {"write-strip:2@striles_le.tif=-1", "striles_le.tif",
         "Can't write image data in striles_le.tif."},
        {"open:r@striles_be.tif", "striles_be.tif", "Can't open test TIFF file striles_be.tif."},
        // The first checkpoint writes nothing: the file has no page yet.
        {"checkpoint-nothing@striles_le.btf", "striles_le.btf",
         "striles_le.btf: IFD at 0: 0 IFDs in the file, expected 1."},
        // The second checkpoint (the program's second call, in the first
        // layout; its fourth, in the second) writes nothing: the file holds
        // the first state, without the strips written since.
        {"checkpoint-nothing:2@striles_le.tif", "striles_le.tif",
         "striles_le.tif: strip 2 on disk: page 0: 0 bytes at 0, expected 8 inside the file."},
        {"checkpoint-nothing:4@striles_be.tif", "striles_be.tif",
         "striles_be.tif: strip 2 on disk: page 0: 0 bytes at 0, expected 8 inside the file."},
        // The second handle opened at the second checkpoint finds no page.
        {"dir-count:2@striles_le.tif=0", "striles_le.tif",
         "striles_le.tif: page 0: the page count a reader finds at checkpoint 2 is 0, expected 1."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line}, {c.file});
    }
}

} // namespace
