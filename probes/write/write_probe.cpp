// write_probe: the write matrix. Every case of write_rules, in every layout,
// written through the library into memory (TIFFClientOpen), then checked:
// TIFFSetField's result per its rule, TIFFGetField before the write, the
// entry on disk as our own reader finds it, and TIFFGetField once the bytes
// are opened again. A failure is one line per broken rule and field, with
// the number of cases that broke it and the first one's file, written to
// the working directory; success is silent.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <tiffio.h>

#include "fetch.h"
#include "field_probe.h"
#include "matrix_detail.h"
#include "memory_file.h"
#include "probe_support.h"
#include "read_cases.h"
#include "write_rules.h"

namespace {

using matrix::Home;
using matrix::Outcome;
using matrix::Row;
using read_cases::Format;
using write_matrix::Arg;
using write_matrix::Case;

// The image is 4 x 4 in two strips of 2 rows, as the read matrix's is
// (matrix_rules.cpp): the image rows' values are those it sets.
constexpr uint32_t side = 4;
constexpr uint32_t rows_per_strip = 2;

const char *WriteMode(const Format &fmt)
{
    return fmt.bigtiff ? (fmt.big_endian ? "w8b" : "w8l") : (fmt.big_endian ? "wb" : "wl");
}

std::string Stem(const Row &row)
{
    const std::string tag = std::to_string(row.tag);
    return row.home == Home::Exif ? "exif_" + tag : row.home == Home::Gps ? "gps_" + tag : tag;
}

bool Linked(const Row &row)
{
    return row.home == Home::Exif || row.home == Home::Gps;
}

// The directory the row's field goes in, made current: EXIF's or GPS's.
bool CreateLinked(TIFF *tif, const Row &row)
{
    return (row.home == Home::Exif ? TIFFCreateEXIFDirectory(tif) : TIFFCreateGPSDirectory(tif)) ==
           0;
}

// A gray image of 1 sample, RGB of 3, RGB with two extra samples of 5.
bool SetImage(TIFF *tif, uint16_t samples)
{
    const uint16_t extra[2] = {0, 0};
    return TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, side) &&
           TIFFSetField(tif, TIFFTAG_IMAGELENGTH, side) &&
           TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
           TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
           TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                        samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) &&
           TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples) &&
           TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
           TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows_per_strip) &&
           (samples <= 3 || TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, samples - 3, extra));
}

std::vector<uint8_t> Pixels(uint16_t samples)
{
    std::vector<uint8_t> p(size_t{side} * side * samples);
    for (size_t i = 0; i < p.size(); i++)
        p[i] = static_cast<uint8_t>(i * 37 + 11);
    return p;
}

// The library's description of the row's field; false when it has none.
bool Describe(const Row &row, fields::Access *a)
{
    std::vector<uint8_t> bytes;
    probe::MemoryFile m{&bytes, &bytes};
    const probe::ExpectedMessages quiet;
    TIFF *tif = probe::OpenMemory("write_describe.tif", "w", &m);
    if (!tif)
        return false;
    const bool described =
        (!Linked(row) || CreateLinked(tif, row)) && fields::Describe(tif, row.tag, a);
    // Nothing to write: the handle goes without a flush.
    TIFFCleanup(tif);
    return described;
}

fields::Values ValuesOf(const Case &c)
{
    fields::Values v;
    if (!c.text.empty()) {
        v.text = c.text.c_str();
        v.text_size = c.text.size();
        for (const char ch : c.text)
            v.numbers.push_back(static_cast<uint8_t>(ch));
    } else if (!c.reals.empty()) {
        v.numbers = c.reals;
    } else {
        v.bits = c.ints;
        for (const uint64_t b : c.ints)
            v.numbers.push_back(static_cast<double>(static_cast<int64_t>(b)));
    }
    v.count = static_cast<uint32_t>(c.Count());
    return v;
}

int Set(TIFF *tif, const Row &row, const Case &c, const fields::Access &a)
{
    const fields::Values v = ValuesOf(c);
    return fields::SetValues(tif, row.tag, v, a, TIFFSetField);
}

std::string Real(double v)
{
    char text[40];
    if (v == 0 && std::signbit(v))
        return "-0";
    snprintf(text, sizeof(text), "%.17g", v);
    return text;
}

std::string Hex(uint64_t v)
{
    char text[24];
    snprintf(text, sizeof(text), "0x%" PRIx64, v);
    return text;
}

// A text as the lines give it: in quotes, a NUL as \0.
std::string Quoted(const std::string &text)
{
    std::string out = "\"";
    for (const char ch : text)
        out += ch == '\0' ? std::string("\\0") : std::string(1, ch);
    return out + "\"";
}

