// print_probe under injected faults: TIFFPrintDirectory printing a wrong
// value, dropping a field or a line of a table, adding a field, and the
// setup refused; each fails its own layout with its line, exit status 1, and
// the failed layout's file stays, besides what a clean run shows of the
// library's known defects.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe_run.h"

namespace {

const char probe[] = "print_probe";

TEST(PrintProbe, CleanRunLeavesOnlyTheFilesOfLayoutsWithLines)
{
    ExpectLeavesNamedFiles(ProbeRun(probe));
}

struct Case {
    const char *faults;
    const char *file; // the layout the fault breaks
    std::string line;
};

void ExpectCases(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        // A case in memory ("" its file) leaves none.
        ExpectFailure(ProbeRun(probe, Faults(c.faults)), {c.line},
                      *c.file ? std::set<std::string>{c.file} : std::set<std::string>{});
    }
}

// The calls of a layout, seven flags a directory: page 0 is calls 1 to 7
// (TIFFPRINT_NONE, _STRIPS, _CURVES, _COLORMAP, _JPEGQTABLES,
// _JPEGACTABLES, the first three together), page 1 8 to 14, page 2 15 to 21,
// page 3 22 to 28, the EXIF IFD 29 to 35, the GPS IFD 36 to 42.
TEST(PrintProbe, WrongValues)
{
    ExpectCases({
        // A rational of a line that holds two fields and a unit.
        {"print-digit:2.3@prints_be.tif=9", "prints_be.tif",
         "prints_be.tif: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): tag 282 (XResolution) "
         "printed as \"72.25, 300.9 pixels/cm\", expected 72.25, 300.5."},
        {"print-digit:29.1@prints_le.btf=9", "prints_le.btf",
         "prints_le.btf: EXIF IFD: TIFFPrintDirectory(TIFFPRINT_NONE): tag 33434 (ExposureTime) "
         "printed as \"0.125009\", expected 0.125."},
        // One entry of the palette and of the curves, with their flags.
        {"print-digit:11.12@prints_le.tif=9", "prints_le.tif",
         "prints_le.tif: page 1: TIFFPrintDirectory(TIFFPRINT_COLORMAP): tag 320 (ColorMap): "
         "entry 3 printed as \"3: 13114 13380 13649\", expected 13114, 13380, 13646."},
        {"print-digit:17.21@prints_be.tif=9", "prints_be.tif",
         "prints_be.tif: page 2: TIFFPrintDirectory(TIFFPRINT_CURVES): tag 301 "
         "(TransferFunction): entry 7 printed as \"7: 28001 28018 28039\", expected 28001, "
         "28018, 28035."},
        // The count on the strips' own line.
        {"print-digit:2.47@prints_be.tif=3", "prints_be.tif",
         "prints_be.tif: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): \"3 Strips\" and 2 strips "
         "printed, expected 2."},
        // The heading's offset.
        {"print-digit:36.0@prints_be.btf=1", "prints_be.btf",
         "prints_be.btf: GPS IFD: TIFFPrintDirectory(TIFFPRINT_NONE): the heading \"TIFF "
         "Directory at offset 0x13a (311)\" does not name offset 314."},
    });
}

