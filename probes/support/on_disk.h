// The checks of a file's bytes, read by our own reader (ifd/): its header,
// its reading, its tags' order and alignment, its chunks and pages.
#ifndef TIFF_PROBES_ON_DISK_H
#define TIFF_PROBES_ON_DISK_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ifd_reader.h"
#include "skeleton.h"

namespace probe {

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

// Reads a file whole (ReadOnDisk) and checks its header and its reading: the
// byte order and format asked for ("NAME: header: II version 43, expected
// MM version 43."), and no problem (NoProblems). False after saying why.
bool ReadFormat(const char *filename, bool big_endian, bool bigtiff, OnDisk *disk);
// The same for a layout's file.
bool ReadFormat(const Layout &layout, OnDisk *disk);

// The file's chain of IFDs holds `pages` pages; otherwise says
// "NAME: expected N pages, the file holds M.".
bool PagesOnDisk(const ifd::File &file, size_t pages, const char *filename);

} // namespace probe

#endif
