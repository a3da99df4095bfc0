// The newer probes' lines: the reporter, and one routine a form for the
// forms several probes share (docs/lines.md lists them).
#ifndef TIFF_PROBES_LINES_H
#define TIFF_PROBES_LINES_H

#include <cstdint>

#include "ifd_reader.h"

namespace probe {

// The reporter: writes one failure line on standard error, the text as
// printf formats it, then a newline. No other code of the newer probes
// prints; the Say* routines below word the lines that several probes share.
void Say(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The one line that is no failure: "skipped: WHAT" on standard output, for
// a part of a probe the library under test cannot run (a codec it lacks).
// A probe says it only when it passed, so that every line of a failed run
// is a failure line.
void SaySkipped(const char *format, ...) __attribute__((format(printf, 1, 2)));

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
// refused: create, write, rewrite, read, unlink.
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
// "Can't read image data in UNIT I of NAME[, PLACE]."
void SayCantRead(const char *unit, unsigned long index, const char *filename,
                 const char *place = nullptr);
// "Wrong image data in UNIT I of NAME[, PLACE]."
void SayWrongImage(const char *unit, unsigned long index, const char *filename,
                   const char *place = nullptr);
// "Wrong image data in UNIT I of NAME[, PLACE]: byte B is 0xGG, expected
// 0xEE."
void SayWrongImageByte(const char *unit, unsigned long index, const char *filename,
                       const char *place, unsigned long byte, unsigned got, unsigned expect);

// "NAME: IFD at FIRST: N IFDs in the file, expected M.", the IFDs of every
// kind counted, FIRST the header's first.
void SayIfdCount(const char *filename, uint64_t first, unsigned long count, unsigned long expect);

} // namespace probe

#endif
