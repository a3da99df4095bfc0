// What the newer probes share: their layouts and their main loop, opening
// their files and saying when the library refuses, a handle that closes
// itself, the failure lines (docs/lines.md lists them), and the checks of a
// file's bytes read by our own reader. Every check returns true when it
// passes. The four original probes keep their own single-file shape.
#ifndef TIFF_PROBES_PROBE_SUPPORT_H
#define TIFF_PROBES_PROBE_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "library_messages.h"

namespace probe {

// The reporter: writes one failure line on standard error, the text as
// printf formats it, then a newline. No other code of the newer probes
// prints; the Say* routines below word the lines that several probes share.
void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The one line that is no failure: "skipped: WHAT" on standard output, for
// a part of a probe the library under test cannot run (a codec it lacks).
// A probe says it only when it passed, so that every line of a failed run
// is a failure line.
void SaySkipped(const char *format, ...) __attribute__((format(printf, 1, 2)));

// A library may be built without any codec but none: a page whose codec it
// lacks is written uncompressed instead, and the probe says so once.
// `compression`, or COMPRESSION_NONE where the library lacks its codec, which
// is then remembered for SayCodecSkips.
uint16_t CodecOrNone(uint16_t compression);
// Whether CodecOrNone dropped the codec of `compression`.
bool CodecDropped(uint16_t compression);
// "skipped: no X codec", once per codec CodecOrNone dropped, in the order
// dropped (X as codec_probe names it: LZW, JPEG, Deflate, CCITT, ...).
void SayCodecSkips();

// One file a probe writes: its name, its byte order and its format.
// Whatever else a probe varies by layout stays in a table of its own,
// keyed by the file name (PerLayout).
struct Layout {
    const char *filename;
    bool big_endian;
    bool bigtiff;
};

// How a file is opened.
enum class Access {
    Create,      // a new file, in the layout's byte order and format
    Read,        // "r"
    Update,      // "r+"
    ReadOnDemand // "rO": strile arrays loaded as they are needed
};

// The mode TIFFOpen takes: "wl", "wb", "w8l" or "w8b" to create; reading
// and updating take the byte order and format from the file.
const char *Mode(const Layout &layout, Access access);

// A probe's value for one layout.
template <typename T>
struct PerLayout {
    const char *filename;
    T value;
};

// The value `table` holds for `layout`. A layout missing from its probe's
// table is the probe's own fault, so it stops the probe.
template <typename T, size_t N>
const T &ForLayout(const PerLayout<T> (&table)[N], const Layout &layout)
{
    for (const PerLayout<T> &row : table) {
        if (strcmp(row.filename, layout.filename) == 0)
            return row.value;
    }
    Say("%s: no row for this layout.", layout.filename);
    abort();
}

// The newer probes' main loop: runs `check` on every layout, whatever the
// earlier ones returned, and removes the file of each layout that passed
// (a failed layout's file stays behind for inspection). The exit status:
// 0 when every layout passed, 1 otherwise.
int RunLayouts(const Layout *layouts, size_t count,
               const std::function<bool(const Layout &)> &check);
template <size_t N>
int RunLayouts(const Layout (&layouts)[N], const std::function<bool(const Layout &)> &check)
{
    return RunLayouts(layouts, N, check);
}

// True on a big-endian host.
bool HostBigEndian();

// "page K", the place of a line about one page.
std::string Page(unsigned long k);

// A TIFF handle that closes itself. The probes leave a failed layout's file
// behind, so closing is all it does.
class Tiff {
  public:
    Tiff() = default;
    explicit Tiff(TIFF *tif) : tif_(tif) {}
    Tiff(const Tiff &) = delete;
    Tiff &operator=(const Tiff &) = delete;
    Tiff(Tiff &&other) noexcept : tif_(other.tif_) { other.tif_ = nullptr; }
    Tiff &operator=(Tiff &&other) noexcept;
    ~Tiff() { Close(); }

    TIFF *Get() const { return tif_; }
    operator TIFF *() const
    {
        return tif_;
    } // NOLINT(google-explicit-constructor): passed to the library's calls
    explicit operator bool() const { return tif_ != nullptr; }
    void Close();

