// Reads the structure of a TIFF or BigTIFF file from its bytes, without the
// TIFF library: the header, the chain of IFDs, the IFDs that SubIFDs, Exif,
// GPS and Interoperability entries point to, and every entry's values,
// decoded in the file's own byte order whatever the host's. The bytes may be
// corrupt (the files come from a library under test), so every offset and
// count is checked against the size before use, and every problem comes back
// as an Error naming what was wrong and at which file offset, while all that
// is sound is kept.
//
// Memory: ReadFile holds at most 32 bytes per byte of the file at once, plus
// 4 KiB, whatever the bytes say; tests/ifd_reader_test.cpp measures the
// hostile shapes, which stay under 18. Why it is bounded: the values of all
// entries together take at most the file's size in bytes (8 bytes per
// decoded element, so at most 8 per byte); the IFDs kept never share a byte
// and each offset is read once, so entries (56 bytes for 12 on disk) and
// IFDs (56 bytes and an index node of 64 for at least 14 on disk) grow with
// the file; each entry, IFD and link gives at most two problems; and no
// entry table is read for a count the whole file could not hold.
#ifndef TIFF_PROBES_IFD_READER_H
#define TIFF_PROBES_IFD_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tags.h"

namespace ifd {

// Field type codes of TIFF 6.0 and BigTIFF.
enum Type : uint16_t {
    BYTE = 1,
    ASCII = 2,
    SHORT = 3,
    LONG = 4,
    RATIONAL = 5,
    SBYTE = 6,
    UNDEFINED = 7,
    SSHORT = 8,
    SLONG = 9,
    SRATIONAL = 10,
    FLOAT = 11,
    DOUBLE = 12,
    IFD = 13,
    LONG8 = 16,
    SLONG8 = 17,
    IFD8 = 18,
};

// Bytes per value of a type code, 0 for a code that is not a known type.
unsigned TypeSize(uint16_t type);
// "BYTE", "SHORT", ...; "unknown" for an unknown code.
const char *TypeName(uint16_t type);

// Why a read failed, and where; empty `what` means no error.
struct Error {
    std::string what;
    uint64_t offset = 0;
    explicit operator bool() const { return !what.empty(); }
};

// An Error at `offset`, its text as printf formats it: every message the
// reader and the writer give is made here, its values checked by the
// compiler against the format.
Error ErrorAt(uint64_t offset, const char *format, ...) __attribute__((format(printf, 2, 3)));

struct Header {
    bool big_endian = false;
    bool bigtiff = false;
    uint64_t first_ifd = 0;
};

// An entry the reader kept: its type is known and its values lie inside the
// file, clear of the header.
struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    bool is_inline = false; // the values sit in the entry itself
    uint64_t count = 0;
    uint64_t value_at = 0; // file offset of the values (inside the entry when inline)
    uint64_t entry_at = 0; // file offset of the entry
    // One element per value, in host order: integers zero-extended (see
    // Signed), FLOAT and DOUBLE as their bit patterns, and RATIONAL and
    // SRATIONAL as two elements each, numerator then denominator.
    std::vector<uint64_t> values;
};

// How an IFD was reached: through the header's chain, or through an entry
// of another IFD that points to it.
enum class Link : uint8_t { Chain, SubIFD, Exif, Gps, Interoperability };

struct Directory {
    uint64_t offset = 0;
    std::vector<Entry> entries; // the sound ones, in file order
    // Offset of the next IFD, 0 at the end of the chain and when the
    // entries are cut off. Only the chain's next offsets are followed.
    uint64_t next = 0;
    Link link = Link::Chain;
    uint64_t parent = 0; // for a linked IFD, the offset of the IFD whose entry points to it
};

// The one definition of an entry that points to further IFDs: SubIFDs, Exif,
// GPS or Interoperability, holding offsets (LONG or IFD, or in BigTIFF also
// LONG8 or IFD8).
bool PointsToIfds(const Entry &e);

// A whole file as ReadFile finds it: the chain, every IFD that the chain's
// entries point to (to any depth), and every problem met on the way.
struct File {
    bool has_header = false; // false: the header itself is problems[0]
    Header header;
    std::vector<Directory> chain;  // in chain order
    std::vector<Directory> linked; // in the order first reached
    std::vector<Error> problems;

    // The IFD read at `offset`, chain or linked, or null.
    const Directory *Find(uint64_t offset) const;
};

// The entry of `tag` in a directory, or null.
const Entry *FindEntry(const Directory &dir, uint32_t tag);

// The bits of a signed value of `size` bytes, sign-extended.
int64_t Signed(uint64_t bits, unsigned size);
float FloatFromBits(uint64_t bits);
double DoubleFromBits(uint64_t bits);

// Reads the header, the chain and every linked IFD, breadth first, each IFD
// offset at most once. Every problem is reported and the sound rest kept:
// - an entry of an unknown type code, whose values' size cannot be known,
//   or whose values run past the end, overlap the header or would take
//   more bytes than the file has left for values (in a sound file no two
//   entries share value bytes), is reported and left out;
// - an IFD whose entry table is cut off by the end of the file keeps the
//   entries that are whole; one whose next offset is cut off keeps its
//   entries and ends the chain;
// - an IFD offset outside the file or inside the header, an IFD with no
//   entries, one whose entry count is more than the whole file could hold,
//   one that overlaps an IFD already read, and a chain that comes back to an
//   IFD are reported and not read; the chain ends there;
// - an entry that points to IFDs reports its first target that gives no IFD
//   (the problem names the tag) and, if there are more, how many.
File ReadFile(const uint8_t *data, size_t size);

// Lookups that read no more than they need, for files whose directories are
// too large to decode whole within a probe's budget (100,000 strips), with
// the same bounds checks as ReadFile.
// The offsets of the IFDs of the main chain, without their entries' values.
// Stops at the first problem, which it returns; `offsets` holds the IFDs
// found before it.
Error ChainOffsets(const uint8_t *data, size_t size, std::vector<uint64_t> *offsets);
// Value `index` of the unsigned integer entry (BYTE, SHORT, LONG, LONG8 or
// IFD8) of `tag` in the IFD at `ifd_offset`, read alone.
Error ValueAt(const uint8_t *data, size_t size, uint64_t ifd_offset, uint16_t tag, uint64_t index,
              uint64_t *value);

// Reads a whole file into `bytes`; files over 256 MiB are refused.
Error LoadFile(const char *path, std::vector<uint8_t> *bytes);

} // namespace ifd

#endif
