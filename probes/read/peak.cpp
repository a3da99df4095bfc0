#include "peak.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace read_peak {

long PeakKib()
{
    FILE *f = fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof(line), f)) {
        if (strncmp(line, "VmHWM:", 6) == 0) {
            kib = strtol(line + 6, nullptr, 10);
            break;
        }
    }
    fclose(f);
    return kib;
}

void ResetPeak()
{
    FILE *f = fopen("/proc/self/clear_refs", "w");
    if (!f)
        return;
    fputs("5", f);
    fclose(f);
}

} // namespace read_peak
