// How the library takes and gives a field's values, and its description of
// each field against the table.
#include <cstdint>
#include <cstring>
#include <vector>

#include <tiffio.h>

#include "field_probe.h"

namespace fields {

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

// The values in the library's storage, for the calls that take a pointer.
std::vector<uint8_t> Storage(const Values &v, const Access &a)
{
    std::vector<uint8_t> out(static_cast<size_t>(v.count) * a.size);
    for (size_t i = 0; i < v.count; i++) {
        const uint64_t b = i < v.bits.size() && !a.real ? v.bits[i] : StorageBits(v.numbers[i], a);
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

int SetSingle(TIFF *tif, uint32_t tag, const Values &values, const Access &a, SetFn set)
{
    const double v = values.numbers[0];
    if (a.real)
        return set(tif, tag, v);
    const uint64_t mask = a.size == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * a.size)) - 1;
    const uint64_t b = values.bits.empty() ? StorageBits(v, a) : values.bits[0] & mask;
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
        return v.count == 1 && SetSingle(tif, tag, v, a, set);
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
        out->bits.assign(1, probe::ItemAt(&single, a.size, 0));
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
        out->bits[i] = probe::ItemAt(array, a.size, i);
    return true;
}

// ---------------------------------------------------------------------------
// The library's description of each field against the table, in each kind
// of directory.

bool CheckQuery(TIFF *tif, const Run &run, bool exif, bool gps)
{
    bool ok = true;
    for (size_t i = 0; i < field::field_count; i++) {
        const Definition &f = field::fields[i];
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
            probe::Say<probe::Line::FieldWithName>(run.name, f.tag, name ? name : "",
                                                   by_name ? TIFFFieldTag(by_name) : 0);
            ok = false;
        }
        const TIFFDataType type = TIFFFieldDataType(by_tag);
        // A field of any numeric type is described without one.
        if (!(f.types & field::TypeBit(type)) &&
            !(type == TIFF_NOTYPE && f.types == field::ALLOW_NUMERIC)) {
            probe::Say<probe::Line::LibraryType>(run.name, f.tag,
                                                 ifd::TypeName(static_cast<uint16_t>(type)));
            ok = false;
        }
    }
    return ok;
}

} // namespace fields
