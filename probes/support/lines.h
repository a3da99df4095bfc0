// The newer probes' lines. Every line is a row of the table of forms
// (line_forms.h) and is printed by Say<id>, whose arguments the compiler
// checks against the row's format; the routines below fill in the forms that
// several probes share, so that every probe words them alike
// (docs/lines.md).
#ifndef TIFF_PROBES_LINES_H
#define TIFF_PROBES_LINES_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "ifd_reader.h"
#include "line_forms.h"

namespace probe {

namespace detail {
// Writes one line, as printf formats it, then a newline: on standard error,
// or on standard output for the one line that is no failure.
void Emit(bool to_stdout, const char *format, ...) __attribute__((format(printf, 2, 3)));
} // namespace detail

// Prints one line of the form `Id`. A failure line goes to standard error;
// "skipped: ..." (Line::Skipped), for a part of a probe the library cannot
// run, to standard output, and only from a run that passed, so that every
// line of a failed run is a failure line.
namespace detail {
// True when `format` holds no conversion: a row printed without values.
constexpr bool Plain(const char *format)
{
    for (; *format; format++) {
        if (*format == '%')
            return false;
    }
    return true;
}
} // namespace detail

template <Line Id, typename... Args>
void Say(Args... args)
{
    constexpr const char *format = line_forms[static_cast<size_t>(Id)].format;
    constexpr bool to_stdout = Id == Line::Skipped || Id == Line::SkippedNoOptions;
    static_assert(!line_forms[static_cast<size_t>(Id)].original,
                  "the original probes print their own lines");
    // A row without values is printed as a value, not as a format.
    if constexpr (sizeof...(Args) == 0) {
        static_assert(detail::Plain(format), "a row with conversions needs its values");
        detail::Emit(to_stdout, "%s", format);
    } else {
        detail::Emit(to_stdout, format, args...);
    }
}

// ", PLACE" after a file name in a line that begins with a verb, and
// "PLACE: " after the file name's field; nothing for a null place.
std::string After(const char *place);
std::string Field(const char *place);

// The failure lines of the probes that set and fetch fields, one routine a
// line so that every probe words them alike (docs/lines.md). A line about
// one page or directory names it: PLACE, e.g. "page 2" or "EXIF IFD", follows
// the file name, after a comma in the lines that begin with a verb, as its
// own field in the lines that begin with the file name; a null place is
// left out.
//
// "Can't set tag N in NAME[, PLACE]."
void SayCantSet(unsigned long tag, const char *filename, const char *place = nullptr);
// "Problem fetching tag N in NAME[, PLACE]."
void SayProblemFetching(unsigned long tag, const char *filename, const char *place = nullptr);
// "Wrong TYPE value fetched for tag N in NAME[, PLACE]: value I is 0xGOT,
// expected 0xEXPECT." Integers and the bits of reals.
void SayWrongValue(const char *type, unsigned long tag, const char *filename, unsigned long i,
                   uint64_t got, uint64_t expect, const char *place = nullptr);
// "Wrong TYPE value fetched for tag N in NAME[, PLACE]: value I is GOT,
// expected EXPECT." Numbers compared as numbers, as %.9g prints them.
void SayWrongNumber(const char *type, unsigned long tag, const char *filename, unsigned long i,
                    double got, double expect, const char *place = nullptr);
// "Wrong TYPE value fetched for tag N in NAME[, PLACE]: GOT values, expected
// EXPECT."
void SayWrongCount(const char *type, unsigned long tag, const char *filename, unsigned long got,
                   unsigned long expect, const char *place = nullptr);
// "Wrong ASCII value fetched for tag N in NAME[, PLACE]: "GOT", expected
// "EXPECT"." A null `expect` is a field that should not be there: "expected
// none".
void SayWrongText(unsigned long tag, const char *filename, const char *got, const char *expect,
                  const char *place = nullptr);

// "NAME: PLACE: can't VERB the directory.", VERB being what the library
// refused: create, write, rewrite, read (TIFFReadDirectory, TIFFSetDirectory
// and the custom directories' reads alike), unlink.
void SayCantDirectory(const char *verb, const char *filename, const char *place);

// The lines about an entry on disk:
// "NAME: [PLACE: ]tag N on disk: missing."
void SayMissingOnDisk(unsigned long tag, const char *filename, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: TYPE[COUNT], expected EXPECTED[N]."
void SayWrongEntry(const ifd::Entry &e, const char *filename, const char *expected,
                   unsigned long count, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: value I is 0xGOT, expected 0xEXPECT."
void SayWrongValueOnDisk(unsigned long tag, const char *filename, unsigned long i, uint64_t got,
                         uint64_t expect, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: value I is GOT, expected EXPECT." (%.9g)
void SayWrongNumberOnDisk(unsigned long tag, const char *filename, unsigned long i, double got,
                          double expect, const char *place = nullptr);
// "NAME: [PLACE: ]tag N on disk: byte I is 0xGG, expected 0xEE."
void SayWrongByteOnDisk(unsigned long tag, const char *filename, unsigned long i, unsigned got,
                        unsigned expect, const char *place = nullptr);

// The lines about image data, UNIT being "strip" or "tile":
// "Can't write image data in NAME[, PLACE]."
void SayCantWrite(const char *filename, const char *place = nullptr);
// A read that gives fewer bytes than the chunk holds, or fails:
// "Can't read image data in UNIT I of NAME[, PLACE]."
void SayCantRead(const char *unit, unsigned long index, const char *filename,
                 const char *place = nullptr);
// A read that gives the chunk's size, but other bytes:
// "Wrong image data in UNIT I of NAME[, PLACE]."
void SayWrongImage(const char *unit, unsigned long index, const char *filename,
                   const char *place = nullptr);
// A chunk read back: true when the read gave all `size` bytes and they are
// the ones written (`same`); otherwise says SayCantRead's line for a read
// that failed or gave fewer or more bytes, SayWrongImage's for other bytes.
bool ReadBack(const char *unit, unsigned long index, int64_t n, size_t size, bool same,
              const char *filename, const char *place = nullptr);
// "Wrong image data in UNIT I of NAME[, PLACE]: byte B is 0xGG, expected
// 0xEE."
void SayWrongImageByte(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long byte, unsigned got, unsigned expect);

// "skipped: no X codec", once per codec CodecOrNone (skeleton.h) dropped, in
// the order dropped (X as codec_probe names it: LZW, JPEG, Deflate, CCITT,
// ...).
void SayCodecSkips();

// A check goes on past a wrong item, so that a known defect in one hides no
// other: it names the first few wrong items and counts the rest.
constexpr unsigned long named_problems = 3;
// The wrong items of such a check, in order: the caller names the ones met
// while Naming(); the others are counted, from item `from` to item `last`.
struct Tally {
    unsigned long wrong = 0;
    unsigned long from = 0;
    unsigned long last = 0;
    bool Naming() const { return wrong < named_problems; }
    void Add(unsigned long item)
    {
        if (wrong == named_problems)
            from = item;
        last = item;
        wrong++;
    }
    unsigned long Unnamed() const { return wrong > named_problems ? wrong - named_problems : 0; }
};
// After the first wrong byte (or value) of a chunk, the others: "Wrong image
// data in UNIT I of NAME[, PLACE]: N more WHAT differ, the last at byte B."
void SayMoreWrongBytes(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long more, const char *what, unsigned long last);
// After `named_problems` wrong chunks, the rest: "Wrong image data in UNIT I
// of NAME[, PLACE]: N wrong UNITs from here to UNIT L, not named."
void SayMoreWrongImages(const char *unit, unsigned long from, const char *filename,
                        const char *place, unsigned long more, unsigned long last);
// The same on disk: "NAME: UNIT I on disk: page P: N wrong UNITs from here
// to UNIT L, not named."
void SayMoreWrongOnDisk(const char *unit, unsigned long from, unsigned page, const char *filename,
                        unsigned long more, unsigned long last);

// After the first wrong value of a field fetched, the others: "Wrong TYPE
// value fetched for tag N in NAME[, PLACE]: M more values differ, the last
// at value L."
void SayMoreWrongValues(const char *type, unsigned long tag, const char *filename,
                        unsigned long more, unsigned long last, const char *place = nullptr);
// The same on disk, `unit` "value" or "byte": "NAME: [PLACE: ]tag N on disk:
// M more UNITs differ, the last at UNIT L."
void SayMoreOnDisk(unsigned long tag, const char *filename, const char *unit, unsigned long more,
                   unsigned long last, const char *place = nullptr);

// "NAME: IFD at FIRST: N IFDs in the file, expected M.", the IFDs of every
// kind counted, FIRST the header's first.
void SayIfdCount(const char *filename, uint64_t first, unsigned long count, unsigned long expect);

} // namespace probe

#endif
