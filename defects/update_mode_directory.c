/* "r+" changes the directory read, not a fresh one (docs/known-defects.md).
 *
 * TIFFOpen(3tiff): "A file can also be opened for reading and writing with
 * mode (r+). In this case, the first TIFF directory in the file is
 * automatically read, but calls to TIFFSetField() are put into a fresh
 * directory, which will be appended when the file is closed." The library
 * changes the directory it read and rewrites it: the file keeps one page,
 * which now holds the field. No TIFF standard speaks of it, and updating a
 * page in place is what TIFFRewriteDirectory(3tiff) describes: the page is
 * the side that is wrong.
 *
 * Exit status: 0 when the file then holds two pages and the first lacks the
 * field, 1 otherwise (the disagreement), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    static uint8_t strip[12];
    const char *text = NULL;
    int pages, in_first;
    TIFF *tif = TIFFOpen("update_mode_directory.tif", "w");

    if (!tif)
        return 2;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 12);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    if (TIFFWriteEncodedStrip(tif, 0, strip, sizeof(strip)) < 0)
        return 2;
    TIFFClose(tif);
    if (!(tif = TIFFOpen("update_mode_directory.tif", "r+")))
        return 2;
    TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "set through r+");
    TIFFClose(tif);
    if (!(tif = TIFFOpen("update_mode_directory.tif", "r")))
        return 2;
    pages = TIFFNumberOfDirectories(tif);
    in_first = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text);
    TIFFClose(tif);
    if (pages != 2 || in_first) {
        printf("%d pages and the field %s page 0, expected 2 pages and not in page 0\n", pages,
               in_first ? "in" : "not in");
        return 1;
    }
    return 0;
}
