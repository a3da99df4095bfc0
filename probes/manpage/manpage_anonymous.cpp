// Tags the library does not know, read from a file our own writer made: the
// autoregistered tags of TIFFGetField(3tiff) and the anonymous fields of
// TIFFFieldQuery(3tiff), one tag of every stored type.
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "ifd_writer.h"
#include "library_messages.h"
#include "manpage_probe.h"

namespace manpage {

namespace {

// Tags no standard and no library table defines: private ones (TIFF 6.0,
// section 2, tags 65000 and up are reusable), one a type, the type added.
constexpr uint16_t anonymous_base = 65400;

// Two values of a stored type, chosen so that a wrong byte order, a lost
// sign or a wrong width changes them, and each exact in a float.
struct AnonymousRow {
    uint16_t type;
    bool bigtiff_only;
    int64_t values[4]; // integers; numerator, denominator pairs; or scaled by 8 for reals
};

constexpr AnonymousRow anonymous_rows[] = {
    {TIFF_BYTE, false, {0x12, 0xFE}},
    {TIFF_ASCII, false, {'a', 'b'}}, // with its NUL
    {TIFF_SHORT, false, {0x1234, 0xFEDC}},
    {TIFF_LONG, false, {0x12345678, 0xFEDCBA98}},
    {TIFF_RATIONAL, false, {3, 4, 5, 8}},
    {TIFF_SBYTE, false, {-2, 0x7F}},
    {TIFF_UNDEFINED, false, {0xAB, 0x01}},
    {TIFF_SSHORT, false, {-2, 0x1234}},
    {TIFF_SLONG, false, {-2, 0x12345678}},
    {TIFF_SRATIONAL, false, {-3, 4, 5, 8}},
    {TIFF_FLOAT, false, {12, -2}},   // 1.5, -0.25
    {TIFF_DOUBLE, false, {12, -22}}, // 1.5, -2.75
    {TIFF_IFD, false, {0x12345678, 8}},
    {TIFF_LONG8, true, {0x123456789ABCDEF0, 2}},
    {TIFF_SLONG8, true, {-2, 0x123456789ABCDEF0}},
    {TIFF_IFD8, true, {0x123456789ABCDEF0, 8}},
};

bool InFormat(const AnonymousRow &row, const Layout &layout)
{
    return layout.bigtiff || !row.bigtiff_only;
}

uint16_t TagOf(const AnonymousRow &row)
{
    return static_cast<uint16_t>(anonymous_base + row.type);
}

bool Rational(uint16_t type)
{
    return type == TIFF_RATIONAL || type == TIFF_SRATIONAL;
}

bool Signed(uint16_t type)
{
    return type == TIFF_SBYTE || type == TIFF_SSHORT || type == TIFF_SLONG || type == TIFF_SLONG8 ||
           type == TIFF_SRATIONAL;
}

ifd::Field FieldOf(const AnonymousRow &row)
{
    const int64_t *v = row.values;
    const uint16_t tag = TagOf(row);
    switch (row.type) {
    case TIFF_ASCII:
        return ifd::Text(tag, std::string{static_cast<char>(v[0]), static_cast<char>(v[1]), '\0'});
    case TIFF_RATIONAL:
    case TIFF_SRATIONAL:
        return ifd::Rationals(tag, row.type, {v[0], v[1], v[2], v[3]});
    case TIFF_FLOAT:
        return ifd::Floats(tag, {static_cast<float>(v[0]) / 8, static_cast<float>(v[1]) / 8});
    case TIFF_DOUBLE:
        return ifd::Doubles(tag, {static_cast<double>(v[0]) / 8, static_cast<double>(v[1]) / 8});
    default:
        return ifd::Numbers(tag, row.type,
                            {static_cast<uint64_t>(v[0]), static_cast<uint64_t>(v[1])});
    }
}

// Value k of a row: integers as their bits, sign-extended; reals as numbers.
struct Value {
    bool real;
    uint64_t bits;
    double number;
};

Value Expected(const AnonymousRow &row, size_t k)
{
    if (Rational(row.type))
        return {true, 0,
                static_cast<double>(row.values[2 * k]) /
                    static_cast<double>(row.values[2 * k + 1])};
    if (row.type == TIFF_FLOAT || row.type == TIFF_DOUBLE)
        return {true, 0, static_cast<double>(row.values[k]) / 8};
    return {false, static_cast<uint64_t>(row.values[k]), 0};
}

template <typename T>
T Load(const uint8_t *bytes)
{
    T v;
    memcpy(&v, bytes, sizeof(v));
    return v;
}

// Element k of what TIFFGetField gave, `size` bytes wide as the field's
// description says, read as the stored type's kind of number.
Value Element(const void *data, unsigned k, int size, uint16_t type)
{
    const auto *bytes = static_cast<const uint8_t *>(data) + static_cast<size_t>(k) * size;
    if (Rational(type) || type == TIFF_FLOAT || type == TIFF_DOUBLE)
        return {true, 0, size == 4 ? Load<float>(bytes) : Load<double>(bytes)};
    const bool s = Signed(type);
    switch (size) {
    case 1:
        return {false, s ? static_cast<uint64_t>(Load<int8_t>(bytes)) : Load<uint8_t>(bytes), 0};
    case 2:
        return {false, s ? static_cast<uint64_t>(Load<int16_t>(bytes)) : Load<uint16_t>(bytes), 0};
    case 4:
        return {false, s ? static_cast<uint64_t>(Load<int32_t>(bytes)) : Load<uint32_t>(bytes), 0};
    default:
        return {false, Load<uint64_t>(bytes), 0};
    }
}

bool Same(const Value &a, const Value &b)
{
    return a.real == b.real && (a.real ? a.number == b.number : a.bits == b.bits);
}

std::string Text(const Value &v)
{
    char text[32];
    if (v.real)
        snprintf(text, sizeof(text), "%.9g", v.number);
    else
        snprintf(text, sizeof(text), "0x%" PRIx64, v.bits);
    return text;
}

unsigned CountOf(const AnonymousRow &row)
{
    return row.type == TIFF_ASCII ? 3 : 2;
}

// The layout's file: a 1 x 1 page of 8 bits and one tag of each row, made
// by our writer, since the library writes no tag it does not know.
bool WriteAnonymous(const Layout &layout)
{
    ifd::Writer w(layout.big_endian, layout.bigtiff);
    const uint64_t strip = w.Append({0x5A});
    ifd::Ifd page;
    page.fields = {ifd::Numbers(TIFFTAG_IMAGEWIDTH, TIFF_SHORT, {1}),
                   ifd::Numbers(TIFFTAG_IMAGELENGTH, TIFF_SHORT, {1}),
                   ifd::Numbers(TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, {8}),
                   ifd::Numbers(TIFFTAG_PHOTOMETRIC, TIFF_SHORT, {PHOTOMETRIC_MINISBLACK}),
                   ifd::Numbers(TIFFTAG_STRIPOFFSETS, TIFF_LONG, {strip}),
                   ifd::Numbers(TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, {1})};
    for (const AnonymousRow &row : anonymous_rows) {
        if (InFormat(row, layout))
            page.fields.push_back(FieldOf(row));
    }
    w.AppendIfd(page);
    const ifd::Error e = ifd::SaveFile(layout.filename, w.Bytes());
    if (e)
        probe::Say<probe::Line::CantSave>(layout.filename, e.what.c_str());
    return !e;
}

// The file opened for reading; the library warns of every tag it does not
// know, as it should.
probe::Tiff OpenAnonymous(const Layout &layout)
{
    if (!WriteAnonymous(layout))
        return probe::Tiff();
    return Expecting([&] { return probe::Reopen(layout.filename, "r"); });
}

} // namespace

bool AutoregisteredValues(const Layout &layout, const Promise &p)
{
    const probe::Tiff tif = OpenAnonymous(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (const AnonymousRow &row : anonymous_rows) {
        if (!InFormat(row, layout))
            continue;
        const uint16_t tag = TagOf(row);
        const TIFFField *fip = TIFFFindField(tif, tag, TIFF_ANY);
        uint32_t count = 0;
        void *data = nullptr;
        const int got = fip ? TIFFGetField(tif, tag, &count, &data) : 0;
        if (got != 1 || count != CountOf(row) || !data) {
            ok = Broken(layout, p,
                        "tag %u of type %u gave %d and %" PRIu32 " values, expected 1 and %u", tag,
                        row.type, got, count, CountOf(row));
            continue;
        }
        if (row.type == TIFF_ASCII) {
            const char want[3] = {static_cast<char>(row.values[0]),
                                  static_cast<char>(row.values[1]), 0};
            if (memcmp(data, want, 3) != 0)
                ok = Broken(layout, p, "tag %u of type %u is \"%.3s\", expected \"%s\"", tag,
                            row.type, static_cast<const char *>(data), want);
            continue;
        }
        const int size = TIFFFieldSetGetSize(fip);
        for (unsigned k = 0; k < count && size > 0; k++) {
            const Value want = Expected(row, k);
            const Value is = Element(data, k, size, row.type);
            if (!Same(is, want)) {
                ok = Broken(layout, p, "tag %u of type %u: value %u is %s, expected %s", tag,
                            row.type, k, Text(is).c_str(), Text(want).c_str());
                break;
            }
        }
    }
    return ok;
}

bool AnonymousFields(const Layout &layout, const Promise &p)
{
    const probe::Tiff tif = OpenAnonymous(layout);
    if (!tif)
        return false;
    bool ok = true;
    for (const AnonymousRow &row : anonymous_rows) {
        if (!InFormat(row, layout))
            continue;
        const uint16_t tag = TagOf(row);
        const TIFFField *fip = TIFFFieldWithTag(tif, tag);
        const TIFFField *any = TIFFFindField(tif, tag, TIFF_ANY);
        if (!fip || !TIFFFieldIsAnonymous(fip) || any != fip)
            ok = Broken(layout, p,
                        "tag %u of type %u: %s, TIFFFindField with TIFF_ANY %s, expected an "
                        "anonymous field and the same",
                        tag, row.type,
                        !fip                        ? "no field"
                        : TIFFFieldIsAnonymous(fip) ? "anonymous"
                                                    : "not anonymous",
                        any == fip ? "the same" : "another");
    }
    const TIFFField *known = TIFFFieldWithTag(tif, TIFFTAG_IMAGEWIDTH);
    if (!known || TIFFFieldIsAnonymous(known))
        ok = Broken(layout, p, "ImageWidth: %s, expected a field that is not anonymous",
                    known ? "anonymous" : "no field");
    // A tag with no field and a name no field has: no field to point to.
    const uint16_t unknown = anonymous_base + 99;
    const TIFFField *none = Expecting([&] { return TIFFFieldWithTag(tif, unknown); });
    const TIFFField *nameless =
        Expecting([&] { return TIFFFieldWithName(tif, "NoSuchFieldName"); });
    if (none || nameless)
        ok = Broken(layout, p,
                    "tag %u gave %s, a name no field has %s, expected no field for either", unknown,
                    none ? "a field" : "none", nameless ? "a field" : "none");
    return ok;
}

} // namespace manpage
