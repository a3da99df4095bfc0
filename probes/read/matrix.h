// The read matrix: the cases matrix_rules derives, built in memory in every
// layout, opened with TIFFClientOpen over that memory and checked against
// the outcome of their rule and the invariant of every case. A failure
// becomes one line per broken rule and field, with the number of cases that
// broke it and the first one's file, written to the working directory.
#ifndef TIFF_PROBES_MATRIX_H
#define TIFF_PROBES_MATRIX_H

#include <cstddef>

namespace matrix {

struct Totals {
    size_t cases = 0;
    size_t failed = 0;
};

// Runs every case; says the lines; true when every case passed.
bool Run(Totals *totals = nullptr);

} // namespace matrix

#endif
