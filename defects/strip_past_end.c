/* TIFFWriteEncodedStrip takes the strip just past the image
 * (docs/known-defects.md); a strip further out overflows the heap, which
 * defects/strip_write_overflow.c shows.
 *
 * TIFFWriteEncodedStrip(3tiff): "The strip number must be valid according to
 * the current settings of the ImageLength and RowsPerStrip tags." and "-1 is
 * returned if an error was encountered." TIFF 6.0 gives a page of 10 rows in
 * strips of 4 three strips (StripsPerImage), 0 to 2. The program writes
 * strip 3 of such a page and expects -1.
 *
 * Exit status: 0 when strip 3 is refused with -1, 1 otherwise (the defect),
 * 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    static uint8_t strip[48];
    tmsize_t got;
    uint32_t s;
    TIFF *tif = TIFFOpen("strip_past_end.tif", "w");

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
    got = TIFFWriteEncodedStrip(tif, 3, strip, 48);
    if (got != -1) {
        printf("strip 3 of 3 gave %ld, expected -1\n", (long)got);
        return 1;
    }
    TIFFClose(tif);
    return 0;
}
