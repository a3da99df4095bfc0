"""Reads the well-formed files of a read_probe run (kept by the fault shim's
keep rule) with tifffile, which shares no code with the TIFF library, and
compares every field and image with the table the probe exports
(TIFF_PROBES_READ_TABLE), so that the table cannot be wrong the way the
probe is. Prints one line per difference on stderr and exits 1 if there was
any.

Usage: /usr/bin/python3 read_files.py TABLE
"""
import os
import struct
import sys

import tifffile

# Where tifffile itself reads a file otherwise than its bytes mean, and why.
_SHORT_POINTER = ("in big-endian BigTIFF tifffile reads a 4-byte (LONG or IFD) EXIF or GPS "
                  "pointer as the 8 bytes of its slot, 16 << 32 for 16")
_NO_COUNTS = ("tifffile fails (an IndexError) on strips without StripByteCounts, which it "
              "estimates for one strip only")
TIFFFILE_WRONG = {
    "read_exif_long_be.btf": _SHORT_POINTER,
    "read_exif_ifd_be.btf": _SHORT_POINTER,
    "read_exif_dimensions_be.btf": _SHORT_POINTER,
    "read_gps_long_be.btf": _SHORT_POINTER,
    "read_gps_ifd_be.btf": _SHORT_POINTER,
    "read_no_strip_counts_2_le.tif": _NO_COUNTS,
    "read_no_strip_counts_2_be.tif": _NO_COUNTS,
    "read_no_strip_counts_2_le.btf": _NO_COUNTS,
    "read_no_strip_counts_2_be.btf": _NO_COUNTS,
}
# Fields that tifffile gives otherwise than as their values, by design: the
# IFD pointers become the IFDs they point to (a dict, or pages), and
# UserComment loses its 8-byte character code.
POINTERS = (330, 34665, 34853)
USER_COMMENT = 37510

SIGNED = {6: 1, 8: 2, 9: 4, 17: 8}
problems = []


def expected_values(type_, elements):
    """The elements of a table row as the numbers (or bytes) they stand for."""
    if type_ in (2, 7):
        return bytes(elements)
    if type_ in SIGNED:
        bits = 8 * SIGNED[type_]
        return [e - (1 << bits) if e >> (bits - 1) else e for e in elements]
    if type_ == 10:
        return [e - (1 << 32) if e >> 31 else e for e in elements]
    if type_ == 11:
        return [struct.unpack("<f", struct.pack("<I", e))[0] for e in elements]
    if type_ == 12:
        return [struct.unpack("<d", struct.pack("<Q", e))[0] for e in elements]
    return list(elements)


def flat(value):
    """tifffile's value of a field as a flat list, or bytes."""
    if isinstance(value, bytes):
        return value
    if isinstance(value, str):
        return value.encode("latin-1")
    if isinstance(value, (tuple, list)):
        out = []
        for v in value:
            out.extend(flat(v) if isinstance(v, (tuple, list)) else [v])
        return out
    return [value]


def same(got, type_, want):
    if type_ == 2:
        # tifffile gives the text without its terminating NULs; several
        # strings may come as one text with NULs inside, or the first alone.
        text = want.rstrip(b"\0")
        return got in (text, text.split(b"\0")[0], want)
    if isinstance(want, bytes):
        return bytes(got) == want
    return len(got) == len(want) and all(g == w for g, w in zip(got, want))


def check_directory(name, place, fields, image, directory):
    """Compares one directory's rows with what tifffile found there."""
    one_of = {}
    for tag, type_, rule, elements in fields:
        if rule == "O":
            one_of.setdefault(tag, []).append(expected_values(type_, elements))
    for tag, type_, rule, elements in fields:
        if rule in ("N", "L"):
            continue  # tifffile has no opinion on what a reader may leave out
        found, got = directory(tag)
        want = expected_values(type_, elements)
        if not found:
            if rule == "E":
                problems.append(f"{name}: {place}: tag {tag} absent in tifffile")
            continue
        if tag in POINTERS:
            continue
        if tag == USER_COMMENT and isinstance(want, bytes):
            want = want[8:]
        got = flat(got)
        wants = one_of.get(tag, [want]) if rule == "O" else [want]
        if not any(same(got, type_, w) for w in wants):
            problems.append(f"{name}: {place}: tag {tag} is {got!r} in tifffile, expected {want!r}")
    return image


def main():
    table = sys.argv[1]
    root = os.path.dirname(table)
    cases = []
    with open(table) as f:
        for line in f:
            word = line.split()
            if word[0] == "H":
                global image_order
                image_order = word[1]
            elif word[0] == "F":
                cases.append((word[1], []))
            elif word[0] == "D":
                cases[-1][1].append((word[1], [], None))
            elif word[0] == "T":
                cases[-1][1][-1][1].append(
                    (int(word[1]), int(word[2]), word[3], [int(w) for w in word[4:]]))
            elif word[0] == "I":
                place, fields, _ = cases[-1][1][-1]
                cases[-1][1][-1] = (place, fields, bytes.fromhex(word[1]))
    for name, directories in cases:
        if name in TIFFFILE_WRONG:
            print(f"{name}: not compared: {TIFFFILE_WRONG[name]}", file=sys.stderr)
            continue
        try:
            with tifffile.TiffFile(os.path.join(root, name)) as tif:
                for place, fields, image in directories:
                    check_place(tif, name, place, fields, image)
        except Exception as e:  # any failure to read is a finding
            problems.append(f"{name}: tifffile cannot read it: {e}")
    for p in problems:
        print(p, file=sys.stderr)
    print(f"{len(cases)} files read by tifffile", file=sys.stderr)
    return 1 if problems else 0


# The byte order of the exported images ("H" line): the probe's host's.
image_order = sys.byteorder


def check_place(tif, name, place, fields, image):
    parts = place.split("/")
    page = tif.pages[int(parts[0])]
    if len(parts) > 1 and parts[1].startswith("SubIFD_"):
        page = page.pages[int(parts[1][7:])]
    if len(parts) > 1 and parts[-1] in ("EXIF", "GPS"):
        code = 34665 if parts[-1] == "EXIF" else 34853
        names = tifffile.TIFF.TAGS if code == 34665 else tifffile.TIFF.GPS_TAGS
        linked = page.tags[code].value if code in page.tags else {}

        def lookup(tag):
            key = names.get(tag, str(tag))
            return (key in linked, linked.get(key))

        check_directory(name, place, fields, None, lookup)
        return

    def lookup(tag):
        t = page.tags.get(tag)
        return (t is not None, t.value if t is not None else None)

    check_directory(name, place, fields, image, lookup)
    if image is not None:
        pixels = page.asarray()
        # The probe exported the image in its own host's byte order.
        if image_order != sys.byteorder:
            pixels = pixels.byteswap()
        got = pixels.tobytes()
        if got != image:
            problems.append(f"{name}: {place}: image differs in tifffile")


if __name__ == "__main__":
    sys.exit(main())
