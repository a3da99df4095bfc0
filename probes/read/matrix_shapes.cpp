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
    // cppcheck-suppress unusedStructMember ; the rule docs/probes.md names
    const char *rule;
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
    {"structure: no PhotometricInterpretation", "no_photometric", Outcome::Tolerated,
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
};

} // namespace

size_t StructuralCount()
{
    return sizeof(shapes) / sizeof(shapes[0]);
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
    const Shape *end = shapes + StructuralCount();
    const Shape *shape = std::find_if(shapes, end, [&](const Shape &s) { return slug == s.slug; });
    if (shape == end)
        return false;
    *out = {shape->klass, shape->rule, shape->outcome};
    return true;
}

} // namespace matrix::detail
