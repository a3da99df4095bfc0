// Proves that LONG fields survive one write, close, reopen and read cycle
// through the TIFF library.
#include <cstdint>
#include <cstdio>

#include <tiffio.h>
#include <unistd.h>

#include "field_expect.h"

const char *filename = "long_test.tiff";

extern const uint32_t width = 1;
extern const uint32_t length = 1;
extern const uint32_t rows_per_strip = 1;

struct BaseField {
    ttag_t tag;
    uint32_t value;
    const char *message;
};

// Set in this order; the library needs the image shape before the rest.
constexpr BaseField base_fields[] = {
    {TIFFTAG_IMAGEWIDTH, width, "Can't set ImageWidth tag.\n"},
    {TIFFTAG_IMAGELENGTH, length, "Can't set ImageLength tag.\n"},
    {TIFFTAG_BITSPERSAMPLE, 8, "Can't set BitsPerSample tag.\n"},
    {TIFFTAG_SAMPLESPERPIXEL, 3, "Can't set SamplesPerPixel tag.\n"},
    {TIFFTAG_ROWSPERSTRIP, rows_per_strip, "Can't set RowsPerStrip tag.\n"},
    {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG, "Can't set PlanarConfiguration tag.\n"},
    {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB, "Can't set PhotometricInterpretation tag.\n"},
};

struct Tags {
    ttag_t tag;
    // One value per field; part of the record's layout, never read.
    // cppcheck-suppress unusedStructMember
    int16_t count;
    uint32_t value;
};

constexpr Tags word_probes[] = {
    {TIFFTAG_SUBFILETYPE, 1, FILETYPE_REDUCEDIMAGE | FILETYPE_PAGE | FILETYPE_MASK},
};

int main(int argc, char **argv)
{
    TIFF *tif;
    size_t i;
    unsigned char buf[3] = {0, 127, 255};

    (void)argc;
    (void)argv;

    tif = TIFFOpen(filename, "w");
    if (!tif) {
        fprintf(stderr, "Can't create test TIFF file %s.\n", filename);
        return 1;
    }

    for (i = 0; i < sizeof(base_fields) / sizeof(base_fields[0]); i++) {
        if (!TIFFSetField(tif, base_fields[i].tag, base_fields[i].value)) {
            fprintf(stderr, "%s", base_fields[i].message);
            goto failure;
        }
    }

    for (i = 0; i < sizeof(word_probes) / sizeof(word_probes[0]); i++) {
        if (!TIFFSetField(tif, word_probes[i].tag, word_probes[i].value)) {
            fprintf(stderr, "Can't set tag %d.\n", static_cast<int>(word_probes[i].tag));
            goto failure;
        }
    }

    // Not checked here: a lost row leaves no strip, and the reopen or the
    // read-back below then fails on its own.
    TIFFWriteScanline(tif, buf, 0, 0);
    TIFFClose(tif);

    tif = TIFFOpen(filename, "r");
    if (!tif) {
        // The file is already closed; it stays for inspection.
        fprintf(stderr, "Can't open test TIFF file %s.\n", filename);
        return 1;
    }

    if (CheckLongField(tif, TIFFTAG_IMAGEWIDTH, width) < 0)
        goto failure;
    if (CheckLongField(tif, TIFFTAG_IMAGELENGTH, length) < 0)
        goto failure;
    if (CheckLongField(tif, TIFFTAG_ROWSPERSTRIP, rows_per_strip) < 0)
        goto failure;
    for (i = 0; i < sizeof(word_probes) / sizeof(word_probes[0]); i++) {
        if (CheckLongField(tif, word_probes[i].tag, word_probes[i].value) < 0)
            goto failure;
    }

    TIFFClose(tif);
    unlink(filename);
    return 0;

failure:
    // Unlike the other field probes, this one never leaves its file behind
    // once it has been created and is still open.
    TIFFClose(tif);
    unlink(filename);
    return 1;
}
