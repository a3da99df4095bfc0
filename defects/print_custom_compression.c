/* TIFFPrintDirectory prints a Compression for an EXIF directory, which holds
 * none (docs/known-defects.md).
 *
 * A one-pixel page links an EXIF directory holding one field, ExposureTime.
 * Read back with TIFFReadEXIFDirectory and printed, the EXIF directory must
 * show its own field and nothing of the image's: TIFF 6.0's Compression is
 * a field of an image's IFD, and the EXIF directory has no image.
 *
 * Exit status: 0 when the print names no compression, 1 when it does (the
 * defect; the line is printed), 2 when the program cannot run. */
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define FILENAME "print_custom_compression.tif"

static int write_file(void)
{
    TIFF *tif = TIFFOpen(FILENAME, "w");
    uint64_t exif_at = 0;
    unsigned char pixel = 7;
    int ok;

    if (!tif)
        return 0;
    /* The EXIF directory first, then a new main directory for the page. */
    ok = TIFFCreateEXIFDirectory(tif) == 0 && TIFFSetField(tif, EXIFTAG_EXPOSURETIME, 0.125) &&
         TIFFWriteCustomDirectory(tif, &exif_at) && exif_at != 0 && TIFFCreateDirectory(tif) == 0;
    ok = ok && TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1) &&
         TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1) && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
         TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
         TIFFSetField(tif, TIFFTAG_EXIFIFD, exif_at) && TIFFWriteScanline(tif, &pixel, 0, 0) == 1;
    TIFFClose(tif);
    return ok;
}

int main(void)
{
    char line[256];
    TIFF *tif;
    uint64_t exif_at = 0;
    FILE *out;
    int defect = 0;

    if (!write_file())
        return 2;
    tif = TIFFOpen(FILENAME, "r");
    if (!tif)
        return 2;
    if (!TIFFGetField(tif, TIFFTAG_EXIFIFD, &exif_at) || !TIFFReadEXIFDirectory(tif, exif_at)) {
        TIFFClose(tif);
        return 2;
    }
    out = tmpfile();
    if (!out) {
        TIFFClose(tif);
        return 2;
    }
    TIFFPrintDirectory(tif, out, TIFFPRINT_NONE);
    TIFFClose(tif);
    rewind(out);
    while (fgets(line, sizeof(line), out)) {
        if (strstr(line, "Compression")) {
            printf("the EXIF directory prints: %s", line);
            defect = 1;
        }
    }
    fclose(out);
    return defect;
}
