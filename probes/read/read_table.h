// The expectations of read_probe's legal files as text, for a second reader
// (tests/read_files.py reads each file with tifffile and compares): the
// catalogue's well-formed cases (TIFF_PROBES_READ_TABLE) and the read
// matrix's exact ones (TIFF_PROBES_MATRIX_DIR) share this one format.
#ifndef TIFF_PROBES_READ_TABLE_H
#define TIFF_PROBES_READ_TABLE_H

#include <cstdio>
#include <string>
#include <vector>

#include "read_cases.h"

namespace read_table {

// The first line, "H big" or "H little": the byte order the images are
// exported in, the host's, which may not be the reader's (a cross build
// under emulation).
void Begin(FILE *table);

// One file: "F NAME", then per directory "D PLACE" (the page's index, then
// "/SubIFD_K", "/EXIF" or "/GPS" for the IFDs it links), its fields
// "T TAG TYPE RULE ELEMENTS..." (the elements as ifd::Field holds them; RULE
// one of "EANOL" for read_cases::Rule) and, for strips, "I HEX" (the image as
// read, in the host's order).
void Export(FILE *table, const std::string &name, const std::vector<read_cases::Directory> &pages);

} // namespace read_table

#endif
