#!/bin/sh
# Starts N runs of the runner at once from one working directory with one
# TMPDIR; all must pass and both directories must be empty afterwards.
set -u
runner=$1
n=$2
# A cross build's runner runs under its emulator (words, may be empty).
emulator=${TIFF_PROBES_EMULATOR:-}
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp" "$work/cwd" "$work/out"
all=$($emulator "$runner" --list | wc -l)

i=0
while [ "$i" -lt "$n" ]; do
    (cd "$work/cwd" && TMPDIR="$work/tmp" $emulator "$runner" --timeout 0 >"$work/out/$i" 2>&1; echo $? >"$work/out/$i.rc") &
    i=$((i + 1))
done
wait

status=0
i=0
while [ "$i" -lt "$n" ]; do
    # Every probe passes, or fails only with the known defects of this library
    # (a pass may say it skipped a codec the library lacks: "with messages").
    if [ "$(cat "$work/out/$i.rc")" != 0 ] ||
        ! grep -Eqx "[0-9]+ passed, 0 failed(, [0-9]+ known)?(, [0-9]+ with messages)?" "$work/out/$i" ||
        [ "$(grep -Ec '^(PASS|XFAIL) ' "$work/out/$i")" -ne "$all" ]; then
        echo "run $i failed:"
        cat "$work/out/$i"
        status=1
    fi
    i=$((i + 1))
done
for dir in tmp cwd; do
    if [ -n "$(ls -A "$work/$dir")" ]; then
        echo "left behind in $dir:"
        ls -A "$work/$dir"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "$n concurrent runs passed and left nothing behind"
exit "$status"
