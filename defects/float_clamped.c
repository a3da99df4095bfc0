/* A private FLOAT array read from a DOUBLE no float holds is given as
 * FLT_MAX (docs/known-defects.md).
 *
 * A private field of type FLOAT, registered with TIFFMergeFieldInfo(3tiff)
 * with a 32-bit count passed (TIFF_VARIABLE2), is stored in a little-endian
 * classic file, built byte by byte, as the one DOUBLE 1e300. No float holds
 * it: a reader may ignore the field, or give the float the double rounds to
 * (infinity); FLT_MAX is another value, and nothing says it was changed.
 *
 * Exit status: 0 when the field is absent or infinite, 1 when it is another
 * value (the defect; printed), 2 when the program cannot run. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define TAG 65111

static unsigned char file[512];
static TIFFExtendProc previous;
static char name[] = "private float";

static void add_field(TIFF *tif)
{
    static const TIFFFieldInfo info[] = {
        {TAG, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_FLOAT, FIELD_CUSTOM, 1, 1, name}};
    TIFFMergeFieldInfo(tif, info, 1);
    if (previous)
        previous(tif);
}

static void put(unsigned at, uint64_t v, unsigned width)
{
    for (unsigned i = 0; i < width; i++)
        file[at + i] = (unsigned char)(v >> (8 * i));
}

static void entry(unsigned i, unsigned tag, unsigned type, uint32_t value)
{
    const unsigned at = 8 + 2 + 12 * i;
    put(at, tag, 2);
    put(at + 2, type, 2);
    put(at + 4, 1, 4);
    put(at + 8, value, 4);
}

int main(void)
{
    const unsigned entries = 9;
    const unsigned value_at = 8 + 2 + 12 * entries + 4;
    const unsigned pixel = value_at + 8;
    const unsigned size = pixel + 1;
    const double big = 1e300;
    uint64_t bits;
    uint32_t count = 0;
    float *values = NULL;
    FILE *f;
    TIFF *tif;
    int wrong = 0;

    file[0] = 'I';
    file[1] = 'I';
    put(2, 42, 2);
    put(4, 8, 4);
    put(8, entries, 2);
    entry(0, 256, 3, 1);
    entry(1, 257, 3, 1);
    entry(2, 258, 3, 8);
    entry(3, 259, 3, 1);
    entry(4, 262, 3, 1);
    entry(5, 273, 4, pixel);
    entry(6, 278, 3, 1);
    entry(7, 279, 4, 1);
    entry(8, TAG, 12, value_at); /* the private FLOAT as one DOUBLE */
    put(8 + 2 + 12 * entries, 0, 4);
    memcpy(&bits, &big, 8);
    put(value_at, bits, 8);
    file[pixel] = 7;

    previous = TIFFSetTagExtender(add_field);
    f = fopen("float_clamped.tif", "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return 2;
    tif = TIFFOpen("float_clamped.tif", "r");
    if (!tif)
        return 2;
    if (TIFFGetField(tif, TAG, &count, &values) && count >= 1 && values && !isinf(values[0])) {
        printf("tag %d (FLOAT, stored as DOUBLE 1e300): %.9g\n", TAG, (double)values[0]);
        wrong = 1;
    }
    TIFFClose(tif);
    remove("float_clamped.tif");
    return wrong;
}
