// The table of line forms: every line a newer probe prints is one row, its
// id, its printf format and the pattern that matches exactly the lines of
// that form. The probes print through probe::Say<id> (lines.h), the test
// harness tells a probe's own lines from the library's with the patterns,
// and docs/lines.md names every row by its id. The four original probes
// print their own lines; their rows are here for matching only.
#ifndef TIFF_PROBES_LINE_FORMS_H
#define TIFF_PROBES_LINE_FORMS_H

#include <cinttypes>
#include <cstddef>

namespace probe {

enum class Line : unsigned char {
    // Opening and setup.
    CantCreate,
    CantOpen,
    CantSave,
    SetupFailed,
    NoRow,
    Skipped,
    SkippedNoOptions,
    LibraryProblem,
    // Setting and fetching fields.
    CantSet,
    ProblemFetching,
    WrongValue,
    WrongNumber,
    WrongCount,
    MoreWrongValues,
    WrongText,
    WrongTextNone,
    WrongVGet,
    DefaultNone,
    DefaultWrong,
    MoreWrongDefaults,
    WrongVGetDefault,
    // Directories through the library.
    CantDirectory,
    CurrentSays,
    LastSays,
    WalksMore,
    Walks,
    LibraryCounts,
    CantGoToIfd,
    NoIfdAt,
    ReadNoIfd,
    SetDirectoryPast,
    CountedUnread,
    // Entries on disk.
    MissingOnDisk,
    WrongEntry,
    WrongValueOnDisk,
    WrongNumberOnDisk,
    WrongByteOnDisk,
    MoreValuesOnDisk,
    // Image data.
    CantWrite,
    CantRead,
    WrongImage,
    WrongImageByte,
    MoreWrongBytes,
    MoreWrongImages,
    // The file as our reader reads it.
    HeaderProblem,
    HeaderFormat,
    IfdProblem,
    MoreProblems,
    IfdNotRead,
    TagOrder,
    OddOffset,
    ArraysCount,
    ChunkOutside,
    ChunksOverlap,
    ChunkSize,
    ChunkByte,
    MoreBytesOnDisk,
    MoreWrongOnDisk,
    IfdCount,
    PagesOnDisk,
    // field_probe.
    StillPresent,
    FieldWithName,
    LibraryType,
    UnknownField,
    TagListNotSet,
    TagListCounts,
    // codec_probe.
    QueryDisagree,
    NotCovered,
    ChangedAfterWrite,
    RgbSize,
    HoldsTables,
    StripSizeOnDisk,
    NotSetByPage,
    // tile_probe, strile_probe.
    NotTiled,
    NumberIs,
    NumberIsNot,
    QueriesRead,
    StripReadOnDemand,
    CantDefer,
    ForceFailed,
    CheckpointFailed,
    // read_probe.
    AtLeast,
    NoValue,
    Organization,
    ChunkCount,
    ReadBut,
    ReadAs,
    NoImage,
    PeakResident,
    MatrixBroken,
    MatrixField,
    MatrixStopped,
    MatrixFromSlot,
    MatrixRounded,
    ExploreUsage,
    ExploreFailed,
    ExploreDeviation,
    ExploreBroke,
    // write_probe.
    WriteBroken,
    // manpage_probe.
    PromiseBroken,
    // print_probe, calls_probe.
    ShapeNotSet,
    PrintNotPrinted,
    PrintedAs,
    PrintedAgain,
    PrintedNotHeld,
    PrintedEntry,
    PrintedEntryExtra,
    PrintedEntries,
    PrintHeading,
    PrintedChunk,
    PrintedChunkExtra,
    PrintedChunks,
    ChunksNotPrinted,
    ChunksUnasked,
    TablesNotPrinted,
    CantPrint,
    SwabValue,
    // client_probe.
    StepAsSuccess,
    StepNoMessage,
    StepClaims,
    StepReadsWrong,
    NotWhole,
    ProcedureCalls,
    UnmapRegion,
    HandlerCalls,
    HandlerGiven,
    HandlerLibraryWide,
    HandlerNotCalled,
    HandlerReached,
    HandlerOtherHandle,
    HandlerOtherData,
    HandlerNoUserData,
    HandlerForeign,
    LimitRead,
    LimitSilent,
    LimitRefused,
    CleanupClosed,
    CheckpointFails,
    // The four original probes, for matching only.
    OriginalCantCreate,
    OriginalCantOpen,
    OriginalCantSetNamed,
    OriginalCantSet,
    OriginalProblemFetching,
    OriginalWrongValue,
    OriginalCantGet,
    OriginalCantWrite,
    OriginalStripArray,
    OriginalStripValue,
};

// NOLINTNEXTLINE(clang-analyzer-optin.performance.Padding): a row reads best id first
struct LineForm {
    Line id;
    const char *name;    // the id as docs/lines.md writes it
    const char *format;  // what printf makes of the line's values
    const char *pattern; // ECMAScript, matching the whole line
    bool original;       // printed by an original probe, not through the table
};

// The pieces the patterns share.
#define PROBE_NAME R"([a-z0-9_]+\.(tif|btf))"
#define PROBE_CODEC                                                                                \
    R"((JPEG|Deflate|LZMA|ZSTD|WebP|LERC|PixarLog|SGILog|Group 3|per sample)[a-z0-9 ]*)"
#define PROBE_PLACE R"(((page|SubIFD) \d+|(EXIF|GPS|Interoperability) IFD|)" PROBE_CODEC ")"
// ", PLACE" after the file name in a line that begins with a verb, or none.
#define PROBE_AFTER "(, " PROBE_PLACE ")?"
// "PLACE: " after the file name's field, or none.
#define PROBE_FIELD "(" PROBE_PLACE ": )?"
#define PROBE_UNIT "(strip|tile)"
#define PROBE_HEX "0x[0-9a-f]+"
#define PROBE_G R"(-?(nan|inf|[0-9.]+(e[-+]\d+)?))"
#define PROBE_TYPE "[A-Z0-9]+"
// print_probe's call and its flags, after the place.
#define PROBE_PRINT R"(: TIFFPrintDirectory\([A-Z_|]+\): )"
// print_probe's places: a page or IFD of its file, or a case built in
// memory ("Orientation 5", "private fields").
// print_probe's names: its files, or a handle over memory of its cases.
#define PROBE_PRINT_NAME "(" PROBE_NAME "|print_(enums|fields|private))"
#define PROBE_PRINT_PLACE "(" PROBE_PLACE R"(|[A-Z][A-Za-z]+ \d+|[a-z][a-z ]*[a-z]))"
// The values print_probe expects of an entry or a strip, %.15g each.
#define PROBE_VALUES PROBE_G "(, " PROBE_G ")*"
// client_probe's steps and faults, and the tally that ends a step's line.
#define PROBE_STEP                                                                                 \
    R"((open for (writing|update|reading)|checkpoint|directory (write|read)|close after (writing|the rewrite)|rewrite))"
#define PROBE_FAULT "(a short read|a failed (write|seek))"
#define PROBE_TALLY R"( in \d+ of \d+ cases, the first at (read|write|seek) \d+\.)"
// client_probe's open options.
#define PROBE_HANDLER "TIFFOpenOptionsSet(Error|Warning)HandlerExtR"
#define PROBE_ERROR_HANDLER "TIFFOpenOptionsSetErrorHandlerExtR"
#define PROBE_LIMIT "TIFFOpenOptionsSetMaxSingleMemAlloc"

// Indexed by Line: row i has id i (probe_support_test).
inline constexpr LineForm line_forms[] = {
    {Line::CantCreate, "CantCreate", "Can't create test TIFF file %s.",
     "Can't create test TIFF file " PROBE_NAME R"(\.)", false},
    {Line::CantOpen, "CantOpen", "Can't open test TIFF file %s.",
     "Can't open test TIFF file " PROBE_NAME R"(\.)", false},
    // A case's file, or the read matrix's directory or table
    // (TIFF_PROBES_MATRIX_DIR), by its path.
    {Line::CantSave, "CantSave", "%s: %s.", R"(\S+: cannot (create|write) .*\.)", false},
    {Line::SetupFailed, "SetupFailed", "%s: can't %s.",
     PROBE_NAME R"(: can't (make a pipe|start a child process)\.)", false},
    {Line::NoRow, "NoRow", "%s: no row for this layout.",
     PROBE_NAME R"(: no row for this layout\.)", false},
    {Line::Skipped, "Skipped", "skipped: no %s codec", "skipped: no [A-Za-z0-9 ]+ codec", false},
    {Line::SkippedNoOptions, "SkippedNoOptions",
     "skipped: no open options in this library (TIFFClientOpenExt)",
     R"(skipped: no open options in this library \(TIFFClientOpenExt\))", false},
    {Line::LibraryProblem, "LibraryProblem", "%s: the library reported a problem.",
     PROBE_PRINT_NAME R"(: the library reported a problem\.)", false},

    {Line::CantSet, "CantSet", "Can't set tag %lu in %s%s.",
     R"(Can't set tag \d+ in )" PROBE_NAME PROBE_AFTER R"(\.)", false},
    {Line::ProblemFetching, "ProblemFetching", "Problem fetching tag %lu in %s%s.",
     R"(Problem fetching tag \d+ in )" PROBE_NAME PROBE_AFTER R"(\.)", false},
    {Line::WrongValue, "WrongValue",
     "Wrong %s value fetched for tag %lu in %s%s: value %lu is 0x%" PRIx64 ", expected 0x%" PRIx64
     ".",
     "Wrong " PROBE_TYPE R"( value fetched for tag \d+ in )" PROBE_NAME PROBE_AFTER
     R"(: value \d+ is )" PROBE_HEX ", expected " PROBE_HEX R"(\.)",
     false},
    {Line::WrongNumber, "WrongNumber",
     "Wrong %s value fetched for tag %lu in %s%s: value %lu is %.9g, expected %.9g.",
     "Wrong " PROBE_TYPE R"( value fetched for tag \d+ in )" PROBE_NAME PROBE_AFTER
     R"(: value \d+ is )" PROBE_G ", expected " PROBE_G R"(\.)",
     false},
    {Line::WrongCount, "WrongCount",
     "Wrong %s value fetched for tag %lu in %s%s: %lu values, expected %lu.",
     "Wrong " PROBE_TYPE R"( value fetched for tag \d+ in )" PROBE_NAME PROBE_AFTER
     R"(: \d+ values, expected \d+\.)",
     false},
    {Line::MoreWrongValues, "MoreWrongValues",
     "Wrong %s value fetched for tag %lu in %s%s: %lu more values differ, the last at value %lu.",
     "Wrong " PROBE_TYPE R"( value fetched for tag \d+ in )" PROBE_NAME PROBE_AFTER
     R"(: \d+ more values differ, the last at value \d+\.)",
     false},
    {Line::WrongText, "WrongText",
     "Wrong ASCII value fetched for tag %lu in %s%s: \"%s\", expected \"%s\".",
     R"(Wrong ASCII value fetched for tag \d+ in )" PROBE_NAME PROBE_AFTER
     R"(: ".*", expected ".*"\.)",
     false},
    {Line::WrongTextNone, "WrongTextNone",
     "Wrong ASCII value fetched for tag %lu in %s%s: \"%s\", expected none.",
     R"(Wrong ASCII value fetched for tag \d+ in )" PROBE_NAME PROBE_AFTER
     R"(: ".*", expected none\.)",
     false},
    {Line::WrongVGet, "WrongVGet", "Wrong %s value fetched for tag %u in %s (TIFFVGetField).",
     "Wrong " PROBE_TYPE R"( value fetched for tag \d+ in )" PROBE_NAME R"( \(TIFFVGetField\)\.)",
     false},
    {Line::DefaultNone, "DefaultNone", "Wrong default for tag %u in %s: none, expected %.9g.",
     R"(Wrong default for tag \d+ in )" PROBE_NAME ": none, expected " PROBE_G R"(\.)", false},
    {Line::DefaultWrong, "DefaultWrong",
     "Wrong default for tag %u in %s: value %zu is 0x%" PRIx64 ", expected 0x%" PRIx64 ".",
     R"(Wrong default for tag \d+ in )" PROBE_NAME R"(: value \d+ is )" PROBE_HEX
     ", expected " PROBE_HEX R"(\.)",
     false},
    {Line::MoreWrongDefaults, "MoreWrongDefaults",
     "Wrong default for tag %u in %s: %lu more values differ, the last at value %zu.",
     R"(Wrong default for tag \d+ in )" PROBE_NAME
     R"(: \d+ more values differ, the last at value \d+\.)",
     false},
    {Line::WrongVGetDefault, "WrongVGetDefault",
     "Wrong default for tag %u in %s (TIFFVGetFieldDefaulted).",
     R"(Wrong default for tag \d+ in )" PROBE_NAME R"( \(TIFFVGetFieldDefaulted\)\.)", false},

    {Line::CantDirectory, "CantDirectory", "%s: %scan't %s the directory.",
     PROBE_NAME ": " PROBE_FIELD R"(can't (create|write|rewrite|read|unlink) the directory\.)",
     false},
    {Line::CurrentSays, "CurrentSays", "%s: page %u: TIFFCurrentDirectory says %u.",
     PROBE_NAME R"(: page \d+: TIFFCurrentDirectory says \d+\.)", false},
    {Line::LastSays, "LastSays", "%s: page %u: TIFFLastDirectory says %d.",
     PROBE_NAME R"(: page \d+: TIFFLastDirectory says -?\d+\.)", false},
    {Line::WalksMore, "WalksMore", "%s: expected %u pages, TIFFReadDirectory walks more.",
     PROBE_NAME R"(: expected \d+ pages, TIFFReadDirectory walks more\.)", false},
    {Line::Walks, "Walks", "%s: expected %u pages, TIFFReadDirectory walks %u.",
     PROBE_NAME R"(: expected \d+ pages, TIFFReadDirectory walks \d+\.)", false},
    {Line::LibraryCounts, "LibraryCounts", "%s: expected %u pages, the library counts %u.",
     PROBE_NAME R"(: expected \d+ pages, the library counts \d+\.)", false},
    {Line::CantGoToIfd, "CantGoToIfd", "%s: %s: can't go to the IFD at %" PRIu64 ".",
     PROBE_NAME ": " PROBE_PLACE R"(: can't go to the IFD at \d+\.)", false},
    {Line::NoIfdAt, "NoIfdAt", "%s: %s: no IFD at %" PRIu64 ".",
     PROBE_NAME ": " PROBE_PLACE R"(: no IFD at \d+\.)", false},
    {Line::ReadNoIfd, "ReadNoIfd", "%s: %s: read, but the file has no IFD at %" PRIu64 ".",
     PROBE_NAME ": " PROBE_PLACE R"(: read, but the file has no IFD at \d+\.)", false},
    {Line::SetDirectoryPast, "SetDirectoryPast",
     "%s: page %u: TIFFSetDirectory goes past the last page.",
     PROBE_NAME R"(: page \d+: TIFFSetDirectory goes past the last page\.)", false},
    {Line::CountedUnread, "CountedUnread",
     "%s: page %u: counted, but TIFFSetDirectory fails without a message.",
     PROBE_NAME R"(: page \d+: counted, but TIFFSetDirectory fails without a message\.)", false},

    {Line::MissingOnDisk, "MissingOnDisk", "%s: %stag %lu on disk: missing.",
     PROBE_NAME ": " PROBE_FIELD R"(tag \d+ on disk: missing\.)", false},
    {Line::WrongEntry, "WrongEntry", "%s: %stag %u on disk: %s[%" PRIu64 "], expected %s[%lu].",
     PROBE_NAME ": " PROBE_FIELD
                R"(tag \d+ on disk: [A-Z0-9]+\[\d+\], expected [A-Z0-9 or]+\[\d+\]\.)",
     false},
    {Line::WrongValueOnDisk, "WrongValueOnDisk",
     "%s: %stag %lu on disk: value %lu is 0x%" PRIx64 ", expected 0x%" PRIx64 ".",
     PROBE_NAME ": " PROBE_FIELD R"(tag \d+ on disk: value \d+ is )" PROBE_HEX
                ", expected " PROBE_HEX R"(\.)",
     false},
    {Line::WrongNumberOnDisk, "WrongNumberOnDisk",
     "%s: %stag %lu on disk: value %lu is %.9g, expected %.9g.",
     PROBE_NAME ": " PROBE_FIELD R"(tag \d+ on disk: value \d+ is )" PROBE_G ", expected " PROBE_G
                R"(\.)",
     false},
    {Line::WrongByteOnDisk, "WrongByteOnDisk",
     "%s: %stag %lu on disk: byte %lu is 0x%02x, expected 0x%02x.",
     PROBE_NAME ": " PROBE_FIELD R"(tag \d+ on disk: byte \d+ is )" PROBE_HEX
                ", expected " PROBE_HEX R"(\.)",
     false},
    {Line::MoreValuesOnDisk, "MoreValuesOnDisk",
     "%s: %stag %lu on disk: %lu more %ss differ, the last at %s %lu.",
     PROBE_NAME ": " PROBE_FIELD
                R"(tag \d+ on disk: \d+ more (value|byte)s differ, the last at (value|byte) \d+\.)",
     false},

    {Line::CantWrite, "CantWrite", "Can't write image data in %s%s.",
     "Can't write image data in " PROBE_NAME PROBE_AFTER R"(\.)", false},
    {Line::CantRead, "CantRead", "Can't read image data in %s %lu of %s%s.",
     "Can't read image data in " PROBE_UNIT R"( \d+ of )" PROBE_NAME PROBE_AFTER R"(\.)", false},
    {Line::WrongImage, "WrongImage", "Wrong image data in %s %lu of %s%s.",
     "Wrong image data in " PROBE_UNIT R"( \d+ of )" PROBE_NAME PROBE_AFTER R"(\.)", false},
    {Line::WrongImageByte, "WrongImageByte",
     "Wrong image data in %s %lu of %s%s: byte %lu is 0x%02x, expected 0x%02x.",
     "Wrong image data in " PROBE_UNIT R"( \d+ of )" PROBE_NAME PROBE_AFTER
     R"(: byte \d+ is )" PROBE_HEX ", expected " PROBE_HEX R"(\.)",
     false},
    {Line::MoreWrongBytes, "MoreWrongBytes",
     "Wrong image data in %s %lu of %s%s: %lu more %s differ, the last at byte %lu.",
     "Wrong image data in " PROBE_UNIT R"( \d+ of )" PROBE_NAME PROBE_AFTER
     R"(: \d+ more (bytes|values) differ, the last at byte \d+\.)",
     false},
    {Line::MoreWrongImages, "MoreWrongImages",
     "Wrong image data in %s %lu of %s%s: %lu wrong %ss from here to %s %lu, not named.",
     "Wrong image data in " PROBE_UNIT R"( \d+ of )" PROBE_NAME PROBE_AFTER
     R"(: \d+ wrong (strip|tile)s from here to (strip|tile) \d+, not named\.)",
     false},

    {Line::HeaderProblem, "HeaderProblem", "%s: header: %s.", PROBE_NAME R"(: header: .*\.)",
     false},
    {Line::HeaderFormat, "HeaderFormat", "%s: header: %s version %d, expected %s version %d.",
     PROBE_NAME R"(: header: (II|MM) version \d+, expected (II|MM) version \d+\.)", false},
    {Line::IfdProblem, "IfdProblem", "%s: IFD at %" PRIu64 ": %s.",
     PROBE_NAME R"(: IFD at \d+: .*\.)", false},
    {Line::MoreProblems, "MoreProblems", "%s: %zu more problems on disk.",
     PROBE_NAME R"(: \d+ more problems on disk\.)", false},
    {Line::IfdNotRead, "IfdNotRead", "%s: IFD at %" PRIu64 ": not read.",
     PROBE_NAME R"(: IFD at \d+: not read\.)", false},
    {Line::TagOrder, "TagOrder", "%s: IFD at %" PRIu64 ": tag %u follows tag %u.",
     PROBE_NAME R"(: IFD at \d+: tag \d+ follows tag \d+\.)", false},
    {Line::OddOffset, "OddOffset", "%s: tag %u on disk: values at odd offset %" PRIu64 ".",
     PROBE_NAME R"(: tag \d+ on disk: values at odd offset \d+\.)", false},
    {Line::ArraysCount, "ArraysCount", "%s: IFD at %" PRIu64 ": not %" PRIu64 " %s and %s.",
     PROBE_NAME R"(: IFD at \d+: not \d+ (Strip|Tile)Offsets and (Strip|Tile)ByteCounts\.)", false},
    {Line::ChunkOutside, "ChunkOutside",
     "%s: tag %u on disk: %s %" PRIu64 " lies outside the file.",
     PROBE_NAME R"(: tag \d+ on disk: )" PROBE_UNIT R"( \d+ lies outside the file\.)", false},
    {Line::ChunksOverlap, "ChunksOverlap", "%s: %s %zu on disk: overlaps %s %zu.",
     PROBE_NAME ": " PROBE_UNIT R"( \d+ on disk: overlaps )" PROBE_UNIT R"( \d+\.)", false},
    {Line::ChunkSize, "ChunkSize",
     "%s: %s %" PRIu64 " on disk: page %u: %" PRIu64 " bytes at %" PRIu64
     ", expected %zu inside the file.",
     PROBE_NAME ": " PROBE_UNIT
                R"( \d+ on disk: page \d+: \d+ bytes at \d+, expected \d+ inside the file\.)",
     false},
    {Line::ChunkByte, "ChunkByte",
     "%s: %s %" PRIu64 " on disk: page %u: byte %zu is 0x%02x, expected 0x%02x.",
     PROBE_NAME ": " PROBE_UNIT R"( \d+ on disk: page \d+: byte \d+ is )" PROBE_HEX
                ", expected " PROBE_HEX R"(\.)",
     false},
    {Line::MoreBytesOnDisk, "MoreBytesOnDisk",
     "%s: %s %" PRIu64 " on disk: page %u: %lu more bytes differ, the last at byte %zu.",
     PROBE_NAME ": " PROBE_UNIT
                R"( \d+ on disk: page \d+: \d+ more bytes differ, the last at byte \d+\.)",
     false},
    {Line::MoreWrongOnDisk, "MoreWrongOnDisk",
     "%s: %s %lu on disk: page %u: %lu wrong %ss from here to %s %lu, not named.",
     PROBE_NAME
     ": " PROBE_UNIT
     R"( \d+ on disk: page \d+: \d+ wrong (strip|tile)s from here to (strip|tile) \d+, not named\.)",
     false},
    {Line::IfdCount, "IfdCount", "%s: IFD at %" PRIu64 ": %lu IFDs in the file, expected %lu.",
     PROBE_NAME R"(: IFD at \d+: \d+ IFDs in the file, expected \d+\.)", false},
    {Line::PagesOnDisk, "PagesOnDisk", "%s: expected %zu pages, the file holds %zu.",
     PROBE_NAME R"(: expected \d+ pages, the file holds \d+\.)", false},

    {Line::StillPresent, "StillPresent", "%s: tag %u still present after TIFFUnsetField.",
     PROBE_NAME R"(: tag \d+ still present after TIFFUnsetField\.)", false},
    {Line::FieldWithName, "FieldWithName", "%s: tag %u: TIFFFieldWithName(\"%s\") gives tag %u.",
     PROBE_NAME R"(: tag \d+: TIFFFieldWithName\(".*"\) gives tag \d+\.)", false},
    {Line::LibraryType, "LibraryType",
     "%s: tag %u: the library's type %s is not one the field allows.",
     PROBE_NAME R"(: tag \d+: the library's type .* is not one the field allows\.)", false},
    {Line::UnknownField, "UnknownField", "%s: tag %u read as an unknown field.",
     PROBE_NAME R"(: tag \d+ read as an unknown field\.)", false},
    {Line::TagListNotSet, "TagListNotSet", "%s: page 0: tag %u in the tag list, not set there.",
     PROBE_NAME R"(: page 0: tag \d+ in the tag list, not set there\.)", false},
    {Line::TagListCounts, "TagListCounts",
     "%s: page 0: the tag list names tag %u %d times and tag %u %d times.",
     PROBE_NAME R"(: page 0: the tag list names tag \d+ \d+ times and tag \d+ \d+ times\.)", false},

    {Line::QueryDisagree, "QueryDisagree", "%s: %s: tag %u: the field query calls disagree.",
     PROBE_NAME ": " PROBE_CODEC R"(: tag \d+: the field query calls disagree\.)", false},
    {Line::NotCovered, "NotCovered", "%s: %s: tag %u of compression %u is not covered.",
     PROBE_NAME ": " PROBE_CODEC R"(: tag \d+ of compression \d+ is not covered\.)", false},
    {Line::ChangedAfterWrite, "ChangedAfterWrite",
     "%s: %s: tag %u changed after the image was written, unlike TIFFSetField(3tiff)'s promise.",
     PROBE_NAME
     ": " PROBE_CODEC
     R"(: tag \d+ changed after the image was written, unlike TIFFSetField\(3tiff\)'s promise\.)",
     false},
    {Line::RgbSize, "RgbSize", "%s: %s: read as RGB, %zu bytes, expected %u.",
     PROBE_NAME ": " PROBE_CODEC R"(: read as RGB, \d+ bytes, expected \d+\.)", false},
    {Line::HoldsTables, "HoldsTables", "%s: %s: tag %u on disk: holds %s tables.",
     PROBE_NAME ": " PROBE_CODEC R"(: tag \d+ on disk: holds (quantization|Huffman) tables\.)",
     false},
    {Line::StripSizeOnDisk, "StripSizeOnDisk",
     "%s: %s: strip 0 on disk: %" PRIu64 " bytes, expected %s %" PRIu64 ".",
     PROBE_NAME ": " PROBE_CODEC
                R"(: strip 0 on disk: \d+ bytes, expected (fewer|other) than \d+\.)",
     false},
    {Line::NotSetByPage, "NotSetByPage", "%s: %s: tag %u on disk: not set by the page.",
     PROBE_NAME ": " PROBE_CODEC R"(: tag \d+ on disk: not set by the page\.)", false},

    {Line::NotTiled, "NotTiled", "%s: page %u: not tiled.", PROBE_NAME R"(: page \d+: not tiled\.)",
     false},
    {Line::NumberIs, "NumberIs", "%s: page %u: %s is %" PRIu64 ", expected %" PRIu64 ".",
     PROBE_NAME R"(: page \d+: .+ is \d+, expected \d+\.)", false},
    {Line::NumberIsNot, "NumberIsNot", "%s: page %u: %s is %" PRIu64 ", expected %s.",
     PROBE_NAME
     R"(: page \d+: .+ is \d+, expected (rows of \d+ to \d+ bytes|a multiple of 16|\d+ or \d+)\.)",
     false},
    {Line::QueriesRead, "QueriesRead",
     "%s: page %u: the strile queries in \"O\" mode read %" PRIu64
     " bytes, as many as a whole strip array (%" PRIu64 ").",
     PROBE_NAME
     R"(: page \d+: the strile queries in "O" mode read \d+ bytes, as many as a whole strip array \(\d+\)\.)",
     false},
    {Line::StripReadOnDemand, "StripReadOnDemand",
     "%s: page %u: reading strip %lu in \"O\" mode read %" PRIu64
     " bytes, as many as a whole strip array (%" PRIu64 ").",
     PROBE_NAME
     R"(: page \d+: reading strip \d+ in "O" mode read \d+ bytes, as many as a whole strip array \(\d+\)\.)",
     false},
    {Line::CantDefer, "CantDefer", "%s: page %u: can't defer the strip arrays.",
     PROBE_NAME R"(: page \d+: can't defer the strip arrays\.)", false},
    {Line::ForceFailed, "ForceFailed", "%s: page %u: TIFFForceStrileArrayWriting failed.",
     PROBE_NAME R"(: page \d+: TIFFForceStrileArrayWriting failed\.)", false},
    {Line::CheckpointFailed, "CheckpointFailed", "%s: page 0: TIFFCheckpointDirectory %u failed.",
     PROBE_NAME R"(: page 0: TIFFCheckpointDirectory \d+ failed\.)", false},

    {Line::AtLeast, "AtLeast", "%s: %stag %u: %" PRIu64 ", expected at least %" PRIu64 ".",
     PROBE_NAME ": " PROBE_FIELD R"(tag \d+: \d+, expected at least \d+\.)", false},
    {Line::NoValue, "NoValue", "%s: %stag %u: present, but the file holds no value of it.",
     PROBE_NAME ": " PROBE_FIELD R"(tag \d+: present, but the file holds no value of it\.)", false},
    {Line::Organization, "Organization", "%s: %simage %s, expected %s.",
     PROBE_NAME ": " PROBE_FIELD R"(image (tiled|in strips), expected (tiled|in strips)\.)", false},
    {Line::ChunkCount, "ChunkCount", "%s: %s%" PRIu32 " %ss, expected %zu.",
     PROBE_NAME ": " PROBE_FIELD R"(\d+ (strip|tile)s, expected \d+\.)", false},
    {Line::ReadBut, "ReadBut", "%s: %s%s %" PRIu32 " read as %ld bytes, but %s.",
     PROBE_NAME ": " PROBE_FIELD PROBE_UNIT R"( \d+ read as -?\d+ bytes, but .+\.)", false},
    {Line::ReadAs, "ReadAs", "%s: %s%s %" PRIu32 " read as %ld bytes, expected %zu.",
     PROBE_NAME ": " PROBE_FIELD PROBE_UNIT R"( \d+ read as -?\d+ bytes, expected \d+\.)", false},
    {Line::NoImage, "NoImage", "%s: opened, but the file holds no TIFF image to open.",
     PROBE_NAME R"(: opened, but the file holds no TIFF image to open\.)", false},
    {Line::PeakResident, "PeakResident",
     "%s: the peak resident size grew by %ld KiB, more than %ld KiB.",
     PROBE_NAME R"(: the peak resident size grew by -?\d+ KiB, more than \d+ KiB\.)", false},
    {Line::MatrixBroken, "MatrixBroken", "%s: %s (%zu case%s, first %s).",
     R"(structure: [^:]+: .*)"
     R"( \(\d+ cases?, first )" PROBE_NAME R"(\)\.)",
     false},
    {Line::MatrixField, "MatrixField", "%stag %u %s: %s (%zu case%s, first %s).",
     R"((EXIF IFD: |GPS IFD: )?tag \d+ (?!registered as )[^:]+: .*)"
     R"( \(\d+ cases?, first )" PROBE_NAME R"(\)\.)",
     false},
    {Line::MatrixStopped, "MatrixStopped",
     "tag %u registered as %s with %s: the library stops the program (signal %d), %s the first "
     "(%zu case%s, first %s).",
     R"(tag \d+ registered as [A-Z0-9]+ with (TIFF_VARIABLE|one value|a fixed count): the library stops the program \(signal \d+\), .+ the first)"
     R"( \(\d+ cases?, first )" PROBE_NAME R"(\)\.)",
     false},
    {Line::MatrixFromSlot, "MatrixFromSlot",
     "%sa field whose count is not its standard's: values read from the bytes of its offset: tag "
     "%u %s, %s (%zu case%s, first %s).",
     R"(((EXIF|GPS) IFD: )?a field whose count is not its standard's: values read from the bytes of its offset: tag \d+ .+, .*)"
     R"( \(\d+ cases?, first )" PROBE_NAME R"(\)\.)",
     false},
    {Line::MatrixRounded, "MatrixRounded",
     "RATIONAL fetched as FLOAT: the quotient of the parts as floats, not the float nearest the "
     "value: %stag %u %s, %s (%zu case%s, first %s).",
     R"(RATIONAL fetched as FLOAT: the quotient of the parts as floats, not the float nearest the value: ((EXIF|GPS) IFD: )?tag \d+ .+, .*)"
     R"( \(\d+ cases?, first )" PROBE_NAME R"(\)\.)",
     false},
    {Line::ExploreUsage, "ExploreUsage",
     "read_probe: \"%s\": %s; usage: read_probe [--explore SECONDS [--seed N]].",
     R"(read_probe: ".*": [^;]+; usage: read_probe \[--explore SECONDS \[--seed N\]\]\.)", false},
    {Line::ExploreFailed, "ExploreFailed",
     "explore: seed %" PRIu64 ": combination %zu (%zu deviations) failed, shrunk to %zu.",
     R"(explore: seed \d+: combination \d+ \(\d+ deviations\) failed, shrunk to \d+\.)", false},
    {Line::ExploreDeviation, "ExploreDeviation", "explore: %s (%s, %s).",
     R"(explore: (((EXIF|GPS) IFD: )?tag \d+ [^(]+|structure: [^(]+) \([^,]+, (exact|refused|tolerated)\)\.)",
     false},
    {Line::ExploreBroke, "ExploreBroke", "explore: %s: %s.", R"(explore: )" PROBE_NAME R"(: .+\.)",
     false},
    {Line::WriteBroken, "WriteBroken", "write: %stag %u, %s, %s: %s (%zu case%s, first %s).",
     R"(write: ((EXIF|GPS) IFD: )?tag \d+, [a-z ]+, [^:]+: .+)"
     R"( \(\d+ cases?, first write_)" PROBE_NAME R"(\)\.)",
     false},

    {Line::PromiseBroken, "PromiseBroken", "%s: %s: %s.",
     PROBE_NAME R"(: [A-Za-z_]+\(3tiff\): .+, expected .+\.)", false},

    {Line::ShapeNotSet, "ShapeNotSet", "%s: %s: can't set the page's shape.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE R"(: can't set the page's shape\.)", false},
    {Line::PrintNotPrinted, "PrintNotPrinted",
     "%s: %s: TIFFPrintDirectory(%s): tag %u (%s) not printed.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(tag \d+ \([A-Za-z0-9]+\) not printed\.)",
     false},
    {Line::PrintedAs, "PrintedAs",
     "%s: %s: TIFFPrintDirectory(%s): tag %u (%s) printed as \"%s\", expected %s.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(tag \d+ \([A-Za-z0-9]+\) printed as ".*", expected .+\.)",
     false},
    {Line::PrintedAgain, "PrintedAgain",
     "%s: %s: TIFFPrintDirectory(%s): tag %u (%s) printed again.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(tag \d+ \([A-Za-z0-9]+\) printed again\.)",
     false},
    {Line::PrintedNotHeld, "PrintedNotHeld",
     "%s: %s: TIFFPrintDirectory(%s): \"%s\" printed, not a field the directory holds.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(".*" printed, not a field the directory holds\.)",
     false},
    {Line::PrintedEntry, "PrintedEntry",
     "%s: %s: TIFFPrintDirectory(%s): tag %u (%s): entry %zu printed as \"%s\", expected %s.",
     PROBE_PRINT_NAME
     ": " PROBE_PRINT_PLACE PROBE_PRINT
     R"(tag \d+ \([A-Za-z0-9]+\): entry \d+ printed as ".*", expected )" PROBE_VALUES R"(\.)",
     false},
    {Line::PrintedEntryExtra, "PrintedEntryExtra",
     "%s: %s: TIFFPrintDirectory(%s): tag %u (%s): entry %zu printed as \"%s\", expected none.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(tag \d+ \([A-Za-z0-9]+\): entry \d+ printed as ".*", expected none\.)",
     false},
    {Line::PrintedEntries, "PrintedEntries",
     "%s: %s: TIFFPrintDirectory(%s): tag %u (%s): %zu entries printed, expected %zu.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(tag \d+ \([A-Za-z0-9]+\): \d+ entries printed, expected \d+\.)",
     false},
    {Line::PrintHeading, "PrintHeading",
     "%s: %s: TIFFPrintDirectory(%s): the heading \"%s\" does not name offset %" PRIu64 ".",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(the heading ".*" does not name offset \d+\.)",
     false},
    {Line::PrintedChunk, "PrintedChunk",
     "%s: %s: TIFFPrintDirectory(%s): %s %zu printed as \"%s\", expected %s.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT PROBE_UNIT
                      R"( \d+ printed as ".*", expected )" PROBE_VALUES R"(\.)",
     false},
    {Line::PrintedChunkExtra, "PrintedChunkExtra",
     "%s: %s: TIFFPrintDirectory(%s): %s %zu printed as \"%s\", expected none.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT PROBE_UNIT
                      R"( \d+ printed as ".*", expected none\.)",
     false},
    {Line::PrintedChunks, "PrintedChunks",
     "%s: %s: TIFFPrintDirectory(%s): \"%s\" and %zu %ss printed, expected %zu.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT
                      R"(".*" and \d+ (strip|tile)s printed, expected \d+\.)",
     false},
    {Line::ChunksNotPrinted, "ChunksNotPrinted",
     "%s: %s: TIFFPrintDirectory(%s): the %ss not printed.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT R"(the (strip|tile)s not printed\.)",
     false},
    {Line::ChunksUnasked, "ChunksUnasked",
     "%s: %s: TIFFPrintDirectory(%s): the %ss printed unasked.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT R"(the (strip|tile)s printed unasked\.)",
     false},
    {Line::TablesNotPrinted, "TablesNotPrinted",
     "%s: %s: TIFFPrintDirectory(%s): tag %u (%s): its %s tables not printed.",
     PROBE_PRINT_NAME
     ": " PROBE_PRINT_PLACE PROBE_PRINT
     R"(tag \d+ \([A-Za-z0-9]+\): its (quantization|Huffman) tables not printed\.)",
     false},
    {Line::CantPrint, "CantPrint", "%s: %s: TIFFPrintDirectory(%s): can't print into memory.",
     PROBE_PRINT_NAME ": " PROBE_PRINT_PLACE PROBE_PRINT R"(can't print into memory\.)", false},
    {Line::SwabValue, "SwabValue", "%s: value %zu is 0x%" PRIx64 ", expected 0x%" PRIx64 ".",
     R"(TIFF(Swab[A-Za-z0-9]+|ReverseBits|GetBitRevTable\([01]\)): value \d+ is )" PROBE_HEX
     ", expected " PROBE_HEX R"(\.)",
     false},

    {Line::StepAsSuccess, "StepAsSuccess",
     "%s: %s: %s reported as success by %s in %u of %u cases, the first at %s %u.",
     PROBE_NAME ": " PROBE_STEP ": " PROBE_FAULT
                " reported as success by TIFF[A-Za-z]+" PROBE_TALLY,
     false},
    {Line::StepNoMessage, "StepNoMessage",
     "%s: %s: %s without a message in %u of %u cases, the first at %s %u.",
     PROBE_NAME ": " PROBE_STEP ": " PROBE_FAULT " without a message" PROBE_TALLY, false},
    {Line::StepClaims, "StepClaims",
     "%s: %s: after %s the file claims bytes never written in %u of %u cases, the first at %s "
     "%u.",
     PROBE_NAME ": " PROBE_STEP ": after " PROBE_FAULT
                " the file claims bytes never written" PROBE_TALLY,
     false},
    {Line::StepReadsWrong, "StepReadsWrong",
     "%s: %s: after %s the file reads back wrong without a message in %u of %u cases, the first "
     "at %s %u.",
     PROBE_NAME ": " PROBE_STEP ": after " PROBE_FAULT
                " the file reads back wrong without a message" PROBE_TALLY,
     false},
    {Line::NotWhole, "NotWhole", "%s: the steps without a fault do not read back whole.",
     PROBE_NAME R"(: the steps without a fault do not read back whole\.)", false},
    {Line::ProcedureCalls, "ProcedureCalls",
     "%s: the %s procedure: called %u times by a handle opened \"%s\", expected %u.",
     PROBE_NAME
     R"(: the (close|map|unmap) procedure: called \d+ times by a handle opened "[A-Za-z0-9+]+", expected \d+\.)",
     false},
    {Line::UnmapRegion, "UnmapRegion",
     "%s: the unmap procedure: given another region than the map procedure gave.",
     PROBE_NAME R"(: the unmap procedure: given another region than the map procedure gave\.)",
     false},
    {Line::HandlerCalls, "HandlerCalls", "%s: %s: called %u times for one message, expected 1.",
     PROBE_NAME ": " PROBE_HANDLER R"(: called \d+ times for one message, expected 1\.)", false},
    {Line::HandlerGiven, "HandlerGiven", "%s: %s: given \"%s\", expected \"%s\".",
     PROBE_NAME ": " PROBE_HANDLER
                R"(: given ".*", expected "client_probe: injected message \d+"\.)",
     false},
    {Line::HandlerLibraryWide, "HandlerLibraryWide",
     "%s: %s: the library-wide handler called %lu times, expected %u, the handler returning %d.",
     PROBE_NAME
     ": " PROBE_HANDLER
     R"(: the library-wide handler called \d+ times, expected \d+, the handler returning -?\d+\.)",
     false},
    {Line::HandlerNotCalled, "HandlerNotCalled",
     "%s: " PROBE_ERROR_HANDLER ": not called for the library's error on an unknown tag.",
     PROBE_NAME ": " PROBE_ERROR_HANDLER
                R"(: not called for the library's error on an unknown tag\.)",
     false},
    {Line::HandlerReached, "HandlerReached",
     "%s: " PROBE_ERROR_HANDLER
     ": %u messages of the handle, %lu reached the library-wide handler.",
     PROBE_NAME ": " PROBE_ERROR_HANDLER
                R"(: \d+ messages of the handle, \d+ reached the library-wide handler\.)",
     false},
    {Line::HandlerOtherHandle, "HandlerOtherHandle",
     "%s: %s: called %u times with another handle than the one opened.",
     PROBE_NAME ": " PROBE_HANDLER
                R"(: called \d+ times with another handle than the one opened\.)",
     false},
    {Line::HandlerOtherData, "HandlerOtherData",
     "%s: %s: called %u times with the other handler's user data.",
     PROBE_NAME ": " PROBE_HANDLER R"(: called \d+ times with the other handler's user data\.)",
     false},
    {Line::HandlerNoUserData, "HandlerNoUserData",
     "%s: " PROBE_ERROR_HANDLER ": called %u times without the user data given.",
     PROBE_NAME ": " PROBE_ERROR_HANDLER R"(: called \d+ times without the user data given\.)",
     false},
    {Line::HandlerForeign, "HandlerForeign",
     "%s: " PROBE_ERROR_HANDLER ": called for a message of another handle.",
     PROBE_NAME ": " PROBE_ERROR_HANDLER R"(: called for a message of another handle\.)", false},
    {Line::LimitRead, "LimitRead",
     "%s: " PROBE_LIMIT ": a directory of %u strips read under a limit of %ld bytes.",
     PROBE_NAME ": " PROBE_LIMIT R"(: a directory of \d+ strips read under a limit of \d+ bytes\.)",
     false},
    {Line::LimitSilent, "LimitSilent",
     "%s: " PROBE_LIMIT ": a directory of %u strips refused without a message.",
     PROBE_NAME ": " PROBE_LIMIT R"(: a directory of \d+ strips refused without a message\.)",
     false},
    {Line::LimitRefused, "LimitRefused",
     "%s: " PROBE_LIMIT ": a directory of %u strips refused under a limit of %ld bytes.",
     PROBE_NAME ": " PROBE_LIMIT
                R"(: a directory of \d+ strips refused under a limit of \d+ bytes\.)",
     false},
    {Line::CleanupClosed, "CleanupClosed",
     "%s: TIFFOpen(3tiff): TIFFCleanup closed the descriptor.",
     PROBE_NAME R"(: TIFFOpen\(3tiff\): TIFFCleanup closed the descriptor\.)", false},
    {Line::CheckpointFails, "CheckpointFails", "%s: page 0: TIFFCheckpointDirectory failed.",
     PROBE_NAME R"(: page 0: TIFFCheckpointDirectory failed\.)", false},

    {Line::OriginalCantCreate, "OriginalCantCreate", "Can't create test TIFF file %s.",
     R"(Can't create test TIFF file [^ ]+\.)", true},
    {Line::OriginalCantOpen, "OriginalCantOpen", "Can't open test TIFF file %s.",
     R"(Can't open test TIFF file [^ ]+\.)", true},
    {Line::OriginalCantSetNamed, "OriginalCantSetNamed", "Can't set %s tag.",
     R"(Can't set [A-Za-z]+ tag\.)", true},
    {Line::OriginalCantSet, "OriginalCantSet", "Can't set tag %lu.",
     R"(Can't set tag \d+( \((NUMBEROFINKS|INKNAMES)\))?\.)", true},
    {Line::OriginalProblemFetching, "OriginalProblemFetching", "Problem fetching tag %lu.",
     R"(Problem fetching tag \d+\.)", true},
    {Line::OriginalWrongValue, "OriginalWrongValue", "Wrong SHORT value fetched for tag %lu.",
     R"(Wrong (SHORT value|SHORT PAIR|LONG value) fetched for tag \d+\.)", true},
    {Line::OriginalCantGet, "OriginalCantGet", "Can't get tag %lu.",
     R"(Can't get tag \d+( \(INKNAMES\))?\.)", true},
    {Line::OriginalCantWrite, "OriginalCantWrite", "Can't write image data.",
     R"(Can't write image data\.)", true},
    {Line::OriginalStripArray, "OriginalStripArray", "Can't fetch STRIPOFFSETS.",
     R"(Can't (fetch|rewrite|allocate memory for) STRIP(OFFSETS|BYTECOUNTS)\.)", true},
    {Line::OriginalStripValue, "OriginalStripValue", "%s:%s[%d]: Got %X:%08X instead of %X:%08X.",
     R"([a-z0-9_]+\.tif:STRIP(OFFSETS|BYTECOUNTS)\[\d+\]: Got [0-9A-F]+:[0-9A-F]{8} instead of [0-9A-F]+:[0-9A-F]{8}\.)",
     true},
};

inline constexpr size_t line_form_count = sizeof(line_forms) / sizeof(line_forms[0]);

// The row of `id`.
constexpr const LineForm &FormOf(Line id)
{
    return line_forms[static_cast<size_t>(id)];
}

#undef PROBE_NAME
#undef PROBE_CODEC
#undef PROBE_PLACE
#undef PROBE_AFTER
#undef PROBE_FIELD
#undef PROBE_UNIT
#undef PROBE_HEX
#undef PROBE_G
#undef PROBE_TYPE
#undef PROBE_PRINT
#undef PROBE_VALUES
#undef PROBE_STEP
#undef PROBE_FAULT
#undef PROBE_TALLY
#undef PROBE_HANDLER
#undef PROBE_ERROR_HANDLER
#undef PROBE_LIMIT

} // namespace probe

#endif