// Page 0 printed without flags (call 1): a value of each kind altered.
TEST(PrintProbe, WrongValuesOfEachKind)
{
    ExpectCases({
        // A value the standard names, by its words and its number.
        {"print-digit:1.1@prints_le.tif=7", "prints_le.tif",
         "prints_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 254 (NewSubfileType) "
         "printed as \"multi-page document (2 = 0x7)\", expected 2."},
        {"print-digit:1.14@prints_be.tif=5", "prints_be.tif",
         "prints_be.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 274 (Orientation) "
         "printed as \"row 0 rhs, col 5 top\", expected 6."},
        {"print-digit:15.6@prints_be.btf=3", "prints_be.btf",
         "prints_be.btf: page 2: TIFFPrintDirectory(TIFFPRINT_NONE): tag 338 (ExtraSamples) "
         "printed as \"3<unassoc-alpha>\", expected 2."},
        // A text, a pair, a rational pair, a block's length, a link.
        {"print-digit:1.31@prints_be.btf=9", "prints_be.btf",
         "prints_be.btf: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 306 (DateTime) printed "
         "as \"2026:12:09 02:30:09\", expected \"2026:12:09 02:30:00\"."},
        {"print-digit:1.22@prints_le.tif=9", "prints_le.tif",
         "prints_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 297 (PageNumber) "
         "printed as \"2-9\", expected 2, 7."},
        {"print-digit:1.34@prints_be.tif=7", "prints_be.tif",
         "prints_be.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 318 (WhitePoint) "
         "printed as \"0.3125-0.328127\", expected 0.3125, 0.328125."},
        {"print-digit:1.42@prints_be.btf=9", "prints_be.btf",
         "prints_be.btf: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 34377 (Photoshop) "
         "printed as \"<present>, 19 bytes\", expected 13 bytes."},
        {"print-digit:1.43@prints_le.tif=9", "prints_le.tif",
         "prints_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 34665 (ExifIFD) "
         "printed as \"0x9\", expected 8."},
        {"print-digit:22.8@prints_be.tif=1", "prints_be.tif",
         "prints_be.tif: page 3: TIFFPrintDirectory(TIFFPRINT_NONE): tag 347 (JPEGTables) "
         "printed as \"(281 bytes)\", expected 289 bytes."},
        {"print-digit:36.3@prints_le.btf=9", "prints_le.btf",
         "prints_le.btf: GPS IFD: TIFFPrintDirectory(TIFFPRINT_NONE): tag 2 (GPSLatitude) "
         "printed as \"52.000000,30.250000,1.500009\", expected 52, 30.25, 1.5."},
    });
}

TEST(PrintProbe, DroppedLines)
{
    ExpectCases({
        // Several strings in one field, and an XMP packet's text.
        {"print-drop:1.9@prints_le.btf", "prints_le.btf",
         "prints_le.btf: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 333 (InkNames) not "
         "printed."},
        {"print-drop:1.40@prints_le.btf", "prints_le.btf",
         "prints_le.btf: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 700 (XMLPacket) "
         "printed as \"\", expected \"<x:xmpmeta xmlns:x='adobe:ns:meta/'/>\"."},
        // The last field of the GPS IFD.
        {"print-drop:36.9@prints_le.tif", "prints_le.tif",
         "prints_le.tif: GPS IFD: TIFFPrintDirectory(TIFFPRINT_NONE): tag 30 (GPSDifferential) not "
         "printed."},
        {"print-drop:1.8@prints_le.tif", "prints_le.tif",
         "prints_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 262 "
         "(PhotometricInterpretation) not printed."},
        // The last palette entry, the first strip, the strips' own line.
        {"print-drop:11.24@prints_le.tif", "prints_le.tif",
         "prints_le.tif: page 1: TIFFPrintDirectory(TIFFPRINT_COLORMAP): tag 320 (ColorMap): 15 "
         "entries printed, expected 16."},
        {"print-drop:2.48@prints_be.tif", "prints_be.tif",
         "prints_be.tif: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): strip 0 printed as \"1: "
         "[     458,       23]\", expected 435, 23."},
        {"print-drop:22.0@prints_be.btf", "prints_be.btf",
         "prints_be.btf: page 3: TIFFPrintDirectory(TIFFPRINT_NONE): the heading \"\" does not "
         "name offset 3942."},
    });
}

// The strips' own line dropped: their lines then stand under the field
// printed before them, which they make wrong.
TEST(PrintProbe, StripsWithoutTheirLine)
{
    ExpectFailure(ProbeRun(probe, Faults("print-drop:2.47@prints_be.tif")),
                  {"prints_be.tif: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): tag 317 "
                   "(Predictor) printed as \"horizontal differencing 2 (0x2) / 0: [     435,       "
                   "23] / 1: [     458,       23]\", expected 2.",
                   "prints_be.tif: page 0: TIFFPrintDirectory(TIFFPRINT_STRIPS): the strips not "
                   "printed."},
                  {"prints_be.tif"});
}

