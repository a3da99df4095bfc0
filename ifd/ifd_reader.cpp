#include "ifd_reader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include <sys/stat.h>

#include "host_order.h"

namespace ifd {

namespace {

struct TypeInfo {
    unsigned size; // 0: not a type
    const char *name;
};

// The one table of type sizes, indexed by type code.
constexpr TypeInfo types[] = {
    {0, "unknown"},   {1, "BYTE"},  {1, "ASCII"},     {2, "SHORT"},  {4, "LONG"},
    {8, "RATIONAL"},  {1, "SBYTE"}, {1, "UNDEFINED"}, {2, "SSHORT"}, {4, "SLONG"},
    {8, "SRATIONAL"}, {4, "FLOAT"}, {8, "DOUBLE"},    {4, "IFD"},    {0, "unknown"},
    {0, "unknown"},   {8, "LONG8"}, {8, "SLONG8"},    {8, "IFD8"},
};

const TypeInfo &Find(uint16_t type)
{
    return type < std::size(types) ? types[type] : types[0];
}

// Files larger than this are refused rather than read into memory.
constexpr uint64_t max_file_size = 256ULL << 20;

} // namespace

Error ErrorAt(uint64_t offset, const char *format, ...)
{
    va_list values;
    va_start(values, format);
    va_list again;
    va_copy(again, values);
    const int size = vsnprintf(nullptr, 0, format, values);
    va_end(values);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return Error{text, offset};
}

unsigned TypeSize(uint16_t type)
{
    return Find(type).size;
}

const char *TypeName(uint16_t type)
{
    return Find(type).name;
}

const Entry *FindEntry(const Directory &dir, uint32_t tag)
{
    const auto it = std::find_if(dir.entries.begin(), dir.entries.end(),
                                 [tag](const Entry &e) { return e.tag == tag; });
    return it == dir.entries.end() ? nullptr : &*it;
}

int64_t Signed(uint64_t bits, unsigned size)
{
    if (size == 0 || size >= 8)
        return static_cast<int64_t>(bits);
    const unsigned shift = 64 - 8 * size;
    // Moving the sign bit to the top and back sign-extends it.
    return static_cast<int64_t>(bits << shift) >> shift;
}

float FloatFromBits(uint64_t bits)
{
    const auto narrow = static_cast<uint32_t>(bits);
    float f;
    memcpy(&f, &narrow, sizeof(f));
    return f;
}

double DoubleFromBits(uint64_t bits)
{
    double d;
    memcpy(&d, &bits, sizeof(d));
    return d;
}

bool PointsToIfds(const Entry &e)
{
    const bool link_tag = e.tag == tag::SubIFDs || e.tag == tag::ExifIFD ||
                          e.tag == tag::GPSInfoIFD || e.tag == exif_tag::InteroperabilityIFD;
    const bool offsets = e.type == LONG || e.type == IFD || e.type == LONG8 || e.type == IFD8;
    return link_tag && offsets;
}

const Directory *File::Find(uint64_t offset) const
{
    for (const std::vector<Directory> *dirs : {&chain, &linked}) {
        for (const Directory &dir : *dirs) {
            if (dir.offset == offset)
                return &dir;
        }
    }
    return nullptr;
}

namespace {

// Unsigned integers of the file's byte order.
template <typename T>
T Load(const uint8_t *p, bool swap)
{
    T v;
    memcpy(&v, p, sizeof(v));
    if (!swap)
        return v;
    if constexpr (sizeof(T) == 2)
        return __builtin_bswap16(v);
    else if constexpr (sizeof(T) == 4)
        return __builtin_bswap32(v);
    else if constexpr (sizeof(T) == 8)
        return __builtin_bswap64(v);
    else
        return v;
}

// An unsigned integer of `width` bytes (1, 2, 4 or 8) at `p`.
uint64_t LoadUint(const uint8_t *p, unsigned width, bool swap)
{
    switch (width) {
    case 2:
        return Load<uint16_t>(p, swap);
    case 4:
        return Load<uint32_t>(p, swap);
    case 8:
        return Load<uint64_t>(p, swap);
    default:
        return *p;
    }
}

template <typename T>
void Decode(const uint8_t *p, uint64_t n, bool swap, uint64_t *out)
{
    for (uint64_t k = 0; k < n; k++)
        out[k] = Load<T>(p + k * sizeof(T), swap);
}

Link LinkOf(uint16_t tag)
{
    switch (tag) {
    case tag::SubIFDs:
        return Link::SubIFD;
    case tag::ExifIFD:
        return Link::Exif;
    case tag::GPSInfoIFD:
        return Link::Gps;
    default:
        return Link::Interoperability;
    }
}

// One reading of a whole file into a File.
class Reader {
  public:
    Reader(const uint8_t *data, size_t size, File *file)
        : data_(data), size_(size), budget_(size), file_(file)
    {
    }

