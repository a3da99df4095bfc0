/* RATIONAL values fetched as floats off by a rounding (docs/known-defects.md).
 *
 * A little-endian classic file, built byte by byte, holds WhitePoint (318)
 * as two RATIONALs 16777227/65539: a numerator of 25 bits, which a float
 * does not hold. TIFFGetField gives WhitePoint as floats, so the best it can
 * give is the float nearest the quotient, (float)(16777227.0 / 65539.0).
 *
 * Exit status: 0 when both values are that float, 1 when they are not (the
 * defect: the library divides the parts as floats; both are printed), 2 when
 * the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

#define NUM 16777227u
#define DEN 65539u

static unsigned char file[256];
static unsigned size;

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

/* Entry i of the IFD at 8: tag, type, count, value. */
static void entry(unsigned i, unsigned tag, unsigned type, uint32_t count, uint32_t value)
{
    const unsigned at = 8 + 2 + 12 * i;
    put16(at, tag);
    put16(at + 2, type);
    put32(at + 4, count);
    put32(at + 8, value);
}

int main(void)
{
    const unsigned entries = 9;
    const unsigned values = 8 + 2 + 12 * entries + 4; /* the two RATIONALs */
    const unsigned pixel = values + 16;
    const float nearest = (float)((double)NUM / (double)DEN);
    float *got = NULL;
    FILE *f;
    TIFF *tif;
    int wrong = 0, i;

    file[0] = 'I';
    file[1] = 'I';
    put16(2, 42);
    put32(4, 8);
    put16(8, entries);
    entry(0, 256, 3, 1, 1);      /* ImageWidth */
    entry(1, 257, 3, 1, 1);      /* ImageLength */
    entry(2, 258, 3, 1, 8);      /* BitsPerSample */
    entry(3, 259, 3, 1, 1);      /* Compression: none */
    entry(4, 262, 3, 1, 1);      /* BlackIsZero */
    entry(5, 273, 4, 1, pixel);  /* StripOffsets */
    entry(6, 278, 3, 1, 1);      /* RowsPerStrip */
    entry(7, 279, 4, 1, 1);      /* StripByteCounts */
    entry(8, 318, 5, 2, values); /* WhitePoint */
    put32(8 + 2 + 12 * entries, 0);
    put32(values, NUM);
    put32(values + 4, DEN);
    put32(values + 8, NUM);
    put32(values + 12, DEN);
    file[pixel] = 7;
    size = pixel + 1;

    f = fopen("rational_float_quotient.tif", "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return 2;
    tif = TIFFOpen("rational_float_quotient.tif", "r");
    if (!tif)
        return 2;
    if (!TIFFGetField(tif, TIFFTAG_WHITEPOINT, &got) || !got) {
        printf("WhitePoint absent\n");
        TIFFClose(tif);
        return 2;
    }
    for (i = 0; i < 2; i++) {
        if (got[i] != nearest) {
            printf("WhitePoint[%d] is %.17g, the float nearest %u/%u is %.17g\n", i, (double)got[i],
                   NUM, DEN, (double)nearest);
            wrong = 1;
        }
    }
    TIFFClose(tif);
    remove("rational_float_quotient.tif");
    return wrong;
}