TEST(PrintProbe, AddedFields)
{
    ExpectCases({
        // Fields the palette page and the GPS IFD do not hold, and one page 0
        // holds, twice.
        {"print-add:8@prints_le.btf=315", "prints_le.btf",
         "prints_le.btf: page 1: TIFFPrintDirectory(TIFFPRINT_NONE): \"Artist\" printed, not a "
         "field the directory holds."},
        {"print-add:42@prints_be.tif=3", "prints_be.tif",
         "prints_be.tif: GPS IFD: TIFFPrintDirectory(TIFFPRINT_STRIPS|TIFFPRINT_CURVES|"
         "TIFFPRINT_COLORMAP): \"LongitudeRef\" printed, not a field the directory holds."},
        {"print-add:1@prints_le.tif=305", "prints_le.tif",
         "prints_le.tif: page 0: TIFFPrintDirectory(TIFFPRINT_NONE): tag 305 (Software) printed "
         "again."},
    });
}

// The generated cases, in memory: a fault in one fails it with its line and
// exit 1, and leaves no file of its own. Calls count each handle name's
// prints: print_enums one a case in the table's order (Compression 99 is
// call 20, Threshholding 4 call 40, Orientation 5 call 47, InkSet 3 call
// 55, ResolutionUnit 3 call 73); print_fields the volume's seven flags 1
// to 7, the ink names 8; print_private its seven flags 1 to 7.
TEST(PrintProbe, GeneratedCases)
{
    const std::vector<Case> cases = {
        // An enumerated value by its words, and values no standard names.
        {"print-digit:47.3@print_enums=4", "",
         "print_enums: Orientation 5: TIFFPrintDirectory(TIFFPRINT_NONE): tag 274 "
         "(Orientation) "
         "printed as \"row 0 lhs, col 4 top\", expected 5."},
        {"print-digit:40.3@print_enums=5", "",
         "print_enums: Threshholding 4: TIFFPrintDirectory(TIFFPRINT_NONE): tag 263 "
         "(Threshholding) printed as \"4 (0x5)\", expected 4."},
        {"print-digit:20.2@print_enums=8", "",
         "print_enums: Compression 99: TIFFPrintDirectory(TIFFPRINT_NONE): tag 259 "
         "(Compression) "
         "printed as \"99 (0x68)\", expected 99."},
        {"print-digit:3.1@print_enums=5", "",
         "print_enums: NewSubfileType 2: TIFFPrintDirectory(TIFFPRINT_NONE): tag 254 "
         "(NewSubfileType) printed as \"multi-page document (2 = 0x5)\", expected 2."},
        {"print-digit:7.1@print_enums=3", "",
         "print_enums: NewSubfileType 16: TIFFPrintDirectory(TIFFPRINT_NONE): tag 254 "
         "(NewSubfileType) printed as \"(16 = 0x13)\", expected 16."},
        {"print-digit:55.3@print_enums=4", "",
         "print_enums: InkSet 3: TIFFPrintDirectory(TIFFPRINT_NONE): tag 332 (InkSet) printed as "
         "\"4\", expected 3."},
        {"print-digit:67.3@print_enums=1", "",
         "print_enums: YCbCrPositioning 3: TIFFPrintDirectory(TIFFPRINT_NONE): tag 531 "
         "(YCbCrPositioning) printed as \"3 (0x1)\", expected 3."},
        // A codec's field, with its codec.
        {"print-digit:69.3@print_enums=3", "",
         "print_enums: Predictor 2: TIFFPrintDirectory(TIFFPRINT_NONE): tag 317 (Predictor) "
         "printed as \"horizontal differencing 2 (0x3)\", expected 2."},
        // The fields no page sets: depths, per-sample values, offsets,
        // an exponent, coefficients, the halftone's cell and hints.
        {"print-digit:1.2@print_fields=3", "",
         "print_fields: volume: TIFFPrintDirectory(TIFFPRINT_NONE): tag 32998 (TileDepth) "
         "printed as \"3\", expected 2."},
        {"print-digit:1.6@print_fields=7", "",
         "print_fields: volume: TIFFPrintDirectory(TIFFPRINT_NONE): tag 340 (SMinSampleValue) "
         "printed as \"1.5 2.5 3.7\", expected 1.5, 2.5, 3.5."},
        {"print-digit:1.8@print_fields=3", "",
         "print_fields: volume: TIFFPrintDirectory(TIFFPRINT_NONE): tag 330 (SubIFDs) printed as "
         "\"1000  2003\", expected 1000, 2000."},
        {"print-digit:1.9@print_fields=3", "",
         "print_fields: volume: TIFFPrintDirectory(TIFFPRINT_NONE): tag 37439 (StoNits) printed "
         "as \"7.5000e-03\", expected 0.75."},
        {"print-digit:1.10@print_fields=3", "",
         "print_fields: volume: TIFFPrintDirectory(TIFFPRINT_NONE): tag 529 (YCbCrCoefficients) "
         "printed as \"0.250000,0.500000,0.125003\", expected 0.25, 0.5, 0.125."},
        {"print-digit:12.5@print_fields=4", "",
         "print_fields: halftone: TIFFPrintDirectory(TIFFPRINT_COLORMAP): tag 264 (CellWidth) "
         "printed as \"4\", expected 5."},
        {"print-digit:11.4@print_fields=2", "",
         "print_fields: halftone: TIFFPrintDirectory(TIFFPRINT_CURVES): tag 321 (HalftoneHints) "
         "printed as \"light 12 dark 242\", expected 12, 243."},
        // The unit's resolutions; private values of each kind of type.
        {"print-digit:73.2@print_enums=7", "",
         "print_enums: ResolutionUnit 3: TIFFPrintDirectory(TIFFPRINT_NONE): tag 282 "
         "(XResolution) printed as \"96.5, 48.27 pixels/cm\", expected 96.5, 48.25."},
        {"print-digit:1.10@print_private=7", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65108 "
         "(PrintPrivateManySSHORT) printed as \"-301,302,-32767\", expected -301, 302, -32768."},
        {"print-digit:1.12@print_private=1", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65104 "
         "(PrintPrivateManyLONG) printed as \"70001,4294967291\", expected 70001, 4294967295."},
        {"print-digit:1.31@print_private=5", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65018 "
         "(PrintPrivateOneIFD8) printed as \"0x165a0bc05\", expected 6000000000."},
        {"print-digit:1.4@print_private=6", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65101 "
         "(PrintPrivateManyBYTE) printed as \"11,12,16\", expected 11, 12, 13."},
        {"print-digit:1.16@print_private=3", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65105 "
         "(PrintPrivateManyRATIONAL) printed as \"0.500000,0.250000,1000.000003\", expected 0.5, "
         "0.25, 1000."},
        {"print-digit:1.17@print_private=3", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65010 "
         "(PrintPrivateOneSRATIONAL) printed as \"-1.500003\", expected -1.5."},
        {"print-digit:1.24@print_private=4", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65107 "
         "(PrintPrivateManyUNDEFINED) printed as \"0x4,0x5,0x4\", expected 4, 5, 6."},
        {"print-digit:1.29@print_private=2", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65017 "
         "(PrintPrivateOneSLONG8) printed as \"-5000000002\", expected -5000000000."},
        {"print-digit:1.30@print_private=2", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65117 "
         "(PrintPrivateManySLONG8) printed as \"-5000000001,2\", expected -5000000001, 8."},
        // Dropped: a field, the ink names, a text, a text's second line.
        {"print-drop:47.3@print_enums", "",
         "print_enums: Orientation 5: TIFFPrintDirectory(TIFFPRINT_NONE): tag 274 "
         "(Orientation) "
         "not printed."},
        {"print-drop:8.3@print_fields", "",
         "print_fields: escaped ink names: TIFFPrintDirectory(TIFFPRINT_NONE): tag 333 "
         "(InkNames) "
         "not printed."},
        {"print-drop:1.36@print_private", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65202 "
         "(PrintPrivateText2) printed as \"two\", expected \"two\\012lines\"."},
        {"print-drop:1.33@print_private", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65200 "
         "(PrintPrivateText0) not printed."},
        // Added: a field the case does not hold, one it holds again.
        {"print-add:55@print_enums=315", "",
         "print_enums: InkSet 3: TIFFPrintDirectory(TIFFPRINT_NONE): \"Artist\" printed, not a "
         "field the directory holds."},
        {"print-add:5@print_private=65003", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_JPEGQTABLES): tag 65003 "
         "(PrintPrivateOneSHORT) printed again."},
        {"print-add:3@print_fields=32997", "",
         "print_fields: volume: TIFFPrintDirectory(TIFFPRINT_CURVES): tag 32997 (ImageDepth) "
         "printed again."},
    };
    ExpectCases(cases);
}

