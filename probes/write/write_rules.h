// The write matrix's rules: what the library must write for each row of the
// read matrix's table (matrix::Rows(), from field_table), one value class at
// a time, each class a rule with the standard or man page that gives it.
// Nothing here touches the TIFF library: the one thing of the library's a
// case depends on is the width of the call's argument (Arg), which the
// library's own description of the field gives at run time.
#ifndef TIFF_PROBES_WRITE_RULES_H
#define TIFF_PROBES_WRITE_RULES_H

#include <cstdint>
#include <string>
#include <vector>

#include "matrix_rules.h"

namespace write_matrix {

using matrix::Outcome;
using matrix::Row;

// How TIFFSetField takes one value of the field: `size` bytes, a float or
// double (`real`), signed or not.
struct Arg {
    unsigned size = 0;
    bool real = false;
};

struct Case {
    std::string klass;     // "at its type's greatest value", for the line
    std::string slug;      // "max", for the file name
    const char *rule = ""; // as docs/probes.md names it
    Outcome outcome = Outcome::Exact;
    uint16_t samples = 1;    // SamplesPerPixel of the case's image
    bool after_data = false; // set once the strip is written
    // The values set, as the call takes them: integers as their bits
    // (signed ones sign-extended), reals, or a text with its NUL.
    std::vector<uint64_t> ints;
    std::vector<double> reals;
    std::string text;
    // What stands on disk once accepted: the entry's count.
    uint64_t disk_count = 0;
    // after_data: the value set before the strip, which stays; none for a
    // field not set before, which stays absent.
    std::vector<uint64_t> before;

    size_t Count() const { return !text.empty() ? text.size() : ints.size() + reals.size(); }
};

// The rows the write matrix writes: matrix::Rows() but the image's own
// fields that FixedOnceWritten does not name.
bool Writes(const Row &row);
// The fields TIFFSetField(3tiff) marks "†": set once data is written,
// refused ("Cannot modify tag ... while writing").
bool FixedOnceWritten(uint16_t tag);

// The cases of `row` in one format, its argument as `arg`.
std::vector<Case> Derive(const Row &row, bool bigtiff, const Arg &arg);

// The count that fills the inline slot of `type` in the format (4 bytes,
// 8 in BigTIFF), 0 when one value is over it.
uint64_t SlotFill(uint16_t type, bool bigtiff);

// The least and greatest values of `type` that an argument `arg` carries
// exactly, as the bits Case::ints or the numbers Case::reals hold.
std::vector<double> RealLimits(uint16_t type, const Arg &arg);
void IntLimits(uint16_t type, const Arg &arg, uint64_t *lo, uint64_t *hi);

} // namespace write_matrix

#endif
