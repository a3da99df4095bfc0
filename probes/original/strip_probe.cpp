// Proves that the TIFF library can change a written file in place: one
// PackBits strip replaced in a file opened for update, and the StripOffsets
// and StripByteCounts arrays replaced with 64-bit values, classic and BigTIFF.
#include <cstdint>
#include <cstdio>

#include <tiffio.h>
#include <unistd.h>

#include "tiff_rewrite.h"

extern const uint32_t width = 10;
extern const uint32_t rows_per_strip = 1;

struct BaseField {
    ttag_t tag;
    uint32_t value;
    const char *message;
};

// Every image here is one 8-bit sample wide, one row per strip, PackBits;
// only the number of rows differs between the tests.
static int SetBaseFields(TIFF *tif, uint32_t length)
{
    const BaseField base_fields[] = {
        {TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS, "Can't set Compression tag.\n"},
        {TIFFTAG_IMAGEWIDTH, width, "Can't set ImageWidth tag.\n"},
        {TIFFTAG_IMAGELENGTH, length, "Can't set ImageLength tag.\n"},
        {TIFFTAG_BITSPERSAMPLE, 8, "Can't set BitsPerSample tag.\n"},
        {TIFFTAG_SAMPLESPERPIXEL, 1, "Can't set SamplesPerPixel tag.\n"},
        {TIFFTAG_ROWSPERSTRIP, rows_per_strip, "Can't set RowsPerStrip tag.\n"},
        {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG, "Can't set PlanarConfiguration tag.\n"},
    };
    size_t i;

    for (i = 0; i < sizeof(base_fields) / sizeof(base_fields[0]); i++) {
        if (!TIFFSetField(tif, base_fields[i].tag, base_fields[i].value)) {
            fprintf(stderr, "%s", base_fields[i].message);
            return 0;
        }
    }
    return 1;
}

struct RewriteCase {
    const char *filename;
    int length;
    int bigtiff;
    uint64_t base_value;
};

// Cases 5 and 6 put every offset above 4 GiB (0x60 in the high word).
constexpr RewriteCase rewrite_cases[] = {
    {"rewrite1.tif", 10, 0, 100},
    {"rewrite2.tif", 10, 1, 100},
    {"rewrite3.tif", 1, 0, 100},
    {"rewrite4.tif", 1, 1, 100},
    {"rewrite5.tif", 1000, 1, 412316860416ULL},
    {"rewrite6.tif", 1, 1, 412316860416ULL},
};

static int TestPackbits()
{
    TIFF *tif;
    uint32_t i;
    unsigned char buf[10] = {0};
    const uint32_t length = 20;
    const char *filename = "test_packbits.tif";

    tif = TIFFOpen(filename, "w");
    if (!tif) {
        fprintf(stderr, "Can't create test TIFF file %s.\n", filename);
        return 1;
    }
    if (!SetBaseFields(tif, length))
        goto failure;

    // The write calls return -1 on error, so only a positive count is success.
    for (i = 0; i < length; i++) {
        if (TIFFWriteEncodedStrip(tif, i, buf, sizeof(buf)) <= 0) {
            fprintf(stderr, "Can't write image data.\n");
            goto failure;
        }
    }
    TIFFClose(tif);

    tif = TIFFOpen(filename, "r+");
    if (!tif) {
        fprintf(stderr, "Can't open test TIFF file %s.\n", filename);
        return 1;
    }

    // PackBits encodes this row to a different length than the zero row, so
    // the strip cannot simply be overwritten where it stands.
    buf[3] = 17;
    buf[6] = 12;
    if (TIFFWriteEncodedStrip(tif, 6, buf, sizeof(buf)) <= 0) {
        fprintf(stderr, "Can't write image data.\n");
        goto failure;
    }

    // The file is kept on purpose: it is the evidence of the update.
    TIFFClose(tif);
    return 0;

failure:
    TIFFClose(tif);
    return 1;
}

static void PrintMismatch(const char *filename, const char *array, int i, uint64_t got,
                          uint64_t expect)
{
    fprintf(stderr, "%s:%s[%d]: Got %X:%08X instead of %X:%08X.\n", filename, array, i,
            static_cast<unsigned>(got >> 32), static_cast<unsigned>(got & 0xffffffffU),
            static_cast<unsigned>(expect >> 32), static_cast<unsigned>(expect & 0xffffffffU));
}