// A text's character printed wrong, raw or escaped, in the private texts
// (print_private call 1, lines 33 to 37) and the ink names (print_fields
// call 8, line 3): each fails with the text as printed, control characters
// shown as \ooo.
TEST(PrintProbe, WrongCharactersOfTexts)
{
    ExpectCases({
        {"print-char:1.33@print_private=120", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65200 "
         "(PrintPrivateText0) printed as \"tab\\011here, \"quoted\", back\\slasx\", expected "
         "\"tab\\011here, \"quoted\", back\\slash\"."},
        // A backslash where a letter was: no escape of anything.
        {"print-char:2.33@print_private=92", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_STRIPS): tag 65200 "
         "(PrintPrivateText0) printed as \"tab\\011here, \"quoted\", back\\slas\\\", expected "
         "\"tab\\011here, \"quoted\", back\\slash\"."},
        {"print-char:1.34@print_private=68", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65201 "
         "(PrintPrivateText1) printed as \"bell\\007\\001 del\\177 high\\351\\377 enD\", expected "
         "\"bell\\007\\001 del\\177 high\\351\\377 end\"."},
        // The line after a line break.
        {"print-char:1.36@print_private=9", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65202 "
         "(PrintPrivateText2) printed as \"two / line\", expected \"two\\012lines\"."},
        {"print-char:1.37@print_private=63", "",
         "print_private: private fields: TIFFPrintDirectory(TIFFPRINT_NONE): tag 65203 "
         "(PrintPrivateText3) printed as \"cr\\015bs\\010ff\\014vt\\013?\", expected "
         "\"cr\\015bs\\010ff\\014vt\\013!\"."},
        // The ink names, which the library prints escaped.
        {"print-char:8.3@print_fields=81", "",
         "print_fields: escaped ink names: TIFFPrintDirectory(TIFFPRINT_NONE): tag 333 "
         "(InkNames) printed as \"tab\\there, back\\slash\\001Q\", expected \"tab\\011here\", "
         "\"back\\slash\\001q\"."},
    });
}

