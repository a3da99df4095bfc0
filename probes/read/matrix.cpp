#include "matrix.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include "ifd_writer.h"
#include "matrix_rules.h"
#include "probe_support.h"
#include "read_cases.h"

namespace matrix {

namespace {

// --- Memory as a file --------------------------------------------------------

struct Memory {
    const std::vector<uint8_t> *bytes;
    uint64_t at = 0;
};

tmsize_t MemRead(thandle_t h, void *buf, tmsize_t n)
{
    auto *m = static_cast<Memory *>(h);
    const uint64_t size = m->bytes->size();
    if (n < 0 || m->at >= size)
        return 0;
    const uint64_t k = std::min<uint64_t>(static_cast<uint64_t>(n), size - m->at);
    memcpy(buf, m->bytes->data() + m->at, k);
    m->at += k;
    return static_cast<tmsize_t>(k);
}

tmsize_t MemWrite(thandle_t /*h*/, void * /*buf*/, tmsize_t /*n*/)
{
    return -1;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence)
{
    auto *m = static_cast<Memory *>(h);
    const uint64_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes->size() : 0;
    m->at = base + off;
    return m->at;
}

int MemClose(thandle_t /*h*/)
{
    return 0;
}

toff_t MemSize(thandle_t h)
{
    return static_cast<Memory *>(h)->bytes->size();
}

int MemMap(thandle_t h, void **base, toff_t *size)
{
    auto *m = static_cast<Memory *>(h);
    *base = const_cast<uint8_t *>(m->bytes->data());
    *size = m->bytes->size();
    return 1;
}

void MemUnmap(thandle_t /*h*/, void * /*base*/, toff_t /*size*/) {}

// Files of the big-endian layouts are read mapped, the others through the
// read procedure ("m"): the library has a path for each.
const char *Mode(const char *name)
{
    return strstr(name, "_be.") ? "r" : "rm";
}

// --- The case's file -----------------------------------------------------------

constexpr size_t strip_bytes = 8;

struct File {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> pixels; // both strips
    ifd::Field expect;           // the field under test, as a read must give it
    bool image = false;          // the field describes the image
    uint64_t sub_at = 0;         // the EXIF or GPS IFD holding the field
    ifd::Field slot;             // what the entry's value slot holds, read as the field
};

bool Pairs(uint16_t type)
{
    return type == ifd::RATIONAL || type == ifd::SRATIONAL;
}

unsigned ElementSize(uint16_t type)
{
    return Pairs(type) ? 4 : ifd::TypeSize(type);
}

// The elements of `type` the file holds at `at`, as many as fit.
std::vector<uint64_t> ElementsAt(const std::vector<uint8_t> &bytes, bool big_endian, uint64_t at,
                                 uint16_t type, uint64_t elements)
{
    std::vector<uint64_t> out;
    const unsigned w = ElementSize(type);
    for (uint64_t i = 0; i < elements && at + (i + 1) * w <= bytes.size(); i++) {
        uint64_t v = 0;
        for (unsigned b = 0; b < w; b++) {
            const unsigned shift = 8 * (big_endian ? w - 1 - b : b);
            v |= uint64_t{bytes[at + i * w + b]} << shift;
        }
        out.push_back(v);
    }
    return out;
}

File Build(const Row &row, const Variant &v, const read_cases::Format &fmt)
{
    File file;
    file.image = row.image;
    ifd::Writer w(fmt.big_endian, fmt.bigtiff);
    for (unsigned i = 0; i < 2 * strip_bytes; i++)
        file.pixels.push_back(static_cast<uint8_t>(i * 37 + 11));
    const uint64_t s0 = w.Append(file.pixels);

    std::vector<ifd::Field> image = {
        ifd::Numbers(256, ifd::SHORT, {4}),
        ifd::Numbers(257, ifd::SHORT, {4}),
        ifd::Numbers(258, ifd::SHORT, {8}),
        ifd::Numbers(259, ifd::SHORT, {1}),
        ifd::Numbers(262, ifd::SHORT, {1}),
        ifd::Numbers(273, ifd::LONG, {s0, s0 + strip_bytes}),
        ifd::Numbers(277, ifd::SHORT, {1}),
        ifd::Numbers(278, ifd::SHORT, {2}),
        ifd::Numbers(279, ifd::LONG, {strip_bytes, strip_bytes}),
        ifd::Numbers(284, ifd::SHORT, {1}),
    };
    // A field of the EXIF or GPS IFD goes there; the main IFD links it and
    // comes first, so that the linked IFD's values end the file.
    const bool linked = row.home == Home::Exif || row.home == Home::Gps;
    std::vector<ifd::Field> fields;
    if (linked) {
        ifd::Ifd main;
        main.fields = image;
        const uint16_t link = row.home == Home::Exif ? 34665 : 34853;
        auto at = std::find_if(main.fields.begin(), main.fields.end(),
                               [&](const ifd::Field &f) { return f.tag > link; });
        main.fields.insert(at, ifd::Numbers(link, ifd::LONG, {0}));
        w.Align();
        const uint64_t main_at = w.Size();
        uint64_t sub_at = main_at + w.IfdSize(main);
        sub_at += sub_at % 2;
        for (ifd::Field &f : main.fields) {
            if (f.tag == link)
                f.values = {sub_at};
        }
        w.AppendIfd(main);
        w.Align();
        file.sub_at = sub_at;
    } else {
        fields = image;
        fields.erase(std::remove_if(fields.begin(), fields.end(),
                                    [&](const ifd::Field &f) { return f.tag == row.tag; }),
                     fields.end());
    }
    ifd::Field f = v.field;
    const uint64_t count = f.count != ifd::derived ? f.count
                           : Pairs(f.type)         ? f.values.size() / 2
                                                   : f.values.size();
    const uint64_t value_size = f.values.size() * ElementSize(f.type);
    const bool out_of_line = count > w.Slot() || count * ifd::TypeSize(f.type) > w.Slot();
    if (out_of_line)
        f.value_at = 0; // placed below, once the IFD's size is known
    fields.push_back(f);
    std::stable_sort(fields.begin(), fields.end(),
                     [](const ifd::Field &a, const ifd::Field &b) { return a.tag < b.tag; });
    size_t index = 0;
    while (fields[index].tag != row.tag)
        index++;

    ifd::Ifd ifd;
    ifd.fields = fields;
    w.Align();
    const uint64_t ifd_at = w.Size();
    const uint64_t after = ifd_at + w.IfdSize(ifd);
    uint64_t at = after + (after % 2);
    switch (v.place) {
    case Place::Writer:
    case Place::Straddle:
        break;
    case Place::Odd:
        at = after | 1;
        break;
    case Place::PastEnd:
        at = after + 64;
        break;
    case Place::OverIfd:
        at = ifd_at;
        break;
    }
    if (out_of_line)
        ifd.fields[index].value_at = at;
    w.AppendIfd(ifd, !linked);
    file.expect = v.expect;
    const uint64_t slot_at =
        ifd_at + (fmt.bigtiff ? 8 : 2) + index * (fmt.bigtiff ? 20 : 12) + 4 + w.Slot();
    file.slot = ifd::Numbers(
        row.tag, f.type,
        ElementsAt(w.Bytes(), fmt.big_endian, slot_at, f.type,
                   std::min<uint64_t>(row.standard.values.size(), w.Slot() / ElementSize(f.type))));
    if (out_of_line &&
        (v.place == Place::Writer || v.place == Place::Odd || v.place == Place::Straddle)) {
        while (w.Size() < at)
            w.Append({0});
        std::vector<uint8_t> encoded = w.Encode(f);
        if (v.place == Place::Straddle)
            encoded.resize(std::max<uint64_t>(1, value_size / 2));
        w.Append(encoded);
    }
    file.bytes = w.Bytes();
    if (v.place == Place::OverIfd) {
        const uint64_t elements = Pairs(f.type) ? 2 * count : count;
        file.expect.values = ElementsAt(file.bytes, fmt.big_endian, at, f.type, elements);
    }
    return file;
}

// --- What the library gives ------------------------------------------------

struct Got {
    bool text = false;
    bool counted = false;
    bool scalar = false;
    bool real = false;
    bool null = false; // a text given as a null pointer
    unsigned size = 0;
    std::string bytes;
    std::vector<double> numbers;
};

void Decode(const void *p, uint64_t n, unsigned size, TIFFDataType dt, Got *got)
{
    got->size = size;
    got->real =
        (dt == TIFF_RATIONAL || dt == TIFF_SRATIONAL || dt == TIFF_FLOAT || dt == TIFF_DOUBLE) &&
        size >= 4;
    const bool sign =
        dt == TIFF_SBYTE || dt == TIFF_SSHORT || dt == TIFF_SLONG || dt == TIFF_SLONG8;
    const auto *bytes = static_cast<const uint8_t *>(p);
    for (uint64_t i = 0; p && i < n; i++) {
        const uint8_t *v = bytes + i * size;
        if (got->real) {
            if (size == 4) {
                float f;
                memcpy(&f, v, 4);
                got->numbers.push_back(f);
            } else {
                double d;
                memcpy(&d, v, 8);
                got->numbers.push_back(d);
            }
            continue;
        }
        uint64_t u = 0;
        memcpy(&u, v, size);
        if (probe::HostBigEndian())
            u >>= 8 * (8 - size);
        got->numbers.push_back(sign ? static_cast<double>(ifd::Signed(u, size))
                                    : static_cast<double>(u));
    }
}

// The fields TIFFGetField gives as two uint16 values.
bool TwoShorts(uint16_t tag)
{
    return tag == TIFFTAG_PAGENUMBER || tag == TIFFTAG_HALFTONEHINTS ||
           tag == TIFFTAG_YCBCRSUBSAMPLING || tag == TIFFTAG_DOTRANGE;
}

// The field in the calling form its description asks for; false when
// absent.
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
        switch (f.type) {
        case ifd::FLOAT:
            out.push_back(ifd::FloatFromBits(v));
            break;
        case ifd::DOUBLE:
            out.push_back(ifd::DoubleFromBits(v));
            break;
        case ifd::RATIONAL:
            out.push_back(i + 1 < f.values.size() && f.values[i + 1] != 0
                              ? static_cast<double>(v) / static_cast<double>(f.values[i + 1])
                              : std::nan(""));
            break;
        case ifd::SRATIONAL:
            out.push_back(i + 1 < f.values.size() && f.values[i + 1] != 0
                              ? static_cast<double>(ifd::Signed(v, 4)) /
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
    if (!Pairs(f.type) || 2 * i + 1 >= f.values.size())
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

// Empty when the values given are the field's; else what differs. A value
// that is the parts' float quotient sets `rounded`.
std::string Differs(const Got &got, const ifd::Field &f, bool *rounded = nullptr)
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
    std::vector<double> want = Numbers(f);
    const size_t m = got.numbers.size();
    // Integers wider than a byte, given as their bytes.
    if (!got.real && got.size == 1 && m != want.size() && f.type != ifd::ASCII &&
        ifd::TypeSize(f.type) > 1 && !Pairs(f.type) && m == f.values.size() * ifd::TypeSize(f.type))
        want = HostBytes(f);
    if ((!(got.scalar && m == 1) || want.empty()) && m != want.size())
        return std::to_string(m) + " values, expected " + std::to_string(want.size());
    for (size_t i = 0; i < want.size(); i++) {
        const double g = got.numbers[got.scalar ? 0 : i];
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

// --- Checking a case ---------------------------------------------------------

// The strips are intact in every field case: they read as the file holds
// them.
std::string Strips(TIFF *tif, const Variant &v, const Row &row, const File &file)
{
    for (uint32_t k = 0; k < 2; k++) {
        uint8_t buf[strip_bytes + 16];
        const tmsize_t n = TIFFReadEncodedStrip(tif, k, buf, sizeof(buf));
        if (n < 0) {
            if (v.outcome == Outcome::Exact || !row.image)
                return "can't read strip " + std::to_string(k);
        } else if (static_cast<size_t>(n) != strip_bytes) {
            return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
                   " bytes, expected " + std::to_string(strip_bytes);
        } else {
            for (size_t i = 0; i < strip_bytes; i++) {
                if (buf[i] != file.pixels[k * strip_bytes + i]) {
                    char text[80];
                    snprintf(text, sizeof(text),
                             "strip %" PRIu32 " byte %zu is 0x%02x, expected 0x%02x", k, i, buf[i],
                             file.pixels[k * strip_bytes + i]);
                    return text;
                }
            }
        }
    }
    return "";
}

bool ReadLinked(TIFF *tif, const Row &row, uint64_t at)
{
    return row.home == Home::Exif ? TIFFReadEXIFDirectory(tif, at) != 0
                                  : TIFFReadGPSDirectory(tif, at) != 0;
}

// The first thing that broke, or empty.
std::string Check(const Row &row, const Variant &v, const File &file, const char *name,
                  bool *rounded, bool *from_slot)
{
    Memory mem{&file.bytes};
    const probe::ExpectedMessages messages;
    TIFF *tif = TIFFClientOpen(name, Mode(name), &mem, MemRead, MemWrite, MemSeek, MemClose,
                               MemSize, MemMap, MemUnmap);
    if (!tif) // refused: the open failing is a refusal too
        return v.outcome == Outcome::Exact ? "the library can't open the file" : "";
    std::string broke = Strips(tif, v, row, file);
    if (!broke.empty() || (file.sub_at && !ReadLinked(tif, row, file.sub_at))) {
        TIFFClose(tif);
        if (!broke.empty())
            return broke;
        return v.outcome == Outcome::Exact ? "can't read the IFD that holds it" : "";
    }
    Got got;
    const bool present = Fetch(tif, row.tag, &got);
    std::string differs = present ? Differs(got, file.expect, rounded) : "";
    // A field given with the count the library read may hold exactly what
    // the file holds, whatever the standard's count.
    if (!differs.empty() && got.counted && v.outcome != Outcome::Exact &&
        Differs(got, v.field).empty()) {
        differs.clear();
        *rounded = false;
    }
    // Values of an out-of-line field read from where they would be inline:
    // the bytes of the entry's offset.
    const bool something = got.text ? !got.null : !got.numbers.empty();
    if (!differs.empty() && something && v.field.value_at == ifd::derived &&
        !file.slot.values.empty() && Differs(got, file.slot).empty())
        *from_slot = true;
    if (v.outcome == Outcome::Exact && !present)
        broke = "absent, expected its value";
    else if (!differs.empty())
        broke = differs;
    TIFFClose(tif);
    if (broke.empty() && v.outcome == Outcome::Exact && messages.Count() > 0)
        broke = "the library reported a problem";
    return broke;
}

// --- The structural classes ----------------------------------------------

// A file of one or more IFDs, and where each of its strips is.
struct Structure {
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> offsets; // page 0's strips, as the file gives them
    // cppcheck-suppress unusedStructMember ; read in the shapes' lambdas
    std::vector<uint64_t> sub; // offsets of the IFDs the case links
};

std::vector<uint8_t> Pixels(unsigned seed, size_t n)
{
    std::vector<uint8_t> p;
    for (size_t i = 0; i < n; i++)
        p.push_back(static_cast<uint8_t>(i * 37 + seed));
    return p;
}

// Bytes `from` to `to` of `bytes`.
std::vector<uint8_t> Slice(const std::vector<uint8_t> &bytes, size_t from, size_t to)
{
    return std::vector<uint8_t>(bytes.data() + from, bytes.data() + to);
}

// The image fields of a 4 x 4 gray page in two strips at `s0`.
std::vector<ifd::Field> Image(uint64_t s0, uint64_t s1, uint64_t width = 4, uint64_t bits = 8,
                              uint64_t rows = 2, uint64_t count0 = strip_bytes,
                              uint64_t count1 = strip_bytes)
{
    return {
        ifd::Numbers(256, ifd::SHORT, {width}),
        ifd::Numbers(257, ifd::SHORT, {4}),
        ifd::Numbers(258, ifd::SHORT, {bits}),
        ifd::Numbers(259, ifd::SHORT, {1}),
        ifd::Numbers(262, ifd::SHORT, {1}),
        ifd::Numbers(273, ifd::LONG, {s0, s1}),
        ifd::Numbers(277, ifd::SHORT, {1}),
        ifd::Numbers(278, ifd::SHORT, {rows}),
        ifd::Numbers(279, ifd::LONG, {count0, count1}),
        ifd::Numbers(284, ifd::SHORT, {1}),
    };
}

void Insert(std::vector<ifd::Field> *fields, const ifd::Field &f)
{
    auto at = std::find_if(fields->begin(), fields->end(),
                           [&](const ifd::Field &g) { return g.tag > f.tag; });
    fields->insert(at, f);
}

// Strip k of the current directory: exact, or (`tolerant`) unreadable or
// the bytes the file holds at its offset.
std::string StripIs(TIFF *tif, uint32_t k, const std::vector<uint8_t> &file, uint64_t offset,
                    const std::vector<uint8_t> *exact)
{
    uint8_t buf[64];
    const tmsize_t n = TIFFReadEncodedStrip(tif, k, buf, sizeof(buf));
    if (n < 0)
        return exact ? "can't read strip " + std::to_string(k) : "";
    const uint64_t un = static_cast<uint64_t>(n);
    if (exact && un != exact->size())
        return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
               " bytes, expected " + std::to_string(exact->size());
    if (offset + un > file.size())
        return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
               " bytes, past the end of the file";
    for (uint64_t i = 0; i < un; i++) {
        const uint8_t want = exact ? (*exact)[i] : file[offset + i];
        if (buf[i] != want) {
            char text[96];
            snprintf(text, sizeof(text),
                     "strip %" PRIu32 " byte %" PRIu64 " is 0x%02x, expected 0x%02x", k, i, buf[i],
                     want);
            return text;
        }
    }
    return "";
}

// The field as the file holds it; `may_lack`: or absent.
std::string FieldIs(TIFF *tif, const ifd::Field &f, bool may_lack)
{
    Got got;
    if (!Fetch(tif, f.tag, &got))
        return may_lack ? "" : "tag " + std::to_string(f.tag) + " absent, expected its value";
    const std::string d = Differs(got, f);
    return d.empty() ? "" : "tag " + std::to_string(f.tag) + " " + d;
}

struct Shape {
    const char *klass;
    const char *slug;
    Outcome outcome;
    // cppcheck-suppress unusedStructMember ; the rule docs/probes.md names
    const char *rule;
    Structure (*build)(ifd::Writer *w);
    // The first thing that broke, on the opened file; empty when none.
    std::string (*check)(TIFF *tif, const Structure &s);
};

ifd::Field Orientation(uint64_t value)
{
    return ifd::Numbers(274, ifd::SHORT, {value});
}

ifd::Field White()
{
    return ifd::Rationals(318, ifd::RATIONAL, {5, 16, 21, 64});
}

// Page 0's strips at their offsets: exact, or what the file holds there.
std::string Strips(TIFF *tif, const Structure &s, bool exact)
{
    const std::vector<uint8_t> pixels = Pixels(11, 2 * strip_bytes);
    for (uint32_t k = 0; k < 2; k++) {
        const std::vector<uint8_t> want = Slice(pixels, k * strip_bytes, (k + 1) * strip_bytes);
        std::string e = StripIs(tif, k, s.bytes, s.offsets[k], exact ? &want : nullptr);
        if (!e.empty())
            return e;
    }
    return "";
}

Structure Plain(ifd::Writer *w, const std::vector<ifd::Field> &extra, bool reversed = false,
                const std::vector<ifd::Field> &image = {})
{
    Structure s;
    const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
    s.offsets = {s0, s0 + strip_bytes};
    ifd::Ifd ifd;
    ifd.fields = image.empty() ? Image(s0, s0 + strip_bytes) : image;
    for (const ifd::Field &f : extra)
        Insert(&ifd.fields, f);
    if (reversed)
        std::reverse(ifd.fields.begin(), ifd.fields.end());
    w->AppendIfd(ifd);
    s.bytes = w->Bytes();
    return s;
}

// Page 0 of Plain without the image field `tag`.
Structure Without(ifd::Writer *w, uint16_t tag)
{
    std::vector<ifd::Field> image = Image(w->Size(), w->Size() + strip_bytes);
    image.erase(std::remove_if(image.begin(), image.end(),
                               [&](const ifd::Field &f) { return f.tag == tag; }),
                image.end());
    return Plain(w, {}, false, image);
}

constexpr Shape shapes[] = {
    {"structure: a tag twice, with two values", "twice", Outcome::Tolerated, "duplicate",
     [](ifd::Writer *w) {
         return Plain(w, {Orientation(3), Orientation(6)});
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = FieldIs(tif, Orientation(3), true);
         if (!e.empty() && FieldIs(tif, Orientation(6), true).empty())
             e.clear();
         return e.empty() ? Strips(tif, s, true) : e;
     }},
    {"structure: entries in descending order", "descending", Outcome::Tolerated, "out of order",
     [](ifd::Writer *w) { return Plain(w, {Orientation(3)}, true); },
     [](TIFF *tif, const Structure &s) {
         std::string e = FieldIs(tif, Orientation(3), false);
         return e.empty() ? Strips(tif, s, true) : e;
     }},
    {"structure: two entries sharing one value", "shared", Outcome::Exact, "shared values",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
         s.offsets = {s0, s0 + strip_bytes};
         w->Align();
         // Two RATIONALs: out of line in both formats.
         const uint64_t value = w->Append(w->Encode(White()));
         ifd::Ifd ifd;
         ifd.fields = Image(s0, s0 + strip_bytes);
         ifd::Field a = White();
         ifd::Field b = White();
         b.tag = 50729; // AsShotWhiteXY
         a.value_at = value;
         b.value_at = value;
         Insert(&ifd.fields, a);
         Insert(&ifd.fields, b);
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         ifd::Field b = White();
         b.tag = 50729;
         std::string e = FieldIs(tif, White(), false);
         if (e.empty())
             e = FieldIs(tif, b, false);
         return e.empty() ? Strips(tif, s, true) : e;
     }},
    {"structure: two strips at one offset", "same_strips", Outcome::Exact, "shared values",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t s0 = w->Append(Pixels(11, strip_bytes));
         s.offsets = {s0, s0};
         ifd::Ifd ifd;
         ifd.fields = Image(s0, s0);
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         const std::vector<uint8_t> pixels = Pixels(11, strip_bytes);
         std::string e = StripIs(tif, 0, s.bytes, s.offsets[0], &pixels);
         return e.empty() ? StripIs(tif, 1, s.bytes, s.offsets[1], &pixels) : e;
     }},
    {"structure: a strip over the IFD", "strip_over_ifd", Outcome::Tolerated, "overlaps",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t s0 = w->Append(Pixels(11, strip_bytes));
         w->Align();
         const uint64_t at = w->Size();
         s.offsets = {s0, at};
         ifd::Ifd ifd;
         ifd.fields = Image(s0, at);
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         const std::vector<uint8_t> pixels = Pixels(11, strip_bytes);
         std::string e = StripIs(tif, 0, s.bytes, s.offsets[0], &pixels);
         return e.empty() ? StripIs(tif, 1, s.bytes, s.offsets[1], nullptr) : e;
     }},
    {"structure: a chain of two SubIFDs", "subifd_chain", Outcome::Exact, "chains",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
         const uint64_t a = w->Append(Pixels(23, 2 * strip_bytes));
         const uint64_t b = w->Append(Pixels(61, 2 * strip_bytes));
         s.offsets = {s0, s0 + strip_bytes};
         ifd::Ifd sub_b;
         sub_b.fields = Image(b, b + strip_bytes);
         const uint64_t ib = w->AppendIfd(sub_b, false);
         ifd::Ifd sub_a;
         sub_a.fields = Image(a, a + strip_bytes);
         const uint64_t ia = w->AppendIfd(sub_a, false);
         w->SetNext(ia, ib);
         ifd::Ifd main;
         main.fields = Image(s0, s0 + strip_bytes);
         Insert(&main.fields, ifd::Numbers(330, ifd::LONG, {ia}));
         w->AppendIfd(main);
         s.sub = {ia, ib};
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = Strips(tif, s, true);
         if (!e.empty())
             return e;
         if (!TIFFSetSubDirectory(tif, s.sub[0]))
             return std::string("can't go to the first SubIFD");
         const unsigned seeds[] = {23, 61};
         for (unsigned k = 0; k < 2; k++) {
             if (k == 1 && !TIFFReadDirectory(tif))
                 return std::string("TIFFReadDirectory does not reach the second SubIFD");
             const std::vector<uint8_t> p = Pixels(seeds[k], 2 * strip_bytes);
             for (uint32_t j = 0; j < 2; j++) {
                 const std::vector<uint8_t> want = Slice(p, j * strip_bytes, (j + 1) * strip_bytes);
                 e = StripIs(tif, j, s.bytes, 0, &want);
                 if (!e.empty())
                     return "SubIFD " + std::to_string(k) + ": " + e;
             }
         }
         if (TIFFReadDirectory(tif))
             return std::string("TIFFReadDirectory goes past the second SubIFD");
         return std::string();
     }},
    {"structure: an EXIF IFD with a next IFD", "exif_next", Outcome::Tolerated, "links",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t s0 = w->Append(Pixels(11, 2 * strip_bytes));
         s.offsets = {s0, s0 + strip_bytes};
         ifd::Ifd exif;
         exif.fields = {ifd::Rationals(33434, ifd::RATIONAL, {1, 250})};
         const uint64_t e1 = w->AppendIfd(exif, false);
         ifd::Ifd other;
         other.fields = {ifd::Rationals(33434, ifd::RATIONAL, {1, 30})};
         const uint64_t e2 = w->AppendIfd(other, false);
         w->SetNext(e1, e2);
         ifd::Ifd main;
         main.fields = Image(s0, s0 + strip_bytes);
         Insert(&main.fields, ifd::Numbers(34665, ifd::LONG, {e1}));
         w->AppendIfd(main);
         s.sub = {e1};
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = Strips(tif, s, true);
         if (!e.empty())
             return e;
         if (TIFFNumberOfDirectories(tif) != 1)
             return "the library counts " + std::to_string(TIFFNumberOfDirectories(tif)) +
                    " pages, expected 1";
         if (!TIFFReadEXIFDirectory(tif, s.sub[0]))
             return std::string("can't read the EXIF IFD");
         return FieldIs(tif, ifd::Rationals(33434, ifd::RATIONAL, {1, 250}), false);
     }},
    {"structure: a thumbnail IFD1", "thumbnail", Outcome::Exact, "chains",
     [](ifd::Writer *w) {
         Structure s = Plain(w, {ifd::Numbers(254, ifd::LONG, {0})});
         const uint64_t t = w->Append(Pixels(5, 4));
         ifd::Ifd thumb;
         thumb.fields = Image(t, t + 2, 2, 8, 1, 2, 2);
         thumb.fields[1] = ifd::Numbers(257, ifd::SHORT, {2});
         Insert(&thumb.fields, ifd::Numbers(254, ifd::LONG, {1}));
         w->AppendIfd(thumb);
         s.bytes = w->Bytes();
         s.sub = {t};
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         std::string e = Strips(tif, s, true);
         if (!e.empty())
             return e;
         if (TIFFNumberOfDirectories(tif) != 2)
             return "the library counts " + std::to_string(TIFFNumberOfDirectories(tif)) +
                    " pages, expected 2";
         if (!TIFFReadDirectory(tif))
             return std::string("can't read IFD1");
         e = FieldIs(tif, ifd::Numbers(254, ifd::LONG, {1}), false);
         const std::vector<uint8_t> p = Pixels(5, 4);
         for (uint32_t k = 0; e.empty() && k < 2; k++) {
             const std::vector<uint8_t> want = Slice(p, 2 * size_t{k}, 2 * size_t{k} + 2);
             e = StripIs(tif, k, s.bytes, 0, &want);
         }
         return e.empty() ? e : "IFD1: " + e;
     }},
    {"structure: ImageWidth 0", "width0", Outcome::Refused, "out-of-range image",
     [](ifd::Writer *w) {
         return Plain(w, {}, false, Image(w->Size(), w->Size() + strip_bytes, 0));
     },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: BitsPerSample 0", "bits0", Outcome::Refused, "out-of-range image",
     [](ifd::Writer *w) {
         return Plain(w, {}, false, Image(w->Size(), w->Size() + strip_bytes, 4, 0));
     },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: BitsPerSample 33", "bits33", Outcome::Tolerated, "out-of-range image",
     [](ifd::Writer *w) {
         return Plain(w, {}, false, Image(w->Size(), w->Size() + strip_bytes, 4, 33));
     },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: RowsPerStrip 0", "rows0", Outcome::Tolerated, "out-of-range image",
     [](ifd::Writer *w) {
         return Plain(w, {}, false, Image(w->Size(), w->Size() + strip_bytes, 4, 8, 0));
     },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: StripByteCounts 0", "counts0", Outcome::Tolerated, "zero byte counts",
     [](ifd::Writer *w) {
         return Plain(w, {}, false, Image(w->Size(), w->Size() + strip_bytes, 4, 8, 2, 0, 0));
     },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    // The image's fields one at a time absent: those with a default
    // (Compression, TIFF 6.0's 1) read exactly; the others the library may
    // refuse or make up (StripByteCounts it estimates, as
    // TIFFReadDirectory(3tiff) says); no strip reads other bytes.
    {"structure: no Compression", "no_compression", Outcome::Exact, "defaults",
     [](ifd::Writer *w) { return Without(w, 259); },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, true); }},
    {"structure: no PhotometricInterpretation", "no_photometric", Outcome::Tolerated,
     "missing required", [](ifd::Writer *w) { return Without(w, 262); },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: no RowsPerStrip", "no_rows", Outcome::Tolerated, "missing required",
     [](ifd::Writer *w) { return Without(w, 278); },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: no StripByteCounts", "no_counts", Outcome::Tolerated, "zero byte counts",
     [](ifd::Writer *w) { return Without(w, 279); },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: no SamplesPerPixel", "no_samples", Outcome::Exact, "defaults",
     [](ifd::Writer *w) { return Without(w, 277); },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, true); }},
    {"structure: no BitsPerSample", "no_bits", Outcome::Tolerated, "missing required",
     [](ifd::Writer *w) { return Without(w, 258); },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: no ImageLength", "no_length", Outcome::Refused, "missing required",
     [](ifd::Writer *w) { return Without(w, 257); },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
    {"structure: no StripOffsets", "no_offsets", Outcome::Refused, "missing required",
     [](ifd::Writer *w) { return Without(w, 273); },
     [](TIFF *tif, const Structure &) {
         uint8_t buf[64];
         for (uint32_t k = 0; k < 2; k++) {
             const tmsize_t n = TIFFReadEncodedStrip(tif, k, buf, sizeof(buf));
             if (n >= 0)
                 return "strip " + std::to_string(k) + " read as " + std::to_string(n) +
                        " bytes, but the file gives no offset";
         }
         return std::string();
     }},
    {"structure: strips in the file's reverse order", "strips_reversed", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         Structure s;
         const std::vector<uint8_t> p = Pixels(11, 2 * strip_bytes);
         const uint64_t s1 = w->Append(std::vector<uint8_t>(p.begin() + strip_bytes, p.end()));
         const uint64_t s0 = w->Append(std::vector<uint8_t>(p.begin(), p.begin() + strip_bytes));
         s.offsets = {s0, s1};
         ifd::Ifd ifd;
         ifd.fields = Image(s0, s1);
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, true); }},
    {"structure: planes apart", "planes", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         // Two samples, each plane one strip of 16 bytes.
         Structure s;
         const uint64_t at = w->Append(Pixels(11, 4 * strip_bytes));
         s.offsets = {at, at + 2 * strip_bytes};
         ifd::Ifd ifd;
         ifd.fields = {
             ifd::Numbers(256, ifd::SHORT, {4}),
             ifd::Numbers(257, ifd::SHORT, {4}),
             ifd::Numbers(258, ifd::SHORT, {8, 8}),
             ifd::Numbers(259, ifd::SHORT, {1}),
             ifd::Numbers(262, ifd::SHORT, {1}),
             ifd::Numbers(273, ifd::LONG, {at, at + 2 * strip_bytes}),
             ifd::Numbers(277, ifd::SHORT, {2}),
             ifd::Numbers(278, ifd::SHORT, {4}),
             ifd::Numbers(279, ifd::LONG, {2 * strip_bytes, 2 * strip_bytes}),
             ifd::Numbers(284, ifd::SHORT, {2}),
             ifd::Numbers(338, ifd::SHORT, {0}),
         };
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &s) {
         const std::vector<uint8_t> p = Pixels(11, 4 * strip_bytes);
         for (uint32_t k = 0; k < 2; k++) {
             const std::vector<uint8_t> want =
                 Slice(p, 2 * size_t{k} * strip_bytes, 2 * (size_t{k} + 1) * strip_bytes);
             std::string e = StripIs(tif, k, s.bytes, s.offsets[k], &want);
             if (!e.empty())
                 return e;
         }
         return std::string();
     }},
    {"structure: one tile", "tiled", Outcome::Exact, "standard",
     [](ifd::Writer *w) {
         Structure s;
         const uint64_t at = w->Append(Pixels(3, 256));
         s.offsets = {at};
         ifd::Ifd ifd;
         ifd.fields = {
             ifd::Numbers(256, ifd::SHORT, {16}),  ifd::Numbers(257, ifd::SHORT, {16}),
             ifd::Numbers(258, ifd::SHORT, {8}),   ifd::Numbers(259, ifd::SHORT, {1}),
             ifd::Numbers(262, ifd::SHORT, {1}),   ifd::Numbers(277, ifd::SHORT, {1}),
             ifd::Numbers(284, ifd::SHORT, {1}),   ifd::Numbers(322, ifd::SHORT, {16}),
             ifd::Numbers(323, ifd::SHORT, {16}),  ifd::Numbers(324, ifd::LONG, {at}),
             ifd::Numbers(325, ifd::SHORT, {256}),
         };
         w->AppendIfd(ifd);
         s.bytes = w->Bytes();
         return s;
     },
     [](TIFF *tif, const Structure &) {
         std::vector<uint8_t> tile(300);
         const tmsize_t n =
             TIFFReadEncodedTile(tif, 0, tile.data(), static_cast<tmsize_t>(tile.size()));
         if (n != 256)
             return "tile 0 read as " + std::to_string(n) + " bytes, expected 256";
         const std::vector<uint8_t> p = Pixels(3, 256);
         for (size_t i = 0; i < p.size(); i++) {
             if (tile[i] != p[i])
                 return "tile 0 byte " + std::to_string(i) + " wrong";
         }
         return std::string();
     }},
    {"structure: an unknown Compression", "unknown_compression", Outcome::Tolerated, "wrong type",
     [](ifd::Writer *w) {
         std::vector<ifd::Field> image = Image(w->Size(), w->Size() + strip_bytes);
         image[3] = ifd::Numbers(259, ifd::SHORT, {12345});
         return Plain(w, {}, false, image);
     },
     [](TIFF *tif, const Structure &s) { return Strips(tif, s, false); }},
};

