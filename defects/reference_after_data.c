/* ReferenceBlackWhite set once data is written is taken, where
 * TIFFSetField(3tiff) marks it "†: Tag may not have its values changed once
 * data is written" (write_probe; docs/known-defects.md). Its DIAGNOSTICS
 * apply the refusal to "tags that affect the format of written data",
 * which ReferenceBlackWhite does not: the page's table, not the library,
 * is doubtful.
 *
 * A 1 x 1 gray image in a file: its strip written, then
 * ReferenceBlackWhite set.
 *
 * Exit status: 0 when TIFFSetField refuses it (returns 0), 1 when it takes
 * it (printed), 2 when the program cannot run. */
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    unsigned char pixel = 7;
    float reference[6] = {0, 255, 128, 255, 128, 255};
    int taken;
    TIFF *tif = TIFFOpen("reference_after_data.tif", "w");

    if (!tif)
        return 2;
    if (!TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1) || !TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1) ||
        !TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) ||
        !TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) ||
        TIFFWriteEncodedStrip(tif, 0, &pixel, 1) != 1) {
        TIFFClose(tif);
        return 2;
    }
    /* The refusal's own message is what a sound library says. */
    TIFFSetErrorHandler(NULL);
    taken = TIFFSetField(tif, TIFFTAG_REFERENCEBLACKWHITE, reference);
    TIFFClose(tif);
    remove("reference_after_data.tif");
    if (taken) {
        printf("ReferenceBlackWhite set once data is written: TIFFSetField returned 1, "
               "expected 0\n");
        return 1;
    }
    return 0;
}
