#include "probe_support.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace probe {

void Say(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    vfprintf(stderr, format, ap);
    va_end(ap);
    fputc('\n', stderr);
}

void SaySkipped(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    fputs("skipped: ", stdout);
    vfprintf(stdout, format, ap);
    va_end(ap);
    fputc('\n', stdout);
}

namespace {

std::vector<uint16_t> dropped_codecs;

const char *CodecName(uint16_t compression)
{
    switch (compression) {
    // One codec, and one switch of the library's build, for all three.
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return "CCITT";
    case COMPRESSION_LZW:
        return "LZW";
    case COMPRESSION_JPEG:
        return "JPEG";
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return "Deflate";
    case COMPRESSION_PACKBITS:
        return "PackBits";
    default:
        return "such";
    }
}

} // namespace

uint16_t CodecOrNone(uint16_t compression)
{
    if (compression == COMPRESSION_NONE || TIFFIsCODECConfigured(compression) != 0)
        return compression;
    if (!CodecDropped(compression))
        dropped_codecs.push_back(compression);
    return COMPRESSION_NONE;
}

bool CodecDropped(uint16_t compression)
{
    return std::find(dropped_codecs.begin(), dropped_codecs.end(), compression) !=
           dropped_codecs.end();
}

void SayCodecSkips()
{
    std::vector<std::string> said;
    for (const uint16_t c : dropped_codecs) {
        const std::string name = CodecName(c);
        if (std::find(said.begin(), said.end(), name) == said.end())
            SaySkipped("no %s codec", name.c_str());
        said.push_back(name);
    }
}

const char *Mode(const Layout &layout, Access access)
{
    switch (access) {
    case Access::Create:
        if (layout.bigtiff)
            return layout.big_endian ? "w8b" : "w8l";
        return layout.big_endian ? "wb" : "wl";
    case Access::Read:
        return "r";
    case Access::Update:
        return "r+";
    case Access::ReadOnDemand:
        return "rO";
    }
    return "r";
}

int RunLayouts(const Layout *layouts, size_t count,
               const std::function<bool(const Layout &)> &check)
{
    int status = 0;

    for (size_t i = 0; i < count; i++) {
        if (check(layouts[i]))
            unlink(layouts[i].filename);
        else
            status = 1;
    }
    return status;
}

bool HostBigEndian()
{
    const uint16_t one = 1;
    uint8_t first = 0;
    memcpy(&first, &one, 1);
    return first == 0;
}

std::string Page(unsigned long k)
{
    return "page " + std::to_string(k);
}

Tiff &Tiff::operator=(Tiff &&other) noexcept
{
    if (this != &other) {
        Close();
        tif_ = other.tif_;
        other.tif_ = nullptr;
    }
    return *this;
}

void Tiff::Close()
{
    if (tif_)
        TIFFClose(tif_);
    tif_ = nullptr;
}

Tiff Create(const char *filename, const char *mode)
{
    Tiff tif(TIFFOpen(filename, mode));
    if (!tif)
        Say("Can't create test TIFF file %s.", filename);
    return tif;
}

Tiff Reopen(const char *filename, const char *mode)
{
    Tiff tif(TIFFOpen(filename, mode));
    if (!tif)
        Say("Can't open test TIFF file %s.", filename);
    return tif;
}

Tiff Create(const Layout &layout)
{
    return Create(layout.filename, Mode(layout, Access::Create));
}

Tiff Reopen(const Layout &layout, Access access)
{
    return Reopen(layout.filename, Mode(layout, access));
}

bool LibraryQuiet(const char *filename, unsigned long since)
{
    if (LibraryMessages() == since)
        return true;
    Say("%s: the library reported a problem.", filename);
    return false;
}

ifd::Error ReadOnDisk(const char *filename, OnDisk *disk)
{
    ifd::Error err = ifd::LoadFile(filename, &disk->bytes);
    if (!err)
        disk->file = ifd::ReadFile(disk->bytes.data(), disk->bytes.size());
    return err;
}

bool NoProblems(const char *filename, const ifd::File &file)
{
    // Enough to see what went wrong; a file of thousands of broken entries
    // would bury the verdict.
    constexpr size_t shown = 20;
    const size_t n = file.problems.size();

    for (size_t i = 0; i < n && i < shown; i++)
        Say("%s: IFD at %" PRIu64 ": %s.", filename, file.problems[i].offset,
            file.problems[i].what.c_str());
    if (n > shown)
        Say("%s: %zu more problems on disk.", filename, n - shown);
    return n == 0;
}

