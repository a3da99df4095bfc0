/* A counted text without its NUL loses its last byte
 * (docs/known-defects.md).
 *
 * A private ASCII field registered with its count passed (TIFF_VARIABLE2,
 * as TIFFMergeFieldInfo(3tiff) allows) is stored in a file built byte by
 * byte as the five bytes "abcde", no NUL. TIFF 6.0 ends a text with NUL, so
 * a reader may ignore the field or give the five bytes; it may add a NUL
 * after them.
 *
 * Exit status: 0 when the field is absent or its first five bytes are
 * "abcde", 1 when they are not (the defect: the last byte is overwritten
 * with the NUL; printed), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define TAG 65102

static unsigned char file[512];
static TIFFExtendProc previous;
static char name[] = "private text";

static void add_field(TIFF *tif)
{
    static const TIFFFieldInfo info[] = {
        {TAG, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_ASCII, FIELD_CUSTOM, 1, 1, name}};
    TIFFMergeFieldInfo(tif, info, 1);
    if (previous)
        previous(tif);
}

static void put16(unsigned at, unsigned v)
{
    file[at] = (unsigned char)v;
    file[at + 1] = (unsigned char)(v >> 8);
}

static void put32(unsigned at, uint32_t v)
{
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
}

static void entry(unsigned i, unsigned tag, unsigned type, uint32_t count, uint32_t value)
{
    const unsigned at = 8 + 2 + 12 * i;
    put16(at, tag);
    put16(at + 2, type);
    put32(at + 4, count);
    put32(at + 8, value);
}

int main(void)
{
    const unsigned entries = 9;
    const unsigned text = 8 + 2 + 12 * entries + 4;
    const unsigned pixel = text + 6;
    const unsigned size = pixel + 1;
    uint32_t count = 0;
    const char *got = NULL;
    FILE *f;
    TIFF *tif;
    int wrong = 0;

    file[0] = 'I';
    file[1] = 'I';
    put16(2, 42);
    put32(4, 8);
    put16(8, entries);
    entry(0, 256, 3, 1, 1);
    entry(1, 257, 3, 1, 1);
    entry(2, 258, 3, 1, 8);
    entry(3, 259, 3, 1, 1);
    entry(4, 262, 3, 1, 1);
    entry(5, 273, 4, 1, pixel);
    entry(6, 278, 3, 1, 1);
    entry(7, 279, 4, 1, 1);
    entry(8, TAG, 2, 5, text); /* "abcde", no NUL */
    put32(8 + 2 + 12 * entries, 0);
    memcpy(file + text, "abcde", 5);
    file[pixel] = 7;

    previous = TIFFSetTagExtender(add_field);
    f = fopen("private_text_last_byte.tif", "wb");
    if (!f || fwrite(file, 1, size, f) != size || fclose(f) != 0)
        return 2;
    tif = TIFFOpen("private_text_last_byte.tif", "r");
    if (!tif)
        return 2;
    if (TIFFGetField(tif, TAG, &count, &got) && (!got || count < 5 || memcmp(got, "abcde", 5))) {
        printf("tag %d (ASCII, count 5, \"abcde\"): count %u,", TAG, count);
        for (uint32_t i = 0; got && i < count; i++)
            printf(" %02x", (unsigned char)got[i]);
        printf("\n");
        wrong = 1;
    }
    TIFFClose(tif);
    remove("private_text_last_byte.tif");
    return wrong;
}
