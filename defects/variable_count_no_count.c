/* TIFF_VARIABLE for fields passed without a count (docs/known-defects.md).
 *
 * TIFFFieldReadCount(3tiff): "TIFF_VARIABLE = -1 indicates that a variable
 * number of values is possible; then, a uint16_t count argument and a
 * pointer data argument must be supplied to TIFFGetField()."
 * (TIFFFieldWriteCount(3tiff) says the same of TIFFSetField.) The library
 * gives -1 for ImageDescription (270) and ColorMap (320), which
 * TIFFGetField(3tiff)'s table passes without a count, as the library does
 * and as TIFFFieldPassCount reports. The page is the side that is wrong:
 * TIFFFieldPassCount(3tiff) is the call that says whether a count is passed.
 *
 * Exit status: 0 when neither field's read or write count is TIFF_VARIABLE
 * or TIFF_VARIABLE2, 1 otherwise (the disagreement), 2 when the program
 * cannot run. */
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    const uint32_t tags[] = {TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_COLORMAP};
    int sound = 1;
    unsigned i;
    TIFF *tif = TIFFOpen("variable_count_no_count.tif", "w");

    if (!tif)
        return 2;
    for (i = 0; i < sizeof(tags) / sizeof(tags[0]); i++) {
        const TIFFField *fip = TIFFFieldWithTag(tif, tags[i]);
        int rc, wc;

        if (!fip)
            return 2;
        rc = TIFFFieldReadCount(fip);
        wc = TIFFFieldWriteCount(fip);
        if (!TIFFFieldPassCount(fip) && (rc == TIFF_VARIABLE || rc == TIFF_VARIABLE2 ||
                                         wc == TIFF_VARIABLE || wc == TIFF_VARIABLE2)) {
            printf("tag %u: read count %d, write count %d, passed without a count\n", tags[i], rc,
                   wc);
            sound = 0;
        }
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
    TIFFClose(tif);
    return !sound;
}
