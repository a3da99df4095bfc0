/* TIFFWriteScanline writes into a tiled image (docs/known-defects.md).
 *
 * TIFFWriteScanline(3tiff): "It is not possible to write scanlines to a file
 * that uses a tiled organization." and "TIFFWriteScanline() returns -1 if it
 * immediately detects an error". TIFF 6.0 stores a tiled image in tiles
 * only. The program writes tile 0 of a tiled page, then row 0 by
 * TIFFWriteScanline, and expects -1 (the library does refuse the row before
 * any tile is written).
 *
 * Exit status: 0 when the row is refused, 1 otherwise (the defect), 2 when
 * the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    static uint8_t tile[256];
    int got;
    TIFF *tif = TIFFOpen("scanline_into_tiles.tif", "w");

    if (!tif)
        return 2;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 40);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 20);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    if (TIFFWriteEncodedTile(tif, 0, tile, sizeof(tile)) != (tmsize_t)sizeof(tile))
        return 2;
    got = TIFFWriteScanline(tif, tile, 0, 0);
    TIFFClose(tif);
    if (got != -1) {
        printf("row 0 of a tiled page after tile 0 gave %d, expected -1\n", got);
        return 1;
    }
    return 0;
}
