// client_probe under injected faults. Its own procedures cannot be broken
// from outside, so the shim breaks what the library answers: a directory
// call said to succeed (client-ok), the open options' error handler that
// hears nothing (mute), a strip read wrong or short, a field fetched wrong,
// a set refused. Each breaks its own layout with its own lines, exit status
// 1, and the layout's file stays, besides what the clean run shows of the
// library's known defects. The sweep's handles are named sweep_NAME, so a
// rule for NAME breaks the round trip only.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "client_values.h"
#include "probe_run.h"

namespace {

const char probe[] = "client_probe";

// A clean run leaves exactly the files of the layouts its lines (the
// library's known defects) name.
TEST(ClientProbe, CleanRunLeavesOnlyTheFilesOfLayoutsWithLines)
{
    ExpectLeavesNamedFiles(ProbeRun(probe));
}

struct Case {
    std::string faults;
    std::string file; // the layout the fault breaks
    std::vector<std::string> lines;
};

void ExpectCases(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), c.lines, {c.file});
    }
}

// The round trip through the probe's procedures and through a descriptor.
TEST(ClientProbe, RoundTripFaults)
{
    const std::string host_btf = HostBigEndian() ? "client_be.btf" : "client_le.btf";
    ExpectCases({
        {"read-byte:1.3@client_le.tif=0",
         "client_le.tif",
         {"Wrong image data in strip 1 of client_le.tif, page 0."}},
        // The BigTIFF file of the host's order: the other one stops at the
        // known checkpoint defect before its pages are read.
        {"get-u32:256@" + host_btf + "=7",
         host_btf,
         {"Wrong LONG value fetched for tag 256 in " + host_btf +
              ", page 0: value 0 is 0x7, "
              "expected 0x18.",
          "Wrong LONG value fetched for tag 256 in " + host_btf +
              ", page 1: value 0 is 0x7, "
              "expected 0x9."}},
        {"write-strip:1@client_be.tif=-1",
         "client_be.tif",
         {"Can't write image data in client_be.tif, page 0."}},
        {"set:270@client_fd.tif", "client_fd.tif", {"Can't set tag 270 in client_fd.tif, page 0."}},
        // A read one byte short of the strip, though every byte is right.
        {"read-short:0@client_fd.btf",
         "client_fd.btf",
         {"Can't read image data in strip 0 of client_fd.btf, page 0.",
          "Can't read image data in strip 0 of client_fd.btf, page 1."}},
        {"warn:270@client_fd.btf",
         "client_fd.btf",
         {"client_fd.btf: the library reported a problem."}},
        {"get-u16:258@client_fd.btf=16",
         "client_fd.btf",
         {"Wrong SHORT value fetched for tag 258 in client_fd.btf, page 0: value 0 is 0x10, "
          "expected 0x8.",
          "Wrong SHORT value fetched for tag 258 in client_fd.btf, page 1: value 0 is 0x10, "
          "expected 0x8."}},
        {"get-chop:270@client_be.tif",
         "client_be.tif",
         {"Wrong ASCII value fetched for tag 270 in client_be.tif, page 0: \"client page \", "
          "expected \"client page 0\".",
          "Wrong ASCII value fetched for tag 270 in client_be.tif, page 1: \"client page \", "
          "expected \"client page 1\"."}},
        // A strip read one byte too long: more than the strip holds.
        {"read-long:0@client_le.tif",
         "client_le.tif",
         {"Can't read image data in strip 0 of client_le.tif, page 0.",
          "Can't read image data in strip 0 of client_le.tif, page 1."}},
        {"get:257@client_fd.tif",
         "client_fd.tif",
         {"Problem fetching tag 257 in client_fd.tif, page 0.",
          "Problem fetching tag 257 in client_fd.tif, page 1."}},
        // A TIFFClose that never calls the close procedure.
        {"no-close@client_le.tif",
         "client_le.tif",
         {"client_le.tif: the close procedure: called 0 times by a handle opened \"wl\", "
          "expected 1."}},
        // A TIFFCleanup that closes the descriptor its caller must close.
        {"cleanup-closes@client_fd.btf",
         "client_fd.btf",
         {"client_fd.btf: TIFFOpen(3tiff): TIFFCleanup closed the descriptor."}},
    });
}

// The limit's control: the same page must read under an ample limit, so a
// refusal there is a line of its own.
TEST(ClientProbe, AmpleLimitRefused)
{
    ExpectCases({
        {"get:273@client_options.tif",
         "client_options.tif",
         {"client_options.tif: TIFFOpenOptionsSetMaxSingleMemAlloc: a directory of 1024 strips "
          "refused under a limit of 65536 bytes."}},
        {"read-result:1023@client_options.tif=-1",
         "client_options.tif",
         {"client_options.tif: TIFFOpenOptionsSetMaxSingleMemAlloc: a directory of 1024 strips "
          "refused under a limit of 65536 bytes."}},
    });
}

// The descriptor's files stay through the keep rule; the memory images are
// written only when a layout fails.
TEST(ClientProbe, KeepLeavesTheDescriptorFiles)
{
    ExpectClean(ProbeRun(probe, Faults("keep")), {"client_fd.tif", "client_fd.btf"});
}

