// libFuzzer target for the structure reader: whatever the bytes, the whole
// file's reading returns what is sound and a list of problems, never
// crashes, reads out of bounds or allocates without bound. Built with
// clang++ (-fsanitize=fuzzer,address,undefined).
#include <cstddef>
#include <cstdint>

#include "ifd_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ifd::File file = ifd::ReadFile(data, size);
    // Every IFD read is found again by its offset.
    for (const ifd::Directory &dir : file.linked) {
        if (file.Find(dir.offset) != &dir && file.Find(dir.offset) == nullptr)
            __builtin_trap();
    }
    return 0;
}
