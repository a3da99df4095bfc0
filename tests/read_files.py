"""Reads the well-formed files of a read_probe run (kept by the fault shim's
keep rule) with tifffile, which shares no code with the TIFF library, and
compares every field and image with the table the probe exports
(TIFF_PROBES_READ_TABLE), so that the table cannot be wrong the way the
probe is. The read matrix's exact cases come in a table of the same form
(TIFF_PROBES_MATRIX_DIR). Prints one line per difference on stderr and
exits 1 if there was any.

Usage: /usr/bin/python3 read_files.py TABLE
"""
import os
import re
import struct
import sys

import tifffile

# Where tifffile itself reads a file otherwise than its bytes mean, or the
# table's image is not the page's: a file name (a regular expression for the
# whole name), what is not compared ("file", "image", or a directory's
# place) and why.
_NO_COUNTS = ("tifffile fails (an IndexError) on strips without StripByteCounts, which it "
              "estimates for one strip only")
_BYTE_IMAGE = ("tifffile gives a BYTE field's values as bytes, and its page then fails on an "
               "image field stored as BYTE, which TIFF 6.0's readers should accept")
_INLINE_READER = ("tifffile takes the slot of a tag it has a reader for (IPTC, ImageSourceData) "
                  "as an offset even when the values fit it, and drops the tag")
_CHAINED_SUBIFD = ("tifffile reads the SubIFDs the tag lists, not the ones chained to them "
                   "by their next offset")
LAYOUTS = r"_(le|be)\.(tif|btf)"
TIFFFILE_WRONG = [
    (r"read_no_strip_counts_2" + LAYOUTS, "file", _NO_COUNTS),
    (r"read_(256|257|258|259|277|278)_byte" + LAYOUTS, "file", _BYTE_IMAGE),
    (r"read_(33723|37724)_edge" + LAYOUTS, "file", _INLINE_READER),
    (r"read_subifd_chain" + LAYOUTS, "0/SubIFD_1", _CHAINED_SUBIFD),
]
# Fields that tifffile gives otherwise than as their values, by design: the
# IFD pointers become the IFDs they point to (a dict, or pages), and
# UserComment loses its 8-byte character code when that is ASCII.
POINTERS = (330, 34665, 34853)
USER_COMMENT = 37510
ASCII_CODE = b"ASCII\0\0\0"

SIGNED = {6: 1, 8: 2, 9: 4, 17: 8}
UNPACK = {3: "H", 4: "I", 8: "h", 9: "i", 13: "I", 16: "Q", 17: "q", 18: "Q"}
problems = []
# The byte order of the file being read, as struct gives it.
byteorder = "<"


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


def bits(values, type_):
    code = "f" if type_ == 11 else "d"
    return [struct.pack("<" + code, v) for v in values]


class RawText(bytes):
    """A text's bytes as the file holds them where tifffile locates them,
    NULs included (tifffile's own value drops them)."""


def same(got, type_, want):
    if isinstance(got, RawText):
        return got == want
    if type_ in (11, 12):
        # As bits: -0.0 is not 0.0.
        return len(got) == len(want) and bits(got, type_) == bits(want, type_)
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
        if tag == USER_COMMENT and want[:8] == ASCII_CODE:
            want = want[8:]  # tifffile drops the character code ASCII, no other
        got = flat(got)
        if isinstance(got, bytes) and type_ in UNPACK:
            # A tag tifffile has a reader for (IPTC) comes as its bytes.
            n = len(got) // struct.calcsize(UNPACK[type_])
            got = list(struct.unpack(byteorder + UNPACK[type_] * n, got[:n * struct.calcsize(
                UNPACK[type_])]))
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
        skipped = {part: why for pattern, part, why in TIFFFILE_WRONG
                   if re.fullmatch(pattern, name)}
        if "file" in skipped:
            print(f"{name}: not compared: {skipped['file']}", file=sys.stderr)
            continue
        for part, why in skipped.items():
            print(f"{name}: {part} not compared: {why}", file=sys.stderr)
        try:
            with tifffile.TiffFile(os.path.join(root, name)) as tif:
                global byteorder
                byteorder = tif.byteorder
                for place, fields, image in directories:
                    if place not in skipped:
                        check_place(tif, name, place, fields,
                                    None if "image" in skipped else image)
        except Exception as e:  # any failure to read is a finding
            problems.append(f"{name}: tifffile cannot read it: {e}")
    for p in problems:
        print(p, file=sys.stderr)
    print(f"{len(cases)} files read by tifffile", file=sys.stderr)
    return 1 if problems else 0


# The byte order of the exported images ("H" line): the probe's host's.
image_order = sys.byteorder


def pointer_slot(tif, page, code):
    """The EXIF or GPS pointer's entry in the page, as (type, offset of its
    value slot), read here where tifffile lost it: in BigTIFF tifffile takes
    a 4-byte pointer (LONG, IFD) as the 8 bytes of its slot, which in
    big-endian is 16 << 32 for 16, and drops the tag as pointing past the
    file. None if the page has no such pointer of one value."""
    fh, t = tif.filehandle, tif.tiff
    fh.seek(page.offset)
    n = struct.unpack(t.tagnoformat, fh.read(t.tagnosize))[0]
    for k in range(n):
        entry = page.offset + t.tagnosize + k * t.tagsize
        fh.seek(entry)
        header = fh.read(t.tagsize)
        tag, dtype = struct.unpack(t.tagformat1, header[:4])
        count = struct.unpack(t.tagformat2, header[4:])[0]
        if tag == code and count == 1 and dtype in POINTER_WIDTH:
            return dtype, entry + t.tagsize - t.tagoffsetthreshold
    return None


POINTER_WIDTH = {4: "I", 13: "I", 16: "Q", 18: "Q"}


def linked_ifd(tif, page, code):
    """The EXIF or GPS IFD where tifffile lost it, read by tifffile's own
    reader at the offset its pointer holds."""
    slot = pointer_slot(tif, page, code)
    if slot is None:
        return {}
    dtype, at = slot
    fh, width = tif.filehandle, POINTER_WIDTH[dtype]
    fh.seek(at)
    fh.seek(struct.unpack(tif.byteorder + width, fh.read(struct.calcsize(width)))[0])
    return tifffile.TIFF.TAG_READERS[code](fh, tif.byteorder, dtype, 1, tif.tiff.offsetsize)


def check_place(tif, name, place, fields, image):
    parts = place.split("/")
    page = tif.pages[int(parts[0])]
    if len(parts) > 1 and parts[1].startswith("SubIFD_"):
        page = page.pages[int(parts[1][7:])]
    if len(parts) > 1 and parts[-1] in ("EXIF", "GPS"):
        code = 34665 if parts[-1] == "EXIF" else 34853
        names = tifffile.TIFF.TAGS if code == 34665 else tifffile.TIFF.GPS_TAGS
        linked = page.tags[code].value if code in page.tags else None
        if not isinstance(linked, dict):
            linked = linked_ifd(tif, page, code)

        def lookup(tag):
            key = names.get(tag, str(tag))
            return (key in linked, linked.get(key))

        check_directory(name, place, fields, None, lookup)
        return

    def lookup(tag):
        t = page.tags.get(tag)
        if t is None and tag in (34665, 34853):
            # The pointer tifffile lost (pointer_slot); its value is not compared.
            return (pointer_slot(tif, page, tag) is not None, None)
        if t is not None and int(t.dtype) == 2 and t.count <= tif.filehandle.size:
            tif.filehandle.seek(t.valueoffset)
            return (True, RawText(tif.filehandle.read(t.count)))
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