// The descriptor's files of a passing run, kept, read by tifffile, which
// shares no code with the TIFF library.
TEST(ClientProbe, DescriptorFilesDecodedByTifffile)
{
    if (!TifffileUnavailable().empty())
        GTEST_SKIP() << TifffileUnavailable();
    const ProbeRun run(probe, Faults("keep"));
    ASSERT_TRUE(run.exited()) << run.describe();
    ExpectScriptPasses(CLIENT_FILES_SCRIPT, {run.path("client_fd.tif"), run.path("client_fd.btf")});
}

// The tables the probe's judgement rests on.
TEST(ClientProbe, LimitsBracketTheStripArrays)
{
    // Below the arrays in either width (4 bytes a strip on disk in a
    // classic file, 8 as TIFFGetField gives them), and far above both.
    EXPECT_LT(client::refused_limit, 4L * client::limit_strips);
    EXPECT_GE(client::ample_limit, 16L * client::limit_strips);
}

TEST(ClientProbe, StepsInOrderAndOnlyTheReaderReads)
{
    for (size_t i = 0; i < client::step_count; i++) {
        const client::StepInfo &s = client::steps[i];
        SCOPED_TRACE(s.name);
        EXPECT_EQ(static_cast<size_t>(s.step), i);
        // Only TIFFClose returns nothing (TIFFClose(3tiff)).
        EXPECT_EQ(s.returns_status, std::string(s.call) != "TIFFClose");
        EXPECT_EQ(s.writes, s.step != client::Step::OpenRead && s.step != client::Step::ReadDir);
    }
}

TEST(ClientProbe, PagesTellApart)
{
    // The update must outgrow the directory's old place.
    EXPECT_GT(sizeof(client::updated_description), strlen(client::pages[0].description) + 1);
    // A strip shifted by a byte, or another page's strip, shows.
    for (size_t i = 0; i + 1 < 256; i++) {
        EXPECT_NE(client::Pixel(0, i), client::Pixel(0, i + 1));
        EXPECT_NE(client::Pixel(0, i), client::Pixel(1, i));
    }
    // A page of several strips ends in a short one.
    for (const client::Page &p : client::pages) {
        if (p.length > p.rows_per_strip) {
            EXPECT_NE(p.length % p.rows_per_strip, 0U) << p.description;
        }
    }
}

// A library that reports a failure as success, or says nothing of it: the
// sweep's rule names the step, the fault, how many cases of how many and
// the first.
TEST(ClientProbe, FailureReportedAsSuccess)
{
    ExpectCases({
        {"client-ok:Write@sweep_client_le.tif",
         "client_le.tif",
         {"client_le.tif: directory write: a failed write reported as success by "
          "TIFFWriteDirectory in 4 of 4 cases, the first at write 1.",
          "client_le.tif: directory write: a failed seek reported as success by "
          "TIFFWriteDirectory in 4 of 4 cases, the first at seek 1."}},
        {"client-ok:Checkpoint@sweep_client_be.tif",
         "client_be.tif",
         {"client_be.tif: checkpoint: a failed write reported as success by "
          "TIFFCheckpointDirectory in 4 of 5 cases, the first at write 1.",
          "client_be.tif: checkpoint: a failed seek reported as success by "
          "TIFFCheckpointDirectory in 5 of 7 cases, the first at seek 1."}},
        // A close whose failures reach no handler: the only way TIFFClose
        // could report them is gone.
        {"mute:Close@sweep_client_le.tif",
         "client_le.tif",
         {"client_le.tif: close after writing: a short read without a message in 2 of 2 cases, "
          "the first at read 1.",
          "client_le.tif: close after writing: a failed write without a message in 3 of 3 "
          "cases, the first at write 1.",
          "client_le.tif: close after writing: a failed seek without a message in 6 of 6 cases, "
          "the first at seek 1."}},
        // A directory read said to succeed past the last page: the run
        // without faults no longer reads back whole, and the sweep stops.
        {"client-ok:Read@sweep_client_be.tif",
         "client_be.tif",
         {"client_be.tif: the steps without a fault do not read back whole."}},
    });
}

// The open options' handler that hears nothing: each promise of the
// handler's is one line, and the limit's refusal has no message either.
TEST(ClientProbe, HandlerNotCalled)
{
    ExpectCases({
        {"mute@client_options.tif",
         "client_options.tif",
         // Each line is a literal of its own, split to fit.
         // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
         {"client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: called 0 times for one "
          "message, expected 1.",
          "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: called 0 times for one "
          "message, expected 1.",
          "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: the library-wide handler "
          "called 0 times, expected 1, the handler returning 0.",
          "client_options.tif: TIFFOpenOptionsSetErrorHandlerExtR: not called for the "
          "library's error on an unknown tag.",
          "client_options.tif: TIFFOpenOptionsSetMaxSingleMemAlloc: a directory of 1024 strips "
          "refused without a message."}},
    });
}

} // namespace
