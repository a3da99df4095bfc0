/* Checkpoints in BigTIFF of the other byte order (docs/known-defects.md).
 *
 * A BigTIFF file of the byte order other than the host's gets two one-row
 * strips: the first before TIFFCheckpointDirectory, the second after it. Once
 * closed and reopened, both strips must lie inside the file and read back.
 *
 * Exit status: 0 when they do, 1 when a strip lies elsewhere or reads wrong
 * (the defect: the first strip's offset is byte-swapped), 2 when the program
 * cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define WIDTH 8
#define FILENAME "bigtiff_checkpoint_swap.tif"

static int host_is_big_endian(void)
{
    const uint16_t one = 1;
    unsigned char first;

    memcpy(&first, &one, 1);
    return first == 0;
}

static long file_size(void)
{
    FILE *f = fopen(FILENAME, "rb");
    long size;

    if (!f)
        return -1;
    size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    fclose(f);
    return size;
}

/* 1 when strip s of the file written with mode holds WIDTH bytes of fill, else 0 after saying why.
 */
static int strip_reads(TIFF *tif, const char *mode, uint32_t s, unsigned char fill, long size)
{
    unsigned char row[WIDTH], want[WIDTH];
    uint64_t offset = TIFFGetStrileOffset(tif, s);

    memset(want, fill, WIDTH);
    if (offset > (uint64_t)size || (uint64_t)size - offset < WIDTH) {
        printf("%s: strip %u at %llu, outside the file of %ld bytes\n", mode, s,
               (unsigned long long)offset, size);
        return 0;
    }
    if (TIFFReadEncodedStrip(tif, s, row, WIDTH) != WIDTH || memcmp(row, want, WIDTH) != 0) {
        printf("%s: strip %u at %llu does not read back\n", mode, s, (unsigned long long)offset);
        return 0;
    }
    return 1;
}

int main(void)
{
    /* "w8b" on a little-endian host, "w8l" on a big-endian one. */
    const char *mode = host_is_big_endian() ? "w8l" : "w8b";
    unsigned char row[WIDTH];
    int sound;
    long size;
    TIFF *tif = TIFFOpen(FILENAME, mode);

    if (!tif)
        return 2;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, WIDTH);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    memset(row, 0x11, WIDTH);
    if (TIFFWriteEncodedStrip(tif, 0, row, WIDTH) != WIDTH || !TIFFCheckpointDirectory(tif))
        return 2;
    memset(row, 0x22, WIDTH);
    if (TIFFWriteEncodedStrip(tif, 1, row, WIDTH) != WIDTH)
        return 2;
    TIFFClose(tif);

    size = file_size();
    tif = TIFFOpen(FILENAME, "r");
    if (size < 0 || !tif)
        return 2;
    sound = strip_reads(tif, mode, 0, 0x11, size);
    sound &= strip_reads(tif, mode, 1, 0x22, size);
    TIFFClose(tif);
    return !sound;
}
