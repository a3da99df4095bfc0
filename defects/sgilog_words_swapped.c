/* LogLuv words in a file of the other byte order (docs/known-defects.md).
 *
 * One row of packed 32-bit LogLuv words, each byte unlike the others, is
 * written with SGILOGDATAFMT_RAW into a file of the host's byte order and
 * one of the other order, and read back with the same data format. The
 * codec passes these words through untouched, in the host's order, so both
 * files must give them back. The words' luminance, read as floats, says
 * which file holds other pixels than those given.
 *
 * Exit status: 0 when both files give the words back, 1 when one does not
 * (the defect: the file of the other order holds each word byte-swapped),
 * 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define WIDTH 4

static const uint32_t words[WIDTH] = {0x11223344u, 0x55667788u, 0x99aabbccu, 0x0d0e0f10u};

/* Writes the row into name; 0 when a call fails. */
static int write_row(const char *name, const char *mode)
{
    uint32_t row[WIDTH];
    TIFF *tif = TIFFOpen(name, mode);
    int ok;

    if (!tif)
        return 0;
    /* The library may swap the buffer it is given: a copy. */
    memcpy(row, words, sizeof row);
    ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, WIDTH) &&
         TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1) &&
         TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_LOGLUV) &&
         TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_SGILOG) &&
         TIFFSetField(tif, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_RAW) &&
         TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1) &&
         TIFFWriteEncodedStrip(tif, 0, row, sizeof row) == (tmsize_t)sizeof row;
    TIFFClose(tif);
    return ok;
}

/* Reads strip 0 of name with data format fmt into buf; 0 when a call fails. */
static int read_row(const char *name, int fmt, void *buf, tmsize_t size)
{
    TIFF *tif = TIFFOpen(name, "r");
    int ok;

    if (!tif)
        return 0;
    ok = TIFFSetField(tif, TIFFTAG_SGILOGDATAFMT, fmt) &&
         TIFFReadEncodedStrip(tif, 0, buf, size) == size;
    TIFFClose(tif);
    return ok;
}

/* What a file gives back: the words, and each pixel's XYZ. */
struct row {
    uint32_t words[WIDTH];
    float xyz[3 * WIDTH];
};

static int write_and_read(const char *name, const char *mode, struct row *r)
{
    return write_row(name, mode) && read_row(name, SGILOGDATAFMT_RAW, r->words, sizeof r->words) &&
           read_row(name, SGILOGDATAFMT_FLOAT, r->xyz, sizeof r->xyz);
}

/* 1 when the file gives the words back, else 0 after printing the first
 * word it changed, with the luminance (Y) it and the other file decode. */
static int check(const char *name, const char *mode, const struct row *r, const struct row *other)
{
    int i;

    for (i = 0; i < WIDTH; i++) {
        if (r->words[i] != words[i]) {
            printf("%s (\"%s\"): word %d is 0x%08lx, expected 0x%08lx; Y %g, the other file's %g\n",
                   name, mode, i, (unsigned long)r->words[i], (unsigned long)words[i],
                   r->xyz[3 * i + 1], other->xyz[3 * i + 1]);
            return 0;
        }
    }
    return 1;
}

int main(void)
{
    struct row le, be;
    int sound;

    if (!write_and_read("sgilog_words_le.tif", "wl", &le) ||
        !write_and_read("sgilog_words_be.tif", "wb", &be))
        return 2;
    sound = check("sgilog_words_le.tif", "wl", &le, &be);
    sound &= check("sgilog_words_be.tif", "wb", &be, &le);
    return !sound;
}
