#!/bin/sh
# Runs the ifd_reader fuzz target for a bounded number of runs, seeded with
# the files that the given probes write (type_probe's four at least), which
# the fault shim's keep rule leaves, and with small hand-made files of each
# kind of problem the reader reports. A crashing input is saved in the
# working directory as crash-*. Besides the sanitizers, the target checks
# that each IFD is read once, that what is kept has a known type and values
# inside the file, and that the values kept add up to no more than the file.
# TIFF_PROBES_FUZZ_RUNS sets the runs (100,000 by default; the asan preset
# 300,000, the ci and static presets none, as the program is the same in all
# three). To fuzz longer, see docs/contributing.md.
# usage: ifd_reader_fuzz.sh FUZZER PRELOAD RUNS PROBE...
set -eu
fuzzer=$1 preload=$2 runs=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/seeds" "$work/corpus"
for probe in "$@"; do
    # Exit 1 is a verdict (a known defect, say), judged in the probe's own
    # test; its files are seeds all the same. Anything else is no run.
    status=0
    (cd "$work/seeds" && LD_PRELOAD=$preload TIFF_PROBES_FAULTS=keep "$probe" 2>/dev/null) || status=$?
    if [ "$status" -gt 1 ]; then
        echo "$probe ended with status $status, so its files are no seeds" >&2
        exit 1
    fi
done
# seed NAME HEX...: a file of the bytes the hex digits spell.
seed() {
    name=$1
    shift
    hex=$(printf %s "$@")
    : >"$work/seeds/$name"
    while [ -n "$hex" ]; do
        rest=${hex#??}
        # shellcheck disable=SC2059 # the octal escape is the format
        printf "\\$(printf %o "0x${hex%"$rest"}")" >>"$work/seeds/$name"
        hex=$rest
    done
}
le=49492a0008000000 # little-endian classic, IFD at 8
entry=000103000100000064000000 # ImageWidth SHORT 100
seed next-outside.tif $le 0100 $entry e8030000
seed table-cut.tif 49492a0026000000 000000000000000000000000000000000000000000000000000000000000 \
    0200 $entry
seed next-cut.tif $le 0100 $entry 0000
seed unknown-type.tif $le 0100 000163000100000064000000 00000000
seed values-on-header.tif $le 0100 110104000300000000000000 00000000
seed ifd-on-header.tif 49492a0004000000 0100 $entry 00000000
seed spaces.tif $le 2020202020202020202020202020202020202020202020202020202020202020
seed no-entries.tif $le 0000 00000000
seed exif-into-ifd0.tif $le 0100 698704000100000008000000 00000000
seed subifd-loop.tif $le 0100 4a01040001000000 1a000000 00000000 \
    0100 4a01040001000000 08000000 00000000
seed repeated-subifd.tif $le 0100 4a01040004000000 1a000000 00000000 \
    2a000000 2a000000 2a000000 2a000000 \
    0100 bc02070010000000 3c000000 00000000 00000000000000000000000000000000
seed ascii-past-end.tif $le 0100 0e01020014000000 1a000000 00000000 68656c6c6f20776f726c64000a
seed table-cut-be.btf 4d4d002b00080000 0000000000000010 0000000000000002 \
    0100000300000000000000010064000000000000
for f in types_le.tif types_be.tif types_le.btf types_be.btf; do
    if [ ! -s "$work/seeds/$f" ]; then
        echo "type_probe left no $f" >&2
        exit 1
    fi
done
# New inputs go to the corpus directory; the seeds stay as they are.
"$fuzzer" -runs="$runs" -max_total_time=300 -timeout=10 -print_final_stats=1 \
    "$work/corpus" "$work/seeds"
