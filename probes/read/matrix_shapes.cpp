#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "matrix_detail.h"

namespace matrix::detail {

namespace {

// --- The structural classes ----------------------------------------------

// A file of one or more IFDs, and where each of its strips is.
struct Structure {
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> offsets; // page 0's strips, as the file gives them
    // cppcheck-suppress unusedStructMember ; read in the shapes' lambdas
    std::vector<uint64_t> sub; // offsets of the IFDs the case links
    // Structural::pages.
    std::vector<read_cases::Directory> pages;
    // cppcheck-suppress unusedStructMember ; read in the shapes' lambdas
    std::vector<uint8_t> pixels; // every strip's bytes, in order, where a shape checks them all
};

// A page of `fields`, each as written, over `image`, its strips (or its one
// tile) in order.
read_cases::Directory Page(const std::vector<ifd::Field> &fields, const std::vector<uint8_t> &image)
{
    read_cases::Directory d;
    for (const ifd::Field &f : fields)
        d.wants.push_back({f, read_cases::Rule::Exact});
    d.chunks.push_back({image});
    return d;
}

// Strip k of the current directory: exact, or (`tolerant`) unreadable or
// the bytes the file holds at its offset.
std::string StripIs(TIFF *tif, uint32_t k, const std::vector<uint8_t> &file, uint64_t offset,
                    const std::vector<uint8_t> *exact)
{
    uint8_t buf[64];
    const tmsize_t n = TIFFReadEncodedStrip(tif, k, buf, sizeof(buf));
    if (n < 0)
        return exact ? "can't read strip " + std::to_string(k) : "";
    const uint64_t un = static_cast<uint64_t>(n);
    if (exact && un != exact->size())
        return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
               " bytes, expected " + std::to_string(exact->size());
    if (offset + un > file.size())
        return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
               " bytes, past the end of the file";
    for (uint64_t i = 0; i < un; i++) {
        const uint8_t want = exact ? (*exact)[i] : file[offset + i];
        if (buf[i] != want) {
            char text[96];
            snprintf(text, sizeof(text),
                     "strip %" PRIu32 " byte %" PRIu64 " is 0x%02x, expected 0x%02x", k, i, buf[i],
                     want);
            return text;
        }
    }
    return "";
}

// The field as the file holds it; `may_lack`: or absent.
std::string FieldIs(TIFF *tif, const ifd::Field &f, bool may_lack)
{
    read_fetch::Got got;
    if (!read_fetch::Fetch(tif, f.tag, &got))
        return may_lack ? "" : "tag " + std::to_string(f.tag) + " absent, expected its value";
    const std::string d = Differs(got, f);
    return d.empty() ? "" : "tag " + std::to_string(f.tag) + " " + d;
}

struct Shape {
    const char *klass;
    const char *slug;
    Outcome outcome;
    const char *rule; // the rule docs/probes.md names
    Structure (*build)(ifd::Writer *w);
    // The first thing that broke, on the opened file; empty when none.
    std::string (*check)(TIFF *tif, const Structure &s);
};

ifd::Field Orientation(uint64_t value)
{
    return ifd::Numbers(ifd::tag::Orientation, ifd::SHORT, {value});
}

ifd::Field White()
{
    return ifd::Rationals(ifd::tag::WhitePoint, ifd::RATIONAL, {5, 16, 21, 64});
}

// Page 0's strips at their offsets: exact, or what the file holds there.
std::string Strips(TIFF *tif, const Structure &s, bool exact)
{
    const std::vector<uint8_t> pixels = Pixels(11, 2 * strip_bytes);
    for (uint32_t k = 0; k < 2; k++) {
        const std::vector<uint8_t> want = Slice(pixels, k * strip_bytes, (k + 1) * strip_bytes);
        std::string e = StripIs(tif, k, s.bytes, s.offsets[k], exact ? &want : nullptr);
        if (!e.empty())
            return e;
    }
    return "";
}

Structure Plain(ifd::Writer *w, const std::vector<ifd::Field> &extra, bool reversed = false,
                const std::vector<ifd::Field> &image = {})
{
    Structure s;
    const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
    s.offsets = {s0, s0 + strip_bytes};
    ifd::Ifd ifd;
    ifd.fields = image.empty() ? Image(s0, s0 + strip_bytes) : image;
    for (const ifd::Field &f : extra)
        Insert(&ifd.fields, f);
    if (reversed)
        std::reverse(ifd.fields.begin(), ifd.fields.end());
    w->AppendIfd(ifd);
    s.bytes = w->Bytes();
    s.pages = {Page(ifd.fields, Pixels(11, 2 * strip_bytes))};
    return s;
}

// Page 0 of Plain without the image field `Tag`.
template <uint16_t Tag>
Structure Without(ifd::Writer *w)
{
    std::vector<ifd::Field> image = Image(w->Size(), w->Size() + strip_bytes);
    image.erase(std::remove_if(image.begin(), image.end(),
                               [&](const ifd::Field &f) { return f.tag == Tag; }),
                image.end());
    return Plain(w, {}, false, image);
}

// Page 0 of Plain with the image Image's arguments describe.
template <uint64_t Width, uint64_t Bits = 8, uint64_t Rows = 2, uint64_t Count = strip_bytes>
Structure Shaped(ifd::Writer *w)
{
    return Plain(w, {}, false,
                 Image(w->Size(), w->Size() + strip_bytes, Width, Bits, Rows, Count, Count));
}

std::string StripsExact(TIFF *tif, const Structure &s)
{
    return Strips(tif, s, true);
}

// Page 0's strips unreadable or as the file holds them.
std::string StripsHeld(TIFF *tif, const Structure &s)
{
    return Strips(tif, s, false);
}

// The library's page count, then page 0's strips exact.
std::string PagesAndStrips(TIFF *tif, const Structure &s, unsigned pages)
{
    std::string e = Strips(tif, s, true);
    if (e.empty() && TIFFNumberOfDirectories(tif) != pages)
        e = "the library counts " + std::to_string(TIFFNumberOfDirectories(tif)) +
            " pages, expected " + std::to_string(pages);
    return e;
}

// Page 0 of Image's fields, its strips at `s0` and `s1`, which hold `image`.
Structure PageAt(ifd::Writer *w, uint64_t s0, uint64_t s1, const std::vector<uint8_t> &image)
{
    Structure s;
    s.offsets = {s0, s1};
    ifd::Ifd ifd;
    ifd.fields = Image(s0, s1);
    w->AppendIfd(ifd);
    s.bytes = w->Bytes();
    s.pages = {Page(ifd.fields, image)};
    return s;
}

// Two IFDs chained, `first` to `second` (`second_first`: written in the
// other order), then page 0 of Image's fields at `s0` linking `first` by
// `link`.
Structure Chained(ifd::Writer *w, uint64_t s0, const ifd::Ifd &first, const ifd::Ifd &second,
                  bool second_first, uint16_t link)
{
    Structure s;
    s.offsets = {s0, s0 + strip_bytes};
    const uint64_t at2 = second_first ? w->AppendIfd(second, false) : 0;
    const uint64_t at1 = w->AppendIfd(first, false);
    const uint64_t next = second_first ? at2 : w->AppendIfd(second, false);
    w->SetNext(at1, next);
    ifd::Ifd main;
    main.fields = Image(s0, s0 + strip_bytes);
    Insert(&main.fields, ifd::Numbers(link, ifd::LONG, {at1}));
    w->AppendIfd(main);
    s.sub = {at1, next};
    s.bytes = w->Bytes();
    s.pages = {Page(main.fields, Pixels(11, 2 * strip_bytes))};
    return s;
}

// One strip of pixels, and a second strip at its offset again or (OverIfd)
// at the IFD's.
template <bool OverIfd>
Structure OneStripTwice(ifd::Writer *w)
{
    const uint64_t s0 = w->Append(Pixels(11, strip_bytes));
    uint64_t s1 = s0;
    if (OverIfd) {
        w->Align();
        s1 = w->Size();
    }
    std::vector<uint8_t> image = Pixels(11, strip_bytes);
    const std::vector<uint8_t> again = image;
    image.insert(image.end(), again.begin(), again.end());
    return PageAt(w, s0, s1, image);
}

// The first strip exact, the second exact too or as the file holds it.
template <bool SecondExact>
std::string FirstStripTwice(TIFF *tif, const Structure &s)
{
    const std::vector<uint8_t> pixels = Pixels(11, strip_bytes);
    std::string e = StripIs(tif, 0, s.bytes, s.offsets[0], &pixels);
    return e.empty() ? StripIs(tif, 1, s.bytes, s.offsets[1], SecondExact ? &pixels : nullptr) : e;
}

// A page of `fields` (the strip arrays made here) over `pixels` cut into
// strips of `strip` bytes; `counts` false leaves StripByteCounts out,
// `compression` names the page's Compression.
Structure Page(ifd::Writer *w, std::vector<ifd::Field> fields, const std::vector<uint8_t> &pixels,
               size_t strip, bool counts = true)
{
    Structure s;
    s.pixels = pixels;
    const uint64_t at = w->Append(pixels);
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> sizes;
    for (size_t k = 0; k < pixels.size(); k += strip) {
        offsets.push_back(at + k);
        sizes.push_back(std::min(strip, pixels.size() - k));
    }
    s.offsets = offsets;
    Insert(&fields, ifd::Numbers(ifd::tag::StripOffsets, ifd::LONG, offsets));
    if (counts)
        Insert(&fields, ifd::Numbers(ifd::tag::StripByteCounts, ifd::LONG, sizes));
    ifd::Ifd ifd;
    ifd.fields = fields;
    w->AppendIfd(ifd);
    s.bytes = w->Bytes();
    return s;
}

// The image fields of a `width` x `height` page of `samples` samples of
// `bits` (one value a sample), `rows` rows a strip, photometric `photo`.
std::vector<ifd::Field> Fields(uint64_t width, uint64_t height, const std::vector<uint64_t> &bits,
                               uint64_t photo, uint64_t rows, uint64_t compression = 1)
{
    return {
        ifd::Numbers(ifd::tag::ImageWidth, ifd::SHORT, {width}),
        ifd::Numbers(ifd::tag::ImageLength, ifd::SHORT, {height}),
        ifd::Numbers(ifd::tag::BitsPerSample, ifd::SHORT, bits),
        ifd::Numbers(ifd::tag::Compression, ifd::SHORT, {compression}),
        ifd::Numbers(ifd::tag::PhotometricInterpretation, ifd::SHORT, {photo}),
        ifd::Numbers(ifd::tag::SamplesPerPixel, ifd::SHORT, {bits.size()}),
        ifd::Numbers(ifd::tag::RowsPerStrip, ifd::SHORT, {rows}),
        ifd::Numbers(ifd::tag::PlanarConfiguration, ifd::SHORT, {1}),
    };
}

// Every strip the library gives, in order, is the page's bytes: however
// it cuts them (TIFFOpen(3tiff): without 'c' it may chop one strip into
// several), together they are the file's.
std::string AllStrips(TIFF *tif, const Structure &s)
{
    const uint32_t n = TIFFNumberOfStrips(tif);
    const tmsize_t size = TIFFStripSize(tif);
    if (n == 0 || n > s.pixels.size() || size <= 0 || static_cast<uint64_t>(size) > s.pixels.size())
        return "the library gives " + std::to_string(n) + " strips of " + std::to_string(size) +
               " bytes for " + std::to_string(s.pixels.size());
    std::vector<uint8_t> got;
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    for (uint32_t k = 0; k < n; k++) {
        const tmsize_t r = TIFFReadEncodedStrip(tif, k, buf.data(), size);
        if (r < 0)
            return "can't read strip " + std::to_string(k);
        got.insert(got.end(), buf.begin(), buf.begin() + r);
    }
    if (got.size() != s.pixels.size())
        return "the strips hold " + std::to_string(got.size()) + " bytes, expected " +
               std::to_string(s.pixels.size());
    for (size_t i = 0; i < got.size(); i++) {
        if (got[i] != s.pixels[i])
            return "byte " + std::to_string(i) + " of the strips wrong";
    }
    return "";
}

// Strips unreadable or the bytes the file holds at their offsets, for
// every strip the file gives.
std::string EachStripHeld(TIFF *tif, const Structure &s)
{
    const uint32_t n = std::min<uint32_t>(TIFFNumberOfStrips(tif), s.offsets.size());
    for (uint32_t k = 0; k < n; k++) {
        std::string e = StripIs(tif, k, s.bytes, s.offsets[k], nullptr);
        if (!e.empty())
            return e;
    }
    return "";
}

// `entries` ColorMap values: the red channel's, then green's, then blue's.
std::vector<uint64_t> Colors(size_t entries)
{
    std::vector<uint64_t> v;
    for (size_t i = 0; i < entries; i++)
        v.push_back((i * 257 + 3 * (i / 256)) & 0xFFFF);
    return v;
}

template <size_t Entries>
Structure Palette(ifd::Writer *w)
{
    std::vector<ifd::Field> f = Fields(4, 4, {8}, 3, 2);
    if (Entries)
        Insert(&f, ifd::Numbers(ifd::tag::ColorMap, ifd::SHORT, Colors(Entries)));
    return Page(w, f, Pixels(11, 2 * strip_bytes), strip_bytes);
}

// The ColorMap the file holds, exact; `absent`: it must not be given.
template <bool Absent>
std::string ColorMapIs(TIFF *tif, const Structure &s)
{
    uint16_t *r = nullptr;
    uint16_t *g = nullptr;
    uint16_t *b = nullptr;
    const bool got = TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) && r && g && b;
    if (Absent)
        return got ? "ColorMap given, expected none" : EachStripHeld(tif, s);
    if (!got)
        return "ColorMap absent, expected its value";
    const std::vector<uint64_t> want = Colors(size_t{3} * 256);
    for (size_t i = 0; i < 256; i++) {
        if (r[i] != want[i] || g[i] != want[256 + i] || b[i] != want[512 + i])
            return "ColorMap entry " + std::to_string(i) + " wrong";
    }
    return AllStrips(tif, s);
}

// A 16-bit field of two values as TIFFGetField gives them, against `a`, `b`.
std::string PairIs(TIFF *tif, uint32_t tag, uint16_t a, uint16_t b)
{
    uint16_t x = 0;
    uint16_t y = 0;
    if (!TIFFGetField(tif, tag, &x, &y))
        return "tag " + std::to_string(tag) + " absent, expected its value";
    if (x != a || y != b)
        return "tag " + std::to_string(tag) + " is " + std::to_string(x) + "," + std::to_string(y) +
               ", expected " + std::to_string(a) + "," + std::to_string(b);
    return "";
}

// One 16-bit value as TIFFGetField gives it.
std::string ShortIs(TIFF *tif, uint32_t tag, uint16_t want)
{
    uint16_t v = 0;
    if (!TIFFGetField(tif, tag, &v))
        return "tag " + std::to_string(tag) + " absent, expected its value";
    return v == want ? ""
                     : "tag " + std::to_string(tag) + " is " + std::to_string(v) + ", expected " +
                           std::to_string(want);
}

// RGB of 8 bits a sample with `extra` fields, 4 x 4 in two strips.
Structure Rgb(ifd::Writer *w, const std::vector<ifd::Field> &extra,
              const std::vector<uint64_t> &bits = {8, 8, 8})
{
    std::vector<ifd::Field> f = Fields(4, 4, bits, 2, 2);
    for (const ifd::Field &e : extra)
        Insert(&f, e);
    size_t row = 0;
    for (const uint64_t b : bits)
        row += 4 * b / 8;
    return Page(w, f, Pixels(7, 4 * row), 2 * row);
}

// A page without StripByteCounts, which the reader must estimate
// (TIFFReadDirectory(3tiff)): planes apart, one strip a plane, or one
// PackBits strip, one literal run of its 16 bytes (`Unknown`: with an
// entry of a type no standard defines before it).
template <bool Planes, bool Unknown = false>
Structure NoCounts(ifd::Writer *w)
{
    if (Planes) {
        std::vector<ifd::Field> f = Fields(4, 4, {8, 8}, 1, 4);
        f.back() = ifd::Numbers(ifd::tag::PlanarConfiguration, ifd::SHORT, {2});
        Insert(&f, ifd::Numbers(ifd::tag::ExtraSamples, ifd::SHORT, {0}));
        return Page(w, f, Pixels(11, 4 * strip_bytes), 2 * strip_bytes, false);
    }
    std::vector<uint8_t> p = {2 * strip_bytes - 1};
    const std::vector<uint8_t> raw = Pixels(11, 2 * strip_bytes);
    p.insert(p.end(), raw.begin(), raw.end());
    std::vector<ifd::Field> f = Fields(4, 4, {8}, 1, 4, 32773);
    if (Unknown)
        Insert(&f, ifd::Numbers(ifd::tag::Orientation, 99, {1}));
    Structure s = Page(w, f, p, p.size(), false);
    s.pixels = raw;
    return s;
}

// One strip, decoded exact where the library reads it, or unreadable.
std::string DecodedOrNone(TIFF *tif, const Structure &s)
{
    std::vector<uint8_t> buf(s.pixels.size() + 16);
    const tmsize_t n =
        TIFFReadEncodedStrip(tif, 0, buf.data(), static_cast<tmsize_t>(s.pixels.size()));
    if (n < 0)
        return "";
    if (static_cast<size_t>(n) != s.pixels.size())
        return "strip 0 decoded to " + std::to_string(n) + " bytes, expected " +
               std::to_string(s.pixels.size());
    for (size_t i = 0; i < s.pixels.size(); i++) {
        if (buf[i] != s.pixels[i])
            return "strip 0 byte " + std::to_string(i) + " decoded wrong";
    }
    return "";
}

// An EXIF IFD of ExposureTime 1/250 and `extra`, `reversed` in descending
// order, linked from page 0.
Structure ExifWith(ifd::Writer *w, const std::vector<ifd::Field> &extra, bool reversed)
{
    Structure s;
    const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
    s.offsets = {s0, s0 + strip_bytes};
    ifd::Ifd exif;
    exif.fields = {ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 250})};
    for (const ifd::Field &f : extra)
        Insert(&exif.fields, f);
    if (reversed)
        std::reverse(exif.fields.begin(), exif.fields.end());
    const uint64_t at = w->AppendIfd(exif, false);
    ifd::Ifd main;
    main.fields = Image(s0, s0 + strip_bytes);
    Insert(&main.fields, ifd::Numbers(ifd::tag::ExifIFD, ifd::LONG, {at}));
    w->AppendIfd(main);
    s.sub = {at};
    s.bytes = w->Bytes();
    return s;
}

