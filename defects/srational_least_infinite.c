/* The least SRATIONAL, -2^31, written as 2^31 - 1 over 0 (write_probe;
 * docs/known-defects.md).
 *
 * A 1 x 1 gray image, little-endian classic, with DNG's BaselineExposure
 * (50730, SRATIONAL, one value, set as a float) of -2147483648, which the
 * float holds exactly. TIFF 6.0 makes both parts of an SRATIONAL SLONGs, so
 * -2147483648 / 1 holds the value; the entry's two parts are read from the
 * file's bytes.
 *
 * Exit status: 0 when the fraction written is -2147483648 (any denominator
 * giving that quotient), 1 when it is another (the defect: 2147483647 / 0,
 * of the other sign and no denominator; printed), 2 when the program cannot
 * run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

static unsigned char file[4096];

static uint32_t get32(size_t at)
{
    return (uint32_t)file[at] | (uint32_t)file[at + 1] << 8 | (uint32_t)file[at + 2] << 16 |
           (uint32_t)file[at + 3] << 24;
}

static unsigned get16(size_t at)
{
    return (unsigned)file[at] | (unsigned)file[at + 1] << 8;
}

int main(void)
{
    unsigned char pixel = 7;
    TIFF *tif = TIFFOpen("srational_least_infinite.tif", "wl");
    FILE *f;
    size_t size;
    uint32_t ifd;
    unsigned i, entries;

    if (!tif)
        return 2;
    if (!TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1) || !TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1) ||
        !TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) ||
        !TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) ||
        !TIFFSetField(tif, 50730, -2147483648.0f) ||
        TIFFWriteEncodedStrip(tif, 0, &pixel, 1) != 1) {
        TIFFClose(tif);
        return 2;
    }
    TIFFClose(tif);
    f = fopen("srational_least_infinite.tif", "rb");
    if (!f)
        return 2;
    size = fread(file, 1, sizeof(file), f);
    fclose(f);
    remove("srational_least_infinite.tif");
    if (size < 8)
        return 2;
    ifd = get32(4);
    if (ifd + 2 > size)
        return 2;
    entries = get16(ifd);
    for (i = 0; i < entries && ifd + 2 + 12 * (i + 1) <= size; i++) {
        const size_t e = ifd + 2 + 12 * i;
        const uint32_t at = get32(e + 8);
        int32_t num, den;
        if (get16(e) != 50730)
            continue;
        if (get16(e + 2) != 10 || at + 8 > size)
            return 2;
        num = (int32_t)get32(at);
        den = (int32_t)get32(at + 4);
        if (den != 0 && (double)num / (double)den == -2147483648.0)
            return 0;
        printf("BaselineExposure -2147483648 written as %ld / %ld, expected -2147483648 / 1\n",
               (long)num, (long)den);
        return 1;
    }
    return 2;
}
