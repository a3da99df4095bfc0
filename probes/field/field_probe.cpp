// Proves that every field the standards define and the library knows
// survives write, close, reopen and read, in both byte orders and both
// formats: the standard fields on pages whose image each needs, the EXIF,
// GPS and Interoperability fields in their own directories. What must come back and what must
// stand on disk comes from field_table.cpp; the library's own description of
// a field only says how to pass its values, so a wrong description fails.
// Around the fields: TIFFGetFieldDefaulted against TIFF 6.0's defaults,
// TIFFUnsetField, a field set twice, TIFFVSetField and TIFFVGetField, the
// field-query calls and the tag list after a tag extender.
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <tiffio.h>

#include "field_table.h"
#include "ifd_reader.h"
#include "probe_support.h"

using field::Field;
using field::Home;

// TIFFCustomDirectory(3tiff) documents it; tiffio.h does not declare it.
// NOLINTNEXTLINE(readability-identifier-naming): the library's name
extern "C" const TIFFFieldArray *_TIFFGetExifFields(void);

namespace {

using probe::Layout;

constexpr Layout layouts[] = {
    {"fields_le.tif", false, false},
    {"fields_be.tif", true, false},
    {"fields_le.btf", false, true},
    {"fields_be.btf", true, true},
};

// A page's image. A zero BitsPerSample, SamplesPerPixel, Compression or
// PlanarConfiguration is left unset, so that its default can be asked for.
struct Shape {
    Home home;
    uint32_t width;
    uint32_t length;
    uint16_t bits;
    uint16_t samples;
    uint16_t photometric;
    uint16_t compression;
    uint16_t planar;
    uint32_t rows; // RowsPerStrip, 0 for tiles
    uint32_t tile; // tile width and length, 0 for strips
};

// The pages, in file order. The palette image is wider than a SHORT holds;
// page 0 too, so that ActiveArea and MaskedAreas lie inside it with values
// no SHORT holds, and it leaves RowsPerStrip unset: its StripRowCounts
// replaces it. The fax page is as long, so that BadFaxLines counts its lines
// with such values.
// Not constant: a page whose codec the library lacks is written
// uncompressed (probe::CodecOrNone, in main).
Shape shapes[] = {
    {Home::Main, 70001, 5, 8, 4, PHOTOMETRIC_SEPARATED, COMPRESSION_LZW, PLANARCONFIG_CONTIG, 0, 0},
    {Home::Palette, 70000, 1, 4, 0, PHOTOMETRIC_PALETTE, 0, 0, 1, 0},
    {Home::YCbCr, 4, 2, 8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, PLANARCONFIG_CONTIG, 2, 0},
    {Home::Float, 16, 16, 32, 2, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE,
     PLANARCONFIG_SEPARATE, 0, 16},
    {Home::Fax3, 8, 70003, 0, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3, PLANARCONFIG_CONTIG,
     70003, 0},
    {Home::Fax4, 8, 2, 0, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, PLANARCONFIG_CONTIG, 2,
     0},
};
constexpr size_t page_count = sizeof(shapes) / sizeof(shapes[0]);
// Each page's Compression as the table gives it.
uint16_t wanted_compression[page_count];
// The page whose fields go through TIFFVSetField, and the one whose fields
// come back through TIFFVGetField as well.
constexpr Home vset_home = Home::YCbCr;
constexpr Home vget_home = Home::Main;

// What TIFF 6.0 (and TIFF-FX for Indexed) gives a field that a page does not
// hold; the palette page has 4 bits per sample. Predictor is asked for on
// page 0 once its Compression is set and before its Predictor is: the
// field exists only with a codec that predicts. The YCbCr page's
// ReferenceBlackWhite likewise before its image is written: the JPEG codec
// then writes one of its own. Its default is TIFF 6.0's for every page, and
// the JPEG technical note 2's recommendation for YCbCr: a library may
// follow either.
// NOLINTNEXTLINE(clang-analyzer-optin.performance.Padding): a row reads best tag first
struct Default {
    uint16_t tag;
    Home home;
    std::initializer_list<double> values;
    bool before_fields = false;
    std::initializer_list<double> also = {}; // another standard's default
};

const Default defaults[] = {
    {254, Home::Palette, {0}},
    {258, Home::Fax3, {1}},
    {259, Home::Palette, {1}},
    {263, Home::Palette, {1}},
    {266, Home::Palette, {1}},
    {274, Home::Palette, {1}},
    {277, Home::Palette, {1}},
    {280, Home::Palette, {0}},
    {281, Home::Palette, {15}},
    {284, Home::Palette, {1}},
    {290, Home::Palette, {2}},
    {296, Home::Palette, {2}},
    {317, Home::Main, {1}, true},
    {332, Home::Palette, {1}},
    {334, Home::Palette, {4}},
    {336, Home::Palette, {0, 15}},
    {339, Home::Palette, {1}},
    {340, Home::Palette, {0}},
    {341, Home::Palette, {15}},
    {346, Home::YCbCr, {0}},
    {529, Home::Palette, {0.299, 0.587, 0.114}},
    {530, Home::Palette, {2, 2}},
    {531, Home::Palette, {1}},
    {532, Home::Palette, {0, 15, 0, 15, 0, 15}},
    {532, Home::YCbCr, {0, 255, 0, 255, 0, 255}, true, {0, 255, 128, 255, 128, 255}},
};

// Fields set on the palette page and unset again before it is written.
struct Unset {
    uint16_t tag;
    std::initializer_list<double> values;
    const char *text;
};
const Unset unsets[] = {
    {315, {}, "gone"},
    {286, {9.5}, nullptr},
    {319, {0.5, 0.5, 0.25, 0.25, 0.125, 0.125}, nullptr},
    {34675, {1, 2, 3}, nullptr},
};
constexpr Home unset_home = Home::Palette;

// Values set first and then replaced by the table's on page 0: the last
// one must stand.
const Unset overwritten[] = {
    {305, {}, "an earlier Software"},
    {282, {1.0}, nullptr},
    {318, {0.5, 0.5}, nullptr},
    {34675, {1, 2, 3}, nullptr},
};

// Private fields, registered by a tag extender, that page 0 holds: the tag
// list of page 0 must name each once.
const uint32_t private_long_tag = 65000;
const uint32_t private_text_tag = 65001;
const uint32_t private_long = 0xA1B2C3D4;
const char private_text[] = "field_probe private";

TIFFExtendProc previous_extender = nullptr;

// Only page 0 holds the private fields, and merging sorts the library's
// whole field list, so they are registered only while page 0 is written or
// read.
bool page0 = false;

void RegisterPrivateFields(TIFF *tif)
{
    if (!page0) {
        if (previous_extender)
            previous_extender(tif);
        return;
    }
    static char long_name[] = "field_probe long";
    static char text_name[] = "field_probe text";
    static const TIFFFieldInfo infos[] = {
        {private_long_tag, 1, 1, TIFF_LONG, FIELD_CUSTOM, 1, 0, long_name},
        {private_text_tag, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII, FIELD_CUSTOM, 1, 0, text_name},
    };
    TIFFMergeFieldInfo(tif, infos, 2);
    if (previous_extender)
        previous_extender(tif);
}

// ---------------------------------------------------------------------------
// What a field holds on a page, from the table alone.

struct Values {
    std::vector<double> numbers; // numeric fields
    const char *text = nullptr;  // ASCII fields
    size_t text_size = 0;        // with its NULs
    uint32_t count = 0;          // values set (bytes for ASCII)
    uint32_t curves = 0;         // ColorMap and TransferFunction: arrays of 2^BitsPerSample
};

unsigned SmallestTypeSize(uint32_t types)
{
    for (unsigned t = 1; t < 32; t++) {
        if (types & field::TypeBit(t))
            return ifd::TypeSize(static_cast<uint16_t>(t));
    }
    return 1;
}

// The directories a link field points to, in the order of Run::links.
size_t LinkIndex(field::Link link)
{
    return link == field::Link::Exif ? 0 : link == field::Link::Gps ? 1 : 2;
}

// The value of a field that the page's shape or a link gives.
bool ShapeValue(const Field &f, const Shape &s, const uint64_t *links, double *v)
{
    switch (f.tag) {
    case TIFFTAG_IMAGEWIDTH:
        *v = s.width;
        return true;
    case TIFFTAG_IMAGELENGTH:
        *v = s.length;
        return true;
    case TIFFTAG_BITSPERSAMPLE:
        *v = s.bits;
        return s.bits != 0;
    case TIFFTAG_SAMPLESPERPIXEL:
        *v = s.samples;
        return s.samples != 0;
    case TIFFTAG_PHOTOMETRIC:
        *v = s.photometric;
        return true;
    case TIFFTAG_COMPRESSION:
        *v = s.compression;
        return s.compression != 0;
    case TIFFTAG_PLANARCONFIG:
        *v = s.planar;
        return s.planar != 0;
    case TIFFTAG_ROWSPERSTRIP:
        *v = s.rows;
        return s.rows != 0;
    case TIFFTAG_TILEWIDTH:
    case TIFFTAG_TILELENGTH:
        *v = s.tile;
        return s.tile != 0;
    default:
        break;
    }
    if (f.link != field::Link::None) {
        *v = static_cast<double>(links[LinkIndex(f.link)]);
        return true;
    }
    return false;
}

bool IsShapeField(const Field &f)
{
    return !f.text && f.values.size() == 0 && f.pattern == 0;
}

uint32_t BitsOf(const Shape &s)
{
    return s.bits ? s.bits : 1;
}

uint32_t SamplesOf(const Shape &s)
{
    return s.samples ? s.samples : 1;
}

// False for a shape field the page leaves unset.
bool ValuesOf(const Field &f, const Shape &s, const uint64_t *links, Values *v)
{
    if (f.text) {
        v->text = f.text;
        v->text_size = f.pattern ? f.pattern : strlen(f.text) + 1;
        v->count = static_cast<uint32_t>(v->text_size);
        return true;
    }
    if (IsShapeField(f)) {
        double d = 0;
        if (!ShapeValue(f, s, links, &d))
            return false;
        v->numbers.assign(1, d);
    } else if (f.bytes) {
        v->numbers.assign(f.bytes, f.bytes + f.pattern);
    } else if (f.values.size() != 0) {
        v->numbers.assign(f.values.begin(), f.values.end());
    } else {
        const uint32_t n = f.rule == field::Count::PerLevel ? f.n << BitsOf(s) : f.pattern;
        const unsigned size = SmallestTypeSize(f.types);
        v->numbers.resize(n);
        for (uint32_t i = 0; i < n; i++)
            v->numbers[i] = static_cast<double>(field::Pattern(f.tag, i, size));
    }
    v->count = static_cast<uint32_t>(v->numbers.size());
    v->curves = f.rule == field::Count::PerLevel ? f.n : 0;
    return true;
}

// The number of values the standard gives the field on disk.
uint64_t DiskCount(const Field &f, const Shape &s, const Values &v)
{
    switch (f.rule) {
    case field::Count::Fixed:
        return f.n;
    case field::Count::PerSample:
        return static_cast<uint64_t>(f.n) * SamplesOf(s);
    case field::Count::OnceOrPerSample:
        return v.count == static_cast<uint64_t>(f.n) * SamplesOf(s) ? v.count : f.n;
    case field::Count::PerLevel:
        return static_cast<uint64_t>(f.n) << BitsOf(s);
    default:
        return v.count;
    }
}

// ---------------------------------------------------------------------------
// How the library takes and gives a field's values, from its own
// description (and TIFFSetField(3tiff) for ColorMap, TransferFunction and
// InkNames, which it describes as plain arrays).

enum class Form : uint8_t { Text, InkNames, Counted, Single, Pair, Array, Curves };

struct Access {
    Form form = Form::Single;
    unsigned size = 0;       // bytes per value as the library stores it
    unsigned count_size = 0; // Counted: 2 or 4
    int fixed = 0;           // Array: the count the library takes
    bool real = false;       // stored as float or double
    TIFFDataType type = TIFF_NOTYPE;
};

bool RealType(TIFFDataType t)
{
    return t == TIFF_RATIONAL || t == TIFF_SRATIONAL || t == TIFF_FLOAT || t == TIFF_DOUBLE ||
           t == TIFF_NOTYPE;
}

bool Describe(TIFF *tif, uint32_t tag, Access *a)
{
    const TIFFField *f = TIFFFindField(tif, tag, TIFF_ANY);
    if (!f)
        return false;
    a->type = TIFFFieldDataType(f);
    a->size = static_cast<unsigned>(TIFFFieldSetGetSize(f));
    a->real = RealType(a->type);
    const int wc = TIFFFieldWriteCount(f);
    if (tag == TIFFTAG_COLORMAP || tag == TIFFTAG_TRANSFERFUNCTION) {
        a->form = Form::Curves;
        a->size = 2;
    } else if (tag == TIFFTAG_INKNAMES) {
        a->form = Form::InkNames;
    } else if (TIFFFieldPassCount(f)) {
        a->form = Form::Counted;
        a->count_size = static_cast<unsigned>(TIFFFieldSetGetCountSize(f));
    } else if (a->type == TIFF_ASCII) {
        a->form = Form::Text;
    } else if (wc == 2 && a->size == 2 * ifd::TypeSize(static_cast<uint16_t>(a->type))) {
        // A pair of SHORTs passed as two values, as PageNumber is.
        a->form = Form::Pair;
        a->size /= 2;
    } else if (wc > 1) {
        a->form = Form::Array;
        a->fixed = wc;
    } else {
        a->form = Form::Single;
    }
    return a->size == 1 || a->size == 2 || a->size == 4 || a->size == 8;
}

const char *TypeName(const Access &a)
{
    if (a.type == TIFF_NOTYPE)
        return a.size == 8 ? "DOUBLE" : "FLOAT";
    return ifd::TypeName(static_cast<uint16_t>(a.type));
}

// A value as the library stores it: its bits, zero-extended.
uint64_t StorageBits(double v, const Access &a)
{
    if (a.real && a.size == 4) {
        const auto f = static_cast<float>(v);
        uint32_t b;
        memcpy(&b, &f, 4);
        return b;
    }
    if (a.real) {
        uint64_t b;
        memcpy(&b, &v, 8);
        return b;
    }
    const auto whole =
        v < 0 ? static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
    return a.size == 8 ? whole : whole & ((uint64_t{1} << (8 * a.size)) - 1);
}

uint64_t Element(const void *p, unsigned size, size_t i)
{
    uint64_t v = 0;
    const auto *bytes = static_cast<const uint8_t *>(p) + i * size;
    switch (size) {
    case 1:
        return bytes[0];
    case 2: {
        uint16_t h;
        memcpy(&h, bytes, 2);
        return h;
    }
    case 4: {
        uint32_t w;
        memcpy(&w, bytes, 4);
        return w;
    }
    default:
        memcpy(&v, bytes, 8);
        return v;
    }
}

// The values in the library's storage, for the calls that take a pointer.
std::vector<uint8_t> Storage(const Values &v, const Access &a)
{
    std::vector<uint8_t> out(static_cast<size_t>(v.count) * a.size);
    for (size_t i = 0; i < v.count; i++) {
        const uint64_t b = StorageBits(v.numbers[i], a);
        switch (a.size) {
        case 1:
            out[i] = static_cast<uint8_t>(b);
            break;
        case 2: {
            const auto h = static_cast<uint16_t>(b);
            memcpy(&out[i * 2], &h, 2);
            break;
        }
        case 4: {
            const auto w = static_cast<uint32_t>(b);
            memcpy(&out[i * 4], &w, 4);
            break;
        }
        default:
            memcpy(&out[i * 8], &b, 8);
        }
    }
    return out;
}

using SetFn = int (*)(TIFF *, uint32_t, ...);

int SetSingle(TIFF *tif, uint32_t tag, double v, const Access &a, SetFn set)
{
    if (a.real)
        return set(tif, tag, v);
    const uint64_t b = StorageBits(v, a);
    if (a.size == 8)
        return set(tif, tag, b);
    if (a.size == 4)
        return set(tif, tag, static_cast<uint32_t>(b));
    // Narrower values travel as int.
    return set(tif, tag, static_cast<int>(b));
}

int SetValues(TIFF *tif, uint32_t tag, const Values &v, const Access &a, SetFn set)
{
    switch (a.form) {
    case Form::Text:
        return set(tif, tag, v.text);
    case Form::InkNames:
        return set(tif, tag, static_cast<int>(v.text_size), v.text);
    case Form::Single:
        return v.count == 1 && SetSingle(tif, tag, v.numbers[0], a, set);
    case Form::Pair:
        return v.count == 2 &&
               set(tif, tag, static_cast<int>(v.numbers[0]), static_cast<int>(v.numbers[1]));
    default:
        break;
    }
    std::vector<uint8_t> data = Storage(v, a);
    if (a.form == Form::Counted && a.count_size == 2)
        return set(tif, tag, static_cast<int>(v.count), data.data());
    if (a.form == Form::Counted)
        return set(tif, tag, v.count, data.data());
    if (a.form == Form::Array)
        return set(tif, tag, data.data());
    // Curves: one array, or three of equal size.
    const size_t third = data.size() / 3;
    if (v.curves != 3)
        return set(tif, tag, data.data());
    return set(tif, tag, data.data(), data.data() + third, data.data() + 2 * third);
}

// What a fetch gave: the values' bits, or the text.
struct Fetched {
    std::vector<uint64_t> bits;
    const char *text = nullptr;
};

// Fetches a field's values; false when the library says it has none or
// gives no array.
bool Fetch(TIFF *tif, uint32_t tag, const Access &a, const Values &v, SetFn get, Fetched *out)
{
    const void *array = nullptr;
    uint32_t n = 0;

    switch (a.form) {
    case Form::Text:
    case Form::InkNames: {
        const char *text = nullptr;
        if (!get(tif, tag, &text) || !text)
            return false;
        out->text = text;
        return true;
    }
    case Form::Single: {
        uint64_t single = 0;
        if (!get(tif, tag, &single))
            return false;
        out->bits.assign(1, Element(&single, a.size, 0));
        return true;
    }
    case Form::Pair: {
        uint16_t pair[2] = {0, 0};
        if (!get(tif, tag, &pair[0], &pair[1]))
            return false;
        out->bits.assign(pair, pair + 2);
        return true;
    }
    case Form::Counted:
        if (a.count_size == 2) {
            uint16_t n16 = 0;
            if (!get(tif, tag, &n16, &array))
                return false;
            n = n16;
        } else if (!get(tif, tag, &n, &array)) {
            return false;
        }
        break;
    case Form::Array:
        if (!get(tif, tag, &array))
            return false;
        n = static_cast<uint32_t>(a.fixed);
        break;
    case Form::Curves: {
        const uint16_t *curve[3] = {nullptr, nullptr, nullptr};
        if (!get(tif, tag, &curve[0], &curve[1], &curve[2]) || !curve[0])
            return false;
        if (v.curves != 3) {
            out->bits.assign(curve[0], curve[0] + v.count);
            return true;
        }
        if (!curve[1] || !curve[2])
            return false;
        for (const uint16_t *c : curve)
            out->bits.insert(out->bits.end(), c, c + v.count / 3);
        return true;
    }
    }
    if (!array)
        return false;
    // A library that says more values than were set may hold fewer: all of
    // them count, but no more are read than were set.
    out->bits.assign(n, 0);
    const uint32_t readable = n < v.count ? n : v.count;
    for (uint32_t i = 0; i < readable; i++)
        out->bits[i] = Element(array, a.size, i);
    return true;
}

struct Run {
    const Layout &layout;
    const char *name; // the file name, in every line
    // A check that does not stop the layout failed.
    bool failed = false;
    bool query = false; // compare the library's field descriptions with the table
    // Library messages that explain a refusal already reported.
    unsigned long explained = 0;
    uint64_t links[3] = {0, 0, 0}; // EXIF, GPS, Interoperability
    // Fields the library refused, not to be looked for again.
    std::vector<const Field *> refused;
    // Fields found still present after TIFFUnsetField, said once.
    std::vector<uint32_t> lingering;

