// read_probe's checks of a case's file: every page, SubIFD, EXIF and GPS IFD
// the library reads against what the catalogue wants, and the chain of
// pages as the library counts, reaches and walks it.
#ifndef TIFF_PROBES_READ_CHECK_H
#define TIFF_PROBES_READ_CHECK_H

#include "read_cases.h"

// Whether the file `name`, built as `b`, reads as it should; says each
// problem.
bool CheckFile(const read_cases::Built &b, const char *name);

#endif
