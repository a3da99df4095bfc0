// type_probe's value tables, shared with the test that holds them to the
// value rule (docs/contributing.md, "A field row"): one home for each table.
#ifndef TIFF_PROBES_TYPE_VALUES_H
#define TIFF_PROBES_TYPE_VALUES_H

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <tiffio.h>

namespace types {

// Values chosen to catch real faults: each type's extremes, -1 and 0, a byte
// pattern whose halves differ, a sign bit alone. The first is the single
// value, so it is neither 0 nor 1 nor its bytes reversed; the whole table is
// the long array, so its count is odd.
inline constexpr uint8_t byte_values[] = {0xFF, 0x00, 0x01, 0x80, 0x7F, 0xFE,
                                          0x02, 0x10, 0x20, 0x40, 0xAA};
inline constexpr int8_t sbyte_values[] = {-128, 127, -1, 0, 1, -2, 0x55, -0x56, 3, -3, 0x12};
inline constexpr uint16_t short_values[] = {0x0102, 0xFFFF, 0,      0x8000, 1,
                                            0x7FFF, 0xFF00, 0x00FF, 0x1234};
inline constexpr int16_t sshort_values[] = {-32768, 32767, -1, 0, 0x0102, -0x0102, 1, -2, 0x1234};
inline constexpr uint32_t long_values[] = {0x01020304, 0xFFFFFFFF, 0,         0x80000000,
                                           1,          0x7FFFFFFF, 0xA1B2C3D5};
inline constexpr int32_t slong_values[] = {INT32_MIN,  INT32_MAX,   -1,         0,
                                           0x01020304, -0x01020304, -0x5A4B3C2D};
inline constexpr uint64_t long8_values[] = {0x0102030405060708ULL, UINT64_MAX, 0, 0x100000000ULL,
                                            0x8000000000000000ULL};
inline constexpr int64_t slong8_values[] = {INT64_MIN, INT64_MAX, -1, 0, 0x0102030405060708LL};
// IFD values are offsets of 32 bits on disk. The library says how wide it
// takes and gives them (TIFFFieldSetGetSize), so arrays pass that width.
inline constexpr uint32_t ifd_values[] = {0x01020304, 0xFFFFFFFF, 0, 0x80000000, 8, 16, 0xC0DEF00D};
inline constexpr uint64_t ifd8_values[] = {0x0102030405060708ULL, UINT64_MAX, 0, 0x100000000ULL,
                                           16};
// -0.0 and the subnormals are compared bit for bit.
inline constexpr float float_values[] = {FLT_TRUE_MIN, -0.0F, FLT_MAX, -FLT_MAX,
                                         1.0F,         0.1F,  FLT_MIN};
// 2.718281828459045 is more than a FLOAT can hold.
inline constexpr double double_values[] = {2.718281828459045, -0.0, DBL_TRUE_MIN, DBL_MAX,
                                           -DBL_MAX,          0.1,  1.0 / 3.0};
// The library keeps custom RATIONALs as FLOAT; these survive the fraction
// exactly.
inline constexpr float rational_values[] = {0.5F, 72.0F, 0.0F, 3.125F, 65535.5F, 1.0F, 0.0625F};
inline constexpr float srational_values[] = {-0.5F,     -72.0F, 0.0F,   3.125F,
                                             -65535.5F, -1.0F,  0.0625F};
inline constexpr uint8_t undefined_values[] = {0xA5, 0xFF, 0x80, 0x01, 0x02, 0x03,
                                               0x04, 0x05, 0x06, 0x07, 0x00};

// The standard fields set next to them: PageNumber (page 2 of 5, so neither
// half is 0 or 1) and XResolution with a fraction.
inline constexpr uint16_t page_number[2] = {2, 5};
inline constexpr float x_resolution = 300.5F;

struct TypeProbe {
    const char *name;
    const void *values; // values[0] is the single value
    TIFFDataType type;
    ttag_t tag;        // the single value; tag + 1 to tag + 3 hold the arrays
    uint32_t count;    // values in the table, the long array
    unsigned storage;  // bytes per value as TIFFSetField takes and TIFFGetField gives it
    unsigned disk;     // bytes per value on disk
    bool bigtiff_only; // the 64-bit types
    bool single_only;  // no arrays of this type
};

template <typename T, size_t N>
constexpr uint32_t CountOf(const T (&/*values*/)[N])
{
    return N;
}

// The private tags type_probe picks: ten for each row of type_probes, from
// 65000 in the table's order, and two for the text after them.
inline constexpr ttag_t private_first = 65000;
inline constexpr ttag_t tags_per_type = 10;
constexpr ttag_t PrivateTag(unsigned row)
{
    return private_first + tags_per_type * row;
}

inline constexpr TypeProbe type_probes[] = {
    {"BYTE", byte_values, TIFF_BYTE, PrivateTag(0), CountOf(byte_values), 1, 1, false, false},
    {"SBYTE", sbyte_values, TIFF_SBYTE, PrivateTag(1), CountOf(sbyte_values), 1, 1, false, false},
    {"UNDEFINED", undefined_values, TIFF_UNDEFINED, PrivateTag(2), CountOf(undefined_values), 1, 1,
     false, false},
    {"SHORT", short_values, TIFF_SHORT, PrivateTag(3), CountOf(short_values), 2, 2, false, false},
    {"SSHORT", sshort_values, TIFF_SSHORT, PrivateTag(4), CountOf(sshort_values), 2, 2, false,
     false},
    {"LONG", long_values, TIFF_LONG, PrivateTag(5), CountOf(long_values), 4, 4, false, false},
    {"SLONG", slong_values, TIFF_SLONG, PrivateTag(6), CountOf(slong_values), 4, 4, false, false},
    {"RATIONAL", rational_values, TIFF_RATIONAL, PrivateTag(7), CountOf(rational_values), 4, 8,
     false, false},
    {"SRATIONAL", srational_values, TIFF_SRATIONAL, PrivateTag(8), CountOf(srational_values), 4, 8,
     false, false},
    {"FLOAT", float_values, TIFF_FLOAT, PrivateTag(9), CountOf(float_values), 4, 4, false, false},
    {"DOUBLE", double_values, TIFF_DOUBLE, PrivateTag(10), CountOf(double_values), 8, 8, false,
     false},
    {"IFD", ifd_values, TIFF_IFD, PrivateTag(11), CountOf(ifd_values), 4, 4, false, false},
    {"LONG8", long8_values, TIFF_LONG8, PrivateTag(12), CountOf(long8_values), 8, 8, true, false},
    {"SLONG8", slong8_values, TIFF_SLONG8, PrivateTag(13), CountOf(slong8_values), 8, 8, true,
     false},
    {"IFD8", ifd8_values, TIFF_IFD8, PrivateTag(14), CountOf(ifd8_values), 8, 8, true, false},
};
inline constexpr ttag_t short_text_tag = PrivateTag(sizeof(type_probes) / sizeof(type_probes[0]));
inline constexpr ttag_t long_text_tag = short_text_tag + 1;

} // namespace types

// Value I of a table as the bits of its storage, zero-extended: the probe
// and the value rule's test read the tables alike.
inline uint64_t StoredBits(const void *values, unsigned storage, uint32_t i)
{
    const auto *p = static_cast<const uint8_t *>(values) + static_cast<size_t>(i) * storage;
    uint8_t b1 = 0;
    uint16_t b2 = 0;
    uint32_t b4 = 0;
    uint64_t b8 = 0;
    switch (storage) {
    case 1:
        memcpy(&b1, p, 1);
        return b1;
    case 2:
        memcpy(&b2, p, 2);
        return b2;
    case 4:
        memcpy(&b4, p, 4);
        return b4;
    default:
        memcpy(&b8, p, 8);
        return b8;
    }
}

#endif
