/* EXIF's Interoperability link is unknown in the EXIF directory
 * (docs/known-defects.md).
 *
 * EXIF places the Interoperability directory's link, tag 40965, in the EXIF
 * directory. The program opens an EXIF directory with TIFFCreateEXIFDirectory
 * and asks the library for the field there: a library whose EXIF fields lack
 * it refuses to set it ("Unknown tag") and warns of an unknown field when it
 * reads a conforming EXIF directory.
 *
 * Exit status: 0 when the EXIF directory knows tag 40965, 1 when it does not
 * (the defect), 2 when the program cannot run. */
#include <stdio.h>

#include <tiffio.h>

int main(void)
{
    TIFF *tif = TIFFOpen("interop_link_unknown.tif", "w");
    int known;

    if (!tif) {
        fprintf(stderr, "can't create interop_link_unknown.tif\n");
        return 2;
    }
    if (TIFFCreateEXIFDirectory(tif) != 0) {
        fprintf(stderr, "can't create an EXIF directory\n");
        TIFFClose(tif);
        return 2;
    }
    known = TIFFFindField(tif, 40965, TIFF_ANY) != NULL;
    TIFFFreeDirectory(tif);
    TIFFClose(tif);
    remove("interop_link_unknown.tif");
    if (!known) {
        printf("the EXIF directory's fields lack tag 40965 (InteroperabilityIFD)\n");
        return 1;
    }
    return 0;
}