    // Says that a field unset is still there, once a field; always false.
    bool SayLingering(uint32_t tag)
    {
        for (const uint32_t t : lingering) {
            if (t == tag)
                return false;
        }
        lingering.push_back(tag);
        probe::Say("%s: tag %u still present after TIFFUnsetField.", name, tag);
        return false;
    }

    bool WasRefused(const Field &f) const
    {
        for (const Field *r : refused) {
            if (r == &f)
                return true;
        }
        return false;
    }
};

// ---------------------------------------------------------------------------
// The library's description of each field against the table, in each kind
// of directory.

bool CheckQuery(TIFF *tif, const Run &run, bool exif, bool gps)
{
    bool ok = true;
    for (size_t i = 0; i < field::field_count; i++) {
        const Field &f = field::fields[i];
        if ((f.home == Home::Exif) != exif || (f.home == Home::Gps) != gps)
            continue;
        // TIFFFieldWithTag complains of a tag it does not know: a codec's
        // field, known once its Compression is set, is not asked for here.
        if (!TIFFFindField(tif, f.tag, TIFF_ANY))
            continue;
        const TIFFField *by_tag = TIFFFieldWithTag(tif, f.tag);
        const char *name = TIFFFieldName(by_tag);
        const TIFFField *by_name = name ? TIFFFieldWithName(tif, name) : nullptr;
        if (by_name != by_tag || TIFFFieldTag(by_tag) != f.tag) {
            probe::Say("%s: tag %u: TIFFFieldWithName(\"%s\") gives tag %u.", run.name, f.tag,
                       name ? name : "", by_name ? TIFFFieldTag(by_name) : 0);
            ok = false;
        }
        const TIFFDataType type = TIFFFieldDataType(by_tag);
        // A field of any numeric type is described without one.
        if (!(f.types & field::TypeBit(type)) &&
            !(type == TIFF_NOTYPE && f.types == field::NUMERIC)) {
            probe::Say("%s: tag %u: the library's type %s is not one the field allows.", run.name,
                       f.tag, ifd::TypeName(static_cast<uint16_t>(type)));
            ok = false;
        }
    }
    return ok;
}

// ---------------------------------------------------------------------------
// One layout.

const Shape &ShapeOf(Home home)
{
    for (const Shape &s : shapes) {
        if (s.home == home)
            return s;
    }
    return shapes[0];
}

// What the table gives each row, worked out once: its values on its page,
// and how the library takes them, known once a directory of its kind is
// open.
struct Row {
    Values values;
    bool present = false; // false: uncovered, or a shape field its page leaves unset
    bool described = false;
    bool describable = false;
    Access access;
};

std::vector<Row> rows;

void MakeRows()
{
    const uint64_t no_links[3] = {0, 0, 0};
    rows.resize(field::field_count);
    for (size_t i = 0; i < field::field_count; i++) {
        const Field &f = field::fields[i];
        rows[i].present =
            f.home != Home::Uncovered && ValuesOf(f, ShapeOf(f.home), no_links, &rows[i].values);
    }
}

// The SHORTs that begin an UNDEFINED value, in the file's byte order.
void SetByteOrder(const Run &run)
{
    for (size_t i = 0; i < field::field_count; i++) {
        const Field &f = field::fields[i];
        if (f.leading_shorts == 0)
            continue;
        std::vector<double> &n = rows[i].values.numbers;
        n.assign(f.values.begin(), f.values.end());
        for (size_t k = 0; run.layout.big_endian && k < f.leading_shorts && 2 * k + 1 < n.size();
             k++)
            std::swap(n[2 * k], n[2 * k + 1]);
    }
}

// The link fields' values, once the linked directories are written.
void SetLinks(const Run &run)
{
    for (size_t i = 0; i < field::field_count; i++) {
        if (field::fields[i].link != field::Link::None)
            rows[i].values.numbers.assign(
                1, static_cast<double>(run.links[LinkIndex(field::fields[i].link)]));
    }
}

const Access *AccessOf(TIFF *tif, size_t row)
{
    Row &r = rows[row];
    if (!r.described) {
        r.describable = Describe(tif, field::fields[row].tag, &r.access);
        r.described = true;
    }
    return r.describable ? &r.access : nullptr;
}

// Whether the page of `home` is written without its codec.
bool PageCodecDropped(Home home)
{
    for (size_t p = 0; p < page_count; p++) {
        if (shapes[p].home == home)
            return shapes[p].compression != wanted_compression[p];
    }
    return false;
}

// The fields of a directory, set; a refusal is a line and the field is not
// looked for again.
void SetFields(TIFF *tif, Run &run, Home home, SetFn set)
{
    for (size_t i = 0; i < field::field_count; i++) {
        const Field &f = field::fields[i];
        if (f.home != home || !rows[i].present)
            continue;
        const unsigned long before = LibraryMessages();
        const Access *a = AccessOf(tif, i);
        // A field of a codec the library lacks is unknown to it: left out.
        if (!a && PageCodecDropped(home)) {
            run.refused.push_back(&f);
            continue;
        }
        if (!a || !SetValues(tif, f.tag, rows[i].values, *a, set)) {
            run.explained += LibraryMessages() - before;
            probe::SayCantSet(f.tag, run.name);
            run.refused.push_back(&f);
            run.failed = true;
        }
    }
}

// The shape fields first: the codec fields exist only once Compression is
// set, and the value fields of a page may depend on its samples.
bool SetShape(TIFF *tif, const Run &run, const Shape &s)
{
    const struct {
        uint32_t tag;
        uint32_t value;
    } shape_fields[] = {
        {TIFFTAG_IMAGEWIDTH, s.width},        {TIFFTAG_IMAGELENGTH, s.length},
        {TIFFTAG_BITSPERSAMPLE, s.bits},      {TIFFTAG_SAMPLESPERPIXEL, s.samples},
        {TIFFTAG_PHOTOMETRIC, s.photometric}, {TIFFTAG_COMPRESSION, s.compression},
        {TIFFTAG_PLANARCONFIG, s.planar},     {TIFFTAG_ROWSPERSTRIP, s.rows},
        {TIFFTAG_TILEWIDTH, s.tile},          {TIFFTAG_TILELENGTH, s.tile},
    };
    uint32_t refused = 0;
    for (const auto &f : shape_fields) {
        // A zero is a field the page leaves unset (Photometric 0 is a value).
        if ((f.value != 0 || f.tag == TIFFTAG_PHOTOMETRIC) && !TIFFSetField(tif, f.tag, f.value)) {
            refused = f.tag;
            break;
        }
    }
    if (refused)
        probe::SayCantSet(refused, run.name);
    return refused == 0;
}

// Values set through the table's access path, for the fields set twice
// and those unset.
bool SetExtra(TIFF *tif, const Unset &u, SetFn set)
{
    Values v;
    Access a;
    v.numbers.assign(u.values.begin(), u.values.end());
    v.count = static_cast<uint32_t>(v.numbers.size());
    v.text = u.text;
    if (u.text) {
        v.text_size = strlen(u.text) + 1;
        v.count = static_cast<uint32_t>(v.text_size);
    }
    return Describe(tif, u.tag, &a) && SetValues(tif, u.tag, v, a, set);
}

bool StillPresent(TIFF *tif, uint32_t tag)
{
    Access a;
    Fetched got;
    return Describe(tif, tag, &a) && Fetch(tif, tag, a, Values(), TIFFGetField, &got);
}

// Every byte of the JPEG page: a flat image, whose blocks are their DC
// coefficients alone, decodes to this value again with the tables it was
// quantized with (the tables of JPEGTables), and to another with any other
// tables. Black or white would come back whatever the tables: clamped.
constexpr uint8_t jpeg_level = 200;

bool WriteImage(TIFF *tif, Run &run, const Shape &s)
{
    const bool tiled = s.tile != 0;
    const tmsize_t size = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    const uint32_t chunks = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    // Elsewhere the pixels do not matter: zeros, which cost nothing to make.
    std::vector<uint8_t> data(size > 0 ? static_cast<size_t>(size) : 1,
                              s.compression == COMPRESSION_JPEG ? jpeg_level : 0);
    for (uint32_t c = 0; c < chunks && size > 0; c++) {
        // The write calls return -1 on error, so only a positive count is success.
        const tmsize_t written = tiled ? TIFFWriteEncodedTile(tif, c, data.data(), size)
                                       : TIFFWriteEncodedStrip(tif, c, data.data(), size);
        if (written <= 0)
            break;
        if (c + 1 == chunks)
            return true;
    }
    probe::SayCantWrite(run.name);
    return false;
}

bool CheckDefaults(TIFF *tif, const Run &run, Home home, bool before_fields);

bool WritePage(TIFF *tif, Run &run, const Shape &s, size_t page)
{
    if (!SetShape(tif, run, s))
        return false;
    // The fastest level: at the default one, compressing two tiles of zeros
    // costs more than setting and checking all the page's fields.
    if (s.compression == COMPRESSION_ADOBE_DEFLATE && !TIFFSetField(tif, TIFFTAG_ZIPQUALITY, 1)) {
        probe::SayCantSet(TIFFTAG_ZIPQUALITY, run.name);
        return false;
    }
    if (!CheckDefaults(tif, run, s.home, true))
        run.failed = true;
    if (s.home == Home::Main) {
        // Set first through TIFFVSetField, then through TIFFSetField.
        for (const Unset &u : overwritten) {
            if (!SetExtra(tif, u, probe::VSet)) {
                probe::SayCantSet(u.tag, run.name);
                run.failed = true;
            }
        }
        // Each on its own, so that one refused hides not the other.
        if (!TIFFSetField(tif, private_long_tag, private_long)) {
            probe::SayCantSet(private_long_tag, run.name);
            run.failed = true;
        }
        if (!TIFFSetField(tif, private_text_tag, private_text)) {
            probe::SayCantSet(private_text_tag, run.name);
            run.failed = true;
        }
    }
    SetFields(tif, run, s.home, s.home == vset_home ? probe::VSet : TIFFSetField);
    if (s.home == unset_home) {
        for (const Unset &u : unsets) {
            if (!SetExtra(tif, u, TIFFSetField)) {
                probe::SayCantSet(u.tag, run.name);
                run.failed = true;
            } else if (!TIFFUnsetField(tif, u.tag) || StillPresent(tif, u.tag)) {
                run.failed = !run.SayLingering(u.tag) || run.failed;
            }
        }
    }
    if (!WriteImage(tif, run, s))
        return false;
    // The next directory, set up once this one is written, needs them no more.
    page0 = false;
    if (!TIFFWriteDirectory(tif)) {
        probe::SayCantDirectory("write", run.name, probe::Page(page).c_str());
        return false;
    }
    return true;
}

const char *CustomName(Home home)
{
    return home == Home::Exif ? "EXIF IFD" : home == Home::Gps ? "GPS IFD" : "Interoperability IFD";
}

size_t CustomIndex(Home home)
{
    return home == Home::Exif ? 0 : home == Home::Gps ? 1 : 2;
}

// The Interoperability directory is a custom directory whose fields the
// program describes itself: the library has no schema of its own for it,
// and TIFFCustomDirectory(3tiff) gives a program none but EXIF's and GPS's,
// whose fields it starts from. Its link in the EXIF directory is described
// here as well, for a library whose EXIF fields lack it.
char interop_index_name[] = "InteroperabilityIndex";
char interop_version_name[] = "InteroperabilityVersion";
char interop_link_name[] = "InteroperabilityIFD";
const TIFFFieldInfo interop_fields[] = {
    {1, TIFF_VARIABLE, TIFF_VARIABLE, TIFF_ASCII, FIELD_CUSTOM, 1, 0, interop_index_name},
    {2, 4, 4, TIFF_UNDEFINED, FIELD_CUSTOM, 1, 0, interop_version_name},
};
const TIFFFieldInfo interop_link[] = {
    {40965, 1, 1, TIFF_IFD8, FIELD_CUSTOM, 1, 0, interop_link_name},
};

// These return 0 on success, unlike most of the library.
int CreateCustom(TIFF *tif, Home home)
{
    if (home == Home::Exif) {
        const int created = TIFFCreateEXIFDirectory(tif);
        return created != 0 || TIFFFindField(tif, interop_link[0].field_tag, TIFF_ANY)
                   ? created
                   : TIFFMergeFieldInfo(tif, interop_link, 1);
    }
    if (home == Home::Gps)
        return TIFFCreateGPSDirectory(tif);
    const int created = TIFFCreateCustomDirectory(tif, _TIFFGetExifFields());
    return created != 0 ? created : TIFFMergeFieldInfo(tif, interop_fields, 2);
}

int ReadCustom(TIFF *tif, Home home, uint64_t at)
{
    if (home == Home::Exif)
        return TIFFReadEXIFDirectory(tif, at);
    if (home == Home::Gps)
        return TIFFReadGPSDirectory(tif, at);
    return TIFFReadCustomDirectory(tif, at, _TIFFGetExifFields());
}

bool WriteCustom(TIFF *tif, Run &run, Home home, uint64_t *offset)
{
    if (CreateCustom(tif, home) != 0) {
        probe::SayCantDirectory("create", run.name, CustomName(home));
        return false;
    }
    if (run.query && home != Home::Interop &&
        !CheckQuery(tif, run, home == Home::Exif, home == Home::Gps))
        run.failed = true;
    SetFields(tif, run, home, TIFFSetField);
    if (!TIFFWriteCustomDirectory(tif, offset)) {
        probe::SayCantDirectory("write", run.name, CustomName(home));
        return false;
    }
    // Creating the next directory does not release this one's values.
    TIFFFreeDirectory(tif);
    return true;
}

bool WriteFile(Run &run)
{
    const probe::Tiff tif = probe::Create(run.layout);
    if (!tif)
        return false;
    if (run.query && !CheckQuery(tif, run, false, false))
        run.failed = true;
    // The Interoperability directory first: the EXIF directory links it.
    if (!WriteCustom(tif, run, Home::Interop, &run.links[2]))
        return false;
    SetLinks(run);
    if (!WriteCustom(tif, run, Home::Exif, &run.links[0]) ||
        !WriteCustom(tif, run, Home::Gps, &run.links[1]))
        return false;
    SetLinks(run);
    page0 = true;
    if (TIFFCreateDirectory(tif) != 0) {
        probe::SayCantDirectory("create", run.name, probe::Page(0).c_str());
        return false;
    }
    for (size_t p = 0; p < page_count; p++) {
        if (!WritePage(tif, run, shapes[p], p))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Reading back through the library.

// Where the first string of a text (InkNames holds several) that came back
// wrong starts, or the text's size when all came back as set.
size_t TextDiffersAt(const Values &v, const Fetched &got)
{
    for (size_t at = 0; at < v.text_size; at += strlen(v.text + at) + 1) {
        if (strcmp(got.text + at, v.text + at) != 0)
            return at;
    }
    return v.text_size;
}

// Whether a fetch gave the values set, in the library's storage.
bool Matches(const Values &v, const Access &a, const Fetched &got)
{
    if (a.form == Form::Text || a.form == Form::InkNames)
        return TextDiffersAt(v, got) == v.text_size;
    if (got.bits.size() != v.count)
        return false;
    for (size_t i = 0; i < v.count; i++) {
        if (got.bits[i] != StorageBits(v.numbers[i], a))
            return false;
    }
    return true;
}

bool Compare(const Run &run, const Field &f, const Values &v, const Access &a, const Fetched &got)
{
    if (a.form == Form::Text || a.form == Form::InkNames) {
        // The line names the string that differs, not the first one.
        const size_t at = TextDiffersAt(v, got);
        if (at != v.text_size) {
            probe::SayWrongText(f.tag, run.name, got.text + at, v.text + at);
            return false;
        }
        return true;
    }
    const size_t n = got.bits.size();
    if (n != v.count) {
        probe::SayWrongCount(TypeName(a), f.tag, run.name, static_cast<unsigned long>(n), v.count);
        return false;
    }
    for (size_t i = 0; i < n; i++) {
        const uint64_t expect = StorageBits(v.numbers[i], a);
        if (got.bits[i] != expect) {
            probe::SayWrongValue(TypeName(a), f.tag, run.name, static_cast<unsigned long>(i),
                                 got.bits[i], expect);
            return false;
        }
    }
    return true;
}

// A field the library read without knowing it comes back as any unknown
// one does, its count passed: described anew, its text as bytes. Only the
// Interoperability directory's own fields may be unknown. False when the
// field cannot be fetched at all, after saying so.
bool RereadUnknown(TIFF *tif, Run &run, const Field &f, Access *a, Values *v)
{
    const TIFFField *known = TIFFFindField(tif, f.tag, TIFF_ANY);
    if (!known || !TIFFFieldIsAnonymous(known))
        return true;
    if (f.home != Home::Interop) {
        probe::Say("%s: tag %u read as an unknown field.", run.name, f.tag);
        run.failed = true;
    }
    if (!Describe(tif, f.tag, a) || a->form != Form::Counted) {
        probe::SayProblemFetching(f.tag, run.name);
        return false;
    }
    if (v->text) {
        v->numbers.assign(v->text, v->text + v->text_size);
        v->text = nullptr;
    }
    return true;
}

bool CheckFields(TIFF *tif, Run &run, Home home)
{
    bool ok = true;
    unsigned vget_forms = 0;
    for (size_t i = 0; i < field::field_count; i++) {
        const Field &f = field::fields[i];
        if (f.home != home || !rows[i].present || run.WasRefused(f))
            continue;
        Values v = rows[i].values;
        Access a = rows[i].access;
        if (!RereadUnknown(tif, run, f, &a, &v)) {
            ok = false;
            continue;
        }
        Fetched got;
        if (!Fetch(tif, f.tag, a, v, TIFFGetField, &got)) {
            probe::SayProblemFetching(f.tag, run.name);
            ok = false;
            continue;
        }
        ok = Compare(run, f, v, a, got) && ok;
        // One field of each form is enough to prove the va_list path.
        if (home != vget_home || (vget_forms & (1U << static_cast<unsigned>(a.form))))
            continue;
        vget_forms |= 1U << static_cast<unsigned>(a.form);
        Fetched again;
        if (!Fetch(tif, f.tag, a, v, probe::VGet, &again) || !Matches(v, a, again)) {
            probe::Say("Wrong %s value fetched for tag %u in %s (TIFFVGetField).", TypeName(a),
                       f.tag, run.name);
            ok = false;
        }
    }
    return ok;
}

bool SameValues(const Fetched &got, std::initializer_list<double> values, const Access &a)
{
    size_t i = 0;
    for (const double value : values) {
        if (i >= got.bits.size() || got.bits[i] != StorageBits(value, a))
            return false;
        i++;
    }
    return true;
}

bool CheckDefaults(TIFF *tif, const Run &run, Home home, bool before_fields)
{
    bool ok = true;
    Access a;
    for (const Default &d : defaults) {
        if (d.home != home || d.before_fields != before_fields || !Describe(tif, d.tag, &a))
            continue;
        // Through TIFFGetFieldDefaulted, with the plain call's forms.
        Fetched got;
        Values v;
        v.count = static_cast<uint32_t>(d.values.size());
        if (!Fetch(tif, d.tag, a, v, TIFFGetFieldDefaulted, &got)) {
            probe::Say("Wrong default for tag %u in %s: none, expected %.9g.", d.tag, run.name,
                       *d.values.begin());
            ok = false;
            continue;
        }
        if (d.also.size() != 0 && SameValues(got, d.also, a))
            continue;
        size_t i = 0;
        for (const double value : d.values) {
            const uint64_t expect = StorageBits(value, a);
            if (i >= got.bits.size() || got.bits[i] != expect) {
                probe::Say("Wrong default for tag %u in %s: value %zu is 0x%" PRIx64
                           ", expected 0x%" PRIx64 ".",
                           d.tag, run.name, i, i < got.bits.size() ? got.bits[i] : 0, expect);
                ok = false;
                break;
            }
            i++;
        }
    }
    return ok;
}

// Page 0's tag list names each private field once, and only fields that
// page 0 holds.
bool CheckTagList(TIFF *tif, const Run &run)
{
    bool ok = true;
    const int n = TIFFGetTagListCount(tif);
    int seen_long = 0;
    int seen_text = 0;

    for (int i = 0; i < n; i++) {
        const uint32_t tag = TIFFGetTagListEntry(tif, i);
        seen_long += tag == private_long_tag;
        seen_text += tag == private_text_tag;
        bool held = tag == private_long_tag || tag == private_text_tag;
        for (size_t k = 0; k < field::field_count && !held; k++)
            held = field::fields[k].tag == tag && field::fields[k].home == Home::Main;
        if (!held) {
            probe::Say("%s: page 0: tag %u in the tag list, not set there.", run.name, tag);
            ok = false;
        }
    }
    if (seen_long != 1 || seen_text != 1) {
        probe::Say("%s: page 0: the tag list names tag %u %d times and tag %u %d times.", run.name,
                   private_long_tag, seen_long, private_text_tag, seen_text);
        ok = false;
    }
    return ok;
}

bool CheckUnset(TIFF *tif, Run &run)
{
    bool ok = true;
    for (const Unset &u : unsets) {
        if (StillPresent(tif, u.tag))
            ok = run.SayLingering(u.tag) && ok;
    }
    return ok;
}

// The JPEG page's strips, decoded: JPEGTables is only right if the image
// decodes with it. A decoder may be one off (ITU T.81's IDCT accuracy).
bool CheckJpegImage(TIFF *tif, const Run &run, size_t page)
{
    const tmsize_t size = TIFFStripSize(tif);
    const std::string place = probe::Page(page);
    std::vector<uint8_t> got(size > 0 ? static_cast<size_t>(size) : 1);
    bool ok = true;
    // Every strip and byte: the first wrong byte of a strip named, the rest
    // counted, so that a known defect hides no other.
    for (uint32_t strip = 0; strip < TIFFNumberOfStrips(tif); strip++) {
        if (TIFFReadEncodedStrip(tif, strip, got.data(), size) != size) {
            probe::SayCantRead("strip", strip, run.name, place.c_str());
            ok = false;
            continue;
        }
        unsigned long wrong = 0;
        size_t last = 0;
        for (size_t i = 0; i < got.size(); i++) {
            if (got[i] + 1 >= jpeg_level && got[i] <= jpeg_level + 1)
                continue;
            if (wrong++ == 0)
                probe::SayWrongImageByte("strip", strip, run.name, place.c_str(), i, got[i],
                                         jpeg_level);
            last = i;
        }
        if (wrong > 1)
            probe::SayMoreWrongBytes("strip", strip, run.name, place.c_str(), wrong - 1, "bytes",
                                     last);
        ok = ok && wrong == 0;
    }
    return ok;
}

// The library may warn of each field a directory holds that its schema
// lacks. In the Interoperability directory that is both of its fields,
// which no schema a program can give the library has
// (TIFFCustomDirectory(3tiff)): no finding, not passed on. Elsewhere a
// warning about a field of the table is passed on, and counted: the line
// that the field was read as unknown explains it. Any other is passed on.
TIFFErrorHandler outer_warning = nullptr;
Home reading = Home::Main;
unsigned long unknown_warnings = 0;

void ReadWarning(const char *module, const char *format, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    char text[128];
    vsnprintf(text, sizeof(text), format, copy);
    va_end(copy);
    for (size_t i = 0; i < field::field_count; i++) {
        const Field &f = field::fields[i];
        char expected[64];
        snprintf(expected, sizeof(expected), "Unknown field with tag %u (", f.tag);
        if (f.home != reading || !strstr(text, expected))
            continue;
        if (reading == Home::Interop)
            return;
        unknown_warnings++;
        break;
    }
    if (outer_warning)
        outer_warning(module, format, ap);
}

// Reads a custom directory; the warnings about the table's fields read as
// unknown count as explained.
int ReadCustomCounting(TIFF *tif, Run &run, Home home, uint64_t at)
{
    reading = home;
    unknown_warnings = 0;
    outer_warning = TIFFSetWarningHandler(ReadWarning);
    const int read = ReadCustom(tif, home, at);
    TIFFSetWarningHandler(outer_warning);
    run.explained += unknown_warnings;
    return read;
}

bool ReadFile(Run &run)
{
    page0 = true;
    const probe::Tiff tif = probe::Reopen(run.name, "r");
    if (!tif)
        return false;
    for (size_t p = 0; p < page_count; p++) {
        const Home home = shapes[p].home;
        page0 = false;
        if (p > 0 && !TIFFReadDirectory(tif)) {
            probe::SayCantDirectory("read", run.name, probe::Page(p).c_str());
            return false;
        }
        // Each check says what it finds; none stops the others.
        bool ok = CheckFields(tif, run, home);
        ok = CheckDefaults(tif, run, home, false) && ok;
        if (shapes[p].compression == COMPRESSION_JPEG)
            ok = CheckJpegImage(tif, run, p) && ok;
        if (home == Home::Main)
            ok = CheckTagList(tif, run) && ok;
        if (home == unset_home)
            ok = CheckUnset(tif, run) && ok;
        run.failed = !ok || run.failed;
    }
    for (const Home home : {Home::Exif, Home::Gps, Home::Interop}) {
        const uint64_t at = run.links[CustomIndex(home)];
        if (!ReadCustomCounting(tif, run, home, at)) {
            probe::SayCantDirectory("read", run.name, CustomName(home));
            return false;
        }
        run.failed = !CheckFields(tif, run, home) || run.failed;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The bytes on disk, read by our own reader.

std::string AllowedNames(uint32_t types)
{
    std::string names;
    for (unsigned t = 1; t < 32; t++) {
        if (types & field::TypeBit(t)) {
            if (!names.empty())
                names += " or ";
            names += ifd::TypeName(static_cast<uint16_t>(t));
        }
    }
    return names;
}

bool CheckEntry(const Run &run, const ifd::Directory &dir, size_t row, const Shape &s)
{
    const Field &f = field::fields[row];
    const Values &v = rows[row].values;
    if (!rows[row].present || run.WasRefused(f))
        return true;
    const ifd::Entry *e = ifd::FindEntry(dir, f.tag);
    if (!e) {
        probe::SayMissingOnDisk(f.tag, run.name);
        return false;
    }
    const uint64_t count = DiskCount(f, s, v);
    const uint32_t types = run.layout.bigtiff ? f.types : f.types & ~field::BIGTIFF_ONLY;
    const bool fraction = e->type == ifd::RATIONAL || e->type == ifd::SRATIONAL;
    if (!(types & field::TypeBit(e->type)) || e->count != count ||
        e->values.size() != (fraction ? 2 : 1) * count) {
        probe::SayWrongEntry(*e, run.name, AllowedNames(types).c_str(),
                             static_cast<unsigned long>(count));
        return false;
    }
    for (size_t i = 0; i < count; i++) {
        if (v.text) {
            // Past the text, nothing was set: a NUL is what stands there.
            const uint8_t expect = i < v.text_size ? static_cast<uint8_t>(v.text[i]) : 0;
            if (i >= v.text_size || e->values[i] != expect) {
                probe::SayWrongByteOnDisk(f.tag, run.name, static_cast<unsigned long>(i),
                                          static_cast<unsigned>(e->values[i]), expect);
                return false;
            }
            continue;
        }
        // One value set for every sample stands once per sample.
        const double expect = v.numbers[v.numbers.size() == count ? i : 0];
        if (probe::Number(*e, i) != expect) {
            probe::SayWrongNumberOnDisk(f.tag, run.name, static_cast<unsigned long>(i),
                                        probe::Number(*e, i), expect);
            return false;
        }
    }
    return true;
}

bool CheckDirectory(Run &run, const ifd::Directory &dir, Home home)
{
    const Shape &shape = ShapeOf(home);
    if (!probe::TagsAscending(dir, run.name) || !probe::WordAligned(dir, run.name))
        return false;
    bool ok = true;
    for (size_t i = 0; i < field::field_count; i++) {
        if (field::fields[i].home == home)
            ok = CheckEntry(run, dir, i, shape) && ok;
    }
    if (home == unset_home) {
        for (const Unset &u : unsets) {
            if (ifd::FindEntry(dir, u.tag))
                ok = run.SayLingering(u.tag) && ok;
        }
    }
    return ok;
}

bool CheckDisk(Run &run)
{
    probe::OnDisk disk;
    const ifd::File &file = disk.file;
    if (!probe::ReadFormat(run.layout, &disk) || !probe::PagesOnDisk(file, page_count, run.name))
        return false;
    bool ok = true;
    for (size_t p = 0; p < page_count; p++) {
        const Shape &s = shapes[p];
        ok = CheckDirectory(run, file.chain[p], s.home) && ok;
        const uint64_t planes = s.planar == PLANARCONFIG_SEPARATE ? SamplesOf(s) : 1;
        // No RowsPerStrip: the whole image is one strip.
        const uint32_t strip_rows = s.rows ? s.rows : s.length;
        const uint64_t chunks = planes * (s.tile ? ((s.width + s.tile - 1) / s.tile) *
                                                       ((s.length + s.tile - 1) / s.tile)
                                                 : (s.length + strip_rows - 1) / strip_rows);
        if (!probe::ChunksInside(file.chain[p], disk.bytes.size(),
                                 s.tile ? ifd::tag::TileOffsets : ifd::tag::StripOffsets,
                                 s.tile ? ifd::tag::TileByteCounts : ifd::tag::StripByteCounts,
                                 chunks, s.tile ? "tile" : "strip", run.name))
            ok = false;
    }
    for (const Home home : {Home::Exif, Home::Gps, Home::Interop}) {
        const ifd::Directory *dir = file.Find(run.links[CustomIndex(home)]);
        if (!dir) {
            probe::Say("%s: %s: no IFD at %" PRIu64 ".", run.name, CustomName(home),
                       run.links[CustomIndex(home)]);
            ok = false;
            continue;
        }
        ok = CheckDirectory(run, *dir, home) && ok;
    }
    return ok;
}

bool FieldTest(const Layout &layout, bool query)
{
    const unsigned long messages = LibraryMessages();
    Run run{layout, layout.filename, false, false, 0, {0, 0, 0}, {}, {}};

    run.query = query;
    SetByteOrder(run);
    if (!WriteFile(run) || !ReadFile(run))
        return false;
    const bool disk_ok = CheckDisk(run);
    // The file stays behind for inspection on any failure.
    return probe::LibraryQuiet(layout.filename, messages + run.explained) && disk_ok && !run.failed;
}

} // namespace

int main()
{
    bool first = true;

    CountLibraryMessages();
    for (size_t p = 0; p < page_count; p++) {
        wanted_compression[p] = shapes[p].compression;
        if (shapes[p].compression != 0)
            shapes[p].compression = probe::CodecOrNone(shapes[p].compression);
    }
    MakeRows();
    previous_extender = TIFFSetTagExtender(RegisterPrivateFields);
    // The library's field lists are the same for all layouts, so they are
    // queried once.
    const int status = probe::RunLayouts(layouts, [&first](const Layout &layout) {
        const bool query = first;
        first = false;
        return FieldTest(layout, query);
    });
    if (status == 0)
        probe::SayCodecSkips();
    return status;
}
