#include "fetch.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "probe_support.h"

namespace read_fetch {

namespace {

bool IsReal(TIFFDataType t)
{
    return t == TIFF_RATIONAL || t == TIFF_SRATIONAL || t == TIFF_FLOAT || t == TIFF_DOUBLE;
}

void Decode(const void *p, uint64_t n, unsigned size, TIFFDataType dt, Got *got)
{
    got->size = size;
    got->real = IsReal(dt) && size >= 4;
    got->sign = IsSigned(static_cast<uint16_t>(dt));
    const auto *bytes = static_cast<const uint8_t *>(p);
    for (uint64_t i = 0; p && i < n; i++) {
        const uint8_t *v = bytes + i * size;
        if (got->real) {
            if (size == 4) {
                float f;
                memcpy(&f, v, 4);
                got->reals.push_back(f);
            } else {
                double d;
                memcpy(&d, v, 8);
                got->reals.push_back(d);
            }
            continue;
        }
        uint64_t u = 0;
        memcpy(&u, v, size); // host order; the low bytes come first on little-endian hosts
        if (probe::HostBigEndian())
            u >>= 8 * (8 - size);
        got->ints.push_back(got->sign ? static_cast<uint64_t>(ifd::Signed(u, size)) : u);
    }
}

bool IsStrileArray(uint16_t tag)
{
    return tag == ifd::tag::StripOffsets || tag == ifd::tag::StripByteCounts ||
           tag == ifd::tag::TileOffsets || tag == ifd::tag::TileByteCounts;
}

// The fields TIFFGetField gives as two uint16 values.
bool TwoShorts(uint16_t tag)
{
    return tag == ifd::tag::PageNumber || tag == ifd::tag::HalftoneHints ||
           tag == ifd::tag::YCbCrSubSampling || tag == ifd::tag::DotRange;
}

struct Registered {
    const TIFFFieldInfo *infos;
    unsigned count;
    const bool *active;
};

std::vector<Registered> registered;
TIFFExtendProc previous_extender = nullptr;

void PrivateTags(TIFF *tif)
{
    for (const Registered &r : registered) {
        if (*r.active)
            TIFFMergeFieldInfo(tif, r.infos, r.count);
    }
    if (previous_extender)
        previous_extender(tif);
}

} // namespace

void RegisterWhile(const TIFFFieldInfo *infos, unsigned count, const bool *active)
{
    if (registered.empty())
        previous_extender = TIFFSetTagExtender(PrivateTags);
    registered.push_back({infos, count, active});
}

bool Pairs(uint16_t type)
{
    return type == ifd::RATIONAL || type == ifd::SRATIONAL;
}

bool IsSigned(uint16_t t)
{
    return t == ifd::SBYTE || t == ifd::SSHORT || t == ifd::SLONG || t == ifd::SLONG8;
}

bool Fetch(TIFF *tif, uint16_t tag, Got *got)
{
    const TIFFField *f = TIFFFieldWithTag(tif, tag);
    if (!f)
        return false;
    const TIFFDataType dt = TIFFFieldDataType(f);
    const int size = TIFFFieldSetGetSize(f);
    const int count_size = TIFFFieldSetGetCountSize(f);
    const int read_count = TIFFFieldReadCount(f);
    void *p = nullptr;

    if (IsStrileArray(tag)) {
        uint64_t *array = nullptr;
        if (!TIFFGetField(tif, tag, &array))
            return false;
        const uint32_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
        Decode(array, array ? n : 0, 8, TIFF_LONG8, got);
        return true;
    }
    if (TwoShorts(tag)) {
        uint16_t v[2] = {0, 0};
        if (!TIFFGetField(tif, tag, &v[0], &v[1]))
            return false;
        Decode(v, 2, 2, TIFF_SHORT, got);
        return true;
    }
    if (count_size == 2 || count_size == 4) {
        uint16_t n16 = 0;
        uint32_t n32 = 0;
        const int ok =
            count_size == 2 ? TIFFGetField(tif, tag, &n16, &p) : TIFFGetField(tif, tag, &n32, &p);
        if (!ok)
            return false;
        got->counted = true;
        const uint32_t n = count_size == 2 ? n16 : n32;
        if (dt == TIFF_ASCII) {
            got->text = true;
            got->bytes.assign(static_cast<const char *>(p), p ? n : 0);
            got->null = !p;
        } else {
            Decode(p, n, static_cast<unsigned>(size), dt, got);
        }
        return true;
    }
    if (dt == TIFF_ASCII) {
        const char *text = nullptr;
        if (!TIFFGetField(tif, tag, &text))
            return false;
        got->text = true;
        got->bytes = text ? text : "";
        got->null = !text;
        return true;
    }
    if (read_count > 1) {
        if (!TIFFGetField(tif, tag, &p))
            return false;
        Decode(p, static_cast<uint64_t>(read_count), static_cast<unsigned>(size), dt, got);
        return true;
    }
    // One value, of the size the library keeps: 8 bytes hold any of them.
    uint64_t value[2] = {0, 0};
    if (!TIFFGetField(tif, tag, value))
        return false;
    got->scalar = true;
    Decode(value, 1, static_cast<unsigned>(size), dt, got);
    return true;
}

std::vector<double> Numbers(const ifd::Field &f)
{
    std::vector<double> out;
    const bool pairs = Pairs(f.type);
    for (size_t i = 0; i < f.values.size(); i += pairs ? 2 : 1) {
        const uint64_t v = f.values[i];
        const bool fraction = pairs && i + 1 < f.values.size() && f.values[i + 1] != 0;
        switch (f.type) {
        case ifd::FLOAT:
            out.push_back(ifd::FloatFromBits(v));
            break;
        case ifd::DOUBLE:
            out.push_back(ifd::DoubleFromBits(v));
            break;
        case ifd::RATIONAL:
            out.push_back(fraction ? static_cast<double>(v) / static_cast<double>(f.values[i + 1])
                                   : std::nan(""));
            break;
        case ifd::SRATIONAL:
            out.push_back(fraction ? static_cast<double>(ifd::Signed(v, 4)) /
                                         static_cast<double>(ifd::Signed(f.values[i + 1], 4))
                                   : std::nan(""));
            break;
        case ifd::SBYTE:
        case ifd::SSHORT:
        case ifd::SLONG:
        case ifd::SLONG8:
            out.push_back(static_cast<double>(ifd::Signed(v, ifd::TypeSize(f.type))));
            break;
        default:
            out.push_back(static_cast<double>(v));
        }
    }
    return out;
}

} // namespace read_fetch