static int RewriteTest(const char *filename, int length, int bigtiff, uint64_t base_value)
{
    TIFF *tif;
    int i;
    unsigned char buf[10] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    uint64_t *rowoffset;
    uint64_t *rowbytes;
    uint64_t *upd_rowoffset = nullptr;
    uint64_t *upd_bytecount = nullptr;
    uint64_t expect;
    const tmsize_t array_size = static_cast<tmsize_t>(sizeof(uint64_t)) * length;

    tif = TIFFOpen(filename, bigtiff ? "w8" : "w4");
    if (!tif) {
        fprintf(stderr, "Can't create test TIFF file %s.\n", filename);
        return 1;
    }
    if (!SetBaseFields(tif, static_cast<uint32_t>(length)))
        goto failure;

    // The write calls return -1 on error, so only a positive result is success.
    for (i = 0; i < length; i++) {
        if (TIFFWriteScanline(tif, buf, static_cast<uint32_t>(i), 0) <= 0) {
            fprintf(stderr, "Can't write image data.\n");
            goto failure;
        }
    }
    TIFFClose(tif);

    tif = TIFFOpen(filename, "r+");
    if (!tif) {
        fprintf(stderr, "Can't open test TIFF file %s.\n", filename);
        return 1;
    }

    // Fetching the arrays loads them, so the rewrite replaces known entries.
    // A fetch that claims success but stores no pointer counts as failed.
    rowoffset = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &rowoffset) || !rowoffset) {
        fprintf(stderr, "Can't fetch STRIPOFFSETS.\n");
        goto failure;
    }
    rowbytes = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &rowbytes) || !rowbytes) {
        fprintf(stderr, "Can't fetch STRIPBYTECOUNTS.\n");
        goto failure;
    }

    upd_rowoffset = static_cast<uint64_t *>(_TIFFmalloc(array_size));
    if (!upd_rowoffset) {
        fprintf(stderr, "Can't allocate memory for STRIPOFFSETS.\n");
        goto failure;
    }
    for (i = 0; i < length; i++)
        upd_rowoffset[i] = base_value + 10 * static_cast<uint64_t>(i);
    if (!_TIFFRewriteField(tif, TIFFTAG_STRIPOFFSETS, TIFF_LONG8, length, upd_rowoffset)) {
        fprintf(stderr, "Can't rewrite STRIPOFFSETS.\n");
        goto failure;
    }
    _TIFFfree(upd_rowoffset);
    upd_rowoffset = nullptr;

    upd_bytecount = static_cast<uint64_t *>(_TIFFmalloc(array_size));
    if (!upd_bytecount) {
        fprintf(stderr, "Can't allocate memory for STRIPBYTECOUNTS.\n");
        goto failure;
    }
    for (i = 0; i < length; i++)
        upd_bytecount[i] = 100 + 10 * static_cast<uint64_t>(i);
    if (!_TIFFRewriteField(tif, TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG8, length, upd_bytecount)) {
        fprintf(stderr, "Can't rewrite STRIPBYTECOUNTS.\n");
        goto failure;
    }
    _TIFFfree(upd_bytecount);
    upd_bytecount = nullptr;

    TIFFClose(tif);

    tif = TIFFOpen(filename, "r");
    if (!tif) {
        fprintf(stderr, "Can't open test TIFF file %s.\n", filename);
        return 1;
    }

    rowoffset = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &rowoffset) || !rowoffset) {
        fprintf(stderr, "Can't fetch STRIPOFFSETS.\n");
        goto failure;
    }
    for (i = 0; i < length; i++) {
        expect = base_value + 10 * static_cast<uint64_t>(i);
        if (rowoffset[i] != expect) {
            PrintMismatch(filename, "STRIPOFFSETS", i, rowoffset[i], expect);
            goto failure;
        }
    }

    rowbytes = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &rowbytes) || !rowbytes) {
        fprintf(stderr, "Can't fetch STRIPBYTECOUNTS.\n");
        goto failure;
    }
    for (i = 0; i < length; i++) {
        expect = 100 + 10 * static_cast<uint64_t>(i);
        if (rowbytes[i] != expect) {
            PrintMismatch(filename, "STRIPBYTECOUNTS", i, rowbytes[i], expect);
            goto failure;
        }
    }

    TIFFClose(tif);
    unlink(filename);
    return 0;

failure:
    // A refused rewrite leaves its replacement array with us; release it.
    if (upd_rowoffset)
        _TIFFfree(upd_rowoffset);
    if (upd_bytecount)
        _TIFFfree(upd_bytecount);
    TIFFClose(tif);
    return 1;
}

int main(int argc, char **argv)
{
    int failure;
    size_t i;

    (void)argc;
    (void)argv;

    // Every test writes PackBits strips, whose byte counts the rewrites
    // change freely; a library built without the codec skips them all.
    if (!TIFFIsCODECConfigured(COMPRESSION_PACKBITS)) {
        printf("skipped: no PackBits codec\n");
        return 0;
    }
    // Every test runs, whatever the earlier ones returned.
    failure = 0;
    failure |= TestPackbits();
    for (i = 0; i < sizeof(rewrite_cases) / sizeof(rewrite_cases[0]); i++) {
        failure |= RewriteTest(rewrite_cases[i].filename, rewrite_cases[i].length,
                               rewrite_cases[i].bigtiff, rewrite_cases[i].base_value);
    }
    return failure;
}
