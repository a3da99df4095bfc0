#include "ifd_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace ifd {

namespace {

// Bytes per element of a field's values: a RATIONAL is two elements.
unsigned ElementSize(uint16_t type)
{
    const unsigned size = TypeSize(type);
    return type == RATIONAL || type == SRATIONAL ? size / 2 : size;
}

uint64_t ElementCount(const Field &f)
{
    return f.values.size();
}

// The value count an entry stands for, which is what decides its placement.
uint64_t CountOf(const Field &f)
{
    if (f.count != derived)
        return f.count;
    return f.type == RATIONAL || f.type == SRATIONAL ? ElementCount(f) / 2 : ElementCount(f);
}

uint64_t EncodedSize(const Field &f)
{
    return ElementCount(f) * ElementSize(f.type);
}

} // namespace

Field Numbers(uint16_t tag, uint16_t type, std::vector<uint64_t> values)
{
    Field f;
    f.tag = tag;
    f.type = type;
    f.values = std::move(values);
    return f;
}

Field Text(uint16_t tag, const std::string &bytes)
{
    return Numbers(tag, ASCII, std::vector<uint64_t>(bytes.begin(), bytes.end()));
}

namespace {

// FLOAT or DOUBLE values as their bit patterns, as a Field holds them.
template <typename Real, typename Bits>
Field RealBits(uint16_t tag, uint16_t type, const std::vector<Real> &values)
{
    static_assert(sizeof(Real) == sizeof(Bits), "a value's bits are as wide as it");
    Field f = Numbers(tag, type, {});
    for (const Real v : values) {
        Bits bits;
        memcpy(&bits, &v, sizeof(bits));
        f.values.push_back(bits);
    }
    return f;
}

} // namespace

Field Floats(uint16_t tag, const std::vector<float> &values)
{
    return RealBits<float, uint32_t>(tag, FLOAT, values);
}

Field Doubles(uint16_t tag, const std::vector<double> &values)
{
    return RealBits<double, uint64_t>(tag, DOUBLE, values);
}

Field Rationals(uint16_t tag, uint16_t type, const std::vector<int64_t> &pairs)
{
    Field f = Numbers(tag, type, {});
    for (const int64_t v : pairs)
        f.values.push_back(static_cast<uint32_t>(v));
    return f;
}

Writer::Writer(bool big_endian, bool bigtiff)
    : big_endian_(big_endian), bigtiff_(bigtiff), bytes_(2, big_endian ? 'M' : 'I'),
      last_next_(bigtiff ? 8 : 4)
{
    Put(2, bigtiff ? 43 : 42, 2);
    if (bigtiff) {
        SetOffsetSize(8);
        SetConstant(0);
    }
    SetFirst(0);
}

void Writer::SetOffsetSize(uint16_t size)
{
    Put(4, size, 2);
}

void Writer::SetConstant(uint16_t constant)
{
    Put(6, constant, 2);
}

void Writer::SetFirst(uint64_t offset)
{
    Put(bigtiff_ ? 8 : 4, offset, bigtiff_ ? 8 : 4);
}

void Writer::Put(uint64_t at, uint64_t value, unsigned width)
{
    if (bytes_.size() < at + width)
        bytes_.resize(at + width);
    for (unsigned i = 0; i < width; i++) {
        const unsigned shift = 8 * (big_endian_ ? width - 1 - i : i);
        bytes_[at + i] = static_cast<uint8_t>(value >> shift);
    }
}

uint64_t Writer::Append(const std::vector<uint8_t> &bytes)
{
    const uint64_t at = bytes_.size();
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return at;
}

namespace {

uint64_t AlignedAt(uint64_t at, unsigned alignment, bool odd)
{
    const uint64_t want = odd ? 1 : 0;
    while (at % alignment != want)
        at++;
    return at;
}

} // namespace

uint64_t Writer::Aligned(uint64_t at, bool odd) const
{
    return AlignedAt(at, Alignment(), odd);
}

void Writer::Align(bool odd)
{
    bytes_.resize(Aligned(bytes_.size(), odd), 0);
}

