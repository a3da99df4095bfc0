#include "lines.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "skeleton.h"

namespace probe {

void detail::Emit(bool to_stdout, const char *format, ...)
{
    FILE *out = to_stdout ? stdout : stderr;
    va_list ap;
    va_start(ap, format);
    vfprintf(out, format, ap);
    va_end(ap);
    fputc('\n', out);
}

std::string After(const char *place)
{
    return place ? std::string(", ") + place : std::string();
}

std::string Field(const char *place)
{
    return place ? std::string(place) + ": " : std::string();
}

void SayCantSet(unsigned long tag, const char *filename, const char *place)
{
    Say<Line::CantSet>(tag, filename, After(place).c_str());
}

void SayProblemFetching(unsigned long tag, const char *filename, const char *place)
{
    Say<Line::ProblemFetching>(tag, filename, After(place).c_str());
}

void SayWrongValue(const char *type, unsigned long tag, const char *filename, unsigned long i,
                   uint64_t got, uint64_t expect, const char *place)
{
    Say<Line::WrongValue>(type, tag, filename, After(place).c_str(), i, got, expect);
}

void SayWrongNumber(const char *type, unsigned long tag, const char *filename, unsigned long i,
                    double got, double expect, const char *place)
{
    Say<Line::WrongNumber>(type, tag, filename, After(place).c_str(), i, got, expect);
}

void SayWrongCount(const char *type, unsigned long tag, const char *filename, unsigned long got,
                   unsigned long expect, const char *place)
{
    Say<Line::WrongCount>(type, tag, filename, After(place).c_str(), got, expect);
}

void SayWrongText(unsigned long tag, const char *filename, const char *got, const char *expect,
                  const char *place)
{
    if (!expect)
        Say<Line::WrongTextNone>(tag, filename, After(place).c_str(), got);
    else
        Say<Line::WrongText>(tag, filename, After(place).c_str(), got, expect);
}

void SayCantDirectory(const char *verb, const char *filename, const char *place)
{
    Say<Line::CantDirectory>(filename, Field(place).c_str(), verb);
}

void SayMissingOnDisk(unsigned long tag, const char *filename, const char *place)
{
    Say<Line::MissingOnDisk>(filename, Field(place).c_str(), tag);
}

void SayWrongEntry(const ifd::Entry &e, const char *filename, const char *expected,
                   unsigned long count, const char *place)
{
    Say<Line::WrongEntry>(filename, Field(place).c_str(), static_cast<unsigned>(e.tag),
                          ifd::TypeName(e.type), e.count, expected, count);
}

void SayWrongValueOnDisk(unsigned long tag, const char *filename, unsigned long i, uint64_t got,
                         uint64_t expect, const char *place)
{
    Say<Line::WrongValueOnDisk>(filename, Field(place).c_str(), tag, i, got, expect);
}

void SayWrongNumberOnDisk(unsigned long tag, const char *filename, unsigned long i, double got,
                          double expect, const char *place)
{
    Say<Line::WrongNumberOnDisk>(filename, Field(place).c_str(), tag, i, got, expect);
}

void SayWrongByteOnDisk(unsigned long tag, const char *filename, unsigned long i, unsigned got,
                        unsigned expect, const char *place)
{
    Say<Line::WrongByteOnDisk>(filename, Field(place).c_str(), tag, i, got, expect);
}

void SayCantWrite(const char *filename, const char *place)
{
    Say<Line::CantWrite>(filename, After(place).c_str());
}

void SayCantRead(const char *unit, unsigned long index, const char *filename, const char *place)
{
    Say<Line::CantRead>(unit, index, filename, After(place).c_str());
}

void SayWrongImage(const char *unit, unsigned long index, const char *filename, const char *place)
{
    Say<Line::WrongImage>(unit, index, filename, After(place).c_str());
}

bool ReadBack(const char *unit, unsigned long index, int64_t n, size_t size, bool same,
              const char *filename, const char *place)
{
    if (n < 0 || static_cast<uint64_t>(n) != size) {
        SayCantRead(unit, index, filename, place);
        return false;
    }
    if (!same) {
        SayWrongImage(unit, index, filename, place);
        return false;
    }
    return true;
}

void SayWrongImageByte(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long byte, unsigned got, unsigned expect)
{
    Say<Line::WrongImageByte>(unit, index, filename, After(place).c_str(), byte, got, expect);
}

namespace {

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

void SayCodecSkips()
{
    std::vector<std::string> said;
    for (const uint16_t c : DroppedCodecs()) {
        const std::string name = CodecName(c);
        if (std::find(said.begin(), said.end(), name) == said.end())
            Say<Line::Skipped>(name.c_str());
        said.push_back(name);
    }
}

void SayMoreWrongBytes(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long more, const char *what, unsigned long last)
{
    Say<Line::MoreWrongBytes>(unit, index, filename, After(place).c_str(), more, what, last);
}

void SayMoreWrongImages(const char *unit, unsigned long from, const char *filename,
                        const char *place, unsigned long more, unsigned long last)
{
    Say<Line::MoreWrongImages>(unit, from, filename, After(place).c_str(), more, unit, unit, last);
}

void SayMoreWrongOnDisk(const char *unit, unsigned long from, unsigned page, const char *filename,
                        unsigned long more, unsigned long last)
{
    Say<Line::MoreWrongOnDisk>(filename, unit, from, page, more, unit, unit, last);
}

void SayMoreWrongValues(const char *type, unsigned long tag, const char *filename,
                        unsigned long more, unsigned long last, const char *place)
{
    Say<Line::MoreWrongValues>(type, tag, filename, After(place).c_str(), more, last);
}

void SayMoreOnDisk(unsigned long tag, const char *filename, const char *unit, unsigned long more,
                   unsigned long last, const char *place)
{
    Say<Line::MoreValuesOnDisk>(filename, Field(place).c_str(), tag, more, unit, unit, last);
}

void SayIfdCount(const char *filename, uint64_t first, unsigned long count, unsigned long expect)
{
    Say<Line::IfdCount>(filename, first, count, expect);
}

} // namespace probe
