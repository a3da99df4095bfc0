/* An EXIF field of one value stored with two read from its offset
 * (docs/known-defects.md).
 *
 * A little-endian classic file, built byte by byte, links an EXIF IFD whose
 * only entry is StandardOutputSensitivity (34865, LONG, one value in EXIF
 * 2.32) with a count of 2: the two LONGs, 1000 and 2000, lie out of line at
 * an offset. A reader may ignore the field or take its first value; the
 * offset itself is none of the values.
 *
 * Exit status: 0 when the field is absent or 1000, 1 when it is the offset
 * (the defect: the count is cut to one and the value read where one value
 * would be inline, the bytes of the offset; printed), 2 when the program
 * cannot run. */
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

int main(void)
{
    const unsigned entries = 9;
    const unsigned exif = 8 + 2 + 12 * entries + 4;
    const unsigned values = exif + 2 + 12 + 4;
    const unsigned pixel = values + 8;
    const unsigned size = pixel + 1;
    uint32_t got = 0;
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
    entry(8, 6, 278, 3, 1, 1);
    entry(8, 7, 279, 4, 1, 1);
    entry(8, 8, 34665, 4, 1, exif); /* ExifIFD */
    put32(8 + 2 + 12 * entries, 0);
    put16(exif, 1);
    entry(exif, 0, 34865, 4, 2, values); /* StandardOutputSensitivity, count 2 */
    put32(exif + 2 + 12, 0);
    put32(values, 1000);
    put32(values + 4, 2000);
    file[pixel] = 7;

    f = fopen("exif_count_offset.tif", "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return 2;
    tif = TIFFOpen("exif_count_offset.tif", "r");
    if (!tif)
        return 2;
    if (!TIFFReadEXIFDirectory(tif, exif)) {
        TIFFClose(tif);
        return 2;
    }
    if (TIFFGetField(tif, EXIFTAG_STANDARDOUTPUTSENSITIVITY, &got) && got != 1000) {
        printf("StandardOutputSensitivity (LONG, count 2, values 1000 2000 at %u): %u\n", values,
               got);
        wrong = 1;
    }
    TIFFClose(tif);
    remove("exif_count_offset.tif");
    return wrong;
}
