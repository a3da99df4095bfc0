// The write matrix's rules against the standards: the counts that fill the
// inline slot (TIFF 6.0's 4 bytes, BigTIFF's 8), the limits a call's
// argument carries, and the classes a few rows derive.
#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "write_rules.h"

namespace {

using write_matrix::Arg;
using write_matrix::Case;

TEST(WriteRules, SlotFillPerTypeAndFormat)
{
    struct Want {
        uint16_t type;
        uint64_t classic, bigtiff;
    };
    const Want table[] = {
        {ifd::BYTE, 4, 8},      {ifd::ASCII, 4, 8},  {ifd::SHORT, 2, 4}, {ifd::SSHORT, 2, 4},
        {ifd::LONG, 1, 2},      {ifd::FLOAT, 1, 2},  {ifd::IFD, 1, 2},   {ifd::RATIONAL, 0, 1},
        {ifd::SRATIONAL, 0, 1}, {ifd::DOUBLE, 0, 1}, {ifd::LONG8, 0, 1}, {ifd::UNDEFINED, 4, 8},
    };
    for (const Want &w : table) {
        SCOPED_TRACE(ifd::TypeName(w.type));
        EXPECT_EQ(write_matrix::SlotFill(w.type, false), w.classic);
        EXPECT_EQ(write_matrix::SlotFill(w.type, true), w.bigtiff);
    }
}

TEST(WriteRules, IntegerLimitsAsTheArgumentCarriesThem)
{
    struct Want {
        uint16_t type;
        unsigned arg;
        uint64_t lo, hi;
    };
    const Want table[] = {
        {ifd::BYTE, 1, 0, 0xFF},
        {ifd::SBYTE, 1, static_cast<uint64_t>(-128), 127},
        {ifd::SHORT, 2, 0, 0xFFFF},
        {ifd::SSHORT, 2, static_cast<uint64_t>(-32768), 32767},
        {ifd::LONG, 4, 0, 0xFFFFFFFF},
        {ifd::SLONG, 4, static_cast<uint64_t>(-2147483648LL), 2147483647},
        {ifd::LONG8, 8, 0, ~uint64_t{0}},
        // A LONG field the library takes as a uint16_t: no more than that.
        {ifd::LONG, 2, 0, 0xFFFF},
    };
    for (const Want &w : table) {
        SCOPED_TRACE(std::string(ifd::TypeName(w.type)) + " as " + std::to_string(w.arg));
        uint64_t lo = 1, hi = 0;
        write_matrix::IntLimits(w.type, Arg{w.arg, false}, &lo, &hi);
        EXPECT_EQ(lo, w.lo);
        EXPECT_EQ(hi, w.hi);
    }
}

TEST(WriteRules, RealLimitsAreExactInTheArgument)
{
    const std::vector<double> rational_float =
        write_matrix::RealLimits(ifd::RATIONAL, Arg{4, true});
    ASSERT_GE(rational_float.size(), 2U);
    EXPECT_EQ(rational_float[0], 4294967040.0); // 2^32 - 256, the float below 2^32 - 1
    EXPECT_EQ(rational_float[1], 1.0 / 2147483648.0);
    EXPECT_EQ(write_matrix::RealLimits(ifd::RATIONAL, Arg{8, true})[0], 4294967295.0);
    const std::vector<double> floats = write_matrix::RealLimits(ifd::FLOAT, Arg{4, true});
    EXPECT_EQ(floats[0], FLT_MAX);
    EXPECT_EQ(floats[2], FLT_MIN);
    EXPECT_TRUE(std::signbit(floats[4]) && floats[4] == 0);
    for (const double v : floats)
        EXPECT_EQ(static_cast<double>(static_cast<float>(v)), v);
    // A DOUBLE field set through a double: DOUBLE's own extremes.
    EXPECT_EQ(write_matrix::RealLimits(ifd::DOUBLE, Arg{8, true})[0], DBL_MAX);
}

const matrix::Row *RowOf(const std::vector<matrix::Row> &rows, uint16_t tag)
{
    for (const matrix::Row &r : rows) {
        if (r.tag == tag)
            return &r;
    }
    return nullptr;
}

const Case *CaseOf(const std::vector<Case> &cases, const std::string &slug)
{
    for (const Case &c : cases) {
        if (c.slug == slug)
            return &c;
    }
    return nullptr;
}

// Orientation, 1 to 8 (TIFF 6.0): its edges exact, one past them and the
// type's limits outside them tolerated.
TEST(WriteRules, RangeEdgesOfOrientation)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    const matrix::Row *row = RowOf(rows, 274);
    ASSERT_NE(row, nullptr);
    const std::vector<Case> cases = write_matrix::Derive(*row, false, Arg{2, false});
    struct Want {
        const char *slug;
        uint64_t value;
        matrix::Outcome outcome;
    };
    const Want table[] = {
        {"lo", 1, matrix::Outcome::Exact},
        {"hi", 8, matrix::Outcome::Exact},
        {"below_range", 0, matrix::Outcome::Tolerated}, // also the type's least: "min"
        {"past_range", 9, matrix::Outcome::Tolerated},
        {"max", 0xFFFF, matrix::Outcome::Tolerated},
        {"min", 0, matrix::Outcome::Tolerated},
    };
    for (const Want &w : table) {
        SCOPED_TRACE(w.slug);
        const Case *c = CaseOf(cases, w.slug);
        if (std::string(w.slug) == "below_range") {
            EXPECT_EQ(c, nullptr); // 0 is "min" already
            continue;
        }
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->ints, std::vector<uint64_t>{w.value});
        EXPECT_EQ(c->outcome, w.outcome);
        EXPECT_EQ(c->disk_count, 1U);
    }
}

