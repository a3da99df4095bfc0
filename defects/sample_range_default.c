/* No default for SMinSampleValue and SMaxSampleValue
 * (docs/known-defects.md).
 *
 * TIFF 6.0 makes their defaults the full range of the sample type: 0 and
 * 255 for 8-bit unsigned samples, the default SampleFormat. The program asks
 * TIFFGetFieldDefaulted for both on a page with 8-bit samples. A missing
 * convenience: nothing in a file is lost, a reader computes the range from
 * BitsPerSample itself.
 *
 * Exit status: 0 when both are given as above, 1 otherwise (the defect), 2
 * when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

/* 1 when the default of tag, a double, is expected, else 0 after saying so. */
static int sample_default(TIFF *tif, const char *name, uint32_t tag, double expected)
{
    double got = -1;

    if (!TIFFGetFieldDefaulted(tif, tag, &got)) {
        printf("%s (%u): no default, expected %g\n", name, tag, expected);
        return 0;
    }
    if (got != expected) {
        printf("%s (%u): default %g, expected %g\n", name, tag, got, expected);
        return 0;
    }
    return 1;
}

int main(void)
{
    int sound;
    TIFF *tif = TIFFOpen("sample_range_default.tif", "w");

    if (!tif)
        return 2;
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    sound = sample_default(tif, "SMinSampleValue", TIFFTAG_SMINSAMPLEVALUE, 0);
    sound &= sample_default(tif, "SMaxSampleValue", TIFFTAG_SMAXSAMPLEVALUE, 255);
    TIFFClose(tif);
    return !sound;
}
