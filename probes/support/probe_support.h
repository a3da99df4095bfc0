// What the newer probes share: opening their files and saying when the
// library refuses, a handle that closes itself, failure lines, and the
// checks of a file's bytes read by our own reader. The four original probes
// keep their own single-file shape and use none of it.
#ifndef TIFF_PROBES_PROBE_SUPPORT_H
#define TIFF_PROBES_PROBE_SUPPORT_H

#include <cstdint>
#include <vector>

#include <tiffio.h>

#include "ifd_reader.h"
#include "library_messages.h"

namespace probe {

// Writes one failure line on standard error: the text as printf formats
// it, then a newline.
void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));

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

    TIFF *get() const { return tif_; }
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
    unsigned long count() const;

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
// "NAME: UNIT I on disk: page P: byte B is 0xX, expected 0xY.".
bool ChunkHolds(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count,
                const std::vector<uint8_t> &expected, const char *unit, uint64_t index,
                unsigned page, const char *filename);

} // namespace probe

#endif