std::vector<uint8_t> Writer::Encode(const Field &f) const
{
    const unsigned width = ElementSize(f.type);
    std::vector<uint8_t> out;
    out.reserve(EncodedSize(f));
    for (const uint64_t v : f.values) {
        for (unsigned i = 0; i < width; i++) {
            const unsigned shift = 8 * (big_endian_ ? width - 1 - i : i);
            out.push_back(static_cast<uint8_t>(v >> shift));
        }
    }
    return out;
}

namespace {

// Where each out-of-line value of an IFD at `start` lands, and where the
// values end: each begins aligned, or one past that where its field asks.
uint64_t PlaceValues(const Ifd &ifd, uint64_t start, bool bigtiff, std::vector<uint64_t> *at)
{
    const unsigned slot = bigtiff ? 8 : 4;
    const uint64_t n = ifd.fields.size();
    uint64_t end = start + (bigtiff ? 8 : 2) + n * (bigtiff ? 20 : 12) + slot;
    for (const Field &f : ifd.fields) {
        const uint64_t size = EncodedSize(f);
        if (f.value_at != derived || size <= slot) {
            at->push_back(derived);
            continue;
        }
        end = AlignedAt(end, bigtiff ? 8 : 2, f.odd);
        at->push_back(end);
        end += size;
    }
    return end;
}

} // namespace

uint64_t Writer::IfdSize(const Ifd &ifd) const
{
    std::vector<uint64_t> at;
    const uint64_t start = ifd.odd ? 1 : 0;
    return PlaceValues(ifd, start, bigtiff_, &at) - start;
}

uint64_t Writer::AppendIfd(const Ifd &ifd, bool chained)
{
    Align(ifd.odd);
    const uint64_t start = bytes_.size();
    const unsigned slot = Slot();
    const unsigned count_width = bigtiff_ ? 8 : 2;
    const unsigned entry_size = bigtiff_ ? 20 : 12;
    std::vector<uint64_t> at;
    const uint64_t end = PlaceValues(ifd, start, bigtiff_, &at);

    bytes_.resize(end);
    Put(start, ifd.count != derived ? ifd.count : ifd.fields.size(), count_width);
    for (size_t i = 0; i < ifd.fields.size(); i++) {
        const Field &f = ifd.fields[i];
        const uint64_t entry = start + count_width + i * entry_size;
        Put(entry, f.tag, 2);
        Put(entry + 2, f.type, 2);
        Put(entry + 4, CountOf(f), slot);
        const uint64_t value = entry + 4 + slot;
        const std::vector<uint8_t> encoded = Encode(f);
        if (f.value_at != derived) {
            Put(value, f.value_at, slot);
        } else if (at[i] == derived) {
            std::copy(encoded.begin(), encoded.end(),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(value));
        } else {
            Put(value, at[i], slot);
            std::copy(encoded.begin(), encoded.end(),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(at[i]));
        }
    }
    const uint64_t next = start + count_width + ifd.fields.size() * entry_size;
    Put(next, 0, slot);
    if (chained) {
        Put(last_next_, start, slot);
        last_next_ = next;
    }
    return start;
}

void Writer::SetNext(uint64_t ifd_offset, uint64_t next)
{
    const unsigned count_width = bigtiff_ ? 8 : 2;
    uint64_t n = 0;
    for (unsigned i = 0; i < count_width; i++) {
        const unsigned shift = 8 * (big_endian_ ? count_width - 1 - i : i);
        n |= uint64_t{bytes_[ifd_offset + i]} << shift;
    }
    Put(ifd_offset + count_width + n * (bigtiff_ ? 20 : 12), next, Slot());
}

Error SaveFile(const char *path, const std::vector<uint8_t> &bytes)
{
    FILE *f = fopen(path, "wb");
    if (!f)
        return ErrorAt(0, "cannot create %s: %s", path, strerror(errno));
    // An empty vector may hold no buffer at all, which fwrite must not be given.
    const bool written = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = fclose(f) == 0;
    if (!written || !closed)
        return ErrorAt(0, "cannot write %s: %s", path, strerror(errno));
    return Error{};
}

} // namespace ifd
