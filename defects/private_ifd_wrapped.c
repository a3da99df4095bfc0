/* A private IFD field read from a LONG8 above 32 bits wraps
 * (docs/known-defects.md).
 *
 * A private field of type IFD and one value, registered with
 * TIFFMergeFieldInfo(3tiff), is stored in a little-endian BigTIFF file,
 * built byte by byte, as the LONG8 4294967296 (2^32). An IFD value is 32
 * bits: a reader may ignore the field, or give 2^32 where its interface is
 * wide enough; its low 32 bits are another value.
 *
 * Exit status: 0 when the field is absent or 2^32, 1 when it is another
 * value (the defect; printed), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define TAG 65413

static unsigned char file[512];
static TIFFExtendProc previous;
static char name[] = "private ifd";

static void add_field(TIFF *tif)
{
    static const TIFFFieldInfo info[] = {{TAG, 1, 1, TIFF_IFD, FIELD_CUSTOM, 1, 0, name}};
    TIFFMergeFieldInfo(tif, info, 1);
    if (previous)
        previous(tif);
}

static void put(unsigned at, uint64_t v, unsigned width)
{
    for (unsigned i = 0; i < width; i++)
        file[at + i] = (unsigned char)(v >> (8 * i));
}

static void entry(unsigned i, unsigned tag, unsigned type, uint64_t value)
{
    const unsigned at = 16 + 8 + 20 * i;
    put(at, tag, 2);
    put(at + 2, type, 2);
    put(at + 4, 1, 8);
    put(at + 12, value, 8);
}

int main(void)
{
    const unsigned entries = 9;
    const unsigned pixel = 16 + 8 + 20 * entries + 8;
    const unsigned size = pixel + 1;
    uint64_t value[2] = {0, 0};
    const TIFFField *field;
    FILE *f;
    TIFF *tif;
    int wrong = 0, width;

    file[0] = 'I';
    file[1] = 'I';
    put(2, 43, 2);
    put(4, 8, 2);
    put(6, 0, 2);
    put(8, 16, 8);
    put(16, entries, 8);
    entry(0, 256, 3, 1);
    entry(1, 257, 3, 1);
    entry(2, 258, 3, 8);
    entry(3, 259, 3, 1);
    entry(4, 262, 3, 1);
    entry(5, 273, 16, pixel); /* StripOffsets, LONG8 */
    entry(6, 278, 3, 1);
    entry(7, 279, 16, 1);
    entry(8, TAG, 16, (uint64_t)1 << 32); /* the private IFD as LONG8 2^32 */
    put(16 + 8 + 20 * entries, 0, 8);
    file[pixel] = 7;

    previous = TIFFSetTagExtender(add_field);
    f = fopen("private_ifd_wrapped.tif", "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return 2;
    tif = TIFFOpen("private_ifd_wrapped.tif", "r");
    if (!tif)
        return 2;
    field = TIFFFieldWithTag(tif, TAG);
    width = field ? TIFFFieldSetGetSize(field) : 0;
    if (TIFFGetField(tif, TAG, value)) {
        uint64_t got;
        if (width == 8) {
            memcpy(&got, value, 8);
        } else {
            uint32_t narrow;
            memcpy(&narrow, value, 4);
            got = narrow;
        }
        if (got != (uint64_t)1 << 32) {
            printf("tag %d (IFD, stored as LONG8 4294967296): %llu, %d bytes wide\n", TAG,
                   (unsigned long long)got, width);
            wrong = 1;
        }
    }
    TIFFClose(tif);
    remove("private_ifd_wrapped.tif");
    return wrong;
}
