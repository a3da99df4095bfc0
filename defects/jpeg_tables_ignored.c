/* JPEGTables set by the program do not encode the image
 * (docs/known-defects.md).
 *
 * A first file gives the library's own JPEGTables for an 8-bit grayscale
 * page. The program doubles every value of their first quantization table,
 * sets the result as JPEGTables of a second page, flat at 200, and reads that
 * page back. A flat block is its DC coefficient alone, which the doubled
 * table quantizes exactly enough to decode within 2 of 200; the strip
 * encoded with other tables than the file's reads far off (255).
 *
 * Exit status: 0 when the page reads back within 2 of 200, 1 when it does
 * not (the defect), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tiffio.h>

#define SIDE 16
#define FLAT 200
#define FILENAME "jpeg_tables_ignored.tif"
#define TABLES_LIMIT 2048

/* Writes the flat page, with tables when size is not 0; 1 when written. */
static int write_page(const unsigned char *tables, uint32_t size)
{
    unsigned char image[SIDE * SIDE];
    TIFF *tif = TIFFOpen(FILENAME, "w");

    if (!tif)
        return 0;
    memset(image, FLAT, sizeof image);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, SIDE);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, SIDE);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, SIDE);
    if ((size && !TIFFSetField(tif, TIFFTAG_JPEGTABLES, size, tables)) ||
        TIFFWriteEncodedStrip(tif, 0, image, sizeof image) != (tmsize_t)sizeof image) {
        TIFFClose(tif);
        return 0;
    }
    TIFFClose(tif);
    return 1;
}

int main(void)
{
    unsigned char tables[TABLES_LIMIT], image[SIDE * SIDE];
    uint32_t size = 0, i;
    void *own = NULL;
    TIFF *tif;

    if (!write_page(NULL, 0) || !(tif = TIFFOpen(FILENAME, "r")))
        return 2;
    if (!TIFFGetField(tif, TIFFTAG_JPEGTABLES, &size, &own) || size > TABLES_LIMIT) {
        TIFFClose(tif);
        return 2;
    }
    memcpy(tables, own, size);
    TIFFClose(tif);
    /* SOI, then DQT: marker, length, 8-bit precision and table 0, 64 values. */
    if (size < 71 || memcmp(tables, "\xff\xd8\xff\xdb", 4) != 0 || tables[6] != 0)
        return 2;
    for (i = 7; i < 7 + 64; i++)
        tables[i] = (unsigned char)(tables[i] * 2 > 255 ? 255 : tables[i] * 2);

    if (!write_page(tables, size) || !(tif = TIFFOpen(FILENAME, "r")))
        return 2;
    if (TIFFReadEncodedStrip(tif, 0, image, sizeof image) != (tmsize_t)sizeof image) {
        TIFFClose(tif);
        return 2;
    }
    TIFFClose(tif);
    for (i = 0; i < SIDE * SIDE; i++)
        if (abs(image[i] - FLAT) > 2) {
            printf("JPEGTables set: byte %u of the page reads %u, expected %d\n", i, image[i],
                   FLAT);
            return 1;
        }
    return 0;
}
