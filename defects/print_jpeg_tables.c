/* TIFFPrintDirectory prints no JPEG tables with TIFFPRINT_JPEGQTABLES or
 * TIFFPRINT_JPEGACTABLES (docs/known-defects.md).
 *
 * TIFFPrintDirectory(3tiff) lists TIFFPRINT_JPEGQTABLES ("JPEG Q matrices")
 * and TIFFPRINT_JPEGACTABLES / TIFFPRINT_JPEGDCTABLES ("JPEG AC tables",
 * "JPEG DC tables") among the flags that control the level of detail. A JPEG
 * page whose JPEGTables holds both kinds of table, printed with each flag,
 * prints exactly what it prints without flags.
 *
 * Exit status: 0 when each flag prints more than no flag, 1 when one prints
 * no more (the defect), 2 when the program cannot run (no JPEG codec). */
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define SIDE 16
#define FILENAME "print_jpeg_tables.tif"

/* The length of what TIFFPrintDirectory prints with `flags`, or -1. */
static long printed(TIFF *tif, long flags)
{
    FILE *f = tmpfile();
    long size;

    if (!f)
        return -1;
    TIFFPrintDirectory(tif, f, flags);
    size = ftell(f);
    fclose(f);
    return size;
}

int main(void)
{
    unsigned char image[SIDE * SIDE];
    const long flags[] = {TIFFPRINT_JPEGQTABLES, TIFFPRINT_JPEGACTABLES};
    const char *names[] = {"TIFFPRINT_JPEGQTABLES", "TIFFPRINT_JPEGACTABLES"};
    long none;
    int defect = 0;
    unsigned i;
    TIFF *tif;

    if (!TIFFIsCODECConfigured(COMPRESSION_JPEG) || !(tif = TIFFOpen(FILENAME, "w")))
        return 2;
    memset(image, 100, sizeof image);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, SIDE);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, SIDE);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, SIDE);
    if (TIFFWriteEncodedStrip(tif, 0, image, sizeof image) != (tmsize_t)sizeof image) {
        TIFFClose(tif);
        return 2;
    }
    TIFFClose(tif);
    if (!(tif = TIFFOpen(FILENAME, "r")))
        return 2;
    none = printed(tif, TIFFPRINT_NONE);
    for (i = 0; i < 2 && none > 0; i++) {
        const long with = printed(tif, flags[i]);
        if (with == none) {
            printf("%s printed %ld bytes, as many as no flag\n", names[i], with);
            defect = 1;
        }
    }
    TIFFClose(tif);
    remove(FILENAME);
    return none > 0 ? defect : 2;
}
