/* EXIF's PixelXDimension may be a SHORT or a LONG; the library ignores a
 * SHORT one ("Wrong data type 3 for PixelXDimension; tag ignored"), so a
 * file that holds the field reads as if it had none. Exits 1 when the
 * field of the file below is not read back as 640. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

static unsigned char file[160];

static void put(unsigned at, uint32_t v, unsigned width)
{
    for (unsigned i = 0; i < width; i++)
        file[at + i] = (unsigned char)(v >> (8 * i));
}

static void entry(unsigned at, uint16_t tag, uint16_t type, uint32_t value)
{
    put(at, tag, 2);
    put(at + 2, type, 2);
    put(at + 4, 1, 4);
    put(at + 8, value, type == 3 ? 2 : 4);
}

int main(void)
{
    /* A one-pixel page at 8, its EXIF IFD at 134, its pixel at 152. */
    const uint16_t tags[] = {256, 257, 258, 259, 262, 273, 277, 278, 279, 34665};
    const uint16_t types[] = {3, 3, 3, 3, 3, 4, 3, 3, 4, 4};
    const uint32_t values[] = {1, 1, 8, 1, 1, 152, 1, 1, 1, 134};
    put(0, 0x4949, 2);
    put(2, 42, 2);
    put(4, 8, 4);
    put(8, 10, 2);
    for (unsigned i = 0; i < 10; i++)
        entry(10 + 12 * i, tags[i], types[i], values[i]);
    put(134, 1, 2);
    entry(136, 40962, 3, 640); /* PixelXDimension, SHORT */
    file[152] = 0x55;

    FILE *f = fopen("exif_dimension_short.tif", "wb");
    if (!f || fwrite(file, 1, 153, f) != 153 || fclose(f) != 0) {
        perror("exif_dimension_short.tif");
        return 2;
    }
    TIFF *tif = TIFFOpen("exif_dimension_short.tif", "r");
    uint32_t width = 0;
    if (!tif || !TIFFReadEXIFDirectory(tif, 134)) {
        fprintf(stderr, "cannot read the file or its EXIF IFD\n");
        return 2;
    }
    const int found = TIFFGetField(tif, EXIFTAG_PIXELXDIMENSION, &width);
    TIFFClose(tif);
    remove("exif_dimension_short.tif");
    if (!found || width != 640) {
        printf("PixelXDimension (SHORT 640): %s %u\n", found ? "read as" : "absent", width);
        return 1;
    }
    return 0;
}
