// A known defect hides nothing behind it: the runner, with the shipped
// known-defect list, given a probe that shows a known defect and a second,
// different fault in the same file, fails the probe; without the second
// fault it is XFAIL. Run only where the list expects the defect here.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

struct Beside {
    const char *defect; // the reproduction's name
    const char *probe;
    std::string faults; // besides the defect; empty for the control row
    const char *verdict;
};

// The BigTIFF file of the other byte order than the host's holds the
// checkpoint defect.
std::string OtherCheckpoints()
{
    return HostBigEndian() ? "checkpoints_le.btf" : "checkpoints_be.btf";
}

// A value of the IFD array that the halves defect leaves right, changed on
// disk: value 0 on a little-endian host; on a big-endian one value 2, after
// the first wrong value, where only the count of the others shows it.
std::string BesideHalves()
{
    return HostBigEndian() ? "poke:65113.8@types_le.tif:r=0x41"
                           : "poke:65113.0@types_le.tif:r=0x41";
}

bool ExpectedHere(const char *defect)
{
    const ProbeRun ask(RUNNER_PATH, RunnerOptions({"--defect-expected", defect}));
    return ask.exited() && ask.status() == 0;
}

TEST(KnownDefect, SecondFaultBesideItFails)
{
    const std::vector<Beside> rows = {
        {"bigtiff_checkpoint_swap", "strile_probe", "", "XFAIL strile_probe"},
        // Strip 5, written after the last checkpoint, read wrong: checked
        // only after the states the defect breaks.
        {"bigtiff_checkpoint_swap", "strile_probe", "read-byte:5.0@" + OtherCheckpoints() + "=153",
         "FAIL strile_probe"},
        {"ifd_array_halves", "type_probe", "", "XFAIL type_probe"},
        {"ifd_array_halves", "type_probe", BesideHalves(), "FAIL type_probe"},
        {"jpeg_tables_ignored", "field_probe", "", "XFAIL field_probe"},
        // Two ColorMap values on disk beside the JPEG page's defect.
        {"jpeg_tables_ignored", "field_probe",
         "poke:320.95@fields_le.tif:r=0x41;poke:320.81@fields_le.tif:r=0x41", "FAIL field_probe"},
        // A byte of the JPEG page after the first wrong one comes back right:
        // the count of the others changes.
        {"jpeg_tables_ignored", "field_probe", "read-byte:0.9@fields_le.tif=200",
         "FAIL field_probe"},
    };
    for (const Beside &row : rows) {
        SCOPED_TRACE(row.faults);
        if (!ExpectedHere(row.defect)) {
            GTEST_SKIP() << "defects/" << row.defect << ".c is not expected here";
        }
        const ProbeRun run(RUNNER_PATH, RunnerOptions({row.probe}, row.faults));
        ASSERT_TRUE(run.exited()) << run.describe();
        ASSERT_GE(run.stdout_lines().size(), 2U) << run.describe();
        const std::string &line = run.stdout_lines()[1];
        EXPECT_EQ(line.substr(0, line.find(' ', line.find(' ') + 1)), row.verdict)
            << run.describe();
    }
}

} // namespace
