"""Reads the files that tile_probe leaves (kept by the fault shim's keep rule)
with tifffile, which decodes PackBits and Deflate with code of its own (LZW
too with imagecodecs, which Debian 12 lacks: then the LZW tiles, found by
tifffile, are decoded here), and checks the tiled pages: their geometry,
compression and every pixel against the probe's pattern, the tile replaced in
place included. Prints one line per difference on stderr and exits 1 if there
was any.

Usage: /usr/bin/python3 tile_files.py tiles_le.tif tiles_be.tif tiles_le.btf tiles_be.btf
"""
import os
import sys

import numpy
import tifffile

try:
    import imagecodecs  # noqa: F401  (tifffile decodes LZW with it)
    HAS_LZW = True
except ImportError:
    HAS_LZW = False

# Byte order and BigTIFF of each layout.
LAYOUTS = {
    "tiles_le.tif": ("<", False),
    "tiles_be.tif": (">", False),
    "tiles_le.btf": ("<", True),
    "tiles_be.btf": (">", True),
}
CONTIG, SEPARATE = 1, 2
# width, length, tile width, tile length, bits, samples, planes, compression, predictor:
# probes/tile/tile_values.h's tile_pages
TILE_PAGES = [
    (40, 20, 32, 16, 8, 3, CONTIG, 1, 1),
    (20, 36, 16, 32, 16, 2, SEPARATE, 1, 1),
    (20, 40, 16, 32, 8, 2, SEPARATE, 32773, 1),
    (40, 10, 32, 16, 16, 1, CONTIG, 5, 1),
    (20, 10, 16, 32, 8, 3, CONTIG, 8, 2),
    (12, 10, 32, 16, 16, 2, SEPARATE, 8, 2),
]
UPDATED_PAGE, UPDATED_TILE = 3, 0

problems = []


def sample(page, chunk, x, y, s, bits):
    v = page * 0x3501 + chunk * 0x0B17 + y * 0x0103 + x * 0x0011 + s * 0x2221
    return v & (0xFF if bits == 8 else 0xFFFF)


def noise(n):
    """The bytes of the tile that replaces UPDATED_TILE."""
    seed, out = 2463534242, []
    for _ in range(n):
        seed ^= (seed << 13) & 0xFFFFFFFF
        seed ^= seed >> 17
        seed ^= (seed << 5) & 0xFFFFFFFF
        out.append(seed & 0xFF)
    return bytes(out)


