/* XResolution refused but given as 0 while YResolution is read
 * (read_probe --explore; docs/known-defects.md).
 *
 * A little-endian classic file, built byte by byte: a 1 x 1 gray image
 * whose XResolution (282, RATIONAL, one value in TIFF 6.0) has a count of
 * 2 (300/1 and 7/1, out of line) and whose YResolution (283) is a sound
 * RATIONAL 72/1. A reader may ignore the malformed XResolution or take its
 * first value, 300; it holds no 0. XPosition and YPosition (286, 287) are
 * tried the same way.
 *
 * Exit status: 0 when each malformed field is absent or its first value, 1
 * when TIFFGetField returns 1 with another value (the defect: the library
 * ignores the field, "Incorrect count ... tag ignored", but the pair's other
 * field marks both as set, so the ignored one reads as 0; printed), 2 when
 * the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

static unsigned char file[512];

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

/* The pair's first tag with two values, the second with one; 0 when the
 * first reads as absent or 300, 1 (printed) when it reads otherwise. */
static int pair(unsigned first, unsigned second, const char *name)
{
    const unsigned entries = 9;
    const unsigned values = 8 + 2 + 12 * entries + 4;
    const unsigned pixel = values + 24;
    const unsigned size = pixel + 1;
    float got = -1;
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
    entry(8, 7, first, 5, 2, values);       /* count 2 */
    entry(8, 8, second, 5, 1, values + 16); /* sound */
    put32(8 + 2 + 12 * entries, 0);
    put32(values, 300);
    put32(values + 4, 1);
    put32(values + 8, 7);
    put32(values + 12, 1);
    put32(values + 16, 72);
    put32(values + 20, 1);
    file[pixel] = 7;

    f = fopen("resolution_pair_shared.tif", "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return 2;
    tif = TIFFOpen("resolution_pair_shared.tif", "r");
    if (!tif)
        return 2;
    if (TIFFGetField(tif, first, &got) && got != 300.0f) {
        printf("%s (%u) with count 2 (300, 7) fetched as %g\n", name, first, got);
        wrong = 1;
    }
    TIFFClose(tif);
    return wrong;
}

int main(void)
{
    const int a = pair(282, 283, "XResolution");
    const int b = pair(286, 287, "XPosition");
    remove("resolution_pair_shared.tif");
    if (a == 2 || b == 2)
        return 2;
    return a || b;
}
