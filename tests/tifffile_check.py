"""ifd_reader checked against tifffile, an independent reader.

usage: /usr/bin/python3 tifffile_check.py IFD_DUMP PRELOAD PROBE...
       /usr/bin/python3 tifffile_check.py --files IFD_DUMP FILE...

The first form runs each probe in a fresh scratch directory with the fault
shim preloaded (PRELOAD, an LD_PRELOAD list) and its keep rule, and checks
every TIFF file the passing run leaves; the second checks the files given.
In every IFD, the chain and the IFDs that SubIFDs, Exif, GPS and
Interoperability entries point to (to any depth), each entry's tag, type,
count and values, ASCII byte for byte with its NULs, and each IFD's next
offset must be the same in tifffile's reading and in ifd_dump's. A problem
that ifd_dump reports is a failure too; tifffile's own warnings are shown.
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

# Tags that point to further IFDs, when their type holds offsets.
LINKS = (330, 34665, 34853, 40965)
OFFSET_TYPES = (4, 13, 16, 18)
ASCII, FLOAT, DOUBLE = 2, 11, 12
IPTC = 33723
# Bits of one element of each type (RATIONALs have two elements per value).
BITS = {1: 8, 3: 16, 4: 32, 5: 32, 6: 8, 7: 8, 8: 16, 9: 32, 10: 32, 11: 32, 12: 64,
        13: 32, 16: 64, 17: 64, 18: 64}
STRUCT = {1: 'B', 3: 'H', 4: 'I', 8: 'h', 9: 'i', 13: 'I', 16: 'Q', 17: 'q', 18: 'Q'}
# The files the suite's probes must leave, at least.
FILES = {
    'type_probe': ['types_le.tif', 'types_be.tif', 'types_le.btf', 'types_be.btf'],
    'directory_probe': ['pages_le.tif', 'pages_be.btf'],
    'field_probe': ['fields_le.tif', 'fields_be.tif', 'fields_le.btf', 'fields_be.btf'],
    'tile_probe': ['tiles_le.tif', 'tiles_be.tif', 'tiles_le.btf', 'tiles_be.btf'],
    'strile_probe': [f'{check}_{layout}' for check in ('queries', 'deferred', 'checkpoints')
                     for layout in ('le.tif', 'be.tif', 'le.btf', 'be.btf')],
}
# A cross build's programs run under its emulator, whose words come here.
EMULATOR = os.environ.get('TIFF_PROBES_EMULATOR', '').split()


class Shown(logging.Handler):
    """tifffile's warnings, printed as they come, never silenced."""

    def emit(self, record):
        print(f'tifffile: {record.getMessage()}')


def flat(value):
    """Nested lists (ColorMap, TransferFunction) in file order."""
    if isinstance(value, (list, tuple)):
        return [v for item in value for v in flat(item)]
    return [value]


def raw(tif, tag, size):
    tif.filehandle.seek(tag.valueoffset)
    return tif.filehandle.read(tag.count * size)


def tifffile_values(tif, tag):
    """The tag's values in ifd_dump's form: the raw bits of each element."""
    dtype = int(tag.dtype)
    if tag.count == 0:
        return []
    if tag.code in LINKS and dtype in OFFSET_TYPES and not isinstance(tag.value, (tuple, list)):
        return [tag.valueoffset]  # tifffile read the IFD; this is its offset
    if dtype == ASCII:
        return list(raw(tif, tag, 1))  # tifffile drops the NULs; the bytes keep them
    value = tag.value
    if isinstance(value, bytes) and dtype in STRUCT and dtype != 1:
        # IPTC typed LONG, which tifffile gives as bytes.
        n = len(value) // struct.calcsize(STRUCT[dtype])
        value = struct.unpack(tif.byteorder + STRUCT[dtype] * n, value)
    if hasattr(value, 'tolist'):
        value = value.tolist()
    value = list(value) if isinstance(value, bytes) else flat(value)
    if dtype in (FLOAT, DOUBLE):
        float_code, int_code = ('f', 'I') if dtype == FLOAT else ('d', 'Q')
        return [struct.unpack('<' + int_code, struct.pack('<' + float_code, v))[0] for v in value]
    mask = (1 << BITS.get(dtype, 64)) - 1
    return [int(v) & mask for v in value]


def read_ifd(tif, offset):
    """tifffile's reading of the IFD at `offset`: its entries, next offset and links."""
    fh, t = tif.filehandle, tif.tiff
    fh.seek(offset)
    page = tifffile.TiffPage(tif, index=(0,))
    entries, links = [], []
    for tag in page.tags.values():
        values = tifffile_values(tif, tag)
        entries.append((tag.code, int(tag.dtype), tag.count, values))
        if tag.code in LINKS and int(tag.dtype) in OFFSET_TYPES:
            links += values
    fh.seek(offset)
    n = struct.unpack(t.tagnoformat, fh.read(t.tagnosize))[0]
    fh.seek(offset + t.tagnosize + n * t.tagsize)
    return entries, struct.unpack(t.offsetformat, fh.read(t.offsetsize))[0], links


