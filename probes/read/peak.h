// Memory: the peak resident size, which a case may grow by at most
// max_growth_kib (the catalogue's cases and the explorer's combinations).
#ifndef TIFF_PROBES_READ_PEAK_H
#define TIFF_PROBES_READ_PEAK_H

namespace read_peak {

constexpr long max_growth_kib = 64L * 1024;

// VmHWM in KiB, or -1 where /proc does not tell it.
long PeakKib();
// Resets the peak to the resident size now, where /proc allows it.
void ResetPeak();

} // namespace read_peak

#endif
