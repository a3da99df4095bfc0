// word_probe under injected library faults. Unlike the other field probes it
// removes its file after any failure while the file is open.
#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "word_probe";

TEST(WordProbe, CleanRunIsSilentAndRemovesItsFile)
{
    ExpectClean(ProbeRun(probe), {});
}

TEST(WordProbe, FailuresWhileOpenRemoveTheFile)
{
    const struct {
        const char *faults;
        const char *line;
    } cases[] = {
        {"set:254", "Can't set tag 254."},
        {"set:262", "Can't set PhotometricInterpretation tag."},
        {"get:257", "Problem fetching tag 257."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line}, {});
    }
}

TEST(WordProbe, EveryFieldReadBackWrongOrNotStoredIsReported)
{
    // Each wrong value agrees with the written one in its low 16 bits.
    const struct {
        const char *tag;
        const char *wrong;
    } fields[] = {{"256", "0x10001"}, {"257", "0x10001"}, {"278", "0x10001"}, {"254", "0x10007"}};
    for (const auto &f : fields) {
        const std::string tag = f.tag;
        for (const std::string &faults : {"get-u32:" + tag + "=" + f.wrong, "get-nothing:" + tag}) {
            SCOPED_TRACE(faults);
            ExpectFailure(ProbeRun(probe, Faults(faults)),
                          {"Wrong LONG value fetched for tag " + tag + "."}, {});
        }
    }
}

TEST(WordProbe, RefusedCreateAndReopen)
{
    ExpectFailure(ProbeRun(probe, Faults("open:w")),
                  {"Can't create test TIFF file long_test.tiff."}, {});
    // The file is already closed when the reopen fails; it stays.
    ExpectFailure(ProbeRun(probe, Faults("open:r")), {"Can't open test TIFF file long_test.tiff."},
                  {"long_test.tiff"});
}

} // namespace
