// Prints what ifd_reader reads in a file, for tests/tifffile_check.py to
// compare with another reader: for each IFD of the chain, then for each IFD
// that an entry points to (SubIFDs, Exif, GPS, Interoperability, to any
// depth, in the order first reached), a line "ifd OFFSET next NEXT" (NEXT the
// offset of the next IFD as the IFD holds it, 0 at the end or when it is cut
// off) and one line "TAG TYPE COUNT V1 V2 ..." per entry, values as
// their raw bits in decimal (RATIONALs as numerator and denominator). The
// sound part is printed even when the file has problems; the problems go to
// standard error, and the exit status is then 1.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "ifd_reader.h"

namespace {

void Print(const ifd::Directory &dir)
{
    printf("ifd %" PRIu64 " next %" PRIu64 "\n", dir.offset, dir.next);
    for (const ifd::Entry &e : dir.entries) {
        printf("%u %u %" PRIu64, e.tag, e.type, e.count);
        for (const uint64_t v : e.values)
            printf(" %" PRIu64, v);
        printf("\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<uint8_t> bytes;

    if (argc != 2) {
        fprintf(stderr, "usage: ifd_dump FILE\n");
        return 2;
    }
    const ifd::Error err = ifd::LoadFile(argv[1], &bytes);
    if (err) {
        fprintf(stderr, "%s: %s at offset %" PRIu64 "\n", argv[1], err.what.c_str(), err.offset);
        return 1;
    }
    const ifd::File file = ifd::ReadFile(bytes.data(), bytes.size());
    // A hostile file may have a problem per few bytes: one write per line
    // would cost more than the reading.
    static char buffer[1 << 16];
    setvbuf(stderr, buffer, _IOFBF, sizeof(buffer));
    for (const ifd::Directory &dir : file.chain)
        Print(dir);
    for (const ifd::Directory &dir : file.linked)
        Print(dir);
    for (const ifd::Error &problem : file.problems)
        fprintf(stderr, "%s: %s at offset %" PRIu64 "\n", argv[1], problem.what.c_str(),
                problem.offset);
    return file.problems.empty() ? 0 : 1;
}
