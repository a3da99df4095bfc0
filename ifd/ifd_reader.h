// Reads the structure of a TIFF or BigTIFF file from its bytes, without the
// TIFF library: the header, the chain of IFDs and every entry's values,
// decoded in the file's own byte order whatever the host's. The bytes may be
// corrupt (the files come from a library under test), so every offset and
// count is checked against the size before use, and every problem comes back
// as an Error naming what was wrong and at which file offset.
#ifndef TIFF_PROBES_IFD_READER_H
#define TIFF_PROBES_IFD_READER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ifd {

// The tag numbers this reader and its callers name.
namespace tag {
constexpr uint16_t NewSubfileType = 254;
constexpr uint16_t ImageWidth = 256;
constexpr uint16_t ImageLength = 257;
constexpr uint16_t ImageDescription = 270;
constexpr uint16_t StripOffsets = 273;
constexpr uint16_t StripByteCounts = 279;
constexpr uint16_t TileWidth = 322;
constexpr uint16_t TileLength = 323;
constexpr uint16_t TileOffsets = 324;
constexpr uint16_t TileByteCounts = 325;
constexpr uint16_t SubIFDs = 330;
constexpr uint16_t Exif = 34665;
constexpr uint16_t Gps = 34853;
constexpr uint16_t Interoperability = 40965;
} // namespace tag

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

struct Header {
    bool big_endian = false;
    bool bigtiff = false;
    uint64_t first_ifd = 0;
};

struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint64_t count = 0;
    bool is_inline = false; // the values sit in the entry itself
    uint64_t value_at = 0;  // file offset of the values (inside the entry when inline)
    uint64_t entry_at = 0;  // file offset of the entry
    // One element per value, in host order: integers zero-extended (see
    // Signed), FLOAT and DOUBLE as their bit patterns, and RATIONAL and
    // SRATIONAL as two elements each, numerator then denominator. Empty for
    // an unknown type, whose size the reader cannot know.
    std::vector<uint64_t> values;
};

// How an IFD was reached: through the header's chain, or through an entry
// of another IFD that points to it.
enum class Link : uint8_t { Chain, SubIFD, Exif, Gps, Interoperability };

struct Directory {
    uint64_t offset = 0;
    std::vector<Entry> entries;
    uint64_t next = 0; // offset of the next IFD, 0 at the end of the chain
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

class Reader {
  public:
    // The bytes must outlive the reader.
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    // Reads and checks the header; the other calls need it read first.
    Error ReadHeader(Header *header);
    // Reads the IFD at `offset` with every entry's values. Values that add
    // up to more bytes than the file has are an error: in a sound file they
    // share no bytes.
    Error ReadDirectory(uint64_t offset, Directory *dir) const;
    // Reads the chain from the header's first IFD, following each next
    // offset; a loop, IFDs that overlap and values of all the IFDs that add
    // up to more than the file are errors. After an error, `chain` holds
    // the IFDs read before it.
    Error ReadChain(std::vector<Directory> *chain) const;
    // An unsigned integer of `width` bytes (1, 2, 4 or 8) at `at`, in the
    // file's byte order; the caller has checked the bounds.
    uint64_t Uint(uint64_t at, unsigned width) const;

    // ReadDirectory, taking the bytes of the values from `*budget`, shared
    // by all the IFDs of one reading.
    Error ReadDirectory(uint64_t offset, Directory *dir, uint64_t *budget) const;

  private:
    bool Fits(uint64_t at, uint64_t length) const { return at <= size_ && length <= size_ - at; }

    const uint8_t *data_;
    size_t size_;
    Header header_;
    bool have_header_ = false;
};

// Reads the header, the chain and every linked IFD. The values of all IFDs
// together take at most the file's size in bytes, and each IFD offset is
// read at most once, so the memory taken is bounded by the file's size
// whatever the bytes say.
File ReadFile(const uint8_t *data, size_t size);

// Reads a whole file into `bytes`; files over 256 MiB are refused.
Error LoadFile(const char *path, std::vector<uint8_t> *bytes);

} // namespace ifd

#endif
