/* TIFFCurrentDirectory of an unwritten directory is not 65535
 * (docs/known-defects.md).
 *
 * TIFFquery(3tiff): "A value of 65535 (non-existing directory) is returned
 * if the directory has not yet been written to the file after opening it."
 * The library's directory numbers are 32 bits wide and it gives 4294967295.
 * TIFF 6.0 does not limit the number of IFDs, so 65535 may be a real
 * directory: the page is the side that is wrong.
 *
 * Exit status: 0 when a new file's directory is 65535, 1 otherwise (the
 * disagreement), 2 when the program cannot run. */
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    unsigned long got;
    TIFF *tif = TIFFOpen("current_dir_unwritten.tif", "w");

    if (!tif)
        return 2;
    got = (unsigned long)TIFFCurrentDirectory(tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
    TIFFClose(tif);
    if (got != 65535) {
        printf("a new file's directory gave %lu, expected 65535\n", got);
        return 1;
    }
    return 0;
}
