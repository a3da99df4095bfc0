// client_probe's values: the pages it writes through its own procedures, the
// steps whose calls it makes fail and the faults it injects, shared with its
// test.
#ifndef TIFF_PROBES_CLIENT_VALUES_H
#define TIFF_PROBES_CLIENT_VALUES_H

#include <cstddef>
#include <cstdint>

namespace client {

// An 8-bit grey page in strips. Neither page is square and the first one's
// last strip is short, so a swapped or truncated geometry shows.
struct Page {
    uint32_t width;
    uint32_t length;
    uint32_t rows_per_strip;
    const char *description;
};

inline constexpr Page pages[] = {
    {24, 10, 4, "client page 0"},
    {9, 5, 5, "client page 1"},
};
inline constexpr size_t page_count = sizeof(pages) / sizeof(pages[0]);

// Page 0's description after the update: longer, so that the directory
// cannot stay where it was.
inline constexpr char updated_description[] =
    "client page 0, rewritten with a description too long for its old place";

// The steps of the writer, the updater and the reader whose library call the
// sweep breaks, in the order they run. The strips written and read between
// them are not broken: they are the data whose survival is checked.
enum class Step : uint8_t {
    OpenWrite,   // TIFFClientOpen "w": the header
    Checkpoint,  // TIFFCheckpointDirectory, after page 0's first strip
    WriteDir,    // TIFFWriteDirectory of page 0
    CloseWrite,  // TIFFClose, which writes page 1's directory
    OpenUpdate,  // TIFFClientOpen "r+": the header and page 0
    Rewrite,     // TIFFRewriteDirectory of page 0 with a longer description
    CloseUpdate, // TIFFClose after the rewrite
    OpenRead,    // TIFFClientOpen "rm": the header and page 0
    ReadDir,     // TIFFReadDirectory to page 1
    None,        // any other call: not counted, never broken
};
inline constexpr size_t step_count = static_cast<size_t>(Step::None);

struct StepInfo {
    const char *name; // as the failure lines name it
    const char *call; // the library call the step makes
    Step step;
    // TIFFClose(3tiff) returns void: a failed close can only show through
    // the error handler.
    bool returns_status;
    // The handle writes: a call that returns success after one of its
    // procedures failed must have made the failure good, message or not. A
    // reading may go on past a failure that it reports in a message.
    bool writes;
};

inline constexpr StepInfo steps[step_count] = {
    {"open for writing", "TIFFClientOpen", Step::OpenWrite, true, true},
    {"checkpoint", "TIFFCheckpointDirectory", Step::Checkpoint, true, true},
    {"directory write", "TIFFWriteDirectory", Step::WriteDir, true, true},
    {"close after writing", "TIFFClose", Step::CloseWrite, false, true},
    {"open for update", "TIFFClientOpen", Step::OpenUpdate, true, true},
    {"rewrite", "TIFFRewriteDirectory", Step::Rewrite, true, true},
    {"close after the rewrite", "TIFFClose", Step::CloseUpdate, false, true},
    {"open for reading", "TIFFClientOpen", Step::OpenRead, true, false},
    {"directory read", "TIFFReadDirectory", Step::ReadDir, true, false},
};

// The faults, one procedure each.
enum class Fault : uint8_t { ShortRead, FailedWrite, FailedSeek, None };
inline constexpr size_t fault_count = static_cast<size_t>(Fault::None);

struct FaultInfo {
    Fault fault;
    const char *call; // the procedure, as "call N" names it
    const char *what; // "a short read", as the lines say it
};

inline constexpr FaultInfo faults[fault_count] = {
    // Half the bytes asked for, the position moved by as many, as read(2)
    // may return; the calls after it read as usual.
    {Fault::ShortRead, "read", "a short read"},
    // -1 and nothing stored.
    {Fault::FailedWrite, "write", "a failed write"},
    // -1, as lseek(2) fails, and the position left where it was.
    {Fault::FailedSeek, "seek", "a failed seek"},
};

// The sweep breaks call N of each procedure in each step for N from 1 to the
// number of calls a run without faults makes there, at most this many: a
// library that reads byte by byte would otherwise make the probe slow.
inline constexpr unsigned max_calls_swept = 64;

// The open options' page: one-row strips, so that its strip arrays are
// large. TIFFGetField(3tiff) gives StripOffsets as uint64_t values, so the
// library holds 8 bytes per strip; on disk a classic file holds 4.
inline constexpr uint32_t limit_strips = 1024;
inline constexpr uint32_t limit_width = 3;
// A limit below the arrays in either width: the directory must be refused.
inline constexpr long refused_limit = 4L * limit_strips - 1;
// A limit far above them: the same directory must read.
inline constexpr long ample_limit = 64L * limit_strips;

// A private tag the library does not know: setting it makes the library's
// own error, which the handle's error handler must take.
inline constexpr uint32_t unknown_tag = 65000;

// Byte i of page k's pixels.
constexpr uint8_t Pixel(size_t k, size_t i)
{
    return static_cast<uint8_t>(k * 37U + i * 7U + 3U);
}

} // namespace client

#endif
