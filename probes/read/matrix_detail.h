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
};

// The structural cases: how many, what case i is, and case i built and
// judged in the format.
size_t StructuralCount();
struct StructuralClass {
    const char *klass;
    const char *slug;
    Outcome outcome;
    const char *rule; // as docs/probes.md names it
};
StructuralClass StructuralAt(size_t i);
Structural CheckStructural(size_t i, const read_cases::Format &fmt);

} // namespace matrix::detail

#endif
