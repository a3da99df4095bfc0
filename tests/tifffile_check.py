"""ifd_reader checked against tifffile, an independent reader.

usage: /usr/bin/python3 tifffile_check.py IFD_DUMP PRELOAD PROBE...

Each probe runs in a fresh scratch directory with the fault shim preloaded
(PRELOAD, an LD_PRELOAD list) and its keep rule, so the files of a passing
run stay. In every IFD of each file, the chain and the IFDs that SubIFDs,
Exif and GPS entries point to, every entry's tag, type, count and values
must be the same in tifffile's reading and in ifd_dump's.
"""
import logging
import os
import struct
import subprocess
import sys
import tempfile

try:
    import tifffile
except ImportError:
    print('tifffile is missing (Debian package python3-tifffile): skipped')
    sys.exit(77)

# The files each probe leaves.
FILES = {
    'type_probe': ['types_le.tif', 'types_be.tif', 'types_le.btf', 'types_be.btf'],
    'directory_probe': ['pages_le.tif', 'pages_be.btf'],
    'field_probe': ['fields_le.tif', 'fields_be.tif', 'fields_le.btf', 'fields_be.btf'],
}
SUBIFDS, EXIF, GPS = 330, 34665, 34853
ASCII, FLOAT, DOUBLE = 2, 11, 12
# Bits of one element of each type (RATIONALs have two elements per value).
# A cross build's programs run under its emulator, whose words come here.
EMULATOR = os.environ.get('TIFF_PROBES_EMULATOR', '').split()
BITS = {1: 8, 3: 16, 4: 32, 5: 32, 6: 8, 7: 8, 8: 16, 9: 32, 10: 32, 11: 32, 12: 64,
        13: 32, 16: 64, 17: 64, 18: 64}


def text(raw):
    """ASCII values as tifffile gives them: trailing NULs and spaces dropped."""
    try:
        return tifffile.tifffile.bytes2str(tifffile.tifffile.stripnull(raw, first=False).strip())
    except UnicodeDecodeError:
        return raw


def tifffile_values(tag):
    """The tag's values in ifd_dump's form: the raw bits of each element."""
    if tag.code in (EXIF, GPS):
        return [tag.valueoffset]  # tifffile reads the IFD; this is its offset
    value = tag.value
    if tag.dtype == ASCII:
        return value
    if hasattr(value, 'tolist'):
        value = value.tolist()
    # ColorMap and TransferFunction come as one list per curve.
    if isinstance(value, list) and value and isinstance(value[0], list):
        value = [v for curve in value for v in curve]
    if not isinstance(value, (tuple, list, bytes)):
        value = [value]
    if tag.dtype in (FLOAT, DOUBLE):
        float_code, int_code = ('f', 'I') if tag.dtype == FLOAT else ('d', 'Q')
        return [struct.unpack('<' + int_code, struct.pack('<' + float_code, v))[0] for v in value]
    mask = (1 << BITS.get(int(tag.dtype), 64)) - 1
    return [int(v) & mask for v in value]


def entries(page):
    return [(t.code, int(t.dtype), t.count, tifffile_values(t)) for t in page.tags.values()]


def read_tifffile(path):
    """Offset of each IFD: its entries, as tifffile reads them."""
    ifds = {}
    with tifffile.TiffFile(path) as tif:
        tif.pages.useframes = False
        pages = list(tif.pages)
        for page in pages:
            ifds[page.offset] = entries(page)
        for page in pages:
            for tag in page.tags.values():
                if tag.code == SUBIFDS:
                    offsets = tifffile_values(tag)
                elif tag.code in (EXIF, GPS):
                    offsets = [tag.valueoffset]
                else:
                    continue
                for offset in offsets:
                    tif.filehandle.seek(offset)
                    ifds[offset] = entries(tifffile.TiffPage(tif, index=(0,)))
    return ifds


def read_ifd_dump(ifd_dump, path):
    """The same, as ifd_dump prints it."""
    out = subprocess.run(EMULATOR + [ifd_dump, path], capture_output=True, text=True, check=False)
    if out.returncode != 0:
        raise RuntimeError(f'ifd_dump {path}: exit {out.returncode}: {out.stderr.strip()}')
    ifds = {}
    current = None
    for line in out.stdout.splitlines():
        words = line.split()
        if words[0] == 'ifd':
            current = ifds.setdefault(int(words[1]), [])
            continue
        tag, dtype, count, *values = (int(w) for w in words)
        current.append((tag, dtype, count, text(bytes(values)) if dtype == ASCII else values))
    return ifds


def compare(name, mine, theirs):
    """Problems found, one line each."""
    problems = []
    if sorted(mine) != sorted(theirs):
        problems.append(f'{name}: IFDs at {sorted(mine)} in ifd_reader, {sorted(theirs)} in tifffile')
    for offset in sorted(set(mine) & set(theirs)):
        if len(mine[offset]) != len(theirs[offset]):
            problems.append(f'{name}: IFD at {offset}: {len(mine[offset])} entries in ifd_reader, '
                            f'{len(theirs[offset])} in tifffile')
        for a, b in zip(mine[offset], theirs[offset]):
            if a != b:
                problems.append(f'{name}: IFD at {offset}: ifd_reader {a}, tifffile {b}')
    return problems


def main():
    ifd_dump = os.path.abspath(sys.argv[1])
    preload = ':'.join(os.path.abspath(p) for p in sys.argv[2].split(':'))
    probes = [os.path.abspath(p) for p in sys.argv[3:]]
    logging.getLogger('tifffile').setLevel(logging.ERROR)
    env = dict(os.environ, LD_PRELOAD=preload, TIFF_PROBES_FAULTS='keep')
    problems = []
    for probe in probes:
        with tempfile.TemporaryDirectory() as scratch:
            run = subprocess.run(EMULATOR + [probe], cwd=scratch, env=env, capture_output=True, text=True,
                                 check=False)
            # Exit 1 is the probe's verdict on the library (field_probe's
            # known defects); its files are still the library's writing.
            if run.returncode not in (0, 1):
                problems.append(f'{probe}: exit {run.returncode}: {run.stderr.strip()}')
                continue
            for name in FILES[os.path.basename(probe)]:
                path = os.path.join(scratch, name)
                if not os.path.exists(path):
                    problems.append(f'{probe} left no {name}')
                    continue
                try:
                    mine, theirs = read_ifd_dump(ifd_dump, path), read_tifffile(path)
                except (RuntimeError, tifffile.TiffFileError) as exc:
                    problems.append(f'{name}: {exc}')
                    continue
                found = compare(name, mine, theirs)
                problems += found
                if not found:
                    count = sum(len(e) for e in mine.values())
                    print(f'{name}: {len(mine)} IFDs, {count} entries agree')
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
