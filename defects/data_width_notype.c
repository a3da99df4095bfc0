/* TIFFDataWidth gives type 0 a width (docs/known-defects.md).
 *
 * TIFFDataWidth(3tiff): "0 returned when unknown data type supplied.", and
 * type 0 is not among the types it lists. TIFF 6.0 numbers the field types
 * from 1 (BYTE) to 12 (DOUBLE); 0 is none.
 *
 * Exit status: 0 when TIFFDataWidth(0) is 0, 1 otherwise (the defect). */
#include <stdio.h>
#include <tiffio.h>

int main(void)
{
    int got = TIFFDataWidth((TIFFDataType)0);

    if (got != 0) {
        printf("type 0 gave %d, expected 0\n", got);
        return 1;
    }
    return 0;
}