// The first thing that broke in a structural case, or empty.
std::string CheckShape(const Shape &shape, const Structure &s, const char *name)
{
    std::vector<uint8_t> bytes = s.bytes;
    Memory mem{&bytes};
    const probe::ExpectedMessages messages;
    TIFF *tif = TIFFClientOpen(name, Mode(name), &mem, MemRead, MemWrite, MemSeek, MemClose,
                               MemSize, MemMap, MemUnmap);
    if (!tif)
        return shape.outcome == Outcome::Exact ? "the library can't open the file" : "";
    std::string broke = shape.check(tif, s);
    TIFFClose(tif);
    if (broke.empty() && shape.outcome == Outcome::Exact && messages.Count() > 0)
        broke = "the library reported a problem";
    return broke;
}

// --- The private tags, registered while the matrix runs ------------------

bool register_private = false;
TIFFExtendProc previous_extender = nullptr;
char private_names[80][24];
TIFFFieldInfo private_infos[80];
unsigned private_count = 0;

void PrivateTags(TIFF *tif)
{
    if (register_private)
        TIFFMergeFieldInfo(tif, private_infos, private_count);
    if (previous_extender)
        previous_extender(tif);
}

void InstallExtender()
{
    if (private_count)
        return;
    for (const Row &row : Rows()) {
        if (row.home != Home::Private)
            continue;
        if (private_count == sizeof(private_infos) / sizeof(private_infos[0]))
            break;
        char *name = private_names[private_count];
        snprintf(name, sizeof(private_names[0]), "MatrixPrivate%u", row.tag);
        private_infos[private_count++] = {row.tag,
                                          static_cast<short>(row.read_count),
                                          static_cast<short>(row.read_count),
                                          static_cast<TIFFDataType>(row.type),
                                          FIELD_CUSTOM,
                                          1,
                                          static_cast<unsigned char>(row.pass_count),
                                          name};
    }
    previous_extender = TIFFSetTagExtender(PrivateTags);
}

