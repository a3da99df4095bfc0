// Prints what ifd_reader reads in a file, for tests/tifffile_check.py to
// compare with another reader: for each IFD of the chain, then for each IFD
// that a SubIFDs, Exif or GPS entry points to, a line "ifd OFFSET" and one
// line "TAG TYPE COUNT V1 V2 ..." per entry, values as their raw bits in
// decimal (RATIONALs as numerator and denominator).
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "ifd_reader.h"

namespace {

void Print(const ifd::Directory &dir)
{
    printf("ifd %" PRIu64 "\n", dir.offset);
    for (const ifd::Entry &e : dir.entries) {
        printf("%u %u %" PRIu64, e.tag, e.type, e.count);
        for (const uint64_t v : e.values)
            printf(" %" PRIu64, v);
        printf("\n");
    }
}

// SubIFDs, Exif and GPS: tags whose values are offsets of further IFDs.
bool PointsToIfds(const ifd::Entry &e)
{
    return e.tag == 330 || e.tag == 34665 || e.tag == 34853;
}

// The chain, then the IFDs that its entries point to.
ifd::Error ReadAll(const std::vector<uint8_t> &bytes, std::vector<ifd::Directory> *dirs)
{
    ifd::Reader reader(bytes.data(), bytes.size());
    ifd::Header header;

    ifd::Error err = reader.ReadHeader(&header);
    if (!err)
        err = reader.ReadChain(dirs);
    const size_t chain_length = dirs->size();
    for (size_t i = 0; i < chain_length && !err; i++) {
        std::vector<uint64_t> offsets;
        for (const ifd::Entry &e : (*dirs)[i].entries) {
            if (PointsToIfds(e))
                offsets.insert(offsets.end(), e.values.begin(), e.values.end());
        }
        for (size_t k = 0; k < offsets.size() && !err; k++) {
            ifd::Directory sub;
            err = reader.ReadDirectory(offsets[k], &sub);
            dirs->push_back(std::move(sub));
        }
    }
    return err;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<uint8_t> bytes;
    std::vector<ifd::Directory> dirs;

    if (argc != 2) {
        fprintf(stderr, "usage: ifd_dump FILE\n");
        return 2;
    }
    ifd::Error err = ifd::LoadFile(argv[1], &bytes);
    if (!err)
        err = ReadAll(bytes, &dirs);
    if (err) {
        fprintf(stderr, "%s: %s at offset %" PRIu64 "\n", argv[1], err.what.c_str(), err.offset);
        return 1;
    }
    for (const ifd::Directory &dir : dirs)
        Print(dir);
    return 0;
}
