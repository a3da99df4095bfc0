/* EXIF places the Interoperability directory's link, tag 40965, in the EXIF
 * directory. A library whose EXIF fields lack it refuses to set it there
 * ("Unknown tag") and warns of an unknown field when it reads a conforming
 * EXIF directory. Exits 1, naming the symptom, where the library lacks it. */
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
