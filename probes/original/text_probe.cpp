// Proves that ASCII fields, and the multi-string InkNames field, survive one
// write, close, reopen and read cycle through the TIFF library.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <tiffio.h>
#include <unistd.h>

const char filename[] = "ascii_test.tiff";

struct BaseField {
    ttag_t tag;
    uint32_t value;
    const char *message;
};

// Set in this order; the library needs the image shape before the rest.
constexpr BaseField base_fields[] = {
    {TIFFTAG_IMAGEWIDTH, 1, "Can't set ImageWidth tag.\n"},
    {TIFFTAG_IMAGELENGTH, 1, "Can't set ImageLength tag.\n"},
    {TIFFTAG_BITSPERSAMPLE, 8, "Can't set BitsPerSample tag.\n"},
    {TIFFTAG_SAMPLESPERPIXEL, 3, "Can't set SamplesPerPixel tag.\n"},
    {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG, "Can't set PlanarConfiguration tag.\n"},
    {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB, "Can't set PhotometricInterpretation tag.\n"},
};

struct TextProbe {
    ttag_t tag;
    const char *value;
};

constexpr TextProbe text_probes[] = {
    {TIFFTAG_DOCUMENTNAME, "Test TIFF image"},
    {TIFFTAG_IMAGEDESCRIPTION, "Temporary test image"},
    {TIFFTAG_MAKE, "This is not scanned image"},
    {TIFFTAG_MODEL, "No scanner"},
    {TIFFTAG_PAGENAME, "Test page"},
    {TIFFTAG_SOFTWARE, "Quillon library"},
    {TIFFTAG_DATETIME, "2004:09:10 16:09:00"},
    {TIFFTAG_ARTIST, "Marten Q. Holoway"},
    {TIFFTAG_HOSTCOMPUTER, "Debian GNU/Linux (Sarge)"},
    {TIFFTAG_TARGETPRINTER, "No printer"},
    {TIFFTAG_COPYRIGHT, "Copyright (c) 2004, Marten Holoway"},
    {TIFFTAG_FAXSUBADDRESS, "Fax subaddress"},
    {TIFFTAG_UNIQUECAMERAMODEL, "No camera"},
    {TIFFTAG_CAMERASERIALNUMBER, "1234567890"},
};

// Three names, each with its own terminator; the byte count travels with it.
const char ink_names[15] = {'R', 'e',  'd', '\0', 'G', 'r', 'e', 'e',
                            'n', '\0', 'B', 'l',  'u', 'e', '\0'};
extern const int ink_names_size = sizeof(ink_names);

int main()
{
    TIFF *tif;
    size_t i;
    unsigned char buf[3] = {0, 127, 255};
    char *value;

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

    for (i = 0; i < sizeof(text_probes) / sizeof(text_probes[0]); i++) {
        if (!TIFFSetField(tif, text_probes[i].tag, text_probes[i].value)) {
            fprintf(stderr, "Can't set tag %lu.\n", static_cast<unsigned long>(text_probes[i].tag));
            goto failure;
        }
    }

    // The library checks InkNames against NumberOfInks, so that comes first.
    if (!TIFFSetField(tif, TIFFTAG_NUMBEROFINKS, 3)) {
        fprintf(stderr, "Can't set tag %d (NUMBEROFINKS).\n", TIFFTAG_NUMBEROFINKS);
        goto failure;
    }
    if (!TIFFSetField(tif, TIFFTAG_INKNAMES, ink_names_size, ink_names)) {
        fprintf(stderr, "Can't set tag %d (INKNAMES).\n", TIFFTAG_INKNAMES);
        goto failure;
    }

    // Not checked here: a lost row leaves no strip, and the reopen then
    // fails on its own.
    TIFFWriteScanline(tif, buf, 0, 0);
    TIFFClose(tif);

    tif = TIFFOpen(filename, "r");
    if (!tif) {
        fprintf(stderr, "Can't open test TIFF file %s.\n", filename);
        return 1;
    }

    // A fetch that claims success but stores no pointer counts as failed:
    // comparing through it would crash instead of reporting.
    for (i = 0; i < sizeof(text_probes) / sizeof(text_probes[0]); i++) {
        value = nullptr;
        if (!TIFFGetField(tif, text_probes[i].tag, &value) || !value ||
            strcmp(value, text_probes[i].value) != 0) {
            fprintf(stderr, "Can't get tag %lu.\n", static_cast<unsigned long>(text_probes[i].tag));
            goto failure;
        }
    }

    value = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_INKNAMES, &value) || !value ||
        memcmp(value, ink_names, ink_names_size) != 0) {
        fprintf(stderr, "Can't get tag %d (INKNAMES).\n", TIFFTAG_INKNAMES);
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
