"""Reads the files that directory_probe leaves after a passing run (kept by
the fault shim's keep rule) with tifffile, which shares nothing with the TIFF
library, and checks what the probe expects of them: four pages in the order
0, 2, 3, 4 with page 2 rewritten, the EXIF and GPS values of page 0 and the
two sub-images of page 3. Prints one line per difference on stderr and exits
1 if there was any.

Usage: /usr/bin/python3 directory_files.py pages_le.tif pages_be.btf
"""
import os
import sys

import tifffile

# Byte order and BigTIFF of each layout.
LAYOUTS = {"pages_le.tif": ("<", False), "pages_be.btf": (">", True)}
# The original page at each index, its description and PageNumber.
PAGES = [
    (0, "page 0", (0, 4)),
    (2, "page 2, rewritten in place with a longer description", (2, 4)),
    (3, "page 3", (3, 4)),
    (4, "page 4", (4, 5)),
]
EXIF = {
    "ExposureTime": [1 / 128],
    "ISOSpeedRatings": (100, 800, 51200),
    "ExifVersion": "0231",
    "DateTimeOriginal": "2026:12:08 07:00:00",
}
GPS = {
    "GPSVersionID": b"\x02\x02\x00\x00",
    "GPSLatitudeRef": "N",
    "GPSLatitude": [48, 8, 30.5],
}
RATIONALS = ("ExposureTime", "GPSLatitude")
# Shape and first pixel of the sub-images of page 3; pixel i is first + i.
SUB_IMAGES = [((4, 6), 200), ((2, 3), 220)]

problems = []


def expect(what, got, expected):
    if got != expected:
        problems.append(f"{what}: {got!r} instead of {expected!r}")


def pixels(shape, first):
    return [[(first + i) % 256 for i in range(row * shape[1], (row + 1) * shape[1])]
            for row in range(shape[0])]


def ratios(values):
    """tifffile gives RATIONALs as flat numerator, denominator pairs."""
    return [values[i] / values[i + 1] for i in range(0, len(values), 2)]


def check_tags(what, got, expected):
    for name, value in expected.items():
        if name not in got:
            problems.append(f"{what}: no {name}")
        elif name in RATIONALS:
            expect(f"{what}: {name}", ratios(got[name]), value)
        else:
            expect(f"{what}: {name}", got[name], value)


def check_file(path):
    name = os.path.basename(path)
    with tifffile.TiffFile(path) as tif:
        expect(f"{name}: byte order", tif.byteorder, LAYOUTS[name][0])
        expect(f"{name}: BigTIFF", tif.is_bigtiff, LAYOUTS[name][1])
        expect(f"{name}: pages", len(tif.pages), len(PAGES))
        for k, (page, (id_, description, number)) in enumerate(zip(tif.pages, PAGES)):
            what = f"{name}: page {k}"
            expect(f"{what}: description", page.description, description)
            expect(f"{what}: PageNumber", page.tags["PageNumber"].value, number)
            expect(f"{what}: pixels", page.asarray().tolist(), pixels((8, 12), 1 + 40 * id_))
        page = tif.pages[0]
        check_tags(f"{name}: EXIF", page.tags["ExifTag"].value, EXIF)
        check_tags(f"{name}: GPS", page.tags["GPSTag"].value, GPS)
        page = tif.pages[2]
        subs = page.pages or []
        expect(f"{name}: page 2: SubIFDs", len(subs), len(SUB_IMAGES))
        for k, (sub, (shape, first)) in enumerate(zip(subs, SUB_IMAGES)):
            what = f"{name}: SubIFD {k}"
            expect(f"{what}: NewSubfileType", int(sub.subfiletype), 1)
            expect(f"{what}: pixels", sub.asarray().tolist(), pixels(shape, first))


def main():
    for path in sys.argv[1:]:
        try:
            check_file(path)
        except Exception as e:  # any failure to read is a finding
            problems.append(f"{path}: {type(e).__name__}: {e}")
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems or len(sys.argv) != 3 else 0


if __name__ == "__main__":
    sys.exit(main())
