/* A private field registered with TIFF_SPP counts keeps one byte per value
 * (docs/known-defects.md).
 *
 * A SHORT field is registered with TIFFMergeFieldInfo(3tiff), counts
 * TIFF_SPP: as many values as the image has samples (TIFFFieldWriteCount
 * (3tiff)). TIFFFieldSetGetSize must say 2, the width of the values given to
 * TIFFSetField (TIFFFieldQuery(3tiff)). The field is set to 301, 302, 303 on
 * an image of three samples and written; the file is opened again with
 * nothing registered, so the library reads the tag as it is on disk.
 *
 * Where the defect is present the size is 1, TIFFSetField copies one byte
 * per value, and what is written past those bytes was never set (valgrind
 * sees the read past the library's allocation).
 *
 * Exit status: 0 when the size is 2 and the file holds the values, 1 when
 * not (the defect; what was seen is printed), 2 when the program cannot
 * run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

#define FILENAME "private_spp_width.tif"
#define TAG 65500

static char name[] = "private spp";

int main(void)
{
    static const TIFFFieldInfo info[] = {
        {TAG, TIFF_SPP, TIFF_SPP, TIFF_SHORT, FIELD_CUSTOM, 1, 0, name}};
    static const uint16_t values[3] = {301, 302, 303};
    static const unsigned char row[3] = {0, 0, 0};
    const TIFFField *fip;
    int size, same = 1;
    uint32_t count = 0;
    uint16_t *got = NULL;
    TIFF *tif = TIFFOpen(FILENAME, "w");

    if (!tif)
        return 2;
    TIFFMergeFieldInfo(tif, info, 1);
    fip = TIFFFieldWithTag(tif, TAG);
    if (!fip || !TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1) ||
        !TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1) ||
        !TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) ||
        !TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) ||
        !TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) ||
        !TIFFSetField(tif, TAG, values) || TIFFWriteScanline(tif, (void *)row, 0, 0) != 1) {
        TIFFClose(tif);
        remove(FILENAME);
        return 2;
    }
    size = TIFFFieldSetGetSize(fip);
    TIFFClose(tif);

    tif = TIFFOpen(FILENAME, "r");
    if (!tif || !TIFFGetField(tif, TAG, &count, &got) || !got) {
        if (tif)
            TIFFClose(tif);
        remove(FILENAME);
        return 2;
    }
    same = count == 3 && got[0] == values[0] && got[1] == values[1] && got[2] == values[2];
    if (size != 2 || !same) {
        printf("TIFFFieldSetGetSize gave %d, expected 2; written: %u values", size,
               (unsigned)count);
        for (uint32_t i = 0; i < count; i++)
            printf("%s%u", i ? ", " : " ", (unsigned)got[i]);
        printf(", expected 301, 302, 303\n");
    }
    TIFFClose(tif);
    remove(FILENAME);
    return size == 2 && same ? 0 : 1;
}
