// write_probe under injected faults: TIFFSetField refused where the rule
// says it must succeed and accepted where it must refuse, TIFFGetField
// giving another value or a text cut short, a byte of the written entry
// changed on its way to memory; each with its one line, exit status 1 and
// the failed case's file left.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "write_probe";

TEST(WriteProbe, CleanRunLeavesOnlyTheFilesOfItsLines)
{
    ExpectLeavesNamedFiles(ProbeRun(probe));
}

struct Case {
    const char *faults;
    const char *file;
    std::string line;
};

void ExpectCases(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line}, {c.file});
    }
}

// Orientation (274) is SHORT, 1 to 8 (the library refuses what is past
// it); NewSubfileType (254) three flag bits, which the library takes past;
// Software (305) a free text;
// XResolution (282) a RATIONAL set as a float; ImageWidth (256) is set
// again once the strip is written.
TEST(WriteProbe, SetResultAgainstItsRule)
{
    ExpectCases({
        {"set:274@write_274_hi_le.tif", "write_274_hi_le.tif",
         "write: tag 274, range edges, at its range's upper edge: TIFFSetField returned 0, "
         "expected 1 (1 case, first write_274_hi_le.tif)."},
        {"set:305@write_305_char1_be.btf", "write_305_char1_be.btf",
         "write: tag 305, text lengths, of one character: TIFFSetField returned 0, expected 1 "
         "(1 case, first write_305_char1_be.btf)."},
        // The man page's refusal reported as success.
        {"set-ok:256@write_256_after_data_le.tif", "write_256_after_data_le.tif",
         "write: tag 256, set once data is written, set once data is written: TIFFSetField "
         "returned 1, expected 0 (1 case, first write_256_after_data_le.tif)."},
        // Every case of the rule broken: counted, the first one's file.
        {"set:305", "write_305_char1_le.tif",
         "write: tag 305, text lengths, of one character: TIFFSetField returned 0, expected 1 "
         "(8 cases, first write_305_char1_le.tif)."},
        // An exact case may not make the library say anything.
        {"warn:274@write_274_hi_le.tif", "write_274_hi_le.tif",
         "write: tag 274, range edges, at its range's upper edge: the library reported a problem "
         "(1 case, first write_274_hi_le.tif)."},
        // A refusal that set the value all the same.
        {"set-kept:254@write_254_max_le.tif", "write_254_max_le.tif",
         "write: tag 254, out of range, at its type's greatest value: before the write: refused, "
         "but present (1 case, first write_254_max_le.tif)."},
        // A value out of range refused is within its rule: no line.
    });
    ExpectClean(ProbeRun(probe, Faults("set:274@write_274_past_range_le.tif")), {});
}

TEST(WriteProbe, FetchGivesAnotherValue)
{
    ExpectCases({
        {"get-u16:274@write_274_lo_be.tif=7", "write_274_lo_be.tif",
         "write: tag 274, range edges, at its range's lower edge: before the write: value 0 is "
         "0x7, expected 0x1 (1 case, first write_274_lo_be.tif)."},
        {"get-chop:305@write_305_long_le.tif", "write_305_long_le.tif",
         "write: tag 305, text lengths, longer than the inline slot: before the write: \"bcd\", "
         "expected \"bcde\" (1 case, first write_305_long_le.tif)."},
        {"get-float:282@write_282_limit0_le.btf=1", "write_282_limit0_le.btf",
         "write: tag 282, type limits, at its type's limit 4294967040: before the write: value "
         "0 is 1, expected 4294967040 (1 case, first write_282_limit0_le.btf)."},
        // A tolerated value accepted must come back exact too.
        {"get-u32:254@write_254_max_le.tif=7", "write_254_max_le.tif",
         "write: tag 254, out of range, at its type's greatest value: before the write: value "
         "0 is 0x7, expected 0xffffffff (1 case, first write_254_max_le.tif)."},
        // -0 of a private DOUBLE (65412) given back as +0: its sign counts.
        {"get-double:65412@write_65412_limit4_le.tif=0", "write_65412_limit4_le.tif",
         "write: tag 65412, type limits, at its type's limit -0: before the write: value 0 is 0, "
         "expected -0 (1 case, first write_65412_limit4_le.tif)."},
    });
}

// A byte of the entry's values changed after the close, in the memory the
// library wrote: what our reader finds on disk.
TEST(WriteProbe, WrittenValueCorrupted)
{
    ExpectCases({
        {"poke:274.0@write_274_hi_le.btf=9", "write_274_hi_le.btf",
         "write: tag 274, range edges, at its range's upper edge: on disk: value 0 is 0x9, "
         "expected 0x8 (1 case, first write_274_hi_le.btf)."},
        // Out of line: the last character of a text longer than the slot.
        {"poke:305.3@write_305_long_be.tif=122", "write_305_long_be.tif",
         "write: tag 305, text lengths, longer than the inline slot: on disk: byte 3 is 0x7a, "
         "expected 0x65 (1 case, first write_305_long_be.tif)."},
        // Per sample: the third sample's MinSampleValue (280) of three.
        {"poke:280.4@write_280_s3_le.tif=1", "write_280_s3_le.tif",
         "write: tag 280, per sample, on an image of 3 samples: on disk: value 2 is 0x1, "
         "expected 0x3 (1 case, first write_280_s3_le.tif)."},
        // The entry's count raised past the values written (byte 4: count).
        {"poke-entry:274.4@write_274_hi_le.tif=2", "write_274_hi_le.tif",
         "write: tag 274, range edges, at its range's upper edge: on disk: SHORT[2], expected 1 "
         "values (1 case, first write_274_hi_le.tif)."},
        // A private SHORT (65403) on disk as a LONG: not its registered type.
        {"poke-entry:65403.2@write_65403_max_le.tif=4", "write_65403_max_le.tif",
         "write: tag 65403, type limits, at its type's greatest value: on disk: type LONG, not "
         "the field's (1 case, first write_65403_max_le.tif)."},
    });
}

} // namespace
