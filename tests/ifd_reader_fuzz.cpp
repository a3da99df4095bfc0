// libFuzzer target for the structure reader: whatever the bytes, the whole
// file's reading returns what is sound and a list of problems, never
// crashes, reads out of bounds or allocates without bound. Built with
// clang++ (-fsanitize=fuzzer,address,undefined).
#include <cstddef>
#include <cstdint>
#include <set>

#include "ifd_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ifd::File file = ifd::ReadFile(data, size);
    std::set<uint64_t> offsets;
    uint64_t value_bytes = 0;
    for (const std::vector<ifd::Directory> *dirs : {&file.chain, &file.linked}) {
        for (const ifd::Directory &dir : *dirs) {
            // Each IFD read once, found again by its offset.
            if (!offsets.insert(dir.offset).second || file.Find(dir.offset) != &dir)
                __builtin_trap();
            // What is kept is sound: a known type, values inside the file.
            for (const ifd::Entry &e : dir.entries) {
                const uint64_t length = e.count * ifd::TypeSize(e.type);
                if (ifd::TypeSize(e.type) == 0 || e.value_at > size || length > size - e.value_at)
                    __builtin_trap();
                value_bytes += length;
            }
        }
    }
    // One value budget for the whole file.
    if (value_bytes > size)
        __builtin_trap();
    return 0;
}