bool TagsAscending(const ifd::Directory &dir, const char *filename)
{
    for (size_t i = 1; i < dir.entries.size(); i++) {
        if (dir.entries[i].tag <= dir.entries[i - 1].tag) {
            Say("%s: IFD at %" PRIu64 ": tag %u follows tag %u.", filename, dir.offset,
                dir.entries[i].tag, dir.entries[i - 1].tag);
            return false;
        }
    }
    return true;
}

bool WordAligned(const ifd::Directory &dir, const char *filename)
{
    const auto odd = std::find_if(dir.entries.begin(), dir.entries.end(), [](const ifd::Entry &e) {
        return !e.is_inline && e.value_at % 2 != 0;
    });
    if (odd == dir.entries.end())
        return true;
    Say("%s: tag %u on disk: values at odd offset %" PRIu64 ".", filename, odd->tag, odd->value_at);
    return false;
}

bool ChunksInside(const ifd::Directory &dir, uint64_t file_size, uint16_t offsets_tag,
                  uint16_t counts_tag, uint64_t count, const char *unit, const char *filename)
{
    const ifd::Entry *offsets = ifd::FindEntry(dir, offsets_tag);
    const ifd::Entry *counts = ifd::FindEntry(dir, counts_tag);

    if (!offsets || !counts || offsets->values.size() != count || counts->values.size() != count) {
        Say("%s: IFD at %" PRIu64 ": not %" PRIu64 " %s and %s.", filename, dir.offset, count,
            offsets_tag == ifd::tag::StripOffsets ? "StripOffsets" : "TileOffsets",
            counts_tag == ifd::tag::StripByteCounts ? "StripByteCounts" : "TileByteCounts");
        return false;
    }
    for (uint64_t s = 0; s < count; s++) {
        if (offsets->values[s] > file_size || counts->values[s] > file_size - offsets->values[s]) {
            Say("%s: tag %u on disk: %s %" PRIu64 " lies outside the file.", filename, offsets_tag,
                unit, s);
            return false;
        }
    }
    return true;
}

// The quotient as a double. On 32-bit x86 the x87 unit divides in 80 bits
// and a quotient kept in a register is compared in 80 bits: 301/10 would
// then differ from the double 30.1 that it stands for. Stored, it is
// rounded to a double.
static double Quotient(double num, double den)
{
    const volatile double q = num / den;
    return q;
}

double Number(const ifd::Entry &e, size_t i)
{
    const unsigned size = ifd::TypeSize(e.type);

    switch (e.type) {
    case ifd::RATIONAL:
    case ifd::SRATIONAL: {
        const uint64_t num = e.values.at(2 * i);
        const uint64_t den = e.values.at(2 * i + 1);
        if (den == 0)
            return NAN;
        if (e.type == ifd::RATIONAL)
            return Quotient(static_cast<double>(num), static_cast<double>(den));
        return Quotient(static_cast<double>(ifd::Signed(num, 4)),
                        static_cast<double>(ifd::Signed(den, 4)));
    }
    case ifd::FLOAT:
        return ifd::FloatFromBits(e.values.at(i));
    case ifd::DOUBLE:
        return ifd::DoubleFromBits(e.values.at(i));
    case ifd::SBYTE:
    case ifd::SSHORT:
    case ifd::SLONG:
    case ifd::SLONG8:
        return static_cast<double>(ifd::Signed(e.values.at(i), size));
    default:
        return static_cast<double>(e.values.at(i));
    }
}

namespace {

unsigned long expected_messages = 0;

void CountExpected(const char * /*module*/, const char * /*format*/, va_list /*ap*/)
{
    expected_messages++;
}

} // namespace

ExpectedMessages::ExpectedMessages()
    : error_(TIFFSetErrorHandler(CountExpected)), warning_(TIFFSetWarningHandler(CountExpected)),
      before_(expected_messages)
{
}

ExpectedMessages::~ExpectedMessages()
{
    TIFFSetErrorHandler(error_);
    TIFFSetWarningHandler(warning_);
}

unsigned long ExpectedMessages::Count() const
{
    return expected_messages - before_;
}

bool ChunksApart(const ifd::Directory &dir, uint16_t offsets_tag, uint16_t counts_tag,
                 const char *unit, const char *filename)
{
    const std::vector<uint64_t> &offsets = ifd::FindEntry(dir, offsets_tag)->values;
    const std::vector<uint64_t> &counts = ifd::FindEntry(dir, counts_tag)->values;
    std::vector<size_t> order;

    // Empty chunks hold no byte, so they overlap nothing.
    for (size_t i = 0; i < offsets.size(); i++) {
        if (counts[i] > 0)
            order.push_back(i);
    }
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    for (size_t k = 1; k < order.size(); k++) {
        const size_t a = order[k - 1];
        const size_t b = order[k];
        // ChunksInside has checked that no chunk ends past the file, so the sum cannot wrap.
        if (offsets[a] + counts[a] > offsets[b]) {
            Say("%s: %s %zu on disk: overlaps %s %zu.", filename, unit, std::min(a, b), unit,
                std::max(a, b));
            return false;
        }
    }
    return true;
}

