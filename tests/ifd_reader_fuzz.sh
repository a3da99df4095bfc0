#!/bin/sh
# Runs the ifd_reader fuzz target for a bounded number of runs, seeded with
# the files that the given probes write (type_probe's four at least), which
# the fault shim's keep rule leaves. A crashing input is saved in the working
# directory as crash-*.
# usage: ifd_reader_fuzz.sh FUZZER PRELOAD RUNS PROBE...
set -eu
fuzzer=$1 preload=$2 runs=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/seeds" "$work/corpus"
for probe in "$@"; do
    if ! (cd "$work/seeds" && LD_PRELOAD=$preload TIFF_PROBES_FAULTS=keep "$probe"); then
        echo "$probe failed, so its files are no seeds" >&2
        exit 1
    fi
done
for f in types_le.tif types_be.tif types_le.btf types_be.btf; do
    if [ ! -s "$work/seeds/$f" ]; then
        echo "type_probe left no $f" >&2
        exit 1
    fi
done
# New inputs go to the corpus directory; the seeds stay as they are.
"$fuzzer" -runs="$runs" -max_total_time=300 -timeout=10 -print_final_stats=1 \
    "$work/corpus" "$work/seeds"
