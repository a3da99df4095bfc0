/* GrayResponseUnit and GrayResponseCurve are refused (docs/known-defects.md).
 *
 * A limitation that libtiff(3tiff) documents ("parsed but ignored"): TIFF 6.0
 * makes both baseline fields of grayscale images, GrayResponseUnit with the
 * default 2. The program sets both on a 1-bit grayscale page (the curve has
 * 2**BitsPerSample values), fetches the unit back, and asks a fresh page for
 * the unit's default.
 *
 * Exit status: 0 when both are set, the unit comes back and its default is
 * 2, 1 otherwise (the limitation), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    uint16_t curve[2] = {2000, 100};
    uint16_t unit = 0;
    int sound = 1;
    TIFF *tif = TIFFOpen("gray_response_refused.tif", "w");

    if (!tif)
        return 2;
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    if (!TIFFGetFieldDefaulted(tif, TIFFTAG_GRAYRESPONSEUNIT, &unit) || unit != 2) {
        printf("GrayResponseUnit (290): no default 2\n");
        sound = 0;
    }
    if (!TIFFSetField(tif, TIFFTAG_GRAYRESPONSEUNIT, 3)) {
        printf("GrayResponseUnit (290): set refused\n");
        sound = 0;
    } else if (!TIFFGetField(tif, TIFFTAG_GRAYRESPONSEUNIT, &unit) || unit != 3) {
        printf("GrayResponseUnit (290): 3 set, not fetched back\n");
        sound = 0;
    }
    if (!TIFFSetField(tif, TIFFTAG_GRAYRESPONSECURVE, curve)) {
        printf("GrayResponseCurve (291): set refused\n");
        sound = 0;
    }
    TIFFClose(tif);
    return !sound;
}
