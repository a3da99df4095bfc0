// A TIFF handle over bytes in memory (TIFFClientOpen), read-only over a
// caller's bytes or writable into bytes of its own: read_probe's matrix
// reads its files this way, write_probe writes its cases and reads them back,
// print_probe builds directories without a file.
#ifndef TIFF_PROBES_MEMORY_FILE_H
#define TIFF_PROBES_MEMORY_FILE_H

#include <cstdint>
#include <vector>

#include <tiffio.h>

namespace probe {

struct MemoryFile {
    const std::vector<uint8_t> *bytes;
    // The same bytes when the handle may write them; writes fail otherwise.
    std::vector<uint8_t> *writable = nullptr;
    uint64_t at = 0;
};

// Opens `mem` as the file `name` in `mode` (TIFFOpen(3tiff)'s modes), from
// its start. Read-only bytes are mapped where the mode allows it.
TIFF *OpenMemory(const char *name, const char *mode, MemoryFile *mem);

// A writable memory file of its own bytes.
struct OwnMemory {
    std::vector<uint8_t> bytes;
    MemoryFile file{&bytes, &bytes, 0};
    OwnMemory() = default;
    OwnMemory(const OwnMemory &) = delete;
    OwnMemory &operator=(const OwnMemory &) = delete;
};

} // namespace probe

#endif
