/* A main directory that grows after a custom directory was written behind it
 * (docs/known-defects.md).
 *
 * TIFFCustomDirectory(3tiff)'s sequence for a GPS IFD, without the dummy link
 * of its step 3: the page is written, a GPS IFD is written after it, and the
 * page, read again, gets the link to it. The page has grown by one entry, so
 * it cannot be written where it was without covering the bytes after it: the
 * man page says it is then "written to the file again at an additional area,
 * leaving the first memory area unused". Once closed and reopened, the GPS
 * IFD must read back with its GPSVersionID.
 *
 * Exit status: 0 when it does, 1 when the GPS IFD is lost (the defect: the
 * grown page is written in place, over the GPS IFD), 2 when the program
 * cannot run. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define FILENAME "custom_directory_overwritten.tif"

int main(void)
{
    static const uint8_t version[4] = {2, 3, 0, 0};
    uint8_t pixel = 7;
    uint64_t gps = 0, linked = 0;
    uint64_t main_ifd = 0, main_after = 0;
    const uint8_t *got = NULL;
    tdir_t dir;
    TIFF *tif = TIFFOpen(FILENAME, "w");

    if (!tif)
        return 2;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    if (TIFFWriteEncodedStrip(tif, 0, &pixel, 1) != 1 || !TIFFWriteDirectory(tif))
        return 2;
    dir = TIFFCurrentDirectory(tif);
    if (TIFFCreateGPSDirectory(tif) != 0 || !TIFFSetField(tif, GPSTAG_VERSIONID, version) ||
        !TIFFWriteCustomDirectory(tif, &gps) || !TIFFSetDirectory(tif, dir))
        return 2;
    main_ifd = TIFFCurrentDirOffset(tif);
    if (!TIFFSetField(tif, TIFFTAG_GPSIFD, gps) || !TIFFWriteDirectory(tif))
        return 2;
    TIFFClose(tif);

    tif = TIFFOpen(FILENAME, "r");
    if (!tif)
        return 2;
    main_after = TIFFCurrentDirOffset(tif);
    printf("page at %llu, then at %llu; GPS IFD written at %llu\n", (unsigned long long)main_ifd,
           (unsigned long long)main_after, (unsigned long long)gps);
    if (!TIFFGetField(tif, TIFFTAG_GPSIFD, &linked) || linked != gps) {
        printf("the page links no GPS IFD at %llu\n", (unsigned long long)gps);
        TIFFClose(tif);
        return 1;
    }
    if (!TIFFReadGPSDirectory(tif, linked) || !TIFFGetField(tif, GPSTAG_VERSIONID, &got) || !got ||
        memcmp(got, version, 4) != 0) {
        printf("the GPS IFD at %llu has lost its GPSVersionID\n", (unsigned long long)gps);
        TIFFClose(tif);
        return 1;
    }
    TIFFClose(tif);
    return 0;
}
