// The value rule (tests/README.md, "A field row") over type_probe's and
// directory_probe's tables, so that rows added later keep it: each broken
// rule is a failure naming the row.
//
// Exempt, by design: type_probe's arrays at the inline limit and one value
// over it (tags +1 and +2) have the counts the entry's slot dictates, 4 bytes
// in classic TIFF and 8 in BigTIFF, so only the long array's count (+3, the
// whole table) is free.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "type_values.h"

namespace {

using types::TypeProbe;

bool is_integer(const TypeProbe &t)
{
    return t.type != TIFF_FLOAT && t.type != TIFF_DOUBLE && t.type != TIFF_RATIONAL &&
           t.type != TIFF_SRATIONAL;
}

// Value I as its stored bits, zero-extended.
uint64_t bits(const TypeProbe &t, uint32_t i)
{
    const auto *p = static_cast<const uint8_t *>(t.values) + static_cast<size_t>(i) * t.storage;
    uint8_t b1 = 0;
    uint16_t b2 = 0;
    uint32_t b4 = 0;
    uint64_t b8 = 0;
    switch (t.storage) {
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

double number(const TypeProbe &t, uint32_t i)
{
    if (t.type == TIFF_DOUBLE)
        return static_cast<const double *>(t.values)[i];
    return static_cast<const float *>(t.values)[i];
}

uint64_t swapped(uint64_t v, unsigned size)
{
    uint64_t s = 0;
    for (unsigned b = 0; b < size; b++)
        s |= ((v >> (8 * b)) & 0xFF) << (8 * (size - 1 - b));
    return s;
}

bool zero_or_one(const TypeProbe &t, uint32_t i)
{
    if (is_integer(t))
        return bits(t, i) <= 1;
    return number(t, i) == 0 || number(t, i) == 1;
}

TEST(TypeValues, SingleValueShowsAFault)
{
    for (const TypeProbe &t : types::type_probes) {
        SCOPED_TRACE(std::string(t.name) + " " + std::to_string(t.tag));
        EXPECT_FALSE(zero_or_one(t, 0)) << "a dropped value gives 0";
        if (is_integer(t) && t.storage > 1) {
            EXPECT_NE(swapped(bits(t, 0), t.storage), bits(t, 0)) << "reads the same swapped";
        }
        if (t.type == TIFF_RATIONAL || t.type == TIFF_SRATIONAL) {
            EXPECT_NE(number(t, 0), std::floor(number(t, 0))) << "a rounded fraction passes";
        }
    }
}

// The long array: an odd count, out of line in both formats, not only zeros
// and ones, and for an integer type a value whose top byte is set.
TEST(TypeValues, LongArrayShowsAFault)
{
    for (const TypeProbe &t : types::type_probes) {
        SCOPED_TRACE(std::string(t.name) + " " + std::to_string(t.tag + 3));
        EXPECT_EQ(t.count % 2, 1U) << "free count " << t.count;
        EXPECT_GT(t.count * t.disk, 8U) << "in line";
        bool only_zero_one = true;
        bool full = false;
        for (uint32_t i = 0; i < t.count; i++) {
            only_zero_one = only_zero_one && zero_or_one(t, i);
            full = full || (bits(t, i) >> (8 * t.storage - 8)) != 0;
        }
        EXPECT_FALSE(only_zero_one) << "only zeros and ones";
        EXPECT_TRUE(!is_integer(t) || full) << "no value fills the width";
    }
}

TEST(TypeValues, StandardFieldsShowAFault)
{
    for (const uint16_t v : types::page_number) {
        EXPECT_GT(v, 1U) << "PageNumber";
        EXPECT_NE(swapped(v, 2), v) << "PageNumber";
    }
    EXPECT_LT(types::page_number[0], types::page_number[1]) << "PageNumber: page within total";
    EXPECT_NE(types::x_resolution, std::floor(types::x_resolution)) << "XResolution";
}

} // namespace
