#include "field_expect.h"

#include <cstdio>

// The seeds make a fetch that reports success but stores nothing visible:
// it can only match an expectation that happens to equal the seed.

int CheckShortField(TIFF *tif, ttag_t field, uint16_t value)
{
    uint16_t tmp = 123;

    if (!TIFFGetField(tif, field, &tmp)) {
        fprintf(stderr, "Problem fetching tag %lu.\n", static_cast<unsigned long>(field));
        return -1;
    }
    if (tmp != value) {
        fprintf(stderr, "Wrong SHORT value fetched for tag %lu.\n",
                static_cast<unsigned long>(field));
        return -1;
    }
    return 0;
}

int CheckShortPairedField(TIFF *tif, ttag_t field, const uint16_t *values)
{
    uint16_t tmp[2] = {123, 456};

    if (!TIFFGetField(tif, field, &tmp[0], &tmp[1])) {
        fprintf(stderr, "Problem fetching tag %lu.\n", static_cast<unsigned long>(field));
        return -1;
    }
    if (tmp[0] != values[0] || tmp[1] != values[1]) {
        fprintf(stderr, "Wrong SHORT PAIR fetched for tag %lu.\n",
                static_cast<unsigned long>(field));
        return -1;
    }
    return 0;
}

int CheckLongField(TIFF *tif, ttag_t field, uint32_t value)
{
    uint32_t tmp = 123;

    if (!TIFFGetField(tif, field, &tmp)) {
        fprintf(stderr, "Problem fetching tag %lu.\n", static_cast<unsigned long>(field));
        return -1;
    }
    if (tmp != value) {
        fprintf(stderr, "Wrong LONG value fetched for tag %lu.\n",
                static_cast<unsigned long>(field));
        return -1;
    }
    return 0;
}