    void Run();

  private:
    bool ReadHeader();
    // Reads the IFD at `offset` into `dirs`, or says in `*why` why there is
    // none there; entries and next offset cut off are problems of their own.
    bool ReadIfd(uint64_t offset, Link link, uint64_t parent, std::vector<Directory> *dirs,
                 Error *why);
    // Reads entry `e` whose type and count are filled in; false (with the
    // problem noted) when its values are unusable.
    bool ReadValues(Entry *e, uint64_t field);
    // Follows the links of the IFD `dirs[i]`.
    void Follow(const std::vector<Directory> &dirs, size_t i);

    uint64_t Uint(uint64_t at, unsigned width) const { return LoadUint(data_ + at, width, swap_); }
    bool Fits(uint64_t at, uint64_t length) const { return at <= size_ && length <= size_ - at; }
    void Problem(Error e) { file_->problems.push_back(std::move(e)); }

    const uint8_t *data_;
    uint64_t size_;   // 64 bits on every host, as the messages print it
    uint64_t budget_; // bytes of values still to be had
    File *file_;
    bool swap_ = false;
    unsigned header_size_ = 8;
    unsigned count_size_ = 2;
    unsigned entry_size_ = 12;
    unsigned slot_ = 4; // bytes for inline values or an offset
    // Start and end of each IFD read: an IFD met again is not read again,
    // and one that reaches into another is not read at all.
    std::map<uint64_t, uint64_t> extents_;
};

bool Reader::ReadHeader()
{
    if (size_ < 8) {
        Problem(ErrorAt(0, "file of %" PRIu64 " bytes is too short for a header", size_));
        return false;
    }
    Header &h = file_->header;
    if (data_[0] == 'I' && data_[1] == 'I') {
        h.big_endian = false;
    } else if (data_[0] == 'M' && data_[1] == 'M') {
        h.big_endian = true;
    } else {
        Problem(ErrorAt(0, "unknown byte-order mark 0x%02x%02x", data_[0], data_[1]));
        return false;
    }
    swap_ = h.big_endian != host_big_endian;

    const uint64_t version = Uint(2, 2);
    if (version == 42) {
        h.first_ifd = Uint(4, 4);
    } else if (version == 43) {
        if (size_ < 16) {
            Problem(
                ErrorAt(0, "file of %" PRIu64 " bytes is too short for a BigTIFF header", size_));
            return false;
        }
        if (Uint(4, 2) != 8) {
            Problem(ErrorAt(4, "BigTIFF offset size %" PRIu64 ", not 8", Uint(4, 2)));
            return false;
        }
        if (Uint(6, 2) != 0) {
            Problem(ErrorAt(6, "BigTIFF reserved word %" PRIu64 ", not 0", Uint(6, 2)));
            return false;
        }
        h.bigtiff = true;
        h.first_ifd = Uint(8, 8);
        header_size_ = 16;
        count_size_ = 8;
        entry_size_ = 20;
        slot_ = 8;
    } else {
        Problem(ErrorAt(2, "version %" PRIu64 ", neither 42 nor 43", version));
        return false;
    }
    file_->has_header = true;
    return true;
}

bool Reader::ReadIfd(uint64_t offset, Link link, uint64_t parent, std::vector<Directory> *dirs,
                     Error *why)
{
    if (offset < header_size_) {
        *why = ErrorAt(offset, "IFD offset %" PRIu64 " overlaps the header", offset);
        return false;
    }
    if (!Fits(offset, count_size_)) {
        *why = ErrorAt(offset, "IFD offset %" PRIu64 " is outside the file of %" PRIu64 " bytes",
                       offset, size_);
        return false;
    }
    // An IFD met again, or one that starts inside another, is not read.
    const auto after = extents_.upper_bound(offset);
    if (after != extents_.begin() && std::prev(after)->first == offset) {
        *why = ErrorAt(offset, "the IFD at %" PRIu64 " is read already", offset);
        return false;
    }
    if (after != extents_.begin() && std::prev(after)->second > offset) {
        *why = ErrorAt(offset, "the IFD at %" PRIu64 " overlaps another IFD", offset);
        return false;
    }
    const uint64_t n = Uint(offset, count_size_);
    // A sound IFD has an entry; an offset into zeros reads as none.
    if (n == 0) {
        *why = ErrorAt(offset, "the IFD at %" PRIu64 " has no entries", offset);
        return false;
    }
    // Checked by division, so a huge count cannot overflow a product.
    if (n > size_ / entry_size_) {
        *why = ErrorAt(offset,
                       "%" PRIu64 " entries are more than the file of %" PRIu64 " bytes could hold",
                       n, size_);
        return false;
    }
    const uint64_t table = offset + count_size_;
    const uint64_t whole = std::min<uint64_t>(n, (size_ - table) / entry_size_);
    if (whole == 0) {
        *why = ErrorAt(offset,
                       "none of the %" PRIu64 " entries is inside the file of %" PRIu64 " bytes", n,
                       size_);
        return false;
    }
    const uint64_t next_at = table + n * entry_size_;
    const bool has_next = whole == n && Fits(next_at, slot_);
    const uint64_t end = std::min<uint64_t>(next_at + slot_, size_);
    if (after != extents_.end() && after->first < end) {
        *why = ErrorAt(offset, "the IFD at %" PRIu64 " overlaps another IFD", offset);
        return false;
    }
    extents_.emplace_hint(after, offset, end);
    if (whole < n)
        Problem(ErrorAt(offset,
                        "only %" PRIu64 " of %" PRIu64 " entries are inside the file of %" PRIu64
                        " bytes",
                        whole, n, size_));
    else if (!has_next)
        Problem(ErrorAt(offset, "the next IFD offset at %" PRIu64 " runs past the end of the file",
                        next_at));

    Directory dir;
    dir.offset = offset;
    dir.link = link;
    dir.parent = parent;
    dir.next = has_next ? Uint(next_at, slot_) : 0;
    dir.entries.reserve(whole);
    for (uint64_t i = 0; i < whole; i++) {
        const uint64_t at = table + i * entry_size_;
        Entry &e = dir.entries.emplace_back();
        e.entry_at = at;
        e.tag = static_cast<uint16_t>(Uint(at, 2));
        e.type = static_cast<uint16_t>(Uint(at + 2, 2));
        e.count = Uint(at + 4, slot_);
        if (!ReadValues(&e, at + 4 + slot_))
            dir.entries.pop_back();
    }
    dirs->push_back(std::move(dir));
    return true;
}

bool Reader::ReadValues(Entry *e, uint64_t field)
{
    const unsigned size = TypeSize(e->type);
    if (size == 0) {
        Problem(ErrorAt(e->entry_at, "tag %u: unknown type code %u", e->tag, e->type));
        return false;
    }
    if (e->count > size_ / size) {
        Problem(ErrorAt(e->entry_at, "tag %u: count %" PRIu64 " is larger than the file", e->tag,
                        e->count));
        return false;
    }
    const uint64_t length = e->count * size;
    // Values of a sound file share no bytes, so they cannot add up to more
    // than the file; entries that all point at the same bytes could
    // otherwise make the decoded values quadratic in the file's size.
    if (length > budget_) {
        Problem(ErrorAt(e->entry_at,
                        "tag %u: values of %" PRIu64 " bytes, more than the file has left", e->tag,
                        length));
        return false;
    }
    e->is_inline = length <= slot_;
    e->value_at = e->is_inline ? field : Uint(field, slot_);
    if (!Fits(e->value_at, length)) {
        Problem(ErrorAt(e->entry_at, "tag %u: values at %" PRIu64 " run past the end of the file",
                        e->tag, e->value_at));
        return false;
    }
    if (!e->is_inline && e->value_at < header_size_) {
        Problem(ErrorAt(e->entry_at, "tag %u: values at %" PRIu64 " overlap the header", e->tag,
                        e->value_at));
        return false;
    }
    budget_ -= length;
    const unsigned width = (e->type == RATIONAL || e->type == SRATIONAL) ? 4 : size;
    const uint64_t n = length / width;
    e->values.resize(n);
    const uint8_t *p = data_ + e->value_at;
    switch (width) {
    case 1:
        std::copy(p, p + n, e->values.begin());
        break;
    case 2:
        Decode<uint16_t>(p, n, swap_, e->values.data());
        break;
    case 4:
        Decode<uint32_t>(p, n, swap_, e->values.data());
        break;
    default:
        Decode<uint64_t>(p, n, swap_, e->values.data());
        break;
    }
    return true;
}

void Reader::Follow(const std::vector<Directory> &dirs, size_t i)
{
    // Reading a target may grow `dirs` (when it is file_->linked), so the
    // IFD and its entries are found again by index after each.
    for (size_t j = 0; j < dirs[i].entries.size(); j++) {
        if (!PointsToIfds(dirs[i].entries[j]))
            continue;
        const uint16_t tag = dirs[i].entries[j].tag;
        const uint64_t targets = dirs[i].entries[j].values.size();
        uint64_t failed = 0;
        for (uint64_t k = 0; k < targets; k++) {
            Error why;
            const uint64_t target = dirs[i].entries[j].values[k];
            if (ReadIfd(target, LinkOf(tag), dirs[i].offset, &file_->linked, &why))
                continue;
            // One problem per entry names a target; a long list of bad
            // offsets would otherwise give more problems than bytes.
            if (failed++ == 0)
                Problem(ErrorAt(why.offset, "tag %u: %s", tag, why.what.c_str()));
        }
        if (failed > 1)
            Problem(ErrorAt(dirs[i].entries[j].entry_at,
                            "tag %u: %" PRIu64 " more of its %" PRIu64 " IFD offsets give no IFD",
                            tag, failed - 1, targets));
    }
}

void Reader::Run()
{
    if (!ReadHeader())
        return;
    for (uint64_t offset = file_->header.first_ifd; offset != 0;) {
        const auto seen = extents_.find(offset);
        if (seen != extents_.end()) {
            Problem(ErrorAt(offset, "the IFD chain loops back to offset %" PRIu64, offset));
            break;
        }
        Error why;
        if (!ReadIfd(offset, Link::Chain, 0, &file_->chain, &why)) {
            Problem(why);
            break;
        }
        offset = file_->chain.back().next;
    }
    // Breadth first over the links: the chain's, then those of each linked
    // IFD in the order it was reached, while the list grows.
    for (size_t i = 0; i < file_->chain.size(); i++)
        Follow(file_->chain, i);
    for (size_t i = 0; i < file_->linked.size(); i++)
        Follow(file_->linked, i);
}

} // namespace

File ReadFile(const uint8_t *data, size_t size)
{
    File file;
    Reader(data, size, &file).Run();
    return file;
}

namespace {

// The header's layout facts for the lookups, or the header's problem.
struct Shape {
    bool swap = false;
    unsigned count_width = 2;
    unsigned entry_size = 12;
    unsigned slot = 4;
    uint64_t first_ifd = 0;

