// Writes TIFF and BigTIFF structure byte by byte, without the TIFF library:
// the inverse of ifd_reader, for files in encodings the library's own writer
// never makes, damaged ones included. Nothing is checked: a caller asks for
// a wrong header, a count past the end or an IFD that links to itself, and
// gets exactly that. Sizes of types come from ifd_reader (TypeSize), so the
// on-disk format has one home both ways.
//
// A file grows at its end: the header, then whatever the caller appends in
// order (data blocks, padding, IFDs with their out-of-line values). Each
// append returns the offset it landed at, so a caller that wants an IFD
// before its strips asks IfdSize first.
#ifndef TIFF_PROBES_IFD_WRITER_H
#define TIFF_PROBES_IFD_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ifd_reader.h"

namespace ifd {

// "Not given": the writer derives the value itself.
constexpr uint64_t derived = ~uint64_t{0};

// One entry as it goes on disk.
struct Field {
    uint16_t tag = 0;
    uint16_t type = 0;
    // Elements as ifd::Entry::values holds them: integers (signed ones as
    // their bits), FLOAT and DOUBLE as bit patterns, RATIONAL and SRATIONAL
    // as numerator, denominator pairs, ASCII as its bytes.
    std::vector<uint64_t> values;
    uint64_t count = derived;    // the count field; derived: the number of values
    uint64_t value_at = derived; // out of line, the offset field; derived: where the
                                 // IFD puts the values, which it then writes
    bool odd = false;            // out-of-line values start at an odd offset
};

// Builders of fields from typed values.
Field Numbers(uint16_t tag, uint16_t type, std::vector<uint64_t> values);
Field Text(uint16_t tag, const std::string &bytes); // the bytes as given, NULs included
Field Floats(uint16_t tag, const std::vector<float> &values);
Field Doubles(uint16_t tag, const std::vector<double> &values);
// Numerator, denominator pairs; SRATIONAL ones as signed 32-bit values.
Field Rationals(uint16_t tag, uint16_t type, const std::vector<int64_t> &pairs);

struct Ifd {
    std::vector<Field> fields; // written in this order, sorted or not
    uint64_t count = derived;  // the entry count; derived: fields.size()
    bool odd = false;          // at an odd offset, where TIFF asks for an aligned one
};

class Writer {
  public:
    Writer(bool big_endian, bool bigtiff);

    bool BigEndian() const { return big_endian_; }
    bool BigTiff() const { return bigtiff_; }

    // The header's fields as written, to make wrong headers: the version
    // (42, 43), BigTIFF's offset size (8) and its constant (0).
    void SetVersion(uint16_t version) { Put(2, version, 2); }
    void SetOffsetSize(uint16_t size);
    void SetConstant(uint16_t constant);
    // The header's first-IFD offset; AppendIfd sets it for the first IFD
    // of the chain.
    void SetFirst(uint64_t offset);

    // Appends bytes as they are; returns their offset.
    uint64_t Append(const std::vector<uint8_t> &bytes);
    // The boundary values and IFDs begin on: a word in TIFF 6.0, 8 bytes in
    // BigTIFF, whose offsets and values are 8 bytes wide.
    unsigned Alignment() const { return bigtiff_ ? 8 : 2; }
    // The first offset from `at` on that boundary, or (odd) one past it.
    uint64_t Aligned(uint64_t at, bool odd = false) const;
    // Pads with zeros to Aligned(Size(), odd).
    void Align(bool odd = false);

    // Bytes an IFD takes with its out-of-line values, from an aligned
    // offset (odd ones: one past it).
    uint64_t IfdSize(const Ifd &ifd) const;
    // Appends an IFD at the next aligned offset (odd ones: one past it), then its
    // out-of-line values; chained, the previous chained IFD's next offset
    // (or the header) points to it. Returns its offset.
    uint64_t AppendIfd(const Ifd &ifd, bool chained = true);
    // Rewrites the next-IFD offset of the IFD appended at `ifd_offset`.
    void SetNext(uint64_t ifd_offset, uint64_t next);

    // A field's values as they go on disk, in this file's byte order.
    std::vector<uint8_t> Encode(const Field &f) const;
    // Bytes of an entry's inline slot: 4, or 8 in BigTIFF.
    unsigned Slot() const { return bigtiff_ ? 8 : 4; }

    uint64_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t> &Bytes() const { return bytes_; }
    // Writes `width` bytes of `value` at `at`, in the file's byte order,
    // growing the file if needed: the last resort for any other damage.
    void Put(uint64_t at, uint64_t value, unsigned width);

  private:
    bool big_endian_;
    bool bigtiff_;
    std::vector<uint8_t> bytes_;
    uint64_t last_next_; // where the last chained IFD's next offset sits; 4 or 8 at first
};

// Writes `bytes` to `path`; no error, or why it failed (the reader's Error,
// as LoadFile gives it).
Error SaveFile(const char *path, const std::vector<uint8_t> &bytes);

} // namespace ifd

#endif
