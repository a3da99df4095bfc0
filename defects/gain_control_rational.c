/* EXIF GainControl is written as a RATIONAL (docs/known-defects.md).
 *
 * EXIF makes GainControl (41991) a SHORT. The program writes an EXIF
 * directory holding it, then page 0 linking it (EXIFIFD), and reads the
 * entry's type from the file's bytes: little-endian classic TIFF, header,
 * IFD 0, the EXIF link, the EXIF directory, every offset checked against the
 * file's size before use.
 *
 * Exit status: 0 when the library describes and writes GainControl as a
 * SHORT, 1 when it does not (the defect), 2 when the program cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <tiffio.h>

#define FILENAME "gain_control_rational.tif"
#define SIZE_LIMIT 4096

static unsigned char file[SIZE_LIMIT];
static long file_size;

static unsigned get16(long at)
{
    return file[at] | file[at + 1] << 8;
}

static uint32_t get32(long at)
{
    return (uint32_t)get16(at) | (uint32_t)get16(at + 2) << 16;
}

/* The entry for tag in the IFD at offset: its position in the file, or -1
 * after saying why there is none. */
static long find_entry(uint32_t offset, unsigned tag)
{
    unsigned count, i;

    if (offset > (uint32_t)file_size - 2) {
        printf("IFD at %lu lies outside the file of %ld bytes\n", (unsigned long)offset, file_size);
        return -1;
    }
    count = get16(offset);
    if ((file_size - offset - 2) / 12 < count) {
        printf("IFD at %lu: %u entries overrun the file\n", (unsigned long)offset, count);
        return -1;
    }
    for (i = 0; i < count; i++)
        if (get16(offset + 2 + 12L * i) == tag)
            return offset + 2 + 12L * i;
    printf("IFD at %lu has no tag %u\n", (unsigned long)offset, tag);
    return -1;
}

static int write_file(TIFFDataType described)
{
    uint64_t exif = 0;
    uint8_t pixel = 7;
    int set;
    TIFF *tif = TIFFOpen(FILENAME, "wl");

    if (!tif || TIFFCreateEXIFDirectory(tif) != 0)
        return 0;
    /* Passed as the library takes it: a float for a RATIONAL, else an int. */
    if (described == TIFF_RATIONAL)
        set = TIFFSetField(tif, EXIFTAG_GAINCONTROL, 2.0);
    else
        set = TIFFSetField(tif, EXIFTAG_GAINCONTROL, 2);
    if (!set || !TIFFWriteCustomDirectory(tif, &exif))
        return 0;
    /* Creating page 0 does not release the EXIF directory's values. */
    TIFFFreeDirectory(tif);
    TIFFCreateDirectory(tif);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_EXIFIFD, exif);
    if (TIFFWriteScanline(tif, &pixel, 0, 0) != 1)
        return 0;
    TIFFClose(tif);
    return 1;
}

int main(void)
{
    TIFFDataType described;
    long link, entry;
    unsigned written;
    FILE *f;
    TIFF *probe = TIFFOpen(FILENAME, "wl");

    if (!probe || TIFFCreateEXIFDirectory(probe) != 0)
        return 2;
    described = TIFFFieldDataType(TIFFFieldWithTag(probe, EXIFTAG_GAINCONTROL));
    TIFFClose(probe);
    if (!write_file(described))
        return 2;

    f = fopen(FILENAME, "rb");
    if (!f)
        return 2;
    file_size = (long)fread(file, 1, SIZE_LIMIT, f);
    fclose(f);
    if (file_size < 8 || file[0] != 'I' || file[1] != 'I' || get16(2) != 42) {
        printf("%s: not a little-endian classic TIFF file\n", FILENAME);
        return 2;
    }
    link = find_entry(get32(4), TIFFTAG_EXIFIFD);
    entry = link < 0 ? -1 : find_entry(get32(link + 8), EXIFTAG_GAINCONTROL);
    if (entry < 0)
        return 2;
    written = get16(entry + 2);
    if (described == TIFF_SHORT && written == TIFF_SHORT)
        return 0;
    printf("tag 41991 described as type %d, written as type %u; EXIF: SHORT (3)\n", described,
           written);
    return 1;
}