  private:
    TIFF *tif_ = nullptr;
};

// Opens a new file; says "Can't create test TIFF file NAME." when the
// library refuses.
Tiff Create(const char *filename, const char *mode);
// Opens an existing file; says "Can't open test TIFF file NAME." when the
// library refuses.
Tiff Reopen(const char *filename, const char *mode);
// The same for a layout's file.
Tiff Create(const Layout &layout);
Tiff Reopen(const Layout &layout, Access access);

// True when the library said nothing since `since` (a LibraryMessages()
// count); otherwise says "NAME: the library reported a problem.".
bool LibraryQuiet(const char *filename, unsigned long since);

// A file's bytes and what our own reader reads in them.
struct OnDisk {
    std::vector<uint8_t> bytes;
    ifd::File file;
};

// Loads a file and reads it whole; the error when it cannot be loaded. The
// reading's problems are in disk->file.problems.
ifd::Error ReadOnDisk(const char *filename, OnDisk *disk);
// Says each problem of a reading, "NAME: IFD at OFFSET: WHAT.", up to a
// limit, so that one run names every defect of the file; true when there
// was none.
bool NoProblems(const char *filename, const ifd::File &file);

// Tags strictly ascending, as TIFF requires; otherwise says
// "NAME: IFD at OFFSET: tag B follows tag A.".
bool TagsAscending(const ifd::Directory &dir, const char *filename);
// Values stored out of line begin on a word boundary; otherwise says
// "NAME: tag N on disk: values at odd offset OFFSET.".
bool WordAligned(const ifd::Directory &dir, const char *filename);
// The strip (or tile) arrays hold `count` entries each, and every chunk lies
// inside the file. `unit` is "strip" or "tile".
bool ChunksInside(const ifd::Directory &dir, uint64_t file_size, uint16_t offsets_tag,
                  uint16_t counts_tag, uint64_t count, const char *unit, const char *filename);

// Value `i` of an entry as a number: integers by their type's signedness,
// FLOAT and DOUBLE from their bits, RATIONAL and SRATIONAL as the quotient.
// A zero denominator gives NaN, which equals nothing, so it fails any
// comparison.
double Number(const ifd::Entry &e, size_t i);

// While one lives, the library's errors and warnings are counted here and
// not passed on: the message of a call a probe makes in order to see it
// refused (a query past the end) is expected, not a finding, and is not
// printed. The counting handlers are back when it goes.
class ExpectedMessages {
  public:
    ExpectedMessages();
    ~ExpectedMessages();
    ExpectedMessages(const ExpectedMessages &) = delete;
    ExpectedMessages &operator=(const ExpectedMessages &) = delete;
    unsigned long Count() const;

