/* TIFFGetMode is not the value passed to open() (docs/known-defects.md).
 *
 * TIFFquery(3tiff): "TIFFGetMode() returns the mode with which the
 * underlying file was opened. On UNIX systems, this is the value passed to
 * the open() (2) system call." Mode "w" opens the file with O_RDWR |
 * O_CREAT | O_TRUNC; the library keeps only O_RDWR. No TIFF standard speaks
 * of it: the handle's access is what a program needs, so the page is the
 * side that is wrong.
 *
 * Exit status: 0 when TIFFGetMode gives O_RDWR | O_CREAT | O_TRUNC, 1
 * otherwise (the disagreement), 2 when the program cannot run. */
#include <fcntl.h>
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    int got;
    TIFF *tif = TIFFOpen("get_mode_flags.tif", "w");

    if (!tif)
        return 2;
    got = TIFFGetMode(tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
    TIFFClose(tif);
    if (got != (O_RDWR | O_CREAT | O_TRUNC)) {
        printf("mode \"w\" gave 0%o, expected 0%o\n", got, O_RDWR | O_CREAT | O_TRUNC);
        return 1;
    }
    return 0;
}
