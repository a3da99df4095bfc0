/* IFD arrays written as halves of 64-bit values (docs/known-defects.md).
 *
 * A private field of type IFD (13) with three values is set, written, read
 * back and compared. The values are passed as wide as TIFFFieldSetGetSize
 * says (Debian's 4.5.0: 8 bytes), which is how the library takes them.
 *
 * Exit status: 0 when the three values come back as set, 1 when they do not
 * (the defect; both lists are printed), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define TAG 65112
#define COUNT 3

static TIFFExtendProc previous;
static char name[] = "ifd array";

static void add_field(TIFF *tif)
{
    static const TIFFFieldInfo info[] = {
        {TAG, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_IFD, FIELD_CUSTOM, 1, 1, name}};
    TIFFMergeFieldInfo(tif, info, 1);
    if (previous)
        previous(tif);
}

/* The i-th value of an array whose elements are size bytes wide. */
static uint64_t element(const void *array, int size, uint32_t i)
{
    uint32_t narrow;
    uint64_t wide;

    if (size == 4) {
        memcpy(&narrow, (const unsigned char *)array + 4 * i, 4);
        return narrow;
    }
    memcpy(&wide, (const unsigned char *)array + 8 * i, 8);
    return wide;
}

int main(void)
{
    static const uint32_t values[COUNT] = {0x01020304, 0x05060708, 0x0a0b0c0d};
    uint32_t narrow[COUNT];
    uint64_t wide[COUNT];
    uint8_t pixel = 7;
    uint32_t count = 0, i;
    void *got = NULL;
    int size, wrong = 0;
    TIFF *tif;

    previous = TIFFSetTagExtender(add_field);
    tif = TIFFOpen("ifd_array_halves.tif", "w");
    if (!tif)
        return 2;
    size = TIFFFieldSetGetSize(TIFFFieldWithTag(tif, TAG));
    if (size != 4 && size != 8) {
        printf("tag %d: the library takes values %d bytes wide\n", TAG, size);
        return 2;
    }
    for (i = 0; i < COUNT; i++) {
        narrow[i] = values[i];
        wide[i] = values[i];
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    if (!TIFFSetField(tif, TAG, COUNT, size == 4 ? (void *)narrow : (void *)wide) ||
        TIFFWriteScanline(tif, &pixel, 0, 0) != 1) {
        TIFFClose(tif);
        return 2;
    }
    TIFFClose(tif);

    tif = TIFFOpen("ifd_array_halves.tif", "r");
    if (!tif)
        return 2;
    if (!TIFFGetField(tif, TAG, &count, &got)) {
        printf("tag %d: no value read back\n", TAG);
        TIFFClose(tif);
        return 1;
    }
    wrong = count != COUNT;
    for (i = 0; i < count && i < COUNT; i++)
        wrong |= element(got, size, i) != values[i];
    if (wrong) {
        printf("tag %d set:", TAG);
        for (i = 0; i < COUNT; i++)
            printf(" %llx", (unsigned long long)values[i]);
        printf("\ntag %d read:", TAG);
        for (i = 0; i < count; i++)
            printf(" %llx", (unsigned long long)element(got, size, i));
        printf("\n");
    }
    TIFFClose(tif);
    return wrong;
}
