#include "lines.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>

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

void SayIfdCount(const char *filename, uint64_t first, unsigned long count, unsigned long expect)
{
    Say("%s: IFD at %" PRIu64 ": %lu IFDs in the file, expected %lu.", filename, first, count,
        expect);
}

} // namespace probe
