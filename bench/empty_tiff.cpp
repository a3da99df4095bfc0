// The floor for a whole probe process: load the same TIFF library, create
// one empty TIFF file, close and remove it.
#include <cstdio>

#include <tiffio.h>
#include <unistd.h>

int main()
{
    const char filename[] = "floor.tif";
    TIFF *tif = TIFFOpen(filename, "w");

    if (!tif) {
        fprintf(stderr, "Can't create test TIFF file %s.\n", filename);
        return 1;
    }
    TIFFClose(tif);
    unlink(filename);
    return 0;
}
