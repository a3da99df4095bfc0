// What the newer probes share, by concern: the skeleton (layouts, main
// loop, handles), the lines they print, the checks on disk and the library's
// messages. The four original probes keep their own single-file shape.
#ifndef TIFF_PROBES_PROBE_SUPPORT_H
#define TIFF_PROBES_PROBE_SUPPORT_H

#include "library_messages.h"
#include "lines.h"
#include "on_disk.h"
#include "skeleton.h"

#endif