std::string Key(const Row &row)
{
    const std::string tag = "tag " + std::to_string(row.tag);
    return row.home == Home::Exif  ? "EXIF IFD: " + tag
           : row.home == Home::Gps ? "GPS IFD: " + tag
                                   : tag;
}

std::string Stem(const Row &row)
{
    const std::string tag = std::to_string(row.tag);
    return row.home == Home::Exif ? "exif_" + tag : row.home == Home::Gps ? "gps_" + tag : tag;
}

// A text registered with TIFF_VARIABLE and its count passed, which
// TIFFFieldPassCount(3tiff) describes, and a private IFD of one value stop
// Debian's 4.5.0 on an assertion as it reads one: those rows, and their
// kin of the 64-bit types, run each case in a child of its own, so that an
// abort is a finding and not the end of the probe.
bool Guarded(const Row &row)
{
    if (row.home != Home::Private)
        return false;
    return (row.type == ifd::ASCII && row.read_count == -1) ||
           (row.read_count > 0 && (row.type == ifd::IFD || row.type >= 16));
}

std::string CheckApart(const Row &row, const Variant &v, const File &file, const char *name)
{
    int fds[2];
    if (pipe(fds) != 0)
        return "can't make a pipe";
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return "can't fork";
    }
    if (pid == 0) {
        close(fds[0]);
        // The assertion's own text is the library's, not a line.
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, 2);
        bool rounded = false;
        bool from_slot = false;
        const std::string what = Check(row, v, file, name, &rounded, &from_slot);
        const ssize_t n = write(fds[1], what.data(), what.size());
        _exit(n == static_cast<ssize_t>(what.size()) ? 0 : 3);
    }
    close(fds[1]);
    std::string what;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof(buf))) > 0)
        what.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return "can't wait for the case";
    if (WIFSIGNALED(status))
        return "the library stops the program (signal " + std::to_string(WTERMSIG(status)) + ")";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the case's child exits with status " + std::to_string(WEXITSTATUS(status));
    return what;
}

