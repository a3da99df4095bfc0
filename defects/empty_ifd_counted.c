/* A chain whose second IFD has no entries (TIFF requires at least one):
 * TIFFNumberOfDirectories counts it, but TIFFSetDirectory cannot go to it
 * and TIFFReadDirectory does not reach it. Exits 1 when the count and the
 * reads disagree. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

static unsigned char file[200];

static void put(unsigned at, uint32_t v, unsigned width)
{
    for (unsigned i = 0; i < width; i++)
        file[at + i] = (unsigned char)(v >> (8 * i));
}

int main(void)
{
    /* A one-pixel page: its pixel at 8, its IFD at 10, the empty IFD at 132. */
    const uint16_t tags[] = {256, 257, 258, 259, 262, 273, 277, 278, 279};
    const uint16_t types[] = {3, 3, 3, 3, 3, 4, 3, 3, 4};
    const uint32_t values[] = {1, 1, 8, 1, 1, 8, 1, 1, 1};
    put(0, 0x4949, 2);
    put(2, 42, 2);
    put(4, 10, 4);
    file[8] = 0x55;
    put(10, 9, 2);
    for (unsigned i = 0; i < 9; i++) {
        const unsigned at = 12 + 12 * i;
        put(at, tags[i], 2);
        put(at + 2, types[i], 2);
        put(at + 4, 1, 4);
        put(at + 8, values[i], types[i] == 3 ? 2 : 4);
    }
    put(120, 132, 4); /* next IFD */
    put(132, 0, 2);   /* no entries */
    put(134, 0, 4);

    FILE *f = fopen("empty_ifd_counted.tif", "wb");
    if (!f || fwrite(file, 1, 138, f) != 138 || fclose(f) != 0) {
        perror("empty_ifd_counted.tif");
        return 2;
    }
    TIFF *tif = TIFFOpen("empty_ifd_counted.tif", "r");
    if (!tif)
        return 2;
    const unsigned counted = TIFFNumberOfDirectories(tif);
    unsigned reached = 0;
    for (unsigned k = 0; k < counted; k++)
        reached += TIFFSetDirectory(tif, (tdir_t)k) ? 1 : 0;
    TIFFClose(tif);
    remove("empty_ifd_counted.tif");
    if (reached != counted) {
        printf("TIFFNumberOfDirectories counts %u, TIFFSetDirectory reaches %u\n", counted,
               reached);
        return 1;
    }
    return 0;
}
