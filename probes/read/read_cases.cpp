#include "read_cases.h"

#include <algorithm>
#include <cstring>

#include "host_order.h"

namespace read_cases {

namespace {

using ifd::Field;

// An image as the file describes it; the types of the fields that may have
// more than one.
struct Image {
    uint32_t width = 3;
    uint32_t length = 2;
    uint32_t rows_per_strip = 1;
    uint16_t samples = 1;
    uint16_t bits = 8;
    uint16_t planar = 1;
    uint16_t photometric = 1;
    bool tiled = false;
    uint32_t tile_width = 16;
    uint32_t tile_length = 32; // not the width: a swap of the two shows
    uint16_t width_type = ifd::SHORT;
    uint16_t length_type = ifd::SHORT;
    uint16_t rows_type = ifd::SHORT;
    uint16_t offsets_type = ifd::LONG;
    uint16_t counts_type = ifd::LONG;
    uint16_t tile_width_type = ifd::SHORT;
    uint16_t tile_length_type = ifd::SHORT;
    unsigned seed = 0; // pages of a chain differ in their pixels
};

// A page before it is written: its fields in file order, its chunks on disk
// and as read.
struct Page {
    std::vector<Field> fields;
    std::vector<std::vector<uint8_t>> on_disk;
    std::vector<std::vector<uint8_t>> as_read;
    bool tiled = false;
    bool ifd_first = false; // the IFD before its image data
    bool odd_data = false;  // every chunk at an odd offset
    bool odd_ifd = false;
};

Field *Find(std::vector<Field> *fields, uint16_t tag)
{
    for (Field &f : *fields) {
        if (f.tag == tag)
            return &f;
    }
    return nullptr;
}

void Remove(std::vector<Field> *fields, uint16_t tag)
{
    fields->erase(std::remove_if(fields->begin(), fields->end(),
                                 [tag](const Field &f) { return f.tag == tag; }),
                  fields->end());
}

// Adds a field in tag order.
void Insert(std::vector<Field> *fields, Field f)
{
    auto at =
        std::find_if(fields->begin(), fields->end(), [&](const Field &g) { return g.tag > f.tag; });
    fields->insert(at, std::move(f));
}

// A chunk's samples, the same values in every layout, stored in the file's
// byte order and read back in the host's.
void AddChunk(Page *p, size_t samples, unsigned bits, unsigned k, bool big_endian)
{
    std::vector<uint8_t> disk;
    std::vector<uint8_t> read;
    for (size_t i = 0; i < samples; i++) {
        const unsigned v = (k * 977U + static_cast<unsigned>(i) * 131U + 1U) & 0xffffU;
        if (bits == 8) {
            disk.push_back(static_cast<uint8_t>(v));
            read.push_back(static_cast<uint8_t>(v));
            continue;
        }
        const auto hi = static_cast<uint8_t>(v >> 8);
        const auto lo = static_cast<uint8_t>(v);
        disk.push_back(big_endian ? hi : lo);
        disk.push_back(big_endian ? lo : hi);
        read.push_back(ifd::host_big_endian ? hi : lo);
        read.push_back(ifd::host_big_endian ? lo : hi);
    }
    p->on_disk.push_back(disk);
    p->as_read.push_back(read);
}

Page MakePage(const Image &im, bool big_endian)
{
    Page p;
    p.tiled = im.tiled;
    const uint16_t planes = im.planar == 2 ? im.samples : 1;
    const size_t per_pixel = im.planar == 2 ? 1 : im.samples;
    std::vector<uint64_t> counts;
    if (im.tiled) {
        const uint32_t across = (im.width + im.tile_width - 1) / im.tile_width;
        const uint32_t down = (im.length + im.tile_length - 1) / im.tile_length;
        for (unsigned k = 0; k < across * down * planes; k++)
            AddChunk(&p, size_t{im.tile_width} * im.tile_length * per_pixel, im.bits, k + im.seed,
                     big_endian);
    } else {
        const uint32_t strips = (im.length + im.rows_per_strip - 1) / im.rows_per_strip;
        for (unsigned k = 0; k < strips * planes; k++) {
            const uint32_t s = k % strips;
            const uint32_t rows = std::min(im.rows_per_strip, im.length - s * im.rows_per_strip);
            AddChunk(&p, size_t{im.width} * rows * per_pixel, im.bits, k + im.seed, big_endian);
        }
    }
    for (const std::vector<uint8_t> &c : p.on_disk)
        counts.push_back(c.size());

    std::vector<uint64_t> per_sample(im.samples, im.bits);
    p.fields = {
        ifd::Numbers(ifd::tag::ImageWidth, im.width_type, {im.width}),
        ifd::Numbers(ifd::tag::ImageLength, im.length_type, {im.length}),
        ifd::Numbers(ifd::tag::BitsPerSample, ifd::SHORT, per_sample),
        ifd::Numbers(ifd::tag::Compression, ifd::SHORT, {1}),
        ifd::Numbers(ifd::tag::PhotometricInterpretation, ifd::SHORT, {im.photometric}),
        ifd::Numbers(ifd::tag::SamplesPerPixel, ifd::SHORT, {im.samples}),
        ifd::Numbers(ifd::tag::PlanarConfiguration, ifd::SHORT, {im.planar}),
    };
    if (im.tiled) {
        Insert(&p.fields, ifd::Numbers(ifd::tag::TileWidth, im.tile_width_type, {im.tile_width}));
        Insert(&p.fields,
               ifd::Numbers(ifd::tag::TileLength, im.tile_length_type, {im.tile_length}));
        Insert(&p.fields, ifd::Numbers(ifd::tag::TileOffsets, im.offsets_type,
                                       std::vector<uint64_t>(counts.size(), 0)));
        Insert(&p.fields, ifd::Numbers(ifd::tag::TileByteCounts, im.counts_type, counts));
    } else {
        Insert(&p.fields, ifd::Numbers(ifd::tag::RowsPerStrip, im.rows_type, {im.rows_per_strip}));
        Insert(&p.fields, ifd::Numbers(ifd::tag::StripOffsets, im.offsets_type,
                                       std::vector<uint64_t>(counts.size(), 0)));
        Insert(&p.fields, ifd::Numbers(ifd::tag::StripByteCounts, im.counts_type, counts));
    }
    return p;
}

Page MakePage(const Image &im, const Built &b)
{
    return MakePage(im, b.w.BigEndian());
}

// Where the next chunk lands, as write_chunks puts it.
uint64_t NextChunkAt(const ifd::Writer &w, uint64_t at, bool odd)
{
    return odd ? w.Aligned(at, true) : at;
}

// Writes a page: its chunks and IFD in the order it asks, the chunk offsets
// filled in. Returns the directory to expect, every field as written.
Directory WritePage(Built *b, Page *p, bool chained = true, uint64_t *ifd_at = nullptr)
{
    ifd::Writer &w = b->w;
    Field *offsets = Find(&p->fields, p->tiled ? ifd::tag::TileOffsets : ifd::tag::StripOffsets);
    std::vector<uint64_t> at;
    uint64_t pos = w.Size();
    if (p->ifd_first) {
        pos = w.Aligned(pos, p->odd_ifd);
        pos += w.IfdSize(ifd::Ifd{p->fields, ifd::derived, p->odd_ifd});
    }
    for (const std::vector<uint8_t> &c : p->on_disk) {
        pos = NextChunkAt(w, pos, p->odd_data);
        at.push_back(pos);
        pos += c.size();
    }
    if (offsets) {
        for (size_t i = 0; i < offsets->values.size() && i < at.size(); i++)
            offsets->values[i] = at[i];
    }
    const auto write_chunks = [&] {
        for (const std::vector<uint8_t> &c : p->on_disk) {
            if (p->odd_data)
                w.Align(true);
            w.Append(c);
        }
    };
    if (!p->ifd_first)
        write_chunks();
    const uint64_t ifd = w.AppendIfd(ifd::Ifd{p->fields, ifd::derived, p->odd_ifd}, chained);
    if (p->ifd_first)
        write_chunks();
    if (ifd_at)
        *ifd_at = ifd;

    Directory d;
    d.tiled = p->tiled;
    for (const Field &f : p->fields)
        d.wants.push_back({f, Rule::Exact});
    for (const std::vector<uint8_t> &c : p->as_read)
        d.chunks.push_back({c});
    return d;
}

Want *FindWant(Directory *d, uint16_t tag)
{
    for (Want &w : d->wants) {
        if (w.field.tag == tag)
            return &w;
    }
    return nullptr;
}

void OnePage(Built *b, Directory d)
{
    b->pages.push_back(std::move(d));
    b->chain = static_cast<unsigned>(b->pages.size());
}

// --- Legal encodings -------------------------------------------------------

// Each strip's rows as one byte repeated (its first), PackBits-packed in
// runs of up to 128, each row on its own as TIFF 6.0 asks: a row of 64 Ki
// pixels takes 1 KiB in the file.
void PackRows(Page *p, uint32_t width)
{
    Find(&p->fields, ifd::tag::Compression)->values = {32773};
    Field *counts = Find(&p->fields, ifd::tag::StripByteCounts);
    for (size_t k = 0; k < p->on_disk.size(); k++) {
        std::vector<uint8_t> &read = p->as_read[k];
        const uint8_t v = read.at(0);
        std::vector<uint8_t> disk;
        for (size_t row = 0; row < read.size() / width; row++) {
            for (uint32_t left = width; left > 0;) {
                const uint32_t n = std::min(left, 128U);
                // 257 - n: n copies of the next byte, or (0) one literal byte
                disk.push_back(static_cast<uint8_t>(257 - n));
                disk.push_back(v);
                left -= n;
            }
        }
        read.assign(read.size(), v);
        p->on_disk[k] = disk;
        counts->values[k] = disk.size();
    }
}

void Retyped(Built *b, uint16_t tag, uint16_t type)
{
    Image im;
    im.tiled = tag >= ifd::tag::TileWidth && tag <= ifd::tag::TileByteCounts;
    if (im.tiled)
        im.width = 17; // two tiles across
    if (tag == ifd::tag::RowsPerStrip && type == ifd::LONG) {
        // One strip of 5 rows a plane; RowsPerStrip narrowed to 16 bits (2)
        // would make three. Three planes, so that there is no single
        // uncompressed strip for the library to chop (TIFFOpen's "C" mode).
        im.length = 5;
        im.rows_per_strip = 65538;
        im.samples = 3;
        im.photometric = 2;
        im.planar = 2;
    }
    const bool wide = tag == ifd::tag::ImageWidth && type == ifd::LONG;
    if (wide)
        im.width = 65539; // narrowed to 16 bits, 3
    Page p = MakePage(im, *b);
    if (wide)
        PackRows(&p, im.width);
    Find(&p.fields, tag)->type = type;
    OnePage(b, WritePage(b, &p));
}

// Strip arrays of `type` exactly as long as the inline slot, or one value
// longer.
void StripsAt(Built *b, uint16_t type, bool over)
{
    Image im;
    im.offsets_type = im.counts_type = type;
    // Two rows a strip: an even length is never the width, nor 1.
    im.rows_per_strip = 2;
    im.length = 2 * (b->w.Slot() / ifd::TypeSize(type) + (over ? 1 : 0));
    Page p = MakePage(im, *b);
    OnePage(b, WritePage(b, &p));
}

void StripsAtEdge(Built *b, uint16_t /*tag*/, uint16_t type)
{
    StripsAt(b, type, false);
}

void StripsOverEdge(Built *b, uint16_t /*tag*/, uint16_t type)
{
    StripsAt(b, type, true);
}

// ImageDescription of as many bytes as the slot holds (its NUL included),
// or one more.
void TextAt(Built *b, uint16_t over, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    Insert(&p.fields,
           ifd::Text(ifd::tag::ImageDescription,
                     std::string("abcdefghij", b->w.Slot() - 1 + over) + std::string(1, '\0')));
    OnePage(b, WritePage(b, &p));
}

void OddValues(Built *b, uint16_t tag, uint16_t /*type*/)
{
    Image im;
    im.width = 5;
    im.length = 3; // three strips: 12 bytes of offsets, out of line in BigTIFF too
    Page p = MakePage(im, *b);
    Insert(&p.fields,
           ifd::Text(ifd::tag::ImageDescription, std::string("values at odd offsets.") + '\0'));
    // Fractions, so a rounded or numerator-only value shows; centimetres,
    // not the default inch.
    Insert(&p.fields, ifd::Rationals(ifd::tag::XResolution, ifd::RATIONAL, {601, 2}));
    Insert(&p.fields, ifd::Rationals(ifd::tag::YResolution, ifd::RATIONAL, {151, 2}));
    Insert(&p.fields, ifd::Numbers(ifd::tag::ResolutionUnit, ifd::SHORT, {3}));
    Find(&p.fields, tag)->odd = true;
    Directory d = WritePage(b, &p);
    // TIFF 6.0 expects a value to begin on a word boundary: one at an odd
    // offset is read as written or ignored, and without its StripOffsets
    // the image is refused.
    FindWant(&d, tag)->rule = Rule::ExactOrAbsent;
    if (tag == ifd::tag::StripOffsets)
        b->open = Open::MayRefuse;
    OnePage(b, d);
}

void OddData(Built *b, uint16_t /*tag*/, uint16_t /*type*/)
{
    Image im;
    im.width = 4; // chunks of even length, each one padded to an odd offset
    Page p = MakePage(im, *b);
    p.odd_data = true;
    OnePage(b, WritePage(b, &p));
}

void IfdFirst(Built *b, uint16_t first, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    p.ifd_first = first != 0;
    OnePage(b, WritePage(b, &p));
}

// ImageDescription's values before the IFD, far from it.
void ValuesBefore(Built *b, uint16_t /*tag*/, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    Field text =
        ifd::Text(ifd::tag::ImageDescription, std::string("written before its IFD") + '\0');
    b->w.Append({0, 0, 0});
    text.value_at = b->w.Append(b->w.Encode(text));
    Insert(&p.fields, text);
    OnePage(b, WritePage(b, &p));
}

// The values of a private tag of each type: an odd count, more than 8
// bytes (out of line in BigTIFF too), a value that fills the type's width,
// signed ones negative, reals exact in binary.
Field PrivateField(uint16_t type)
{
    const uint16_t tag = private_base + type;
    switch (type) {
    case ifd::ASCII:
        return ifd::Text(tag, std::string("private text") + '\0');
    case ifd::RATIONAL:
        return ifd::Rationals(tag, type, {3, 4, 5, 2, 0xffffffff, 1});
    case ifd::SRATIONAL:
        return ifd::Rationals(tag, type, {-7, 8, 5, 4, -2147483647 - 1, 1});
    case ifd::FLOAT:
        return ifd::Floats(tag, {1.5F, -0.25F, 3e38F});
    case ifd::DOUBLE:
        return ifd::Doubles(tag, {1.5, -0.25, 1e300});
    case ifd::SBYTE:
        return ifd::Numbers(tag, type, {0xff, 5, 0x80, 0x7f, 0xc3, 9, 0xfe, 0x2a, 0x81});
    case ifd::SSHORT:
        return ifd::Numbers(tag, type, {0xffff, 7, 0x8000, 0x7fff, 0xc0de});
    case ifd::SLONG:
        return ifd::Numbers(tag, type, {0xffffffff, 7, 0x80000000});
    case ifd::SLONG8:
        return ifd::Numbers(tag, type, {~uint64_t{0}, 7, uint64_t{1} << 63});
    case ifd::LONG8:
    case ifd::IFD8:
        return ifd::Numbers(tag, type, {1, uint64_t{1} << 40, 0xfedcba9876543210});
    case ifd::LONG:
    case ifd::IFD:
        return ifd::Numbers(tag, type, {1, 0xffffffff, 8});
    case ifd::SHORT:
        return ifd::Numbers(tag, type, {1, 0xffff, 8, 0x1234, 0x8001});
    default: // BYTE, UNDEFINED
        return ifd::Numbers(tag, type, {0, 0x80, 0xff, 7, 0x3c, 1, 0xa5, 0x7f, 0x42});
    }
}

void Private(Built *b, uint16_t /*tag*/, uint16_t type)
{
    Page p = MakePage(Image(), *b);
    Insert(&p.fields, PrivateField(type));
    OnePage(b, WritePage(b, &p));
}

void PerSample(Built *b, uint16_t variant, uint16_t /*type*/)
{
    Image im;
    im.samples = 3;
    im.photometric = 2; // RGB
    if (variant == 1)
        im.bits = 16;
    if (variant == 2)
        im.planar = 2;
    if (variant == 4) {
        im.samples = 2;
        im.photometric = 1;
    }
    Page p = MakePage(im, *b);
    if (variant == 3) {
        // Signed samples, and bounds neither 0 nor 255: none of the three is
        // the default a library that ignored it would give.
        Insert(&p.fields, ifd::Numbers(ifd::tag::MinSampleValue, ifd::SHORT, {20, 20, 20}));
        Insert(&p.fields, ifd::Numbers(ifd::tag::MaxSampleValue, ifd::SHORT, {100, 100, 100}));
        Insert(&p.fields, ifd::Numbers(ifd::tag::SampleFormat, ifd::SHORT, {2, 2, 2}));
    }
    if (variant == 4)
        Insert(&p.fields, ifd::Numbers(ifd::tag::ExtraSamples, ifd::SHORT, {2}));
    OnePage(b, WritePage(b, &p));
}

// Three pages of their own sizes; the second's ImageWidth a LONG.
void Chain(Built *b, uint16_t ifd_first, uint16_t /*type*/)
{
    for (unsigned k = 0; k < 3; k++) {
        Image im;
        im.width = 3 + 2 * k;
        im.length = 2 + k; // never the width, nor 1
        im.seed = 10 * k;
        im.width_type = k == 1 ? ifd::LONG : ifd::SHORT;
        Page p = MakePage(im, *b);
        p.ifd_first = ifd_first != 0;
        b->pages.push_back(WritePage(b, &p));
    }
    b->chain = 3;
}

// Three reduced-resolution images in SubIFDs, pointed to by `type`: an odd
// count, its offsets out of line in both formats.
void SubIfdsOf(Built *b, uint16_t /*tag*/, uint16_t type)
{
    Directory main;
    std::vector<uint64_t> offsets;
    for (unsigned k = 0; k < 3; k++) {
        Image im;
        im.width = 7 - 2 * k;
        im.length = 4 - k;
        im.seed = 50 + 10 * k; // no strip of one begins as one of another
        Page p = MakePage(im, *b);
        Insert(&p.fields, ifd::Numbers(ifd::tag::NewSubfileType, ifd::LONG, {1}));
        uint64_t at = 0;
        main.subifds.push_back(WritePage(b, &p, false, &at));
        offsets.push_back(at);
    }
    Image full;
    full.width = 9;
    full.length = 6;
    Page p = MakePage(full, *b);
    Insert(&p.fields, ifd::Numbers(ifd::tag::SubIFDs, type, offsets));
    Directory d = WritePage(b, &p);
    d.subifds = main.subifds;
    d.subifd_offsets = offsets;
    OnePage(b, d);
}

// An EXIF IFD whose fields take each type the EXIF standard gives them.
std::vector<Field> ExifFields(bool long_x)
{
    return {
        ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 250}),
        ifd::Rationals(ifd::exif_tag::FNumber, ifd::RATIONAL, {28, 10}),
        ifd::Numbers(ifd::exif_tag::ExposureProgram, ifd::SHORT, {2}),
        ifd::Numbers(ifd::exif_tag::PhotographicSensitivity, ifd::SHORT, {100, 200, 400}),
        ifd::Numbers(ifd::exif_tag::ExifVersion, ifd::UNDEFINED, {'0', '2', '3', '2'}),
        ifd::Text(ifd::exif_tag::DateTimeOriginal, std::string("2024:01:02 03:04:05") + '\0'),
        ifd::Rationals(ifd::exif_tag::ShutterSpeedValue, ifd::SRATIONAL, {-3, 2}),
        ifd::Rationals(ifd::exif_tag::ExposureBiasValue, ifd::SRATIONAL, {-1, 3}),
        ifd::Numbers(ifd::exif_tag::UserComment, ifd::UNDEFINED,
                     {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i', '!'}),
        // PixelXDimension and PixelYDimension; as LONG, above 16 bits, so a
        // value narrowed to a SHORT shows.
        ifd::Numbers(ifd::exif_tag::PixelXDimension, long_x ? ifd::LONG : ifd::SHORT,
                     {long_x ? 0x10280U : 640U}),
        ifd::Numbers(ifd::exif_tag::PixelYDimension, long_x ? ifd::SHORT : ifd::LONG,
                     {long_x ? 480U : 0x101e0U}),
    };
}

std::vector<Field> GpsFields()
{
    return {
        ifd::Numbers(ifd::gps_tag::GPSVersionID, ifd::BYTE, {2, 3, 0, 0}),
        ifd::Text(ifd::gps_tag::GPSLatitudeRef, std::string("N") + '\0'),
        ifd::Rationals(ifd::gps_tag::GPSLatitude, ifd::RATIONAL, {51, 1, 30, 1, 15, 4}),
        ifd::Numbers(ifd::gps_tag::GPSAltitudeRef, ifd::BYTE, {1}),
        ifd::Rationals(ifd::gps_tag::GPSAltitude, ifd::RATIONAL, {25, 2}),
        ifd::Numbers(ifd::gps_tag::GPSProcessingMethod, ifd::UNDEFINED,
                     {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'G', 'P', 'S'}),
        ifd::Text(ifd::gps_tag::GPSDateStamp, std::string("2024:01:02") + '\0'),
        ifd::Numbers(ifd::gps_tag::GPSDifferential, ifd::SHORT, {1}),
    };
}

void Linked(Built *b, uint16_t tag, uint16_t type, const std::vector<Field> &fields)
{
    Directory linked;
    for (const Field &f : fields)
        linked.wants.push_back({f, Rule::Exact});
    const uint64_t at = b->w.AppendIfd(ifd::Ifd{fields, ifd::derived}, false);
    Page p = MakePage(Image(), *b);
    Insert(&p.fields, ifd::Numbers(tag, type, {at}));
    Directory d = WritePage(b, &p);
    (tag == ifd::tag::ExifIFD ? d.exif : d.gps) = at;
    (tag == ifd::tag::ExifIFD ? d.exif_dirs : d.gps_dirs).push_back(linked);
    OnePage(b, d);
}

void ExifOf(Built *b, uint16_t long_x, uint16_t type)
{
    Linked(b, ifd::tag::ExifIFD, type, ExifFields(long_x != 0));
}

void GpsOf(Built *b, uint16_t /*tag*/, uint16_t type)
{
    Linked(b, ifd::tag::GPSInfoIFD, type, GpsFields());
}

// --- Tolerated deviations ---------------------------------------------------

void Unsorted(Built *b, uint16_t /*tag*/, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    std::reverse(p.fields.begin(), p.fields.end());
    OnePage(b, WritePage(b, &p));
}

void Twice(Built *b, uint16_t tag, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    if (tag == ifd::tag::ImageDescription) {
        Insert(&p.fields, ifd::Text(ifd::tag::ImageDescription, std::string("first") + '\0'));
        Insert(&p.fields, ifd::Text(ifd::tag::ImageDescription, std::string("second one") + '\0'));
    } else {
        Insert(&p.fields, *Find(&p.fields, tag));
    }
    Directory d = WritePage(b, &p);
    for (Want &w : d.wants) {
        if (w.field.tag == ifd::tag::ImageDescription)
            w.rule = Rule::OneOf;
    }
    OnePage(b, d);
}

// ASCII of `text`'s bytes as they are: without a NUL, or strings after a NUL.
void Ascii(Built *b, uint16_t tag, uint16_t variant)
{
    Page p = MakePage(Image(), *b);
    const std::string texts[] = {"abcdefghij", "abc", std::string("first\0second\0", 13)};
    const std::string &text = texts[variant];
    Insert(&p.fields, ifd::Text(tag, text));
    Directory d = WritePage(b, &p);
    FindWant(&d, tag)->rule = Rule::ExactOrAbsent;
    OnePage(b, d);
}

void Without(Built *b, uint16_t tag, uint16_t strips)
{
    Image im;
    im.rows_per_strip = strips == 1 ? im.length : 1;
    Page p = MakePage(im, *b);
    const Field removed = *Find(&p.fields, tag);
    Remove(&p.fields, tag);
    Directory d = WritePage(b, &p);
    // Neither field has a default in any standard: the library may refuse.
    b->open = tag == ifd::tag::RowsPerStrip ? Open::Must : Open::MayRefuse;
    if (tag == ifd::tag::PhotometricInterpretation) {
        d.wants.push_back({removed, Rule::Absent});
    } else if (tag == ifd::tag::RowsPerStrip) {
        // TIFF 6.0's default, 2^32 - 1, means one strip; so does any value
        // from ImageLength up, and the library may give any of them.
        d.wants.push_back({ifd::Numbers(tag, ifd::LONG, {im.length}), Rule::AtLeast});
    } else {
        // Uncompressed, each strip is as long as its rows: the geometry
        // gives the counts the file leaves out.
        d.wants.push_back({removed, Rule::ExactOrAbsent});
    }
    OnePage(b, d);
}

void OddIfd(Built *b, uint16_t /*tag*/, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    p.odd_ifd = true;
    // The same decision as for a value at an odd offset: read as written,
    // or the page refused.
    b->open = Open::MayRefuse;
    OnePage(b, WritePage(b, &p));
}

// --- Malformed files --------------------------------------------------------

// Pages in a chain whose last next offset goes to `back` pages before it
// (0: itself), or past the end when `back` is 9.
void Loop(Built *b, uint16_t pages, uint16_t back)
{
    std::vector<uint64_t> at;
    for (unsigned k = 0; k < pages; k++) {
        Image im;
        im.seed = 10 * k; // no strip of a page is one of another page
        Page p = MakePage(im, *b);
        uint64_t ifd = 0;
        b->pages.push_back(WritePage(b, &p, true, &ifd));
        at.push_back(ifd);
    }
    b->w.SetNext(at.back(), back == 9 ? b->w.Size() + 1000 : at[at.size() - 1 - back]);
    b->chain = pages;
}

void FirstPastEnd(Built *b, uint16_t /*tag*/, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    WritePage(b, &p);
    b->w.SetFirst(b->w.Size() + 64);
    b->open = Open::Refuse;
}

// A field whose values the file does not hold: `how` 0 puts them past the
// end, 1 runs them past the end, 2 gives a count of 2^31.
void ValuesMissing(Built *b, uint16_t tag, uint16_t how)
{
    Page p = MakePage(Image(), *b);
    Field f = tag == ifd::tag::ImageDescription
                  ? ifd::Text(tag, std::string("text past the end") + '\0')
                  : PrivateField(ifd::LONG);
    const uint64_t end_guess = 1000;
    if (how == 0)
        f.value_at = end_guess;
    if (how == 1)
        f.count = 400;
    if (how == 2)
        f.count = 0x80000000U;
    Insert(&p.fields, f);
    Directory d = WritePage(b, &p);
    FindWant(&d, f.tag)->rule = Rule::Absent;
    b->open = Open::MayRefuse;
    OnePage(b, d);
}

// A field of the image with a count of 2^31, its first values where the
// count puts them: the library may use those, which the file holds.
void HugeCount(Built *b, uint16_t tag, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    Find(&p.fields, tag)->count = 0x80000000U;
    Directory d = WritePage(b, &p);
    FindWant(&d, tag)->rule = Rule::ExactOrAbsent;
    for (Chunk &c : d.chunks)
        c.may_fail = true;
    b->open = Open::MayRefuse;
    OnePage(b, d);
}

void EmptyIfd(Built *b, uint16_t second, uint16_t /*type*/)
{
    if (second) {
        Page p = MakePage(Image(), *b);
        OnePage(b, WritePage(b, &p));
        b->empty_last = true;
    } else {
        b->open = Open::Refuse;
    }
    b->w.AppendIfd(ifd::Ifd{});
}

// Two strips, whose arrays hold one entry (`how` 0), or whose second strip
// lies past the end (1) or runs past it (2).
void BrokenStrips(Built *b, uint16_t how, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    Field *offsets = Find(&p.fields, ifd::tag::StripOffsets);
    Field *counts = Find(&p.fields, ifd::tag::StripByteCounts);
    if (how == 0) {
        offsets->values.pop_back();
        counts->values.pop_back();
        p.on_disk.pop_back();
    }
    Directory d = WritePage(b, &p);
    if (how == 0) {
        d.chunks[1].refuse = "it has no offset in the file";
    } else {
        const uint64_t end = b->w.Size();
        Field shifted = *Find(&p.fields, ifd::tag::StripOffsets);
        shifted.values[1] = how == 1 ? end + 100 : end - 1;
        // The entry holds offsets in its slot or out of line: find them and
        // rewrite the second, wherever it is.
        const std::vector<uint8_t> before = b->w.Encode(*Find(&p.fields, ifd::tag::StripOffsets));
        const std::vector<uint8_t> after = b->w.Encode(shifted);
        const std::vector<uint8_t> &bytes = b->w.Bytes();
        const auto it = std::search(bytes.begin() + 8, bytes.end(), before.begin(), before.end());
        const uint64_t at = static_cast<uint64_t>(it - bytes.begin());
        for (size_t i = 0; i < after.size(); i++)
            b->w.Put(at + i, after[i], 1);
        d.chunks[1].refuse =
            how == 1 ? "its bytes lie outside the file" : "its bytes run past the end of the file";
    }
    // The arrays the file holds cannot describe the strips: not judged.
    d.wants.erase(std::remove_if(d.wants.begin(), d.wants.end(),
                                 [](const Want &w) {
                                     return w.field.tag == ifd::tag::StripOffsets ||
                                            w.field.tag == ifd::tag::StripByteCounts;
                                 }),
                  d.wants.end());
    b->open = Open::MayRefuse;
    OnePage(b, d);
}

// An IFD whose entry count runs far past the end of the file.
void EntriesPastEnd(Built *b, uint16_t /*tag*/, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    uint64_t at = 0;
    Directory d = WritePage(b, &p, true, &at);
    b->w.Put(at, 500, b->w.BigTiff() ? 8 : 2);
    for (Want &w : d.wants)
        w.rule = Rule::ExactOrAbsent;
    for (Chunk &c : d.chunks)
        c.may_fail = true;
    b->open = Open::MayRefuse;
    b->chain = 1;
    b->pages.push_back(d);
}

// A header that is not TIFF's: `what` 0 a wrong version, 1 a wrong byte
// order mark, 2 BigTIFF's offset size 4, 3 its offset size 16, 4 its
// constant not 0.
void BadHeader(Built *b, uint16_t what, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    WritePage(b, &p);
    switch (what) {
    case 0:
        b->w.SetVersion(b->w.BigTiff() ? 44 : 41);
        break;
    case 1:
        b->w.Put(0, 0x4d49, 2); // "IM" or "MI", in the file's order
        break;
    case 2:
        b->w.SetOffsetSize(4);
        break;
    case 3:
        b->w.SetOffsetSize(16);
        break;
    default:
        b->w.SetConstant(1);
        break;
    }
    b->open = Open::Refuse;
}

// An EXIF pointer to where no IFD is.
void ExifPastEnd(Built *b, uint16_t /*tag*/, uint16_t /*type*/)
{
    Page p = MakePage(Image(), *b);
    Insert(&p.fields, ifd::Numbers(ifd::tag::ExifIFD, ifd::LONG, {5000}));
    Directory d = WritePage(b, &p);
    d.exif = 5000;
    FindWant(&d, ifd::tag::ExifIFD)->rule = Rule::ExactOrAbsent;
    b->open = Open::MayRefuse;
    OnePage(b, d);
}

} // namespace

using ifd::ASCII;
using ifd::IFD;
using ifd::IFD8;
using ifd::LONG;
using ifd::LONG8;
using ifd::SHORT;

#define LEGAL(name, build, tag, type, big)                                                         \
    {                                                                                              \
        name, Kind::Legal, build, tag, type, big, false, false, false, ""                          \
    }
// The library may say that it met a tag it does not know, which is true of
// a private tag no extender registered; once registered, it may say nothing.
#define PRIVATE(name, type, big, reg)                                                              \
    {                                                                                              \
        name, Kind::Legal, Private, 0, type, big, false, !(reg), reg, ""                           \
    }

const Case cases[] = {
    // Each type TIFF 6.0 allows for a field of the image; LONG8 where
    // BigTIFF adds it (the strip and tile arrays).
    LEGAL("width_short", Retyped, ifd::tag::ImageWidth, SHORT, false),
    {"width_long", Kind::Legal, Retyped, ifd::tag::ImageWidth, LONG, false, false, false, false,
     "ImageWidth LONG 65539, its rows PackBits-packed (TIFF 6.0's baseline compression) to "
     "1 KiB each: two strips of 65539 bytes; 16 bits of it (3) would make them 3 bytes"},
    LEGAL("length_short", Retyped, ifd::tag::ImageLength, SHORT, false),
    LEGAL("length_long", Retyped, ifd::tag::ImageLength, LONG, false),
    LEGAL("rows_short", Retyped, ifd::tag::RowsPerStrip, SHORT, false),
    {"rows_long", Kind::Legal, Retyped, ifd::tag::RowsPerStrip, LONG, false, false, false, false,
     "RowsPerStrip LONG 65538 over 5 rows: one strip a plane, as TIFF 6.0's StripsPerImage = "
     "floor((ImageLength + RowsPerStrip - 1) / RowsPerStrip) gives; a value above ImageLength "
     "is legal, its default 2**32 - 1 \"is effectively infinity. That is, the entire image is "
     "one strip\"; 16 bits of it (2) would make three a plane"},
    LEGAL("strip_offsets_short", Retyped, ifd::tag::StripOffsets, SHORT, false),
    LEGAL("strip_offsets_long", Retyped, ifd::tag::StripOffsets, LONG, false),
    LEGAL("strip_offsets_long8", Retyped, ifd::tag::StripOffsets, LONG8, true),
    LEGAL("strip_counts_short", Retyped, ifd::tag::StripByteCounts, SHORT, false),
    LEGAL("strip_counts_long", Retyped, ifd::tag::StripByteCounts, LONG, false),
    LEGAL("strip_counts_long8", Retyped, ifd::tag::StripByteCounts, LONG8, true),
    LEGAL("tile_width_short", Retyped, ifd::tag::TileWidth, SHORT, false),
    LEGAL("tile_width_long", Retyped, ifd::tag::TileWidth, LONG, false),
    LEGAL("tile_length_short", Retyped, ifd::tag::TileLength, SHORT, false),
    LEGAL("tile_length_long", Retyped, ifd::tag::TileLength, LONG, false),
    LEGAL("tile_offsets_long", Retyped, ifd::tag::TileOffsets, LONG, false),
    LEGAL("tile_offsets_long8", Retyped, ifd::tag::TileOffsets, LONG8, true),
    LEGAL("tile_counts_short", Retyped, ifd::tag::TileByteCounts, SHORT, false),
    LEGAL("tile_counts_long", Retyped, ifd::tag::TileByteCounts, LONG, false),
    LEGAL("tile_counts_long8", Retyped, ifd::tag::TileByteCounts, LONG8, true),
    // Values that fill the inline slot exactly, and one element more.
    LEGAL("strips_edge_short", StripsAtEdge, 0, SHORT, false),
    LEGAL("strips_over_short", StripsOverEdge, 0, SHORT, false),
    LEGAL("strips_edge_long", StripsAtEdge, 0, LONG, false),
    LEGAL("strips_over_long", StripsOverEdge, 0, LONG, false),
    LEGAL("strips_edge_long8", StripsAtEdge, 0, LONG8, true),
    LEGAL("strips_over_long8", StripsOverEdge, 0, LONG8, true),
    LEGAL("text_edge", TextAt, 0, 0, false),
    LEGAL("text_over", TextAt, 1, 0, false),
    // Strips at odd offsets (TIFF 6.0 asks no boundary of image data), IFD
    // before or after its data, values far before their IFD.
    LEGAL("odd_data", OddData, 0, 0, false),
    LEGAL("ifd_first", IfdFirst, 1, 0, false),
    LEGAL("ifd_last", IfdFirst, 0, 0, false),
    LEGAL("values_before", ValuesBefore, 0, 0, false),
    // Private tags of every type, the library registering them itself...
    PRIVATE("private_byte", ifd::BYTE, false, false),
    PRIVATE("private_ascii", ifd::ASCII, false, false),
    PRIVATE("private_short", ifd::SHORT, false, false),
    PRIVATE("private_long", ifd::LONG, false, false),
    PRIVATE("private_rational", ifd::RATIONAL, false, false),
    PRIVATE("private_sbyte", ifd::SBYTE, false, false),
    PRIVATE("private_undefined", ifd::UNDEFINED, false, false),
    PRIVATE("private_sshort", ifd::SSHORT, false, false),
    PRIVATE("private_slong", ifd::SLONG, false, false),
    PRIVATE("private_srational", ifd::SRATIONAL, false, false),
    PRIVATE("private_float", ifd::FLOAT, false, false),
    PRIVATE("private_double", ifd::DOUBLE, false, false),
    PRIVATE("private_ifd", ifd::IFD, false, false),
    PRIVATE("private_long8", ifd::LONG8, true, false),
    PRIVATE("private_slong8", ifd::SLONG8, true, false),
    PRIVATE("private_ifd8", ifd::IFD8, true, false),
    // ... and a tag extender registering them first.
    PRIVATE("known_byte", ifd::BYTE, false, true),
    PRIVATE("known_ascii", ifd::ASCII, false, true),
    PRIVATE("known_short", ifd::SHORT, false, true),
    PRIVATE("known_long", ifd::LONG, false, true),
    PRIVATE("known_rational", ifd::RATIONAL, false, true),
    PRIVATE("known_sbyte", ifd::SBYTE, false, true),
    PRIVATE("known_undefined", ifd::UNDEFINED, false, true),
    PRIVATE("known_sshort", ifd::SSHORT, false, true),
    PRIVATE("known_slong", ifd::SLONG, false, true),
    PRIVATE("known_srational", ifd::SRATIONAL, false, true),
    PRIVATE("known_float", ifd::FLOAT, false, true),
    PRIVATE("known_double", ifd::DOUBLE, false, true),
    PRIVATE("known_ifd", ifd::IFD, false, true),
    PRIVATE("known_long8", ifd::LONG8, true, true),
    PRIVATE("known_slong8", ifd::SLONG8, true, true),
    PRIVATE("known_ifd8", ifd::IFD8, true, true),
    // One value per sample.
    LEGAL("rgb", PerSample, 0, 0, false),
    LEGAL("rgb16", PerSample, 1, 0, false),
    LEGAL("rgb_planes", PerSample, 2, 0, false),
    LEGAL("rgb_sample_fields", PerSample, 3, 0, false),
    LEGAL("gray_alpha", PerSample, 4, 0, false),
    // Pages, SubIFDs, EXIF and GPS.
    LEGAL("pages", Chain, 0, 0, false),
    LEGAL("pages_ifd_first", Chain, 1, 0, false),
    LEGAL("subifds_long", SubIfdsOf, 0, LONG, false),
    LEGAL("subifds_ifd", SubIfdsOf, 0, IFD, false),
    LEGAL("subifds_long8", SubIfdsOf, 0, LONG8, true),
    LEGAL("subifds_ifd8", SubIfdsOf, 0, IFD8, true),
    LEGAL("exif_long", ExifOf, 0, LONG, false),
    LEGAL("exif_ifd", ExifOf, 0, IFD, false),
    LEGAL("exif_long8", ExifOf, 0, LONG8, true),
    LEGAL("exif_ifd8", ExifOf, 0, IFD8, true),
    LEGAL("exif_dimensions", ExifOf, 1, LONG, false),
    LEGAL("gps_long", GpsOf, 0, LONG, false),
    LEGAL("gps_ifd", GpsOf, 0, IFD, false),
    LEGAL("gps_long8", GpsOf, 0, LONG8, true),
    LEGAL("gps_ifd8", GpsOf, 0, IFD8, true),

    // Tolerated deviations: the library may warn; what it gives is what
    // the bytes mean, or the field is absent.
    {"unsorted", Kind::Tolerated, Unsorted, 0, 0, false, false, true, false,
     "entries in descending order: every value as written"},
    {"twice_text", Kind::Tolerated, Twice, ifd::tag::ImageDescription, 0, false, false, true, false,
     "ImageDescription twice: one of the two texts, or absent; nothing else"},
    {"twice_width", Kind::Tolerated, Twice, ifd::tag::ImageWidth, 0, false, false, true, false,
     "ImageWidth twice with one value: that value, and the image reads"},
    {"ascii_no_nul", Kind::Tolerated, Ascii, ifd::tag::ImageDescription, 0, false, false, true,
     false, "ASCII without its NUL, out of line: its bytes as the text, or absent; no byte after"},
    {"ascii_no_nul_inline", Kind::Tolerated, Ascii, ifd::tag::ImageDescription, 1, false, false,
     true, false, "ASCII without its NUL, inline: its bytes as the text, or absent"},
    {"ascii_strings", Kind::Tolerated, Ascii, ifd::tag::ImageDescription, 2, false, false, true,
     false,
     "two NUL-terminated strings (TIFF 6.0 allows several): the first as the C string, or absent"},
    {"ascii_strings_private", Kind::Tolerated, Ascii, private_base + ASCII, 2, false, false, true,
     false, "two strings in a private ASCII tag, fetched with its count: all 13 bytes, or absent"},
    {"no_photometric", Kind::Tolerated, Without, ifd::tag::PhotometricInterpretation, 0, false,
     false, true, false,
     "no PhotometricInterpretation, which no standard gives a default: refused, or absent "
     "and the strips read"},
    {"no_rows_per_strip", Kind::Tolerated, Without, ifd::tag::RowsPerStrip, 1, false, false, true,
     false,
     "no RowsPerStrip: absent, or a value from ImageLength up to TIFF 6.0's default 2^32-1 "
     "(all mean one strip); the strip reads"},
    {"no_strip_counts", Kind::Tolerated, Without, ifd::tag::StripByteCounts, 1, false, false, true,
     false,
     "no StripByteCounts (required, no default), one uncompressed strip: refused, or absent "
     "or the size its rows take, and it reads"},
    {"no_strip_counts_2", Kind::Tolerated, Without, ifd::tag::StripByteCounts, 0, false, false,
     true, false,
     "no StripByteCounts, two uncompressed strips: refused, or absent or the sizes their "
     "rows take, and they read"},
    // One decision for everything TIFF 6.0 expects on a word boundary and a
    // file puts at an odd offset: as written, or ignored (the value absent,
    // the page refused).
    {"odd_strip_offsets", Kind::Tolerated, OddValues, ifd::tag::StripOffsets, 0, false, false, true,
     false, "StripOffsets at an odd offset: as written, or the image refused"},
    {"odd_text", Kind::Tolerated, OddValues, ifd::tag::ImageDescription, 0, false, false, true,
     false, "ImageDescription at an odd offset: as written, or absent"},
    {"odd_rational", Kind::Tolerated, OddValues, ifd::tag::YResolution, 0, false, false, true,
     false, "YResolution at an odd offset: as written, or absent"},
    {"odd_ifd", Kind::Tolerated, OddIfd, 0, 0, false, false, true, false,
     "the IFD at an odd offset: every value as written, or the page refused"},

    // Malformed files: the library fails cleanly, and what it gives is
    // still what the file holds.
    {"loop_self", Kind::Malformed, Loop, 1, 0, false, false, true, false,
     "the IFD's next offset is itself: one page"},
    {"loop_back", Kind::Malformed, Loop, 2, 1, false, false, true, false,
     "the second IFD's next offset is the first: two pages"},
    {"loop_back_3", Kind::Malformed, Loop, 3, 1, false, false, true, false,
     "the third IFD's next offset is the second: three pages"},
    {"next_past_end", Kind::Malformed, Loop, 1, 9, false, false, true, false,
     "the next offset past the end: one page"},
    {"first_past_end", Kind::Malformed, FirstPastEnd, 0, 0, false, false, true, false,
     "the header's IFD offset past the end: no file to open"},
    {"value_past_end", Kind::Malformed, ValuesMissing, ifd::tag::ImageDescription, 0, false, false,
     true, false, "ImageDescription's values past the end: absent"},
    {"count_past_end", Kind::Malformed, ValuesMissing, ifd::tag::ImageDescription, 1, false, false,
     true, false, "ImageDescription's count runs past the end: absent"},
    {"count_2g", Kind::Malformed, ValuesMissing, 0, 2, false, false, true, false,
     "a private LONG of count 2^31 in a small file: absent, memory bounded"},
    {"count_2g_offsets", Kind::Malformed, HugeCount, ifd::tag::StripOffsets, 0, false, false, true,
     false,
     "StripOffsets of count 2^31, its first values in the file: absent, or those values, "
     "and no strip reads other bytes than its own; memory bounded"},
    {"count_2g_width", Kind::Malformed, HugeCount, ifd::tag::ImageWidth, 0, false, false, true,
     false,
     "ImageWidth of count 2^31 (its slot an offset): refused, or absent, or the values "
     "there"},
    {"ifd_empty", Kind::Malformed, EmptyIfd, 0, 0, false, false, true, false,
     "the only IFD has no entries: no image, refused"},
    {"ifd_empty_second", Kind::Malformed, EmptyIfd, 1, 0, false, false, true, false,
     "the second IFD has no entries: one page, counted with it or not (TIFFSetDirectory(3tiff) "
     "may fail \"if an error was encountered while reading the directory's contents\"); "
     "going to it fails with a message"},
    {"entries_past_end", Kind::Malformed, EntriesPastEnd, 0, 0, false, false, true, false,
     "the IFD's entry count runs past the end: the entries read are right, or refused"},
    {"strip_arrays_short", Kind::Malformed, BrokenStrips, 0, 0, false, false, true, false,
     "two strips, arrays of one: strip 1 has no offset, so it must not read"},
    {"strip_outside", Kind::Malformed, BrokenStrips, 1, 0, false, false, true, false,
     "strip 1 past the end: it must not read"},
    {"strip_runs_past_end", Kind::Malformed, BrokenStrips, 2, 0, false, false, true, false,
     "strip 1 runs past the end: it must not read"},
    {"exif_past_end", Kind::Malformed, ExifPastEnd, 0, 0, false, false, true, false,
     "the EXIF IFD offset past the end: TIFFReadEXIFDirectory fails"},
    {"bad_version", Kind::Malformed, BadHeader, 0, 0, false, false, true, false,
     "a version neither 42 nor 43: refused"},
    {"bad_byte_order", Kind::Malformed, BadHeader, 1, 0, false, false, true, false,
     "a byte order mark neither II nor MM: refused"},
    {"bigtiff_offset_size_4", Kind::Malformed, BadHeader, 2, 0, true, false, true, false,
     "BigTIFF with an offset size of 4: refused"},
    {"bigtiff_offset_size_16", Kind::Malformed, BadHeader, 3, 0, true, false, true, false,
     "BigTIFF with an offset size of 16: refused"},
    {"bigtiff_constant", Kind::Malformed, BadHeader, 4, 0, true, false, true, false,
     "BigTIFF with a header constant of 1: refused"},
};

const size_t case_count = sizeof(cases) / sizeof(cases[0]);

const Format formats[4] = {
    {"_le.tif", false, false},
    {"_be.tif", true, false},
    {"_le.btf", false, true},
    {"_be.btf", true, true},
};

bool RunsIn(const Case &c, const Format &f)
{
    return !(c.bigtiff_only && !f.bigtiff) && !(c.classic_only && f.bigtiff);
}

} // namespace read_cases
