// What the read matrix's sources share: its cases' files in memory, the
// library's view of a field against the file's, and the structural cases.
#ifndef TIFF_PROBES_MATRIX_DETAIL_H
#define TIFF_PROBES_MATRIX_DETAIL_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <tiffio.h>

#include "fetch.h"
#include "ifd_writer.h"
#include "matrix_rules.h"
#include "read_cases.h"

namespace matrix::detail {

constexpr size_t strip_bytes = 8;

// The first thing that broke in the case in `bytes`, opened as `name` over
// that memory and judged by `check`; empty when nothing did. A file the
// library will not open is a refusal; a library message fails an Exact case.
std::string Judge(const char *name, const std::vector<uint8_t> &bytes, Outcome outcome,
                  const std::function<std::string(TIFF *)> &check);

struct File {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> pixels; // both strips
    ifd::Field expect;           // the field under test, as a read must give it
    bool image = false;          // the field describes the image
    uint64_t sub_at = 0;         // the EXIF or GPS IFD holding the field
    ifd::Field slot;             // what the entry's value slot holds, read as the field
};

File Build(const Row &row, const Variant &v, const read_cases::Format &fmt);

// One field of a file of several: a row and one of its variants.
struct Pick {
    const Row *row;
    const Variant *variant;
};

// A file of several rows' variants, each row's tag once in its IFD, laid out
// as Build lays out one: the pixels, the main IFD (the image, the main and
// private fields, the links), the EXIF and GPS IFDs, each IFD's values after
// it; a value straddling the end of the file ends it, and values past the
// end lie 64 bytes past it. Build of one variant is BuildMany of one pick.
struct Combined {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> pixels;          // both strips
    uint64_t exif_at = 0, gps_at = 0;     // the linked IFDs, 0 for none
    std::vector<ifd::Field> expect, slot; // each pick's, as File has them
};

// The structural classes a file of several picks may take as well: the
// main IFD's entries in descending order, the strips in the file's reverse
// order.
struct Shapes {
    bool descending = false;
    bool strips_reversed = false;
};

Combined BuildMany(const std::vector<Pick> &picks, const read_cases::Format &fmt,
                   const Shapes &shapes = Shapes());

// The first thing that broke in the file `c` of `picks`, opened as `name`;
// empty when nothing did. Each pick is judged as the matrix judges its case
// alone; the file is Exact when every pick is, and a strip read may fail
// only where an image field's pick is not Exact. What broke a field starts
// with the field's key ("tag 274: ", "EXIF IFD: tag 33434: "). The two
// conversions the matrix reports as lines of their own, whatever the field
// (a RATIONAL fetched as the float quotient of its parts; in the EXIF and GPS
// IFDs, values read from the bytes of the entry's offset), are known defects
// and break nothing here.
// `structure`: the outcome of the file's structural classes, Exact for none.
std::string CheckMany(const std::vector<Pick> &picks, const Combined &c, const char *name,
                      Outcome structure = Outcome::Exact);

// `check` run in a child process: what it returns, or what stopped it, with
// `*signal` the signal that did (the caller's to tell).
std::string Apart(const std::function<std::string()> &check, int *signal);

// The rows whose cases the library may stop on an assertion (matrix.cpp
// says which): each case of them runs in a child of its own.
bool Guarded(const Row &row);

// A row's field as the lines name it: "tag 274", "EXIF IFD: tag 33434".
std::string Key(const Row &row);

// The name of a case's file: read_TAG_SLUG_le.tif, read_exif_TAG_..., ...
std::string CaseName(const Row &row, const Variant &v, const read_cases::Format &fmt);

// Registers the private rows' tags with every handle opened from now on
// (`on`), or no longer.
void RegisterPrivate(bool on);

std::vector<uint8_t> Pixels(unsigned seed, size_t n);
// Bytes `from` to `to` of `bytes`.
std::vector<uint8_t> Slice(const std::vector<uint8_t> &bytes, size_t from, size_t to);
// The image fields of a 4 x 4 gray page in two strips at `s0`.
std::vector<ifd::Field> Image(uint64_t s0, uint64_t s1, uint64_t width = 4, uint64_t bits = 8,
                              uint64_t rows = 2, uint64_t count0 = strip_bytes,
                              uint64_t count1 = strip_bytes);
void Insert(std::vector<ifd::Field> *fields, const ifd::Field &f);

// Empty when the values given are the field's; else what differs. A value
// that is the parts' float quotient sets `rounded`.
std::string Differs(const read_fetch::Got &got, const ifd::Field &f, bool *rounded = nullptr);

// A structural case, judged by what it builds.
struct Structural {
    const char *klass;
    const char *slug;
    std::vector<uint8_t> bytes;
    std::string what; // the first thing that broke, empty when none
    Outcome outcome;
    // What an exact case's pages mean, for a second reader: every field as
    // written and each page's image.
    std::vector<read_cases::Directory> pages;
};

// The structural cases: how many, what case i is, and case i built and
// judged in the format.
size_t StructuralCount();
// A structural class as the matrix names and judges it.
struct StructuralClass {
    const char *klass;
    const char *slug;
    Outcome outcome;
    const char *rule; // as docs/probes.md names it
};
StructuralClass StructuralAt(size_t i);
Structural CheckStructural(size_t i, const read_cases::Format &fmt);

// The class of the structural case `slug` ("descending"); false for none.
bool StructuralRule(const std::string &slug, StructuralClass *out);

} // namespace matrix::detail

#endif