// Page 0's strips, then the EXIF IFD's ExposureTime: 1/250, or
// (`either`) 1/250 or 1/30.
template <bool Either>
std::string ExifExposure(TIFF *tif, const Structure &s)
{
    std::string e = Strips(tif, s, true);
    if (!e.empty())
        return e;
    if (!TIFFReadEXIFDirectory(tif, s.sub[0]))
        return std::string("can't read the EXIF IFD");
    e = FieldIs(tif, ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 250}), false);
    if (Either && !e.empty() &&
        FieldIs(tif, ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 30}), false)
            .empty())
        e.clear();
    return e;
}

// Page 0 of Image's fields whose IFD says `count` entries.
template <uint64_t Count>
Structure IfdCount(ifd::Writer *w)
{
    Structure s;
    const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
    s.offsets = {s0, s0 + strip_bytes};
    ifd::Ifd ifd;
    ifd.fields = Image(s0, s0 + strip_bytes);
    ifd.count = Count;
    w->AppendIfd(ifd);
    s.bytes = w->Bytes();
    return s;
}

// A pair of fields TIFF 6.0 gives apart (XResolution and YResolution,
// XPosition and YPosition), the first with one value too many: the second
// exact, the first its standard value or absent ("count long"), never
// another.
ifd::Field PairFirst(uint16_t tag, bool extra)
{
    return ifd::Rationals(tag, ifd::RATIONAL,
                          extra ? std::vector<int64_t>{601, 2, 7, 3}
                                : std::vector<int64_t>{601, 2});
}

