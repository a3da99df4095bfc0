#include "write_rules.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>

#include "fetch.h"

namespace write_matrix {

namespace {

bool Signed(uint16_t type)
{
    return type == ifd::SBYTE || type == ifd::SSHORT || type == ifd::SLONG || type == ifd::SLONG8;
}

bool Real(uint16_t type)
{
    return type == ifd::RATIONAL || type == ifd::SRATIONAL || type == ifd::FLOAT ||
           type == ifd::DOUBLE;
}

// The greatest value of `size` bytes, signed or not.
uint64_t MaxOf(unsigned size, bool is_signed)
{
    const uint64_t all = size >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * size)) - 1;
    return is_signed ? all >> 1 : all;
}

// Bits sign-extended to 64, as Case::ints holds them.
uint64_t Bits(int64_t v)
{
    return static_cast<uint64_t>(v);
}

Case Make(const char *klass, const std::string &slug, const char *rule, Outcome outcome)
{
    Case c;
    c.klass = klass;
    c.slug = slug;
    c.rule = rule;
    c.outcome = outcome;
    return c;
}

// The values of one case: `k` of the row's values of one sample, all `v`.
Case Ints(const char *klass, const std::string &slug, const char *rule, Outcome outcome, uint64_t k,
          uint64_t v)
{
    Case c = Make(klass, slug, rule, outcome);
    c.ints.assign(k, v);
    c.disk_count = k;
    return c;
}

Case Reals(const char *klass, const std::string &slug, const char *rule, Outcome outcome,
           uint64_t k, double v)
{
    Case c = Make(klass, slug, rule, outcome);
    c.reals.assign(k, v);
    c.disk_count = k;
    return c;
}

uint64_t ValuesOf(const Row &row)
{
    const ifd::Field &s = row.standard;
    return s.type == ifd::RATIONAL || s.type == ifd::SRATIONAL ? s.values.size() / 2
                                                               : s.values.size();
}

// The standard's values of one sample as the call takes them.
void StandardValues(const Row &row, Case *c)
{
    const ifd::Field &s = row.standard;
    if (s.type == ifd::ASCII) {
        c->text.assign(s.values.begin(), s.values.end());
        return;
    }
    if (Real(s.type)) {
        for (const double v : read_fetch::Numbers(s))
            c->reals.push_back(v);
        return;
    }
    const unsigned size = ifd::TypeSize(s.type);
    for (const uint64_t v : s.values)
        c->ints.push_back(Signed(s.type) ? Bits(ifd::Signed(v, size)) : v);
}

} // namespace

bool FixedOnceWritten(uint16_t tag)
{
    // TIFFSetField(3tiff)'s table marks these "†": "Cannot modify tag
    // while writing" once data is written.
    switch (tag) {
    case ifd::tag::ImageWidth:
    case ifd::tag::BitsPerSample:
    case ifd::tag::Compression:
    case ifd::tag::SamplesPerPixel:
    case ifd::tag::RowsPerStrip:
    case ifd::tag::PlanarConfiguration:
    case ifd::tag::FillOrder:
    case ifd::tag::InkSet:
    case ifd::tag::SampleFormat:
    case ifd::tag::YCbCrPositioning:
    case ifd::tag::ReferenceBlackWhite:
    case ifd::tag::Matteing:
    case ifd::tag::ImageDepth:
    case ifd::tag::StoNits:
        return true;
    default:
        return false;
    }
}

bool Writes(const Row &row)
{
    return !row.image || FixedOnceWritten(row.tag);
}

uint64_t SlotFill(uint16_t type, bool bigtiff)
{
    const unsigned size = ifd::TypeSize(type);
    return size ? (bigtiff ? 8 : 4) / size : 0;
}

void IntLimits(uint16_t type, const Arg &arg, uint64_t *lo, uint64_t *hi)
{
    const bool is_signed = Signed(type);
    const unsigned size = ifd::TypeSize(type);
    // The type's range, as far as the call's argument carries it.
    const unsigned width = arg.size && arg.size < size ? arg.size : size;
    const uint64_t max = MaxOf(width, is_signed);
    *hi = max;
    *lo = is_signed ? Bits(-static_cast<int64_t>(max) - 1) : 0;
}

std::vector<double> RealLimits(uint16_t type, const Arg &arg)
{
    const bool as_float = arg.size == 4;
    switch (type) {
    case ifd::RATIONAL:
        // Two LONGs (TIFF 6.0): the greatest is 2^32 - 1 over 1, which a
        // float argument can only give as 2^32 - 256; the least above 0 a
        // fraction of LONGs holds exactly in binary is 1 / 2^31.
        return {as_float ? 4294967040.0 : 4294967295.0, std::ldexp(1.0, -31), 0.0};
    case ifd::SRATIONAL:
        // Two SLONGs: 2^31 - 1 (2^31 - 128 as a float), -2^31, and
        // +-1 / 2^30, the denominator a power of two an SLONG holds.
        return {as_float ? 2147483520.0 : 2147483647.0, -2147483648.0, std::ldexp(1.0, -30),
                -std::ldexp(1.0, -30)};
    case ifd::FLOAT:
        return {FLT_MAX, -FLT_MAX, FLT_MIN, std::numeric_limits<float>::denorm_min(), -0.0};
    case ifd::DOUBLE:
        if (as_float)
            return {FLT_MAX, -FLT_MAX, FLT_MIN, std::numeric_limits<float>::denorm_min(), -0.0};
        return {DBL_MAX, -DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(), -0.0};
    default:
        return {};
    }
}