// A range that reaches its type's limits: the limit is inside it, exact.
TEST(WriteRules, RangeUpToTheTypeLimits)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    const matrix::Row *orientation = RowOf(rows, 274);
    ASSERT_NE(orientation, nullptr);
    struct Want {
        uint64_t lo, hi;
        const char *slug;
        const char *rule;
    };
    const Want table[] = {
        {1, 0xFFFF, "max", "type limits"},
        {0, 0xFFFF, "min", "type limits"},
        {0, 0xFFFE, "max", "out of range"},
        {1, 0xFFFF, "min", "out of range"},
    };
    for (const Want &w : table) {
        SCOPED_TRACE(std::string(w.slug) + " of " + std::to_string(w.lo) + " to " +
                     std::to_string(w.hi));
        matrix::Row row = *orientation;
        row.lo = w.lo;
        row.hi = w.hi;
        const std::vector<Case> cases = write_matrix::Derive(row, false, Arg{2, false});
        const Case *c = CaseOf(cases, w.slug);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->rule, std::string(w.rule));
        EXPECT_EQ(c->outcome, std::string(w.rule) == "type limits" ? matrix::Outcome::Exact
                                                                   : matrix::Outcome::Tolerated);
    }
}

// Per-sample fields: n per sample on disk (TIFF 6.0), on 1, 3 and 5.
TEST(WriteRules, PerSampleCountsOnDisk)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    const matrix::Row *row = RowOf(rows, 280); // MinSampleValue
    ASSERT_NE(row, nullptr);
    const std::vector<Case> cases = write_matrix::Derive(*row, true, Arg{2, false});
    for (const uint16_t samples : {1, 3, 5}) {
        const Case *c = CaseOf(cases, "s" + std::to_string(samples));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->samples, samples);
        EXPECT_EQ(c->disk_count, samples);
        EXPECT_EQ(c->ints, std::vector<uint64_t>{3});
    }
}

// A free count: the slot's edge and one over it, per format; a text one
// character, and one past the slot.
TEST(WriteRules, FreeCountsAndTexts)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    const matrix::Row *shorts = RowOf(rows, matrix::private_base + ifd::SHORT);
    const matrix::Row *text = RowOf(rows, 305); // Software
    ASSERT_NE(shorts, nullptr);
    ASSERT_NE(text, nullptr);
    for (const bool bigtiff : {false, true}) {
        SCOPED_TRACE(bigtiff ? "BigTIFF" : "classic");
        const std::vector<Case> cases = write_matrix::Derive(*shorts, bigtiff, Arg{2, false});
        ASSERT_NE(CaseOf(cases, "edge"), nullptr);
        EXPECT_EQ(CaseOf(cases, "edge")->disk_count, bigtiff ? 4U : 2U);
        EXPECT_EQ(CaseOf(cases, "over")->disk_count, bigtiff ? 5U : 3U);
        const std::vector<Case> texts = write_matrix::Derive(*text, bigtiff, Arg{1, false});
        ASSERT_NE(CaseOf(texts, "char1"), nullptr);
        EXPECT_EQ(CaseOf(texts, "char1")->text, std::string("a") + '\0');
        EXPECT_EQ(CaseOf(texts, "long")->text.size(), bigtiff ? 9U : 5U);
    }
}

// The image's fields: only the man page's refusal once data is written.
TEST(WriteRules, ImageFieldsOnlyRefusedOnceWritten)
{
    const std::vector<matrix::Row> rows = matrix::Rows();
    for (const uint16_t tag : {256, 258, 259}) {
        const std::vector<Case> cases =
            write_matrix::Derive(*RowOf(rows, tag), false, Arg{2, false});
        ASSERT_EQ(cases.size(), 1U);
        EXPECT_TRUE(cases[0].after_data);
        EXPECT_EQ(cases[0].outcome, matrix::Outcome::Refused);
        EXPECT_NE(cases[0].ints, cases[0].before);
    }
    EXPECT_TRUE(write_matrix::Derive(*RowOf(rows, 262), false, Arg{2, false}).empty());
    // InkSet, not set before the strips: refused, and absent.
    const matrix::Row *inks = RowOf(rows, 332);
    ASSERT_NE(inks, nullptr);
    const std::vector<Case> fill = write_matrix::Derive(*inks, false, Arg{2, false});
    const Case *after = CaseOf(fill, "after_data");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->outcome, matrix::Outcome::Refused);
    EXPECT_TRUE(after->before.empty());
    // Classic TIFF has no LONG8.
    EXPECT_TRUE(
        write_matrix::Derive(*RowOf(rows, matrix::private_base + ifd::LONG8), false, Arg{8, false})
            .empty());
}

} // namespace