ifd::Field PairSecond(uint16_t tag)
{
    return ifd::Rationals(tag, ifd::RATIONAL, {151, 2});
}

template <uint16_t First, uint16_t Second>
Structure PairBuilt(ifd::Writer *w)
{
    return Plain(w, {PairFirst(First, true), PairSecond(Second)});
}

template <uint16_t First, uint16_t Second>
std::string PairApart(TIFF *tif, const Structure &s)
{
    std::string e = FieldIs(tif, PairSecond(Second), false);
    if (e.empty())
        e = FieldIs(tif, PairFirst(First, false), true);
    return e.empty() ? Strips(tif, s, true) : e;
}

constexpr Shape shapes[] = {
    {"structure: a tag twice, with two values", "twice", Outcome::Tolerated, "duplicate",
     [](ifd::Writer *w) {
         return Plain(w, {Orientation(3), Orientation(6)});
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = FieldIs(tif, Orientation(3), true);
         if (!e.empty() && FieldIs(tif, Orientation(6), true).empty())
             e.clear();
         return e.empty() ? Strips(tif, s, true) : e;
     }},
    {"structure: entries in descending order", "descending", Outcome::Tolerated, "out of order",
     [](ifd::Writer *w) { return Plain(w, {Orientation(3)}, true); },
     [](TIFF *tif, const Structure &s) {
         std::string e = FieldIs(tif, Orientation(3), false);
         return e.empty() ? Strips(tif, s, true) : e;
     }},
    {"structure: two entries sharing one value", "shared", Outcome::Exact, "shared values",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
         s.offsets = {s0, s0 + strip_bytes};
         w->Align();
         // Two RATIONALs: out of line in both formats.
         const uint64_t value = w->Append(w->Encode(White()));
         ifd::Ifd ifd;
         ifd.fields = Image(s0, s0 + strip_bytes);
         ifd::Field a = White();
         ifd::Field b = White();
         b.tag = ifd::tag::AsShotWhiteXY; // AsShotWhiteXY
         a.value_at = value;
         b.value_at = value;
         Insert(&ifd.fields, a);
         Insert(&ifd.fields, b);
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         s.pages = {Page(ifd.fields, Pixels(11, 2 * strip_bytes))};
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         ifd::Field b = White();
         b.tag = ifd::tag::AsShotWhiteXY;
         std::string e = FieldIs(tif, White(), false);
         if (e.empty())
             e = FieldIs(tif, b, false);
         return e.empty() ? Strips(tif, s, true) : e;
     }},
    {"structure: two strips at one offset", "same_strips", Outcome::Exact, "shared values",
     OneStripTwice<false>, FirstStripTwice<true>},
    {"structure: a strip over the IFD", "strip_over_ifd", Outcome::Tolerated, "overlaps",
     OneStripTwice<true>, FirstStripTwice<false>},
    {"structure: a chain of two SubIFDs", "subifd_chain", Outcome::Exact, "chains",
     [](ifd::Writer *w) {
         const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
         const uint64_t a = w->Append(Pixels(23, 2 * strip_bytes));
         const uint64_t b = w->Append(Pixels(61, 2 * strip_bytes));
         ifd::Ifd sub_a;
         sub_a.fields = Image(a, a + strip_bytes);
         ifd::Ifd sub_b;
         sub_b.fields = Image(b, b + strip_bytes);
         Structure s = Chained(w, s0, sub_a, sub_b, true, ifd::tag::SubIFDs);
         s.pages[0].subifds = {Page(sub_a.fields, Pixels(23, 2 * strip_bytes)),
                               Page(sub_b.fields, Pixels(61, 2 * strip_bytes))};
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = Strips(tif, s, true);
         if (!e.empty())
             return e;
         if (!TIFFSetSubDirectory(tif, s.sub[0]))
             return std::string("can't go to the first SubIFD");
         const unsigned seeds[] = {23, 61};
         for (unsigned k = 0; k < 2; k++) {
             if (k == 1 && !TIFFReadDirectory(tif))
                 return std::string("TIFFReadDirectory does not reach the second SubIFD");
             const std::vector<uint8_t> p = Pixels(seeds[k], 2 * strip_bytes);
             for (uint32_t j = 0; j < 2; j++) {
                 const std::vector<uint8_t> want = Slice(p, j * strip_bytes, (j + 1) * strip_bytes);
                 e = StripIs(tif, j, s.bytes, 0, &want);
                 if (!e.empty())
                     return "SubIFD " + std::to_string(k) + ": " + e;
             }
         }
         if (TIFFReadDirectory(tif))
             return std::string("TIFFReadDirectory goes past the second SubIFD");
         return std::string();
     }},
    {"structure: an EXIF IFD with a next IFD", "exif_next", Outcome::Tolerated, "links",
     [](ifd::Writer *w) {
         const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
         ifd::Ifd exif;
         exif.fields = {ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 250})};
         ifd::Ifd other;
         other.fields = {ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 30})};
         return Chained(w, s0, exif, other, false, ifd::tag::ExifIFD);
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = PagesAndStrips(tif, s, 1);
         if (!e.empty())
             return e;
         if (!TIFFReadEXIFDirectory(tif, s.sub[0]))
             return std::string("can't read the EXIF IFD");
         return FieldIs(tif, ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 250}),
                        false);
     }},
    {"structure: a thumbnail IFD1", "thumbnail", Outcome::Exact, "chains",
     [](ifd::Writer *w) {
         Structure s = Plain(w, {ifd::Numbers(ifd::tag::NewSubfileType, ifd::LONG, {0})});
         const uint64_t t = w->Append(Pixels(5, 4));
         ifd::Ifd thumb;
         thumb.fields = Image(t, t + 2, 2, 8, 1, 2, 2);
         thumb.fields[1] = ifd::Numbers(ifd::tag::ImageLength, ifd::SHORT, {2});
         Insert(&thumb.fields, ifd::Numbers(ifd::tag::NewSubfileType, ifd::LONG, {1}));
         w->AppendIfd(thumb);
         s.bytes = w->Bytes();
         s.sub = {t};
         s.pages.push_back(Page(thumb.fields, Pixels(5, 4)));
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = PagesAndStrips(tif, s, 2);
         if (!e.empty())
             return e;
         if (!TIFFReadDirectory(tif))
             return std::string("can't read IFD1");
         e = FieldIs(tif, ifd::Numbers(ifd::tag::NewSubfileType, ifd::LONG, {1}), false);
         const std::vector<uint8_t> p = Pixels(5, 4);
         for (uint32_t k = 0; e.empty() && k < 2; k++) {
             const std::vector<uint8_t> want = Slice(p, 2 * size_t{k}, 2 * size_t{k} + 2);
             e = StripIs(tif, k, s.bytes, 0, &want);
         }
         return e.empty() ? e : "IFD1: " + e;
     }},
    {"structure: ImageWidth 0", "width0", Outcome::Refused, "out-of-range image", Shaped<0>,
     StripsHeld},
    {"structure: BitsPerSample 0", "bits0", Outcome::Refused, "out-of-range image", Shaped<4, 0>,
     StripsHeld},
    {"structure: BitsPerSample 33", "bits33", Outcome::Tolerated, "out-of-range image",
     Shaped<4, 33>, StripsHeld},
    {"structure: RowsPerStrip 0", "rows0", Outcome::Tolerated, "out-of-range image",
     Shaped<4, 8, 0>, StripsHeld},
    {"structure: StripByteCounts 0", "counts0", Outcome::Tolerated, "zero byte counts",
     Shaped<4, 8, 2, 0>, StripsHeld},
    // The image's fields one at a time absent: those with a default
    // (Compression, TIFF 6.0's 1) read exactly; the others the library may
    // refuse or make up (StripByteCounts it estimates, as
    // TIFFReadDirectory(3tiff) says); no strip reads other bytes.
    {"structure: no Compression", "no_compression", Outcome::Exact, "defaults",
     Without<ifd::tag::Compression>, StripsExact},
    {"structure: no PhotometricInterpretation", "structure_no_photometric", Outcome::Tolerated,
     "missing required", Without<ifd::tag::PhotometricInterpretation>, StripsHeld},
    {"structure: no RowsPerStrip", "no_rows", Outcome::Tolerated, "missing required",
     Without<ifd::tag::RowsPerStrip>, StripsHeld},
    {"structure: no StripByteCounts", "no_counts", Outcome::Tolerated, "zero byte counts",
     Without<ifd::tag::StripByteCounts>, StripsHeld},
    {"structure: no SamplesPerPixel", "no_samples", Outcome::Exact, "defaults",
     Without<ifd::tag::SamplesPerPixel>, StripsExact},
    {"structure: no BitsPerSample", "no_bits", Outcome::Tolerated, "missing required",
     Without<ifd::tag::BitsPerSample>, StripsHeld},
    {"structure: no ImageLength", "no_length", Outcome::Refused, "missing required",
     Without<ifd::tag::ImageLength>, StripsHeld},
    {"structure: no StripOffsets", "no_offsets", Outcome::Refused, "missing required",
     Without<ifd::tag::StripOffsets>,
     [](TIFF *tif, const Structure &) {
         uint8_t buf[64];
         for (uint32_t k = 0; k < 2; k++) {
             const tmsize_t n = TIFFReadEncodedStrip(tif, k, buf, sizeof(buf));
             if (n >= 0)
                 return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
                        " bytes, but the file gives no offset";
         }
         return std::string();
     }},
    {"structure: strips in the file's reverse order", "strips_reversed", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         const std::vector<uint8_t> p = Pixels(11, 2 * strip_bytes);
         const uint64_t s1 = w->Append(std::vector<uint8_t>(p.begin() + strip_bytes, p.end()));
         const uint64_t s0 = w->Append(std::vector<uint8_t>(p.begin(), p.begin() + strip_bytes));
         return PageAt(w, s0, s1, p);
     },
     StripsExact},
    {"structure: planes apart", "planes", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         // Two samples, each plane one strip of 16 bytes.
         Structure s;
         const uint64_t at = w->Append(Pixels(11, 4 * strip_bytes));
         s.offsets = {at, at + 2 * strip_bytes};
         ifd::Ifd ifd;
         ifd.fields = {
             ifd::Numbers(ifd::tag::ImageWidth, ifd::SHORT, {4}),
             ifd::Numbers(ifd::tag::ImageLength, ifd::SHORT, {4}),
             ifd::Numbers(ifd::tag::BitsPerSample, ifd::SHORT, {8, 8}),
             ifd::Numbers(ifd::tag::Compression, ifd::SHORT, {1}),
             ifd::Numbers(ifd::tag::PhotometricInterpretation, ifd::SHORT, {1}),
             ifd::Numbers(ifd::tag::StripOffsets, ifd::LONG, {at, at + 2 * strip_bytes}),
             ifd::Numbers(ifd::tag::SamplesPerPixel, ifd::SHORT, {2}),
             ifd::Numbers(ifd::tag::RowsPerStrip, ifd::SHORT, {4}),
             ifd::Numbers(ifd::tag::StripByteCounts, ifd::LONG, {2 * strip_bytes, 2 * strip_bytes}),
             ifd::Numbers(ifd::tag::PlanarConfiguration, ifd::SHORT, {2}),
             ifd::Numbers(ifd::tag::ExtraSamples, ifd::SHORT, {0}),
         };
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         s.pages = {Page(ifd.fields, Pixels(11, 4 * strip_bytes))};
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         const std::vector<uint8_t> p = Pixels(11, 4 * strip_bytes);
         for (uint32_t k = 0; k < 2; k++) {
             const std::vector<uint8_t> want =
                 Slice(p, 2 * size_t{k} * strip_bytes, 2 * (size_t{k} + 1) * strip_bytes);
             std::string e = StripIs(tif, k, s.bytes, s.offsets[k], &want);
             if (!e.empty())
                 return e;
         }
         return std::string();
     }},
    {"structure: one tile", "tiled", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t at = w->Append(Pixels(3, 256));
         s.offsets = {at};
         ifd::Ifd ifd;
         ifd.fields = {
             ifd::Numbers(ifd::tag::ImageWidth, ifd::SHORT, {16}),
             ifd::Numbers(ifd::tag::ImageLength, ifd::SHORT, {16}),
             ifd::Numbers(ifd::tag::BitsPerSample, ifd::SHORT, {8}),
             ifd::Numbers(ifd::tag::Compression, ifd::SHORT, {1}),
             ifd::Numbers(ifd::tag::PhotometricInterpretation, ifd::SHORT, {1}),
             ifd::Numbers(ifd::tag::SamplesPerPixel, ifd::SHORT, {1}),
             ifd::Numbers(ifd::tag::PlanarConfiguration, ifd::SHORT, {1}),
             ifd::Numbers(ifd::tag::TileWidth, ifd::SHORT, {16}),
             ifd::Numbers(ifd::tag::TileLength, ifd::SHORT, {16}),
             ifd::Numbers(ifd::tag::TileOffsets, ifd::LONG, {at}),
             ifd::Numbers(ifd::tag::TileByteCounts, ifd::SHORT, {256}),
         };
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         s.pages = {Page(ifd.fields, Pixels(3, 256))};
         return s;
     },
     [](TIFF *tif, const Structure &) {
         std::vector<uint8_t> tile(300);
         const tmsize_t n =
             TIFFReadEncodedTile(tif, 0, tile.data(), static_cast<tmsize_t>(tile.size()));
         if (n != 256)
             return "tile 0 read as " + std::to_string(n) + " bytes, expected 256";
         const std::vector<uint8_t> p = Pixels(3, 256);
         for (size_t i = 0; i < p.size(); i++) {
             if (tile[i] != p[i])
                 return "tile 0 byte " + std::to_string(i) + " wrong";
         }
         return std::string();
     }},
    {"structure: an unknown Compression", "unknown_compression", Outcome::Tolerated, "wrong type",
     [](ifd::Writer *w) {
         std::vector<ifd::Field> image = Image(w->Size(), w->Size() + strip_bytes);
         image[3] = ifd::Numbers(ifd::tag::Compression, ifd::SHORT, {12345});
         return Plain(w, {}, false, image);
     },
     StripsHeld},
    // Repairs a reader may make of images whose fields disagree, and the
    // fields of the images of other pages.
    {"structure: a palette image", "palette", Outcome::Exact, "standard", Palette<3 * 256>,
     ColorMapIs<false>},
    {"structure: a palette image without ColorMap", "palette_no_map", Outcome::Tolerated,
     "missing required", Palette<0>, EachStripHeld},
    {"structure: a palette image with a short ColorMap", "palette_short_map", Outcome::Refused,
     "count short", Palette<3 * 256 - 3>, ColorMapIs<true>},
    {"structure: YCbCr subsampled 2 x 2", "ycbcr", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         std::vector<ifd::Field> f = Fields(4, 4, {8, 8, 8}, 6, 2);
         Insert(&f, ifd::Numbers(ifd::tag::YCbCrSubSampling, ifd::SHORT, {2, 2}));
         // Each strip two blocks of four Y, Cb and Cr.
         return Page(w, f, Pixels(19, 24), 12);
     },
     [](TIFF *tif, const Structure &s) {
         const std::string e = PairIs(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
         return e.empty() ? AllStrips(tif, s) : e;
     }},
    {"structure: old-style JPEG without strips", "ojpeg", Outcome::Tolerated, "old-style JPEG",
     [](ifd::Writer *w) {
         Structure s;
         // Bytes standing for the interchange stream: no strip arrays.
         const uint64_t at = w->Append(Pixels(29, 64));
         ifd::Ifd ifd;
         ifd.fields = Fields(4, 4, {8}, 1, 4, 6);
         Insert(&ifd.fields, ifd::Numbers(513, ifd::LONG, {at}));
         Insert(&ifd.fields, ifd::Numbers(514, ifd::LONG, {64}));
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         // Whatever strips the library makes of it lie in the file.
         uint64_t *offsets = nullptr;
         uint64_t *counts = nullptr;
         if (TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets) &&
             TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) && offsets && counts) {
             for (uint32_t k = 0; k < TIFFNumberOfStrips(tif); k++) {
                 if (offsets[k] > s.bytes.size() || counts[k] > s.bytes.size() - offsets[k])
                     return "strip " + std::to_string(k) + " lies past the end of the file";
             }
         }
         return std::string();
     }},
    {"structure: one strip of 16 KiB", "one_big_strip", Outcome::Exact, "standard",
     [](ifd::Writer *w) { return Page(w, Fields(64, 256, {8}, 1, 256), Pixels(13, 16384), 16384); },
     AllStrips},
    {"structure: BitsPerSample 8, 8, 16", "bits_differ", Outcome::Tolerated,
     "per-sample values that differ",
     [](ifd::Writer *w) { return Rgb(w, {}, {8, 8, 16}); }, EachStripHeld},
    {"structure: RGB with an alpha sample", "rgba", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         return Rgb(w, {ifd::Numbers(ifd::tag::ExtraSamples, ifd::SHORT, {2})}, {8, 8, 8, 8});
     },
     [](TIFF *tif, const Structure &s) {
         uint16_t n = 0;
         uint16_t *v = nullptr;
         if (!TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &n, &v) || n != 1 || !v || v[0] != 2)
             return std::string("ExtraSamples is not the one value 2");
         return AllStrips(tif, s);
     }},
    {"structure: ExtraSamples for every sample", "extra_all", Outcome::Tolerated,
     "out-of-range image",
     [](ifd::Writer *w) {
         std::vector<ifd::Field> f = Fields(4, 4, {8}, 1, 2);
         Insert(&f, ifd::Numbers(ifd::tag::ExtraSamples, ifd::SHORT, {0, 0}));
         return Page(w, f, Pixels(11, 2 * strip_bytes), strip_bytes);
     },
     EachStripHeld},
    {"structure: MinSampleValue and MaxSampleValue per sample", "sample_range", Outcome::Exact,
     "standard",
     [](ifd::Writer *w) {
         return Rgb(w, {ifd::Numbers(ifd::tag::MinSampleValue, ifd::SHORT, {3, 3, 3}),
                        ifd::Numbers(ifd::tag::MaxSampleValue, ifd::SHORT, {200, 200, 200})});
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = ShortIs(tif, TIFFTAG_MINSAMPLEVALUE, 3);
         if (e.empty())
             e = ShortIs(tif, TIFFTAG_MAXSAMPLEVALUE, 200);
         return e.empty() ? AllStrips(tif, s) : e;
     }},
    {"structure: MaxSampleValue differing per sample", "sample_range_differ", Outcome::Tolerated,
     "per-sample values that differ",
     [](ifd::Writer *w) {
         return Rgb(w, {ifd::Numbers(ifd::tag::MaxSampleValue, ifd::SHORT, {200, 100, 50})});
     },
     [](TIFF *tif, const Structure &s) {
         uint16_t v = 0;
         // One value for three that differ: the first, or none.
         if (TIFFGetField(tif, TIFFTAG_MAXSAMPLEVALUE, &v) && v != 200 && v != 100 && v != 50)
             return "MaxSampleValue is " + std::to_string(v) + ", none of the file's";
         return EachStripHeld(tif, s);
     }},
    {"structure: no StripByteCounts, PackBits", "no_counts_packbits", Outcome::Tolerated,
     "zero byte counts", NoCounts<false>, DecodedOrNone},
    {"structure: no StripByteCounts, PackBits, an entry of type 99", "no_counts_type99",
     Outcome::Tolerated, "zero byte counts", NoCounts<false, true>, DecodedOrNone},
    {"structure: no StripByteCounts, planes apart", "no_counts_planes", Outcome::Tolerated,
     "zero byte counts", NoCounts<true>, EachStripHeld},
    {"structure: no TileByteCounts", "no_tile_counts", Outcome::Tolerated, "zero byte counts",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t at = w->Append(Pixels(3, 256));
         ifd::Ifd ifd;
         ifd.fields = Fields(16, 16, {8}, 1, 16);
         ifd.fields.erase(ifd.fields.begin() + 6); // RowsPerStrip
         Insert(&ifd.fields, ifd::Numbers(ifd::tag::TileWidth, ifd::SHORT, {16}));
         Insert(&ifd.fields, ifd::Numbers(ifd::tag::TileLength, ifd::SHORT, {16}));
         Insert(&ifd.fields, ifd::Numbers(ifd::tag::TileOffsets, ifd::LONG, {at}));
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         s.offsets = {at};
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         std::vector<uint8_t> tile(300);
         for (uint32_t k = 0; k < 1; k++) {
             const tmsize_t n =
                 TIFFReadEncodedTile(tif, k, tile.data(), static_cast<tmsize_t>(tile.size()));
             if (n < 0)
                 continue;
             for (tmsize_t i = 0; i < n; i++) {
                 if (s.offsets[k] + static_cast<uint64_t>(i) >= s.bytes.size() ||
                     tile[static_cast<size_t>(i)] != s.bytes[s.offsets[k] + static_cast<uint64_t>(i)])
                     return "tile " + std::to_string(k) + " byte " + std::to_string(i) +
                            " is not the file's";
             }
         }
         return std::string();
     }},
    {"structure: old-style JPEG with only its size fields", "ojpeg_bare", Outcome::Tolerated,
     "old-style JPEG",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t at = w->Append(Pixels(29, 64));
         ifd::Ifd ifd;
         ifd.fields = {
             ifd::Numbers(ifd::tag::ImageWidth, ifd::SHORT, {4}),
             ifd::Numbers(ifd::tag::ImageLength, ifd::SHORT, {4}),
             ifd::Numbers(ifd::tag::Compression, ifd::SHORT, {6}),
             ifd::Numbers(513, ifd::LONG, {at}),
             ifd::Numbers(514, ifd::LONG, {64}),
         };
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *, const Structure &) { return std::string(); }},
    {"structure: one strip's byte count past the end of the file", "strip_count_past_end",
     Outcome::Tolerated, "byte counts past the file",
     [](ifd::Writer *w) {
         // One strip of 16 bytes whose count says 4096: the file is smaller.
         Structure s;
         s.pixels = Pixels(11, 2 * strip_bytes);
         const uint64_t at = w->Append(s.pixels);
         ifd::Ifd ifd;
         ifd.fields = Fields(4, 4, {8}, 1, 4);
         Insert(&ifd.fields, ifd::Numbers(ifd::tag::StripOffsets, ifd::LONG, {at}));
         Insert(&ifd.fields, ifd::Numbers(ifd::tag::StripByteCounts, ifd::LONG, {4096}));
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         s.offsets = {at};
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         std::vector<uint8_t> held(8192);
         const tmsize_t n = TIFFReadEncodedStrip(tif, 0, held.data(), 8192);
         if (n < 0)
             return std::string();
         for (tmsize_t i = 0; i < n; i++) {
             const uint64_t at = s.offsets[0] + static_cast<uint64_t>(i);
             if (at >= s.bytes.size() || held[static_cast<size_t>(i)] != s.bytes[at])
                 return "strip 0 byte " + std::to_string(i) + " is not the file's";
         }
         return std::string();
     }},
    {"structure: SMinSampleValue and SMaxSampleValue per sample", "s_sample_range",
     Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         return Rgb(w, {ifd::Numbers(ifd::tag::SMinSampleValue, ifd::SHORT, {3, 3, 3}),
                        ifd::Numbers(ifd::tag::SMaxSampleValue, ifd::SHORT, {200, 200, 200})});
     },
     [](TIFF *tif, const Structure &s) {
         double lo = 0;
         double hi = 0;
         if (!TIFFGetField(tif, TIFFTAG_SMINSAMPLEVALUE, &lo) || lo != 3)
             return std::string("SMinSampleValue is not 3");
         if (!TIFFGetField(tif, TIFFTAG_SMAXSAMPLEVALUE, &hi) || hi != 200)
             return std::string("SMaxSampleValue is not 200");
         return AllStrips(tif, s);
     }},
    {"structure: RGB of four samples with two ExtraSamples", "extra_too_many", Outcome::Tolerated,
     "out-of-range image",
     [](ifd::Writer *w) {
         return Rgb(w, {ifd::Numbers(ifd::tag::ExtraSamples, ifd::SHORT, {2, 0})}, {8, 8, 8, 8});
     },
     EachStripHeld},
    {"structure: planes apart in one strip", "planes_one_strip", Outcome::Tolerated,
     "out-of-range image",
     [](ifd::Writer *w) {
         std::vector<ifd::Field> f = Fields(4, 4, {8, 8, 8}, 2, 4);
         f.back() = ifd::Numbers(ifd::tag::PlanarConfiguration, ifd::SHORT, {2});
         return Page(w, f, Pixels(11, 48), 48);
     },
     EachStripHeld},
    // Its 768 ColorMap values are not the 3 x 2^32 of 32 bits.
    {"structure: a palette image of 32 bits", "palette32", Outcome::Refused, "count short",
     [](ifd::Writer *w) {
         std::vector<ifd::Field> f = Fields(1, 4, {32}, 3, 2);
         Insert(&f, ifd::Numbers(ifd::tag::ColorMap, ifd::SHORT, Colors(size_t{3} * 256)));
         return Page(w, f, Pixels(11, 2 * strip_bytes), strip_bytes);
     },
     [](TIFF *tif, const Structure &) {
         uint16_t *r = nullptr;
         uint16_t *g = nullptr;
         uint16_t *b = nullptr;
         return std::string(TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)
                                ? "ColorMap given, expected none"
                                : "");
     }},
    {"structure: a palette image without BitsPerSample", "palette_no_bits", Outcome::Tolerated,
     "missing required",
     [](ifd::Writer *w) {
         std::vector<ifd::Field> f = Fields(4, 4, {8}, 3, 2);
         f.erase(f.begin() + 2);
         Insert(&f, ifd::Numbers(ifd::tag::ColorMap, ifd::SHORT, Colors(6)));
         return Page(w, f, Pixels(11, 2 * strip_bytes), strip_bytes);
     },
     EachStripHeld},
    {"structure: an EXIF IFD with a tag EXIF does not define", "exif_unknown", Outcome::Tolerated,
     "unknown tag",
     [](ifd::Writer *w) { return ExifWith(w, {ifd::Numbers(50000, ifd::SHORT, {7})}, false); },
     ExifExposure<false>},
    {"structure: an EXIF IFD in descending order", "exif_descending", Outcome::Tolerated,
     "out of order",
     [](ifd::Writer *w) {
         return ExifWith(w, {ifd::Numbers(ifd::exif_tag::ExposureProgram, ifd::SHORT, {2})},
                         true);
     },
     ExifExposure<false>},
    {"structure: an EXIF IFD with a tag twice", "exif_twice", Outcome::Tolerated, "duplicate",
     [](ifd::Writer *w) {
         return ExifWith(w, {ifd::Rationals(ifd::exif_tag::ExposureTime, ifd::RATIONAL, {1, 30})},
                         false);
     },
     ExifExposure<true>},
    {"structure: an IFD of 65535 entries", "ifd_count_huge", Outcome::Refused, "past the end",
     IfdCount<65535>, StripsHeld},
    {"structure: an IFD of more entries than the file holds", "ifd_count_past",
     Outcome::Refused, "past the end", IfdCount<40>, StripsHeld},
    // Strile arrays read on demand (TIFFOpen(3tiff)'s "O"): every strip
    // still the file's.
    {"structure: 64 strips, loaded on demand", "ondemand", Outcome::Exact, "standard",
     [](ifd::Writer *w) { return Page(w, Fields(4, 64, {8}, 1, 1), Pixels(17, 256), 4); },
     AllStrips},
    {"structure: 64 strips of SHORT byte counts, loaded on demand", "ondemand_short",
     Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         Structure s;
         const std::vector<uint8_t> p = Pixels(17, 256);
         s.pixels = p;
         const uint64_t at = w->Append(p);
         std::vector<uint64_t> offsets;
         for (uint64_t k = 0; k < 64; k++)
             offsets.push_back(at + 4 * k);
         ifd::Ifd ifd;
         ifd.fields = Fields(4, 64, {8}, 1, 1);
         Insert(&ifd.fields, ifd::Numbers(ifd::tag::StripOffsets, ifd::LONG, offsets));
         Insert(&ifd.fields, ifd::Numbers(ifd::tag::StripByteCounts, ifd::SHORT,
                                          std::vector<uint64_t>(64, 4)));
         w->AppendIfd(ifd);
         s.offsets = offsets;
         s.bytes = w->Bytes();
         return s;
     },
     AllStrips},
    {"structure: XResolution with two values beside YResolution", "xres_two",
     Outcome::Tolerated, "count long", PairBuilt<ifd::tag::XResolution, ifd::tag::YResolution>,
     PairApart<ifd::tag::XResolution, ifd::tag::YResolution>},
    {"structure: XPosition with two values beside YPosition", "xpos_two", Outcome::Tolerated,
     "count long", PairBuilt<ifd::tag::XPosition, ifd::tag::YPosition>,
     PairApart<ifd::tag::XPosition, ifd::tag::YPosition>},
};

} // namespace

size_t StructuralCount()
{
    return sizeof(shapes) / sizeof(shapes[0]);
}

StructuralClass StructuralAt(size_t i)
{
    return {shapes[i].klass, shapes[i].slug, shapes[i].outcome, shapes[i].rule};
}

Structural CheckStructural(size_t i, const read_cases::Format &fmt)
{
    const Shape &shape = shapes[i];
    const std::string name = std::string("read_") + shape.slug + fmt.suffix;
    ifd::Writer w(fmt.big_endian, fmt.bigtiff);
    const Structure s = shape.build(&w);
    const std::string what =
        Judge(name.c_str(), s.bytes, shape.outcome, [&](TIFF *tif) { return shape.check(tif, s); });
    return {shape.klass, shape.slug, s.bytes, what, shape.outcome, s.pages};
}

bool StructuralRule(const std::string &slug, StructuralClass *out)
{
    for (size_t i = 0; i < StructuralCount(); i++) {
        if (slug == shapes[i].slug) {
            *out = StructuralAt(i);
            return true;
        }
    }
    return false;
}

} // namespace matrix::detail
