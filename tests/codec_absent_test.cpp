// A library built without one codec (the fault shim's no-codec rule:
// TIFFIsCODECConfigured gives 0, and reads and writes of that Compression
// fail with the library's message) fails no probe: each page that needs the
// codec is written without it or not run, and a probe that passes says so
// once, which the runner shows on the probe's line and counts in the
// closing line (", K with skips").
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

struct Absent {
    unsigned compression;
    const char *codec;               // as the skip line names it
    std::vector<std::string> probes; // those with a page that needs it
};

TEST(CodecAbsent, EveryProbePassesWithItsSkipLines)
{
    const Absent rows[] = {
        {5, "LZW", {"field_probe", "tile_probe", "codec_probe", "print_probe"}},
        {7, "JPEG", {"field_probe", "codec_probe", "print_probe"}},
        {8, "Deflate", {"field_probe", "tile_probe", "codec_probe"}},
        {3, "CCITT", {"field_probe", "codec_probe"}},
        {4, "CCITT", {"field_probe", "codec_probe"}},
        // No configure switch leaves PackBits out, and the original
        // strip_probe needs it by its contract: it fails without it, the one
        // FAIL allowed below.
        {32773, "PackBits", {"type_probe", "tile_probe", "read_probe", "print_probe"}},
        {34676, "SGILog", {"codec_probe"}},
        {34925, "LZMA", {"codec_probe"}},
        {50000, "ZSTD", {"codec_probe"}},
        {32909, "PixarLog", {"codec_probe"}},
    };
    // Each row is a whole verdict: under the sanitizers and QEMU, a sample.
    for (const Absent &row : Sampled(rows)) {
        const std::string rule = "no-codec:" + std::to_string(row.compression);
        SCOPED_TRACE(rule);
        // No time limit: a whole verdict, in a sanitizer build too.
        const ProbeRun run(RUNNER_PATH, RunnerOptions({"--timeout", "0"}, rule));
        const bool packbits = row.compression == 32773;
        ASSERT_TRUE(run.exited()) << run.describe();
        // strip_probe linked to the static library (the static preset) is
        // out of the shim's reach, so it passes there.
        if (packbits) {
            EXPECT_TRUE(run.status() == 0 || run.status() == 1) << run.describe();
        } else {
            EXPECT_EQ(run.status(), 0) << run.describe();
        }
        const std::vector<std::string> &out = run.stdout_lines();
        ASSERT_FALSE(out.empty()) << run.describe();
        size_t with_skips = 0;
        for (const std::string &l : out)
            with_skips += l.rfind("PASS ", 0) == 0 && l.find(" (skipped: ") != std::string::npos;
        if (with_skips > 0) {
            EXPECT_NE(out.back().find(", " + std::to_string(with_skips) + " with skips"),
                      std::string::npos)
                << run.describe();
        }
        for (size_t i = 0; i < out.size(); i++) {
            if (out[i].rfind("FAIL ", 0) == 0) {
                EXPECT_TRUE(packbits && out[i] == "FAIL strip_probe") << run.describe();
            }
            for (const std::string &probe : row.probes) {
                // Only a passing probe says what it skipped, on its own line.
                if (out[i].rfind("PASS " + probe + " ", 0) != 0 && out[i] != "PASS " + probe)
                    continue;
                const std::string pass = "PASS " + probe + " (skipped: no " + row.codec + " codec)";
                EXPECT_EQ(out[i], pass) << run.describe();
            }
        }
    }
}

} // namespace