bool SameReal(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

// What the library gives against the values set (or `before`, for a value
// kept): empty when they agree.
std::string Differs(const read_fetch::Got &got, const Case &c, const std::vector<uint64_t> *before)
{
    if (!c.text.empty()) {
        // A text the library describes as bytes comes as their values.
        std::string have = got.bytes;
        if (!got.text) {
            for (const uint64_t b : got.ints)
                have += static_cast<char>(b);
        }
        const std::string want = got.counted ? c.text : c.text.substr(0, c.text.size() - 1);
        if (have != want)
            return Quoted(have) + ", expected " + Quoted(want);
        return "";
    }
    const size_t n = before ? before->size() : c.Count();
    if (got.Count() != n)
        return std::to_string(got.Count()) + " values, expected " + std::to_string(n);
    for (size_t i = 0; i < n; i++) {
        if (before || c.reals.empty()) {
            const uint64_t want = before ? (*before)[i] : c.ints[i];
            const uint64_t have = got.real ? static_cast<uint64_t>(got.reals[i]) : got.ints[i];
            if (got.real)
                return "value " + std::to_string(i) + " is " + Real(got.reals[i]) +
                       " (a real), expected " + Hex(want);
            if (have != want)
                return "value " + std::to_string(i) + " is " + Hex(have) + ", expected " +
                       Hex(want);
        } else if (!SameReal(got.Number(i), c.reals[i])) {
            return "value " + std::to_string(i) + " is " + Real(got.Number(i)) + ", expected " +
                   Real(c.reals[i]);
        }
    }
    return "";
}

// The field through the library: `what` prefixes what broke.
std::string Through(TIFF *tif, const Row &row, const Case &c, bool accepted, const char *what)
{
    read_fetch::Got got;
    const bool present = read_fetch::Fetch(tif, row.tag, &got);
    const std::vector<uint64_t> *before = c.after_data && !c.before.empty() ? &c.before : nullptr;
    if (!accepted && !before) {
        return present ? std::string(what) + ": refused, but present" : "";
    }
    if (!present)
        return std::string(what) + ": absent, expected its value";
    const std::string d = Differs(got, c, before);
    return d.empty() ? "" : std::string(what) + ": " + d;
}

// The entry's value i as a number or bits, against the case's.
std::string EntryDiffers(const ifd::Entry &e, const Case &c, const std::vector<uint64_t> *before)
{
    const uint64_t count = before ? before->size() : c.disk_count;
    const char *type = ifd::TypeName(e.type);
    if (e.count != count)
        return std::string(type) + "[" + std::to_string(e.count) + "], expected " +
               std::to_string(count) + " values";
    if (!c.text.empty()) {
        for (size_t i = 0; i < c.text.size() && i < e.values.size(); i++) {
            if (e.values[i] != static_cast<uint8_t>(c.text[i]))
                return "byte " + std::to_string(i) + " is " + Hex(e.values[i]) + ", expected " +
                       Hex(static_cast<uint8_t>(c.text[i]));
        }
        return "";
    }
    const bool pairs = read_fetch::Pairs(e.type);
    const size_t k = before ? before->size() : c.Count(); // values of one sample
    for (uint64_t i = 0; i < count; i++) {
        if (!before && !c.reals.empty()) {
            double have = 0;
            if (e.type == ifd::FLOAT) {
                have = ifd::FloatFromBits(e.values[i]);
            } else if (e.type == ifd::DOUBLE) {
                have = ifd::DoubleFromBits(e.values[i]);
            } else if (pairs) {
                const uint64_t num = e.values[2 * i];
                const uint64_t den = e.values[2 * i + 1];
                if (den == 0)
                    return "value " + std::to_string(i) + " is " + std::to_string(num) + "/0";
                have = e.type == ifd::SRATIONAL
                           ? static_cast<double>(ifd::Signed(num, 4)) /
                                 static_cast<double>(ifd::Signed(den, 4))
                           : static_cast<double>(num) / static_cast<double>(den);
            } else {
                return std::string(type) + " holds no real value";
            }
            if (!SameReal(have, c.reals[i % k]))
                return "value " + std::to_string(i) + " is " + Real(have) + ", expected " +
                       Real(c.reals[i % k]);
            continue;
        }
        if (pairs || e.type == ifd::FLOAT || e.type == ifd::DOUBLE)
            return std::string(type) + " holds no integer value";
        const unsigned size = ifd::TypeSize(e.type);
        const bool is_signed = read_fetch::IsSigned(e.type);
        const uint64_t have =
            is_signed ? static_cast<uint64_t>(ifd::Signed(e.values[i], size)) : e.values[i];
        const uint64_t want = before ? (*before)[i % k] : c.ints[i % k];
        if (have != want)
            return "value " + std::to_string(i) + " is " + Hex(have) + ", expected " + Hex(want);
    }
    return "";
}

// The field's entry on disk, as our reader finds it.
std::string OnDisk(const std::vector<uint8_t> &bytes, const Row &row, const Case &c, bool accepted,
                   uint64_t *linked_at, bool bigtiff)
{
    const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
    if (!file.problems.empty())
        return "on disk: " + file.problems[0].what;
    if (file.chain.empty())
        return "on disk: no IFD";
    const ifd::Directory *dir = file.chain.data();
    if (Linked(row)) {
        dir = nullptr;
        const ifd::Link link = row.home == Home::Exif ? ifd::Link::Exif : ifd::Link::Gps;
        for (const ifd::Directory &d : file.linked) {
            if (d.link == link)
                dir = &d;
        }
        if (!dir)
            return row.home == Home::Exif ? "on disk: no EXIF IFD" : "on disk: no GPS IFD";
        *linked_at = dir->offset;
    }
    const ifd::Entry *e = ifd::FindEntry(*dir, row.tag);
    const std::vector<uint64_t> *before = c.after_data && !c.before.empty() ? &c.before : nullptr;
    if (!accepted && !before)
        return e ? "on disk: refused, but written" : "";
    if (!e)
        return "on disk: missing";
    uint32_t allowed = row.home == Home::Private ? field::TypeBit(row.type) : row.types;
    if (!bigtiff)
        allowed &= ~field::ALLOW_BIGTIFF_ONLY;
    if (!(allowed & field::TypeBit(e->type)))
        return std::string("on disk: type ") + ifd::TypeName(e->type) + ", not the field's";
    const std::string d = EntryDiffers(*e, c, before);
    return d.empty() ? "" : "on disk: " + d;
}

// Reopens the bytes and reads the field back.
std::string Reread(const std::vector<uint8_t> &bytes, const char *name, const Row &row,
                   const Case &c, bool accepted, uint64_t linked_at)
{
    std::vector<uint8_t> copy = bytes;
    probe::MemoryFile m{&copy};
    TIFF *tif = probe::OpenMemory(name, "r", &m);
    if (!tif)
        return "reopened: the library can't open the file";
    std::string broke;
    if (Linked(row) && !(row.home == Home::Exif ? TIFFReadEXIFDirectory(tif, linked_at)
                                                : TIFFReadGPSDirectory(tif, linked_at)))
        broke = "reopened: can't read the IFD that holds it";
    else
        broke = Through(tif, row, c, accepted, "reopened");
    TIFFClose(tif);
    return broke;
}

struct Result {
    std::string what; // the first thing that broke, empty when none
    std::vector<uint8_t> bytes;
};

// Writes the case and checks it.
Result RunHere(const Row &row, const Case &c, const fields::Access &a, const Format &fmt,
               const char *name)
{
    Result r;
    probe::MemoryFile m{&r.bytes, &r.bytes};
    const probe::ExpectedMessages messages;
    TIFF *tif = probe::OpenMemory(name, WriteMode(fmt), &m);
    if (!tif) {
        r.what = "the library can't open memory for writing";
        return r;
    }
    auto fail = [&](const std::string &what) {
        TIFFClose(tif);
        r.what = what;
        return r;
    };
    int result = 0;
    std::string broke;
    uint64_t custom_at = 0;
    if (Linked(row)) {
        if (!CreateLinked(tif, row))
            return fail("can't create the IFD that holds it");
        result = Set(tif, row, c, a);
        broke = Through(tif, row, c, result != 0, "before the write");
        if (!TIFFWriteCustomDirectory(tif, &custom_at))
            return fail("can't write the IFD that holds it");
        TIFFFreeDirectory(tif);
        if (TIFFCreateDirectory(tif) != 0)
            return fail("can't create the main IFD");
    }
    if (!SetImage(tif, c.samples))
        return fail("can't set the image");
    if (Linked(row) &&
        !TIFFSetField(tif, row.home == Home::Exif ? TIFFTAG_EXIFIFD : TIFFTAG_GPSIFD, custom_at))
        return fail("can't link the IFD that holds it");
    if (!Linked(row) && !c.after_data) {
        result = Set(tif, row, c, a);
        broke = Through(tif, row, c, result != 0, "before the write");
    }
    std::vector<uint8_t> pixels = Pixels(c.samples);
    const size_t half = pixels.size() / 2;
    for (uint32_t k = 0; k < 2; k++) {
        if (TIFFWriteEncodedStrip(tif, k, pixels.data() + k * half, static_cast<tmsize_t>(half)) <
            0)
            return fail("can't write the strips");
    }
    if (c.after_data) {
        result = Set(tif, row, c, a);
        broke = Through(tif, row, c, result != 0, "before the write");
    }
    if (!TIFFWriteDirectory(tif))
        return fail("can't write the directory");
    TIFFClose(tif);

    const bool accepted = result != 0;
    if (c.outcome == Outcome::Exact && !accepted) {
        r.what = "TIFFSetField returned 0, expected 1";
        return r;
    }
    if (c.outcome == Outcome::Refused && accepted) {
        r.what = "TIFFSetField returned 1, expected 0";
        return r;
    }
    if (!broke.empty()) {
        r.what = broke;
        return r;
    }
    uint64_t linked_at = 0;
    r.what = OnDisk(r.bytes, row, c, accepted, &linked_at, fmt.bigtiff);
    if (!r.what.empty())
        return r;
    r.what = Reread(r.bytes, name, row, c, accepted, linked_at);
    if (r.what.empty() && c.outcome == Outcome::Exact && messages.Count() > 0)
        r.what = "the library reported a problem";
    return r;
}

// The case; a row the library may stop on an assertion in a child of its
// own, so that an abort is a finding and not the end of the probe.
Result Run(const Row &row, const Case &c, const fields::Access &a, const Format &fmt,
           const char *name)
{
    if (!matrix::detail::Guarded(row))
        return RunHere(row, c, a, fmt, name);
    int signal = 0;
    // What broke, then a NUL, then the bytes written.
    const std::string got = matrix::detail::Apart(
        [&] {
            const Result r = RunHere(row, c, a, fmt, name);
            if (r.what.empty())
                return std::string();
            return r.what + '\0' + std::string(r.bytes.begin(), r.bytes.end());
        },
        &signal);
    Result r;
    if (signal) {
        r.what = "the library stops the program (signal " + std::to_string(signal) + ")";
        return r;
    }
    const size_t nul = got.find('\0');
    r.what = got.substr(0, nul);
    if (nul != std::string::npos)
        r.bytes.assign(got.begin() + static_cast<std::ptrdiff_t>(nul) + 1, got.end());
    return r;
}

// The case as the call takes it: a field passed with its count is given
// its values for every sample, one given alone once (TIFFSetField(3tiff)).
Case AsCalled(const Case &c, const fields::Access &a)
{
    if (c.samples == 1 || a.form != fields::Form::Counted || c.after_data)
        return c;
    Case all = c;
    for (uint16_t s = 1; s < c.samples; s++) {
        all.ints.insert(all.ints.end(), c.ints.begin(), c.ints.end());
        all.reals.insert(all.reals.end(), c.reals.begin(), c.reals.end());
    }
    return all;
}

// A broken rule and field: its line's parts, its first case, how many.
struct Broken {
    const char *home = "";
    unsigned tag = 0;
    std::string rule, klass, what, first;
    size_t cases = 0;
};

struct Tally {
    std::vector<std::string> order;
    std::map<std::string, Broken> broken;

    void Add(const Row &row, const char *rule, const std::string &klass, const std::string &what,
             const std::string &name, const std::vector<uint8_t> &bytes)
    {
        const std::string group = matrix::detail::Key(row) + " " + rule;
        Broken &b = broken[group];
        if (b.cases++ > 0)
            return;
        order.push_back(group);
        b.home = row.home == Home::Exif ? "EXIF IFD: " : row.home == Home::Gps ? "GPS IFD: " : "";
        b.tag = row.tag;
        b.rule = rule;
        b.klass = klass;
        b.what = what;
        b.first = name;
        const ifd::Error err = ifd::SaveFile(name.c_str(), bytes);
        if (err)
            probe::Say<probe::Line::CantSave>(name.c_str(), err.what.c_str());
    }

    void Say() const
    {
        for (const std::string &group : order) {
            const Broken &b = broken.at(group);
            probe::Say<probe::Line::WriteBroken>(b.home, b.tag, b.rule.c_str(), b.klass.c_str(),
                                                 b.what.c_str(), b.cases, b.cases == 1 ? "" : "s",
                                                 b.first.c_str());
        }
    }
};

} // namespace

int main()
{
    CountLibraryMessages();
    Tally tally;
    for (const Row &row : matrix::Rows()) {
        if (!write_matrix::Writes(row))
            continue;
        // The private tags only while their rows run: merging them costs
        // every handle a sort of the library's fields.
        matrix::detail::RegisterPrivate(row.home == Home::Private);
        fields::Access a;
        const bool described = Describe(row, &a);
        const Arg arg{a.size, a.real};
        for (const Format &fmt : read_cases::formats) {
            for (const Case &c : write_matrix::Derive(row, fmt.bigtiff, arg)) {
                const std::string name = "write_" + Stem(row) + "_" + c.slug + fmt.suffix;
                if (!described) {
                    tally.Add(row, c.rule, c.klass, "the library does not describe the field", name,
                              {});
                    continue;
                }
                const Result r = Run(row, AsCalled(c, a), a, fmt, name.c_str());
                if (!r.what.empty())
                    tally.Add(row, c.rule, c.klass, r.what, name, r.bytes);
            }
        }
    }
    tally.Say();
    return tally.order.empty() ? 0 : 1;
}