    uint64_t Uint(const uint8_t *data, uint64_t at, unsigned width) const
    {
        return LoadUint(data + at, width, swap);
    }
};

Error ShapeOf(const uint8_t *data, size_t size, Shape *s)
{
    const File file = ReadFile(data, size < 16 ? size : 16);
    if (!file.has_header)
        return file.problems.front();
    s->swap = file.header.big_endian != host_big_endian;
    s->first_ifd = file.header.first_ifd;
    if (file.header.bigtiff)
        *s = {s->swap, 8, 20, 8, s->first_ifd};
    return {};
}

bool Inside(size_t size, uint64_t at, uint64_t length)
{
    return at <= size && length <= size - at;
}

} // namespace

Error ChainOffsets(const uint8_t *data, size_t size, std::vector<uint64_t> *offsets)
{
    Shape s;
    offsets->clear();
    if (Error err = ShapeOf(data, size, &s))
        return err;
    // Each IFD takes at least its count and link, so a longer chain loops.
    const uint64_t most = size / (s.count_width + s.slot);
    for (uint64_t at = s.first_ifd; at != 0;) {
        if (offsets->size() >= most)
            return ErrorAt(at, "the IFD chain loops back to offset %" PRIu64, at);
        if (!Inside(size, at, s.count_width))
            return ErrorAt(at, "IFD offset %" PRIu64 " is outside the file of %" PRIu64 " bytes",
                           at, static_cast<uint64_t>(size));
        const uint64_t n = s.Uint(data, at, s.count_width);
        const uint64_t first = at + s.count_width;
        if (n > (size - first) / s.entry_size || !Inside(size, first + n * s.entry_size, s.slot))
            return ErrorAt(at,
                           "%" PRIu64 " entries run past the end of the file of %" PRIu64 " bytes",
                           n, static_cast<uint64_t>(size));
        offsets->push_back(at);
        at = s.Uint(data, first + n * s.entry_size, s.slot);
    }
    return {};
}

Error ValueAt(const uint8_t *data, size_t size, uint64_t ifd_offset, uint16_t tag, uint64_t index,
              uint64_t *value)
{
    Shape s;
    if (Error err = ShapeOf(data, size, &s))
        return err;
    if (!Inside(size, ifd_offset, s.count_width))
        return ErrorAt(ifd_offset,
                       "IFD offset %" PRIu64 " is outside the file of %" PRIu64 " bytes",
                       ifd_offset, static_cast<uint64_t>(size));
    const uint64_t n = s.Uint(data, ifd_offset, s.count_width);
    const uint64_t first = ifd_offset + s.count_width;
    if (n > (size - first) / s.entry_size)
        return ErrorAt(ifd_offset,
                       "%" PRIu64 " entries run past the end of the file of %" PRIu64 " bytes", n,
                       static_cast<uint64_t>(size));
    for (uint64_t k = 0; k < n; k++) {
        const uint64_t e = first + k * s.entry_size;
        if (s.Uint(data, e, 2) != tag)
            continue;
        const auto type = static_cast<uint16_t>(s.Uint(data, e + 2, 2));
        const uint64_t count = s.Uint(data, e + 4, s.slot);
        const uint64_t field = e + 4 + s.slot;
        if (type != BYTE && type != SHORT && type != LONG && type != LONG8 && type != IFD8)
            return ErrorAt(e, "tag %u: type %u, not unsigned integers", tag, type);
        const unsigned width = TypeSize(type);
        if (index >= count)
            return ErrorAt(e, "tag %u: %" PRIu64 " values, none at %" PRIu64, tag, count, index);
        // Values that fit the entry's field sit in it; others where it points.
        const uint64_t at = count <= s.slot / width ? field : s.Uint(data, field, s.slot);
        if (count > UINT64_MAX / width || !Inside(size, at, count * width))
            return ErrorAt(e, "tag %u: values at %" PRIu64 " run past the end of the file", tag,
                           at);
        *value = s.Uint(data, at + index * width, width);
        return {};
    }
    return ErrorAt(ifd_offset, "no tag %u in the IFD", tag);
}

Error LoadFile(const char *path, std::vector<uint8_t> *bytes)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return ErrorAt(0, "cannot open %s", path);
    struct stat st;
    // A regular file is read in one call of the size it has when opened; a
    // pipe (or a file that tells no size), in pieces.
    const bool sized = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    const uint64_t size = sized ? static_cast<uint64_t>(st.st_size) : 0;
    if (size > max_file_size) {
        fclose(f);
        return ErrorAt(max_file_size, "file is larger than %" PRIu64 " bytes", max_file_size);
    }
    bytes->resize(sized ? size : 65536);
    size_t have = 0;
    for (;;) {
        const size_t got = fread(bytes->data() + have, 1, bytes->size() - have, f);
        have += got;
        if (sized || got == 0 || have > max_file_size)
            break;
        if (have == bytes->size())
            bytes->resize(std::min<uint64_t>(2 * have, max_file_size + 1));
    }
    bytes->resize(have);
    const bool failed = ferror(f) != 0;
    fclose(f);
    if (have > max_file_size)
        return ErrorAt(max_file_size, "file is larger than %" PRIu64 " bytes", max_file_size);
    if (failed)
        return ErrorAt(have, "cannot read %s", path);
    return Error{};
}

} // namespace ifd