bool ChunkHolds(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count,
                const std::vector<uint8_t> &expected, const char *unit, uint64_t index,
                unsigned page, const char *filename)
{
    if (count != expected.size() || offset > bytes.size() || count > bytes.size() - offset) {
        Say("%s: %s %" PRIu64 " on disk: page %u: %" PRIu64 " bytes at %" PRIu64
            ", expected %zu inside the file.",
            filename, unit, index, page, count, offset, expected.size());
        return false;
    }
    size_t first = expected.size();
    size_t last = 0;
    unsigned long wrong = 0;
    for (size_t i = 0; i < expected.size(); i++) {
        if (bytes[offset + i] != expected[i]) {
            first = std::min(first, i);
            last = i;
            wrong++;
        }
    }
    if (wrong == 0)
        return true;
    Say("%s: %s %" PRIu64 " on disk: page %u: byte %zu is 0x%02x, expected 0x%02x.", filename, unit,
        index, page, first, bytes[offset + first], expected[first]);
    if (wrong > 1)
        Say("%s: %s %" PRIu64 " on disk: page %u: %lu more bytes differ, the last at byte %zu.",
            filename, unit, index, page, wrong - 1, last);
    return false;
}

bool ChunkMatches(const std::vector<uint8_t> &bytes, uint64_t offset, uint64_t count,
                  const std::vector<uint8_t> &expected)
{
    return count == expected.size() && offset <= bytes.size() && count <= bytes.size() - offset &&
           std::equal(expected.begin(), expected.end(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

namespace {

// ", PLACE" after a file name in a line that begins with a verb.
std::string After(const char *place)
{
    return place ? std::string(", ") + place : std::string();
}

// "NAME: " or "NAME: PLACE: " at the start of a line about the file.
std::string Prefix(const char *filename, const char *place)
{
    return std::string(filename) + ": " + (place ? std::string(place) + ": " : std::string());
}

} // namespace

void SayCantSet(unsigned long tag, const char *filename, const char *place)
{
    Say("Can't set tag %lu in %s%s.", tag, filename, After(place).c_str());
}

void SayProblemFetching(unsigned long tag, const char *filename, const char *place)
{
    Say("Problem fetching tag %lu in %s%s.", tag, filename, After(place).c_str());
}

void SayWrongValue(const char *type, unsigned long tag, const char *filename, unsigned long i,
                   uint64_t got, uint64_t expect, const char *place)
{
    Say("Wrong %s value fetched for tag %lu in %s%s: value %lu is 0x%" PRIx64
        ", expected 0x%" PRIx64 ".",
        type, tag, filename, After(place).c_str(), i, got, expect);
}

void SayWrongNumber(const char *type, unsigned long tag, const char *filename, unsigned long i,
                    double got, double expect, const char *place)
{
    Say("Wrong %s value fetched for tag %lu in %s%s: value %lu is %.9g, expected %.9g.", type, tag,
        filename, After(place).c_str(), i, got, expect);
}

void SayWrongCount(const char *type, unsigned long tag, const char *filename, unsigned long got,
                   unsigned long expect, const char *place)
{
    Say("Wrong %s value fetched for tag %lu in %s%s: %lu values, expected %lu.", type, tag,
        filename, After(place).c_str(), got, expect);
}

void SayWrongText(unsigned long tag, const char *filename, const char *got, const char *expect,
                  const char *place)
{
    if (!expect) {
        Say("Wrong ASCII value fetched for tag %lu in %s%s: \"%s\", expected none.", tag, filename,
            After(place).c_str(), got);
        return;
    }
    Say("Wrong ASCII value fetched for tag %lu in %s%s: \"%s\", expected \"%s\".", tag, filename,
        After(place).c_str(), got, expect);
}

void SayCantDirectory(const char *verb, const char *filename, const char *place)
{
    Say("%scan't %s the directory.", Prefix(filename, place).c_str(), verb);
}

void SayMissingOnDisk(unsigned long tag, const char *filename, const char *place)
{
    Say("%stag %lu on disk: missing.", Prefix(filename, place).c_str(), tag);
}

void SayWrongEntry(const ifd::Entry &e, const char *filename, const char *expected,
                   unsigned long count, const char *place)
{
    Say("%stag %u on disk: %s[%" PRIu64 "], expected %s[%lu].", Prefix(filename, place).c_str(),
        e.tag, ifd::TypeName(e.type), e.count, expected, count);
}

void SayWrongValueOnDisk(unsigned long tag, const char *filename, unsigned long i, uint64_t got,
                         uint64_t expect, const char *place)
{
    Say("%stag %lu on disk: value %lu is 0x%" PRIx64 ", expected 0x%" PRIx64 ".",
        Prefix(filename, place).c_str(), tag, i, got, expect);
}

void SayWrongNumberOnDisk(unsigned long tag, const char *filename, unsigned long i, double got,
                          double expect, const char *place)
{
    Say("%stag %lu on disk: value %lu is %.9g, expected %.9g.", Prefix(filename, place).c_str(),
        tag, i, got, expect);
}

void SayWrongByteOnDisk(unsigned long tag, const char *filename, unsigned long i, unsigned got,
                        unsigned expect, const char *place)
{
    Say("%stag %lu on disk: byte %lu is 0x%02x, expected 0x%02x.", Prefix(filename, place).c_str(),
        tag, i, got, expect);
}

void SayCantWrite(const char *filename, const char *place)
{
    Say("Can't write image data in %s%s.", filename, After(place).c_str());
}

void SayCantRead(const char *unit, unsigned long index, const char *filename, const char *place)
{
    Say("Can't read image data in %s %lu of %s%s.", unit, index, filename, After(place).c_str());
}

void SayWrongImage(const char *unit, unsigned long index, const char *filename, const char *place)
{
    Say("Wrong image data in %s %lu of %s%s.", unit, index, filename, After(place).c_str());
}

void SayWrongImageByte(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long byte, unsigned got, unsigned expect)
{
    Say("Wrong image data in %s %lu of %s%s: byte %lu is 0x%02x, expected 0x%02x.", unit, index,
        filename, After(place).c_str(), byte, got, expect);
}

void SayMoreWrongBytes(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long more, const char *what, unsigned long last)
{
    Say("Wrong image data in %s %lu of %s%s: %lu more %s differ, the last at byte %lu.", unit,
        index, filename, After(place).c_str(), more, what, last);
}

void SayMoreWrongImages(const char *unit, unsigned long from, const char *filename,
                        const char *place, unsigned long more, unsigned long last)
{
    Say("Wrong image data in %s %lu of %s%s: %lu wrong %ss from here to %s %lu, not named.", unit,
        from, filename, After(place).c_str(), more, unit, unit, last);
}

void SayMoreWrongOnDisk(const char *unit, unsigned long from, unsigned page, const char *filename,
                        unsigned long more, unsigned long last)
{
    Say("%s: %s %lu on disk: page %u: %lu wrong %ss from here to %s %lu, not named.", filename,
        unit, from, page, more, unit, unit, last);
}

bool ReadFormat(const char *filename, bool big_endian, bool bigtiff, OnDisk *disk)
{
    const ifd::Error err = ReadOnDisk(filename, disk);
    const ifd::File &file = disk->file;

    if (err || !file.has_header) {
        Say("%s: header: %s.", filename, (err ? err : file.problems[0]).what.c_str());
        return false;
    }
    const ifd::Header &header = file.header;
    if (header.big_endian != big_endian || header.bigtiff != bigtiff) {
        Say("%s: header: %s version %d, expected %s version %d.", filename,
            header.big_endian ? "MM" : "II", header.bigtiff ? 43 : 42, big_endian ? "MM" : "II",
            bigtiff ? 43 : 42);
        return false;
    }
    return NoProblems(filename, file);
}

bool ReadFormat(const Layout &layout, OnDisk *disk)
{
    return ReadFormat(layout.filename, layout.big_endian, layout.bigtiff, disk);
}

void SayIfdCount(const char *filename, uint64_t first, unsigned long count, unsigned long expect)
{
    Say("%s: IFD at %" PRIu64 ": %lu IFDs in the file, expected %lu.", filename, first, count,
        expect);
}

bool PagesOnDisk(const ifd::File &file, size_t pages, const char *filename)
{
    if (file.chain.size() == pages)
        return true;
    Say("%s: expected %zu pages, the file holds %zu.", filename, pages, file.chain.size());
    return false;
}

int VSet(TIFF *tif, uint32_t tag, ...)
{
    va_list ap;
    va_start(ap, tag);
    const int got = TIFFVSetField(tif, tag, ap);
    va_end(ap);
    return got;
}

int VGet(TIFF *tif, uint32_t tag, ...)
{
    va_list ap;
    va_start(ap, tag);
    const int got = TIFFVGetField(tif, tag, ap);
    va_end(ap);
    return got;
}

} // namespace probe