struct Broken {
    std::string what;
    std::string first;
    size_t cases = 0;
};

} // namespace

bool Run(Totals *totals)
{
    Totals t;
    std::vector<std::string> order;
    std::map<std::string, Broken> broken;
    const std::vector<Row> rows = Rows();
    InstallExtender();
    register_private = true;
    for (const Row &row : rows) {
        for (const read_cases::Format &fmt : read_cases::formats) {
            for (const Variant &v : Derive(row, fmt.bigtiff)) {
                const std::string name = "read_" + Stem(row) + "_" + v.slug + fmt.suffix;
                const File file = Build(row, v, fmt);
                t.cases++;
                bool rounded = false;
                bool from_slot = false;
                std::string what = Guarded(row)
                                       ? CheckApart(row, v, file, name.c_str())
                                       : Check(row, v, file, name.c_str(), &rounded, &from_slot);
                if (what.empty())
                    continue;
                t.failed++;
                std::string key = Key(row) + " " + v.klass;
                // One fault of the library's conversion, whatever the
                // field: one line.
                const bool stopped = what.rfind("the library stops the program", 0) == 0;
                if (stopped) {
                    // A crash is the field's, whatever the class: one line.
                    what += ", " + v.klass + " the first";
                    key = Key(row);
                    key += " registered as ";
                    key += ifd::TypeName(row.type);
                    key += row.read_count == -1  ? " with TIFF_VARIABLE"
                           : row.read_count == 1 ? " with one value"
                                                 : " with a fixed count";
                } else if (from_slot) {
                    std::string tagged = "tag " + std::to_string(row.tag);
                    tagged += " ";
                    tagged += v.klass;
                    tagged += ", ";
                    tagged += what;
                    what = tagged;
                    key = row.home == Home::Exif  ? "EXIF IFD: "
                          : row.home == Home::Gps ? "GPS IFD: "
                                                  : "";
                    key += "a field whose count is not its standard's: values read from the "
                           "bytes of its offset";
                } else if (rounded) {
                    key += ", ";
                    key += what;
                    what = key;
                    key = "RATIONAL fetched as FLOAT: the quotient of the parts as floats, not "
                          "the float nearest the value";
                }
                Broken &b = broken[key];
                if (b.cases++ == 0) {
                    order.push_back(key);
                    b.what = what;
                    b.first = name;
                    const ifd::Error err = ifd::SaveFile(name.c_str(), file.bytes);
                    if (err)
                        probe::Say<probe::Line::CantSave>(name.c_str(), err.what.c_str());
                }
            }
        }
    }
    for (const Shape &shape : shapes) {
        for (const read_cases::Format &fmt : read_cases::formats) {
            const std::string name = std::string("read_") + shape.slug + fmt.suffix;
            ifd::Writer w(fmt.big_endian, fmt.bigtiff);
            const Structure s = shape.build(&w);
            t.cases++;
            const std::string what = CheckShape(shape, s, name.c_str());
            if (what.empty())
                continue;
            t.failed++;
            Broken &b = broken[shape.klass];
            if (b.cases++ == 0) {
                order.push_back(shape.klass);
                b.what = what;
                b.first = name;
                const ifd::Error err = ifd::SaveFile(name.c_str(), s.bytes);
                if (err)
                    probe::Say<probe::Line::CantSave>(name.c_str(), err.what.c_str());
            }
        }
    }
    register_private = false;
    for (const std::string &key : order) {
        const Broken &b = broken[key];
        probe::Say<probe::Line::MatrixBroken>(key.c_str(), b.what.c_str(), b.cases,
                                              b.cases == 1 ? "" : "s", b.first.c_str());
    }
    if (totals)
        *totals = t;
    return order.empty();
}

} // namespace matrix
