/* TIFFPrintDirectory prints RichTIFFIPTC's count of LONGs as its bytes
 * (docs/known-defects.md).
 *
 * A directory in a handle open for writing gets RichTIFFIPTC (33723), whose
 * type is LONG: TIFFSetField(3tiff) takes a count and the data, three LONGs
 * here, 12 bytes. TIFFPrintDirectory says how many bytes the field holds;
 * it must say 12.
 *
 * Exit status: 0 when the print says 12 bytes, 1 when it says another
 * number (the defect; the line is printed), 2 when the program cannot run. */
#include <stdio.h>
#include <string.h>
#include <tiffio.h>

#define FILENAME "print_iptc_count.tif"

int main(void)
{
    static const uint32_t iptc[3] = {0x1c020000U, 0x05000a1cU, 0x02050004U};
    char line[256];
    unsigned bytes = 0;
    int found = 0;
    TIFF *tif = TIFFOpen(FILENAME, "w");
    FILE *out;

    if (!tif)
        return 2;
    if (!TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1) ||
        !TIFFSetField(tif, TIFFTAG_RICHTIFFIPTC, 3U, iptc) || !(out = tmpfile())) {
        TIFFClose(tif);
        remove(FILENAME);
        return 2;
    }
    TIFFPrintDirectory(tif, out, TIFFPRINT_NONE);
    TIFFClose(tif);
    remove(FILENAME);
    rewind(out);
    while (fgets(line, sizeof(line), out)) {
        const char *at = strstr(line, "RichTIFFIPTC");
        const char *comma = at ? strrchr(line, ',') : NULL;
        if (comma && sscanf(comma, ", %u bytes", &bytes) == 1) {
            found = 1;
            if (bytes != sizeof(iptc))
                printf("%s", line);
        }
    }
    fclose(out);
    if (!found)
        return 2;
    return bytes == sizeof(iptc) ? 0 : 1;
}
