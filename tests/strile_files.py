"""Reads files that strile_probe leaves (kept by the fault shim's keep rule)
with tifffile, which shares no code with the TIFF library: the page of
deferred arrays and the page checkpointed twice, their format and every pixel
against the probe's pattern. Prints one line per difference on stderr and
exits 1 if there was any.

Usage: /usr/bin/python3 strile_files.py deferred_le.tif checkpoints_be.btf ...
"""
import os
import sys

import numpy
import tifffile

import tile_files
from tile_files import sample

# Width, length and rows per strip of each check's one page
# (probes/strile/strile_values.h).
PAGES = {"deferred": (16, 10, 2), "checkpoints": (8, 14, 2)}
problems = tile_files.problems


def check_file(path):
    name = os.path.basename(path)
    width, length, rows = PAGES[name.split("_")[0]]
    with tifffile.TiffFile(path) as tif:
        layout = (tif.byteorder, tif.is_bigtiff)
        if layout != (">" if "_be." in name else "<", name.endswith(".btf")):
            problems.append(f"{name}: byte order {tif.byteorder}, BigTIFF {tif.is_bigtiff}")
        if len(tif.pages) != 1:
            problems.append(f"{name}: {len(tif.pages)} pages, expected 1")
        got = tif.pages[0].asarray()
    expected = numpy.array([[sample(0, y // rows, x, y % rows, 0, 8) for x in range(width)]
                            for y in range(length)])
    if not numpy.array_equal(got, expected):
        problems.append(f"{name}: page 0: pixels differ")


def main():
    return tile_files.run(check_file, sys.argv[1:]) or (0 if len(sys.argv) > 1 else 1)


if __name__ == "__main__":
    sys.exit(main())
