/* TIFFWriteEncodedStrip writes past the end of its strip arrays
 * (docs/known-defects.md).
 *
 * TIFFWriteEncodedStrip(3tiff): "The strip number must be valid according to
 * the current settings of the ImageLength and RowsPerStrip tags." and "-1 is
 * returned if an error was encountered." A page of 10 rows in strips of 4
 * has three strips (TIFF 6.0's StripsPerImage). Asked for strip 5, the
 * library grows its offset and byte count arrays to fewer entries than the
 * strip needs and stores the strip's offset and size past their end: a heap
 * buffer overflow of 8-byte values from an out-of-range argument. Nothing
 * the program can see shows it, so CTest runs this under valgrind memcheck
 * (defects/CMakeLists.txt), which reports "Invalid write of size 8" and
 * makes the exit status 1. The handle is left open: the directory written
 * at the close may abort on the damaged heap ("free(): invalid size").
 *
 * Exit status: 0 (the tool's 1 where it sees the invalid write), 2 when the
 * program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    static uint8_t strip[48];
    tmsize_t got;
    uint32_t s;
    TIFF *tif = TIFFOpen("strip_write_overflow.tif", "w");

    if (!tif)
        return 2;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 12);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 10);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
    for (s = 0; s < 3; s++) {
        if (TIFFWriteEncodedStrip(tif, s, strip, s < 2 ? 48 : 24) < 0)
            return 2;
    }
    got = TIFFWriteEncodedStrip(tif, 5, strip, 48);
    printf("strip 5 of 3 gave %ld, expected -1\n", (long)got);
    return 0;
}