std::vector<Case> Derive(const Row &row, bool bigtiff, const Arg &arg)
{
    std::vector<Case> out;
    const ifd::Field &s = row.standard;
    const uint16_t t = s.type;
    // Classic TIFF has no 64-bit types (BigTIFF adds them): no case there.
    if (!bigtiff && t >= 16)
        return out;
    if (row.image) {
        // A field of the image set again once its strip is written:
        // TIFFSetField(3tiff) says it is refused, the value kept.
        if (!FixedOnceWritten(row.tag))
            return out;
        Case c = Ints("set once data is written", "after_data", "set once data is written",
                      Outcome::Refused, 1, s.values[0] + 1);
        c.after_data = true;
        c.before = s.values;
        out.push_back(c);
        return out;
    }
    const uint64_t n = ValuesOf(row);
    const bool per_sample = row.rule == field::Count::PerSample;

    // e) Not set before the strip, set after it: refused, and absent.
    if (FixedOnceWritten(row.tag)) {
        Case c = Make("set once data is written", "after_data", "set once data is written",
                      Outcome::Refused);
        StandardValues(row, &c);
        c.disk_count = n;
        c.after_data = true;
        out.push_back(c);
    }

    // a) The type's limits.
    if (t == ifd::ASCII) {
        if (row.rule == field::Count::Any) {
            Case one = Make("of one character", "char1", "text lengths", Outcome::Exact);
            one.text = std::string("a") + '\0';
            one.disk_count = 2;
            out.push_back(one);
            // Past the slot: out of line, after the IFD.
            const uint64_t slot = bigtiff ? 8 : 4;
            Case longer =
                Make("longer than the inline slot", "long", "text lengths", Outcome::Exact);
            for (uint64_t i = 0; i < slot; i++)
                longer.text += static_cast<char>('b' + i);
            longer.text += '\0';
            longer.disk_count = longer.text.size();
            out.push_back(longer);
        }
    } else if (Real(t)) {
        unsigned k = 0;
        for (const double v : RealLimits(t, arg)) {
            const std::string slug = "limit" + std::to_string(k++);
            char klass[64];
            snprintf(klass, sizeof(klass), "at its type's limit %.17g", v);
            if (v == 0 && std::signbit(v))
                snprintf(klass, sizeof(klass), "at its type's limit -0");
            out.push_back(Reals(klass, slug, "type limits", Outcome::Exact, n, v));
        }
    } else {
        uint64_t lo = 0;
        uint64_t hi = 0;
        IntLimits(t, arg, &lo, &hi);
        const bool is_signed = Signed(t);
        auto in_range = [&](uint64_t v) {
            return !row.ranged || is_signed || (v >= row.lo && v <= row.hi);
        };
        out.push_back(Ints("at its type's least value", "min",
                           in_range(lo) ? "type limits" : "out of range",
                           in_range(lo) ? Outcome::Exact : Outcome::Tolerated, n, lo));
        out.push_back(Ints("at its type's greatest value", "max",
                           in_range(hi) ? "type limits" : "out of range",
                           in_range(hi) ? Outcome::Exact : Outcome::Tolerated, n, hi));
        // b) The field's range: its edges exact, one past them tolerated.
        if (row.ranged && !is_signed) {
            if (row.lo != lo)
                out.push_back(Ints("at its range's lower edge", "lo", "range edges", Outcome::Exact,
                                   n, row.lo));
            if (row.hi != hi)
                out.push_back(Ints("at its range's upper edge", "hi", "range edges", Outcome::Exact,
                                   n, row.hi));
            if (row.lo > lo && row.lo - 1 != lo)
                out.push_back(Ints("just below its range", "below_range", "out of range",
                                   Outcome::Tolerated, n, row.lo - 1));
            if (row.hi < hi && row.hi + 1 != hi)
                out.push_back(Ints("just past its range", "past_range", "out of range",
                                   Outcome::Tolerated, n, row.hi + 1));
        }
    }

    // c) Free counts: the count that fills the inline slot, and one more.
    if (row.rule == field::Count::Any && !row.fixed && t != ifd::ASCII) {
        const uint64_t fill = SlotFill(t, bigtiff);
        for (const uint64_t k : {fill, fill + 1}) {
            if (k == 0)
                continue;
            const bool edge = k == fill;
            Case c = Make(edge ? "filling the inline slot" : "one value over the slot",
                          edge ? "edge" : "over", "inline slot", Outcome::Exact);
            const unsigned size = ifd::TypeSize(t);
            for (uint32_t i = 0; i < k; i++) {
                if (Real(t))
                    c.reals.push_back((i + 1) * 0.5);
                else
                    c.ints.push_back(field::Pattern(row.tag, i, size) & MaxOf(size, Signed(t)));
            }
            c.disk_count = k;
            out.push_back(c);
        }
    }

    // d) Per-sample fields on images of 1, 3 and 5 samples: n values a
    // sample on disk (TIFF 6.0).
    if (per_sample) {
        for (const uint16_t samples : {1, 3, 5}) {
            Case c = Make(samples == 1   ? "on an image of 1 sample"
                          : samples == 3 ? "on an image of 3 samples"
                                         : "on an image of 5 samples",
                          "s" + std::to_string(samples), "per sample", Outcome::Exact);
            StandardValues(row, &c);
            c.samples = samples;
            c.disk_count = n * samples;
            out.push_back(c);
        }
    }
    return out;
}

} // namespace write_matrix
