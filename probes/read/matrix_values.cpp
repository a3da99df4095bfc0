#include <cstdio>

#include "matrix_detail.h"
#include "probe_support.h"

namespace matrix::detail {

namespace {

std::string Num(double v)
{
    char buf[40];
    snprintf(buf, sizeof(buf), "%.17g", v);
    return buf;
}

// A text as a line shows it: up to its first NUL, other bytes that are not
// printable as \xNN.
std::string Printable(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\0')
            break;
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else {
            char hex[8];
            snprintf(hex, sizeof(hex), "\\x%02x", u);
            out += hex;
        }
    }
    return out;
}

// The float a library gets dividing a RATIONAL's parts as floats, not the
// float nearest the quotient.
bool FloatQuotient(const ifd::Field &f, size_t i, double got)
{
    if (!read_fetch::Pairs(f.type) || 2 * i + 1 >= f.values.size())
        return false;
    const float num = f.type == ifd::SRATIONAL ? static_cast<float>(ifd::Signed(f.values[2 * i], 4))
                                               : static_cast<float>(f.values[2 * i]);
    const float den = f.type == ifd::SRATIONAL
                          ? static_cast<float>(ifd::Signed(f.values[2 * i + 1], 4))
                          : static_cast<float>(f.values[2 * i + 1]);
    return static_cast<float>(got) == num / den;
}

// The values' bytes in the host's order, as a library that gives a wider
// type's values as bytes holds them.
std::vector<double> HostBytes(const ifd::Field &f)
{
    std::vector<double> out;
    const unsigned w = ifd::TypeSize(f.type);
    for (const uint64_t v : f.values) {
        for (unsigned b = 0; b < w; b++)
            out.push_back(
                static_cast<double>((v >> (8 * (probe::HostBigEndian() ? w - 1 - b : b))) & 0xFF));
    }
    return out;
}

} // namespace

std::string Differs(const read_fetch::Got &got, const ifd::Field &f, bool *rounded)
{
    if (got.text) {
        std::string expect(f.values.begin(), f.values.end());
        const size_t nul = expect.find('\0');
        if (!got.counted && nul != std::string::npos)
            expect.resize(nul);
        if (got.bytes == expect)
            return "";
        return "\"" + Printable(got.bytes) + "\" (" + std::to_string(got.bytes.size()) +
               " bytes), expected \"" + Printable(expect) + "\" (" + std::to_string(expect.size()) +
               " bytes)";
    }
    std::vector<double> want = read_fetch::Numbers(f);
    const size_t m = got.Count();
    // Integers wider than a byte, given as their bytes.
    if (!got.real && got.size == 1 && m != want.size() && f.type != ifd::ASCII &&
        ifd::TypeSize(f.type) > 1 && !read_fetch::Pairs(f.type) &&
        m == f.values.size() * ifd::TypeSize(f.type))
        want = HostBytes(f);
    if ((!(got.scalar && m == 1) || want.empty()) && m != want.size())
        return std::to_string(m) + " values, expected " + std::to_string(want.size());
    for (size_t i = 0; i < want.size(); i++) {
        const double g = got.Number(got.scalar ? 0 : i);
        // A zero denominator means no number: the standards give it none.
        if (want[i] != want[i])
            continue;
        const bool same = got.real && got.size == 4
                              ? static_cast<float>(g) == static_cast<float>(want[i])
                              : g == want[i];
        if (!same) {
            if (rounded && got.real && got.size == 4)
                *rounded = FloatQuotient(f, i, g);
            const bool narrow = got.real && got.size == 4;
            return "value " + std::to_string(i) + " is " + Num(g) + ", expected " +
                   Num(narrow ? static_cast<float>(want[i]) : want[i]);
        }
    }
    return "";
}

} // namespace matrix::detail
