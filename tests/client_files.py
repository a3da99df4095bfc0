"""Reads the files that client_probe writes through TIFFFdOpen (kept by the
fault shim's keep rule) with tifffile, which shares no code with the TIFF
library, and checks both pages: byte order and format, geometry, strips,
description and every pixel against the probe's pattern. Prints one line per
difference on stderr and exits 1 if there was any.

Usage: /usr/bin/python3 client_files.py client_fd.tif client_fd.btf
"""
import os
import sys

import numpy
import tifffile

# Byte order and BigTIFF of each file.
LAYOUTS = {
    "client_fd.tif": ("<", False),
    "client_fd.btf": (">", True),
}
# width, length, rows per strip, description: probes/client/client_values.h's pages
PAGES = [
    (24, 10, 4, "client page 0"),
    (9, 5, 5, "client page 1"),
]

problems = []


def pixels(k, width, length):
    """Page k's pixels: byte i is k * 37 + i * 7 + 3, modulo 256."""
    i = numpy.arange(width * length, dtype=numpy.uint32)
    return ((k * 37 + i * 7 + 3) & 0xFF).astype(numpy.uint8).reshape(length, width)


def check(path):
    name = os.path.basename(path)
    order, bigtiff = LAYOUTS[name]
    with tifffile.TiffFile(path) as tif:
        if tif.byteorder != order or tif.is_bigtiff != bigtiff:
            problems.append(f"{name}: byte order {tif.byteorder}, BigTIFF {tif.is_bigtiff}")
        if len(tif.pages) != len(PAGES):
            problems.append(f"{name}: {len(tif.pages)} pages, expected {len(PAGES)}")
            return
        for k, (width, length, rows, text) in enumerate(PAGES):
            page = tif.pages[k]
            strips = (length + rows - 1) // rows
            if (page.imagewidth, page.imagelength, page.rowsperstrip) != (width, length, rows):
                problems.append(f"{name}: page {k}: {page.imagewidth} x {page.imagelength}, "
                                f"{page.rowsperstrip} rows a strip")
                continue
            if len(page.dataoffsets) != strips:
                problems.append(f"{name}: page {k}: {len(page.dataoffsets)} strips")
            if page.description != text:
                problems.append(f"{name}: page {k}: description {page.description!r}")
            got = page.asarray()
            if not numpy.array_equal(got, pixels(k, width, length)):
                problems.append(f"{name}: page {k}: pixels differ")


for p in sys.argv[1:]:
    check(p)
for line in problems:
    print(line, file=sys.stderr)
sys.exit(1 if problems else 0)
