// Prints the first line of the version string of the TIFF library that is
// actually loaded, which is the one the probes are testing.
#include <cstdio>
#include <cstring>

#include <tiffio.h>

int main()
{
    const char *version = TIFFGetVersion();
    const char *end = strchr(version, '\n');
    int n = end ? static_cast<int>(end - version) : static_cast<int>(strlen(version));

    printf("%.*s\n", n, version);
    return 0;
}