def read_tifffile(path):
    """Offset of each IFD: its next offset and entries, as tifffile reads them."""
    ifds = {}
    with tifffile.TiffFile(path) as tif:
        t = tif.tiff
        tif.filehandle.seek(8 if tif.is_bigtiff else 4)
        offset = struct.unpack(t.offsetformat, tif.filehandle.read(t.offsetsize))[0]
        # The chain walked here, not by tifffile's page iterator, which does
        # not stop at a loop.
        pending = []
        while offset and offset not in ifds:
            entries, nxt, links = read_ifd(tif, offset)
            ifds[offset] = (nxt, entries)
            pending += links
            offset = nxt
        while pending:
            offset = pending.pop(0)
            if offset not in ifds:
                entries, nxt, links = read_ifd(tif, offset)
                ifds[offset] = (nxt, entries)
                pending += links
    return ifds


def read_ifd_dump(ifd_dump, path):
    """The same, as ifd_dump prints it, and the problems it reports."""
    out = subprocess.run(EMULATOR + [ifd_dump, path], capture_output=True, text=True, check=False)
    problems = [f'ifd_dump: {line}' for line in out.stderr.splitlines()]
    if out.returncode not in (0, 1) or (out.returncode == 1) != bool(problems):
        problems.append(f'ifd_dump {path}: exit {out.returncode}')
    ifds = {}
    current = None
    for line in out.stdout.splitlines():
        words = line.split()
        if words[0] == 'ifd':
            current = []
            ifds[int(words[1])] = (int(words[3]), current)
            continue
        tag, dtype, count, *values = (int(w) for w in words)
        current.append((tag, dtype, count, values))
    return ifds, problems


def compare(name, mine, theirs):
    """Problems found, one line each."""
    problems = []
    if sorted(mine) != sorted(theirs):
        problems.append(f'{name}: IFDs at {sorted(mine)} in ifd_reader, {sorted(theirs)} in tifffile')
    for offset in sorted(set(mine) & set(theirs)):
        (next_a, a), (next_b, b) = mine[offset], theirs[offset]
        if next_a != next_b:
            problems.append(f'{name}: IFD at {offset}: next IFD {next_a} in ifd_reader, '
                            f'{next_b} in tifffile')
        if len(a) != len(b):
            problems.append(f'{name}: IFD at {offset}: {len(a)} entries in ifd_reader, '
                            f'{len(b)} in tifffile')
        for x, y in zip(a, b):
            if x != y:
                problems.append(f'{name}: IFD at {offset}: ifd_reader {x}, tifffile {y}')
    return problems


def check(ifd_dump, path):
    name = os.path.basename(path)
    try:
        mine, problems = read_ifd_dump(ifd_dump, path)
        theirs = read_tifffile(path)
    except (OSError, struct.error, tifffile.TiffFileError) as exc:
        return [f'{name}: {type(exc).__name__}: {exc}']
    problems = [f'{name}: {p}' for p in problems] + compare(name, mine, theirs)
    if not problems:
        count = sum(len(e) for _, e in mine.values())
        print(f'{name}: {len(mine)} IFDs, {count} entries agree')
    return problems


def kept_files(probe, env):
    """Runs a probe in a scratch directory; its TIFF files, or a problem."""
    scratch = tempfile.mkdtemp()
    run = subprocess.run(EMULATOR + [probe], cwd=scratch, env=env, capture_output=True,
                         text=True, check=False)
    files = sorted(os.path.join(scratch, f) for f in os.listdir(scratch)
                   if f.endswith(('.tif', '.btf', '.tiff')))
    # Exit 1 is a verdict (a known defect of the library, say), which the
    # runner judges in the probe's own test; here only its files matter.
    if run.returncode not in (0, 1):
        return scratch, [], [f'{probe}: exit {run.returncode}: {run.stderr.strip()}']
    missing = [f'{probe} left no {f}' for f in FILES.get(os.path.basename(probe), [])
               if not os.path.exists(os.path.join(scratch, f))]
    return scratch, files, missing if files else [f'{probe} left no TIFF file']


def main():
    logging.getLogger('tifffile').addHandler(Shown())
    logging.getLogger('tifffile').propagate = False
    problems = []
    if sys.argv[1] == '--files':
        ifd_dump = os.path.abspath(sys.argv[2])
        for path in sys.argv[3:]:
            problems += check(ifd_dump, path)
    else:
        ifd_dump = os.path.abspath(sys.argv[1])
        preload = ':'.join(os.path.abspath(p) for p in sys.argv[2].split(':'))
        env = dict(os.environ, LD_PRELOAD=preload, TIFF_PROBES_FAULTS='keep')
        for probe in (os.path.abspath(p) for p in sys.argv[3:]):
            scratch, files, found = kept_files(probe, env)
            problems += found
            for path in files:
                problems += check(ifd_dump, path)
            for f in os.listdir(scratch):
                os.remove(os.path.join(scratch, f))
            os.rmdir(scratch)
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
