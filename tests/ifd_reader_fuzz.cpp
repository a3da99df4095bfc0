// libFuzzer target for the structure reader: whatever the bytes, it returns a
// reading or an error, never crashes, reads out of bounds or allocates
// without bound. Built with clang++ (-fsanitize=fuzzer,address,undefined).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ifd_reader.h"

namespace {

// SubIFDs, Exif and GPS: tags whose values are offsets of further IFDs.
bool PointsToIfds(const ifd::Entry &e)
{
    const bool offset_type = e.type == ifd::IFD || e.type == ifd::IFD8 || e.type == ifd::LONG;
    return offset_type && (e.tag == 330 || e.tag == 34665 || e.tag == 34853);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ifd::Reader reader(data, size);
    ifd::Header header;
    if (reader.ReadHeader(&header))
        return 0;
    // After an error the chain holds the IFDs read before it; read their
    // sub-IFDs all the same.
    std::vector<ifd::Directory> chain;
    reader.ReadChain(&chain);
    for (const ifd::Directory &dir : chain) {
        for (const ifd::Entry &e : dir.entries) {
            if (!PointsToIfds(e))
                continue;
            for (const uint64_t offset : e.values) {
                ifd::Directory sub;
                reader.ReadDirectory(offset, &sub);
            }
        }
    }
    return 0;
}