def expected_tiled(k):
    width, length, tw, tl, bits, samples, planar, _, _ = TILE_PAGES[k]
    across, down = -(-width // tw), -(-length // tl)
    image = numpy.zeros((samples, length, width), dtype=numpy.uint16)
    for s in range(samples):
        for y in range(length):
            for x in range(width):
                plane = s if planar == SEPARATE else 0
                chunk = plane * across * down + (y // tl) * across + x // tw
                image[s, y, x] = sample(k, chunk, x % tw, y % tl, s, bits)
    return image


def lzw_decode(data):
    """TIFF's LZW: codes of 9 to 12 bits, most significant bit first, the
    width growing one code early."""
    table = [bytes([i]) for i in range(256)] + [b"", b""]
    out, prev, width, bit = bytearray(), None, 9, 0
    while bit + width <= len(data) * 8:
        chunk = int.from_bytes(data[bit >> 3:(bit >> 3) + 3].ljust(3, b"\0"), "big")
        code = (chunk >> (24 - (bit & 7) - width)) & ((1 << width) - 1)
        bit += width
        if code == 256:
            table, prev, width = table[:258], None, 9
            continue
        if code == 257:
            break
        if prev is None:
            entry = table[code]
        else:
            entry = table[code] if code < len(table) else prev + prev[:1]
            table.append(prev + entry[:1])
        out += entry
        prev = entry
        if len(table) + 1 >= 1 << width and width < 12:
            width += 1
    return bytes(out)


def lzw_planes(tif, page):
    """A one-sample LZW page, its tiles read where tifffile finds them."""
    width, length, tw, tl = page.imagewidth, page.imagelength, page.tilewidth, page.tilelength
    across = -(-width // tw)
    image = numpy.zeros((1, -(-length // tl) * tl, across * tw), dtype=numpy.uint16)
    dtype = tif.byteorder + ("u2" if page.bitspersample == 16 else "u1")
    for t, (offset, count) in enumerate(zip(page.dataoffsets, page.databytecounts)):
        tif.filehandle.seek(offset)
        tile = numpy.frombuffer(lzw_decode(tif.filehandle.read(count)), dtype=dtype)
        y0, x0 = (t // across) * tl, (t % across) * tw
        image[0, y0:y0 + tl, x0:x0 + tw] = tile[:tw * tl].reshape(tl, tw)
    return image[:, :length, :width]


def as_planes(tif, page):
    """The page's pixels as samples x rows x columns."""
    if int(page.compression) == 5 and not HAS_LZW:
        return lzw_planes(tif, page)
    image = page.asarray()
    if image.ndim == 2:
        return image[numpy.newaxis]
    if page.planarconfig == SEPARATE:
        return image
    return numpy.moveaxis(image, -1, 0)


def check_updated(name, got):
    """The updated tile holds the noise, 16-bit samples of the host that wrote it."""
    width, length, tw, tl = TILE_PAGES[UPDATED_PAGE][:4]
    across = -(-width // tw)
    x0, y0 = (UPDATED_TILE % across) * tw, (UPDATED_TILE // across) * tl
    raw = noise(tw * tl * 2)
    region = got[0, y0:min(y0 + tl, length), x0:min(x0 + tw, width)]
    for order in ("<u2", ">u2"):
        tile = numpy.frombuffer(raw, dtype=order).reshape(tl, tw)
        if numpy.array_equal(region, tile[:region.shape[0], :region.shape[1]]):
            return
    problems.append(f"{name}: page {UPDATED_PAGE}: tile {UPDATED_TILE} is not the update")


def check_file(path):
    name = os.path.basename(path)
    with tifffile.TiffFile(path) as tif:
        if (tif.byteorder, tif.is_bigtiff) != LAYOUTS[name]:
            problems.append(f"{name}: byte order {tif.byteorder}, BigTIFF {tif.is_bigtiff}")
        pages = list(tif.pages)
        for k, (width, length, tw, tl, bits, samples, planar, compression, predictor) in \
                enumerate(TILE_PAGES):
            page = pages[k]
            what = f"{name}: page {k}"
            shape = (page.imagewidth, page.imagelength, page.tilewidth, page.tilelength,
                     page.bitspersample, page.samplesperpixel, int(page.planarconfig),
                     int(page.compression), int(page.predictor))
            if shape != TILE_PAGES[k]:
                problems.append(f"{what}: {shape} instead of {TILE_PAGES[k]}")
                continue
            got = as_planes(tif, page)
            expected = expected_tiled(k)
            if k == UPDATED_PAGE:
                check_updated(name, got)
                x0 = (UPDATED_TILE % -(-width // tw)) * tw
                y0 = (UPDATED_TILE // -(-width // tw)) * tl
                got = got.copy()
                got[:, y0:y0 + tl, x0:x0 + tw] = expected[:, y0:y0 + tl, x0:x0 + tw]
            if not numpy.array_equal(got, expected):
                where = numpy.argwhere(got != expected)[0]
                problems.append(f"{what}: sample {tuple(int(i) for i in where)} is "
                                f"{int(got[tuple(where)])}, expected {int(expected[tuple(where)])}")


def run(check, paths):
    """Checks each file, prints the problems found on stderr; 1 if any."""
    for path in paths:
        try:
            check(path)
        except Exception as e:  # any failure to read is a finding
            problems.append(f"{path}: {type(e).__name__}: {e}")
    for p in problems:
        print(p, file=sys.stderr)
    return 1 if problems else 0


def main():
    return run(check_file, sys.argv[1:]) or (1 if len(sys.argv) != 5 else 0)


if __name__ == "__main__":
    sys.exit(main())
