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

// A clean run leaves exactly the files its lines (the library's known
// defects) name: a passing check removes its layout's file.
TEST(StrileProbe, CleanRunLeavesOnlyTheFilesOfLayoutsWithLines)
{
    ExpectLeavesNamedFiles(ProbeRun(probe));
}

struct Case {
    const char *faults;
    const char *file; // the layout the fault breaks
    std::string line;
    // A fault hides nothing after it: the later states it breaks too.
    std::vector<std::string> more = {};
};

TEST(StrileProbe, StrileFaults)
{
    const std::vector<Case> cases = {
        // The lazy query wrong at the last strip of the page of many strips,
        // and in the middle of the tiled page's array.
        {"strile-offset:99998@queries_le.tif=12", "queries_le.tif",
         "queries_le.tif: page 1: TIFFGetStrileOffset(99998) in \"O\" mode is 12, expected 4822."},
        {"strile-offset:4@queries_be.tif=12", "queries_be.tif",
         "queries_be.tif: page 0: TIFFGetStrileOffset(4) in \"O\" mode is 12, expected 2056."},
        // "O" taken as a hint: the queries load both arrays whole. Seen on the
        // page of many strips only; 999 strips are within a read window.
        {"whole-arrays@queries_le.tif", "queries_le.tif",
         "queries_le.tif: page 1: the strile queries in \"O\" mode read 600120 bytes, as many as "
         "a whole strip array (399996)."},
        // A force-write that writes nothing: the arrays are not in the file.
        {"force-nothing@deferred_be.tif",
         "deferred_be.tif",
         "deferred_be.tif: strip 0 on disk: page 0: 0 bytes at 0, expected 32 inside the file.",
         {"deferred_be.tif: strip 1 on disk: page 0: 0 bytes at 0, expected 32 inside the file.",
          "deferred_be.tif: strip 2 on disk: page 0: 0 bytes at 0, expected 32 inside the file.",
          "deferred_be.tif: strip 3 on disk: page 0: 2 wrong strips from here to strip 4, not "
          "named."}},
        {"force-nothing@deferred_le.btf",
         "deferred_le.btf",
         "deferred_le.btf: strip 0 on disk: page 0: 0 bytes at 0, expected 32 inside the file.",
         {"deferred_le.btf: strip 1 on disk: page 0: 0 bytes at 0, expected 32 inside the file.",
          "deferred_le.btf: strip 2 on disk: page 0: 0 bytes at 0, expected 32 inside the file.",
          "deferred_le.btf: strip 3 on disk: page 0: 2 wrong strips from here to strip 4, not "
          "named."}},
        // A strip read short: at the second checkpoint (strip 4, written
        // after the first) and after the close, and the last one read on
        // demand.
        {"read-short:4@checkpoints_le.tif:r",
         "checkpoints_le.tif",
         "Can't read image data in strip 4 of checkpoints_le.tif, page 0.",
         {"Can't read image data in strip 4 of checkpoints_le.tif, page 0."}},
        {"read-long:3@checkpoints_be.tif:r",
         "checkpoints_be.tif",
         "Can't read image data in strip 3 of checkpoints_be.tif, page 0.",
         {"Can't read image data in strip 3 of checkpoints_be.tif, page 0."}},
        {"read-short:998@queries_be.btf", "queries_be.btf",
         "Can't read image data in strip 998 of queries_be.btf, page 1."},
        // The last strip read on demand one byte long, or with a wrong byte.
        {"read-long:998@queries_le.btf", "queries_le.btf",
         "Can't read image data in strip 998 of queries_le.btf, page 1."},
        {"read-byte:99998.3@queries_le.tif=0x33", "queries_le.tif",
         "Wrong image data in strip 99998 of queries_le.tif, page 1."},
        // That read loads both arrays whole (4 and 2 bytes a strip).
        {"read-arrays:99998@queries_le.tif", "queries_le.tif",
         "queries_le.tif: page 1: reading strip 99998 in \"O\" mode read 599998 bytes, as many "
         "as a whole strip array (399996)."},
        // A warning while a strip is read back.
        {"warn-read:2@deferred_le.btf", "deferred_le.btf",
         "deferred_le.btf: the library reported a problem."},
        {"write-strip:2@deferred_le.tif=-1", "deferred_le.tif",
         "Can't write image data in deferred_le.tif."},
        {"open:r@queries_be.tif", "queries_be.tif", "Can't open test TIFF file queries_be.tif."},
        // A query past the last tile that reports no error.
        {"strile-offset:9@queries_le.btf=0", "queries_le.btf",
         "queries_le.btf: page 0: the error of TIFFGetStrileOffsetWithErr(9) in \"O\" mode is 0, "
         "expected 1."},
        // The checkpoints write nothing: the file has no page yet, at
        // either, and a reader cannot open it.
        {"checkpoint-nothing@checkpoints_le.btf",
         "checkpoints_le.btf",
         "checkpoints_le.btf: expected 1 pages, the file holds 0.",
         {"Can't open test TIFF file checkpoints_le.btf.",
          "checkpoints_le.btf: expected 1 pages, the file holds 0.",
          "Can't open test TIFF file checkpoints_le.btf."}},
        // The second checkpoint (the program's second call, in the first
        // layout; its fourth, in the second) writes nothing: the file holds
        // the first state, without the strips written since.
        {"checkpoint-nothing:2@checkpoints_le.tif",
         "checkpoints_le.tif",
         "checkpoints_le.tif: strip 3 on disk: page 0: 0 bytes at 0, expected 16 inside the file.",
         {"checkpoints_le.tif: strip 4 on disk: page 0: 0 bytes at 0, expected 16 inside the file.",
          "checkpoints_le.tif: page 0: TIFFGetStrileByteCount(3) at checkpoint 2 is 0, expected "
          "16."}},
        {"checkpoint-nothing:4@checkpoints_be.tif",
         "checkpoints_be.tif",
         "checkpoints_be.tif: strip 3 on disk: page 0: 0 bytes at 0, expected 16 inside the file.",
         {"checkpoints_be.tif: strip 4 on disk: page 0: 0 bytes at 0, expected 16 inside the file.",
          "checkpoints_be.tif: page 0: TIFFGetStrileByteCount(3) at checkpoint 2 is 0, expected "
          "16."}},
        // The second handle at the second checkpoint finds a strip empty.
        {"strile-count:3@checkpoints_be.tif=0", "checkpoints_be.tif",
         "checkpoints_be.tif: page 0: TIFFGetStrileByteCount(3) at checkpoint 2 is 0, expected "
         "16."},
        // The directory of the page of many strips refused (the program's
        // second TIFFWriteDirectory): the shared line, the layout stops.
        {"write-dir:2@queries_le.tif", "queries_le.tif",
         "queries_le.tif: page 1: can't write the directory."},
        // The second handle opened at the second checkpoint finds no page.
        {"dir-count:2@checkpoints_le.tif=0", "checkpoints_le.tif",
         "checkpoints_le.tif: page 0: the page count a reader finds at checkpoint 2 is 0, expected "
         "1."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        std::vector<std::string> lines = {c.line};
        lines.insert(lines.end(), c.more.begin(), c.more.end());
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), lines, {c.file});
    }
}

// The deferred and checkpointed pages of the layouts that pass, kept and
// decoded by tifffile.
TEST(StrileProbe, KeptPagesDecodedByTifffile)
{
    if (!TifffileUnavailable().empty())
        GTEST_SKIP() << TifffileUnavailable();
    const ProbeRun run(probe, Faults("keep"));
    ASSERT_TRUE(run.exited()) << run.describe();
    const std::set<std::string> named = NamedFiles(run);
    std::vector<std::string> paths;
    for (const std::string &file : run.files()) {
        if (file.rfind("queries_", 0) != 0 && named.count(file) == 0)
            paths.push_back(run.path(file));
    }
    ASSERT_EQ(paths.size(), 8U - named.size()) << run.describe();
    ExpectScriptPasses(STRILE_FILES_SCRIPT, paths);
}

} // namespace
