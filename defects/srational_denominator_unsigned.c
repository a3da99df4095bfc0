/* An SRATIONAL with a negative denominator read as if the denominator were
 * unsigned (read_probe --explore; docs/known-defects.md).
 *
 * A little-endian classic file, built byte by byte: a 1 x 1 gray image
 * with DNG's BaselineExposure (50730, SRATIONAL, one value) of 1 / -2.
 * TIFF 6.0 makes both parts of an SRATIONAL signed 32-bit values, so the
 * value is -0.5; a reader may also refuse the field.
 *
 * Exit status: 0 when the field is absent or -0.5, 1 when it is another
 * value (the defect: 1 / 4294967294, the denominator's bits taken as
 * unsigned; printed), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

static unsigned char file[256];

static void put16(unsigned at, unsigned v)
{
    file[at] = (unsigned char)v;
    file[at + 1] = (unsigned char)(v >> 8);
}

static void put32(unsigned at, uint32_t v)
{
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
}

static void entry(unsigned ifd, unsigned i, unsigned tag, unsigned type, uint32_t count,
                  uint32_t value)
{
    const unsigned at = ifd + 2 + 12 * i;
    put16(at, tag);
    put16(at + 2, type);
    put32(at + 4, count);
    put32(at + 8, value);
}

int main(void)
{
    const unsigned entries = 8;
    const unsigned values = 8 + 2 + 12 * entries + 4;
    const unsigned pixel = values + 8;
    const unsigned size = pixel + 1;
    float got = 0;
    FILE *f;
    TIFF *tif;
    int wrong = 0;

    file[0] = 'I';
    file[1] = 'I';
    put16(2, 42);
    put32(4, 8);
    put16(8, entries);
    entry(8, 0, 256, 3, 1, 1);
    entry(8, 1, 257, 3, 1, 1);
    entry(8, 2, 258, 3, 1, 8);
    entry(8, 3, 259, 3, 1, 1);
    entry(8, 4, 262, 3, 1, 1);
    entry(8, 5, 273, 4, 1, pixel);
    entry(8, 6, 279, 4, 1, 1);
    entry(8, 7, 50730, 10, 1, values); /* BaselineExposure, SRATIONAL */
    put32(8 + 2 + 12 * entries, 0);
    put32(values, 1);
    put32(values + 4, (uint32_t)-2);
    file[pixel] = 7;

    f = fopen("srational_denominator_unsigned.tif", "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return 2;
    tif = TIFFOpen("srational_denominator_unsigned.tif", "r");
    if (!tif)
        return 2;
    if (TIFFGetField(tif, 50730, &got) && got != -0.5f) {
        printf("BaselineExposure 1 / -2 fetched as %g, expected -0.5\n", got);
        wrong = 1;
    }
    TIFFClose(tif);
    remove("srational_denominator_unsigned.tif");
    return wrong;
}
