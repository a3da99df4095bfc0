#!/bin/sh
# Times each probe as a whole process against the floor program (same TIFF
# library, one empty TIFF file created and removed), and the runner's whole
# verdict (every probe in its scratch directory), and measures peak memory.
# Prints TSV: name, median seconds, ratio to the floor, peak KiB.
# Usage: probe_cost.sh BUILD_DIR [RUNS]
set -eu
build=$(cd "$1" && pwd)
runs=${2:-200}
libexec="$build/libexec/tiff-probes"
floor="$build/bench/empty_tiff"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

set -- "$floor" "$libexec/halfword_probe" "$libexec/word_probe" "$libexec/text_probe" \
    "$libexec/strip_probe" "$libexec/type_probe" "$libexec/directory_probe" "$build/bin/tiff-probes"
hyperfine --shell=none --warmup 10 --runs "$runs" --style none \
    --export-json "$work/times.json" "$@" >/dev/null

printf 'name\tmedian_s\tratio\tpeak_kib\n'
i=0
for cmd in "$@"; do
    peak=0
    for _ in 1 2 3 4 5; do
        kib=$(/usr/bin/time -f %M "$cmd" 2>&1 >/dev/null | tail -n 1)
        [ "$kib" -gt "$peak" ] && peak=$kib
    done
    python3 - "$work/times.json" "$i" "$(basename "$cmd")" "$peak" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
i, name, peak = int(sys.argv[2]), sys.argv[3], sys.argv[4]
median, floor = results[i]["median"], results[0]["median"]
print(f"{name}\t{median:.6f}\t{median / floor:.2f}\t{peak}")
PY
    i=$((i + 1))
done