  private:
    TIFFErrorHandler error_;
    TIFFErrorHandler warning_;
    unsigned long before_;
};

// No two chunks of the arrays share a byte; otherwise says
// "NAME: UNIT A on disk: overlaps UNIT B.". The arrays are known to hold
// the same number of entries (ChunksInside).
bool ChunksApart(const ifd::Directory &dir, uint16_t offsets_tag, uint16_t counts_tag,
                 const char *unit, const char *filename);
// The `count` bytes at `offset` are `expected`; otherwise says
// "NAME: UNIT I on disk: page P: N bytes, expected M." or
// "NAME: UNIT I on disk: page P: byte B is 0xX, expected 0xY." and, when
// more bytes differ, "NAME: UNIT I on disk: page P: N more bytes differ,
// the last at byte B.".
bool ChunkHolds(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count,
                const std::vector<uint8_t> &expected, const char *unit, uint64_t index,
                unsigned page, const char *filename);
// The same, saying nothing.
bool ChunkMatches(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count,
                  const std::vector<uint8_t> &expected);

// The failure lines of the probes that set and fetch fields, one routine a
// line so that every probe words them alike (docs/lines.md). A line about
// one page or directory names it: PLACE, e.g. "page 2" or "EXIF IFD", follows
// the file name, after a comma in the lines that begin with a verb, as its
// own field in the lines that begin with the file name; a null place is
// left out.
//
// "Can't set tag N in NAME[, PLACE]."
void SayCantSet(unsigned long tag, const char *filename, const char *place = nullptr);
// "Problem fetching tag N in NAME[, PLACE]."
void SayProblemFetching(unsigned long tag, const char *filename, const char *place = nullptr);
// "Wrong TYPE value fetched for tag N in NAME[, PLACE]: value I is 0xGOT,
// expected 0xEXPECT." Integers and the bits of reals.
void SayWrongValue(const char *type, unsigned long tag, const char *filename, unsigned long i,
                   uint64_t got, uint64_t expect, const char *place = nullptr);
// "Wrong TYPE value fetched for tag N in NAME[, PLACE]: value I is GOT,
// expected EXPECT." Numbers compared as numbers, as %.9g prints them.
void SayWrongNumber(const char *type, unsigned long tag, const char *filename, unsigned long i,
                    double got, double expect, const char *place = nullptr);
// "Wrong TYPE value fetched for tag N in NAME[, PLACE]: GOT values, expected
// EXPECT."
void SayWrongCount(const char *type, unsigned long tag, const char *filename, unsigned long got,
                   unsigned long expect, const char *place = nullptr);
// "Wrong ASCII value fetched for tag N in NAME[, PLACE]: "GOT", expected
// "EXPECT"." A null `expect` is a field that should not be there: "expected
// none".
void SayWrongText(unsigned long tag, const char *filename, const char *got, const char *expect,
                  const char *place = nullptr);

// "NAME: PLACE: can't VERB the directory.", VERB being what the library
// refused: create, write, rewrite, read, unlink.
void SayCantDirectory(const char *verb, const char *filename, const char *place);

// The lines about an entry on disk:
// "NAME: [PLACE: ]tag N on disk: missing."
void SayMissingOnDisk(unsigned long tag, const char *filename, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: TYPE[COUNT], expected EXPECTED[N]."
void SayWrongEntry(const ifd::Entry &e, const char *filename, const char *expected,
                   unsigned long count, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: value I is 0xGOT, expected 0xEXPECT."
void SayWrongValueOnDisk(unsigned long tag, const char *filename, unsigned long i, uint64_t got,
                         uint64_t expect, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: value I is GOT, expected EXPECT." (%.9g)
void SayWrongNumberOnDisk(unsigned long tag, const char *filename, unsigned long i, double got,
                          double expect, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: byte I is 0xGG, expected 0xEE."
void SayWrongByteOnDisk(unsigned long tag, const char *filename, unsigned long i, unsigned got,
                        unsigned expect, const char *place = nullptr);

// The lines about image data, UNIT being "strip" or "tile":
// "Can't write image data in NAME[, PLACE]."
void SayCantWrite(const char *filename, const char *place = nullptr);
// "Can't read image data in UNIT I of NAME[, PLACE]."
void SayCantRead(const char *unit, unsigned long index, const char *filename,
                 const char *place = nullptr);
// "Wrong image data in UNIT I of NAME[, PLACE]."
void SayWrongImage(const char *unit, unsigned long index, const char *filename,
                   const char *place = nullptr);
// "Wrong image data in UNIT I of NAME[, PLACE]: byte B is 0xGG, expected
// 0xEE."
void SayWrongImageByte(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long byte, unsigned got, unsigned expect);

// A check goes on past a wrong item, so that a known defect in one hides no
// other: it names the first few wrong items and counts the rest.
constexpr unsigned long named_problems = 3;
// After the first wrong byte (or value) of a chunk, the others: "Wrong image
// data in UNIT I of NAME[, PLACE]: N more WHAT differ, the last at byte B."
void SayMoreWrongBytes(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long more, const char *what, unsigned long last);
// After `named_problems` wrong chunks, the rest: "Wrong image data in UNIT I
// of NAME[, PLACE]: N wrong UNITs from here to UNIT L, not named."
void SayMoreWrongImages(const char *unit, unsigned long from, const char *filename,
                        const char *place, unsigned long more, unsigned long last);
// The same on disk: "NAME: UNIT I on disk: page P: N wrong UNITs from here
// to UNIT L, not named."
void SayMoreWrongOnDisk(const char *unit, unsigned long from, unsigned page, const char *filename,
                        unsigned long more, unsigned long last);

// Reads a file whole (ReadOnDisk) and checks its header and its reading: the
// byte order and format asked for ("NAME: header: II version 43, expected
// MM version 43."), and no problem (NoProblems). False after saying why.
bool ReadFormat(const char *filename, bool big_endian, bool bigtiff, OnDisk *disk);
// The same for a layout's file.
bool ReadFormat(const Layout &layout, OnDisk *disk);

// "NAME: IFD at FIRST: N IFDs in the file, expected M.", the IFDs of every
// kind counted, FIRST the header's first.
void SayIfdCount(const char *filename, uint64_t first, unsigned long count, unsigned long expect);

// The file's chain of IFDs holds `pages` pages; otherwise says
// "NAME: expected N pages, the file holds M.".
bool PagesOnDisk(const ifd::File &file, size_t pages, const char *filename);

// TIFFSetField and TIFFGetField through their va_list forms, TIFFVSetField
// and TIFFVGetField, so that a probe can hold those to the same values.
int VSet(TIFF *tif, uint32_t tag, ...);
int VGet(TIFF *tif, uint32_t tag, ...);

} // namespace probe

#endif
