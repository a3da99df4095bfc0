#!/bin/sh
# Installs the build tree into a temporary prefix and runs the installed
# runner there: four passes, and one installed-tests file per probe.
set -u
cmake=$1
build=$2
prefix=$(mktemp -d) || exit 1
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null || exit 1
out=$("$prefix/bin/tiff-probes") || { echo "$out"; echo "installed runner failed"; exit 1; }
echo "$out"
echo "$out" | grep -qx '4 passed, 0 failed' || exit 1

for probe in halfword_probe word_probe text_probe strip_probe; do
    test_file="$prefix/share/installed-tests/tiff-probes/$probe.test"
    expected=$(printf '[Test]\nType=session\nExec=%s/bin/tiff-probes %s' "$prefix" "$probe")
    if [ "$(cat "$test_file")" != "$expected" ]; then
        echo "wrong or missing $test_file:"
        cat "$test_file"
        exit 1
    fi
done
echo "installed tree passes"