// Without the JPEG codec the JPEG page is not written and the known defect
// of its tables goes with it: the layouts pass and leave no file. A run
// that passed says what it skipped; one that failed (another known defect,
// in memory) says nothing more than that.
TEST(PrintProbe, WithoutJpegCodecDropsItsPage)
{
    const ProbeRun run(probe, Faults("no-codec:7"));
    std::vector<std::string> lines;
    for (const std::string &line : CleanRun(probe).lines) {
        if (line.find("JPEGTables") == std::string::npos)
            lines.push_back(line);
    }
    ExpectExactly(run, lines.empty() ? 0 : 1, lines, {});
    EXPECT_EQ(run.stdout_lines(), lines.empty() ? std::vector<std::string>{"skipped: no JPEG codec"}
                                                : std::vector<std::string>{});
}

TEST(PrintProbe, SetupFaults)
{
    ExpectCases({
        {"open:r@prints_le.tif", "prints_le.tif", "Can't open test TIFF file prints_le.tif."},
        {"set:320@prints_be.tif", "prints_be.tif", "Can't set tag 320 in prints_be.tif, page 1."},
        {"set:333@prints_le.btf", "prints_le.btf", "Can't set tag 333 in prints_le.btf, page 0."},
        // The palette page's directory refused (the program's second call).
        {"write-dir:2@prints_le.tif", "prints_le.tif",
         "prints_le.tif: page 1: can't write the directory."},
        // TileLength, set only by the curves page's shape.
        {"set:323@prints_be.tif", "prints_be.tif",
         "prints_be.tif: page 2: can't set the page's shape."},
        {"read-exif@prints_be.btf", "prints_be.btf",
         "prints_be.btf: EXIF IFD: can't read the directory."},
        {"warn:305@prints_be.tif", "prints_be.tif",
         "prints_be.tif: the library reported a problem."},
        // A page the library will not go to: the shared directory line.
        {"set-dir:2@prints_le.tif", "prints_le.tif",
         "prints_le.tif: page 2: can't read the directory."},
        // A generated case's field refused, and a warning while they run:
        // YCbCrSubSampling only new-style JPEG's case sets.
        {"set:530@print_enums", "", "print_enums: Compression 7: can't set the page's shape."},
        {"warn:530@print_enums", "", "print_enums: the library reported a problem."},
    });
}

} // namespace
