#!/bin/sh
# Runs one reproduction in a temporary directory and passes when its exit
# status is the one the known-defect list expects for the loaded library and
# this host: 1 where the runner says the defect is expected
# (tiff-probes --defect-expected NAME exits 0), 0 where it says it is not
# (exits 1). Any other answer, a typo'd name or a malformed list, fails.
set -u
runner=$1
program=$2
name=$3
# The program runs from the temporary directory.
case $program in
/*) ;;
*) program=$PWD/$program ;;
esac
# A cross build's programs run under its emulator (words, may be empty);
# a reproduction whose symptom only a memory checker sees runs under it
# (TIFF_PROBES_TOOL, words, exit status 1 when it reports an error).
emulator=${TIFF_PROBES_EMULATOR:-}
tool=${TIFF_PROBES_TOOL:-}

$emulator "$runner" --defect-expected "$name"
answer=$?
case $answer in
0) expected=1 ;;
1) expected=0 ;;
*)
    echo "tiff-probes --defect-expected $name: exit status $answer"
    exit 1
    ;;
esac

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
# A reproduction may leave the library's handle open on purpose (closing
# it after the defect can abort), so a sanitizer build does not count the
# handle as a leak. The emulator and the tool are words.
# shellcheck disable=SC2086
(cd "$work" && ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" $emulator $tool "$program")
status=$?
if [ "$status" -ne "$expected" ]; then
    echo "defects/$name.c: exit status $status, expected $expected"
    exit 1
fi
