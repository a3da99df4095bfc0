#include "ifd_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

namespace ifd {

namespace {

struct TypeInfo {
    uint16_t code;
    unsigned size;
    const char *name;
};

// The one table of type sizes.
constexpr TypeInfo types[] = {
    {BYTE, 1, "BYTE"},
    {ASCII, 1, "ASCII"},
    {SHORT, 2, "SHORT"},
    {LONG, 4, "LONG"},
    {RATIONAL, 8, "RATIONAL"},
    {SBYTE, 1, "SBYTE"},
    {UNDEFINED, 1, "UNDEFINED"},
    {SSHORT, 2, "SSHORT"},
    {SLONG, 4, "SLONG"},
    {SRATIONAL, 8, "SRATIONAL"},
    {FLOAT, 4, "FLOAT"},
    {DOUBLE, 8, "DOUBLE"},
    {IFD, 4, "IFD"},
    {LONG8, 8, "LONG8"},
    {SLONG8, 8, "SLONG8"},
    {IFD8, 8, "IFD8"},
};

const TypeInfo *Find(uint16_t type)
{
    const auto is = [type](const TypeInfo &t) { return t.code == type; };
    const TypeInfo *t = std::find_if(std::begin(types), std::end(types), is);
    return t != std::end(types) ? t : nullptr;
}

Error Fail(uint64_t offset, const char *format, unsigned long long a = 0, unsigned long long b = 0)
{
    char text[160];
    // Some formats use only the first argument, or none.
    // cppcheck-suppress wrongPrintfScanfArgNum
    snprintf(text, sizeof(text), format, a, b);
    return Error{text, offset};
}

// Files larger than this are refused rather than read into memory.
constexpr uint64_t max_file_size = 256ULL << 20;

} // namespace

unsigned TypeSize(uint16_t type)
{
    const TypeInfo *t = Find(type);
    return t ? t->size : 0;
}

const char *TypeName(uint16_t type)
{
    const TypeInfo *t = Find(type);
    return t ? t->name : "unknown";
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

uint64_t Reader::Uint(uint64_t at, unsigned width) const
{
    uint64_t v = 0;
    for (unsigned i = 0; i < width; i++) {
        const unsigned byte = header_.big_endian ? i : width - 1 - i;
        v = (v << 8) | data_[at + byte];
    }
    return v;
}

Error Reader::ReadHeader(Header *header)
{
    if (size_ < 8)
        return Fail(0, "file of %llu bytes is too short for a header", size_);
    if (data_[0] == 'I' && data_[1] == 'I')
        header_.big_endian = false;
    else if (data_[0] == 'M' && data_[1] == 'M')
        header_.big_endian = true;
    else
        return Fail(0, "unknown byte-order mark 0x%02llx%02llx", data_[0], data_[1]);

    const uint64_t version = Uint(2, 2);
    if (version == 42) {
        header_.bigtiff = false;
        header_.first_ifd = Uint(4, 4);
    } else if (version == 43) {
        if (size_ < 16)
            return Fail(0, "file of %llu bytes is too short for a BigTIFF header", size_);
        if (Uint(4, 2) != 8)
            return Fail(4, "BigTIFF offset size %llu, not 8", Uint(4, 2));
        if (Uint(6, 2) != 0)
            return Fail(6, "BigTIFF reserved word %llu, not 0", Uint(6, 2));
        header_.bigtiff = true;
        header_.first_ifd = Uint(8, 8);
    } else {
        return Fail(2, "version %llu, neither 42 nor 43", version);
    }
    have_header_ = true;
    *header = header_;
    return Error{};
}

Error Reader::ReadDirectory(uint64_t offset, Directory *dir) const
{
    uint64_t budget = size_;
    return ReadDirectory(offset, dir, &budget);
}

Error Reader::ReadDirectory(uint64_t offset, Directory *dir, uint64_t *budget) const
{
    if (!have_header_)
        return Fail(offset, "directory read before the header");
    const unsigned count_size = header_.bigtiff ? 8 : 2;
    const unsigned entry_size = header_.bigtiff ? 20 : 12;
    const unsigned slot = header_.bigtiff ? 8 : 4; // bytes for inline values or an offset

    if (offset == 0 || !Fits(offset, count_size))
        return Fail(offset, "IFD offset %llu is outside the file of %llu bytes", offset, size_);
    const uint64_t n = Uint(offset, count_size);
    // Checked by division first, so a huge count cannot overflow the product.
    const uint64_t room = size_ - offset - count_size;
    if (n > room / entry_size || !Fits(offset + count_size + n * entry_size, slot))
        return Fail(offset, "%llu entries run past the end of the file of %llu bytes", n, size_);

    dir->offset = offset;
    dir->entries.clear();
    dir->entries.reserve(n);
    for (uint64_t i = 0; i < n; i++) {
        Entry e;
        e.entry_at = offset + count_size + i * entry_size;
        e.tag = static_cast<uint16_t>(Uint(e.entry_at, 2));
        e.type = static_cast<uint16_t>(Uint(e.entry_at + 2, 2));
        e.count = Uint(e.entry_at + 4, header_.bigtiff ? 8 : 4);
        const uint64_t field = e.entry_at + (header_.bigtiff ? 12 : 8);
        const unsigned size = TypeSize(e.type);
        if (size == 0) {
            // Readers skip types they do not know; the entry stays visible.
            e.value_at = field;
            e.is_inline = true;
            dir->entries.push_back(e);
            continue;
        }
        if (e.count > size_ / size)
            return Fail(e.entry_at, "tag %llu: count %llu is larger than the file", e.tag, e.count);
        const uint64_t length = e.count * size;
        // Values of a sound file share no bytes, so they cannot add up to
        // more than the file; entries that all point at the same bytes could
        // otherwise make the decoded values quadratic in the file's size.
        if (length > *budget)
            return Fail(e.entry_at, "tag %llu: values of %llu bytes, more than the file has left",
                        e.tag, length);
        *budget -= length;
        e.is_inline = length <= slot;
        e.value_at = e.is_inline ? field : Uint(field, slot);
        if (!Fits(e.value_at, length))
            return Fail(e.entry_at, "tag %llu: values at %llu run past the end of the file", e.tag,
                        e.value_at);
        const unsigned width = (e.type == RATIONAL || e.type == SRATIONAL) ? 4 : size;
        const uint64_t elements = length / width;
        e.values.reserve(elements);
        for (uint64_t k = 0; k < elements; k++)
            e.values.push_back(Uint(e.value_at + k * width, width));
        dir->entries.push_back(std::move(e));
    }
    dir->next = Uint(offset + count_size + n * entry_size, slot);
    return Error{};
}

Error Reader::ReadChain(std::vector<Directory> *chain) const
{
    // Start and end of each IFD read so far: a chain that comes back to one
    // loops, one that reaches into one is corrupt.
    std::map<uint64_t, uint64_t> extents;
    uint64_t budget = size_;
    uint64_t offset = header_.first_ifd;

    chain->clear();
    if (!have_header_)
        return Fail(0, "chain read before the header");
    while (offset != 0) {
        if (extents.count(offset) != 0)
            return Fail(offset, "the IFD chain loops back to offset %llu", offset);
        Directory dir;
        Error err = ReadDirectory(offset, &dir, &budget);
        if (err)
            return err;
        const uint64_t end =
            offset + (header_.bigtiff ? 16 : 6) + dir.entries.size() * (header_.bigtiff ? 20 : 12);
        const auto after = extents.lower_bound(offset);
        if ((after != extents.end() && after->first < end) ||
            (after != extents.begin() && std::prev(after)->second > offset))
            return Fail(offset, "the IFD at %llu overlaps another IFD of the chain", offset);
        extents[offset] = end;
        offset = dir.next;
        chain->push_back(std::move(dir));
    }
    return Error{};
}

bool PointsToIfds(const Entry &e)
{
    const bool link_tag = e.tag == tag::SubIFDs || e.tag == tag::Exif || e.tag == tag::Gps ||
                          e.tag == tag::Interoperability;
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

Link LinkOf(uint16_t tag)
{
    switch (tag) {
    case tag::SubIFDs:
        return Link::SubIFD;
    case tag::Exif:
        return Link::Exif;
    case tag::Gps:
        return Link::Gps;
    default:
        return Link::Interoperability;
    }
}

// Start and end of each IFD read so far: an IFD met again is not read
// again, and one that reaches into another is corrupt.
class Extents {
  public:
    bool Seen(uint64_t offset) const { return ends_.count(offset) != 0; }
    bool Overlaps(uint64_t offset, uint64_t end) const
    {
        const auto after = ends_.lower_bound(offset);
        return (after != ends_.end() && after->first < end) ||
               (after != ends_.begin() && std::prev(after)->second > offset);
    }
    void Add(uint64_t offset, uint64_t end) { ends_[offset] = end; }

  private:
    std::map<uint64_t, uint64_t> ends_;
};

} // namespace

File ReadFile(const uint8_t *data, size_t size)
{
    File file;
    Reader reader(data, size);
    Error err = reader.ReadHeader(&file.header);
    if (err) {
        file.problems.push_back(err);
        return file;
    }
    file.has_header = true;
    const bool big = file.header.bigtiff;
    uint64_t budget = size;
    Extents extents;

    // Reads one IFD into `dirs`, or says why it cannot; false when it was
    // not read.
    const auto read = [&](uint64_t offset, Link link, uint64_t parent,
                          std::vector<Directory> *dirs) {
        Directory dir;
        Error e = reader.ReadDirectory(offset, &dir, &budget);
        if (e) {
            file.problems.push_back(e);
            return false;
        }
        const uint64_t end = offset + (big ? 16 : 6) + dir.entries.size() * (big ? 20 : 12);
        if (extents.Overlaps(offset, end)) {
            file.problems.push_back(Fail(offset, "the IFD at %llu overlaps another IFD", offset));
            return false;
        }
        extents.Add(offset, end);
        dir.link = link;
        dir.parent = parent;
        dirs->push_back(std::move(dir));
        return true;
    };

    for (uint64_t offset = file.header.first_ifd; offset != 0;) {
        if (extents.Seen(offset)) {
            file.problems.push_back(
                Fail(offset, "the IFD chain loops back to offset %llu", offset));
            break;
        }
        if (!read(offset, Link::Chain, 0, &file.chain))
            break;
        offset = file.chain.back().next;
    }
    // Breadth first over the links; `linked` grows while it is walked, so
    // each IFD's links are gathered before any of them is read.
    struct Target {
        uint16_t tag;
        uint64_t entry_at;
        uint64_t offset;
    };
    const auto follow = [&](const Directory &dir) {
        std::vector<Target> targets;
        for (const Entry &e : dir.entries) {
            if (PointsToIfds(e)) {
                for (const uint64_t offset : e.values)
                    targets.push_back({e.tag, e.entry_at, offset});
            }
        }
        const uint64_t parent = dir.offset;
        for (const Target &t : targets) {
            if (extents.Seen(t.offset)) {
                file.problems.push_back(Fail(t.entry_at,
                                             "tag %llu points to the IFD at %llu, read already",
                                             t.tag, t.offset));
                continue;
            }
            read(t.offset, LinkOf(t.tag), parent, &file.linked);
        }
    };
    for (const Directory &dir : file.chain)
        follow(dir);
    for (size_t i = 0; i < file.linked.size(); i++)
        follow(file.linked[i]);
    return file;
}

Error LoadFile(const char *path, std::vector<uint8_t> *bytes)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return Error{std::string("cannot open ") + path, 0};
    bytes->clear();
    uint8_t buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof(buf), f)) > 0) {
        if (bytes->size() + got > max_file_size) {
            fclose(f);
            return Fail(bytes->size(), "file is larger than %llu bytes", max_file_size);
        }
        bytes->insert(bytes->end(), buf, buf + got);
    }
    const bool failed = ferror(f) != 0;
    fclose(f);
    if (failed)
        return Error{std::string("cannot read ") + path, bytes->size()};
    return Error{};
}

} // namespace ifd
