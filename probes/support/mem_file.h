// A file in memory for TIFFClientOpen: the read matrix's cases are read from
// one, write_probe's are written into one and read back from it, so no case
// creates a file.
#ifndef TIFF_PROBES_MEM_FILE_H
#define TIFF_PROBES_MEM_FILE_H

#include <cstdint>
#include <vector>

#include <tiffio.h>

namespace probe {

struct MemFile {
    std::vector<uint8_t> *bytes; // the file; writes grow it
    bool writable = false;       // false: every write fails, and the file is mapped
    uint64_t at = 0;
};

// Opens `m` as the file `name` in `mode` (TIFFOpen(3tiff)'s modes).
TIFF *OpenMemFile(const char *name, const char *mode, MemFile *m);

} // namespace probe

#endif
