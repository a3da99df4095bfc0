/* TIFFComputeStrip and TIFFComputeTile give striles past the image
 * (docs/known-defects.md).
 *
 * TIFFstrip(3tiff) and TIFFtile(3tiff): "A valid strip [tile] is always
 * returned; out-of-range coordinate values are clamped to the bounds of the
 * image." The program asks for row 50 of a page of 10 rows in strips of 4
 * (three strips, TIFF 6.0's StripsPerImage) and for pixel (100, 100) of a
 * 40 x 20 page in 16 x 16 tiles (six tiles), and expects the last strip (2)
 * and the last tile (5).
 *
 * Exit status: 0 when both are clamped, 1 otherwise (the defect), 2 when
 * the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

static TIFF *page(const char *name, int tiled)
{
    TIFF *tif = TIFFOpen(name, "w");

    if (!tif)
        return NULL;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, tiled ? 40 : 12);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, tiled ? 20 : 10);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    if (tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
    }
    return tif;
}

int main(void)
{
    uint32_t strip, tile;
    TIFF *stripped = page("compute_unclamped_strips.tif", 0);
    TIFF *tiled = page("compute_unclamped_tiles.tif", 1);

    if (!stripped || !tiled)
        return 2;
    strip = TIFFComputeStrip(stripped, 50, 0);
    tile = TIFFComputeTile(tiled, 100, 100, 0, 0);
    TIFFClose(stripped);
    TIFFClose(tiled);
    if (strip != 2)
        printf("row 50 gave strip %u of 3, expected 2\n", strip);
    if (tile != 5)
        printf("(100, 100) gave tile %u of 6, expected 5\n", tile);
    return strip != 2 || tile != 5;
}
