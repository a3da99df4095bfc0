// codec_probe under injected library faults: a clean run is the baseline,
// and each fault must add exactly its own lines, and its layout's file.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tiffio.h>

#include "probe_run.h"

namespace {

const char probe[] = "codec_probe";

TEST(CodecProbe, CleanRunPassesOrSaysWhy)
{
    const ProbeRun run(probe);
    ASSERT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.status(), run.own_lines().empty() ? 0 : 1) << run.describe();
    // A skip is said on standard output, only by a run that passed.
    for (const std::string &line : run.stdout_lines())
        EXPECT_EQ(line.rfind("skipped: no ", 0), 0U) << line;
}

// Valgrind finds no memory error and no definitely lost block in a clean
// run, which prints what it prints without it.
TEST(CodecProbe, CleanRunUnderMemcheck)
{
    const std::string unavailable = MemcheckUnavailable();
    if (!unavailable.empty())
        GTEST_SKIP() << unavailable;
    ProbeOptions options;
    options.wrapper = MemcheckWrapper();
    const ProbeRun run(probe, options);
    EXPECT_TRUE(run.exited()) << run.describe();
    EXPECT_EQ(run.own_lines(), CleanRun(probe).lines) << run.describe();
}

TEST(CodecProbe, EachFaultAddsItsLineAndFile)
{
    const bool lerc = TIFFIsCODECConfigured(COMPRESSION_LERC) != 0;
    // The float 0.25 at byte 12288 of the SGILog and per-sample pages, in
    // the file of the host's order (whose SGILog page passes): its high byte
    // wrong is out of LogL's precision, its low byte wrong within it.
    const bool big = HostBigEndian();
    const std::string own = big ? "codec_be.tif" : "codec_le.tif";
    const std::string high = big ? "12288" : "12291";
    const std::string low = big ? "12291" : "12288";
    const std::string last = big ? "16380" : "16383";
    const std::string mid = big ? "12290" : "12289"; // a float's bits 8 to 15
    const std::string wrong = "Wrong image data in strip 0 of " + own;
    // The word's other bytes, which a check that goes on counts: all four
    // on the raw page, the second 16-bit sample on the per sample page.
    const std::string raw_more =
        wrong + ", SGILog raw: 3 more bytes differ, the last at byte 12291.";
    const std::string sample_more = wrong + ", per sample: 1 more bytes differ, the last at byte " +
                                    (big ? "12291." : "12289.");
    const struct {
        std::string faults;
        std::vector<std::string> lines;
        std::set<std::string> files;
    } cases[] = {
        // A pseudo-field that comes back wrong: both JPEG quality pages; a
        // Deflate level on its page; a fetch refused.
        {"get-u32:65537@codec_le.tif=75",
         {"Wrong SLONG value fetched for tag 65537 in codec_le.tif, JPEG quality 90: value 0 is "
          "0x4b, expected 0x5a.",
          "Wrong SLONG value fetched for tag 65537 in codec_le.tif, JPEG quality 37: value 0 is "
          "0x4b, expected 0x25."},
         {"codec_le.tif"}},
        {"get-u32:65557@codec_be.btf=6",
         {"Wrong SLONG value fetched for tag 65557 in codec_be.btf, Deflate level 2: value 0 is "
          "0x6, expected 0x2.",
          "Wrong SLONG value fetched for tag 65557 in codec_be.btf, Deflate level 9: value 0 is "
          "0x6, expected 0x9.",
          // The LERC page only where the library has LERC (not on s390x).
          lerc ? "Wrong SLONG value fetched for tag 65557 in codec_be.btf, LERC: value 0 is 0x6, "
                 "expected 0x3."
               : ""},
         {"codec_be.btf"}},
        {"get:65562@codec_le.btf",
         {"Problem fetching tag 65562 in codec_le.btf, LZMA preset 2.",
          "Problem fetching tag 65562 in codec_le.btf, LZMA preset 9."},
         {"codec_le.btf"}},
        // A tag the page never set stands on disk, where SMinSampleValue
        // stood: SMinSampleValue is missing.
        {"poke-entry:340.1@codec_le.tif:w=0",
         {"codec_le.tif: per sample: tag 84 on disk: not set by the page.",
          "codec_le.tif: per sample: tag 340 on disk: missing.",
          "codec_le.tif: the library reported a problem."},
         {"codec_le.tif"}},
        // A setting TIFFSetField(3tiff) fixes once data is written, changed.
        {"set-ok:65538@codec_le.tif",
         {"codec_le.tif: JPEG quality 90: tag 65538 changed after the image was written, "
          "unlike TIFFSetField(3tiff)'s promise.",
          "codec_le.tif: JPEG quality 37: tag 65538 changed after the image was written, "
          "unlike TIFFSetField(3tiff)'s promise.",
          "codec_le.tif: JPEG tables: tag 65538 changed after the image was written, "
          "unlike TIFFSetField(3tiff)'s promise."},
         {"codec_le.tif"}},
        // The tables mode, the fax mode lost.
        {"get-u32:65539@codec_be.tif=3",
         {"Wrong SLONG value fetched for tag 65539 in codec_be.tif, JPEG tables: value 0 is 0x3, "
          "expected 0x2."},
         {"codec_be.tif"}},
        {"get-u32:65536@codec_le.btf=0",
         {"Wrong SLONG value fetched for tag 65536 in codec_le.btf, Group 3 fax: value 0 is 0x0, "
          "expected 0x4."},
         {"codec_le.btf"}},
        // The tables page's JPEGTables stands as another tag, which the
        // library warns of: missing.
        {"poke-entry:347/2.1@codec_le.tif:w=0",
         {"codec_le.tif: JPEG tables: tag 91 on disk: not set by the page.",
          "codec_le.tif: JPEG tables: tag 347 on disk: missing.",
          "codec_le.tif: the library reported a problem."},
         {"codec_le.tif"}},
        // A setting taken and ignored: its effect is missing too.
        {"set-ignored:65537@codec_le.tif",
         {"Wrong SLONG value fetched for tag 65537 in codec_le.tif, JPEG quality 90: value 0 is "
          "0x4b, expected 0x5a.",
          "Wrong SLONG value fetched for tag 65537 in codec_le.tif, JPEG quality 37: value 0 is "
          "0x4b, expected 0x25.",
          "codec_le.tif: JPEG quality 37: strip 0 on disk: 190 bytes, expected fewer than 190."},
         {"codec_le.tif"}},
        {"set-ignored:65562@codec_be.btf",
         {"Wrong SLONG value fetched for tag 65562 in codec_be.btf, LZMA preset 2: value 0 is "
          "0x6, expected 0x2.",
          "Wrong SLONG value fetched for tag 65562 in codec_be.btf, LZMA preset 9: value 0 is "
          "0x6, expected 0x9.",
          "codec_be.btf: LZMA preset 9: strip 0 on disk: 876 bytes, expected other than 876."},
         {"codec_be.btf"}},
        {"set-ignored:65539@codec_be.tif",
         {"Wrong SLONG value fetched for tag 65539 in codec_be.tif, JPEG tables: value 0 is 0x3, "
          "expected 0x2.",
          "codec_be.tif: JPEG tables: tag 347 on disk: holds quantization tables."},
         {"codec_be.tif"}},
        // A per-sample value, and a byte of the uncompressed page past its
        // first 8 KB, wrong.
        {"poke:340.0@codec_le.btf=1",
         {"codec_le.btf: per sample: tag 340 on disk: value 0 is 1.50000012, expected 1.5."},
         {"codec_le.btf"}},
        {"read-byte:0.20000@codec_be.tif=1",
         // 16-bit samples: the pattern's byte as the host holds it.
         {std::string("Wrong image data in strip 0 of codec_be.tif, per sample: byte 20000 is "
                      "0x01, expected ") +
          (HostBigEndian() ? "0x40." : "0x00.")},
         {"codec_be.tif"}},
        // A byte of the LogLuv words in the file of the host's order, which
        // come back exact: the low byte of a float of the other pages, 0 on
        // the per sample page, and within the float SGILog page's error.
        {"read-byte:0." + std::string(big ? "16003" : "16000") + "@" + own + "=0",
         {wrong + ", SGILog raw: byte " +
          (big ? "16003 is 0x00, expected 0x36." : "16000 is 0x00, expected 0x22.")},
         {own}},
        // SGILog's data format refused on the reading handle: both pages.
        {"set:65560@codec_le.tif:r",
         {"Can't set tag 65560 in codec_le.tif, SGILog.",
          "Can't set tag 65560 in codec_le.tif, SGILog raw."},
         {"codec_le.tif"}},
        // A strip read that says it gave more than the strip holds.
        {"read-long:0.0@codec_be.tif",
         {"Can't read image data in strip 0 of codec_be.tif, JPEG quality 90."},
         {"codec_be.tif"}},
        // 0x39, the raw page's byte there too, which passes.
        {"read-byte:0." + high + "@" + own + "=57",
         {wrong + ", SGILog: byte " + high + " is 0x39, expected 0x3e.",
          wrong + ", per sample: byte " + high + " is 0x39, expected 0x3e."},
         {own}},
        {"read-byte:0." + low + "@" + own + "=57",
         {wrong + ", per sample: byte " + low + " is 0x39, expected 0x00."},
         {own}},
        // The float's bits as 0.25 times 2^(1.5/256), out of LogL's
        // precision (1/256 in log2), then 2^(0.5/256), within it; the
        // other two pages compare bytes.
        {"read-word:0.12288@" + own + "=0x3e80855b",
         {wrong + ", SGILog: byte " + mid + " is 0x85, expected 0x00.",
          wrong + ", SGILog raw: byte 12288 is " + (big ? "0x3e" : "0x5b") + ", expected 0x39.",
          raw_more,
          wrong + ", per sample: byte " + (big ? mid + " is 0x85" : "12288 is 0x5b") +
              ", expected 0x00.",
          sample_more},
         {own}},
        {"read-word:0.12288@" + own + "=0x3e802c64",
         {wrong + ", SGILog raw: byte 12288 is " + (big ? "0x3e" : "0x64") + ", expected 0x39.",
          raw_more,
          wrong + ", per sample: byte " + (big ? mid + " is 0x2c" : "12288 is 0x64") +
              ", expected 0x00.",
          sample_more},
         {own}},
        // The last float, 4.0: its high byte is the raw page's byte there.
        {"read-byte:0." + last + "@" + own + "=55",
         {wrong + ", SGILog: byte " + last + " is 0x37, expected 0x40.",
          wrong + ", per sample: byte " + last + " is 0x37, expected 0x40."},
         {own}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        std::vector<std::string> lines;
        for (const std::string &l : c.lines) {
            if (!l.empty())
                lines.push_back(l);
        }
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), lines, c.files);
    }
    // LERC's maximum error kept as a float: its value has bits a float lacks.
    if (lerc) {
        ExpectFailure(ProbeRun(probe, Faults("get-narrow:65567@codec_le.tif")),
                      {"Wrong DOUBLE value fetched for tag 65567 in codec_le.tif, LERC: value 0 is "
                       "0.375, expected 0.375000001."},
                      {"codec_le.tif"});
    }
}

} // namespace
