// Proves that SHORT fields, single values and pairs, survive one write,
// close, reopen and read cycle through the TIFF library.
#include <cstdint>
#include <cstdio>

#include <tiffio.h>
#include <unistd.h>

#include "field_expect.h"

extern const uint16_t width = 1;
extern const uint16_t length = 1;
extern const uint16_t bps = 8;
extern const uint16_t photometric = PHOTOMETRIC_RGB;
extern const uint16_t rows_per_strip = 1;
extern const uint16_t planarconfig = PLANARCONFIG_CONTIG;

const char filename[] = "short_test.tiff";

struct BaseField {
    ttag_t tag;
    uint32_t value;
    const char *message;
};

// Set in this order; the library needs the image shape before the rest.
constexpr BaseField base_fields[] = {
    {TIFFTAG_IMAGEWIDTH, width, "Can't set ImageWidth tag.\n"},
    {TIFFTAG_IMAGELENGTH, length, "Can't set ImageLength tag.\n"},
    {TIFFTAG_BITSPERSAMPLE, bps, "Can't set BitsPerSample tag.\n"},
    {TIFFTAG_SAMPLESPERPIXEL, 3, "Can't set SamplesPerPixel tag.\n"},
    {TIFFTAG_ROWSPERSTRIP, rows_per_strip, "Can't set RowsPerStrip tag.\n"},
    {TIFFTAG_PLANARCONFIG, planarconfig, "Can't set PlanarConfiguration tag.\n"},
    {TIFFTAG_PHOTOMETRIC, photometric, "Can't set PhotometricInterpretation tag.\n"},
};

struct ShortSingleTag {
    ttag_t tag;
    uint16_t value;
};

constexpr ShortSingleTag short_single_tags[] = {
    {TIFFTAG_COMPRESSION, COMPRESSION_NONE},
    {TIFFTAG_FILLORDER, FILLORDER_MSB2LSB},
    {TIFFTAG_ORIENTATION, ORIENTATION_BOTRIGHT},
    {TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH},
    {TIFFTAG_MINSAMPLEVALUE, 23},
    {TIFFTAG_MAXSAMPLEVALUE, 241},
    {TIFFTAG_INKSET, INKSET_MULTIINK},
    {TIFFTAG_NUMBEROFINKS, 3},
    {TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT},
};

struct ShortPairedTag {
    ttag_t tag;
    uint16_t values[2];
};

constexpr ShortPairedTag short_paired_tags[] = {
    {TIFFTAG_PAGENUMBER, {1, 1}},
    {TIFFTAG_HALFTONEHINTS, {0, 255}},
    {TIFFTAG_DOTRANGE, {8, 16}},
    {TIFFTAG_YCBCRSUBSAMPLING, {2, 1}},
};

int main()
{
    TIFF *tif;
    size_t i;
    unsigned char buf[3] = {0, 127, 255};

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

    for (i = 0; i < sizeof(short_single_tags) / sizeof(short_single_tags[0]); i++) {
        if (!TIFFSetField(tif, short_single_tags[i].tag, short_single_tags[i].value)) {
            fprintf(stderr, "Can't set tag %lu.\n",
                    static_cast<unsigned long>(short_single_tags[i].tag));
            goto failure;
        }
    }

    for (i = 0; i < sizeof(short_paired_tags) / sizeof(short_paired_tags[0]); i++) {
        if (!TIFFSetField(tif, short_paired_tags[i].tag, short_paired_tags[i].values[0],
                          short_paired_tags[i].values[1])) {
            fprintf(stderr, "Can't set tag %lu.\n",
                    static_cast<unsigned long>(short_paired_tags[i].tag));
            goto failure;
        }
    }

    // Not checked here: a lost row leaves no strip, and the reopen or the
    // read-back below then fails on its own.
    TIFFWriteScanline(tif, buf, 0, 0);
    TIFFClose(tif);

    tif = TIFFOpen(filename, "r");
    if (!tif) {
        fprintf(stderr, "Can't open test TIFF file %s.\n", filename);
        return 1;
    }

    // The LONG-typed base fields go through the 32-bit check.
    if (CheckLongField(tif, TIFFTAG_IMAGEWIDTH, width) < 0)
        goto failure;
    if (CheckLongField(tif, TIFFTAG_IMAGELENGTH, length) < 0)
        goto failure;
    if (CheckShortField(tif, TIFFTAG_BITSPERSAMPLE, bps) < 0)
        goto failure;
    if (CheckShortField(tif, TIFFTAG_PHOTOMETRIC, photometric) < 0)
        goto failure;
    if (CheckShortField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) < 0)
        goto failure;
    if (CheckLongField(tif, TIFFTAG_ROWSPERSTRIP, rows_per_strip) < 0)
        goto failure;
    if (CheckShortField(tif, TIFFTAG_PLANARCONFIG, planarconfig) < 0)
        goto failure;

    for (i = 0; i < sizeof(short_single_tags) / sizeof(short_single_tags[0]); i++) {
        if (CheckShortField(tif, short_single_tags[i].tag, short_single_tags[i].value) < 0)
            goto failure;
    }

    for (i = 0; i < sizeof(short_paired_tags) / sizeof(short_paired_tags[0]); i++) {
        if (CheckShortPairedField(tif, short_paired_tags[i].tag, short_paired_tags[i].values) < 0)
            goto failure;
    }

    TIFFClose(tif);
    unlink(filename);
    return 0;

failure:
    // The partly written file stays behind for inspection.
    TIFFClose(tif);
    return 1;
}
